#include "messages/FaceMenu.h"

#include "messages/PictureEmbedding.h"
#include "widgets/RichEdit.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

namespace {

constexpr int Rows = 4;
constexpr int Columns = 7;
constexpr int PageCount = 4;

QString faceItemName(int cell)
{
    return cell == 0 ? QStringLiteral("N01") : QStringLiteral("N%1").arg(10 * cell + 1);
}

QSize cellSize() { return FaceMenu::N01MeasureItem() + QSize(FaceMenu::CheckMarkMargin, 0); }
QSize bannerSize() { return FaceMenu::MenuItem_CustomMeasureItem() + QSize(FaceMenu::CheckMarkMargin, 0); }
// All columns are as tall as the tallest, the four face cells.
int columnHeight() { return qMax(Rows * cellSize().height(), bannerSize().height()); }

} // namespace

FaceMenuItem::FaceMenuItem(Kind kind, const QString &name, int imageIndex, FaceMenu *menu)
    : QWidget(menu), m_menu(menu), m_kind(kind), m_imageIndex(imageIndex)
{
    setObjectName(name);
    // The menu tracks the mouse over all cells at once, as one menu does.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void FaceMenuItem::setImageIndex(int index)
{
    m_imageIndex = index;
    update();
}

void FaceMenuItem::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_kind == Kind::Banner) {
        m_menu->MenuItem_CustomDrawItem(painter, rect());
        return;
    }
    if (m_menu->hotItem() == this) {
        const QColor highlight = palette().color(QPalette::Highlight);
        QColor fill = highlight;
        fill.setAlpha(60);
        painter.fillRect(rect(), fill);
        painter.setPen(highlight);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    const QList<QImage> &images = FaceMenu::ImageList_Face();
    if (m_imageIndex >= 0 && m_imageIndex < images.size()) {
        const QImage &picture = images[m_imageIndex];
        painter.drawImage(QPoint((width() - picture.width()) / 2, (height() - picture.height()) / 2), picture);
    }
}

