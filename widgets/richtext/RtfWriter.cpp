#include "widgets/richtext/RtfWriter.h"

#include <QTextDocument>

// Placeholder until the writer lands.
namespace RtfWriter {

QByteArray write(const QTextDocument &) { return QByteArray("{\\rtf1\\ansi\\ansicpg950\\par}"); }

QString plainText(const QTextDocument &document)
{
    return document.toPlainText().replace(QChar::ParagraphSeparator, QStringLiteral("\r\n")).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

} // namespace RtfWriter
