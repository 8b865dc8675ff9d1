#include "engine/ConsoleState.h"
#include "engine/MemorySettingsStore.h"
#include "engine/SettingWrites.h"
#include "engine/SettingsNames.h"
#include "engine/SettingsStore.h"
#include "engine/StartupSettings.h"
#include "shell/MainMenu.h"
#include "tests/support/NoticeRecorder.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <memory>

namespace {

// The frame of the menu's notices, as the notice window has always received them.
const QByteArray SansPrefix = R"({\rtf1\ansi\ansicpg950\deff0\deflang1033\deflangfe1028{\fonttbl{\f0\fnil\fcharset136 )"
                              R"(MS Sans Serif;}}\viewkind4\uc1\pard\lang1028\f0\fs16)";

// What the store holds for the switch an item shows: the number, or for the auto-start entry whether it exists.
std::optional<qint32> stored(MemorySettingsStore &store, const QString &item)
{
    const settings::SwitchRow *row = settings::rowOfMenuItem(item);
    if (!row)
        return std::nullopt;
    switch (row->place) {
    case settings::Place::AutoStart:
        return settings::readString(store, settings::AutoStartKey, row->valueName).has_value() ? 1 : 0;
    case settings::Place::Profile:
        return settings::readInteger(store, settings::ProfileKey, row->valueName);
    case settings::Place::System:
        break;
    }
    return settings::readInteger(store, settings::SystemKey, row->valueName);
}

} // namespace

class TestMainMenu final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MemorySettingsStore> store;
    NoticeRecorder notices;
    std::unique_ptr<ConsoleState> state;
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
        store = std::make_unique<MemorySettingsStore>();
        notices.clear();
        state = std::make_unique<ConsoleState>(*store, notices);
        menu = std::make_unique<MainMenu>(*state);
    }
    void cleanup()
    {
        menu.reset();
        state.reset();
    }

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
                                  {"MenuItem_Moravik", ""},
                                  {"MenuItem_History", "歷史記錄"}};
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
        QTest::newRow("show broadcasts") << "MenuItem_BShow" << true;
        QTest::newRow("auto hide") << "MenuItem_BAutoHide" << false;
        QTest::newRow("auto show") << "MenuItem_IAtuoShow" << true;
        QTest::newRow("flashing on") << "MenuItem_IInnervation" << false;
        QTest::newRow("sound") << "MenuItem_ISuggestive" << false;
        QTest::newRow("assistant") << "MenuItem_Helper" << false;
        QTest::newRow("autostart") << "MenuItem_AutoRun" << false;
        QTest::newRow("remote control") << "MenuItem_RTelnet" << true;
        QTest::newRow("game requests") << "MenuItem_GAgree" << true;
    }
    void switchWritesItsNewValue()
    {
        QFETCH(QString, name);
        QFETCH(bool, before);
        const settings::SwitchRow *row = settings::rowOfMenuItem(name);
        QVERIFY(row);
        QCOMPARE(menu->isChecked(name), before);
        QCOMPARE(state->isOn(row->which), before);
        item(name)->trigger();
        QCOMPARE(menu->isChecked(name), !before);
        QCOMPARE(state->isOn(row->which), !before);
        QCOMPARE(stored(*store, name), !before ? 1 : 0);
        QVERIFY(!MainMenu::settingOf(name).isEmpty());
        QCOMPARE(notices.count(), 0);
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
        store->setReadOnly(true);
        const bool before = menu->isChecked(name);
        item(name)->trigger();
        QCOMPARE(menu->isChecked(name), !before); // the run keeps the new value
        QCOMPARE(notices.count(), told ? 1 : 0);
        if (told) {
            QCOMPARE(notices.shown[0].caption, QByteArray("REGEDIT ERROR"));
            QCOMPARE(notices.shown[0].text,
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
        state->setShowBroadcasting(false);
        QVERIFY(!autoHide->isVisible());
    }

    // Start-up sets the marks through the state: no action is triggered, nothing but the defaults is written.
    void startUpValuesRunNoCommand()
    {
        for (auto name : {settings::AtuoShow, settings::Telnet, settings::GameAgree, settings::ShowBroadcasting})
            store->plant(settings::SystemKey, name, {MemorySettingsStore::Type::Integer, {}, 0});
        store->plant(settings::SystemKey, settings::State, {MemorySettingsStore::Type::Integer, {}, 2});
        QList<std::shared_ptr<QSignalSpy>> triggered;
        for (QAction *a : menu->findChildren<QAction *>())
            triggered.append(std::make_shared<QSignalSpy>(a, &QAction::triggered));
        StartupEnvironment environment;
        environment.ProgramDirectory = QStringLiteral("/nowhere/");
        state->load(environment);
        for (const auto &spy : triggered)
            QCOMPARE(spy->count(), 0);
        for (const settings::SwitchRow &row : settings::Switches)
            QCOMPARE(menu->isChecked(QLatin1String(row.menuItem)), state->isOn(row.which));
        QVERIFY(!menu->isChecked(QStringLiteral("MenuItem_RTelnet")));
        QVERIFY(menu->isChecked(QStringLiteral("MenuItem_IInnervation"))); // missing: on, written so
        QVERIFY(!item(QStringLiteral("MenuItem_BAutoHide"))->isVisible());
        QCOMPARE(menu->checkedStatus(), Presence::Hidden);
        QCOMPARE(stored(*store, QStringLiteral("MenuItem_RTelnet")), 0);
        QCOMPARE(settings::readInteger(*store, settings::SystemKey, settings::State), 2);
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
        QCOMPARE(int(state->status()), status);
        QCOMPARE(settings::readInteger(*store, settings::SystemKey, settings::State), status);
        QCOMPARE(int(menu->checkedStatus()), status);
        int checked = 0;
        for (const char *n : {"MenuItem_SOnLine", "MenuItem_SLeave", "MenuItem_SHideLine", "MenuItem_SOffLine"})
            checked += item(QLatin1String(n))->isChecked() ? 1 : 0;
        QCOMPARE(checked, 1);
    }

    // The commands are the console's: the menu itself writes nothing for them.
    void commandsTouchNoSetting()
    {
        for (const char *name : {"MenuItem_SendMessage", "MenuItem_BSend", "MenuItem_Bio", "MenuItem_SendFile",
                                 "MenuItem_RTelecentre", "MenuItem_GFive", "MenuItem_HelperSel", "MenuItem_Refurbish",
                                 "MenuItem_Preferences", "MenuItem_Help", "MenuItem_Empty"})
            item(QLatin1String(name))->trigger();
        QCOMPARE(store->values(settings::SystemKey), nullptr);
        QCOMPARE(store->values(settings::ProfileKey), nullptr);
        QCOMPARE(notices.count(), 0);
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
        QSignalSpy credits(item(QStringLiteral("MenuItem_Moravik")), &QAction::triggered);
        QTest::mouseClick(menu.get(), Qt::LeftButton, {}, onBanner);
        QTRY_COMPARE(credits.count(), 1);
        QVERIFY(!menu->isVisible());
    }

    void clickingAnItemRunsIt()
    {
        menu->popupAt(QPoint(10, 10));
        QVERIFY(QTest::qWaitForWindowExposed(menu.get()));
        QAction *refresh = item(QStringLiteral("MenuItem_Refurbish"));
        QSignalSpy triggered(refresh, &QAction::triggered);
        QTest::mouseClick(menu.get(), Qt::LeftButton, {}, menu->actionGeometry(refresh).center());
        QTRY_COMPARE(triggered.count(), 1);
    }
};

QTEST_MAIN(TestMainMenu)
#include "tst_mainmenu.moc"
