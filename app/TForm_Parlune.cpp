#include "app/TForm_Parlune.h"

#include "engine/FriendTable.h"
#include "engine/InboundDispatch.h"
#include "engine/MessageTable.h"
#include "engine/Packet.h"
#include "engine/Presence.h"
#include "engine/SettingWrites.h"
#include "engine/SettingsStore.h"
#include "engine/StartupSettings.h"
#include "messages/TForm_Messenger.h"
#include "messages/TForm_Proclamation.h"
#include "platform/ExitFarewell.h"
#include "platform/HostAddress.h"
#include "platform/InputMethod.h"
#include "platform/PowerOff.h"
#include "platform/TerminationSignals.h"
#include "shell/HotKey.h"
#include "shell/MainMenu.h"
#include "shell/TForm_Broadcasting.h"
#include "shell/TForm_RebutInfo.h"
#include "shell/TrayIcon.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QSessionManager>
#include <QTimer>

TForm_Parlune::TForm_Parlune(const SocketEngine::Endpoints &endpoints, std::unique_ptr<SettingsStore> store,
                             QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), engine_(new SocketEngine(*this, endpoints, {}, this)),
      store_(store ? std::move(store) : std::make_unique<IniSettingsStore>())
{
    setObjectName(QStringLiteral("Form_Parlune"));
    setWindowTitle(QStringLiteral("Parlune - Console"));

    Timer_Refurbish = new QTimer(this);
    Timer_Refurbish->setObjectName(QStringLiteral("Timer_Refurbish"));
    Timer_Refurbish->setInterval(600000);
    connect(Timer_Refurbish, &QTimer::timeout, this, &TForm_Parlune::AnnouncePresence);
    Timer_Refurbish->start();

    Timer_Innervation = new QTimer(this);
    Timer_Innervation->setObjectName(QStringLiteral("Timer_Innervation"));
    Timer_Innervation->setInterval(500);

    RxMemoryData_Friend = new FriendTable(this);
    RxMemoryData_Friend->setObjectName(QStringLiteral("RxMemoryData_Friend"));
    RxMemoryData_Message = new MessageTable(this);
    RxMemoryData_Message->setObjectName(QStringLiteral("RxMemoryData_Message"));
    connect(RxMemoryData_Message, &MessageTable::noticeRequested, this, &TForm_Parlune::ShowNotice);
    presence = new Presence(
        *RxMemoryData_Friend, *engine_, *this, [] { return LocalAddress(); }, this);
    presence->storeState = [this](int state) { settings::writeState(*store_, Presence::Status(state)); };

    PopupMenu_Main = createMenu();
    auto item = [this](const char *name) { return PopupMenu_Main->action(QLatin1String(name)); };
    MenuItem_SOnLine = item("MenuItem_SOnLine");
    MenuItem_SLeave = item("MenuItem_SLeave");
    MenuItem_SHideLine = item("MenuItem_SHideLine");
    MenuItem_SOffLine = item("MenuItem_SOffLine");
    MenuItem_BShow = item("MenuItem_BShow");
    MenuItem_BAutoHide = item("MenuItem_BAutoHide");
    MenuItem_IAtuoShow = item("MenuItem_IAtuoShow");
    MenuItem_IInnervation = item("MenuItem_IInnervation");
    MenuItem_ISuggestive = item("MenuItem_ISuggestive");
    MenuItem_Helper = item("MenuItem_Helper");
    MenuItem_AutoRun = item("MenuItem_AutoRun");
    MenuItem_RTelnet = item("MenuItem_RTelnet");
    MenuItem_GAgree = item("MenuItem_GAgree");
    MenuItem_Refurbish = item("MenuItem_Refurbish");
    MenuItem_Close = item("MenuItem_Close");

    InboundDispatch::Hooks hooks;
    hooks.autoShow = [this] { return MenuItem_IAtuoShow->isChecked(); };
    hooks.beepOn = [this] { return MenuItem_ISuggestive->isChecked(); };
    hooks.remoteControl = [this] { return MenuItem_RTelnet->isChecked(); };
    hooks.away = [this] { return MenuItem_SLeave->isChecked(); };
    hooks.localAddress = [] { return LocalAddress(); };
    hooks.beep = [] { QApplication::beep(); };
    hooks.showNotice = [this](const QByteArray &text, const QByteArray &caption) { ShowNotice(text, caption); };
    hooks.insertNotice = [this](const QByteArray &text, const QByteArray &caption) {
        Q_EMIT noticeShown(text, caption);
        if (noticeSink_)
            noticeSink_->ShowNotice(text, caption);
        else
            TForm_RebutInfo::ShowReceivedNotice(text, caption);
    };
    hooks.messageWindowOpen = [] { return !Form_Messenger.isNull(); };
    hooks.openCurrentForReading = [this] { TForm_Messenger::OpenForReading(messengerDeps_); };
    hooks.showBroadcast = [](const QByteArray &name, const QByteArray &time, const QByteArray &body) {
        if (TForm_Broadcasting *ticker = TForm_Broadcasting::Form_Broadcasting())
            ticker->ShowBroadcast(name, time, body);
    };
    hooks.signalUnread = [this] {
        if (trayIcon)
            trayIcon->unreadMessageStored();
    };
    hooks.powerOffHost = [] { return PowerOffHost(); };
    hooks.closeConsole = [this] { requestClose(); };
    inboundDispatch = new InboundDispatch(*RxMemoryData_Message, *engine_, *this, std::move(hooks), this);
    registerActions();
    wireWindows();

    // A failed engine asks to close while start-up still runs; the close waits for the event loop.
    connect(engine_, &SocketEngine::closeRequested, this, &TForm_Parlune::requestClose, Qt::QueuedConnection);

    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        // Logging out: say goodbye like any other close. aboutToQuit catches every other way out.
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &) { close(); });
        connect(app, &QCoreApplication::aboutToQuit, this, &TForm_Parlune::FormCloseQuery);
    }
}

