#include "richtext/RtfReader.h"

#include "base/Cp950.h"
#include "richtext/DocumentPictures.h"
#include "richtext/PixelBudget.h"
#include "richtext/RtfPicture.h"
#include "richtext/SymbolFonts.h"

#include <QColor>
#include <QGuiApplication>
#include <QStringDecoder>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <deque>
#include <limits>
#include <map>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace RtfReader {
namespace {

// The states of this many innermost groups are kept. Deeper nesting forgets the outermost ones (only counted,
// so that braces balance): text at any depth is shown, and a group closed back to a forgotten level takes the
// state of the outermost one still kept.
constexpr size_t MaxDepth = 256;
constexpr int MaxKeywordLetters = 32;
constexpr int MaxFonts = 1024;
constexpr int MaxColours = 1024;
constexpr int MaxFields = 4096;
constexpr qsizetype MaxFontNameBytes = 256;
constexpr qsizetype MaxFieldInstructionBytes = 4096;
constexpr qsizetype MaxShapePropertyNameBytes = 32;
constexpr int DefaultCodePage = 1252;
// Stand-ins for a code page where a symbol font's bytes are read through its own table.
constexpr int SymbolFontPage = -2;
constexpr int WingdingsPage = -3;

// A drawing object's instructions show nothing but the picture of its "pib" property.
enum class Destination : quint8 {
    Text,
    Skip,
    FontTable,
    ColourTable,
    Picture,
    FieldInstruction,
    ShapeInstruction,
    ShapePropertyName,
    ShapePropertyValue
};

struct CharProps
{
    int font = -1;
    int halfPoints = 0; // 0: not given, the document's own size stays
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int foreground = 0; // colour table index; 0 is "auto"
    int background = 0;
    int link = -1; // field whose result this text is
    bool operator==(const CharProps &) const = default;
};

struct GroupState
{
    Destination destination = Destination::Text;
    CharProps chars;
    int alignment = 0; // Qt::Alignment, 0 while no paragraph keyword said anything
    int unicodeSkip = 1;
    int field = -1;
};

struct Font
{
    int charset = -1;
    int codePage = 0; // \cpgN, for a charset that names none
    QByteArray rawName;
    QString name;
    SymbolFonts::Encoding symbols = SymbolFonts::Encoding::None;
};

struct Field
{
    QByteArray instruction;
    std::optional<QString> href;
    bool hasResult = false; // its result showed something
};

enum class Kw {
    Unknown,
    // destinations
    Rtf,
    FontTable,
    ColourTable,
    SkippedDestination,
    Pict,
    Field,
    FieldInstruction,
    FieldResult,
    Object,
    Result,
    Footnote,
    FootnoteMark,
    Shape,
    ShapeInstruction,
    ShapeProperty,
    ShapePropertyName,
    ShapePropertyValue,
    ShapeResult,
    ShapePicture,
    NonShapePicture,
    // document
    Ansi,
    AnsiCodePage,
    FontCodePage,
    DefaultFont,
    FontCharset,
    Red,
    Green,
    Blue,
    // characters
    Plain,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    Strike,
    FontNumber,
    FontSize,
    Foreground,
    Background,
    // paragraphs
    Pard,
    Par,
    Line,
    Tab,
    Cell,
    AlignLeft,
    AlignCenter,
    AlignRight,
    AlignJustify,
    // unicode and binary
    Unicode,
    UnicodeSkip,
    Binary,
    // pictures
    PicWidth,
    PicHeight,
    PicGoalWidth,
    PicGoalHeight,
    PicScaleX,
    PicScaleY,
    PicWidthBytes,
    PicBitsPixel,
    DibBitmap,
    DeviceBitmap,
    Metafile,
    PngBlip,
    JpegBlip,
    EmfBlip,
    OtherPicture,
    // special characters
    Special,
};

struct Keyword
{
    Kw kind;
    char16_t character = 0; // for Special
};

const std::unordered_map<std::string_view, Keyword> &keywords()
{
    static const std::unordered_map<std::string_view, Keyword> table = {
        {"rtf", {Kw::Rtf}},
        {"fonttbl", {Kw::FontTable}},
        {"colortbl", {Kw::ColourTable}},
        {"stylesheet", {Kw::SkippedDestination}},
        {"info", {Kw::SkippedDestination}},
        {"header", {Kw::SkippedDestination}},
        {"headerl", {Kw::SkippedDestination}},
        {"headerr", {Kw::SkippedDestination}},
        {"headerf", {Kw::SkippedDestination}},
        {"footer", {Kw::SkippedDestination}},
        {"footerl", {Kw::SkippedDestination}},
        {"footerr", {Kw::SkippedDestination}},
        {"footerf", {Kw::SkippedDestination}},
        {"footnote", {Kw::Footnote}},
        {"chftn", {Kw::FootnoteMark}},
        {"annotation", {Kw::SkippedDestination}},
        {"listtable", {Kw::SkippedDestination}},
        {"listoverridetable", {Kw::SkippedDestination}},
        {"revtbl", {Kw::SkippedDestination}},
        {"rsidtbl", {Kw::SkippedDestination}},
        {"pgdsctbl", {Kw::SkippedDestination}},
        {"filetbl", {Kw::SkippedDestination}},
        {"objdata", {Kw::SkippedDestination}},
        {"objclass", {Kw::SkippedDestination}},
        {"pn", {Kw::SkippedDestination}},
        // Word's document-level destinations, skipped also where a writer left out their \*.
        {"xmlnstbl", {Kw::SkippedDestination}},
        {"themedata", {Kw::SkippedDestination}},
        {"colorschememapping", {Kw::SkippedDestination}},
        {"datastore", {Kw::SkippedDestination}},
        {"latentstyles", {Kw::SkippedDestination}},
        {"wgrffmtfilter", {Kw::SkippedDestination}},
        {"defchp", {Kw::SkippedDestination}},
        {"defpap", {Kw::SkippedDestination}},
        {"panose", {Kw::SkippedDestination}},
        {"falt", {Kw::SkippedDestination}},
        {"pnseclvl", {Kw::SkippedDestination}},
        {"mmathPr", {Kw::SkippedDestination}},
        {"generator", {Kw::SkippedDestination}},
        {"listpicture", {Kw::SkippedDestination}},
        {"docvar", {Kw::SkippedDestination}},
        {"ftnsep", {Kw::SkippedDestination}},
        {"ftnsepc", {Kw::SkippedDestination}},
        {"aftnsep", {Kw::SkippedDestination}},
        {"aftnsepc", {Kw::SkippedDestination}},
        {"shptxt", {Kw::SkippedDestination}},
        {"do", {Kw::SkippedDestination}},
        {"shp", {Kw::Shape}},
        {"shpgrp", {Kw::Shape}},
        {"shpinst", {Kw::ShapeInstruction}},
        {"sp", {Kw::ShapeProperty}},
        {"sn", {Kw::ShapePropertyName}},
        {"sv", {Kw::ShapePropertyValue}},
        {"shprslt", {Kw::ShapeResult}},
        {"pict", {Kw::Pict}},
        {"field", {Kw::Field}},
        {"fldinst", {Kw::FieldInstruction}},
        {"fldrslt", {Kw::FieldResult}},
        {"object", {Kw::Object}},
        {"result", {Kw::Result}},
        {"shppict", {Kw::ShapePicture}},
        {"nonshppict", {Kw::NonShapePicture}},
        {"ansi", {Kw::Ansi}},
        {"ansicpg", {Kw::AnsiCodePage}},
        {"deff", {Kw::DefaultFont}},
        {"fcharset", {Kw::FontCharset}},
        {"cpg", {Kw::FontCodePage}},
        {"red", {Kw::Red}},
        {"green", {Kw::Green}},
        {"blue", {Kw::Blue}},
        {"plain", {Kw::Plain}},
        {"b", {Kw::Bold}},
        {"i", {Kw::Italic}},
        {"ul", {Kw::Underline}},
        {"uld", {Kw::Underline}},
        {"uldb", {Kw::Underline}},
        {"uldash", {Kw::Underline}},
        {"ulth", {Kw::Underline}},
        {"ulw", {Kw::Underline}},
        {"ulwave", {Kw::Underline}},
        {"ulnone", {Kw::UnderlineNone}},
        {"strike", {Kw::Strike}},
        {"striked", {Kw::Strike}},
        {"f", {Kw::FontNumber}},
        {"fs", {Kw::FontSize}},
        {"cf", {Kw::Foreground}},
        {"cb", {Kw::Background}},
        {"highlight", {Kw::Background}},
        {"pard", {Kw::Pard}},
        {"par", {Kw::Par}},
        {"sect", {Kw::Par}},
        {"page", {Kw::Par}},
        {"row", {Kw::Par}},
        {"nestrow", {Kw::Par}},
        {"line", {Kw::Line}},
        {"tab", {Kw::Tab}},
        {"cell", {Kw::Cell}},
        {"nestcell", {Kw::Cell}},
        {"ql", {Kw::AlignLeft}},
        {"qc", {Kw::AlignCenter}},
        {"qr", {Kw::AlignRight}},
        {"qj", {Kw::AlignJustify}},
        {"u", {Kw::Unicode}},
        {"uc", {Kw::UnicodeSkip}},
        {"bin", {Kw::Binary}},
        {"picw", {Kw::PicWidth}},
        {"pich", {Kw::PicHeight}},
        {"picwgoal", {Kw::PicGoalWidth}},
        {"pichgoal", {Kw::PicGoalHeight}},
        {"picscalex", {Kw::PicScaleX}},
        {"picscaley", {Kw::PicScaleY}},
        {"picwbmp", {Kw::PicWidthBytes}},
        {"wbmwidthbytes", {Kw::PicWidthBytes}},
        {"picbpp", {Kw::PicBitsPixel}},
        {"wbmbitspixel", {Kw::PicBitsPixel}},
        {"dibitmap", {Kw::DibBitmap}},
        {"wbitmap", {Kw::DeviceBitmap}},
        {"wmetafile", {Kw::Metafile}},
        {"pngblip", {Kw::PngBlip}},
        {"jpegblip", {Kw::JpegBlip}},
        {"emfblip", {Kw::EmfBlip}},
        {"macpict", {Kw::OtherPicture}},
        {"pmmetafile", {Kw::OtherPicture}},
        {"lquote", {Kw::Special, 0x2018}},
        {"rquote", {Kw::Special, 0x2019}},
        {"ldblquote", {Kw::Special, 0x201C}},
        {"rdblquote", {Kw::Special, 0x201D}},
        {"bullet", {Kw::Special, 0x2022}},
        {"emdash", {Kw::Special, 0x2014}},
        {"endash", {Kw::Special, 0x2013}},
        {"emspace", {Kw::Special, 0x2003}},
        {"enspace", {Kw::Special, 0x2002}},
        {"qmspace", {Kw::Special, 0x2005}},
        {"zwj", {Kw::Special, 0x200D}},
        {"zwnj", {Kw::Special, 0x200C}},
        {"zwbo", {Kw::Special, 0x200B}},
        {"zwnbo", {Kw::Special, 0xFEFF}},
        {"ltrmark", {Kw::Special, 0x200E}},
        {"rtlmark", {Kw::Special, 0x200F}},
    };
    return table;
}

int codePageOfCharset(int charset)
{
    switch (charset) {
    case 0:
        return 1252;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    // Mac charsets, as TextEdit writes them.
    case 77:
        return 10000;
    case 78:
        return 10001;
    case 80:
        return 10008;
    case 81:
        return 10002;
    default:
        return 0;
    }
}

bool isLeadByte(int codePage, quint8 byte)
{
    switch (codePage) {
    case 932:
    case 10001:
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
    case 10002:
    case 10008:
        return byte >= 0x81 && byte <= 0xFE;
    default:
        return false;
    }
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Code page bytes into text, one decoder per code page, created on first use.
class TextDecoders final
{
public:
    QString decode(QByteArrayView bytes, int codePage)
    {
        if (bytes.isEmpty())
            return {};
        if (codePage == SymbolFontPage || codePage == WingdingsPage)
            return decodeSymbols(bytes, codePage == SymbolFontPage ? SymbolFonts::Encoding::Symbol
                                                                   : SymbolFonts::Encoding::Wingdings);
        if (codePage == 950 || codePage == 10002)
            return cp950::decode(bytes);
        // A lead byte cut off at the end of a run is a character of its own that could not be read.
        qsizetype complete = 0;
        while (complete < bytes.size()) {
            if (isLeadByte(codePage, quint8(bytes[complete]))) {
                if (complete + 1 >= bytes.size())
                    break;
                complete += 2;
            } else {
                ++complete;
            }
        }
        QStringDecoder &decoder = decoderFor(codePage);
        QString text =
            decoder.isValid() ? decoder.decode(bytes.first(complete)) : QString::fromLatin1(bytes.first(complete));
        if (decoder.isValid())
            decoder.resetState();
        if (complete < bytes.size())
            text.append(QChar(QChar::ReplacementCharacter));
        return text;
    }

private:
    // A byte the font draws nothing known for is read as code page 1252, as before symbol fonts were known.
    QString decodeSymbols(QByteArrayView bytes, SymbolFonts::Encoding encoding)
    {
        QString text;
        text.reserve(bytes.size());
        for (const char byte : bytes) {
            const char16_t drawn = SymbolFonts::toUnicode(encoding, quint8(byte));
            text += drawn ? QString(QChar(drawn)) : decode(QByteArrayView(&byte, 1), DefaultCodePage);
        }
        return text;
    }

    QStringDecoder &decoderFor(int codePage)
    {
        auto it = m_decoders.find(codePage);
        if (it == m_decoders.end()) {
            // A document names one or two code pages; one naming thousands gets no more than a few at a time.
            if (m_decoders.size() >= MaxDecoders)
                m_decoders.clear();
            const QByteArray name = codecName(codePage);
            it = m_decoders.emplace(codePage, QStringDecoder(name.constData(), QStringDecoder::Flag::Stateless)).first;
        }
        return it->second;
    }

    // The Mac code pages' double-byte ones are their Windows counterparts with a few Apple additions.
    static QByteArray codecName(int codePage)
    {
        switch (codePage) {
        case 10000:
            return "macintosh";
        case 10001:
            return "Shift_JIS";
        case 10008:
            return "GB2312";
        default:
            return "windows-" + QByteArray::number(codePage);
        }
    }

    static constexpr size_t MaxDecoders = 8;
    std::map<int, QStringDecoder> m_decoders;
};

// The target of a field instruction HYPERLINK "url" (with \l "bookmark" as its fragment); empty for any
// other field.
// The character of a field instruction SYMBOL code [\f "font"] [\u]: Word leaves such a field's result empty
// and draws the character itself. Empty for any other field.
QString symbolFieldText(const QString &instruction)
{
    const QStringList words = instruction.simplified().split(QLatin1Char(' '));
    if (words.size() < 2 || words[0].compare(QLatin1String("SYMBOL"), Qt::CaseInsensitive) != 0)
        return {};
    bool ok = false;
    const uint code = words[1].toUInt(&ok, 0);
    if (!ok || code == 0 || code > 0xFFFF)
        return {};
    QString font;
    bool unicode = false;
    for (qsizetype i = 2; i < words.size(); ++i) {
        if (words[i] == QLatin1String("\\u"))
            unicode = true;
        else if (words[i] == QLatin1String("\\f") && i + 1 < words.size())
            font = QString(words[++i]).remove(QLatin1Char('"'));
    }
    const SymbolFonts::Encoding symbols = SymbolFonts::encodingOf(font, -1);
    if (!unicode && code <= 0xFF && symbols != SymbolFonts::Encoding::None) {
        const char16_t drawn = SymbolFonts::toUnicode(symbols, quint8(code));
        return drawn ? QString(QChar(drawn)) : QString();
    }
    if (!unicode && code <= 0xFF)
        return QString(QChar(char16_t(code == 0x80 ? 0x20AC : code)));
    const char16_t unit = SymbolFonts::fromPrivateUse(symbols, char16_t(code));
    return QChar::isSurrogate(unit) ? QString() : QString(QChar(unit));
}

QString hyperlinkTarget(const QString &instruction)
{
    QStringView rest = QStringView(instruction).trimmed();
    const QLatin1String keyword("HYPERLINK");
    if (!rest.startsWith(keyword, Qt::CaseInsensitive))
        return {};
    rest = rest.sliced(keyword.size());
    QString url;
    QString bookmark;
    enum { Url, Bookmark, SwitchArgument } next = Url;
    while (true) {
        rest = rest.trimmed();
        if (rest.isEmpty())
            break;
        QString token;
        bool isSwitch = false;
        if (rest.front() == QLatin1Char('"')) {
            const qsizetype end = rest.indexOf(QLatin1Char('"'), 1);
            token = (end < 0 ? rest.sliced(1) : rest.sliced(1, end - 1)).toString();
            rest = end < 0 ? QStringView() : rest.sliced(end + 1);
        } else {
            qsizetype end = 0;
            while (end < rest.size() && !rest[end].isSpace())
                ++end;
            token = rest.first(end).toString();
            rest = rest.sliced(end);
            isSwitch = token.startsWith(QLatin1Char('\\'));
        }
        if (isSwitch) {
            // \l names a bookmark; \o, \t and \m carry an argument of no interest here; \h and \n none.
            if (token == QLatin1String("\\l"))
                next = Bookmark;
            else if (token.size() == 2 && QLatin1String("otm").contains(token[1]))
                next = SwitchArgument;
            continue;
        }
        if (next == Bookmark && bookmark.isEmpty())
            bookmark = token;
        else if (next == Url && url.isEmpty())
            url = token;
        next = Url;
    }
    return bookmark.isEmpty() ? url : url + QLatin1Char('#') + bookmark;
}

// A \pict group being read.
struct PictureGroup
{
    RtfPicture::Description description;
    QByteArray data;
    int pendingNibble = -1;
    bool inShape = false; // the picture of a drawing object
};

class Parser final
{
public:
    Parser(QTextCursor &cursor, QByteArrayView rtf, PixelBudget &budget)
        : m_cursor(cursor), m_data(rtf), m_pixelBudget(budget)
    {
        m_stack.emplace_back();
        m_hostAlignment = m_cursor.blockFormat().alignment();
    }
    Q_DISABLE_COPY_MOVE(Parser)

    void run()
    {
        m_cursor.beginEditBlock();
        const qsizetype size = m_data.size();
        while (m_pos < size && !m_done) {
            const char c = m_data[m_pos++];
            if (m_fallbackToSkip > 0 && c != '{' && c != '}') {
                skipFallback(c);
                continue;
            }
            switch (c) {
            case '{':
                openGroup();
                break;
            case '}':
                closeGroup();
                break;
            case '\\':
                controlSequence();
                break;
            case '\r':
            case '\n':
            case '\0':
                break;
            default:
                if (!skipping())
                    textByte(c, false);
            }
        }
        finish();
        m_cursor.endEditBlock();
    }

private:
    GroupState &state() { return m_stack.back(); }
    bool skipping() const { return m_stack.back().destination == Destination::Skip; }
    qint64 depth() const { return qint64(m_stack.size()) + m_forgotten; }

    // ---- groups

    void openGroup()
    {
        m_fallbackToSkip = 0;
        m_ignorableNext = false;
        decodePending();
        m_stack.push_back(m_stack.back());
        if (m_stack.size() > MaxDepth) {
            m_stack.pop_front();
            ++m_forgotten;
        }
    }

    void closeGroup()
    {
        m_fallbackToSkip = 0;
        m_ignorableNext = false;
        decodePending();
        if (state().destination == Destination::FontTable)
            finishFontName();
        if (depth() <= 2) { // the document's own group ends the document
            m_done = true;
            return;
        }
        if (const int field = state().field; field >= 0 && m_stack.size() >= 2 && m_stack.end()[-2].field != field)
            finishField(field);
        m_stack.pop_back();
        if (m_forgotten > 0) {
            m_stack.push_front(m_stack.front());
            --m_forgotten;
        }
        if (m_picture && depth() < m_pictureDepth)
            finishPicture();
    }

    // ---- control words and symbols

    void controlSequence()
    {
        const qsizetype size = m_data.size();
        if (m_pos >= size)
            return;
        if (!isLetter(m_data[m_pos])) {
            controlSymbol(m_data[m_pos++]);
            return;
        }
        const qsizetype start = m_pos;
        while (m_pos < size && isLetter(m_data[m_pos]))
            ++m_pos;
        const std::string_view word(m_data.data() + start, size_t(m_pos - start));
        bool hasParameter = false;
        qint64 value = 0;
        bool negative = false;
        if (m_pos + 1 < size && m_data[m_pos] == '-' && isDigit(m_data[m_pos + 1])) {
            negative = true;
            ++m_pos;
        }
        while (m_pos < size && isDigit(m_data[m_pos])) {
            hasParameter = true;
            value = qMin<qint64>(value * 10 + (m_data[m_pos] - '0'), qint64(1) << 32);
            ++m_pos;
        }
        if (m_pos < size && m_data[m_pos] == ' ')
            ++m_pos;
        const qint32 parameter = qint32(negative ? qMax<qint64>(-value, std::numeric_limits<qint32>::min())
                                                 : qMin<qint64>(value, std::numeric_limits<qint32>::max()));
        Keyword keyword{Kw::Unknown};
        if (word.size() <= size_t(MaxKeywordLetters)) {
            const auto &table = keywords();
            if (auto it = table.find(word); it != table.end())
                keyword = it->second;
        }
        controlWord(keyword, hasParameter, parameter);
    }

    void controlSymbol(char c)
    {
        switch (c) {
        case '\'': {
            const int high = m_pos < m_data.size() ? hexValue(m_data[m_pos]) : -1;
            const int low = m_pos + 1 < m_data.size() ? hexValue(m_data[m_pos + 1]) : -1;
            if (high < 0 || low < 0) {
                m_pos += high < 0 ? 0 : 1;
                return;
            }
            m_pos += 2;
            if (!skipping())
                textByte(char(high << 4 | low), true);
            return;
        }
        case '\\':
        case '{':
        case '}':
            if (!skipping())
                textByte(c, true);
            return;
        case '*':
            m_ignorableNext = true;
            return;
        default:
            break;
        }
        decodePending();
        if (skipping() || state().destination != Destination::Text)
            return;
        switch (c) {
        case '~':
            appendUnit(0x00A0);
            break;
        case '_':
            appendUnit(0x2011);
            break;
        case '\r':
        case '\n':
            paragraph();
            break;
        default: // \- optional hyphen, \| and \: formula and index marks
            break;
        }
    }

    void controlWord(Keyword keyword, bool hasParameter, qint32 parameter)
    {
        if (keyword.kind == Kw::Binary) {
            binary(hasParameter ? parameter : 0);
            return;
        }
        decodePending();
        const bool ignorable = std::exchange(m_ignorableNext, false);
        if (skipping())
            return;
        GroupState &s = state();
        if (ignorable && keyword.kind != Kw::FieldInstruction && keyword.kind != Kw::ShapePicture &&
            keyword.kind != Kw::ShapeInstruction && keyword.kind != Kw::ShapeResult) {
            s.destination = Destination::Skip;
            return;
        }
        const bool on = !hasParameter || parameter != 0;
        const bool inText = s.destination == Destination::Text;
        switch (keyword.kind) {
        case Kw::Unknown:
        case Kw::Rtf:
        case Kw::Binary:
            break;
        case Kw::FontTable:
            s.destination = Destination::FontTable;
            m_fontBeingDefined = -1;
            break;
        case Kw::ColourTable:
            s.destination = Destination::ColourTable;
            m_colour = QColor(0, 0, 0);
            m_colourGiven = false;
            break;
        case Kw::SkippedDestination:
            s.destination = Destination::Skip;
            break;
        case Kw::Pict:
            if (m_picture || !(s.destination == Destination::Text || showsShapePicture(s))) {
                s.destination = Destination::Skip;
                break;
            }
            m_picture.emplace();
            m_picture->inShape = s.destination != Destination::Text;
            s.destination = Destination::Picture;
            m_pictureDepth = depth();
            break;
        case Kw::Field:
            if (m_fields.size() < size_t(MaxFields)) {
                s.field = int(m_fields.size());
                m_fields.emplace_back();
            } else {
                s.field = -1;
            }
            break;
        case Kw::FieldInstruction:
            s.destination = s.field >= 0 ? Destination::FieldInstruction : Destination::Skip;
            break;
        case Kw::FieldResult:
            if (s.field >= 0 && !fieldTarget(s.field).isEmpty())
                s.chars.link = s.field;
            break;
        case Kw::Object:
        case Kw::Result:
            break;
        case Kw::Footnote:
            ++m_footnotes;
            s.destination = Destination::Skip;
            break;
        case Kw::FootnoteMark:
            if (inText)
                appendText(QString::number(m_footnotes + 1));
            break;
        case Kw::Shape:
            m_shapeGavePicture = false;
            break;
        case Kw::ShapeInstruction:
            s.destination = Destination::ShapeInstruction;
            break;
        case Kw::ShapeProperty:
            if (s.destination == Destination::ShapeInstruction)
                m_shapeProperty.clear();
            break;
        case Kw::ShapePropertyName:
            if (s.destination == Destination::ShapeInstruction)
                s.destination = Destination::ShapePropertyName;
            break;
        case Kw::ShapePropertyValue:
            if (s.destination == Destination::ShapeInstruction)
                s.destination = Destination::ShapePropertyValue;
            break;
        case Kw::ShapeResult:
            // What a reader without drawing objects shows instead: shown only when the shape gave no picture.
            if (m_shapeGavePicture)
                s.destination = Destination::Skip;
            break;
        case Kw::ShapePicture:
            m_sawShapePicture = true;
            break;
        case Kw::NonShapePicture:
            // The plain copy of a picture that a shape picture group has already given.
            if (m_sawShapePicture)
                s.destination = Destination::Skip;
            break;
        case Kw::Ansi:
            m_ansiCodePage = DefaultCodePage;
            break;
        case Kw::AnsiCodePage:
            if (parameter > 0)
                m_ansiCodePage = parameter;
            break;
        case Kw::DefaultFont:
            m_defaultFont = parameter;
            if (s.chars.font < 0)
                s.chars.font = parameter;
            break;
        case Kw::FontCharset:
            if (s.destination == Destination::FontTable && m_fontBeingDefined >= 0)
                m_fonts[m_fontBeingDefined].charset = parameter;
            break;
        case Kw::FontCodePage:
            if (s.destination == Destination::FontTable && m_fontBeingDefined >= 0 && parameter > 0)
                m_fonts[m_fontBeingDefined].codePage = parameter;
            break;
        case Kw::Red:
            m_colour.setRed(qBound(0, parameter, 255));
            m_colourGiven = true;
            break;
        case Kw::Green:
            m_colour.setGreen(qBound(0, parameter, 255));
            m_colourGiven = true;
            break;
        case Kw::Blue:
            m_colour.setBlue(qBound(0, parameter, 255));
            m_colourGiven = true;
            break;
        case Kw::Plain: {
            const int link = s.chars.link;
            s.chars = CharProps{};
            s.chars.font = m_defaultFont;
            s.chars.link = link;
            break;
        }
        case Kw::Bold:
            s.chars.bold = on;
            break;
        case Kw::Italic:
            s.chars.italic = on;
            break;
        case Kw::Underline:
            s.chars.underline = on;
            break;
        case Kw::UnderlineNone:
            s.chars.underline = false;
            break;
        case Kw::Strike:
            s.chars.strike = on;
            break;
        case Kw::FontNumber:
            if (s.destination == Destination::FontTable)
                defineFont(parameter);
            else
                s.chars.font = parameter;
            break;
        case Kw::FontSize:
            s.chars.halfPoints = hasParameter ? qBound(2, parameter, 3276) : 24;
            break;
        case Kw::Foreground:
            s.chars.foreground = qMax(0, parameter);
            break;
        case Kw::Background:
            s.chars.background = qMax(0, parameter);
            break;
        case Kw::Pard:
            s.alignment = Qt::AlignLeft;
            break;
        case Kw::AlignLeft:
            s.alignment = Qt::AlignLeft;
            break;
        case Kw::AlignCenter:
            s.alignment = Qt::AlignHCenter;
            break;
        case Kw::AlignRight:
            s.alignment = Qt::AlignRight;
            break;
        case Kw::AlignJustify:
            s.alignment = Qt::AlignJustify;
            break;
        case Kw::Par:
            if (inText)
                paragraph();
            break;
        case Kw::Line:
            if (inText)
                appendUnit(QChar::LineSeparator);
            break;
        case Kw::Tab:
        case Kw::Cell:
            if (inText)
                appendUnit(u'\t');
            break;
        case Kw::Special:
            if (inText)
                appendUnit(keyword.character);
            break;
        case Kw::Unicode: {
            qint64 unit = parameter;
            if (unit < 0)
                unit += 65536;
            if (unit < 0 || unit > 0xFFFF)
                unit = QChar::ReplacementCharacter;
            if (unit != 0 && inText)
                appendUnit(SymbolFonts::fromPrivateUse(symbolsOf(s.chars.font), char16_t(unit)));
            m_fallbackToSkip = s.unicodeSkip;
            break;
        }
        case Kw::UnicodeSkip:
            s.unicodeSkip = qBound(0, parameter, 255);
            break;
        case Kw::PicWidth:
        case Kw::PicHeight:
        case Kw::PicGoalWidth:
        case Kw::PicGoalHeight:
        case Kw::PicScaleX:
        case Kw::PicScaleY:
        case Kw::PicWidthBytes:
        case Kw::PicBitsPixel:
        case Kw::DibBitmap:
        case Kw::DeviceBitmap:
        case Kw::Metafile:
        case Kw::PngBlip:
        case Kw::JpegBlip:
        case Kw::EmfBlip:
        case Kw::OtherPicture:
            if (s.destination == Destination::Picture && m_picture)
                pictureKeyword(keyword.kind, parameter);
            break;
        }
    }

    void pictureKeyword(Kw kind, qint32 parameter)
    {
        RtfPicture::Description &d = m_picture->description;
        switch (kind) {
        case Kw::PicWidth:
            d.width = parameter;
            break;
        case Kw::PicHeight:
            d.height = parameter;
            break;
        case Kw::PicGoalWidth:
            d.goalWidth = parameter;
            break;
        case Kw::PicGoalHeight:
            d.goalHeight = parameter;
            break;
        case Kw::PicScaleX:
            d.scaleX = parameter;
            break;
        case Kw::PicScaleY:
            d.scaleY = parameter;
            break;
        case Kw::PicWidthBytes:
            d.widthBytes = parameter;
            break;
        case Kw::PicBitsPixel:
            d.bitsPixel = parameter;
            break;
        case Kw::DibBitmap:
            d.kind = RtfPicture::Kind::Dib;
            break;
        case Kw::DeviceBitmap:
            d.kind = RtfPicture::Kind::DeviceBitmap;
            break;
        case Kw::Metafile:
            d.kind = RtfPicture::Kind::Metafile;
            break;
        case Kw::PngBlip:
            d.kind = RtfPicture::Kind::Png;
            break;
        case Kw::JpegBlip:
            d.kind = RtfPicture::Kind::Jpeg;
            break;
        case Kw::EmfBlip:
            d.kind = RtfPicture::Kind::Emf;
            break;
        default:
            d.kind = RtfPicture::Kind::Unknown;
            break;
        }
    }

    // \binN: N raw bytes follow, whatever they are, also in a group being skipped.
    void binary(qint32 count)
    {
        const qsizetype available = m_data.size() - m_pos;
        const qsizetype n = qBound(qsizetype(0), qsizetype(count), available);
        if (!skipping() && state().destination == Destination::Picture && m_picture)
            m_picture->data.append(m_data.sliced(m_pos, n));
        m_pos += n;
    }

    // The characters after \uN that stand in for it in readers without Unicode: each \'xx, control
    // word or symbol and text byte counts as one.
    void skipFallback(char c)
    {
        if (c == '\r' || c == '\n')
            return;
        --m_fallbackToSkip;
        if (c != '\\' || m_pos >= m_data.size())
            return;
        const char next = m_data[m_pos];
        if (next == '\'') {
            m_pos = qMin(m_pos + 3, m_data.size());
        } else if (isLetter(next)) {
            const qsizetype start = m_pos;
            while (m_pos < m_data.size() && isLetter(m_data[m_pos]))
                ++m_pos;
            const bool isBinary = QByteArrayView(m_data.data() + start, m_pos - start) == "bin";
            qint64 value = 0;
            bool negative = false;
            if (m_pos < m_data.size() && m_data[m_pos] == '-') {
                negative = true;
                ++m_pos;
            }
            while (m_pos < m_data.size() && isDigit(m_data[m_pos]))
                value = qMin<qint64>(value * 10 + (m_data[m_pos++] - '0'), qint64(1) << 32);
            if (m_pos < m_data.size() && m_data[m_pos] == ' ')
                ++m_pos;
            if (isBinary && !negative)
                m_pos += qMin<qint64>(value, m_data.size() - m_pos);
        } else {
            ++m_pos;
        }
    }

    // ---- text

    void textByte(char c, bool escaped)
    {
        GroupState &s = state();
        switch (s.destination) {
        case Destination::Text:
            appendByte(c);
            break;
        case Destination::Skip:
            break;
        case Destination::FontTable:
            if (c == ';' && !escaped)
                finishFontName();
            else if (m_fontBeingDefined >= 0 && m_fonts[m_fontBeingDefined].rawName.size() < MaxFontNameBytes)
                m_fonts[m_fontBeingDefined].rawName.append(c);
            break;
        case Destination::ColourTable:
            if (c == ';') {
                if (m_colours.size() < size_t(MaxColours))
                    m_colours.push_back(m_colourGiven ? std::optional<QColor>(m_colour) : std::nullopt);
                m_cachedFormat.reset();
                m_colour = QColor(0, 0, 0);
                m_colourGiven = false;
            }
            break;
        case Destination::Picture:
            if (!escaped && m_picture)
                pictureHex(c);
            break;
        case Destination::ShapeInstruction:
        case Destination::ShapePropertyValue:
            break;
        case Destination::ShapePropertyName:
            if (m_shapeProperty.size() < MaxShapePropertyNameBytes && c != ' ')
                m_shapeProperty.append(c);
            break;
        case Destination::FieldInstruction: {
            QByteArray &instruction = m_fields[size_t(s.field)].instruction;
            if (instruction.size() < MaxFieldInstructionBytes)
                instruction.append(c);
            break;
        }
        }
    }

    // Hex digits with white space anywhere; the run is read in one go, it may be megabytes long.
    void pictureHex(char first)
    {
        QByteArray &data = m_picture->data;
        int &nibble = m_picture->pendingNibble;
        auto take = [&](char c) {
            const int v = hexValue(c);
            if (v < 0)
                return;
            if (nibble < 0) {
                nibble = v;
            } else {
                data.append(char(nibble << 4 | v));
                nibble = -1;
            }
        };
        take(first);
        const qsizetype size = m_data.size();
        while (m_pos < size) {
            const char c = m_data[m_pos];
            if (c == '\\' || c == '{' || c == '}')
                break;
            take(c);
            ++m_pos;
        }
    }

    void appendByte(char c)
    {
        beginContent();
        m_pendingBytes.append(c);
    }

    void appendText(const QString &text)
    {
        beginContent();
        decodePending();
        m_runText.append(text);
    }

    void appendUnit(char16_t unit)
    {
        beginContent();
        decodePending();
        m_runText.append(QChar(unit));
    }

    // Before anything is shown: the paragraph break waiting for content, and a new run when the format changed.
    // Called for every text byte, so kept inline.
    Q_ALWAYS_INLINE void beginContent()
    {
        if (m_paragraphPending) {
            m_paragraphPending = false;
            breakParagraph();
        }
        const GroupState &s = state();
        if (!m_runOpen || !(s.chars == m_runProps)) {
            flushRun();
            m_runProps = s.chars;
            m_runCodePage = codePageOf(s.chars.font);
            m_runOpen = true;
        }
        if (s.alignment)
            m_contentAlignment = s.alignment;
        if (s.field >= 0)
            m_fields[size_t(s.field)].hasResult = true;
    }

    void decodePending()
    {
        if (m_pendingBytes.isEmpty())
            return;
        m_runText.append(m_decoders.decode(m_pendingBytes, m_runCodePage));
        m_pendingBytes.clear();
    }

    void flushRun()
    {
        decodePending();
        if (!m_runText.isEmpty()) {
            // These mark pictures and frames inside a document; as text from a peer they would forge one,
            // which no writer can write back.
            for (QChar &unit : m_runText)
                if (unit == QChar::ObjectReplacementCharacter || unit == QChar(0xFDD0) || unit == QChar(0xFDD1))
                    unit = QChar::ReplacementCharacter;
            // Runs alternate between few formats; building one costs more than the text it carries.
            if (!m_cachedFormat || !(m_cachedFormat->first == m_runProps))
                m_cachedFormat.emplace(m_runProps, formatOf(m_runProps));
            m_cursor.insertText(m_runText, m_cachedFormat->second);
            m_runText.clear();
        }
    }

    // The last \par of a document closes its last paragraph and adds no empty one, so a break is only made
    // when more content follows.
    void paragraph()
    {
        if (m_paragraphPending)
            breakParagraph();
        m_paragraphPending = true;
        m_pendingAlignment = state().alignment ? state().alignment : m_contentAlignment;
        m_contentAlignment = 0;
    }

    // The new block starts with the alignment of the paragraph the text went into, not a copy of the one
    // just ended: paragraph keywords of a closed group no longer apply.
    void breakParagraph()
    {
        flushRun();
        applyAlignment(m_pendingAlignment);
        QTextBlockFormat format = m_cursor.blockFormat();
        format.setAlignment(m_hostAlignment);
        m_cursor.insertBlock(format);
    }

    void applyAlignment(int alignment)
    {
        if (!alignment || m_cursor.blockFormat().alignment() == Qt::Alignment(alignment))
            return;
        QTextBlockFormat format;
        format.setAlignment(Qt::Alignment(alignment));
        m_cursor.mergeBlockFormat(format);
    }

    void finish()
    {
        if (m_picture)
            finishPicture();
        flushRun();
        applyAlignment(m_paragraphPending ? m_pendingAlignment : m_contentAlignment);
    }

    QTextCharFormat formatOf(const CharProps &c)
    {
        QTextCharFormat format;
        if (auto it = m_fonts.find(c.font); it != m_fonts.end()) {
            if (it->second.name.isEmpty() && !it->second.rawName.isEmpty())
                it->second.name = fontName(it->second);
            if (!it->second.name.isEmpty())
                format.setFontFamilies({it->second.name});
        }
        if (c.halfPoints > 0)
            format.setFontPointSize(c.halfPoints / 2.0);
        if (c.bold)
            format.setFontWeight(QFont::Bold);
        if (c.italic)
            format.setFontItalic(true);
        if (c.underline)
            format.setFontUnderline(true);
        if (c.strike)
            format.setFontStrikeOut(true);
        if (const auto colour = colourAt(c.foreground))
            format.setForeground(*colour);
        if (const auto colour = colourAt(c.background))
            format.setBackground(*colour);
        if (c.link >= 0) {
            format.setAnchor(true);
            format.setAnchorHref(fieldTarget(c.link));
            format.setFontUnderline(true);
            format.setForeground(QColor(0, 0, 255));
        }
        return format;
    }

    std::optional<QColor> colourAt(int index) const
    {
        if (index <= 0 || size_t(index) >= m_colours.size())
            return std::nullopt;
        return m_colours[size_t(index)];
    }

    int codePageOf(int font) const
    {
        switch (symbolsOf(font)) {
        case SymbolFonts::Encoding::Symbol:
            return SymbolFontPage;
        case SymbolFonts::Encoding::Wingdings:
            return WingdingsPage;
        case SymbolFonts::Encoding::None:
            break;
        }
        if (auto it = m_fonts.find(font); it != m_fonts.end()) {
            if (const int codePage = codePageOfCharset(it->second.charset))
                return codePage;
            if (it->second.codePage > 0)
                return it->second.codePage;
        }
        return m_ansiCodePage;
    }

    SymbolFonts::Encoding symbolsOf(int font) const
    {
        const auto it = m_fonts.find(font);
        if (it == m_fonts.end())
            return SymbolFonts::Encoding::None;
        // A font whose name is still being read is known as a symbol font by its charset alone.
        return it->second.symbols != SymbolFonts::Encoding::None
                   ? it->second.symbols
                   : SymbolFonts::encodingOf(QString(), it->second.charset);
    }

    // ---- tables

    void defineFont(int number)
    {
        finishFontName();
        if (m_fonts.size() >= size_t(MaxFonts) && !m_fonts.count(number)) {
            m_fontBeingDefined = -1;
            return;
        }
        m_fontBeingDefined = number;
        m_fonts[number] = Font{};
        m_cachedFormat.reset();
    }

    void finishFontName()
    {
        if (m_fontBeingDefined < 0)
            return;
        Font &font = m_fonts[m_fontBeingDefined];
        font.name = fontName(font);
        font.symbols = SymbolFonts::encodingOf(font.name, font.charset);
        m_cachedFormat.reset();
        m_fontBeingDefined = -1;
    }

    QString fontName(const Font &font)
    {
        int codePage = codePageOfCharset(font.charset);
        if (!codePage)
            codePage = font.codePage > 0 ? font.codePage : m_ansiCodePage;
        return m_decoders.decode(font.rawName, codePage).trimmed();
    }

    void finishField(int field)
    {
        const Field &f = m_fields[size_t(field)];
        if (f.hasResult || state().destination != Destination::Text)
            return;
        const QString symbol = symbolFieldText(m_decoders.decode(f.instruction, m_ansiCodePage));
        if (!symbol.isEmpty())
            appendText(symbol);
    }

    QString fieldTarget(int field)
    {
        Field &f = m_fields[size_t(field)];
        if (!f.href)
            f.href = hyperlinkTarget(m_decoders.decode(f.instruction, m_ansiCodePage));
        return *f.href;
    }

    // ---- pictures

    bool showsShapePicture(const GroupState &s) const
    {
        return s.destination == Destination::ShapePropertyValue && m_shapeProperty == "pib";
    }

    void finishPicture()
    {
        PictureGroup picture = std::move(*m_picture);
        m_picture.reset();
        if (picture.inShape)
            m_shapeGavePicture = true;
        std::optional<RtfPicture::Shown> shown =
            RtfPicture::render(picture.description, picture.data, m_pixelBudget, m_decodeAllowance);
        if (!shown)
            return;
        beginContent();
        flushRun();
        DocumentPictures::insert(m_cursor, shown->image, shown->displaySize);
    }

    QTextCursor &m_cursor;
    const QByteArrayView m_data;
    PixelBudget &m_pixelBudget;
    qsizetype m_pos = 0;
    bool m_done = false;

    std::deque<GroupState> m_stack;
    qint64 m_forgotten = 0;
    bool m_ignorableNext = false;
    int m_fallbackToSkip = 0;

    int m_ansiCodePage = DefaultCodePage;
    int m_defaultFont = -1;
    std::map<int, Font> m_fonts;
    int m_fontBeingDefined = -1;
    std::vector<std::optional<QColor>> m_colours;
    QColor m_colour{0, 0, 0};
    bool m_colourGiven = false;
    std::vector<Field> m_fields;

    std::optional<PictureGroup> m_picture;
    qint64 m_pictureDepth = 0;
    bool m_sawShapePicture = false;
    bool m_shapeGavePicture = false;
    QByteArray m_shapeProperty;
    int m_footnotes = 0;
    qint64 m_decodeAllowance = RtfPicture::DecodedPixelsPerText;

    TextDecoders m_decoders;
    QByteArray m_pendingBytes;
    QString m_runText;
    CharProps m_runProps;
    std::optional<std::pair<CharProps, QTextCharFormat>> m_cachedFormat;
    int m_runCodePage = DefaultCodePage;
    bool m_runOpen = false;
    bool m_paragraphPending = false;
    int m_pendingAlignment = 0;
    int m_contentAlignment = 0;
    Qt::Alignment m_hostAlignment;
};

} // namespace

bool isRtf(QByteArrayView text)
{
    return text.startsWith("{\\rtf");
}

void insertRtf(QTextCursor &cursor, QByteArrayView rtf, PixelBudget *budget)
{
    if (cursor.isNull())
        return;
    PixelBudget ownBudget(PixelBudget::DocumentPixels, qGuiApp ? qGuiApp->devicePixelRatio() : 1.0);
    Parser parser(cursor, rtf, budget ? *budget : ownBudget);
    parser.run();
}

void insertText(QTextCursor &cursor, QByteArrayView text, PixelBudget *budget)
{
    if (isRtf(text)) {
        insertRtf(cursor, text, budget);
        return;
    }
    QString plain = cp950::decode(text);
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    cursor.insertText(plain);
}

void load(QTextDocument &document, QByteArrayView rtf, PixelBudget *budget)
{
    // A loaded text is where editing starts, not a step the user can undo.
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.clear();
    QTextCursor cursor(&document);
    insertRtf(cursor, rtf, budget);
    document.setUndoRedoEnabled(undo);
}

} // namespace RtfReader
