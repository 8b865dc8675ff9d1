#pragma once

#include <QImage>
#include <QString>

class RichEdit;

// Putting pictures into a message: the bitmap travels inside the RTF as a picture group (GraphicToRtf).

// Replaces the editor's selection with the bitmap and leaves the caret right after it.
void InsertGraphic(const QImage &bitmap, RichEdit &editor);

// Inserts a BMP or JPEG file (kind by extension) as InsertGraphic does. A file that cannot be loaded
// leaves the editor unchanged and shows the load error in a message box (object name "ErrorMessageBox",
// not waited for). Returns whether the picture was inserted.
bool InsertPictureFile(const QString &fileName, RichEdit &editor);
