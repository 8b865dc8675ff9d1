#include "shell/character/AcsCompression.h"
#include "shell/character/AcsReader.h"
#include "shell/character/AcsWriter.h"
#include "shell/character/FrameStepper.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <QtEndian>

namespace {

QString sourceFile(const QString &relative)
{
    return qEnvironmentVariable("PARLUNE_SOURCE_DIR") + QLatin1Char('/') + relative;
}

QByteArray helperFile()
{
    QFile file(sourceFile(QStringLiteral("resources/character/Helper.acs")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

CharacterImage solid(int width, int height, int colour)
{
    return {width, height, QByteArray(qsizetype(width) * height, char(colour)), 1};
}

// Two images (a red 4 x 4 square, a blue 2 x 2 one with a transparent corner), two sounds and two
// animations that use every kind of frame field.
Character sample()
{
    Character c;
    c.width = 8;
    c.height = 6;
    c.transparentIndex = 0;
    c.flags = Character::StandardAnimationSet;
    c.palette = {qRgb(255, 0, 255), qRgb(255, 0, 0), qRgb(0, 0, 255)};
    c.images = {solid(4, 4, 1), solid(2, 2, 2)};
    c.images[1].pixels[3] = 0;
    c.sounds = {QByteArray("RIFF\x04\0\0\0WAVE", 12), QByteArray("RIFF\x05\0\0\0WAVEx", 13)};
    CharacterVoice voice;
    voice.hasExtra = true;
    voice.dialect = QStringLiteral("zh-TW");
    voice.style = QStringLiteral("Calm");
    c.voice = voice;
    CharacterBalloon balloon;
    balloon.fontName = QStringLiteral("細明體");
    c.balloon = balloon;
    c.trayIcon = CharacterTrayIcon{QByteArray(40, 'm'), QByteArray(60, 'c')};
    c.states = {{QStringLiteral("IDLINGLEVEL1"), {QStringLiteral("Blink"), QStringLiteral("Missing")}}};
    c.texts = {{0x0404, QStringLiteral("小月"), QStringLiteral("說明"), {}},
               {0x0009, QStringLiteral("Moon"), QStringLiteral("Text"), QStringLiteral("extra")}};

    CharacterFrame rest;
    rest.images = {{1, 1, 1}, {0, 0, 0}};
    MouthOverlay open;
    open.mouth = MouthOverlay::Wide2;
    open.replacesTopImage = true;
    open.image = 1;
    open.x = 5;
    open.y = 3;
    open.width = 2;
    open.height = 2;
    open.region = QByteArray("rgn");
    rest.overlays = {open};
    CharacterFrame loud = rest;
    loud.sound = 1;
    loud.duration = 25;
    loud.exitFrame = CharacterFrame::ExitEnds;
    loud.branches = {{0, 30}, {2, 50}};
    CharacterFrame last;
    last.images = {{0, -2, 4}};
    last.exitFrame = 0;
    CharacterAnimation blink;
    blink.name = QStringLiteral("Blink");
    blink.dataName = QStringLiteral("BLINK");
    blink.frames = {rest, loud, last};
    CharacterAnimation back;
    back.name = QStringLiteral("Back");
    back.dataName = QStringLiteral("BACK");
    back.transition = CharacterAnimation::ReturnAnimation;
    back.returnAnimation = QStringLiteral("Blink");
    back.frames = {CharacterFrame{}};
    c.animations = {blink, back};
    return c;
}

// The writer keeps the voice and balloon bits in line with the character.
Character normalised(Character c)
{
    c.flags &= ~(Character::VoiceOutputEnabled | Character::VoiceOutputDisabled | Character::BalloonEnabled |
                 Character::BalloonDisabled);
    c.flags |= c.voice ? Character::VoiceOutputEnabled : Character::VoiceOutputDisabled;
    c.flags |= c.balloon ? Character::BalloonEnabled : Character::BalloonDisabled;
    return c;
}

quint32 le32At(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

void setLe32(QByteArray &bytes, qsizetype at, quint32 value)
{
    qToLittleEndian<quint32>(value, bytes.data() + at);
}

// The header's locators: character info, animations, images, sounds.
qsizetype locatorAt(int which)
{
    return 4 + 8 * which;
}

// A compressed stream from its bits, written first to last; spaces are for reading.
QByteArray stream(const QByteArray &bits)
{
    QByteArray out(1, '\0');
    int used = 8;
    for (char bit : bits) {
        if (bit == ' ')
            continue;
        if (used == 8) {
            out.append('\0');
            used = 0;
        }
        if (bit == '1')
            out.back() = char(quint8(out.back()) | 1 << used);
        ++used;
    }
    return out + QByteArray(4, char(0xFF));
}

const QByteArray End = " 1 111 11111111111111111111";

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray out(size, Qt::Uninitialized);
    for (char &byte : out)
        byte = char(random.bounded(256));
    return out;
}

} // namespace

class TestCharacter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void compressionRoundTrip_data()
    {
        // Literals cost nine bits each; references make repeats nearly free.
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("atMost");
        QTest::newRow("empty") << QByteArray() << 9;
        QTest::newRow("one byte") << QByteArray("x") << 10;
        QTest::newRow("short repeat") << QByteArray("abcabcabcabcab") << 16;
        QTest::newRow("run longer than one reference") << QByteArray(10000, '\7') << 24;
        QTest::newRow("noise") << randomBytes(3000, 1) << 3000 * 9 / 8 + 8;
        // Repeats from 100, 1000 and 30000 bytes back need every offset width.
        const QByteArray block = randomBytes(30000, 2);
        QTest::newRow("far repeats") << block + block.left(500) + block.mid(29000, 300) + block.mid(29900, 80)
                                     << 30000 * 9 / 8 + 24;
        QByteArray rows;
        for (int y = 0; y < 120; ++y)
            rows += QByteArray(40, char(y % 7)) + QByteArray(60, char(200 + y % 3));
        QTest::newRow("image rows") << rows << 1200;
    }

    void compressionRoundTrip()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, atMost);
        const QByteArray packed = AcsCompression::compress(data);
        QCOMPARE(packed.front(), '\0');
        QVERIFY(packed.endsWith(QByteArray(6, char(0xFF))));
        const std::optional<QByteArray> unpacked = AcsCompression::decompress(packed, data.size());
        QVERIFY(unpacked);
        QCOMPARE(*unpacked, data);
        QVERIFY2(packed.size() <= atMost, qPrintable(QString::number(packed.size())));
    }

