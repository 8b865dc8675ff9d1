#include "messages/TForm_Messenger.h"

#include "base/Cp950.h"
#include "engine/ConsoleValues.h"
#include "engine/FriendTable.h"
#include "engine/InetAddr.h"
#include "engine/MessageTable.h"
#include "engine/NoticeSink.h"
#include "engine/NoticeText.h"
#include "engine/Packet.h"
#include "engine/WireTexts.h"
#include "messages/FaceMenu.h"
#include "widgets/LinkHighlighter.h"
#include "widgets/Placement.h"
#include "widgets/RichEdit.h"
#include "widgets/SkinnedFrame.h"
#include "widgets/WindowRegistry.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFontDialog>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTime>
#include <QTimer>
#include <QToolButton>
#include <QtEndian>

namespace {

QString big5(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QFont mingFont()
{
    QFont font(big5("細明體"));
    font.setPointSize(10);
    return font;
}

QPixmap redCross()
{
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(200, 30, 30), 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(2.5, 2.5), QPointF(9.5, 9.5));
    painter.drawLine(QPointF(9.5, 2.5), QPointF(2.5, 9.5));
    return pixmap;
}

// A face file is meant to be a small bitmap; anything whose header claims more is not decoded at all, so a
// hostile peer cannot make the list allocate for it.
bool plausibleFace(const QByteArray &bmp)
{
    constexpr int MaxSide = 1024;
    if (bmp.size() < 26 || !bmp.startsWith("BM"))
        return false;
    const auto *bytes = reinterpret_cast<const uchar *>(bmp.constData());
    const quint32 headerSize = qFromLittleEndian<quint32>(bytes + 14);
    qint64 width = 0;
    qint64 height = 0;
    if (headerSize == 12) {
        width = qFromLittleEndian<quint16>(bytes + 18);
        height = qFromLittleEndian<quint16>(bytes + 20);
    } else {
        width = qFromLittleEndian<qint32>(bytes + 18);
        height = qAbs(qint64(qFromLittleEndian<qint32>(bytes + 22)));
    }
    return width > 0 && height > 0 && width <= MaxSide && height <= MaxSide;
}

// The frame opens the control box's menu itself; this stand-in opens the face menu in its place.
class FaceMenuLauncher final : public QMenu
{
public:
    FaceMenuLauncher(std::function<void()> open, QWidget *parent) : QMenu(parent), m_open(std::move(open)) {}

    void setVisible(bool visible) override
    {
        if (visible)
            m_open();
        else
            QMenu::setVisible(false);
    }

private:
    std::function<void()> m_open;
};

} // namespace

