#include "base/Cp950.h"
#include "engine/ConsoleValues.h"
#include "engine/FriendTable.h"
#include "engine/MessageTable.h"
#include "engine/NoticeSink.h"
#include "engine/NoticeText.h"
#include "engine/Packet.h"
#include "messages/TForm_Messenger.h"
#include "tests/support/BitmapFile.h"
#include "tests/support/CodePage.h"
#include "tests/support/NoticeRecorder.h"
#include "widgets/RichEdit.h"
#include "widgets/WindowRegistry.h"

#include <QAction>
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextEdit>
#include <QThreadPool>
#include <QToolButton>

namespace {

} // namespace

class TestMessenger final : public QObject
{
    Q_OBJECT

private:
    MessageTable messages;
    FriendTable friends;
    ConsoleValues values;
    NoticeRecorder notices;
    QFont defaultFont{QStringLiteral("細明體"), 10};
    int trayRests = 0;
    int announces = 0;
    QList<QByteArray> activatedImes;
    std::optional<QFont> dialogAnswer;
    QList<QUrl> opened;
    MessengerDeps deps;

    WindowRegistry windows;

    TForm_Messenger *window() const { return windows.find<TForm_Messenger>(); }
    template <typename T> T *control(const char *name) const
    {
        T *child = window() ? window()->findChild<T *>(QLatin1String(name)) : nullptr;
        if (!child)
            qWarning("no control %s", name);
        return child;
    }
    void click(const char *name) { QTest::mouseClick(control<QAbstractButton>(name), Qt::LeftButton); }
    QTextEdit *editor() const { return control<QTextEdit>("RxRichEdit_Content"); }
    bool sendShown() const { return !control<QPushButton>("suiButton_Send")->isHidden(); }
    QString recipient() const { return control<QLineEdit>("FlatEdit_IP")->text(); }
    QString editorText() const { return editor()->toPlainText(); }
    void append(const char *nickname, const char *text, bool read = false)
    {
        messages.append(big5(nickname), "10.0.0.9", big5(text), QDateTime(QDate(2004, 3, 15), QTime(14, 7)));
        if (read)
            messages.setCurrentRead(true);
    }
    void closeWindow()
    {
        if (TForm_Messenger *w = window())
            w->close();
        QVERIFY(!window());
    }

private Q_SLOTS:
    void initTestCase()
    {
        // What the window asks of the console, counted.
        connect(&windows, &WindowRegistry::added, this, [this](QWidget *window) {
            auto *messenger = qobject_cast<TForm_Messenger *>(window);
            QVERIFY(messenger);
            connect(messenger, &TForm_Messenger::presenceRefreshRequested, this, [this] { ++announces; });
            connect(messenger, &TForm_Messenger::lastUnreadOpened, this, [this] { ++trayRests; });
        });
    }

