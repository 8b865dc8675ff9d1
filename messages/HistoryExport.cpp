#include "messages/HistoryExport.h"

#include "base/Cp950.h"
#include "richtext/DocumentPictures.h"
#include "richtext/PixelBudget.h"
#include "richtext/RtfReader.h"

#include <QBuffer>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

namespace {

// Messages read from the store at a time: a long conversation is never held whole.
constexpr int ChunkSize = 200;

QString escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += QStringLiteral("&amp;");
            break;
        case u'<':
            out += QStringLiteral("&lt;");
            break;
        case u'>':
            out += QStringLiteral("&gt;");
            break;
        case u'"':
            out += QStringLiteral("&quot;");
            break;
        case u'\'':
            out += QStringLiteral("&#39;");
            break;
        case 0x2028:
            out += QStringLiteral("<br>");
            break;
        default:
            // Control characters have no business in a page and some browsers choke on them.
            if (c.unicode() < 0x20 && c != u'\t')
                out += u' ';
            else
                out += c;
        }
    }
    return out;
}

// A font family as CSS may take it inside a quoted string: anything but letters, digits and spaces goes.
QString cssFamily(const QString &family)
{
    QString safe;
    for (const QChar c : family)
        if (c.isLetterOrNumber() || c == u' ')
            safe += c;
    return safe.left(64);
}

QString spanStyle(const QTextCharFormat &format)
{
    QStringList style;
    if (format.fontWeight() >= QFont::Bold)
        style << QStringLiteral("font-weight:bold");
    if (format.fontItalic())
        style << QStringLiteral("font-style:italic");
    if (format.fontUnderline())
        style << QStringLiteral("text-decoration:underline");
    else if (format.fontStrikeOut())
        style << QStringLiteral("text-decoration:line-through");
    if (format.hasProperty(QTextFormat::ForegroundBrush) && format.foreground().style() != Qt::NoBrush)
        style << QStringLiteral("color:%1").arg(format.foreground().color().name());
    if (format.hasProperty(QTextFormat::BackgroundBrush) && format.background().style() != Qt::NoBrush)
        style << QStringLiteral("background:%1").arg(format.background().color().name());
    const qreal points = format.fontPointSize();
    if (points > 0)
        style << QStringLiteral("font-size:%1pt").arg(qBound(1.0, points, 200.0));
    const QStringList families = format.fontFamilies().toStringList();
    if (!families.isEmpty() && !cssFamily(families.first()).isEmpty())
        style << QStringLiteral("font-family:'%1'").arg(cssFamily(families.first()));
    return style.join(u';');
}

QString imageHtml(const QTextDocument &document, const QTextImageFormat &format)
{
    const QImage image = DocumentPictures::imageOf(document, format);
    if (image.isNull())
        return QStringLiteral("[圖片]");
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const int width = qRound(format.width() > 0 ? format.width() : image.width());
    const int height = qRound(format.height() > 0 ? format.height() : image.height());
    return QStringLiteral("<img width=\"%1\" height=\"%2\" alt=\"\" src=\"data:image/png;base64,%3\">")
        .arg(width)
        .arg(height)
        .arg(QString::fromLatin1(png.toBase64()));
}

QString alignment(Qt::Alignment align)
{
    if (align & Qt::AlignHCenter)
        return QStringLiteral(" style=\"text-align:center\"");
    if (align & Qt::AlignRight)
        return QStringLiteral(" style=\"text-align:right\"");
    return {};
}

QString shownName(const HistoryStore::Entry &entry)
{
    const QString nickname = cp950::decode(entry.nickname);
    const QString address = cp950::decode(entry.peer);
    return nickname.isEmpty() ? address : QStringLiteral("%1 (%2)").arg(nickname, address);
}

QString entryHtml(const HistoryStore::Entry &entry)
{
    QTextDocument document;
    // Each message is read on its own, with a fresh budget for its pictures, and forgotten after.
    PixelBudget pictures;
    if (RtfReader::isRtf(entry.rtf))
        RtfReader::load(document, entry.rtf, &pictures);
    else
        document.setPlainText(entry.rtf.isEmpty() ? entry.text : cp950::decode(entry.rtf));
    const bool sent = entry.direction == HistoryStore::Direction::Sent;
    return QStringLiteral("<div class=\"m %1\"><div class=\"h\"><span class=\"t\">%2</span> %3%4</div>"
                          "<div class=\"b\">%5</div></div>\n")
        .arg(sent ? QStringLiteral("sent") : QStringLiteral("received"),
             entry.time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), sent ? QStringLiteral("我 → ") : QString(),
             escaped(shownName(entry)), HistoryExport::documentToHtml(document));
}

} // namespace

QString HistoryExport::documentToHtml(const QTextDocument &document)
{
    QString html;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        html += QStringLiteral("<p%1>").arg(alignment(block.blockFormat().alignment()));
        bool empty = true;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            empty = false;
            const QTextCharFormat format = fragment.charFormat();
            if (format.isImageFormat()) {
                // One image per object character.
                for (int i = 0; i < fragment.length(); ++i)
                    html += imageHtml(document, format.toImageFormat());
                continue;
            }
            const QString style = spanStyle(format);
            const QString text = escaped(fragment.text());
            html += style.isEmpty() ? text : QStringLiteral("<span style=\"%1\">%2</span>").arg(style, text);
        }
        if (empty)
            html += QStringLiteral("<br>");
        html += QStringLiteral("</p>");
    }
    return html;
}

bool HistoryExport::write(HistoryStore &history, HistoryStore::Kinds kinds, const QByteArray &peer,
                          const QString &title, const QString &fileName, QString *error,
                          const std::function<bool(qint64 done, qint64 total)> &progress)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QString head =
        QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-Hant\"><head><meta charset=\"utf-8\">"
                       "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; img-src data:; "
                       "style-src 'unsafe-inline'\"><title>%1</title>"
                       "<style>body{font-family:'細明體','PMingLiU',serif;font-size:10pt;margin:1em 2em}"
                       ".m{margin:0 0 .8em}.h{background:#e8eef7;padding:2px 4px;color:#1f3f7a}"
                       ".sent .h{background:#eaf5e8;color:#2a6a2a}.t{color:#666;margin-right:.6em}"
                       ".b{padding:2px 4px}.b p{margin:0}</style></head>\n<body><h1>%1</h1>\n")
            .arg(escaped(title));
    file.write(head.toUtf8());
    const qint64 total = history.count(kinds, peer);
    for (qint64 offset = 0; offset < total; offset += ChunkSize) {
        const QList<HistoryStore::Entry> entries = history.messages(kinds, peer, offset, ChunkSize);
        if (entries.isEmpty())
            break;
        for (const HistoryStore::Entry &entry : entries)
            file.write(entryHtml(entry).toUtf8());
        if (progress && !progress(qMin(total, offset + ChunkSize), total)) {
            file.cancelWriting();
            file.commit();
            if (error)
                *error = QStringLiteral("已取消");
            return false;
        }
    }
    file.write(QByteArrayLiteral("</body></html>\n"));
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