TForm_Messenger::TForm_Messenger(const MessengerDeps &deps) : QWidget(nullptr), m_deps(deps)
{
    setObjectName(QStringLiteral("Form_Messenger"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setMinimumSize(130, 50);
    setMaximumSize(1024, 740);
    resize(DesignWidth, DesignHeight);
    if (m_deps.defaultFont)
        m_editorFont = *m_deps.defaultFont;
    m_mien.append(defaultFace());
    buildControls();
    relayout();

    // Emptying the table loses the opened message; a full table drops old read rows and moves the rest up.
    if (m_deps.messages) {
        connect(m_deps.messages, &MessageTable::cleared, this, [this] {
            m_openedMessageGone = m_openedMessage >= 0;
            m_openedMessage = -1;
        });
        connect(m_deps.messages, &MessageTable::rowRemoved, this, [this](int row) {
            if (m_openedMessage == row) {
                m_openedMessageGone = true;
                m_openedMessage = -1;
            } else if (m_openedMessage > row) {
                --m_openedMessage;
            }
        });
    }
    // The one message window: commands that find it open bring it to the front instead of making another.
    if (m_deps.windows)
        m_deps.windows->add(this);
}

TForm_Messenger::~TForm_Messenger() = default;

void TForm_Messenger::buildControls()
{
    auto button = [this](const char *name, const char *caption, QWidget *parent) {
        auto *b = new QPushButton(big5(caption), parent);
        b->setObjectName(QLatin1String(name));
        b->setFocusPolicy(Qt::TabFocus);
        return b;
    };

    suiForm_Message = new SkinnedFrame(this);
    suiForm_Message->setObjectName(QStringLiteral("suiForm_Message"));
    suiForm_Message->setIconVisible(false);
    suiForm_Message->addTitleButton(TitleButtonKind::Custom, big5("稍後閱讀"), QStringLiteral("L"));
    suiForm_Message->addTitleButton(TitleButtonKind::Custom, big5("信息"), QStringLiteral("i"));
    suiForm_Message->addTitleButton(TitleButtonKind::Custom, big5("好友"), QStringLiteral("F"));
    connect(suiForm_Message, &SkinnedFrame::titleButtonClicked, this, &TForm_Messenger::onTitleButtonClicked);
    QWidget *body = suiForm_Message;

    FlatEdit_IP = new QLineEdit(body);
    FlatEdit_IP->setObjectName(QStringLiteral("FlatEdit_IP"));
    FlatEdit_IP->setFrame(false);

    XPTask_Info = new QFrame(body);
    XPTask_Info->setObjectName(QStringLiteral("XPTask_Info"));
    XPTask_Info->setFrameShape(QFrame::StyledPanel);
    m_infoLabel = new QLabel(QStringLiteral("Info:"), XPTask_Info);
    Panel_Info = new QLabel(XPTask_Info);
    Panel_Info->setObjectName(QStringLiteral("Panel_Info"));
    Panel_Info->setFrameShape(QFrame::Panel);
    Panel_Info->setFrameShadow(QFrame::Sunken);
    Gauge_Progress = new QProgressBar(Panel_Info);
    Gauge_Progress->setObjectName(QStringLiteral("Gauge_Progress"));
    Gauge_Progress->setTextVisible(false);
    Gauge_Progress->setRange(0, 0);
    Gauge_Progress->hide();
    ImageClose = new QLabel(XPTask_Info);
    ImageClose->setObjectName(QStringLiteral("ImageClose"));
    ImageClose->setPixmap(redCross());
    ImageClose->installEventFilter(this);

    RxRichEdit_Content = new RichEdit(body);
    RxRichEdit_Content->setObjectName(QStringLiteral("RxRichEdit_Content"));
    RxRichEdit_Content->setFont(mingFont());
    connect(RxRichEdit_Content, &RichEdit::linkClicked, this, &TForm_Messenger::RxRichEdit_ContentURLClick);
    m_faceMenu = new FaceMenu(RxRichEdit_Content, this);
    suiForm_Message->setControlMenu(new FaceMenuLauncher(
        [this] {
            const QAbstractButton *box = suiForm_Message->titleButton(ControlBox);
            m_faceMenu->popup(box->mapToGlobal(QPoint(0, box->height())));
        },
        this));
    RxRichEdit_Content->installEventFilter(this);
    RxRichEdit_Content->viewport()->installEventFilter(this);

    suiButton_Close = button("suiButton_Close", "取消", body);
    suiButton_Message = button("suiButton_Message", "信息", body);
    suiButton_Record = button("suiButton_Record", "聊天記錄", body);
    suiImageButton_Prior = new QToolButton(body);
    suiImageButton_Prior->setObjectName(QStringLiteral("suiImageButton_Prior"));
    suiImageButton_Prior->setArrowType(Qt::UpArrow);
    suiImageButton_Prior->setAutoRaise(true);
    suiImageButton_Next = new QToolButton(body);
    suiImageButton_Next->setObjectName(QStringLiteral("suiImageButton_Next"));
    suiImageButton_Next->setArrowType(Qt::DownArrow);
    suiImageButton_Next->setAutoRaise(true);
    suiRadioButton_Font = new QRadioButton(body);
    suiRadioButton_Font->setObjectName(QStringLiteral("suiRadioButton_Font"));
    suiRadioButton_Font->setToolTip(big5("字體"));
    suiRadioButton_Font->setAutoExclusive(false);
    suiButton_Reply = button("suiButton_Reply", "回復", body);
    suiButton_Send = button("suiButton_Send", "發送", body);
    // The record button covers "信息" and its arrows until browsing uncovers them.
    suiButton_Record->raise();
    // The send button lies over the reply button; its visibility is the mode.
    suiButton_Send->raise();

    Panel5 = new QFrame(body);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    Panel5->setAutoFillBackground(true);
    Panel5->setFrameShape(QFrame::StyledPanel);
    suiListView_Friend = new QListWidget(Panel5);
    suiListView_Friend->setObjectName(QStringLiteral("suiListView_Friend"));
    suiListView_Friend->setViewMode(QListView::IconMode);
    suiListView_Friend->setIconSize(QSize(FaceSize, FaceSize));
    suiListView_Friend->setMovement(QListView::Static);
    suiListView_Friend->setResizeMode(QListView::Adjust);
    suiListView_Friend->setWordWrap(true);
    suiListView_Friend->setGridSize(QSize(64, 58));
    suiListView_Friend->setFont(mingFont());
    suiListView_Friend->viewport()->installEventFilter(this);
    suiButton_Updata = button("suiButton_Updata", "刷新", Panel5);
    suiButton_Info = button("suiButton_Info", "資料", Panel5);
    suiButton_Cancel = button("suiButton_Cancel", "取消", Panel5);
    suiButton_OK = button("suiButton_OK", "確定", Panel5);
    Panel5->hide();

    connect(suiButton_Close, &QPushButton::clicked, this, &TForm_Messenger::suiButton_CloseClick);
    connect(suiButton_Record, &QPushButton::clicked, this, &TForm_Messenger::suiButton_RecordClick);
    connect(suiButton_Message, &QPushButton::clicked, this, &TForm_Messenger::suiButton_MessageClick);
    connect(suiImageButton_Prior, &QToolButton::clicked, this, &TForm_Messenger::suiImageButton_PriorClick);
    connect(suiImageButton_Next, &QToolButton::clicked, this, &TForm_Messenger::suiImageButton_NextClick);
    connect(suiRadioButton_Font, &QRadioButton::clicked, this, &TForm_Messenger::suiRadioButton_FontClick);
    connect(suiButton_Reply, &QPushButton::clicked, this, &TForm_Messenger::suiButton_ReplyClick);
    connect(suiButton_Send, &QPushButton::clicked, this, &TForm_Messenger::suiButton_SendClick);
    connect(suiButton_Updata, &QPushButton::clicked, this, &TForm_Messenger::suiButton_UpdataClick);
    connect(suiButton_Cancel, &QPushButton::clicked, this, &TForm_Messenger::suiButton_CancelClick);
    // "資料" and "確定" have no action.

    // The history of the peer lies behind the history buttons' right click; their left click browses as always.
    PopupMenu_Record = new QMenu(this);
    PopupMenu_Record->setObjectName(QStringLiteral("PopupMenu_Record"));
    QAction *history = PopupMenu_Record->addAction(big5("歷史記錄..."));
    history->setObjectName(QStringLiteral("MenuItem_RecordHistory"));
    connect(history, &QAction::triggered, this, [this] { Q_EMIT historyRequested(historyPeer()); });
    for (QPushButton *b : {suiButton_Record, suiButton_Message}) {
        b->setContextMenuPolicy(Qt::CustomContextMenu);
        b->setToolTip(big5("右鍵：歷史記錄"));
        connect(b, &QWidget::customContextMenuRequested, this,
                [this, b](const QPoint &at) { PopupMenu_Record->popup(b->mapToGlobal(at)); });
    }
}

void TForm_Messenger::relayout()
{
    const int w = width();
    const int h = height();
    suiForm_Message->setGeometry(0, 0, w, h);
    // The recipient box lies in the title bar between the control box and the buttons on the right.
    int editRight = w;
    for (int i = SkinnedFrame::CloseButton; i < suiForm_Message->titleButtonCount(); ++i)
        editRight = qMin(editRight, suiForm_Message->titleButton(i)->x());
    const int editLeft = suiForm_Message->titleButton(ControlBox)->geometry().right() + 5;
    FlatEdit_IP->setGeometry(editLeft, 4, qMax(20, editRight - 4 - editLeft), 18);

    const int strip = m_stripOpen ? StripHeight : 0;
    XPTask_Info->setGeometry(1, BodyTop, w - 2, strip);
    m_infoLabel->setGeometry(4, 6, 28, 18);
    Panel_Info->setGeometry(34, 5, qMax(10, w - 34 - 24), 20);
    Gauge_Progress->setGeometry(Panel_Info->contentsRect().adjusted(1, 1, -1, -1));
    ImageClose->setGeometry(w - 18, 9, 12, 12);

    const int buttonsTop = h - 25;
    RxRichEdit_Content->setGeometry(4, BodyTop + strip + 2, w - 8, qMax(0, buttonsTop - BodyTop - strip - 5));
    suiButton_Close->setGeometry(4, buttonsTop, 48, 21);
    const int centre = w / 2;
    suiButton_Record->setGeometry(centre - 35, buttonsTop, 70, 21);
    suiButton_Message->setGeometry(centre - 20, buttonsTop, 40, 21);
    suiImageButton_Prior->setGeometry(centre - 35, buttonsTop + 2, 15, 17);
    suiImageButton_Next->setGeometry(centre + 20, buttonsTop + 2, 15, 17);
    suiButton_Reply->setGeometry(w - 4 - 44, buttonsTop, 44, 21);
    suiButton_Send->setGeometry(suiButton_Reply->geometry());
    suiRadioButton_Font->setGeometry(w - 4 - 44 - 18, buttonsTop + 2, 16, 17);

    Panel5->setGeometry(1, BodyTop, w - 2, h - BodyTop - 1);
    const int column = 50;
    suiListView_Friend->setGeometry(4, 4, qMax(10, w - column - 12), qMax(10, Panel5->height() - 8));
    int y = 4;
    for (QPushButton *b : {suiButton_Updata, suiButton_Info, suiButton_Cancel, suiButton_OK}) {
        b->setGeometry(w - column - 4, y, column, 21);
        y += 25;
    }
}

QPixmap TForm_Messenger::defaultFace()
{
    QPixmap face(FaceSize, FaceSize);
    face.fill(Qt::transparent);
    QPainter painter(&face);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(150, 110, 20), 1.5));
    painter.setBrush(QColor(255, 214, 70));
    painter.drawEllipse(QRectF(2.5, 2.5, 27, 27));
    painter.setBrush(QColor(60, 40, 10));
    painter.drawEllipse(QRectF(10, 10, 3.5, 5));
    painter.drawEllipse(QRectF(18.5, 10, 3.5, 5));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(9, 12, 14, 11), 200 * 16, 140 * 16);
    return face;
}

