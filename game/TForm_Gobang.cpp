#include "game/TForm_Gobang.h"

#include "base/Cp950.h"
#include "engine/ConsoleValues.h"
#include "game/GameLobby.h"
#include "game/GobangGrid.h"
#include "widgets/RichEdit.h"
#include "widgets/SkinnedFrame.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace GameLobby;
using Outcome = GameSession::Outcome;

namespace {

constexpr int AddressRole = Qt::UserRole;
// Border and title bar of the skinned frame, then the top strip.
constexpr int BodyTop = 25;
constexpr int BoardTop = 48;

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QFont mingFont(int pointSize = 9)
{
    QFont font(text("細明體"));
    font.setPointSize(pointSize);
    return font;
}

QString fromWire(const QByteArray &bytes)
{
    return cp950::decode(bytes);
}

// The picture behind the grid: a wooden board whose frame shows 7 pixels around the grid.
QPixmap boardPicture()
{
    QPixmap pixmap(253, 253);
    QPainter painter(&pixmap);
    QLinearGradient wood(0, 0, 253, 253);
    wood.setColorAt(0, QColor(226, 186, 120));
    wood.setColorAt(1, QColor(196, 150, 86));
    painter.fillRect(pixmap.rect(), wood);
    painter.setPen(QColor(120, 80, 40));
    painter.drawRect(0, 0, 252, 252);
    painter.setPen(QColor(240, 210, 160));
    painter.drawRect(1, 1, 250, 250);
    painter.setPen(QColor(150, 105, 55));
    painter.drawRect(5, 5, 242, 242);
    return pixmap;
}

QPixmap decorativeBar(int width)
{
    QPixmap pixmap(width, 21);
    QPainter painter(&pixmap);
    QLinearGradient gradient(0, 0, 0, 21);
    gradient.setColorAt(0, QColor(250, 244, 226));
    gradient.setColorAt(1, QColor(214, 196, 160));
    painter.fillRect(pixmap.rect(), gradient);
    painter.setPen(QColor(170, 140, 90));
    painter.drawLine(0, 20, width, 20);
    return pixmap;
}

// Two stones that trade places, frame by frame.
QPixmap animationFrame(int frame)
{
    QPixmap pixmap(36, 18);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF left(2, 2, 14, 14);
    const QRectF right(20, 2, 14, 14);
    const bool swapped = frame % 2 == 1;
    painter.setPen(Qt::black);
    painter.setBrush(Qt::black);
    painter.drawEllipse(swapped ? right : left);
    painter.setBrush(Qt::white);
    painter.drawEllipse(swapped ? left : right);
    return pixmap;
}

QPixmap buttonFace()
{
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(90, 60, 20));
    painter.setBrush(QColor(255, 215, 120));
    painter.drawEllipse(QRectF(1, 1, 10, 10));
    return pixmap;
}

QString outcomeText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Won:
        return text("恭喜，您贏了！");
    case Outcome::Lost:
        return text("很遺憾，您輸了。");
    case Outcome::Drawn:
        return text("雙方和棋。");
    case Outcome::PartnerResigned:
        return fromWire(resignedText());
    case Outcome::Resigned:
        return text("您已認輸。");
    case Outcome::PartnerCancelled:
        return fromWire(cancelledText());
    case Outcome::Cancelled:
        return text("您取消了本次約定。");
    case Outcome::PartnerLeft:
        return fromWire(leftText());
    }
    return {};
}

} // namespace