TForm_Parlune::~TForm_Parlune()
{
    // Gone before the engine it would send through.
    farewell_.reset();
}

MainMenu *TForm_Parlune::createMenu()
{
    MainMenu::Hooks hooks;
    hooks.writeSwitch = [this](const QString &item, bool checked) { return writeSwitch(item, checked); };
    hooks.showNotice = [this](const QByteArray &text, const QByteArray &caption) { ShowNotice(text, caption); };
    hooks.flashingSwitchedOn = [this] {
        if (trayIcon)
            trayIcon->flashingSwitchedOn();
    };
    hooks.emptyMessages = [this] {
        RxMemoryData_Message->clear();
        if (trayIcon)
            trayIcon->comeToRest();
    };
    hooks.announcePresence = [this] { AnnouncePresence(); };
    hooks.sendMessage = [this] { MenuItem_SendMessageClick(); };
    hooks.sendBroadcast = [this] { MenuItem_BSendClick(); };
    hooks.showTicker = [this](bool shown) { shown ? CreateTicker() : CloseTicker(); };
    hooks.tickerAutoHide = [](bool autoHide) {
        if (TForm_Broadcasting *ticker = TForm_Broadcasting::Form_Broadcasting())
            ticker->autoHideSwitched(autoHide);
    };
    hooks.setStatus = [this](Presence::Status status) { presence->SetStatus(status); };
    hooks.closeConsole = [this] { close(); };
    auto *menu = new MainMenu(std::move(hooks), this);
    return menu;
}

bool TForm_Parlune::writeSwitch(const QString &item, bool checked)
{
    const settings::SwitchRow *row = settings::rowOfMenuItem(item);
    return row && settings::writeSwitch(*store_, row->which, checked);
}

