#include "admin/TForm_FileReceive.h"

#include "admin/DragTable.h"
#include "admin/ReceivedOffers.h"
#include "base/Cp950.h"
#include "engine/SettingsNames.h"
#include "engine/SettingsStore.h"
#include "widgets/Placement.h"
#include "widgets/SkinnedFrame.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QUrl>

#include <algorithm>
#include <limits>
#include <vector>

using Phase = ReceivedOffers::Phase;
using FileState = ReceivedOffers::FileState;

namespace {

constexpr int Margin = 6;
constexpr int ButtonWidth = 66;
constexpr int ButtonHeight = 22;

template <typename Control> Control *place(Control *control, const char *name, int x, int y, int width, int height)
{
    control->setObjectName(QLatin1String(name));
    control->setGeometry(x, y, width, height);
    return control;
}

QString refusalText(Transfer::Refusal reason)
{
    switch (reason) {
    case Transfer::Refusal::NotEnoughSpace:
        return QStringLiteral("磁碟空間不足，無法接收!");
    case Transfer::Refusal::FolderUnusable:
        return QStringLiteral("無法寫入所選文件夾!");
    case Transfer::Refusal::UnknownOffer:
        break;
    }
    return QStringLiteral("對方已取消或文件已過期!");
}

QString fileStateText(const ReceivedOffers::File &file)
{
    switch (file.state) {
    case FileState::Waiting:
        return {};
    case FileState::Fetching:
        return QStringLiteral("%1%").arg(file.size > 0 ? file.done * 100 / file.size : 100);
    case FileState::Saved:
        return QStringLiteral("已保存");
    case FileState::Failed:
        break;
    }
    return QStringLiteral("失敗");
}

// The bar counts in KB: a file of terabytes still fits its int range.
int barUnits(qint64 bytes)
{
    return int(std::min<qint64>(bytes / 1024 + (bytes % 1024 ? 1 : 0), std::numeric_limits<int>::max()));
}

} // namespace

