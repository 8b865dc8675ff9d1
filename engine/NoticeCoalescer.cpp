#include "engine/NoticeCoalescer.h"

#include "engine/NoticeSink.h"
#include "engine/NoticeText.h"
#include "engine/WireTexts.h"

#include <QTimer>

NoticeCoalescer::NoticeCoalescer(NoticeSink &sink, std::chrono::milliseconds window, QObject *parent)
    : QObject(parent), sink_(sink), window_(window)
{
}

NoticeCoalescer::~NoticeCoalescer() = default;

QString NoticeCoalescer::repeatedText(const QString &text, int repeats)
{
    return text + QStringView(wire::NoticeRepeated).toString().arg(repeats);
}

void NoticeCoalescer::show(const QString &text, const QByteArray &caption)
{
    const Key key{text, caption};
    const auto it = kinds_.find(key);
    if (it != kinds_.end()) {
        ++it->second.repeats;
        return;
    }
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, key] { windowEnded(key); });
    timer->start(window_);
    kinds_.emplace(key, Kind{timer, 0});
    sink_.ShowNotice(NoticeText::build(text), caption);
}

void NoticeCoalescer::windowEnded(const Key &key)
{
    const auto it = kinds_.find(key);
    if (it == kinds_.end())
        return;
    Kind &kind = it->second;
    if (kind.repeats == 0) {
        kind.window->deleteLater();
        kinds_.erase(it);
        return;
    }
    // The summary opens a new window, so a flood that goes on is summed up once per window.
    const int repeats = std::exchange(kind.repeats, 0);
    kind.window->start(window_);
    sink_.ShowNotice(NoticeText::build(repeatedText(key.first, repeats)), key.second);
}
