#include "shell/character/AcsWriter.h"

#include "shell/character/AcsCompression.h"
#include "shell/character/AcsFormat.h"

#include <QtEndian>

namespace {

class Output
{
public:
    qsizetype size() const { return m_bytes.size(); }
    const QByteArray &bytes() const { return m_bytes; }

    void u8(quint32 value) { m_bytes.append(char(value)); }
    void u16(quint32 value)
    {
        char raw[2];
        qToLittleEndian<quint16>(quint16(value), raw);
        m_bytes.append(raw, 2);
    }
    void u32(quint32 value)
    {
        char raw[4];
        qToLittleEndian<quint32>(value, raw);
        m_bytes.append(raw, 4);
    }
    void raw(const QByteArray &bytes) { m_bytes.append(bytes); }
    void block(const QByteArray &bytes)
    {
        u32(quint32(bytes.size()));
        raw(bytes);
    }
    void guid(const QByteArray &bytes) { raw(bytes.leftJustified(16, '\0', true)); }
    void rgbQuad(QRgb colour) { u32(colour & 0xFFFFFF); }
    void colorRef(QRgb colour) { u32(quint32(qRed(colour)) | qGreen(colour) << 8 | qBlue(colour) << 16); }
    void locator(AcsFormat::Locator where)
    {
        u32(quint32(where.offset));
        u32(quint32(where.size));
    }
    void string(const QString &text)
    {
        u32(quint32(text.size()));
        if (text.isEmpty())
            return;
        for (QChar unit : text)
            u16(unit.unicode());
        u16(0);
    }

    // Fills in a locator written earlier as a placeholder.
    void patch(qsizetype at, AcsFormat::Locator where)
    {
        qToLittleEndian<quint32>(quint32(where.offset), m_bytes.data() + at);
        qToLittleEndian<quint32>(quint32(where.size), m_bytes.data() + at + 4);
    }

    AcsFormat::Locator since(qsizetype start) const { return {quint64(start), quint64(size() - start)}; }

private:
    QByteArray m_bytes;
};

// The opaque pixels as a Windows region (RGNDATA): rectangles of runs, rows with the same runs merged
// into one band. The service uses it to hit-test clicks on the character.
QByteArray regionOf(const CharacterImage &image, int transparent)
{
    struct Run
    {
        int left, right, top, bottom;
    };
    QList<Run> runs;
    qsizetype bandStart = 0;
    QList<QPair<int, int>> previous;
    for (int y = 0; y < image.height; ++y) {
        QList<QPair<int, int>> row;
        for (int x = 0; x < image.width;) {
            if (image.pixel(x, y) == transparent) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < image.width && image.pixel(x, y) != transparent)
                ++x;
            row.append({start, x});
        }
        if (!row.isEmpty() && row == previous) {
            for (qsizetype i = bandStart; i < runs.size(); ++i)
                runs[i].bottom = y + 1;
        } else {
            bandStart = runs.size();
            for (const auto &span : row)
                runs.append({span.first, span.second, y, y + 1});
        }
        previous = row;
    }
    Output out;
    out.u32(32);
    out.u32(1); // rectangles
    out.u32(quint32(runs.size()));
    out.u32(quint32(runs.size() * 16));
    int left = image.width, top = image.height, right = 0, bottom = 0;
    for (const Run &run : runs) {
        left = qMin(left, run.left);
        top = qMin(top, run.top);
        right = qMax(right, run.right);
        bottom = qMax(bottom, run.bottom);
    }
    if (runs.isEmpty())
        left = top = 0;
    for (int value : {left, top, right, bottom})
        out.u32(quint32(value));
    for (const Run &run : runs) {
        for (int value : {run.left, run.top, run.right, run.bottom})
            out.u32(quint32(value));
    }
    return out.bytes();
}

class Writer
{
public:
    explicit Writer(const Character &character) : m_character(character) {}

