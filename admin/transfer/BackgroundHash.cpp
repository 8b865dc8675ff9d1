#include "admin/transfer/BackgroundHash.h"

BackgroundHash::BackgroundHash() : m_Thread([this] { run(); }) {}

BackgroundHash::~BackgroundHash()
{
    {
        std::lock_guard lock(m_Mutex);
        m_Stopping = true;
    }
    m_Changed.notify_all();
    m_Thread.join();
}

QByteArray BackgroundHash::spare(qsizetype capacity)
{
    QByteArray piece;
    {
        std::lock_guard lock(m_Mutex);
        if (!m_Spares.empty()) {
            piece = std::move(m_Spares.back());
            m_Spares.pop_back();
        }
    }
    piece.reserve(capacity);
    return piece;
}

void BackgroundHash::addData(QByteArray piece)
{
    std::unique_lock lock(m_Mutex);
    m_Changed.wait(lock, [this] { return m_Waiting.size() < MaxWaitingPieces; });
    m_Waiting.push_back(std::move(piece));
    m_Changed.notify_all();
}

QByteArray BackgroundHash::hexResult()
{
    std::unique_lock lock(m_Mutex);
    m_Changed.wait(lock, [this] { return m_Waiting.empty() && !m_Hashing; });
    return m_Sha.hexResult();
}

void BackgroundHash::run()
{
    std::unique_lock lock(m_Mutex);
    for (;;) {
        m_Changed.wait(lock, [this] { return m_Stopping || !m_Waiting.empty(); });
        if (m_Stopping)
            return;
        QByteArray piece = std::move(m_Waiting.front());
        m_Waiting.pop_front();
        m_Hashing = true;
        m_Changed.notify_all();
        lock.unlock();
        m_Sha.addData(piece);
        lock.lock();
        if (m_Spares.size() <= MaxWaitingPieces) {
            piece.resize(0);
            m_Spares.push_back(std::move(piece));
        }
        m_Hashing = false;
        m_Changed.notify_all();
    }
}
