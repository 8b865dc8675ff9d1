#include "app/TForm_Parlune.h"

#include "admin/ReceivedOffers.h"
#include "admin/TForm_Diagnosis.h"
#include "admin/TForm_FileReceive.h"
#include "admin/TForm_PIM.h"
#include "admin/TForm_Preferences.h"
#include "admin/TForm_SendFile.h"
#include "admin/TForm_Telecentre.h"
#include "admin/transfer/FileTransfer.h"
#include "engine/ConsoleState.h"
#include "engine/FriendTable.h"
#include "engine/HistoryKeeper.h"
#include "engine/HistoryStore.h"
#include "engine/InboundDispatch.h"
#include "engine/MessageTable.h"
#include "engine/NoticeText.h"
#include "engine/OtherSegments.h"
#include "engine/Packet.h"
#include "engine/Presence.h"
#include "engine/SettingsNames.h"
#include "engine/StartupSettings.h"
#include "engine/WireTexts.h"
#include "game/GameRouter.h"
#include "game/TForm_Gobang.h"
#include "game/UnknownGameBox.h"
#include "messages/TForm_History.h"
#include "messages/TForm_Messenger.h"
#include "messages/TForm_Proclamation.h"
#include "platform/ExitFarewell.h"
#include "platform/HostAddress.h"
#include "platform/InputMethod.h"
#include "platform/PowerOff.h"
#include "platform/ProgramData.h"
#include "platform/TerminationSignals.h"
#include "shell/AboutBox.h"
#include "shell/HotKey.h"
#include "shell/MainMenu.h"
#include "shell/TForm_AboutMoravik.h"
#include "shell/TForm_Broadcasting.h"
#include "shell/TForm_RebutInfo.h"
#include "shell/TrayIcon.h"
#include "shell/assistant/AssistantController.h"
#include "shell/assistant/DesktopAssistant.h"
#include "widgets/WindowRegistry.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QSessionManager>
#include <QTimer>

#include <stdexcept>

// ---- creation, in order -------------------------------------------------------------------------------------

TForm_Parlune::TForm_Parlune(const SocketEngine::Endpoints &endpoints, std::unique_ptr<SettingsStore> store,
                             std::unique_ptr<SpeechBackend> voice, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint),
      m_store(store ? std::move(store) : std::make_unique<IniSettingsStore>()),
      m_state(new ConsoleState(*m_store, *this, this)), m_engine(new SocketEngine(*this, endpoints, {}, this)),
      m_windows(std::make_unique<WindowRegistry>())
{
    setObjectName(QStringLiteral("Form_Parlune"));
    setWindowTitle(QStringLiteral("Parlune - Console"));

    createTimers();
    createTables();
    createRules();
    PopupMenu_Main = new MainMenu(*m_state, this);
    connectMenuCommands();
    createAssistant(std::move(voice));
    connectRules();
    registerActions();
    wireWindows();
    createHistory();
    connect(m_windows.get(), &WindowRegistry::added, this, &TForm_Parlune::windowAdded);
    // Every broadcast also goes to the other segments of the list, as start-up reads it and the user changes it.
    m_otherSegments = new OtherSegments(*m_store, this);
    connect(m_otherSegments, &OtherSegments::destinationsChanged, m_engine, &SocketEngine::setExtraDestinations);
    createFileTransfer(endpoints);

    // A failed engine asks to close while start-up still runs; the close waits for the event loop.
    connect(m_engine, &SocketEngine::closeRequested, this, &TForm_Parlune::requestClose, Qt::QueuedConnection);

    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        // Logging out: say goodbye like any other close. aboutToQuit catches every other way out.
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &) { close(); });
        connect(app, &QCoreApplication::aboutToQuit, this, &TForm_Parlune::FormCloseQuery);
    }
}

