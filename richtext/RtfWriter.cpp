#include "richtext/RtfWriter.h"

#include "richtext/Cp950CharTable.h"
#include "richtext/DibEncoder.h"
#include "richtext/DocumentPictures.h"
#include "richtext/HexText.h"
#include "richtext/MetafileWriter.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

#include <cmath>
#include <cstring>

namespace RtfWriter {
namespace {

constexpr char16_t ObjectReplacement = 0xFFFC;
constexpr char16_t FrameStart = 0xFDD0;
constexpr char16_t FrameEnd = 0xFDD1;
constexpr qsizetype PictureHexDigitsPerLine = 128;
constexpr qsizetype HeaderReserve = 4096;

struct CharState
{
    int font = -1;
    int halfPoints = -1;
    int colour = 0; // index into the colour table, 0 = automatic
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
};

class Writer final
{
public:
    explicit Writer(const QTextDocument &document) : m_document(document), m_table(Cp950CharTable::instance())
    {
        const QFont font = document.defaultFont();
        m_defaultFamily = font.family();
        m_defaultPoints = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / 96.0;
        if (m_defaultPoints <= 0)
            m_defaultPoints = 10;
    }
    Q_DISABLE_COPY_MOVE(Writer)

    QByteArray write()
    {
        // The font and colour tables are known only at the end, so the body is written after a gap kept for
        // them: a large message is then never copied again.
        m_body.reserve(HeaderReserve + estimatedBodySize());
        m_body.resize(HeaderReserve);
        m_body += "\\viewkind4\\uc1";
        m_needsDelimiter = true;
        bool first = true;
        int previousAlignment = 0;
        for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
            const int alignment = alignmentOf(block);
            if (first || alignment != previousAlignment) {
                // \pard brings paragraph properties back to their defaults, left alignment included.
                word("\\pard");
                writeAlignment(alignment);
            }
            previousAlignment = alignment;
            writeBlock(block, first);
            first = false;
            word("\\par");
        }
        m_body += '}';

