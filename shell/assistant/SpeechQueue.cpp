#include "shell/assistant/SpeechQueue.h"

#include "shell/assistant/SpeechBackend.h"

namespace {
// Mandarin is read at about four characters a second; a pause at the start and at the end.
constexpr int PauseMs = 1200;
constexpr int PerCharMs = 250;
constexpr int LongestReadingMs = 60'000;
} // namespace

SpeechQueue::SpeechQueue(SpeechBackend *backend, QObject *parent) : QObject(parent), m_backend(backend)
{
    m_readingTimer.setSingleShot(true);
    m_watchdog.setSingleShot(true);
    connect(&m_readingTimer, &QTimer::timeout, this, &SpeechQueue::finishCurrent);
    // A voice that hangs must not hold up the queue: after well over the text's reading time it is let go.
    connect(&m_watchdog, &QTimer::timeout, this, [this] {
        if (m_backend)
            m_backend->stop();
        finishCurrent();
    });
    if (m_backend) {
        connect(m_backend, &SpeechBackend::finished, this, &SpeechQueue::voiceFinished);
        connect(m_backend, &SpeechBackend::failed, this, &SpeechQueue::voiceFailed);
    }
}

int SpeechQueue::readingMilliseconds(const QString &text)
{
    return int(std::min<qint64>(PauseMs + qint64(text.size()) * PerCharMs, LongestReadingMs));
}

bool SpeechQueue::enqueue(const QString &text)
{
    if (m_queue.size() >= MaxQueued)
        return false;
    m_queue.enqueue(text.left(MaxChars));
    if (!m_busy)
        startNext();
    return true;
}

void SpeechQueue::startNext()
{
    if (m_queue.isEmpty()) {
        m_busy = false;
        m_current.clear();
        Q_EMIT drained();
        return;
    }
    m_busy = true;
    m_current = m_queue.dequeue();
    const int reading = readingMilliseconds(m_current);
    m_voiced = m_backend && m_backend->isAvailable() && !m_current.trimmed().isEmpty();
    Q_EMIT started(m_current, reading);
    if (m_voiced) {
        m_watchdog.start(2 * reading + 10'000);
        m_backend->say(m_current);
    } else {
        m_readingTimer.start(reading);
    }
}

void SpeechQueue::voiceFinished()
{
    // Reports of a voice that was let go or stopped belong to no text of the queue.
    if (m_busy && m_voiced)
        finishCurrent();
}

void SpeechQueue::voiceFailed()
{
    if (!m_busy || !m_voiced)
        return;
    // The text stays on screen for its reading time instead.
    m_voiced = false;
    m_watchdog.stop();
    m_readingTimer.start(readingMilliseconds(m_current));
}

void SpeechQueue::finishCurrent()
{
    if (!m_busy)
        return;
    m_watchdog.stop();
    m_readingTimer.stop();
    m_voiced = false;
    const QString text = m_current;
    Q_EMIT finished(text);
    startNext();
}
