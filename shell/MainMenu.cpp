#include "shell/MainMenu.h"

#include <QActionGroup>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QSet>
#include <QStyleOptionMenuItem>

namespace {

// Measures and draws the menu as the program wants it: 19 x 19 pictures, items of the item rule 22 high and at
// least 100 wide, top-level separators 8 high and engraved right of the banner.
class MenuStyle final : public QProxyStyle
{
public:
    MenuStyle(QSet<QString> itemRuleCaptions, bool engravedSeparators)
        : m_itemRule(std::move(itemRuleCaptions)), m_engraved(engravedSeparators)
    {
    }

    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        if (metric == PM_SmallIconSize)
            return MainMenu::PictureSize;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &contents,
                           const QWidget *widget) const override
    {
        QSize size = QProxyStyle::sizeFromContents(type, option, contents, widget);
        const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        if (type != CT_MenuItem || !item)
            return size;
        if (item->menuItemType == QStyleOptionMenuItem::Separator) {
            if (m_engraved)
                size.setHeight(MainMenu::SeparatorHeight);
        } else if (m_itemRule.contains(item->text)) {
            size.setHeight(MainMenu::ItemHeight);
            size.setWidth(qMax(size.width(), MainMenu::ItemMinWidth));
        }
        return size;
    }

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        if (element == CE_MenuItem && item && m_engraved && item->menuItemType == QStyleOptionMenuItem::Separator) {
            const QRect r = option->rect;
            const int mid = r.top() + r.height() / 2;
            const int left = MainMenu::BannerWidth + 2;
            painter->save();
            painter->setPen(Qt::black);
            painter->drawLine(left, mid - 1, r.right(), mid - 1);
            painter->setPen(Qt::white);
            painter->drawLine(left, mid, r.right(), mid);
            painter->restore();
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

private:
    QSet<QString> m_itemRule;
    bool m_engraved;
};

const QString kMoravik = QStringLiteral("MenuItem_Moravik");

QIcon picture(int index)
{
    return QIcon(QStringLiteral(":/menu/menu%1.png").arg(index, 2, 10, QLatin1Char('0')));
}

} // namespace

MainMenu::MainMenu(ConsoleState &state, QWidget *parent) : QMenu(parent), m_state(state)
{
    setObjectName(QStringLiteral("PopupMenu_Main"));
    m_banner = QPixmap(QStringLiteral(":/menu/banner.png"));
    build();
    connect(&m_state, &ConsoleState::switchChanged, this, &MainMenu::showSwitch);
    connect(&m_state, &ConsoleState::statusChanged, this, &MainMenu::showStatus);
}

MainMenu::~MainMenu() = default;

QAction *MainMenu::addItem(QMenu *menu, const QString &name, const QString &caption, int picture)
{
    auto *item = new QAction(caption, this);
    item->setObjectName(name);
    if (picture >= 0)
        item->setIcon(::picture(picture));
    menu->addAction(item);
    m_actions.insert(name, item);
    return item;
}

QAction *MainMenu::addSwitch(QMenu *menu, settings::Switch which, const QString &caption, int picture)
{
    QAction *item = addItem(menu, QLatin1String(settings::row(which).menuItem), caption, picture);
    item->setCheckable(true);
    item->setChecked(m_state.isOn(which));
    // Qt has already inverted the check mark.
    connect(item, &QAction::triggered, this, [this, which](bool checked) { m_state.setOn(which, checked); });
    return item;
}

QMenu *MainMenu::addSubmenu(const QString &name, const QString &caption, int picture)
{
    auto *submenu = new QMenu(caption, this);
    // Submenus keep the platform's measures except for the status items of the item rule.
    auto *style = new MenuStyle({QStringLiteral("上線"), QStringLiteral("離線")}, false);
    style->setParent(submenu);
    submenu->setStyle(style);
    submenu->menuAction()->setObjectName(name);
    submenu->menuAction()->setIcon(::picture(picture));
    addMenu(submenu);
    m_actions.insert(name, submenu->menuAction());
    return submenu;
}

void MainMenu::addEngravedSeparator(const QString &name)
{
    QAction *separator = addSeparator();
    separator->setObjectName(name);
    m_actions.insert(name, separator);
}

