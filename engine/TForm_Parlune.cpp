#include "engine/TForm_Parlune.h"

#include "engine/Packet.h"
#include "engine/SettingWrites.h"
#include "engine/SettingsStore.h"
#include "engine/StartupSettings.h"
#include "platform/HostAddress.h"
#include "platform/InputMethod.h"
#include "platform/TerminationSignals.h"
#include "shell/TForm_RebutInfo.h"

#include <QAction>
#include <QActionGroup>
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

    StatusGroup = new QActionGroup(this);
    StatusGroup->setObjectName(QStringLiteral("MenuItem_State"));
    StatusGroup->setExclusive(true);
    MenuItem_SOnLine = addSwitch("MenuItem_SOnLine", QStringLiteral(u"上線"), true);
    MenuItem_SLeave = addSwitch("MenuItem_SLeave", QStringLiteral(u"離開"), false);
    MenuItem_SHideLine = addSwitch("MenuItem_SHideLine", QStringLiteral(u"隱身"), false);
    MenuItem_SOffLine = addSwitch("MenuItem_SOffLine", QStringLiteral(u"離線"), false);
    for (QAction *status : {MenuItem_SOnLine, MenuItem_SLeave, MenuItem_SHideLine, MenuItem_SOffLine})
        StatusGroup->addAction(status);

    MenuItem_BShow = addSwitch("MenuItem_BShow", QStringLiteral(u"顯示廣播"), true);
    MenuItem_BAutoHide = addSwitch("MenuItem_BAutoHide", QStringLiteral(u"自動隱藏"), false);
    MenuItem_IAtuoShow = addSwitch("MenuItem_IAtuoShow", QStringLiteral(u"自動彈出"), true);
    MenuItem_IInnervation = addSwitch("MenuItem_IInnervation", QStringLiteral(u"圖標閃動"), false);
    MenuItem_ISuggestive = addSwitch("MenuItem_ISuggestive", QStringLiteral(u"聲音提示"), false);
    MenuItem_Helper = addSwitch("MenuItem_Helper", QStringLiteral(u"Parlune 助手"), false);
    MenuItem_AutoRun = addSwitch("MenuItem_AutoRun", QStringLiteral(u"自動啟動"), false);
    MenuItem_RTelnet = addSwitch("MenuItem_RTelnet", QStringLiteral(u"遠程控制"), true);
    MenuItem_GAgree = addSwitch("MenuItem_GAgree", QStringLiteral(u"接受請求"), true);

    MenuItem_Refurbish = new QAction(QStringLiteral(u"刷新"), this);
    MenuItem_Refurbish->setObjectName(QStringLiteral("MenuItem_Refurbish"));
    connect(MenuItem_Refurbish, &QAction::triggered, this, &TForm_Parlune::AnnouncePresence);
    MenuItem_Close = new QAction(QStringLiteral(u"退出"), this);
    MenuItem_Close->setObjectName(QStringLiteral("MenuItem_Close"));
    connect(MenuItem_Close, &QAction::triggered, this, &QWidget::close);

    // A failed engine asks to close while start-up still runs; the close waits for the event loop.
    connect(engine_, &SocketEngine::closeRequested, this, &TForm_Parlune::requestClose, Qt::QueuedConnection);

    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        // Logging out: say goodbye like any other close. aboutToQuit catches every other way out.
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &) { close(); });
        connect(app, &QCoreApplication::aboutToQuit, this, &TForm_Parlune::FormCloseQuery);
    }
}

TForm_Parlune::~TForm_Parlune() = default;

QAction *TForm_Parlune::addSwitch(const char *objectName, const QString &caption, bool checked)
{
    auto *action = new QAction(caption, this);
    action->setObjectName(QLatin1String(objectName));
    action->setCheckable(true);
    action->setChecked(checked);
    return action;
}

void TForm_Parlune::FormCreate()
{
    if (created_)
        return;
    created_ = true;
    // From here on a termination request waits for the event loop and ends through the close query.
    terminationSignals_ = new TerminationSignals(this);
    connect(terminationSignals_, &TerminationSignals::terminationRequested, this, &TForm_Parlune::requestClose);

    CreateTrayIconImage();
    RegisterHotKey();
    OwnAddress = LocalAddress();
    AutoReplyText = QByteArray(DefaultAutoReply);
    engine_->StartSocketEngine();

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
    hooks.CreateTicker = [this](const StartupSettings &) { CreateTicker(); };
    applySettings(ReadStartupSettings(*store_, environment, hooks));

    AddTrayIcon();
}

void TForm_Parlune::applySettings(const StartupSettings &settings)
{
    OwnNickname = settings.OwnNickname;
    OwnFace = settings.OwnFace;
    OwnPassword = settings.OwnPassword;
    ImeName = settings.ImeName;

    switch (settings.State) {
    case PresenceState::Offline:
        MenuItem_SOffLine->setChecked(true);
        break;
    case PresenceState::Online:
        MenuItem_SOnLine->setChecked(true);
        break;
    case PresenceState::Hidden:
        MenuItem_SHideLine->setChecked(true);
        break;
    case PresenceState::Away:
        MenuItem_SLeave->setChecked(true);
        break;
    }
    MenuItem_AutoRun->setChecked(settings.AutoRun);
    MenuItem_Helper->setChecked(settings.Helper);
    MenuItem_IAtuoShow->setChecked(settings.AtuoShow);
    MenuItem_RTelnet->setChecked(settings.Telnet);
    MenuItem_GAgree->setChecked(settings.GameAgree);
    MenuItem_ISuggestive->setChecked(settings.Suggestive);
    MenuItem_IInnervation->setChecked(settings.Innervation);
    MenuItem_BAutoHide->setChecked(settings.BAutoHide);
    MenuItem_BShow->setChecked(settings.ShowBroadcasting);
    MenuItem_BAutoHide->setVisible(settings.BAutoHideVisible);
}

void TForm_Parlune::AnnouncePresence()
{
    // The friend table lands with presence handling; emptying it belongs here.
    OwnAddress = LocalAddress();
    using namespace Packet;
    if (MenuItem_SOnLine->isChecked())
        engine_->SendBroadcast(build(CMD_ONLINE, {OwnAddress, OwnNickname, OwnFace}));
    if (MenuItem_SLeave->isChecked())
        engine_->SendBroadcast(build(CMD_AWAY, {OwnAddress, OwnNickname, OwnFace}));
    if (MenuItem_SHideLine->isChecked())
        engine_->SendBroadcast(build(CMD_HIDDEN, {OwnAddress, OwnNickname}));
    if (MenuItem_SOffLine->isChecked())
        engine_->SendBroadcast(build(CMD_OFFLINE, {OwnAddress}));
}

void TForm_Parlune::ShowNotice(const QByteArray &text, const QByteArray &caption)
{
    Q_EMIT noticeShown(text, caption);
    if (noticeSink_)
        noticeSink_->ShowNotice(text, caption);
    else
        TForm_RebutInfo::ShowNotice(text, caption);
}

void TForm_Parlune::ConsoleActivate() {}

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
    engine_->SendBroadcast(Packet::build(Packet::CMD_OFFLINE, {LocalAddress()}));
    engine_->CloseSockets();
    RemoveTrayIcon();
}

void TForm_Parlune::CreateTrayIconImage() {}
void TForm_Parlune::RegisterHotKey() {}
void TForm_Parlune::AddTrayIcon() {}
void TForm_Parlune::RemoveTrayIcon() {}
void TForm_Parlune::LoadAssistant() {}
void TForm_Parlune::UnloadAssistant() {}
void TForm_Parlune::CreateTicker() {}
