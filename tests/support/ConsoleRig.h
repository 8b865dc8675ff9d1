#pragma once

#include "app/TForm_Parlune.h"
#include "engine/MemorySettingsStore.h"
#include "tests/support/NoticeRecorder.h"
#include "tests/support/RecordingSpeech.h"

#include <QByteArrayList>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <memory>
#include <optional>

// A console on loopback and free ports with its settings in memory; its notices are recorded, its
// character's voice only records, and its broadcasts land in a socket of the test unless other endpoints
// are given. What the console keeps beyond the run goes to a data folder of the rig's own, or to dataHome, which a
// test gives to two rigs in turn to see what the second finds of the first.
struct ConsoleRig
{
    explicit ConsoleRig(std::unique_ptr<MemorySettingsStore> settings = std::make_unique<MemorySettingsStore>(),
                        std::optional<SocketEngine::Endpoints> endpoints = {}, const QString &dataHome = {});

    // Loopback, ports chosen by the system.
    static SocketEngine::Endpoints loopbackEndpoints();
    // Runs the console's start-up and drops the announcement it broadcasts, so a test hears only what follows;
    // false when no announcement came.
    [[nodiscard]] bool startQuietly();
    // The datagrams that reached the wire socket since the last call.
    QByteArrayList heard();

    QTemporaryDir ownDataHome;
    QUdpSocket wire;
    MemorySettingsStore *store = nullptr;
    NoticeRecorder notices;
    // Owned by the console's character.
    RecordingSpeech *voice = nullptr;
    std::unique_ptr<TForm_Parlune> console;
};

// Finds the action named so under root, checks that it exists and is enabled, and triggers it; false, with a
// warning that says why, when it cannot.
[[nodiscard]] bool triggerAction(const QObject &root, const QString &name);
