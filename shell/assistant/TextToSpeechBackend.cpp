#include "shell/assistant/TextToSpeechBackend.h"

#include <QLocale>
#include <QMutex>
#include <QTextToSpeech>
#include <QVoice>

#include <algorithm>

namespace {
const QString Engine = QStringLiteral("speechd");

// How well a voice suits Traditional Chinese texts: Taiwan first, then any Mandarin, then other Chinese.
// speech-dispatcher names its espeak-ng languages "cmn", which QLocale does not know, so the voices of
// the unknown locale are judged by their names too.
int chineseScore(const QLocale &locale, const QVoice &voice)
{
    int score = 0;
    if (locale.language() == QLocale::Chinese)
        score = locale.territory() == QLocale::Taiwan ? 60 : 50;
    const QString name = voice.name();
    if (name.contains(QLatin1String("Mandarin"), Qt::CaseInsensitive))
        score = std::max(score, 40);
    else if (name.contains(QLatin1String("Chinese"), Qt::CaseInsensitive))
        score = std::max(score, 30);
    // espeak-ng lists each language once plain and many times with a variant after "+".
    if (score > 0 && !name.contains(QLatin1Char('+')))
        score += 5;
    return score;
}
} // namespace

// What a voice's thread may reach of the backend. A voice that was let go, or outlived the backend, stuck in
// the speech service, finds no owner and reports nothing.
struct TextToSpeechBackend::Link
{
    QMutex mutex;
    TextToSpeechBackend *owner = nullptr;
};

// Owns the engine on the speech thread; every call reaches it as a queued call, every report leaves it
// as a queued call to the backend on the user-interface thread.
class TextToSpeechBackend::Voice : public QObject
{
public:
    Voice(std::shared_ptr<Link> link, std::shared_ptr<std::atomic<bool>> available)
        : m_link(std::move(link)), m_available(std::move(available))
    {
    }

    void start()
    {
        if (!QTextToSpeech::availableEngines().contains(Engine))
            return giveUp(QStringLiteral("The speech plugin \"%1\" is not installed.").arg(Engine));
        m_engine = new QTextToSpeech(Engine, this);
        if (m_engine->state() == QTextToSpeech::Error)
            return giveUp(m_engine->errorString());
        chooseChineseVoice();
        QObject::connect(m_engine, &QTextToSpeech::stateChanged, this, [this](QTextToSpeech::State state) {
            if (state == QTextToSpeech::Speaking)
                m_heard = true;
            else if (state == QTextToSpeech::Ready && m_expecting && m_heard)
                report(false, {});
            else if (state == QTextToSpeech::Error && m_expecting)
                report(true, m_engine->errorString());
        });
        const QString locale = m_engine->locale().name();
        const QString voice = m_engine->voice().name();
        post([locale, voice](TextToSpeechBackend *owner) {
            owner->m_localeName = locale;
            owner->m_voiceName = voice;
        });
    }

    void say(const QString &text)
    {
        if (!m_engine || m_engine->state() == QTextToSpeech::Error) {
            m_expecting = true;
            return report(true, m_engine ? m_engine->errorString() : QStringLiteral("No speech engine."));
        }
        m_expecting = true;
        m_heard = false;
        m_engine->say(text);
    }

    void stop()
    {
        m_expecting = false;
        if (m_engine)
            m_engine->stop();
    }

private:
    void chooseChineseVoice()
    {
        int best = 0;
        QLocale bestLocale;
        QVoice bestVoice;
        const QLocale initial = m_engine->locale();
        for (const QLocale &locale : m_engine->availableLocales()) {
            m_engine->setLocale(locale);
            for (const QVoice &voice : m_engine->availableVoices()) {
                if (const int score = chineseScore(locale, voice); score > best) {
                    best = score;
                    bestLocale = locale;
                    bestVoice = voice;
                }
            }
        }
        m_engine->setLocale(best > 0 ? bestLocale : initial);
        if (best > 0)
            m_engine->setVoice(bestVoice);
    }

