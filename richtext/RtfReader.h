#pragma once

#include <QByteArrayView>

class PixelBudget;

class QTextCursor;
class QTextDocument;

// RTF bytes (as any host on the network may send them) into a QTextDocument. Never crashes, hangs or
// allocates without bound on hostile input: what could be read ends up in the document.
namespace RtfReader {

// True when the text begins with "{\rtf", the test the rich-text control applies to what it is given.
bool isRtf(QByteArrayView text);

// Pictures are kept at the size they are shown times the budget's device pixel ratio and charged against
// budget: the caller's when it keeps one across several texts (a window holding many messages, at the ratio
// of its screen), else a fresh one of PixelBudget::DocumentPixels at the application's ratio for this text.

// Reads an RTF document into the document at the cursor, keeping the content already there.
void insertRtf(QTextCursor &cursor, QByteArrayView rtf, PixelBudget *budget = nullptr);

// What every caller means by "insert a text": RTF when it begins with "{\rtf", else plain
// code page 950 text.
void insertText(QTextCursor &cursor, QByteArrayView text, PixelBudget *budget = nullptr);

// Replaces the document's content with the RTF document.
void load(QTextDocument &document, QByteArrayView rtf, PixelBudget *budget = nullptr);

} // namespace RtfReader
