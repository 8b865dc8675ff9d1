#pragma once

#include <QByteArray>
#include <functional>

class PacketTransport;
struct ConsoleValues;

// What the broadcast composer needs of the console, which owns all of it for the whole run.
struct ProclamationDeps
{
    ConsoleValues *values = nullptr;
    PacketTransport *transport = nullptr;
    std::function<QByteArray()> currentImeName;
    std::function<void(const QByteArray &imeName)> activateIme;
};
