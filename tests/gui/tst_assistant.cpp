#include "base/Cp950.h"
#include "shell/assistant/CharacterSounds.h"
#include "shell/assistant/DesktopAssistant.h"
#include "shell/assistant/SpeechBackend.h"
#include "shell/assistant/SpeechBalloon.h"
#include "shell/assistant/SpeechQueue.h"
#include "shell/assistant/TextToSpeechBackend.h"
#include "shell/character/AcsReader.h"
#include "tests/support/RecordingSpeech.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

namespace {
QString helperPath()
{
    return qEnvironmentVariable("PARLUNE_SOURCE_DIR") + QStringLiteral("/resources/character/Helper.acs");
}

// A character of one 8 x 8 image whose animation "Loop" goes round for ever, also when asked to leave.
std::shared_ptr<const Character> loopingCharacter()
{
    Character c;
    c.width = c.height = 8;
    c.palette = {qRgb(0, 0, 0), qRgb(255, 0, 0)};
    c.transparentIndex = 0;
    c.images.append({8, 8, QByteArray(64, '\1'), 1});
    CharacterAnimation loop;
    loop.name = QStringLiteral("Loop");
    for (int i = 0; i < 3; ++i) {
        CharacterFrame frame;
        frame.images = {{0, 0, 0}};
        frame.duration = 1;
        frame.exitFrame = (i + 1) % 3;
        loop.frames.append(frame);
    }
    loop.frames[2].branches = {{0, 100}};
    CharacterAnimation other = loop;
    other.name = QStringLiteral("Other");
    other.frames = {loop.frames.first()};
    other.frames[0].exitFrame = CharacterFrame::NoExit;
    CharacterAnimation speaking = loop;
    speaking.name = QStringLiteral("Speaking");
    c.animations = {loop, other, speaking};
    return std::make_shared<const Character>(std::move(c));
}
} // namespace

class TestAssistant : public QObject
{
    Q_OBJECT

    RecordingSpeech *voice = nullptr;
    std::unique_ptr<DesktopAssistant> assistant;
    QStringList played;

    void loadHelper()
    {
        QString error;
        QVERIFY2(assistant->load(QStringLiteral("Helper"), helperPath(), &error), qPrintable(error));
        connect(assistant->window(), &CharacterWindow::animationStarted, this,
                [this](const QString &name) { played.append(name); });
    }
    void showAndRest()
    {
        QVERIFY(assistant->show());
        QTRY_COMPARE(assistant->window()->animationName(), QStringLiteral("RestPose"));
    }

private Q_SLOTS:
    void init()
    {
        auto fake = std::make_unique<RecordingSpeech>();
        voice = fake.get();
        assistant = std::make_unique<DesktopAssistant>(std::move(fake));
        played.clear();
    }
    void cleanup() { assistant.reset(); }

    void identifiersAndTheBroadcastText()
    {
        QCOMPARE(DesktopAssistant::characterIdOf(QStringLiteral("C:\\Program Files\\Parlune\\Helper.acs")),
                 QStringLiteral("Helper"));
        QCOMPARE(DesktopAssistant::characterIdOf(QStringLiteral("D:Owl.big.acs")), QStringLiteral("Owl"));
        QCOMPARE(DesktopAssistant::characterIdOf(QStringLiteral("/usr/share/parlune/Owl")), QStringLiteral("Owl"));
        QCOMPARE(DesktopAssistant::broadcastSpeech(QStringLiteral("小明"), QStringLiteral("開會")),
                 QStringLiteral("暱稱：小明\r內容：開會"));
    }

    void showingPlaysShowingThenRestsThenIdles()
    {
        loadHelper();
        QSignalSpy shown(assistant.get(), &DesktopAssistant::shown);
        CharacterWindow *window = assistant->window();
        QSignalSpy sounds(window, &CharacterWindow::soundCue);
        window->setIdleInterval(0, 0);
        QVERIFY(assistant->show());
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.at(0).at(0).toString(), QStringLiteral("Helper"));
        QVERIFY(window->isVisible());
        QCOMPARE(played.value(0), QStringLiteral("Showing"));
        QTRY_VERIFY(played.contains(QStringLiteral("RestPose")));
        QTRY_VERIFY(played.filter(QStringLiteral("Idle")).size() > 0);
        QCOMPARE(played.indexOf(QStringLiteral("RestPose")), 1);
        // The showing animation starts with a sound of the character's own.
        QVERIFY(!sounds.isEmpty());
        QCOMPARE(sounds.first().at(0).toInt(), window->character()->animation(u"Showing")->frames.first().sound);
        QCOMPARE(assistant->sounds()->loaded(), 1);

