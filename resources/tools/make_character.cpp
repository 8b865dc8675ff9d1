// Draws Parlune's own desktop character, Lune: a small round moon with a star on its antenna, in a frame of
// 100 x 100 pixels. Each part (body, eyes, mouths, arms) is painted with vectors at four times its size,
// scaled down, cut to its bounds and mapped onto one shared palette of 255 colours plus a transparent one;
// the animations stack the parts with offsets, as hand-made characters do, which keeps the file small.
//
// Usage: make_character <resources folder> [contact sheet.png]
// Writes <resources folder>/character/Helper.acs.

#include "shell/character/AcsReader.h"
#include "shell/character/AcsWriter.h"

#include <QDir>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <vector>

namespace {

constexpr int Size = 100;
constexpr int Scale = 4;
constexpr int Transparent = 255;

using Draw = std::function<void(QPainter &)>;

const QColor Outline = QColor::fromRgb(0x8A5A1C);
const QColor Skin = QColor::fromRgb(0xFFE27A);
const QColor SkinShade = QColor::fromRgb(0xF2B93B);
const QColor Crater = QColor::fromRgb(0xF0C85A);
const QColor Cheek = QColor::fromRgb(0xFF9AA2);
const QColor Ink = QColor::fromRgb(0x3B2A1A);
const QColor Mouth = QColor::fromRgb(0xB8364A);
const QColor Tongue = QColor::fromRgb(0xFF7F8E);
const QColor Star = QColor::fromRgb(0xFFD23F);

QPen pen(QColor colour, qreal width = 2.0)
{
    QPen p(colour, width);
    p.setCapStyle(Qt::RoundCap);
    p.setJoinStyle(Qt::RoundJoin);
    return p;
}

QImage render(const Draw &draw)
{
    QImage big(Size * Scale, Size * Scale, QImage::Format_ARGB32_Premultiplied);
    big.fill(Qt::transparent);
    {
        QPainter p(&big);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(Scale, Scale);
        draw(p);
    }
    return big.scaled(Size, Size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_ARGB32);
}

// ---- the parts, each in the coordinates of the whole 100 x 100 frame

constexpr QPointF BodyCentre(50, 56);
constexpr qreal BodyRadius = 31;

QPainterPath starPath(QPointF centre, qreal outer, qreal inner)
{
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const qreal angle = -M_PI / 2 + i * M_PI / 5;
        const qreal r = i % 2 ? inner : outer;
        const QPointF point = centre + QPointF(std::cos(angle) * r, std::sin(angle) * r);
        i ? path.lineTo(point) : path.moveTo(point);
    }
    path.closeSubpath();
    return path;
}

void drawFeet(QPainter &p)
{
    p.setPen(pen(Outline, 1.6));
    p.setBrush(SkinShade);
    p.drawEllipse(QPointF(38, 88), 9, 5);
    p.drawEllipse(QPointF(62, 88), 9, 5);
}

void drawBody(QPainter &p)
{
    drawFeet(p);
    // Antenna with its star.
    QPainterPath antenna;
    antenna.moveTo(52, 26);
    antenna.cubicTo(52, 18, 58, 14, 60, 10);
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(Outline, 1.8));
    p.drawPath(antenna);
    p.setPen(pen(Outline, 1.2));
    p.setBrush(Star);
    p.drawPath(starPath(QPointF(61, 9), 7, 3.2));

    QRadialGradient shade(BodyCentre - QPointF(10, 12), BodyRadius * 1.6);
    shade.setColorAt(0, Skin.lighter(112));
    shade.setColorAt(0.6, Skin);
    shade.setColorAt(1, SkinShade);
    p.setPen(pen(Outline, 2.0));
    p.setBrush(shade);
    p.drawEllipse(BodyCentre, BodyRadius, BodyRadius);
    // Craters make it a moon.
    p.setPen(Qt::NoPen);
    p.setBrush(Crater);
    p.drawEllipse(QPointF(68, 40), 5, 4);
    p.drawEllipse(QPointF(73, 52), 2.8, 2.4);
    p.drawEllipse(QPointF(30, 72), 3.5, 3);
    p.setBrush(Cheek);
    p.drawEllipse(QPointF(33, 62), 5, 3.2);
    p.drawEllipse(QPointF(67, 62), 5, 3.2);
}