    void damagedCompressionIsRefused()
    {
        const QByteArray data = QByteArray("abcdefgh").repeated(50) + randomBytes(100, 3);
        const QByteArray packed = AcsCompression::compress(data);
        QVERIFY(!AcsCompression::decompress(packed, data.size() - 1));                     // overruns its output
        QVERIFY(!AcsCompression::decompress(packed, data.size() + 1));                     // stops short of it
        QVERIFY(!AcsCompression::decompress(packed.left(packed.size() - 8), data.size())); // no end marker
        QVERIFY(!AcsCompression::decompress(QByteArray("\1") + packed.mid(1), data.size()));
        QVERIFY(!AcsCompression::decompress({}, 0));
        // A reference as the first token points before the start: offset width 0, offset 5, length 2.
        QVERIFY(!AcsCompression::decompress(stream("1 0 001000 0"), 2));
        // The longest length is eleven 1 bits, a 0 and eleven value bits; a twelfth 1 bit is damage.
        const char *literal = "0 10000110 ";
        const QByteArray longest = stream(literal + QByteArray("1 0 000000 11111111111 0 11111111111") + End);
        QCOMPARE(AcsCompression::decompress(longest, 1 + 4096).value_or(QByteArray()), QByteArray(4097, 'a'));
        QVERIFY(!AcsCompression::decompress(stream(literal + QByteArray("1 0 000000 111111111111 0") + End), 4097));
        for (int cut = 0; cut < packed.size(); cut += 7)
            QVERIFY(!AcsCompression::decompress(packed.left(cut), data.size()));
    }

