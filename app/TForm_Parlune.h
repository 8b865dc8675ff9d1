#pragma once

#include "engine/ConsoleValues.h"
#include "engine/NoticeSink.h"
#include "engine/SettingsStore.h"
#include "engine/SocketEngine.h"
#include "messages/MessengerDeps.h"
#include "messages/ProclamationDeps.h"

#include <QByteArray>
#include <QWidget>

#include <memory>

class ExitFarewell;
class FriendTable;
class HotKey;
class InboundDispatch;
class MainMenu;
class MessageTable;
class Presence;
class QAction;
class QTimer;
struct StartupSettings;
class TerminationSignals;
class TrayIcon;

// The console: the program's hidden main window. It owns the sockets, the tables, the console values, the
// timers, the tray icon and the main menu for the whole run, brings them up in a fixed order and takes them
// down again, exactly once, whichever way the program is asked to end.
class TForm_Parlune final : public QWidget, public NoticeSink, public ConsoleValues
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm_Parlune)

public:
    // Defaults: the real ports and the settings file of the desktop session.
    TForm_Parlune(const SocketEngine::Endpoints &endpoints = {}, std::unique_ptr<SettingsStore> store = {},
                  QWidget *parent = nullptr);
    ~TForm_Parlune() override;

    // The console's start-up, in its order. Runs once, before the event loop.
    void FormCreate();

    // Tells the user something, through the notice window unless a sink was set.
    void ShowNotice(const QByteArray &text, const QByteArray &caption) override;
    // Replaces where notices go (tests, and the time before the notice window exists); null restores it.
    void setNoticeSink(NoticeSink *sink) { noticeSink_ = sink; }

    // Empties the friend table, refreshes OwnAddress and broadcasts the status.
    void AnnouncePresence();

    // "發送信息" (also the tray's left press and the hot key) and "發送廣播" (also Shift + left press).
    void MenuItem_SendMessageClick();
    void MenuItem_BSendClick();

    SocketEngine &socketEngine() { return *engine_; }
    SettingsStore &settingsStore() { return *store_; }
    bool hasClosed() const { return closed_; }

    FriendTable *RxMemoryData_Friend;
    MessageTable *RxMemoryData_Message;
    Presence *presence;
    InboundDispatch *inboundDispatch;
    QTimer *Timer_Refurbish;
    QTimer *Timer_Innervation;
    MainMenu *PopupMenu_Main;
    TrayIcon *trayIcon = nullptr;

    // Check marks of the main menu, the live values of the switches.
    QAction *MenuItem_SOnLine;
    QAction *MenuItem_SLeave;
    QAction *MenuItem_SHideLine;
    QAction *MenuItem_SOffLine;
    QAction *MenuItem_BShow;
    QAction *MenuItem_BAutoHide;
    QAction *MenuItem_IAtuoShow;
    QAction *MenuItem_IInnervation;
    QAction *MenuItem_ISuggestive;
    QAction *MenuItem_Helper;
    QAction *MenuItem_AutoRun;
    QAction *MenuItem_RTelnet;
    QAction *MenuItem_GAgree;
    QAction *MenuItem_Refurbish;
    QAction *MenuItem_Close;

Q_SIGNALS:
    // Every notice, as it is shown; the automation channel listens.
    void noticeShown(const QByteArray &text, const QByteArray &caption);

public Q_SLOTS:
    // A later start of the program asked for the console. Nothing happens yet: the tray decides.
    void ConsoleActivate();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    MainMenu *createMenu();
    void createTray();
    void registerActions();
    bool writeSwitch(const QString &item, bool checked);
    void applySettings(const StartupSettings &settings);
    void requestClose();
    // The close query: stores the input method, says goodbye on the network and closes the sockets.
    void FormCloseQuery();

    void RegisterHotKey();
    // The desktop assistant comes with its own work; these are where it plugs in.
    void LoadAssistant();
    void UnloadAssistant();
    // Opens the ticker unless it is open; closes it.
    void CreateTicker();
    void CloseTicker();
    void wireWindows();

    SocketEngine *engine_;
    std::unique_ptr<SettingsStore> store_;
    NoticeSink *noticeSink_ = nullptr;
    TerminationSignals *terminationSignals_ = nullptr;
    // The CMD_OFFLINE goodbye, sent once: by the close query or, failing that, at process exit.
    std::unique_ptr<ExitFarewell> farewell_;
    HotKey *hotKey_ = nullptr;
    // The default message font of the font dialog: "細明體" 10 points at start, never saved.
    QFont FontDialog_Font;
    MessengerDeps messengerDeps_;
    ProclamationDeps proclamationDeps_;
    bool created_ = false;
    bool closed_ = false;
};
