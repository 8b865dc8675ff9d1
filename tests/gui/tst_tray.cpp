#include "shell/AboutBox.h"
#include "shell/HotKey.h"
#include "shell/TForm_AboutMoravik.h"
#include "shell/TrayIcon.h"
#include "widgets/WindowRegistry.h"

#include "base/Cp950.h"

#include <QTest>
#include <QTimer>
#include <memory>

using Look = TrayIcon::Look;

class TestTray final : public QObject
{
    Q_OBJECT

private:
    QByteArray nickname = "Tester";
    QByteArray address = "192.168.1.20";
    bool flashing = false;
    bool unread = false;
    Qt::KeyboardModifiers modifiers;
    QStringList commands;
    QTimer innervation;
    std::unique_ptr<TrayIcon> tray;

    TrayIcon::Questions questions()
    {
        TrayIcon::Questions q;
        q.nickname = [this] { return nickname; };
        q.localAddress = [this] { return address; };
        q.flashingSwitch = [this] { return flashing; };
        q.hasUnread = [this] { return unread; };
        q.keyboardModifiers = [this] { return modifiers; };
        q.pointerPosition = [] { return QPoint(640, 470); };
        return q;
    }

    // n ticks of the flash timer, as the console's clock would give them.
    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i)
            tray->Timer_InnervationTimer();
    }