QAbstractButton *TForm_Messenger::titleButton(int index) const
{
    return suiForm_Message->titleButton(index);
}

bool TForm_Messenger::isComposing() const
{
    return !suiButton_Send->isHidden();
}

bool TForm_Messenger::FormCanResize(int &newWidth, int & /*newHeight*/) const
{
    if (newWidth < NarrowestWidth)
        newWidth = NarrowestWidth;
    return true;
}

void TForm_Messenger::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    int w = width();
    int h = height();
    if (FormCanResize(w, h) && (w != width() || h != height())) {
        resize(w, h);
        return;
    }
    relayout();
}

// ---- console side -------------------------------------------------------------------------------------------

void TForm_Messenger::MenuItem_SendMessageClick(const MessengerDeps &deps)
{
    if (TForm_Messenger *open = deps.windows ? deps.windows->find<TForm_Messenger>() : nullptr) {
        open->raise();
        open->activateWindow();
        return;
    }
    MessageTable &messages = *deps.messages;
    if (messages.locateFirstUnread() >= 0) {
        TForm_Messenger *window = OpenForReading(deps);
        // The next unread message, if any, stays current and keeps the tray flashing.
        if (messages.locateFirstUnread() < 0)
            Q_EMIT window->lastUnreadOpened();
    } else {
        OpenForComposing(deps);
    }
    // An automatic pop-up switched the mark on; switching it off moves the table to its first row.
    messages.setFilter({});
    messages.setFiltered(false);
}

