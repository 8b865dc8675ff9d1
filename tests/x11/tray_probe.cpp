// Shows the real tray icon, menu and hot key, and prints every command they run on stdout, one a line.
// Driven from outside by test_tray_x11.sh with xdotool.
#include "engine/ConsoleState.h"
#include "engine/MemorySettingsStore.h"
#include "engine/NoticeSink.h"
#include "shell/HotKey.h"
#include "shell/MainMenu.h"
#include "shell/TrayIcon.h"

#include <QAction>
#include <QApplication>
#include <QTimer>
#include <cstdio>

namespace {

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

struct PrintedNotices final : NoticeSink
{
    void ShowNotice(const QByteArray &, const QByteArray &caption) override
    {
        say(QStringLiteral("notice %1").arg(QString::fromLatin1(caption)));
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    MemorySettingsStore store;
    PrintedNotices notices;
    ConsoleState state(store, notices);
    MainMenu menu(state);
    QObject::connect(&menu, &QMenu::aboutToShow, &menu, [] { say(QStringLiteral("menu shown")); });
    QObject::connect(&state, &ConsoleState::switchChanged, &menu, [](settings::Switch which, bool on) {
        say(QStringLiteral("switch %1 %2").arg(QLatin1String(settings::row(which).menuItem)).arg(on));
    });
    const auto sendMessage = [] { say(QStringLiteral("command sendMessage")); };
    const auto sendBroadcast = [] { say(QStringLiteral("command sendBroadcast")); };
    QObject::connect(menu.action(QStringLiteral("MenuItem_SendMessage")), &QAction::triggered, &menu, sendMessage);
    QObject::connect(menu.action(QStringLiteral("MenuItem_BSend")), &QAction::triggered, &menu, sendBroadcast);
    QObject::connect(menu.action(QStringLiteral("MenuItem_Close")), &QAction::triggered, &menu,
                     [] { QCoreApplication::quit(); });

    TrayIcon::Questions trayQuestions;
    trayQuestions.nickname = [] { return QByteArray("Probe"); };
    trayQuestions.localAddress = [] { return QByteArray("192.168.7.7"); };
    trayQuestions.flashingSwitch = [&state] { return state.innervation(); };
    trayQuestions.hasUnread = [] { return false; };
    TrayIcon tray(trayQuestions);
    QObject::connect(&tray, &TrayIcon::sendMessageRequested, &tray, sendMessage);
    QObject::connect(&tray, &TrayIcon::sendBroadcastRequested, &tray, sendBroadcast);
    QObject::connect(&tray, &TrayIcon::menuRequested, &menu, [&menu](const QPoint &at) {
        say(QStringLiteral("menu at %1 %2").arg(at.x()).arg(at.y()));
        menu.popupAt(at);
        // Where the item with a submenu landed, for the screenshot of an open submenu.
        QTimer::singleShot(300, &menu, [&menu] {
            const QAction *info = menu.action(QStringLiteral("MenuItem_InfoManage"));
            const QPoint centre = menu.mapToGlobal(menu.actionGeometry(const_cast<QAction *>(info)).center());
            say(QStringLiteral("submenu item %1 %2").arg(centre.x()).arg(centre.y()));
        });
    });
    tray.AddTrayIcon();

    HotKey hotKey;
    QObject::connect(&hotKey, &HotKey::activated, &tray, [] { say(QStringLiteral("hotkey")); });
    QObject::connect(&hotKey, &HotKey::activated, &tray, sendMessage);

    // The tray host embeds the icon asynchronously: report where it landed once it has a place.
    auto *report = new QTimer(&app);
    QObject::connect(report, &QTimer::timeout, &app, [&tray, &hotKey, report] {
        // Before the host has docked the icon it reports a place at the origin; trayer sits bottom right.
        const QRect where = tray.systemTrayIcon()->geometry();
        if (where.isEmpty() || where.topLeft() == QPoint(0, 0))
            return;
        report->stop();
        say(QStringLiteral("ready %1 %2 %3 %4 hotkey=%5")
                .arg(where.x())
                .arg(where.y())
                .arg(where.width())
                .arg(where.height())
                .arg(hotKey.isGrabbed()));
    });
    report->start(100);
    return QApplication::exec();
}
