#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

// A QTextDocument into RTF bytes in code page 950, in the form the Windows rich-edit control writes,
// so that peers on Windows read it as their own.
namespace RtfWriter {

QByteArray write(const QTextDocument &document);

// The document's plain text, paragraphs joined by CR LF as the Windows control gives it.
QString plainText(const QTextDocument &document);

} // namespace RtfWriter
