#include "platform/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr qsizetype MaxRequestBytes = 64;
constexpr int RequestTimeoutMs = 5000;
// A starting instance holds the lock a moment before it listens.
constexpr int ConnectAttempts = 40;
constexpr unsigned long ConnectRetryMs = 50;

// A directory only this user can enter or change: ours, no symbolic link, nothing for group or others.
bool isPrivateDirectory(const QString &path, bool repairMode)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info
    {
    };
    if (::lstat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return false;
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) == 0)
        return true;
    return repairMode && ::chmod(name.constData(), S_IRWXU) == 0;
}

// Made 0700 when missing. One that exists must be ours and no link; a mode wider than 0700 is narrowed.
QString privateDirectory(const QString &path)
{
    ::mkdir(QFile::encodeName(path).constData(), S_IRWXU);
    return isPrivateDirectory(path, true) ? path : QString();
}

} // namespace

SingleInstance::SingleInstance(QString directory, QObject *parent)
    : QObject(parent), m_directory(std::move(directory)), m_baseName(QStringLiteral("Parlune"))
{
    // The temporary folder is shared by every user of the machine.
    if (m_directory == QDir::tempPath())
        m_baseName += QLatin1Char('-') + QString::number(::getuid());
}

SingleInstance::~SingleInstance()
{
    delete m_server;
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

QString SingleInstance::defaultDirectory()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isAbsolute() && isPrivateDirectory(runtime, false))
        return runtime;
    // In the shared temporary folder another user could take the name first; then the user's cache.
    const QString uid = QString::number(::geteuid());
    if (QString shared = privateDirectory(QDir::tempPath() + QStringLiteral("/parlune-") + uid); !shared.isEmpty())
        return shared;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty() && QDir().mkpath(cache)) {
        if (QString own = privateDirectory(cache + QStringLiteral("/parlune")); !own.isEmpty())
            return own;
    }
    return QDir::tempPath();
}

QString SingleInstance::socketPath() const
{
    return m_directory + QLatin1Char('/') + m_baseName;
}

QString SingleInstance::lockPath() const
{
    return socketPath() + QStringLiteral(".lock");
}

bool SingleInstance::acquire()
{
    if (m_lockFd >= 0)
        return true;
    const QByteArray path = QFile::encodeName(lockPath());
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    if (fd < 0)
        return true; // nowhere to keep a lock: better two instances than none
    // A lock file someone else put there proves nothing about this user's instances.
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        ::close(fd);
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_lockFd = fd;
    return true;
}

bool SingleInstance::passRequest(const QByteArray &request)
{
    const QByteArray path = QFile::encodeName(socketPath());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));

    for (int attempt = 0; attempt < ConnectAttempts; ++attempt) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0) {
            const QByteArray line = request + '\n';
            const bool sent = ::send(fd, line.constData(), size_t(line.size()), MSG_NOSIGNAL) == line.size();
            ::close(fd);
            return sent;
        }
        ::close(fd);
        QThread::msleep(ConnectRetryMs);
    }
    return false;
}

bool SingleInstance::listen()
{
    if (m_server)
        return true;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Whatever socket file is there was left by an instance that no longer holds the lock.
    QLocalServer::removeServer(socketPath());
    if (!m_server->listen(socketPath())) {
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptRequests);
    return true;
}

void SingleInstance::acceptRequests()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(RequestTimeoutMs, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > MaxRequestBytes)
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine(MaxRequestBytes + 1).trimmed();
            socket->disconnectFromServer();
            if (line == ActivateRequest)
                Q_EMIT activationRequested();
        });
    }
}
