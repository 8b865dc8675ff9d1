#include "shell/TickerAnimation.h"

#include <QPainter>
#include <cmath>

TickerAnimation::TickerAnimation(int firstFrame, QWidget *parent) : QWidget(parent), m_frame(firstFrame % FrameCount)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TickerAnimation::advance()
{
    m_frame = (m_frame + 1) % FrameCount;
    update();
}

void TickerAnimation::paintEvent(QPaintEvent *)
{
    // Drawn on a 40 x 40 design grid and stretched to the box, as the original picture was.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(width() / 40.0, height() / 40.0);

    // Mast.
    p.setPen(QPen(QColor(70, 80, 95), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(20, 17), QPointF(13, 37));
    p.drawLine(QPointF(20, 17), QPointF(27, 37));
    p.drawLine(QPointF(15.5, 30), QPointF(24.5, 30));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 60, 50));
    p.drawEllipse(QPointF(20, 15), 3.2, 3.2);

    // Three waves travel outwards and fade; the phase runs over the 38 frames.
    const double phase = double(m_frame) / FrameCount;
    for (int wave = 0; wave < 3; ++wave) {
        const double t = std::fmod(phase + wave / 3.0, 1.0);
        const double radius = 5 + t * 15;
        QColor colour(40, 120, 220);
        colour.setAlphaF(std::max(0.0, 1.0 - t));
        p.setPen(QPen(colour, 2.0, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        const QRectF arc(20 - radius, 15 - radius, 2 * radius, 2 * radius);
        p.drawArc(arc, -50 * 16, 100 * 16); // right of the mast
        p.drawArc(arc, 130 * 16, 100 * 16); // left of the mast
    }
}
