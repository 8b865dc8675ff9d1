#include "automation/AutomationChannel.h"

#include "engine/FriendTable.h"
#include "engine/MessageTable.h"

#include "base/Cp950.h"
#include "engine/SocketEngine.h"
#include "game/GobangGrid.h"
#include "richtext/RtfReader.h"
#include "widgets/RichEdit.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressBar>
#include <QTableView>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <functional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

// Lets shortcuts see a synthesized key before the widget does, as they see a real one; what QtTest uses.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject *o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString &text, bool autorep, ushort count);

namespace {

constexpr qsizetype MaxRequestBytes = qsizetype(16) << 20;
constexpr size_t MaxNotices = 10000;
constexpr size_t MaxSpoken = 1000;

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

bool peerIsThisUser(const QLocalSocket *client)
{
    ucred credentials{};
    socklen_t length = sizeof credentials;
    const int fd = int(client->socketDescriptor());
    return fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0 &&
           credentials.uid == ::geteuid();
}

QJsonObject geometryOf(const QRect &r)
{
    return {{QStringLiteral("x"), r.x()},
            {QStringLiteral("y"), r.y()},
            {QStringLiteral("width"), r.width()},
            {QStringLiteral("height"), r.height()}};
}

QJsonObject describeControl(const QWidget *control)
{
    QJsonObject out{{QStringLiteral("name"), control->objectName()},
                    {QStringLiteral("class"), QString::fromLatin1(control->metaObject()->className())},
                    {QStringLiteral("visible"), control->isVisible()},
                    {QStringLiteral("enabled"), control->isEnabled()}};
    const QString text = QStringLiteral("text");
    if (const auto *edit = qobject_cast<const QLineEdit *>(control)) {
        out.insert(text, edit->text());
    } else if (const auto *combo = qobject_cast<const QComboBox *>(control)) {
        out.insert(text, combo->currentText());
    } else if (const auto *button = qobject_cast<const QAbstractButton *>(control)) {
        out.insert(text, button->text());
        out.insert(QStringLiteral("checked"), button->isChecked());
    } else if (const auto *label = qobject_cast<const QLabel *>(control)) {
        out.insert(text, label->text());
    } else if (const auto *rich = qobject_cast<const RichEdit *>(control)) {
        out.insert(text, rich->plainText());
        out.insert(QStringLiteral("rtf"), cp950::decode(rich->saveRtf()));
    } else if (const auto *memo = qobject_cast<const QTextEdit *>(control)) {
        out.insert(text, memo->toPlainText());
    } else if (const auto *tree = qobject_cast<const QTreeWidget *>(control)) {
        // Each top-level item with the point of the control that clicks it.
        QJsonArray items;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *item = tree->topLevelItem(i);
            const QPoint centre = tree->viewport()->mapTo(tree, tree->visualItemRect(item).center());
            QJsonArray columns;
            for (int column = 0; column < tree->columnCount(); ++column)
                columns.append(item->text(column));
            items.append(QJsonObject{{text, item->text(0)},
                                     {QStringLiteral("columns"), columns},
                                     {QStringLiteral("x"), centre.x()},
                                     {QStringLiteral("y"), centre.y()}});
        }
        out.insert(QStringLiteral("items"), items);
    } else if (const auto *list = qobject_cast<const QListWidget *>(control)) {
        // Each item with whether it shows a picture of its own (a list's first picture is its default).
        QJsonArray items;
        for (int i = 0; i < list->count(); ++i) {
            const QListWidgetItem *item = list->item(i);
            items.append(
                QJsonObject{{text, item->text()}, {QStringLiteral("picture"), item->data(Qt::UserRole + 1).toInt()}});
        }
        out.insert(QStringLiteral("items"), items);
    } else if (const auto *table = qobject_cast<const QTableView *>(control)) {
        // Each row as the texts its cells show.
        QJsonArray rows;
        const QAbstractItemModel *model = table->model();
        for (int row = 0; model && row < model->rowCount(); ++row) {
            QJsonArray cells;
            for (int column = 0; column < model->columnCount(); ++column)
                cells.append(model->index(row, column).data().toString());
            rows.append(cells);
        }
        out.insert(QStringLiteral("rows"), rows);
    } else if (const auto *bar = qobject_cast<const QProgressBar *>(control)) {
        out.insert(QStringLiteral("value"), bar->value());
        out.insert(QStringLiteral("maximum"), bar->maximum());
    } else if (const auto *grid = qobject_cast<const GobangGrid *>(control)) {
        // Column by column, one digit a cell, and the cell with the last-move mark.
        QString cells;
        for (int column = 0; column < GobangGrid::Cells; ++column) {
            for (int row = 0; row < GobangGrid::Cells; ++row)
                cells += QString::number(grid->cell(column, row));
        }
        out.insert(QStringLiteral("cells"), cells);
        out.insert(QStringLiteral("last"), QJsonArray{grid->lastColumn(), grid->lastRow()});
    }
    return out;
}

