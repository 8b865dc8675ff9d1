#include "admin/TForm_SendFile.h"

#include "admin/DragTable.h"
#include "admin/DropDownComboBox.h"
#include "admin/TForm_Telecentre.h"
#include "admin/transfer/FileTransfer.h"
#include "base/Cp950.h"
#include "engine/FriendTable.h"
#include "widgets/Placement.h"
#include "widgets/SkinnedFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QUrl>

#include <cerrno>
#include <utility>

const QString TForm_SendFile::FileFilter = QStringLiteral("All File(*.*)");
// The system's hot-tracking blue: readable under white text, as the selected row is drawn.
const QColor TForm_SendFile::HotTrackColor(0, 102, 204);
const QColor TForm_SendFile::BarColor(216, 185, 249);

namespace {

using Transfer::Direction;
using Transfer::Outcome;

const QString Caption = QStringLiteral("傳送文件");
constexpr int ComboTop = SkinnedFrame::TitleBarHeight + 3;
constexpr int HeaderTop = ComboTop + 23;
constexpr int HeaderHeight = 18;
constexpr int GridTop = HeaderTop + HeaderHeight;
constexpr int ButtonHeight = 21;
constexpr int ButtonWidth = 50;
constexpr int RowHeight = 18;
constexpr int BarHeight = 15;
constexpr int BarRange = 1000;

QFont mingFont()
{
    return QFont(QStringLiteral("細明體"), 9);
}

// Paints the selected row in the hot-tracking colour whether or not the grid has the focus.
class HotRowDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        if (cell.state & QStyle::State_Selected) {
            painter->fillRect(cell.rect, TForm_SendFile::HotTrackColor);
            cell.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
            cell.palette.setColor(QPalette::Text, Qt::white);
        }
        const QWidget *view = cell.widget;
        QStyle *style = view ? view->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, view);
    }
};

// The local files of a drag, in the order the drag lists them; links to anything else are no files.
QStringList localFiles(const QMimeData *mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl &url : mime->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            paths.append(url.toLocalFile());
    return paths;
}

QPushButton *button(const char *name, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

} // namespace

