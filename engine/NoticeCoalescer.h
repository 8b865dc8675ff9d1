#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <map>
#include <utility>

class NoticeSink;
class QTimer;

// Keeps a flood of one notice from flooding the user: the first of a kind is shown at once, repeats
// within the window are only counted, and when the window ends one notice tells how many there were.
// A kind that keeps repeating is therefore shown at most once per window.
class NoticeCoalescer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NoticeCoalescer)

public:
    NoticeCoalescer(NoticeSink &sink, std::chrono::milliseconds window, QObject *parent = nullptr);
    ~NoticeCoalescer() override;

    // text is plain text (lines split at '\n'); it is framed as the engine's notices are.
    void show(const QString &text, const QByteArray &caption);
    // The plain text of the notice that sums up repeats.
    static QString repeatedText(const QString &text, int repeats);

private:
    struct Kind
    {
        QTimer *window = nullptr;
        int repeats = 0;
    };
    using Key = std::pair<QString, QByteArray>;

    void windowEnded(const Key &key);

    NoticeSink &m_sink;
    std::chrono::milliseconds m_window;
    std::map<Key, Kind> m_kinds;
};
