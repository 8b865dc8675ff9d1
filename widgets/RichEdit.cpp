#include "widgets/RichEdit.h"

#include "base/Cp950.h"
#include "richtext/DocumentPictures.h"
#include "richtext/JpegDecoder.h"
#include "richtext/PixelBudget.h"
#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"
#include "widgets/LinkHighlighter.h"

#include <algorithm>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeData>
#include <QMouseEvent>
#include <QPromise>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextDocumentFragment>
#include <QThread>
#include <QThreadPool>

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

bool isPictureFile(const QUrl &url)
{
    static const QStringList suffixes{QStringLiteral("bmp"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                      QStringLiteral("png")};
    return url.isLocalFile() && suffixes.contains(QFileInfo(url.toLocalFile()).suffix().toLower());
}

// Local picture files dropped from a file manager arrive as URLs. JPEG goes through libjpeg, like every
// picture file the user chooses.
QList<QImage> picturesFromFiles(const QMimeData *source)
{
    QList<QImage> pictures;
    for (const QUrl &url : source->urls()) {
        if (!isPictureFile(url))
            continue;
        const QString path = url.toLocalFile();
        const QString suffix = QFileInfo(path).suffix().toLower();
        QImage image;
        if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                image = JpegDecoder::decode(file.readAll());
        } else {
            QImageReader reader(path, suffix.toLatin1());
            image = reader.read();
        }
        if (!image.isNull())
            pictures.append(image);
    }
    return pictures;
}

bool hasPictureFiles(const QMimeData *source)
{
    const QList<QUrl> urls = source->urls();
    return std::any_of(urls.begin(), urls.end(), isPictureFile);
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

// Where a paragraph of text is divided: at the last place within LongParagraph characters where a line may
// wrap, else after UnbrokenPiece characters.
QList<int> divisions(const QString &text)
{
    QList<int> cuts;
    QTextBoundaryFinder wraps(QTextBoundaryFinder::Line, text);
    for (int start = 0; text.size() - start > RichEdit::LongParagraph;) {
        wraps.setPosition(start + RichEdit::LongParagraph);
        int cut = int(wraps.isAtBoundary() ? wraps.position() : wraps.toPreviousBoundary());
        if (cut <= start)
            cut = start + RichEdit::UnbrokenPiece;
        cuts.append(cut);
        start = cut;
    }
    return cuts;
}

// The reader needs no widgets, so a document can be read on a worker thread and handed over when done. It
// is deleted through the event loop of the thread it was handed to, whichever thread lets go of it last.
std::shared_ptr<QTextDocument> readInBackground(const QByteArray &text, PixelBudget pictures, QThread *receiver)
{
    std::shared_ptr<QTextDocument> document(new QTextDocument, [](QTextDocument *d) { d->deleteLater(); });
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document.get());
    RtfReader::insertText(cursor, text, &pictures);
    RichEdit::divideLongParagraphs(*document, 0, document->characterCount() - 1);
    document->moveToThread(receiver);
    return document;
}

} // namespace

RichEdit::RichEdit(QWidget *parent) : QTextEdit(parent), m_links(new LinkHighlighter(document()))
{
    setAcceptRichText(true);
    viewport()->setMouseTracking(true);
    // The highlighter follows the editor from document to document, so the editor owns it, not the first one.
    m_links->setParent(this);
    connect(&m_loading, &QFutureWatcher<LoadedDocument>::finished, this, &RichEdit::adoptLoadedDocument);
}

RichEdit::~RichEdit() = default;

void RichEdit::loadRtf(QByteArrayView rtf)
{
    RtfReader::load(*document(), rtf);
    moveCursor(QTextCursor::Start);
}

QByteArray RichEdit::saveRtf() const
{
    return RtfWriter::write(*document());
}

void RichEdit::insertText(QByteArrayView text)
{
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    RtfReader::insertText(cursor, text);
    cursor.endEditBlock();
    setTextCursor(cursor);
}

void RichEdit::showText(const QByteArray &text)
{
    stopLoading();
    clear();
    if (text.size() < BackgroundBytes) {
        insertText(text);
        moveCursor(QTextCursor::Start);
        Q_EMIT contentShown();
        return;
    }
    auto promise = std::make_shared<QPromise<LoadedDocument>>();
    m_loading.setFuture(promise->future());
    promise->start();
    // The budget is made here: the screens' pixel ratio is the user-interface thread's to read.
    QThreadPool::globalInstance()->start(
        [promise, text, receiver = thread(), pictures = PixelBudget(PixelBudget::DocumentPixels, devicePixelRatioF())] {
            promise->addResult(readInBackground(text, pictures, receiver));
            promise->finish();
        });
}

void RichEdit::stopLoading()
{
    // A watcher given another future no longer reports the old one; the old document is dropped unseen.
    m_loading.setFuture(QFuture<LoadedDocument>());
}

