#pragma once

#include "engine/Presence.h"

#include <QByteArray>
#include <QHash>
#include <QMenu>
#include <QPixmap>
#include <functional>

class QActionGroup;

// The console's popup menu PopupMenu_Main: a banner column on the left, the commands, the status radio group
// and the switches whose check marks are the live values of their settings. It owns every QAction (objectName =
// the item's name); the console reads check marks through action()/isChecked() and sets them at start-up with
// setChecked()/setStatus(), which run no command. What the commands do beyond the menu comes through Hooks.
class MainMenu final : public QMenu
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainMenu)

public:
    static constexpr int BannerWidth = 21;
    static constexpr int BannerHeight = 250;
    static constexpr int ItemHeight = 22;
    static constexpr int ItemMinWidth = 100;
    static constexpr int SeparatorHeight = 8;
    static constexpr int PictureSize = 19;

    struct Hooks
    {
        // Stores a switch's new value; false when the setting could not be written.
        std::function<bool(const QString &item, bool checked)> writeSwitch;
        std::function<void(const QByteArray &rtf, const QByteArray &caption)> showNotice;
        std::function<void()> sendMessage;
        std::function<void()> sendBroadcast;
        std::function<void()> openProfile;
        std::function<void()> openSendFile;
        std::function<void()> openRemoteHost;
        std::function<void()> openGame;
        std::function<void(bool shown)> showTicker;
        std::function<void(bool autoHide)> tickerAutoHide;
        std::function<void()> flashingSwitchedOn;
        std::function<void(bool wanted)> assistantSwitched;
        std::function<void()> chooseAssistant;
        // Empties the message table, stops the flashing and puts MAINICON in the tray.
        std::function<void()> emptyMessages;
        std::function<void()> announcePresence;
        std::function<void(Presence::Status)> setStatus;
        std::function<void()> closeConsole;
        // Defaults: the modal About box, and the credits window as a single instance.
        std::function<void()> showAbout;
        std::function<void()> openCredits;
    };

    explicit MainMenu(Hooks hooks, QWidget *parent = nullptr);
    ~MainMenu() override;

    QAction *action(const QString &name) const;
    bool isChecked(const QString &name) const;
    // Start-up: set a check mark without running the command or writing the setting.
    void setChecked(const QString &name, bool checked);
    void setStatus(Presence::Status status);
    Presence::Status checkedStatus() const;

    // Opens the menu with its top-left corner at the pointer position.
    void popupAt(const QPoint &globalPosition);

    // The setting each switch writes (SYS or PIM value name); empty for items without one.
    static QString settingOf(const QString &item);

    // Banner column rectangle in the menu's coordinates: from the first to the last visible item.
    QRect bannerRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QAction *addItem(QMenu *menu, const QString &name, const QString &caption, int picture = -1);
    QAction *addSwitch(QMenu *menu, const QString &name, const QString &caption, bool checked, int picture = -1);
    QMenu *addSubmenu(const QString &name, const QString &caption, int picture);
    void addEngravedSeparator(const QString &name);
    void build();
    void switchCommand(const QString &name);
    void MenuItem_EmptyClick();
    void MenuItem_MoravikClick();
    void updateAutoHidePresence();
    static void run(const std::function<void()> &hook);

    Hooks m_hooks;
    QHash<QString, QAction *> m_actions;
    QActionGroup *m_statusGroup = nullptr;
    QPixmap m_banner;
    bool m_pressedOnBanner = false;
};