private Q_SLOTS:
    void init()
    {
        nickname = "Tester";
        address = "192.168.1.20";
        flashing = unread = false;
        modifiers = {};
        commands.clear();
        innervation.setObjectName(QStringLiteral("Timer_Innervation"));
        tray = std::make_unique<TrayIcon>(questions(), &innervation);
        connect(tray.get(), &TrayIcon::sendMessageRequested, this, [this] { commands << QStringLiteral("message"); });
        connect(tray.get(), &TrayIcon::sendBroadcastRequested, this,
                [this] { commands << QStringLiteral("broadcast"); });
        connect(tray.get(), &TrayIcon::menuRequested, this,
                [this](const QPoint &at) { commands << QStringLiteral("menu %1,%2").arg(at.x()).arg(at.y()); });
        tray->AddTrayIcon();
    }
    void cleanup()
    {
        tray.reset();
        innervation.stop();
    }

    void trayTipFitsItsField_data()
    {
        QTest::addColumn<QByteArray>("nick");
        QTest::addColumn<QByteArray>("addr");
        QTest::addColumn<QByteArray>("shownNick");
        QTest::newRow("short") << QByteArray("Tester") << QByteArray("192.168.1.20") << QByteArray("Tester");
        QTest::newRow("11 bytes with 15-character address")
            << QByteArray("ABCDEFGHIJK") << QByteArray("192.168.100.200") << QByteArray("ABCDEFGHIJK");
        QTest::newRow("12 bytes cut to 11")
            << QByteArray("ABCDEFGHIJKL") << QByteArray("192.168.100.200") << QByteArray("ABCDEFGHIJK");
        // Six double-byte characters: 11 bytes of room keep five whole ones, never half of the sixth.
        QTest::newRow("double-byte cut on a boundary")
            << cp950::encode(QStringLiteral("測試暱稱很長")) << QByteArray("192.168.100.200")
            << cp950::encode(QStringLiteral("測試暱稱很"));
        QTest::newRow("shorter address leaves more room")
            << cp950::encode(QStringLiteral("測試暱稱很長名字")) << QByteArray("10.0.0.1")
            << cp950::encode(QStringLiteral("測試暱稱很長名字")).left(18);
        QTest::newRow("no address") << QByteArray(40, 'n') << QByteArray() << QByteArray(26, 'n');
    }
    void trayTipFitsItsField()
    {
        QFETCH(QByteArray, nick);
        QFETCH(QByteArray, addr);
        QFETCH(QByteArray, shownNick);
        const QByteArray tip = TrayIcon::buildTrayTip(nick, addr);
        QVERIFY(tip.size() <= TrayIcon::TipBytes);
        QCOMPARE(tip, "Parlune Console\rNickname: " + shownNick + "\rNumberIP: " + addr);
        bool ok = false;
        cp950::decode(tip, &ok);
        QVERIFY(ok);
    }

    void overlongAddressIsCutToo()
    {
        const QByteArray tip = TrayIcon::buildTrayTip("nick", QByteArray(60, '1'));
        QCOMPARE(tip.size(), TrayIcon::TipBytes);
        QVERIFY(tip.startsWith("Parlune Console\rNickname: \rNumberIP: 111"));
    }

    void tooltipIsBuiltAnewAtEveryChange()
    {
        QCOMPARE(tray->systemTrayIcon()->toolTip(),
                 QStringLiteral("Parlune Console\nNickname: Tester\nNumberIP: 192.168.1.20"));
        address = "10.1.2.3";
        nickname = cp950::encode(QStringLiteral("小明"));
        tray->showLook(Look::NewMessage);
        QCOMPARE(tray->systemTrayIcon()->toolTip(),
                 QStringLiteral("Parlune Console\nNickname: 小明\nNumberIP: 10.1.2.3"));
        nickname = "Other";
        tray->refreshTip();
        QVERIFY(tray->systemTrayIcon()->toolTip().contains(QStringLiteral("Nickname: Other\n")));
    }

    void picturesAreThere()
    {
        for (int i = 0; i < 3; ++i)
            QCOMPARE(tray->notifyImage(i).pixmap(32, 32).size(), QSize(32, 32));
        QVERIFY(!TrayIcon::mainIcon().isNull());
        QCOMPARE(tray->look(), Look::Idle);
    }

    void emptyLookKeepsTheIconsPlace()
    {
        tray->SetTrayIcon(QIcon());
        const QIcon shown = tray->systemTrayIcon()->icon();
        QVERIFY(!shown.isNull());
        const QImage image = shown.pixmap(32, 32).toImage();
        QCOMPARE(image.size(), QSize(32, 32));
        QCOMPARE(qAlpha(image.pixel(16, 16)), 0);
    }

    void mouseMapping_data()
    {
        QTest::addColumn<int>("reason");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<QString>("command");
        QTest::newRow("left press") << int(QSystemTrayIcon::Trigger) << false << "message";
        QTest::newRow("shift + left press") << int(QSystemTrayIcon::Trigger) << true << "broadcast";
        QTest::newRow("right press") << int(QSystemTrayIcon::Context) << false << "menu 640,470";
        QTest::newRow("shift + right press") << int(QSystemTrayIcon::Context) << true << "menu 640,470";
        QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << false << "";
        QTest::newRow("middle") << int(QSystemTrayIcon::MiddleClick) << false << "";
        QTest::newRow("unknown") << int(QSystemTrayIcon::Unknown) << true << "";
    }
    void mouseMapping()
    {
        QFETCH(int, reason);
        QFETCH(bool, shift);
        QFETCH(QString, command);
        modifiers = shift ? Qt::ShiftModifier : Qt::NoModifier;
        Q_EMIT tray->systemTrayIcon()->activated(QSystemTrayIcon::ActivationReason(reason));
        // The menu opens from the event loop; wait for it, then make sure nothing else came.
        if (!command.isEmpty())
            QTRY_COMPARE(commands, QStringList{command});
        QCoreApplication::processEvents();
        QCOMPARE(commands, command.isEmpty() ? QStringList() : QStringList{command});
    }

    void activationReadsShiftWhenHandled()
    {
        tray->requestActivation();
        QVERIFY(commands.isEmpty()); // queued
        modifiers = Qt::ShiftModifier;
        QTRY_COMPARE(commands, QStringList{QStringLiteral("broadcast")});
        modifiers = Qt::ControlModifier;
        tray->requestActivation();
        QTRY_COMPARE(commands.size(), 2);
        QCOMPARE(commands.last(), QStringLiteral("message"));
    }

    // Flashing, through the looks of the state table; the timer is only looked at, its ticks are given by hand.
    void unreadWithSwitchOnFlashes()
    {
        flashing = true;
        unread = true;
        tray->unreadMessageStored();
        QCOMPARE(tray->look(), Look::NewMessage);
        QVERIFY(innervation.isActive());
        QCOMPARE(innervation.interval(), 500);
        QCOMPARE(tray->FlashPhase(), false);
        tick(); // phase true: the new-message picture
        QCOMPARE(tray->look(), Look::NewMessage);
        tick();
        QCOMPARE(tray->look(), Look::Empty);
        tick();
        QCOMPARE(tray->look(), Look::NewMessage);
        QVERIFY(innervation.isActive());
    }

    void phaseCarriesOverToTheNextFlashing()
    {
        flashing = true;
        unread = true;
        tray->unreadMessageStored();
        tick(); // phase true
        tray->comeToRest();
        QCOMPARE(tray->look(), Look::Rest);
        QVERIFY(!innervation.isActive());
        QCOMPARE(tray->FlashPhase(), true);
        tray->unreadMessageStored();
        tick(); // phase false: the first change empties the place
        QCOMPARE(tray->look(), Look::Empty);
    }

    void unreadWithSwitchOffIsSteady()
    {
        unread = true;
        tray->unreadMessageStored();
        tick();
        QCOMPARE(tray->look(), Look::NewMessage);
        QVERIFY(!innervation.isActive());
        QCOMPARE(tray->FlashPhase(), false); // untouched while the switch is off
    }

    void switchOnWithNothingUnreadFlashesAnyway()
    {
        flashing = true;
        tray->flashingSwitchedOn();
        QVERIFY(innervation.isActive());
        QCOMPARE(tray->look(), Look::Idle);
        tick(2);
        QCOMPARE(tray->look(), Look::Empty);
    }

    void switchOffComesToRestOrSteady_data()
    {
        QTest::addColumn<bool>("hasUnread");
        QTest::addColumn<Look>("after");
        QTest::newRow("nothing unread: rest") << false << Look::Rest;
        QTest::newRow("a message unread: steady") << true << Look::NewMessage;
    }
    void switchOffComesToRestOrSteady()
    {
        QFETCH(bool, hasUnread);
        QFETCH(Look, after);
        flashing = true;
        unread = hasUnread;
        tray->flashingSwitchedOn();
        tick(2);
        QCOMPARE(tray->look(), Look::Empty);
        flashing = false;
        tick();
        QCOMPARE(tray->look(), after);
        QVERIFY(!innervation.isActive());
    }

    void emptyingTheTableStopsTheFlashing()
    {
        flashing = unread = true;
        tray->unreadMessageStored();
        tick(3);
        tray->comeToRest();
        QCOMPARE(tray->look(), Look::Rest);
        QVERIFY(!innervation.isActive());
    }

    void runningTimerTicksByItself()
    {
        flashing = true;
        TrayIcon own(questions());
        QCOMPARE(own.Timer_Innervation()->objectName(), QStringLiteral("Timer_Innervation"));
        own.AddTrayIcon();
        own.flashingSwitchedOn();
        QTRY_COMPARE_WITH_TIMEOUT(own.FlashPhase(), true, 5000);
    }

    void hotKeyAcceptsShiftWithLocksOnly_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("shift") << 0x01 << true;
        QTest::newRow("shift + caps lock") << 0x03 << true;
        QTest::newRow("shift + num lock") << 0x11 << true;
        QTest::newRow("shift + both locks") << 0x13 << true;
        QTest::newRow("shift + button 1 held") << 0x101 << true;
        QTest::newRow("none") << 0x00 << false;
        QTest::newRow("shift + control") << 0x05 << false;
        QTest::newRow("shift + alt") << 0x09 << false;
        QTest::newRow("shift + super") << 0x41 << false;
        QTest::newRow("caps lock only") << 0x02 << false;
    }
    void hotKeyAcceptsShiftWithLocksOnly()
    {
        QFETCH(int, state);
        QFETCH(bool, accepted);
        QCOMPARE(HotKey::isShiftOnly(std::uint16_t(state)), accepted);
    }

    void hotKeyIsNothingWithoutX11()
    {
        HotKey hotKey;
        QVERIFY(!hotKey.isGrabbed());
    }

    // One window per class: opening again brings the open one back; a closing one is forgotten at once, though
    // it is deleted only later; whatever is open goes with the registry.
    void windowRegistryKeepsOnePerClass()
    {
        WindowRegistry windows;
        int made = 0;
        auto make = [&made] {
            ++made;
            return new TForm_AboutMoravik;
        };
        QVERIFY(!windows.find<TForm_AboutMoravik>());
        TForm_AboutMoravik *first = windows.open<TForm_AboutMoravik>(make);
        QVERIFY(first->isVisible());
        QVERIFY(first->testAttribute(Qt::WA_DeleteOnClose));
        first->showMinimized();
        QCOMPARE(windows.open<TForm_AboutMoravik>(make), first);
        QVERIFY(!first->isMinimized());
        QCOMPARE(made, 1);
        const int before = first->scrollOffset();
        first->Timer_ScrollTimer();
        QCOMPARE(first->scrollOffset(), before + 1);

        QPointer<TForm_AboutMoravik> closing = first;
        first->close();
        QVERIFY(!windows.find<TForm_AboutMoravik>());
        TForm_AboutMoravik *second = windows.open<TForm_AboutMoravik>(make);
        QVERIFY(second != first);
        QCOMPARE(windows.find<TForm_AboutMoravik>(), second);
        QTRY_VERIFY(!closing);
        QCOMPARE(windows.find<TForm_AboutMoravik>(), second); // the old one's end does not take the new one
        QCOMPARE(windows.openCount(), 1);

        QPointer<TForm_AboutMoravik> open = second;
        {
            WindowRegistry gone;
            gone.open<TForm_AboutMoravik>(make);
        }
        QCOMPARE(made, 3);
        QVERIFY(open);
        second->close();
        QTRY_VERIFY(!open);
        QCOMPARE(windows.openCount(), 0);
    }

    void aboutBoxNamesTheProgram()
    {
        AboutBox about;
        QCOMPARE(about.windowTitle(), QStringLiteral("Parlune"));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(AboutBox::version()).hasMatch());
        QVERIFY(QDate::fromString(AboutBox::buildDate(), Qt::ISODate).isValid());
    }
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