        const QByteArray header = headerBytes();
        if (header.size() > HeaderReserve) {
            m_body.replace(0, HeaderReserve, header);
            return std::move(m_body);
        }
        const qsizetype start = HeaderReserve - header.size();
        std::memcpy(m_body.data() + start, header.constData(), size_t(header.size()));
        m_body.remove(0, start); // dropping a prefix only moves the start of the data
        return std::move(m_body);
    }

private:
    // Every character as two escapes, every picture as the hex of a 32-bit bitmap in lines.
    qint64 estimatedBodySize() const
    {
        qint64 size = qint64(m_document.characterCount()) * 8 + 256;
        for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat format = it.fragment().charFormat();
                if (!format.isImageFormat())
                    continue;
                const QImage image = DocumentPictures::imageOf(m_document, format.toImageFormat());
                const qint64 bytes = qint64(image.width()) * image.height() * 4 + 1200;
                size += it.fragment().length() * (bytes * 2 + bytes / 32 + 128);
            }
        }
        return std::min<qint64>(size, qint64(1) << 30);
    }

    QByteArray headerBytes() const
    {
        QByteArray out = "{\\rtf1\\ansi\\ansicpg950\\deff0\\deflang1033\\deflangfe1028{\\fonttbl";
        for (qsizetype i = 0; i < m_fonts.size(); ++i) {
            out += "{\\f" + QByteArray::number(i) + "\\fnil\\fcharset136 ";
            appendFontName(out, m_fonts.at(i));
            out += ";}";
        }
        out += '}';
        if (!m_colours.isEmpty()) {
            out += "{\\colortbl ;";
            for (const QRgb rgb : m_colours) {
                out += "\\red" + QByteArray::number(qRed(rgb)) + "\\green" + QByteArray::number(qGreen(rgb)) +
                       "\\blue" + QByteArray::number(qBlue(rgb)) + ';';
            }
            out += '}';
        }
        return out;
    }

    // Messages are left-to-right text, so leading and trailing alignment mean left and right.
    static int alignmentOf(const QTextBlock &block)
    {
        const Qt::Alignment a = block.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
        if (a & Qt::AlignJustify)
            return 3;
        if (a & Qt::AlignHCenter)
            return 1;
        if (a & Qt::AlignRight)
            return 2;
        return 0;
    }

    void writeAlignment(int alignment)
    {
        static const char *const words[] = {nullptr, "\\qc", "\\qr", "\\qj"};
        if (alignment > 0)
            word(words[alignment]);
    }

    void writeBlock(const QTextBlock &block, bool first)
    {
        bool wroteFormat = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const QTextCharFormat format = fragment.charFormat();
            updateLink(format);
            if (format.isImageFormat()) {
                // A picture's own format says nothing about the text around it; only the document's
                // opening needs a font and size before anything else.
                if (first && !wroteFormat)
                    applyFormat(block.charFormat(), true);
                wroteFormat = true;
                writePictures(format.toImageFormat(), fragment.length());
                continue;
            }
            applyFormat(format, first && !wroteFormat);
            wroteFormat = true;
            writeText(fragment.text());
        }
        updateLink(QTextCharFormat());
        if (!wroteFormat)
            applyFormat(block.charFormat(), first);
    }

    // Consecutive fragments with the same target share one field.
    void updateLink(const QTextCharFormat &format)
    {
        const QString href = format.isAnchor() ? format.anchorHref() : QString();
        if (href == m_linkHref)
            return;
        if (!m_linkHref.isEmpty()) {
            symbol("}}}");
            m_state = m_stateBeforeLink; // the field's groups took their formatting with them
        }
        m_linkHref = href;
        if (!href.isEmpty()) {
            m_stateBeforeLink = m_state;
            symbol("{\\field{\\*\\fldinst{HYPERLINK \"");
            QString url = href;
            url.replace(QLatin1Char('"'), QLatin1String("%22"));
            writeText(url);
            symbol("\"}}{\\fldrslt{");
        }
    }

    void applyFormat(const QTextCharFormat &format, bool withLanguage)
    {
        CharState next;
        next.font = fontIndex(familyOf(format));
        double points = format.fontPointSize();
        if (points <= 0)
            points = m_defaultPoints;
        next.halfPoints = std::clamp(int(std::lround(points * 2)), 1, 3276);
        next.colour = colourIndex(format);
        next.bold = format.fontWeight() > QFont::Medium;
        next.italic = format.fontItalic();
        next.underline = format.fontUnderline();
        next.strike = format.fontStrikeOut();

        if (next.colour != m_state.colour)
            word("\\cf" + QByteArray::number(next.colour));
        if (next.underline != m_state.underline)
            word(next.underline ? "\\ul" : "\\ulnone");
        if (next.bold != m_state.bold)
            word(next.bold ? "\\b" : "\\b0");
        if (next.italic != m_state.italic)
            word(next.italic ? "\\i" : "\\i0");
        if (next.strike != m_state.strike)
            word(next.strike ? "\\strike" : "\\strike0");
        if (withLanguage)
            word("\\lang1028");
        if (next.font != m_state.font)
            word("\\f" + QByteArray::number(next.font));
        if (next.halfPoints != m_state.halfPoints)
            word("\\fs" + QByteArray::number(next.halfPoints));
        m_state = next;
    }

    QString familyOf(const QTextCharFormat &format) const
    {
        const QString family = format.property(QTextFormat::FontFamilies).toStringList().value(0);
        return family.isEmpty() ? m_defaultFamily : family;
    }

    // Looked up by hash: a pasted document may carry a font or colour per character.
    int fontIndex(const QString &family)
    {
        const auto it = m_fontIndex.constFind(family);
        if (it != m_fontIndex.cend())
            return it.value();
        m_fonts.append(family);
        return m_fontIndex.insert(family, int(m_fonts.size() - 1)).value();
    }

    int colourIndex(const QTextCharFormat &format)
    {
        if (!format.hasProperty(QTextFormat::ForegroundBrush))
            return 0;
        const QBrush brush = format.foreground();
        if (brush.style() == Qt::NoBrush)
            return 0;
        const QRgb rgb = brush.color().rgb() | 0xFF000000u;
        const auto it = m_colourIndex.constFind(rgb);
        if (it != m_colourIndex.cend())
            return it.value();
        m_colours.append(rgb);
        return m_colourIndex.insert(rgb, int(m_colours.size())).value();
    }

    void writeText(QStringView text)
    {
        const qsizetype n = text.size();
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t c = text[i].unicode();
            if (c < 0x80) {
                writeAscii(char(c));
                continue;
            }
            if (const quint16 bytes = m_table.doubleByteOf(c)) {
                escapeByte(bytes >> 8);
                escapeByte(bytes & 0xFF);
                continue;
            }
            switch (c) {
            case QChar::LineSeparator:
                word("\\line");
                break;
            case QChar::ParagraphSeparator:
                word("\\par");
                break;
            case FrameStart:
            case FrameEnd:
            case ObjectReplacement:
                break; // structure, not text; pictures are written from their own format
            default:
                unicode(c);
                break;
            }
        }
    }

    void writeAscii(char c)
    {
        switch (c) {
        case '\\':
        case '{':
        case '}':
            m_body += '\\';
            m_body += c;
            m_needsDelimiter = false;
            return;
        case '\t':
            word("\\tab");
            return;
        case '\n':
            word("\\line");
            return;
        default:
            break;
        }
        // Control bytes would end a packet field (0x08 separates fields), so they never travel raw.
        if (uchar(c) < 0x20 || c == 0x7F) {
            escapeByte(uchar(c));
            return;
        }
        if (m_needsDelimiter) {
            m_body += ' ';
            m_needsDelimiter = false;
        }
        m_body += c;
    }

    void escapeByte(uint byte)
    {
        static constexpr char digits[] = "0123456789abcdef";
        const char escape[4] = {'\\', '\'', digits[byte >> 4], digits[byte & 0xF]};
        m_body.append(escape, 4);
        m_needsDelimiter = false;
    }

    // RTF parameters are signed 16-bit; "?" is the one fallback character \uc1 announces.
    void unicode(char16_t unit)
    {
        m_body += "\\u";
        m_body += QByteArray::number(int(qint16(unit)));
        m_body += '?';
        m_needsDelimiter = false;
    }

    void writePictures(const QTextImageFormat &format, int count)
    {
        const QImage image = DocumentPictures::imageOf(m_document, format);
        for (int i = 0; i < count; ++i)
            writePicture(image, QSizeF(format.width(), format.height()));
    }

    void writePicture(QImage image, QSizeF shown)
    {
        if (image.isNull())
            return;
        if (!(shown.width() > 0 && shown.height() > 0)) // also catches NaN from a hostile document
            shown = image.size();
        const int max = MetafileWriter::MaxDimension;
        if (image.width() > max || image.height() > max)
            image = image.scaled(max, max, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        const QByteArray dib = DibEncoder::encode(image);
        const QByteArray wmf = MetafileWriter::stretchDib(dib, image.size());
        if (wmf.isEmpty())
            return;

        const auto twips = [](double pixels) {
            return qint64(std::lround(std::clamp(pixels, 1.0, double(MetafileWriter::MaxDimension)))) *
                   DocumentPictures::TwipsPerPixel;
        };
        const qint64 goalWidth = twips(shown.width());
        const qint64 goalHeight = twips(shown.height());
        // Metafile extents are in hundredths of a millimetre: 1440 twips to 2540 of them.
        const auto hundredthsMm = [](qint64 tw) { return (tw * 2540 + 720) / 1440; };

        m_body += "{\\pict\\wmetafile8\\picw" + QByteArray::number(hundredthsMm(goalWidth)) + "\\pich" +
                  QByteArray::number(hundredthsMm(goalHeight)) + "\\picwgoal" + QByteArray::number(goalWidth) +
                  "\\pichgoal" + QByteArray::number(goalHeight) + ' ';
        HexText::append(m_body, wmf, HexText::LetterCase::Lower, PictureHexDigitsPerLine);
        m_body += '}';
        m_needsDelimiter = false;
    }

    void symbol(const char *text)
    {
        m_body += text;
        m_needsDelimiter = false;
    }

    void word(const QByteArray &controlWord)
    {
        m_body += controlWord;
        m_needsDelimiter = true;
    }

    static void appendFontName(QByteArray &out, const QString &name)
    {
        for (const QChar ch : name) {
            const char16_t c = ch.unicode();
            if (c >= 0x80) {
                if (const quint16 bytes = Cp950CharTable::instance().doubleByteOf(c)) {
                    out += "\\'" + QByteArray::number(bytes >> 8, 16).rightJustified(2, '0') + "\\'" +
                           QByteArray::number(bytes & 0xFF, 16).rightJustified(2, '0');
                } else {
                    out += "\\u" + QByteArray::number(int(qint16(c))) + '?';
                }
            } else if (c == '\\' || c == '{' || c == '}') {
                out += '\\';
                out += char(c);
            } else if (c == ';' || c < 0x20) {
                out += "\\'" + QByteArray::number(int(c), 16).rightJustified(2, '0'); // ';' would end the name
            } else {
                out += char(c);
            }
        }
    }

    const QTextDocument &m_document;
    const Cp950CharTable &m_table;
    QString m_defaultFamily;
    double m_defaultPoints = 10;
    QByteArray m_body;
    bool m_needsDelimiter = false;
    CharState m_state;
    CharState m_stateBeforeLink;
    QString m_linkHref;
    QStringList m_fonts;
    QHash<QString, int> m_fontIndex;
    QList<QRgb> m_colours; // entry i is colour table index i + 1; 0 is automatic
    QHash<QRgb, int> m_colourIndex;
};

} // namespace

QByteArray write(const QTextDocument &document)
{
    Writer writer(document);
    return writer.write();
}

QString plainText(const QTextDocument &document)
{
    QString text;
    text.reserve(document.characterCount() + document.blockCount());
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin())
            text += QLatin1String("\r\n");
        for (const QChar ch : block.text()) {
            switch (ch.unicode()) {
            case ObjectReplacement:
                // The control hands an embedded picture out as a blank, so a message of one picture is not empty.
                text += QLatin1Char(' ');
                break;
            case QChar::LineSeparator:
                text += QLatin1String("\r\n");
                break;
            case FrameStart:
            case FrameEnd:
                break;
            default:
                text += ch;
                break;
            }
        }
    }
    return text;
}

} // namespace RtfWriter
