// Draws Parlune's own pictures: tray icons, the program icon, the menu pictures and the menu banner.
// Run once after changing a drawing and commit the PNGs: `parlune_artwork <resources dir>`.
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

QImage canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

bool save(const QImage &image, const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// The Parlune mark: a round speech bubble with a crescent moon inside, drawn on a 32-unit grid.
void drawMark(QPainter &p, const QColor &light, const QColor &dark, bool moon, bool badge)
{
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath bubble;
    bubble.addEllipse(QRectF(2, 2, 28, 23));
    QPainterPath tail;
    tail.moveTo(8, 20);
    tail.lineTo(5, 30);
    tail.lineTo(15, 23.5);
    tail.closeSubpath();
    bubble = bubble.united(tail);
    QLinearGradient fill(0, 2, 0, 30);
    fill.setColorAt(0, light);
    fill.setColorAt(1, dark);
    p.setPen(QPen(dark.darker(160), 1.2));
    p.setBrush(fill);
    p.drawPath(bubble);
    if (moon) {
        QPainterPath disc;
        disc.addEllipse(QRectF(9, 6, 14, 14));
        QPainterPath bite;
        bite.addEllipse(QRectF(13.5, 4, 13, 13));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 248, 214));
        p.drawPath(disc.subtracted(bite));
    }
    if (badge) {
        p.setPen(QPen(QColor(120, 0, 0), 1));
        p.setBrush(QColor(232, 36, 36));
        p.drawEllipse(QRectF(19, 15, 12, 12));
        p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(25, 17.5), QPointF(25, 21.8));
        p.drawPoint(QPointF(25, 24.6));
    }
}

QImage mark(int size, const QColor &light, const QColor &dark, bool moon, bool badge)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.scale(size / 32.0, size / 32.0);
    drawMark(p, light, dark, moon, badge);
    return image;
}

const QColor kBlueLight(120, 180, 250), kBlueDark(20, 70, 160);

// Menu pictures, 19 x 19, one drawing each; index = picture number of the menu.
using Glyph = std::function<void(QPainter &)>;