void TForm_Parlune::FormCreate()
{
    if (m_created)
        return;
    m_created = true;
    // From here on a termination request waits for the event loop and ends through the close query.
    m_terminationSignals = new TerminationSignals(this);
    connect(m_terminationSignals, &TerminationSignals::terminationRequested, this, &TForm_Parlune::requestClose);

    createTray();
    RegisterHotKey();
    m_state->setOwnAddress(LocalAddress());
    values().AutoReplyText = InboundDispatch::defaultAutoReply();
    m_engine->StartSocketEngine();
    // Before the settings: their reading sends the first announcement.
    m_otherSegments->load();
    // The goodbye also goes out when the process ends without the close query, e.g. when the X server dies
    // and Qt calls exit(). It is one sendto() on the open socket, which needs no event loop.
    m_farewell = std::make_unique<ExitFarewell>(
        [this] { m_engine->SendBroadcast(Packet::build(Packet::CMD_OFFLINE, {LocalAddress()})); });

    // Reading the settings announces the status, loads the assistant and creates the ticker at its moments.
    connect(m_state, &ConsoleState::presenceDue, this, &TForm_Parlune::AnnouncePresence);
    connect(m_state, &ConsoleState::assistantDue, this, &TForm_Parlune::LoadAssistant);
    connect(m_state, &ConsoleState::tickerDue, this, &TForm_Parlune::CreateTicker);
    StartupEnvironment environment;
    environment.OwnAddress = values().OwnAddress;
    environment.ExecutablePath = QCoreApplication::applicationFilePath();
    environment.ProgramDirectory = ProgramDataDirectory();
    environment.ComputerName = HostComputerName();
    environment.CurrentImeName = [] { return CurrentImeName(); };
    m_state->load(environment);
    m_assistantController->startupDone();
    startFileTransfer();

    m_trayIcon->AddTrayIcon();

    m_historyKeeper->reportOpening();
    // Unread messages of the last run make the tray flash as if they had just arrived.
    if (m_restoredUnread)
        m_trayIcon->unreadMessageStored();
    purgeHistory();
    m_historyPurge->start();
}

void TForm_Parlune::createTimers()
{
    Timer_Refurbish = new QTimer(this);
    Timer_Refurbish->setObjectName(QStringLiteral("Timer_Refurbish"));
    Timer_Refurbish->setInterval(600000);
    connect(Timer_Refurbish, &QTimer::timeout, this, &TForm_Parlune::AnnouncePresence);
    Timer_Refurbish->start();

    Timer_Innervation = new QTimer(this);
    Timer_Innervation->setObjectName(QStringLiteral("Timer_Innervation"));
    Timer_Innervation->setInterval(500);
}

void TForm_Parlune::createTables()
{
    RxMemoryData_Friend = new FriendTable(this);
    RxMemoryData_Friend->setObjectName(QStringLiteral("RxMemoryData_Friend"));
    RxMemoryData_Message = new MessageTable(this);
    RxMemoryData_Message->setObjectName(QStringLiteral("RxMemoryData_Message"));
    connect(RxMemoryData_Message, &MessageTable::noticeRequested, this, &TForm_Parlune::ShowNotice);
}

void TForm_Parlune::createRules()
{
    m_presence = new Presence(
        *RxMemoryData_Friend, *m_engine, values(), [] { return LocalAddress(); }, this);
    // The state holds the status the user chose or start-up read; the presence rules announce it.
    connect(m_state, &ConsoleState::statusChanged, m_presence, &Presence::restoreStatus);

    InboundDispatch::Questions questions;
    questions.localAddress = [] { return LocalAddress(); };
    questions.messageWindowOpen = [this] { return m_windows->find<TForm_Messenger>() != nullptr; };
    questions.powerOffHost = [] { return PowerOffHost(); };
    m_inboundDispatch = new InboundDispatch(*RxMemoryData_Message, *m_engine, *m_state, std::move(questions), this);
    m_gameRouter = new GameRouter(*m_state, *m_engine, GameRouter::DefaultUnknownDataQuiet, this);
}

