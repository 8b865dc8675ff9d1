#include "base/Cp950.h"
#include "engine/ConsoleState.h"
#include "engine/ConsoleValues.h"
#include "engine/MemorySettingsStore.h"
#include "engine/Packet.h"
#include "game/GameLobby.h"
#include "game/GameRouter.h"
#include "game/GobangGrid.h"
#include "game/TForm_Gobang.h"
#include "game/UnknownGameBox.h"
#include "tests/support/CodePage.h"
#include "tests/support/NoticeRecorder.h"
#include "tests/support/RecordingTransport.h"
#include "widgets/RichEdit.h"
#include "widgets/SkinnedFrame.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace GameLobby;

namespace {

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

const QByteArray marker(PlayMarker);

QByteArray wire(const QByteArrayList &fields)
{
    return '\x08' + fields.join('\x08') + '\x08';
}

template <typename T> T *child(QWidget *window, const char *name)
{
    return window->findChild<T *>(QLatin1String(name));
}

// One host: its console values, what it sent, its game routing and its open game window.
struct Player
{
    Player(const QByteArray &address, const char16_t *nickname)
        : state(store, notices), values(state.values()), router(state, transport)
    {
        values.OwnAddress = address;
        values.OwnNickname = big5(nickname);
        window = new TForm_Gobang(values, transport);
        router.setSession(&window->session());
        window->show();
    }
    ~Player() { delete window.data(); }

    GobangGrid *grid() const { return child<GobangGrid>(window, "DrawGrid_Gobang"); }
    QPushButton *button(const char *name) const { return child<QPushButton>(window, name); }
    QString status() const { return child<QLabel>(window, "Label_Status")->text(); }
    QString chat() const { return child<QPlainTextEdit>(window, "Memo_Chat")->toPlainText(); }
    QMessageBox *question(const char *name) const
    {
        const auto boxes = window->findChildren<QMessageBox *>(QLatin1String(name));
        for (QMessageBox *box : boxes) {
            if (box->isVisible())
                return box;
        }
        return nullptr;
    }

