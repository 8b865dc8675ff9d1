#include "richtext/DocumentPictures.h"
#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"

#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

namespace {

QString ming()
{
    return QString::fromUtf8("細明體");
}

std::unique_ptr<QTextDocument> newDocument()
{
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(QFont(ming(), 10));
    return document;
}

QImage testImage(int w, int h, QImage::Format format)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x + y) % 256));
    return image.convertToFormat(format);
}

// What a reader of the document sees of each run: its text and the formatting the writer carries.
struct Run
{
    QString text;
    QString family;
    int halfPoints = 0;
    bool bold = false, italic = false, underline = false, strike = false;
    QRgb colour = 0;
    QString href;
    bool operator==(const Run &) const = default;
};

QList<QList<Run>> runsOf(const QTextDocument &document)
{
    QList<QList<Run>> blocks;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QList<Run> runs;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.isImageFormat())
                continue;
            Run run{
                it.fragment().text(),
                f.property(QTextFormat::FontFamilies).toStringList().value(0, document.defaultFont().family()),
                int(std::lround((f.fontPointSize() > 0 ? f.fontPointSize() : document.defaultFont().pointSizeF()) * 2)),
                f.fontWeight() > QFont::Medium,
                f.fontItalic(),
                f.fontUnderline(),
                f.fontStrikeOut(),
                f.hasProperty(QTextFormat::ForegroundBrush) ? f.foreground().color().rgb() : 0,
                f.isAnchor() ? f.anchorHref() : QString()};
            // Adjacent runs that look the same may be split or merged differently; compare them merged.
            if (!runs.isEmpty()) {
                Run merged = runs.last();
                merged.text = run.text;
                if (merged == run) {
                    runs.last().text += run.text;
                    continue;
                }
            }
            runs.append(run);
        }
        blocks.append(runs);
    }
    return blocks;
}

QList<QTextImageFormat> picturesOf(const QTextDocument &document)
{
    QList<QTextImageFormat> pictures;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                for (int i = 0; i < it.fragment().length(); ++i)
                    pictures.append(it.fragment().charFormat().toImageFormat());
    return pictures;
}

std::unique_ptr<QTextDocument> readBack(const QByteArray &rtf)
{
    auto document = newDocument();
    RtfReader::load(*document, rtf);
    return document;
}

} // namespace