// The menu sets the state itself; what a command does beyond that is the console's.
void TForm_Parlune::connectMenuCommands()
{
    auto on = [this](const char *item, auto handler) {
        connect(PopupMenu_Main->action(QLatin1String(item)), &QAction::triggered, this, handler);
    };
    on("MenuItem_SendMessage", &TForm_Parlune::MenuItem_SendMessageClick);
    on("MenuItem_BSend", &TForm_Parlune::MenuItem_BSendClick);
    on("MenuItem_Empty", &TForm_Parlune::MenuItem_EmptyClick);
    on("MenuItem_Refurbish", &TForm_Parlune::AnnouncePresence);
    on("MenuItem_About", &TForm_Parlune::MenuItem_AboutClick);
    on("MenuItem_Moravik", &TForm_Parlune::MenuItem_MoravikClick);
    on("MenuItem_GFive", &TForm_Parlune::MenuItem_GFiveClick);
    on("MenuItem_Bio", [this] {
        m_windows->open<TForm_PIM>([this] { return new TForm_PIM(*m_state, *m_store, *m_presence, *m_engine, *this); });
    });
    on("MenuItem_RTelecentre", [this] {
        m_windows->open<TForm_Telecentre>(
            [this] { return new TForm_Telecentre(values(), *RxMemoryData_Friend, *m_engine); });
    });
    on("MenuItem_Close", [this] { close(); });
    on("MenuItem_BShow", [this] { m_state->showBroadcasting() ? CreateTicker() : CloseTicker(); });
    on("MenuItem_BAutoHide", [this] {
        if (auto *ticker = m_windows->find<TForm_Broadcasting>())
            ticker->autoHideSwitched(m_state->broadcastAutoHide());
    });
    // Switching off leaves the timer running: its next tick brings the icon to rest.
    on("MenuItem_IInnervation", [this] {
        if (m_state->innervation() && m_trayIcon)
            m_trayIcon->flashingSwitchedOn();
    });
    on("MenuItem_Diagnosis", [this] {
        m_windows->open<TForm_Diagnosis>(
            [this] { return new TForm_Diagnosis(*m_engine, *m_presence, *RxMemoryData_Friend, m_fileTransfer.get()); });
    });
    on("MenuItem_History", [this] { openHistory({}); });
    on("MenuItem_SendFile", &TForm_Parlune::MenuItem_SendFileClick);
    const struct
    {
        const char *item;
        Presence::Status status;
    } statuses[] = {{"MenuItem_SOnLine", Presence::Online},
                    {"MenuItem_SLeave", Presence::Away},
                    {"MenuItem_SHideLine", Presence::Hidden},
                    {"MenuItem_SOffLine", Presence::Offline}};
    for (const auto &s : statuses) {
        const Presence::Status status = s.status;
        on(s.item, [this, status] { m_presence->SetStatus(status); });
    }
    on("MenuItem_Preferences",
       [this] { m_windows->open<TForm_Preferences>([this] { return new TForm_Preferences(*m_otherSegments); }); });
}

void TForm_Parlune::connectRules()
{
    InboundDispatch *d = m_inboundDispatch;
    connect(d, &InboundDispatch::beepRequested, this, [] { QApplication::beep(); });
    connect(d, &InboundDispatch::noticeRaised, this, &TForm_Parlune::ShowNotice);
    connect(d, &InboundDispatch::noticeReceived, this, &TForm_Parlune::showReceivedNotice);
    connect(d, &InboundDispatch::readingRequested, this, [this] { TForm_Messenger::OpenForReading(m_messengerDeps); });
    connect(d, &InboundDispatch::broadcastArrived, this, &TForm_Parlune::showBroadcast);
    connect(d, &InboundDispatch::unreadSignalled, this, [this] {
        if (m_trayIcon)
            m_trayIcon->unreadMessageStored();
    });
    connect(d, &InboundDispatch::closeRequested, this, &TForm_Parlune::requestClose);
    connect(d, &InboundDispatch::gameArrived, this, &TForm_Parlune::routeGame);
    connect(m_presence, &Presence::hostWentOffline, m_gameRouter, &GameRouter::hostWentOffline);
    showUnknownGameBoxes(*m_gameRouter, this);
}