// What a key of this name types when pressed without Ctrl or Alt.
QString typedText(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return {};
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QStringLiteral("\r");
    case Qt::Key_Tab:
        return QStringLiteral("\t");
    case Qt::Key_Backspace:
        return QStringLiteral("\b");
    case Qt::Key_Escape:
        return QString(QChar(0x1b));
    default:
        break;
    }
    if (key >= 0x20 && key < 0x7f) {
        const QChar c(key);
        return QString(modifiers & Qt::ShiftModifier ? c.toUpper() : c.toLower());
    }
    return {};
}

void pressKey(QWidget *target, int key, Qt::KeyboardModifiers modifiers, const QString &text)
{
    QPointer<QWidget> guard(target);
    if (qt_sendShortcutOverrideEvent(target, 0, key, modifiers, text, false, 1))
        return;
    if (!guard)
        return;
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
    if (!guard)
        return;
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &release);
}

// Where the user's keys would go once the control has the focus: the control, or the inner widget it
// hands its focus to.
QWidget *keyTarget(QWidget *control)
{
    control->window()->activateWindow();
    control->setFocus(Qt::OtherFocusReason);
    QWidget *focus = control->window()->focusWidget();
    return focus && (focus == control || control->isAncestorOf(focus)) ? focus : control;
}

void typeText(QWidget *control, const QString &text)
{
    QPointer<QWidget> target = keyTarget(control);
    for (qsizetype i = 0; i < text.size() && target; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\n')) {
            pressKey(target, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
            continue;
        }
        // A character outside the basic plane is typed as its surrogate pair in one event.
        QString typed(c);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            typed += text.at(++i);
        const int key = c.unicode() < 0x80 ? c.toUpper().unicode() : int(Qt::Key_unknown);
        pressKey(target, key, Qt::NoModifier, typed);
    }
}

void clickAt(QWidget *control, QPoint centre)
{
    QWidget *target = control->childAt(centre);
    if (!target)
        target = control;
    QPointer<QWidget> guard(target);
    const QPointF local = target->mapFrom(control, centre);
    const QPointF global = control->mapToGlobal(QPointF(centre));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    if (!guard)
        return;
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

QWidget *findWindow(const QString &name)
{
    QWidget *hidden = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->objectName() != name)
            continue;
        if (window->isVisible())
            return window;
        hidden = window;
    }
    return hidden;
}

