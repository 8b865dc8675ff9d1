// Any bytes a peer may send as a message body, read into a document as the message window does.

#include "richtext/RtfReader.h"

#include <QGuiApplication>
#include <QTextCursor>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Text documents and images want a GUI application; its own argc/argv keep libFuzzer's flags away from Qt.
    static int argc = 1;
    static char name[] = "fuzz_rtf_reader";
    static char *argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QTextDocument document;
    document.setPlainText(QStringLiteral("before after"));
    QTextCursor cursor(&document);
    cursor.setPosition(7);
    // The RTF path whether or not the bytes begin with "{\rtf", so that no input is wasted on the header.
    RtfReader::insertRtf(cursor, bytes);
    RtfReader::insertText(cursor, bytes);
    return 0;
}
