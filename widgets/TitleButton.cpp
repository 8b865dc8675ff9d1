#include "widgets/TitleButton.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

TitleButton::TitleButton(TitleButtonKind kind, QWidget *parent) : QAbstractButton(parent), m_kind(kind)
{
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    resize(Size, Size);
}

void TitleButton::setGlyph(const QString &glyph)
{
    m_glyph = glyph;
    update();
}

void TitleButton::setAlternate(bool alternate)
{
    m_alternate = alternate;
    update();
}

QColor TitleButton::faceColor() const
{
    if (!isEnabled())
        return QColor(170, 170, 170);
    switch (m_kind) {
    case TitleButtonKind::Close:
        return QColor(236, 95, 87);
    case TitleButtonKind::Minimize:
        return QColor(245, 190, 79);
    case TitleButtonKind::Maximize:
        return QColor(98, 197, 84);
    case TitleButtonKind::ControlBox:
        return QColor(205, 214, 230);
    case TitleButtonKind::Custom:
        break;
    }
    return QColor(120, 170, 225);
}

void TitleButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal diameter = qMin(width(), height()) - 2.0;
    const QRectF face((width() - diameter) / 2.0, (height() - diameter) / 2.0, diameter, diameter);

    QColor color = faceColor();
    if (isDown())
        color = color.darker(125);
    // A light spot above the middle gives the face its rounded, glassy look.
    QRadialGradient gradient(face.center() - QPointF(0, diameter * 0.2), diameter * 0.75);
    gradient.setColorAt(0.0, color.lighter(135));
    gradient.setColorAt(1.0, color);
    painter.setPen(QPen(color.darker(150), 1.0));
    painter.setBrush(gradient);
    painter.drawEllipse(face);

    // The window buttons show their marks on hover only, as on the desktops this look comes from; the control
    // box and custom buttons have no other way to tell what they do.
    const bool alwaysMarked = m_kind == TitleButtonKind::ControlBox || m_kind == TitleButtonKind::Custom;
    if (alwaysMarked || underMouse() || isDown())
        paintMark(painter, face);
}

void TitleButton::paintMark(QPainter &painter, const QRectF &face) const
{
    const QColor ink(60, 40, 30, 200);
    const QPointF c = face.center();
    const qreal r = face.width() * 0.22;
    painter.setPen(QPen(ink, 1.3, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    switch (m_kind) {
    case TitleButtonKind::Close:
        painter.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
        painter.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
        break;
    case TitleButtonKind::Minimize:
        if (m_alternate)
            painter.drawLine(c + QPointF(0, -r), c + QPointF(0, r));
        painter.drawLine(c + QPointF(-r, 0), c + QPointF(r, 0));
        break;
    case TitleButtonKind::Maximize: {
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        // Two triangles pointing outwards (maximise) or inwards (restore).
        const qreal s = m_alternate ? -1.0 : 1.0;
        QPainterPath path;
        const QPointF a = c + QPointF(-r, r) * (m_alternate ? 0.15 : 1.0);
        path.moveTo(a);
        path.lineTo(a + QPointF(0, -r * 1.2 * s));
        path.lineTo(a + QPointF(r * 1.2 * s, 0));
        path.closeSubpath();
        const QPointF b = c + QPointF(r, -r) * (m_alternate ? 0.15 : 1.0);
        path.moveTo(b);
        path.lineTo(b + QPointF(0, r * 1.2 * s));
        path.lineTo(b + QPointF(-r * 1.2 * s, 0));
        path.closeSubpath();
        painter.drawPath(path);
        break;
    }
    case TitleButtonKind::ControlBox: {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(60, 80, 120));
        QPainterPath triangle;
        triangle.moveTo(c + QPointF(-r * 1.2, -r * 0.5));
        triangle.lineTo(c + QPointF(r * 1.2, -r * 0.5));
        triangle.lineTo(c + QPointF(0, r * 0.9));
        triangle.closeSubpath();
        painter.drawPath(triangle);
        break;
    }
    case TitleButtonKind::Custom:
        if (!m_glyph.isEmpty()) {
            QFont font = painter.font();
            font.setPixelSize(qRound(face.height() * 0.7));
            font.setBold(true);
            painter.setFont(font);
            painter.setPen(Qt::white);
            painter.drawText(face, Qt::AlignCenter, m_glyph);
        }
        break;
    }
}