enum class Eyes { Open, Half, Closed, Happy };

void drawEyes(QPainter &p, Eyes eyes)
{
    for (qreal x : {40.0, 60.0}) {
        const QPointF c(x, 50);
        switch (eyes) {
        case Eyes::Open:
            p.setPen(Qt::NoPen);
            p.setBrush(Ink);
            p.drawEllipse(c, 4, 5.5);
            p.setBrush(Qt::white);
            p.drawEllipse(c + QPointF(-1.3, -2), 1.6, 1.8);
            break;
        case Eyes::Half:
            p.setPen(Qt::NoPen);
            p.setBrush(Ink);
            p.drawChord(QRectF(c.x() - 4, c.y() - 5.5, 8, 11), 180 * 16, 180 * 16);
            p.setPen(pen(Ink, 1.4));
            p.drawLine(c + QPointF(-4.5, 0), c + QPointF(4.5, 0));
            break;
        case Eyes::Closed: {
            QPainterPath lid;
            lid.moveTo(c + QPointF(-4.5, 0));
            lid.quadTo(c + QPointF(0, 3.5), c + QPointF(4.5, 0));
            p.setBrush(Qt::NoBrush);
            p.setPen(pen(Ink, 1.8));
            p.drawPath(lid);
            break;
        }
        case Eyes::Happy: {
            QPainterPath arc;
            arc.moveTo(c + QPointF(-4.5, 1.5));
            arc.quadTo(c + QPointF(0, -5), c + QPointF(4.5, 1.5));
            p.setBrush(Qt::NoBrush);
            p.setPen(pen(Ink, 2.0));
            p.drawPath(arc);
            break;
        }
        }
    }
}

// Mouth shapes in the order of the mouth overlays: closed, four ever wider open ones, medium and narrow.
void drawMouth(QPainter &p, int shape)
{
    const QPointF c(50, 65);
    if (shape == MouthOverlay::Closed) {
        QPainterPath smile;
        smile.moveTo(c + QPointF(-6, -1.5));
        smile.quadTo(c + QPointF(0, 5), c + QPointF(6, -1.5));
        p.setBrush(Qt::NoBrush);
        p.setPen(pen(Ink, 1.8));
        p.drawPath(smile);
        return;
    }
    static const QSizeF open[] = {{}, {5, 2.5}, {6, 4}, {7, 5.5}, {7.5, 7}, {5, 4.5}, {3, 3.5}};
    const QSizeF radii = open[qBound(1, shape, 6)];
    p.setPen(pen(Ink, 1.4));
    p.setBrush(Mouth);
    p.drawEllipse(c + QPointF(0, 1), radii.width(), radii.height());
    if (radii.height() >= 4) {
        p.setPen(Qt::NoPen);
        p.setBrush(Tongue);
        p.drawEllipse(c + QPointF(0, 1 + radii.height() * 0.45), radii.width() * 0.6, radii.height() * 0.4);
    }
}

constexpr qreal RestingArm = -30;

// An arm is a small mitten on a short sleeve, turned about the shoulder; positive angles raise it.
void drawArm(QPainter &p, bool right, qreal degrees)
{
    const QPointF shoulder(right ? 77 : 23, 64);
    p.save();
    p.translate(shoulder);
    p.rotate(right ? -degrees : degrees);
    if (!right)
        p.scale(-1, 1);
    p.setPen(pen(Outline, 1.6));
    p.setBrush(SkinShade);
    QPainterPath mitten;
    mitten.addRoundedRect(QRectF(-2, -4.5, 16, 9), 4.5, 4.5);
    p.drawPath(mitten);
    p.setBrush(Skin);
    p.drawEllipse(QPointF(15, 0), 5.5, 5.5);
    p.restore();
}

