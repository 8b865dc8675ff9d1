#include "shell/MainMenu.h"

#include "engine/NoticeText.h"
#include "engine/WireTexts.h"
#include "shell/AboutBox.h"
#include "shell/SingleWindow.h"
#include "shell/TForm_AboutMoravik.h"

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

const QString kBShow = QStringLiteral("MenuItem_BShow");
const QString kBAutoHide = QStringLiteral("MenuItem_BAutoHide");
const QString kIInnervation = QStringLiteral("MenuItem_IInnervation");
const QString kHelper = QStringLiteral("MenuItem_Helper");
const QString kMoravik = QStringLiteral("MenuItem_Moravik");

QIcon picture(int index)
{
    return QIcon(QStringLiteral(":/menu/menu%1.png").arg(index, 2, 10, QLatin1Char('0')));
}

} // namespace

MainMenu::MainMenu(Hooks hooks, QWidget *parent) : QMenu(parent), m_hooks(std::move(hooks))
{
    setObjectName(QStringLiteral("PopupMenu_Main"));
    if (!m_hooks.showAbout)
        m_hooks.showAbout = [] {
            AboutBox about;
            about.exec();
        };
    if (!m_hooks.openCredits)
        m_hooks.openCredits = [] { SingleWindow<TForm_AboutMoravik>::open(); };
    m_banner = QPixmap(QStringLiteral(":/menu/banner.png"));
    build();
}

MainMenu::~MainMenu() = default;

void MainMenu::run(const std::function<void()> &hook)
{
    if (hook)
        hook();
}

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

QAction *MainMenu::addSwitch(QMenu *menu, const QString &name, const QString &caption, bool checked, int picture)
{
    QAction *item = addItem(menu, name, caption, picture);
    item->setCheckable(true);
    item->setChecked(checked);
    connect(item, &QAction::triggered, this, [this, name] { switchCommand(name); });
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
    connect(moravik, &QAction::triggered, this, &MainMenu::MenuItem_MoravikClick);

    QMenu *broadcasting = addSubmenu(QStringLiteral("MenuItem_Broadcasting"), QStringLiteral("系統廣播"), 0);
    connect(addItem(broadcasting, QStringLiteral("MenuItem_BSend"), QStringLiteral("發送廣播"), 16),
            &QAction::triggered, this, [this] { run(m_hooks.sendBroadcast); });
    broadcasting->addSeparator();
    addSwitch(broadcasting, kBShow, QStringLiteral("顯示廣播"), true);
    broadcasting->addSeparator();
    addSwitch(broadcasting, kBAutoHide, QStringLiteral("自動隱藏"), false);

    QMenu *info = addSubmenu(QStringLiteral("MenuItem_InfoManage"), QStringLiteral("信息管理"), 2);
    addSwitch(info, QStringLiteral("MenuItem_IAtuoShow"), QStringLiteral("自動彈出"), true);
    info->addSeparator();
    addSwitch(info, kIInnervation, QStringLiteral("圖標閃動"), false);
    addSwitch(info, QStringLiteral("MenuItem_ISuggestive"), QStringLiteral("聲音提示"), false);
    info->addSeparator();
    connect(addItem(info, QStringLiteral("MenuItem_Empty"), QStringLiteral("清空信息"), 17), &QAction::triggered, this,
            &MainMenu::MenuItem_EmptyClick);

    connect(addItem(this, QStringLiteral("MenuItem_SendMessage"), QStringLiteral("發送信息"), 3), &QAction::triggered,
            this, [this] { run(m_hooks.sendMessage); });
    addEngravedSeparator(QStringLiteral("MenuItem_Separate"));
    connect(addItem(this, QStringLiteral("MenuItem_Bio"), QStringLiteral("個人設定"), 4), &QAction::triggered, this,
            [this] { run(m_hooks.openProfile); });

    QMenu *setup = addSubmenu(QStringLiteral("MenuItem_SysSetup"), QStringLiteral("系統參數"), 5);
    addItem(setup, QStringLiteral("MenuItem_Preferences"), QStringLiteral("參數設置"), 15); // no command
    setup->addSeparator();
    addSwitch(setup, kHelper, QStringLiteral("Parlune 助手"), false, 20);
    connect(addItem(setup, QStringLiteral("MenuItem_HelperSel"), QStringLiteral("選擇助手")), &QAction::triggered, this,
            [this] { run(m_hooks.chooseAssistant); });
    setup->addSeparator();
    addSwitch(setup, QStringLiteral("MenuItem_AutoRun"), QStringLiteral("自動啟動"), false);
    addEngravedSeparator(QStringLiteral("N4"));

    QMenu *remote = addSubmenu(QStringLiteral("MenuItem_RemoteBatch"), QStringLiteral("遠程管理"), 13);
    connect(addItem(remote, QStringLiteral("MenuItem_RTelecentre"), QStringLiteral("連接主機"), 14),
            &QAction::triggered, this, [this] { run(m_hooks.openRemoteHost); });
    remote->addSeparator();
    addSwitch(remote, QStringLiteral("MenuItem_RTelnet"), QStringLiteral("遠程控制"), true);

    QMenu *game = addSubmenu(QStringLiteral("MenuItem_Game"), QStringLiteral("網絡遊戲"), 19);
    connect(addItem(game, QStringLiteral("MenuItem_GFive"), QStringLiteral("妙手連珠"), 18), &QAction::triggered, this,
            [this] { run(m_hooks.openGame); });
    game->addSeparator();
    addSwitch(game, QStringLiteral("MenuItem_GAgree"), QStringLiteral("接受請求"), true);
    addEngravedSeparator(QStringLiteral("N12"));

    connect(addItem(this, QStringLiteral("MenuItem_SendFile"), QStringLiteral("傳送文件"), 6), &QAction::triggered,
            this, [this] { run(m_hooks.openSendFile); });
    addEngravedSeparator(QStringLiteral("N15"));
    connect(addItem(this, QStringLiteral("MenuItem_About"), QStringLiteral("關于..."), 7), &QAction::triggered, this,
            [this] { run(m_hooks.showAbout); });
    addItem(this, QStringLiteral("MenuItem_Help"), QStringLiteral("幫助"), 8); // no command
    addEngravedSeparator(QStringLiteral("N3"));
    connect(addItem(this, QStringLiteral("MenuItem_Refurbish"), QStringLiteral("刷新"), 9), &QAction::triggered, this,
            [this] { run(m_hooks.announcePresence); });

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
        item->setChecked(s.status == Presence::Online);
        m_statusGroup->addAction(item);
        const Presence::Status status = s.status;
        connect(item, &QAction::triggered, this, [this, status] {
            if (m_hooks.setStatus)
                m_hooks.setStatus(status);
        });
    }
    addEngravedSeparator(QStringLiteral("N1"));
    connect(addItem(this, QStringLiteral("MenuItem_Close"), QStringLiteral("退出"), 12), &QAction::triggered, this,
            [this] { run(m_hooks.closeConsole); });

    updateAutoHidePresence();
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