TForm_SendFile::TForm_SendFile(FriendTable &friends, FileTransfer &transfer, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_friends(friends),
      m_transfer(transfer), m_drag(new DragTable(this))
{
    setObjectName(QStringLiteral("Form_SendFile"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Caption);
    setFont(mingFont());
    // Narrower, the buttons would overlap; lower, the grid would have no row left.
    setMinimumSize(NarrowestWidth, GridTop + RowHeight + ButtonHeight + 12);
    resize(DesignWidth, DesignHeight);
    buildControls();
    relayout();

    connect(&m_transfer, &FileTransfer::offerAnswered, this, &TForm_SendFile::offerAnswered);
    connect(&m_transfer, &FileTransfer::progress, this, &TForm_SendFile::progress);
    connect(&m_transfer, &FileTransfer::fileFinished, this,
            [this](const QByteArray &id, Direction direction, int index, const QString &) {
                fileFinished(id, direction, index);
            });
    connect(&m_transfer, &FileTransfer::transferEnded, this, &TForm_SendFile::transferEnded);
}

TForm_SendFile::~TForm_SendFile() = default;

void TForm_SendFile::buildControls()
{
    suiForm1 = new SkinnedFrame(this);
    suiForm1->setObjectName(QStringLiteral("suiForm1"));
    suiForm1->setIconVisible(false);
    suiForm1->setCaption(windowTitle());

    FlatComboBox_IP = new DropDownComboBox(suiForm1);
    FlatComboBox_IP->setObjectName(QStringLiteral("FlatComboBox_IP"));
    FlatComboBox_IP->setEditable(true);
    // What the user types names a recipient; it is not an entry to keep in the list.
    FlatComboBox_IP->setInsertPolicy(QComboBox::NoInsert);
    FlatComboBox_IP->setMaxVisibleItems(9);
    connect(FlatComboBox_IP, &DropDownComboBox::aboutToDropDown, this, &TForm_SendFile::fillRecipients);

    const auto headerLabel = [this](const char *name, const QString &text, Qt::Alignment alignment) {
        auto *l = new QLabel(text, suiForm1);
        l->setObjectName(QLatin1String(name));
        l->setAlignment(alignment);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Raised);
        return l;
    };
    Label_FileName = headerLabel("Label_FileName", QStringLiteral("文件名"), Qt::AlignLeft | Qt::AlignVCenter);
    Label_Stae = headerLabel("Label_Stae", QStringLiteral("狀態"), Qt::AlignCenter);
    Panel_Count = headerLabel("Panel_Count", QStringLiteral("0"), Qt::AlignCenter);

    DBGrid_Drag = new QTableView(suiForm1);
    DBGrid_Drag->setObjectName(QStringLiteral("DBGrid_Drag"));
    DBGrid_Drag->setModel(m_drag);
    DBGrid_Drag->setItemDelegate(new HotRowDelegate(DBGrid_Drag));
    DBGrid_Drag->horizontalHeader()->hide();
    DBGrid_Drag->verticalHeader()->hide();
    DBGrid_Drag->verticalHeader()->setMinimumSectionSize(RowHeight);
    DBGrid_Drag->verticalHeader()->setDefaultSectionSize(RowHeight);
    DBGrid_Drag->setColumnWidth(DragTable::FileNameColumn, FileNameWidth);
    DBGrid_Drag->setColumnWidth(DragTable::StaeColumn, StaeWidth);
    DBGrid_Drag->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid_Drag->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid_Drag->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid_Drag->setTextElideMode(Qt::ElideRight);
    DBGrid_Drag->setWordWrap(false);
    // Drops reach the grid's viewport; this window takes them before the view's own drag handling.
    DBGrid_Drag->setAcceptDrops(true);
    DBGrid_Drag->viewport()->setAcceptDrops(true);
    DBGrid_Drag->viewport()->installEventFilter(this);

    ProgressBar_Send = new QProgressBar(DBGrid_Drag->viewport());
    ProgressBar_Send->setObjectName(QStringLiteral("ProgressBar_Send"));
    ProgressBar_Send->setRange(0, BarRange);
    ProgressBar_Send->setTextVisible(false);
    ProgressBar_Send->setStyleSheet(QStringLiteral("QProgressBar { border: none; background: white; }"
                                                   "QProgressBar::chunk { background-color: %1; }")
                                        .arg(BarColor.name()));
    ProgressBar_Send->hide();

    connect(DBGrid_Drag->verticalScrollBar(), &QScrollBar::valueChanged, this, &TForm_SendFile::placeBar);
    connect(DBGrid_Drag->horizontalScrollBar(), &QScrollBar::valueChanged, this, &TForm_SendFile::placeBar);
    connect(m_drag, &QAbstractItemModel::rowsInserted, this, &TForm_SendFile::updateCount);
    connect(m_drag, &QAbstractItemModel::rowsRemoved, this, &TForm_SendFile::updateCount);
    connect(DBGrid_Drag->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &TForm_SendFile::updateCount);

    suiButton1 = button("suiButton1", QStringLiteral("添加"), suiForm1);
    suiButton_Del = button("suiButton_Del", QStringLiteral("刪除"), suiForm1);
    suiButton3 = button("suiButton3", QStringLiteral("發送"), suiForm1);
    connect(suiButton1, &QPushButton::clicked, this, &TForm_SendFile::suiButton1Click);
    connect(suiButton_Del, &QPushButton::clicked, this, &TForm_SendFile::suiButton_DelClick);
    connect(suiButton3, &QPushButton::clicked, this, &TForm_SendFile::suiButton3Click);
}

void TForm_SendFile::relayout()
{
    const int w = width();
    const int h = height();
    suiForm1->setGeometry(0, 0, w, h);
    FlatComboBox_IP->setGeometry(4, ComboTop, w - 8, 20);

    const int countWidth = 30;
    const int countLeft = w - 4 - countWidth;
    Label_FileName->setGeometry(4, HeaderTop, FileNameWidth + 1, HeaderHeight);
    Label_Stae->setGeometry(4 + FileNameWidth + 1, HeaderTop, qMin(StaeWidth, countLeft - 5 - FileNameWidth),
                            HeaderHeight);
    Panel_Count->setGeometry(countLeft, HeaderTop, countWidth, HeaderHeight);

    const int buttonsTop = h - 4 - ButtonHeight;
    DBGrid_Drag->setGeometry(4, GridTop, w - 8, qMax(RowHeight, buttonsTop - 3 - GridTop));
    suiButton1->setGeometry(4, buttonsTop, ButtonWidth, ButtonHeight);
    suiButton_Del->setGeometry(8 + ButtonWidth, buttonsTop, ButtonWidth, ButtonHeight);
    suiButton3->setGeometry(w - 4 - ButtonWidth, buttonsTop, ButtonWidth, ButtonHeight);
    placeBar();
}

void TForm_SendFile::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void TForm_SendFile::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm_SendFile::FormShow()
{
    PlaceAboveTaskbar(this);
}

// A window closed in the middle of a send takes the send with it: nothing would show how it goes.
void TForm_SendFile::closeEvent(QCloseEvent *event)
{
    if (isSending())
        m_transfer.cancel(m_offerId);
    QWidget::closeEvent(event);
}

bool TForm_SendFile::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != DBGrid_Drag->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        if (localFiles(drag->mimeData()).isEmpty()) {
            drag->ignore();
        } else {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        }
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QStringList paths = localFiles(drop->mimeData());
        if (paths.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        addFiles(paths);
        return true;
    }
    case QEvent::Paint:
        // The bar follows its cell whenever the grid is drawn, wherever the rows have gone.
        placeBar();
        return false;
    case QEvent::Resize:
        placeBar();
        return false;
    default:
        return false;
    }
}

