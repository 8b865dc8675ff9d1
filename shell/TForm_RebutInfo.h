#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QWidget>

class Anchors;
class QPushButton;
class QTextCursor;
class QTextEdit;
class SkinnedFrame;

// The notice window: everything the program has to tell the user piles up here, newest on top, until the
// user closes it. At most one exists; ShowNotice creates it when there is none.
class TForm_RebutInfo final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm_RebutInfo)

public:
    // Goes between two notices: one line of 29 equal signs in 8-point "MS Sans Serif".
    static constexpr char NoticeSeparator[] =
        R"({\rtf1\ansi\ansicpg950\deff0\deflang1033\deflangfe1028{\fonttbl{\f0\fnil\fcharset0 MS Sans Serif;})"
        R"({\f1\fnil\fcharset136 MS Sans Serif;}}\viewkind4\uc1\pard\f0\fs16 =============================)"
        R"(\lang1028\f1\par})";

    // Shows a notice: text is an RTF document or plain text, caption plain text, both code page 950.
    // The first notice opens the window above the taskbar; later ones go on top of the earlier ones,
    // below a separator, without moving the window or taking the keyboard focus.
    static void ShowNotice(const QByteArray &text, const QByteArray &caption);

    // A notice another host sent: inserted where the caret stands, without a separator, the caret left
    // behind it; opens the window as ShowNotice does when there is none.
    static void ShowReceivedNotice(const QByteArray &text, const QByteArray &caption);

    // The open notice window, or nullptr.
    static TForm_RebutInfo *instance();

    SkinnedFrame *suiForm1;
    QTextEdit *suiMemo_Info;
    QPushButton *suiButton_OK;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    TForm_RebutInfo();

    static TForm_RebutInfo *open(const QByteArray &caption, bool *created);
    void showPlaced();
    void raiseWithoutFocus();
    void insertText(QTextCursor &cursor, QByteArrayView text);
    void insertParagraphs(QTextCursor &cursor, QByteArrayView text);
    void moveCaretToStart();
    void suiButton_OKClick();

    Anchors *m_anchors;
};
