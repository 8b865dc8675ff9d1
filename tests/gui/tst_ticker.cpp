#include "base/Cp950.h"
#include "richtext/DocumentPictures.h"
#include "richtext/RtfPicture.h"
#include "shell/BroadcastBand.h"
#include "shell/TForm_Broadcasting.h"
#include "tests/support/BigPictureRtf.h"
#include "tests/support/CodePage.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

namespace {
QByteArray rtf(const QByteArray &body)
{
    return "{\\rtf1\\ansi\\ansicpg950\\deff0{\\fonttbl{\\f0\\fnil\\fcharset136 MS Sans Serif;}}\\pard\\f0\\fs20 " +
           body + "\\par}";
}
// Whether the one picture of a band's body was decoded, rather than shown as a placeholder.
bool pictureDecoded(const BroadcastBand *band)
{
    const QTextDocument &document = *band->view()->document();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat())
                return DocumentPictures::imageOf(document, format.toImageFormat()) != RtfPicture::placeholder();
        }
    }
    return false;
}
void sendMove(QWidget *target, QPointF global)
{
    QMouseEvent move(QEvent::MouseMove, target->mapFromGlobal(global), global, Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(target, &move);
}
} // namespace

class TestTicker : public QObject
{
    Q_OBJECT

    bool autoHide = false;
    std::unique_ptr<TForm_Broadcasting> open()
    {
        auto ticker = std::make_unique<TForm_Broadcasting>([this] { return autoHide; });
        ticker->setAttribute(Qt::WA_DeleteOnClose, false);
        ticker->show();
        return ticker;
    }
    static QTextEdit *stripView(TForm_Broadcasting &t)
    {
        return t.findChild<QTextEdit *>(QStringLiteral("RxRichEdit_Broadcasting"));
    }

private Q_SLOTS:
    void init() { autoHide = false; }

