// Draws the face menu's artwork: 104 faces of 20 × 20 (four pages of 26: expressions, animals, food,
// things), the two page arrows and the banner of the picture-file item. Each picture is painted with
// vectors at four times its size and scaled down, which keeps outlines crisp but smooth at 20 pixels.
//
// Usage: face-artwork <resources folder> [contact sheet.png]

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <cmath>
#include <functional>
#include <vector>

namespace {

constexpr int Size = 20;
constexpr int Scale = 4;

using Painter = QPainter;
using Draw = std::function<void(Painter &)>;

QColor rgb(unsigned value) { return QColor::fromRgb(value); }

QPen outline(QColor color, qreal width = 0.9)
{
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

QImage render(const Draw &draw, int width = Size, int height = Size)
{
    QImage big(width * Scale, height * Scale, QImage::Format_ARGB32_Premultiplied);
    big.fill(Qt::transparent);
    {
        Painter p(&big);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(Scale, Scale);
        draw(p);
    }
    return big.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_ARGB32);
}

// ---- shapes shared by many pictures

void disc(Painter &p, QPointF c, qreal r, QColor fill, QColor line, qreal lineWidth = 0.9)
{
    QRadialGradient g(c - QPointF(r * 0.35, r * 0.4), r * 1.5);
    g.setColorAt(0, fill.lighter(125));
    g.setColorAt(1, fill);
    p.setBrush(g);
    p.setPen(lineWidth > 0 ? outline(line, lineWidth) : Qt::NoPen);
    p.drawEllipse(c, r, r);
}

void ellipse(Painter &p, QPointF c, qreal rx, qreal ry, QColor fill, QColor line = Qt::transparent, qreal w = 0.8)
{
    p.setBrush(fill);
    p.setPen(line.alpha() ? outline(line, w) : QPen(Qt::NoPen));
    p.drawEllipse(c, rx, ry);
}

void stroke(Painter &p, const QPainterPath &path, QColor color, qreal width = 0.9)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(outline(color, width));
    p.drawPath(path);
}

void fillPath(Painter &p, const QPainterPath &path, const QBrush &fill, QColor line = Qt::transparent, qreal w = 0.8)
{
    p.setBrush(fill);
    p.setPen(line.alpha() ? outline(line, w) : QPen(Qt::NoPen));
    p.drawPath(path);
}

QPainterPath arc(QPointF from, QPointF control, QPointF to)
{
    QPainterPath path(from);
    path.quadTo(control, to);
    return path;
}

QPainterPath heartPath(QPointF c, qreal s)
{
    QPainterPath path;
    path.moveTo(c.x(), c.y() + s * 0.9);
    path.cubicTo(c.x() - s * 1.3, c.y() + s * 0.1, c.x() - s * 1.0, c.y() - s * 1.0, c.x(), c.y() - s * 0.35);
    path.cubicTo(c.x() + s * 1.0, c.y() - s * 1.0, c.x() + s * 1.3, c.y() + s * 0.1, c.x(), c.y() + s * 0.9);
    return path;
}

