#include "platform/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void laterStartHandsOverItsRequest()
    {
        QTemporaryDir dir;
        SingleInstance running(dir.path());
        QVERIFY(running.acquire());
        QVERIFY(running.listen());
        QSignalSpy activations(&running, &SingleInstance::activationRequested);

        SingleInstance later(dir.path());
        QVERIFY(!later.acquire());
        QVERIFY(later.passRequest());
        QTRY_COMPARE(activations.count(), 1);
        QCOMPARE(running.socketPath(), dir.path() + QStringLiteral("/Parlune"));
    }

    // A crashed instance leaves its socket file behind, but its lock went with its process.
    void staleSocketFileIsReplaced()
    {
        QTemporaryDir dir;
        {
            SingleInstance crashed(dir.path());
            QVERIFY(crashed.acquire());
        }
        const QByteArray path = QFile::encodeName(dir.path() + QStringLiteral("/Parlune"));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        ::close(fd);
        QVERIFY(QFile::exists(QString::fromLocal8Bit(path)));

        SingleInstance next(dir.path());
        QVERIFY(next.acquire());
        QVERIFY(next.listen());
        QSignalSpy activations(&next, &SingleInstance::activationRequested);
        SingleInstance later(dir.path());
        QVERIFY(!later.acquire());
        QVERIFY(later.passRequest());
        QTRY_COMPARE(activations.count(), 1);
    }

    void otherRequestsAreIgnored_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("unknown request") << QByteArray("show\n");
        QTest::newRow("no line end") << QByteArray("activate");
        QTest::newRow("endless line") << QByteArray(100000, 'a');
    }
    void otherRequestsAreIgnored()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        SingleInstance running(dir.path());
        QVERIFY(running.acquire());
        QVERIFY(running.listen());
        QSignalSpy activations(&running, &SingleInstance::activationRequested);
        QLocalSocket client;
        client.connectToServer(running.socketPath());
        QVERIFY(client.waitForConnected(5000));
        client.write(bytes);
        client.flush();
        client.disconnectFromServer();
        // A proper request afterwards is still heard, and the ignored one did not count.
        SingleInstance later(dir.path());
        QVERIFY(later.passRequest());
        QTRY_COMPARE(activations.count(), 1);
        QTest::qWait(50);
        QCOMPARE(activations.count(), 1);
    }

    // The temporary folder is shared between users, the runtime directory is not.
    void namesInTheTemporaryFolderCarryTheUser()
    {
        SingleInstance shared(QDir::tempPath());
        QCOMPARE(shared.socketPath(), QDir::tempPath() + QStringLiteral("/Parlune-") + QString::number(::getuid()));
        QTemporaryDir dir;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
        QCOMPARE(SingleInstance::defaultDirectory(), dir.path());
    }

    // Without a usable runtime directory the lock goes into a folder only this user can change: one of
    // its own in the temporary folder, or in its cache when another user took that name first.
    void withoutARuntimeDirectoryAPrivateFolder()
    {
        QTemporaryDir tmp;
        QTemporaryDir cache;
        qputenv("TMPDIR", QFile::encodeName(tmp.path()));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
        const QString own = tmp.path() + QStringLiteral("/parlune-") + QString::number(::geteuid());
        const QString fallback = cache.path() + QStringLiteral("/parlune");
        auto isPrivate = [](const QString &path) {
            struct stat info
            {
            };
            return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
                   info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
        };
        for (const char *runtime : {"", "relative/path", "/nonexistent/run"}) {
            qputenv("XDG_RUNTIME_DIR", runtime);
            QCOMPARE(SingleInstance::defaultDirectory(), own);
            QVERIFY(isPrivate(own));
        }
        // A runtime directory others may write to is no place for the lock either.
        QTemporaryDir open;
        QCOMPARE(::chmod(QFile::encodeName(open.path()).constData(), 0777), 0);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(open.path()));
        QCOMPARE(SingleInstance::defaultDirectory(), own);
        qunsetenv("XDG_RUNTIME_DIR");

        // What another user put under the name first (here a link) is not used; the cache is.
        QVERIFY(QDir(own).removeRecursively());
        QTemporaryDir elsewhere;
        QVERIFY(QFile::link(elsewhere.path(), own));
        QCOMPARE(SingleInstance::defaultDirectory(), fallback);
        QVERIFY(isPrivate(fallback));
        QFile::remove(own);

        qunsetenv("TMPDIR");
        qunsetenv("XDG_CACHE_HOME");
    }

    // What lies at the lock's name cannot stop this user's start: a link is not followed (its target is
    // not created), and a file of another user, even one held locked, is not this user's instance.
    void foreignLockFilesDoNotCount()
    {
        QTemporaryDir dir;
        SingleInstance first(dir.path());
        const QString target = dir.filePath(QStringLiteral("target"));
        QVERIFY(QFile::link(target, first.lockPath()));
        QVERIFY(first.acquire());
        QVERIFY(!QFile::exists(target));

        if (::geteuid() != 0)
            QSKIP("needs a file of another user");
        QTemporaryDir shared;
        SingleInstance second(shared.path());
        const QByteArray lock = QFile::encodeName(second.lockPath());
        const int held = ::open(lock.constData(), O_RDWR | O_CREAT, 0666);
        QVERIFY(held >= 0);
        QCOMPARE(::fchown(held, 65534, 65534), 0);
        QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
        QVERIFY(second.acquire());
        ::close(held);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