TForm_Messenger *TForm_Messenger::OpenForReading(const MessengerDeps &deps)
{
    auto *window = new TForm_Messenger(deps);
    MessageTable &messages = *deps.messages;
    window->m_openedMessage = messages.current() ? messages.currentRow() : -1;
    if (const Message *message = messages.current()) {
        window->m_shownPeer = message->IP;
        window->RxRichEdit_Content->showText(message->Content);
        window->FlatEdit_IP->setText(cp950::decode(message->Nickname));
        window->Panel_Info->setText(message->Date.toString(QStringLiteral("yy-MM-dd hh:mm")));
    }
    window->suiButton_Send->hide();
    window->RxRichEdit_Content->setReadOnly(true);
    window->show();
    window->suiButton_Reply->setFocus();
    messages.setCurrentRead(true);
    return window;
}

TForm_Messenger *TForm_Messenger::OpenForComposing(const MessengerDeps &deps)
{
    auto *window = new TForm_Messenger(deps);
    ConsoleValues &values = *deps.values;
    window->FlatEdit_IP->setText(cp950::decode(values.AsideRecipient));
    window->giveEditorDefaultFont();
    if (!values.AsideContent.isEmpty())
        window->insertContent(values.AsideContent);
    values.AsideRecipient.clear();
    values.AsideContent.clear();
    window->show();
    return window;
}