class TestRtfRoundTrip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void text_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("big5") << QString::fromUtf8("您好!我現在有事忙，請稍後聯絡...");
        QTest::newRow("trail bytes that are rtf specials") << QString::fromUtf8("許功蓋餐{}\\");
        QTest::newRow("outside the code page") << QString::fromUtf8("café 한국어 😀 ∮");
        QTest::newRow("characters at two places") << QString::fromUtf8("十卅╭╮═");
        QTest::newRow("tabs and line breaks") << QStringLiteral("a\tb\u2028c");
        QTest::newRow("paragraphs, empty ones too") << QStringLiteral("a\u2029\u2029b\u2029");
        QTest::newRow("spaces") << QStringLiteral("  two  spaces  ");
        QTest::newRow("digits after text") << QString::fromUtf8("中123");
    }

    void text()
    {
        QFETCH(QString, text);
        auto document = newDocument();
        QTextCursor(document.get()).insertText(text);
        const auto back = readBack(RtfWriter::write(*document));
        QCOMPARE(back->toPlainText(), document->toPlainText());
        QCOMPARE(RtfWriter::plainText(*back), RtfWriter::plainText(*document));
    }

    // Text shown in a symbol font is written as ordinary characters under that font's name: read back, the
    // name alone must not turn its code page 950 bytes into the font's own table.
    void symbolFontNames()
    {
        auto document = newDocument();
        QTextCursor cursor(document.get());
        for (const char *family : {"Symbol", "Wingdings"}) {
            QTextCharFormat format;
            format.setFontFamilies({QString::fromLatin1(family)});
            cursor.insertText(QString::fromUtf8("•αβ中✓"), format);
        }
        const auto back = readBack(RtfWriter::write(*document));
        QCOMPARE(back->toPlainText(), document->toPlainText());
    }

    void formatting()
    {
        auto document = newDocument();
        QTextCursor cursor(document.get());
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        QTextCharFormat styled;
        styled.setFontItalic(true);
        styled.setFontUnderline(true);
        styled.setFontStrikeOut(true);
        styled.setFontPointSize(16);
        styled.setForeground(QColor(200, 10, 30));
        styled.setFontFamilies({QStringLiteral("MS Sans Serif")});
        QTextCharFormat link;
        link.setAnchor(true);
        link.setAnchorHref(QStringLiteral("http://example.invalid/a?b=1&c={2}"));
        // Readers show links underlined and blue of their own accord.
        link.setFontUnderline(true);
        link.setForeground(QColor(0, 0, 255));
        QTextCharFormat colouredOnly;
        colouredOnly.setForeground(QColor(0, 0, 255));

        cursor.insertText(QString::fromUtf8("普通"), QTextCharFormat());
        cursor.insertText(QString::fromUtf8("粗體"), bold);
        cursor.insertText(QStringLiteral("styled"), styled);
        QTextBlockFormat centred;
        centred.setAlignment(Qt::AlignHCenter);
        cursor.insertBlock(centred);
        cursor.insertText(QStringLiteral("link"), link);
        cursor.insertText(QString::fromUtf8("藍"), colouredOnly);
        QTextBlockFormat right;
        right.setAlignment(Qt::AlignRight);
        cursor.insertBlock(right);
        cursor.insertText(QStringLiteral("end"), QTextCharFormat());

        const QByteArray rtf = RtfWriter::write(*document);
        const auto back = readBack(rtf);
        QCOMPARE(back->blockCount(), document->blockCount());
        const auto expected = runsOf(*document);
        const auto got = runsOf(*back);
        QCOMPARE(got.size(), expected.size());
        for (qsizetype b = 0; b < got.size(); ++b) {
            QCOMPARE(got[b].size(), expected[b].size());
            for (qsizetype r = 0; r < got[b].size(); ++r) {
                const Run &g = got[b][r];
                const Run &e = expected[b][r];
                QCOMPARE(g.text, e.text);
                QCOMPARE(g.family, e.family);
                QCOMPARE(g.halfPoints, e.halfPoints);
                QCOMPARE(g.bold, e.bold);
                QCOMPARE(g.italic, e.italic);
                QCOMPARE(g.underline, e.underline);
                QCOMPARE(g.strike, e.strike);
                QCOMPARE(QColor(g.colour).name(), QColor(e.colour).name());
                QCOMPARE(g.href, e.href);
            }
        }
        QCOMPARE(back->findBlockByNumber(1).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QCOMPARE(back->findBlockByNumber(2).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        // Writing what was read gives the same bytes: nothing drifts from one hop to the next.
        QCOMPARE(RtfWriter::write(*back), rtf);
    }

    void pictures_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QSizeF>("shown");
        QTest::addColumn<int>("tolerance"); // 5-bit channels may be widened by shifting or by repeating bits
        QTest::newRow("32 bpp at own size") << testImage(20, 20, QImage::Format_RGB32) << QSizeF() << 0;
        QTest::newRow("24 bpp shown larger") << testImage(7, 3, QImage::Format_RGB888) << QSizeF(14, 6) << 0;
        QTest::newRow("indexed") << testImage(9, 5, QImage::Format_Indexed8) << QSizeF() << 0;
        QTest::newRow("mono") << testImage(17, 4, QImage::Format_Mono) << QSizeF() << 0;
        QTest::newRow("5-5-5") << testImage(3, 3, QImage::Format_RGB555) << QSizeF() << 7;
    }

    void pictures()
    {
        QFETCH(QImage, image);
        QFETCH(QSizeF, shown);
        QFETCH(int, tolerance);
        auto document = newDocument();
        QTextCursor cursor(document.get());
        cursor.insertText(QString::fromUtf8("圖"));
        DocumentPictures::insert(cursor, image, shown);
        DocumentPictures::insert(cursor, image, shown);
        cursor.insertText(QStringLiteral("x"));

        const QByteArray rtf = RtfWriter::write(*document);
        const auto back = readBack(rtf);
        QCOMPARE(back->toPlainText(), document->toPlainText());
        const QList<QTextImageFormat> pictures = picturesOf(*back);
        QCOMPARE(pictures.size(), 2);
        const QSizeF expectedSize = shown.isEmpty() ? QSizeF(image.size()) : shown;
        for (const QTextImageFormat &picture : pictures) {
            QCOMPARE(QSizeF(picture.width(), picture.height()), expectedSize);
            const QImage got = DocumentPictures::imageOf(*back, picture);
            QCOMPARE(got.size(), image.size());
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb g = got.pixel(x, y);
                    const QRgb e = image.pixel(x, y);
                    if (std::max({std::abs(qRed(g) - qRed(e)), std::abs(qGreen(g) - qGreen(e)),
                                  std::abs(qBlue(g) - qBlue(e))}) > tolerance)
                        QCOMPARE(QColor(g).name(), QColor(e).name());
                }
            }
        }
    }
};

QTEST_MAIN(TestRtfRoundTrip)
#include "tst_rtfroundtrip.moc"