        // A borderless, translucent window of the character's size, outside the taskbar, above the rest.
        QCOMPARE(window->size(), QSize(assistant->width(), assistant->height()));
        const Qt::WindowFlags flags = window->windowFlags();
        QVERIFY(flags.testFlag(Qt::FramelessWindowHint) && flags.testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(window->windowType(), Qt::Tool);
        QVERIFY(window->testAttribute(Qt::WA_TranslucentBackground));
        // Clicks reach the character only where it is drawn.
        const QImage frame = window->frameImage();
        QCOMPARE(qAlpha(frame.pixel(0, 0)), 0);
        QVERIFY(!window->mask().contains(QPoint(0, 0)));
        QPoint opaque(-1, -1);
        for (int y = 0; y < frame.height() && opaque.x() < 0; ++y)
            for (int x = 0; x < frame.width() && opaque.x() < 0; ++x)
                if (qAlpha(frame.pixel(x, y)) == 255)
                    opaque = {x, y};
        QVERIFY(window->mask().contains(opaque));

        // Showing again while shown changes nothing.
        QVERIFY(assistant->show());
        QCOMPARE(shown.size(), 1);
    }

    void hidingPlaysHidingAndTellsWhy()
    {
        loadHelper();
        QSignalSpy hidden(assistant.get(), &DesktopAssistant::hidden);
        showAndRest();
        assistant->window()->move(40, 50);
        QVERIFY(assistant->hide());
        QCOMPARE(played.last(), QStringLiteral("Hiding"));
        QTRY_COMPARE(hidden.size(), 1);
        QVERIFY(!assistant->window()->isVisible());
        QCOMPARE(hidden.at(0).at(1).value<CharacterWindow::Cause>(), CharacterWindow::Cause::Program);
        QVERIFY(assistant->hide());
        QTest::qWait(50);
        QCOMPARE(hidden.size(), 1);

        // Shown again where it was left; then the user hides it through its own menu.
        showAndRest();
        QCOMPARE(assistant->window()->pos(), QPoint(40, 50));
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 5),
                                    assistant->window()->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(assistant->window(), &menuEvent);
        auto *menu = assistant->window()->findChild<QMenu *>(QStringLiteral("characterMenu"));
        QVERIFY(menu && menu->isVisible());
        menu->findChild<QAction *>(QStringLiteral("hideAction"))->trigger();
        menu->hide();
        QTRY_COMPARE(hidden.size(), 2);
        QCOMPARE(hidden.at(1).at(1).value<CharacterWindow::Cause>(), CharacterWindow::Cause::User);
    }

    void draggedWithTheLeftButton()
    {
        loadHelper();
        showAndRest();
        CharacterWindow *window = assistant->window();
        window->move(100, 100);
        QTest::mousePress(window, Qt::LeftButton, {}, QPoint(10, 10));
        QMouseEvent move(QEvent::MouseMove, QPointF(30, 25), window->mapToGlobal(QPointF(30, 25)), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(window, &move);
        QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(30, 25));
        QCOMPARE(window->pos(), QPoint(120, 115));
    }

    void placedAboveThePanelAtTheBottomRight()
    {
        loadHelper();
        QVERIFY(assistant->placeAboveTaskbar());
        const QScreen *screen = assistant->window()->screen();
        const int panel = screen->geometry().bottom() - screen->availableGeometry().bottom();
        QCOMPARE(assistant->window()->pos(), QPoint(screen->geometry().width() - assistant->width() - 5,
                                                    screen->geometry().height() - assistant->height() - panel));
        QVERIFY(assistant->moveTo(12, 34));
        QCOMPARE(assistant->window()->pos(), QPoint(12, 34));
    }

    void broadcastsAreQueuedAndSpokenInOrder()
    {
        loadHelper();
        QVERIFY(assistant->placeAboveTaskbar());
        showAndRest();
        QVERIFY(assistant->speakBroadcast(QStringLiteral("甲"), QStringLiteral("第一則")));
        QVERIFY(assistant->speakBroadcast(QStringLiteral("乙"), QStringLiteral("第二則")));
        const QString first = QStringLiteral("暱稱：甲\r內容：第一則");
        QCOMPARE(voice->said, QStringList{first});
        QCOMPARE(assistant->speech()->pending(), 1);
        // Speech first, then the greeting; the character talks while nothing else is asked of it.
        QTRY_VERIFY(played.contains(QStringLiteral("Greet")));
        QTRY_COMPARE(played.last(), QStringLiteral("Speaking"));
        // The balloon reads along, the name on a line of its own.
        SpeechBalloon *balloon = assistant->balloon();
        QVERIFY(balloon->isVisible());
        QCOMPARE(balloon->pageText().section(QLatin1Char('\n'), 0, 0), QStringLiteral("暱稱：甲"));
        QVERIFY(balloon->geometry().bottom() < assistant->window()->geometry().top());

        voice->finish();
        QCOMPARE(voice->said, (QStringList{first, QStringLiteral("暱稱：乙\r內容：第二則")}));
        QTRY_COMPARE(played.count(QStringLiteral("Greet")), 2);
        voice->finish();
        QVERIFY(!assistant->speech()->isBusy());
        QTRY_VERIFY(!balloon->isVisible());
        QTRY_COMPARE(assistant->window()->animationName(), QStringLiteral("RestPose"));
    }

    void broadcastsAsTheyArrive()
    {
        loadHelper();
        // Each byte of a double-byte character escaped, as the Windows control writes them.
        auto escaped = [](const char16_t *text) {
            QByteArray out;
            for (const char byte : cp950::encode(QStringView(text)))
                out += "\\'" + QByteArray::number(quint8(byte), 16);
            return out;
        };
        const QByteArray rtf = "{\\rtf1\\ansi\\ansicpg950{\\fonttbl{\\f0\\fcharset136 x;}}\\pard\\f0 " +
                               escaped(u"開會") + "\\par " + escaped(u"三點") + "\\par}";
        QVERIFY(assistant->speakBroadcast(cp950::encode(u"小明"), rtf));
        QVERIFY(assistant->speakBroadcast(cp950::encode(u"老王"), cp950::encode(u"純文字")));
        voice->finish();
        QCOMPARE(voice->said, (QStringList{QStringLiteral("暱稱：小明\r內容：開會\r\n三點"),
                                           QStringLiteral("暱稱：老王\r內容：純文字")}));
    }

    void aHiddenCharacterStillSpeaks()
    {
        loadHelper();
        QVERIFY(assistant->speakBroadcast(QStringLiteral("甲"), QStringLiteral("隱藏時")));
        QCOMPARE(voice->said.size(), 1);
        QVERIFY(!assistant->window()->isVisible());
        QVERIFY(!assistant->balloon()->isVisible());
        // Nothing without a character.
        QVERIFY(assistant->unload(QStringLiteral("helper")));
        QString error;
        QVERIFY(!assistant->speak(QStringLiteral("x"), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!assistant->unload(QStringLiteral("Helper"), &error));
    }

    void aFailingVoiceLosesNothing()
    {
        loadHelper();
        showAndRest();
        QSignalSpy finished(assistant->speech(), &SpeechQueue::finished);
        QVERIFY(assistant->speak(QStringLiteral("一")));
        QVERIFY(assistant->speak(QStringLiteral("二")));
        voice->fail();
        // The failed text is still shown for its time, then the next one is given to the voice.
        QVERIFY(assistant->balloon()->isVisible());
        QCOMPARE(assistant->balloon()->pageText(), QStringLiteral("一"));
        QTRY_COMPARE_WITH_TIMEOUT(voice->said, (QStringList{QStringLiteral("一"), QStringLiteral("二")}), 10000);
        QCOMPARE(finished.size(), 1);

        // Without a voice, the balloon alone reads every text in turn.
        voice->finish();
        voice->available = false;
        for (const QString &text : {QStringLiteral("三"), QStringLiteral("四")})
            QVERIFY(assistant->speak(text));
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 4, 15000);
        QCOMPARE(finished.at(3).at(0).toString(), QStringLiteral("四"));
        QCOMPARE(voice->said.size(), 2);

        // The desktop's voice starts nothing (thread, plugin, speech service) until it has a text to say.
        TextToSpeechBackend desktopVoice;
        desktopVoice.stop();
        QVERIFY(!desktopVoice.isStarted());
        QVERIFY(desktopVoice.isAvailable());
    }

    void theQueueIsBounded()
    {
        loadHelper();
        int accepted = 0;
        for (int i = 0; i < SpeechQueue::MaxQueued + 10; ++i)
            accepted += assistant->speak(QString(SpeechQueue::MaxChars + 100, QLatin1Char('x'))) ? 1 : 0;
        QCOMPARE(accepted, SpeechQueue::MaxQueued + 1); // one is being spoken
        QCOMPARE(voice->said.first().size(), SpeechQueue::MaxChars);
    }

    void onlySomeSoundsStayLoaded()
    {
        auto many = std::make_shared<Character>(*loopingCharacter());
        QFile helper(helperPath());
        QVERIFY(helper.open(QIODevice::ReadOnly));
        const QByteArray wave = AcsReader::read(helper.readAll())->sounds.value(0);
        QVERIFY(!wave.isEmpty());
        for (int i = 0; i < 3 * CharacterSounds::MaxLoaded; ++i)
            many->sounds.append(wave);
        CharacterSounds player;
        player.setCharacter(many);
        for (int i = 0; i < many->sounds.size(); ++i)
            QVERIFY(player.play(i));
        QCOMPARE(player.loaded(), CharacterSounds::MaxLoaded);
        QVERIFY(!player.play(-1));
        QVERIFY(!player.play(int(many->sounds.size())));
        player.setCharacter(nullptr);
        QCOMPARE(player.loaded(), 0);
        QVERIFY(!player.play(0));
    }

    void theBalloonPagesLongTextsInTheCharactersStyle()
    {
        loadHelper();
        const CharacterBalloon style = *assistant->window()->character()->balloon;
        SpeechBalloon *balloon = assistant->balloon();
        balloon->say(QString(400, QChar(0x5B57)), 60000);
        QVERIFY(balloon->pages().size() > 1);
        for (const QString &page : balloon->pages())
            QVERIFY(page.count(QLatin1Char('\n')) < style.lines);
        QCOMPARE(balloon->page(), 0);
        balloon->finish();
        QCOMPARE(balloon->page(), balloon->pages().size() - 1);

        // One long word from a peer breaks where it must; the balloon keeps its width.
        const int width = balloon->width();
        balloon->say(QString(SpeechQueue::MaxChars, QLatin1Char('w')), 60000);
        QVERIFY2(balloon->width() <= width + 20, qPrintable(QString::number(balloon->width())));
        QVERIFY(balloon->pages().size() > 10);
    }

    void exitsOfALoopingAnimationAreBounded()
    {
        CharacterWindow window;
        window.setCharacter(loopingCharacter());
        QStringList started;
        connect(&window, &CharacterWindow::animationStarted, this,
                [&started](const QString &name) { started.append(name); });
        window.showCharacter();
        QVERIFY(window.play(QStringLiteral("Loop")));
        QCOMPARE(window.animationName(), QStringLiteral("Loop"));
        // "Loop" branches back for ever and its exits go round in a circle; a waiting request still comes.
        QVERIFY(window.play(QStringLiteral("Other")));
        QTRY_COMPARE(started, (QStringList{QStringLiteral("Loop"), QStringLiteral("Other")}));
        window.setSpeaking(true);
        QTRY_COMPARE(window.animationName(), QStringLiteral("Speaking"));
        window.setSpeaking(false);
        QTRY_VERIFY(window.animationName() != QStringLiteral("Speaking"));
        QVERIFY(!window.play(QStringLiteral("Missing")));
    }

    void aDamagedFileGivesTheReadersError()
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        QFile helper(helperPath());
        QVERIFY(helper.open(QIODevice::ReadOnly));
        file.write(helper.read(300)); // cut short
        file.close();
        QString error;
        QVERIFY(!assistant->load(QStringLiteral("Bad"), file.fileName(), &error));
        QString expected;
        QVERIFY(!AcsReader::readFile(file.fileName(), &expected));
        QCOMPARE(error, expected);
        QVERIFY(!assistant->isLoaded());
        QVERIFY(!assistant->show());

        // A file whose name gives no identifier is refused before it is read.
        QVERIFY(!assistant->load(QString(), helperPath(), &error));
        QVERIFY(error.contains(helperPath()));
        QVERIFY(!assistant->isLoaded());
    }
};

QTEST_MAIN(TestAssistant)
#include "tst_assistant.moc"
