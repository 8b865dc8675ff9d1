#include "shell/assistant/SpeechBalloon.h"

#include <QBitmap>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTextLayout>

namespace {
constexpr int Padding = 8;
constexpr int Tail = 12; // height of the pointer towards the character
constexpr int MaxLines = 8;
constexpr int MaxCharsPerLine = 64;
} // namespace

SpeechBalloon::SpeechBalloon(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint |
                          Qt::WindowDoesNotAcceptFocus)
{
    setObjectName(QStringLiteral("speechBalloon"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_pageTimer.setSingleShot(true);
    m_lingerTimer.setSingleShot(true);
    connect(&m_pageTimer, &QTimer::timeout, this, [this] { showPage(m_page + 1); });
    connect(&m_lingerTimer, &QTimer::timeout, this, &QWidget::hide);
    setStyle({});
}

void SpeechBalloon::setStyle(const CharacterBalloon &style)
{
    m_style = style;
    m_style.lines = std::clamp(style.lines, 1, MaxLines);
    m_style.charsPerLine = std::clamp(style.charsPerLine, 8, MaxCharsPerLine);
    m_font = QFont(style.fontName.isEmpty() ? QStringLiteral("細明體") : style.fontName);
    // A negative height is the characters' own height in pixels; a positive one includes the leading.
    const int height = style.fontHeight < 0 ? -style.fontHeight : style.fontHeight * 4 / 5;
    m_font.setPixelSize(std::clamp(height, 8, 48));
    m_font.setWeight(QFont::Weight(std::clamp(style.fontWeight, 100, 900)));
    m_font.setItalic(style.italic);
}

QStringList SpeechBalloon::wrap(const QString &text) const
{
    const QFontMetrics metrics(m_font);
    const int width = m_style.charsPerLine * metrics.averageCharWidth();
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines;
    for (const QString &paragraph : plain.split(QLatin1Char('\n'))) {
        if (paragraph.isEmpty()) {
            lines.append(QString());
            continue;
        }
        QTextLayout layout(paragraph, m_font);
        // A peer's text may be one long word; it breaks anywhere rather than stretch the balloon.
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines.append(paragraph.mid(line.textStart(), line.textLength()).trimmed());
        }
        layout.endLayout();
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void SpeechBalloon::say(const QString &text, int expectedMilliseconds)
{
    m_lingerTimer.stop();
    m_pageTimer.stop();
    const QStringList lines = wrap(text);
    m_pages.clear();
    m_pageMs.clear();
    qsizetype chars = 0;
    for (qsizetype i = 0; i < lines.size(); i += m_style.lines) {
        m_pages.append(lines.mid(i, m_style.lines).join(QLatin1Char('\n')));
        chars += m_pages.last().size();
    }
    if (m_pages.isEmpty())
        m_pages.append(QString());
    for (const QString &page : std::as_const(m_pages))
        m_pageMs.append(
            int(qint64(expectedMilliseconds) * std::max<qsizetype>(page.size(), 1) / std::max<qsizetype>(chars, 1)));
    resizeToPages();
    showPage(0);
}

void SpeechBalloon::showPage(int page)
{
    if (page < 0 || page >= m_pages.size())
        return;
    m_page = page;
    if (page + 1 < m_pages.size())
        m_pageTimer.start(m_pageMs.at(page));
    update();
}

void SpeechBalloon::finish()
{
    m_pageTimer.stop();
    if (!m_pages.isEmpty())
        showPage(int(m_pages.size()) - 1);
    m_lingerTimer.start(LingerMs);
}

QString SpeechBalloon::pageText() const
{
    return m_page < m_pages.size() ? m_pages.at(m_page) : QString();
}

void SpeechBalloon::resizeToPages()
{
    // Every page has the size of the largest, so the balloon does not jump while it turns them.
    const QFontMetrics metrics(m_font);
    int width = 0;
    int lines = 1;
    for (const QString &page : std::as_const(m_pages)) {
        const QStringList pageLines = page.split(QLatin1Char('\n'));
        lines = std::max(lines, int(pageLines.size()));
        for (const QString &line : pageLines)
            width = std::max(width, metrics.horizontalAdvance(line));
    }
    width = std::max(width, 4 * metrics.averageCharWidth());
    resize(width + 2 * Padding + 2, lines * metrics.lineSpacing() + 2 * Padding + Tail + 2);
    if (m_character.isValid())
        placeNear(m_character);
    else
        updateShape();
}

void SpeechBalloon::placeNear(const QRect &character)
{
    m_character = character;
    const QScreen *screen = QGuiApplication::screenAt(character.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 14, 1 << 14);
    // Right edges aligned: the character stands at the right of the screen, the balloon grows to its left.
    int x = character.right() - width() + 1;
    x = std::clamp(x, area.left(), std::max(area.left(), area.right() - width() + 1));
    m_tailDown = character.top() - height() >= area.top();
    const int y = m_tailDown ? character.top() - height() : character.bottom() + 1;
    move(x, y);
    updateShape();
    update();
}

QPainterPath SpeechBalloon::outline() const
{
    const QRectF body = textBox();
    QPainterPath path;
    path.addRoundedRect(body, 8, 8);
    // The tail points at the middle of the character, or as near as the balloon reaches.
    const qreal tip = std::clamp(qreal(m_character.center().x() - x()), body.left() + 14, body.right() - 14);
    QPolygonF tail;
    if (m_tailDown)
        tail << QPointF(tip - 8, body.bottom() - 1) << QPointF(tip, height() - 1.0)
             << QPointF(tip + 2, body.bottom() - 1);
    else
        tail << QPointF(tip - 8, body.top() + 1) << QPointF(tip, 1.0) << QPointF(tip + 2, body.top() + 1);
    QPainterPath pointer;
    pointer.addPolygon(tail);
    pointer.closeSubpath();
    return path.united(pointer);
}

QRectF SpeechBalloon::textBox() const
{
    return QRectF(rect()).adjusted(1, m_tailDown ? 1 : Tail + 1, -1, m_tailDown ? -Tail - 1 : -1);
}

void SpeechBalloon::updateShape()
{
    // Without a compositing manager the translucent corners would show black: the window takes the
    // balloon's own shape.
    QImage shape(size(), QImage::Format_ARGB32_Premultiplied);
    shape.fill(Qt::transparent);
    QPainter p(&shape);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::black);
    p.drawPath(outline());
    p.end();
    setMask(QBitmap::fromImage(shape.createAlphaMask()));
}

void SpeechBalloon::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(m_style.border), 1));
    p.setBrush(QColor(m_style.background));
    p.drawPath(outline());
    p.setPen(QColor(m_style.foreground));
    p.setFont(m_font);
    p.drawText(textBox().adjusted(Padding, Padding, -Padding, -Padding), Qt::AlignLeft | Qt::AlignTop, pageText());
}
