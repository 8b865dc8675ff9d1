#include "widgets/LinkHighlighter.h"

#include <QRegularExpression>
#include <QTextCharFormat>

namespace WebAddress {

QList<Span> find(QStringView text)
{
    // Only ASCII address characters, so the match is linear and stops at CJK text and pictures (U+FFFC).
    static const QRegularExpression pattern(
        QStringLiteral("(?:\\b(?:https?|ftp)://|\\bwww\\.|\\bmailto:)[A-Za-z0-9\\-._~:/?#\\[\\]@!$&'()*+,;=%]+"),
        QRegularExpression::CaseInsensitiveOption);
    static const QString trailing = QStringLiteral(".,;:!?'\")]");

    QList<Span> spans;
    auto matches = pattern.globalMatch(text);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const int start = int(match.capturedStart());
        int length = int(match.capturedLength());
        while (length > 0 && trailing.contains(text[start + length - 1]))
            --length;
        const QString address = text.mid(start, length).toString();
        const qsizetype schemeEnd = address.indexOf(QLatin1Char(':'));
        // A scheme with nothing after it ("http://", "www.") is no address yet.
        const bool bare = address.compare(QLatin1String("www."), Qt::CaseInsensitive) == 0 ||
                          address.endsWith(QLatin1String("://")) || schemeEnd == address.size() - 1;
        if (bare)
            continue;
        // "www." addresses have no scheme; the web is what people mean by them.
        const QUrl url = address.startsWith(QLatin1String("www."), Qt::CaseInsensitive)
                             ? QUrl(QStringLiteral("http://") + address, QUrl::TolerantMode)
                             : QUrl(address, QUrl::TolerantMode);
        if (url.isValid())
            spans.append({start, length, url});
    }
    return spans;
}

bool mayOpen(const QUrl &target)
{
    if (!target.isValid())
        return false;
    const QString scheme = target.scheme();
    if (scheme == QLatin1String("mailto"))
        return !target.path().isEmpty();
    const bool hosted =
        scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("ftp");
    return hosted && !target.host().isEmpty();
}

bool textIsTarget(QStringView text, const QUrl &target)
{
    const QStringView shown = text.trimmed();
    // Mail programs show a mail link as the bare address.
    if (target.scheme() == QLatin1String("mailto") && shown == target.path())
        return true;
    const QList<Span> spans = find(shown);
    if (spans.size() != 1 || spans[0].start != 0 || spans[0].length != shown.size())
        return false;
    // "http://a.example" and "http://a.example/" name the same page.
    auto normalized = [](const QUrl &url) {
        QUrl plain = url.adjusted(QUrl::StripTrailingSlash | QUrl::NormalizePathSegments);
        if (plain.path().isEmpty() && !plain.host().isEmpty())
            plain.setPath(QStringLiteral("/"));
        return plain;
    };
    return normalized(spans[0].url) == normalized(target);
}

} // namespace WebAddress

LinkHighlighter::LinkHighlighter(QTextDocument *document) : QSyntaxHighlighter(document) {}

void LinkHighlighter::highlightBlock(const QString &text)
{
    QTextCharFormat link;
    link.setForeground(QColor(Qt::blue));
    link.setFontUnderline(true);
    for (const WebAddress::Span &span : WebAddress::find(text))
        setFormat(span.start, span.length, link);
}