QString TForm_Gobang::introduction()
{
    return text("五子棋是起源於中國古代的傳統黑白棋種之一。相傳遠在堯舜時代，先民在劃有縱橫線條的石板或地面上以石子"
                "對弈，五子連線的玩法便在這類遊戲中逐漸成形。因為它規則簡單、一局用時不長，又不需要專門的器具，只要"
                "一張方格紙和兩色棋子就能開局，所以很早就在民間流傳開來，老少皆宜。五子棋的名稱很多：古時有「連五子」"
                "、「五子連」、「串珠」、「五格」等叫法；後來人們又稱它為「連珠」，取其棋子成串如珠之意。大約在南北朝"
                "前後，這種遊戲隨圍棋一起東傳朝鮮半島與日本，在當地被稱為「五目」，意思是把五顆棋子排成一列。到了十九"
                "世紀末，它經日本再傳入歐洲，西方多以日語讀音稱呼它。二十世紀以來，人們發現先手的黑方優勢很大，於是各"
                "地陸續為黑方增加禁手等限制，並在此基礎上發展出多種比賽規則，使對局更加公平而富有變化。今天，五子棋不"
                "但有國際性的組織和比賽，也是電腦對弈研究中最早被完全解開的棋類之一。下棋時雙方要兼顧攻守，既要連成己"
                "方五子，也要阻擋對方。本程序採用基本的規則：黑白雙方輪流落子，黑方先行，誰先在橫、豎或斜方向連成五"
                "子，誰就獲勝。祝您愉快！");
}

QStringList TForm_Gobang::ruleLines()
{
    return {text("黑白雙方依次落子，在一方"), text("先在棋盤上形成橫向、豎向"), text("、斜向的連續的相同顏色的"),
            text("五個（含五個以上）棋子的"), text("一方為勝。")};
}