    void giveUp(const QString &reason)
    {
        m_available->store(false);
        Q_UNUSED(reason);
    }

    void report(bool failed, const QString &reason)
    {
        m_expecting = false;
        post([failed, reason](TextToSpeechBackend *owner) {
            if (failed)
                Q_EMIT owner->failed(reason);
            else
                Q_EMIT owner->finished();
        });
    }

    template <typename Call> void post(Call call)
    {
        // Posted under the lock: the owner cannot go between the test and the post.
        QMutexLocker lock(&m_link->mutex);
        if (TextToSpeechBackend *owner = m_link->owner)
            QMetaObject::invokeMethod(
                owner, [owner, call] { call(owner); }, Qt::QueuedConnection);
    }

    std::shared_ptr<Link> m_link;
    std::shared_ptr<std::atomic<bool>> m_available;
    QTextToSpeech *m_engine = nullptr;
    bool m_expecting = false;
    bool m_heard = false;
};

TextToSpeechBackend::TextToSpeechBackend(QObject *parent)
    : SpeechBackend(parent), m_available(std::make_shared<std::atomic<bool>>(true))
{
    // The speech client's threads keep waking while connected; a voice with nothing to say is let go.
    m_release.setSingleShot(true);
    m_release.setInterval(ReleaseAfterMs);
    connect(&m_release, &QTimer::timeout, this, &TextToSpeechBackend::releaseVoice);
    auto reported = [this] {
        m_pending = std::max(0, m_pending - 1);
        if (m_pending == 0)
            m_release.start();
    };
    connect(this, &SpeechBackend::finished, this, reported);
    connect(this, &SpeechBackend::failed, this, reported);
}

// The thread, the speech plugin and the speech service it may start come with the first text: a host that
// hears no broadcast never carries them.
void TextToSpeechBackend::startVoice()
{
    if (m_voice)
        return;
    m_link = std::make_shared<Link>();
    m_link->owner = this;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("speech"));
    m_voice = new Voice(m_link, m_available);
    m_voice->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_voice, &QObject::deleteLater);
    // A thread left running below goes by itself once it ends.
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    m_thread->start(QThread::LowPriority);
    QMetaObject::invokeMethod(
        m_voice, [voice = m_voice] { voice->start(); }, Qt::QueuedConnection);
}

bool TextToSpeechBackend::isStarted() const
{
    return m_voice != nullptr;
}

void TextToSpeechBackend::releaseVoice()
{
    m_release.stop();
    if (!m_voice)
        return;
    {
        QMutexLocker lock(&m_link->mutex);
        m_link->owner = nullptr;
    }
    QMetaObject::invokeMethod(
        m_voice, [voice = m_voice] { voice->stop(); }, Qt::QueuedConnection);
    m_thread->quit();
    // The voice is deleted as its thread finishes. A voice stuck in the speech service (a connection that
    // never answers) must not hold the user interface or the program's end: its thread is left to end when
    // it can.
    if (m_thread->wait(QuitWaitMs))
        delete m_thread;
    m_thread = nullptr;
    m_voice = nullptr;
    m_link.reset();
    m_pending = 0;
}

TextToSpeechBackend::~TextToSpeechBackend()
{
    releaseVoice();
}

bool TextToSpeechBackend::isAvailable() const
{
    return m_available->load();
}

void TextToSpeechBackend::say(const QString &text)
{
    m_release.stop();
    ++m_pending;
    startVoice();
    QMetaObject::invokeMethod(
        m_voice, [voice = m_voice, text] { voice->say(text); }, Qt::QueuedConnection);
}

void TextToSpeechBackend::stop()
{
    if (!m_voice)
        return;
    // No report follows for the text that was silenced.
    m_pending = 0;
    m_release.start();
    QMetaObject::invokeMethod(
        m_voice, [voice = m_voice] { voice->stop(); }, Qt::QueuedConnection);
}

QString TextToSpeechBackend::localeName() const
{
    return m_localeName;
}

QString TextToSpeechBackend::voiceName() const
{
    return m_voiceName;
}
