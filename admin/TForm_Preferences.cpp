#include "admin/TForm_Preferences.h"

#include "widgets/Placement.h"
#include "widgets/SkinnedFrame.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>

namespace {

const QString Caption = QStringLiteral("參數設置");
constexpr int Margin = 8;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 22;

QPushButton *button(const QString &text, const char *name, QWidget *parent, int x, int y)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(x, y, ButtonWidth, ButtonHeight);
    return b;
}

} // namespace

TForm_Preferences::TForm_Preferences(OtherSegments &segments, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), m_segments(segments), m_destinations(segments.destinations())
{
    setObjectName(QStringLiteral("Form_Preferences"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Caption);
    setFont(QFont(QStringLiteral("細明體"), 9));
    setFixedSize(DesignWidth, DesignHeight);
    buildControls();
    fillList();
}

void TForm_Preferences::buildControls()
{
    suiForm1 = SkinnedFrame::forFixedWindow(this, QStringLiteral("suiForm1"), windowTitle());

    const int bottom = DesignHeight - Margin - ButtonHeight;
    suiPageControl1 = new QTabWidget(suiForm1);
    suiPageControl1->setObjectName(QStringLiteral("suiPageControl1"));
    suiPageControl1->setGeometry(Margin, SkinnedFrame::TitleBarHeight + 6, DesignWidth - 2 * Margin,
                                 bottom - SkinnedFrame::TitleBarHeight - 14);
    suiPageControl1->addTab(buildNetworkTab(), QStringLiteral("網絡"));

    suiButton_Diagnosis = button(QStringLiteral("網絡診斷"), "suiButton_Diagnosis", suiForm1, Margin, bottom);
    connect(suiButton_Diagnosis, &QPushButton::clicked, this, &TForm_Preferences::diagnosisRequested);
    suiButton_OK =
        button(QStringLiteral("確 定"), "suiButton_OK", suiForm1, DesignWidth - Margin - 2 * ButtonWidth - 6, bottom);
    connect(suiButton_OK, &QPushButton::clicked, this, &TForm_Preferences::suiButton_OKClick);
    suiButton_Cancel =
        button(QStringLiteral("取 消"), "suiButton_Cancel", suiForm1, DesignWidth - Margin - ButtonWidth, bottom);
    connect(suiButton_Cancel, &QPushButton::clicked, this, &QWidget::close);
}

QWidget *TForm_Preferences::buildNetworkTab()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet_Network"));
    const int listWidth = 178;
    const int buttonsLeft = Margin + listWidth + 8;

    auto *heading = new QLabel(QStringLiteral("其他網段 (廣播地址或主機地址):"), page);
    heading->setGeometry(Margin, 6, 260, 18);

    suiListBox_Destinations = new QListWidget(page);
    suiListBox_Destinations->setObjectName(QStringLiteral("suiListBox_Destinations"));
    suiListBox_Destinations->setGeometry(Margin, 26, listWidth, 104);
    connect(suiListBox_Destinations, &QListWidget::currentRowChanged, this, &TForm_Preferences::rowChosen);

    suiEdit_Destination = new QLineEdit(page);
    suiEdit_Destination->setObjectName(QStringLiteral("suiEdit_Destination"));
    suiEdit_Destination->setGeometry(Margin, 136, listWidth, 21);
    suiEdit_Destination->setPlaceholderText(QStringLiteral("例如 10.1.2.255"));
    suiEdit_Destination->setMaxLength(15);
    connect(suiEdit_Destination, &QLineEdit::returnPressed, this, &TForm_Preferences::suiButton_AddClick);

    suiButton_Add = button(QStringLiteral("加 入"), "suiButton_Add", page, buttonsLeft, 26);
    connect(suiButton_Add, &QPushButton::clicked, this, &TForm_Preferences::suiButton_AddClick);
    suiButton_Edit = button(QStringLiteral("修 改"), "suiButton_Edit", page, buttonsLeft, 26 + ButtonHeight + 6);
    connect(suiButton_Edit, &QPushButton::clicked, this, &TForm_Preferences::suiButton_EditClick);
    suiButton_Remove =
        button(QStringLiteral("刪 除"), "suiButton_Remove", page, buttonsLeft, 26 + 2 * (ButtonHeight + 6));
    connect(suiButton_Remove, &QPushButton::clicked, this, &TForm_Preferences::suiButton_RemoveClick);

    auto *hint = new QLabel(
        QStringLiteral("上線通知、狀態、廣播、公告和離線通知也發往這些地址，路由器另一邊的用戶因此能看到本機。"), page);
    hint->setObjectName(QStringLiteral("Label_Hint"));
    hint->setWordWrap(true);
    hint->setGeometry(Margin, 164, 268, 36);
    return page;
}

