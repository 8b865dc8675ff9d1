#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One running instance per user. The first start holds a lock in the user's runtime directory and
// listens on a local socket named after the program; a later start hands its request over that
// socket and ends. The lock dies with its process, so a crashed instance leaves nothing that counts.
class SingleInstance final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    static constexpr char ActivateRequest[] = "activate";

    // Folder for the lock and the socket: $XDG_RUNTIME_DIR when it is private, else a private folder of the
    // user's in the temporary folder or, if another user took that name, in the user's cache.
    explicit SingleInstance(QString directory = defaultDirectory(), QObject *parent = nullptr);
    ~SingleInstance() override;

    static QString defaultDirectory();

    // True when no other instance runs; this one then holds the lock. Needs no application object.
    bool acquire();
    // For a later start: passes the request to the running instance. False when it could not be reached.
    bool passRequest(const QByteArray &request = ActivateRequest);
    // For the running instance, once the application object exists: accepts the requests of later starts.
    bool listen();

    QString socketPath() const;
    QString lockPath() const;

Q_SIGNALS:
    void activationRequested();

private:
    void acceptRequests();

    QString m_directory;
    QString m_baseName;
    int m_lockFd = -1;
    QLocalServer *m_server = nullptr;
};
