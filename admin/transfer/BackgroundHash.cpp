#include "admin/transfer/BackgroundHash.h"

BackgroundHash::BackgroundHash() : thread_([this] { run(); }) {}

BackgroundHash::~BackgroundHash()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

QByteArray BackgroundHash::spare(qsizetype capacity)
{
    QByteArray piece;
    {
        std::lock_guard lock(mutex_);
        if (!spares_.empty()) {
            piece = std::move(spares_.back());
            spares_.pop_back();
        }
    }
    piece.reserve(capacity);
    return piece;
}

void BackgroundHash::addData(QByteArray piece)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return waiting_.size() < MaxWaitingPieces; });
    waiting_.push_back(std::move(piece));
    changed_.notify_all();
}

QByteArray BackgroundHash::hexResult()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return waiting_.empty() && !hashing_; });
    return sha_.hexResult();
}

void BackgroundHash::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (stopping_)
            return;
        QByteArray piece = std::move(waiting_.front());
        waiting_.pop_front();
        hashing_ = true;
        changed_.notify_all();
        lock.unlock();
        sha_.addData(piece);
        lock.lock();
        if (spares_.size() <= MaxWaitingPieces) {
            piece.resize(0);
            spares_.push_back(std::move(piece));
        }
        hashing_ = false;
        changed_.notify_all();
    }
}
