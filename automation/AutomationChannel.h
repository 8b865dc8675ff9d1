#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <deque>

class QLocalServer;
class QLocalSocket;
class FriendTable;
class MessageTable;
class SocketEngine;

// A door for tests into a running instance, opened only when PARLUNE_AUTOMATION names a local socket
// path. It shows what the user has been shown and lets a test act as the user would, nothing more.
//
// The socket is the user's alone: it is created mode 0700 inside a private directory and then moved to
// the path, a client of another user is dropped, and the channel stays shut (reason on stderr) when the
// path's directory is writable by a group or by others without the sticky bit or something other than a
// socket of this user already lies at the path.
//
// Protocol: one JSON object per line each way, a line at most 16 MB (a longer one drops the client); every request gets
// exactly one answer line with "ok" (true, or false with "error"). Byte strings travel as base64, texts as UTF-8.
//   {"cmd":"ping"}                                    -> {"ok":true}
//   {"cmd":"notices"}                                 -> {"ok":true,"notices":[{"caption":…,"text":…,"rtf":…}]}
//        every notice shown so far, oldest first: caption, the text as the notice window renders it,
//        and the RTF document itself (both decoded from code page 950)
//   {"cmd":"trigger","name":objectName}               -> {"ok":true}  triggers the console's QAction or
//        clicks the button of that name in any window; runs after the answer, as a click would
//   {"cmd":"checked","name":objectName}               -> {"ok":true,"checked":bool}  a check mark
//   {"cmd":"friends"}                                 -> {"ok":true,"friends":[{"user":…,"ip":…,"face":base64}]}
//        the friend table in its order; "changedAt": Unix time (seconds, fractional) of its last change
//   {"cmd":"messages"}                                -> {"ok":true,"current":row,"messages":[{"nickname":…,
//        "ip":…,"date":ISO 8601,"content":base64 RTF,"read":bool}]}  the message table in arrival order
//   {"cmd":"sendDirect","address":…,"packet":base64}  -> {"ok":true,"result":bytes sent or -1}
//   {"cmd":"sendBroadcast","packet":base64}           -> {"ok":true}
//   {"cmd":"windows"}                                 -> {"ok":true,"windows":[{"name","class","title",
//        "geometry":{x,y,width,height},"controls":[{"name","class","visible","enabled", and as the kind has
//        them "text", "checked", "rtf"}]}]}  every visible top-level window with its named controls;
//        "text" of a line edit, combo box (current text), button or label, the plain text of a text edit
//        (paragraphs joined by CR LF in a RichEdit, which adds its RTF); "items" of a list or tree (a tree's
//        with the "columns" of each), "rows" of a table view (each row its cells' texts), "value" and
//        "maximum" of a progress bar
//   {"cmd":"click","window":name,"control":name}      -> {"ok":true}  a left press and release at the
//        control's centre (the window itself when "control" is absent); runs after the answer
//   {"cmd":"type","window":…,"control":…,"text":…}    -> {"ok":true}  focuses the control and types the text
//        as key presses, "\n" as Return; runs after the answer
//   {"cmd":"key","window":…,"control":…,"key":"Ctrl+Return"} -> {"ok":true}  one key with its modifiers,
//        named as QKeySequence names them ("Return", "Escape", "Ctrl+Return", "Shift+Tab"); runs after the
//        answer. Shortcuts see typed keys first, as they would see the user's.
//   {"cmd":"drop","window":…,"control":…,"files":[path,…]} -> {"ok":true}  the files dragged from a file
//        manager and dropped on the control's centre (its viewport in a scroll area); runs after the answer
//   {"cmd":"spoken"}                                  -> {"ok":true,"spoken":[text,…]}  every text the desktop
//        character has started to say (aloud or in its balloon alone), oldest first
//   {"cmd":"stats"}                                   -> {"ok":true,"datagrams":n,"openStreams":n}
//        datagrams read off the broadcast socket so far, connections being drained now
//   {"cmd":"timer","name":objectName}                 -> {"ok":true,"active":bool}  whether the console's timer
//        of that name runs ("Timer_Innervation" while the tray flashes)
// Controls that are hidden or disabled refuse click, type and key as they would refuse the user.
class AutomationChannel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AutomationChannel)

public:
    static constexpr char EnvironmentVariable[] = "PARLUNE_AUTOMATION";

    // What of the running program the channel reports on and drives: the object tree holding the menu's actions,
    // the socket engine and the two tables.
    struct Console
    {
        QObject &actions;
        SocketEngine &engine;
        const FriendTable &friends;
        const MessageTable &messages;
    };

    // Listens at path unless that would be unsafe.
    AutomationChannel(const Console &console, const QString &path, QObject *parent = nullptr);
    ~AutomationChannel() override;

    bool isListening() const;
    // Why the channel is not listening; empty while it listens.
    QString refusal() const { return m_refusal; }

    // Empty when a private socket may be created at path, else why not.
    static QString unsafePathReason(const QString &path);

public Q_SLOTS:
    // Every notice shown from now on, for the "notices" request.
    void recordNotice(const QByteArray &text, const QByteArray &caption);
    // Every text the desktop character says from now on, for the "spoken" request.
    void recordSpeech(const QString &text);

private:
    struct Notice
    {
        QByteArray text;
        QByteArray caption;
    };

    void acceptClients();
    void readRequests(QLocalSocket *client);
    QJsonObject answer(const QJsonObject &request);
    QJsonObject notices() const;
    QJsonObject friends() const;
    QJsonObject messages() const;
    QJsonObject windows() const;
    QJsonObject stats() const;
    // click, type and key: finds the control, checks it could take the input, queues the input.
    QJsonObject input(const QString &command, const QJsonObject &request);
    bool listenPrivately(const QString &path);

    Console m_console;
    QLocalServer *m_server;
    std::deque<Notice> m_notices;
    std::deque<QString> m_spoken;
    qint64 m_friendsChangedAt = 0; // Unix time in ms of the friend table's last change
    QString m_refusal;
};