    QByteArray write()
    {
        m_out.raw(QByteArray(AcsFormat::HeaderBytes, '\0'));
        QList<AcsFormat::Locator> animations;
        for (const CharacterAnimation &animation : m_character.animations)
            animations.append(writeAnimation(animation));
        QList<AcsFormat::Locator> images;
        for (const CharacterImage &image : m_character.images)
            images.append(writeImage(image));
        QList<AcsFormat::Locator> sounds;
        for (const QByteArray &sound : m_character.sounds) {
            const qsizetype start = m_out.size();
            m_out.raw(sound);
            sounds.append(m_out.since(start));
        }
        const AcsFormat::Locator animationList = writeAnimationList(animations);
        const AcsFormat::Locator imageList = writeLocatorList(images);
        const AcsFormat::Locator soundList = writeLocatorList(sounds);
        const AcsFormat::Locator characterInfo = writeCharacterInfo();

        Output header;
        header.u32(AcsFormat::Signature);
        for (const AcsFormat::Locator &where : {characterInfo, animationList, imageList, soundList})
            header.locator(where);
        QByteArray file = m_out.bytes();
        file.replace(0, header.size(), header.bytes());
        return file;
    }

private:
    AcsFormat::Locator writeAnimation(const CharacterAnimation &animation)
    {
        const qsizetype start = m_out.size();
        m_out.string(animation.dataName.isEmpty() ? animation.name.toUpper() : animation.dataName);
        m_out.u8(quint32(animation.transition));
        m_out.string(animation.returnAnimation);
        m_out.u16(quint32(animation.frames.size()));
        for (const CharacterFrame &frame : animation.frames)
            writeFrame(frame);
        return m_out.since(start);
    }

    void writeFrame(const CharacterFrame &frame)
    {
        m_out.u16(quint32(frame.images.size()));
        for (const FrameImage &image : frame.images) {
            m_out.u32(quint32(image.image));
            m_out.u16(quint32(image.x));
            m_out.u16(quint32(image.y));
        }
        m_out.u16(frame.sound == CharacterFrame::NoSound ? 0xFFFF : quint32(frame.sound));
        m_out.u16(quint32(frame.duration));
        m_out.u16(quint32(frame.exitFrame));
        m_out.u8(quint32(frame.branches.size()));
        for (const FrameBranch &branch : frame.branches) {
            m_out.u16(quint32(branch.frame));
            m_out.u16(quint32(branch.probability));
        }
        m_out.u8(quint32(frame.overlays.size()));
        for (const MouthOverlay &overlay : frame.overlays) {
            m_out.u8(quint32(overlay.mouth));
            m_out.u8(overlay.replacesTopImage ? 1 : 0);
            m_out.u16(quint32(overlay.image));
            m_out.u8(overlay.unknown);
            m_out.u8(overlay.region.isEmpty() ? 0 : 1);
            for (int value : {overlay.x, overlay.y, overlay.width, overlay.height})
                m_out.u16(quint32(value));
            if (!overlay.region.isEmpty())
                m_out.block(overlay.region);
        }
    }

    AcsFormat::Locator writeImage(const CharacterImage &image)
    {
        const qsizetype start = m_out.size();
        m_out.u8(image.unknown);
        m_out.u16(quint32(image.width));
        m_out.u16(quint32(image.height));
        m_out.u8(1); // compressed
        m_out.block(AcsCompression::compress(AcsFormat::bottomUp(image.pixels, image.width, image.height)));
        const QByteArray region = regionOf(image, m_character.transparentIndex);
        const QByteArray packed = AcsCompression::compress(region);
        m_out.u32(quint32(packed.size()));
        m_out.u32(quint32(region.size()));
        m_out.raw(packed);
        return m_out.since(start);
    }

    AcsFormat::Locator writeAnimationList(const QList<AcsFormat::Locator> &records)
    {
        const qsizetype start = m_out.size();
        m_out.u32(quint32(records.size()));
        for (qsizetype i = 0; i < records.size(); ++i) {
            m_out.string(m_character.animations.at(i).name);
            m_out.locator(records.at(i));
        }
        return m_out.since(start);
    }

