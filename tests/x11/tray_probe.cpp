// Shows the real tray icon, menu and hot key, and prints every command they run on stdout, one a line.
// Driven from outside by test_tray_x11.sh with xdotool.
#include "shell/HotKey.h"
#include "shell/MainMenu.h"
#include "shell/TrayIcon.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

namespace {

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    MainMenu::Hooks menuHooks;
    menuHooks.sendMessage = [] { say(QStringLiteral("command sendMessage")); };
    menuHooks.sendBroadcast = [] { say(QStringLiteral("command sendBroadcast")); };
    menuHooks.closeConsole = [] { QCoreApplication::quit(); };
    menuHooks.writeSwitch = [](const QString &item, bool checked) {
        say(QStringLiteral("switch %1 %2").arg(item).arg(checked));
        return true;
    };
    MainMenu menu(menuHooks);
    QObject::connect(&menu, &QMenu::aboutToShow, &menu, [] { say(QStringLiteral("menu shown")); });

    TrayIcon::Hooks trayHooks;
    trayHooks.nickname = [] { return QByteArray("Probe"); };
    trayHooks.localAddress = [] { return QByteArray("192.168.7.7"); };
    trayHooks.flashingSwitch = [&menu] { return menu.isChecked(QStringLiteral("MenuItem_IInnervation")); };
    trayHooks.hasUnread = [] { return false; };
    trayHooks.sendMessage = menuHooks.sendMessage;
    trayHooks.sendBroadcast = menuHooks.sendBroadcast;
    trayHooks.popupMenu = [&menu](const QPoint &at) {
        say(QStringLiteral("menu at %1 %2").arg(at.x()).arg(at.y()));
        menu.popupAt(at);
        // Where the item with a submenu landed, for the screenshot of an open submenu.
        QTimer::singleShot(300, &menu, [&menu] {
            const QAction *info = menu.action(QStringLiteral("MenuItem_InfoManage"));
            const QPoint centre = menu.mapToGlobal(menu.actionGeometry(const_cast<QAction *>(info)).center());
            say(QStringLiteral("submenu item %1 %2").arg(centre.x()).arg(centre.y()));
        });
    };
    TrayIcon tray(trayHooks);
    tray.AddTrayIcon();

    HotKey hotKey;
    QObject::connect(&hotKey, &HotKey::activated, &tray, [] { say(QStringLiteral("hotkey")); });
    QObject::connect(&hotKey, &HotKey::activated, &tray, menuHooks.sendMessage);

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