void TForm_Parlune::createTray()
{
    TrayIcon::Questions questions;
    questions.nickname = [this] { return values().OwnNickname; };
    questions.localAddress = [] { return LocalAddress(); };
    questions.flashingSwitch = [this] { return m_state->innervation(); };
    questions.hasUnread = [this] { return RxMemoryData_Message->locateFirstUnread() >= 0; };
    m_trayIcon = new TrayIcon(std::move(questions), Timer_Innervation, this);
    connect(m_trayIcon, &TrayIcon::menuRequested, PopupMenu_Main, &MainMenu::popupAt);
    connect(m_trayIcon, &TrayIcon::sendMessageRequested, this, &TForm_Parlune::MenuItem_SendMessageClick);
    connect(m_trayIcon, &TrayIcon::sendBroadcastRequested, this, &TForm_Parlune::MenuItem_BSendClick);
    // The tooltip carries the nickname: a new one (the profile's) shows at once.
    connect(m_state, &ConsoleState::ownNicknameChanged, m_trayIcon, &TrayIcon::refreshTip);
}

// Each arriving command goes to the rules that act on it; the engine keeps the transport of each code.
void TForm_Parlune::registerActions()
{
    using T = SocketEngine::Transport;
    using namespace Packet;
    SocketEngine &e = *m_engine;
    Presence *p = m_presence;
    InboundDispatch *d = m_inboundDispatch;
    e.registerAction(T::Udp, CMD_OFFLINE, [p](const QByteArray &packet) { p->onOffline(packet); });
    e.registerAction(T::Udp, CMD_ONLINE, [p](const QByteArray &packet) { p->onOnline(packet); });
    e.registerAction(T::Udp, CMD_AWAY, [p](const QByteArray &packet) { p->onOnline(packet); });
    e.registerAction(T::Udp, CMD_HIDDEN, [p](const QByteArray &packet) { p->onHidden(packet); });
    e.registerAction(T::Tcp, CMD_PRESENCE_REPLY, [p](const QByteArray &packet) { p->onPresenceReply(packet); });
    e.registerAction(T::Udp, CMD_BROADCAST, [d](const QByteArray &packet) { d->onBroadcast(packet); });
    e.registerAction(T::Udp, CMD_BULLETIN, [d](const QByteArray &packet) { d->onBulletin(packet); });
    // The dispatch drops one's own game broadcasts and hands the rest to routeGame. A packet the routing cannot
    // read is thrown back here, outside the signal, for the engine to tell as it tells any packet it cannot read.
    const auto game = [this, d](const QByteArray &packet, bool viaStream) {
        d->onGame(packet, viaStream);
        if (std::exchange(m_gamePacketUnreadable, false))
            throw std::invalid_argument("unreadable game packet");
    };
    e.registerAction(T::Udp, CMD_GAME, [game](const QByteArray &packet) { game(packet, false); });
    e.registerAction(T::Tcp, CMD_GAME, [game](const QByteArray &packet) { game(packet, true); });
    e.registerAction(T::Tcp, CMD_MESSAGE, [d](const QByteArray &packet) { d->onMessage(packet); });
    e.registerAction(T::Tcp, CMD_REMOTE_SHUTDOWN, [d](const QByteArray &packet) { d->onRemoteShutdown(packet); });
    e.registerAction(T::Tcp, CMD_NOTICE, [d](const QByteArray &packet) { d->onNotice(packet); });
    e.registerAction(T::Tcp, CMD_FILE_TRANSFER, [this](const QByteArray &packet) { routeFileTransfer(packet); });
}

// What the message window and the composer take of the console, which owns all of it for the run.
void TForm_Parlune::wireWindows()
{
    FontDialog_Font = QFont(QStringLiteral("細明體"), 10);
    m_messengerDeps.messages = RxMemoryData_Message;
    m_messengerDeps.friends = RxMemoryData_Friend;
    m_messengerDeps.values = &values();
    m_messengerDeps.notices = this;
    m_messengerDeps.windows = m_windows.get();
    m_messengerDeps.defaultFont = &FontDialog_Font;
    m_messengerDeps.currentImeName = [] { return CurrentImeName(); };
    m_messengerDeps.activateIme = [](const QByteArray &name) { ActivateIme(name); };

    m_proclamationDeps.values = &values();
    m_proclamationDeps.transport = m_engine;
    m_proclamationDeps.currentImeName = m_messengerDeps.currentImeName;
    m_proclamationDeps.activateIme = m_messengerDeps.activateIme;
}

