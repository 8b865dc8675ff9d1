#include "engine/NoticeCoalescer.h"

#include "engine/NoticeSink.h"
#include "engine/NoticeText.h"
#include "engine/WireTexts.h"

#include <QTimer>

NoticeCoalescer::NoticeCoalescer(NoticeSink &sink, std::chrono::milliseconds window, QObject *parent)
    : QObject(parent), m_sink(sink), m_window(window)
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
    const auto it = m_kinds.find(key);
    if (it != m_kinds.end()) {
        ++it->second.repeats;
        return;
    }
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, key] { windowEnded(key); });
    timer->start(m_window);
    m_kinds.emplace(key, Kind{timer, 0});
    m_sink.ShowNotice(NoticeText::build(text), caption);
}

void NoticeCoalescer::windowEnded(const Key &key)
{
    const auto it = m_kinds.find(key);
    if (it == m_kinds.end())
        return;
    Kind &kind = it->second;
    if (kind.repeats == 0) {
        kind.window->deleteLater();
        m_kinds.erase(it);
        return;
    }
    // The summary opens a new window, so a flood that goes on is summed up once per window.
    const int repeats = std::exchange(kind.repeats, 0);
    kind.window->start(m_window);
    m_sink.ShowNotice(NoticeText::build(repeatedText(key.first, repeats)), key.second);
}
