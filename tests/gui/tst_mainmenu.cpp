#include "shell/MainMenu.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <memory>

// The frame of the menu's notices, as the notice window has always received them.
const QByteArray SansPrefix = R"({\rtf1\ansi\ansicpg950\deff0\deflang1033\deflangfe1028{\fonttbl{\f0\fnil\fcharset136 )"
                              R"(MS Sans Serif;}}\viewkind4\uc1\pard\lang1028\f0\fs16)";

// Records what the menu asked of the console.
struct Console
{
    QStringList calls;
    QList<QPair<QString, bool>> writes;
    QList<QPair<QByteArray, QByteArray>> notices;
    bool writeSucceeds = true;

    MainMenu::Hooks hooks()
    {
        MainMenu::Hooks h;
        h.writeSwitch = [this](const QString &item, bool checked) {
            writes.append({item, checked});
            return writeSucceeds;
        };
        h.showNotice = [this](const QByteArray &text, const QByteArray &caption) { notices.append({text, caption}); };
        auto record = [this](const char *what) { return [this, what] { calls.append(QLatin1String(what)); }; };
        h.sendMessage = record("sendMessage");
        h.sendBroadcast = record("sendBroadcast");
        h.openProfile = record("openProfile");
        h.openSendFile = record("openSendFile");
        h.openRemoteHost = record("openRemoteHost");
        h.openGame = record("openGame");
        h.chooseAssistant = record("chooseAssistant");
        h.emptyMessages = record("emptyMessages");
        h.announcePresence = record("announcePresence");
        h.closeConsole = record("closeConsole");
        h.showAbout = record("showAbout");
        h.openCredits = record("openCredits");
        h.flashingSwitchedOn = record("flashingSwitchedOn");
        h.showTicker = [this](bool on) { calls.append(QStringLiteral("showTicker %1").arg(on)); };
        h.tickerAutoHide = [this](bool on) { calls.append(QStringLiteral("tickerAutoHide %1").arg(on)); };
        h.assistantSwitched = [this](bool on) { calls.append(QStringLiteral("assistantSwitched %1").arg(on)); };
        h.setStatus = [this](Presence::Status s) { calls.append(QStringLiteral("setStatus %1").arg(int(s))); };
        return h;
    }
};

class TestMainMenu final : public QObject
{
    Q_OBJECT

private:
    Console console;
    std::unique_ptr<MainMenu> menu;

    QAction *item(const QString &name)
    {
        auto *found = menu->findChild<QAction *>(name);
        if (!found)
            qWarning("no item %s", qPrintable(name));
        return found;
    }

private Q_SLOTS:
    void init()
    {
        console = Console();
        menu = std::make_unique<MainMenu>(console.hooks());
    }
    void cleanup() { menu.reset(); }

