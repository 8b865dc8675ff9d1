#include "widgets/RichEdit.h"

#include "engine/Cp950.h"
#include "widgets/LinkHighlighter.h"
#include "widgets/richtext/DocumentPictures.h"
#include "widgets/richtext/RtfReader.h"
#include "widgets/richtext/RtfWriter.h"

#include <QApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeData>
#include <QMouseEvent>
#include <QTextBlock>
#include <QTextDocumentFragment>

namespace {

const QString RtfMimeTypes[] = {QStringLiteral("text/rtf"), QStringLiteral("application/rtf"),
                                QStringLiteral("text/richtext")};

QString rtfMimeType(const QMimeData *source)
{
    for (const QString &type : RtfMimeTypes) {
        if (source->hasFormat(type))
            return type;
    }
    return {};
}

// Local picture files dropped from a file manager arrive as URLs.
QList<QImage> picturesFromFiles(const QMimeData *source)
{
    QList<QImage> pictures;
    for (const QUrl &url : source->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString suffix = QFileInfo(url.toLocalFile()).suffix().toLower();
        if (suffix != QLatin1String("bmp") && suffix != QLatin1String("png"))
            continue;
        QImageReader reader(url.toLocalFile(), suffix.toLatin1());
        const QImage image = reader.read();
        if (!image.isNull())
            pictures.append(image);
    }
    return pictures;
}

bool hasPictureFiles(const QMimeData *source)
{
    const QList<QUrl> urls = source->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl &url) {
        const QString suffix = QFileInfo(url.toLocalFile()).suffix().toLower();
        return url.isLocalFile() && (suffix == QLatin1String("bmp") || suffix == QLatin1String("png"));
    });
}

// Rich text from other programs keeps its emphasis and colour but not their fonts, sizes, tables and
// backgrounds, which would make a chat message look foreign.
void insertSimplifiedHtml(QTextCursor &cursor, const QString &html)
{
    QTextDocument source;
    source.setHtml(html);
    const QTextCharFormat base = cursor.charFormat();
    // Tables and divisions leave empty paragraphs around the text; they are no part of what was copied.
    QTextBlock first = source.begin();
    while (first.isValid() && first.text().trimmed().isEmpty())
        first = first.next();
    QTextBlock last = source.lastBlock();
    while (last.isValid() && last != first && last.text().trimmed().isEmpty())
        last = last.previous();
    if (!first.isValid())
        return;
    bool firstBlock = true;
    for (QTextBlock block = first; block.isValid() && block.blockNumber() <= last.blockNumber(); block = block.next()) {
        if (!firstBlock)
            cursor.insertBlock();
        firstBlock = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid() || fragment.charFormat().isImageFormat())
                continue;
            const QTextCharFormat from = fragment.charFormat();
            QTextCharFormat format = base;
            format.setFontWeight(from.fontWeight() >= QFont::DemiBold ? QFont::Bold : QFont::Normal);
            format.setFontItalic(from.fontItalic());
            format.setFontUnderline(from.fontUnderline());
            format.setFontStrikeOut(from.fontStrikeOut());
            if (from.hasProperty(QTextFormat::ForegroundBrush))
                format.setForeground(from.foreground());
            QString text = fragment.text();
            text.replace(QChar::LineSeparator, QLatin1Char('\n'));
            text.remove(QChar::ObjectReplacementCharacter);
            cursor.insertText(text, format);
        }
    }
}

} // namespace

RichEdit::RichEdit(QWidget *parent) : QTextEdit(parent), m_links(new LinkHighlighter(document()))
{
    setAcceptRichText(true);
    viewport()->setMouseTracking(true);
}

RichEdit::~RichEdit() = default;

void RichEdit::loadRtf(QByteArrayView rtf)
{
    RtfReader::load(*document(), rtf);
    moveCursor(QTextCursor::Start);
}

QByteArray RichEdit::saveRtf() const { return RtfWriter::write(*document()); }

void RichEdit::insertText(QByteArrayView text)
{
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    RtfReader::insertText(cursor, text);
    cursor.endEditBlock();
    setTextCursor(cursor);
}

QString RichEdit::plainText() const { return RtfWriter::plainText(*document()); }

