#pragma once

#include <QObject>
#include <QString>

// A voice that reads texts aloud. say() returns at once; the backend reports the end of each text it was
// given, in order, by finished() or failed(), so that a queue above it can move on without ever waiting.
class SpeechBackend : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // False once the backend knows it cannot speak (no service, no engine); texts are then not given to it.
    virtual bool isAvailable() const = 0;
    virtual void say(const QString &text) = 0;
    // Silences the text being spoken; no finished() follows for it.
    virtual void stop() = 0;

Q_SIGNALS:
    void finished();
    void failed(const QString &reason);
};

// No voice at all: the balloon alone reads every text. For hosts that must stay quiet, such as the lab's.
class NoVoiceBackend final : public SpeechBackend
{
public:
    using SpeechBackend::SpeechBackend;

    bool isAvailable() const override { return false; }
    void say(const QString &) override {}
    void stop() override {}
};