    void opensFoldedAtTheTopWithTheGreeting()
    {
        auto ticker = open();
        QCOMPARE(ticker->size(), QSize(218, 21));
        QCOMPARE(ticker->y(), 0);
        QCOMPARE(ticker->x(), ticker->screen()->geometry().width() - 218 - 60);
        const QString text = stripView(*ticker)->toPlainText();
        QVERIFY2(text.endsWith(QStringLiteral("~~~Version II")), qPrintable(text));
        QVERIFY(ticker->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(ticker->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(TForm_Broadcasting::greetingRtf().contains(
            "{\\pict\\wmetafile8\\picw423\\pich423\\picwgoal240\\pichgoal240 "));
    }

    // The greeting goes round once and then stands where it started, costing nothing; the pictures beside it
    // keep moving. A broadcast sets the strip going again, and so does dragging the greeting.
    void greetingGoesRoundOnce()
    {
        auto ticker = open();
        QVERIFY(ticker->stripInSight());
        QVERIFY(ticker->moveTimer()->isActive());
        QVERIFY(ticker->pictureTimer()->isActive());
        int steps = 0;
        for (; steps < 5000 && ticker->moveTimer()->isActive(); ++steps)
            ticker->Timer_MoveTimer();
        QVERIFY(ticker->greetingAtRest());
        QCOMPARE(ticker->strip()->x(), 0);
        QCOMPARE(steps, ticker->strip()->width() + 2 + TForm_Broadcasting::ViewportWidth);
        QVERIFY(ticker->pictureTimer()->isActive());

        QTest::mousePress(ticker->strip(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(ticker->strip(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(ticker->moveTimer()->isActive());
        ticker->Timer_MoveTimer();
        QCOMPARE(ticker->strip()->x(), -1);

        ticker->ShowBroadcast("a", "10:00", rtf("abc"));
        QVERIFY(!ticker->greetingAtRest());
        for (int i = 0; i < 2000; ++i)
            ticker->Timer_MoveTimer();
        QVERIFY(ticker->moveTimer()->isActive()); // a broadcast goes round for ever
    }

    void bandsAndTheirCaptions()
    {
        auto ticker = open();
        ticker->ShowBroadcast(big5(u"小明"), "10:05", rtf("hello"));
        ticker->ShowBroadcast(QByteArray(), "10:06", "plain text body");
        QCOMPARE(ticker->bandCount(), 2);
        const auto bands = ticker->findChildren<BroadcastBand *>();
        QCOMPARE(bands.size(), 2);
        QCOMPARE(bands.at(0)->caption(), QStringLiteral("昵稱:小明 日期:10:05"));
        QCOMPARE(bands.at(1)->caption(), QStringLiteral("昵稱: 日期:10:06"));
        QCOMPARE(bands.at(0)->lineCount(), 1);
        QCOMPARE(bands.at(0)->height(), 17 + 35);

        // A long body wraps in the list, and its band grows by 17 pixels a line.
        ticker->ShowBroadcast("x", "10:07", rtf(QByteArray(400, 'w')));
        BroadcastBand *last = ticker->findChildren<BroadcastBand *>().last();
        QVERIFY(last->lineCount() > 3);
        QCOMPARE(last->height(), 17 * last->lineCount() + 35);
        last->setFolded(true);
        QCOMPARE(last->height(), 17);
        last->setFolded(false);
        QCOMPARE(last->height(), last->unfoldedHeight());

        QCOMPARE(ticker->height(), 21); // a broadcast never opens the list
    }

    void listKeepsTheNewestBands()
    {
        auto ticker = open();
        constexpr int Kept = TForm_Broadcasting::MaxBands;
        for (int i = 1; i <= Kept + 20; ++i)
            ticker->ShowBroadcast("peer", QByteArray::number(i), rtf("body " + QByteArray::number(i)));
        QCOMPARE(ticker->bandCount(), Kept);
        const auto bands = ticker->findChildren<BroadcastBand *>();
        QCOMPARE(bands.size(), Kept);
        QCOMPARE(bands.first()->caption(), QStringLiteral("昵稱:peer 日期:21"));
        QCOMPARE(bands.last()->caption(), QStringLiteral("昵稱:peer 日期:%1").arg(Kept + 20));
        QCOMPARE(stripView(*ticker)->toPlainText(), QStringLiteral("body %1").arg(Kept + 20));
    }

    void picturesShareOneBudget()
    {
        // A picture of 2048 × 2048 costs a quarter of the ticker's pixels in its band and again in the strip.
        auto ticker = open();
        const QByteArray picture = bigPictureRtf(2048);
        for (int i = 0; i < 4; ++i)
            ticker->ShowBroadcast("peer", "10:00", picture);
        auto bands = ticker->findChildren<BroadcastBand *>();
        QCOMPARE(bands.size(), 4);
        QVERIFY(pictureDecoded(bands[0]) && pictureDecoded(bands[1]) && pictureDecoded(bands[2]));
        QVERIFY(!pictureDecoded(bands[3]));
        QCOMPARE(ticker->pictureBudget().spent(), TForm_Broadcasting::PicturePixels);

        // Bands that leave the list give their pixels back.
        for (int i = 0; i < TForm_Broadcasting::MaxBands; ++i)
            ticker->ShowBroadcast("peer", "10:01", rtf("text"));
        QCOMPARE(ticker->pictureBudget().spent(), 0);
        ticker->ShowBroadcast("peer", "10:02", picture);
        QVERIFY(pictureDecoded(ticker->findChildren<BroadcastBand *>().last()));
    }

    void stripWidths()
    {
        auto ticker = open();
        ticker->ShowBroadcast("a", "10:00", rtf("."));
        QCOMPARE(ticker->strip()->width(), 17);
        QCOMPARE(ticker->strip()->x(), -162);
        QCOMPARE(ticker->tickerLeft(), -162);

        ticker->ShowBroadcast("a", "10:00", rtf(QByteArray(300, 'm')));
        QTextEdit *view = stripView(*ticker);
        QVERIFY(ticker->strip()->width() > 162);
        QVERIFY(ticker->strip()->width() >= view->document()->idealWidth());
        QCOMPARE(view->document()->blockCount(), 1);

        // A very long body shows its start; the rest would only scroll by for many minutes. In the list, a
        // run this long without a place to wrap is laid out in pieces.
        ticker->ShowBroadcast("a", "10:00", rtf("start" + QByteArray(100'000, 'm') + "\\par end"));
        QVERIFY(view->document()->characterCount() <= TForm_Broadcasting::MaxStripCharacters + 1);
        QVERIFY(view->toPlainText().startsWith(QStringLiteral("startmmm")));
        QVERIFY(ticker->strip()->width() >= view->document()->idealWidth());

        // Several paragraphs and line breaks scroll past as one line.
        ticker->ShowBroadcast("a", "10:00", rtf("first\\par second\\line third"));
        QCOMPARE(view->document()->blockCount(), 1);
        QVERIFY(view->toPlainText().startsWith(QStringLiteral("first")));
        QVERIFY(view->toPlainText().endsWith(QStringLiteral("third")));
    }

    void scrollingWrapsAround()
    {
        auto ticker = open();
        // A short text starts wholly out on the left, so the first step brings it in from the right.
        ticker->ShowBroadcast("a", "10:00", rtf("abc"));
        ticker->Timer_MoveTimer();
        QCOMPARE(ticker->strip()->x(), 162);

        ticker->ShowBroadcast("a", "10:00", rtf(QByteArray(300, 'm')));
        const int width = ticker->strip()->width();
        ticker->Timer_MoveTimer();
        QCOMPARE(ticker->strip()->x(), -163);
        for (int i = 0; i < 100000 && ticker->strip()->x() >= -width; ++i)
            ticker->Timer_MoveTimer();
        QCOMPARE(ticker->strip()->x(), -width - 1);
        ticker->Timer_MoveTimer();
        QCOMPARE(ticker->strip()->x(), 162);
        QCOMPARE(ticker->tickerLeft(), 162);
    }

    void draggingTheStrip()
    {
        auto ticker = open();
        ticker->ShowBroadcast("a", "10:00", rtf("abcdef"));
        QWidget *strip = ticker->strip();
        strip->move(10, 0);
        ticker->Timer_MoveTimer(); // TickerLeft follows the strip: 9
        QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(ticker->tickerDragging());
        QVERIFY(!ticker->moveTimer()->isActive());

        const QPointF start = strip->mapToGlobal(QPointF(5, 5));
        sendMove(strip, start - QPointF(30, 0));
        QCOMPARE(strip->x(), 9 - 30);

        // Dragged left past its right end it re-enters at the viewport's right edge, and the other way round.
        sendMove(strip, start - QPointF(2000, 0));
        QCOMPARE(strip->x(), 162);
        sendMove(strip, start - QPointF(1950, 0));
        QCOMPARE(strip->x(), -strip->width());

        QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!ticker->tickerDragging());
        QVERIFY(ticker->moveTimer()->isActive());
    }

    void listButton()
    {
        auto ticker = open();
        auto *button = ticker->findChild<QWidget *>(QStringLiteral("Panel1"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(ticker->height(), 21); // nothing to show yet
        ticker->ShowBroadcast("a", "10:00", rtf("x"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(ticker->height(), 147);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(ticker->height(), 21);
    }

    // The list button keeps its presses: a drag that starts on it moves nothing, and no move state outlives
    // the release.
    void dragFromTheListButtonMovesNothing()
    {
        auto ticker = open();
        auto *button = ticker->findChild<QWidget *>(QStringLiteral("Panel1"));
        const QPoint before = ticker->pos();
        const QPoint centre = button->rect().center();
        QTest::mousePress(button, Qt::LeftButton, {}, centre);
        sendMove(button, button->mapToGlobal(QPointF(centre)) + QPointF(-40, 200));
        QCOMPARE(ticker->pos(), before);
        QTest::mouseRelease(button, Qt::LeftButton, {}, centre);
        QVERIFY(!ticker->movingWindow());

        const QPointF below = ticker->mapToGlobal(QPointF(5, 300));
        QMouseEvent hover(QEvent::MouseMove, ticker->mapFromGlobal(below), below, Qt::NoButton, Qt::NoButton, {});
        QApplication::sendEvent(ticker.get(), &hover);
        QCOMPARE(ticker->pos(), before);

        // A window move whose release went astray is over at the next press that is not on the window itself.
        QTest::mousePress(ticker.get(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(ticker->movingWindow());
        ticker->ShowBroadcast("a", "10:00", rtf("x"));
        ticker->Panel1Click();
        auto *list = ticker->findChild<QWidget *>(QStringLiteral("XPTask_Broadcasting"));
        QTest::mousePress(list, Qt::LeftButton, {}, QPoint(0, 60));
        QVERIFY(!ticker->movingWindow());
        sendMove(list, list->mapToGlobal(QPointF(0, 60)) + QPointF(30, 30));
        QCOMPARE(ticker->pos(), before);
    }

    // Covered whole by another window on a real X server, the strip stops scrolling and animating, and goes on
    // once uncovered. tests/x11/test_ticker_x11.sh runs this under Xvfb; offscreen nothing covers a window.
    void coveredStripRests()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server");
        auto ticker = open();
        QVERIFY(QTest::qWaitForWindowExposed(ticker.get()));
        QVERIFY(ticker->moveTimer()->isActive() && ticker->pictureTimer()->isActive());
        QWidget cover(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        cover.setGeometry(ticker->frameGeometry().adjusted(-10, -10, 10, 10));
        cover.show();
        QTRY_VERIFY(!ticker->pictureTimer()->isActive());
        QVERIFY(!ticker->moveTimer()->isActive());
        cover.hide();
        QTRY_VERIFY(ticker->pictureTimer()->isActive());
        QVERIFY(ticker->moveTimer()->isActive());
    }

    // Minimised and restored by the window manager, or hidden and shown, the ticker stays where the user put
    // it and keeps showing the latest broadcast: placement and greeting belong to its first showing.
    void showingAgainKeepsPlaceAndStrip()
    {
        autoHide = true;
        auto ticker = open();
        ticker->ShowBroadcast("a", "10:00", rtf("latest"));
        ticker->move(100, 300);
        ticker->setWindowState(Qt::WindowMinimized);
        ticker->setWindowState(Qt::WindowNoState);
        QCOMPARE(ticker->pos(), QPoint(100, 300));
        QCOMPARE(stripView(*ticker)->toPlainText(), QStringLiteral("latest"));
        ticker->hide();
        QVERIFY(!ticker->moveTimer()->isActive());
        QVERIFY(!ticker->pictureTimer()->isActive());
        ticker->show();
        QVERIFY(ticker->moveTimer()->isActive());
        QCOMPARE(ticker->pos(), QPoint(100, 300));
        QCOMPARE(stripView(*ticker)->toPlainText(), QStringLiteral("latest"));
    }

    void autoHideRules()
    {
        autoHide = true;
        auto ticker = open();
        QCOMPARE(ticker->HiddenTop(), 1 - 21);
        QCOMPARE(ticker->y(), ticker->HiddenTop());
        // Above the edge only the frame's bottom row shows: nothing scrolls or animates out of sight, and a
        // broadcast waits at its start.
        auto stillOutOfSight = [&ticker] {
            return !ticker->stripInSight() && !ticker->moveTimer()->isActive() && !ticker->pictureTimer()->isActive();
        };
        QVERIFY(stillOutOfSight());
        ticker->ShowBroadcast("a", "10:00", rtf("while hidden"));
        QVERIFY(stillOutOfSight());
        QCOMPARE(ticker->strip()->x(), -162);

        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(ticker.get(), &enter);
        QCOMPARE(ticker->y(), 0);
        QVERIFY(ticker->moveTimer()->isActive());
        QVERIFY(ticker->pictureTimer()->isActive());

        QCursor::setPos(ticker->geometry().center() + QPoint(0, 200));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(ticker.get(), &leave);
        QCOMPARE(ticker->y(), ticker->HiddenTop());
        QVERIFY(stillOutOfSight());

        // A ticker moved away from the top edge is never hidden, not even by the switch.
        ticker->move(ticker->x(), 1);
        QApplication::sendEvent(ticker.get(), &leave);
        QCOMPARE(ticker->y(), 1);
        ticker->autoHideSwitched(true);
        QCOMPARE(ticker->y(), 1);

        ticker->move(ticker->x(), 0);
        ticker->autoHideSwitched(true);
        QCOMPARE(ticker->y(), ticker->HiddenTop());
        ticker->autoHideSwitched(false);
        QCOMPARE(ticker->y(), 0);

        autoHide = false;
        QApplication::sendEvent(ticker.get(), &leave);
        QCOMPARE(ticker->y(), 0);
    }

    void movingSnapsToTheWorkArea()
    {
        auto ticker = open();
        const QRect work = ticker->screen()->availableGeometry();
        QTest::mousePress(ticker.get(), Qt::LeftButton, {}, QPoint(5, 5)); // the left box passes presses on
        sendMove(ticker.get(), QPointF(work.left() + 12 + 5, 300));
        QCOMPARE(ticker->x(), work.left());
        QCOMPARE(ticker->y(), 295);
        sendMove(ticker.get(), QPointF(work.left() + 40, 300));
        QCOMPARE(ticker->x(), work.left() + 35);
        QTest::mouseRelease(ticker.get(), Qt::LeftButton, {}, QPoint(5, 5));
    }
};

QTEST_MAIN(TestTicker)
#include "tst_ticker.moc"
