#pragma once

#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QTimer>

class SpeechBackend;

// Texts spoken one after the other. Each text is either read by the voice or, when there is none or the
// voice fails, shown for a time that follows its length; in both cases it counts as spoken and the next
// one follows, so a failing voice never costs a text. Peers decide how much arrives here, so the queue
// and each text are bounded.
class SpeechQueue : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxQueued = 50;
    static constexpr int MaxChars = 2000;

    explicit SpeechQueue(SpeechBackend *backend, QObject *parent = nullptr);

    // False when the queue is full; the text is then not kept.
    bool enqueue(const QString &text);
    bool isBusy() const { return m_busy; }
    QString current() const { return m_current; }
    qsizetype pending() const { return m_queue.size(); }

    // How long a text takes to read, for the balloon alone and for paging it while the voice speaks.
    static int readingMilliseconds(const QString &text);

Q_SIGNALS:
    void started(const QString &text, int expectedMilliseconds);
    void finished(const QString &text);
    void drained();

private:
    void startNext();
    void voiceFinished();
    void voiceFailed();
    void finishCurrent();

    QPointer<SpeechBackend> m_backend;
    QQueue<QString> m_queue;
    QString m_current;
    bool m_busy = false;
    bool m_voiced = false;
    QTimer m_readingTimer; // the balloon alone
    QTimer m_watchdog;     // a voice that never reports
};