void TForm_SendFile::addFiles(const QStringList &paths)
{
    for (const QString &dropped : paths) {
        const QString path = dropped.left(MaxPathChars);
        const QString fileName = QFileInfo(path).fileName();
        if (!fileName.contains(QLatin1Char('.')))
            continue;
        if (m_drag->locateFileName(fileName) >= 0)
            continue;
        // A cut path would name some other file, or none: the cut file is never opened.
        QFile file(path);
        const bool cut = path.size() < dropped.size();
        if (cut || !file.open(QIODevice::ReadOnly)) {
            const QString reason = cut ? qt_error_string(ENAMETOOLONG) : file.errorString();
            showError(QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(path), reason));
            return;
        }
        const qint64 bytes = file.size();
        file.close();
        m_drag->append({fileName, DragTable::sizeText(bytes), path});
        selectRow(m_drag->size() - 1);
    }
}

void TForm_SendFile::selectRow(int row)
{
    if (row < 0 || row >= m_drag->size())
        return;
    DBGrid_Drag->selectRow(row);
    DBGrid_Drag->scrollTo(m_drag->index(row, DragTable::StaeColumn));
}

void TForm_SendFile::updateCount()
{
    Panel_Count->setText(QString::number(m_drag->size()));
    placeBar();
}

void TForm_SendFile::fillRecipients()
{
    // Filling an editable list replaces what is typed with the first entry; the typed recipient stays.
    const QString typed = FlatComboBox_IP->currentText();
    FlatComboBox_IP->clear();
    for (const Friend &peer : m_friends.rows())
        FlatComboBox_IP->addItem(cp950::decode(peer.User), peer.User);
    FlatComboBox_IP->setEditText(typed);
}