QPainterPath starPath(QPointF c, qreal outer, qreal inner, int points = 5)
{
    QPainterPath path;
    for (int i = 0; i < points * 2; ++i) {
        const qreal a = -M_PI / 2 + i * M_PI / points;
        const qreal r = i % 2 ? inner : outer;
        const QPointF pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    path.closeSubpath();
    return path;
}

void heart(Painter &p, QPointF c, qreal s, QColor fill = rgb(0xE8304A), qreal line = 0.7)
{
    fillPath(p, heartPath(c, s), fill, line > 0 ? fill.darker(150) : QColor(Qt::transparent), line);
    ellipse(p, c + QPointF(-s * 0.45, -s * 0.25), s * 0.2, s * 0.14, QColor(255, 255, 255, 150));
}

// ---- the smiley

const QColor Yellow = rgb(0xFFD23C);
const QColor YellowLine = rgb(0xB07A10);
const QColor Ink = rgb(0x4A2A10);
const QColor Mouth = rgb(0x8A2A1A);

void head(Painter &p, QColor fill = Yellow, QColor line = YellowLine) { disc(p, {10, 10.3}, 8.6, fill, line); }

void dotEyes(Painter &p, qreal y = 8.3, qreal r = 1.15, qreal dx = 3.1)
{
    ellipse(p, {10 - dx, y}, r * 0.85, r * 1.2, Ink);
    ellipse(p, {10 + dx, y}, r * 0.85, r * 1.2, Ink);
}

void happyEyes(Painter &p, qreal y = 8.6)
{
    stroke(p, arc({5.4, y}, {6.9, y - 2.2}, {8.4, y}), Ink, 1.0);
    stroke(p, arc({11.6, y}, {13.1, y - 2.2}, {14.6, y}), Ink, 1.0);
}

void closedEyes(Painter &p, qreal y = 8.3)
{
    stroke(p, arc({5.4, y}, {6.9, y + 1.6}, {8.4, y}), Ink, 1.0);
    stroke(p, arc({11.6, y}, {13.1, y + 1.6}, {14.6, y}), Ink, 1.0);
}

void smile(Painter &p, qreal width = 4.2, qreal depth = 2.6, qreal y = 12.2)
{
    stroke(p, arc({10 - width, y}, {10, y + depth * 1.6}, {10 + width, y}), Ink, 1.0);
}

void grin(Painter &p, qreal y = 11.6, qreal h = 4.6, bool teeth = true)
{
    QPainterPath m(QPointF(5.3, y));
    m.cubicTo(5.6, y + h, 14.4, y + h, 14.7, y);
    m.closeSubpath();
    fillPath(p, m, Mouth, Ink, 0.7);
    p.save();
    p.setClipPath(m);
    if (teeth)
        p.fillRect(QRectF(5, y - 0.5, 10, 1.5), Qt::white);
    ellipse(p, {10, y + h * 0.8}, 2.8, 1.6, rgb(0xF06A70));
    p.restore();
}

void blush(Painter &p, QColor c = QColor(255, 110, 120, 120))
{
    ellipse(p, {4.6, 11.7}, 1.6, 1.0, c);
    ellipse(p, {15.4, 11.7}, 1.6, 1.0, c);
}

void tear(Painter &p, QPointF top, qreal s = 1.0)
{
    QPainterPath path(top);
    path.cubicTo(top + QPointF(-1.8 * s, 2.4 * s), top + QPointF(-1.4 * s, 3.6 * s), top + QPointF(0, 3.6 * s));
    path.cubicTo(top + QPointF(1.4 * s, 3.6 * s), top + QPointF(1.8 * s, 2.4 * s), top);
    fillPath(p, path, rgb(0x5EB6F0), rgb(0x2A78C0), 0.5);
}

std::vector<Draw> expressions()
{
    return {
        [](Painter &p) { head(p); dotEyes(p); smile(p); },
        [](Painter &p) { head(p); happyEyes(p); grin(p); },
        [](Painter &p) { // laughing with tears
            head(p); happyEyes(p, 7.9); grin(p, 11.0, 5.4);
            tear(p, {3.0, 8.0}, 0.8); tear(p, {17.0, 8.0}, 0.8);
        },
        [](Painter &p) { // wink
            head(p);
            ellipse(p, {6.9, 8.3}, 1.0, 1.4, Ink);
            stroke(p, arc({11.4, 8.6}, {13.1, 7.0}, {14.8, 8.6}), Ink, 1.0);
            smile(p, 4.0, 2.4);
        },
        [](Painter &p) { // tongue out
            head(p); dotEyes(p);
            QPainterPath line(QPointF(6.0, 12.4));
            line.quadTo(10, 14.0, 14.0, 12.4);
            stroke(p, line, Ink, 1.0);
            QPainterPath tongue(QPointF(8.4, 13.0));
            tongue.cubicTo(8.3, 17.2, 12.2, 17.2, 12.1, 13.0);
            fillPath(p, tongue, rgb(0xF0607A), rgb(0xA02040), 0.6);
        },
        [](Painter &p) { // sunglasses
            head(p);
            QPainterPath glasses;
            glasses.addRoundedRect(QRectF(3.6, 6.4, 5.6, 3.6), 1.4, 1.4);
            glasses.addRoundedRect(QRectF(10.8, 6.4, 5.6, 3.6), 1.4, 1.4);
            fillPath(p, glasses, rgb(0x202830), rgb(0x101010), 0.6);
            stroke(p, arc({9.0, 7.4}, {10, 6.8}, {11.0, 7.4}), rgb(0x101010), 0.8);
            ellipse(p, {5.4, 7.4}, 0.9, 0.5, QColor(255, 255, 255, 170));
            ellipse(p, {12.6, 7.4}, 0.9, 0.5, QColor(255, 255, 255, 170));
            stroke(p, arc({6.4, 12.6}, {10.5, 15.2}, {13.8, 12.0}), Ink, 1.0);
        },
        [](Painter &p) { // heart eyes
            head(p);
            heart(p, {6.6, 8.4}, 2.3, rgb(0xE8304A), 0.4);
            heart(p, {13.4, 8.4}, 2.3, rgb(0xE8304A), 0.4);
            grin(p, 12.2, 3.8);
        },
        [](Painter &p) { // blowing a kiss
            head(p);
            happyEyes(p);
            stroke(p, arc({9.2, 11.6}, {11.4, 12.6}, {9.6, 13.4}), Ink, 0.9);
            stroke(p, arc({9.6, 13.4}, {11.4, 14.2}, {9.2, 15.0}), Ink, 0.9);
            heart(p, {15.6, 14.6}, 1.9, rgb(0xE8304A), 0.4);
        },
        [](Painter &p) { head(p); closedEyes(p, 7.8); blush(p); smile(p, 3.2, 2.0, 12.6); },
        [](Painter &p) { // surprised
            head(p);
            ellipse(p, {6.9, 7.8}, 1.2, 1.6, Ink); ellipse(p, {13.1, 7.8}, 1.2, 1.6, Ink);
            ellipse(p, {10, 13.6}, 1.9, 2.4, Mouth, Ink, 0.6);
        },
        [](Painter &p) { // sad
            head(p); dotEyes(p, 8.6);
            stroke(p, arc({6.8, 6.0}, {5.4, 6.4}, {4.6, 7.4}), Ink, 0.8);
            stroke(p, arc({13.2, 6.0}, {14.6, 6.4}, {15.4, 7.4}), Ink, 0.8);
            stroke(p, arc({6.6, 14.6}, {10, 11.6}, {13.4, 14.6}), Ink, 1.0);
        },
        [](Painter &p) { // crying
            head(p); closedEyes(p, 8.0);
            stroke(p, arc({6.6, 14.6}, {10, 11.8}, {13.4, 14.6}), Ink, 1.0);
            tear(p, {6.6, 9.4}, 1.1); tear(p, {13.4, 9.4}, 1.1);
        },
        [](Painter &p) { // angry
            head(p, rgb(0xF2683C), rgb(0xA0301A));
            QPainterPath brows;
            brows.moveTo(4.6, 5.6); brows.lineTo(8.6, 7.4);
            brows.moveTo(15.4, 5.6); brows.lineTo(11.4, 7.4);
            stroke(p, brows, Ink, 1.1);
            dotEyes(p, 9.0, 1.05);
            stroke(p, arc({6.8, 14.6}, {10, 12.2}, {13.2, 14.6}), Ink, 1.0);
        },
        [](Painter &p) { // sleepy
            head(p);
            stroke(p, arc({5.2, 9.0}, {6.9, 10.0}, {8.6, 9.0}), Ink, 0.9);
            stroke(p, arc({11.4, 9.0}, {13.1, 10.0}, {14.8, 9.0}), Ink, 0.9);
            ellipse(p, {10, 14.0}, 1.3, 1.1, Mouth);
            QPainterPath z;
            z.moveTo(12.6, 1.4); z.lineTo(15.0, 1.4); z.lineTo(12.6, 3.8); z.lineTo(15.0, 3.8);
            z.moveTo(16.0, 4.2); z.lineTo(18.4, 4.2); z.lineTo(16.0, 6.6); z.lineTo(18.4, 6.6);
            stroke(p, z, rgb(0x3060C0), 0.8);
        },
        [](Painter &p) { // confused
            head(p); dotEyes(p);
            stroke(p, arc({12.8, 5.6}, {14.0, 5.0}, {15.4, 5.8}), Ink, 0.8);
            QPainterPath wave(QPointF(5.6, 13.4));
            wave.cubicTo(7.0, 11.8, 8.2, 11.8, 9.2, 13.2);
            wave.cubicTo(10.4, 14.8, 12.0, 14.6, 14.4, 12.6);
            stroke(p, wave, Ink, 1.0);
        },
        [](Painter &p) { // neutral
            head(p); dotEyes(p);
            QPainterPath line(QPointF(6.6, 13.4)); line.lineTo(13.4, 13.4);
            stroke(p, line, Ink, 1.1);
        },
        [](Painter &p) { // shocked, pale
            head(p, rgb(0xB8D8F0), rgb(0x5078A0));
            ellipse(p, {6.8, 7.8}, 2.0, 2.2, Qt::white, Ink, 0.6); ellipse(p, {6.8, 8.0}, 0.8, 0.8, Ink);
            ellipse(p, {13.2, 7.8}, 2.0, 2.2, Qt::white, Ink, 0.6); ellipse(p, {13.2, 8.0}, 0.8, 0.8, Ink);
            ellipse(p, {10, 14.4}, 2.4, 2.0, Mouth, Ink, 0.6);
            QPainterPath lines;
            for (int i = 0; i < 4; ++i) { lines.moveTo(6 + i * 2.6, 2.6); lines.lineTo(6 + i * 2.6, 5.0); }
            stroke(p, lines, rgb(0x5078A0), 0.7);
        },
        [](Painter &p) { // angel
            head(p); closedEyes(p, 8.6); smile(p, 3.8, 2.4, 12.4);
            p.setBrush(Qt::NoBrush);
            p.setPen(outline(rgb(0xF0C020), 1.2));
            p.drawEllipse(QPointF(10, 1.6), 5.0, 1.2);
        },
        [](Painter &p) { // little devil
            QPainterPath horns;
            horns.moveTo(3.2, 6.0); horns.lineTo(2.4, 0.8); horns.lineTo(7.0, 3.2);
            horns.moveTo(16.8, 6.0); horns.lineTo(17.6, 0.8); horns.lineTo(13.0, 3.2);
            fillPath(p, horns, rgb(0x9040C0), rgb(0x502070), 0.6);
            head(p, rgb(0xA050D8), rgb(0x502070));
            QPainterPath brows;
            brows.moveTo(4.8, 6.2); brows.lineTo(8.4, 7.6); brows.moveTo(15.2, 6.2); brows.lineTo(11.6, 7.6);
            stroke(p, brows, rgb(0x2A1040), 1.0);
            ellipse(p, {6.9, 9.2}, 0.9, 1.1, rgb(0x2A1040)); ellipse(p, {13.1, 9.2}, 0.9, 1.1, rgb(0x2A1040));
            stroke(p, arc({5.2, 12.0}, {10, 17.0}, {14.8, 12.0}), rgb(0x2A1040), 1.0);
        },
        [](Painter &p) { // sick
            head(p, rgb(0xA8D870), rgb(0x507828));
            stroke(p, arc({5.4, 8.6}, {6.9, 7.8}, {8.4, 8.6}), Ink, 0.9);
            stroke(p, arc({11.6, 8.6}, {13.1, 7.8}, {14.6, 8.6}), Ink, 0.9);
            QPainterPath wave(QPointF(6.0, 14.0));
            wave.cubicTo(7.2, 12.6, 8.0, 12.6, 9.0, 14.0); wave.cubicTo(10.0, 15.4, 10.8, 15.4, 11.8, 14.0);
            wave.cubicTo(12.6, 12.8, 13.4, 12.8, 14.2, 13.8);
            stroke(p, wave, Ink, 0.9);
        },
        [](Painter &p) { // nerd glasses
            head(p);
            p.setBrush(QColor(255, 255, 255, 200));
            p.setPen(outline(rgb(0x303030), 0.9));
            p.drawEllipse(QPointF(6.6, 8.4), 2.5, 2.5);
            p.drawEllipse(QPointF(13.4, 8.4), 2.5, 2.5);
            stroke(p, arc({9.1, 8.0}, {10, 7.4}, {10.9, 8.0}), rgb(0x303030), 0.8);
            ellipse(p, {6.8, 8.6}, 0.9, 0.9, Ink); ellipse(p, {13.2, 8.6}, 0.9, 0.9, Ink);
            grin(p, 12.6, 3.2);
        },
        [](Painter &p) { // sweating
            head(p); happyEyes(p);
            QPainterPath m(QPointF(6.0, 12.6));
            m.quadTo(10, 15.8, 14.0, 12.6);
            stroke(p, m, Ink, 1.0);
            tear(p, {16.2, 3.6}, 1.1);
        },
        [](Painter &p) { // dizzy
            head(p);
            QPainterPath x;
            x.moveTo(5.4, 6.8); x.lineTo(8.4, 9.8); x.moveTo(8.4, 6.8); x.lineTo(5.4, 9.8);
            x.moveTo(11.6, 6.8); x.lineTo(14.6, 9.8); x.moveTo(14.6, 6.8); x.lineTo(11.6, 9.8);
            stroke(p, x, Ink, 1.0);
            ellipse(p, {10, 14.0}, 1.8, 1.3, Mouth, Ink, 0.5);
            p.setPen(outline(rgb(0xF0A000), 0.6));
            p.setBrush(rgb(0xFFE060));
            p.drawPath(starPath({3.0, 2.6}, 2.0, 0.9));
            p.drawPath(starPath({17.0, 2.6}, 2.0, 0.9));
        },
        [](Painter &p) { // money eyes
            head(p);
            QFont f(QStringLiteral("DejaVu Sans"));
            f.setPixelSize(6);
            f.setBold(true);
            p.setFont(f);
            p.setPen(rgb(0x1E9040));
            p.drawText(QRectF(3.4, 4.6, 7, 7), Qt::AlignCenter, QStringLiteral("$"));
            p.drawText(QRectF(9.6, 4.6, 7, 7), Qt::AlignCenter, QStringLiteral("$"));
            grin(p, 12.0, 3.8);
        },
        [](Painter &p) { // star struck
            head(p);
            p.setPen(outline(rgb(0xC07000), 0.5));
            p.setBrush(rgb(0xFFB000));
            p.drawPath(starPath({6.7, 8.2}, 2.8, 1.2));
            p.drawPath(starPath({13.3, 8.2}, 2.8, 1.2));
            grin(p, 12.4, 3.6);
        },
        [](Painter &p) { // shush
            head(p); closedEyes(p, 8.0);
            QPainterPath lips(QPointF(7.0, 13.4)); lips.lineTo(13.0, 13.4);
            stroke(p, lips, Ink, 1.0);
            QPainterPath finger;
            finger.addRoundedRect(QRectF(8.9, 10.4, 2.4, 7.6), 1.2, 1.2);
            fillPath(p, finger, rgb(0xFFE0B0), rgb(0xB07A40), 0.6);
        },
    };
}

// ---- animals

struct Ear
{
    QPointF base1, tip, base2;
};

void pointedEars(Painter &p, QColor fill, QColor line, QColor inner, qreal spread = 0)
{
    for (int side : {-1, 1}) {
        QPainterPath ear;
        ear.moveTo(10 + side * 2.6, 4.2);
        ear.lineTo(10 + side * (7.6 + spread), 0.8);
        ear.lineTo(10 + side * 8.2, 8.0);
        ear.closeSubpath();
        fillPath(p, ear, fill, line, 0.8);
        QPainterPath in;
        in.moveTo(10 + side * 4.2, 4.6);
        in.lineTo(10 + side * (7.0 + spread * 0.8), 2.4);
        in.lineTo(10 + side * 7.2, 6.8);
        in.closeSubpath();
        fillPath(p, in, inner);
    }
}

void roundEars(Painter &p, QColor fill, QColor line, QColor inner, qreal r = 2.8, qreal y = 3.6, qreal dx = 6.2)
{
    for (int side : {-1, 1}) {
        ellipse(p, {10 + side * dx, y}, r, r, fill, line, 0.8);
        ellipse(p, {10 + side * dx, y}, r * 0.55, r * 0.55, inner);
    }
}

void animalHead(Painter &p, QColor fill, QColor line, qreal ry = 7.6, qreal cy = 11.2, qreal rx = 8.4)
{
    QRadialGradient g(QPointF(7, 8), 12);
    g.setColorAt(0, fill.lighter(118));
    g.setColorAt(1, fill);
    p.setBrush(g);
    p.setPen(outline(line, 0.9));
    p.drawEllipse(QPointF(10, cy), rx, ry);
}

void animalEyes(Painter &p, qreal y = 10.0, qreal dx = 3.2, qreal r = 1.1, QColor color = rgb(0x202020))
{
    for (int side : {-1, 1}) {
        ellipse(p, {10 + side * dx, y}, r, r * 1.15, color);
        ellipse(p, {10 + side * dx + 0.35, y - 0.45}, r * 0.35, r * 0.35, Qt::white);
    }
}

void noseAndMouth(Painter &p, qreal y = 12.6, QColor nose = rgb(0x402020))
{
    ellipse(p, {10, y}, 1.2, 0.8, nose);
    QPainterPath m(QPointF(10, y + 0.6));
    m.lineTo(10, y + 1.6);
    m.moveTo(8.2, y + 1.8);
    m.quadTo(9.2, y + 2.8, 10, y + 1.6);
    m.quadTo(10.8, y + 2.8, 11.8, y + 1.8);
    stroke(p, m, nose, 0.7);
}

void whiskers(Painter &p, qreal y = 13.2, QColor c = rgb(0x604030))
{
    QPainterPath w;
    for (int side : {-1, 1}) {
        w.moveTo(10 + side * 3.2, y); w.lineTo(10 + side * 8.6, y - 1.0);
        w.moveTo(10 + side * 3.2, y + 0.9); w.lineTo(10 + side * 8.6, y + 1.4);
    }
    stroke(p, w, c, 0.5);
}

std::vector<Draw> animals()
{
    return {
        [](Painter &p) { // cat
            pointedEars(p, rgb(0xF0A040), rgb(0x9A5A18), rgb(0xF8C8B0));
            animalHead(p, rgb(0xF0A040), rgb(0x9A5A18));
            QPainterPath stripes;
            stripes.moveTo(10, 3.8); stripes.lineTo(10, 6.0); stripes.moveTo(8.2, 4.0); stripes.lineTo(8.6, 5.6);
            stripes.moveTo(11.8, 4.0); stripes.lineTo(11.4, 5.6);
            stroke(p, stripes, rgb(0xB06820), 0.8);
            animalEyes(p, 10.0);
            noseAndMouth(p, 12.8, rgb(0xD04060));
            whiskers(p, 13.6);
        },
        [](Painter &p) { // dog
            animalHead(p, rgb(0xE8C890), rgb(0x8A6030), 7.8, 10.8, 7.8);
            for (int side : {-1, 1}) {
                QPainterPath ear;
                ear.moveTo(10 + side * 4.6, 4.0);
                ear.cubicTo(10 + side * 10.6, 3.6, 10 + side * 10.0, 12.0, 10 + side * 7.6, 12.6);
                ear.cubicTo(10 + side * 6.0, 10.0, 10 + side * 6.4, 6.0, 10 + side * 4.6, 4.0);
                fillPath(p, ear, rgb(0x9A6430), rgb(0x5A3A18), 0.7);
            }
            ellipse(p, {10, 14.0}, 3.6, 2.8, rgb(0xFFF4E0));
            animalEyes(p, 9.4, 3.0);
            ellipse(p, {10, 12.6}, 1.7, 1.2, rgb(0x302020));
            stroke(p, arc({8.4, 15.0}, {10, 16.4}, {11.6, 15.0}), rgb(0x302020), 0.7);
        },
        [](Painter &p) { // pig
            pointedEars(p, rgb(0xF8A8B8), rgb(0xB85870), rgb(0xF07890), -1.6);
            animalHead(p, rgb(0xF8B0C0), rgb(0xB85870));
            animalEyes(p, 9.0, 3.6, 1.0);
            ellipse(p, {10, 13.0}, 3.2, 2.3, rgb(0xF08098), rgb(0xB85870), 0.6);
            ellipse(p, {8.9, 13.0}, 0.6, 0.9, rgb(0x903050));
            ellipse(p, {11.1, 13.0}, 0.6, 0.9, rgb(0x903050));
        },
        [](Painter &p) { // rabbit
            for (int side : {-1, 1}) {
                ellipse(p, {10 + side * 3.0, 3.8}, 1.9, 4.4, Qt::white, rgb(0x9090A0), 0.7);
                ellipse(p, {10 + side * 3.0, 4.0}, 0.9, 3.2, rgb(0xF8B8C8));
            }
            animalHead(p, Qt::white, rgb(0x9090A0), 6.6, 12.6, 7.8);
            animalEyes(p, 11.6, 3.2, 1.0, rgb(0xC02040));
            ellipse(p, {10, 13.8}, 0.9, 0.6, rgb(0xF06080));
            stroke(p, arc({8.6, 15.6}, {10, 16.4}, {11.4, 15.6}), rgb(0x806070), 0.6);
            blush(p, QColor(255, 150, 170, 110));
        },
        [](Painter &p) { // bear
            roundEars(p, rgb(0xA06A38), rgb(0x5A3818), rgb(0xD8A878));
            animalHead(p, rgb(0xA06A38), rgb(0x5A3818));
            ellipse(p, {10, 13.6}, 3.2, 2.6, rgb(0xE0C098));
            animalEyes(p, 9.6, 3.4);
            ellipse(p, {10, 12.6}, 1.3, 0.9, rgb(0x2A1808));
            stroke(p, arc({8.6, 14.6}, {10, 15.8}, {11.4, 14.6}), rgb(0x2A1808), 0.6);
        },
        [](Painter &p) { // panda
            roundEars(p, rgb(0x202020), rgb(0x101010), rgb(0x404040));
            animalHead(p, Qt::white, rgb(0x505050));
            for (int side : {-1, 1}) {
                p.save();
                p.translate(10 + side * 3.4, 10.2);
                p.rotate(side * -30);
                ellipse(p, {0, 0}, 1.9, 2.5, rgb(0x202020));
                p.restore();
                ellipse(p, {10 + side * 3.5, 9.8}, 0.7, 0.7, Qt::white);
            }
            ellipse(p, {10, 13.2}, 1.2, 0.8, rgb(0x202020));
            stroke(p, arc({8.8, 14.8}, {10, 15.8}, {11.2, 14.8}), rgb(0x202020), 0.6);
        },
        [](Painter &p) { // mouse
            roundEars(p, rgb(0xA8A8B4), rgb(0x606070), rgb(0xF4B8C4), 3.6, 5.0, 5.6);
            animalHead(p, rgb(0xB8B8C4), rgb(0x606070), 6.6, 12.2, 7.0);
            animalEyes(p, 11.0, 2.6, 1.0);
            ellipse(p, {10, 14.2}, 1.0, 0.8, rgb(0xF06080));
            whiskers(p, 14.4, rgb(0x505060));
        },
        [](Painter &p) { // frog
            for (int side : {-1, 1})
                ellipse(p, {10 + side * 4.2, 6.0}, 3.2, 3.0, rgb(0x68C040), rgb(0x2E7018), 0.8);
            animalHead(p, rgb(0x68C040), rgb(0x2E7018), 6.2, 12.4, 8.6);
            for (int side : {-1, 1}) {
                ellipse(p, {10 + side * 4.2, 5.8}, 2.0, 2.0, Qt::white);
                ellipse(p, {10 + side * 4.2, 6.0}, 1.0, 1.1, rgb(0x101010));
            }
            stroke(p, arc({5.2, 12.4}, {10, 17.0}, {14.8, 12.4}), rgb(0x1E5010), 0.9);
            blush(p, QColor(255, 120, 120, 110));
        },
        [](Painter &p) { // chick
            QPainterPath tuft(QPointF(9, 3.4));
            tuft.quadTo(8.6, 0.6, 10.4, 1.0); tuft.quadTo(10.0, 2.0, 11.0, 3.4);
            fillPath(p, tuft, rgb(0xFFD020), rgb(0xC09000), 0.6);
            disc(p, {10, 11.0}, 8.2, rgb(0xFFE040), rgb(0xC09000));
            animalEyes(p, 9.2, 3.4, 1.0);
            QPainterPath beak;
            beak.moveTo(8.2, 11.6); beak.lineTo(11.8, 11.6); beak.lineTo(10, 14.2); beak.closeSubpath();
            fillPath(p, beak, rgb(0xFF8A20), rgb(0xC05000), 0.6);
            blush(p, QColor(255, 130, 90, 120));
        },
        [](Painter &p) { // penguin
            animalHead(p, rgb(0x283848), rgb(0x101820), 8.6, 10.6, 8.6);
            QPainterPath face;
            face.addEllipse(QPointF(7.4, 10.8), 3.6, 4.6);
            face.addEllipse(QPointF(12.6, 10.8), 3.6, 4.6);
            face.addEllipse(QPointF(10, 14.0), 5.2, 3.6);
            face.setFillRule(Qt::WindingFill);
            fillPath(p, face.simplified(), Qt::white);
            animalEyes(p, 9.8, 2.8, 0.9);
            QPainterPath beak;
            beak.moveTo(8.6, 12.0); beak.lineTo(11.4, 12.0); beak.lineTo(10, 14.0); beak.closeSubpath();
            fillPath(p, beak, rgb(0xFFA020), rgb(0xC06000), 0.5);
            blush(p, QColor(255, 130, 150, 110));
        },
        [](Painter &p) { // fox
            pointedEars(p, rgb(0xF07828), rgb(0x9A3A08), rgb(0x402010), 1.0);
            QPainterPath headPath;
            headPath.moveTo(1.6, 8.0);
            headPath.cubicTo(2.0, 3.4, 18.0, 3.4, 18.4, 8.0);
            headPath.cubicTo(18.0, 12.0, 13.0, 17.6, 10, 18.4);
            headPath.cubicTo(7.0, 17.6, 2.0, 12.0, 1.6, 8.0);
            fillPath(p, headPath, rgb(0xF07828), rgb(0x9A3A08), 0.9);
            QPainterPath cheeks(QPointF(2.2, 9.4));
            cheeks.cubicTo(6.0, 9.6, 8.0, 11.0, 10, 12.6);
            cheeks.cubicTo(12.0, 11.0, 14.0, 9.6, 17.8, 9.4);
            cheeks.cubicTo(16.0, 13.0, 12.6, 17.0, 10, 18.0);
            cheeks.cubicTo(7.4, 17.0, 4.0, 13.0, 2.2, 9.4);
            fillPath(p, cheeks, rgb(0xFFF6EC));
            animalEyes(p, 9.0, 3.4, 0.95);
            ellipse(p, {10, 16.6}, 1.1, 0.8, rgb(0x201010));
        },
        [](Painter &p) { // monkey
            for (int side : {-1, 1})
                ellipse(p, {10 + side * 8.0, 10.6}, 2.2, 2.6, rgb(0xE8B890), rgb(0x6A4020), 0.7);
            animalHead(p, rgb(0x8A5428), rgb(0x4A2A10), 8.4, 10.6, 7.8);
            QPainterPath face;
            face.addEllipse(QPointF(7.8, 8.8), 2.8, 3.0);
            face.addEllipse(QPointF(12.2, 8.8), 2.8, 3.0);
            face.addEllipse(QPointF(10, 13.4), 5.0, 3.8);
            face.setFillRule(Qt::WindingFill);
            fillPath(p, face.simplified(), rgb(0xF0C8A0));
            animalEyes(p, 9.0, 2.3, 0.9);
            ellipse(p, {9.3, 12.2}, 0.4, 0.4, rgb(0x4A2A10)); ellipse(p, {10.7, 12.2}, 0.4, 0.4, rgb(0x4A2A10));
            stroke(p, arc({7.6, 14.0}, {10, 16.2}, {12.4, 14.0}), rgb(0x4A2A10), 0.8);
        },
        [](Painter &p) { // cow
            for (int side : {-1, 1}) {
                QPainterPath horn(QPointF(10 + side * 4.0, 4.2));
                horn.quadTo(10 + side * 7.6, 3.8, 10 + side * 7.4, 0.8);
                horn.quadTo(10 + side * 8.8, 4.4, 10 + side * 5.0, 5.6);
                fillPath(p, horn, rgb(0xF4E8C8), rgb(0x908060), 0.5);
                ellipse(p, {10 + side * 8.0, 7.0}, 2.2, 1.2, Qt::white, rgb(0x505050), 0.6);
            }
            animalHead(p, Qt::white, rgb(0x505050), 7.4, 10.0, 7.0);
            QPainterPath spot(QPointF(4.0, 6.0));
            spot.cubicTo(5.6, 3.0, 9.0, 3.6, 8.4, 6.0);
            spot.cubicTo(8.0, 8.0, 5.0, 9.6, 3.6, 8.4);
            fillPath(p, spot, rgb(0x303030));
            ellipse(p, {10, 15.0}, 5.4, 3.4, rgb(0xF8B8C0), rgb(0xA06070), 0.6);
            ellipse(p, {8.4, 15.0}, 0.7, 0.9, rgb(0x804050)); ellipse(p, {11.6, 15.0}, 0.7, 0.9, rgb(0x804050));
            animalEyes(p, 9.0, 3.0, 0.95);
        },
        [](Painter &p) { // tiger
            roundEars(p, rgb(0xF59A30), rgb(0x8A4A08), rgb(0xFFF0E0), 2.6, 4.0, 6.2);
            animalHead(p, rgb(0xF59A30), rgb(0x8A4A08));
            ellipse(p, {10, 14.2}, 4.0, 2.8, rgb(0xFFF4E4));
            QPainterPath stripes;
            stripes.moveTo(10, 4.0); stripes.lineTo(10, 6.4);
            stripes.moveTo(8.0, 4.4); stripes.lineTo(8.6, 6.2);
            stripes.moveTo(12.0, 4.4); stripes.lineTo(11.4, 6.2);
            for (int side : {-1, 1}) {
                stripes.moveTo(10 + side * 8.2, 9.6); stripes.lineTo(10 + side * 6.0, 10.4);
                stripes.moveTo(10 + side * 8.0, 12.4); stripes.lineTo(10 + side * 6.2, 12.6);
            }
            stroke(p, stripes, rgb(0x302010), 0.9);
            animalEyes(p, 9.6, 3.2);
            ellipse(p, {10, 12.8}, 1.2, 0.8, rgb(0xD04060));
            stroke(p, arc({8.4, 14.8}, {10, 16.0}, {11.6, 14.8}), rgb(0x302010), 0.6);
        },
        [](Painter &p) { // lion
            for (int i = 0; i < 12; ++i) {
                const qreal a = i * M_PI / 6;
                ellipse(p, {10 + 6.8 * std::cos(a), 10 + 6.8 * std::sin(a)}, 3.0, 3.0, rgb(0xB8601C), rgb(0x7A3A08), 0.6);
            }
            ellipse(p, {10, 10}, 7.0, 7.0, rgb(0xB8601C));
            disc(p, {10, 10.4}, 6.0, rgb(0xFFC850), rgb(0x9A6A10), 0.7);
            animalEyes(p, 9.2, 2.4, 0.9);
            ellipse(p, {10, 11.8}, 1.2, 0.8, rgb(0x5A2A10));
            stroke(p, arc({8.4, 13.6}, {10, 14.8}, {11.6, 13.6}), rgb(0x5A2A10), 0.6);
        },
        [](Painter &p) { // koala
            roundEars(p, rgb(0x9AA0AA), rgb(0x50545C), rgb(0xF0E8E8), 3.8, 6.4, 6.4);
            animalHead(p, rgb(0xA8AEB8), rgb(0x50545C), 7.0, 11.4, 7.4);
            animalEyes(p, 10.2, 3.0, 0.9);
            ellipse(p, {10, 12.8}, 1.8, 2.4, rgb(0x383C44));
        },
        [](Painter &p) { // owl
            pointedEars(p, rgb(0x8A5A30), rgb(0x4A2A10), rgb(0x6A4020), -2.0);
            animalHead(p, rgb(0x8A5A30), rgb(0x4A2A10), 8.4, 10.8, 8.2);
            for (int side : {-1, 1}) {
                ellipse(p, {10 + side * 3.6, 9.4}, 3.2, 3.2, rgb(0xFFF0C8), rgb(0x4A2A10), 0.5);
                ellipse(p, {10 + side * 3.6, 9.4}, 1.5, 1.5, rgb(0x202020));
                ellipse(p, {10 + side * 3.6 + 0.5, 8.9}, 0.45, 0.45, Qt::white);
            }
            QPainterPath beak;
            beak.moveTo(8.8, 12.0); beak.lineTo(11.2, 12.0); beak.lineTo(10, 14.6); beak.closeSubpath();
            fillPath(p, beak, rgb(0xFFB020), rgb(0xA06000), 0.5);
            QPainterPath belly;
            for (int i = 0; i < 3; ++i) { belly.moveTo(7.0 + i * 2.2, 16.2); belly.quadTo(8.0 + i * 2.2, 17.0, 9.0 + i * 2.2, 16.2); }
            stroke(p, belly, rgb(0xE8C890), 0.6);
        },
        [](Painter &p) { // fish
            QPainterPath tail;
            tail.moveTo(14.6, 10); tail.lineTo(19.4, 5.4); tail.lineTo(19.4, 14.6); tail.closeSubpath();
            fillPath(p, tail, rgb(0xFF8A30), rgb(0xA04800), 0.7);
            QPainterPath body(QPointF(1.0, 10));
            body.cubicTo(4.0, 3.4, 13.0, 3.4, 16.0, 10);
            body.cubicTo(13.0, 16.6, 4.0, 16.6, 1.0, 10);
            QLinearGradient g(0, 5, 0, 15);
            g.setColorAt(0, rgb(0xFFC040)); g.setColorAt(1, rgb(0xFF7A20));
            fillPath(p, body, g, rgb(0xA04800), 0.8);
            stroke(p, arc({9.6, 6.0}, {8.0, 10}, {9.6, 14.0}), rgb(0xC05810), 0.6);
            ellipse(p, {5.0, 9.0}, 1.4, 1.4, Qt::white, rgb(0x303030), 0.4);
            ellipse(p, {5.2, 9.0}, 0.7, 0.7, rgb(0x202020));
            ellipse(p, {17.6, 3.0}, 0.9, 0.9, QColor(120, 190, 255, 200), rgb(0x4080C0), 0.4);
            ellipse(p, {15.6, 1.2}, 0.6, 0.6, QColor(120, 190, 255, 200), rgb(0x4080C0), 0.4);
        },
        [](Painter &p) { // octopus
            for (int i = 0; i < 5; ++i) {
                const qreal x = 3.4 + i * 3.3;
                QPainterPath leg(QPointF(x - 1.2, 11));
                leg.cubicTo(x - 1.8, 15.0, x + 0.8, 16.0, x - 0.2, 18.6);
                leg.cubicTo(x + 1.8, 17.4, x + 1.6, 14.0, x + 1.2, 11);
                fillPath(p, leg, rgb(0xE05A8A), rgb(0x902050), 0.5);
            }
            QPainterPath headPath(QPointF(2.2, 12.6));
            headPath.cubicTo(1.0, 1.0, 19.0, 1.0, 17.8, 12.6);
            headPath.closeSubpath();
            fillPath(p, headPath, rgb(0xF06A9A), rgb(0x902050), 0.8);
            animalEyes(p, 8.6, 3.0, 1.0);
            ellipse(p, {10, 11.4}, 1.0, 0.8, rgb(0x902050));
            blush(p, QColor(255, 190, 210, 140));
        },
        [](Painter &p) { // snail
            QPainterPath body(QPointF(1.2, 17.4));
            body.lineTo(16.0, 17.4);
            body.quadTo(18.6, 17.2, 18.2, 12.0);
            body.lineTo(17.6, 6.0);
            body.quadTo(15.2, 6.0, 15.4, 12.0);
            body.lineTo(13.0, 14.6);
            body.lineTo(1.2, 15.6);
            body.closeSubpath();
            fillPath(p, body, rgb(0xB8E0A0), rgb(0x507040), 0.7);
            QPainterPath antenna(QPointF(16.4, 6.4)); antenna.lineTo(15.2, 2.4);
            antenna.moveTo(17.6, 6.4); antenna.lineTo(18.6, 2.6);
            stroke(p, antenna, rgb(0x507040), 0.6);
            ellipse(p, {15.2, 2.4}, 0.8, 0.8, rgb(0x304020)); ellipse(p, {18.6, 2.6}, 0.8, 0.8, rgb(0x304020));
            disc(p, {8.6, 10.0}, 6.4, rgb(0xD08A40), rgb(0x7A4A18), 0.8);
            QPainterPath spiral(QPointF(8.6, 10.0));
            for (int i = 1; i < 40; ++i) {
                const qreal a = i * 0.35, r = i * 0.14;
                spiral.lineTo(8.6 + r * std::cos(a), 10.0 + r * std::sin(a));
            }
            stroke(p, spiral, rgb(0x7A4A18), 0.7);
        },
        [](Painter &p) { // bee
            for (int side : {-1, 1})
                ellipse(p, {10 + side * 4.2, 4.8}, 3.4, 2.6, QColor(210, 235, 255, 220), rgb(0x6090B0), 0.6);
            QPainterPath body;
            body.addEllipse(QPointF(10, 12.0), 6.6, 6.0);
            QLinearGradient g(0, 6, 0, 18);
            g.setColorAt(0, rgb(0xFFE050)); g.setColorAt(1, rgb(0xF8B800));
            fillPath(p, body, g, rgb(0x5A4000), 0.8);
            p.save();
            p.setClipPath(body);
            p.fillRect(QRectF(0, 12.4, 20, 1.8), rgb(0x302010));
            p.fillRect(QRectF(0, 15.6, 20, 1.8), rgb(0x302010));
            p.restore();
            animalEyes(p, 9.4, 2.6, 0.9);
            stroke(p, arc({8.6, 10.8}, {10, 11.8}, {11.4, 10.8}), rgb(0x302010), 0.6);
        },
        [](Painter &p) { // ladybug
            disc(p, {10, 5.2}, 3.6, rgb(0x202020), rgb(0x101010), 0.6);
            QPainterPath shell;
            shell.addEllipse(QPointF(10, 11.8), 7.8, 7.0);
            QRadialGradient g(QPointF(7, 8), 10);
            g.setColorAt(0, rgb(0xFF6050)); g.setColorAt(1, rgb(0xD81A10));
            fillPath(p, shell, g, rgb(0x700808), 0.8);
            QPainterPath middle(QPointF(10, 4.8)); middle.lineTo(10, 18.8);
            stroke(p, middle, rgb(0x202020), 0.8);
            for (QPointF s : {QPointF(6.2, 9.0), QPointF(13.8, 9.0), QPointF(5.6, 13.6), QPointF(14.4, 13.6),
                              QPointF(8.0, 16.6), QPointF(12.0, 16.6)})
                ellipse(p, s, 1.3, 1.3, rgb(0x202020));
            ellipse(p, {8.6, 4.2}, 0.7, 0.7, Qt::white); ellipse(p, {11.4, 4.2}, 0.7, 0.7, Qt::white);
        },
        [](Painter &p) { // butterfly
            for (int side : {-1, 1}) {
                QPainterPath upper(QPointF(10, 9.0));
                upper.cubicTo(10 + side * 3.0, 1.0, 10 + side * 10.4, 1.0, 10 + side * 8.8, 8.6);
                upper.quadTo(10 + side * 6.0, 10.6, 10, 10.0);
                fillPath(p, upper, rgb(0x9A5AE0), rgb(0x4A2080), 0.7);
                QPainterPath lower(QPointF(10, 10.4));
                lower.cubicTo(10 + side * 8.8, 10.4, 10 + side * 9.0, 17.6, 10 + side * 4.0, 17.0);
                lower.quadTo(10 + side * 1.6, 15.0, 10, 11.0);
                fillPath(p, lower, rgb(0xF07AC0), rgb(0x902060), 0.7);
                ellipse(p, {10 + side * 5.6, 5.6}, 1.4, 1.4, rgb(0xFFE070));
                ellipse(p, {10 + side * 4.6, 13.6}, 1.0, 1.0, Qt::white);
            }
            ellipse(p, {10, 10.4}, 1.0, 5.6, rgb(0x302030));
            QPainterPath antenna(QPointF(9.6, 5.2)); antenna.quadTo(8.8, 2.0, 7.4, 1.2);
            antenna.moveTo(10.4, 5.2); antenna.quadTo(11.2, 2.0, 12.6, 1.2);
            stroke(p, antenna, rgb(0x302030), 0.6);
        },
        [](Painter &p) { // turtle
            for (QPointF leg : {QPointF(4.4, 15.4), QPointF(13.0, 15.4)})
                ellipse(p, leg, 1.8, 1.6, rgb(0x9AD870), rgb(0x3A7020), 0.6);
            ellipse(p, {16.4, 10.6}, 2.8, 2.6, rgb(0x9AD870), rgb(0x3A7020), 0.7);
            ellipse(p, {17.2, 10.0}, 0.6, 0.7, rgb(0x202020));
            QPainterPath shell(QPointF(1.4, 14.6));
            shell.cubicTo(1.4, 4.0, 15.6, 4.0, 15.6, 14.6);
            shell.closeSubpath();
            fillPath(p, shell, rgb(0x4FA040), rgb(0x2A5A18), 0.8);
            QPainterPath pattern;
            pattern.addPolygon(QPolygonF({QPointF(6.0, 9.0), QPointF(11.0, 9.0), QPointF(12.4, 12.0),
                                          QPointF(10.4, 14.4), QPointF(6.6, 14.4), QPointF(4.6, 12.0),
                                          QPointF(6.0, 9.0)}));
            fillPath(p, pattern, rgb(0x7CC860), rgb(0x2A5A18), 0.5);
        },
        [](Painter &p) { // whale
            QPainterPath spout(QPointF(9.0, 5.0));
            spout.quadTo(8.6, 2.4, 6.6, 1.6); spout.moveTo(9.0, 5.0); spout.quadTo(9.6, 2.2, 11.8, 1.4);
            stroke(p, spout, rgb(0x40A0E0), 0.8);
            QPainterPath body(QPointF(1.4, 12.0));
            body.cubicTo(1.4, 4.4, 14.0, 4.0, 15.6, 11.0);
            body.lineTo(18.6, 7.2);
            body.quadTo(19.0, 11.0, 17.6, 12.6);
            body.quadTo(18.8, 15.0, 18.8, 16.0);
            body.lineTo(15.4, 13.6);
            body.cubicTo(13.0, 17.6, 2.0, 18.0, 1.4, 12.0);
            fillPath(p, body, rgb(0x3A7AD0), rgb(0x1A3A80), 0.8);
            QPainterPath belly(QPointF(2.2, 13.4));
            belly.cubicTo(4.6, 17.0, 11.0, 17.0, 14.0, 14.6);
            belly.quadTo(8.0, 15.4, 2.2, 13.4);
            fillPath(p, belly, rgb(0xD8ECFF));
            ellipse(p, {5.2, 10.4}, 0.9, 0.9, rgb(0x101830));
            ellipse(p, {4.2, 12.4}, 1.2, 0.7, QColor(255, 140, 170, 140));
        },
        [](Painter &p) { // sheep
            for (int i = 0; i < 10; ++i) {
                const qreal a = i * M_PI / 5;
                ellipse(p, {10 + 6.6 * std::cos(a), 10 + 6.2 * std::sin(a)}, 2.8, 2.8, rgb(0xFAFAF4), rgb(0xA0A090), 0.6);
            }
            ellipse(p, {10, 10}, 6.8, 6.4, rgb(0xFAFAF4));
            for (int side : {-1, 1})
                ellipse(p, {10 + side * 5.0, 10.4}, 2.0, 1.1, rgb(0x605048));
            animalHead(p, rgb(0x706058), rgb(0x403028), 5.0, 11.4, 4.2);
            ellipse(p, {10, 7.4}, 3.4, 1.8, rgb(0xFAFAF4));
            ellipse(p, {8.4, 10.6}, 0.9, 1.0, Qt::white); ellipse(p, {11.6, 10.6}, 0.9, 1.0, Qt::white);
            ellipse(p, {8.5, 10.8}, 0.5, 0.6, rgb(0x101010)); ellipse(p, {11.5, 10.8}, 0.5, 0.6, rgb(0x101010));
            stroke(p, arc({9.0, 14.0}, {10, 14.8}, {11.0, 14.0}), rgb(0x201810), 0.5);
        },
    };
}

// ---- food

std::vector<Draw> food()
{
    return {
        [](Painter &p) { // apple
            QPainterPath apple(QPointF(10, 6.0));
            apple.cubicTo(14.0, 3.4, 19.4, 6.0, 17.8, 12.6);
            apple.cubicTo(16.6, 17.4, 13.0, 19.4, 10, 17.6);
            apple.cubicTo(7.0, 19.4, 3.4, 17.4, 2.2, 12.6);
            apple.cubicTo(0.6, 6.0, 6.0, 3.4, 10, 6.0);
            QRadialGradient g(QPointF(7, 9), 11);
            g.setColorAt(0, rgb(0xFF6A5A)); g.setColorAt(1, rgb(0xD01818));
            fillPath(p, apple, g, rgb(0x7A0808), 0.8);
            stroke(p, arc({10, 6.0}, {10.2, 3.0}, {11.4, 1.4}), rgb(0x6A4020), 1.0);
            QPainterPath leaf(QPointF(11.0, 3.6));
            leaf.quadTo(13.6, 0.8, 16.2, 2.0); leaf.quadTo(14.0, 4.8, 11.0, 3.6);
            fillPath(p, leaf, rgb(0x5AB030), rgb(0x2A6010), 0.5);
            ellipse(p, {6.0, 9.0}, 1.2, 2.0, QColor(255, 255, 255, 140));
        },
        [](Painter &p) { // banana
            QPainterPath b(QPointF(3.4, 3.0));
            b.cubicTo(1.6, 12.0, 8.0, 18.6, 18.2, 15.0);
            b.lineTo(18.6, 16.6);
            b.cubicTo(8.0, 20.2, 0.4, 13.0, 2.0, 3.4);
            b.closeSubpath();
            QPainterPath body(QPointF(3.0, 3.2));
            body.cubicTo(2.6, 11.6, 9.0, 15.4, 18.2, 15.0);
            body.cubicTo(17.0, 12.0, 13.0, 11.4, 9.4, 9.8);
            body.cubicTo(6.0, 8.4, 4.6, 6.0, 4.4, 2.8);
            body.closeSubpath();
            fillPath(p, b, rgb(0xE8B000), rgb(0x8A6000), 0.7);
            fillPath(p, body, rgb(0xFFE040), rgb(0x8A6000), 0.7);
            ellipse(p, {3.8, 2.6}, 0.9, 0.9, rgb(0x6A4A10));
            ellipse(p, {18.6, 15.8}, 0.8, 0.8, rgb(0x6A4A10));
        },
        [](Painter &p) { // cherries
            QPainterPath stems(QPointF(5.6, 12.0));
            stems.quadTo(8.0, 5.0, 13.0, 1.8);
            stems.moveTo(14.2, 13.0);
            stems.quadTo(13.0, 6.0, 13.0, 1.8);
            stroke(p, stems, rgb(0x5A7A20), 0.9);
            QPainterPath leaf(QPointF(13.0, 2.0));
            leaf.quadTo(16.0, 0.6, 18.4, 3.0); leaf.quadTo(15.6, 4.4, 13.0, 2.0);
            fillPath(p, leaf, rgb(0x5AB030), rgb(0x2A6010), 0.5);
            disc(p, {5.6, 14.2}, 3.8, rgb(0xD81830), rgb(0x700010), 0.8);
            disc(p, {14.2, 14.8}, 3.8, rgb(0xD81830), rgb(0x700010), 0.8);
            ellipse(p, {4.4, 12.8}, 0.9, 0.7, QColor(255, 255, 255, 170));
            ellipse(p, {13.0, 13.4}, 0.9, 0.7, QColor(255, 255, 255, 170));
        },
        [](Painter &p) { // strawberry
            QPainterPath berry(QPointF(10, 18.8));
            berry.cubicTo(3.0, 14.0, 1.4, 5.0, 6.0, 4.6);
            berry.cubicTo(8.0, 4.4, 9.0, 5.4, 10, 5.4);
            berry.cubicTo(11.0, 5.4, 12.0, 4.4, 14.0, 4.6);
            berry.cubicTo(18.6, 5.0, 17.0, 14.0, 10, 18.8);
            QRadialGradient g(QPointF(8, 9), 11);
            g.setColorAt(0, rgb(0xFF5A5A)); g.setColorAt(1, rgb(0xD0102A));
            fillPath(p, berry, g, rgb(0x7A0010), 0.8);
            for (QPointF s : {QPointF(6.0, 8.6), QPointF(10, 8.6), QPointF(14.0, 8.6), QPointF(8.0, 11.6),
                              QPointF(12.0, 11.6), QPointF(10, 14.6), QPointF(6.6, 13.0), QPointF(13.4, 13.0)})
                ellipse(p, s, 0.45, 0.65, rgb(0xFFF0A0));
            QPainterPath calyx;
            calyx.addPolygon(QPolygonF({QPointF(4.6, 4.6), QPointF(8.0, 3.6), QPointF(10, 1.0), QPointF(12.0, 3.6),
                                        QPointF(15.4, 4.6), QPointF(12.0, 6.0), QPointF(10, 7.0), QPointF(8.0, 6.0),
                                        QPointF(4.6, 4.6)}));
            fillPath(p, calyx, rgb(0x4AA830), rgb(0x1E5A10), 0.5);
        },
        [](Painter &p) { // watermelon slice
            QPainterPath rind(QPointF(0.8, 6.0));
            rind.lineTo(19.2, 6.0);
            rind.cubicTo(19.2, 12.0, 15.0, 17.6, 10, 17.6);
            rind.cubicTo(5.0, 17.6, 0.8, 12.0, 0.8, 6.0);
            fillPath(p, rind, rgb(0x3A9A30), rgb(0x1A5A10), 0.8);
            QPainterPath white(QPointF(1.8, 6.0));
            white.lineTo(18.2, 6.0);
            white.cubicTo(18.2, 11.4, 14.4, 16.2, 10, 16.2);
            white.cubicTo(5.6, 16.2, 1.8, 11.4, 1.8, 6.0);
            fillPath(p, white, rgb(0xE8F8D0));
            QPainterPath red(QPointF(2.6, 6.0));
            red.lineTo(17.4, 6.0);
            red.cubicTo(17.4, 10.8, 14.0, 15.0, 10, 15.0);
            red.cubicTo(6.0, 15.0, 2.6, 10.8, 2.6, 6.0);
            fillPath(p, red, rgb(0xF03A4A));
            for (QPointF s : {QPointF(6.0, 8.4), QPointF(10, 9.0), QPointF(14.0, 8.4), QPointF(8.0, 11.8),
                              QPointF(12.0, 11.8)})
                ellipse(p, s, 0.55, 0.85, rgb(0x202020));
        },
        [](Painter &p) { // grapes
            stroke(p, arc({10, 4.0}, {10.6, 2.0}, {12.6, 0.8}), rgb(0x6A4020), 0.9);
            QPainterPath leaf(QPointF(10.4, 3.0));
            leaf.quadTo(14.0, 1.4, 17.0, 3.4); leaf.quadTo(13.6, 5.6, 10.4, 3.0);
            fillPath(p, leaf, rgb(0x5AB030), rgb(0x2A6010), 0.5);
            for (QPointF s : {QPointF(6.0, 6.4), QPointF(10, 6.0), QPointF(14.0, 6.4), QPointF(8.0, 9.8),
                              QPointF(12.0, 9.8), QPointF(5.6, 12.2), QPointF(14.4, 12.2), QPointF(10, 13.4),
                              QPointF(8.0, 16.4), QPointF(12.0, 16.4)})
                disc(p, s, 2.3, rgb(0x8A3AC0), rgb(0x3A1060), 0.6);
        },
        [](Painter &p) { // orange
            disc(p, {10, 11.0}, 8.0, rgb(0xFF9A1A), rgb(0xA05000));
            for (QPointF s : {QPointF(6.0, 9.0), QPointF(12.0, 14.0), QPointF(14.0, 9.4), QPointF(8.0, 14.6)})
                ellipse(p, s, 0.4, 0.4, rgb(0xE07A00));
            ellipse(p, {6.4, 7.6}, 1.4, 1.0, QColor(255, 255, 255, 130));
            QPainterPath leaf(QPointF(10, 3.4));
            leaf.quadTo(12.4, 0.4, 16.0, 1.4); leaf.quadTo(13.6, 4.4, 10, 3.4);
            fillPath(p, leaf, rgb(0x4AA830), rgb(0x1E5A10), 0.5);
        },
        [](Painter &p) { // carrot
            QPainterPath carrot(QPointF(16.6, 4.8));
            carrot.cubicTo(18.0, 6.4, 17.0, 8.0, 15.0, 9.6);
            carrot.lineTo(3.0, 18.6);
            carrot.quadTo(1.4, 18.6, 1.8, 17.0);
            carrot.lineTo(11.0, 5.4);
            carrot.cubicTo(12.6, 3.4, 15.0, 3.2, 16.6, 4.8);
            fillPath(p, carrot, rgb(0xFF8A1A), rgb(0xA04800), 0.8);
            QPainterPath lines;
            lines.moveTo(9.6, 9.0); lines.lineTo(11.2, 10.0); lines.moveTo(6.6, 12.8); lines.lineTo(8.2, 13.6);
            lines.moveTo(11.8, 6.6); lines.lineTo(13.2, 7.6);
            stroke(p, lines, rgb(0xC05A00), 0.6);
            for (qreal a : {-40.0, 0.0, 40.0}) {
                p.save();
                p.translate(16.2, 4.4);
                p.rotate(a + 40);
                fillPath(p, [] {
                    QPainterPath leaf(QPointF(0, 0));
                    leaf.quadTo(-1.4, -2.8, 0, -5.0);
                    leaf.quadTo(1.4, -2.8, 0, 0);
                    return leaf;
                }(), rgb(0x4AB030), rgb(0x1E6010), 0.5);
                p.restore();
            }
        },
        [](Painter &p) { // mushroom
            QPainterPath stem(QPointF(7.0, 10.0));
            stem.lineTo(6.4, 17.0);
            stem.quadTo(10, 19.0, 13.6, 17.0);
            stem.lineTo(13.0, 10.0);
            fillPath(p, stem, rgb(0xFFF0D8), rgb(0x9A8060), 0.7);
            QPainterPath cap(QPointF(1.2, 11.4));
            cap.cubicTo(0.6, 0.6, 19.4, 0.6, 18.8, 11.4);
            cap.quadTo(10, 12.6, 1.2, 11.4);
            QRadialGradient g(QPointF(7, 5), 12);
            g.setColorAt(0, rgb(0xFF5A4A)); g.setColorAt(1, rgb(0xD01A1A));
            fillPath(p, cap, g, rgb(0x7A0808), 0.8);
            for (QPointF s : {QPointF(6.0, 5.6), QPointF(11.4, 4.0), QPointF(14.8, 8.0), QPointF(9.2, 8.8),
                              QPointF(3.8, 9.4)})
                ellipse(p, s, 1.3, 1.1, Qt::white);
        },
        [](Painter &p) { // bread
            QPainterPath loaf(QPointF(2.0, 17.0));
            loaf.lineTo(2.0, 9.0);
            loaf.cubicTo(-0.4, 6.0, 2.0, 2.4, 10, 2.4);
            loaf.cubicTo(18.0, 2.4, 20.4, 6.0, 18.0, 9.0);
            loaf.lineTo(18.0, 17.0);
            loaf.closeSubpath();
            fillPath(p, loaf, rgb(0xD89040), rgb(0x7A4A10), 0.8);
            QPainterPath crumb(QPointF(3.6, 16.0));
            crumb.lineTo(3.6, 8.4);
            crumb.cubicTo(1.8, 6.0, 4.0, 4.0, 10, 4.0);
            crumb.cubicTo(16.0, 4.0, 18.2, 6.0, 16.4, 8.4);
            crumb.lineTo(16.4, 16.0);
            crumb.closeSubpath();
            fillPath(p, crumb, rgb(0xFFF0C8));
            for (QPointF s : {QPointF(7.0, 9.0), QPointF(12.0, 11.0), QPointF(9.0, 13.6), QPointF(13.4, 7.0)})
                ellipse(p, s, 0.6, 0.4, rgb(0xE8D0A0));
        },
        [](Painter &p) { // cake slice
            QPainterPath side;
            side.addPolygon(QPolygonF({QPointF(2.0, 9.0), QPointF(18.0, 6.0), QPointF(18.0, 17.0),
                                       QPointF(2.0, 18.0), QPointF(2.0, 9.0)}));
            fillPath(p, side, rgb(0xFFE8B0), rgb(0x8A6030), 0.7);
            p.fillRect(QRectF(2.0, 12.4, 16.0, 1.6), rgb(0xF06A8A));
            QPainterPath top;
            top.addPolygon(QPolygonF({QPointF(2.0, 9.0), QPointF(11.0, 4.4), QPointF(18.0, 6.0), QPointF(2.0, 9.0)}));
            fillPath(p, top, Qt::white, rgb(0x8A6030), 0.7);
            QPainterPath icing(QPointF(2.0, 9.0));
            icing.lineTo(18.0, 6.0); icing.lineTo(18.0, 8.0);
            icing.quadTo(16.4, 9.6, 15.0, 8.6); icing.quadTo(13.0, 10.6, 11.0, 9.4);
            icing.quadTo(9.0, 11.0, 7.0, 9.8); icing.quadTo(4.6, 11.4, 2.0, 10.6); icing.closeSubpath();
            fillPath(p, icing, Qt::white);
            disc(p, {11.4, 3.8}, 2.0, rgb(0xE81830), rgb(0x700010), 0.6);
        },
        [](Painter &p) { // birthday cake
            p.fillRect(QRectF(9.4, 1.6, 1.2, 4.0), rgb(0x60A0F0));
            QPainterPath flame(QPointF(10, -0.2));
            flame.quadTo(11.4, 1.4, 10, 2.2); flame.quadTo(8.6, 1.4, 10, -0.2);
            fillPath(p, flame, rgb(0xFFB020));
            QPainterPath cake;
            cake.addRoundedRect(QRectF(2.0, 6.0, 16.0, 12.0), 1.6, 1.6);
            fillPath(p, cake, rgb(0xF8C0D0), rgb(0x905060), 0.8);
            p.fillRect(QRectF(2.4, 11.4, 15.2, 1.6), rgb(0xFFF4F8));
            QPainterPath drip(QPointF(2.0, 7.0));
            drip.lineTo(18.0, 7.0); drip.lineTo(18.0, 9.0);
            for (int i = 0; i < 4; ++i) {
                const qreal x = 18.0 - i * 4.0;
                drip.quadTo(x - 1.0, 11.0, x - 2.0, 9.0);
                drip.quadTo(x - 3.0, 8.4, x - 4.0, 9.0);
            }
            drip.closeSubpath();
            fillPath(p, drip, Qt::white);
            for (QPointF s : {QPointF(5.0, 15.4), QPointF(10, 15.4), QPointF(15.0, 15.4)})
                ellipse(p, s, 0.9, 0.9, rgb(0xE82040));
        },
        [](Painter &p) { // ice cream cone
            QPainterPath cone;
            cone.addPolygon(QPolygonF({QPointF(4.4, 9.0), QPointF(15.6, 9.0), QPointF(10, 19.4), QPointF(4.4, 9.0)}));
            fillPath(p, cone, rgb(0xE8B060), rgb(0x8A5A20), 0.7);
            p.save();
            p.setClipPath(cone);
            QPainterPath grid;
            for (int i = -2; i < 6; ++i) {
                grid.moveTo(2.0 + i * 3.0, 8.0); grid.lineTo(12.0 + i * 3.0, 20.0);
                grid.moveTo(18.0 - i * 3.0, 8.0); grid.lineTo(8.0 - i * 3.0, 20.0);
            }
            stroke(p, grid, rgb(0xB07A30), 0.5);
            p.restore();
            disc(p, {10, 6.4}, 5.0, rgb(0xF8A8C8), rgb(0xA05070), 0.7);
            ellipse(p, {10, 9.6}, 5.8, 1.4, rgb(0xF8A8C8), rgb(0xA05070), 0.6);
            disc(p, {10, 1.8}, 1.4, rgb(0xE81830), rgb(0x700010), 0.5);
            for (QPointF s : {QPointF(7.4, 5.4), QPointF(12.0, 4.6), QPointF(10.6, 7.6)})
                ellipse(p, s, 0.5, 0.3, rgb(0x60C0F0));
        },
        [](Painter &p) { // lollipop
            p.fillRect(QRectF(9.4, 10.0, 1.4, 9.6), rgb(0xF0E8D8));
            p.setPen(outline(rgb(0x9A9080), 0.4));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(9.4, 10.0, 1.4, 9.6));
            disc(p, {10, 7.4}, 6.6, rgb(0xFF6AB0), rgb(0x902060), 0.8);
            QPainterPath spiral(QPointF(10, 7.4));
            for (int i = 1; i < 46; ++i) {
                const qreal a = i * 0.32, r = i * 0.13;
                spiral.lineTo(10 + r * std::cos(a), 7.4 + r * std::sin(a));
            }
            stroke(p, spiral, Qt::white, 1.0);
        },
        [](Painter &p) { // wrapped sweet
            for (int side : {-1, 1}) {
                QPainterPath wing;
                wing.addPolygon(QPolygonF({QPointF(10 + side * 5.0, 10), QPointF(10 + side * 9.6, 5.4),
                                           QPointF(10 + side * 9.6, 14.6), QPointF(10 + side * 5.0, 10)}));
                fillPath(p, wing, rgb(0xFFD030), rgb(0x9A7000), 0.6);
            }
            ellipse(p, {10, 10}, 5.4, 4.4, rgb(0xF04060), rgb(0x800020), 0.8);
            QPainterPath stripes;
            stripes.moveTo(7.4, 6.4); stripes.lineTo(10.4, 14.2); stripes.moveTo(10.6, 5.8); stripes.lineTo(13.0, 12.6);
            stroke(p, stripes, QColor(255, 255, 255, 200), 1.0);
        },
        [](Painter &p) { // doughnut
            QPainterPath ring;
            ring.addEllipse(QPointF(10, 10.6), 8.6, 7.6);
            ring.addEllipse(QPointF(10, 10.2), 2.6, 2.0);
            fillPath(p, ring, rgb(0xD89040), rgb(0x7A4A10), 0.8);
            QPainterPath icing(QPointF(2.4, 9.6));
            icing.cubicTo(2.6, 2.4, 17.4, 2.4, 17.6, 9.6);
            icing.quadTo(16.6, 12.4, 15.2, 11.0); icing.quadTo(13.6, 14.6, 11.6, 12.8);
            icing.quadTo(9.0, 15.0, 7.6, 12.4); icing.quadTo(5.4, 14.0, 4.6, 11.4);
            icing.quadTo(2.6, 12.6, 2.4, 9.6);
            QPainterPath hole;
            hole.addEllipse(QPointF(10, 9.8), 2.8, 2.2);
            fillPath(p, icing.subtracted(hole), rgb(0xF878B0), rgb(0xA03060), 0.5);
            const QColor sprinkles[] = {rgb(0xFFFFFF), rgb(0x60C0F0), rgb(0xFFE040), rgb(0x70D060)};
            const QPointF at[] = {{5.4, 7.0}, {8.0, 5.0}, {12.6, 5.2}, {15.0, 7.6}, {5.6, 10.4}, {14.2, 10.6}};
            for (int i = 0; i < 6; ++i) {
                QPainterPath s(at[i]);
                s.lineTo(at[i] + QPointF(i % 2 ? 0.8 : -0.8, 0.8));
                stroke(p, s, sprinkles[i % 4], 0.7);
            }
        },
        [](Painter &p) { // cookie
            disc(p, {10, 10.4}, 8.4, rgb(0xE0A050), rgb(0x8A5A18));
            QPainterPath bite;
            bite.addEllipse(QPointF(18.6, 4.0), 3.4, 3.4);
            p.save();
            p.setCompositionMode(QPainter::CompositionMode_Clear);
            p.fillPath(bite, Qt::transparent);
            p.restore();
            for (QPointF s : {QPointF(6.0, 7.0), QPointF(11.0, 6.0), QPointF(7.4, 12.6), QPointF(13.0, 11.0),
                              QPointF(10, 15.6), QPointF(4.6, 11.2), QPointF(14.8, 15.0)})
                ellipse(p, s, 1.1, 0.9, rgb(0x4A2A10));
        },
        [](Painter &p) { // pizza slice
            QPainterPath slice(QPointF(10, 19.4));
            slice.lineTo(1.4, 4.0);
            slice.quadTo(10, -0.6, 18.6, 4.0);
            slice.closeSubpath();
            fillPath(p, slice, rgb(0xFFD050), rgb(0x9A6A10), 0.8);
            QPainterPath crust(QPointF(1.4, 4.0));
            crust.quadTo(10, -0.6, 18.6, 4.0);
            crust.lineTo(17.6, 5.8);
            crust.quadTo(10, 1.8, 2.4, 5.8);
            crust.closeSubpath();
            fillPath(p, crust, rgb(0xD08A30), rgb(0x9A6A10), 0.6);
            for (QPointF s : {QPointF(7.0, 7.6), QPointF(12.6, 7.4), QPointF(10, 12.0), QPointF(8.6, 15.0)})
                disc(p, s, 1.6, rgb(0xD03020), rgb(0x801010), 0.4);
            ellipse(p, {14.0, 10.2}, 0.8, 0.6, rgb(0x40A030));
        },
        [](Painter &p) { // hamburger
            QPainterPath bun(QPointF(1.6, 8.6));
            bun.cubicTo(1.6, 1.4, 18.4, 1.4, 18.4, 8.6);
            bun.closeSubpath();
            fillPath(p, bun, rgb(0xE8A040), rgb(0x8A5010), 0.8);
            for (QPointF s : {QPointF(6.0, 5.0), QPointF(10, 4.0), QPointF(14.0, 5.2), QPointF(8.4, 6.6), QPointF(12.0, 6.8)})
                ellipse(p, s, 0.6, 0.35, rgb(0xFFF4D0));
            QPainterPath lettuce(QPointF(1.0, 9.0));
            for (int i = 0; i < 6; ++i)
                lettuce.quadTo(2.5 + i * 3.0, 11.6, 4.0 + i * 3.0, 9.0);
            lettuce.lineTo(19.0, 9.0);
            lettuce.lineTo(19.0, 8.4);
            lettuce.lineTo(1.0, 8.4);
            lettuce.closeSubpath();
            fillPath(p, lettuce, rgb(0x6AC040), rgb(0x2A6010), 0.5);
            QPainterPath cheese;
            cheese.addPolygon(QPolygonF({QPointF(2.0, 10.0), QPointF(18.0, 10.0), QPointF(15.0, 12.4), QPointF(2.0, 11.4)}));
            fillPath(p, cheese, rgb(0xFFD020));
            QPainterPath patty;
            patty.addRoundedRect(QRectF(1.6, 11.0, 16.8, 3.0), 1.4, 1.4);
            fillPath(p, patty, rgb(0x6A3A18), rgb(0x3A1A08), 0.6);
            QPainterPath bottom;
            bottom.addRoundedRect(QRectF(2.0, 14.2, 16.0, 3.8), 1.8, 1.8);
            fillPath(p, bottom, rgb(0xE8A040), rgb(0x8A5010), 0.8);
        },
        [](Painter &p) { // fries
            const QColor fry = rgb(0xFFD040);
            for (int i = 0; i < 6; ++i) {
                const qreal x = 4.4 + i * 2.1;
                const qreal top = 2.0 + (i % 3) * 1.2;
                p.setPen(outline(rgb(0xB08000), 0.4));
                p.setBrush(fry);
                p.save();
                p.translate(x, 0);
                p.rotate((i - 2.5) * 4);
                p.drawRect(QRectF(-0.9, top, 1.8, 10));
                p.restore();
            }
            QPainterPath box(QPointF(3.0, 8.4));
            box.lineTo(17.0, 8.4);
            box.lineTo(15.4, 19.0);
            box.lineTo(4.6, 19.0);
            box.closeSubpath();
            fillPath(p, box, rgb(0xE02A2A), rgb(0x700808), 0.8);
            p.save();
            p.setClipPath(box);
            p.fillRect(QRectF(0, 12.0, 20, 1.4), QColor(255, 255, 255, 200));
            p.fillRect(QRectF(0, 14.6, 20, 1.4), QColor(255, 255, 255, 200));
            p.restore();
        },
        [](Painter &p) { // rice bowl
            QPainterPath rice(QPointF(2.4, 10.0));
            rice.cubicTo(2.0, 3.0, 18.0, 3.0, 17.6, 10.0);
            fillPath(p, rice, Qt::white, rgb(0xA0A0A0), 0.6);
            for (QPointF s : {QPointF(6.0, 7.0), QPointF(9.0, 5.4), QPointF(12.4, 6.4), QPointF(14.6, 8.2), QPointF(8.0, 8.4)})
                ellipse(p, s, 0.6, 0.35, rgb(0xD8D8D0));
            QPainterPath sticks(QPointF(11.0, 6.0));
            sticks.lineTo(19.0, 0.6);
            sticks.moveTo(12.4, 7.0);
            sticks.lineTo(19.6, 2.4);
            stroke(p, sticks, rgb(0x9A6A30), 0.9);
            QPainterPath bowl(QPointF(1.2, 9.6));
            bowl.lineTo(18.8, 9.6);
            bowl.cubicTo(18.4, 15.6, 14.0, 17.6, 10, 17.6);
            bowl.cubicTo(6.0, 17.6, 1.6, 15.6, 1.2, 9.6);
            QLinearGradient g(0, 10, 0, 18);
            g.setColorAt(0, rgb(0x4A7AD0)); g.setColorAt(1, rgb(0x2A4AA0));
            fillPath(p, bowl, g, rgb(0x1A2A60), 0.8);
            p.fillRect(QRectF(7.0, 17.4, 6.0, 1.6), rgb(0x2A4AA0));
            QPainterPath wave(QPointF(3.4, 12.6));
            wave.quadTo(5.0, 11.4, 6.6, 12.6); wave.quadTo(8.2, 13.8, 9.8, 12.6);
            wave.quadTo(11.4, 11.4, 13.0, 12.6); wave.quadTo(14.6, 13.8, 16.4, 12.6);
            stroke(p, wave, rgb(0xD0E0FF), 0.6);
        },
        [](Painter &p) { // sushi
            QPainterPath rice;
            rice.addRoundedRect(QRectF(2.4, 8.6, 15.2, 8.0), 3.6, 3.6);
            fillPath(p, rice, Qt::white, rgb(0x9A9A9A), 0.7);
            QPainterPath fish(QPointF(1.6, 10.6));
            fish.cubicTo(1.0, 4.6, 19.0, 4.0, 18.6, 10.0);
            fish.cubicTo(14.0, 11.6, 6.0, 11.4, 1.6, 10.6);
            QLinearGradient g(0, 5, 0, 11);
            g.setColorAt(0, rgb(0xFF9A6A)); g.setColorAt(1, rgb(0xF86A3A));
            fillPath(p, fish, g, rgb(0xA03A10), 0.7);
            QPainterPath stripes;
            for (int i = 0; i < 4; ++i) { stripes.moveTo(5.0 + i * 3.2, 6.4); stripes.lineTo(6.6 + i * 3.2, 10.4); }
            stroke(p, stripes, rgb(0xFFE0D0), 0.6);
            p.fillRect(QRectF(8.4, 6.0, 3.2, 10.6), rgb(0x203020));
        },
        [](Painter &p) { // coffee
            QPainterPath steam(QPointF(7.0, 5.4));
            steam.cubicTo(5.4, 3.6, 8.4, 2.6, 7.0, 0.6);
            steam.moveTo(11.0, 5.4);
            steam.cubicTo(9.4, 3.6, 12.4, 2.6, 11.0, 0.6);
            stroke(p, steam, rgb(0xA0A0A0), 0.7);
            p.setBrush(Qt::NoBrush);
            p.setPen(outline(rgb(0x8A8A9A), 1.4));
            p.drawEllipse(QPointF(15.6, 11.0), 2.6, 2.6);
            QPainterPath cup(QPointF(2.0, 6.6));
            cup.lineTo(16.0, 6.6);
            cup.lineTo(15.0, 15.0);
            cup.quadTo(14.6, 17.0, 12.4, 17.0);
            cup.lineTo(5.6, 17.0);
            cup.quadTo(3.4, 17.0, 3.0, 15.0);
            cup.closeSubpath();
            fillPath(p, cup, Qt::white, rgb(0x6A6A7A), 0.8);
            ellipse(p, {9, 6.8}, 6.6, 1.4, rgb(0x6A3A18), rgb(0x6A6A7A), 0.6);
            ellipse(p, {9.4, 18.6}, 8.6, 1.1, rgb(0xE0E0E8), rgb(0x6A6A7A), 0.6);
            heart(p, {9.0, 11.6}, 2.0, rgb(0xE8304A), 0);
        },
        [](Painter &p) { // beer
            p.setBrush(Qt::NoBrush);
            p.setPen(outline(rgb(0xB0B0B0), 1.6));
            p.drawRoundedRect(QRectF(13.4, 7.4, 4.4, 6.6), 2.0, 2.0);
            QPainterPath mug;
            mug.addRoundedRect(QRectF(3.0, 5.0, 11.4, 13.6), 1.4, 1.4);
            QLinearGradient g(3, 0, 14, 0);
            g.setColorAt(0, rgb(0xFFC020)); g.setColorAt(1, rgb(0xE89000));
            fillPath(p, mug, g, rgb(0x8A5A00), 0.8);
            QPainterPath bubbles;
            for (QPointF s : {QPointF(6.0, 10.0), QPointF(10.0, 13.0), QPointF(7.4, 15.4), QPointF(11.4, 9.0)})
                bubbles.addEllipse(s, 0.5, 0.5);
            fillPath(p, bubbles, QColor(255, 255, 255, 170));
            QPainterPath foam;
            for (QPointF s : {QPointF(4.2, 5.0), QPointF(7.0, 3.6), QPointF(10.2, 3.8), QPointF(13.0, 5.0),
                              QPointF(8.6, 5.6), QPointF(5.4, 6.6), QPointF(11.6, 6.6)})
                foam.addEllipse(s, 2.2, 2.0);
            foam.setFillRule(Qt::WindingFill);
            fillPath(p, foam.simplified(), Qt::white, rgb(0xB0B0B0), 0.6);
        },
        [](Painter &p) { // wine glass
            QPainterPath glass(QPointF(4.4, 1.6));
            glass.lineTo(15.6, 1.6);
            glass.cubicTo(16.0, 8.0, 13.6, 11.0, 10, 11.0);
            glass.cubicTo(6.4, 11.0, 4.0, 8.0, 4.4, 1.6);
            fillPath(p, glass, QColor(230, 240, 255, 160), rgb(0x7A8AA0), 0.7);
            QPainterPath wine(QPointF(4.7, 5.0));
            wine.lineTo(15.3, 5.0);
            wine.cubicTo(15.0, 9.0, 13.0, 10.6, 10, 10.6);
            wine.cubicTo(7.0, 10.6, 5.0, 9.0, 4.7, 5.0);
            fillPath(p, wine, rgb(0xB01040));
            p.fillRect(QRectF(9.4, 11.0, 1.2, 6.0), rgb(0xB0C0D0));
            ellipse(p, {10, 17.6}, 4.6, 1.2, rgb(0xD0DCE8), rgb(0x7A8AA0), 0.6);
            ellipse(p, {6.8, 4.0}, 0.6, 1.4, QColor(255, 255, 255, 200));
        },
        [](Painter &p) { // boba tea
            QPainterPath straw;
            straw.addPolygon(QPolygonF({QPointF(10.4, 5.0), QPointF(13.6, 0.4), QPointF(15.0, 1.2), QPointF(12.0, 5.4)}));
            fillPath(p, straw, rgb(0xF04A7A));
            QPainterPath cup(QPointF(3.4, 5.0));
            cup.lineTo(16.6, 5.0);
            cup.lineTo(14.8, 18.6);
            cup.lineTo(5.2, 18.6);
            cup.closeSubpath();
            fillPath(p, cup, rgb(0xE8C8A0), rgb(0x8A6A40), 0.8);
            p.fillRect(QRectF(3.0, 4.2, 14.0, 1.8), rgb(0xFFFFFF));
            for (QPointF s : {QPointF(7.0, 15.8), QPointF(9.6, 16.4), QPointF(12.4, 15.8), QPointF(8.2, 13.8), QPointF(11.2, 13.6)})
                ellipse(p, s, 1.1, 1.1, rgb(0x3A2418));
        },
    };
}

