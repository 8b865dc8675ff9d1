#include "widgets/richtext/RtfReader.h"

#include "engine/Cp950.h"

#include <QTextCursor>
#include <QTextDocument>

// Placeholder until the reader lands: plain text only.
namespace RtfReader {

bool isRtf(QByteArrayView text) { return text.startsWith("{\\rtf"); }

void insertRtf(QTextCursor &cursor, QByteArrayView rtf) { cursor.insertText(cp950::decode(rtf)); }

void insertText(QTextCursor &cursor, QByteArrayView text)
{
    if (isRtf(text))
        insertRtf(cursor, text);
    else
        cursor.insertText(cp950::decode(text));
}

void load(QTextDocument &document, QByteArrayView rtf)
{
    document.clear();
    QTextCursor cursor(&document);
    insertRtf(cursor, rtf);
}

} // namespace RtfReader