TForm_Gobang::TForm_Gobang(ConsoleValues &values, PacketTransport &transport, QWidget *parent)
    : QWidget(parent), m_values(values), m_session(new GameSession(values, transport, this))
{
    setObjectName(QStringLiteral("Form_Gobang"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(text("妙手連珠"));
    setFixedSize(ClientWidth, ClientHeight);
    buildControls();

    connect(m_session, &GameSession::playersChanged, this, &TForm_Gobang::refreshPlayers);
    connect(m_session, &GameSession::invited, this, &TForm_Gobang::askInvitation);
    connect(m_session, &GameSession::invitationDeclined, this, [this] {
        setStatus(text("對方拒絕了您的邀請。"));
        showState();
    });
    connect(m_session, &GameSession::gameStarted, this, &TForm_Gobang::onGameStarted);
    connect(m_session, &GameSession::stonePlaced, this, &TForm_Gobang::onStonePlaced);
    connect(m_session, &GameSession::drawOffered, this, &TForm_Gobang::askDraw);
    connect(m_session, &GameSession::drawDeclined, this, [this] { setStatus(text("對方不同意和棋。")); });
    connect(m_session, &GameSession::chatReceived, this, [this](const QByteArray &message) {
        appendChat(fromWire(m_session->partnerNickname()), fromWire(message));
    });
    connect(m_session, &GameSession::gameEnded, this, &TForm_Gobang::onGameEnded);

    FlatPanel_BCreate();
    m_session->open();
    showState();
}

TForm_Gobang::~TForm_Gobang()
{
    closeQuestions();
    // Destroyed without a close (the console ending): the others still hear that this window has gone.
    if (!m_closed)
        m_session->close();
}

void TForm_Gobang::buildControls()
{
    suiForm_Gobang = SkinnedFrame::forFixedWindow(this, QStringLiteral("suiForm_Gobang"), text("妙手連珠"));
    suiForm_Gobang->addTitleButton(TitleButtonKind::Minimize, text("最小化"));

    buildTitleStrip();

    Image1 = new QLabel(suiForm_Gobang);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(boardPicture());
    Image1->setGeometry(6, BoardTop, 253, 253);
    Image1->setMouseTracking(true);
    Image1->installEventFilter(this);
    DrawGrid_Gobang = new GobangGrid(Image1);
    DrawGrid_Gobang->move(7, 7);
    connect(DrawGrid_Gobang, &GobangGrid::pointerMoved, this, &TForm_Gobang::DrawGrid_GobangMouseMove);
    connect(DrawGrid_Gobang, &GobangGrid::cellPressed, this, &TForm_Gobang::DrawGrid_GobangMouseDown);

    suiTabControl1 = new QTabWidget(suiForm_Gobang);
    suiTabControl1->setObjectName(QStringLiteral("suiTabControl1"));
    suiTabControl1->setGeometry(265, BoardTop, 180, 253);
    suiTabControl1->setDocumentMode(true);
    suiTabControl1->setStyleSheet(QStringLiteral("QTabBar::tab { height: 20px; padding: 0 10px; }"));
    Panel_Stat = new QWidget;
    Panel_Stat->setObjectName(QStringLiteral("Panel_Stat"));
    Panel_Chat = new QWidget;
    Panel_Chat->setObjectName(QStringLiteral("Panel_Chat"));
    Panel_About = new QWidget;
    Panel_About->setObjectName(QStringLiteral("Panel_About"));
    suiTabControl1->addTab(Panel_Stat, text("狀態"));
    suiTabControl1->addTab(Panel_Chat, text("聊天"));
    suiTabControl1->addTab(Panel_About, text("關於"));
    buildStatePanel(Panel_Stat);
    buildChatPanel(Panel_Chat);
    buildAboutPanel(Panel_About);
}

void TForm_Gobang::buildTitleStrip()
{
    Image_Bar = new QLabel(suiForm_Gobang);
    Image_Bar->setObjectName(QStringLiteral("Image_Bar"));
    Image_Bar->setGeometry(1, BodyTop, ClientWidth - 2, 21);
    Image_Bar->setPixmap(decorativeBar(ClientWidth - 2));

    suiImageButton1 = new QToolButton(suiForm_Gobang);
    suiImageButton1->setObjectName(QStringLiteral("suiImageButton1"));
    suiImageButton1->setIcon(buttonFace());
    suiImageButton1->setAutoRaise(true);
    suiImageButton1->setGeometry(8, BodyTop + 3, 16, 15);

    FlatPanel_B = new QFrame(suiForm_Gobang);
    FlatPanel_B->setObjectName(QStringLiteral("FlatPanel_B"));
    FlatPanel_B->setFrameShape(QFrame::Box);
    FlatPanel_B->setStyleSheet(QStringLiteral("#FlatPanel_B { border: 1px solid #a08a5c; background: white; }"));
    FlatPanel_B->setGeometry(28, BodyTop + 3, 308, 15);
    Panel_Broadcasting = new QWidget(FlatPanel_B);
    Panel_Broadcasting->setObjectName(QStringLiteral("Panel_Broadcasting"));
    Panel_Broadcasting->setGeometry(1, 1, 306, 13);
    Panel_Move = new QWidget(Panel_Broadcasting);
    Panel_Move->setObjectName(QStringLiteral("Panel_Move"));
    Panel_Move->setGeometry(0, 0, MovePanelWidth, 13);
    Panel_Move->installEventFilter(this);
    // Presses on the text go through to the moving panel, which drags.
    auto *holder = new QWidget(Panel_Move);
    holder->setGeometry(0, 0, MovePanelWidth, 13);
    holder->setAttribute(Qt::WA_TransparentForMouseEvents);
    RxRichEdit_Broadcasting = new RichEdit(holder);
    RxRichEdit_Broadcasting->setObjectName(QStringLiteral("RxRichEdit_Broadcasting"));
    RxRichEdit_Broadcasting->setReadOnly(true);
    RxRichEdit_Broadcasting->setFrameShape(QFrame::NoFrame);
    RxRichEdit_Broadcasting->setLineWrapMode(QTextEdit::NoWrap);
    RxRichEdit_Broadcasting->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RxRichEdit_Broadcasting->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RxRichEdit_Broadcasting->document()->setDocumentMargin(0);
    RxRichEdit_Broadcasting->setGeometry(0, 0, MovePanelWidth, 13);

    Image_Animate = new QLabel(suiForm_Gobang);
    Image_Animate->setObjectName(QStringLiteral("Image_Animate"));
    Image_Animate->setGeometry(ClientWidth - 46, BodyTop + 2, 36, 18);
    Image_Animate->setPixmap(animationFrame(0));

    Timer_Move = new QTimer(this);
    Timer_Move->setObjectName(QStringLiteral("Timer_Move"));
    Timer_Move->setInterval(TickInterval);
    connect(Timer_Move, &QTimer::timeout, this, &TForm_Gobang::Timer_MoveTimer);
}

void TForm_Gobang::buildStatePanel(QWidget *page)
{
    const auto button = [page](const char *name, const char *caption, QRect geometry) {
        auto *b = new QPushButton(text(caption), page);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(geometry);
        return b;
    };
    fcTreeView_Users = new QTreeWidget(page);
    fcTreeView_Users->setObjectName(QStringLiteral("fcTreeView_Users"));
    fcTreeView_Users->setFont(mingFont());
    fcTreeView_Users->setHeaderHidden(true);
    fcTreeView_Users->setRootIsDecorated(false);
    fcTreeView_Users->setGeometry(3, 3, 170, 109);
    connect(fcTreeView_Users, &QTreeWidget::itemDoubleClicked, this, [this] { suiButton_BeginClick(); });

    FlatPanel2 = new QLabel(page);
    FlatPanel2->setObjectName(QStringLiteral("FlatPanel2"));
    FlatPanel2->setFrameShape(QFrame::Panel);
    FlatPanel2->setFrameShadow(QFrame::Sunken);
    FlatPanel2->setAlignment(Qt::AlignCenter);
    FlatPanel2->setGeometry(3, 115, 110, 24);
    suiButton3 = button("suiButton3", "刷新", QRect(117, 115, 56, 24));
    connect(suiButton3, &QPushButton::clicked, this, &TForm_Gobang::suiButton3Click);

    suiGroupBox1 = new QGroupBox(page);
    suiGroupBox1->setObjectName(QStringLiteral("suiGroupBox1"));
    suiGroupBox1->setGeometry(3, 142, 170, 40);
    suiGroupBox1->setEnabled(false);
    suiRadioButton_Black = new QRadioButton(text("黑棋："), suiGroupBox1);
    suiRadioButton_Black->setObjectName(QStringLiteral("suiRadioButton_Black"));
    suiRadioButton_Black->setGeometry(4, 2, 60, 18);
    suiRadioButton_Black->setChecked(true);
    suiRadioButton_White = new QRadioButton(text("白棋："), suiGroupBox1);
    suiRadioButton_White->setObjectName(QStringLiteral("suiRadioButton_White"));
    suiRadioButton_White->setGeometry(4, 20, 60, 18);
    // The names stand beside the disabled choice, not in it, so that they read as clearly as the rest.
    Label_BlackName = new QLabel(page);
    Label_BlackName->setObjectName(QStringLiteral("Label_BlackName"));
    Label_BlackName->setGeometry(68, 144, 102, 18);
    Label_WhiteName = new QLabel(page);
    Label_WhiteName->setObjectName(QStringLiteral("Label_WhiteName"));
    Label_WhiteName->setGeometry(68, 162, 102, 18);

    Label_Status = new QLabel(page);
    Label_Status->setObjectName(QStringLiteral("Label_Status"));
    Label_Status->setGeometry(3, 184, 170, 16);
    Label_Status->setStyleSheet(QStringLiteral("color: #8b1a1a;"));

    const QRect first(3, 202, 56, 24);
    suiButton_DrawGame = button("suiButton_DrawGame", "和棋", first);
    suiButton_Cancel = button("suiButton_Cancel", "取消", first);
    suiButton_Begin = button("suiButton_Begin", "開始", first);
    suiButton1 = button("suiButton1", "認輸", QRect(60, 202, 56, 24));
    suiButton2 = button("suiButton2", "退出", QRect(117, 202, 56, 24));
    connect(suiButton_Begin, &QPushButton::clicked, this, &TForm_Gobang::suiButton_BeginClick);
    connect(suiButton_Cancel, &QPushButton::clicked, this, &TForm_Gobang::suiButton_CancelClick);
    connect(suiButton_DrawGame, &QPushButton::clicked, this, &TForm_Gobang::suiButton_DrawGameClick);
    connect(suiButton1, &QPushButton::clicked, this, &TForm_Gobang::suiButton1Click);
    connect(suiButton2, &QPushButton::clicked, this, &TForm_Gobang::suiButton2Click);
}

void TForm_Gobang::buildChatPanel(QWidget *page)
{
    Memo_Chat = new QPlainTextEdit(page);
    Memo_Chat->setObjectName(QStringLiteral("Memo_Chat"));
    Memo_Chat->setReadOnly(true);
    Memo_Chat->setMaximumBlockCount(500);
    Memo_Chat->setFont(mingFont());
    Memo_Chat->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo_Chat->setGeometry(3, 3, 170, 109);

    ComboBox_Chat = new QComboBox(page);
    ComboBox_Chat->setObjectName(QStringLiteral("ComboBox_Chat"));
    ComboBox_Chat->setGeometry(3, 115, 170, 22);
    ComboBox_Chat->addItems({QString(), text("你好！"), text("請多指教！"), text("下得好！"), text("快一點吧！"),
                             text("再來一盤？"), text("再見！")});
    connect(ComboBox_Chat, &QComboBox::activated, this, [this](int index) {
        if (index > 0)
            RxRichEdit_Chat->setPlainText(ComboBox_Chat->itemText(index));
    });

    RxRichEdit_Chat = new RichEdit(page);
    RxRichEdit_Chat->setObjectName(QStringLiteral("RxRichEdit_Chat"));
    RxRichEdit_Chat->setFont(mingFont());
    RxRichEdit_Chat->setAcceptRichText(false);
    RxRichEdit_Chat->setGeometry(3, 140, 170, 58);

    suiButton6 = new QPushButton(text("發送"), page);
    suiButton6->setObjectName(QStringLiteral("suiButton6"));
    suiButton6->setGeometry(117, 202, 56, 24);
    connect(suiButton6, &QPushButton::clicked, this, &TForm_Gobang::suiButton6Click);
}

void TForm_Gobang::buildAboutPanel(QWidget *page)
{
    const auto caption = [page](const char *name, const char *title, int top) {
        auto *label = new QLabel(text(title), page);
        label->setObjectName(QLatin1String(name));
        label->setAlignment(Qt::AlignCenter);
        label->setStyleSheet(QStringLiteral("background: #d8c49c; color: #3a2a10;"));
        label->setGeometry(3, top, 170, 17);
    };
    const auto memo = [page](const char *name, const QString &content, QRect geometry) {
        auto *edit = new QPlainTextEdit(content, page);
        edit->setObjectName(QLatin1String(name));
        edit->setReadOnly(true);
        edit->setFont(mingFont());
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->document()->setDocumentMargin(2);
        edit->setGeometry(geometry);
        return edit;
    };
    caption("Label_IntroductionTitle", "五子棋遊戲介紹", 3);
    Memo_Introduction = memo("Memo_Introduction", introduction(), QRect(3, 21, 170, 100));
    caption("Label_RulesTitle", "基本規則", 124);
    Memo_Rules = memo("Memo_Rules", ruleLines().join(QLatin1Char('\n')), QRect(3, 142, 170, 84));
    Memo_Rules->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TForm_Gobang::FlatPanel_BCreate()
{
    Timer_Move->stop();
    RxRichEdit_Broadcasting->clear();
    RxRichEdit_Broadcasting->setFont(mingFont());
    RxRichEdit_Broadcasting->setPlainText(introduction());
    RxRichEdit_Broadcasting->moveCursor(QTextCursor::Start);
    Panel_Move->resize(MovePanelWidth, Panel_Move->height());
    TickerLeft = Panel_Broadcasting->width();
    Panel_Move->move(TickerLeft, 0);
    Timer_Move->start();
}

void TForm_Gobang::Timer_MoveTimer()
{
    int left = Panel_Move->x();
    if (left < -Panel_Move->width())
        left = Panel_Broadcasting->width();
    else
        --left;
    Panel_Move->move(left, 0);
    TickerLeft = left;
    // The picture at the top right changes every half second.
    if (++m_animationTicks % 25 == 0)
        Image_Animate->setPixmap(animationFrame(m_animationTicks / 25));
}

void TForm_Gobang::Panel_MoveMouseDown(int globalX)
{
    TickerDragX = globalX;
    Timer_Move->stop();
    TickerDragging = true;
}

void TForm_Gobang::Panel_MoveMouseMove(int globalX)
{
    if (!TickerDragging)
        return;
    TickerLeft += globalX - TickerDragX;
    TickerDragX = globalX;
    if (TickerLeft < -Panel_Move->width())
        TickerLeft = Panel_Broadcasting->width();
    else if (TickerLeft > Panel_Broadcasting->width())
        TickerLeft = -Panel_Move->width();
    Panel_Move->move(TickerLeft, 0);
}

void TForm_Gobang::Panel_MoveMouseUp()
{
    Timer_Move->start();
    TickerDragging = false;
}

bool TForm_Gobang::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Panel_Move) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            Panel_MoveMouseDown(qRound(static_cast<QMouseEvent *>(event)->globalPosition().x()));
            return true;
        case QEvent::MouseMove:
            Panel_MoveMouseMove(qRound(static_cast<QMouseEvent *>(event)->globalPosition().x()));
            return true;
        case QEvent::MouseButtonRelease:
            Panel_MoveMouseUp();
            return true;
        default:
            break;
        }
    } else if (watched == Image1 && event->type() == QEvent::MouseMove) {
        // The board's frame around the grid lies over no cell.
        const QPoint onGrid = static_cast<QMouseEvent *>(event)->position().toPoint() - DrawGrid_Gobang->pos();
        const QPoint cell = GobangGrid::cellAt(onGrid);
        DrawGrid_GobangMouseMove(cell.x(), cell.y());
    }
    return QWidget::eventFilter(watched, event);
}

