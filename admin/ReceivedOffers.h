#pragma once

#include "admin/transfer/TransferTypes.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <deque>
#include <optional>

class FileTransfer;

// The files other hosts offered this one, and what became of each offer: the recipient's side of the
// transfers, kept by the console for the whole run so that closing its window stops nothing. The list is
// bounded: past MaxOffers, the oldest offer that has ended makes room.
class ReceivedOffers final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReceivedOffers)

public:
    // More than the engine keeps open at once, so an open offer never has to make room.
    static constexpr int MaxOffers = 64;

    enum class Phase { Offered, Fetching, Completed, Declined, Cancelled, Failed };
    enum class FileState { Waiting, Fetching, Saved, Failed };

    struct File
    {
        QString name; // already a safe file name
        qint64 size = 0;
        qint64 done = 0;
        FileState state = FileState::Waiting;
        QString savedPath;
    };

    struct Offer
    {
        QByteArray id;
        QByteArray address;
        QByteArray nickname; // code page 950
        QList<File> files;
        Phase phase = Phase::Offered;
        // Why the last accept did not start; the offer stays open for another try.
        std::optional<Transfer::Refusal> refusal;
        QString folder;

        qint64 totalBytes() const;
        qint64 doneBytes() const;
        int savedCount() const;
        bool isOpen() const { return phase == Phase::Offered || phase == Phase::Fetching; }
    };

    explicit ReceivedOffers(FileTransfer &transfer, QObject *parent = nullptr);

    const std::deque<Offer> &offers() const { return m_offers; }
    const Offer *find(const QByteArray &id) const;

    void accept(const QByteArray &id, const QString &folder);
    void decline(const QByteArray &id);
    void cancel(const QByteArray &id);

Q_SIGNALS:
    void offerAdded(const QByteArray &id);
    void offerChanged(const QByteArray &id);
    void offerRemoved(const QByteArray &id);
    // An offer whose files were being fetched has ended, whichever way.
    void fetchEnded(const QByteArray &id);

private:
    Offer *findOpen(const QByteArray &id);
    void add(const Transfer::IncomingOffer &incoming);
    void refused(const QByteArray &id, Transfer::Refusal reason);
    void progressed(const QByteArray &id, Transfer::Direction direction, int index, qint64 done);
    void fileEnded(const QByteArray &id, Transfer::Direction direction, int index, const QString &savedPath,
                   FileState state);
    void ended(const QByteArray &id, Transfer::Direction direction, Transfer::Outcome outcome);

    FileTransfer &m_transfer;
    std::deque<Offer> m_offers; // oldest first
};