// ---- showing and closing ------------------------------------------------------------------------------------

void TForm_Messenger::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm_Messenger::FormShow()
{
    if (m_deps.activateIme && m_deps.values)
        m_deps.activateIme(m_deps.values->ImeName);
    setStripOpen(false);
    caretToStart();
    PlaceAboveTaskbar(this);
}

void TForm_Messenger::closeEvent(QCloseEvent *event)
{
    FormCloseQuery();
    // Hidden now, deleted later: the registry lets the next opening create a new window already.
    event->accept();
}

void TForm_Messenger::FormCloseQuery()
{
    if (m_deps.currentImeName && m_deps.values)
        m_deps.values->ImeName = m_deps.currentImeName();
}

void TForm_Messenger::suiButton_CloseClick()
{
    close();
}

// ---- reading and browsing -----------------------------------------------------------------------------------

void TForm_Messenger::insertContent(const QByteArray &content)
{
    RxRichEdit_Content->insertText(content);
}

void TForm_Messenger::caretToStart()
{
    QTextCursor cursor = RxRichEdit_Content->textCursor();
    cursor.movePosition(QTextCursor::Start);
    RxRichEdit_Content->setTextCursor(cursor);
}

void TForm_Messenger::showCurrentRecord()
{
    RxRichEdit_Content->stopLoading();
    RxRichEdit_Content->clear();
    const Message *message = m_deps.messages->current();
    m_shownPeer = message ? message->IP : QByteArray();
    if (message) {
        RxRichEdit_Content->showText(message->Content);
        FlatEdit_IP->setText(cp950::decode(message->Nickname));
        Panel_Info->setText(message->Date.toString(QStringLiteral("yy-MM-dd hh:mm")));
    } else {
        FlatEdit_IP->clear();
        Panel_Info->clear();
    }
    caretToStart();
}

void TForm_Messenger::suiButton_RecordClick()
{
    suiButton_Record->hide();
    suiButton_Send->hide();
    showCurrentRecord();
}

void TForm_Messenger::suiButton_MessageClick()
{
    suiButton_Record->show();
}

void TForm_Messenger::suiImageButton_PriorClick()
{
    m_deps.messages->prior();
    showCurrentRecord();
}

void TForm_Messenger::suiImageButton_NextClick()
{
    m_deps.messages->next();
    showCurrentRecord();
}

