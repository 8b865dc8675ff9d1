#pragma once

#include <QList>
#include <QStringView>
#include <QSyntaxHighlighter>
#include <QUrl>

// Web addresses in running text: "http://", "https://", "ftp://", "www." and "mailto:" up to the first
// character that cannot be part of an address (space, CJK text, a picture); trailing punctuation is
// left to the sentence.
namespace WebAddress {

struct Span
{
    int start = 0;
    int length = 0;
    QUrl url;
};

QList<Span> find(QStringView text);

// Whether a click may hand the target to the desktop: web, mail and file-transfer addresses only. Other
// schemes (file:, smb:, handlers that programs register) would let whoever wrote the message open
// files or start programs on this host.
bool mayOpen(const QUrl &target);

// Whether the visible text of a link is the address it opens, so that the click holds no surprise.
bool textIsTarget(QStringView text, const QUrl &target);

} // namespace WebAddress

// Shows detected web addresses as links. The look lives in the layout only, never in the document's
// character formats, so the RTF saved from the document is the same with or without detection.
class LinkHighlighter final : public QSyntaxHighlighter
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LinkHighlighter)

public:
    explicit LinkHighlighter(QTextDocument *document);

protected:
    void highlightBlock(const QString &text) override;
};
