#include "richtext/DocumentPictures.h"
#include "richtext/RtfWriter.h"

#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtEndian>

namespace {

const QByteArray MingFontEntry = "{\\f0\\fnil\\fcharset136 \\'b2\\'d3\\'a9\\'fa\\'c5\\'e9;}";
const QByteArray Header = "{\\rtf1\\ansi\\ansicpg950\\deff0\\deflang1033\\deflangfe1028{\\fonttbl" + MingFontEntry +
                          "}\\viewkind4\\uc1\\pard\\lang1028\\f0\\fs20";

QString ming()
{
    return QString::fromUtf8("細明體");
}

// A message as the editor starts it: 10-point Ming text.
std::unique_ptr<QTextDocument> newDocument()
{
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(QFont(ming(), 10));
    return document;
}

QTextCharFormat formatWith(const std::function<void(QTextCharFormat &)> &change)
{
    QTextCharFormat format;
    change(format);
    return format;
}

// The bytes between the opening "\fs20" and the closing "\par}" of a one-paragraph message.
QByteArray bodyOf(const QByteArray &rtf)
{
    if (!rtf.startsWith(Header) || !rtf.endsWith("\\par}"))
        return "unexpected frame: " + rtf;
    return rtf.mid(Header.size(), rtf.size() - Header.size() - 5);
}

QByteArray writeText(const QString &text)
{
    auto document = newDocument();
    QTextCursor(document.get()).insertText(text);
    return RtfWriter::write(*document);
}

quint16 u16At(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}
quint32 u32At(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

} // namespace

class TestRtfWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The frame the away auto-reply uses, which Windows peers write for the same text.
    void windowsFrame()
    {
        QCOMPARE(writeText(QString::fromUtf8("您好!我現在有事忙，請稍後聯絡...")),
                 Header + "\\'b1\\'7a\\'a6\\'6e!\\'a7\\'da\\'b2\\'7b\\'a6\\'62\\'a6\\'b3\\'a8\\'c6\\'a6\\'a3\\'a1\\'41"
                          "\\'bd\\'d0\\'b5\\'79\\'ab\\'e1\\'c1\\'70\\'b5\\'b8...\\par}");
        QCOMPARE(writeText(QString()), Header + "\\par}");
    }