void pen(QPainter &p, const QColor &c, qreal w = 1.4)
{
    p.setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void megaphone(QPainter &p)
{
    pen(p, QColor(90, 50, 10));
    p.setBrush(QColor(250, 190, 60));
    QPolygonF horn{{3, 7}, {8, 7}, {15, 3}, {15, 15}, {8, 11}, {3, 11}};
    p.drawPolygon(horn);
    p.drawLine(QPointF(6, 11), QPointF(7.5, 16));
}

void envelope(QPainter &p)
{
    pen(p, QColor(40, 60, 120));
    p.setBrush(QColor(250, 250, 240));
    p.drawRect(QRectF(2, 4.5, 15, 10));
    p.drawPolyline(QPolygonF{{2, 4.5}, {9.5, 10.5}, {17, 4.5}});
}

void person(QPainter &p, const QColor &c)
{
    pen(p, c.darker(170), 1.1);
    p.setBrush(c);
    p.drawEllipse(QRectF(6, 2, 7, 7));
    p.drawRoundedRect(QRectF(3, 10, 13, 7), 3, 3);
}

void monitor(QPainter &p)
{
    pen(p, QColor(50, 50, 60), 1.2);
    p.setBrush(QColor(110, 170, 230));
    p.drawRect(QRectF(2, 3, 15, 10));
    p.drawLine(QPointF(9.5, 13), QPointF(9.5, 16));
    p.drawLine(QPointF(6, 16.5), QPointF(13, 16.5));
}

QList<Glyph> glyphs()
{
    QList<Glyph> g(22);
    g[0] = megaphone;
    g[1] = [](QPainter &p) { // spare: a star
        pen(p, QColor(150, 110, 0), 1);
        p.setBrush(QColor(255, 215, 70));
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const qreal r = (i % 2) ? 3.5 : 8;
            const qreal a = -M_PI / 2 + i * M_PI / 5;
            star << QPointF(9.5 + r * std::cos(a), 10 + r * std::sin(a));
        }
        p.drawPolygon(star);
    };
    g[2] = [](QPainter &p) { // messages: a stack of notes
        pen(p, QColor(90, 90, 90), 1);
        p.setBrush(QColor(200, 220, 255));
        p.drawRect(QRectF(5, 2, 11, 13));
        p.setBrush(QColor(255, 255, 255));
        p.drawRect(QRectF(2.5, 4.5, 11, 13));
        pen(p, QColor(60, 100, 180), 1);
        for (int y : {8, 11, 14})
            p.drawLine(QPointF(4.5, y), QPointF(11.5, y));
    };
    g[3] = envelope;
    g[4] = [](QPainter &p) { person(p, QColor(90, 160, 90)); };
    g[5] = [](QPainter &p) { // settings: a cog
        QPainterPath cog;
        for (int i = 0; i < 8; ++i) {
            QTransform t;
            t.translate(9.5, 9.5);
            t.rotate(i * 45);
            cog.addPolygon(t.map(QPolygonF(QRectF(-1.8, -8.5, 3.6, 4))));
        }
        cog.addEllipse(QPointF(9.5, 9.5), 6, 6);
        cog = cog.simplified();
        QPainterPath hole;
        hole.addEllipse(QPointF(9.5, 9.5), 2.3, 2.3);
        pen(p, QColor(60, 60, 70), 1);
        p.setBrush(QColor(170, 175, 190));
        p.drawPath(cog.subtracted(hole));
    };
    g[6] = [](QPainter &p) { // send file: page with arrow
        pen(p, QColor(80, 80, 80), 1);
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF{{3, 2}, {11, 2}, {14, 5}, {14, 17}, {3, 17}});
        pen(p, QColor(20, 140, 40), 2);
        p.drawLine(QPointF(8, 10), QPointF(17, 10));
        p.drawPolyline(QPolygonF{{14, 7}, {17, 10}, {14, 13}});
    };
    g[7] = [](QPainter &p) { // about: i
        pen(p, QColor(20, 60, 140), 1);
        p.setBrush(QColor(70, 130, 220));
        p.drawEllipse(QRectF(1.5, 1.5, 16, 16));
        pen(p, Qt::white, 2.2);
        p.drawPoint(QPointF(9.5, 5.5));
        p.drawLine(QPointF(9.5, 8.5), QPointF(9.5, 14));
    };
    g[8] = [](QPainter &p) { // help: ?
        pen(p, QColor(150, 100, 0), 1);
        p.setBrush(QColor(250, 200, 50));
        p.drawEllipse(QRectF(1.5, 1.5, 16, 16));
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(13);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(90, 50, 0));
        p.drawText(QRectF(1.5, 1.5, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
    };
    g[9] = [](QPainter &p) { // refresh: circular arrow
        pen(p, QColor(20, 130, 60), 2);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3, 3, 13, 13), 60 * 16, 280 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 130, 60));
        p.drawPolygon(QPolygonF{{11, 0.5}, {16, 4}, {10, 7}});
    };
    g[10] = [](QPainter &p) { // status: traffic light dot
        QRadialGradient rg(QPointF(8, 8), 8);
        rg.setColorAt(0, QColor(180, 255, 180));
        rg.setColorAt(1, QColor(20, 150, 40));
        pen(p, QColor(10, 90, 20), 1);
        p.setBrush(rg);
        p.drawEllipse(QRectF(3, 3, 13, 13));
    };
    g[11] = [](QPainter &p) { person(p, QColor(200, 140, 60)); }; // spare
    g[12] = [](QPainter &p) {                                     // exit: power symbol
        pen(p, QColor(190, 30, 30), 2);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3.5, 4, 12, 12), 125 * 16, 290 * 16);
        p.drawLine(QPointF(9.5, 2), QPointF(9.5, 9));
    };
    g[13] = monitor;
    g[14] = [](QPainter &p) { // connect host: monitor with link
        monitor(p);
        pen(p, QColor(250, 240, 120), 1.6);
        p.drawLine(QPointF(5, 8), QPointF(14, 8));
        p.drawPolyline(QPolygonF{{11.5, 5.5}, {14, 8}, {11.5, 10.5}});
    };
    g[15] = [](QPainter &p) { // preferences: sliders
        pen(p, QColor(80, 80, 90), 1.4);
        for (int y : {4, 9, 14})
            p.drawLine(QPointF(2, y + 0.5), QPointF(17, y + 0.5));
        p.setBrush(QColor(240, 150, 40));
        pen(p, QColor(120, 60, 0), 1);
        p.drawRect(QRectF(11, 2, 3, 5));
        p.drawRect(QRectF(5, 7, 3, 5));
        p.drawRect(QRectF(9, 12, 3, 5));
    };
    g[16] = [](QPainter &p) { // send broadcast: megaphone with waves
        megaphone(p);
        pen(p, QColor(200, 60, 20), 1.2);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(12, 5, 5, 8), -60 * 16, 120 * 16);
    };
    g[17] = [](QPainter &p) { // empty: bin
        pen(p, QColor(60, 60, 60), 1.1);
        p.setBrush(QColor(200, 205, 215));
        p.drawPolygon(QPolygonF{{4, 5}, {15, 5}, {14, 17}, {5, 17}});
        p.drawLine(QPointF(2.5, 4), QPointF(16.5, 4));
        p.drawLine(QPointF(7.5, 2), QPointF(11.5, 2));
        for (qreal x : {7.5, 9.5, 11.5})
            p.drawLine(QPointF(x, 7.5), QPointF(x, 15));
    };
    g[18] = [](QPainter &p) { // five in a row: board with stones
        pen(p, QColor(120, 80, 30), 1);
        p.setBrush(QColor(230, 190, 120));
        p.drawRect(QRectF(1.5, 1.5, 16, 16));
        pen(p, QColor(120, 80, 30), 0.8);
        for (int i = 1; i < 4; ++i) {
            p.drawLine(QPointF(1.5 + 4 * i, 1.5), QPointF(1.5 + 4 * i, 17.5));
            p.drawLine(QPointF(1.5, 1.5 + 4 * i), QPointF(17.5, 1.5 + 4 * i));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawEllipse(QPointF(5.5, 5.5), 2, 2);
        p.drawEllipse(QPointF(9.5, 9.5), 2, 2);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(13.5, 9.5), 2, 2);
    };
    g[19] = [](QPainter &p) { // game: two stones
        pen(p, QColor(30, 30, 30), 1);
        p.setBrush(QColor(40, 40, 40));
        p.drawEllipse(QRectF(2, 5, 9, 9));
        p.setBrush(QColor(250, 250, 250));
        p.drawEllipse(QRectF(8, 5, 9, 9));
    };
    g[20] = [](QPainter &p) { // assistant: smiling face
        pen(p, QColor(150, 90, 0), 1);
        p.setBrush(QColor(255, 220, 90));
        p.drawEllipse(QRectF(1.5, 1.5, 16, 16));
        p.setBrush(QColor(60, 40, 0));
        p.drawEllipse(QPointF(6.8, 7.5), 1.2, 1.5);
        p.drawEllipse(QPointF(12.2, 7.5), 1.2, 1.5);
        p.setBrush(Qt::NoBrush);
        pen(p, QColor(60, 40, 0), 1.2);
        p.drawArc(QRectF(5, 7, 9, 7), -20 * 16, -140 * 16);
    };
    g[21] = [](QPainter &p) { // spare: a crescent
        QPainterPath disc, bite;
        disc.addEllipse(QRectF(2, 2, 15, 15));
        bite.addEllipse(QRectF(7, 0, 13, 13));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(240, 200, 60));
        p.drawPath(disc.subtracted(bite));
    };
    return g;
}