QString TForm_Preferences::refusalText(segments::Refusal refusal)
{
    using segments::Refusal;
    switch (refusal) {
    case Refusal::None:
        break;
    case Refusal::NotAnAddress:
        return QStringLiteral("請輸入IP地址，例如 10.1.2.255 或 10.1.2.7。");
    case Refusal::Unusable:
        return QStringLiteral(
            "不能使用這個地址：0.0.0.0、255.255.255.255、回送地址(127.x.x.x)和組播地址都不屬於其他網段。");
    case Refusal::ThisSegment:
        return QStringLiteral("這個地址在本機所在的網段內，本網段的廣播已經能到達，不必加入。");
    case Refusal::Duplicate:
        return QStringLiteral("這個地址已經在列表中。");
    case Refusal::TooMany:
        return QStringLiteral("最多只能加入 %1 個地址。").arg(segments::MaxDestinations);
    }
    return {};
}

void TForm_Preferences::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        PlaceAboveTaskbar(this);
}

void TForm_Preferences::fillList()
{
    suiListBox_Destinations->clear();
    for (const quint32 address : m_destinations)
        suiListBox_Destinations->addItem(QString::fromLatin1(segments::dotted(address)));
}

void TForm_Preferences::rowChosen()
{
    const int row = suiListBox_Destinations->currentRow();
    if (row >= 0 && row < int(m_destinations.size()))
        suiEdit_Destination->setText(QString::fromLatin1(segments::dotted(m_destinations[size_t(row)])));
}

std::optional<quint32> TForm_Preferences::typedDestination(int skip)
{
    std::vector<quint32> others = m_destinations;
    if (skip >= 0 && skip < int(others.size()))
        others.erase(others.begin() + skip);
    quint32 address = 0;
    const segments::Refusal refusal =
        segments::check(suiEdit_Destination->text().toLatin1(), others, segments::HostSegments::read(), &address);
    if (refusal != segments::Refusal::None) {
        tell(refusalText(refusal));
        return std::nullopt;
    }
    return address;
}

void TForm_Preferences::suiButton_AddClick()
{
    const std::optional<quint32> address = typedDestination(-1);
    if (!address)
        return;
    m_destinations.push_back(*address);
    fillList();
    suiEdit_Destination->clear();
}

void TForm_Preferences::suiButton_EditClick()
{
    const int row = suiListBox_Destinations->currentRow();
    if (row < 0) {
        tell(QStringLiteral("請先在列表中選擇要修改的地址。"));
        return;
    }
    const std::optional<quint32> address = typedDestination(row);
    if (!address)
        return;
    m_destinations[size_t(row)] = *address;
    fillList();
    suiListBox_Destinations->setCurrentRow(row);
}

void TForm_Preferences::suiButton_RemoveClick()
{
    const int row = suiListBox_Destinations->currentRow();
    if (row < 0 || row >= int(m_destinations.size()))
        return;
    m_destinations.erase(m_destinations.begin() + row);
    fillList();
    suiEdit_Destination->clear();
}

void TForm_Preferences::suiButton_OKClick()
{
    if (!m_segments.setDestinations(m_destinations)) {
        tell(QStringLiteral("無法寫入注冊表信息!"));
        return;
    }
    close();
}

void TForm_Preferences::tell(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::NoIcon, Caption, text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("PreferencesMessageBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
