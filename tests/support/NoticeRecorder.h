#pragma once

#include "engine/NoticeSink.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>

// Keeps every notice instead of showing it, oldest first.
class NoticeRecorder final : public NoticeSink
{
public:
    struct Notice
    {
        QByteArray text;
        QByteArray caption;
    };

    void ShowNotice(const QByteArray &text, const QByteArray &caption) override;

    qsizetype count() const { return shown.size(); }
    QByteArrayList captions() const;
    void clear() { shown.clear(); }

    QList<Notice> shown;
};
