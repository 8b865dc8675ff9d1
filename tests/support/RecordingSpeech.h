#pragma once

#include "shell/assistant/SpeechBackend.h"

#include <QStringList>

// A voice that records what it was given to say; the test decides when each text is done, or that it failed.
class RecordingSpeech final : public SpeechBackend
{
public:
    bool available = true;
    QStringList said;
    int stops = 0;

    bool isAvailable() const override { return available; }
    void say(const QString &text) override { said.append(text); }
    void stop() override { ++stops; }
    void finish() { Q_EMIT finished(); }
    void fail() { Q_EMIT failed(QStringLiteral("no voice")); }
};