    void writerAndReaderAgree()
    {
        const Character original = sample();
        QString error;
        const std::optional<Character> read = AcsReader::read(AcsWriter::write(original), &error);
        QVERIFY2(read, qPrintable(error));
        QCOMPARE(read->animationNames(), original.animationNames());
        QCOMPARE(read->images, original.images);
        QCOMPARE(read->sounds, original.sounds);
        QCOMPARE(read->animations.at(0).frames, original.animations.at(0).frames);
        QVERIFY(read->voice == original.voice);
        QVERIFY(read->balloon == original.balloon);
        QVERIFY(*read == normalised(original));
        QVERIFY(read->flags & Character::StandardAnimationSet);

        Character quiet = original;
        quiet.voice.reset();
        quiet.balloon.reset();
        quiet.trayIcon.reset();
        quiet.sounds.clear();
        quiet.animations[0].frames[1].sound = CharacterFrame::NoSound;
        const std::optional<Character> quietRead = AcsReader::read(AcsWriter::write(quiet), &error);
        QVERIFY2(quietRead, qPrintable(error));
        QVERIFY(*quietRead == normalised(quiet));
        QVERIFY(quietRead->flags & Character::BalloonDisabled);
    }

    void lookupsAndTexts()
    {
        const Character c = sample();
        QVERIFY(c.animation(u"bLiNk") == &c.animations.at(0));
        QVERIFY(!c.animation(u"Greet"));
        QCOMPARE(c.stateAnimations(u"idlinglevel1"), QStringList{QStringLiteral("Blink")});
        QCOMPARE(c.text()->name, QStringLiteral("Moon"));
        QCOMPARE(c.text(0x0404)->name, QStringLiteral("小月"));
        QCOMPARE(c.text(0x0406)->name, QStringLiteral("Moon"));
    }

