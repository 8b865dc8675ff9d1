#include "shell/character/AcsReader.h"

#include "shell/character/AcsCompression.h"
#include "shell/character/AcsFormat.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace {

using Limits = AcsReader::Limits;

// Thrown on the first fault; read() turns it into the error text. The reader has no other way out of a
// nested record, and nothing it built survives the throw.
struct Damaged
{
    QString reason;
};

[[noreturn]] void fail(const QString &reason)
{
    throw Damaged{reason};
}

// Reads little-endian fields from one block of the file, never past the block's end.
class Cursor
{
public:
    Cursor(QByteArrayView file, AcsFormat::Locator block, const QString &what) : m_what(what)
    {
        if (block.offset > quint64(file.size()) || block.size > quint64(file.size()) - block.offset)
            fail(QStringLiteral("%1 lies outside the file").arg(what));
        m_data = file.sliced(qsizetype(block.offset), qsizetype(block.size));
    }

    qsizetype remaining() const { return m_data.size() - m_at; }
    const QString &what() const { return m_what; }

    QByteArrayView bytes(quint64 count)
    {
        if (count > quint64(remaining()))
            fail(QStringLiteral("%1 ends before its data").arg(m_what));
        const QByteArrayView out = m_data.sliced(m_at, qsizetype(count));
        m_at += qsizetype(count);
        return out;
    }

    quint8 u8() { return quint8(bytes(1).front()); }
    quint16 u16() { return qFromLittleEndian<quint16>(bytes(2).data()); }
    qint16 s16() { return qint16(u16()); }
    quint32 u32() { return qFromLittleEndian<quint32>(bytes(4).data()); }
    qint32 s32() { return qint32(u32()); }
    QByteArray guid() { return bytes(16).toByteArray(); }
    QRgb rgbQuad() { return 0xFF000000u | (u32() & 0xFFFFFF); }
    QRgb colorRef()
    {
        const quint32 value = u32();
        return qRgb(value & 0xFF, value >> 8 & 0xFF, value >> 16 & 0xFF);
    }
    AcsFormat::Locator locator()
    {
        const quint32 offset = u32();
        return {offset, u32()};
    }
    QByteArray block() { return bytes(u32()).toByteArray(); }

    // Characters, then a terminating zero unless the string is empty.
    QString string()
    {
        const quint32 length = u32();
        if (length == 0)
            return {};
        if (length > quint32(Limits::StringChars))
            fail(QStringLiteral("a text in %1 is too long").arg(m_what));
        const QByteArrayView units = bytes(quint64(length) * 2 + 2);
        QString text(qsizetype(length), Qt::Uninitialized);
        for (quint32 i = 0; i < length; ++i)
            text[i] = QChar(qFromLittleEndian<quint16>(units.data() + 2 * i));
        return text;
    }

    // A count checked against its limit and against the bytes left, each element taking at least
    // elementBytes, so that no list is reserved beyond what the file can hold.
    int count(quint32 value, int limit, int elementBytes, const char *elements)
    {
        if (value > quint32(limit))
            fail(QStringLiteral("%1 declares more %2 than a character can have (%3)")
                     .arg(m_what, QLatin1String(elements))
                     .arg(value));
        if (quint64(value) * quint64(elementBytes) > quint64(remaining()))
            fail(QStringLiteral("%1 declares %2 %3 but is too short for them")
                     .arg(m_what)
                     .arg(value)
                     .arg(QLatin1String(elements)));
        return int(value);
    }

private:
    QByteArrayView m_data;
    qsizetype m_at = 0;
    QString m_what;
};

class Reader
{
public:
    explicit Reader(QByteArrayView file) : m_file(file) {}