// What the windows ask of the console, connected as each opens.
void TForm_Parlune::windowAdded(QWidget *window)
{
    if (auto *messenger = qobject_cast<TForm_Messenger *>(window)) {
        connect(messenger, &TForm_Messenger::historyRequested, this, &TForm_Parlune::openHistory);
        connect(messenger, &TForm_Messenger::presenceRefreshRequested, this, &TForm_Parlune::AnnouncePresence);
        connect(messenger, &TForm_Messenger::lastUnreadOpened, this, [this] {
            if (m_trayIcon)
                m_trayIcon->comeToRest();
        });
        connect(messenger, &TForm_Messenger::messageSent, m_historyKeeper,
                [this](const QByteArray &address, const QByteArray &nickname, const QByteArray &rtf) {
                    m_historyKeeper->record(HistoryStore::Kind::Chat, HistoryStore::Direction::Sent, address, nickname,
                                            rtf);
                });
    }
    if (auto *preferences = qobject_cast<TForm_Preferences *>(window)) {
        // "網絡診斷" there opens the same window as the menu's item.
        connect(preferences, &TForm_Preferences::diagnosisRequested,
                PopupMenu_Main->action(QStringLiteral("MenuItem_Diagnosis")), &QAction::trigger);
    }
}

// The character and the rules that drive it; the switch and the choice are its menu commands.
void TForm_Parlune::createAssistant(std::unique_ptr<SpeechBackend> voice)
{
    m_assistant = new DesktopAssistant(std::move(voice), this);
    m_assistant->setObjectName(QStringLiteral("Agent_Helper"));
    m_assistantController = new AssistantController(*m_state, *m_store, *m_assistant, this);
    AssistantController *rules = m_assistantController;
    connect(PopupMenu_Main->action(QStringLiteral("MenuItem_Helper")), &QAction::triggered, rules,
            &AssistantController::MenuItem_HelperClick);
    connect(PopupMenu_Main->action(QStringLiteral("MenuItem_HelperSel")), &QAction::triggered, rules,
            &AssistantController::MenuItem_HelperSelClick);
    // Read aloud before the ticker shows it; a character that cannot read it takes nothing from the ticker.
    connect(m_inboundDispatch, &InboundDispatch::broadcastToSpeak, rules, &AssistantController::SpeakBroadcast);
}

void TForm_Parlune::LoadAssistant()
{
    m_assistantController->LoadAssistant();
}

void TForm_Parlune::UnloadAssistant()
{
    m_assistantController->UnloadAssistant();
}

void TForm_Parlune::RegisterHotKey()
{
    m_hotKey = new HotKey(this);
    connect(m_hotKey, &HotKey::activated, this, &TForm_Parlune::MenuItem_SendMessageClick);
}

// ---- teardown, in order -------------------------------------------------------------------------------------

