#pragma once

#include "shell/assistant/SpeechBackend.h"

#include <QThread>

#include <atomic>
#include <memory>

class QTextToSpeech;

// The desktop's voice through Qt TextToSpeech and speech-dispatcher, preferring a Chinese voice. Connecting
// to the speech service can take a while (it may have to be started), so the engine lives on a thread of
// its own and the user interface only ever posts to it. Nothing of it is started before the first text.
class TextToSpeechBackend : public SpeechBackend
{
    Q_OBJECT

public:
    explicit TextToSpeechBackend(QObject *parent = nullptr);
    ~TextToSpeechBackend() override;

    bool isAvailable() const override;
    void say(const QString &text) override;
    void stop() override;

    // The locale and voice chosen once the engine is up; empty before or without a voice.
    QString localeName() const;
    QString voiceName() const;
    // Whether the voice has been brought up, which the first text does.
    bool isStarted() const;

private:
    class Voice;
    void startVoice();
    QThread m_thread;
    Voice *m_voice = nullptr;
    std::shared_ptr<std::atomic<bool>> m_available;
    QString m_localeName;
    QString m_voiceName;
};