    void characters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("ascii after a control word") << QStringLiteral("abc") << QByteArray(" abc");
        QTest::newRow("digit after a control word") << QStringLiteral("5") << QByteArray(" 5");
        QTest::newRow("leading space kept") << QStringLiteral(" x") << QByteArray("  x");
        QTest::newRow("big5 bytes as lower-case escapes")
            << QString::fromUtf8("中文") << QByteArray("\\'a4\\'a4\\'a4\\'e5");
        QTest::newRow("trail byte that is a backslash") << QString::fromUtf8("許") << QByteArray("\\'b3\\'5c");
        QTest::newRow("character at two places: the common one")
            << QString::fromUtf8("十卅╭") << QByteArray("\\'a4\\'51\\'a4\\'ca\\'a2\\'7e");
        QTest::newRow("windows-only mapping") << QString::fromUtf8("€") << QByteArray("\\'a3\\'e1");
        QTest::newRow("outside the code page") << QString::fromUtf8("é") << QByteArray("\\u233?");
        QTest::newRow("negative unicode parameter") << QString(QChar(0xAC00)) << QByteArray("\\u-21504?");
        QTest::newRow("surrogate pair as two") << QString::fromUtf8("😀") << QByteArray("\\u-10179?\\u-8704?");
        QTest::newRow("mixed") << QString::fromUtf8("a中é b") << QByteArray(" a\\'a4\\'a4\\u233? b");
        QTest::newRow("rtf specials escaped") << QStringLiteral("a\\b{c}") << QByteArray(" a\\\\b\\{c\\}");
        QTest::newRow("special first needs no space") << QStringLiteral("{x") << QByteArray("\\{x");
        QTest::newRow("tab") << QStringLiteral("a\tb") << QByteArray(" a\\tab b");
        QTest::newRow("line separator") << QStringLiteral("a\u2028b") << QByteArray(" a\\line b");
        QTest::newRow("control byte never raw") << QStringLiteral("a\x08z") << QByteArray(" a\\'08z");
        QTest::newRow("vertical tab stays itself") << QStringLiteral("a\vz") << QByteArray(" a\\'0bz");
    }

    void characters()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, body);
        QCOMPARE(bodyOf(writeText(text)), body);
    }

    void onlyAsciiAndNoPacketSeparatorInOutput()
    {
        QString everything;
        for (char16_t c = 1; c < 0xD800; c += 7)
            everything += QChar(c);
        const QByteArray rtf = writeText(everything);
        for (const char byte : rtf)
            QVERIFY2(uchar(byte) < 0x80 && (uchar(byte) >= 0x20 || byte == '\r' || byte == '\n'),
                     qPrintable(QString::number(uchar(byte), 16)));
    }

    void formattingRuns_data()
    {
        QTest::addColumn<QTextCharFormat>("format");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("bold") << formatWith([](auto &f) { f.setFontWeight(QFont::Bold); })
                              << QByteArray(" a\\b  b\\b0  c");
        QTest::newRow("italic") << formatWith([](auto &f) { f.setFontItalic(true); }) << QByteArray(" a\\i  b\\i0  c");
        QTest::newRow("underline") << formatWith([](auto &f) { f.setFontUnderline(true); })
                                   << QByteArray(" a\\ul  b\\ulnone  c");
        QTest::newRow("strike") << formatWith([](auto &f) { f.setFontStrikeOut(true); })
                                << QByteArray(" a\\strike  b\\strike0  c");
        QTest::newRow("size") << formatWith([](auto &f) { f.setFontPointSize(14.5); })
                              << QByteArray(" a\\fs29  b\\fs20  c");
        QTest::newRow("several at once") << formatWith([](auto &f) {
            f.setFontWeight(QFont::Bold);
            f.setFontItalic(true);
            f.setFontPointSize(12);
        }) << QByteArray(" a\\b\\i\\fs24  b\\b0\\i0\\fs20  c");
        QTest::newRow("colour then automatic")
            << formatWith([](auto &f) { f.setForeground(QColor(255, 0, 0)); }) << QByteArray(" a\\cf1  b\\cf0  c");
    }

    // "a" plain, " b" in the format, " c" plain again.
    void formattingRuns()
    {
        QFETCH(QTextCharFormat, format);
        QFETCH(QByteArray, body);
        auto document = newDocument();
        QTextCursor cursor(document.get());
        cursor.insertText(QStringLiteral("a"), QTextCharFormat());
        cursor.insertText(QStringLiteral(" b"), format);
        cursor.insertText(QStringLiteral(" c"), QTextCharFormat());
        QByteArray rtf = RtfWriter::write(*document);
        rtf.replace("{\\colortbl ;\\red255\\green0\\blue0;}", "");
        QCOMPARE(bodyOf(rtf), body);
    }

    void fontAndColourTables()
    {
        auto document = newDocument();
        QTextCursor cursor(document.get());
        const auto coloured = [](const QString &family, QColor colour) {
            QTextCharFormat f;
            f.setFontFamilies({family});
            f.setForeground(colour);
            return f;
        };
        cursor.insertText(QStringLiteral("x"), coloured(QStringLiteral("MS Sans Serif"), QColor(0, 0, 255)));
        cursor.insertText(QStringLiteral("y"), coloured(ming(), QColor(1, 2, 3)));
        cursor.insertText(QStringLiteral("z"), coloured(QStringLiteral("MS Sans Serif"), QColor(0, 0, 255)));
        cursor.insertText(QStringLiteral("w"), coloured(QStringLiteral("Odd;Name{}"), QColor(0, 0, 255)));
        QCOMPARE(RtfWriter::write(*document),
                 QByteArray("{\\rtf1\\ansi\\ansicpg950\\deff0\\deflang1033\\deflangfe1028{\\fonttbl"
                            "{\\f0\\fnil\\fcharset136 MS Sans Serif;}") +
                     QByteArray(MingFontEntry).replace("\\f0", "\\f1") +
                     "{\\f2\\fnil\\fcharset136 Odd\\'3bName\\{\\};}}"
                     "{\\colortbl ;\\red0\\green0\\blue255;\\red1\\green2\\blue3;}"
                     "\\viewkind4\\uc1\\pard\\cf1\\lang1028\\f0\\fs20 x\\cf2\\f1 y\\cf1\\f0 z\\f2 w\\par}");
    }

    // A font table longer than any usual header still comes out whole and in front.
    void longFontTable()
    {
        auto document = newDocument();
        QTextCursor cursor(document.get());
        QByteArray expectedTable = MingFontEntry;
        QByteArray expectedBody;
        for (int i = 1; i <= 120; ++i) {
            const QString family = QStringLiteral("Family %1 ").arg(i) + QString(40, QLatin1Char('x'));
            QTextCharFormat format;
            format.setFontFamilies({family});
            cursor.insertText(QString::fromUtf8(i == 1 ? "中" : "z"), i == 1 ? QTextCharFormat() : format);
            if (i > 1) {
                expectedTable += "{\\f" + QByteArray::number(i - 1) + "\\fnil\\fcharset136 " + family.toLatin1() + ";}";
                expectedBody += "\\f" + QByteArray::number(i - 1) + " z";
            }
        }
        QCOMPARE(RtfWriter::write(*document),
                 "{\\rtf1\\ansi\\ansicpg950\\deff0\\deflang1033\\deflangfe1028{\\fonttbl" + expectedTable +
                     "}\\viewkind4\\uc1\\pard\\lang1028\\f0\\fs20\\'a4\\'a4" + expectedBody + "\\par}");
    }

    void paragraphs()
    {
        auto document = newDocument();
        QTextCursor cursor(document.get());
        QTextBlockFormat centred;
        centred.setAlignment(Qt::AlignHCenter);
        cursor.setBlockFormat(centred);
        cursor.insertText(QStringLiteral("a"));
        cursor.insertBlock();
        cursor.insertText(QStringLiteral("b"));
        cursor.insertBlock(QTextBlockFormat());
        cursor.insertText(QStringLiteral("c"));
        QTextBlockFormat right;
        right.setAlignment(Qt::AlignRight);
        cursor.insertBlock(right);
        QTextBlockFormat justified;
        justified.setAlignment(Qt::AlignJustify);
        cursor.insertBlock(justified);
        cursor.insertText(QStringLiteral("d"));
        QCOMPARE(RtfWriter::write(*document),
                 QByteArray("{\\rtf1\\ansi\\ansicpg950\\deff0\\deflang1033\\deflangfe1028{\\fonttbl") + MingFontEntry +
                     "}\\viewkind4\\uc1\\pard\\qc\\lang1028\\f0\\fs20 a\\par b\\par\\pard c\\par\\pard\\qr\\par"
                     "\\pard\\qj d\\par}");
    }

    void links()
    {
        auto document = newDocument();
        QTextCursor cursor(document.get());
        QTextCharFormat link;
        link.setAnchor(true);
        link.setAnchorHref(QStringLiteral("http://h/a\"b"));
        link.setFontUnderline(true);
        cursor.insertText(QStringLiteral("see "));
        cursor.insertText(QStringLiteral("here"), link);
        QTextCharFormat boldLink = link;
        boldLink.setFontWeight(QFont::Bold);
        cursor.insertText(QStringLiteral("!"), boldLink);
        cursor.insertText(QStringLiteral(" end"), QTextCharFormat());
        QCOMPARE(
            bodyOf(RtfWriter::write(*document)),
            QByteArray(" see {\\field{\\*\\fldinst{HYPERLINK \"http://h/a%22b\"}}{\\fldrslt{\\ul here\\b !}}} end"));
    }

    void picture()
    {
        auto document = newDocument();
        QTextCursor cursor(document.get());
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(qRgb(1, 2, 3));
        cursor.insertText(QStringLiteral("a"));
        DocumentPictures::insert(cursor, image, QSizeF(20, 16));
        cursor.insertText(QStringLiteral("b"));
        const QByteArray rtf = RtfWriter::write(*document);

        // 20 x 16 pixels shown: 300 x 240 twips, 529 x 423 hundredths of a millimetre.
        const QByteArray opening = "{\\pict\\wmetafile8\\picw529\\pich423\\picwgoal300\\pichgoal240 ";
        const qsizetype start = rtf.indexOf(opening);
        QVERIFY(start > 0);
        QCOMPARE(rtf.mid(start - 2, 2), QByteArray(" a"));
        const qsizetype end = rtf.indexOf('}', start);
        QCOMPARE(rtf.mid(end, 7), QByteArray("}b\\par}"));

        const QByteArray hexText = rtf.mid(start + opening.size(), end - start - opening.size());
        const QList<QByteArray> lines = hexText.split('\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QByteArray line = i + 1 < lines.size() ? lines[i].chopped(1) : lines[i];
            QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]+$")).match(QString::fromLatin1(line)).hasMatch());
            if (i + 1 < lines.size())
                QCOMPARE(line.size(), 128);
            else
                QVERIFY(line.size() <= 128);
        }
        const QByteArray wmf = QByteArray::fromHex(hexText);
        QCOMPARE(qsizetype(u32At(wmf, 6)) * 2, wmf.size());
        // The STRETCHDIB record carries the picture at its own 40 x 30 pixels, 32 bits each.
        const qsizetype stretch = wmf.indexOf(QByteArray("\x43\x0f\x20\x00\xcc\x00", 6));
        QVERIFY(stretch > 0);
        const qsizetype dib = stretch + 2 + 4 + 2 + 16;
        QCOMPARE(u32At(wmf, dib + 4), 40u);
        QCOMPARE(u32At(wmf, dib + 8), 30u);
        QCOMPARE(u16At(wmf, dib + 14), quint16(32));
        QCOMPARE(wmf.mid(dib + 40, 4), QByteArray("\x03\x02\x01\xff", 4));
    }

    // Sizes a received document may carry; the picture group stays within what RTF and metafiles hold.
    void pictureSizes_data()
    {
        QTest::addColumn<QSizeF>("shown");
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<QByteArray>("sizes");
        QTest::newRow("unset: the image's own")
            << QSizeF() << QSize(4, 2) << QByteArray("\\picw106\\pich53\\picwgoal60\\pichgoal30 ");
        QTest::newRow("not a number") << QSizeF(qQNaN(), 10) << QSize(4, 2)
                                      << QByteArray("\\picw106\\pich53\\picwgoal60\\pichgoal30 ");
        QTest::newRow("negative") << QSizeF(-5, 10) << QSize(4, 2)
                                  << QByteArray("\\picw106\\pich53\\picwgoal60\\pichgoal30 ");
        QTest::newRow("huge is capped") << QSizeF(1e12, 0.2) << QSize(4, 2)
                                        << QByteArray("\\picw866960\\pich26\\picwgoal491505\\pichgoal15 ");
        QTest::newRow("fraction rounds") << QSizeF(10.4, 10.6) << QSize(4, 2)
                                         << QByteArray("\\picw265\\pich291\\picwgoal150\\pichgoal165 ");
    }

    void pictureSizes()
    {
        QFETCH(QSizeF, shown);
        QFETCH(QSize, pixels);
        QFETCH(QByteArray, sizes);
        auto document = newDocument();
        QTextCursor cursor(document.get());
        QImage image(pixels, QImage::Format_RGB32);
        image.fill(Qt::blue);
        QTextImageFormat format = DocumentPictures::add(*document, image);
        format.setWidth(shown.width());
        format.setHeight(shown.height());
        cursor.insertImage(format);
        const QByteArray rtf = RtfWriter::write(*document);
        QVERIFY2(rtf.contains("{\\pict\\wmetafile8" + sizes), rtf.left(200).constData());
    }

    // Metafile coordinates are 16-bit: a wider picture is scaled down rather than written wrong.
    void pictureWiderThanAMetafileHolds()
    {
        auto document = newDocument();
        QTextCursor cursor(document.get());
        QImage image(40000, 2, QImage::Format_RGB32);
        image.fill(Qt::green);
        DocumentPictures::insert(cursor, image, QSizeF(100, 10));
        const QByteArray rtf = RtfWriter::write(*document);
        const qsizetype start = rtf.indexOf("\\pichgoal150 ") + 14;
        QVERIFY(start > 14);
        const QByteArray wmf = QByteArray::fromHex(rtf.mid(start, rtf.indexOf('}', start) - start));
        const qsizetype stretch = wmf.indexOf(QByteArray("\x43\x0f\x20\x00\xcc\x00", 6));
        QVERIFY(stretch > 0);
        QCOMPARE(u16At(wmf, stretch + 8), quint16(1));      // source height
        QCOMPARE(u16At(wmf, stretch + 10), quint16(32767)); // source width
        QCOMPARE(u32At(wmf, stretch + 24 + 4), 32767u);     // the DIB's own width
    }

    void pictureWithoutImageIsLeftOut()
    {
        auto document = newDocument();
        QTextCursor cursor(document.get());
        QTextImageFormat missing;
        missing.setName(QStringLiteral("parlune-picture:99"));
        cursor.insertText(QStringLiteral("a"));
        cursor.insertImage(missing);
        QCOMPARE(bodyOf(RtfWriter::write(*document)), QByteArray(" a"));
    }

    void plainText_data()
    {
        QTest::addColumn<QStringList>("paragraphs");
        QTest::addColumn<QString>("plain");
        QTest::newRow("one") << QStringList{QStringLiteral("abc")} << QStringLiteral("abc");
        QTest::newRow("empty") << QStringList{QString()} << QString();
        QTest::newRow("joined by CR LF") << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")}
                                         << QStringLiteral("a\r\n\r\nb");
        QTest::newRow("trailing empty paragraph")
            << QStringList{QStringLiteral("a"), QString()} << QStringLiteral("a\r\n");
        QTest::newRow("line break") << QStringList{QStringLiteral("a\u2028b")} << QStringLiteral("a\r\nb");
    }

    void plainText()
    {
        QFETCH(QStringList, paragraphs);
        QFETCH(QString, plain);
        auto document = newDocument();
        QTextCursor cursor(document.get());
        for (qsizetype i = 0; i < paragraphs.size(); ++i) {
            if (i > 0)
                cursor.insertBlock();
            cursor.insertText(paragraphs[i]);
        }
        QCOMPARE(RtfWriter::plainText(*document), plain);
    }

    // A message of only a picture is not empty to the sender's check.
    void plainTextOfAPicture()
    {
        auto document = newDocument();
        QTextCursor cursor(document.get());
        QImage image(2, 2, QImage::Format_RGB32);
        image.fill(Qt::red);
        DocumentPictures::insert(cursor, image);
        QCOMPARE(RtfWriter::plainText(*document), QStringLiteral(" "));
    }
};

QTEST_MAIN(TestRtfWriter)
#include "tst_rtfwriter.moc"
