#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QTextEdit>
#include <QUrl>

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

    // Paragraphs joined by CR LF.
    QString plainText() const;

    // The link under a point of the viewport: an anchor read from RTF, else a detected web address.
    QUrl linkAt(const QPoint &viewportPos) const;
    // The text that the link under a point shows: the anchor's run of text, or the detected address.
    QString linkTextAt(const QPoint &viewportPos) const;

Q_SIGNALS:
    // The target and the text the reader saw, which an anchor may have chosen freely.
    void linkClicked(const QUrl &url, const QString &text);

protected:
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;
    QMimeData *createMimeDataFromSelection() const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void updateCursorShape(const QPoint &viewportPos);

    LinkHighlighter *m_links;
    QUrl m_pressedLink;
    mutable int m_addressesBlock = -1;
    mutable int m_addressesRevision = -1;
    mutable QList<WebAddress::Span> m_addresses;
};