// The editor takes the read document in place of its own: a pointer swap, whatever the text's size.
void RichEdit::adoptLoadedDocument()
{
    const QFuture<LoadedDocument> future = m_loading.future();
    if (future.resultCount() == 0)
        return;
    const LoadedDocument loaded = future.result();
    m_loading.setFuture(QFuture<LoadedDocument>());

    const QTextDocument *own = document();
    loaded->setDefaultFont(own->defaultFont());
    loaded->setDocumentMargin(own->documentMargin());
    loaded->setDefaultTextOption(own->defaultTextOption());
    loaded->setUndoRedoEnabled(own->isUndoRedoEnabled());
    m_links->setDocument(loaded.get());
    // The editor deletes the document it made itself; one adopted earlier is let go of below.
    setDocument(loaded.get());
    m_adopted = loaded;
    m_addressesBlock = -1;
    moveCursor(QTextCursor::Start);
    Q_EMIT contentShown();
}

void RichEdit::divideLongParagraphs(QTextDocument &document, int from, int to)
{
    // From the last paragraph back, so that dividing one leaves the positions of those before it alone.
    if (from > to)
        return;
    const QTextBlock first = document.findBlock(from);
    QTextCursor cursor(&document);
    // One edit: outside an edit a cursor placed inside a paragraph asks for that paragraph's layout.
    cursor.beginEditBlock();
    for (QTextBlock block = document.findBlock(to); block.isValid();) {
        const QTextBlock previous = block.previous();
        if (block.length() > LongParagraph + 1) {
            const int start = block.position();
            const QList<int> cuts = divisions(block.text());
            for (auto cut = cuts.crbegin(); cut != cuts.crend(); ++cut) {
                cursor.setPosition(start + *cut);
                cursor.insertBlock();
            }
        }
        if (block == first)
            break;
        block = previous;
    }
    cursor.endEditBlock();
}

QString RichEdit::plainText() const
{
    return RtfWriter::plainText(*document());
}

QUrl RichEdit::linkAt(const QPoint &viewportPos) const
{
    const QString anchor = anchorAt(viewportPos);
    if (!anchor.isEmpty())
        return QUrl(anchor, QUrl::TolerantMode);

    // cursorForPosition snaps to the nearest character; only a point inside that character's box counts.
    const QTextCursor cursor = cursorForPosition(viewportPos);
    const QTextBlock block = cursor.block();
    const int inBlock = cursor.position() - block.position();
    // The pointer moves often over the same paragraph, which may be long.
    if (m_addressesBlock != block.blockNumber() || m_addressesRevision != block.revision()) {
        m_addressesBlock = block.blockNumber();
        m_addressesRevision = block.revision();
        m_addresses = WebAddress::find(block.text());
    }
    for (const WebAddress::Span &span : std::as_const(m_addresses)) {
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

QString RichEdit::linkTextAt(const QPoint &viewportPos) const
{
    const QString anchor = anchorAt(viewportPos);
    const QTextCursor cursor = cursorForPosition(viewportPos);
    const QTextBlock block = cursor.block();
    const int inBlock = cursor.position() - block.position();
    if (anchor.isEmpty()) {
        for (const WebAddress::Span &span : WebAddress::find(block.text())) {
            if (inBlock >= span.start && inBlock <= span.start + span.length)
                return block.text().mid(span.start, span.length);
        }
        return {};
    }
    // Formatting may split an anchor's text into several fragments; the run around the point is its text.
    QString text;
    bool holdsPoint = false;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QTextCharFormat format = fragment.charFormat();
        if (format.isAnchor() && format.anchorHref() == anchor) {
            const int start = fragment.position() - block.position();
            holdsPoint = holdsPoint || (inBlock >= start && inBlock <= start + fragment.length());
            text += fragment.text();
        } else if (holdsPoint) {
            break;
        } else {
            text.clear();
        }
    }
    return holdsPoint ? text : QString();
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
    const QTextCursor selection = textCursor();
    if (!selection.hasSelection())
        return QTextEdit::createMimeDataFromSelection();
    // Qt's own copy lists a fixed set of formats and would hide the RTF added to it.
    auto *mime = new QMimeData;
    {
        const std::unique_ptr<QMimeData> own(QTextEdit::createMimeDataFromSelection());
        for (const QString &format : own->formats())
            mime->setData(format, own->data(format));
    }

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
    mime->setData(RtfMimeTypes[0], RtfWriter::write(part));
    if (pictures == 1 && part.characterCount() == 2 && !onlyPicture.isNull())
        mime->setImageData(onlyPicture);
    return mime;
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
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && !pressed.isEmpty() && !dragged && linkAt(at) == pressed)
        Q_EMIT linkClicked(pressed, linkTextAt(at));
}

void RichEdit::updateCursorShape(const QPoint &viewportPos)
{
    if (linkAt(viewportPos).isEmpty())
        viewport()->setCursor(Qt::IBeamCursor);
    else
        viewport()->setCursor(Qt::PointingHandCursor);
}
