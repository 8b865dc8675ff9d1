#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRgb>
#include <QString>
#include <QStringList>

#include <optional>

// A desktop character as its .acs file holds it: the character's look (size, palette, transparent colour),
// speech settings, the animations with their frames and the decoded images and sounds they refer to.
// Plain data, so that the reader, the writer and the player share one model; the reader guarantees that every
// index in it (image, sound, branch and exit frame) is in range.

// One language's name and texts of a character.
struct CharacterText
{
    quint16 language = 0; // Windows language identifier, 0x0009 English
    QString name;
    QString description;
    QString extra;

    bool operator==(const CharacterText &) const = default;
};

struct CharacterVoice
{
    QByteArray engineId = QByteArray(16, '\0'); // GUIDs as the 16 bytes the file holds
    QByteArray modeId = QByteArray(16, '\0');
    quint32 speed = 0;
    quint16 pitch = 0;
    bool hasExtra = false;
    quint16 language = 0;
    QString dialect;
    quint16 gender = 0; // 0 neutral, 1 female, 2 male
    quint16 age = 0;
    QString style;

    bool operator==(const CharacterVoice &) const = default;
};

struct CharacterBalloon
{
    int lines = 2;
    int charsPerLine = 28;
    QRgb foreground = qRgb(0, 0, 0);
    QRgb background = qRgb(255, 255, 225);
    QRgb border = qRgb(0, 0, 0);
    QString fontName;
    qint32 fontHeight = -13; // negative: character height in pixels, as a Windows LOGFONT has it
    qint32 fontWeight = 400;
    bool italic = false;
    quint8 unknown = 0;

    bool operator==(const CharacterBalloon &) const = default;
};

// The icon a character shows in the notification area: two Windows icon images, kept as stored.
struct CharacterTrayIcon
{
    QByteArray monochrome;
    QByteArray colour;

    bool operator==(const CharacterTrayIcon &) const = default;
};

// Which animations the character plays in a situation (SHOWING, HIDING, SPEAKING, IDLINGLEVEL1, ...).
struct CharacterState
{
    QString name;
    QStringList animations;

    bool operator==(const CharacterState &) const = default;
};

struct FrameImage
{
    int image = 0;
    int x = 0; // offset of the image's top-left corner in the character's frame
    int y = 0;

    bool operator==(const FrameImage &) const = default;
};

struct FrameBranch
{
    int frame = 0;
    int probability = 0; // percent

    bool operator==(const FrameBranch &) const = default;
};

// An image that replaces or covers part of a frame while the character speaks, one per mouth shape.
struct MouthOverlay
{
    enum Mouth { Closed, Wide1, Wide2, Wide3, Wide4, Medium, Narrow, MouthCount };
    int mouth = Closed;
    bool replacesTopImage = false;
    int image = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    quint8 unknown = 0;
    QByteArray region; // optional, kept as stored

    bool operator==(const MouthOverlay &) const = default;
};

struct CharacterFrame
{
    static constexpr int NoSound = -1;
    static constexpr int NoExit = -1;
    static constexpr int ExitEnds = -2; // leaving the animation from this frame ends it at once

    QList<FrameImage> images; // the first image lies on top
    int sound = NoSound;
    int duration = 10; // hundredths of a second; 0 occurs, for frames that only start a sound
    int exitFrame = NoExit;
    QList<FrameBranch> branches;
    QList<MouthOverlay> overlays;

    bool operator==(const CharacterFrame &) const = default;
};

struct CharacterAnimation
{
    enum Transition { ReturnAnimation = 0, ExitBranches = 1, NoTransition = 2 };
    QString name;     // as the character's animation list spells it
    QString dataName; // as the animation's own record spells it (upper case in files made by the editor)
    int transition = NoTransition;
    QString returnAnimation;
    QList<CharacterFrame> frames;

    bool operator==(const CharacterAnimation &) const = default;
};

// Palette indices, one byte per pixel, top row first, no row padding.
struct CharacterImage
{
    int width = 0;
    int height = 0;
    QByteArray pixels;
    quint8 unknown = 1;

    int pixel(int x, int y) const { return quint8(pixels.at(qsizetype(y) * width + x)); }

    bool operator==(const CharacterImage &) const = default;
};

class Character
{
public:
    static constexpr quint32 VoiceOutputDisabled = 0x10;
    static constexpr quint32 VoiceOutputEnabled = 0x20;
    static constexpr quint32 BalloonDisabled = 0x100;
    static constexpr quint32 BalloonEnabled = 0x200;
    static constexpr quint32 StandardAnimationSet = 0x100000;

    quint16 majorVersion = 2;
    quint16 minorVersion = 1;
    QByteArray guid = QByteArray(16, '\0');
    int width = 0;
    int height = 0;
    int transparentIndex = 0;
    quint32 flags = 0; // the voice and balloon bits follow `voice` and `balloon` when written
    quint16 animationSetMajor = 2;
    quint16 animationSetMinor = 0;
    std::optional<CharacterVoice> voice;
    std::optional<CharacterBalloon> balloon;
    QList<QRgb> palette; // opaque colours, at most 256
    std::optional<CharacterTrayIcon> trayIcon;
    QList<CharacterState> states;
    QList<CharacterText> texts;
    QList<CharacterAnimation> animations;
    QList<CharacterImage> images;
    QList<QByteArray> sounds; // RIFF WAVE files

    // Looked up without regard to case, as the service resolves names given to Play.
    const CharacterAnimation *animation(QStringView name) const;
    QStringList animationNames() const;
    // The animations of a state, such as "IDLINGLEVEL1", that this character really has.
    QStringList stateAnimations(QStringView state) const;

    // The texts in the given language, else English, else the first there are.
    const CharacterText *text(quint16 language = 0x0009) const;

    // A frame as the user sees it: width x height pixels, ARGB32 with transparent pixels of alpha 0.
    // mouth picks a mouth overlay for speaking; frames without one for that mouth are drawn unchanged.
    QImage composeFrame(const CharacterFrame &frame, int mouth = -1) const;
    // One stored image with the character's palette and transparency.
    QImage image(int index) const;

    bool operator==(const Character &) const = default;

private:
    void drawImage(QImage &target, int index, int x, int y) const;
};
