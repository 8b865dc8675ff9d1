#include "widgets/SkinnedFrame.h"

#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

Q_DECLARE_METATYPE(TitleButtonKind)

// A frameless tool window as the program's windows build it: a frame filling it, limits on its size.
class FramedWindow final : public QWidget
{
public:
    FramedWindow() : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint), frame(new SkinnedFrame(this))
    {
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(frame);
        body = new QWidget(frame);
        body->setGeometry(4, 27, 100, 40);
        setMinimumSize(130, 50);
        setMaximumSize(400, 300);
        setGeometry(100, 100, 226, 152);
        frame->setCaption(QStringLiteral("信息"));
    }
    SkinnedFrame *frame;
    QWidget *body;
};

class TestSkinnedFrame : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FramedWindow> window;

    void drag(QWidget *widget, QPoint from, QPoint by)
    {
        QTest::mousePress(widget, Qt::LeftButton, {}, from);
        QTest::mouseMove(widget, from + by);
        QTest::mouseRelease(widget, Qt::LeftButton, {}, from + by);
    }

private Q_SLOTS:
    void init()
    {
        window = std::make_unique<FramedWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { window.reset(); }

    void buttonsAreNumberedInTheOrderAdded()
    {
        SkinnedFrame *frame = window->frame;
        QCOMPARE(frame->titleButtonCount(), 3);
        QCOMPARE(frame->titleButton(0)->kind(), TitleButtonKind::ControlBox);
        QCOMPARE(frame->titleButton(1)->kind(), TitleButtonKind::Close);
        QCOMPARE(frame->titleButton(2)->kind(), TitleButtonKind::Maximize);
        QCOMPARE(frame->addTitleButton(TitleButtonKind::Custom), 3);
        QCOMPARE(frame->addTitleButton(TitleButtonKind::Custom), 4);
        QCOMPARE(frame->findChild<TitleButton *>(QStringLiteral("titleButton4")), frame->titleButton(4));
        QCOMPARE(frame->titleButton(5), nullptr);
        QCOMPARE(frame->titleButton(-1), nullptr);
    }

    void buttonsSitInsideTheTitleBar()
    {
        SkinnedFrame *frame = window->frame;
        frame->addTitleButton(TitleButtonKind::Minimize);
        frame->addTitleButton(TitleButtonKind::Custom);
        const QRect bar = frame->titleBarRect();
        for (int i = 0; i < frame->titleButtonCount(); ++i) {
            QVERIFY2(bar.contains(frame->titleButton(i)->geometry()), qPrintable(QString::number(i)));
            for (int j = 0; j < i; ++j)
                QVERIFY(!frame->titleButton(i)->geometry().intersects(frame->titleButton(j)->geometry()));
        }
        // Close is outermost on the right; a hidden button gives its place to the next one.
        const QRect maximize = frame->titleButton(2)->geometry();
        QVERIFY(frame->titleButton(1)->geometry().left() > maximize.left());
        frame->setTitleButtonVisible(2, false);
        QCOMPARE(frame->titleButton(4)->geometry(), maximize);
    }

    void clickReportsIndexThenActs_data()
    {
        QTest::addColumn<TitleButtonKind>("kind");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("zoomed");
        QTest::addColumn<bool>("rolledUp");
        QTest::newRow("close") << TitleButtonKind::Close << true << false << false;
        QTest::newRow("maximise") << TitleButtonKind::Maximize << false << true << false;
        QTest::newRow("minimise") << TitleButtonKind::Minimize << false << false << true;
        QTest::newRow("custom") << TitleButtonKind::Custom << false << false << false;
    }
    void clickReportsIndexThenActs()
    {
        QFETCH(TitleButtonKind, kind);
        QFETCH(bool, closed);
        QFETCH(bool, zoomed);
        QFETCH(bool, rolledUp);
        SkinnedFrame *frame = window->frame;
        const int index = frame->addTitleButton(kind, {}, QStringLiteral("i"));
        QSignalSpy clicked(frame, &SkinnedFrame::titleButtonClicked);
        QTest::mouseClick(frame->titleButton(index), Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).toInt(), index);
        QCOMPARE(!window->isVisible(), closed);
        QCOMPARE(frame->isZoomed(), zoomed);
        QCOMPARE(frame->isRolledUp(), rolledUp);
    }

    void controlBoxOpensItsMenu()
    {
        SkinnedFrame *frame = window->frame;
        QSignalSpy clicked(frame, &SkinnedFrame::titleButtonClicked);
        QTest::mouseClick(frame->titleButton(SkinnedFrame::ControlBoxButton), Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).toInt(), 0);
        auto *windowMenu = frame->findChild<QMenu *>(QStringLiteral("windowMenu"));
        QVERIFY(windowMenu);
        QTRY_VERIFY(windowMenu->isVisible());
        windowMenu->close();

        QMenu faces;
        faces.addAction(QStringLiteral("face"));
        frame->setControlMenu(&faces);
        QTest::mouseClick(frame->titleButton(SkinnedFrame::ControlBoxButton), Qt::LeftButton);
        QTRY_VERIFY(faces.isVisible());
        QVERIFY(!windowMenu->isVisible());
        faces.close();
    }

    void draggingTheTitleBarMovesTheWindow()
    {
        const QPoint start = window->pos();
        drag(window->frame, QPoint(80, 12), QPoint(30, 20));
        QCOMPARE(window->pos(), start + QPoint(30, 20));
        QCOMPARE(window->size(), QSize(226, 152));
        // The body is not a handle.
        drag(window->frame, QPoint(150, 110), QPoint(30, 20));
        QCOMPARE(window->pos(), start + QPoint(30, 20));
    }

    void edgesResizeWithinLimits_data()
    {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("by");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("right wider") << QPoint(224, 110) << QPoint(40, 0) << QRect(100, 100, 266, 152);
        QTest::newRow("right past maximum") << QPoint(224, 110) << QPoint(900, 0) << QRect(100, 100, 400, 152);
        QTest::newRow("right past minimum") << QPoint(224, 110) << QPoint(-900, 0) << QRect(100, 100, 130, 152);
        QTest::newRow("left keeps right edge") << QPoint(1, 110) << QPoint(-30, 0) << QRect(70, 100, 256, 152);
        QTest::newRow("left past minimum") << QPoint(1, 110) << QPoint(500, 0) << QRect(196, 100, 130, 152);
        QTest::newRow("bottom") << QPoint(150, 150) << QPoint(0, 48) << QRect(100, 100, 226, 200);
        QTest::newRow("bottom past minimum") << QPoint(150, 150) << QPoint(0, -500) << QRect(100, 100, 226, 50);
        QTest::newRow("top past maximum") << QPoint(150, 1) << QPoint(0, -500) << QRect(100, -48, 226, 300);
        QTest::newRow("bottom-right corner") << QPoint(225, 151) << QPoint(10, 20) << QRect(100, 100, 236, 172);
    }
    void edgesResizeWithinLimits()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, by);
        QFETCH(QRect, expected);
        drag(window->frame, from, by);
        QCOMPARE(window->geometry(), expected);
        QCOMPARE(window->frame->geometry(), QRect(QPoint(0, 0), expected.size()));
    }

    void maximiseFillsTheScreenAndRestores()
    {
        SkinnedFrame *frame = window->frame;
        const QRect normal = window->geometry();
        const QRect available = window->screen()->availableGeometry();
        frame->setZoomed(true);
        QCOMPARE(window->geometry(), QRect(available.topLeft(), available.size().boundedTo(QSize(400, 300))));
        QVERIFY(frame->titleButton(SkinnedFrame::MaximizeButton)->isAlternate());
        // No dragging while maximised.
        const QPoint zoomedAt = window->pos();
        drag(frame, QPoint(80, 12), QPoint(30, 20));
        QCOMPARE(window->pos(), zoomedAt);
        // A double click on the title bar restores.
        QTest::mouseDClick(frame, Qt::LeftButton, {}, QPoint(80, 12));
        QVERIFY(!frame->isZoomed());
        QCOMPARE(window->geometry(), normal);
    }

    void minimiseRollsUpIntoTheTitleBar()
    {
        SkinnedFrame *frame = window->frame;
        const int minimize = frame->addTitleButton(TitleButtonKind::Minimize);
        auto *hiddenBefore = new QWidget(frame);
        hiddenBefore->hide();
        const QRect normal = window->geometry();
        QTest::mouseClick(frame->titleButton(minimize), Qt::LeftButton);
        QCOMPARE(window->geometry(), QRect(normal.topLeft(), QSize(226, 2 + SkinnedFrame::TitleBarHeight)));
        QVERIFY(window->body->isHidden());
        QVERIFY(frame->titleButton(SkinnedFrame::CloseButton)->isVisible());
        // Only the width can change while rolled up.
        drag(frame, QPoint(225, 25), QPoint(20, 40));
        QCOMPARE(window->size(), QSize(246, 2 + SkinnedFrame::TitleBarHeight));
        QTest::mouseClick(frame->titleButton(minimize), Qt::LeftButton);
        QCOMPARE(window->geometry(), QRect(normal.topLeft(), QSize(246, 152)));
        QCOMPARE(window->minimumSize(), QSize(130, 50));
        QCOMPARE(window->maximumSize(), QSize(400, 300));
        QVERIFY(!window->body->isHidden());
        QVERIFY(hiddenBefore->isHidden());
    }

    void closeFromAHandlerIsSafe()
    {
        // A window may delete itself from the click signal; the frame must not touch itself afterwards.
        SkinnedFrame *frame = window->frame;
        const int custom = frame->addTitleButton(TitleButtonKind::Close);
        connect(frame, &SkinnedFrame::titleButtonClicked, this, [this] { window.reset(); });
        frame->titleButton(custom)->click();
        QVERIFY(!window);
    }
};

QTEST_MAIN(TestSkinnedFrame)
#include "tst_skinnedframe.moc"