void TForm_Gobang::DrawGrid_GobangMouseMove(int column, int row)
{
    FlatPanel2->setText(GobangBoard::coordinateName(column, row));
}

void TForm_Gobang::DrawGrid_GobangMouseDown(int column, int row)
{
    if (!m_session->myTurn())
        return;
    switch (m_session->play(column, row)) {
    case GameSession::MoveResult::SendFailed:
        setStatus(text("棋子未能送達對方，請再試一次。"));
        break;
    default:
        break;
    }
}

void TForm_Gobang::suiButton3Click()
{
    m_session->refresh();
}

void TForm_Gobang::suiButton_BeginClick()
{
    const QTreeWidgetItem *item = fcTreeView_Users->currentItem();
    if (m_session->phase() != GameSession::Phase::Lobby)
        return;
    if (!item) {
        setStatus(text("請先在列表中選擇一位玩家。"));
        return;
    }
    const QByteArray address = item->data(0, AddressRole).toByteArray();
    if (!m_session->invite(address)) {
        const PlayerEntry *entry = m_session->players().find(address);
        setStatus(entry && entry->data.state == GAME_STATE_WAITING ? text("無法邀請這位玩家。")
                                                                   : text("這位玩家現在不能下棋。"));
        return;
    }
    Memo_Chat->clear();
    setStatus(text("已發出邀請，等待對方答覆…"));
    showState();
}