void TForm_Parlune::createTray()
{
    TrayIcon::Hooks hooks;
    hooks.nickname = [this] { return OwnNickname; };
    hooks.localAddress = [] { return LocalAddress(); };
    hooks.flashingSwitch = [this] { return MenuItem_IInnervation->isChecked(); };
    hooks.hasUnread = [this] { return RxMemoryData_Message->locateFirstUnread() >= 0; };
    hooks.popupMenu = [this](const QPoint &at) { PopupMenu_Main->popupAt(at); };
    hooks.sendMessage = [this] { MenuItem_SendMessageClick(); };
    hooks.sendBroadcast = [this] { MenuItem_BSendClick(); };
    trayIcon = new TrayIcon(std::move(hooks), Timer_Innervation, this);
}

// Each arriving command goes to the rules that act on it; the engine keeps the transport of each code.
void TForm_Parlune::registerActions()
{
    using T = SocketEngine::Transport;
    using namespace Packet;
    SocketEngine &e = *engine_;
    e.registerAction(T::Udp, CMD_OFFLINE, [this](const QByteArray &p) { presence->onOffline(p); });
    e.registerAction(T::Udp, CMD_ONLINE, [this](const QByteArray &p) { presence->onOnline(p); });
    e.registerAction(T::Udp, CMD_AWAY, [this](const QByteArray &p) { presence->onOnline(p); });
    e.registerAction(T::Udp, CMD_HIDDEN, [this](const QByteArray &p) { presence->onHidden(p); });
    e.registerAction(T::Tcp, CMD_PRESENCE_REPLY, [this](const QByteArray &p) { presence->onPresenceReply(p); });
    e.registerAction(T::Udp, CMD_BROADCAST, [this](const QByteArray &p) { inboundDispatch->onBroadcast(p); });
    e.registerAction(T::Udp, CMD_BULLETIN, [this](const QByteArray &p) { inboundDispatch->onBulletin(p); });
    e.registerAction(T::Udp, CMD_GAME, [this](const QByteArray &p) { inboundDispatch->onGame(p, false); });
    e.registerAction(T::Tcp, CMD_GAME, [this](const QByteArray &p) { inboundDispatch->onGame(p, true); });
    e.registerAction(T::Tcp, CMD_MESSAGE, [this](const QByteArray &p) { inboundDispatch->onMessage(p); });
    e.registerAction(T::Tcp, CMD_REMOTE_SHUTDOWN,
                     [this](const QByteArray &p) { inboundDispatch->onRemoteShutdown(p); });
    e.registerAction(T::Tcp, CMD_NOTICE, [this](const QByteArray &p) { inboundDispatch->onNotice(p); });
}

void TForm_Parlune::FormCreate()
{
    if (created_)
        return;
    created_ = true;
    // From here on a termination request waits for the event loop and ends through the close query.
    terminationSignals_ = new TerminationSignals(this);
    connect(terminationSignals_, &TerminationSignals::terminationRequested, this, &TForm_Parlune::requestClose);

    createTray();
    RegisterHotKey();
    OwnAddress = LocalAddress();
    AutoReplyText = InboundDispatch::defaultAutoReply();
    engine_->StartSocketEngine();
    // The goodbye also goes out when the process ends without the close query, e.g. when the X server dies
    // and Qt calls exit(). It is one sendto() on the open socket, which needs no event loop.
    farewell_ = std::make_unique<ExitFarewell>(
        [this] { engine_->SendBroadcast(Packet::build(Packet::CMD_OFFLINE, {LocalAddress()})); });

    StartupEnvironment environment;
    environment.OwnAddress = OwnAddress;
    environment.ExecutablePath = QCoreApplication::applicationFilePath();
    environment.ProgramDirectory = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    environment.ComputerName = HostComputerName();
    environment.CurrentImeName = [] { return CurrentImeName(); };
    StartupHooks hooks;
    hooks.AnnouncePresence = [this](const StartupSettings &sofar) {
        applySettings(sofar);
        AnnouncePresence();
    };
    hooks.LoadAssistant = [this](const StartupSettings &) { LoadAssistant(); };
    // The ticker reads "自動隱藏" as it first shows, so the mark must be set before it is created.
    hooks.CreateTicker = [this](const StartupSettings &sofar) {
        applySettings(sofar);
        CreateTicker();
    };
    applySettings(ReadStartupSettings(*store_, environment, hooks));

    trayIcon->AddTrayIcon();
}

