#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFutureWatcher>
#include <QList>
#include <QTextEdit>
#include <QUrl>

#include <memory>

#include "widgets/LinkHighlighter.h"

// The rich-text editor of every message, broadcast and notice: a QTextEdit whose content is read from
// and written to RTF in code page 950. Web addresses in the text are shown as links and reported when
// clicked, in read-only mode as well; the window decides whether to open them.
class RichEdit final : public QTextEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RichEdit)

public:
    explicit RichEdit(QWidget *parent = nullptr);
    ~RichEdit() override;

    // Replaces the whole content with the RTF document.
    void loadRtf(QByteArrayView rtf);
    QByteArray saveRtf() const;

    // Replaces the selection with the text: an RTF document when it begins with "{\rtf", else plain
    // code page 950 text. The caret ends after what was inserted.
    void insertText(QByteArrayView text);

    // Texts at least this long are read away from the user-interface thread by showText.
    static constexpr qsizetype BackgroundBytes = 256 * 1024;

    // Replaces the whole content with the text, read as insertText reads it. A long text is read on a worker
    // thread, so that a message of many megabytes does not stop the program; it appears, with the caret at
    // its start, when it has been read, and contentShown() tells when. Until then the editor is empty.
    void showText(const QByteArray &text);
    // Forgets a text that showText is still reading; it will not appear.
    void stopLoading();
    bool isLoading() const { return m_loading.isRunning(); }

    // Paragraphs joined by CR LF.
    QString plainText() const;

    // Laying out a paragraph is one step that nothing can interrupt, and a run of characters without a place
    // to wrap costs time with the square of its length. Paragraphs of the document between from and to that
    // are longer than LongParagraph characters are divided into paragraphs at places where a line may wrap,
    // of at most LongParagraph characters each, or UnbrokenPiece where there is no such place.
    static constexpr int LongParagraph = 2048;
    static constexpr int UnbrokenPiece = 1024;
    static void divideLongParagraphs(QTextDocument &document, int from, int to);

    // The link under a point of the viewport: an anchor read from RTF, else a detected web address.
    QUrl linkAt(const QPoint &viewportPos) const;
    // The text that the link under a point shows: the anchor's run of text, or the detected address.
    QString linkTextAt(const QPoint &viewportPos) const;

Q_SIGNALS:
    // The target and the text the reader saw, which an anchor may have chosen freely.
    void linkClicked(const QUrl &url, const QString &text);
    void contentShown();

protected:
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;
    QMimeData *createMimeDataFromSelection() const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    using LoadedDocument = std::shared_ptr<QTextDocument>;

    void updateCursorShape(const QPoint &viewportPos);
    void adoptLoadedDocument();

    LinkHighlighter *m_links;
    QFutureWatcher<LoadedDocument> m_loading;
    LoadedDocument m_adopted; // the document shown, when it was read by showText in the background
    QUrl m_pressedLink;
    mutable int m_addressesBlock = -1;
    mutable int m_addressesRevision = -1;
    mutable QList<WebAddress::Span> m_addresses;
};