TForm_FileReceive::TForm_FileReceive(ReceivedOffers &offers, SettingsStore &store, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_offers(offers), m_store(store)
{
    setObjectName(QStringLiteral("Form_FileReceive"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("接收文件"));
    setFont(QFont(QStringLiteral("細明體"), 9));
    setFixedSize(DesignWidth, DesignHeight);
    buildControls();
    connect(&offers, &ReceivedOffers::offerAdded, this, &TForm_FileReceive::offerAdded);
    connect(&offers, &ReceivedOffers::offerChanged, this, &TForm_FileReceive::offerChanged);
    connect(&offers, &ReceivedOffers::offerRemoved, this, &TForm_FileReceive::offerRemoved);
    fillList();
    // The newest offer is the one the user came for.
    if (!offers.offers().empty())
        m_shown = offers.offers().back().id;
    showOffer();
}

void TForm_FileReceive::buildControls()
{
    suiForm1 = SkinnedFrame::forFixedWindow(this, QStringLiteral("suiForm1"), windowTitle());
    const int width = DesignWidth - 2 * Margin;
    int top = SkinnedFrame::TitleBarHeight + 4;

    ListView_Offers = place(new QListWidget(suiForm1), "ListView_Offers", Margin, top, width, 50);
    connect(ListView_Offers, &QListWidget::currentRowChanged, this, &TForm_FileReceive::rowChosen);
    top += 54;

    Label_From = place(new QLabel(suiForm1), "Label_From", Margin, top, width, 18);
    top += 20;

    DBGrid_Files = place(new QTreeWidget(suiForm1), "DBGrid_Files", Margin, top, width, 96);
    DBGrid_Files->setRootIsDecorated(false);
    DBGrid_Files->setSelectionMode(QAbstractItemView::NoSelection);
    DBGrid_Files->setHeaderLabels({QStringLiteral("文件名"), QStringLiteral("大小"), QStringLiteral("進度")});
    DBGrid_Files->header()->setStretchLastSection(false);
    DBGrid_Files->header()->setDefaultAlignment(Qt::AlignCenter);
    DBGrid_Files->setColumnWidth(0, width - 62 - 54 - 4);
    DBGrid_Files->setColumnWidth(1, 62);
    DBGrid_Files->setColumnWidth(2, 54);
    top += 100;

    suiProgressBar_Total = place(new QProgressBar(suiForm1), "suiProgressBar_Total", Margin, top, width, 14);
    suiProgressBar_Total->setTextVisible(false);
    top += 16;
    Label_Status = place(new QLabel(suiForm1), "Label_Status", Margin, top, width, 18);
    top += 22;

    place(new QLabel(QStringLiteral("保存到:"), suiForm1), "Label_Folder", Margin, top, 46, 21);
    suiEdit_Folder = place(new QLineEdit(suiForm1), "suiEdit_Folder", Margin + 48, top, width - 48 - 28, 21);
    suiEdit_Folder->setReadOnly(true);
    suiButton_Folder = place(new QPushButton(QStringLiteral("..."), suiForm1), "suiButton_Folder",
                             DesignWidth - Margin - 24, top, 24, 21);
    connect(suiButton_Folder, &QPushButton::clicked, this, &TForm_FileReceive::suiButton_FolderClick);
    top += 27;

    // Offered: accept or refuse. Fetching: cancel. Ended: open the folder.
    const int right = DesignWidth - Margin - ButtonWidth;
    suiButton_Accept = place(new QPushButton(QStringLiteral("接收"), suiForm1), "suiButton_Accept",
                             right - ButtonWidth - 6, top, ButtonWidth, ButtonHeight);
    suiButton_Refuse = place(new QPushButton(QStringLiteral("拒絕"), suiForm1), "suiButton_Refuse", right, top,
                             ButtonWidth, ButtonHeight);
    suiButton_Cancel = place(new QPushButton(QStringLiteral("取消"), suiForm1), "suiButton_Cancel", right, top,
                             ButtonWidth, ButtonHeight);
    suiButton_OpenFolder = place(new QPushButton(QStringLiteral("打開文件夾"), suiForm1), "suiButton_OpenFolder",
                                 right - 24, top, ButtonWidth + 24, ButtonHeight);
    connect(suiButton_Accept, &QPushButton::clicked, this, &TForm_FileReceive::suiButton_AcceptClick);
    connect(suiButton_Refuse, &QPushButton::clicked, this, &TForm_FileReceive::suiButton_RefuseClick);
    connect(suiButton_Cancel, &QPushButton::clicked, this, &TForm_FileReceive::suiButton_CancelClick);
    connect(suiButton_OpenFolder, &QPushButton::clicked, this, &TForm_FileReceive::suiButton_OpenFolderClick);

    suiEdit_Folder->setText(QDir::toNativeSeparators(folder()));
}

void TForm_FileReceive::closeEvent(QCloseEvent *event)
{
    std::vector<QByteArray> waiting;
    for (const ReceivedOffers::Offer &offer : m_offers.offers())
        if (offer.phase == Phase::Offered)
            waiting.push_back(offer.id);
    for (const QByteArray &id : waiting)
        m_offers.decline(id);
    QWidget::closeEvent(event);
}

void TForm_FileReceive::showOfferOf(const QByteArray &id)
{
    if (!m_offers.find(id))
        return;
    m_shown = id;
    ListView_Offers->setCurrentRow(rowOf(id));
    showOffer();
}

void TForm_FileReceive::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        PlaceAboveTaskbar(this);
}

QString TForm_FileReceive::folder() const
{
    const std::optional<QByteArray> stored =
        settings::readBinary(m_store, settings::SystemKey, settings::ReceiveFolder);
    if (stored && !stored->isEmpty() && QFileInfo(QFile::decodeName(*stored)).isDir())
        return QFile::decodeName(*stored);
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return downloads.isEmpty() ? QDir::homePath() : downloads;
}

void TForm_FileReceive::setFolder(const QString &chosen)
{
    // Kept as the file system names it: a folder's name need not fit code page 950.
    settings::writeBinary(m_store, settings::SystemKey, settings::ReceiveFolder,
                          QFile::encodeName(QDir::cleanPath(chosen)));
    suiEdit_Folder->setText(QDir::toNativeSeparators(QDir::cleanPath(chosen)));
}

// ---- the list of offers -------------------------------------------------------------------------------------

int TForm_FileReceive::rowOf(const QByteArray &id) const
{
    const auto &all = m_offers.offers();
    for (int i = 0; i < int(all.size()); ++i)
        if (all[i].id == id)
            return i;
    return -1;
}

QString TForm_FileReceive::rowText(int index) const
{
    const ReceivedOffers::Offer &offer = m_offers.offers()[index];
    static const QString phases[] = {QStringLiteral("待接收"), QStringLiteral("接收中"), QStringLiteral("已完成"),
                                     QStringLiteral("已拒絕"), QStringLiteral("已取消"), QStringLiteral("失敗")};
    return QStringLiteral("%1 (%2)  %3 個文件  %4")
        .arg(cp950::decode(offer.nickname), QString::fromLatin1(offer.address))
        .arg(offer.files.size())
        .arg(phases[int(offer.phase)]);
}

void TForm_FileReceive::fillList()
{
    const QSignalBlocker quiet(ListView_Offers);
    ListView_Offers->clear();
    for (int i = 0; i < int(m_offers.offers().size()); ++i)
        ListView_Offers->addItem(rowText(i));
    ListView_Offers->setCurrentRow(rowOf(m_shown));
}

void TForm_FileReceive::offerAdded(const QByteArray &id)
{
    fillList();
    // A new offer takes the place of one that has ended, never of one the user is still deciding on.
    const ReceivedOffers::Offer *shown = m_offers.find(m_shown);
    if (!shown || !shown->isOpen()) {
        m_shown = id;
        showOffer();
    }
}

void TForm_FileReceive::offerChanged(const QByteArray &id)
{
    const int row = rowOf(id);
    if (row >= 0 && row < ListView_Offers->count())
        ListView_Offers->item(row)->setText(rowText(row));
    if (id == m_shown)
        showOffer();
}

void TForm_FileReceive::offerRemoved(const QByteArray &id)
{
    if (id == m_shown)
        m_shown = m_offers.offers().empty() ? QByteArray() : m_offers.offers().back().id;
    fillList();
    showOffer();
}

void TForm_FileReceive::rowChosen(int row)
{
    if (row < 0 || row >= int(m_offers.offers().size()))
        return;
    m_shown = m_offers.offers()[row].id;
    showOffer();
}

// ---- the offer shown ----------------------------------------------------------------------------------------

QString TForm_FileReceive::statusText() const
{
    const ReceivedOffers::Offer &offer = *m_offers.find(m_shown);
    const int count = int(offer.files.size());
    switch (offer.phase) {
    case Phase::Offered:
        return offer.refusal ? refusalText(*offer.refusal) : QStringLiteral("請選擇保存的文件夾，然後按「接收」。");
    case Phase::Fetching:
        return QStringLiteral("正在接收… %1 / %2")
            .arg(DragTable::sizeText(offer.doneBytes()), DragTable::sizeText(offer.totalBytes()));
    case Phase::Completed:
        return QStringLiteral("接收完成，已保存 %1 個文件。").arg(offer.savedCount());
    case Phase::Declined:
        return QStringLiteral("已拒絕接收。");
    case Phase::Cancelled:
        return QStringLiteral("傳送已取消，已保存 %1 / %2 個文件。").arg(offer.savedCount()).arg(count);
    case Phase::Failed:
        break;
    }
    return QStringLiteral("接收失敗，已保存 %1 / %2 個文件。").arg(offer.savedCount()).arg(count);
}

void TForm_FileReceive::showOffer()
{
    const ReceivedOffers::Offer *offer = m_offers.find(m_shown);
    DBGrid_Files->clear();
    for (QPushButton *button : {suiButton_Accept, suiButton_Refuse, suiButton_Cancel, suiButton_OpenFolder})
        button->hide();
    if (!offer) {
        Label_From->clear();
        Label_Status->clear();
        suiProgressBar_Total->setRange(0, 1);
        suiProgressBar_Total->setValue(0);
        return;
    }
    Label_From->setText(QStringLiteral("%1 (%2) 傳送文件給你:")
                            .arg(cp950::decode(offer->nickname), QString::fromLatin1(offer->address)));
    for (const ReceivedOffers::File &file : offer->files) {
        // A saved file shows the name it was given, which differs when the offered one was taken.
        const QString name = file.savedPath.isEmpty() ? file.name : QFileInfo(file.savedPath).fileName();
        auto *item = new QTreeWidgetItem(DBGrid_Files, {name, DragTable::sizeText(file.size), fileStateText(file)});
        item->setTextAlignment(1, Qt::AlignCenter);
        item->setTextAlignment(2, Qt::AlignCenter);
        item->setToolTip(0, file.savedPath.isEmpty() ? file.name : QDir::toNativeSeparators(file.savedPath));
    }
    const qint64 total = offer->totalBytes();
    suiProgressBar_Total->setRange(0, std::max(barUnits(total), 1));
    suiProgressBar_Total->setValue(total > 0 ? barUnits(offer->doneBytes()) : (offer->phase == Phase::Completed));
    Label_Status->setText(statusText());
    const bool deciding = offer->phase == Phase::Offered;
    suiButton_Accept->setVisible(deciding);
    suiButton_Refuse->setVisible(deciding);
    suiButton_Folder->setEnabled(deciding);
    suiButton_Cancel->setVisible(offer->phase == Phase::Fetching);
    suiButton_OpenFolder->setVisible(!offer->isOpen() && offer->savedCount() > 0);
    if (!offer->folder.isEmpty() && !deciding)
        suiEdit_Folder->setText(QDir::toNativeSeparators(offer->folder));
    else if (deciding)
        suiEdit_Folder->setText(QDir::toNativeSeparators(folder()));
}

// ---- commands -----------------------------------------------------------------------------------------------

void TForm_FileReceive::suiButton_AcceptClick()
{
    QString target = folder();
    // The download folder of a fresh account may not exist yet; any other folder the user chose, and it stays
    // as it is.
    if (!QFileInfo::exists(target) && target == QStandardPaths::writableLocation(QStandardPaths::DownloadLocation))
        QDir().mkpath(target);
    m_offers.accept(m_shown, target);
}

void TForm_FileReceive::suiButton_RefuseClick()
{
    m_offers.decline(m_shown);
}

void TForm_FileReceive::suiButton_CancelClick()
{
    m_offers.cancel(m_shown);
}

void TForm_FileReceive::suiButton_FolderClick()
{
    if (m_folderDialog) {
        m_folderDialog->raise();
        return;
    }
    // Qt's own dialog: the same on every desktop, and one a test can drive by its controls.
    m_folderDialog = new QFileDialog(this, QStringLiteral("選擇保存的文件夾"), folder());
    m_folderDialog->setObjectName(QStringLiteral("FolderDialog"));
    m_folderDialog->setAttribute(Qt::WA_DeleteOnClose);
    m_folderDialog->setFileMode(QFileDialog::Directory);
    m_folderDialog->setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    connect(m_folderDialog, &QFileDialog::fileSelected, this, &TForm_FileReceive::setFolder);
    m_folderDialog->open();
}

void TForm_FileReceive::suiButton_OpenFolderClick()
{
    const ReceivedOffers::Offer *offer = m_offers.find(m_shown);
    if (offer && !offer->folder.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(offer->folder));
}