void TForm_Gobang::suiButton_CancelClick()
{
    m_session->cancel();
    showFront(suiButton_Begin);
}

void TForm_Gobang::suiButton_DrawGameClick()
{
    if (m_session->offerDraw())
        setStatus(text("已提出和棋，等待對方答覆…"));
}

void TForm_Gobang::suiButton1Click()
{
    m_session->resign();
    showFront(suiButton_Begin);
}

void TForm_Gobang::suiButton2Click()
{
    close();
}

void TForm_Gobang::suiButton6Click()
{
    // The separator byte inside the text would split it into fields of its own.
    const QString message = RxRichEdit_Chat->toPlainText().remove(QChar(0x08)).trimmed();
    if (message.isEmpty())
        return;
    if (m_session->partnerAddress().isEmpty()) {
        setStatus(text("沒有對手，無法發送。"));
        return;
    }
    if (!m_session->sendChat(boundedText(cp950::encode(message), GameSession::MaxChatBytes))) {
        setStatus(text("發送失敗。"));
        return;
    }
    appendChat(ownName(), message);
    RxRichEdit_Chat->clear();
}

void TForm_Gobang::closeEvent(QCloseEvent *event)
{
    closeQuestions();
    if (!m_closed) {
        m_closed = true;
        m_session->close();
    }
    Timer_Move->stop();
    event->accept();
}

