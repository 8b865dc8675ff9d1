#include "base/Cp950.h"
#include "engine/HistoryKeeper.h"
#include "engine/HistoryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <limits>
#include <memory>

// The history as a user has it after years: a million messages of mixed Chinese and Latin text from a few
// hundred peers. Building it takes minutes, so it is built once into the temporary folder and reused by later
// runs (PARLUNE_BENCH_HISTORY names another file; PARLUNE_BENCH_HISTORY_MESSAGES another size).
namespace {

const QStringList &chinesePhrases()
{
    static const QStringList phrases =
        QString::fromUtf8("今天下午開會,報表已經寄出,請確認附件,系統維護通知,午餐要訂便當嗎,伺服器重新開機,"
                          "明天放假,印表機沒有紙了,專案進度落後,客戶來電詢問,請盡快回覆,會議室改到三樓,"
                          "測試版本已上線,資料庫備份完成,網路暫時中斷,新同事報到,下班前交給我,檔案放在共用資料夾,"
                          "颱風假停止上班,財務部請簽核,電腦中毒了,密碼已經更改,生日快樂,謝謝你的幫忙")
            .split(u',');
    return phrases;
}

const QStringList &latinWords()
{
    static const QStringList words =
        QStringLiteral("meeting report server backup invoice deadline printer network update release budget "
                       "client schedule lunch holiday password project database firewall office review draft "
                       "version ticket monitor license contract")
            .split(u' ');
    return words;
}

QString randomText(QRandomGenerator &random)
{
    QString text;
    const int pieces = 2 + random.bounded(5);
    for (int i = 0; i < pieces; ++i) {
        if (random.bounded(3) == 0)
            text += latinWords().at(random.bounded(latinWords().size())) + u' ';
        else
            text += chinesePhrases().at(random.bounded(chinesePhrases().size())) + QString::fromUtf8("，");
    }
    return text;
}

// What the rich-text editor writes for plain Big5 text.
QByteArray rtfOf(const QString &text)
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg950\\deff0\\deflang1033\\deflangfe1028{\\fonttbl{\\f0\\fnil\\fcharset136 "
                     "\\'b7\\'73\\'b2\\'d3\\'a9\\'fa\\'c5\\'e9;}}\\viewkind4\\uc1\\pard\\lang1028\\f0\\fs20 ";
    for (const char byte : cp950::encode(text)) {
        const auto value = quint8(byte);
        if (value < 0x80 && value != '\\' && value != '{' && value != '}')
            rtf += char(value);
        else
            rtf += "\\'" + QByteArray::number(value, 16).rightJustified(2, '0');
    }
    return rtf + "\\par}";
}

HistoryStore::Entry randomEntry(QRandomGenerator &random, qint64 msecs)
{
    HistoryStore::Entry entry;
    entry.time = QDateTime::fromMSecsSinceEpoch(msecs);
    const int peer = random.bounded(300);
    entry.peer = "10.0." + QByteArray::number(peer / 250) + '.' + QByteArray::number(peer % 250 + 2);
    entry.nickname = "user" + QByteArray::number(peer);
    const int kind = random.bounded(100);
    entry.kind = kind < 90   ? HistoryStore::Kind::Chat
                 : kind < 96 ? HistoryStore::Kind::Broadcast
                             : HistoryStore::Kind::Notice;
    entry.direction = random.bounded(3) == 0 ? HistoryStore::Direction::Sent : HistoryStore::Direction::Received;
    entry.text = randomText(random);
    entry.rtf = rtfOf(entry.text);
    return entry;
}

HistoryStore::Limits unbounded()
{
    HistoryStore::Limits limits;
    limits.maxHistoryBytes = qint64(1) << 40;
    return limits;
}

qint64 largeSize()
{
    bool ok = false;
    const qint64 size = qEnvironmentVariable("PARLUNE_BENCH_HISTORY_MESSAGES").toLongLong(&ok);
    return ok && size > 0 ? size : 1'000'000;
}

QString largePath()
{
    const QString named = qEnvironmentVariable("PARLUNE_BENCH_HISTORY");
    return named.isEmpty() ? QDir::tempPath() + QStringLiteral("/parlune-bench-history-%1.sqlite").arg(largeSize())
                           : named;
}

// Fills the file up to the wanted size, so that an interrupted build resumes where it stopped. The store
// makes the schema; the entries go in through a connection of the benchmark's own, ten thousand to a
// transaction, since one commit per entry would take most of an hour.
void fill(const QString &file, qint64 have)
{
    QRandomGenerator random(17 + quint32(have));
    const qint64 start = QDateTime(QDate(2020, 1, 1), QTime(8, 0)).toMSecsSinceEpoch();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(file);
        db.open();
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO history (time, peer, nickname, kind, direction, bytes, text, rtf) "
                                      "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
        for (qint64 i = have; i < largeSize(); ++i) {
            if ((i - have) % 10'000 == 0)
                db.transaction();
            const auto entry = randomEntry(random, start + i * 60'000);
            insert.bindValue(0, entry.time.toMSecsSinceEpoch());
            insert.bindValue(1, entry.peer);
            insert.bindValue(2, entry.nickname);
            insert.bindValue(3, int(entry.kind));
            insert.bindValue(4, int(entry.direction));
            insert.bindValue(5, entry.rtf.size() + 3 * entry.text.toUtf8().size() + 160);
            insert.bindValue(6, entry.text);
            insert.bindValue(7, entry.rtf);
            insert.exec();
            if ((i - have) % 10'000 == 9'999 || i + 1 == largeSize())
                db.commit();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
}

const QString &largeHistory()
{
    static const QString path = [] {
        const QString file = largePath();
        const qint64 have = HistoryStore(file, unbounded()).count(HistoryStore::AllKinds);
        if (have >= largeSize())
            return file;
        std::fprintf(stderr, "building %lld messages in %s\n", largeSize(), qPrintable(file));
        QElapsedTimer timer;
        timer.start();
        fill(file, have);
        std::fprintf(stderr, "built in %lld s, %lld MB\n", timer.elapsed() / 1000, QFileInfo(file).size() >> 20);
        return file;
    }();
    return path;
}

void withRows(HistoryStore &store, int rows)
{
    if (!store.loadRows().isEmpty())
        return;
    QRandomGenerator random(5);
    for (int i = 0; i < rows; ++i) {
        const QString text = randomText(random);
        store.appendRow(Message{"user", "10.0.0.2", QDateTime::currentDateTime(), rtfOf(text), i % 3 == 0});
    }
}

// One arriving chat message: its row of the message table and its history entry, each committed.
void BM_StoreArrivingMessage(benchmark::State &state)
{
    QTemporaryDir empty;
    const QString file = state.range(0) ? largeHistory() : empty.filePath(QStringLiteral("history.sqlite"));
    HistoryStore store(file, unbounded());
    QRandomGenerator random(23);
    QList<HistoryStore::Entry> entries;
    for (int i = 0; i < 1000; ++i) {
        entries << randomEntry(random, QDateTime::currentMSecsSinceEpoch());
        entries.last().peer = "bench-arrival";
    }
    int i = 0;
    for (auto _ : state) {
        const auto &entry = entries.at(i++ % entries.size());
        const qint64 row = store.appendRow(Message{entry.nickname, entry.peer, entry.time, entry.rtf, false});
        if (!row || !store.record(entry).id)
            state.SkipWithError("not stored");
    }
    store.deleteConversation(HistoryStore::AllKinds, "bench-arrival");
    store.clearRows();
}

// The same arrival as the console keeps it: the table's row through its keeper, then the history entry with
// the body's plain text read from its RTF.
void BM_KeepArrivingMessage(benchmark::State &state)
{
    QTemporaryDir empty;
    const QString file = state.range(0) ? largeHistory() : empty.filePath(QStringLiteral("history.sqlite"));
    HistoryStore store(file, unbounded());
    HistoryKeeper keeper(store);
    MessageTable table;
    table.setLimits(std::numeric_limits<int>::max(), std::numeric_limits<qsizetype>::max());
    table.setKeeper(&keeper);
    QRandomGenerator random(29);
    QList<HistoryStore::Entry> entries;
    for (int i = 0; i < 1000; ++i)
        entries << randomEntry(random, QDateTime::currentMSecsSinceEpoch());
    int i = 0;
    for (auto _ : state) {
        const auto &entry = entries.at(i++ % entries.size());
        if (!table.append(entry.nickname, "bench-arrival", entry.rtf))
            state.SkipWithError("not stored");
        keeper.record(HistoryStore::Kind::Chat, HistoryStore::Direction::Received, "bench-arrival", entry.nickname,
                      entry.rtf);
    }
    store.deleteConversation(HistoryStore::AllKinds, "bench-arrival");
    table.clear();
}

void BM_Search(benchmark::State &state, const QString &needle)
{
    HistoryStore store(largeHistory(), unbounded());
    qint64 hits = 0;
    for (auto _ : state) {
        hits = store.search(needle).size();
        benchmark::DoNotOptimize(hits);
    }
    state.counters["hits"] = double(hits);
}

// Start-up opens the store and reads the message table's rows; history stays on disk until asked for.
void BM_Open(benchmark::State &state)
{
    QTemporaryDir empty;
    const QString file = state.range(0) ? largeHistory() : empty.filePath(QStringLiteral("history.sqlite"));
    {
        HistoryStore store(file, unbounded());
        withRows(store, 100);
    }
    for (auto _ : state) {
        HistoryStore store(file, unbounded());
        benchmark::DoNotOptimize(store.loadRows());
    }
    state.counters["messages"] = double(state.range(0) ? largeSize() : 0);
}

void BM_ListConversations(benchmark::State &state)
{
    HistoryStore store(largeHistory(), unbounded());
    for (auto _ : state)
        benchmark::DoNotOptimize(store.conversations(HistoryStore::Kind::Chat));
}

} // namespace

BENCHMARK(BM_StoreArrivingMessage)->ArgName("large")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeepArrivingMessage)->ArgName("large")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, chinese_common, QString::fromUtf8("資料庫備份"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, chinese_across, QString::fromUtf8("份完成，颱風"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, latin_word, QStringLiteral("firewall"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, miss, QString::fromUtf8("不存在的句子"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, two_chars, QString::fromUtf8("颱風"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, two_chars_miss, QString::fromUtf8("貓狗"))->Unit(benchmark::kMillisecond);
// A two-character word in a fifth of all messages: its trigrams' document lists are the longest to read.
BENCHMARK_CAPTURE(BM_Search, two_chars_frequent, QString::fromUtf8("資料"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, one_char, QString::fromUtf8("颱"))->Unit(benchmark::kMillisecond);
// Begins too many different trigrams: read row by row.
BENCHMARK_CAPTURE(BM_Search, one_letter, QStringLiteral("e"))->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Open)->ArgName("large")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListConversations)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