// Files dragged from a file manager and let go over the control's centre: the enter, a move and the drop,
// each going on only when the last was accepted, as a drag does.
void dropFiles(QWidget *control, const QStringList &paths)
{
    auto *area = qobject_cast<QAbstractScrollArea *>(control);
    QWidget *target = area ? area->viewport() : control;
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    data.setUrls(urls);
    const QPoint centre = target->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    if (!QApplication::sendEvent(target, &enter) || !enter.isAccepted())
        return;
    QDragMoveEvent move(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    if (!move.isAccepted())
        return;
    QDropEvent drop(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

} // namespace

AutomationChannel::AutomationChannel(const Console &console, const QString &path, QObject *parent)
    : QObject(parent), m_console(console), m_server(new QLocalServer(this))
{
    // Stamped as it happens, so that a test polling many instances learns when each table changed, not
    // when it got round to asking.
    connect(&m_console.friends, &FriendTable::changed, this,
            [this] { m_friendsChangedAt = QDateTime::currentMSecsSinceEpoch(); });
    if (listenPrivately(path))
        connect(m_server, &QLocalServer::newConnection, this, &AutomationChannel::acceptClients);
    else
        qWarning("automation channel not opened: %s", qPrintable(m_refusal));
}

QString AutomationChannel::unsafePathReason(const QString &path)
{
    // A bare name would land in the shared temporary folder.
    if (!QFileInfo(path).isAbsolute())
        return QStringLiteral("the path is not absolute");
    const QByteArray directory = QFile::encodeName(QFileInfo(path).absolutePath());
    struct stat folder
    {
    };
    if (::stat(directory.constData(), &folder) != 0 || !S_ISDIR(folder.st_mode))
        return QStringLiteral("no directory ") + QFileInfo(path).absolutePath();
    const bool sticky = folder.st_mode & S_ISVTX;
    if (folder.st_uid != ::geteuid() && folder.st_uid != 0)
        return QStringLiteral("the directory belongs to another user");
    // Whoever may rename entries there could put a socket of their own in place of this one.
    if (!sticky && (folder.st_mode & S_IWOTH))
        return QStringLiteral("the directory is writable by everyone and not sticky");
    // A group is other users, even the user's own group.
    if (!sticky && (folder.st_mode & S_IWGRP))
        return QStringLiteral("the directory is writable by a group and not sticky");

    struct stat existing
    {
    };
    const QByteArray file = QFile::encodeName(path);
    if (::lstat(file.constData(), &existing) == 0) {
        // Left by an earlier run; anything else there is not ours to delete.
        if (!S_ISSOCK(existing.st_mode) || existing.st_uid != ::geteuid())
            return QStringLiteral("something other than a socket of this user lies at the path");
    } else if (errno != ENOENT) {
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    return {};
}

bool AutomationChannel::listenPrivately(const QString &path)
{
    m_refusal = unsafePathReason(path);
    if (!m_refusal.isEmpty())
        return false;
    // Qt binds inside a fresh 0700 directory, sets the mode and then renames the socket into place, so it
    // is never reachable with a wider mode.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(path);
    if (!m_server->listen(path)) {
        m_refusal = m_server->errorString();
        return false;
    }
    struct stat made
    {
    };
    const QByteArray file = QFile::encodeName(path);
    if (::lstat(file.constData(), &made) != 0 || !S_ISSOCK(made.st_mode) || made.st_uid != ::geteuid() ||
        (made.st_mode & (S_IRWXG | S_IRWXO))) {
        m_server->close();
        m_refusal = QStringLiteral("the socket did not come out private");
        return false;
    }
    return true;
}

void AutomationChannel::recordNotice(const QByteArray &text, const QByteArray &caption)
{
    m_notices.push_back({text, caption});
    if (m_notices.size() > MaxNotices)
        m_notices.pop_front();
}

void AutomationChannel::recordSpeech(const QString &text)
{
    m_spoken.push_back(text);
    if (m_spoken.size() > MaxSpoken)
        m_spoken.pop_front();
}

AutomationChannel::~AutomationChannel() = default;

bool AutomationChannel::isListening() const
{
    return m_server->isListening();
}

void AutomationChannel::acceptClients()
{
    while (QLocalSocket *client = m_server->nextPendingConnection()) {
        if (!peerIsThisUser(client)) {
            client->abort();
            client->deleteLater();
            continue;
        }
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] { readRequests(client); });
    }
}

void AutomationChannel::readRequests(QLocalSocket *client)
{
    QPointer<QLocalSocket> guard(client);
    while (guard && client->canReadLine()) {
        // readLine stops at its limit as if the line ended there; the rest would be read as requests.
        const QByteArray line = client->readLine(MaxRequestBytes + 1);
        if (!line.endsWith('\n')) {
            client->abort();
            return;
        }
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
        QPointer<QAction> action = m_console.actions.findChild<QAction *>(name);
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
        const QAction *action = m_console.actions.findChild<QAction *>(name);
        if (!action)
            return failure(QStringLiteral("no action named ") + name);
        QJsonObject reply = success();
        reply.insert(QStringLiteral("checked"), action->isChecked());
        return reply;
    }
    if (command == QLatin1String("friends"))
        return friends();
    if (command == QLatin1String("messages"))
        return messages();
    if (command == QLatin1String("sendDirect")) {
        const QByteArray address = request.value(QStringLiteral("address")).toString().toLatin1();
        QJsonObject reply = success();
        reply.insert(QStringLiteral("result"), m_console.engine.SendDirect(address, packet));
        return reply;
    }
    if (command == QLatin1String("sendBroadcast")) {
        m_console.engine.SendBroadcast(packet);
        return success();
    }
    if (command == QLatin1String("windows"))
        return windows();
    if (command == QLatin1String("click") || command == QLatin1String("type") || command == QLatin1String("key") ||
        command == QLatin1String("drop"))
        return input(command, request);
    if (command == QLatin1String("stats"))
        return stats();
    if (command == QLatin1String("spoken")) {
        QJsonArray texts;
        for (const QString &text : m_spoken)
            texts.append(text);
        return QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("spoken"), texts}};
    }
    if (command == QLatin1String("timer")) {
        const QTimer *timer = m_console.actions.findChild<QTimer *>(name);
        if (!timer)
            return failure(QStringLiteral("no timer named ") + name);
        QJsonObject reply = success();
        reply.insert(QStringLiteral("active"), timer->isActive());
        return reply;
    }
    return failure(QStringLiteral("unknown command"));
}

