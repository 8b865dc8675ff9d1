#pragma once

#include "admin/transfer/Sha256.h"

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// SHA-256 of a stream on a thread of its own, so that a file is read off the network and hashed at the same
// time. At most a few pieces wait: a producer faster than the hash waits too, and memory stays bounded.
class BackgroundHash final
{
public:
    static constexpr size_t MaxWaitingPieces = 8;

    BackgroundHash();
    ~BackgroundHash();
    BackgroundHash(const BackgroundHash &) = delete;
    BackgroundHash &operator=(const BackgroundHash &) = delete;

    // A buffer for the next piece: one that was hashed already when there is one, so a long stream reuses a
    // few buffers instead of allocating one per piece.
    QByteArray spare(qsizetype capacity);
    void addData(QByteArray piece);
    // The digest of everything added since the last result, once all of it is hashed; starts afresh.
    QByteArray hexResult();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<QByteArray> m_waiting;
    std::vector<QByteArray> m_spares;
    bool m_hashing = false;
    bool m_stopping = false;
    Sha256 m_sha;
    std::thread m_thread;
};
