// Opening a received message of about 1 MB with pictures in the message window, from the table to the
// window shown.
#include "engine/ConsoleValues.h"
#include "engine/FriendTable.h"
#include "engine/MessageTable.h"
#include "engine/NoticeSink.h"
#include "messages/TForm_Messenger.h"
#include "widgets/richtext/DocumentPictures.h"
#include "widgets/richtext/RtfWriter.h"

#include <QApplication>
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

void BM_OpenReceivedMessage(benchmark::State &state)
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
    const QByteArray content = oneMegabyteMessage();
    state.counters["message_bytes"] = double(content.size());
    messages.append("peer", "10.0.0.2", content);
    for (auto _ : state) {
        TForm_Messenger *window = TForm_Messenger::OpenForReading(deps);
        QCoreApplication::processEvents();
        state.PauseTiming();
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_OpenReceivedMessage)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