QJsonObject AutomationChannel::friends() const
{
    QJsonArray rows;
    for (const Friend &f : m_console.friends.rows()) {
        rows.append(QJsonObject{{QStringLiteral("user"), cp950::decode(f.User)},
                                {QStringLiteral("ip"), QString::fromLatin1(f.IP)},
                                {QStringLiteral("face"), QString::fromLatin1(f.Face.toBase64())}});
    }
    QJsonObject reply = success();
    reply.insert(QStringLiteral("friends"), rows);
    reply.insert(QStringLiteral("changedAt"), double(m_friendsChangedAt) / 1000);
    return reply;
}

QJsonObject AutomationChannel::messages() const
{
    const MessageTable &table = m_console.messages;
    QJsonArray rows;
    for (int i = 0; i < table.size(); ++i) {
        const Message &m = table.at(i);
        rows.append(QJsonObject{{QStringLiteral("nickname"), cp950::decode(m.Nickname)},
                                {QStringLiteral("ip"), QString::fromLatin1(m.IP)},
                                {QStringLiteral("date"), m.Date.toString(Qt::ISODate)},
                                {QStringLiteral("content"), QString::fromLatin1(m.Content.toBase64())},
                                {QStringLiteral("read"), m.Read}});
    }
    QJsonObject reply = success();
    reply.insert(QStringLiteral("messages"), rows);
    reply.insert(QStringLiteral("current"), table.currentRow());
    return reply;
}

QJsonObject AutomationChannel::notices() const
{
    QJsonArray list;
    for (const Notice &n : m_notices) {
        list.append(QJsonObject{{QStringLiteral("caption"), cp950::decode(n.caption)},
                                {QStringLiteral("text"), plainText(n.text)},
                                {QStringLiteral("rtf"), cp950::decode(n.text)}});
    }
    QJsonObject reply = success();
    reply.insert(QStringLiteral("notices"), list);
    return reply;
}