void TForm_SendFile::tell(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::NoIcon, Caption, text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("SendFileMessageBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void TForm_SendFile::showError(const QString &text)
{
    auto *box =
        new QMessageBox(QMessageBox::Critical, QApplication::applicationDisplayName(), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("SendFileErrorBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void TForm_SendFile::suiButton1Click()
{
    auto *dialog = new QFileDialog(this, QString(), QString(), FileFilter);
    dialog->setObjectName(QStringLiteral("OpenDialog1"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    connect(dialog, &QFileDialog::filesSelected, this, &TForm_SendFile::addFiles);
    dialog->open();
}

void TForm_SendFile::suiButton_DelClick()
{
    // The rows of a send on its way are what its progress is shown on.
    if (isSending() || m_drag->size() == 0)
        return;
    const int row = DBGrid_Drag->currentIndex().row();
    m_drag->removeAt(row >= 0 ? row : 0);
}

QByteArray TForm_SendFile::recipientAddress() const
{
    const QString typed = FlatComboBox_IP->currentText();
    // A nickname chosen from the list keeps its own bytes; only typed text goes through the code page.
    const int listed = FlatComboBox_IP->findText(typed, Qt::MatchExactly | Qt::MatchCaseSensitive);
    const QByteArray recipient = listed >= 0 ? FlatComboBox_IP->itemData(listed).toByteArray() : cp950::encode(typed);
    return TForm_Telecentre::targetAddress(recipient, m_friends);
}

void TForm_SendFile::suiButton3Click()
{
    if (isSending()) {
        m_transfer.cancel(m_offerId);
        return;
    }
    selectRow(0);
    if (m_drag->size() == 0) {
        tell(QStringLiteral("請先添加要傳送的文件!"));
        return;
    }
    if (FlatComboBox_IP->currentText().isEmpty()) {
        tell(QStringLiteral("請選擇接收文件的好友!"));
        return;
    }
    const QByteArray address = recipientAddress();
    if (address.isEmpty()) {
        tell(QStringLiteral("請確認所輸入地址無誤，并且在線!!!!"));
        return;
    }
    QStringList paths;
    m_sentRows.clear();
    for (int row = 0; row < m_drag->size(); ++row) {
        paths.append(m_drag->at(row).Path);
        m_sentRows.append(row);
        m_drag->setState(row, QStringLiteral("等待接收"));
    }
    setSending(m_transfer.offer(address, paths));
}

void TForm_SendFile::setSending(const QByteArray &offerId)
{
    m_offerId = offerId;
    suiButton3->setText(isSending() ? QStringLiteral("取消") : QStringLiteral("發送"));
    suiButton_Del->setEnabled(!isSending());
    if (!isSending()) {
        m_sentRows.clear();
        m_barRow = -1;
        placeBar();
    }
}

void TForm_SendFile::offerAnswered(const QByteArray &id, bool accepted)
{
    if (id != m_offerId || !accepted)
        return;
    for (int row : std::as_const(m_sentRows))
        if (m_drag->state(row) == QStringLiteral("等待接收"))
            m_drag->setState(row, QStringLiteral("已接受"));
}

void TForm_SendFile::progress(const QByteArray &id, Direction direction, int index, qint64 done, qint64 total)
{
    if (id != m_offerId || direction != Direction::Sending || index < 0 || index >= m_sentRows.size())
        return;
    const int row = m_sentRows.at(index);
    if (m_barRow != row) {
        m_barRow = row;
        selectRow(row);
    }
    ProgressBar_Send->setValue(total > 0 ? int(done * BarRange / total) : BarRange);
    placeBar();
}

void TForm_SendFile::fileFinished(const QByteArray &id, Direction direction, int index)
{
    if (id != m_offerId || direction != Direction::Sending || index < 0 || index >= m_sentRows.size())
        return;
    const int row = m_sentRows.at(index);
    m_drag->setState(row, QStringLiteral("已傳送"));
    if (m_barRow == row) {
        m_barRow = -1;
        placeBar();
    }
}

void TForm_SendFile::transferEnded(const QByteArray &id, Direction direction, Outcome outcome)
{
    if (id != m_offerId || direction != Direction::Sending)
        return;
    QString state;
    switch (outcome) {
    case Outcome::Completed:
        state = QStringLiteral("已傳送");
        break;
    case Outcome::Declined:
        state = QStringLiteral("對方拒絕");
        break;
    case Outcome::Cancelled:
        state = QStringLiteral("已取消");
        break;
    case Outcome::Failed:
        state = QStringLiteral("失敗");
        break;
    }
    // Files that went before the end keep their "已傳送".
    for (int row : std::as_const(m_sentRows))
        if (m_drag->state(row) != QStringLiteral("已傳送"))
            m_drag->setState(row, state);
    setSending({});
}

void TForm_SendFile::placeBar()
{
    if (!ProgressBar_Send)
        return;
    const QRect cell =
        m_barRow >= 0 ? DBGrid_Drag->visualRect(m_drag->index(m_barRow, DragTable::StaeColumn)) : QRect();
    if (!cell.isValid()) {
        ProgressBar_Send->hide();
        return;
    }
    const int left = DBGrid_Drag->columnViewportPosition(DragTable::StaeColumn) + 2;
    const QRect bar(left, cell.top() + 1, DBGrid_Drag->columnWidth(DragTable::StaeColumn) - 2, BarHeight);
    if (ProgressBar_Send->geometry() != bar)
        ProgressBar_Send->setGeometry(bar);
    if (ProgressBar_Send->isHidden()) {
        ProgressBar_Send->raise();
        ProgressBar_Send->show();
    }
}
