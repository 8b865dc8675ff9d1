#include "engine/AutomationChannel.h"

#include "engine/Cp950.h"
#include "engine/TForm_Parlune.h"
#include "widgets/richtext/RtfReader.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTextCursor>
#include <QTextDocument>

namespace {

constexpr qsizetype MaxRequestBytes = qsizetype(16) << 20;
constexpr size_t MaxNotices = 10000;

QJsonObject failure(const QString &error)
{
    return {{QStringLiteral("ok"), false}, {QStringLiteral("error"), error}};
}
QJsonObject success()
{
    return {{QStringLiteral("ok"), true}};
}

QString plainText(const QByteArray &text)
{
    QTextDocument document;
    QTextCursor cursor(&document);
    RtfReader::insertText(cursor, text);
    return document.toPlainText();
}

} // namespace

AutomationChannel::AutomationChannel(TForm_Parlune &console, const QString &path, QObject *parent)
    : QObject(parent), console_(console), server_(new QLocalServer(this))
{
    connect(&console_, &TForm_Parlune::noticeShown, this, [this](const QByteArray &text, const QByteArray &caption) {
        notices_.push_back({text, caption});
        if (notices_.size() > MaxNotices)
            notices_.pop_front();
    });
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(path);
    if (server_->listen(path))
        connect(server_, &QLocalServer::newConnection, this, &AutomationChannel::acceptClients);
}

AutomationChannel::~AutomationChannel() = default;

bool AutomationChannel::isListening() const
{
    return server_->isListening();
}

void AutomationChannel::acceptClients()
{
    while (QLocalSocket *client = server_->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] { readRequests(client); });
    }
}

void AutomationChannel::readRequests(QLocalSocket *client)
{
    QPointer<QLocalSocket> guard(client);
    while (guard && client->canReadLine()) {
        const QByteArray line = client->readLine(MaxRequestBytes);
        QJsonParseError error{};
        const QJsonDocument request = QJsonDocument::fromJson(line, &error);
        const QJsonObject reply = request.isObject() ? answer(request.object()) : failure(QStringLiteral("not JSON"));
        if (!guard)
            return;
        client->write(QJsonDocument(reply).toJson(QJsonDocument::Compact) + '\n');
        client->flush();
    }
    if (guard && !client->canReadLine() && client->bytesAvailable() > MaxRequestBytes)
        client->abort();
}

QJsonObject AutomationChannel::answer(const QJsonObject &request)
{
    const QString command = request.value(QStringLiteral("cmd")).toString();
    const QString name = request.value(QStringLiteral("name")).toString();
    const QByteArray packet = QByteArray::fromBase64(request.value(QStringLiteral("packet")).toString().toLatin1());

    if (command == QLatin1String("ping"))
        return success();
    if (command == QLatin1String("notices"))
        return notices();
    if (command == QLatin1String("trigger")) {
        QPointer<QAction> action = console_.findChild<QAction *>(name);
        QPointer<QAbstractButton> button;
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (!action && !button)
                button = window->findChild<QAbstractButton *>(name);
        }
        if (!action && !button)
            return failure(QStringLiteral("no action or button named ") + name);
        // After the answer: the command may open a modal loop or end the program.
        QMetaObject::invokeMethod(
            this,
            [action, button] {
                if (action)
                    action->trigger();
                else if (button)
                    button->click();
            },
            Qt::QueuedConnection);
        return success();
    }
    if (command == QLatin1String("checked")) {
        const QAction *action = console_.findChild<QAction *>(name);
        if (!action)
            return failure(QStringLiteral("no action named ") + name);
        QJsonObject reply = success();
        reply.insert(QStringLiteral("checked"), action->isChecked());
        return reply;
    }
    if (command == QLatin1String("sendDirect")) {
        const QByteArray address = request.value(QStringLiteral("address")).toString().toLatin1();
        QJsonObject reply = success();
        reply.insert(QStringLiteral("result"), console_.socketEngine().SendDirect(address, packet));
        return reply;
    }
    if (command == QLatin1String("sendBroadcast")) {
        console_.socketEngine().SendBroadcast(packet);
        return success();
    }
    return failure(QStringLiteral("unknown command"));
}

QJsonObject AutomationChannel::notices() const
{
    QJsonArray list;
    for (const Notice &n : notices_) {
        list.append(QJsonObject{{QStringLiteral("caption"), cp950::decode(n.caption)},
                                {QStringLiteral("text"), plainText(n.text)},
                                {QStringLiteral("rtf"), cp950::decode(n.text)}});
    }
    QJsonObject reply = success();
    reply.insert(QStringLiteral("notices"), list);
    return reply;
}
