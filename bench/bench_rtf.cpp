#include "richtext/DocumentPictures.h"
#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

#include <benchmark/benchmark.h>

#include <memory>

// A large message as a user could send it: about 1 MB of RTF, half Big5 text in paragraphs with some
// bold and coloured runs, half one picture of 300 KB (a 24-bit photo of 320 x 320 pixels).
namespace {

QImage photo()
{
    QImage image(320, 320, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7 + y) % 256, (y * 3) % 256, (x ^ y) % 256));
    return image;
}

const QString &sentence()
{
    static const QString text = QString::fromUtf8("這是一段測試用的繁體中文訊息，內含標點符號與 ASCII text 123，"
                                                  "用來量測大型信息的讀寫速度。");
    return text;
}

constexpr int Paragraphs = 1400;

std::unique_ptr<QTextDocument> bigMessage()
{
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(QFont(QString::fromUtf8("細明體"), 10));
    QTextCursor cursor(document.get());
    QTextCharFormat plain;
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat red;
    red.setForeground(QColor(200, 0, 0));
    for (int i = 0; i < Paragraphs; ++i) {
        if (i > 0)
            cursor.insertBlock();
        cursor.insertText(sentence(), plain);
        cursor.insertText(QString::fromUtf8("粗體"), i % 3 ? plain : bold);
        cursor.insertText(QString::fromUtf8("紅字"), i % 5 ? plain : red);
        if (i == Paragraphs / 2)
            DocumentPictures::insert(cursor, photo());
    }
    return document;
}

QString bigHtml()
{
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    photo().save(&buffer, "BMP");
    QString html = QStringLiteral("<html><body style=\"font-family:'細明體'; font-size:10pt\">");
    for (int i = 0; i < Paragraphs; ++i) {
        html += QStringLiteral("<p>") + sentence().toHtmlEscaped();
        html += i % 3 ? QString::fromUtf8("粗體") : QString::fromUtf8("<b>粗體</b>");
        html += i % 5 ? QString::fromUtf8("紅字") : QString::fromUtf8("<span style=\"color:#c80000\">紅字</span>");
        if (i == Paragraphs / 2)
            html += QStringLiteral("<img src=\"data:image/bmp;base64,") + QString::fromLatin1(bmp.toBase64()) +
                    QStringLiteral("\">");
        html += QStringLiteral("</p>");
    }
    return html + QStringLiteral("</body></html>");
}

void BM_SaveRtf(benchmark::State &state)
{
    const auto document = bigMessage();
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray rtf = RtfWriter::write(*document);
        bytes = rtf.size();
        benchmark::DoNotOptimize(rtf.constData());
    }
    state.counters["rtf_bytes"] = double(bytes);
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
}

void BM_LoadRtf(benchmark::State &state)
{
    const QByteArray rtf = RtfWriter::write(*bigMessage());
    for (auto _ : state) {
        QTextDocument document;
        RtfReader::load(document, rtf);
        benchmark::DoNotOptimize(document.characterCount());
    }
    state.counters["rtf_bytes"] = double(rtf.size());
    state.SetBytesProcessed(int64_t(state.iterations()) * rtf.size());
}

// Qt's own rich text with the same content, the picture inline as a data: URL, decoded as a view would.
void BM_SetHtml(benchmark::State &state)
{
    const QString html = bigHtml();
    for (auto _ : state) {
        QTextDocument document;
        document.setHtml(html);
        int pictures = 0;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
            for (auto it = block.begin(); !it.atEnd(); ++it)
                if (it.fragment().charFormat().isImageFormat()) {
                    const QVariant image = document.resource(QTextDocument::ImageResource,
                                                             QUrl(it.fragment().charFormat().toImageFormat().name()));
                    pictures += image.isValid() ? 1 : 0;
                }
        if (pictures != 1)
            state.SkipWithError("the inline picture did not load");
        benchmark::DoNotOptimize(document.characterCount());
    }
    state.counters["html_chars"] = double(html.size());
}

void BM_ToHtml(benchmark::State &state)
{
    const auto document = bigMessage();
    for (auto _ : state) {
        const QString html = document->toHtml();
        benchmark::DoNotOptimize(html.constData());
    }
}

QByteArray le16(int v)
{
    return QByteArray(1, char(v & 0xFF)) + char((v >> 8) & 0xFF);
}

QByteArray le32(qint64 v)
{
    return le16(int(v & 0xFFFF)) + le16(int((v >> 16) & 0xFFFF));
}

// A run-length bitmap of 8192 x height pixels in 46 bytes: header, one palette entry, end of bitmap.
QByteArray runLengthBomb(int height = 8192)
{
    return le32(40) + le32(8192) + le32(height) + le16(1) + le16(8) + le32(1) + le32(0) + le32(0) + le32(0) + le32(1) +
           le32(0) + le32(0x00FF00) + le16(0x0100);
}

// The bitmap in a metafile of the kind the Windows control writes, drawing one pixel of it; a little under
// the most pixels one picture may have, so that each one alone would be allowed.
QByteArray metafileBomb()
{
    const auto record = [](int function, const QByteArray &parameters) {
        return le32(3 + parameters.size() / 2) + le16(function) + parameters;
    };
    const QByteArray header = le16(1) + le16(9) + le16(0x0300) + le32(0) + le16(0) + le32(0) + le16(0);
    const QByteArray stretch =
        le32(0x00CC0020) + le16(0) + le16(1) + le16(1) + le16(0) + le16(0) + le16(10) + le16(10) + le16(0) + le16(0);
    return header + record(0x020C, le16(10) + le16(10)) + record(0x0F43, stretch + runLengthBomb(8000)) + record(0, {});
}

// What a hostile bulletin carries: pictures whose data is tiny and whose pixels are not.
void loadBombs(benchmark::State &state, const QByteArray &rtf)
{
    qint64 kept = 0;
    for (auto _ : state) {
        QTextDocument document;
        RtfReader::load(document, rtf);
        kept = 0;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
            for (auto it = block.begin(); !it.atEnd(); ++it)
                if (it.fragment().charFormat().isImageFormat()) {
                    const QImage image =
                        DocumentPictures::imageOf(document, it.fragment().charFormat().toImageFormat());
                    kept += qint64(image.width()) * image.height();
                }
        benchmark::DoNotOptimize(document.characterCount());
    }
    state.counters["rtf_bytes"] = double(rtf.size());
    state.counters["kept_pixels"] = double(kept);
}

void BM_LoadRunLengthBomb(benchmark::State &state)
{
    loadBombs(state, "{\\rtf1{\\pict\\dibitmap\\picwgoal150\\pichgoal150 " + runLengthBomb().toHex() + "}}");
}

void BM_LoadMetafileBombs(benchmark::State &state)
{
    const QByteArray picture = "{\\pict\\wmetafile8\\picwgoal150\\pichgoal150 " + metafileBomb().toHex() + "}";
    loadBombs(state, "{\\rtf1 " + picture.repeated(120) + "}");
}

} // namespace

BENCHMARK(BM_SaveRtf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadRtf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetHtml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToHtml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadRunLengthBomb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMetafileBombs)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts for QTextDocument
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
