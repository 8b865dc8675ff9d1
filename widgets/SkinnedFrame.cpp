#include "widgets/SkinnedFrame.h"

#include <QLinearGradient>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace {

constexpr int ButtonSpacing = 4;
constexpr int SideMargin = 5;

QRect resized(const QRect &start, Qt::Edges edges, QPoint delta, QSize minimum, QSize maximum)
{
    QRect rect = start;
    if (edges & Qt::RightEdge)
        rect.setWidth(std::clamp(start.width() + delta.x(), minimum.width(), maximum.width()));
    if (edges & Qt::LeftEdge)
        rect.setLeft(start.right() + 1 - std::clamp(start.width() - delta.x(), minimum.width(), maximum.width()));
    if (edges & Qt::BottomEdge)
        rect.setHeight(std::clamp(start.height() + delta.y(), minimum.height(), maximum.height()));
    if (edges & Qt::TopEdge)
        rect.setTop(start.bottom() + 1 - std::clamp(start.height() - delta.y(), minimum.height(), maximum.height()));
    return rect;
}

} // namespace

SkinnedFrame::SkinnedFrame(QWidget *parent) : QWidget(parent), m_captionFont(QStringLiteral("MS Sans Serif"), 10)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    addTitleButton(TitleButtonKind::ControlBox, QStringLiteral("控制功能表"));
    addTitleButton(TitleButtonKind::Close, QStringLiteral("關閉"));
    addTitleButton(TitleButtonKind::Maximize, QStringLiteral("最大化"));
}

SkinnedFrame::~SkinnedFrame() = default;

void SkinnedFrame::setCaption(const QString &caption)
{
    m_caption = caption;
    update(titleBarRect());
}

void SkinnedFrame::setIcon(const QIcon &icon)
{
    m_icon = icon;
    update(titleBarRect());
}

void SkinnedFrame::setIconVisible(bool visible)
{
    m_iconVisible = visible;
    update(titleBarRect());
}

void SkinnedFrame::setBorderColor(const QColor &color)
{
    m_borderColor = color;
    update();
}

void SkinnedFrame::setBorderWidth(int width)
{
    m_borderWidth = std::max(0, width);
    layoutTitleBar();
    update();
}

void SkinnedFrame::setBodyColor(const QColor &color)
{
    m_bodyColor = color;
    update();
}

void SkinnedFrame::setTitleColors(const QColor &top, const QColor &bottom)
{
    m_titleTop = top;
    m_titleBottom = bottom;
    update(titleBarRect());
}

void SkinnedFrame::setCaptionFont(const QFont &font)
{
    m_captionFont = font;
    update(titleBarRect());
}

SkinnedFrame *SkinnedFrame::forFixedWindow(QWidget *window, const QString &objectName, const QString &caption)
{
    auto *frame = new SkinnedFrame(window);
    frame->setObjectName(objectName);
    frame->setGeometry(window->rect());
    frame->setCaption(caption);
    frame->setIconVisible(false);
    frame->setTitleButtonVisible(MaximizeButton, false);
    return frame;
}

int SkinnedFrame::addTitleButton(TitleButtonKind kind, const QString &toolTip, const QString &glyph)
{
    const int index = int(m_titleButtons.size());
    auto *button = new TitleButton(kind, this);
    button->setObjectName(QStringLiteral("titleButton%1").arg(index));
    button->setToolTip(toolTip);
    button->setGlyph(glyph);
    connect(button, &QAbstractButton::clicked, this, [this, index] { onTitleButtonClicked(index); });
    m_titleButtons.push_back(button);
    button->show();
    layoutTitleBar();
    return index;
}

TitleButton *SkinnedFrame::titleButton(int index) const
{
    if (index < 0 || index >= titleButtonCount())
        return nullptr;
    return m_titleButtons[size_t(index)];
}

void SkinnedFrame::setTitleButtonVisible(int index, bool visible)
{
    if (TitleButton *button = titleButton(index)) {
        button->setVisible(visible);
        layoutTitleBar();
        update(titleBarRect());
    }
}

void SkinnedFrame::setControlMenu(QMenu *menu)
{
    m_controlMenu = menu;
}

QRect SkinnedFrame::titleBarRect() const
{
    return QRect(m_borderWidth, m_borderWidth, std::max(0, width() - 2 * m_borderWidth), TitleBarHeight);
}

void SkinnedFrame::setZoomed(bool zoomed)
{
    if (zoomed == m_zoomed)
        return;
    QWidget *w = window();
    if (zoomed) {
        if (m_rolledUp)
            setRolledUp(false);
        m_unzoomedGeometry = w->geometry();
        const QRect available = w->screen()->availableGeometry();
        w->setGeometry(QRect(available.topLeft(), available.size().boundedTo(w->maximumSize())));
    } else {
        w->setGeometry(m_unzoomedGeometry);
    }
    m_zoomed = zoomed;
    if (TitleButton *button = titleButton(MaximizeButton))
        button->setAlternate(zoomed);
}

