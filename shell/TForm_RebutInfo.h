#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QTextCursor>
#include <QWidget>

#include "richtext/PixelBudget.h"

#include <deque>

class Anchors;
class QPushButton;
class QTextEdit;
class SkinnedFrame;
class WindowRegistry;

// The notice window: everything the program has to tell the user piles up here, newest on top, until the
// user closes it. At most one is open, kept in the console's window registry; ShowNotice creates it when there
// is none.
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
    static void ShowNotice(WindowRegistry &windows, const QByteArray &text, const QByteArray &caption);

    // A notice another host sent: inserted where the caret stands, without a separator, the caret left
    // behind it; opens the window as ShowNotice does when there is none.
    static void ShowReceivedNotice(WindowRegistry &windows, const QByteArray &text, const QByteArray &caption);

    // Any host can make the program show notices, so the window keeps only the newest ones: beyond any of
    // these limits the oldest notices leave the area. A notice added on top moves every paragraph below it,
    // so the paragraphs kept bound what each new notice costs.
    static constexpr int MaxNotices = 300;
    static constexpr int MaxParagraphs = 5'000;
    static constexpr int MaxCharacters = 4'000'000;

    // All pictures of the notices kept share this many pixels; beyond it a picture shows as a placeholder of
    // its size until older notices leave and give theirs back.
    static constexpr qint64 PicturePixels = qint64(16) * 1024 * 1024;

    int noticeCount() const { return int(m_notices.size()); }
    const PixelBudget &pictureBudget() const { return m_pictures; }

    SkinnedFrame *suiForm1;
    QTextEdit *suiMemo_Info;
    QPushButton *suiButton_OK;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    TForm_RebutInfo();

    static TForm_RebutInfo *open(WindowRegistry &windows, const QByteArray &caption, bool *created);
    void showPlaced();
    void raiseWithoutFocus();
    void insertText(QTextCursor &cursor, QByteArrayView text);
    void insertParagraphs(QTextCursor &cursor, QByteArrayView text);
    void keep(int from, qint64 picturePixels);
    void dropOldNotices();
    void dropOldestNotice();
    void trimEnd();
    void forgetPictures(int from, int to);
    void moveCaretToStart();
    void suiButton_OKClick();

    // One shown notice, with the separator below it. The document keeps the cursor at the notice's start as
    // text is added or removed around it; text inserted right there pushes it on, so it stays behind whatever
    // goes in front of the notice.
    struct Notice
    {
        QTextCursor start;
        qint64 picturePixels = 0;
    };

    Anchors *m_anchors;
    PixelBudget m_pictures;
    std::deque<Notice> m_notices; // oldest first
};