void TForm_Gobang::showEvent(QShowEvent *event)
{
    if (!m_placed) {
        m_placed = true;
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->geometry();
            move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
        }
    }
    QWidget::showEvent(event);
}

void TForm_Gobang::refreshPlayers()
{
    const QTreeWidgetItem *current = fcTreeView_Users->currentItem();
    const QByteArray chosen = current ? current->data(0, AddressRole).toByteArray() : QByteArray();
    const auto &entries = m_session->players().entries();
    // Entries are only ever appended, so the items are updated in place and the choice stays.
    for (int i = 0; i < int(entries.size()); ++i) {
        QTreeWidgetItem *item = fcTreeView_Users->topLevelItem(i);
        if (!item)
            item = new QTreeWidgetItem(fcTreeView_Users);
        item->setText(0, fromWire(entries[i].caption));
        item->setData(0, AddressRole, entries[i].data.address);
        if (!chosen.isNull() && entries[i].data.address == chosen)
            fcTreeView_Users->setCurrentItem(item);
    }
}

void TForm_Gobang::showFront(QPushButton *button)
{
    for (QPushButton *stacked : {suiButton_Begin, suiButton_Cancel, suiButton_DrawGame})
        stacked->setVisible(stacked == button);
    button->raise();
}

// The stacked buttons, the colours' names and whose turn it is, from the session.
void TForm_Gobang::showState()
{
    switch (m_session->phase()) {
    case GameSession::Phase::Lobby:
        showFront(suiButton_Begin);
        break;
    case GameSession::Phase::Inviting:
    case GameSession::Phase::Invited:
        showFront(suiButton_Cancel);
        break;
    case GameSession::Phase::Playing:
        showFront(suiButton_DrawGame);
        break;
    }
    if (m_session->phase() != GameSession::Phase::Playing)
        return;
    const QString partner = fromWire(m_session->partnerNickname());
    const bool black = m_session->colour() == GobangBoard::Black;
    Label_BlackName->setText(black ? ownName() : partner);
    Label_WhiteName->setText(black ? partner : ownName());
    const bool blackToMove = m_session->board().toMove() == GobangBoard::Black;
    suiRadioButton_Black->setChecked(blackToMove);
    suiRadioButton_White->setChecked(!blackToMove);
    setStatus(m_session->myTurn() ? text("輪到您落子。") : text("等待對方落子…"));
}