void SkinnedFrame::setRolledUp(bool rolledUp)
{
    if (rolledUp == m_rolledUp)
        return;
    QWidget *w = window();
    if (rolledUp) {
        if (m_zoomed)
            setZoomed(false);
        m_unrolledHeight = w->height();
        m_unrolledMinimumHeight = w->minimumHeight();
        m_unrolledMaximumHeight = w->maximumHeight();
        // The controls would be squeezed into or over the title bar; they come back as they were.
        m_hiddenByRollUp.clear();
        for (QObject *object : children()) {
            auto *child = qobject_cast<QWidget *>(object);
            if (!child || qobject_cast<TitleButton *>(child) || child->isHidden() || child->isWindow())
                continue;
            m_hiddenByRollUp.emplace_back(child);
            child->hide();
        }
        const int rolledHeight = 2 * m_borderWidth + TitleBarHeight;
        w->setMinimumHeight(rolledHeight);
        w->setMaximumHeight(rolledHeight);
    } else {
        w->setMaximumHeight(m_unrolledMaximumHeight);
        w->setMinimumHeight(m_unrolledMinimumHeight);
        w->resize(w->width(), m_unrolledHeight);
        for (const QPointer<QWidget> &child : m_hiddenByRollUp) {
            if (child)
                child->show();
        }
        m_hiddenByRollUp.clear();
    }
    m_rolledUp = rolledUp;
    for (TitleButton *button : m_titleButtons) {
        if (button->kind() == TitleButtonKind::Minimize)
            button->setAlternate(rolledUp);
    }
}

void SkinnedFrame::onTitleButtonClicked(int index)
{
    const QPointer<SkinnedFrame> alive(this);
    Q_EMIT titleButtonClicked(index);
    if (!alive)
        return;
    switch (m_titleButtons[size_t(index)]->kind()) {
    case TitleButtonKind::ControlBox:
        showWindowMenu();
        break;
    case TitleButtonKind::Close:
        window()->close();
        break;
    case TitleButtonKind::Maximize:
        setZoomed(!m_zoomed);
        break;
    case TitleButtonKind::Minimize:
        setRolledUp(!m_rolledUp);
        break;
    case TitleButtonKind::Custom:
        break;
    }
}

void SkinnedFrame::showWindowMenu()
{
    QMenu *menu = m_controlMenu;
    if (!menu) {
        if (!m_windowMenu) {
            m_windowMenu = new QMenu(this);
            m_windowMenu->setObjectName(QStringLiteral("windowMenu"));
        }
        m_windowMenu->clear();
        const auto visibleKind = [this](TitleButtonKind kind) {
            return std::any_of(m_titleButtons.begin(), m_titleButtons.end(),
                               [kind](TitleButton *b) { return b->kind() == kind && !b->isHidden(); });
        };
        QAction *restore = m_windowMenu->addAction(QStringLiteral("還原"), this, [this] {
            setZoomed(false);
            setRolledUp(false);
        });
        restore->setEnabled(m_zoomed || m_rolledUp);
        QAction *minimize = m_windowMenu->addAction(QStringLiteral("最小化"), this, [this] { setRolledUp(true); });
        minimize->setEnabled(visibleKind(TitleButtonKind::Minimize) && !m_rolledUp);
        QAction *maximize = m_windowMenu->addAction(QStringLiteral("最大化"), this, [this] { setZoomed(true); });
        maximize->setEnabled(visibleKind(TitleButtonKind::Maximize) && !m_zoomed);
        m_windowMenu->addSeparator();
        m_windowMenu->addAction(QStringLiteral("關閉"), this, [this] { window()->close(); });
        menu = m_windowMenu;
    }
    const TitleButton *box = titleButton(ControlBoxButton);
    menu->popup(box->mapToGlobal(QPoint(0, box->height())));
}

void SkinnedFrame::layoutTitleBar()
{
    const QRect bar = titleBarRect();
    const int y = bar.top() + (bar.height() - TitleButton::Size) / 2;
    int left = bar.left() + SideMargin;
    if (TitleButton *box = titleButton(ControlBoxButton); box && !box->isHidden()) {
        box->move(left, y);
        left += TitleButton::Size + ButtonSpacing;
    }
    // Right to left: close, maximise, then the buttons from index 3 on, the last one innermost.
    std::vector<TitleButton *> rightSide;
    for (int index : {int(CloseButton), int(MaximizeButton)})
        rightSide.push_back(titleButton(index));
    for (int index = titleButtonCount() - 1; index > MaximizeButton; --index)
        rightSide.push_back(titleButton(index));
    int right = bar.right() + 1 - SideMargin;
    for (TitleButton *button : rightSide) {
        if (!button || button->isHidden())
            continue;
        right -= TitleButton::Size;
        button->move(right, y);
        right -= ButtonSpacing;
    }
}