FaceMenu::FaceMenu(RichEdit *editor, QWidget *window) : QWidget(window, Qt::Popup | Qt::FramelessWindowHint), m_editor(editor), m_window(window)
{
    setObjectName(QStringLiteral("PopupMenu_Face"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);

    const QSize cell = cellSize();
    const QSize banner = bannerSize();
    auto *custom = new FaceMenuItem(FaceMenuItem::Kind::Banner, QStringLiteral("MenuItem_Custom"), -1, this);
    custom->setGeometry(FrameWidth, FrameWidth, banner.width(), columnHeight());
    m_items.append(custom);

    const int firstColumnX = FrameWidth + banner.width();
    for (int k = 0; k < Columns * Rows; ++k) {
        FaceMenuItem *item = nullptr;
        if (k < FacesPerPage)
            item = new FaceMenuItem(FaceMenuItem::Kind::Face, faceItemName(k), FirstFaceIndex + k, this);
        else if (k == FacesPerPage)
            item = new FaceMenuItem(FaceMenuItem::Kind::PreviousPage, faceItemName(k), 0, this);
        else
            item = new FaceMenuItem(FaceMenuItem::Kind::NextPage, faceItemName(k), 1, this);
        item->setGeometry(firstColumnX + (k / Rows) * cell.width(), FrameWidth + (k % Rows) * cell.height(),
                          cell.width(), cell.height());
        m_items.append(item);
    }
    setFixedSize(firstColumnX + Columns * cell.width() + FrameWidth, columnHeight() + 2 * FrameWidth);
}

const QList<QImage> &FaceMenu::ImageList_Face()
{
    static const QList<QImage> images = [] {
        QList<QImage> list;
        list.append(QImage(QStringLiteral(":/pictures/face_previous.png")));
        list.append(QImage(QStringLiteral(":/pictures/face_next.png")));
        for (int face = 0; face < PageCount * FacesPerPage; ++face)
            list.append(QImage(QStringLiteral(":/faces/face_%1.png").arg(face, 3, 10, QLatin1Char('0'))));
        return list;
    }();
    return images;
}

const QImage &FaceMenu::Image_Custom()
{
    static const QImage banner(QStringLiteral(":/pictures/custom_picture.png"));
    return banner;
}

FaceMenuItem *FaceMenu::item(const QString &name) const
{
    for (FaceMenuItem *candidate : m_items) {
        if (candidate->objectName() == name)
            return candidate;
    }
    return nullptr;
}

int FaceMenu::page() const { return (m_items[1]->imageIndex() - FirstFaceIndex) / FacesPerPage + 1; }

void FaceMenu::popup(const QPoint &globalPos)
{
    QPoint pos = globalPos;
    // Kept on the screen, as menus are.
    if (const QScreen *screen = QGuiApplication::screenAt(globalPos)) {
        const QRect available = screen->availableGeometry();
        pos.setX(qBound(available.left(), pos.x(), qMax(available.left(), available.right() + 1 - width())));
        pos.setY(qBound(available.top(), pos.y(), qMax(available.top(), available.bottom() + 1 - height())));
    }
    setHot(nullptr);
    move(pos);
    show();
    setFocus(Qt::PopupFocusReason);
}

QPoint FaceMenu::reopenPosition() const
{
    const QPoint origin = m_window ? m_window->frameGeometry().topLeft() : QPoint();
    return origin + QPoint(1, 23);
}

QSize FaceMenu::MenuItem_CustomMeasureItem()
{
    return QSize(Image_Custom().width() - CheckMarkMargin, 95);
}

QSize FaceMenu::N01MeasureItem() { return QSize(12, 24); }

void FaceMenu::MenuItem_CustomDrawItem(QPainter &painter, const QRect &cell) const
{
    const QImage &picture = Image_Custom();
    if (cell.height() > picture.height())
        painter.fillRect(QRect(cell.left(), cell.top(), cell.width(), cell.height() - picture.height()), Qt::white);
    painter.drawImage(QPoint(cell.left(), cell.top() + cell.height() - picture.height()), picture);
}

void FaceMenu::MenuItem_CustomClick()
{
    auto *dialog = new QFileDialog(m_window, QString(), QString(),
                                   QStringLiteral("Bitmaps (*.bmp);;JPEG Image File (*.jpg)"));
    dialog->setObjectName(QStringLiteral("OpenPictureDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString &fileName) {
        if (!m_editor)
            return;
        InsertPictureFile(fileName, *m_editor);
        m_editor->setFocus();
    });
    dialog->open();
}

void FaceMenu::N01Click(FaceMenuItem *sender)
{
    const QList<QImage> &images = ImageList_Face();
    if (!m_editor || !sender || sender->imageIndex() < 0 || sender->imageIndex() >= images.size())
        return;
    // Taken out of the list as a bitmap of the display's depth; the transparent parts get the
    // editor's white ground, which is what the picture shows on.
    QImage bitmap(PictureSize, PictureSize, QImage::Format_RGB32);
    bitmap.fill(Qt::white);
    QPainter painter(&bitmap);
    painter.drawImage(QRect(0, 0, PictureSize, PictureSize), images[sender->imageIndex()]);
    painter.end();
    InsertGraphic(bitmap, *m_editor);
}

void FaceMenu::N261Click() { turnPage(-1); }

void FaceMenu::N271Click() { turnPage(+1); }

void FaceMenu::turnPage(int step)
{
    const int last = int(ImageList_Face().size()) - 1;
    const bool atEdge = step > 0 ? m_items[FacesPerPage]->imageIndex() >= last
                                 : m_items[1]->imageIndex() <= FirstFaceIndex;
    if (!atEdge) {
        for (int k = 1; k <= FacesPerPage; ++k)
            m_items[k]->setImageIndex(m_items[k]->imageIndex() + step * FacesPerPage);
    }
    popup(reopenPosition());
}

void FaceMenu::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void FaceMenu::mouseMoveEvent(QMouseEvent *event)
{
    setHot(itemAt(event->position().toPoint()));
}

void FaceMenu::mouseReleaseEvent(QMouseEvent *event)
{
    if (!rect().contains(event->position().toPoint())) {
        hide();
        return;
    }
    if (event->button() == Qt::LeftButton)
        activate(itemAt(event->position().toPoint()));
}

void FaceMenu::leaveEvent(QEvent *) { setHot(nullptr); }

void FaceMenu::keyPressEvent(QKeyEvent *event)
{
    // Position 0 is the banner column; 1 to 28 the cells, four to a column.
    int index = m_hot ? int(m_items.indexOf(m_hot)) : -1;
    const int cells = int(m_items.size()) - 1;
    switch (event->key()) {
    case Qt::Key_Escape:
        hide();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        activate(m_hot);
        return;
    case Qt::Key_Down:
        index = index <= 0 ? qMax(index, 0) : (index - 1) / Rows * Rows + (index % Rows) + 1;
        break;
    case Qt::Key_Up:
        index = index <= 0 ? qMax(index, 0) : (index - 1) / Rows * Rows + (index + Rows - 2) % Rows + 1;
        break;
    case Qt::Key_Right:
        index = index < 0 ? 0 : index == 0 ? 1 : index + Rows > cells ? 0 : index + Rows;
        break;
    case Qt::Key_Left:
        index = index < 0 ? 0 : index == 0 ? cells - Rows + 1 : index - Rows < 1 ? 0 : index - Rows;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    setHot(m_items[index]);
}

void FaceMenu::setHot(FaceMenuItem *item)
{
    if (m_hot == item)
        return;
    FaceMenuItem *previous = std::exchange(m_hot, item);
    if (previous)
        previous->update();
    if (m_hot)
        m_hot->update();
}

void FaceMenu::activate(FaceMenuItem *item)
{
    if (!item)
        return;
    hide();
    switch (item->kind()) {
    case FaceMenuItem::Kind::Banner:
        MenuItem_CustomClick();
        break;
    case FaceMenuItem::Kind::Face:
        N01Click(item);
        break;
    case FaceMenuItem::Kind::PreviousPage:
        N261Click();
        break;
    case FaceMenuItem::Kind::NextPage:
        N271Click();
        break;
    }
}

FaceMenuItem *FaceMenu::itemAt(const QPoint &pos) const
{
    for (FaceMenuItem *candidate : m_items) {
        if (candidate->geometry().contains(pos))
            return candidate;
    }
    return nullptr;
}