void drawSparkles(QPainter &p, qreal spread)
{
    p.setPen(pen(Outline, 0.8));
    p.setBrush(Star);
    const QPointF points[] = {{18, 30}, {84, 24}, {88, 70}, {12, 66}};
    for (const QPointF &point : points) {
        const QPointF away = (point - BodyCentre) * spread;
        p.drawPath(starPath(BodyCentre + away, 4.5, 2));
    }
}

void drawWhole(QPainter &p, qreal scale)
{
    p.translate(50, 93);
    p.scale(scale, scale);
    p.translate(-50, -93);
    drawArm(p, false, RestingArm);
    drawArm(p, true, RestingArm);
    drawBody(p);
    drawEyes(p, Eyes::Open);
    drawMouth(p, MouthOverlay::Closed);
}

// ---- palette

struct Box
{
    std::vector<QRgb> colours;
    int longestChannel() const
    {
        int low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
        for (QRgb c : colours) {
            const int v[3] = {qRed(c), qGreen(c), qBlue(c)};
            for (int i = 0; i < 3; ++i) {
                low[i] = std::min(low[i], v[i]);
                high[i] = std::max(high[i], v[i]);
            }
        }
        int best = 0;
        for (int i = 1; i < 3; ++i) {
            if (high[i] - low[i] > high[best] - low[best])
                best = i;
        }
        return high[best] - low[best] > 0 ? best : -1;
    }
};

int channel(QRgb c, int which)
{
    return which == 0 ? qRed(c) : which == 1 ? qGreen(c) : qBlue(c);
}

// Median cut over every opaque pixel of every part, so that the colours go where the pixels are.
QList<QRgb> medianCut(std::vector<QRgb> pixels, int colours)
{
    std::vector<Box> boxes{Box{std::move(pixels)}};
    while (int(boxes.size()) < colours) {
        auto widest = boxes.end();
        int widestChannel = -1;
        for (auto it = boxes.begin(); it != boxes.end(); ++it) {
            const int which = it->colours.size() > 1 ? it->longestChannel() : -1;
            if (which >= 0 && (widest == boxes.end() || it->colours.size() > widest->colours.size())) {
                widest = it;
                widestChannel = which;
            }
        }
        if (widest == boxes.end())
            break;
        std::vector<QRgb> &all = widest->colours;
        std::sort(all.begin(), all.end(),
                  [&](QRgb a, QRgb b) { return channel(a, widestChannel) < channel(b, widestChannel); });
        Box upper{std::vector<QRgb>(all.begin() + all.size() / 2, all.end())};
        all.resize(all.size() / 2);
        boxes.push_back(std::move(upper));
    }
    QList<QRgb> palette;
    for (const Box &box : boxes) {
        qint64 sum[3] = {0, 0, 0};
        for (QRgb c : box.colours) {
            sum[0] += qRed(c);
            sum[1] += qGreen(c);
            sum[2] += qBlue(c);
        }
        const qint64 n = qMax<qint64>(1, qint64(box.colours.size()));
        palette.append(qRgb(int(sum[0] / n), int(sum[1] / n), int(sum[2] / n)));
    }
    return palette;
}

