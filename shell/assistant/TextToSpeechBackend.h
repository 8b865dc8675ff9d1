#pragma once

#include "shell/assistant/SpeechBackend.h"

#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

class QTextToSpeech;

// The desktop's voice through Qt TextToSpeech and speech-dispatcher, preferring a Chinese voice. Connecting
// to the speech service can take a while (it may have to be started), so the engine lives on a thread of
// its own and the user interface only ever posts to it. Nothing of it is started before the first text, and
// it is let go again once it has had nothing to say for a while.
class TextToSpeechBackend : public SpeechBackend
{
    Q_OBJECT

public:
    static constexpr int ReleaseAfterMs = 30'000;
    static constexpr int QuitWaitMs = 500;

    explicit TextToSpeechBackend(QObject *parent = nullptr);
    ~TextToSpeechBackend() override;

    bool isAvailable() const override;
    void say(const QString &text) override;
    void stop() override;

    // The locale and voice chosen once the engine is up; empty before or without a voice.
    QString localeName() const;
    QString voiceName() const;
    // Whether the voice is up: from a text to say until it has been quiet for ReleaseAfterMs.
    bool isStarted() const;
    void releaseVoice();

private:
    class Voice;
    struct Link;
    void startVoice();
    QThread *m_thread = nullptr;
    Voice *m_voice = nullptr;
    std::shared_ptr<Link> m_link;
    QTimer m_release;
    int m_pending = 0; // texts given and not yet reported
    std::shared_ptr<std::atomic<bool>> m_available;
    QString m_localeName;
    QString m_voiceName;
};
