#pragma once

#include <QtGlobal>

#include <chrono>
#include <optional>
#include <unordered_map>

// When each host was last heard, by datagram and by connection: the answer to "is anything arriving from
// it at all?". Any host can send from any number of addresses, so the record keeps the most recent hosts
// only, as many as the friend table has rows.
class HeardHosts final
{
public:
    using Time = std::chrono::system_clock::time_point;
    static constexpr int MaxHosts = 1024;

    struct Heard
    {
        std::optional<Time> datagram;
        std::optional<Time> stream;
        Time latest() const { return std::max(datagram.value_or(Time()), stream.value_or(Time())); }
    };

    void datagramFrom(quint32 address, Time when) { entry(address).datagram = when; }
    void streamFrom(quint32 address, Time when) { entry(address).stream = when; }
    // Nothing when the host was never heard or has been forgotten for newer ones.
    std::optional<Heard> find(quint32 address) const;
    int size() const { return int(m_hosts.size()); }

private:
    Heard &entry(quint32 address);

    std::unordered_map<quint32, Heard> m_hosts;
};