QJsonObject AutomationChannel::windows() const
{
    QJsonArray list;
    for (const QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        QJsonArray controls;
        for (const QWidget *control : window->findChildren<QWidget *>()) {
            // Qt names some inner parts of its widgets itself; they are no controls of ours.
            if (!control->objectName().isEmpty() && !control->objectName().startsWith(QLatin1String("qt_")))
                controls.append(describeControl(control));
        }
        list.append(QJsonObject{{QStringLiteral("name"), window->objectName()},
                                {QStringLiteral("class"), QString::fromLatin1(window->metaObject()->className())},
                                {QStringLiteral("title"), window->windowTitle()},
                                {QStringLiteral("geometry"), geometryOf(window->geometry())},
                                {QStringLiteral("controls"), controls}});
    }
    QJsonObject reply = success();
    reply.insert(QStringLiteral("windows"), list);
    return reply;
}

QJsonObject AutomationChannel::input(const QString &command, const QJsonObject &request)
{
    const QString windowName = request.value(QStringLiteral("window")).toString();
    const QString controlName = request.value(QStringLiteral("control")).toString();
    QWidget *window = findWindow(windowName);
    if (!window)
        return failure(QStringLiteral("no window named ") + windowName);
    QWidget *found = controlName.isEmpty() ? window : window->findChild<QWidget *>(controlName);
    if (!found)
        return failure(QStringLiteral("no control named ") + controlName);
    if (!found->isVisible())
        return failure(QStringLiteral("not visible: ") + controlName);
    if (!found->isEnabled())
        return failure(QStringLiteral("not enabled: ") + controlName);

    std::function<void(QWidget *)> act;
    if (command == QLatin1String("click")) {
        // A point of the control, else its centre.
        const QPoint point = request.contains(QStringLiteral("x")) ? QPoint(request.value(QStringLiteral("x")).toInt(),
                                                                            request.value(QStringLiteral("y")).toInt())
                                                                   : found->rect().center();
        act = [point](QWidget *control) { clickAt(control, point); };
    } else if (command == QLatin1String("type")) {
        const QString text = request.value(QStringLiteral("text")).toString();
        act = [text](QWidget *control) { typeText(control, text); };
    } else if (command == QLatin1String("drop")) {
        QStringList files;
        for (const QJsonValue &file : request.value(QStringLiteral("files")).toArray())
            files.append(file.toString());
        act = [files](QWidget *control) { dropFiles(control, files); };
    } else {
        const QString name = request.value(QStringLiteral("key")).toString();
        const QKeySequence sequence = QKeySequence::fromString(name, QKeySequence::PortableText);
        if (sequence.count() != 1 || sequence[0].key() == Qt::Key_unknown)
            return failure(QStringLiteral("no key named ") + name);
        const QKeyCombination combination = sequence[0];
        act = [combination](QWidget *control) {
            const int key = combination.key();
            const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
            pressKey(keyTarget(control), key, modifiers, typedText(key, modifiers));
        };
    }
    // After the answer: the input may open a modal loop or close the window.
    QPointer<QWidget> control(found);
    QMetaObject::invokeMethod(
        this,
        [control, act] {
            if (control)
                act(control);
        },
        Qt::QueuedConnection);
    return success();
}

QJsonObject AutomationChannel::stats() const
{
    QJsonObject reply = success();
    reply.insert(QStringLiteral("datagrams"), qint64(m_console.engine.datagramsReceived()));
    reply.insert(QStringLiteral("openStreams"), m_console.engine.openStreamCount());
    reply.insert(QStringLiteral("waitingStreams"), m_console.engine.waitingStreamCount());
    reply.insert(QStringLiteral("refusedStreams"), qint64(m_console.engine.refusedStreamCount()));
    return reply;
}