int nearest(const QList<QRgb> &palette, QRgb colour)
{
    int best = 0;
    int bestDistance = INT_MAX;
    for (int i = 0; i < palette.size(); ++i) {
        const int dr = qRed(palette[i]) - qRed(colour), dg = qGreen(palette[i]) - qGreen(colour),
                  db = qBlue(palette[i]) - qBlue(colour);
        const int distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

// ---- sounds

// A short chirp as an 8-bit mono wave file of 11025 Hz: rising for showing, falling for hiding.
QByteArray chirp(double from, double to, double seconds)
{
    const int rate = 11025;
    const int samples = int(rate * seconds);
    QByteArray data;
    double phase = 0;
    for (int i = 0; i < samples; ++i) {
        const double t = double(i) / samples;
        phase += 2 * M_PI * (from + (to - from) * t) / rate;
        const double envelope = std::min(1.0, t * 20) * std::pow(1 - t, 1.5);
        data.append(char(128 + int(std::lround(90 * envelope * std::sin(phase)))));
    }
    auto le32 = [](quint32 v) {
        QByteArray b(4, '\0');
        qToLittleEndian(v, b.data());
        return b;
    };
    auto le16 = [](quint16 v) {
        QByteArray b(2, '\0');
        qToLittleEndian(v, b.data());
        return b;
    };
    QByteArray wave = "RIFF" + le32(quint32(36 + data.size())) + "WAVEfmt " + le32(16) + le16(1) + le16(1) +
                      le32(rate) + le32(rate) + le16(1) + le16(8) + "data" + le32(quint32(data.size())) + data;
    if (wave.size() % 2)
        wave.append('\0');
    return wave;
}

// ---- the character

class Builder
{
public:
    // A part: rendered, cut to its opaque bounds; returns its image index. Parts that come out the same
    // are stored once.
    int part(const Draw &draw)
    {
        const QImage full = render(draw);
        QRect bounds;
        for (int y = 0; y < Size; ++y) {
            const auto *row = reinterpret_cast<const QRgb *>(full.constScanLine(y));
            for (int x = 0; x < Size; ++x) {
                if (qAlpha(row[x]) >= 128)
                    bounds |= QRect(x, y, 1, 1);
            }
        }
        if (bounds.isEmpty())
            bounds = QRect(0, 0, 1, 1);
        m_parts.push_back({full.copy(bounds), bounds.topLeft()});
        return int(m_parts.size()) - 1;
    }

    FrameImage at(int part, QPoint shift = {}) const
    {
        const QPoint origin = m_parts.at(size_t(part)).origin + shift;
        return {part, origin.x(), origin.y()};
    }

    void finish(Character &character)
    {
        std::vector<QRgb> opaque;
        for (const Part &each : m_parts) {
            for (int y = 0; y < each.image.height(); ++y) {
                const auto *row = reinterpret_cast<const QRgb *>(each.image.constScanLine(y));
                for (int x = 0; x < each.image.width(); ++x) {
                    if (qAlpha(row[x]) >= 128)
                        opaque.push_back(qRgb(qRed(row[x]), qGreen(row[x]), qBlue(row[x])));
                }
            }
        }
        character.palette = medianCut(std::move(opaque), Transparent);
        while (character.palette.size() < Transparent)
            character.palette.append(qRgb(0, 0, 0));
        character.palette.append(qRgb(255, 0, 255));
        const QList<QRgb> opaquePalette = character.palette.first(Transparent);
        QHash<QRgb, int> cache;
        for (const Part &each : m_parts) {
            CharacterImage image;
            image.width = each.image.width();
            image.height = each.image.height();
            image.pixels.resize(qsizetype(image.width) * image.height);
            for (int y = 0; y < image.height; ++y) {
                const auto *row = reinterpret_cast<const QRgb *>(each.image.constScanLine(y));
                for (int x = 0; x < image.width; ++x) {
                    int index = Transparent;
                    if (qAlpha(row[x]) >= 128) {
                        const QRgb colour = row[x] | 0xFF000000u;
                        auto found = cache.constFind(colour);
                        index =
                            found != cache.constEnd() ? *found : *cache.insert(colour, nearest(opaquePalette, colour));
                    }
                    image.pixels[qsizetype(y) * image.width + x] = char(index);
                }
            }
            character.images.append(image);
        }
    }

private:
    struct Part
    {
        QImage image;
        QPoint origin;
    };
    std::vector<Part> m_parts;
};

CharacterFrame frame(QList<FrameImage> images, int duration)
{
    CharacterFrame f;
    f.images = std::move(images);
    f.duration = duration;
    return f;
}

CharacterAnimation animation(const QString &name, QList<CharacterFrame> frames)
{
    CharacterAnimation a;
    a.name = name;
    a.dataName = name.toUpper();
    a.transition = CharacterAnimation::NoTransition;
    a.frames = std::move(frames);
    return a;
}

Character makeCharacter()
{
    Builder parts;
    const int body = parts.part(drawBody);
    const int eyesOpen = parts.part([](QPainter &p) { drawEyes(p, Eyes::Open); });
    const int eyesHalf = parts.part([](QPainter &p) { drawEyes(p, Eyes::Half); });
    const int eyesClosed = parts.part([](QPainter &p) { drawEyes(p, Eyes::Closed); });
    const int eyesHappy = parts.part([](QPainter &p) { drawEyes(p, Eyes::Happy); });
    int mouths[MouthOverlay::MouthCount];
    for (int shape = 0; shape < MouthOverlay::MouthCount; ++shape)
        mouths[shape] = parts.part([shape](QPainter &p) { drawMouth(p, shape); });
    const int leftArm = parts.part([](QPainter &p) { drawArm(p, false, RestingArm); });
    const int rightArm = parts.part([](QPainter &p) { drawArm(p, true, RestingArm); });
    int wave[4];
    const qreal waveAngles[4] = {65, 95, 125, 20};
    for (int i = 0; i < 4; ++i)
        wave[i] = parts.part([angle = waveAngles[i]](QPainter &p) { drawArm(p, true, angle); });
    int popping[4];
    const qreal scales[4] = {0.2, 0.45, 0.75, 0.95};
    for (int i = 0; i < 4; ++i)
        popping[i] = parts.part([scale = scales[i]](QPainter &p) { drawWhole(p, scale); });
    const int sparkles = parts.part([](QPainter &p) { drawSparkles(p, 1.0); });
    const int sparklesNear = parts.part([](QPainter &p) { drawSparkles(p, 0.7); });

    Character c;
    c.width = Size;
    c.height = Size;
    c.transparentIndex = Transparent;
    c.guid = QByteArray::fromHex("5041524C554E4548454C504552303031");
    c.flags = Character::StandardAnimationSet;
    CharacterVoice voice;
    voice.hasExtra = true;
    voice.language = 0x0404; // Chinese (Taiwan)
    voice.gender = 1;
    voice.age = 20;
    voice.speed = 150;
    voice.pitch = 120;
    c.voice = voice;
    CharacterBalloon balloon;
    balloon.lines = 3;
    balloon.charsPerLine = 24;
    balloon.background = qRgb(255, 252, 230);
    balloon.border = qRgb(0x8A, 0x5A, 0x1C);
    balloon.fontName = QStringLiteral("細明體");
    balloon.fontHeight = -13;
    c.balloon = balloon;
    c.texts = {{0x0404, QStringLiteral("Lune"), QStringLiteral("Parlune 的小助手，一輪愛說話的月亮。"), {}},
               {0x0009, QStringLiteral("Lune"), QStringLiteral("Parlune's little helper, a talkative moon."), {}}};
    c.sounds = {chirp(500, 1300, 0.16), chirp(1100, 400, 0.16)};
    const int popSound = 0;
    const int dropSound = 1;

    // The resting pose, from the top layer down: mouth, eyes, arms, body. Every resting frame carries the
    // seven mouths, which replace the closed one while the character speaks.
    auto rest = [&](int eyes, int mouth, int arm, int duration, QPoint eyeShift = {}) {
        CharacterFrame f =
            frame({parts.at(mouths[mouth]), parts.at(eyes, eyeShift), parts.at(leftArm), parts.at(arm), parts.at(body)},
                  duration);
        for (int shape = 0; shape < MouthOverlay::MouthCount; ++shape) {
            MouthOverlay overlay;
            overlay.mouth = shape;
            overlay.replacesTopImage = true;
            const FrameImage where = parts.at(mouths[shape]);
            overlay.image = where.image;
            overlay.x = where.x;
            overlay.y = where.y;
            f.overlays.append(overlay);
        }
        return f;
    };

    QList<CharacterFrame> showing;
    for (int i = 0; i < 4; ++i)
        showing.append(frame({parts.at(popping[i])}, 6));
    showing.first().sound = popSound;
    showing.append(frame({parts.at(sparkles), parts.at(popping[3])}, 6));
    showing.append(rest(eyesHappy, MouthOverlay::Wide2, rightArm, 12));
    showing.last().images.prepend(parts.at(sparklesNear));
    showing.append(rest(eyesOpen, MouthOverlay::Closed, rightArm, 10));

    QList<CharacterFrame> hiding;
    hiding.append(rest(eyesClosed, MouthOverlay::Closed, rightArm, 10));
    for (int i = 3; i >= 0; --i)
        hiding.append(frame({parts.at(popping[i])}, 6));
    hiding[1].sound = dropSound;
    hiding.append(frame({}, 1));

    QList<CharacterFrame> greet;
    greet.append(rest(eyesHappy, MouthOverlay::Wide2, wave[3], 8));
    for (int i = 0; i < 4; ++i) {
        greet.append(rest(eyesHappy, MouthOverlay::Wide2, wave[0], 12));
        greet.append(rest(eyesHappy, MouthOverlay::Wide3, wave[i % 2 ? 2 : 1], 12));
    }
    greet.append(rest(eyesHappy, MouthOverlay::Closed, wave[3], 10));
    greet.append(rest(eyesOpen, MouthOverlay::Closed, rightArm, 10));
    // Asked to stop mid-wave, the arm comes down at once.
    for (int i = 0; i + 2 < greet.size(); ++i)
        greet[i].exitFrame = int(greet.size()) - 2;

    // Blinks, sometimes twice; stopped in the middle, the eyes open again first.
    QList<CharacterFrame> blink = {
        rest(eyesOpen, MouthOverlay::Closed, rightArm, 200), rest(eyesHalf, MouthOverlay::Closed, rightArm, 5),
        rest(eyesClosed, MouthOverlay::Closed, rightArm, 8), rest(eyesHalf, MouthOverlay::Closed, rightArm, 5),
        rest(eyesOpen, MouthOverlay::Closed, rightArm, 30)};
    blink[0].exitFrame = CharacterFrame::ExitEnds;
    for (int i = 1; i < 4; ++i)
        blink[i].exitFrame = 4;
    blink[4].branches = {{1, 35}};

    // Looks left and right: the same eyes, shifted.
    QList<CharacterFrame> glance = {rest(eyesOpen, MouthOverlay::Closed, rightArm, 60, {-3, 0}),
                                    rest(eyesOpen, MouthOverlay::Closed, rightArm, 80, {-4, 1}),
                                    rest(eyesOpen, MouthOverlay::Closed, rightArm, 20),
                                    rest(eyesOpen, MouthOverlay::Closed, rightArm, 80, {4, 1}),
                                    rest(eyesHalf, MouthOverlay::Closed, rightArm, 6),
                                    rest(eyesOpen, MouthOverlay::Closed, rightArm, 30)};
    for (int i = 0; i < 5; ++i)
        glance[i].exitFrame = 5;

    QList<CharacterFrame> explain = {
        rest(eyesOpen, MouthOverlay::Closed, wave[3], 10), rest(eyesOpen, MouthOverlay::Medium, wave[0], 40),
        rest(eyesHappy, MouthOverlay::Wide1, wave[0], 30), rest(eyesOpen, MouthOverlay::Closed, wave[3], 10),
        rest(eyesOpen, MouthOverlay::Closed, rightArm, 10)};
    for (int i = 0; i < 4; ++i)
        explain[i].exitFrame = 3;

    // Talking without words: the mouth opens and closes until asked to stop.
    QList<CharacterFrame> speaking;
    const int talk[] = {MouthOverlay::Wide2, MouthOverlay::Medium, MouthOverlay::Narrow,
                        MouthOverlay::Wide3, MouthOverlay::Wide1,  MouthOverlay::Closed};
    for (int shape : talk) {
        speaking.append(rest(eyesOpen, shape, rightArm, 12));
        speaking.last().exitFrame = CharacterFrame::ExitEnds;
    }
    speaking.last().branches = {{0, 100}};
    speaking.last().exitFrame = CharacterFrame::ExitEnds;

    c.animations = {animation(QStringLiteral("Showing"), showing),
                    animation(QStringLiteral("Show"), showing),
                    animation(QStringLiteral("Hiding"), hiding),
                    animation(QStringLiteral("Hide"), hiding),
                    animation(QStringLiteral("RestPose"), {rest(eyesOpen, MouthOverlay::Closed, rightArm, 10)}),
                    animation(QStringLiteral("Greet"), greet),
                    animation(QStringLiteral("Idle1_1"), blink),
                    animation(QStringLiteral("Idle1_2"), glance),
                    animation(QStringLiteral("Explain"), explain),
                    animation(QStringLiteral("Speaking"), speaking)};
    c.states = {{QStringLiteral("SHOWING"), {QStringLiteral("Showing")}},
                {QStringLiteral("HIDING"), {QStringLiteral("Hiding")}},
                {QStringLiteral("SPEAKING"), {QStringLiteral("Speaking")}},
                {QStringLiteral("IDLINGLEVEL1"), {QStringLiteral("Idle1_1"), QStringLiteral("Idle1_2")}},
                {QStringLiteral("IDLINGLEVEL2"), {QStringLiteral("Idle1_1"), QStringLiteral("Idle1_2")}},
                {QStringLiteral("IDLINGLEVEL3"), {QStringLiteral("Idle1_1")}}};
    parts.finish(c);
    // Overlays tell their size too.
    for (CharacterAnimation &each : c.animations) {
        for (CharacterFrame &f : each.frames) {
            for (MouthOverlay &overlay : f.overlays) {
                overlay.width = c.images.at(overlay.image).width;
                overlay.height = c.images.at(overlay.image).height;
            }
        }
    }
    return c;
}

// Every frame of every animation side by side, at twice the size, on a light and a dark band.
QImage contactSheet(const Character &character)
{
    int columns = 0;
    for (const CharacterAnimation &each : character.animations)
        columns = std::max(columns, int(each.frames.size()));
    const int cell = Size + 4;
    QImage sheet(columns * cell * 2, int(character.animations.size()) * cell * 2, QImage::Format_ARGB32);
    sheet.fill(QColor::fromRgb(0xD8E4F0));
    QPainter p(&sheet);
    p.scale(2, 2);
    for (int row = 0; row < character.animations.size(); ++row) {
        const CharacterAnimation &each = character.animations.at(row);
        if (row % 2)
            p.fillRect(0, row * cell, columns * cell, cell, QColor::fromRgb(0x30343C));
        for (int column = 0; column < each.frames.size(); ++column)
            p.drawImage(column * cell + 2, row * cell + 2, character.composeFrame(each.frames.at(column)));
    }
    return sheet;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QTextStream err(stderr);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 2) {
        err << "usage: make_character <resources folder> [contact sheet.png]\n";
        return 2;
    }
    const QDir resources(arguments.at(1));
    resources.mkpath(QStringLiteral("character"));
    const QByteArray file = AcsWriter::write(makeCharacter());
    QFile out(resources.filePath(QStringLiteral("character/Helper.acs")));
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size()) {
        err << "cannot write " << out.fileName() << '\n';
        return 1;
    }
    out.close();
    // What was written must read back; the sheet shows what the reader sees.
    QString error;
    const std::optional<Character> check = AcsReader::read(file, &error);
    if (!check) {
        err << error << '\n';
        return 1;
    }
    err << out.fileName() << ": " << file.size() << " bytes, " << check->images.size() << " images, "
        << check->animations.size() << " animations\n";
    if (arguments.size() > 2 && !contactSheet(*check).save(arguments.at(2))) {
        err << "cannot write " << arguments.at(2) << '\n';
        return 1;
    }
    return 0;
}
