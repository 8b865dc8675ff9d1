#pragma once

#include "engine/ConsoleState.h"
#include "engine/Presence.h"

#include <QByteArray>
#include <QHash>
#include <QMenu>
#include <QPixmap>

class QActionGroup;

// The console's popup menu PopupMenu_Main: a banner column on the left, the commands, the status radio group
// and the switches. It owns every QAction (objectName = the item's name). The check marks show the console
// state: a triggered switch or status item sets the state, and a change of the state sets the mark, running
// no command. The commands are the console's: it connects to the named actions' triggered signals.
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

    explicit MainMenu(ConsoleState &state, QWidget *parent = nullptr);
    ~MainMenu() override;

    QAction *action(const QString &name) const;
    bool isChecked(const QString &name) const;
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
    QAction *addSwitch(QMenu *menu, settings::Switch which, const QString &caption, int picture = -1);
    QMenu *addSubmenu(const QString &name, const QString &caption, int picture);
    void addEngravedSeparator(const QString &name);
    void build();
    void showSwitch(settings::Switch which, bool on);
    void showStatus(Presence::Status status);

    ConsoleState &m_state;
    QHash<QString, QAction *> m_actions;
    QActionGroup *m_statusGroup = nullptr;
    QPixmap m_banner;
    bool m_pressedOnBanner = false;
};