// ---- things and symbols

std::vector<Draw> things()
{
    return {
        [](Painter &p) { heart(p, {10, 10.2}, 7.6); },
        [](Painter &p) { // broken heart
            QPainterPath left = heartPath({10, 10.2}, 7.6);
            QPainterPath crack;
            crack.addPolygon(QPolygonF({QPointF(0, 0), QPointF(10.6, 0), QPointF(8.6, 6.0), QPointF(11.4, 9.0),
                                        QPointF(9.0, 12.6), QPointF(10.4, 20), QPointF(0, 20)}));
            p.save();
            p.translate(-0.8, 0.4);
            fillPath(p, left.intersected(crack), rgb(0xE8304A), rgb(0x901020), 0.7);
            p.restore();
            p.save();
            p.translate(0.8, -0.4);
            fillPath(p, left.subtracted(crack), rgb(0xE8304A), rgb(0x901020), 0.7);
            p.restore();
        },
        [](Painter &p) { // two hearts
            heart(p, {7.0, 8.0}, 5.4, rgb(0xF0509A));
            heart(p, {13.4, 13.0}, 4.8, rgb(0xE8304A));
        },
        [](Painter &p) {
            p.setPen(outline(rgb(0xC08000), 0.9));
            QRadialGradient g(QPointF(8, 8), 10);
            g.setColorAt(0, rgb(0xFFF080)); g.setColorAt(1, rgb(0xFFC000));
            p.setBrush(g);
            p.drawPath(starPath({10, 10.8}, 9.4, 4.0));
        },
        [](Painter &p) { // sun
            QPainterPath rays;
            for (int i = 0; i < 8; ++i) {
                const qreal a = i * M_PI / 4;
                rays.moveTo(10 + 6.4 * std::cos(a), 10 + 6.4 * std::sin(a));
                rays.lineTo(10 + 9.0 * std::cos(a), 10 + 9.0 * std::sin(a));
            }
            stroke(p, rays, rgb(0xFF9A00), 1.5);
            disc(p, {10, 10}, 5.2, rgb(0xFFD020), rgb(0xD07000), 0.8);
        },
        [](Painter &p) { // moon
            QPainterPath moon;
            moon.addEllipse(QPointF(9.4, 10), 8.0, 8.0);
            QPainterPath bite;
            bite.addEllipse(QPointF(14.0, 7.0), 7.0, 7.0);
            fillPath(p, moon.subtracted(bite), rgb(0xFFE060), rgb(0xB08A00), 0.8);
            p.setPen(Qt::NoPen);
            p.setBrush(rgb(0xFFE060));
            p.drawPath(starPath({15.6, 14.4}, 2.4, 1.0));
            p.drawPath(starPath({17.0, 3.0}, 1.6, 0.7));
        },
        [](Painter &p) { // cloud
            QPainterPath cloud;
            cloud.addEllipse(QPointF(6.0, 12.0), 4.4, 4.0);
            cloud.addEllipse(QPointF(10.6, 8.6), 5.4, 5.0);
            cloud.addEllipse(QPointF(15.0, 12.4), 4.0, 3.6);
            cloud.addRoundedRect(QRectF(3.0, 11.0, 14.8, 5.0), 2.4, 2.4);
            cloud.setFillRule(Qt::WindingFill);
            QLinearGradient g(0, 4, 0, 16);
            g.setColorAt(0, Qt::white); g.setColorAt(1, rgb(0xD8E4F0));
            fillPath(p, cloud.simplified(), g, rgb(0x6A8AAA), 0.8);
        },
        [](Painter &p) { // umbrella with rain
            QPainterPath drops;
            for (QPointF s : {QPointF(2.4, 1.4), QPointF(17.4, 2.6), QPointF(1.6, 12.0), QPointF(18.4, 13.0)}) {
                drops.moveTo(s); drops.lineTo(s + QPointF(-0.6, 1.6));
            }
            stroke(p, drops, rgb(0x4A9AE0), 0.8);
            QPainterPath canopy(QPointF(2.0, 10.0));
            canopy.cubicTo(2.0, 2.0, 18.0, 2.0, 18.0, 10.0);
            canopy.quadTo(16.0, 8.6, 14.0, 10.0);
            canopy.quadTo(12.0, 8.6, 10, 10.0);
            canopy.quadTo(8.0, 8.6, 6.0, 10.0);
            canopy.quadTo(4.0, 8.6, 2.0, 10.0);
            fillPath(p, canopy, rgb(0x8A4AD0), rgb(0x401A70), 0.8);
            QPainterPath handle(QPointF(10, 4.0));
            handle.lineTo(10, 16.6);
            handle.quadTo(10, 18.6, 8.2, 18.4);
            handle.quadTo(7.0, 18.0, 7.2, 16.8);
            stroke(p, handle, rgb(0x4A3020), 1.0);
        },
        [](Painter &p) { // lightning
            QPainterPath bolt;
            bolt.addPolygon(QPolygonF({QPointF(11.6, 0.6), QPointF(4.0, 11.2), QPointF(9.2, 11.2), QPointF(7.4, 19.4),
                                       QPointF(16.2, 7.6), QPointF(10.8, 7.6), QPointF(13.6, 0.6), QPointF(11.6, 0.6)}));
            QLinearGradient g(0, 0, 0, 20);
            g.setColorAt(0, rgb(0xFFF060)); g.setColorAt(1, rgb(0xFFB000));
            fillPath(p, bolt, g, rgb(0xA06000), 0.8);
        },
        [](Painter &p) { // snowflake
            QPainterPath flake;
            for (int i = 0; i < 6; ++i) {
                const qreal a = i * M_PI / 3 - M_PI / 2;
                const QPointF dir(std::cos(a), std::sin(a));
                const QPointF c(10, 10);
                flake.moveTo(c);
                flake.lineTo(c + 8.4 * dir);
                const QPointF b = c + 5.4 * dir;
                const QPointF side1(std::cos(a + 0.8), std::sin(a + 0.8));
                const QPointF side2(std::cos(a - 0.8), std::sin(a - 0.8));
                flake.moveTo(b); flake.lineTo(b + 2.6 * side1);
                flake.moveTo(b); flake.lineTo(b + 2.6 * side2);
            }
            stroke(p, flake, rgb(0x1A6AC0), 2.2);
            stroke(p, flake, rgb(0xB8E0FF), 1.0);
        },
        [](Painter &p) { // rainbow
            const QColor bands[] = {rgb(0xE83030), rgb(0xFF9A20), rgb(0xFFE030), rgb(0x40C040), rgb(0x3080E0), rgb(0x8040C0)};
            for (int i = 0; i < 6; ++i) {
                const qreal r = 8.8 - i * 1.2;
                p.setBrush(Qt::NoBrush);
                p.setPen(QPen(bands[i], 1.3, Qt::SolidLine, Qt::FlatCap));
                p.drawArc(QRectF(10 - r, 15 - r, 2 * r, 2 * r), 0, 180 * 16);
            }
            QPainterPath cloud;
            cloud.addEllipse(QPointF(2.6, 15.2), 2.4, 2.2);
            cloud.addEllipse(QPointF(5.0, 16.0), 2.2, 2.0);
            cloud.addEllipse(QPointF(15.0, 16.0), 2.2, 2.0);
            cloud.addEllipse(QPointF(17.4, 15.2), 2.4, 2.2);
            cloud.setFillRule(Qt::WindingFill);
            fillPath(p, cloud.simplified(), Qt::white, rgb(0x8AA0B8), 0.6);
        },
        [](Painter &p) { // flower
            for (int i = 0; i < 6; ++i) {
                const qreal a = i * M_PI / 3;
                ellipse(p, {10 + 5.0 * std::cos(a), 9.6 + 5.0 * std::sin(a)}, 3.4, 3.4, rgb(0xFF8AB8), rgb(0xC03A70), 0.6);
            }
            disc(p, {10, 9.6}, 3.2, rgb(0xFFD020), rgb(0xC08000), 0.6);
        },
        [](Painter &p) { // rose
            QPainterPath stem(QPointF(10, 10));
            stem.lineTo(10, 19.6);
            stroke(p, stem, rgb(0x3A8A20), 1.1);
            QPainterPath leaf(QPointF(10, 15.6));
            leaf.quadTo(13.0, 12.0, 16.0, 13.4); leaf.quadTo(13.4, 16.6, 10, 15.6);
            fillPath(p, leaf, rgb(0x5AB030), rgb(0x2A6010), 0.5);
            QPainterPath bloom(QPointF(4.6, 4.0));
            bloom.quadTo(7.4, 5.6, 10, 2.0);
            bloom.quadTo(12.6, 5.6, 15.4, 4.0);
            bloom.cubicTo(16.4, 10.0, 13.4, 12.0, 10, 12.0);
            bloom.cubicTo(6.6, 12.0, 3.6, 10.0, 4.6, 4.0);
            fillPath(p, bloom, rgb(0xE01A3A), rgb(0x700010), 0.8);
            stroke(p, arc({7.0, 6.4}, {10, 10.4}, {13.0, 6.4}), rgb(0x900018), 0.6);
        },
        [](Painter &p) { // four-leaf clover
            for (int i = 0; i < 4; ++i) {
                p.save();
                p.translate(10, 9);
                p.rotate(45 + i * 90);
                fillPath(p, heartPath({0, -4.2}, 3.6).translated(0, 0), rgb(0x4AB040), rgb(0x1E6010), 0.6);
                p.restore();
            }
            QPainterPath stem(QPointF(10, 10));
            stem.quadTo(11.0, 15.0, 14.0, 19.0);
            stroke(p, stem, rgb(0x1E6010), 1.0);
        },
        [](Painter &p) { // gift
            QPainterPath box;
            box.addRect(QRectF(2.6, 8.0, 14.8, 10.6));
            fillPath(p, box, rgb(0x3A9AE8), rgb(0x1A4A90), 0.8);
            QPainterPath lid;
            lid.addRect(QRectF(1.6, 5.6, 16.8, 3.4));
            fillPath(p, lid, rgb(0x5AB0F0), rgb(0x1A4A90), 0.8);
            p.fillRect(QRectF(8.8, 5.6, 2.4, 13.0), rgb(0xF03A5A));
            QPainterPath bow;
            bow.moveTo(10, 5.6);
            bow.cubicTo(6.0, 0.6, 3.4, 4.4, 10, 5.6);
            bow.moveTo(10, 5.6);
            bow.cubicTo(14.0, 0.6, 16.6, 4.4, 10, 5.6);
            fillPath(p, bow, rgb(0xF03A5A), rgb(0x901030), 0.6);
        },
        [](Painter &p) { // balloon
            QPainterPath string(QPointF(10.6, 14.6));
            string.cubicTo(8.0, 16.6, 13.0, 17.4, 10.0, 19.8);
            stroke(p, string, rgb(0x707070), 0.6);
            QPainterPath balloon(QPointF(10.6, 14.6));
            balloon.cubicTo(3.0, 12.0, 3.0, 0.8, 10.6, 0.8);
            balloon.cubicTo(18.2, 0.8, 18.2, 12.0, 10.6, 14.6);
            QRadialGradient g(QPointF(8, 5), 10);
            g.setColorAt(0, rgb(0xFF7A7A)); g.setColorAt(1, rgb(0xE01A2A));
            fillPath(p, balloon, g, rgb(0x800010), 0.8);
            QPainterPath knot;
            knot.addPolygon(QPolygonF({QPointF(10.6, 14.4), QPointF(9.4, 15.8), QPointF(11.8, 15.8), QPointF(10.6, 14.4)}));
            fillPath(p, knot, rgb(0xE01A2A), rgb(0x800010), 0.5);
            ellipse(p, {8.2, 4.6}, 1.0, 1.8, QColor(255, 255, 255, 170));
        },
        [](Painter &p) { // music notes
            QPainterPath beam;
            beam.addPolygon(QPolygonF({QPointF(7.0, 4.4), QPointF(17.0, 1.6), QPointF(17.0, 4.0), QPointF(7.0, 6.8)}));
            fillPath(p, beam, rgb(0x2A4AC0));
            QPainterPath stems(QPointF(7.6, 5.0));
            stems.lineTo(7.6, 15.0);
            stems.moveTo(16.4, 2.4);
            stems.lineTo(16.4, 12.6);
            stroke(p, stems, rgb(0x2A4AC0), 1.2);
            for (QPointF n : {QPointF(5.4, 15.4), QPointF(14.2, 13.0)}) {
                p.save();
                p.translate(n);
                p.rotate(-25);
                ellipse(p, {0, 0}, 2.8, 2.0, rgb(0x2A4AC0));
                p.restore();
            }
        },
        [](Painter &p) { // bell
            QPainterPath bell(QPointF(2.6, 15.4));
            bell.cubicTo(4.8, 13.0, 4.0, 9.0, 5.0, 6.6);
            bell.cubicTo(6.4, 2.6, 13.6, 2.6, 15.0, 6.6);
            bell.cubicTo(16.0, 9.0, 15.2, 13.0, 17.4, 15.4);
            bell.closeSubpath();
            QLinearGradient g(4, 0, 16, 0);
            g.setColorAt(0, rgb(0xFFE070)); g.setColorAt(1, rgb(0xE8A800));
            fillPath(p, bell, g, rgb(0x8A5A00), 0.8);
            ellipse(p, {10, 2.2}, 1.4, 1.2, rgb(0xE8A800), rgb(0x8A5A00), 0.6);
            ellipse(p, {10, 17.2}, 2.0, 1.8, rgb(0xE8A800), rgb(0x8A5A00), 0.6);
            QPainterPath ribbon(QPointF(2.6, 15.4));
            ribbon.lineTo(17.4, 15.4);
            stroke(p, ribbon, rgb(0xD02A2A), 1.2);
        },
        [](Painter &p) { // light bulb
            QPainterPath glow;
            for (int i = 0; i < 5; ++i) {
                const qreal a = M_PI + i * M_PI / 4;
                glow.moveTo(10 + 8.0 * std::cos(a), 8.0 + 8.0 * std::sin(a));
                glow.lineTo(10 + 9.6 * std::cos(a), 8.0 + 9.6 * std::sin(a));
            }
            stroke(p, glow, rgb(0xFFB000), 0.9);
            QPainterPath bulb(QPointF(7.4, 13.6));
            bulb.cubicTo(6.4, 11.0, 3.6, 10.0, 3.6, 7.4);
            bulb.cubicTo(3.6, 3.6, 6.6, 1.4, 10, 1.4);
            bulb.cubicTo(13.4, 1.4, 16.4, 3.6, 16.4, 7.4);
            bulb.cubicTo(16.4, 10.0, 13.6, 11.0, 12.6, 13.6);
            bulb.closeSubpath();
            QRadialGradient g(QPointF(9, 6), 9);
            g.setColorAt(0, rgb(0xFFFFD0)); g.setColorAt(1, rgb(0xFFE040));
            fillPath(p, bulb, g, rgb(0xA07A00), 0.8);
            QPainterPath base;
            base.addRoundedRect(QRectF(7.2, 13.6, 5.6, 4.2), 0.8, 0.8);
            fillPath(p, base, rgb(0xA0A8B0), rgb(0x505860), 0.6);
            QPainterPath threads(QPointF(7.2, 15.0)); threads.lineTo(12.8, 15.0);
            threads.moveTo(7.2, 16.4); threads.lineTo(12.8, 16.4);
            stroke(p, threads, rgb(0x505860), 0.5);
            ellipse(p, {10, 18.4}, 1.4, 0.9, rgb(0x505860));
        },
        [](Painter &p) { // envelope
            QPainterPath env;
            env.addRoundedRect(QRectF(1.4, 4.4, 17.2, 12.0), 1.0, 1.0);
            fillPath(p, env, rgb(0xFFFDF4), rgb(0x7A6A50), 0.8);
            QPainterPath flap(QPointF(1.8, 4.8));
            flap.lineTo(10, 11.4);
            flap.lineTo(18.2, 4.8);
            stroke(p, flap, rgb(0x7A6A50), 0.8);
            heart(p, {10, 11.6}, 2.2, rgb(0xE8304A), 0.4);
        },
        [](Painter &p) { // alarm clock
            for (int side : {-1, 1})
                disc(p, {10 + side * 6.4, 3.6}, 2.4, rgb(0xE83030), rgb(0x800808), 0.6);
            QPainterPath legs(QPointF(5.0, 16.4)); legs.lineTo(3.6, 18.8);
            legs.moveTo(15.0, 16.4); legs.lineTo(16.4, 18.8);
            stroke(p, legs, rgb(0x505050), 1.0);
            disc(p, {10, 10.8}, 7.6, rgb(0xE83030), rgb(0x800808), 0.8);
            ellipse(p, {10, 10.8}, 5.8, 5.8, Qt::white);
            QPainterPath hands(QPointF(10, 10.8));
            hands.lineTo(10, 6.6);
            hands.moveTo(10, 10.8);
            hands.lineTo(13.0, 12.4);
            stroke(p, hands, rgb(0x202020), 0.9);
            ellipse(p, {10, 10.8}, 0.7, 0.7, rgb(0x202020));
        },
        [](Painter &p) { // thumbs up
            QPainterPath hand(QPointF(6.4, 9.0));
            hand.lineTo(9.4, 3.0);
            hand.quadTo(10.6, 0.6, 12.0, 2.0);
            hand.quadTo(12.6, 3.2, 11.6, 7.0);
            hand.lineTo(16.4, 7.0);
            hand.quadTo(18.4, 7.4, 17.6, 9.4);
            hand.quadTo(18.6, 11.0, 17.2, 12.2);
            hand.quadTo(18.0, 13.8, 16.6, 14.8);
            hand.quadTo(17.0, 16.8, 15.0, 17.2);
            hand.lineTo(6.4, 17.2);
            hand.closeSubpath();
            fillPath(p, hand, rgb(0xFFCC70), rgb(0xA06A20), 0.8);
            QPainterPath creases(QPointF(12.6, 10.2)); creases.lineTo(17.0, 10.2);
            creases.moveTo(12.6, 13.2); creases.lineTo(16.6, 13.2);
            stroke(p, creases, rgb(0xC08840), 0.6);
            QPainterPath cuff;
            cuff.addRoundedRect(QRectF(1.6, 8.4, 4.8, 9.6), 0.8, 0.8);
            fillPath(p, cuff, rgb(0x3A7AD0), rgb(0x1A3A80), 0.8);
        },
        [](Painter &p) { // trophy
            p.setBrush(Qt::NoBrush);
            p.setPen(outline(rgb(0xB08000), 1.3));
            p.drawEllipse(QPointF(4.2, 6.4), 2.8, 3.0);
            p.drawEllipse(QPointF(15.8, 6.4), 2.8, 3.0);
            QPainterPath cup(QPointF(4.0, 2.0));
            cup.lineTo(16.0, 2.0);
            cup.cubicTo(16.0, 10.0, 13.0, 12.0, 11.0, 12.4);
            cup.lineTo(11.4, 15.0);
            cup.lineTo(8.6, 15.0);
            cup.lineTo(9.0, 12.4);
            cup.cubicTo(7.0, 12.0, 4.0, 10.0, 4.0, 2.0);
            QLinearGradient g(4, 0, 16, 0);
            g.setColorAt(0, rgb(0xFFE880)); g.setColorAt(1, rgb(0xE8A800));
            fillPath(p, cup, g, rgb(0x8A5A00), 0.8);
            QPainterPath base;
            base.addRoundedRect(QRectF(5.4, 15.0, 9.2, 3.8), 0.6, 0.6);
            fillPath(p, base, rgb(0x8A5A30), rgb(0x4A2A10), 0.6);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawPath(starPath({10, 6.6}, 2.4, 1.0));
        },
        [](Painter &p) { // crown
            QPainterPath crown;
            crown.addPolygon(QPolygonF({QPointF(2.0, 15.0), QPointF(1.4, 5.0), QPointF(6.0, 9.6), QPointF(10, 3.0),
                                        QPointF(14.0, 9.6), QPointF(18.6, 5.0), QPointF(18.0, 15.0), QPointF(2.0, 15.0)}));
            QLinearGradient g(0, 3, 0, 15);
            g.setColorAt(0, rgb(0xFFF080)); g.setColorAt(1, rgb(0xF0B000));
            fillPath(p, crown, g, rgb(0x8A5A00), 0.8);
            QPainterPath band;
            band.addRect(QRectF(2.0, 14.6, 16.0, 3.0));
            fillPath(p, band, rgb(0xF0B000), rgb(0x8A5A00), 0.8);
            ellipse(p, {10, 16.1}, 1.2, 1.0, rgb(0xE02040));
            ellipse(p, {5.4, 16.1}, 0.9, 0.8, rgb(0x2A8AE0));
            ellipse(p, {14.6, 16.1}, 0.9, 0.8, rgb(0x2A8AE0));
            for (QPointF s : {QPointF(1.4, 5.0), QPointF(10, 3.0), QPointF(18.6, 5.0)})
                ellipse(p, s, 1.2, 1.2, Qt::white, rgb(0x8A5A00), 0.5);
        },
        [](Painter &p) { // diamond
            QPainterPath gem;
            gem.addPolygon(QPolygonF({QPointF(5.0, 3.0), QPointF(15.0, 3.0), QPointF(19.0, 7.8), QPointF(10, 18.6),
                                      QPointF(1.0, 7.8), QPointF(5.0, 3.0)}));
            QLinearGradient g(0, 3, 20, 18);
            g.setColorAt(0, rgb(0xD8F4FF)); g.setColorAt(1, rgb(0x40A8F0));
            fillPath(p, gem, g, rgb(0x1A5A9A), 0.8);
            QPainterPath facets(QPointF(1.0, 7.8));
            facets.lineTo(19.0, 7.8);
            facets.moveTo(5.0, 3.0); facets.lineTo(7.4, 7.8); facets.lineTo(10, 3.0); facets.lineTo(12.6, 7.8); facets.lineTo(15.0, 3.0);
            facets.moveTo(7.4, 7.8); facets.lineTo(10, 18.6); facets.lineTo(12.6, 7.8);
            stroke(p, facets, rgb(0x1A5A9A), 0.5);
        },
        [](Painter &p) { // bomb
            QPainterPath fuse(QPointF(13.4, 5.4));
            fuse.quadTo(15.0, 1.6, 17.6, 2.6);
            stroke(p, fuse, rgb(0x8A6A40), 1.0);
            p.setPen(Qt::NoPen);
            p.setBrush(rgb(0xFF8A00));
            p.drawPath(starPath({17.8, 2.4}, 2.4, 0.9, 6));
            p.setBrush(rgb(0xFFF060));
            p.drawEllipse(QPointF(17.8, 2.4), 0.8, 0.8);
            QPainterPath cap;
            cap.addRect(QRectF(11.0, 4.6, 3.4, 2.6));
            p.save();
            p.translate(12.7, 5.9);
            p.rotate(45);
            p.translate(-12.7, -5.9);
            fillPath(p, cap, rgb(0x606870), rgb(0x202020), 0.6);
            p.restore();
            disc(p, {8.6, 12.0}, 7.2, rgb(0x3A4048), rgb(0x101010), 0.8);
            ellipse(p, {6.0, 9.4}, 1.6, 1.0, QColor(255, 255, 255, 150));
        },
    };
}

