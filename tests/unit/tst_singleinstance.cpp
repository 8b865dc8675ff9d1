#include "platform/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <sys/socket.h>
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
        qputenv("XDG_RUNTIME_DIR", "relative/path");
        QCOMPARE(SingleInstance::defaultDirectory(), QDir::tempPath());
        QTemporaryDir dir;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
        QCOMPARE(SingleInstance::defaultDirectory(), dir.path());
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
