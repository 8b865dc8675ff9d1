#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <chrono>

namespace Transfer {
Q_NAMESPACE

enum class Direction { Sending, Receiving };
Q_ENUM_NS(Direction)

// How a transfer ended, on either side.
enum class Outcome { Completed, Declined, Cancelled, Failed };
Q_ENUM_NS(Outcome)

// Why an accepted offer was not started; the offer stays open for another try.
enum class Refusal { UnknownOffer, FolderUnusable, NotEnoughSpace };
Q_ENUM_NS(Refusal)

struct Endpoints
{
    quint16 servePort = 3290; // where this host serves the files it offered; 0: any free port
    quint16 fetchPort = 3290; // where it fetches offered files from
};

// Bounds against peers that offer too much, never answer or stop half-way.
struct Limits
{
    int maxFilesPerOffer = 256;
    int maxIncomingOffers = 32;
    // One host cannot take every place of the others: a send list has one offer on its way at a time.
    int maxIncomingOffersPerHost = 4;
    int maxOutgoingOffers = 32;
    int maxServingConnections = 16;
    std::chrono::milliseconds connectTimeout{5000};
    std::chrono::milliseconds stallTimeout{30000};
    std::chrono::milliseconds retryDelay{2000};
    int maxRetries = 15;                              // consecutive broken connections without a byte in between
    std::chrono::milliseconds offerLifetime{3600000}; // an offer nobody answers, a transfer gone quiet
    qint64 chunkBytes = 256 * 1024;
};

struct OfferedFile
{
    QString name; // already reduced to a safe file name
    qint64 size = 0;
};

struct IncomingOffer
{
    QByteArray id;
    QByteArray address;  // the host that offers, as it named itself
    QByteArray nickname; // code page 950
    QList<OfferedFile> files;
};

} // namespace Transfer

Q_DECLARE_METATYPE(Transfer::IncomingOffer)