void TForm_Parlune::applySettings(const StartupSettings &settings)
{
    OwnNickname = settings.OwnNickname;
    OwnFace = settings.OwnFace;
    OwnPassword = settings.OwnPassword;
    ImeName = settings.ImeName;

    presence->restoreStatus(settings.State);
    PopupMenu_Main->setStatus(settings.State);
    for (const settings::SwitchRow &row : settings::Switches)
        PopupMenu_Main->setChecked(QLatin1String(row.menuItem), settings.on(row.which));
    MenuItem_BAutoHide->setVisible(settings.BAutoHideVisible);
}

void TForm_Parlune::AnnouncePresence()
{
    presence->AnnouncePresence();
}

void TForm_Parlune::ShowNotice(const QByteArray &text, const QByteArray &caption)
{
    Q_EMIT noticeShown(text, caption);
    if (noticeSink_)
        noticeSink_->ShowNotice(text, caption);
    else
        TForm_RebutInfo::ShowNotice(text, caption);
}

void TForm_Parlune::ConsoleActivate()
{
    if (trayIcon)
        trayIcon->requestActivation();
}

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
    if (closed_ || !created_)
        return;
    closed_ = true;
    settings::writeIme(*store_, ImeName);
    UnloadAssistant();
    farewell_->run();
    engine_->CloseSockets();
    if (trayIcon)
        trayIcon->RemoveTrayIcon();
}

void TForm_Parlune::RegisterHotKey()
{
    hotKey_ = new HotKey(this);
    connect(hotKey_, &HotKey::activated, this, &TForm_Parlune::MenuItem_SendMessageClick);
}

// What the message window and the composer take of the console, which owns all of it for the run.
void TForm_Parlune::wireWindows()
{
    FontDialog_Font = QFont(QStringLiteral("細明體"), 10);
    messengerDeps_.messages = RxMemoryData_Message;
    messengerDeps_.friends = RxMemoryData_Friend;
    messengerDeps_.values = this;
    messengerDeps_.notices = this;
    messengerDeps_.defaultFont = &FontDialog_Font;
    messengerDeps_.announcePresence = [this] { AnnouncePresence(); };
    messengerDeps_.trayComeToRest = [this] {
        if (trayIcon)
            trayIcon->comeToRest();
    };
    messengerDeps_.currentImeName = [] { return CurrentImeName(); };
    messengerDeps_.activateIme = [](const QByteArray &name) { ActivateIme(name); };

    proclamationDeps_.values = this;
    proclamationDeps_.transport = engine_;
    proclamationDeps_.currentImeName = messengerDeps_.currentImeName;
    proclamationDeps_.activateIme = messengerDeps_.activateIme;
}

void TForm_Parlune::MenuItem_SendMessageClick()
{
    TForm_Messenger::MenuItem_SendMessageClick(messengerDeps_);
}

void TForm_Parlune::MenuItem_BSendClick()
{
    TForm_Proclamation::MenuItem_BSendClick(proclamationDeps_);
}

void TForm_Parlune::LoadAssistant() {}
void TForm_Parlune::UnloadAssistant() {}

void TForm_Parlune::CreateTicker()
{
    QPointer<TForm_Broadcasting> &ticker = TForm_Broadcasting::Form_Broadcasting();
    if (ticker)
        return;
    // Owned by the application, not by the hidden console.
    ticker = new TForm_Broadcasting([this] { return MenuItem_BAutoHide->isChecked(); });
    ticker->show();
}

void TForm_Parlune::CloseTicker()
{
    if (TForm_Broadcasting *ticker = TForm_Broadcasting::Form_Broadcasting())
        ticker->close();
}