QRect SkinnedFrame::captionRect() const
{
    const QRect bar = titleBarRect();
    int left = bar.left() + SideMargin;
    if (const TitleButton *box = titleButton(ControlBoxButton); box && !box->isHidden())
        left = box->geometry().right() + 1 + ButtonSpacing + 2;
    if (m_iconVisible && !m_icon.isNull())
        left += TitleButton::Size + ButtonSpacing;
    int right = bar.right() - SideMargin;
    for (const TitleButton *button : m_titleButtons) {
        if (button->kind() != TitleButtonKind::ControlBox && !button->isHidden())
            right = std::min(right, button->geometry().left() - ButtonSpacing);
    }
    return QRect(QPoint(left, bar.top()), QPoint(right, bar.bottom()));
}

void SkinnedFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_bodyColor);

    const QRect bar = titleBarRect();
    QLinearGradient gradient(bar.topLeft(), bar.bottomLeft());
    gradient.setColorAt(0.0, m_titleTop);
    gradient.setColorAt(1.0, m_titleBottom);
    painter.fillRect(bar, gradient);
    painter.fillRect(QRect(bar.left(), bar.top(), bar.width(), 1), m_titleTop.lighter(125));
    painter.fillRect(QRect(bar.left(), bar.bottom(), bar.width(), 1), m_titleBottom.darker(130));

    const QRect text = captionRect();
    if (m_iconVisible && !m_icon.isNull()) {
        const int y = bar.top() + (bar.height() - TitleButton::Size) / 2;
        m_icon.paint(&painter,
                     QRect(text.left() - TitleButton::Size - ButtonSpacing, y, TitleButton::Size, TitleButton::Size));
    }
    if (text.width() > 0) {
        painter.setFont(m_captionFont);
        const QString elided = painter.fontMetrics().elidedText(m_caption, Qt::ElideRight, text.width());
        // A soft shadow keeps white text readable on the light end of the gradient.
        painter.setPen(QColor(0, 0, 0, 90));
        painter.drawText(text.translated(1, 1), Qt::AlignLeft | Qt::AlignVCenter, elided);
        painter.setPen(Qt::white);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, elided);
    }

    if (m_borderWidth > 0) {
        const int b = m_borderWidth;
        painter.fillRect(QRect(0, 0, width(), b), m_borderColor);
        painter.fillRect(QRect(0, height() - b, width(), b), m_borderColor);
        painter.fillRect(QRect(0, 0, b, height()), m_borderColor);
        painter.fillRect(QRect(width() - b, 0, b, height()), m_borderColor);
    }
}

void SkinnedFrame::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutTitleBar();
}

Qt::Edges SkinnedFrame::edgesAt(QPoint position) const
{
    const QWidget *w = window();
    if (m_zoomed || w->minimumSize() == w->maximumSize())
        return {};
    Qt::Edges edges;
    if (position.x() < ResizeMargin)
        edges |= Qt::LeftEdge;
    if (position.x() >= width() - ResizeMargin)
        edges |= Qt::RightEdge;
    // A rolled-up window keeps the height of its title bar.
    if (!m_rolledUp) {
        if (position.y() < ResizeMargin)
            edges |= Qt::TopEdge;
        if (position.y() >= height() - ResizeMargin)
            edges |= Qt::BottomEdge;
    }
    return edges;
}

void SkinnedFrame::updateCursor(Qt::Edges edges)
{
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical) {
        const bool falling = edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge);
        setCursor(falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
    } else if (horizontal) {
        setCursor(Qt::SizeHorCursor);
    } else if (vertical) {
        setCursor(Qt::SizeVerCursor);
    } else {
        unsetCursor();
    }
}

void SkinnedFrame::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressGlobal = event->globalPosition();
    m_pressGeometry = window()->geometry();
    m_resizeEdges = edgesAt(event->position().toPoint());
    if (m_resizeEdges)
        m_drag = Drag::Resize;
    else if (!m_zoomed && titleBarRect().contains(event->position().toPoint()))
        m_drag = Drag::Move;
    else
        m_drag = Drag::None;
    event->accept();
}

void SkinnedFrame::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint delta = (event->globalPosition() - m_pressGlobal).toPoint();
    QWidget *w = window();
    switch (m_drag) {
    case Drag::Move:
        w->move(w->pos() + (m_pressGeometry.topLeft() + delta - w->geometry().topLeft()));
        break;
    case Drag::Resize:
        w->setGeometry(resized(m_pressGeometry, m_resizeEdges, delta, w->minimumSize(), w->maximumSize()));
        break;
    case Drag::None:
        if (!(event->buttons() & Qt::LeftButton))
            updateCursor(edgesAt(event->position().toPoint()));
        break;
    }
    event->accept();
}

void SkinnedFrame::mouseReleaseEvent(QMouseEvent *event)
{
    m_drag = Drag::None;
    event->accept();
}

void SkinnedFrame::mouseDoubleClickEvent(QMouseEvent *event)
{
    const TitleButton *maximize = titleButton(MaximizeButton);
    if (event->button() == Qt::LeftButton && titleBarRect().contains(event->position().toPoint()) &&
        !edgesAt(event->position().toPoint()) && maximize && !maximize->isHidden()) {
        setZoomed(!m_zoomed);
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void SkinnedFrame::leaveEvent(QEvent *event)
{
    if (m_drag == Drag::None)
        unsetCursor();
    QWidget::leaveEvent(event);
}
