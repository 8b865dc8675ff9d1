#pragma once

#include "admin/transfer/TransferTypes.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QWidget>

class DragTable;
class DropDownComboBox;
class FileTransfer;
class FriendTable;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;
class SkinnedFrame;

// The send-file list: files dropped on it (or chosen with "添加") are listed with their size, and "發送"
// offers them all to the chosen friend. While they go, a bar over the size cell of the file on its way
// shows how far it is, and "發送" cancels.
class TForm_SendFile final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm_SendFile)

public:
    static constexpr int DesignWidth = 226;
    static constexpr int DesignHeight = 152;
    static constexpr int NarrowestWidth = 206;
    static constexpr int FileNameWidth = 124;
    static constexpr int StaeWidth = 62;
    // Longer paths are cut to this many characters, as the shell's drop buffer did.
    static constexpr int MaxPathChars = 254;
    static const QString FileFilter;
    static const QColor HotTrackColor;
    static const QColor BarColor;

    TForm_SendFile(FriendTable &friends, FileTransfer &transfer, QWidget *parent = nullptr);
    ~TForm_SendFile() override;

    // The drop procedure: lists the files one by one in the given order; a file whose size cannot be read
    // stops it there with an error box.
    void addFiles(const QStringList &paths);

    const DragTable &RxMemoryData_Drag() const { return *m_drag; }
    bool isSending() const { return !m_offerId.isEmpty(); }

public Q_SLOTS:
    void suiButton1Click();
    void suiButton_DelClick();
    void suiButton3Click();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void relayout();
    void FormShow();
    void fillRecipients();
    void updateCount();
    void selectRow(int row);
    void tell(const QString &text);
    void showError(const QString &text);
    QByteArray recipientAddress() const;
    void setSending(const QByteArray &offerId);

    void offerAnswered(const QByteArray &id, bool accepted);
    void progress(const QByteArray &id, Transfer::Direction direction, int index, qint64 done, qint64 total);
    void fileFinished(const QByteArray &id, Transfer::Direction direction, int index);
    void transferEnded(const QByteArray &id, Transfer::Direction direction, Transfer::Outcome outcome);
    void placeBar();

    FriendTable &m_friends;
    FileTransfer &m_transfer;
    DragTable *m_drag;

    // The offer on its way (empty when none) and the rows of its files, in offer order.
    QByteArray m_offerId;
    QList<int> m_sentRows;
    int m_barRow = -1;

    SkinnedFrame *suiForm1 = nullptr;
    DropDownComboBox *FlatComboBox_IP = nullptr;
    QLabel *Label_FileName = nullptr;
    QLabel *Label_Stae = nullptr;
    QLabel *Panel_Count = nullptr;
    QTableView *DBGrid_Drag = nullptr;
    QProgressBar *ProgressBar_Send = nullptr;
    QPushButton *suiButton1 = nullptr;
    QPushButton *suiButton_Del = nullptr;
    QPushButton *suiButton3 = nullptr;
};
