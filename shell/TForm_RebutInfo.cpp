#include "shell/TForm_RebutInfo.h"

#include "base/Cp950.h"
#include "richtext/RtfReader.h"
#include "widgets/Anchors.h"
#include "widgets/Placement.h"
#include "widgets/RichEdit.h"
#include "widgets/SkinnedFrame.h"
#include "widgets/WindowRegistry.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFragment>
#include <QUrl>

namespace {

const QSize DesignSize(226, 152);

// Marks the paragraphs that are separators, so that the one left above a dropped notice goes with it.
constexpr int SeparatorState = 0x5e9;

} // namespace

TForm_RebutInfo::TForm_RebutInfo()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), suiForm1(new SkinnedFrame(this)),
      suiMemo_Info(new QTextEdit(suiForm1)), suiButton_OK(new QPushButton(QStringLiteral("確 定"), suiForm1)),
      m_anchors(new Anchors(suiForm1, DesignSize)), m_pictures(PicturePixels, devicePixelRatioF())
{
    setObjectName(QStringLiteral("Form_RebutInfo"));
    setAttribute(Qt::WA_DeleteOnClose);
    // A notice must not pull the keyboard away from what the user is typing elsewhere.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("信息"));
    setMinimumSize(130, 50);
    setMaximumSize(1024, 740);
    resize(DesignSize);

    suiForm1->setObjectName(QStringLiteral("suiForm1"));
    suiForm1->setGeometry(0, 0, DesignSize.width(), DesignSize.height());
    suiForm1->setCaption(QStringLiteral("信息"));
    suiForm1->setIconVisible(false);
    suiForm1->setBorderColor(QColor(127, 127, 127));
    suiForm1->setBorderWidth(1);
    suiForm1->setBodyColor(QColor(231, 231, 231));
    suiForm1->addTitleButton(TitleButtonKind::Minimize, QStringLiteral("最小化"));

    suiMemo_Info->setObjectName(QStringLiteral("suiMemo_Info"));
    suiMemo_Info->setGeometry(4, 27, 209, 66);
    suiMemo_Info->setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    suiMemo_Info->setReadOnly(false);
    // The narrow inset of the desktop this window was drawn for; with Qt's wider one the separator line wraps.
    suiMemo_Info->document()->setDocumentMargin(2);
    // Every notice would otherwise stay in the undo history for the window's life, dropped or not.
    suiMemo_Info->document()->setUndoRedoEnabled(false);
    // The area grows with the window so that a maximised window shows more notices.
    m_anchors->add(suiMemo_Info, Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);

    suiButton_OK->setObjectName(QStringLiteral("suiButton_OK"));
    suiButton_OK->setGeometry(63, 97, 90, 23);
    suiButton_OK->setFont(QFont(QStringLiteral("細明體"), 10));
    m_anchors->add(suiButton_OK, Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);
    connect(suiButton_OK, &QPushButton::clicked, this, &TForm_RebutInfo::suiButton_OKClick);
}

TForm_RebutInfo *TForm_RebutInfo::open(WindowRegistry &windows, const QByteArray &caption, bool *created)
{
    TForm_RebutInfo *window = windows.find<TForm_RebutInfo>();
    *created = !window;
    if (*created) {
        window = new TForm_RebutInfo;
        // Shown by the caller once the first notice is in, where it belongs.
        windows.add(window);
    }
    window->suiForm1->setCaption(cp950::decode(caption));
    return window;
}

void TForm_RebutInfo::ShowNotice(WindowRegistry &windows, const QByteArray &text, const QByteArray &caption)
{
    bool created = false;
    TForm_RebutInfo *window = open(windows, caption, &created);
    const qint64 spent = window->m_pictures.spent();
    QTextCursor cursor = window->suiMemo_Info->textCursor();
    // One edit, so that the area lays out the paragraphs below the new notice once rather than per step.
    cursor.beginEditBlock();
    if (created) {
        window->insertText(cursor, text);
    } else {
        cursor.setPosition(0);
        window->insertParagraphs(cursor, NoticeSeparator);
        cursor.setPosition(0);
        window->insertParagraphs(cursor, text);
        cursor.block().setUserState(SeparatorState);
    }
    cursor.endEditBlock();
    window->keep(0, window->m_pictures.spent() - spent);
    window->moveCaretToStart();
    if (created)
        window->showPlaced();
    else
        window->raiseWithoutFocus();
}

void TForm_RebutInfo::ShowReceivedNotice(WindowRegistry &windows, const QByteArray &text, const QByteArray &caption)
{
    bool created = false;
    TForm_RebutInfo *window = open(windows, caption, &created);
    QTextCursor cursor = window->suiMemo_Info->textCursor();
    // What the user selected gives way to the notice, as typing would replace it.
    const int from = cursor.selectionStart();
    const qint64 spent = window->m_pictures.spent();
    cursor.beginEditBlock();
    window->insertParagraphs(cursor, text);
    cursor.endEditBlock();
    window->suiMemo_Info->setTextCursor(cursor);
    window->keep(from, window->m_pictures.spent() - spent);
    if (created)
        window->showPlaced();
    else
        window->raiseWithoutFocus();
}

