#pragma once

#include "shell/character/Character.h"

#include <QFont>
#include <QPainterPath>
#include <QStringList>
#include <QTimer>
#include <QWidget>

// The balloon the character speaks in: its colours, font and size of the character's balloon info, the
// text broken into pages of that many lines, turned page by page while the text is read.
class SpeechBalloon : public QWidget
{
    Q_OBJECT

public:
    static constexpr int LingerMs = 1500;

    explicit SpeechBalloon(QWidget *parent = nullptr);

    void setStyle(const CharacterBalloon &style);
    // Shows the text from its first page; the pages share the expected reading time.
    void say(const QString &text, int expectedMilliseconds);
    // The text has been read: the last page stays a moment, then the balloon goes.
    void finish();
    // Stands above the character's rectangle, its tail pointing down at it; below it when there is no room.
    void placeNear(const QRect &character);

    QStringList pages() const { return m_pages; }
    int page() const { return m_page; }
    QString pageText() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void showPage(int page);
    void resizeToPages();
    QStringList wrap(const QString &text) const;
    QPainterPath outline() const;
    QRectF textBox() const;
    void updateShape();

    CharacterBalloon m_style;
    QFont m_font;
    QStringList m_pages; // lines joined by '\n'
    QList<int> m_pageMs;
    int m_page = 0;
    bool m_tailDown = true;
    QRect m_character;
    QTimer m_pageTimer;
    QTimer m_lingerTimer;
};