void MainMenu::setChecked(const QString &name, bool checked)
{
    if (QAction *item = action(name); item && item->isCheckable())
        item->setChecked(checked); // toggled only: the commands hang on triggered
    if (name == kBShow)
        updateAutoHidePresence();
}

void MainMenu::setStatus(Presence::Status status)
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
    static const QHash<QString, QString> settings{
        {QStringLiteral("MenuItem_BShow"), QStringLiteral("ShowBroadcasting")},
        {QStringLiteral("MenuItem_BAutoHide"), QStringLiteral("BAutoHide")},
        {QStringLiteral("MenuItem_IAtuoShow"), QStringLiteral("AtuoShow")},
        {QStringLiteral("MenuItem_IInnervation"), QStringLiteral("Innervation")},
        {QStringLiteral("MenuItem_ISuggestive"), QStringLiteral("Suggestive")},
        {QStringLiteral("MenuItem_Helper"), QStringLiteral("Helper")}, // in the PIM key
        {QStringLiteral("MenuItem_RTelnet"), QStringLiteral("Telnet")},
        {QStringLiteral("MenuItem_GAgree"), QStringLiteral("GameAgree")},
        {QStringLiteral("MenuItem_AutoRun"), QStringLiteral("Parlune")}, // the autostart entry
    };
    return settings.value(item);
}

void MainMenu::switchCommand(const QString &name)
{
    // Qt has already inverted the check mark.
    const bool checked = isChecked(name);
    if (name == kBShow) {
        if (m_hooks.showTicker)
            m_hooks.showTicker(checked);
        updateAutoHidePresence();
    } else if (name == kBAutoHide) {
        if (m_hooks.tickerAutoHide)
            m_hooks.tickerAutoHide(checked);
    } else if (name == kIInnervation) {
        // Switching off leaves the timer running: its next tick brings the icon to rest.
        if (checked)
            run(m_hooks.flashingSwitchedOn);
    } else if (name == kHelper) {
        if (m_hooks.assistantSwitched)
            m_hooks.assistantSwitched(checked);
    }
    const bool written = !m_hooks.writeSwitch || m_hooks.writeSwitch(name, checked);
    if (!written && name == kBShow && m_hooks.showNotice)
        m_hooks.showNotice(NoticeText::build(wire::RegistryWriteFailed), QByteArray(wire::RegistryErrorCaption));
}

void MainMenu::updateAutoHidePresence()
{
    // Hidden, not removed: the item keeps its check mark for when it comes back.
    action(kBAutoHide)->setVisible(isChecked(kBShow));
}

void MainMenu::MenuItem_EmptyClick()
{
    run(m_hooks.emptyMessages);
    if (m_hooks.showNotice)
        m_hooks.showNotice(NoticeText::build(wire::MessagesEmptied), QByteArray(wire::EmptyMessageCaption));
}

void MainMenu::MenuItem_MoravikClick()
{
    run(m_hooks.openCredits);
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
