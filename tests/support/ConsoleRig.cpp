#include "tests/support/ConsoleRig.h"

#include <QAction>

ConsoleRig::ConsoleRig(std::unique_ptr<MemorySettingsStore> settings, std::optional<SocketEngine::Endpoints> endpoints)
{
    store = settings.get();
    if (!endpoints) {
        wire.bind(QHostAddress::LocalHost, 0);
        endpoints = loopbackEndpoints();
        endpoints->broadcastDestinationPort = wire.localPort();
    }
    console = std::make_unique<TForm_Parlune>(*endpoints, std::move(settings));
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
