#include "shell/assistant/TextToSpeechBackend.h"

#include <QLocale>
#include <QPointer>
#include <QTextToSpeech>
#include <QVoice>

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

// Owns the engine on the speech thread; every call reaches it as a queued call, every report leaves it
// as a queued call to the backend on the user-interface thread.
class TextToSpeechBackend::Voice : public QObject
{
public:
    Voice(TextToSpeechBackend *owner, std::shared_ptr<std::atomic<bool>> available)
        : m_owner(owner), m_available(std::move(available))
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
        QMetaObject::invokeMethod(
            m_owner,
            [owner = m_owner, locale, voice] {
                owner->m_localeName = locale;
                owner->m_voiceName = voice;
            },
            Qt::QueuedConnection);
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
        QMetaObject::invokeMethod(
            m_owner,
            [owner = m_owner, failed, reason] {
                if (failed)
                    Q_EMIT owner->failed(reason);
                else
                    Q_EMIT owner->finished();
            },
            Qt::QueuedConnection);
    }

    TextToSpeechBackend *m_owner;
    std::shared_ptr<std::atomic<bool>> m_available;
    QTextToSpeech *m_engine = nullptr;
    bool m_expecting = false;
    bool m_heard = false;
};

TextToSpeechBackend::TextToSpeechBackend(QObject *parent)
    : SpeechBackend(parent), m_available(std::make_shared<std::atomic<bool>>(true))
{
    m_thread.setObjectName(QStringLiteral("speech"));
}

// The thread, the speech plugin and the speech service it may start come with the first text: a host that
// hears no broadcast never carries them.
void TextToSpeechBackend::startVoice()
{
    if (m_voice)
        return;
    m_voice = new Voice(this, m_available);
    m_voice->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_voice, &QObject::deleteLater);
    m_thread.start(QThread::LowPriority);
    QMetaObject::invokeMethod(
        m_voice, [voice = m_voice] { voice->start(); }, Qt::QueuedConnection);
}

bool TextToSpeechBackend::isStarted() const
{
    return m_voice != nullptr;
}

TextToSpeechBackend::~TextToSpeechBackend()
{
    if (!m_voice)
        return;
    QMetaObject::invokeMethod(
        m_voice, [voice = m_voice] { voice->stop(); }, Qt::QueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

bool TextToSpeechBackend::isAvailable() const
{
    return m_available->load();
}

void TextToSpeechBackend::say(const QString &text)
{
    startVoice();
    QMetaObject::invokeMethod(
        m_voice, [voice = m_voice, text] { voice->say(text); }, Qt::QueuedConnection);
}

void TextToSpeechBackend::stop()
{
    if (!m_voice)
        return;
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