    void init()
    {
        messages.clear();
        messages.setFiltered(false);
        friends.clear();
        values = ConsoleValues{};
        values.OwnAddress = "10.0.0.1";
        values.OwnNickname = big5("小明");
        values.ImeName = "ime-a";
        notices.shown.clear();
        defaultFont = QFont(QStringLiteral("細明體"), 10);
        trayRests = announces = 0;
        activatedImes.clear();
        dialogAnswer.reset();
        deps = MessengerDeps{};
        deps.messages = &messages;
        deps.friends = &friends;
        deps.values = &values;
        deps.notices = &notices;
        deps.windows = &windows;
        deps.defaultFont = &defaultFont;
        deps.currentImeName = [] { return QByteArray("ime-b"); };
        deps.activateIme = [this](const QByteArray &name) { activatedImes.append(name); };
        deps.chooseFont = [this](const QFont &, QWidget *) { return dialogAnswer; };
        opened.clear();
        deps.openUrl = [this](const QUrl &url) { opened.append(url); };
        deps.send.connectTimeoutMs = 2000;
        // The receivers here share the sender's thread: they cannot close while it waits for them to.
        deps.send.closeTimeoutMs = 0;
    }
    void cleanup()
    {
        closeWindow();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void opensOldestUnreadAndRestsTrayWithTheLast()
    {
        append("甲", "one", true);
        append("乙", "two");
        append("丙", "three");
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        QVERIFY(window());
        QVERIFY(!sendShown());
        QVERIFY(editor()->isReadOnly());
        QCOMPARE(editorText(), QStringLiteral("two"));
        QCOMPARE(recipient(), QStringLiteral("乙"));
        QCOMPARE(control<QLabel>("Panel_Info")->text(), QStringLiteral("04-03-15 14:07"));
        QCOMPARE(window()->openedMessage(), 1);
        QVERIFY(messages.at(1).Read);
        QVERIFY(!messages.at(2).Read);
        // The next unread message is current and the tray keeps flashing.
        QCOMPARE(messages.currentRow(), 2);
        QCOMPARE(trayRests, 0);
        QVERIFY(!window()->isStripOpen());
        QCOMPARE(activatedImes, QList<QByteArray>{"ime-a"});
        QVERIFY(control<QPushButton>("suiButton_Reply")->hasFocus() || !QGuiApplication::focusWindow());

        // Opening again only raises the open window.
        TForm_Messenger *first = window();
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        QCOMPARE(window(), first);
        QVERIFY(!messages.at(2).Read);

        closeWindow();
        QCOMPARE(values.ImeName, QByteArray("ime-b"));
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        QCOMPARE(editorText(), QStringLiteral("three"));
        QCOMPARE(trayRests, 1);
    }

    void filteredMarkIsResetByOpening_data()
    {
        QTest::addColumn<bool>("markOn");
        QTest::addColumn<int>("currentAfter");
        QTest::newRow("mark on moves to first") << true << 0;
        QTest::newRow("mark off keeps current") << false << 2;
    }
    void filteredMarkIsResetByOpening()
    {
        QFETCH(bool, markOn);
        QFETCH(int, currentAfter);
        append("a", "1", true);
        append("b", "2");
        append("c", "3");
        messages.setFilter(QStringLiteral("IP='10.0.0.9'"));
        messages.setFiltered(markOn);
        messages.moveTo(2);
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        QVERIFY(!messages.filtered());
        QVERIFY(messages.filter().isEmpty());
        QCOMPARE(messages.currentRow(), currentAfter);
    }

    void composeModeBringsBackPutAsideMessage()
    {
        // An opening that shows an unread message leaves the put-aside message alone.
        values.AsideRecipient = big5("老王");
        values.AsideContent = "aside text";
        append("a", "unread");
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        QVERIFY(!sendShown());
        QCOMPARE(values.AsideContent, QByteArray("aside text"));
        closeWindow();

        TForm_Messenger::MenuItem_SendMessageClick(deps);
        QVERIFY(sendShown());
        QVERIFY(!editor()->isReadOnly());
        QCOMPARE(recipient(), QStringLiteral("老王"));
        QCOMPARE(editorText(), QStringLiteral("aside text"));
        QVERIFY(values.AsideRecipient.isEmpty());
        QVERIFY(values.AsideContent.isEmpty());
        QCOMPARE(trayRests, 1);

        // The later button puts it aside again.
        control<QLineEdit>("FlatEdit_IP")->setText(QStringLiteral("10.0.0.7"));
        window()->suiForm_MessageTitleBarCustomBtnsClick(TForm_Messenger::Later);
        QVERIFY(!window());
        QCOMPARE(values.AsideRecipient, QByteArray("10.0.0.7"));
        QVERIFY(values.AsideContent.startsWith("{\\rtf"));
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        QCOMPARE(recipient(), QStringLiteral("10.0.0.7"));
        QVERIFY(editorText().contains(QStringLiteral("aside text")));
    }

    void browsingStopsAtBothEnds()
    {
        append("a", "first", true);
        append("b", "second", true);
        append("c", "third");
        TForm_Messenger::MenuItem_SendMessageClick(deps); // shows "third"
        const QList<bool> readBefore = {messages.at(0).Read, messages.at(1).Read, messages.at(2).Read};
        click("suiButton_Record");
        QVERIFY(control<QPushButton>("suiButton_Record")->isHidden());
        QCOMPARE(editorText(), QStringLiteral("third"));
        click("suiImageButton_Next");
        QCOMPARE(editorText(), QStringLiteral("third"));
        click("suiImageButton_Prior");
        QCOMPARE(editorText(), QStringLiteral("second"));
        QCOMPARE(recipient(), QStringLiteral("b"));
        click("suiImageButton_Prior");
        click("suiImageButton_Prior");
        QCOMPARE(editorText(), QStringLiteral("first"));
        QCOMPARE(messages.currentRow(), 0);
        QCOMPARE(QList<bool>({messages.at(0).Read, messages.at(1).Read, messages.at(2).Read}), readBefore);
        QVERIFY(editor()->isReadOnly());
        QCOMPARE(editor()->textCursor().position(), 0);
        click("suiButton_Message");
        QVERIFY(!control<QPushButton>("suiButton_Record")->isHidden());
        QCOMPARE(editorText(), QStringLiteral("first"));

        // The history of the peer on display is asked for from the record button's menu; browsing stays as it was.
        messages.append("d", "10.0.0.4", "fourth");
        QSignalSpy history(window(), &TForm_Messenger::historyRequested);
        window()->findChild<QAction *>(QStringLiteral("MenuItem_RecordHistory"))->trigger();
        QCOMPARE(history.value(0).value(0).toByteArray(), QByteArray("10.0.0.9"));
        QCOMPARE(editorText(), QStringLiteral("first"));
        QVERIFY(!control<QPushButton>("suiButton_Record")->isHidden());
        QCOMPARE(control<QPushButton>("suiButton_Record")->contextMenuPolicy(), Qt::CustomContextMenu);
    }

    void longMessageOpensAtOnceAndShowsWhole()
    {
        QByteArray content =
            "{\\rtf1\\ansi\\ansicpg950\\deff0{\\fonttbl{\\f0\\fnil\\fcharset136 MS Sans Serif;}}\\f0 first\\par ";
        while (content.size() < RichEdit::BackgroundBytes)
            content += "a long message line\\par ";
        content += "end\\par}";
        messages.append(big5("甲"), "10.0.0.9", content, QDateTime(QDate(2004, 3, 15), QTime(14, 7)));
        append("乙", "short");
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        // The window is up, named and marked read while the text is still being read.
        QVERIFY(window());
        QCOMPARE(recipient(), QStringLiteral("甲"));
        QVERIFY(messages.at(0).Read);
        QTRY_VERIFY_WITH_TIMEOUT(editorText().endsWith(QStringLiteral("end")), 20000);
        QVERIFY(editorText().startsWith(QStringLiteral("first")));
        QCOMPARE(editor()->textCursor().position(), 0);
        QVERIFY(editor()->isReadOnly());

        // Browsing on before the long text is read shows only where the browsing ended.
        const auto settle = [] {
            QThreadPool::globalInstance()->waitForDone();
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
        };
        click("suiButton_Record");
        QCOMPARE(editorText(), QStringLiteral("short"));
        click("suiImageButton_Prior");
        click("suiImageButton_Next");
        settle();
        QCOMPARE(editorText(), QStringLiteral("short"));

        // A reply begun meanwhile starts empty and stays empty.
        click("suiImageButton_Prior");
        click("suiButton_Reply");
        settle();
        QVERIFY(sendShown());
        QVERIFY(editorText().isEmpty());
    }

    void browsingFromComposeSwitchesToReadMode()
    {
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        QVERIFY(sendShown());
        // While composing, the history asked for is the recipient's, typed as an address or a friend's name.
        QSignalSpy history(window(), &TForm_Messenger::historyRequested);
        QAction *historyItem = window()->findChild<QAction *>(QStringLiteral("MenuItem_RecordHistory"));
        control<QLineEdit>("FlatEdit_IP")->setText(QStringLiteral("10.0.0.5"));
        historyItem->trigger();
        friends.addIfNew(big5("阿華"), "10.0.0.6", {});
        control<QLineEdit>("FlatEdit_IP")->setText(QStringLiteral("阿華"));
        historyItem->trigger();
        QCOMPARE(history.size(), 2);
        QCOMPARE(history[0][0].toByteArray(), QByteArray("10.0.0.5"));
        QCOMPARE(history[1][0].toByteArray(), QByteArray("10.0.0.6"));
        QVERIFY(sendShown());
        click("suiButton_Record");
        QVERIFY(!sendShown());
        QVERIFY(editorText().isEmpty());
        QVERIFY(control<QLabel>("Panel_Info")->text().isEmpty());
        append("a", "arrived");
        click("suiImageButton_Next");
        QCOMPARE(editorText(), QStringLiteral("arrived"));
        QVERIFY(!messages.at(0).Read);
        // Opened in compose mode: the later button marks the record on display.
        messages.setCurrentRead(true);
        window()->suiForm_MessageTitleBarCustomBtnsClick(TForm_Messenger::Later);
        QVERIFY(!messages.at(0).Read);
        QVERIFY(!window());
    }

    void laterMarksTheOpenedMessageUnread()
    {
        append("a", "one");
        append("b", "two", true);
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        QVERIFY(messages.at(0).Read);
        click("suiButton_Record");
        click("suiImageButton_Next");
        QCOMPARE(editorText(), QStringLiteral("two"));
        QTest::mouseClick(window()->titleButton(TForm_Messenger::Later), Qt::LeftButton);
        QVERIFY(!window());
        QVERIFY(!messages.at(0).Read);
        QVERIFY(messages.at(1).Read);
        QCOMPARE(messages.currentRow(), 0);
    }

    void laterAfterTableWasEmptiedMarksNothing()
    {
        append("a", "one");
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        messages.clear();
        append("new", "arrived later", true);
        window()->suiForm_MessageTitleBarCustomBtnsClick(TForm_Messenger::Later);
        QVERIFY(!window());
        QVERIFY(messages.at(0).Read);
    }

    void enterRepliesInReadModeAndCtrlEnterSends()
    {
        append("b", "hello");
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        editor()->setFocus();
        QTest::keyClick(editor(), Qt::Key_Return);
        QVERIFY(sendShown());
        QVERIFY(!editor()->isReadOnly());
        QVERIFY(editorText().isEmpty());
        QCOMPARE(recipient(), QStringLiteral("b"));

        QTest::keyClicks(editor(), QStringLiteral("x"));
        QTest::keyClick(editor(), Qt::Key_Return);
        QTest::keyClicks(editor(), QStringLiteral("y"));
        QCOMPARE(editorText(), QStringLiteral("x\ny"));
        QVERIFY(notices.shown.isEmpty());

        // "b" is no friend: the send is refused with the nickname notice.
        QTest::keyClick(editor(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(notices.shown.size(), 1);
        QCOMPARE(notices.shown.at(0).text, NoticeText::build(u"請確認所輸入的暱稱無誤，並且在線!"));
        QCOMPARE(notices.shown.at(0).caption, QByteArray("Send Error"));
        QCOMPARE(editorText(), QStringLiteral("x\ny"));
        QVERIFY(window());
    }

    void sendChecks_data()
    {
        QTest::addColumn<QString>("recipient");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("notice");
        QTest::newRow("empty text") << QStringLiteral("127.0.0.1") << QString()
                                    << NoticeText::build(u"不能發送空信息!");
        QTest::newRow("unknown nickname") << QStringLiteral("nobody") << QStringLiteral("hi")
                                          << NoticeText::build(u"請確認所輸入的暱稱無誤，並且在線!");
        QTest::newRow("broadcast address is a nickname") << QStringLiteral("255.255.255.255") << QStringLiteral("hi")
                                                         << NoticeText::build(u"請確認所輸入的暱稱無誤，並且在線!");
        QTest::newRow("nickname case matters") << QStringLiteral("ALICE") << QStringLiteral("hi")
                                               << NoticeText::build(u"請確認所輸入的暱稱無誤，並且在線!");
    }
    void sendChecks()
    {
        QFETCH(QString, recipient);
        QFETCH(QString, text);
        QFETCH(QByteArray, notice);
        friends.addIfNew("Alice", "127.0.0.1", {});
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        control<QLineEdit>("FlatEdit_IP")->setText(recipient);
        editor()->setPlainText(text);
        click("suiButton_Send");
        QCOMPARE(notices.shown.size(), 1);
        QCOMPARE(notices.shown.at(0).text, notice);
        QCOMPARE(notices.shown.at(0).caption, QByteArray("Send Error"));
        QVERIFY(window());
        QCOMPARE(editorText(), text);
    }

    void sendDelivers_data()
    {
        QTest::addColumn<QString>("recipient");
        QTest::addColumn<int>("textBytes");
        QTest::addColumn<bool>("gauge");
        // The name the history keeps: the one typed, or the friend's at a typed address.
        QTest::addColumn<QByteArray>("nickname");
        QTest::newRow("dotted address of no friend") << QStringLiteral("127.0.0.3") << 10 << false << QByteArray();
        QTest::newRow("short form address") << QStringLiteral("127.1") << 10 << false << QByteArray();
        QTest::newRow("first of two friends with one nickname")
            << QStringLiteral("老王") << 10 << false << big5("老王");
        QTest::newRow("long message") << QStringLiteral("127.0.0.1") << 70000 << true << big5("老王");
    }
    void sendDelivers()
    {
        QFETCH(QString, recipient);
        QFETCH(int, textBytes);
        QFETCH(bool, gauge);
        QFETCH(QByteArray, nickname);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::Any));
        QByteArray received;
        bool closed = false;
        connect(&server, &QTcpServer::newConnection, this, [&] {
            QTcpSocket *peer = server.nextPendingConnection();
            connect(peer, &QTcpSocket::readyRead, this, [&, peer] { received += peer->readAll(); });
            connect(peer, &QTcpSocket::disconnected, this, [&, peer] {
                received += peer->readAll();
                closed = true;
            });
        });
        deps.send.port = server.serverPort();
        friends.addIfNew(big5("老王"), "127.0.0.1", {});
        friends.addIfNew(big5("老王"), "127.0.0.2", {});
        // Long enough in any case, whatever the RTF of the text comes to.
        if (gauge)
            values.OwnNickname = QByteArray(textBytes, 'n');

        TForm_Messenger::MenuItem_SendMessageClick(deps);
        QPointer<TForm_Messenger> sending = window();
        control<QLineEdit>("FlatEdit_IP")->setText(recipient);
        editor()->setPlainText(QString(textBytes, QLatin1Char('m')));
        QPointer<QProgressBar> bar = control<QProgressBar>("Gauge_Progress");
        QSignalSpy sent(sending, &TForm_Messenger::messageSent);
        click("suiButton_Send");
        QVERIFY(notices.shown.isEmpty());
        QVERIFY(!window());
        QCOMPARE(!bar->isHidden(), gauge);
        if (gauge) {
            QVERIFY(sending->isStripOpen());
            QCOMPARE(bar->maximum(), bar->value());
            QVERIFY(bar->maximum() >= 3);
        }
        QTRY_VERIFY(closed);
        QCOMPARE(Packet::ExtractField(1, received), QByteArray("5"));
        QCOMPARE(Packet::ExtractField(2, received), QByteArray("10.0.0.1"));
        QCOMPARE(Packet::ExtractField(3, received), values.OwnNickname);
        QCOMPARE(Packet::ExtractField(4, received).size(), 5);
        QVERIFY(Packet::ExtractField(5, received).startsWith("{\\rtf"));
        QCOMPARE(Packet::ExtractField(6, received), QByteArray("0"));
        QVERIFY(received.endsWith("\x08"
                                  "0\x08"));
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.at(0).at(1).toByteArray(), nickname);
        QCOMPARE(sent.at(0).at(2).toByteArray(), Packet::ExtractField(5, received));
    }

