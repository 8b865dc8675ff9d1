#include "widgets/richtext/DocumentPictures.h"
#include "widgets/richtext/RtfReader.h"
#include "widgets/richtext/RtfWriter.h"

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

} // namespace

BENCHMARK(BM_SaveRtf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadRtf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetHtml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToHtml)->Unit(benchmark::kMillisecond);

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
