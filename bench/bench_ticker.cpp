// The ticker's ShowBroadcast for bodies of 100 bytes, 5 KB and 20 KB, beside the same call followed by
// widening the strip one pixel at a time from 16 until the text fits on one line, re-laying out each time.
#include "bench/WidgetBenchmarkMain.h"
#include "shell/TForm_Broadcasting.h"

#include <QApplication>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QTextOption>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// A broadcast body as a peer writes it: Big5 characters as \'xx pairs, some Latin words, one paragraph.
QByteArray body(qsizetype bytes)
{
    QByteArray rtf(
        "{\\rtf1\\ansi\\ansicpg950\\deff0{\\fonttbl{\\f0\\fnil\\fcharset136 \\'b2\\'d3\\'a9\\'fa\\'c5\\'e9;}}"
        "\\f0\\fs22 ");
    // 廣播測試 (broadcast test) in code page 950, then a word.
    const QByteArray piece("\\'bc\\'73\\'bc\\'bd\\'b4\\'fa\\'b8\\'d5 ticker ");
    const QByteArray end("\\par}");
    while (rtf.size() + piece.size() + end.size() <= bytes)
        rtf += piece;
    rtf += QByteArray(bytes - rtf.size() - end.size(), 'x');
    return rtf + end;
}

std::unique_ptr<TForm_Broadcasting> freshTicker()
{
    auto ticker = std::make_unique<TForm_Broadcasting>([] { return false; });
    ticker->show();
    QApplication::processEvents();
    return ticker;
}

// What the ticker once did: one layout per pixel of width until the first paragraph is one line.
int widenPixelByPixel(const QTextDocument &strip)
{
    std::unique_ptr<QTextDocument> document(strip.clone());
    // The strip's own view never wraps; the old way relied on the text wrapping until it fitted.
    QTextOption option = document->defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document->setDefaultTextOption(option);
    int width = 16;
    for (;; ++width) {
        document->setTextWidth(width);
        document->size(); // lays the document out at this width
        if (document->firstBlock().layout()->lineCount() <= 1 && document->blockCount() == 1)
            break;
    }
    return width;
}

// Times ShowBroadcast on a fresh ticker, then what `widen` does with it; `widen` answers the strip width.
template <typename Widen> void timeRounds(benchmark::State &state, Widen widen)
{
    const QByteArray text = body(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto ticker = freshTicker();
        state.ResumeTiming();
        ticker->ShowBroadcast("name", "12:00", text);
        const int width = widen(*ticker);
        state.PauseTiming();
        state.counters["strip_px"] = width;
        ticker.reset();
        state.ResumeTiming();
    }
}

void BM_ShowBroadcast(benchmark::State &state)
{
    timeRounds(state, [](TForm_Broadcasting &ticker) { return ticker.strip()->width(); });
}

void BM_ShowBroadcastWideningEachPixel(benchmark::State &state)
{
    timeRounds(state, [&state](TForm_Broadcasting &ticker) {
        const auto *view = ticker.findChild<QTextEdit *>(QStringLiteral("RxRichEdit_Broadcasting"));
        const int width = widenPixelByPixel(*view->document());
        state.counters["layouts"] = width - 15;
        return width;
    });
}

} // namespace

BENCHMARK(BM_ShowBroadcast)->Arg(100)->Arg(5 * 1024)->Arg(20 * 1024)->Unit(benchmark::kMillisecond)->UseRealTime();
// Seconds to minutes per call for the longer bodies: one round is enough.
BENCHMARK(BM_ShowBroadcastWideningEachPixel)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ShowBroadcastWideningEachPixel)
    ->Arg(5 * 1024)
    ->Arg(20 * 1024)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv);
}