QUrl RichEdit::linkAt(const QPoint &viewportPos) const
{
    const QString anchor = anchorAt(viewportPos);
    if (!anchor.isEmpty())
        return QUrl(anchor, QUrl::TolerantMode);

    // cursorForPosition snaps to the nearest character; only a point inside that character's box counts.
    const QTextCursor cursor = cursorForPosition(viewportPos);
    const QTextBlock block = cursor.block();
    const int inBlock = cursor.position() - block.position();
    for (const WebAddress::Span &span : WebAddress::find(block.text())) {
        if (inBlock < span.start || inBlock > span.start + span.length)
            continue;
        QTextCursor first(block);
        first.setPosition(block.position() + span.start);
        QTextCursor last(block);
        last.setPosition(block.position() + span.start + span.length);
        const QRect from = cursorRect(first);
        const QRect to = cursorRect(last);
        // Addresses may wrap; accept any line between the first and last character.
        const bool onFirstLine = viewportPos.y() >= from.top() && viewportPos.y() <= from.bottom();
        const bool onLastLine = viewportPos.y() >= to.top() && viewportPos.y() <= to.bottom();
        if (onFirstLine && onLastLine) {
            if (viewportPos.x() >= from.left() && viewportPos.x() < to.left())
                return span.url;
        } else if ((onFirstLine && viewportPos.x() >= from.left()) || (onLastLine && viewportPos.x() < to.left()) ||
                   (viewportPos.y() > from.bottom() && viewportPos.y() < to.top())) {
            return span.url;
        }
    }
    return {};
}

bool RichEdit::canInsertFromMimeData(const QMimeData *source) const
{
    return source->hasImage() || hasPictureFiles(source) || !rtfMimeType(source).isEmpty() ||
           QTextEdit::canInsertFromMimeData(source);
}

void RichEdit::insertFromMimeData(const QMimeData *source)
{
    if (isReadOnly())
        return;
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();

    const QString rtfType = rtfMimeType(source);
    const QString plain = source->hasText() ? source->text().trimmed() : QString();
    const QList<QImage> files = hasPictureFiles(source) ? picturesFromFiles(source) : QList<QImage>();
    if (!rtfType.isEmpty()) {
        RtfReader::insertRtf(cursor, source->data(rtfType));
    } else if (source->hasImage() && plain.isEmpty()) {
        // Pictures copied from a browser also carry an <img> as HTML; the picture itself is what is meant.
        DocumentPictures::insert(cursor, qvariant_cast<QImage>(source->imageData()));
    } else if (!files.isEmpty()) {
        for (const QImage &picture : files)
            DocumentPictures::insert(cursor, picture);
    } else if (source->hasHtml() && acceptRichText()) {
        insertSimplifiedHtml(cursor, source->html());
    } else if (source->hasImage()) {
        DocumentPictures::insert(cursor, qvariant_cast<QImage>(source->imageData()));
    } else if (source->hasText()) {
        cursor.insertText(source->text());
    }
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
}

QMimeData *RichEdit::createMimeDataFromSelection() const
{
    QMimeData *data = QTextEdit::createMimeDataFromSelection();
    const QTextCursor selection = textCursor();
    if (!selection.hasSelection())
        return data;

    // A copy as RTF carries the pictures, which the HTML copy only names.
    QTextDocument part;
    part.setDefaultFont(document()->defaultFont());
    QTextCursor into(&part);
    into.insertFragment(selection.selection());
    QImage onlyPicture;
    int pictures = 0;
    for (QTextBlock block = part.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QTextImageFormat image = format.toImageFormat();
            onlyPicture = DocumentPictures::imageOf(*document(), image);
            part.addResource(QTextDocument::ImageResource, QUrl(image.name()), QVariant(onlyPicture));
            pictures += it.fragment().length();
        }
    }
    data->setData(RtfMimeTypes[0], RtfWriter::write(part));
    if (pictures == 1 && part.characterCount() == 2 && !onlyPicture.isNull())
        data->setImageData(onlyPicture);
    return data;
}

void RichEdit::mousePressEvent(QMouseEvent *event)
{
    m_pressedLink = event->button() == Qt::LeftButton ? linkAt(event->position().toPoint()) : QUrl();
    QTextEdit::mousePressEvent(event);
}

void RichEdit::mouseMoveEvent(QMouseEvent *event)
{
    updateCursorShape(event->position().toPoint());
    QTextEdit::mouseMoveEvent(event);
}

void RichEdit::mouseReleaseEvent(QMouseEvent *event)
{
    const QUrl pressed = std::exchange(m_pressedLink, QUrl());
    const bool dragged = textCursor().hasSelection();
    QTextEdit::mouseReleaseEvent(event);
    // A press that became a selection is not a click on the link.
    if (event->button() == Qt::LeftButton && !pressed.isEmpty() && !dragged &&
        linkAt(event->position().toPoint()) == pressed)
        Q_EMIT linkClicked(pressed);
}

void RichEdit::updateCursorShape(const QPoint &viewportPos)
{
    if (linkAt(viewportPos).isEmpty())
        viewport()->setCursor(Qt::IBeamCursor);
    else
        viewport()->setCursor(Qt::PointingHandCursor);
}