void TForm_Gobang::setStatus(const QString &status)
{
    Label_Status->setText(status);
}

void TForm_Gobang::appendChat(const QString &who, const QString &message)
{
    Memo_Chat->appendPlainText(who.isEmpty() ? message : who + text("：") + message);
}

QString TForm_Gobang::ownName() const
{
    return m_values.OwnNickname.isEmpty() ? text("我") : fromWire(m_values.OwnNickname);
}

void TForm_Gobang::askInvitation(const QByteArray &, const QByteArray &nickname)
{
    closeQuestions();
    setStatus(text("收到對弈邀請。"));
    showState();
    auto *box =
        new QMessageBox(QMessageBox::Question, text("妙手連珠"),
                        text("%1 邀請您下一盤五子棋，對方執黑先行，您執白棋。\n接受邀請嗎？").arg(fromWire(nickname)),
                        QMessageBox::Yes | QMessageBox::No, this);
    box->setObjectName(QStringLiteral("MessageBox_Invitation"));
    box->button(QMessageBox::Yes)->setText(text("接受"));
    box->button(QMessageBox::Yes)->setObjectName(QStringLiteral("Button_Yes"));
    box->button(QMessageBox::No)->setText(text("拒絕"));
    box->button(QMessageBox::No)->setObjectName(QStringLiteral("Button_No"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, box](int result) {
        if (m_invitationBox != box)
            return;
        m_invitationBox.clear();
        const bool accept = result == QMessageBox::Yes;
        if (!m_session->answerInvitation(accept) && accept)
            setStatus(text("無法回覆對方，邀請已取消。"));
        else if (!accept)
            setStatus(text("您拒絕了邀請。"));
        showState();
    });
    m_invitationBox = box;
    box->open();
}