QByteArray TForm_Messenger::historyPeer() const
{
    if (!isComposing())
        return m_shownPeer;
    // Looked up without moving the friend table's current row, which the friend panel shows.
    const QString recipient = FlatEdit_IP->text().trimmed();
    const QByteArray typed = cp950::encode(recipient);
    if (inetAddr(typed))
        return typed;
    const FriendTable &friends = *m_deps.friends;
    for (int row = 0; row < friends.size(); ++row)
        if (friends.at(row).User == typed || cp950::decode(friends.at(row).User) == recipient)
            return friends.at(row).IP;
    return m_shownPeer;
}

// ---- strip, title buttons, keys, links ----------------------------------------------------------------------

void TForm_Messenger::setStripOpen(bool open)
{
    m_stripOpen = open;
    relayout();
}

void TForm_Messenger::ImageCloseClick()
{
    setStripOpen(false);
}

void TForm_Messenger::onTitleButtonClicked(int index)
{
    // The frame itself closes, maximises and opens the control box's menu.
    if (index >= Later)
        suiForm_MessageTitleBarCustomBtnsClick(index);
}

void TForm_Messenger::suiForm_MessageTitleBarCustomBtnsClick(int index)
{
    switch (index) {
    case Later:
        if (isComposing()) {
            m_deps.values->AsideRecipient = cp950::encode(FlatEdit_IP->text());
            m_deps.values->AsideContent = editorRtf();
        } else {
            MessageTable &messages = *m_deps.messages;
            const bool onRecord = m_openedMessage >= 0 ? messages.moveTo(m_openedMessage) : !m_openedMessageGone;
            if (onRecord)
                messages.setCurrentRead(false);
        }
        close();
        break;
    case Info:
        if (isComposing()) {
            Q_EMIT presenceRefreshRequested();
        } else {
            Gauge_Progress->hide();
            setStripOpen(!m_stripOpen);
        }
        break;
    case Friends:
        suiButton_UpdataClick();
        Panel5->setVisible(Panel5->isHidden());
        if (Panel5->isVisible())
            Panel5->raise();
        break;
    default:
        break;
    }
}

