#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>

#include <optional>
#include <vector>

class SettingsStore;

// Routers do not pass the segment's broadcasts on, so hosts behind one never hear this instance. Every
// broadcast therefore also goes to a short list of extra destinations: the directed broadcast address of
// another segment (10.1.2.255) or a single host there. The packets and ports stay the same, so a peer over
// there takes this instance for one of its own segment, and its answers come back by ordinary routing.
namespace segments {

// Each destination costs one more datagram per broadcast; the bound keeps a list typed in by hand, or a
// setting written by other means, from turning every announcement into a flood.
inline constexpr int MaxDestinations = 32;

enum class Refusal {
    None,
    NotAnAddress,
    // 0.0.0.0 and the rest of "this network", loopback, multicast and the reserved block with 255.255.255.255.
    Unusable,
    // This host's own address or a segment it is on: the segment's own broadcast reaches it already, and a
    // second copy would show every broadcast twice there.
    ThisSegment,
    Duplicate,
    TooMany,
};

// Where this host stands: its own addresses, its segments' broadcast addresses, and the segment that the
// plain broadcast leaves by. Read from the kernel's interface table.
struct HostSegments
{
    std::vector<quint32> ownAddresses; // addresses and broadcast addresses of every interface
    quint32 subnet = 0;                // the segment of the interface that carries the default route
    quint32 netmask = 0;               // 0: not known

    static HostSegments read();
    bool covers(quint32 address) const;
    // A loopback address or one of this host's own.
    bool isThisHost(quint32 address) const;
};

// The refusal for one destination as typed, judged against the list it is to join; address gets its value.
Refusal check(QByteArrayView text, const std::vector<quint32> &list, const HostSegments &host,
              quint32 *address = nullptr);

// The stored form: dotted quads joined by commas. Reading keeps what is usable, once, up to the bound;
// the segments of the moment are judged when a broadcast is sent, since a host can move.
std::vector<quint32> parse(QByteArrayView stored);
QByteArray format(const std::vector<quint32> &list);
QByteArray dotted(quint32 address);

} // namespace segments

// The list as this run holds it, stored in the system key when the user changes it.
class OtherSegments final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OtherSegments)

public:
    explicit OtherSegments(SettingsStore &store, QObject *parent = nullptr);

    const std::vector<quint32> &destinations() const { return m_destinations; }
    // Start-up: takes the stored list (nothing stored: none).
    void load();
    // A user's change: kept for the run and stored; false when the store refused it.
    bool setDestinations(const std::vector<quint32> &destinations);

Q_SIGNALS:
    void destinationsChanged(const std::vector<quint32> &destinations);

private:
    void keep(const std::vector<quint32> &destinations);

    SettingsStore &m_store;
    std::vector<quint32> m_destinations;
};
