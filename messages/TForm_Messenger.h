#pragma once

#include "messages/MessageSender.h"
#include "messages/MessengerDeps.h"

#include <QFont>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

class QAbstractButton;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QToolButton;
class FaceMenu;
class RichEdit;
class SkinnedFrame;

// The one window for reading received chat messages and writing new ones. Its mode is the visibility of
// the send button: shown means composing, hidden means reading; there is no other flag.
class TForm_Messenger final : public QWidget, private SendProgress
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm_Messenger)

public:
    static constexpr int DesignWidth = 226;
    static constexpr int DesignHeight = 152;
    static constexpr int NarrowestWidth = 206;
    // Border and title bar of the skinned frame.
    static constexpr int BodyTop = 25;
    static constexpr int StripHeight = 30;
    static constexpr int FaceSize = 32;
    enum TitleButton { ControlBox = 0, Close = 1, Maximize = 2, Later = 3, Info = 4, Friends = 5 };

    explicit TForm_Messenger(const MessengerDeps &deps);
    ~TForm_Messenger() override;

    // The console's command "發送信息": raises an open window, else shows the oldest unread message, else
    // opens a new message with whatever was put aside.
    static void MenuItem_SendMessageClick(const MessengerDeps &deps);
    // A new window in read mode for the current row of the message table.
    static TForm_Messenger *OpenForReading(const MessengerDeps &deps);
    // A new window in compose mode with the put-aside message.
    static TForm_Messenger *OpenForComposing(const MessengerDeps &deps);

    bool isComposing() const;
    bool isStripOpen() const { return m_stripOpen; }
    // The message-table row the window was opened with in read mode; -1 when none (or the table was emptied).
    int openedMessage() const { return m_openedMessage; }
    QAbstractButton *titleButton(int index) const;
    // 32 × 32 faces of the friend list; index 0 is the default face.
    const QList<QPixmap> &ImageList_Mien() const { return m_mien; }
    static QPixmap defaultFace();

    // Widths under 206 are raised to 206.
    bool FormCanResize(int &newWidth, int &newHeight) const;

Q_SIGNALS:
    // The history of the conversation with this peer (empty when none is known) was asked for.
    void historyRequested(const QByteArray &address);
    // The title bar's "Info" while composing: the console announces the presence anew.
    void presenceRefreshRequested();
    // "發送信息" opened the last unread message: the tray stops flashing and shows the program icon.
    void lastUnreadOpened();
    // A message went out whole: to this address, under the recipient's nickname as far as it is known.
    void messageSent(const QByteArray &address, const QByteArray &nickname, const QByteArray &rtf);

public Q_SLOTS:
    void suiButton_CloseClick();
    void suiButton_RecordClick();
    void suiButton_MessageClick();
    void suiImageButton_PriorClick();
    void suiImageButton_NextClick();
    void suiButton_ReplyClick();
    void suiButton_SendClick();
    void suiRadioButton_FontClick();
    void suiButton_UpdataClick();
    void suiButton_CancelClick();
    void suiForm_MessageTitleBarCustomBtnsClick(int index);
    void ImageCloseClick();
    void RxRichEdit_ContentURLClick(const QUrl &url, const QString &text);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormShow();
    void FormCloseQuery();
    bool RxRichEdit_ContentKeyDown(QKeyEvent *event);
    void RxRichEdit_ContentMouseDown();
    void suiListView_FriendMouseDown(Qt::MouseButton button);
    void onTitleButtonClicked(int index);
    void openLink(const QUrl &url);
    // The peer of the message on display, or the recipient being written to.
    QByteArray historyPeer() const;

    void buildControls();
    void relayout();
    void setStripOpen(bool open);
    void showCurrentRecord();
    void insertContent(const QByteArray &content);
    void giveEditorDefaultFont();
    void caretToStart();
    QByteArray editorRtf() const;
    QString editorPlainText() const;
    std::optional<QByteArray> resolveRecipient(const QString &recipient) const;
    QByteArray recipientNickname(const QByteArray &address) const;
    QPixmap faceOf(const QByteArray &bmp) const;

    // SendProgress
    void beginPieces(int pieces) override;
    void setPiece(int piece) override;
    void sendFailed() override;

    MessengerDeps m_deps;
    int m_openedMessage = -1;
    // The table was emptied after the window was opened with a message: the later button marks nothing.
    bool m_openedMessageGone = false;
    bool m_stripOpen = false;
    // The editor's own font: the default message font when composing began.
    QFont m_editorFont;
    QList<QPixmap> m_mien;

    SkinnedFrame *suiForm_Message = nullptr;
    QLineEdit *FlatEdit_IP = nullptr;
    QFrame *XPTask_Info = nullptr;
    QLabel *m_infoLabel = nullptr;
    QLabel *Panel_Info = nullptr;
    QProgressBar *Gauge_Progress = nullptr;
    QLabel *ImageClose = nullptr;
    RichEdit *RxRichEdit_Content = nullptr;
    FaceMenu *m_faceMenu = nullptr;
    QPushButton *suiButton_Close = nullptr;
    QPushButton *suiButton_Record = nullptr;
    QPushButton *suiButton_Message = nullptr;
    QToolButton *suiImageButton_Prior = nullptr;
    QToolButton *suiImageButton_Next = nullptr;
    QRadioButton *suiRadioButton_Font = nullptr;
    QPushButton *suiButton_Reply = nullptr;
    QPushButton *suiButton_Send = nullptr;
    QFrame *Panel5 = nullptr;
    QListWidget *suiListView_Friend = nullptr;
    QPushButton *suiButton_Updata = nullptr;
    QPushButton *suiButton_Info = nullptr;
    QPushButton *suiButton_Cancel = nullptr;
    QPushButton *suiButton_OK = nullptr;
    // The right-click menu of "聊天記錄" and "信息", leading to the history window.
    QMenu *PopupMenu_Record = nullptr;
    QByteArray m_shownPeer;
};