    void composeFrameLayersClipsAndSpeaks()
    {
        const Character c = sample();
        const CharacterFrame &rest = c.animations.at(0).frames.at(0);
        const QImage image = c.composeFrame(rest);
        QCOMPARE(image.size(), QSize(8, 6));
        QCOMPARE(image.format(), QImage::Format_ARGB32);
        QCOMPARE(image.pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(image.pixel(1, 1), qRgb(0, 0, 255)); // the first image lies on top
        QCOMPARE(image.pixel(2, 2), qRgb(255, 0, 0)); // its transparent corner shows the one below
        QCOMPARE(qAlpha(image.pixel(5, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(0, 5)), 0);

        // Speaking with a wide mouth: the overlay replaces the top image.
        const QImage speaking = c.composeFrame(rest, MouthOverlay::Wide2);
        QCOMPARE(speaking.pixel(1, 1), qRgb(255, 0, 0));
        QCOMPARE(speaking.pixel(5, 3), qRgb(0, 0, 255));
        QCOMPARE(c.composeFrame(rest, MouthOverlay::Narrow), image);

        // Partly outside the frame: what lies inside is drawn.
        const QImage clipped = c.composeFrame(c.animations.at(0).frames.at(2));
        QCOMPARE(clipped.pixel(0, 4), qRgb(255, 0, 0));
        QCOMPARE(clipped.pixel(1, 5), qRgb(255, 0, 0));
        QCOMPARE(qAlpha(clipped.pixel(2, 4)), 0);
        QCOMPARE(c.image(1).pixel(0, 0), qRgb(0, 0, 255));
        QCOMPARE(qAlpha(c.image(1).pixel(1, 1)), 0);
    }

    void stepperBranchesAndExits()
    {
        const CharacterAnimation blink = sample().animations.at(0);
        QList<int> rolls;
        FrameStepper stepper([&rolls](int bound) {
            Q_ASSERT(bound == 100);
            return rolls.takeFirst();
        });
        QCOMPARE(stepper.next(blink, 0), 1); // no branches: the next frame, no roll
        rolls = {29, 30, 79, 80, 99};
        QCOMPARE(stepper.next(blink, 1), 0);
        QCOMPARE(stepper.next(blink, 1), 2); // 30 and more: past the first branch, inside the second
        QCOMPARE(stepper.next(blink, 1), 2);
        QCOMPARE(stepper.next(blink, 1), 2); // 80 and more: no branch, the next frame
        QCOMPARE(stepper.next(blink, 1), 2);
        QVERIFY(rolls.isEmpty());
        QCOMPARE(stepper.next(blink, 2), FrameStepper::Ended);

        QCOMPARE(stepper.next(blink, 0, true), 1); // no exit branch: onwards, without branching
        QCOMPARE(stepper.next(blink, 1, true), FrameStepper::Ended);
        QCOMPARE(stepper.next(blink, 2, true), 0);
        QCOMPARE(stepper.next(blink, 7), FrameStepper::Ended);
        QCOMPARE(stepper.next(CharacterAnimation{}, 0), FrameStepper::Ended);
    }

    void helperCharacter()
    {
        const QByteArray file = helperFile();
        if (file.isEmpty())
            QSKIP("resources/character/Helper.acs is not there");
        QVERIFY2(file.size() < 100 * 1024, qPrintable(QString::number(file.size())));
        QString error;
        const std::optional<Character> helper = AcsReader::read(file, &error);
        QVERIFY2(helper, qPrintable(error));
        QCOMPARE(QSize(helper->width, helper->height), QSize(100, 100));
        for (const char *name : {"Showing", "Hiding", "RestPose", "Greet", "Idle1_1", "Explain", "Speaking"})
            QVERIFY2(helper->animation(QString::fromLatin1(name)), name);
        QCOMPARE(helper->stateAnimations(u"SHOWING"), QStringList{QStringLiteral("Showing")});
        QVERIFY(helper->balloon);
        QVERIFY(!helper->sounds.isEmpty());
        for (const QByteArray &sound : helper->sounds)
            QVERIFY(sound.startsWith("RIFF") && sound.mid(8, 4) == "WAVE");
        // Speaking frames carry every mouth.
        for (const CharacterFrame &frame : helper->animation(u"Speaking")->frames)
            QCOMPARE(frame.overlays.size(), qsizetype(MouthOverlay::MouthCount));
        const QImage rest = helper->composeFrame(helper->animation(u"RestPose")->frames.first());
        QCOMPARE(qAlpha(rest.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(rest.pixel(50, 60)), 255);

        // Every state names animations the character has; asked to stop, waving and idling end in a few frames.
        for (const CharacterState &state : helper->states)
            QCOMPARE(helper->stateAnimations(state.name).size(), state.animations.size());
        const FrameStepper stepper([](int) { return 0; });
        const CharacterAnimation &greet = *helper->animation(u"Greet");
        int waving = 3;
        int left = 0;
        while (waving != FrameStepper::Ended && left++ < greet.frames.size())
            waving = stepper.next(greet, waving, true);
        QCOMPARE(waving, FrameStepper::Ended);
        QVERIFY2(left <= 3, qPrintable(QString::number(left)));
        const CharacterAnimation &idle = *helper->animation(u"Idle1_1");
        int frame = 0;
        int steps = 0;
        while (frame != FrameStepper::Ended && steps++ <= idle.frames.size())
            frame = stepper.next(idle, frame, steps > 1);
        QCOMPARE(frame, FrameStepper::Ended);

        // Written again, it reads the same and keeps its bytes.
        const QByteArray again = AcsWriter::write(*helper);
        QCOMPARE(again, file);
    }

    // Records may share bytes: many image entries on one large image must not multiply into gigabytes.
    void sharedRecordsAreBounded()
    {
        Character big = sample();
        big.images = {solid(2048, 2048, 1), solid(2, 2, 2)};
        QByteArray file = AcsWriter::write(big);
        QVERIFY(file.size() < 64 * 1024);
        QVERIFY(AcsReader::read(file));
        const qsizetype listAt = le32At(file, locatorAt(2));
        const QByteArray entry = file.mid(listAt + 4, 12);
        QByteArray list(4, '\0');
        setLe32(list, 0, 40);
        list += entry.repeated(40);
        setLe32(file, locatorAt(2), quint32(file.size()));
        setLe32(file, locatorAt(2) + 4, quint32(list.size()));
        file += list;
        QString error;
        QVERIFY(!AcsReader::read(file, &error));
        QVERIFY2(error.contains(QStringLiteral("images together are too large")), qPrintable(error));
    }

    void genuineCharacters_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("animations");
        QTest::addColumn<int>("images");
        QTest::addColumn<int>("sounds");
        QTest::addColumn<QStringList>("first");
        auto names = [](const char *text) { return QString::fromLatin1(text).split(QLatin1Char(' ')); };
        QTest::newRow("Character2") << "Character2.acs"
                                    << "Character" << QSize(128, 128) << 2 << 2 << 0 << names("RestPose LoL");
        QTest::newRow("Happy Face") << "Happy_Face.acs"
                                    << "Happy Face" << QSize(135, 225) << 6 << 10 << 0
                                    << names("Spin Sad Speak Blink Show");
        QTest::newRow("HandyAndy") << "handyandy.acs"
                                   << "HandyAndy" << QSize(128, 128) << 59 << 5 << 0
                                   << names("Acknowledge Alert Announce Blink Confused");
        QTest::newRow("inguitar") << "inguitar.acs"
                                  << "inguitar" << QSize(50, 50) << 53 << 16 << 49 << names("0e 0f 0fs 0g 0gs");
        QTest::newRow("NerdBird") << "NerdBird.acs"
                                  << "NerdBird" << QSize(123, 94) << 43 << 404 << 14
                                  << names("Alert CheckingSomething Congratulate EmptyTrash Explain");
    }

    void genuineCharacters()
    {
        QFETCH(QString, file);
        const QString path = sourceFile(QStringLiteral("../shared/testdata/acs/") + file);
        if (!QFile::exists(path))
            QSKIP("no genuine characters beside the source tree");
        QString error;
        const std::optional<Character> character = AcsReader::readFile(path, &error);
        QVERIFY2(character, qPrintable(error));
        QTEST(character->text()->name, "name");
        QTEST(QSize(character->width, character->height), "size");
        QTEST(int(character->animations.size()), "animations");
        QTEST(int(character->images.size()), "images");
        QTEST(int(character->sounds.size()), "sounds");
        QFETCH(QStringList, first);
        QCOMPARE(character->animationNames().first(first.size()), first);
        if (const CharacterText *danish = character->text(0x0006); danish && danish->language == 0x0006)
            QVERIFY2(danish->description.contains(QStringLiteral("Lærke")), qPrintable(danish->description));
        for (const QByteArray &sound : character->sounds)
            QVERIFY(sound.startsWith("RIFF"));
        // Every frame composes, and nearly every animation with frames shows something (hiding may not;
        // some characters keep standard animations without frames).
        int shown = 0;
        int played = 0;
        for (const CharacterAnimation &animation : character->animations) {
            played += !animation.frames.isEmpty();
            bool visible = false;
            for (const CharacterFrame &frame : animation.frames) {
                const QImage image = character->composeFrame(frame);
                QCOMPARE(image.size(), QSize(character->width, character->height));
                for (int y = 0; y < image.height() && !visible; ++y) {
                    for (int x = 0; x < image.width() && !visible; ++x)
                        visible = qAlpha(image.pixel(x, y)) == 255;
                }
            }
            shown += visible;
        }
        QVERIFY2(shown >= played * 4 / 5, qPrintable(QStringLiteral("%1 of %2").arg(shown).arg(played)));
        // Written by Parlune's writer, the character reads back the same.
        const std::optional<Character> again = AcsReader::read(AcsWriter::write(*character), &error);
        QVERIFY2(again, qPrintable(error));
        QCOMPARE(again->images, character->images);
        QCOMPARE(again->sounds, character->sounds);
        for (qsizetype i = 0; i < character->animations.size(); ++i)
            QCOMPARE(again->animations.at(i).frames, character->animations.at(i).frames);
    }

    void damagedFilesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("reason");
        const QByteArray good = AcsWriter::write(sample());
        QTest::newRow("not a character") << QByteArray("hello, this is not a character file at all!")
                                         << "not a character";
        QTest::newRow("empty") << QByteArray() << "header";
        QTest::newRow("split character") << QByteArray::fromHex("c4abcdab") + good.mid(4) << ".acf";
        QTest::newRow("older format") << QByteArray::fromHex("d0cf11e0a1b11ae1") + good.mid(8) << "version 1.5";
        QTest::newRow("header only") << good.left(36) << "outside the file";
        QTest::newRow("truncated in the middle") << good.left(good.size() / 2) << "outside the file";
        QTest::newRow("truncated by one") << good.chopped(1) << "outside the file";

        QByteArray lyingOffset = good;
        setLe32(lyingOffset, locatorAt(2), quint32(good.size() - 2));
        QTest::newRow("image list offset past the end") << lyingOffset << "image list lies outside";

        QByteArray hugeOffset = good;
        setLe32(hugeOffset, locatorAt(1), 0xFFFFFFF0u);
        QTest::newRow("animation list offset near 4 GB") << hugeOffset << "animation list lies outside";

        QByteArray lyingCount = good;
        setLe32(lyingCount, le32At(good, locatorAt(1)), 1000);
        QTest::newRow("animation count") << lyingCount << "declares 1000 animations but is too short";

        QByteArray hugeCount = good;
        setLe32(hugeCount, le32At(good, locatorAt(2)), 0x7FFFFFFF);
        QTest::newRow("image count beyond the limit") << hugeCount << "more images than a character can have";

        // The first image record: unknown byte, width, height, compressed, size, data. A taller image needs
        // more pixels than the stream holds; a shorter one is overrun by it.
        const qsizetype imageAt = le32At(good, le32At(good, locatorAt(2)) + 4);
        QByteArray overrun = good;
        overrun[imageAt + 3] = 3;
        QTest::newRow("compressed pixels overrun") << overrun << "compressed pixels of image 0 are damaged";
        QByteArray shortfall = good;
        shortfall[imageAt + 3] = 9;
        QTest::newRow("compressed pixels fall short") << shortfall << "compressed pixels of image 0 are damaged";
        QByteArray wide = good;
        wide[imageAt + 1] = char(0xFF);
        wide[imageAt + 2] = char(0x7F);
        QTest::newRow("image too large") << wide << "too large";

        // The first frame's first image index (after the name, transition, return name and frame count).
        const qsizetype animationAt = le32At(good, le32At(good, locatorAt(1)) + 4 + 4 + 2 * 6);
        QByteArray badIndex = good;
        setLe32(badIndex, animationAt + 4 + 12 + 1 + 4 + 2 + 2, 7);
        QTest::newRow("image index") << badIndex << "image 7, which does not exist";

        QByteArray zeroSize = good;
        setLe32(zeroSize, le32At(good, locatorAt(0)) + 28, 0);
        QTest::newRow("no size") << zeroSize << "size 0 x";
    }

    void damagedFilesAreRefused()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        QString error;
        QVERIFY(!AcsReader::read(file, &error));
        QVERIFY2(error.contains(reason), qPrintable(error));
    }

