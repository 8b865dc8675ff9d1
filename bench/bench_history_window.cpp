#include "bench/WidgetBenchmarkMain.h"
#include "engine/HistoryStore.h"
#include "engine/MemorySettingsStore.h"
#include "messages/TForm_History.h"
#include "richtext/RtfWriter.h"

#include <QApplication>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QVariant>

#include <benchmark/benchmark.h>

#include <memory>

// The history window on one conversation of 100,000 messages (PARLUNE_BENCH_CONVERSATION another size) among
// a few other peers: opening it, turning a page back and showing a search hit far back.
namespace {

const QByteArray Peer = "10.0.0.2";

qint64 conversationSize()
{
    bool ok = false;
    const qint64 size = qEnvironmentVariableIntValue("PARLUNE_BENCH_CONVERSATION", &ok);
    return ok && size > 0 ? size : 100'000;
}

QString textOf(qint64 i)
{
    static const QStringList phrases = QString::fromUtf8("今天下午開會,報表已經寄出 report attached,請確認附件,"
                                                         "server backup 完成,午餐要訂便當嗎,明天放假 holiday")
                                           .split(u',');
    return QStringLiteral("%1 第%2號").arg(phrases.at(i % phrases.size())).arg(i);
}

QByteArray rtfOf(const QString &text)
{
    QTextDocument document;
    QTextCursor(&document).insertText(text);
    return RtfWriter::write(document);
}

// Written in one transaction beside the store's own statements: recording them one by one takes minutes.
void fill(const QString &path, qint64 messages)
{
    {
        HistoryStore schema(path);
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(path);
        db.open();
        db.transaction();
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO history (time, peer, nickname, kind, direction, bytes, text, rtf) "
                                      "VALUES (?, ?, ?, 1, ?, ?, ?, ?)"));
        const qint64 start = QDateTime::currentMSecsSinceEpoch() - messages * 60'000;
        for (qint64 i = 0; i < messages + 2000; ++i) {
            const bool other = i >= messages;
            const QString text = textOf(i);
            const QByteArray rtf = rtfOf(text);
            insert.addBindValue(start + (other ? i - messages : i) * 60'000);
            insert.addBindValue(other ? QByteArray("10.0.1.") + QByteArray::number(i % 200) : Peer);
            insert.addBindValue(QByteArray("peer"));
            insert.addBindValue(int(i % 3 == 0));
            insert.addBindValue(rtf.size() + text.size() * 3);
            insert.addBindValue(text);
            insert.addBindValue(rtf);
            insert.exec();
        }
        db.commit();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
}

struct Fixture
{
    QTemporaryDir dir;
    std::unique_ptr<HistoryStore> store;
    MemorySettingsStore settings;

    Fixture()
    {
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        fill(path, conversationSize());
        store = std::make_unique<HistoryStore>(path);
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void BM_OpenConversation(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        TForm_History window(*f.store, f.settings);
        window.showPeer(Peer);
        benchmark::DoNotOptimize(window.shownIds().size());
    }
}

void BM_OlderPage(benchmark::State &state)
{
    Fixture &f = fixture();
    TForm_History window(*f.store, f.settings);
    window.showPeer(Peer);
    auto *older = window.findChild<QPushButton *>(QStringLiteral("suiButton_Older"));
    for (auto _ : state) {
        if (!older->isEnabled())
            window.showPeer(Peer);
        older->click();
    }
}

// A hit at the start of the conversation: the page around it is found by its position.
void BM_SearchHitFarBack(benchmark::State &state)
{
    Fixture &f = fixture();
    TForm_History window(*f.store, f.settings);
    for (auto _ : state) {
        window.search(QStringLiteral("第12號"));
        benchmark::DoNotOptimize(window.pageOffset());
    }
}

} // namespace

BENCHMARK(BM_OpenConversation)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OlderPage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SearchHitFarBack)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv);
}
