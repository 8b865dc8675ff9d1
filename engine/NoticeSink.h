#pragma once

#include <QByteArray>

// Where the engine tells the user something: the console forwards to the notice window, tests record.
// Text is a code page 950 RTF document (or plain text), caption plain code page 950 text.
class NoticeSink
{
public:
    virtual ~NoticeSink() = default;
    virtual void ShowNotice(const QByteArray &text, const QByteArray &caption) = 0;
};