void MainMenu::build()
{
    using settings::Switch;
    const QSet<QString> itemRule{QStringLiteral("系統廣播"), QStringLiteral("信息管理"), QStringLiteral("發送信息"),
                                 QStringLiteral("個人設定"), QStringLiteral("系統參數"), QStringLiteral("遠程管理"),
                                 QStringLiteral("傳送文件"), QStringLiteral("關于..."),  QStringLiteral("幫助"),
                                 QStringLiteral("刷新"),     QStringLiteral("退出")};
    auto *style = new MenuStyle(itemRule, true);
    style->setParent(this);
    setStyle(style);
    // The banner's column: the items start right of it.
    setContentsMargins(BannerWidth, 0, 0, 0);

    // The banner is drawn and clicked in its column; its action carries the command.
    auto *moravik = new QAction(this);
    moravik->setObjectName(kMoravik);
    m_actions.insert(kMoravik, moravik);

    QMenu *broadcasting = addSubmenu(QStringLiteral("MenuItem_Broadcasting"), QStringLiteral("系統廣播"), 0);
    addItem(broadcasting, QStringLiteral("MenuItem_BSend"), QStringLiteral("發送廣播"), 16);
    broadcasting->addSeparator();
    addSwitch(broadcasting, Switch::ShowBroadcasting, QStringLiteral("顯示廣播"));
    broadcasting->addSeparator();
    QAction *autoHide = addSwitch(broadcasting, Switch::BroadcastAutoHide, QStringLiteral("自動隱藏"));
    // Hidden, not removed: the item keeps its check mark for when it comes back.
    autoHide->setVisible(m_state.broadcastAutoHideVisible());
    connect(&m_state, &ConsoleState::broadcastAutoHideVisibleChanged, autoHide, &QAction::setVisible);

    QMenu *info = addSubmenu(QStringLiteral("MenuItem_InfoManage"), QStringLiteral("信息管理"), 2);
    addSwitch(info, Switch::AutoShow, QStringLiteral("自動彈出"));
    info->addSeparator();
    addSwitch(info, Switch::Innervation, QStringLiteral("圖標閃動"));
    addSwitch(info, Switch::Suggestive, QStringLiteral("聲音提示"));
    info->addSeparator();
    addItem(info, QStringLiteral("MenuItem_Empty"), QStringLiteral("清空信息"), 17);
    addItem(info, QStringLiteral("MenuItem_History"), QStringLiteral("歷史記錄"), 2);

    addItem(this, QStringLiteral("MenuItem_SendMessage"), QStringLiteral("發送信息"), 3);
    addEngravedSeparator(QStringLiteral("MenuItem_Separate"));
    addItem(this, QStringLiteral("MenuItem_Bio"), QStringLiteral("個人設定"), 4);

    QMenu *setup = addSubmenu(QStringLiteral("MenuItem_SysSetup"), QStringLiteral("系統參數"), 5);
    addItem(setup, QStringLiteral("MenuItem_Preferences"), QStringLiteral("參數設置"), 15);
    setup->addSeparator();
    addSwitch(setup, Switch::Helper, QStringLiteral("Parlune 助手"), 20);
    addItem(setup, QStringLiteral("MenuItem_HelperSel"), QStringLiteral("選擇助手"));
    setup->addSeparator();
    addSwitch(setup, Switch::AutoRun, QStringLiteral("自動啟動"));
    setup->addSeparator();
    addItem(setup, QStringLiteral("MenuItem_Diagnosis"), QStringLiteral("網絡診斷"));
    addEngravedSeparator(QStringLiteral("N4"));

    QMenu *remote = addSubmenu(QStringLiteral("MenuItem_RemoteBatch"), QStringLiteral("遠程管理"), 13);
    addItem(remote, QStringLiteral("MenuItem_RTelecentre"), QStringLiteral("連接主機"), 14);
    remote->addSeparator();
    addSwitch(remote, Switch::RemoteControl, QStringLiteral("遠程控制"));

    QMenu *game = addSubmenu(QStringLiteral("MenuItem_Game"), QStringLiteral("網絡遊戲"), 19);
    addItem(game, QStringLiteral("MenuItem_GFive"), QStringLiteral("妙手連珠"), 18);
    game->addSeparator();
    addSwitch(game, Switch::GameAgree, QStringLiteral("接受請求"));
    addEngravedSeparator(QStringLiteral("N12"));

    addItem(this, QStringLiteral("MenuItem_SendFile"), QStringLiteral("傳送文件"), 6);
    addEngravedSeparator(QStringLiteral("N15"));
    addItem(this, QStringLiteral("MenuItem_About"), QStringLiteral("關于..."), 7);
    addItem(this, QStringLiteral("MenuItem_Help"), QStringLiteral("幫助"), 8); // no command
    addEngravedSeparator(QStringLiteral("N3"));
    addItem(this, QStringLiteral("MenuItem_Refurbish"), QStringLiteral("刷新"), 9);

    QMenu *state = addSubmenu(QStringLiteral("MenuItem_State"), QStringLiteral("狀態"), 10);
    m_statusGroup = new QActionGroup(this);
    m_statusGroup->setExclusive(true);
    const struct
    {
        const char *name;
        QString caption;
        Presence::Status status;
    } statuses[] = {{"MenuItem_SOnLine", QStringLiteral("上線"), Presence::Online},
                    {"MenuItem_SLeave", QStringLiteral("離開"), Presence::Away},
                    {"MenuItem_SHideLine", QStringLiteral("隱身"), Presence::Hidden},
                    {"MenuItem_SOffLine", QStringLiteral("離線"), Presence::Offline}};
    for (const auto &s : statuses) {
        QAction *item = addItem(state, QLatin1String(s.name), s.caption);
        item->setCheckable(true);
        item->setData(int(s.status));
        item->setChecked(s.status == m_state.status());
        m_statusGroup->addAction(item);
        const Presence::Status status = s.status;
        connect(item, &QAction::triggered, this, [this, status] { m_state.setStatus(status); });
    }
    addEngravedSeparator(QStringLiteral("N1"));
    addItem(this, QStringLiteral("MenuItem_Close"), QStringLiteral("退出"), 12);
}