QImage banner()
{
    QImage image(21, 250, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    QLinearGradient g(0, 0, 0, 250);
    g.setColorAt(0, QColor(150, 195, 250));
    g.setColorAt(0.55, QColor(40, 95, 185));
    g.setColorAt(1, QColor(10, 30, 90));
    p.fillRect(image.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(15);
    f.setBold(true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    p.setFont(f);
    // The lettering reads upwards from the bottom, as menu banners do.
    p.translate(15, 244);
    p.rotate(-90);
    p.setPen(QColor(0, 0, 0, 110));
    p.drawText(QPointF(1, 1), QStringLiteral("Parlune"));
    p.setPen(QColor(255, 255, 255));
    p.drawText(QPointF(0, 0), QStringLiteral("Parlune"));
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <resources dir>\n", argv[0]);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    bool ok = true;
    ok &= save(mark(32, kBlueLight, kBlueDark, true, false), out + QStringLiteral("/tray/tray0.png"));
    ok &=
        save(mark(32, QColor(255, 200, 110), QColor(220, 90, 20), true, true), out + QStringLiteral("/tray/tray1.png"));
    ok &= save(mark(32, QColor(220, 220, 220), QColor(120, 120, 120), true, false),
               out + QStringLiteral("/tray/tray2.png"));
    ok &= save(mark(32, kBlueLight, kBlueDark, true, false), out + QStringLiteral("/icons/MAINICON.png"));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        ok &= save(mark(size, kBlueLight, kBlueDark, true, false),
                   out + QStringLiteral("/icons/hicolor/%1x%1/apps/parlune.png").arg(size));
    const QList<Glyph> all = glyphs();
    for (int i = 0; i < all.size(); ++i) {
        QImage image = canvas(19, 19);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        all[i](p);
        p.end();
        ok &= save(image, out + QStringLiteral("/menu/menu%1.png").arg(i, 2, 10, QLatin1Char('0')));
    }
    ok &= save(banner(), out + QStringLiteral("/menu/banner.png"));
    return ok ? 0 : 1;
}
