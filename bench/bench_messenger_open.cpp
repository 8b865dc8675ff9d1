// Opening a received message in the message window, from the table to the whole text shown: about 1 MB with
// pictures, and 16 MB of text in paragraphs or in one paragraph. A long message is read on a worker thread
// while the event loop runs; longest_stall_ms is the longest the event loop was kept from running meanwhile.
#include "bench/WidgetBenchmarkMain.h"
#include "engine/ConsoleValues.h"
#include "engine/FriendTable.h"
#include "engine/MessageTable.h"
#include "engine/NoticeSink.h"
#include "messages/TForm_Messenger.h"
#include "richtext/DocumentPictures.h"
#include "richtext/RtfWriter.h"
#include "widgets/RichEdit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>

namespace {

struct IgnoredNotices final : NoticeSink
{
    void ShowNotice(const QByteArray &, const QByteArray &) override {}
};

QImage picture(int side, int seed)
{
    QImage image(side, side, QImage::Format_RGB888);
    QPainter painter(&image);
    for (int y = 0; y < side; y += 8)
        for (int x = 0; x < side; x += 8)
            painter.fillRect(x, y, 8, 8, QColor::fromHsv((x + y + seed * 40) % 360, 200, 230));
    return image;
}

// Text and pictures, written the way a peer writes them, until the document passes about 1 MB.
QByteArray oneMegabyteMessage()
{
    QTextDocument document;
    QTextCursor cursor(&document);
    QByteArray rtf;
    for (int seed = 0; rtf.size() < 1024 * 1024; ++seed) {
        cursor.insertText(QStringLiteral("第%1張圖片，請看看這個：").arg(seed));
        DocumentPictures::insert(cursor, picture(200, seed));
        cursor.insertBlock();
        rtf = RtfWriter::write(document);
    }
    return rtf;
}

// About 16 MB of Big5 and Latin text, as many short paragraphs or as one.
QByteArray sixteenMegabytesOfText(bool paragraphs)
{
    QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg950\\deff0{\\fonttbl{\\f0\\fnil\\fcharset136 MS Sans Serif;}}\\pard\\f0\\fs20 ";
    const QByteArray line = "\\'a7\\'da\\'ac\\'4f the quick brown fox jumps over the lazy dog 0123456789";
    while (rtf.size() < 16 * 1024 * 1024)
        rtf += line + (paragraphs ? "\\par " : " ");
    return rtf + "\\par}";
}

// Runs the event loop until the editor shows the message; returns the longest time between two turns.
qint64 waitUntilShown(TForm_Messenger *window)
{
    auto *editor = window->findChild<RichEdit *>(QStringLiteral("RxRichEdit_Content"));
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    } while (editor->isLoading());
    return longest;
}

void openMessage(benchmark::State &state, const QByteArray &content)
{
    MessageTable messages;
    FriendTable friends;
    ConsoleValues values;
    IgnoredNotices notices;
    QFont font(QStringLiteral("細明體"), 10);
    MessengerDeps deps;
    deps.messages = &messages;
    deps.friends = &friends;
    deps.values = &values;
    deps.notices = &notices;
    deps.defaultFont = &font;
    state.counters["message_bytes"] = double(content.size());
    messages.append("peer", "10.0.0.2", content);
    qint64 longestStall = 0;
    for (auto _ : state) {
        QElapsedTimer open;
        open.start();
        TForm_Messenger *window = TForm_Messenger::OpenForReading(deps);
        longestStall = std::max({longestStall, open.elapsed(), waitUntilShown(window)});
        state.PauseTiming();
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    state.counters["longest_stall_ms"] = double(longestStall);
}

void BM_OpenReceivedMessage(benchmark::State &state)
{
    openMessage(state, oneMegabyteMessage());
}

void BM_OpenSixteenMegabytesInParagraphs(benchmark::State &state)
{
    openMessage(state, sixteenMegabytesOfText(true));
}

void BM_OpenSixteenMegabytesInOneParagraph(benchmark::State &state)
{
    openMessage(state, sixteenMegabytesOfText(false));
}

} // namespace

BENCHMARK(BM_OpenReceivedMessage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenSixteenMegabytesInParagraphs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_OpenSixteenMegabytesInOneParagraph)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv);
}
