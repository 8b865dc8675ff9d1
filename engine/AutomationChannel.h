#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <deque>

class QLocalServer;
class QLocalSocket;
class TForm_Parlune;

// A door for tests into a running instance, opened only when PARLUNE_AUTOMATION names a local socket
// path. It shows what the user has been shown and lets a test act as the user would, nothing more.
//
// Protocol: one JSON object per line each way; every request gets exactly one answer line with "ok"
// (true, or false with "error"). Byte strings travel as base64, texts as UTF-8.
//   {"cmd":"ping"}                                    -> {"ok":true}
//   {"cmd":"notices"}                                 -> {"ok":true,"notices":[{"caption":…,"text":…,"rtf":…}]}
//        every notice shown so far, oldest first: caption, the text as the notice window renders it,
//        and the RTF document itself (both decoded from code page 950)
//   {"cmd":"trigger","name":objectName}               -> {"ok":true}  triggers the console's QAction or
//        clicks the button of that name in any window; runs after the answer, as a click would
//   {"cmd":"checked","name":objectName}               -> {"ok":true,"checked":bool}  a check mark
//   {"cmd":"sendDirect","address":…,"packet":base64}  -> {"ok":true,"result":bytes sent or -1}
//   {"cmd":"sendBroadcast","packet":base64}           -> {"ok":true}
class AutomationChannel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AutomationChannel)

public:
    static constexpr char EnvironmentVariable[] = "PARLUNE_AUTOMATION";

    // Listens at path; notices are recorded from now on.
    AutomationChannel(TForm_Parlune &console, const QString &path, QObject *parent = nullptr);
    ~AutomationChannel() override;

    bool isListening() const;

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

    TForm_Parlune &console_;
    QLocalServer *server_;
    std::deque<Notice> notices_;
};