    Character read()
    {
        Cursor header(m_file, {0, AcsFormat::HeaderBytes}, QStringLiteral("the header"));
        switch (header.u32()) {
        case AcsFormat::Signature:
            break;
        case AcsFormat::SplitSignature:
            fail(QStringLiteral("characters split into .acf and .aca files are not supported; use the .acs file"));
        case AcsFormat::CompoundFileSignature:
            fail(QStringLiteral("characters of the older format (version 1.5) are not supported"));
        default:
            fail(QStringLiteral("this is not a character file"));
        }
        const AcsFormat::Locator characterInfo = header.locator();
        const AcsFormat::Locator animationList = header.locator();
        const AcsFormat::Locator imageList = header.locator();
        const AcsFormat::Locator soundList = header.locator();

        Character character;
        readCharacterInfo(character, characterInfo);
        readImages(character, imageList);
        readSounds(character, soundList);
        readAnimations(character, animationList);
        checkReferences(character);
        return character;
    }

private:
    void readCharacterInfo(Character &character, AcsFormat::Locator block)
    {
        Cursor in(m_file, block, QStringLiteral("the character information"));
        character.minorVersion = in.u16();
        character.majorVersion = in.u16();
        const AcsFormat::Locator texts = in.locator();
        character.guid = in.guid();
        character.width = in.u16();
        character.height = in.u16();
        if (character.width < 1 || character.height < 1 || character.width > Limits::Dimension ||
            character.height > Limits::Dimension)
            fail(QStringLiteral("the character's size %1 x %2 is not supported")
                     .arg(character.width)
                     .arg(character.height));
        character.transparentIndex = in.u8();
        character.flags = in.u32();
        character.animationSetMajor = in.u16();
        character.animationSetMinor = in.u16();
        if (character.flags & Character::VoiceOutputEnabled)
            character.voice = readVoice(in);
        if (character.flags & Character::BalloonEnabled)
            character.balloon = readBalloon(in);
        const int colours = in.count(in.u32(), Limits::PaletteColours, 4, "colours");
        character.palette.reserve(colours);
        for (int i = 0; i < colours; ++i)
            character.palette.append(in.rgbQuad());
        if (in.u8()) {
            CharacterTrayIcon icon;
            icon.monochrome = in.block();
            icon.colour = in.block();
            character.trayIcon = icon;
        }
        const int states = in.count(in.u16(), Limits::States, 6, "states");
        for (int i = 0; i < states; ++i) {
            CharacterState state;
            state.name = in.string();
            const int names = in.count(in.u16(), Limits::Animations, 4, "animation names");
            for (int j = 0; j < names; ++j)
                state.animations.append(in.string());
            character.states.append(state);
        }
        if (texts.size > 0)
            readTexts(character, texts);
    }

    static CharacterVoice readVoice(Cursor &in)
    {
        CharacterVoice voice;
        voice.engineId = in.guid();
        voice.modeId = in.guid();
        voice.speed = in.u32();
        voice.pitch = in.u16();
        voice.hasExtra = in.u8() != 0;
        if (voice.hasExtra) {
            voice.language = in.u16();
            voice.dialect = in.string();
            voice.gender = in.u16();
            voice.age = in.u16();
            voice.style = in.string();
        }
        return voice;
    }

    static CharacterBalloon readBalloon(Cursor &in)
    {
        CharacterBalloon balloon;
        balloon.lines = in.u8();
        balloon.charsPerLine = in.u8();
        balloon.foreground = in.colorRef();
        balloon.background = in.colorRef();
        balloon.border = in.colorRef();
        balloon.fontName = in.string();
        balloon.fontHeight = in.s32();
        balloon.fontWeight = in.s32();
        balloon.italic = in.u8() != 0;
        balloon.unknown = in.u8();
        return balloon;
    }

    void readTexts(Character &character, AcsFormat::Locator block)
    {
        Cursor in(m_file, block, QStringLiteral("the character's names"));
        const int count = in.count(in.u16(), Limits::Texts, 14, "languages");
        for (int i = 0; i < count; ++i) {
            CharacterText text;
            text.language = in.u16();
            text.name = in.string();
            text.description = in.string();
            text.extra = in.string();
            character.texts.append(text);
        }
    }

