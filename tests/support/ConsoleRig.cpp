#include "tests/support/ConsoleRig.h"

#include <QAction>
#include <QFile>
#include <QTest>

ConsoleRig::ConsoleRig(std::unique_ptr<MemorySettingsStore> settings, std::optional<SocketEngine::Endpoints> endpoints,
                       const QString &dataHome)
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.isEmpty() ? ownDataHome.path() : dataHome));
    store = settings.get();
    if (!endpoints) {
        wire.bind(QHostAddress::LocalHost, 0);
        endpoints = loopbackEndpoints();
        endpoints->broadcastDestinationPort = wire.localPort();
    }
    auto recording = std::make_unique<RecordingSpeech>();
    voice = recording.get();
    console = std::make_unique<TForm_Parlune>(*endpoints, std::move(settings), std::move(recording));
    console->setNoticeSink(&notices);
}

SocketEngine::Endpoints ConsoleRig::loopbackEndpoints()
{
    SocketEngine::Endpoints endpoints;
    endpoints.broadcastPort = 0;
    endpoints.listenPort = 0;
    endpoints.broadcastAddress = QHostAddress(QHostAddress::LocalHost);
    return endpoints;
}

bool ConsoleRig::startQuietly()
{
    console->FormCreate();
    if (!QTest::qWaitFor([this] { return wire.hasPendingDatagrams(); }))
        return false;
    // The rest of what start-up sends arrives moments after the first datagram.
    QTest::qWait(50);
    heard();
    return true;
}

QByteArrayList ConsoleRig::heard()
{
    QByteArrayList datagrams;
    while (wire.hasPendingDatagrams()) {
        QByteArray d(int(wire.pendingDatagramSize()), '\0');
        wire.readDatagram(d.data(), d.size());
        datagrams.append(d);
    }
    return datagrams;
}

bool triggerAction(const QObject &root, const QString &name)
{
    auto *action = root.findChild<QAction *>(name);
    if (!action) {
        qWarning("no action %s", qPrintable(name));
        return false;
    }
    if (!action->isEnabled()) {
        qWarning("action %s is disabled", qPrintable(name));
        return false;
    }
    action->trigger();
    return true;
}
