#include "shell/TForm_AboutMoravik.h"

#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>

TForm_AboutMoravik::TForm_AboutMoravik(QWidget *parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TForm_AboutMoravik"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Parlune"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/MAINICON.png")));
    setFixedSize(240, 180);
    m_lines = credits();
    m_scroll.setObjectName(QStringLiteral("Timer_Scroll"));
    m_scroll.setInterval(StepMs);
    connect(&m_scroll, &QTimer::timeout, this, &TForm_AboutMoravik::Timer_ScrollTimer);
    m_scroll.start();
}

TForm_AboutMoravik::~TForm_AboutMoravik() = default;

QStringList TForm_AboutMoravik::credits()
{
    return {QStringLiteral("Parlune"),          QStringLiteral("區域網路即時通訊"),       QString(),
            QStringLiteral("── 製作 ──"),       QStringLiteral("the Parlune developers"), QString(),
            QStringLiteral("── 網路與引擎 ──"), QStringLiteral("the Parlune developers"), QString(),
            QStringLiteral("── 介面與圖示 ──"), QStringLiteral("the Parlune developers"), QString(),
            QStringLiteral("── 測試 ──"),       QStringLiteral("the Parlune developers"), QString(),
            QStringLiteral("謝謝使用!")};
}

int TForm_AboutMoravik::lineHeight() const
{
    return fontMetrics().height() + 4;
}

void TForm_AboutMoravik::Timer_ScrollTimer()
{
    // After the last line has left the top, start again from below.
    const int cycle = height() + lineHeight() * int(m_lines.size());
    m_offset = (m_offset + 1) % cycle;
    update();
}

void TForm_AboutMoravik::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QLinearGradient sky(0, 0, 0, height());
    sky.setColorAt(0, QColor(10, 30, 90));
    sky.setColorAt(1, QColor(60, 120, 205));
    painter.fillRect(rect(), sky);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const int line = lineHeight();
    const int fade = height() / 4;
    for (int i = 0; i < m_lines.size(); ++i) {
        const int y = height() - m_offset + i * line;
        if (y + line < 0 || y > height())
            continue;
        // Lines fade in at the bottom and out at the top.
        const int centre = y + line / 2;
        const int edge = qMin(centre, height() - centre);
        const int alpha = qBound(0, 255 * edge / qMax(fade, 1), 255);
        QFont font = this->font();
        font.setBold(i == 0);
        painter.setFont(font);
        painter.setPen(QColor(255, 250, 225, alpha));
        painter.drawText(QRect(0, y, width(), line), Qt::AlignCenter, m_lines.at(i));
    }
}

void TForm_AboutMoravik::mousePressEvent(QMouseEvent *)
{
    close();
}

void TForm_AboutMoravik::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}