    void readImages(Character &character, AcsFormat::Locator block)
    {
        Cursor in(m_file, block, QStringLiteral("the image list"));
        const int count = in.count(in.u32(), Limits::Images, 12, "images");
        character.images.reserve(count);
        for (int i = 0; i < count; ++i) {
            const AcsFormat::Locator where = in.locator();
            in.u32(); // checksum
            character.images.append(readImage(where, i));
        }
    }

    CharacterImage readImage(AcsFormat::Locator block, int index)
    {
        Cursor in(m_file, block, QStringLiteral("image %1").arg(index));
        CharacterImage image;
        image.unknown = in.u8();
        image.width = in.u16();
        image.height = in.u16();
        if (image.width > Limits::Dimension || image.height > Limits::Dimension)
            fail(QStringLiteral("image %1 is too large (%2 x %3)").arg(index).arg(image.width).arg(image.height));
        const qint64 pixels = qint64(image.width) * image.height;
        m_decodedPixels += pixels;
        if (m_decodedPixels > Limits::DecodedPixels)
            fail(QStringLiteral("the images together are too large"));
        const bool compressed = in.u8() != 0;
        const qsizetype stride = AcsFormat::stride(image.width);
        const qsizetype stored = stride * image.height;
        const QByteArrayView data = in.bytes(in.u32());
        QByteArray rows;
        if (compressed) {
            std::optional<QByteArray> decoded = AcsCompression::decompress(data, stored);
            if (!decoded)
                fail(QStringLiteral("the compressed pixels of image %1 are damaged").arg(index));
            rows = std::move(*decoded);
        } else if (data.size() < stored) {
            fail(QStringLiteral("image %1 has fewer pixels than its size needs").arg(index));
        } else {
            rows = data.first(stored).toByteArray();
        }
        image.pixels = AcsFormat::topDown(rows, image.width, image.height);
        // The region (a rectangle list for hit testing) follows; transparency is taken from the pixels.
        return image;
    }

    void readSounds(Character &character, AcsFormat::Locator block)
    {
        if (block.size == 0)
            return;
        Cursor in(m_file, block, QStringLiteral("the sound list"));
        const int count = in.count(in.u32(), Limits::Sounds, 12, "sounds");
        qint64 total = 0;
        for (int i = 0; i < count; ++i) {
            const AcsFormat::Locator where = in.locator();
            in.u32(); // checksum
            Cursor sound(m_file, where, QStringLiteral("sound %1").arg(i));
            total += sound.remaining();
            if (total > Limits::SoundBytes)
                fail(QStringLiteral("the sounds together are too large"));
            character.sounds.append(sound.bytes(sound.remaining()).toByteArray());
        }
    }

    void readAnimations(Character &character, AcsFormat::Locator block)
    {
        Cursor in(m_file, block, QStringLiteral("the animation list"));
        const int count = in.count(in.u32(), Limits::Animations, 12, "animations");
        character.animations.reserve(count);
        for (int i = 0; i < count; ++i) {
            CharacterAnimation animation;
            animation.name = in.string();
            readAnimation(animation, in.locator());
            character.animations.append(animation);
        }
    }

    void readAnimation(CharacterAnimation &animation, AcsFormat::Locator block)
    {
        Cursor in(m_file, block, QStringLiteral("animation \"%1\"").arg(animation.name));
        animation.dataName = in.string();
        animation.transition = in.u8();
        animation.returnAnimation = in.string();
        const int frames = in.count(in.u16(), 65535, 10, "frames");
        spend(frames);
        animation.frames.reserve(frames);
        for (int i = 0; i < frames; ++i)
            animation.frames.append(readFrame(in));
    }

