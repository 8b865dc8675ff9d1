#include "PictureBytes.h"

#include "richtext/DocumentPictures.h"
#include "richtext/PixelBudget.h"
#include "richtext/RtfPicture.h"
#include "richtext/RtfReader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

using namespace PictureBytes;

namespace {

// A body becomes a code page 950 document unless it is a whole document already.
QByteArray document(const QByteArray &body)
{
    return body.startsWith("{\\rtf") ? body : "{\\rtf1\\ansi\\ansicpg950\\deff0 " + body + "}";
}

QString plainText(const QByteArray &body)
{
    QTextDocument doc;
    RtfReader::load(doc, document(body));
    // Raw text keeps no-break spaces and line separators; only paragraphs become new lines.
    return doc.toRawText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

QTextCharFormat formatOf(const QTextDocument &doc, const QString &probe)
{
    const qsizetype at = doc.toPlainText().indexOf(probe);
    if (at < 0)
        return {};
    QTextCursor cursor(const_cast<QTextDocument *>(&doc));
    cursor.setPosition(int(at) + 1);
    return cursor.charFormat();
}

QList<QTextImageFormat> picturesOf(const QTextDocument &doc)
{
    QList<QTextImageFormat> pictures;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat()) {
                for (int i = 0; i < it.fragment().length(); ++i)
                    pictures.append(format.toImageFormat());
            }
        }
    }
    return pictures;
}

QByteArray hex(const QByteArray &bytes)
{
    return bytes.toHex().toUpper();
}

QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray vectorMetafile()
{
    return wmfHeader() + wmfRecord(0x020C, le16(100) + le16(200)) + wmfRecord(0x0213, le16(10) + le16(10));
}

const QRgb Green = qRgb(0, 255, 0);

QString corpusFolder()
{
    return qEnvironmentVariable("PARLUNE_SOURCE_DIR") + QStringLiteral("/../shared/testdata/rtf-corpus");
}

// Columns after the name of each corpus file: the other reader's picture count, the \pict groups written.
QHash<QString, QList<QByteArray>> corpusPictureCounts()
{
    QHash<QString, QList<QByteArray>> counts;
    QFile file(corpusFolder() + QStringLiteral("/expected/pictures.tsv"));
    if (!file.open(QIODevice::ReadOnly))
        return counts;
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().trimmed().split('\t');
        if (fields.size() >= 3)
            counts.insert(QString::fromUtf8(fields[0]), fields.mid(1));
    }
    return counts;
}

// Files whose text the other reader gets differently, and why it is not the judge there.
const QHash<QString, const char *> CorpusTextExceptions = {
    // It recomputes fields instead of showing their results.
    {QStringLiteral("rtfpipe__fields_simple_format_switch.rtf"), "format switches applied again"},
    // It labels list items from the list table, not with the label the writer wrote.
    {QStringLiteral("pandoc__writer.rtf"), "\\listtext 1. under a bullet list"},
    {QStringLiteral("tika__testRTFListMicrosoftWord.rtf"), "\\listtext in OpenSymbol"},
    {QStringLiteral("tika__testRTFJapanese.rtf"), "a Wingdings check mark as its own bullet"},
    // It leaves Symbol-font bytes and their private-use code points as they are.
    {QStringLiteral("rtfpipe__Issue46.rtf"), "a Wingdings SYMBOL field as the letter J"},
    {QStringLiteral("rtfjs__import-image.rtf"), "Symbol bullets as U+00B7"},
    {QStringLiteral("rtfpipe__old3_from_web.rtf"), "Symbol Greek letters dropped"},
    {QStringLiteral("rtfpipe__symbol.rtf"), "the Symbol font's whole table dropped"},
    {QStringLiteral("rtfpipe__RtfParserTest_5.rtf"), "a Symbol minus dropped"},
    {QStringLiteral("rtfpipe__tables_from_web1.rtf"), "U+F020, the Symbol font's space, dropped"},
    // It shows a lone surrogate as "?", this reader as U+FFFD.
    {QStringLiteral("rtfde__surrogate_pairs.rtf"), "lone surrogates"},
    {QStringLiteral("tika__testRTFInvalidUnicode.rtf"), "lone surrogates"},
};

// Files whose pictures the other reader counts differently: every picture group written is shown here.
const QHash<QString, int> CorpusPictureExceptions = {
    {QStringLiteral("rtfjs__wmf.rtf"), 40},                 // it shows 20 of them
    {QStringLiteral("rtfpipe__Issue37.rtf"), 2},            // it shows neither PNG of the shape pictures
    {QStringLiteral("tika__testRTFEmbeddedFiles.rtf"), 14}, // it leaves out one object's result picture
};

// Plain text as both readers can agree on it: every run of white space one space, no picture marks.
QString normalisedText(QString text)
{
    text.remove(QChar(0xFEFF)).remove(QChar::ObjectReplacementCharacter);
    QString out;
    out.reserve(text.size());
    bool space = false;
    for (const QChar c : std::as_const(text)) {
        if (c.isSpace() || c == QChar(0x00A0)) {
            space = true;
            continue;
        }
        if (space && !out.isEmpty())
            out += QLatin1Char(' ');
        space = false;
        out += c;
    }
    return out;
}
const QRgb PlaceholderGrey = qRgb(0xD4, 0xD4, 0xD4);

} // namespace

class TestRtfReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void text_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");
        // Code pages, from \ansicpg or from the current font's \fcharset.
        QTest::newRow("950 escapes") << QByteArray("\\'a4\\'a4\\'a4\\'e5") << QStringLiteral("中文");
        QTest::newRow("950 from fcharset136")
            << QByteArray("{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fcharset136 x;}}\\f0 \\'a4\\'a4}")
            << QStringLiteral("中");
        QTest::newRow("936") << QByteArray("{\\rtf1\\ansi\\ansicpg936 \\'d6\\'d0\\'ce\\'c4}") << QStringLiteral("中文");
        QTest::newRow("932 from fcharset128")
            << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f1\\fcharset128 MS;}}\\f1 \\'93\\'fa\\'96\\'7b\\'8c\\'ea}")
            << QStringLiteral("日本語");
        QTest::newRow("949") << QByteArray("{\\rtf1\\ansi\\ansicpg949 \\'c7\\'d1\\'b1\\'b9}") << QStringLiteral("한국");
        QTest::newRow("1252") << QByteArray("{\\rtf1\\ansi caf\\'e9}") << QStringLiteral("café");
        QTest::newRow("1251 from fcharset204")
            << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset204 A;}}\\f0 \\'c0}") << QStringLiteral("А");
        QTest::newRow("1253 from fcharset161")
            << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset161 A;}}\\f0 \\'e1}") << QStringLiteral("α");
        QTest::newRow("936 from a font's cpg")
            << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset1\\cpg936 A;}}\\f0 \\'d6\\'d0}")
            << QStringLiteral("中");
        QTest::newRow("fonts switch code pages")
            << QByteArray(
                   "{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset136 A;}{\\f1\\fcharset128 B;}}\\f0\\'a4\\'a4\\f1\\'93\\'fa}")
            << QStringLiteral("中日");
        // Symbol fonts: their bytes are the pictures the font draws.
        const QByteArray symbolFonts =
            "{\\rtf1\\ansi\\ansicpg950{\\fonttbl{\\f0\\fcharset136 A;}"
            "{\\f1\\fbidi\\froman\\fcharset2\\fprq2{\\*\\panose 05050102010706020507}Symbol;}"
            "{\\f2\\fnil\\fcharset2 Wingdings;}{\\f3\\fswiss Symbol;}{\\f4\\fcharset2 MT Extra;}}";
        QTest::newRow("symbol bullet") << symbolFonts + "{\\listtext\\f1\\'b7\\tab}x}" << QStringLiteral("•\tx");
        QTest::newRow("symbol greek and mathematics")
            << symbolFonts + "\\f1 a\\'62\\'44\\'57 \\'ae\\'b3\\'a5\\'d6\\'e5\\'f2\\f0\\'a4\\'a4}"
            << QStringLiteral("αβΔΩ →≥∞√∑∫中");
        QTest::newRow("symbol by name, by charset") << symbolFonts + "\\f3\\'b7\\f4\\'b7}" << QStringLiteral("••");
        QTest::newRow("wingdings bullets")
            << symbolFonts + "\\f2\\'a7\\'d8\\'fc\\'6c\\'6e\\'71\\'76}" << QStringLiteral("▪➢✓●■❑❖");
        QTest::newRow("symbol private use")
            << symbolFonts + "\\f1\\u-3913\\'b7\\f2\\u-3929?\\f0\\u-3913?}" << QStringLiteral("•▪•");
        QTest::newRow("symbol without a drawing") << symbolFonts + "\\f1\\'80}" << QStringLiteral("€");
        // The three forms of a double-byte character.
        QTest::newRow("escaped lead, literal trail") << QByteArray("\\'a7A\\'a6n") << QStringLiteral("你好");
        QTest::newRow("raw bytes") << QByteArray("\xa4\xa4\xa4\xe5") << QStringLiteral("中文");
        QTest::newRow("trail byte backslash") << QByteArray("\\'b3\\\\\\'a5\\'5c") << QStringLiteral("許功");
        QTest::newRow("trail byte braces") << QByteArray("\\'b3\\{\\'b3\\}") << QStringLiteral("逢逛");
        QTest::newRow("lone lead before par") << QByteArray("a\\'b1\\par b") << QStringLiteral("a\uFFFD\nb");
        QTest::newRow("lone lead at end") << QByteArray("a\\'b1") << QStringLiteral("a\uFFFD");
        QTest::newRow("lone lead before group") << QByteArray("\\'b1{\\b x}") << QStringLiteral("\uFFFDx");
        QTest::newRow("lone lead before keyword") << QByteArray("\\'b1\\tab x") << QStringLiteral("\uFFFD\tx");
        QTest::newRow("lead byte before a space")
            << QByteArray("\\'a4 x\\'a4\\'0d") << QStringLiteral("\uFFFD x\uFFFD\n");
        QTest::newRow("936 lead byte before a space")
            << QByteArray("{\\rtf1\\ansi\\ansicpg936 \\'d6 x}") << QStringLiteral("\uFFFD x");
        QTest::newRow("932 lone lead") << QByteArray("{\\rtf1\\ansi\\ansicpg932 \\'93\\par x}")
                                       << QStringLiteral("\uFFFD\nx");
        // Symbols and special characters.
        QTest::newRow("control symbols") << QByteArray("\\{a\\} \\\\ b\\~c\\-d\\_e")
                                         << QStringLiteral("{a} \\ b\u00A0cd\u2011e");
        QTest::newRow("special characters")
            << QByteArray("\\lquote x\\rquote \\ldblquote\\rdblquote\\emdash\\endash\\bullet")
            << QStringLiteral("‘x’“”—–•");
        QTest::newRow("tab and line") << QByteArray("a\\tab b\\line c") << QStringLiteral("a\tb\u2028c");
        QTest::newRow("raw line breaks ignored") << QByteArray("a\r\nb\nc") << QStringLiteral("abc");
        QTest::newRow("escaped line break") << QByteArray("a\\\nb") << QStringLiteral("a\nb");
        QTest::newRow("space ends a keyword") << QByteArray("\\b  x") << QStringLiteral(" x");
        // Destinations.
        QTest::newRow("unknown ignorable destination")
            << QByteArray("{\\*\\unknown hidden}shown") << QStringLiteral("shown");
        QTest::newRow("generator") << QByteArray("{\\*\\generator Riched20 5.50;}x") << QStringLiteral("x");
        QTest::newRow("known skipped destinations")
            << QByteArray("{\\info{\\title t}}{\\stylesheet{\\s0 Normal;}}x") << QStringLiteral("x");
        QTest::newRow("unknown keyword keeps text") << QByteArray("\\foo12 x{\\bar y}") << QStringLiteral("xy");
        QTest::newRow("tables show nothing")
            << QByteArray("{\\fonttbl{\\f0 Arial;}}{\\colortbl ;\\red1\\green2\\blue3;}x") << QStringLiteral("x");
        QTest::newRow("text after the document") << QByteArray("{\\rtf1 a}b") << QStringLiteral("a");
        QTest::newRow("word destinations without their star")
            << QByteArray("{*\\xmlnstbl {\\xmlns1 http://x}}{\\themedata 504b03}{\\datastore 0105}"
                          "{\\latentstyles\\lsdstimax376{\\lsdlockedexcept Normal;}}x")
            << QStringLiteral("*x");
        QTest::newRow("symbol fields with empty results")
            << QByteArray(
                   "({\\field{\\*\\fldinst SYMBOL 74 \\\\f \"Wingdings\" \\\\s 12}{\\fldrslt\\f14\\fs24}})"
                   "{\\field{\\*\\fldinst SYMBOL 0xB7 \\\\f \"Symbol\"}{\\fldrslt }}"
                   "{\\field{\\*\\fldinst SYMBOL 8364 \\\\u}{\\fldrslt}}{\\field{\\*\\fldinst SYMBOL 65}{\\fldrslt B}}")
            << QStringLiteral("(☺)•€B");
        QTest::newRow("footnote marks numbered")
            << QByteArray("a\\chftn{\\footnote\\chftn  note}b\\chftn{\\footnote x}") << QStringLiteral("a1b2");
        QTest::newRow("nested table cells")
            << QByteArray("a\\nestcell b\\nestcell{\\*\\nesttableprops\\trowd}\\nestrow c")
            << QStringLiteral("a\tb\t\nc");
        QTest::newRow("mac japanese")
            << QByteArray("{\\rtf1\\mac\\ansicpg10001{\\fonttbl\\f0\\fcharset77 Helvetica;\\f1\\fcharset78 Hira;}"
                          "\\f1 \\'83\\'56\\'91\\'a2\\f0 \\'a5}")
            << QStringLiteral("シ造•");
    }
    void text()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        QCOMPARE(plainText(body), expected);
    }

    void unicode_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");
        QTest::newRow("default skips one") << QByteArray("\\u20013?x") << QStringLiteral("中x");
        QTest::newRow("uc1") << QByteArray("\\uc1\\u20013?x") << QStringLiteral("中x");
        QTest::newRow("uc2 skips an escaped pair") << QByteArray("\\uc2\\u20013\\'a4\\'a4x") << QStringLiteral("中x");
        QTest::newRow("uc0") << QByteArray("\\uc0\\u20013 x") << QStringLiteral("中x");
        QTest::newRow("negative") << QByteArray("\\u-200?") << QString(QChar(0xFF38));
        QTest::newRow("surrogate pair") << QByteArray("\\u-10179?\\u-8704?") << QStringLiteral("😀");
        QTest::newRow("uc scoped to its group")
            << QByteArray("{\\uc2\\u20013 ab}\\u20013 cd") << QStringLiteral("中中d");
        QTest::newRow("group end stops skipping") << QByteArray("\\uc3\\u20013{x}y") << QStringLiteral("中xy");
        QTest::newRow("keyword counts as one") << QByteArray("\\u20013\\lquote x") << QStringLiteral("中x");
        QTest::newRow("bin counts as one") << QByteArray("\\u20013\\bin2 abx") << QStringLiteral("中x");
        QTest::newRow("out of range") << QByteArray("\\u99999999 ?") << QStringLiteral("\uFFFD");
        QTest::newRow("a picture's placeholder is no picture") << QByteArray("a\\u-4?b") << QStringLiteral("a\uFFFDb");
        QTest::newRow("frame marks are no frame") << QByteArray("\\u-560?\\u-559?") << QStringLiteral("\uFFFD\uFFFD");
    }
    void unicode()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        QCOMPARE(plainText(body), expected);
    }

    void formatting_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("probe");
        QTest::addColumn<int>("property");
        QTest::addColumn<QVariant>("expected"); // invalid: the property is not set
        const int weight = QTextFormat::FontWeight;
        const int italic = QTextFormat::FontItalic;
        const int underline = QTextFormat::TextUnderlineStyle;
        const int strike = QTextFormat::FontStrikeOut;
        const int size = QTextFormat::FontPointSize;
        const int families = QTextFormat::FontFamilies;
        const int foreground = QTextFormat::ForegroundBrush;
        const int background = QTextFormat::BackgroundBrush;
        const QVariant bold(int(QFont::Bold));
        const QVariant single(int(QTextCharFormat::SingleUnderline));
        QTest::newRow("bold") << QByteArray("\\b x\\b0 y") << "x" << weight << bold;
        QTest::newRow("b0 ends bold") << QByteArray("\\b x\\b0 y") << "y" << weight << QVariant();
        QTest::newRow("group ends bold") << QByteArray("{\\b x}y") << "y" << weight << QVariant();
        QTest::newRow("italic") << QByteArray("\\i x") << "x" << italic << QVariant(true);
        QTest::newRow("underline") << QByteArray("\\ul x\\ulnone y") << "x" << underline << single;
        QTest::newRow("ulnone") << QByteArray("\\ul x\\ulnone y") << "y" << underline << QVariant();
        QTest::newRow("ul0") << QByteArray("\\ul x\\ul0 y") << "y" << underline << QVariant();
        QTest::newRow("strike") << QByteArray("\\strike x") << "x" << strike << QVariant(true);
        QTest::newRow("plain resets") << QByteArray("\\b\\i x\\plain y") << "y" << italic << QVariant();
        QTest::newRow("size in half points") << QByteArray("\\fs28 x") << "x" << size << QVariant(14.0);
        QTest::newRow("size absent") << QByteArray("x") << "x" << size << QVariant();
        QTest::newRow("huge size capped") << QByteArray("\\fs99999999 x") << "x" << size << QVariant(1638.0);
        QTest::newRow("font name in code page 950")
            << QByteArray("{\\fonttbl{\\f1\\fcharset136 \\'b2\\'d3\\'a9\\'fa\\'c5\\'e9;}}\\f1 x") << "x" << families
            << QVariant(QStringList{QStringLiteral("細明體")});
        QTest::newRow("default font") << QByteArray(
                                             "{\\rtf1\\ansi\\deff1{\\fonttbl{\\f0 Courier;}{\\f1\\fswiss Arial;}} x}")
                                      << "x" << families << QVariant(QStringList{QStringLiteral("Arial")});
        const QByteArray colours("{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}");
        QTest::newRow("cf") << colours + "\\cf1 x\\cf2 y\\cf0 z"
                            << "x" << foreground << QVariant(QBrush(QColor(255, 0, 0)));
        QTest::newRow("cf2") << colours + "\\cf1 x\\cf2 y\\cf0 z"
                             << "y" << foreground << QVariant(QBrush(QColor(0, 0, 255)));
        QTest::newRow("cf0 is auto") << colours + "\\cf1 x\\cf2 y\\cf0 z"
                                     << "z" << foreground << QVariant();
        QTest::newRow("cf beyond table") << colours + "\\cf9 x"
                                         << "x" << foreground << QVariant();
        QTest::newRow("highlight") << colours + "\\highlight2 x"
                                   << "x" << background << QVariant(QBrush(QColor(0, 0, 255)));
        QTest::newRow("cb") << colours + "\\cb1 x"
                            << "x" << background << QVariant(QBrush(QColor(255, 0, 0)));
    }
    void formatting()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, probe);
        QFETCH(int, property);
        QFETCH(QVariant, expected);
        QTextDocument doc;
        RtfReader::load(doc, document(body));
        const QTextCharFormat format = formatOf(doc, probe);
        if (!expected.isValid()) {
            QVERIFY2(!format.hasProperty(property) || format.property(property) == QVariant(0) ||
                         format.property(property) == QVariant(false) || format.property(property) == QVariant(400),
                     qPrintable(format.property(property).toString()));
            return;
        }
        QCOMPARE(format.property(property), expected);
    }

    void alignment_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QList<int>>("alignments");
        const int left = Qt::AlignLeft;
        const int centre = Qt::AlignHCenter;
        const int right = Qt::AlignRight;
        QTest::newRow("each paragraph its own") << QByteArray("\\qc a\\par\\qr b\\par\\pard c\\par\\qj d")
                                                << QList<int>{centre, right, left, int(Qt::AlignJustify)};
        QTest::newRow("kept until pard") << QByteArray("\\qc a\\par b") << QList<int>{centre, centre};
        QTest::newRow("scoped to a group") << QByteArray("{\\qr a\\par}b") << QList<int>{right, left};
        QTest::newRow("last paragraph mark") << QByteArray("\\pard\\qc a\\par") << QList<int>{centre};
    }
    void alignment()
    {
        QFETCH(QByteArray, body);
        QFETCH(QList<int>, alignments);
        QTextDocument doc;
        RtfReader::load(doc, document(body));
        QList<int> actual;
        for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
            actual.append(int(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask));
        QCOMPARE(actual, alignments);
    }

    void paragraphs_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");
        QTest::newRow("last par closes the last paragraph") << QByteArray("a\\par\n") << QStringLiteral("a");
        QTest::newRow("empty last line") << QByteArray("a\\par\\par") << QStringLiteral("a\n");
        QTest::newRow("two paragraphs") << QByteArray("a\\par b\\par") << QStringLiteral("a\nb");
        QTest::newRow("leading empty paragraph") << QByteArray("\\par a") << QStringLiteral("\na");
        QTest::newRow("windows control output")
            << QByteArray(
                   "{\\rtf1\\ansi\\ansicpg950\\deff0\\deflang1033\\deflangfe1028{\\fonttbl{\\f0\\fnil\\fcharset136 "
                   "\\'b7\\'73\\'b2\\'d3\\'a9\\'fa\\'c5\\'e9;}}\r\n\\viewkind4\\uc1\\pard\\lang1028\\f0\\fs20 "
                   "\\'a7\\'41\\'a6\\'6e\\par\r\nabc\\par\r\n}\r\n")
            << QStringLiteral("你好\nabc");
        QTest::newRow("auto-reply frame, escape right after a keyword")
            << QByteArray(
                   "{\\rtf1\\ansi\\ansicpg950\\deff0\\deflang1033\\deflangfe1028{\\fonttbl{\\f0\\fnil\\fcharset136 "
                   "\\'b2\\'d3\\'a9\\'fa\\'c5\\'e9;}}\\viewkind4\\uc1\\pard\\lang1028\\f0\\fs20\\'b1\\'7a\\'a6\\'6e!"
                   "\\'a7\\'da\\'b2\\'7b\\'a6\\'62\\'a6\\'b3\\'a8\\'c6\\'a6\\'a3\\'a1\\'41\\'bd\\'d0\\'b5\\'79\\'ab\\'"
                   "e1"
                   "\\'c1\\'70\\'b5\\'b8\\lang1033 ...\\lang1028\\par}")
            << QStringLiteral("您好!我現在有事忙，請稍後聯絡...");
    }
    void paragraphs()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        QCOMPARE(plainText(body), expected);
    }

    void links_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("href"); // empty: no link
        QTest::newRow("hyperlink") << QByteArray(
                                          "{\\field{\\*\\fldinst HYPERLINK \"http://example.com/\"}{\\fldrslt site}}")
                                   << "site"
                                   << "http://example.com/";
        QTest::newRow("groups inside")
            << QByteArray("{\\field{\\*\\fldinst{HYPERLINK \"http://a.b/c?d=1\" }}{\\fldrslt{\\ul\\cf1 go}}}") << "go"
            << "http://a.b/c?d=1";
        QTest::newRow("unquoted") << QByteArray("{\\field{\\*\\fldinst HYPERLINK http://x.y/}{\\fldrslt x}}") << "x"
                                  << "http://x.y/";
        QTest::newRow("tooltip switch")
            << QByteArray("{\\field{\\*\\fldinst HYPERLINK \"http://b/\" \\\\o \"tip\"}{\\fldrslt b}}") << "b"
            << "http://b/";
        QTest::newRow("bookmark") << QByteArray("{\\field{\\*\\fldinst HYPERLINK \\\\l \"top\"}{\\fldrslt t}}") << "t"
                                  << "#top";
        QTest::newRow("other field") << QByteArray("{\\field{\\*\\fldinst PAGE}{\\fldrslt 3}}") << "3"
                                     << "";
    }
    void links()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, text);
        QFETCH(QString, href);
        QTextDocument doc;
        RtfReader::load(doc, document(body + "after"));
        QCOMPARE(doc.toPlainText(), text + QStringLiteral("after"));
        const QTextCharFormat link = formatOf(doc, text);
        QCOMPARE(link.isAnchor(), !href.isEmpty());
        QCOMPARE(link.anchorHref(), href);
        if (!href.isEmpty()) {
            QVERIFY(link.fontUnderline());
            QCOMPARE(link.foreground().color(), QColor(0, 0, 255));
        }
        QVERIFY(!formatOf(doc, QStringLiteral("after")).isAnchor());
    }

    void pictures_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("count");
        QTest::addColumn<QSizeF>("shown");
        QTest::addColumn<QSize>("imageSize");
        QTest::addColumn<QRgb>("topLeft");

        const QByteArray bitmap = hex(PictureBytes::dib(pattern(4, 2)));
        QTest::newRow("message picture group")
            << "{\\rtf1 {\\pict\\dibitmap " + bitmap + " }}" << 1 << QSizeF(4, 2) << QSize(4, 2) << Green;
        QTest::newRow("dibitmap with goal")
            << "{\\pict\\dibitmap0\\picw4\\pich2\\picwgoal600\\pichgoal300 " + bitmap + "}" << 1 << QSizeF(40, 20)
            << QSize(4, 2) << Green;
        QByteArray spaced;
        for (qsizetype i = 0; i < bitmap.size(); i += 7)
            spaced += bitmap.mid(i, 7) + "\r\n \t";
        QTest::newRow("hex with white space")
            << "{\\pict\\dibitmap " + spaced + "}" << 1 << QSizeF(4, 2) << QSize(4, 2) << Green;
        QTest::newRow("odd nibble dropped")
            << "{\\pict\\dibitmap " + bitmap + "F}" << 1 << QSizeF(4, 2) << QSize(4, 2) << Green;
        const QByteArray raw = PictureBytes::dib(pattern(4, 2));
        QTest::newRow("binary data") << "{\\pict\\dibitmap\\bin" + QByteArray::number(raw.size()) + " " + raw + "}" << 1
                                     << QSizeF(4, 2) << QSize(4, 2) << Green;
        QTest::newRow("wbitmap") << QByteArray("{\\pict\\wbitmap0\\picw1\\pich2\\picwbmp4\\picbpp24 00FF000000000000}")
                                 << 1 << QSizeF(1, 2) << QSize(1, 2) << Green;
        const QByteArray wmf = hex(wmfStretchDib(PictureBytes::dib(pattern(4, 2)), {4, 2}, {0, 0, 4, 2}));
        QTest::newRow("wmetafile8 stretchdib")
            << "{\\pict\\wmetafile8\\picw106\\pich53\\picwgoal60\\pichgoal30 " + wmf + "}" << 1 << QSizeF(4, 2)
            << QSize(4, 2) << Green;
        QTest::newRow("wmetafile size in hundredths of mm")
            << "{\\pict\\wmetafile8\\picw2540\\pich1270 " + wmf + "}" << 1 << QSizeF(96, 48) << QSize(4, 2) << Green;
        QTest::newRow("vector metafile") << "{\\pict\\wmetafile8\\picwgoal1500\\pichgoal750 " + hex(vectorMetafile()) +
                                                "}"
                                         << 1 << QSizeF(100, 50) << QSize(16, 16) << PlaceholderGrey;
        const QByteArray png = hex(pngBytes(pattern(6, 4)));
        QTest::newRow("pngblip scaled") << "{\\pict\\pngblip\\picscalex200\\picscaley150 " + png + "}" << 1
                                        << QSizeF(12, 6) << QSize(6, 4) << Green;
        const QByteArray jpg = hex(PictureBytes::jpeg(filled(16, 8, Green)));
        QTest::newRow("jpegblip") << "{\\pict\\jpegblip\\picw16\\pich8 " + jpg + "}" << 1 << QSizeF(16, 8)
                                  << QSize(16, 8) << Green;
        QTest::newRow("emfblip") << QByteArray("{\\pict\\emfblip\\picwgoal1500\\pichgoal750 0102030405}") << 1
                                 << QSizeF(100, 50) << QSize(16, 16) << PlaceholderGrey;
        QTest::newRow("shppict taken, nonshppict not")
            << "{\\*\\shppict{\\pict\\pngblip " + png + "}}{\\nonshppict{\\pict\\wmetafile8 " + wmf + "}}" << 1
            << QSizeF(6, 4) << QSize(6, 4) << Green;
        QTest::newRow("object result")
            << "{\\object\\objemb{\\*\\objclass Paint.Picture}\\objw100\\objh50{\\*\\objdata 01050000020000}"
               "{\\result{\\pict\\dibitmap " +
                   bitmap + "}}}"
            << 1 << QSizeF(4, 2) << QSize(4, 2) << Green;
        QTest::newRow("drawing object picture, its result skipped")
            << "{\\shp{\\*\\shpinst\\shpleft0{\\sp{\\sn shapeType}{\\sv 75}}{\\sp{\\sn pib}{\\sv {\\pict\\dibitmap " +
                   bitmap + "}}}{\\sp{\\sn fLine}{\\sv 0}}}{\\shprslt\\par{\\pict\\pngblip " + png + "}}}"
            << 1 << QSizeF(4, 2) << QSize(4, 2) << Green;
        QTest::newRow("drawing object without a picture shows its result")
            << "{\\shp{\\*\\shpinst{\\sp{\\sn shapeType}{\\sv 1}}{\\sp{\\sn fillBlip}{\\sv {\\pict\\pngblip " + png +
                   "}}}}{\\*\\shprslt{\\pict\\dibitmap " + bitmap + "}}}"
            << 1 << QSizeF(4, 2) << QSize(4, 2) << Green;
        QTest::newRow("group of drawing objects")
            << "{\\shpgrp{\\*\\shpinst{\\sp{\\sn groupLeft}{\\sv 0}}{\\shp{\\*\\shpinst{\\sp{\\sn pib}{\\sv "
               "{\\pict\\dibitmap " +
                   bitmap + "}}}{\\shptxt hidden}}}}}"
            << 1 << QSizeF(4, 2) << QSize(4, 2) << Green;
        QTest::newRow("object result of two kinds")
            << "{\\object\\objemb\\objw100\\objh50{\\*\\objdata 0105}{\\result{\\*\\shppict{\\pict\\pngblip " + png +
                   "}}{\\nonshppict{\\pict\\wmetafile8 " + wmf + "}}}}"
            << 1 << QSizeF(6, 4) << QSize(6, 4) << Green;
        QTest::newRow("picture properties group")
            << "{\\pict{\\*\\picprop{\\sp{\\sn x}{\\sv 1}}}\\dibitmap " + bitmap + "}" << 1 << QSizeF(4, 2)
            << QSize(4, 2) << Green;
        QTest::newRow("undecodable with goal") << QByteArray("{\\pict\\dibitmap\\picwgoal150\\pichgoal150 0011}") << 1
                                               << QSizeF(10, 10) << QSize(16, 16) << PlaceholderGrey;
        QTest::newRow("undecodable without size")
            << QByteArray("{\\pict\\dibitmap 0011}") << 0 << QSizeF() << QSize() << QRgb(0);
        QTest::newRow("two pictures") << "{\\pict\\dibitmap " + bitmap + "}{\\pict\\pngblip " + png + "}" << 2
                                      << QSizeF(4, 2) << QSize(4, 2) << Green;
    }
    void pictures()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, count);
        QFETCH(QSizeF, shown);
        QFETCH(QSize, imageSize);
        QFETCH(QRgb, topLeft);
        QTextDocument doc;
        RtfReader::load(doc, document("a" + body + "b"));
        QCOMPARE(doc.toPlainText(),
                 QStringLiteral("a") + QString(count, QChar::ObjectReplacementCharacter) + QStringLiteral("b"));
        const QList<QTextImageFormat> pictures = picturesOf(doc);
        QCOMPARE(pictures.size(), count);
        if (!count)
            return;
        QCOMPARE(QSizeF(pictures[0].width(), pictures[0].height()), shown);
        const QImage image = DocumentPictures::imageOf(doc, pictures[0]);
        QCOMPARE(image.size(), imageSize);
        const QPoint probe = topLeft == PlaceholderGrey ? QPoint(image.width() / 2, image.height() / 2) : QPoint();
        QVERIFY(near(image.pixel(probe), topLeft, 8));
        if (count > 1)
            QVERIFY(pictures[0].name() != pictures[1].name());
    }

    void insertion_data()
    {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QByteArray>("inserted");
        QTest::addColumn<QString>("expected");
        QTest::newRow("middle of a paragraph")
            << "HelloWorld" << 5 << QByteArray("{\\rtf1 \\b ABC}") << "HelloABCWorld";
        QTest::newRow("paragraph break in the middle")
            << "HelloWorld" << 5 << QByteArray("{\\rtf1 A\\par B}") << "HelloA\nBWorld";
        QTest::newRow("at the end") << "ab" << 2 << QByteArray("{\\rtf1 c}") << "abc";
        QTest::newRow("before later paragraphs") << "ab\ncd" << 1 << QByteArray("{\\rtf1 X\\par Y}") << "aX\nYb\ncd";
        QTest::newRow("picture at the caret")
            << "ab" << 1 << "{\\rtf1 {\\pict\\dibitmap " + hex(PictureBytes::dib(pattern(2, 2))) + " }}"
            << "a\uFFFCb";
        QTest::newRow("plain code page 950 text") << "ab" << 1 << QByteArray("\xa4\xa4\r\n\xa4\xe5") << "a中\n文b";
        QTest::newRow("plain text is not parsed") << "" << 0 << QByteArray("{\\b x}") << "{\\b x}";
    }
    void insertion()
    {
        QFETCH(QString, existing);
        QFETCH(int, caret);
        QFETCH(QByteArray, inserted);
        QFETCH(QString, expected);
        QTextDocument doc;
        doc.setPlainText(existing);
        QTextCursor cursor(&doc);
        cursor.setPosition(caret);
        RtfReader::insertText(cursor, inserted);
        QCOMPARE(doc.toPlainText(), expected);
    }

    // Pictures read from separate texts into one document stay distinct, and load() replaces everything.
    void picturesAccumulateAndLoadReplaces()
    {
        QTextDocument doc;
        QTextCursor cursor(&doc);
        RtfReader::insertRtf(cursor, "{\\rtf1 {\\pict\\dibitmap " + hex(PictureBytes::dib(filled(2, 2, Green))) + "}}");
        RtfReader::insertRtf(cursor, "{\\rtf1 {\\pict\\dibitmap " + hex(PictureBytes::dib(filled(3, 3, Green))) + "}}");
        const QList<QTextImageFormat> pictures = picturesOf(doc);
        QCOMPARE(pictures.size(), 2);
        QCOMPARE(DocumentPictures::imageOf(doc, pictures[0]).size(), QSize(2, 2));
        QCOMPARE(DocumentPictures::imageOf(doc, pictures[1]).size(), QSize(3, 3));

        RtfReader::load(doc, "{\\rtf1 new}");
        QCOMPARE(doc.toPlainText(), QStringLiteral("new"));
    }

    // A window keeps one budget across all the texts it shows; without one each text gets its own.
    void budgetAcrossTexts()
    {
        QTextDocument doc;
        QTextCursor cursor(&doc);
        PixelBudget budget(20);
        const QByteArray four = "{\\rtf1 {\\pict\\dibitmap " + hex(PictureBytes::dib(filled(2, 2, Green))) + "}}";
        const QByteArray nine =
            "{\\rtf1 {\\pict\\dibitmap\\picw3\\pich3 " + hex(PictureBytes::dib(filled(3, 3, Green))) + "}}";
        RtfReader::insertRtf(cursor, four, &budget);
        RtfReader::insertText(cursor, nine, &budget);
        QCOMPARE(budget.spent(), 13);
        RtfReader::insertRtf(cursor, nine, &budget);
        QCOMPARE(budget.spent(), 13);
        QList<QTextImageFormat> pictures = picturesOf(doc);
        QCOMPARE(pictures.size(), 3);
        QCOMPARE(DocumentPictures::imageOf(doc, pictures[2]), RtfPicture::placeholder());
        QCOMPARE(QSizeF(pictures[2].width(), pictures[2].height()), QSizeF(3, 3));

        budget.refund(9);
        RtfReader::load(doc, nine, &budget);
        QCOMPARE(budget.spent(), 13);
        RtfReader::load(doc, nine);
        QCOMPARE(DocumentPictures::imageOf(doc, picturesOf(doc).value(0)).size(), QSize(3, 3));
        QCOMPARE(budget.spent(), 13);
    }

    // Text at any depth is shown; groups closed deep down still restore their formatting, and skipped
    // destinations stay skipped, as mail programs nest thousands of groups they never close.
    void deepNesting()
    {
        const QByteArray deep(3000, '{');
        const QByteArray picture = "{\\pict\\dibitmap " + hex(PictureBytes::dib(filled(2, 2, Green))) + "}";
        QTextDocument doc;
        RtfReader::load(doc, "{\\rtf1 a" + deep + "{\\b B}c{\\*\\htmltag <td>}" + picture + "d" +
                                 QByteArray(2990, '}') + "{\\i e}" + QByteArray(10, '}') + "f}");
        QCOMPARE(doc.toPlainText(), QStringLiteral("aBc\uFFFCdef"));
        QVERIFY(formatOf(doc, QStringLiteral("B")).fontWeight() == QFont::Bold);
        QVERIFY(formatOf(doc, QStringLiteral("c")).fontWeight() != QFont::Bold);
        QVERIFY(formatOf(doc, QStringLiteral("e")).fontItalic());
        QVERIFY(!formatOf(doc, QStringLiteral("f")).fontItalic());
        QCOMPARE(DocumentPictures::imageOf(doc, picturesOf(doc).value(0)).size(), QSize(2, 2));

        // A mail program's HTML: every tag a group, the text between them never closed.
        QByteArray mail = "{\\rtf1\\ansi\\fromhtml1 ";
        for (int i = 0; i < 2000; ++i)
            mail += "{\\*\\htmltag64 <span>}{\\fs20 w" + QByteArray::number(i % 10);
        RtfReader::load(doc, mail + "}");
        QCOMPARE(doc.toPlainText().size(), 4000);
        QVERIFY(doc.toPlainText().endsWith(QStringLiteral("w8w9")));
    }

    // Pictures whose data is tiny and whose pixels are not: what they cost stays with what is shown.
    void pictureBombs()
    {
        const QByteArray runLength = infoHeader(8192, 8192, 8, 1, 1) + bgr0(Green) + QByteArray("\x00\x01", 2);
        const QByteArray bulletin = "{\\rtf1{\\pict\\dibitmap\\picwgoal150\\pichgoal150 " + hex(runLength) + "}}";
        QVERIFY(bulletin.size() <= 142);
        QTextDocument doc;
        PixelBudget budget;
        RtfReader::load(doc, bulletin, &budget);
        QList<QTextImageFormat> pictures = picturesOf(doc);
        QCOMPARE(pictures.size(), 1);
        QCOMPARE(DocumentPictures::imageOf(doc, pictures[0]).size(), QSize(10, 10));
        QCOMPARE(budget.spent(), 100);

        // Each metafile draws one pixel of a bitmap a little under the most one picture may have; the bitmaps
        // are unpacked all the same.
        const QByteArray under = infoHeader(8192, 8000, 8, 1, 1) + bgr0(Green) + QByteArray("\x00\x01", 2);
        const QByteArray metafile = wmfStretchDib(under, {1, 1}, {0, 0, 10, 10});
        const QByteArray picture = "{\\pict\\wmetafile8\\picwgoal150\\pichgoal150 " + hex(metafile) + "}";
        RtfReader::load(doc, "{\\rtf1 " + picture.repeated(120) + "}");
        pictures = picturesOf(doc);
        QCOMPARE(pictures.size(), 120);
        int decoded = 0;
        for (const QTextImageFormat &format : pictures) {
            decoded += DocumentPictures::imageOf(doc, format) == RtfPicture::placeholder() ? 0 : 1;
            QCOMPARE(QSizeF(format.width(), format.height()), QSizeF(10, 10));
        }
        QCOMPARE(decoded, 1);
    }

    // Whatever arrives from the network: no crash, no hang, and what could be read is in the document.
    void hostile_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("expected");
        QTest::newRow("unclosed groups") << QByteArray("{\\rtf1 {\\b {\\i a") << "a";
        QTest::newRow("extra closing braces") << QByteArray("{\\rtf1 a}}}}") << "a";
        QTest::newRow("closing brace first") << QByteArray("}{\\rtf1 a}") << "";
        QTest::newRow("nesting thousands deep")
            << "{\\rtf1 a" + QByteArray(20000, '{') + "deep" + QByteArray(20000, '}') + "b}"
            << "adeepb";
        QTest::newRow("nesting below the cap")
            << "{\\rtf1 a" + QByteArray(200, '{') + "kept" + QByteArray(200, '}') + "b}"
            << "akeptb";
        QTest::newRow("unbalanced deep nesting") << "{\\rtf1 a" + QByteArray(100000, '{') + "x"
                                                 << "ax";
        QTest::newRow("bin beyond the end") << QByteArray("{\\rtf1 a\\bin999999999999 xyz}") << "a";
        QTest::newRow("bin negative") << QByteArray("{\\rtf1 a\\bin-5 xyz}") << "axyz";
        QTest::newRow("bin hides braces in a skipped group") << QByteArray("{\\rtf1 {\\*\\foo \\bin2 }}}b}") << "b";
        QTest::newRow("picw 2^31") << QByteArray("{\\rtf1 {\\pict\\dibitmap\\picw2147483648\\pich2147483648 00}x}")
                                   << "\uFFFCx";
        QTest::newRow("dib claims more bytes than follow")
            << "{\\rtf1 {\\pict\\dibitmap\\picwgoal150\\pichgoal150 " + hex(infoHeader(5000, 5000, 24)) + "0000}x}"
            << "\uFFFCx";
        QByteArray jpegBytes = PictureBytes::jpeg(filled(16, 16, Green));
        jpegBytes.replace(jpegBytes.indexOf("\xFF\xC0") + 5, 4, QByteArray("\xFF\xF0\xFF\xF0", 4));
        QTest::newRow("jpeg with enormous dimensions")
            << "{\\rtf1 {\\pict\\jpegblip\\picwgoal150\\pichgoal150 " + hex(jpegBytes) + "}x}"
            << "\uFFFCx";
        QTest::newRow("truncated hex") << "{\\rtf1 a{\\pict\\dibitmap " +
                                              hex(PictureBytes::dib(pattern(4, 2))).chopped(9)
                                       << "a\uFFFC";
        QTest::newRow("lone lead byte at the end") << QByteArray("{\\rtf1\\ansicpg950 a\\'b1") << "a\uFFFD";
        QTest::newRow("hex escape cut off") << QByteArray("{\\rtf1 a\\'4") << "a";
        QTest::newRow("backslash at the end") << QByteArray("{\\rtf1 a\\") << "a";
        QTest::newRow("keyword of 100 letters") << "{\\rtf1 \\" + QByteArray(100, 'b') + " x}"
                                                << "x";
        QTest::newRow("parameters beyond 32 bits")
            << QByteArray("{\\rtf1 \\fs99999999999999999999 x\\cf-99999999999999 y\\uc99999999999 z}") << "xyz";
        QTest::newRow("thousands of fonts and colours")
            << "{\\rtf1 {\\fonttbl" + QByteArray("{\\f1\\fcharset136 n;}").repeated(5000) + "}{\\colortbl " +
                   QByteArray("\\red1;").repeated(5000) + "}\\f1\\cf4000 x}"
            << "x";
        QTest::newRow("thousands of fields") << "{\\rtf1 " + QByteArray("{\\field{\\fldrslt a}}").repeated(6000) + "}"
                                             << QString(6000, QLatin1Char('a'));
        QTest::newRow("picture inside a picture")
            << QByteArray("{\\rtf1 {\\pict\\dibitmap{\\pict\\pngblip 00}00}x}") << "x";
        QTest::newRow("thousands of placeholders")
            << "{\\rtf1 " + QByteArray("{\\pict\\picwgoal99999\\pichgoal99999 00}").repeated(20000) + "}"
            << QString(20000, QChar::ObjectReplacementCharacter);
        QByteArray runLength = infoHeader(8192, 8192, 8, 1, 1) + QByteArray(4, '\0') + QByteArray("\x00\x01", 2);
        QTest::newRow("many pictures claiming the most pixels")
            << "{\\rtf1 " + ("{\\pict\\dibitmap\\picwgoal150\\pichgoal150 " + hex(runLength) + "}").repeated(40) + "}"
            << QString(40, QChar::ObjectReplacementCharacter);
        QTest::newRow("nul bytes") << QByteArray("{\\rtf1 a\0b}", 11) << "ab";
    }
    void hostile()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, expected);
        QTextDocument doc;
        RtfReader::load(doc, rtf);
        QCOMPARE(doc.toPlainText(), expected);
        for (const QTextImageFormat &picture : picturesOf(doc)) {
            QVERIFY(picture.width() <= 8192 && picture.height() <= 8192);
            QVERIFY(DocumentPictures::imageOf(doc, picture).width() <= 8192);
        }
    }

    // Documents written by other programs.
    void samples()
    {
        const QDir folder(qEnvironmentVariable("PARLUNE_SOURCE_DIR") + QStringLiteral("/../shared/rtf-samples"));
        const QStringList names = folder.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name);
        if (names.isEmpty())
            QSKIP("no RTF samples beside the source tree");
        for (const QString &name : names) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QTextDocument doc;
            RtfReader::load(doc, file.readAll());
            QVERIFY2(!doc.toPlainText().trimmed().isEmpty(), qPrintable(name));
            if (name == QLatin1String("riched20-5.50-cp932.rtf"))
                QCOMPARE(doc.toPlainText(), QStringLiteral("お元気ですか？"));
        }
    }

    // Documents of real programs, against another reader's plain text and picture counts.
    void corpus_data()
    {
        QTest::addColumn<QString>("name");
        const QDir folder(corpusFolder() + QStringLiteral("/files"));
        const QStringList names = folder.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name);
        if (names.isEmpty())
            QSKIP("no RTF corpus beside the source tree");
        for (const QString &name : names)
            QTest::newRow(qPrintable(name)) << name;
    }
    void corpus()
    {
        QFETCH(QString, name);
        QFile file(corpusFolder() + QStringLiteral("/files/") + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QTextDocument doc;
        RtfReader::load(doc, file.readAll());
        const QString base = name.chopped(4);
        QFile expected(corpusFolder() + QStringLiteral("/expected/") + base + QStringLiteral(".txt"));
        const QList<QByteArray> counts = corpusPictureCounts().value(name);
        if (!counts.isEmpty()) {
            // The other reader's count, else (where it could not open the file) the picture groups written.
            const int theirs = counts.value(0).toInt();
            QCOMPARE(int(picturesOf(doc).size()),
                     CorpusPictureExceptions.value(name, theirs >= 0 ? theirs : counts.value(1).toInt()));
        }
        if (!expected.open(QIODevice::ReadOnly))
            return;
        const QString want = normalisedText(QString::fromUtf8(expected.readAll()));
        const QString got = normalisedText(doc.toPlainText());
        QCOMPARE(got.isEmpty(), want.isEmpty());
        if (const auto why = CorpusTextExceptions.find(name); why != CorpusTextExceptions.end()) {
            QVERIFY2(got != want, "an exception that no longer differs: take it off the list");
            return;
        }
        if (got != want) {
            qsizetype at = 0;
            while (at < got.size() && at < want.size() && got[at] == want[at])
                ++at;
            qWarning().noquote() << "read: " << got.mid(qMax(0, int(at) - 40), 120);
            qWarning().noquote() << "other:" << want.mid(qMax(0, int(at) - 40), 120);
        }
        QCOMPARE(got, want);
    }
};

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