// ---- arrows and banner

QImage arrow(bool right)
{
    return render([right](Painter &p) {
        if (!right) {
            p.translate(20, 0);
            p.scale(-1, 1);
        }
        QPainterPath path;
        path.addPolygon(QPolygonF({QPointF(2.4, 7.0), QPointF(10.0, 7.0), QPointF(10.0, 2.6), QPointF(18.2, 10.0),
                                   QPointF(10.0, 17.4), QPointF(10.0, 13.0), QPointF(2.4, 13.0), QPointF(2.4, 7.0)}));
        QLinearGradient g(0, 3, 0, 17);
        g.setColorAt(0, rgb(0x7CC4FF));
        g.setColorAt(1, rgb(0x1E6AD0));
        fillPath(p, path, g, rgb(0x0E3A80), 0.9);
        QPainterPath shine;
        shine.addPolygon(QPolygonF({QPointF(3.4, 8.0), QPointF(11.0, 8.0), QPointF(11.0, 5.0), QPointF(15.4, 9.0),
                                    QPointF(3.4, 9.0)}));
        fillPath(p, shine, QColor(255, 255, 255, 90));
    });
}

QImage banner()
{
    constexpr int Width = 15;
    constexpr int Height = 95;
    QImage image(Width, Height, QImage::Format_ARGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, Width, 0);
    g.setColorAt(0, rgb(0x1A4FB8));
    g.setColorAt(0.5, rgb(0x2C6AD8));
    g.setColorAt(1, rgb(0x1A4FB8));
    p.fillRect(image.rect(), g);
    const QString text = QString::fromUtf8("選擇自定義圖片");
    QFont font(QStringLiteral("AR PL UMing TW"));
    font.setPixelSize(12);
    font.setStyleStrategy(QFont::PreferAntialias);
    p.setFont(font);
    p.setPen(Qt::white);
    const qreal step = 13.0;
    const qreal top = (Height - step * text.size()) / 2;
    for (int i = 0; i < text.size(); ++i)
        p.drawText(QRectF(0, top + i * step, Width, step), Qt::AlignCenter, text.mid(i, 1));
    return image;
}

