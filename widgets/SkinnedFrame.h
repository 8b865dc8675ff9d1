#pragma once

#include "widgets/TitleButton.h"

#include <QColor>
#include <QIcon>
#include <QPointer>
#include <QWidget>

#include <vector>

class QMenu;

// The body of a frameless tool window: border, body colour and a title bar of its own with a caption,
// an optional program icon and round title buttons. It fills its window, moves the window when the title bar
// is dragged and resizes it from the edges within the window's minimum and maximum size. Controls of the
// window are children of the frame, placed in window coordinates below (or inside) the title bar.
//
// Title buttons are numbered from 0 in the order they were added: every frame starts with the control box
// (0), close (1) and maximise (2); windows add minimise or buttons of their own from 3 on. A click is
// reported by titleButtonClicked(index) first; then the control box opens its menu, close closes the
// window, maximise and minimise zoom and roll the window up. Custom buttons only report.
class SkinnedFrame final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SkinnedFrame)

public:
    enum StandardButton { ControlBoxButton = 0, CloseButton = 1, MaximizeButton = 2 };
    static constexpr int TitleBarHeight = 24;
    // How close to an edge the mouse has to be to resize there.
    static constexpr int ResizeMargin = 4;

    explicit SkinnedFrame(QWidget *parent = nullptr);
    ~SkinnedFrame() override;

    // The frame of a window of fixed size: it fills the window, shows no icon, and has nothing to maximise.
    static SkinnedFrame *forFixedWindow(QWidget *window, const QString &objectName, const QString &caption);

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);

    QIcon icon() const { return m_icon; }
    void setIcon(const QIcon &icon);
    bool isIconVisible() const { return m_iconVisible; }
    void setIconVisible(bool visible);

    QColor borderColor() const { return m_borderColor; }
    void setBorderColor(const QColor &color);
    int borderWidth() const { return m_borderWidth; }
    void setBorderWidth(int width);
    QColor bodyColor() const { return m_bodyColor; }
    void setBodyColor(const QColor &color);
    void setTitleColors(const QColor &top, const QColor &bottom);
    QFont captionFont() const { return m_captionFont; }
    void setCaptionFont(const QFont &font);

    // Returns the new button's index.
    int addTitleButton(TitleButtonKind kind, const QString &toolTip = {}, const QString &glyph = {});
    int titleButtonCount() const { return int(m_titleButtons.size()); }
    TitleButton *titleButton(int index) const;
    void setTitleButtonVisible(int index, bool visible);

    // The menu the control box opens instead of the built-in window menu (nullptr: the built-in one).
    // The frame does not take ownership.
    void setControlMenu(QMenu *menu);

    QRect titleBarRect() const;

    // Maximised: the window covers the available area of its screen, as far as its maximum size allows.
    bool isZoomed() const { return m_zoomed; }
    void setZoomed(bool zoomed);
    // Minimised: the window is rolled up into its title bar. Tool windows have no taskbar button to come
    // back from, so the title bar stays where it was.
    bool isRolledUp() const { return m_rolledUp; }
    void setRolledUp(bool rolledUp);

Q_SIGNALS:
    void titleButtonClicked(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void onTitleButtonClicked(int index);
    void showWindowMenu();
    void layoutTitleBar();
    Qt::Edges edgesAt(QPoint position) const;
    void updateCursor(Qt::Edges edges);
    QRect captionRect() const;

    QString m_caption;
    QIcon m_icon;
    bool m_iconVisible = true;
    QColor m_borderColor{127, 127, 127};
    int m_borderWidth = 1;
    QColor m_bodyColor{231, 231, 231};
    QColor m_titleTop{118, 146, 190};
    QColor m_titleBottom{72, 100, 150};
    QFont m_captionFont;
    std::vector<TitleButton *> m_titleButtons;
    QPointer<QMenu> m_controlMenu;
    QMenu *m_windowMenu = nullptr;

    enum class Drag { None, Move, Resize };
    Drag m_drag = Drag::None;
    Qt::Edges m_resizeEdges;
    QPointF m_pressGlobal;
    QRect m_pressGeometry;

    bool m_zoomed = false;
    QRect m_unzoomedGeometry;
    bool m_rolledUp = false;
    int m_unrolledHeight = 0;
    int m_unrolledMinimumHeight = 0;
    int m_unrolledMaximumHeight = QWIDGETSIZE_MAX;
    std::vector<QPointer<QWidget>> m_hiddenByRollUp;
};
