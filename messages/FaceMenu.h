#pragma once

#include <QImage>
#include <QList>
#include <QPointer>
#include <QWidget>

class FaceMenu;
class RichEdit;

// One item of the face menu: the banner, a face cell or a page arrow. Named as the item it stands for
// ("MenuItem_Custom", "N01", "N11", … "N271"); the menu itself handles the mouse and draws the hover.
class FaceMenuItem final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FaceMenuItem)

public:
    enum class Kind { Banner, Face, PreviousPage, NextPage };

    FaceMenuItem(Kind kind, const QString &name, int imageIndex, FaceMenu *menu);

    Kind kind() const { return m_kind; }
    // Index into the face image list of the picture the cell shows; -1 for the banner.
    int imageIndex() const { return m_imageIndex; }
    void setImageIndex(int index);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    FaceMenu *m_menu;
    Kind m_kind;
    int m_imageIndex;
};

// The face menu of a message window: a banner column that opens a picture file, and seven columns of
// four cells with 26 faces a page and the two page arrows. Each window owns one, so the page last
// chosen stays until the window closes and a new window starts on the first page.
class FaceMenu final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FaceMenu)

public:
    static constexpr int FacesPerPage = 26;
    static constexpr int FirstFaceIndex = 2;
    static constexpr int PictureSize = 20;
    // What Windows menus add to the width of an owner-drawn item for the check mark.
    static constexpr int CheckMarkMargin = 12;
    static constexpr int FrameWidth = 3;

    // The menu is a child of the window it serves and inserts into that window's editor.
    FaceMenu(RichEdit *editor, QWidget *window);

    // 106 pictures of 20 × 20: 0 previous page, 1 next page, 2 to 105 the faces.
    static const QList<QImage> &ImageList_Face();
    // The banner picture, 15 × 95.
    static const QImage &Image_Custom();

    // The 29 items in menu order.
    QList<FaceMenuItem *> items() const { return m_items; }
    FaceMenuItem *item(const QString &name) const;
    // 1 to 4.
    int page() const;

    void popup(const QPoint &globalPos);
    // Where the menu reopens after a page turn: the window's left + 1, top + 23.
    QPoint reopenPosition() const;

    // Sizes as the items measure themselves, before the check-mark margin.
    static QSize MenuItem_CustomMeasureItem();
    static QSize N01MeasureItem();
    void MenuItem_CustomDrawItem(QPainter &painter, const QRect &cell) const;

    FaceMenuItem *hotItem() const { return m_hot; }

public Q_SLOTS:
    void MenuItem_CustomClick();
    void N01Click(FaceMenuItem *sender);
    void N261Click();
    void N271Click();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setHot(FaceMenuItem *item);
    void activate(FaceMenuItem *item);
    void turnPage(int step);
    FaceMenuItem *itemAt(const QPoint &pos) const;

    QPointer<RichEdit> m_editor;
    QPointer<QWidget> m_window;
    QList<FaceMenuItem *> m_items;
    FaceMenuItem *m_hot = nullptr;
};
