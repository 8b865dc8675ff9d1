#pragma once

#include <QImage>
#include <QString>
#include <QTextImageFormat>

class QTextCursor;
class QTextDocument;

// How a picture lives inside a QTextDocument, shared by the RTF reader, the writer and the editor:
// the image is a document resource under a "parlune-picture:" URL, and the image format's width and height
// are the size it is shown at (logical pixels at 96 dpi, 15 twips each).
namespace DocumentPictures {

inline constexpr int TwipsPerPixel = 15;

// Adds the image as a resource of the document and returns the format that shows it at displaySize
// (the image's own size when displaySize is empty).
QTextImageFormat add(QTextDocument &document, const QImage &image, QSizeF displaySize = {});

// Inserts the picture at the cursor.
void insert(QTextCursor &cursor, const QImage &image, QSizeF displaySize = {});

// The image behind a picture of the document; a null image when the resource is missing.
QImage imageOf(const QTextDocument &document, const QTextImageFormat &format);

} // namespace DocumentPictures
