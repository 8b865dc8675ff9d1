#include "admin/transfer/BackgroundHash.h"

BackgroundHash::BackgroundHash() : m_thread([this] { run(); }) {}

BackgroundHash::~BackgroundHash()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

QByteArray BackgroundHash::spare(qsizetype capacity)
{
    QByteArray piece;
    {
        std::lock_guard lock(m_mutex);
        if (!m_spares.empty()) {
            piece = std::move(m_spares.back());
            m_spares.pop_back();
        }
    }
    piece.reserve(capacity);
    return piece;
}

void BackgroundHash::addData(QByteArray piece)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_waiting.size() < MaxWaitingPieces; });
    m_waiting.push_back(std::move(piece));
    m_changed.notify_all();
}

QByteArray BackgroundHash::hexResult()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_waiting.empty() && !m_hashing; });
    return m_sha.hexResult();
}

void BackgroundHash::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
        if (m_stopping)
            return;
        QByteArray piece = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_hashing = true;
        m_changed.notify_all();
        lock.unlock();
        m_sha.addData(piece);
        lock.lock();
        if (m_spares.size() <= MaxWaitingPieces) {
            piece.resize(0);
            m_spares.push_back(std::move(piece));
        }
        m_hashing = false;
        m_changed.notify_all();
    }
}
