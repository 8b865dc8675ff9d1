#include "messages/PictureEmbedding.h"

#include "messages/GraphicToRtf.h"
#include "richtext/JpegDecoder.h"
#include "widgets/RichEdit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QMessageBox>

namespace {

// Qt reads 16- and 24-bit bitmaps into 32-bit images; the picture is meant to keep the depth of its file.
QImage withFileDepth(const QImage &image, const QByteArray &file)
{
    if (file.size() < 34 || !file.startsWith("BM") || image.hasAlphaChannel())
        return image;
    const auto byte = [&file](int at) { return quint32(quint8(file[at])); };
    const quint32 bitCount = byte(28) | (byte(29) << 8);
    const quint32 compression = byte(30) | (byte(31) << 8) | (byte(32) << 16) | (byte(33) << 24);
    if (bitCount == 24)
        return image.convertToFormat(QImage::Format_RGB888);
    if (bitCount == 16 && compression == 0)
        return image.convertToFormat(QImage::Format_RGB555);
    return image;
}

QImage loadBitmapFile(const QByteArray &bytes, QString *error)
{
    QImage image;
    if (!image.loadFromData(bytes, "BMP")) {
        *error = QStringLiteral("Bitmap image is not valid");
        return {};
    }
    return withFileDepth(image, bytes);
}

QImage loadPictureFile(const QString &fileName, QString *error)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    const bool bitmap = suffix == QLatin1String("bmp");
    const bool jpeg = suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg");
    if (!bitmap && !jpeg) {
        *error = QStringLiteral("Unknown picture file extension (.%1)").arg(QFileInfo(fileName).suffix());
        return {};
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error =
            QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(fileName), file.errorString());
        return {};
    }
    const QByteArray bytes = file.readAll();
    if (bitmap)
        return loadBitmapFile(bytes, error);
    QImage picture = JpegDecoder::decode(bytes);
    if (picture.isNull())
        *error = QStringLiteral("JPEG image is not valid");
    return picture;
}

void showLoadError(const QString &text, QWidget *parent)
{
    auto *box = new QMessageBox(QMessageBox::Critical, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok,
                                parent);
    box->setObjectName(QStringLiteral("ErrorMessageBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}

} // namespace

void InsertGraphic(const QImage &bitmap, RichEdit &editor)
{
    const QByteArray group = GraphicToRtf(bitmap);
    if (group.isEmpty())
        return;
    const int start = editor.textCursor().selectionStart();
    editor.insertText(group);
    // The Windows control leaves the caret before what it read and needs a step right; Qt's cursor is
    // already past the insertion, so the caret goes to the character after the picture's position.
    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(qMin(start + 1, editor.document()->characterCount() - 1));
    editor.setTextCursor(cursor);
}

bool InsertPictureFile(const QString &fileName, RichEdit &editor)
{
    QString error;
    const QImage picture = loadPictureFile(fileName, &error);
    if (picture.isNull()) {
        showLoadError(error.isEmpty() ? QStringLiteral("Invalid picture") : error, editor.window());
        return false;
    }
    InsertGraphic(picture, editor);
    return true;
}
