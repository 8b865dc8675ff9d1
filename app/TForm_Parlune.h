#pragma once

#include "engine/HistoryStore.h"
#include "engine/NoticeSink.h"
#include "engine/SettingsStore.h"
#include "engine/SocketEngine.h"
#include "messages/MessengerDeps.h"
#include "messages/ProclamationDeps.h"
#include "shell/assistant/SpeechBackend.h"

#include <QByteArray>
#include <QFont>
#include <QWidget>

#include <memory>

class AssistantController;
class ConsoleState;
class DesktopAssistant;
class ExitFarewell;
class FileTransfer;
class FriendTable;
class GameRouter;
class HistoryKeeper;
class HistoryStore;
class HotKey;
class InboundDispatch;
class MainMenu;
class MessageTable;
class OtherSegments;
class Presence;
class QTimer;
class ReceivedOffers;
class TerminationSignals;
class TrayIcon;
class WindowRegistry;
struct ConsoleValues;

// The console: the program's hidden main window and its composition root. It owns the store, the state, the
// sockets, the tables, the rules, the timers, the tray icon, the main menu and the window registry for the
// whole run, brings them up in a fixed order (constructor, then FormCreate) and takes them down again,
// exactly once, whichever way the program is asked to end (FormCloseQuery, then the destructor).
class TForm_Parlune final : public QWidget, public NoticeSink
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm_Parlune)

public:
    // Defaults: the real ports, the settings file of the desktop session and the desktop's voice.
    TForm_Parlune(const SocketEngine::Endpoints &endpoints = {}, std::unique_ptr<SettingsStore> store = {},
                  std::unique_ptr<SpeechBackend> voice = {}, QWidget *parent = nullptr);
    ~TForm_Parlune() override;

    // The console's start-up, in its order. Runs once, before the event loop.
    void FormCreate();

    // Tells the user something, through the notice window unless a sink was set.
    void ShowNotice(const QByteArray &text, const QByteArray &caption) override;
    // Replaces where notices go (tests, and the time before the notice window exists); null restores it.
    void setNoticeSink(NoticeSink *sink) { m_noticeSink = sink; }

    // Empties the friend table, refreshes OwnAddress and broadcasts the status.
    void AnnouncePresence();

    // "發送信息" (also the tray's left press and the hot key) and "發送廣播" (also Shift + left press).
    void MenuItem_SendMessageClick();
    void MenuItem_BSendClick();

    // The collaborators, for the automation channel and the tests.
    SocketEngine &socketEngine() { return *m_engine; }
    SettingsStore &settingsStore() { return *m_store; }
    ConsoleState &state() { return *m_state; }
    ConsoleValues &values();
    WindowRegistry &windows() { return *m_windows; }
    Presence &presence() { return *m_presence; }
    InboundDispatch &inboundDispatch() { return *m_inboundDispatch; }
    GameRouter &gameRouter() { return *m_gameRouter; }
    AssistantController &assistant() { return *m_assistantController; }
    DesktopAssistant &desktopAssistant() { return *m_assistant; }
    TrayIcon *trayIcon() const { return m_trayIcon; }
    bool hasClosed() const { return m_closed; }
    OtherSegments &otherSegments() { return *m_otherSegments; }
    FileTransfer &fileTransfer() { return *m_fileTransfer; }
    ReceivedOffers &receivedOffers() { return *m_receivedOffers; }
    HistoryStore &historyStore() { return *m_historyStore; }
    HistoryKeeper &historyKeeper() { return *m_historyKeeper; }

    FriendTable *RxMemoryData_Friend;
    MessageTable *RxMemoryData_Message;
    QTimer *Timer_Refurbish;
    QTimer *Timer_Innervation;
    MainMenu *PopupMenu_Main;

Q_SIGNALS:
    // Every notice, as it is shown; the automation channel listens.
    void noticeShown(const QByteArray &text, const QByteArray &caption);

public Q_SLOTS:
    // A later start of the program asked for the console. Nothing happens yet: the tray decides.
    void ConsoleActivate();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createTimers();
    void createTables();
    void createRules();
    void connectMenuCommands();
    void connectRules();
    void createTray();
    void registerActions();
    void wireWindows();
    void windowAdded(QWidget *window);
    void requestClose();
    // The close query: stores the input method, says goodbye on the network and closes the sockets.
    void FormCloseQuery();

    void RegisterHotKey();
    void createAssistant(std::unique_ptr<SpeechBackend> voice);
    void LoadAssistant();
    void UnloadAssistant();
    // Opens the ticker unless it is open; closes it.
    void CreateTicker();
    void CloseTicker();
    void MenuItem_EmptyClick();
    void MenuItem_AboutClick();
    void MenuItem_MoravikClick();
    void MenuItem_GFiveClick();
    void routeGame(const QByteArray &packet, bool viaStream);
    // Opens the history window, or raises it, with the chat with peer chosen when one is given.
    void openHistory(const QByteArray &peer);
    void showReceivedNotice(const QByteArray &text, const QByteArray &caption);
    void showBroadcast(const QByteArray &name, const QByteArray &time, const QByteArray &body);
    void createFileTransfer(const SocketEngine::Endpoints &endpoints);
    void startFileTransfer();
    void routeFileTransfer(const QByteArray &packet);
    void MenuItem_SendFileClick();
    // The store opened, the messages of the last run back in the table, and what is said kept from now on.
    void createHistory();
    // Drops the history older than the setting keeps; run at start-up and once a day.
    void purgeHistory();

    std::unique_ptr<SettingsStore> m_store;
    ConsoleState *m_state;
    SocketEngine *m_engine;
    // The single-instance windows; they close with the console.
    std::unique_ptr<WindowRegistry> m_windows;
    Presence *m_presence = nullptr;
    InboundDispatch *m_inboundDispatch = nullptr;
    GameRouter *m_gameRouter = nullptr;
    // Set while a game packet is handled when the routing could not read it.
    bool m_gamePacketUnreadable = false;
    TrayIcon *m_trayIcon = nullptr;
    NoticeSink *m_noticeSink = nullptr;
    TerminationSignals *m_terminationSignals = nullptr;
    // The CMD_OFFLINE goodbye, sent once: by the close query or, failing that, at process exit.
    std::unique_ptr<ExitFarewell> m_farewell;
    HotKey *m_hotKey = nullptr;
    DesktopAssistant *m_assistant = nullptr;
    AssistantController *m_assistantController = nullptr;
    // The default message font of the font dialog: "細明體" 10 points at start, never saved.
    QFont FontDialog_Font;
    MessengerDeps m_messengerDeps;
    ProclamationDeps m_proclamationDeps;
    bool m_created = false;
    bool m_closed = false;
    OtherSegments *m_otherSegments = nullptr;
    // Files offered to and by this host; the offers received outlive their window.
    std::unique_ptr<FileTransfer> m_fileTransfer;
    ReceivedOffers *m_receivedOffers = nullptr;
    bool m_fileTransferListening = false;
    // What lasts beyond the run: the message table's rows and the history, in the user's data folder.
    std::unique_ptr<HistoryStore> m_historyStore;
    HistoryKeeper *m_historyKeeper = nullptr;
    QTimer *m_historyPurge = nullptr;
    // Some message of the last run came back unread: the tray flashes once it is there.
    bool m_restoredUnread = false;
};