    void everyItemHasItsNameAndCaption_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        const char *items[][2] = {{"MenuItem_Broadcasting", "系統廣播"},
                                  {"MenuItem_InfoManage", "信息管理"},
                                  {"MenuItem_SendMessage", "發送信息"},
                                  {"MenuItem_Bio", "個人設定"},
                                  {"MenuItem_SysSetup", "系統參數"},
                                  {"MenuItem_RemoteBatch", "遠程管理"},
                                  {"MenuItem_Game", "網絡遊戲"},
                                  {"MenuItem_SendFile", "傳送文件"},
                                  {"MenuItem_About", "關于..."},
                                  {"MenuItem_Help", "幫助"},
                                  {"MenuItem_Refurbish", "刷新"},
                                  {"MenuItem_State", "狀態"},
                                  {"MenuItem_Close", "退出"},
                                  {"MenuItem_BSend", "發送廣播"},
                                  {"MenuItem_BShow", "顯示廣播"},
                                  {"MenuItem_BAutoHide", "自動隱藏"},
                                  {"MenuItem_IAtuoShow", "自動彈出"},
                                  {"MenuItem_IInnervation", "圖標閃動"},
                                  {"MenuItem_ISuggestive", "聲音提示"},
                                  {"MenuItem_Empty", "清空信息"},
                                  {"MenuItem_Preferences", "參數設置"},
                                  {"MenuItem_Helper", "Parlune 助手"},
                                  {"MenuItem_HelperSel", "選擇助手"},
                                  {"MenuItem_AutoRun", "自動啟動"},
                                  {"MenuItem_RTelecentre", "連接主機"},
                                  {"MenuItem_RTelnet", "遠程控制"},
                                  {"MenuItem_GFive", "妙手連珠"},
                                  {"MenuItem_GAgree", "接受請求"},
                                  {"MenuItem_SOnLine", "上線"},
                                  {"MenuItem_SLeave", "離開"},
                                  {"MenuItem_SHideLine", "隱身"},
                                  {"MenuItem_SOffLine", "離線"},
                                  {"MenuItem_Moravik", ""}};
        for (const auto &i : items)
            QTest::newRow(i[0]) << QString::fromUtf8(i[0]) << QString::fromUtf8(i[1]);
    }
    void everyItemHasItsNameAndCaption()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QAction *found = item(name);
        QVERIFY(found);
        QCOMPARE(found->text(), caption);
        QCOMPARE(menu->action(name), found);
    }

    void topLevelOrder()
    {
        QStringList names;
        for (QAction *a : menu->actions())
            names << a->objectName();
        const QStringList expected{QStringLiteral("MenuItem_Broadcasting"),
                                   QStringLiteral("MenuItem_InfoManage"),
                                   QStringLiteral("MenuItem_SendMessage"),
                                   QStringLiteral("MenuItem_Separate"),
                                   QStringLiteral("MenuItem_Bio"),
                                   QStringLiteral("MenuItem_SysSetup"),
                                   QStringLiteral("N4"),
                                   QStringLiteral("MenuItem_RemoteBatch"),
                                   QStringLiteral("MenuItem_Game"),
                                   QStringLiteral("N12"),
                                   QStringLiteral("MenuItem_SendFile"),
                                   QStringLiteral("N15"),
                                   QStringLiteral("MenuItem_About"),
                                   QStringLiteral("MenuItem_Help"),
                                   QStringLiteral("N3"),
                                   QStringLiteral("MenuItem_Refurbish"),
                                   QStringLiteral("MenuItem_State"),
                                   QStringLiteral("N1"),
                                   QStringLiteral("MenuItem_Close")};
        QCOMPARE(names, expected);
    }

    void checkMarksAsCreated()
    {
        const QStringList on{QStringLiteral("MenuItem_BShow"), QStringLiteral("MenuItem_IAtuoShow"),
                             QStringLiteral("MenuItem_RTelnet"), QStringLiteral("MenuItem_GAgree"),
                             QStringLiteral("MenuItem_SOnLine")};
        for (QAction *a : menu->findChildren<QAction *>())
            QCOMPARE(a->isChecked(), on.contains(a->objectName()));
        QCOMPARE(menu->checkedStatus(), Presence::Online);
    }

    void switchWritesItsNewValue_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("before");
        QTest::addColumn<QString>("further");
        QTest::newRow("show broadcasts") << "MenuItem_BShow" << true << "showTicker 0";
        QTest::newRow("auto hide") << "MenuItem_BAutoHide" << false << "tickerAutoHide 1";
        QTest::newRow("auto show") << "MenuItem_IAtuoShow" << true << "";
        QTest::newRow("flashing on") << "MenuItem_IInnervation" << false << "flashingSwitchedOn";
        QTest::newRow("sound") << "MenuItem_ISuggestive" << false << "";
        QTest::newRow("assistant") << "MenuItem_Helper" << false << "assistantSwitched 1";
        QTest::newRow("autostart") << "MenuItem_AutoRun" << false << "";
        QTest::newRow("remote control") << "MenuItem_RTelnet" << true << "";
        QTest::newRow("game requests") << "MenuItem_GAgree" << true << "";
    }
    void switchWritesItsNewValue()
    {
        QFETCH(QString, name);
        QFETCH(bool, before);
        QFETCH(QString, further);
        QCOMPARE(menu->isChecked(name), before);
        item(name)->trigger();
        QCOMPARE(menu->isChecked(name), !before);
        QCOMPARE(console.writes, (QList<QPair<QString, bool>>{{name, !before}}));
        QCOMPARE(console.calls, further.isEmpty() ? QStringList() : QStringList{further});
        QVERIFY(!MainMenu::settingOf(name).isEmpty());
        QVERIFY(console.notices.isEmpty());
    }

    void flashingSwitchedOffLeavesTheTimerAlone()
    {
        menu->setChecked(QStringLiteral("MenuItem_IInnervation"), true);
        item(QStringLiteral("MenuItem_IInnervation"))->trigger();
        QVERIFY(console.calls.isEmpty());
    }

    void failedWriteIsToldOnlyForShowBroadcasts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("told");
        QTest::newRow("show broadcasts") << "MenuItem_BShow" << true;
        QTest::newRow("auto show") << "MenuItem_IAtuoShow" << false;
        QTest::newRow("autostart") << "MenuItem_AutoRun" << false;
        QTest::newRow("game requests") << "MenuItem_GAgree" << false;
    }
    void failedWriteIsToldOnlyForShowBroadcasts()
    {
        QFETCH(QString, name);
        QFETCH(bool, told);
        console.writeSucceeds = false;
        const bool before = menu->isChecked(name);
        item(name)->trigger();
        QCOMPARE(menu->isChecked(name), !before); // the run keeps the new value
        QCOMPARE(console.notices.size(), told ? 1 : 0);
        if (told) {
            QCOMPARE(console.notices[0].second, QByteArray("REGEDIT ERROR"));
            QCOMPARE(console.notices[0].first,
                     SansPrefix + R"(\'b5\'4c\'aa\'6b\'bc\'67\'a4\'4a\'aa\'60\'a5\'55\'aa\'ed\'ab\'48\'ae\'a7!\par})");
        }
    }

    void autoHideFollowsShowBroadcasts()
    {
        QAction *show = item(QStringLiteral("MenuItem_BShow"));
        QAction *autoHide = item(QStringLiteral("MenuItem_BAutoHide"));
        QVERIFY(autoHide->isVisible());
        autoHide->trigger();
        QVERIFY(autoHide->isChecked());
        show->trigger();
        QVERIFY(!autoHide->isVisible());
        show->trigger();
        QVERIFY(autoHide->isVisible());
        QVERIFY(autoHide->isChecked()); // comes back with its check mark
        menu->setChecked(QStringLiteral("MenuItem_BShow"), false);
        QVERIFY(!autoHide->isVisible());
    }

    void startUpValuesRunNoCommand()
    {
        for (QAction *a : menu->findChildren<QAction *>())
            if (a->isCheckable())
                menu->setChecked(a->objectName(), !a->isChecked());
        menu->setStatus(Presence::Hidden);
        QVERIFY(console.calls.isEmpty());
        QVERIFY(console.writes.isEmpty());
        QCOMPARE(menu->checkedStatus(), Presence::Hidden);
    }

    void statusIsOneRadioGroup_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("status");
        QTest::newRow("online") << "MenuItem_SOnLine" << int(Presence::Online);
        QTest::newRow("away") << "MenuItem_SLeave" << int(Presence::Away);
        QTest::newRow("hidden") << "MenuItem_SHideLine" << int(Presence::Hidden);
        QTest::newRow("offline") << "MenuItem_SOffLine" << int(Presence::Offline);
    }
    void statusIsOneRadioGroup()
    {
        QFETCH(QString, name);
        QFETCH(int, status);
        item(name)->trigger();
        QCOMPARE(console.calls, QStringList{QStringLiteral("setStatus %1").arg(status)});
        QCOMPARE(int(menu->checkedStatus()), status);
        int checked = 0;
        for (const char *n : {"MenuItem_SOnLine", "MenuItem_SLeave", "MenuItem_SHideLine", "MenuItem_SOffLine"})
            checked += item(QLatin1String(n))->isChecked() ? 1 : 0;
        QCOMPARE(checked, 1);
    }

    void commandsRunTheirHook_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("call");
        QTest::newRow("send message") << "MenuItem_SendMessage"
                                      << "sendMessage";
        QTest::newRow("send broadcast") << "MenuItem_BSend"
                                        << "sendBroadcast";
        QTest::newRow("profile") << "MenuItem_Bio"
                                 << "openProfile";
        QTest::newRow("send file") << "MenuItem_SendFile"
                                   << "openSendFile";
        QTest::newRow("remote host") << "MenuItem_RTelecentre"
                                     << "openRemoteHost";
        QTest::newRow("game") << "MenuItem_GFive"
                              << "openGame";
        QTest::newRow("choose assistant") << "MenuItem_HelperSel"
                                          << "chooseAssistant";
        QTest::newRow("refresh") << "MenuItem_Refurbish"
                                 << "announcePresence";
        QTest::newRow("about") << "MenuItem_About"
                               << "showAbout";
        QTest::newRow("credits") << "MenuItem_Moravik"
                                 << "openCredits";
        QTest::newRow("exit") << "MenuItem_Close"
                              << "closeConsole";
        QTest::newRow("preferences do nothing") << "MenuItem_Preferences"
                                                << "";
        QTest::newRow("help does nothing") << "MenuItem_Help"
                                           << "";
    }
    void commandsRunTheirHook()
    {
        QFETCH(QString, name);
        QFETCH(QString, call);
        item(name)->trigger();
        QCOMPARE(console.calls, call.isEmpty() ? QStringList() : QStringList{call});
        QVERIFY(console.writes.isEmpty());
    }

    void emptyMessagesTellsTheUser()
    {
        item(QStringLiteral("MenuItem_Empty"))->trigger();
        QCOMPARE(console.calls, QStringList{QStringLiteral("emptyMessages")});
        QCOMPARE(console.notices.size(), 1);
        QCOMPARE(console.notices[0].second, QByteArray("EMPTY MESSAGE"));
        QCOMPARE(console.notices[0].first,
                 SansPrefix + R"(\'b2\'4d\'aa\'c5\'b2\'e1\'a4\'d1\'b0\'4f\'bf\'fd\'a4\'77\'a7\'b9\'a6\'a8!\par})");
    }

    void measuresFollowTheRules()
    {
        menu->popupAt(QPoint(10, 10));
        QVERIFY(QTest::qWaitForWindowExposed(menu.get()));
        const QStringList itemRule{QStringLiteral("MenuItem_Broadcasting"), QStringLiteral("MenuItem_InfoManage"),
                                   QStringLiteral("MenuItem_SendMessage"),  QStringLiteral("MenuItem_Bio"),
                                   QStringLiteral("MenuItem_SysSetup"),     QStringLiteral("MenuItem_RemoteBatch"),
                                   QStringLiteral("MenuItem_SendFile"),     QStringLiteral("MenuItem_About"),
                                   QStringLiteral("MenuItem_Help"),         QStringLiteral("MenuItem_Refurbish"),
                                   QStringLiteral("MenuItem_Close")};
        int height = 0;
        for (QAction *a : menu->actions()) {
            const QRect r = menu->actionGeometry(a);
            height += r.height();
            QVERIFY2(r.left() >= MainMenu::BannerWidth, qPrintable(a->objectName()));
            if (a->isSeparator())
                QCOMPARE(r.height(), MainMenu::SeparatorHeight);
            if (itemRule.contains(a->objectName())) {
                QCOMPARE(r.height(), MainMenu::ItemHeight);
                QVERIFY(r.width() >= MainMenu::ItemMinWidth);
            }
        }
        const QRect banner = menu->bannerRect();
        QCOMPARE(banner.width(), MainMenu::BannerWidth);
        QCOMPARE(banner.height(), height);
        menu->hide();
    }

    void opensAtThePointerAndTheBannerOpensCredits()
    {
        const QPoint at(40, 30);
        menu->popupAt(at);
        QVERIFY(QTest::qWaitForWindowExposed(menu.get()));
        QCOMPARE(menu->geometry().topLeft(), at);
        const QPoint onBanner = menu->bannerRect().center();
        QTest::mouseClick(menu.get(), Qt::LeftButton, {}, onBanner);
        QTRY_COMPARE(console.calls, QStringList{QStringLiteral("openCredits")});
        QVERIFY(!menu->isVisible());
    }

    void clickingAnItemRunsIt()
    {
        menu->popupAt(QPoint(10, 10));
        QVERIFY(QTest::qWaitForWindowExposed(menu.get()));
        QAction *refresh = item(QStringLiteral("MenuItem_Refurbish"));
        QTest::mouseClick(menu.get(), Qt::LeftButton, {}, menu->actionGeometry(refresh).center());
        QTRY_COMPARE(console.calls, QStringList{QStringLiteral("announcePresence")});
    }
};

QTEST_MAIN(TestMainMenu)
#include "tst_mainmenu.moc"