    MemorySettingsStore store;
    NoticeRecorder notices;
    ConsoleState state;
    ConsoleValues &values;
    RecordingTransport transport;
    GameRouter router;
    QPointer<TForm_Gobang> window;
};

// Hands what `from` sent directly to `to` over to `to`'s routing, as over a connection from `from`.
int deliver(Player &from, Player &to)
{
    int delivered = 0;
    const auto sent = std::exchange(from.transport.direct, {});
    for (const auto &[address, packet] : sent) {
        if (address != to.values.OwnAddress) {
            from.transport.direct.append({address, packet});
            continue;
        }
        to.router.RouteGamePacket(packet, true, from.values.OwnAddress);
        ++delivered;
    }
    return delivered;
}

void hearBroadcasts(Player &from, Player &to)
{
    for (const QByteArray &packet : from.transport.broadcasts)
        to.router.RouteGamePacket(packet, false);
}

void meet(Player &a, Player &b)
{
    hearBroadcasts(a, b);
    hearBroadcasts(b, a);
    deliver(a, b);
    deliver(b, a);
}

// A invites B from its list and B accepts: A plays black.
void startGame(Player &a, Player &b)
{
    meet(a, b);
    auto *users = child<QTreeWidget>(a.window, "fcTreeView_Users");
    for (int i = 0; i < users->topLevelItemCount(); ++i) {
        if (users->topLevelItem(i)->data(0, Qt::UserRole).toByteArray() == b.values.OwnAddress)
            users->setCurrentItem(users->topLevelItem(i));
    }
    a.button("suiButton_Begin")->click();
    QCOMPARE(deliver(a, b), 1);
    QMessageBox *invitation = b.question("MessageBox_Invitation");
    QVERIFY(invitation);
    QVERIFY(invitation->text().contains(text("甲")));
    invitation->button(QMessageBox::Yes)->click();
    QCOMPARE(deliver(b, a), 1);
    QCOMPARE(a.window->session().phase(), GameSession::Phase::Playing);
    QCOMPARE(b.window->session().phase(), GameSession::Phase::Playing);
}

QPoint cellCentre(int column, int row)
{
    return {column * GobangGrid::DefaultPitch + 8, row * GobangGrid::DefaultPitch + 8};
}

bool place(Player &mover, Player &other, int column, int row)
{
    QTest::mouseClick(mover.grid(), Qt::LeftButton, {}, cellCentre(column, row));
    return deliver(mover, other) == 1;
}

void sendMouse(QWidget *widget, QEvent::Type type, QPoint global)
{
    const QPointF local = widget->mapFromGlobal(QPointF(global));
    QMouseEvent event(type, local, QPointF(global), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void screenshot(QWidget *window, const char *name)
{
    const QString folder = qEnvironmentVariable("PARLUNE_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    QTest::qWait(50); // a page just brought to the front lays its scroll bars out on the next turn
    window->grab().save(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

} // namespace

class TestGobang : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void layoutAndTexts()
    {
        Player a("10.0.0.1", u"甲");
        TForm_Gobang *w = a.window;
        QCOMPARE(w->size(), QSize(449, 305));
        QCOMPARE(child<SkinnedFrame>(w, "suiForm_Gobang")->caption(), text("妙手連珠"));
        QCOMPARE(child<QWidget>(w, "Image1")->size(), QSize(253, 253));
        QCOMPARE(a.grid()->size(), QSize(239, 239));
        QCOMPARE(a.grid()->pos(), QPoint(7, 7));
        QCOMPARE(child<QWidget>(w, "FlatPanel_B")->size(), QSize(308, 15));
        QCOMPARE(child<QWidget>(w, "Panel_Broadcasting")->width(), 306);
        QCOMPARE(child<QWidget>(w, "Panel_Move")->width(), 5365);
        QCOMPARE(child<QWidget>(w, "fcTreeView_Users")->size(), QSize(170, 109));
        QCOMPARE(child<QWidget>(w, "FlatPanel2")->size(), QSize(110, 24));
        auto *tabs = child<QTabWidget>(w, "suiTabControl1");
        QCOMPARE(tabs->size(), QSize(180, 253));
        QCOMPARE(tabs->tabText(0), text("狀態"));
        QCOMPARE(tabs->tabText(1), text("聊天"));
        QCOMPARE(tabs->tabText(2), text("關於"));
        QCOMPARE(tabs->widget(1)->objectName(), QStringLiteral("Panel_Chat"));
        QVERIFY(!child<QWidget>(w, "suiGroupBox1")->isEnabled());
        QVERIFY(child<QRadioButton>(w, "suiRadioButton_Black")->isChecked());
        QVERIFY(a.button("suiButton_Begin")->isVisible());
        QVERIFY(!a.button("suiButton_Cancel")->isVisible());
        QVERIFY(!a.button("suiButton_DrawGame")->isVisible());

        const QString intro = TForm_Gobang::introduction();
        QVERIFY(intro.startsWith(text("五子棋是起源於中國古代的傳統黑白棋種之一。")));
        QCOMPARE(intro.size(), 459);
        QCOMPARE(child<RichEdit>(w, "RxRichEdit_Broadcasting")->toPlainText(), intro);
        QCOMPARE(child<QPlainTextEdit>(w, "Memo_Introduction")->toPlainText(), intro);
        QCOMPARE(child<QPlainTextEdit>(w, "Memo_Rules")->toPlainText(),
                 text("黑白雙方依次落子，在一方\n先在棋盤上形成橫向、豎向\n、斜向的連續的相同顏色的\n五個（含五個以上）"
                      "棋子的\n"
                      "一方為勝。"));
    }

    void cellDrawing_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("last");
        QTest::addColumn<QColor>("centre");
        QTest::addColumn<QColor>("edge"); // the left end of the box's middle row
        const QColor black(0, 0, 0);
        const QColor white(255, 255, 255);
        QTest::newRow("empty") << 0 << false << white << white;
        QTest::newRow("empty, last") << 0 << true << white << white;
        QTest::newRow("black") << 1 << false << black << black;
        QTest::newRow("black with the mark") << 1 << true << white << black;
        QTest::newRow("white") << 2 << false << white << black;
        QTest::newRow("white with the mark") << 2 << true << black << black;
        QTest::newRow("three") << 3 << true << white << white;
        QTest::newRow("negative") << -1 << true << white << white;
        QTest::newRow("large") << 1000 << false << white << white;
    }
    void cellDrawing()
    {
        QFETCH(int, value);
        QFETCH(bool, last);
        QFETCH(QColor, centre);
        QFETCH(QColor, edge);
        GobangGrid grid;
        const int column = 6;
        const int row = 9;
        grid.setCell(column, row, value);
        grid.setLastMove(last ? column : 0, last ? row : 0);
        const QImage image = grid.grab().toImage();
        const int c = grid.cellPitch();
        // Cells count from behind the outer line.
        const int x = column * c + 1;
        const int y = row * c + 1;
        // The mark runs from a third to two thirds of the box, without its end points.
        QCOMPARE(image.pixelColor(x + c / 2, y + c / 2), centre);
        QCOMPARE(image.pixelColor(x + c / 3, y + c / 2), centre);
        QCOMPARE(image.pixelColor(x + c / 2, y + c / 3), centre);
        if (last && (value == 1 || value == 2)) {
            const QColor stone = value == 1 ? QColor(0, 0, 0) : QColor(255, 255, 255);
            QCOMPARE(image.pixelColor(x + c - c / 3, y + c / 2), stone);
            QCOMPARE(image.pixelColor(x + c / 2, y + c - c / 3), stone);
            QCOMPARE(image.pixelColor(x + c / 3 - 1, y + c / 2), stone);
        }
        QCOMPARE(image.pixelColor(x, y + c / 2), edge);
        // Neighbouring cells stay untouched.
        QCOMPARE(image.pixelColor(x + c + c / 2, y + c / 2), QColor(255, 255, 255));
    }

    void emptyBoardIsWhite()
    {
        GobangGrid grid;
        const QImage image = grid.grab().toImage();
        for (int column = 0; column < GobangGrid::Cells; ++column) {
            for (int row = 0; row < GobangGrid::Cells; ++row) {
                const QRect cell(column * 17 + 1, row * 17 + 1, 16, 16);
                for (int y = cell.top(); y <= cell.bottom(); ++y) {
                    for (int x = cell.left(); x <= cell.right(); ++x)
                        QCOMPARE(image.pixelColor(x, y), QColor(Qt::white));
                }
            }
        }
    }

    void coordinateReadOut_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QPoint>("position");
        QTest::addColumn<QString>("caption");
        QTest::newRow("top left") << "DrawGrid_Gobang" << QPoint(1, 1) << "A1";
        QTest::newRow("top left's centre") << "DrawGrid_Gobang" << cellCentre(0, 0) << "A1";
        QTest::newRow("line after A1") << "DrawGrid_Gobang" << QPoint(17, 17) << "A1";
        QTest::newRow("B3") << "DrawGrid_Gobang" << cellCentre(1, 2) << "B3";
        QTest::newRow("bottom right") << "DrawGrid_Gobang" << cellCentre(13, 13) << "N14";
        QTest::newRow("last pixel of N14") << "DrawGrid_Gobang" << QPoint(237, 237) << "N14";
        QTest::newRow("outer line") << "DrawGrid_Gobang" << QPoint(0, 100) << "@0";
        QTest::newRow("board's frame") << "Image1" << QPoint(3, 3) << "@0";
        QTest::newRow("board's frame below the grid") << "Image1" << QPoint(100, 250) << "@0";
        QTest::newRow("board over a cell") << "Image1" << QPoint(7 + 8, 7 + 8) << "A1";
    }
    void coordinateReadOut()
    {
        QFETCH(QString, widget);
        QFETCH(QPoint, position);
        QFETCH(QString, caption);
        Player a("10.0.0.1", u"甲");
        QTest::mouseMove(a.window->findChild<QWidget *>(widget), position);
        QTRY_COMPARE(child<QLabel>(a.window, "FlatPanel2")->text(), caption);
    }

    void stripScrollsAndDrags()
    {
        Player a("10.0.0.1", u"甲");
        TForm_Gobang *w = a.window;
        auto *move = child<QWidget>(w, "Panel_Move");
        auto *timer = child<QTimer>(w, "Timer_Move");
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 20);
        QCOMPARE(move->x(), 306);
        for (int i = 0; i < 100; ++i)
            w->Timer_MoveTimer();
        QCOMPARE(move->x(), 206);
        QCOMPARE(w->tickerLeft(), 206);

        // Pressing stops the strip; moving drags it by the pointer's screen distance.
        const QPoint start = move->mapToGlobal(QPoint(20, 5));
        sendMouse(move, QEvent::MouseButtonPress, start);
        QVERIFY(w->tickerDragging());
        QVERIFY(!timer->isActive());
        sendMouse(move, QEvent::MouseMove, start - QPoint(50, 0));
        QCOMPARE(move->x(), 156);
        // More than its own width to the left: it comes back at the right edge of its frame.
        sendMouse(move, QEvent::MouseMove, start - QPoint(50 + 5600, 0));
        QCOMPARE(move->x(), 306);
        QCOMPARE(w->tickerLeft(), 306);
        // Right past the frame's width: its left edge at minus its width.
        sendMouse(move, QEvent::MouseMove, start - QPoint(50 + 5600 - 10, 0));
        QCOMPARE(move->x(), -5365);
        sendMouse(move, QEvent::MouseButtonRelease, start);
        QVERIFY(!w->tickerDragging());
        QVERIFY(timer->isActive());
        w->Timer_MoveTimer();
        QCOMPARE(move->x(), -5366);
        w->Timer_MoveTimer();
        QCOMPARE(move->x(), 306);

        // A move without a press drags nothing.
        sendMouse(move, QEvent::MouseMove, start + QPoint(40, 0));
        QCOMPARE(move->x(), 306);
    }

    // What every event of the window sends.
    void lobbyPacketsOfEveryEvent()
    {
        const QByteArray query = wire({"9", "10.0.0.1", big5(u"甲"), "1", "0", "3", marker});
        const QByteArray leaving = wire({"9", "10.0.0.1", big5(u"甲"), "1", "1", "4", marker});
        {
            Player a("10.0.0.1", u"甲");
            QCOMPARE(a.transport.broadcasts, QByteArrayList{query});
            a.button("suiButton3")->click();
            QCOMPARE(a.transport.broadcasts, (QByteArrayList{query, query}));
            // Without a partner "取消" and "認輸" send nothing.
            a.button("suiButton_Begin")->click();
            a.window->suiButton_CancelClick();
            a.button("suiButton1")->click();
            QVERIFY(a.transport.direct.isEmpty());
            a.button("suiButton2")->click();
            QTRY_VERIFY(!a.window);
            QCOMPARE(a.transport.broadcasts.last(), leaving);
            QCOMPARE(a.transport.broadcasts.size(), 3);
            QVERIFY(a.transport.direct.isEmpty());
        }
        {
            Player a("10.0.0.1", u"甲");
            child<SkinnedFrame>(a.window, "suiForm_Gobang")->titleButton(SkinnedFrame::CloseButton)->click();
            QTRY_VERIFY(!a.window);
            QCOMPARE(a.transport.broadcasts, (QByteArrayList{query, leaving}));
        }
        {
            // Destroyed without a close, as when the console ends.
            RecordingTransport transport;
            ConsoleValues values;
            values.OwnAddress = "10.0.0.1";
            values.OwnNickname = big5(u"甲");
            delete new TForm_Gobang(values, transport);
            QCOMPARE(transport.broadcasts, (QByteArrayList{query, leaving}));
        }

        // With a partner: "取消" during an invitation, "認輸" in a game, and the close.
        Player a("10.0.0.1", u"甲");
        Player b("10.0.0.2", u"乙");
        meet(a, b);
        child<QTreeWidget>(a.window, "fcTreeView_Users")
            ->setCurrentItem(child<QTreeWidget>(a.window, "fcTreeView_Users")->topLevelItem(0));
        a.button("suiButton_Begin")->click();
        QVERIFY(a.button("suiButton_Cancel")->isVisible());
        QCOMPARE(deliver(a, b), 1);
        QVERIFY(b.question("MessageBox_Invitation"));
        a.button("suiButton_Cancel")->click();
        QCOMPARE(a.transport.direct.last().second,
                 wire({"9", "10.0.0.1", big5(u"甲"), "2", big5(u"對方取消了本次約定!!")}));
        QVERIFY(a.button("suiButton_Begin")->isVisible());
        QCOMPARE(deliver(a, b), 1);
        QVERIFY(!b.question("MessageBox_Invitation"));
        QCOMPARE(b.status(), text("對方取消了本次約定!!"));

        startGame(a, b);
        QVERIFY(a.button("suiButton_DrawGame")->isVisible());
        b.button("suiButton1")->click();
        QCOMPARE(b.transport.direct.last().first, QByteArray("10.0.0.1"));
        QCOMPARE(b.transport.direct.last().second,
                 wire({"9", "10.0.0.2", big5(u"乙"), "2", big5(u"本次棋局對方已認輸!!")}));
        QVERIFY(b.button("suiButton_Begin")->isVisible());
        QCOMPARE(deliver(b, a), 1);
        QCOMPARE(a.status(), text("本次棋局對方已認輸!!"));

        startGame(a, b);
        a.transport.broadcasts.clear();
        a.window->close();
        QCOMPARE(a.transport.broadcasts, QByteArrayList{wire({"9", "10.0.0.1", big5(u"甲"), "1", "1", "4", marker})});
        QCOMPARE(a.transport.direct.size(), 1);
        QCOMPARE(a.transport.direct[0].second, wire({"9", "10.0.0.1", big5(u"甲"), "2", big5(u"對方已退出棋局!!")}));
        QCOMPARE(deliver(a, b), 1);
        QCOMPARE(b.status(), text("對方已退出棋局!!"));
        QVERIFY(b.button("suiButton_Begin")->isVisible());
    }

    void wholeGameBetweenTwoWindows()
    {
        Player a("10.0.0.1", u"甲");
        Player b("10.0.0.2", u"乙");
        Player c("10.0.0.3", u"丙");
        // C has no window: its idle report lists it as idle, also before the closed window is deleted.
        c.window->close();
        QVERIFY(c.window);
        QVERIFY(!c.router.session());
        hearBroadcasts(a, c);
        QCOMPARE(deliver(c, a), 1);
        meet(a, b);
        auto *users = child<QTreeWidget>(a.window, "fcTreeView_Users");
        QCOMPARE(users->topLevelItemCount(), 2);
        QCOMPARE(users->topLevelItem(0)->text(0), text("丙(空閒)"));
        QCOMPARE(users->topLevelItem(1)->text(0), text("乙(等待)"));
        screenshot(a.window, "gobang-lobby");

        // An idle player cannot be invited.
        users->setCurrentItem(users->topLevelItem(0));
        a.button("suiButton_Begin")->click();
        QVERIFY(a.transport.direct.isEmpty());

        startGame(a, b);
        QCOMPARE(a.status(), text("輪到您落子。"));
        QCOMPARE(b.status(), text("等待對方落子…"));
        QCOMPARE(child<QLabel>(a.window, "Label_BlackName")->text(), text("甲"));
        QCOMPARE(child<QLabel>(b.window, "Label_WhiteName")->text(), text("乙"));

        // Out of turn, a click places nothing.
        QTest::mouseClick(b.grid(), Qt::LeftButton, {}, cellCentre(7, 7));
        QVERIFY(b.transport.direct.isEmpty());
        QCOMPARE(b.grid()->cell(7, 7), 0);

        const auto boardsAgree = [&] {
            for (int column = 0; column < 14; ++column) {
                for (int row = 0; row < 14; ++row) {
                    if (a.grid()->cell(column, row) != b.grid()->cell(column, row))
                        return false;
                }
            }
            return a.grid()->lastColumn() == b.grid()->lastColumn() && a.grid()->lastRow() == b.grid()->lastRow();
        };
        QByteArray gameNumber;
        for (int i = 0; i < 4; ++i) {
            QVERIFY(place(a, b, 3 + i, 3));
            QVERIFY(boardsAgree());
            QCOMPARE(b.status(), text("輪到您落子。"));
            QVERIFY(child<QRadioButton>(b.window, "suiRadioButton_White")->isChecked());
            if (i == 2) {
                // An occupied cell is refused.
                QTest::mouseClick(b.grid(), Qt::LeftButton, {}, cellCentre(3, 3));
                QVERIFY(b.transport.direct.isEmpty());
            }
            QTest::mouseClick(b.grid(), Qt::LeftButton, {}, cellCentre(3 + i, 4));
            QCOMPARE(b.transport.direct.size(), 1);
            gameNumber = Packet::ExtractField(7, b.transport.direct[0].second);
            QCOMPARE(deliver(b, a), 1);
            QVERIFY(boardsAgree());
            if (i == 1) {
                for (int tick = 0; tick < 200; ++tick)
                    a.window->Timer_MoveTimer();
                screenshot(a.window, "gobang-game");
            }
        }
        QCOMPARE(a.grid()->cell(6, 4), int(GobangBoard::White));
        QCOMPARE(a.grid()->lastColumn(), 6);
        QCOMPARE(a.grid()->lastRow(), 4);

        // A third host forges moves and results for the game between A and B, with the game's number and the
        // next move's: nothing changes.
        const auto forgedMove = [&](const QByteArray &claimed) {
            PlayPacket move;
            move.action = GAME_ACTION_MOVE;
            move.address = claimed;
            move.nickname = "x";
            move.state = GAME_STATE_BLACK;
            move.game = gameNumber.toUInt();
            move.moveNumber = 9;
            move.column = 10;
            move.row = 10;
            return move.build();
        };
        b.router.RouteGamePacket(forgedMove("10.0.0.1"), true, "10.0.0.3");
        b.router.RouteGamePacket(forgedMove("10.0.0.1"), false);
        b.router.RouteGamePacket(forgedMove("10.0.0.3"), true, "10.0.0.3");
        b.router.RouteGamePacket(PartnerText{"10.0.0.1", "x", resignedText()}.build(), true, "10.0.0.3");
        b.router.RouteGamePacket(PartnerText{"10.0.0.1", "x", leftText()}.build(), false);
        b.router.RouteGamePacket(PartnerText{"10.0.0.1", "x", big5(u"假話")}.build(), true, "10.0.0.3");
        QCOMPARE(b.window->session().phase(), GameSession::Phase::Playing);
        QCOMPARE(b.grid()->cell(10, 10), 0);
        QVERIFY(boardsAgree());
        QVERIFY(!b.chat().contains(text("假話")));

        // Chat: "發送" sends to the partner and leaves the window open.
        child<RichEdit>(a.window, "RxRichEdit_Chat")->setPlainText(text("好\b棋！"));
        a.button("suiButton6")->click();
        QVERIFY(a.window->isVisible());
        QCOMPARE(a.transport.direct.size(), 1);
        QCOMPARE(a.transport.direct[0].second, wire({"9", "10.0.0.1", big5(u"甲"), "2", big5(u"好棋！")}));
        QCOMPARE(deliver(a, b), 1);
        QVERIFY(a.chat().endsWith(text("甲：好棋！")));
        QVERIFY(b.chat().endsWith(text("甲：好棋！")));
        auto *tabs = child<QTabWidget>(b.window, "suiTabControl1");
        tabs->setCurrentIndex(1);
        screenshot(b.window, "gobang-chat");
        tabs->setCurrentIndex(2);
        screenshot(b.window, "gobang-about");
        tabs->setCurrentIndex(0);

        // The fifth black stone in the row wins, on both boards.
        QVERIFY(place(a, b, 7, 3));
        QVERIFY(boardsAgree());
        QCOMPARE(a.status(), text("黑棋連成五子，恭喜，您贏了！"));
        QCOMPARE(b.status(), text("黑棋連成五子，很遺憾，您輸了。"));
        QVERIFY(a.button("suiButton_Begin")->isVisible());
        QVERIFY(b.button("suiButton_Begin")->isVisible());
        QTest::mouseClick(b.grid(), Qt::LeftButton, {}, cellCentre(8, 8));
        QVERIFY(b.transport.direct.isEmpty());
        screenshot(a.window, "gobang-won");
    }

    void drawOffer()
    {
        Player a("10.0.0.1", u"甲");
        Player b("10.0.0.2", u"乙");
        startGame(a, b);
        QVERIFY(place(a, b, 0, 0));
        a.button("suiButton_DrawGame")->click();
        a.button("suiButton_DrawGame")->click(); // one offer per position
        QCOMPARE(deliver(a, b), 1);
        QMessageBox *offer = b.question("MessageBox_Draw");
        QVERIFY(offer);
        offer->button(QMessageBox::No)->click();
        QCOMPARE(deliver(b, a), 1);
        QCOMPARE(a.status(), text("對方不同意和棋。"));

        // An offer lapses with the next stone: its question goes away.
        b.button("suiButton_DrawGame")->click();
        QCOMPARE(deliver(b, a), 1);
        QVERIFY(a.question("MessageBox_Draw"));
        QVERIFY(place(b, a, 1, 1));
        QVERIFY(!a.question("MessageBox_Draw"));

        a.button("suiButton_DrawGame")->click();
        QCOMPARE(deliver(a, b), 1);
        b.question("MessageBox_Draw")->button(QMessageBox::Yes)->click();
        QCOMPARE(deliver(b, a), 1);
        QCOMPARE(a.status(), text("雙方和棋。"));
        QCOMPARE(b.status(), text("雙方和棋。"));
    }

    void declinedInvitation()
    {
        Player a("10.0.0.1", u"甲");
        Player b("10.0.0.2", u"乙");
        meet(a, b);
        auto *users = child<QTreeWidget>(a.window, "fcTreeView_Users");
        users->setCurrentItem(users->topLevelItem(0));
        a.button("suiButton_Begin")->click();
        QCOMPARE(deliver(a, b), 1);
        b.question("MessageBox_Invitation")->button(QMessageBox::No)->click();
        QCOMPARE(deliver(b, a), 1);
        QCOMPARE(a.status(), text("對方拒絕了您的邀請。"));
        QCOMPARE(a.window->session().phase(), GameSession::Phase::Lobby);
        QVERIFY(a.button("suiButton_Begin")->isVisible());
    }

    // Unknown game data shows one box at a time, whatever arrives meanwhile.
    void unknownGameBox()
    {
        MemorySettingsStore store;
        NoticeRecorder notices;
        ConsoleState state(store, notices);
        RecordingTransport transport;
        GameRouter router(state, transport, std::chrono::milliseconds(0));
        QObject context;
        showUnknownGameBoxes(router, &context);
        const auto boxes = [] {
            int open = 0;
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (widget->objectName() == QStringLiteral("MessageBox_UnknownGame") && widget->isVisible())
                    ++open;
            }
            return open;
        };
        const QByteArray unknown = wire({"9", "10.0.0.7", "x", "5", "0"});
        router.RouteGamePacket(unknown, false);
        router.RouteGamePacket(unknown, true, "10.0.0.7");
        QCOMPARE(boxes(), 1);
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        QCOMPARE(box->text(), text("收到不明遊戲數據，請聯絡作者！"));
        QCOMPARE(box->windowTitle(), text("遊戲信息"));
        box->button(QMessageBox::Ok)->click();
        QCOMPARE(boxes(), 0);
        router.RouteGamePacket(unknown, false);
        QCOMPARE(boxes(), 1);
        qobject_cast<QMessageBox *>(QApplication::activeModalWidget())->button(QMessageBox::Ok)->click();
    }
};

QTEST_MAIN(TestGobang)
#include "tst_gobang.moc"