void TForm_Parlune::requestClose()
{
    // Queued, so that a close asked for from inside a handler runs after it.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TForm_Parlune::closeEvent(QCloseEvent *event)
{
    FormCloseQuery();
    event->accept();
    QCoreApplication::quit();
}

void TForm_Parlune::FormCloseQuery()
{
    if (m_closed || !m_created)
        return;
    m_closed = true;
    m_state->storeImeName();
    UnloadAssistant();
    // The game window's leaving report must go out while the sockets are open.
    if (auto *game = m_windows->find<TForm_Gobang>())
        game->close();
    m_farewell->run();
    m_engine->CloseSockets();
    if (m_trayIcon)
        m_trayIcon->RemoveTrayIcon();
}

TForm_Parlune::~TForm_Parlune()
{
    // Gone before the engine it would send through.
    m_farewell.reset();
    // The windows refer to the tables and the state, which go with the console.
    m_windows.reset();
    // The offers the windows showed, then the transfer engine behind them, before the socket engine goes.
    delete std::exchange(m_receivedOffers, nullptr);
    m_fileTransfer.reset();
    // The store goes before the table that reports to it.
    RxMemoryData_Message->setKeeper(nullptr);
}

// ---- commands -----------------------------------------------------------------------------------------------

ConsoleValues &TForm_Parlune::values()
{
    return m_state->values();
}

void TForm_Parlune::AnnouncePresence()
{
    m_presence->AnnouncePresence();
}

void TForm_Parlune::ShowNotice(const QByteArray &text, const QByteArray &caption)
{
    Q_EMIT noticeShown(text, caption);
    if (m_noticeSink)
        m_noticeSink->ShowNotice(text, caption);
    else
        TForm_RebutInfo::ShowNotice(*m_windows, text, caption);
}

void TForm_Parlune::showReceivedNotice(const QByteArray &text, const QByteArray &caption)
{
    Q_EMIT noticeShown(text, caption);
    if (m_noticeSink)
        m_noticeSink->ShowNotice(text, caption);
    else
        TForm_RebutInfo::ShowReceivedNotice(*m_windows, text, caption);
}

void TForm_Parlune::ConsoleActivate()
{
    if (m_trayIcon)
        m_trayIcon->requestActivation();
}

void TForm_Parlune::MenuItem_SendMessageClick()
{
    TForm_Messenger::MenuItem_SendMessageClick(m_messengerDeps);
}

void TForm_Parlune::MenuItem_BSendClick()
{
    TForm_Proclamation::MenuItem_BSendClick(m_proclamationDeps);
}

void TForm_Parlune::MenuItem_EmptyClick()
{
    RxMemoryData_Message->clear();
    if (m_trayIcon)
        m_trayIcon->comeToRest();
    ShowNotice(NoticeText::build(wire::MessagesEmptied), QByteArray(wire::EmptyMessageCaption));
}

void TForm_Parlune::MenuItem_AboutClick()
{
    AboutBox about;
    about.exec();
}

void TForm_Parlune::MenuItem_MoravikClick()
{
    m_windows->open<TForm_AboutMoravik>([] { return new TForm_AboutMoravik; });
}

void TForm_Parlune::CreateTicker()
{
    if (m_windows->find<TForm_Broadcasting>())
        return;
    // Owned by the application, not by the hidden console.
    auto *ticker = new TForm_Broadcasting([this] { return m_state->broadcastAutoHide(); });
    m_windows->add(ticker);
    ticker->show();
}

void TForm_Parlune::CloseTicker()
{
    if (auto *ticker = m_windows->find<TForm_Broadcasting>())
        ticker->close();
}

void TForm_Parlune::showBroadcast(const QByteArray &name, const QByteArray &time, const QByteArray &body)
{
    if (auto *ticker = m_windows->find<TForm_Broadcasting>())
        ticker->ShowBroadcast(name, time, body);
}

void TForm_Parlune::MenuItem_GFiveClick()
{
    TForm_Gobang *window = m_windows->open<TForm_Gobang>([this] { return new TForm_Gobang(values(), *m_engine); });
    m_gameRouter->setSession(&window->session());
}

void TForm_Parlune::createHistory()
{
    m_historyStore = std::make_unique<HistoryStore>();
    m_historyKeeper = new HistoryKeeper(*m_historyStore, this);
    connect(m_historyKeeper, &HistoryKeeper::noticeRequested, this, &TForm_Parlune::ShowNotice);
    m_restoredUnread = m_historyKeeper->restoreRows(*RxMemoryData_Message);
    RxMemoryData_Message->setKeeper(m_historyKeeper);
    connect(m_inboundDispatch, &InboundDispatch::saidToKeep, m_historyKeeper,
            [this](HistoryStore::Kind kind, bool own, const QByteArray &address, const QByteArray &nickname,
                   const QByteArray &body) {
                // A notice is from the host whose connection brought it.
                const QByteArray peer =
                    kind == HistoryStore::Kind::Notice ? m_engine->dispatchedPeerAddress() : address;
                m_historyKeeper->record(kind, own ? HistoryStore::Direction::Sent : HistoryStore::Direction::Received,
                                        peer, nickname, body);
            });
    m_historyPurge = new QTimer(this);
    m_historyPurge->setInterval(24 * 60 * 60 * 1000);
    connect(m_historyPurge, &QTimer::timeout, this, &TForm_Parlune::purgeHistory);
}

void TForm_Parlune::purgeHistory()
{
    const std::unique_ptr<SettingsKey> key = m_store->openKey(settings::SystemKey);
    const int days = key ? key->readInteger(settings::HistoryDays).value_or(0) : 0;
    m_historyKeeper->purge(days);
}

void TForm_Parlune::routeGame(const QByteArray &packet, bool viaStream)
{
    // Over a connection, play is trusted only from the host the connection comes from.
    const QByteArray peer = viaStream ? m_engine->dispatchedPeerAddress() : QByteArray();
    if (!m_gameRouter->RouteGamePacket(packet, viaStream, peer))
        m_gamePacketUnreadable = true;
}

// ---- files between hosts ------------------------------------------------------------------------------------

void TForm_Parlune::createFileTransfer(const SocketEngine::Endpoints &endpoints)
{
    // A console on free ports (tests) serves its files on a free port too.
    Transfer::Endpoints ports;
    if (endpoints.listenPort == 0)
        ports.servePort = 0;
    m_fileTransfer = std::make_unique<FileTransfer>(*m_engine, ports);
    // A round trip to the transfer thread: it sets up its event loop now, while the console is made, and not at
    // some later moment when the process may be short of descriptors.
    m_fileTransfer->servingPort();
    m_receivedOffers = new ReceivedOffers(*m_fileTransfer, this);
    // One window lists every offer; a new offer opens it when it is closed and otherwise joins its list.
    const auto openReceiveWindow = [this] {
        return m_windows->find<TForm_FileReceive>() ? nullptr : m_windows->open<TForm_FileReceive>([this] {
            return new TForm_FileReceive(*m_receivedOffers, *m_store);
        });
    };
    connect(m_receivedOffers, &ReceivedOffers::offerAdded, this, openReceiveWindow);
    // Files accepted and then left to fetch with the window closed: what became of them shows when they end.
    connect(m_receivedOffers, &ReceivedOffers::fetchEnded, this, [openReceiveWindow](const QByteArray &id) {
        if (TForm_FileReceive *window = openReceiveWindow())
            window->showOfferOf(id);
    });
    const auto tellIdentity = [this] { m_fileTransfer->setIdentity(values().OwnAddress, values().OwnNickname); };
    connect(m_state, &ConsoleState::ownAddressChanged, this, tellIdentity);
    connect(m_state, &ConsoleState::ownNicknameChanged, this, tellIdentity);
    // Offers name the address the recipient fetches from; an announcement may have found a new one.
    connect(m_presence, &Presence::ownAddressRefreshed, this, tellIdentity);
}

// Without its port this host cannot serve what it offers; everything else goes on, and sending says why.
void TForm_Parlune::startFileTransfer()
{
    m_fileTransfer->setIdentity(values().OwnAddress, values().OwnNickname);
    m_fileTransferListening = m_fileTransfer->start();
}

void TForm_Parlune::routeFileTransfer(const QByteArray &packet)
{
    // Every transfer packet names its sender's address, which is where files are fetched from and answers go:
    // only the host the connection comes from may name it.
    if (Packet::ExtractField(2, packet) != m_engine->dispatchedPeerAddress())
        return;
    m_fileTransfer->handlePacket(packet);
}

void TForm_Parlune::MenuItem_SendFileClick()
{
    // The port may have come free since start-up.
    if (!m_fileTransferListening && m_created)
        m_fileTransferListening = m_fileTransfer->start();
    if (!m_fileTransferListening)
        ShowNotice(NoticeText::build(wire::FileTransferUnavailable), QByteArray(wire::FileTransferCaption));
    m_windows->open<TForm_SendFile>([this] { return new TForm_SendFile(*RxMemoryData_Friend, *m_fileTransfer); });
}

void TForm_Parlune::openHistory(const QByteArray &peer)
{
    TForm_History *window =
        m_windows->open<TForm_History>([this] { return new TForm_History(*m_historyStore, *m_store); });
    if (!peer.isEmpty())
        window->showPeer(peer);
}