    CharacterFrame readFrame(Cursor &in)
    {
        CharacterFrame frame;
        const int images = in.count(in.u16(), 65535, 8, "frame images");
        spend(images);
        for (int i = 0; i < images; ++i) {
            FrameImage image;
            const quint32 index = in.u32();
            image.image = index > quint32(Limits::Images) ? Limits::Images : int(index);
            image.x = in.s16();
            image.y = in.s16();
            frame.images.append(image);
        }
        const quint16 sound = in.u16();
        frame.sound = sound == 0xFFFF ? CharacterFrame::NoSound : sound;
        frame.duration = in.u16();
        frame.exitFrame = in.s16();
        const int branches = in.count(in.u8(), 255, 4, "branches");
        spend(branches);
        for (int i = 0; i < branches; ++i) {
            FrameBranch branch;
            branch.frame = in.u16();
            branch.probability = in.u16();
            frame.branches.append(branch);
        }
        const int overlays = in.count(in.u8(), 255, 14, "mouth overlays");
        spend(overlays);
        for (int i = 0; i < overlays; ++i)
            frame.overlays.append(readOverlay(in));
        return frame;
    }

    static MouthOverlay readOverlay(Cursor &in)
    {
        MouthOverlay overlay;
        overlay.mouth = in.u8();
        overlay.replacesTopImage = in.u8() != 0;
        overlay.image = in.u16();
        overlay.unknown = in.u8();
        const bool hasRegion = in.u8() != 0;
        overlay.x = in.s16();
        overlay.y = in.s16();
        overlay.width = in.u16();
        overlay.height = in.u16();
        if (hasRegion)
            overlay.region = in.block();
        return overlay;
    }

    void spend(qint64 parts)
    {
        m_frameParts += parts;
        if (m_frameParts > Limits::FrameParts)
            fail(QStringLiteral("the animations together have too many frames"));
    }

    // Everything a player follows must lead somewhere that exists.
    static void checkReferences(const Character &character)
    {
        const qsizetype images = character.images.size();
        for (const CharacterAnimation &animation : character.animations) {
            const qsizetype frames = animation.frames.size();
            const QString where = QStringLiteral("animation \"%1\"").arg(animation.name);
            for (const CharacterFrame &frame : animation.frames) {
                for (const FrameImage &image : frame.images) {
                    if (image.image >= images)
                        fail(QStringLiteral("%1 shows image %2, which does not exist").arg(where).arg(image.image));
                }
                for (const MouthOverlay &overlay : frame.overlays) {
                    if (overlay.image >= images)
                        fail(QStringLiteral("%1 shows image %2, which does not exist").arg(where).arg(overlay.image));
                }
                if (frame.sound >= character.sounds.size())
                    fail(QStringLiteral("%1 plays sound %2, which does not exist").arg(where).arg(frame.sound));
                for (const FrameBranch &branch : frame.branches) {
                    if (branch.frame >= frames)
                        fail(QStringLiteral("%1 branches to frame %2, which does not exist")
                                 .arg(where)
                                 .arg(branch.frame));
                }
                if (frame.exitFrame >= frames || frame.exitFrame < CharacterFrame::ExitEnds)
                    fail(QStringLiteral("%1 exits to frame %2, which does not exist").arg(where).arg(frame.exitFrame));
            }
        }
    }

    QByteArrayView m_file;
    qint64 m_decodedPixels = 0;
    qint64 m_frameParts = 0;
};

QString damaged(const QString &reason)
{
    return QStringLiteral("The character file is damaged or not supported: %1.").arg(reason);
}

} // namespace

std::optional<Character> AcsReader::read(QByteArrayView file, QString *error)
{
    if (file.size() > Limits::FileBytes) {
        if (error)
            *error = damaged(QStringLiteral("the file is larger than %1 MB").arg(Limits::FileBytes >> 20));
        return std::nullopt;
    }
    try {
        return Reader(file).read();
    } catch (const Damaged &fault) {
        if (error)
            *error = damaged(fault.reason);
        return std::nullopt;
    }
}

std::optional<Character> AcsReader::readFile(const QString &path, QString *error)
{
    // Only a regular file: opening a pipe or a device could block or deliver without end.
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot open the character file %1.").arg(path);
        return std::nullopt;
    }
    if (file.size() > Limits::FileBytes) {
        if (error)
            *error = damaged(QStringLiteral("the file is larger than %1 MB").arg(Limits::FileBytes >> 20));
        return std::nullopt;
    }
    return read(file.read(file.size()), error);
}