bool save(const QImage &image, const QString &path)
{
    if (image.save(path, "PNG"))
        return true;
    QTextStream(stderr) << "cannot write " << path << '\n';
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        QTextStream(stderr) << "usage: face-artwork <resources folder> [contact sheet.png]\n";
        return 2;
    }
    const QDir resources(QString::fromLocal8Bit(argv[1]));
    resources.mkpath(QStringLiteral("faces"));
    resources.mkpath(QStringLiteral("pictures"));

    std::vector<Draw> all;
    for (auto group : {expressions(), animals(), food(), things()})
        all.insert(all.end(), group.begin(), group.end());
    if (all.size() != 104) {
        QTextStream(stderr) << "expected 104 faces, have " << all.size() << '\n';
        return 1;
    }

    QList<QImage> faces;
    bool ok = true;
    for (size_t i = 0; i < all.size(); ++i) {
        faces.append(render(all[i]));
        ok &= save(faces.last(), resources.filePath(QStringLiteral("faces/face_%1.png").arg(i, 3, 10, QLatin1Char('0'))));
    }
    const QImage previous = arrow(false);
    const QImage next = arrow(true);
    const QImage custom = banner();
    ok &= save(previous, resources.filePath(QStringLiteral("pictures/face_previous.png")));
    ok &= save(next, resources.filePath(QStringLiteral("pictures/face_next.png")));
    ok &= save(custom, resources.filePath(QStringLiteral("pictures/custom_picture.png")));

    if (argc > 2) {
        // Four pages of 26 as the menu shows them, enlarged four times on white, to look at.
        constexpr int Cell = 24;
        constexpr int MenuWidth = 15 + 7 * Cell + 8;
        constexpr int MenuHeight = 4 * Cell;
        QImage sheet(2 * MenuWidth + 4, 2 * MenuHeight + 4, QImage::Format_RGB32);
        sheet.fill(Qt::white);
        QPainter p(&sheet);
        for (int page = 0; page < 4; ++page) {
            const QPoint origin((page % 2) * (MenuWidth + 4), (page / 2) * (MenuHeight + 4));
            p.fillRect(QRect(origin, QSize(MenuWidth, MenuHeight)), rgb(0xF0F0F0));
            p.drawImage(origin + QPoint(0, 1), custom);
            for (int k = 0; k < 28; ++k) {
                const QImage &picture = k < 26 ? faces[page * 26 + k] : (k == 26 ? previous : next);
                p.drawImage(origin + QPoint(15 + (k / 4) * Cell + 2, (k % 4) * Cell + 2), picture);
            }
        }
        p.end();
        ok &= save(sheet.scaled(sheet.size() * 4), QString::fromLocal8Bit(argv[2]));
    }
    return ok ? 0 : 1;
}