    // Images and sounds: a locator and a checksum each. Nothing is known to check the checksum, so it is 0.
    AcsFormat::Locator writeLocatorList(const QList<AcsFormat::Locator> &records)
    {
        const qsizetype start = m_out.size();
        m_out.u32(quint32(records.size()));
        for (const AcsFormat::Locator &where : records) {
            m_out.locator(where);
            m_out.u32(0);
        }
        return m_out.since(start);
    }

    // The character information, with its names and texts right behind it inside the same block.
    AcsFormat::Locator writeCharacterInfo()
    {
        const Character &c = m_character;
        const qsizetype start = m_out.size();
        m_out.u16(c.minorVersion);
        m_out.u16(c.majorVersion);
        const qsizetype textsAt = m_out.size();
        m_out.locator({});
        m_out.guid(c.guid);
        m_out.u16(quint32(c.width));
        m_out.u16(quint32(c.height));
        m_out.u8(quint32(c.transparentIndex));
        quint32 flags = c.flags & ~(Character::VoiceOutputEnabled | Character::VoiceOutputDisabled |
                                    Character::BalloonEnabled | Character::BalloonDisabled);
        flags |= c.voice ? Character::VoiceOutputEnabled : Character::VoiceOutputDisabled;
        flags |= c.balloon ? Character::BalloonEnabled : Character::BalloonDisabled;
        m_out.u32(flags);
        m_out.u16(c.animationSetMajor);
        m_out.u16(c.animationSetMinor);
        if (c.voice)
            writeVoice(*c.voice);
        if (c.balloon)
            writeBalloon(*c.balloon);
        m_out.u32(quint32(c.palette.size()));
        for (QRgb colour : c.palette)
            m_out.rgbQuad(colour);
        m_out.u8(c.trayIcon ? 1 : 0);
        if (c.trayIcon) {
            m_out.block(c.trayIcon->monochrome);
            m_out.block(c.trayIcon->colour);
        }
        m_out.u16(quint32(c.states.size()));
        for (const CharacterState &state : c.states) {
            m_out.string(state.name);
            m_out.u16(quint32(state.animations.size()));
            for (const QString &name : state.animations)
                m_out.string(name);
        }
        const qsizetype textsStart = m_out.size();
        m_out.u16(quint32(c.texts.size()));
        for (const CharacterText &text : c.texts) {
            m_out.u16(text.language);
            m_out.string(text.name);
            m_out.string(text.description);
            m_out.string(text.extra);
        }
        m_out.patch(textsAt, m_out.since(textsStart));
        return m_out.since(start);
    }

    void writeVoice(const CharacterVoice &voice)
    {
        m_out.guid(voice.engineId);
        m_out.guid(voice.modeId);
        m_out.u32(voice.speed);
        m_out.u16(voice.pitch);
        m_out.u8(voice.hasExtra ? 1 : 0);
        if (!voice.hasExtra)
            return;
        m_out.u16(voice.language);
        m_out.string(voice.dialect);
        m_out.u16(voice.gender);
        m_out.u16(voice.age);
        m_out.string(voice.style);
    }

    void writeBalloon(const CharacterBalloon &balloon)
    {
        m_out.u8(quint32(balloon.lines));
        m_out.u8(quint32(balloon.charsPerLine));
        m_out.colorRef(balloon.foreground);
        m_out.colorRef(balloon.background);
        m_out.colorRef(balloon.border);
        m_out.string(balloon.fontName);
        m_out.u32(quint32(balloon.fontHeight));
        m_out.u32(quint32(balloon.fontWeight));
        m_out.u8(balloon.italic ? 1 : 0);
        m_out.u8(balloon.unknown);
    }

    const Character &m_character;
    Output m_out;
};

} // namespace

namespace AcsWriter {

QByteArray write(const Character &character)
{
    return Writer(character).write();
}

} // namespace AcsWriter