    // Every cut of a real file, and random damage to it, ends in an error or a character, never a crash.
    void everyTruncationAndCorruptionIsSafe()
    {
        const QByteArray file = AcsWriter::write(sample());
        for (qsizetype cut = 0; cut < file.size(); ++cut)
            QVERIFY(!AcsReader::read(file.left(cut)));
        QRandomGenerator random(7);
        for (int round = 0; round < 3000; ++round) {
            QByteArray damaged = file;
            for (int i = 0; i < 4; ++i)
                damaged[random.bounded(int(damaged.size()))] = char(random.bounded(256));
            QString error;
            const std::optional<Character> read = AcsReader::read(damaged, &error);
            QVERIFY(read || !error.isEmpty());
            if (read) {
                for (const CharacterAnimation &animation : read->animations) {
                    for (const CharacterFrame &frame : animation.frames)
                        read->composeFrame(frame, MouthOverlay::Wide2);
                }
            }
        }
    }

    void fileErrors()
    {
        QString error;
        QVERIFY(!AcsReader::readFile(QStringLiteral("/nonexistent/Helper.acs"), &error));
        QVERIFY(error.contains(QStringLiteral("/nonexistent/Helper.acs")));
        QVERIFY(!AcsReader::readFile(QStringLiteral("/dev/zero"), &error));
    }
};

QTEST_GUILESS_MAIN(TestCharacter)
#include "tst_character.moc"
