#include "admin/ReceivedOffers.h"

#include "admin/transfer/FileTransfer.h"

#include <algorithm>

using Transfer::Direction;

qint64 ReceivedOffers::Offer::totalBytes() const
{
    qint64 total = 0;
    for (const File &file : files)
        total += file.size;
    return total;
}

qint64 ReceivedOffers::Offer::doneBytes() const
{
    qint64 done = 0;
    for (const File &file : files)
        done += file.done;
    return done;
}

int ReceivedOffers::Offer::savedCount() const
{
    return int(std::count_if(files.begin(), files.end(), [](const File &f) { return f.state == FileState::Saved; }));
}

ReceivedOffers::ReceivedOffers(FileTransfer &transfer, QObject *parent) : QObject(parent), m_transfer(transfer)
{
    connect(&transfer, &FileTransfer::offerReceived, this, &ReceivedOffers::add);
    connect(&transfer, &FileTransfer::acceptRefused, this, &ReceivedOffers::refused);
    connect(&transfer, &FileTransfer::progress, this,
            [this](const QByteArray &id, Direction direction, int index, qint64 done, qint64) {
                progressed(id, direction, index, done);
            });
    connect(&transfer, &FileTransfer::fileFinished, this,
            [this](const QByteArray &id, Direction direction, int index, const QString &savedPath) {
                fileEnded(id, direction, index, savedPath, FileState::Saved);
            });
    connect(&transfer, &FileTransfer::fileFailed, this, [this](const QByteArray &id, Direction direction, int index) {
        fileEnded(id, direction, index, {}, FileState::Failed);
    });
    connect(&transfer, &FileTransfer::transferEnded, this, &ReceivedOffers::ended);
}

const ReceivedOffers::Offer *ReceivedOffers::find(const QByteArray &id) const
{
    const auto it = std::find_if(m_offers.begin(), m_offers.end(), [&](const Offer &o) { return o.id == id; });
    return it == m_offers.end() ? nullptr : &*it;
}

ReceivedOffers::Offer *ReceivedOffers::findOpen(const QByteArray &id)
{
    const auto it = std::find_if(m_offers.begin(), m_offers.end(), [&](const Offer &o) { return o.id == id; });
    return it != m_offers.end() && it->isOpen() ? &*it : nullptr;
}

void ReceivedOffers::accept(const QByteArray &id, const QString &folder)
{
    Offer *offer = findOpen(id);
    if (!offer || offer->phase != Phase::Offered)
        return;
    offer->phase = Phase::Fetching;
    offer->refusal.reset();
    offer->folder = folder;
    m_transfer.accept(id, folder);
    Q_EMIT offerChanged(id);
}

void ReceivedOffers::decline(const QByteArray &id)
{
    const Offer *offer = findOpen(id);
    if (offer && offer->phase == Phase::Offered)
        m_transfer.decline(id);
}

void ReceivedOffers::cancel(const QByteArray &id)
{
    if (findOpen(id))
        m_transfer.cancel(id);
}

void ReceivedOffers::add(const Transfer::IncomingOffer &incoming)
{
    if (find(incoming.id))
        return;
    if (int(m_offers.size()) >= MaxOffers) {
        const auto oldest = std::find_if(m_offers.begin(), m_offers.end(), [](const Offer &o) { return !o.isOpen(); });
        if (oldest == m_offers.end()) {
            // Cannot happen while the engine keeps fewer offers open; if it did, the newcomer is refused.
            m_transfer.decline(incoming.id);
            return;
        }
        const QByteArray removed = oldest->id;
        m_offers.erase(oldest);
        Q_EMIT offerRemoved(removed);
    }
    Offer offer;
    offer.id = incoming.id;
    offer.address = incoming.address;
    offer.nickname = incoming.nickname;
    for (const Transfer::OfferedFile &offered : incoming.files) {
        File file;
        file.name = offered.name;
        file.size = offered.size;
        offer.files.append(file);
    }
    m_offers.push_back(std::move(offer));
    Q_EMIT offerAdded(incoming.id);
}

void ReceivedOffers::refused(const QByteArray &id, Transfer::Refusal reason)
{
    Offer *offer = findOpen(id);
    if (!offer)
        return;
    offer->phase = Phase::Offered;
    offer->refusal = reason;
    Q_EMIT offerChanged(id);
}

void ReceivedOffers::progressed(const QByteArray &id, Direction direction, int index, qint64 done)
{
    Offer *offer = direction == Direction::Receiving ? findOpen(id) : nullptr;
    if (!offer || index < 0 || index >= offer->files.size())
        return;
    File &file = offer->files[index];
    file.done = std::clamp<qint64>(done, 0, file.size);
    file.state = FileState::Fetching;
    Q_EMIT offerChanged(id);
}

void ReceivedOffers::fileEnded(const QByteArray &id, Direction direction, int index, const QString &savedPath,
                               FileState state)
{
    Offer *offer = direction == Direction::Receiving ? findOpen(id) : nullptr;
    if (!offer || index < 0 || index >= offer->files.size())
        return;
    File &file = offer->files[index];
    file.state = state;
    file.savedPath = savedPath;
    file.done = state == FileState::Saved ? file.size : 0;
    Q_EMIT offerChanged(id);
}

void ReceivedOffers::ended(const QByteArray &id, Direction direction, Transfer::Outcome outcome)
{
    Offer *offer = direction == Direction::Receiving ? findOpen(id) : nullptr;
    if (!offer)
        return;
    const bool wasFetching = offer->phase == Phase::Fetching;
    switch (outcome) {
    case Transfer::Outcome::Completed:
        offer->phase = Phase::Completed;
        break;
    case Transfer::Outcome::Declined:
        offer->phase = Phase::Declined;
        break;
    case Transfer::Outcome::Cancelled:
        offer->phase = Phase::Cancelled;
        break;
    case Transfer::Outcome::Failed:
        offer->phase = Phase::Failed;
        break;
    }
    // The file on its way when a transfer broke off is gone: the engine removes what it had written.
    for (File &file : offer->files) {
        if (file.state == FileState::Fetching) {
            file.state = FileState::Failed;
            file.done = 0;
        }
    }
    Q_EMIT offerChanged(id);
    if (wasFetching)
        Q_EMIT fetchEnded(id);
}
