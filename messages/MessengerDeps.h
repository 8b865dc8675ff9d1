#pragma once

#include "messages/MessageSender.h"

#include <QByteArray>
#include <QFont>
#include <QUrl>
#include <functional>
#include <optional>

class FriendTable;
class MessageTable;
class NoticeSink;
class QWidget;
class WindowRegistry;
struct ConsoleValues;

// What the message window needs of the console. The console owns all of it for the whole run; what the
// window asks of the console in return goes out as its signals.
struct MessengerDeps
{
    MessageTable *messages = nullptr;
    FriendTable *friends = nullptr;
    ConsoleValues *values = nullptr;
    NoticeSink *notices = nullptr;
    // Where the one message window is kept; without it every command opens a new one. The console hears
    // of each new window there.
    WindowRegistry *windows = nullptr;
    // The default message font of the console's font dialog; lives for the run, never saved.
    QFont *defaultFont = nullptr;

    std::function<QByteArray()> currentImeName;
    std::function<void(const QByteArray &imeName)> activateIme;
    // The font dialog, showing initial; nullopt when the user cancels. Empty: QFontDialog.
    std::function<std::optional<QFont>(const QFont &initial, QWidget *parent)> chooseFont;
    // Hands a link the user chose to open to the desktop. Empty: QDesktopServices.
    std::function<void(const QUrl &url)> openUrl;

    SendOptions send;
};
