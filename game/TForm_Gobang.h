#pragma once

#include "game/GameSession.h"

#include <QPointer>
#include <QWidget>

struct ConsoleValues;
class GobangGrid;
class PacketTransport;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMessageBox;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class RichEdit;
class SkinnedFrame;

// The five-in-a-row window "妙手連珠": the board, the players on the network, a chat with the partner, an
// introduction to the game, and a title strip in which the introduction scrolls past. The game itself (the
// lobby, one partner, the moves) lives in its GameSession, which the console's game routing hands packets to.
class TForm_Gobang final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm_Gobang)

public:
    static constexpr int ClientWidth = 449;
    static constexpr int ClientHeight = 305;
    static constexpr int MovePanelWidth = 5365;
    static constexpr int TickInterval = 20; // ms

    // Broadcasts the query at once.
    TForm_Gobang(ConsoleValues &values, PacketTransport &transport, QWidget *parent = nullptr);
    ~TForm_Gobang() override;

    GameSession &session() { return *m_session; }
    // The introduction, of the strip and the "關於" tab.
    static QString introduction();
    static QStringList ruleLines();

    // The title strip.
    bool tickerDragging() const { return TickerDragging; }
    int tickerLeft() const { return TickerLeft; }

public Q_SLOTS:
    void Timer_MoveTimer();
    void suiButton3Click();         // "刷新"
    void suiButton_BeginClick();    // "開始": invites the chosen waiting player
    void suiButton_CancelClick();   // "取消"
    void suiButton_DrawGameClick(); // "和棋": offers a draw
    void suiButton1Click();         // "認輸"
    void suiButton2Click();         // "退出"
    void suiButton6Click();         // "發送": the chat text to the partner
    void DrawGrid_GobangMouseMove(int column, int row);
    void DrawGrid_GobangMouseDown(int column, int row);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildStatePanel(QWidget *page);
    void buildChatPanel(QWidget *page);
    void buildAboutPanel(QWidget *page);
    void buildTitleStrip();
    void FlatPanel_BCreate();
    void Panel_MoveMouseDown(int globalX);
    void Panel_MoveMouseMove(int globalX);
    void Panel_MoveMouseUp();

    void refreshPlayers();
    void showFront(QPushButton *button);
    void showState();
    void setStatus(const QString &text);
    void appendChat(const QString &who, const QString &text);
    void askInvitation(const QByteArray &address, const QByteArray &nickname);
    void askDraw();
    void closeQuestions();
    void onStonePlaced(int column, int row, GobangBoard::Stone stone);
    void onGameStarted(GobangBoard::Stone colour);
    void onGameEnded(GameSession::Outcome outcome);
    QString ownName() const;

    ConsoleValues &m_values;
    GameSession *m_session = nullptr;
    bool m_placed = false;
    bool m_closed = false;

    // Fields of the title strip.
    bool TickerDragging = false;
    int TickerDragX = 0;
    int TickerLeft = 0;

    SkinnedFrame *suiForm_Gobang = nullptr;
    QLabel *Image_Bar = nullptr;
    QToolButton *suiImageButton1 = nullptr;
    QFrame *FlatPanel_B = nullptr;
    QWidget *Panel_Broadcasting = nullptr;
    QWidget *Panel_Move = nullptr;
    RichEdit *RxRichEdit_Broadcasting = nullptr;
    QLabel *Image_Animate = nullptr;
    QTimer *Timer_Move = nullptr;
    int m_animationTicks = 0;

    QLabel *Image1 = nullptr;
    GobangGrid *DrawGrid_Gobang = nullptr;

    QTabWidget *suiTabControl1 = nullptr;
    QWidget *Panel_Stat = nullptr;
    QWidget *Panel_Chat = nullptr;
    QWidget *Panel_About = nullptr;

    QTreeWidget *fcTreeView_Users = nullptr;
    QLabel *FlatPanel2 = nullptr;
    QPushButton *suiButton3 = nullptr;
    QGroupBox *suiGroupBox1 = nullptr;
    QRadioButton *suiRadioButton_Black = nullptr;
    QRadioButton *suiRadioButton_White = nullptr;
    QLabel *Label_BlackName = nullptr;
    QLabel *Label_WhiteName = nullptr;
    QLabel *Label_Status = nullptr;
    QPushButton *suiButton_Begin = nullptr;
    QPushButton *suiButton_Cancel = nullptr;
    QPushButton *suiButton_DrawGame = nullptr;
    QPushButton *suiButton1 = nullptr;
    QPushButton *suiButton2 = nullptr;

    QPlainTextEdit *Memo_Chat = nullptr;
    QComboBox *ComboBox_Chat = nullptr;
    RichEdit *RxRichEdit_Chat = nullptr;
    QPushButton *suiButton6 = nullptr;

    QPlainTextEdit *Memo_Introduction = nullptr;
    QPlainTextEdit *Memo_Rules = nullptr;

    QPointer<QMessageBox> m_invitationBox;
    QPointer<QMessageBox> m_drawBox;
};