// Remembers where the notice just inserted at from begins and what its pictures cost, then drops what is
// beyond the limits.
void TForm_RebutInfo::keep(int from, qint64 picturePixels)
{
    QTextCursor start(suiMemo_Info->document());
    start.setPosition(from);
    m_notices.push_back(Notice{start, picturePixels});
    dropOldNotices();
}

void TForm_RebutInfo::dropOldNotices()
{
    const QTextDocument *document = suiMemo_Info->document();
    const auto tooMuch = [document] {
        return document->blockCount() > MaxParagraphs || document->characterCount() > MaxCharacters;
    };
    QTextCursor edit(suiMemo_Info->document());
    edit.beginEditBlock();
    while (m_notices.size() > MaxNotices || (m_notices.size() > 1 && tooMuch()))
        dropOldestNotice();
    edit.endEditBlock();
}

// A notice reaches from its start to the next start of another notice below it, or to the end.
void TForm_RebutInfo::dropOldestNotice()
{
    QTextCursor range = m_notices.front().start;
    m_pictures.refund(m_notices.front().picturePixels);
    m_notices.pop_front();
    int end = suiMemo_Info->document()->characterCount() - 1;
    for (const Notice &notice : m_notices) {
        if (notice.start.position() > range.position())
            end = std::min(end, notice.start.position());
    }
    forgetPictures(range.position(), end);
    range.setPosition(end, QTextCursor::KeepAnchor);
    range.removeSelectedText();
    trimEnd();
}

// A document keeps every picture resource it was given until it is cleared; the ones of a dropped notice are
// emptied so that their pixels go with it.
void TForm_RebutInfo::forgetPictures(int from, int to)
{
    QTextDocument *document = suiMemo_Info->document();
    for (QTextBlock block = document->findBlock(from); block.isValid() && block.position() < to; block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.position() >= from && fragment.position() < to && fragment.charFormat().isImageFormat())
                document->addResource(QTextDocument::ImageResource, QUrl(fragment.charFormat().toImageFormat().name()),
                                      QImage());
        }
    }
}

// A notice dropped from the bottom leaves behind the separator that stood above it; the notice above that
// becomes the last one and, like the first notice of a window, ends without a paragraph break.
void TForm_RebutInfo::trimEnd()
{
    QTextDocument *document = suiMemo_Info->document();
    QTextBlock last = document->lastBlock();
    if (last.text().isEmpty() && last.previous().userState() == SeparatorState)
        last = last.previous();
    if (last.userState() != SeparatorState || !last.previous().isValid())
        return;
    QTextCursor tail(document);
    tail.setPosition(last.position() - 1);
    tail.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    tail.removeSelectedText();
}

void TForm_RebutInfo::showPlaced()
{
    PlaceAboveTaskbar(this);
    show();
    repaint();
}

void TForm_RebutInfo::raiseWithoutFocus()
{
    // raise() only restacks; activateWindow() would take the focus.
    raise();
}

void TForm_RebutInfo::insertText(QTextCursor &cursor, QByteArrayView text)
{
    // Plain text takes the area's default font, not the format of the notice it lands in front of.
    cursor.setCharFormat(QTextCharFormat());
    const int from = cursor.selectionStart();
    RtfReader::insertText(cursor, text, &m_pictures);
    RichEdit::divideLongParagraphs(*suiMemo_Info->document(), from, cursor.position());
}

void TForm_RebutInfo::insertParagraphs(QTextCursor &cursor, QByteArrayView text)
{
    insertText(cursor, text);
    // The reader lets a document's last \par end its paragraph without breaking it, and plain text has none:
    // without a break here a notice would run into the line below it.
    if (!cursor.atBlockStart())
        cursor.insertBlock();
}

void TForm_RebutInfo::moveCaretToStart()
{
    QTextCursor cursor = suiMemo_Info->textCursor();
    cursor.setPosition(0);
    suiMemo_Info->setTextCursor(cursor);
    suiMemo_Info->ensureCursorVisible();
}

void TForm_RebutInfo::suiButton_OKClick()
{
    close();
}

void TForm_RebutInfo::closeEvent(QCloseEvent *event)
{
    // The window is deleted later, after the event loop runs again; a notice arriving before then opens a
    // new window rather than going into this closing one, since the registry forgets a hidden window.
    QWidget::closeEvent(event);
}

void TForm_RebutInfo::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    suiForm1->setGeometry(rect());
}
