#include "richtext/DocumentPictures.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <QVariant>

namespace DocumentPictures {

QTextImageFormat add(QTextDocument &document, const QImage &image, QSizeF displaySize)
{
    // A per-document counter keeps names unique even when pictures are inserted into a document that
    // already holds some read from another RTF text.
    const int serial = document.property("parlunePictureSerial").toInt() + 1;
    document.setProperty("parlunePictureSerial", serial);
    const QString name = QStringLiteral("parlune-picture:%1").arg(serial);
    document.addResource(QTextDocument::ImageResource, QUrl(name), QVariant(image));

    if (displaySize.isEmpty())
        displaySize = image.size();
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(displaySize.width());
    format.setHeight(displaySize.height());
    return format;
}

void insert(QTextCursor &cursor, const QImage &image, QSizeF displaySize)
{
    QTextDocument *document = cursor.document();
    if (!document)
        return;
    cursor.insertImage(add(*document, image, displaySize));
}

QImage imageOf(const QTextDocument &document, const QTextImageFormat &format)
{
    return document.resource(QTextDocument::ImageResource, QUrl(format.name())).value<QImage>();
}

} // namespace DocumentPictures
