#pragma once

#include "engine/NoticeSink.h"
#include "engine/SettingsStore.h"
#include "engine/SocketEngine.h"

#include <QByteArray>
#include <QWidget>

#include <memory>

class QAction;
class QActionGroup;
class QSessionManager;
class QTimer;
struct StartupSettings;
class TerminationSignals;

// The console: the program's hidden main window. It owns the sockets, the console values, the timers
// and the check marks of the main menu for the whole run, brings them up in a fixed order and takes
// them down again, exactly once, whichever way the program is asked to end.
class TForm_Parlune final : public QWidget, public NoticeSink
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm_Parlune)

public:
    // The away auto-reply, as the Windows rich-edit control saved it. Its plain text is
    // "您好!我現在有事忙，請稍後聯絡...".
    static constexpr char DefaultAutoReply[] =
        R"({\rtf1\ansi\ansicpg950\deff0\deflang1033\deflangfe1028{\fonttbl{\f0\fnil\fcharset136 )"
        R"(\'b2\'d3\'a9\'fa\'c5\'e9;}}\viewkind4\uc1\pard\lang1028\f0\fs20\'b1\'7a\'a6\'6e!\'a7\'da\'b2\'7b)"
        R"(\'a6\'62\'a6\'b3\'a8\'c6\'a6\'a3\'a1\'41\'bd\'d0\'b5\'79\'ab\'e1\'c1\'70\'b5\'b8\lang1033 ...)"
        R"(\lang1028\par})";

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

    SocketEngine &socketEngine() { return *engine_; }
    SettingsStore &settingsStore() { return *store_; }
    bool hasClosed() const { return closed_; }

    // Console values; text is code page 950.
    QByteArray OwnNickname;
    QByteArray OwnFace;
    QByteArray OwnAddress;
    QByteArray OwnPassword;
    QByteArray AutoReplyText;
    QByteArray ImeName;
    QByteArray AsideRecipient;
    QByteArray AsideContent;

    QTimer *Timer_Refurbish;
    QTimer *Timer_Innervation;

    // Check marks of the main menu, the live values of the switches.
    QActionGroup *StatusGroup;
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
    QAction *addSwitch(const char *objectName, const QString &caption, bool checked);
    void applySettings(const StartupSettings &settings);
    void requestClose();
    // The close query: stores the input method, says goodbye on the network and closes the sockets.
    void FormCloseQuery();

    // Places the tray work fills in.
    void CreateTrayIconImage();
    void RegisterHotKey();
    void AddTrayIcon();
    void RemoveTrayIcon();
    // Places the desktop assistant and the ticker fill in.
    void LoadAssistant();
    void UnloadAssistant();
    void CreateTicker();

    SocketEngine *engine_;
    std::unique_ptr<SettingsStore> store_;
    NoticeSink *noticeSink_ = nullptr;
    TerminationSignals *terminationSignals_ = nullptr;
    bool created_ = false;
    bool closed_ = false;
};