QAction *MainMenu::action(const QString &name) const
{
    return m_actions.value(name);
}

bool MainMenu::isChecked(const QString &name) const
{
    const QAction *item = action(name);
    return item && item->isChecked();
}

void MainMenu::showSwitch(settings::Switch which, bool on)
{
    // toggled only: the commands hang on triggered
    action(QLatin1String(settings::row(which).menuItem))->setChecked(on);
}

void MainMenu::showStatus(Presence::Status status)
{
    for (QAction *item : m_statusGroup->actions())
        if (item->data().toInt() == int(status))
            item->setChecked(true);
}

Presence::Status MainMenu::checkedStatus() const
{
    const QAction *checked = m_statusGroup->checkedAction();
    return checked ? static_cast<Presence::Status>(checked->data().toInt()) : Presence::Online;
}

void MainMenu::popupAt(const QPoint &globalPosition)
{
    popup(globalPosition);
}

QString MainMenu::settingOf(const QString &item)
{
    const settings::SwitchRow *row = settings::rowOfMenuItem(item);
    return row ? QString(row->valueName) : QString();
}

QRect MainMenu::bannerRect() const
{
    QRect items;
    for (QAction *item : QMenu::actions())
        if (item->isVisible())
            items = items.united(actionGeometry(item));
    if (items.isEmpty())
        return {};
    return QRect(items.left() - BannerWidth, items.top(), BannerWidth, items.height());
}

void MainMenu::paintEvent(QPaintEvent *event)
{
    QMenu::paintEvent(event);
    const QRect column = bannerRect();
    if (column.isEmpty())
        return;
    QPainter painter(this);
    // Taller than the picture: white above it, the picture standing on the column's bottom edge.
    const int pictureTop = column.bottom() + 1 - m_banner.height();
    if (pictureTop > column.top())
        painter.fillRect(QRect(column.left(), column.top(), column.width(), pictureTop - column.top()), Qt::white);
    painter.setClipRect(column);
    painter.drawPixmap(column.left(), pictureTop, m_banner);
}

void MainMenu::mousePressEvent(QMouseEvent *event)
{
    m_pressedOnBanner = bannerRect().contains(event->position().toPoint());
    if (m_pressedOnBanner) {
        event->accept();
        return;
    }
    QMenu::mousePressEvent(event);
}

void MainMenu::mouseReleaseEvent(QMouseEvent *event)
{
    const bool onBanner = m_pressedOnBanner && bannerRect().contains(event->position().toPoint());
    m_pressedOnBanner = false;
    if (onBanner) {
        event->accept();
        hide();
        action(kMoravik)->trigger();
        return;
    }
    QMenu::mouseReleaseEvent(event);
}