    void failedSendKeepsWindowAndText()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        deps.send.port = probe.serverPort();
        probe.close();
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        control<QLineEdit>("FlatEdit_IP")->setText(QStringLiteral("127.0.0.1"));
        editor()->setPlainText(QString(40000, QLatin1Char('k')));
        QSignalSpy sent(window(), &TForm_Messenger::messageSent);
        click("suiButton_Send");
        QVERIFY(sent.isEmpty());
        QCOMPARE(notices.shown.size(), 1);
        QCOMPARE(notices.shown.at(0).text, NoticeText::build(u"發送失敗，請確認網絡正常且對方在線!"));
        QVERIFY(window());
        QVERIFY(!window()->isStripOpen());
        QCOMPARE(editorText().size(), 40000);
        QVERIFY(sendShown());
    }

    void infoButtonByMode()
    {
        append("a", "x");
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        auto *info = window()->titleButton(TForm_Messenger::Info);
        QTest::mouseClick(info, Qt::LeftButton);
        QVERIFY(window()->isStripOpen());
        QVERIFY(control<QProgressBar>("Gauge_Progress")->isHidden());
        QTest::mouseClick(info, Qt::LeftButton);
        QVERIFY(!window()->isStripOpen());
        QTest::mouseClick(info, Qt::LeftButton);
        // A press in the editor or on the red cross collapses the strip.
        QTest::mousePress(editor()->viewport(), Qt::LeftButton);
        QVERIFY(!window()->isStripOpen());
        QTest::mouseClick(info, Qt::LeftButton);
        QTest::mousePress(control<QLabel>("ImageClose"), Qt::LeftButton);
        QVERIFY(!window()->isStripOpen());
        QCOMPARE(announces, 0);

        click("suiButton_Reply");
        QTest::mouseClick(info, Qt::LeftButton);
        QCOMPARE(announces, 1);
        QVERIFY(!window()->isStripOpen());
    }

    void friendPanel()
    {
        friends.addIfNew(big5("甲"), "10.0.0.2", bitmapFile(Qt::red));
        friends.addIfNew(big5("乙"), "10.0.0.3", {});
        friends.addIfNew(big5("丙"), "10.0.0.4", "BMnot a bitmap at all, just bytes....");
        friends.addIfNew(big5("丁"), "10.0.0.5", bitmapFile(Qt::blue));
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        auto *panel = control<QWidget>("Panel5");
        QVERIFY(panel->isHidden());
        QTest::mouseClick(window()->titleButton(TForm_Messenger::Friends), Qt::LeftButton);
        QVERIFY(!panel->isHidden());
        auto *list = control<QListWidget>("suiListView_Friend");
        QCOMPARE(list->count(), 4);
        QStringList captions;
        QList<int> images;
        for (int i = 0; i < list->count(); ++i) {
            captions.append(list->item(i)->text());
            images.append(list->item(i)->data(Qt::UserRole + 1).toInt());
        }
        QCOMPARE(captions,
                 QStringList({QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙"), QStringLiteral("丁")}));
        QCOMPARE(images, QList<int>({1, 0, 0, 2}));
        QCOMPARE(window()->ImageList_Mien().size(), 3);
        QCOMPARE(list->item(0)->data(Qt::UserRole).toByteArray(), QByteArray("10.0.0.2"));
        QCOMPARE(window()->ImageList_Mien().at(1).toImage().pixelColor(16, 16), QColor(Qt::red));

        // Refreshing again does not pile up faces.
        click("suiButton_Updata");
        QCOMPARE(window()->ImageList_Mien().size(), 3);
        QCOMPARE(list->count(), 4);

        // A right press picks the nickname and keeps the panel; a left press also closes it.
        list->setCurrentRow(2);
        const QPoint onItem1 = list->visualItemRect(list->item(1)).center();
        QTest::mousePress(list->viewport(), Qt::RightButton, {}, onItem1);
        QTRY_COMPARE(recipient(), QStringLiteral("乙"));
        QVERIFY(!panel->isHidden());
        const QPoint onItem3 = list->visualItemRect(list->item(3)).center();
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, onItem3);
        QTRY_COMPARE(recipient(), QStringLiteral("丁"));
        QVERIFY(panel->isHidden());

        QTest::mouseClick(window()->titleButton(TForm_Messenger::Friends), Qt::LeftButton);
        QVERIFY(!panel->isHidden());
        click("suiButton_Cancel");
        QVERIFY(panel->isHidden());
    }

    void fontRules_data()
    {
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<bool>("selection");
        QTest::addColumn<bool>("defaultChanges");
        QTest::newRow("chosen with nothing selected becomes default") << true << false << true;
        QTest::newRow("chosen for a selection stays there") << true << true << false;
        QTest::newRow("cancelled") << false << false << false;
        QTest::newRow("cancelled with a selection") << false << true << false;
    }
    void fontRules()
    {
        QFETCH(bool, confirmed);
        QFETCH(bool, selection);
        QFETCH(bool, defaultChanges);
        const QFont original = defaultFont;
        QFont chosen(QStringLiteral("DejaVu Sans"), 16);
        chosen.setBold(true);
        if (confirmed)
            dialogAnswer = chosen;
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        QTest::keyClicks(editor(), QStringLiteral("abcdef"));
        if (selection) {
            QTextCursor cursor = editor()->textCursor();
            cursor.setPosition(1);
            cursor.setPosition(3, QTextCursor::KeepAnchor);
            editor()->setTextCursor(cursor);
        }
        click("suiRadioButton_Font");
        QVERIFY(!control<QRadioButton>("suiRadioButton_Font")->isChecked());
        QCOMPARE(defaultFont.pointSize(), defaultChanges ? 16 : original.pointSize());
        QCOMPARE(defaultFont.bold(), defaultChanges);
        if (confirmed && selection) {
            QTextCursor at(editor()->document());
            at.setPosition(2);
            QVERIFY(at.charFormat().font().bold());
            at.setPosition(5);
            QVERIFY(!at.charFormat().font().bold());
        }
        if (confirmed && !selection) {
            QTest::keyClicks(editor(), QStringLiteral("g"));
            QTextCursor at(editor()->document());
            at.setPosition(7);
            QVERIFY(at.charFormat().font().bold());
        }
    }

    void replyTakesDefaultFont()
    {
        defaultFont = QFont(QStringLiteral("DejaVu Sans"), 14);
        append("a", "x");
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        click("suiButton_Reply");
        QTest::keyClicks(editor(), QStringLiteral("z"));
        QTextCursor at(editor()->document());
        at.setPosition(1);
        QCOMPARE(at.charFormat().font().pointSize(), 14);
    }

    void sizeAndPlace()
    {
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        TForm_Messenger *w = window();
        QCOMPARE(w->size(), QSize(226, 152));
        const QRect screen = w->screen()->geometry();
        const int panel = screen.bottom() - w->screen()->availableGeometry().bottom();
        QCOMPARE(w->pos(), QPoint(screen.width() - 226 - 5, screen.height() - 152 - panel));
        QVERIFY(w->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(w->windowFlags() & Qt::Tool);
        w->resize(150, 100);
        QCOMPARE(w->size(), QSize(206, 100));
        w->resize(2000, 2000);
        QCOMPARE(w->size(), QSize(1024, 740));
        int width = 130;
        int height = 50;
        QVERIFY(w->FormCanResize(width, height));
        QCOMPARE(width, 206);
    }

    void controlBoxOpensFaceMenu()
    {
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        QTest::mouseClick(window()->titleButton(TForm_Messenger::ControlBox), Qt::LeftButton);
        auto *faces = window()->findChild<QWidget *>(QStringLiteral("PopupMenu_Face"));
        QVERIFY(faces);
        QVERIFY(faces->isVisible());
        for (const QMenu *menu : window()->findChildren<QMenu *>())
            QVERIFY(!menu->isVisible());
        faces->hide();
    }

    // A received message is a stranger's: only web and mail addresses open, and a link whose text names
    // another place asks first, showing the whole target.
    void linksOpenOnlyWhereSafe()
    {
        const QByteArray longTarget = "http://evil.example/" + QByteArray(3000, 'a');
        messages.append(big5("a"), "10.0.0.9",
                        "{\\rtf1\\ansi see http://example.org/x here "
                        "{\\field{\\*\\fldinst{HYPERLINK \"file:///etc/passwd\"}}{\\fldrslt{notes}}} "
                        "{\\field{\\*\\fldinst{HYPERLINK \"http://evil.example/\"}}{\\fldrslt{http://bank.example/}}} "
                        "{\\field{\\*\\fldinst{HYPERLINK \"" +
                            longTarget + "\"}}{\\fldrslt{long}}}\\par}",
                        QDateTime(QDate(2004, 3, 15), QTime(14, 7)));
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        QTRY_VERIFY(editorText().contains(QLatin1String("long")));
        auto clickOn = [this](const char *word) {
            QTextCursor cursor(editor()->document());
            cursor.setPosition(int(editorText().indexOf(QLatin1String(word))) + 2);
            QTest::mouseClick(editor()->viewport(), Qt::LeftButton, {}, editor()->cursorRect(cursor).center());
        };
        auto box = [this](const char *name) { return window()->findChild<QMessageBox *>(QLatin1String(name)); };
        auto answer = [&box](const char *name, QMessageBox::StandardButton button) {
            QTest::mouseClick(box(name)->button(button), Qt::LeftButton);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(!box(name));
        };

        clickOn("http://example.org");
        QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("http://example.org/x"))});
        QVERIFY(!window()->findChild<QMessageBox *>());
        opened.clear();

        clickOn("notes");
        QTRY_VERIFY(box("LinkRefusedMessageBox"));
        QVERIFY(box("LinkRefusedMessageBox")->text().contains(QLatin1String("file:///etc/passwd")));
        answer("LinkRefusedMessageBox", QMessageBox::Ok);
        QVERIFY(opened.isEmpty());

        for (const QMessageBox::StandardButton choice : {QMessageBox::No, QMessageBox::Yes}) {
            clickOn("bank");
            QTRY_VERIFY(box("LinkConfirmMessageBox"));
            QVERIFY(box("LinkConfirmMessageBox")->text().contains(QLatin1String("http://evil.example/")));
            QVERIFY(opened.isEmpty());
            answer("LinkConfirmMessageBox", choice);
        }
        QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("http://evil.example/"))});
        opened.clear();

        // A target too long for a box is shown whole in its details.
        clickOn("long");
        QTRY_VERIFY(box("LinkConfirmMessageBox"));
        QCOMPARE(box("LinkConfirmMessageBox")->detailedText(), QString::fromLatin1(longTarget));
        QVERIFY(box("LinkConfirmMessageBox")->text().size() < 1500);
        answer("LinkConfirmMessageBox", QMessageBox::No);
        QVERIFY(opened.isEmpty());
    }

    void closingByEveryWayStoresIme_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("cancel button") << 0;
        QTest::newRow("title close") << 1;
        QTest::newRow("later") << 2;
    }
    void closingByEveryWayStoresIme()
    {
        QFETCH(int, way);
        TForm_Messenger::MenuItem_SendMessageClick(deps);
        QPointer<TForm_Messenger> w = window();
        if (way == 0)
            click("suiButton_Close");
        else if (way == 1)
            QTest::mouseClick(w->titleButton(TForm_Messenger::Close), Qt::LeftButton);
        else
            w->suiForm_MessageTitleBarCustomBtnsClick(TForm_Messenger::Later);
        QVERIFY(!window());
        QCOMPARE(values.ImeName, QByteArray("ime-b"));
        QTRY_VERIFY(!w);
    }
};

QTEST_MAIN(TestMessenger)
#include "tst_messenger.moc"