bool TForm_Messenger::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == RxRichEdit_Content && event->type() == QEvent::KeyPress)
        return RxRichEdit_ContentKeyDown(static_cast<QKeyEvent *>(event));
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == RxRichEdit_Content->viewport())
            RxRichEdit_ContentMouseDown();
        else if (watched == ImageClose)
            ImageCloseClick();
        else if (watched == suiListView_Friend->viewport()) {
            // The list selects on the press itself; act on the selection that results.
            auto *mouse = static_cast<QMouseEvent *>(event);
            const Qt::MouseButton button = mouse->button();
            QTimer::singleShot(0, this, [this, button] { suiListView_FriendMouseDown(button); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool TForm_Messenger::RxRichEdit_ContentKeyDown(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    if (!isComposing()) {
        suiButton_ReplyClick();
        return true;
    }
    if (event->modifiers() & Qt::ControlModifier) {
        suiButton_SendClick();
        return true;
    }
    return false;
}

void TForm_Messenger::RxRichEdit_ContentMouseDown()
{
    setStripOpen(false);
}

namespace {

// Up to this many characters of a target are shown in the box's text, cut into lines a box can hold;
// a longer one is shown whole in the box's details, where it scrolls.
constexpr int ShownTargetLength = 1024;
constexpr int ShownTargetLineLength = 64;

QMessageBox *linkBox(QMessageBox::Icon icon, const QString &question, const QUrl &target, const char *objectName,
                     QMessageBox::StandardButtons buttons, QWidget *parent)
{
    const QString full = target.toString();
    QString lines;
    for (qsizetype at = 0; at < std::min<qsizetype>(full.size(), ShownTargetLength); at += ShownTargetLineLength)
        lines += (at ? QStringLiteral("\n") : QString()) + full.mid(at, ShownTargetLineLength);
    if (full.size() > ShownTargetLength)
        lines += QStringLiteral("…");
    auto *box = new QMessageBox(icon, QGuiApplication::applicationDisplayName(),
                                question + QStringLiteral("\n\n") + lines, buttons, parent);
    box->setObjectName(QLatin1String(objectName));
    box->setTextFormat(Qt::PlainText);
    if (full.size() > ShownTargetLength)
        box->setDetailedText(full);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

} // namespace

// A received message is written by a stranger: its links open only where a browser or mail program
// takes them, and a link whose text names some other place shows where it leads before it goes there.
void TForm_Messenger::RxRichEdit_ContentURLClick(const QUrl &url, const QString &text)
{
    if (!WebAddress::mayOpen(url)) {
        QMessageBox *box =
            linkBox(QMessageBox::Warning, big5("只能開啟 http、https、mailto 與 ftp 的連結，這個連結不會開啟："), url,
                    "LinkRefusedMessageBox", QMessageBox::Ok, this);
        box->open();
        return;
    }
    if (WebAddress::textIsTarget(text, url)) {
        openLink(url);
        return;
    }
    QMessageBox *box =
        linkBox(QMessageBox::Question, big5("這個連結顯示的文字與它開啟的位址不同。要開啟下面的位址嗎？"), url,
                "LinkConfirmMessageBox", QMessageBox::Yes | QMessageBox::No, this);
    box->setDefaultButton(QMessageBox::No);
    connect(box, &QMessageBox::finished, this, [this, url](int result) {
        if (result == QMessageBox::Yes)
            openLink(url);
    });
    box->open();
}

void TForm_Messenger::openLink(const QUrl &url)
{
    if (m_deps.openUrl)
        m_deps.openUrl(url);
    else
        QDesktopServices::openUrl(url);
}

// ---- composing ----------------------------------------------------------------------------------------------

void TForm_Messenger::giveEditorDefaultFont()
{
    if (!m_deps.defaultFont)
        return;
    m_editorFont = *m_deps.defaultFont;
    RxRichEdit_Content->document()->setDefaultFont(m_editorFont);
    RxRichEdit_Content->setCurrentFont(m_editorFont);
}

QByteArray TForm_Messenger::editorRtf() const
{
    return RxRichEdit_Content->saveRtf();
}

QString TForm_Messenger::editorPlainText() const
{
    return RxRichEdit_Content->plainText();
}

void TForm_Messenger::suiButton_ReplyClick()
{
    setStripOpen(false);
    RxRichEdit_Content->setReadOnly(false);
    // A long message still being read must not appear in the reply.
    RxRichEdit_Content->stopLoading();
    RxRichEdit_Content->clear();
    giveEditorDefaultFont();
    suiButton_Send->show();
    RxRichEdit_Content->setFocus();
}

std::optional<QByteArray> TForm_Messenger::resolveRecipient(const QString &recipient) const
{
    const QByteArray typed = cp950::encode(recipient);
    if (inetAddr(typed))
        return typed;
    FriendTable &friends = *m_deps.friends;
    // Compared as text: a nickname cut inside a double-byte character reads back the way the list shows it.
    for (int row = 0; row < friends.size(); ++row) {
        const Friend &peer = friends.at(row);
        if (peer.User == typed || cp950::decode(peer.User) == recipient) {
            friends.locateUser(peer.User);
            return peer.IP;
        }
    }
    return std::nullopt;
}

// The name the recipient box gave, or for a typed address the friend's who has it; empty when none does.
QByteArray TForm_Messenger::recipientNickname(const QByteArray &address) const
{
    const QByteArray typed = cp950::encode(FlatEdit_IP->text());
    if (typed != address)
        return typed;
    for (const Friend &peer : m_deps.friends->rows()) {
        if (peer.IP == address)
            return peer.User;
    }
    return {};
}

void TForm_Messenger::suiButton_SendClick()
{
    NoticeSink &notices = *m_deps.notices;
    if (editorPlainText().isEmpty()) {
        notices.ShowNotice(NoticeText::build(wire::EmptyMessage), QByteArray(wire::SendErrorCaption));
        return;
    }
    const std::optional<QByteArray> address = resolveRecipient(FlatEdit_IP->text());
    if (!address) {
        notices.ShowNotice(NoticeText::build(wire::UnknownNickname), QByteArray(wire::SendErrorCaption));
        return;
    }
    const ConsoleValues &values = *m_deps.values;
    const QByteArray packet =
        Packet::build(Packet::CMD_MESSAGE, {values.OwnAddress, values.OwnNickname,
                                            QTime::currentTime().toString(QStringLiteral("hh:mm")).toLatin1(),
                                            editorRtf(), QByteArrayLiteral("0")});
    if (SendWithProgress(*address, packet, notices, this, m_deps.send) != -1) {
        // The body as the recipient reads it out of the packet.
        Q_EMIT messageSent(*address, recipientNickname(*address), Packet::ExtractField(5, packet));
        close();
    }
}

void TForm_Messenger::beginPieces(int pieces)
{
    Gauge_Progress->setRange(0, pieces);
    if (pieces > 1) {
        Gauge_Progress->show();
        if (!m_stripOpen)
            setStripOpen(true);
        // Nothing else paints while the sender blocks.
        repaint();
    }
}

void TForm_Messenger::setPiece(int piece)
{
    // The bar repaints at once by itself whenever the new value moves it by a pixel; that is the only
    // painting while the sender blocks.
    Gauge_Progress->setValue(piece);
}

void TForm_Messenger::sendFailed()
{
    setStripOpen(false);
}

void TForm_Messenger::suiRadioButton_FontClick()
{
    QFont *defaultFont = m_deps.defaultFont;
    const QFont initial = defaultFont ? *defaultFont : m_editorFont;
    std::optional<QFont> chosen;
    if (m_deps.chooseFont) {
        chosen = m_deps.chooseFont(initial, this);
    } else {
        bool ok = false;
        const QFont font = QFontDialog::getFont(&ok, initial, this);
        if (ok)
            chosen = font;
    }
    if (chosen) {
        // Applies to the selection, or to what is typed next when nothing is selected.
        QTextCharFormat format;
        format.setFont(*chosen);
        RxRichEdit_Content->mergeCurrentCharFormat(format);
        if (defaultFont)
            *defaultFont = *chosen;
    }
    // A font chosen for a selection changes only that selection.
    if (RxRichEdit_Content->textCursor().hasSelection() && !RxRichEdit_Content->document()->isEmpty() && defaultFont)
        *defaultFont = m_editorFont;
    suiRadioButton_Font->setChecked(false);
    RxRichEdit_Content->setFocus();
}

// ---- friend panel -------------------------------------------------------------------------------------------

QPixmap TForm_Messenger::faceOf(const QByteArray &bmp) const
{
    if (!plausibleFace(bmp))
        return {};
    const QImage image = QImage::fromData(bmp, "BMP");
    if (image.isNull())
        return {};
    return QPixmap::fromImage(image.scaled(FaceSize, FaceSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

void TForm_Messenger::suiButton_UpdataClick()
{
    suiListView_Friend->clear();
    m_mien.resize(1);
    const FriendTable &friends = *m_deps.friends;
    for (const Friend &peer : friends.rows()) {
        int imageIndex = 0;
        if (!peer.Face.isEmpty()) {
            const QPixmap face = faceOf(peer.Face);
            // An undecodable face shows the default one rather than nothing.
            if (!face.isNull()) {
                m_mien.append(face);
                imageIndex = int(m_mien.size()) - 1;
            }
        }
        auto *item = new QListWidgetItem(m_mien.at(imageIndex), cp950::decode(peer.User), suiListView_Friend);
        item->setData(Qt::UserRole, peer.IP);
        item->setData(Qt::UserRole + 1, imageIndex);
    }
}

void TForm_Messenger::suiButton_CancelClick()
{
    Panel5->hide();
}

void TForm_Messenger::suiListView_FriendMouseDown(Qt::MouseButton button)
{
    const QListWidgetItem *item = suiListView_Friend->currentItem();
    if (!item || !item->isSelected())
        return;
    FlatEdit_IP->setText(item->text());
    if (button == Qt::LeftButton) {
        Panel5->hide();
        RxRichEdit_Content->setFocus();
    }
}