void TForm_Gobang::askDraw()
{
    if (m_drawBox)
        m_drawBox->close();
    auto *box = new QMessageBox(QMessageBox::Question, text("妙手連珠"), text("對方提出和棋，您同意嗎？"),
                                QMessageBox::Yes | QMessageBox::No, this);
    box->setObjectName(QStringLiteral("MessageBox_Draw"));
    box->button(QMessageBox::Yes)->setText(text("同意"));
    box->button(QMessageBox::Yes)->setObjectName(QStringLiteral("Button_Yes"));
    box->button(QMessageBox::No)->setText(text("不同意"));
    box->button(QMessageBox::No)->setObjectName(QStringLiteral("Button_No"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, box](int result) {
        if (m_drawBox != box)
            return;
        m_drawBox.clear();
        // An offer lapses when a stone is placed; the answer to it then goes nowhere.
        m_session->answerDraw(result == QMessageBox::Yes);
    });
    m_drawBox = box;
    box->open();
}

// Questions about an invitation or a draw that no longer stand.
void TForm_Gobang::closeQuestions()
{
    for (QPointer<QMessageBox> *box : {&m_invitationBox, &m_drawBox}) {
        if (QMessageBox *open = box->data()) {
            box->clear();
            open->close();
        }
    }
}

void TForm_Gobang::onGameStarted(GobangBoard::Stone)
{
    DrawGrid_Gobang->clearCells();
    DrawGrid_Gobang->setLastMove(0, 0);
    appendChat(
        {}, text("對局開始：%1 執黑，%2 執白。")
                .arg(m_session->colour() == GobangBoard::Black ? ownName() : fromWire(m_session->partnerNickname()),
                     m_session->colour() == GobangBoard::White ? ownName() : fromWire(m_session->partnerNickname())));
    showState();
}

void TForm_Gobang::onStonePlaced(int column, int row, GobangBoard::Stone stone)
{
    if (m_drawBox) {
        QMessageBox *box = m_drawBox;
        m_drawBox.clear();
        box->close();
    }
    DrawGrid_Gobang->setCell(column, row, stone);
    DrawGrid_Gobang->setLastMove(column, row);
    showState();
}

void TForm_Gobang::onGameEnded(Outcome outcome)
{
    closeQuestions();
    QString message = outcomeText(outcome);
    if (outcome == Outcome::Won || outcome == Outcome::Lost) {
        const bool blackWon = m_session->board().winner() == GobangBoard::Black;
        message = (blackWon ? text("黑棋") : text("白棋")) + text("連成五子，") + message;
    }
    setStatus(message);
    appendChat({}, message);
    showState();
}
