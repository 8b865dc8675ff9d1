#include "engine/HistoryStore.h"
#include "engine/MemorySettingsStore.h"
#include "engine/SettingsNames.h"
#include "messages/TForm_History.h"
#include "richtext/DocumentPictures.h"
#include "richtext/RtfWriter.h"
#include "tests/support/CodePage.h"
#include "widgets/RichEdit.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using Kind = HistoryStore::Kind;

namespace {

const qint64 Now = QDateTime::currentMSecsSinceEpoch();
constexpr qint64 Minute = 60'000;

// A message as the editor writes it: the text, then a picture when one is given.
QByteArray rtfOf(const QString &text, const QImage &picture = {})
{
    QTextDocument document;
    QTextCursor cursor(&document);
    cursor.insertText(text);
    if (!picture.isNull())
        DocumentPictures::insert(cursor, picture);
    return RtfWriter::write(document);
}

HistoryStore::Entry entry(Kind kind, const char *peer, const char *nickname, const QString &text, qint64 at,
                          HistoryStore::Direction direction = HistoryStore::Direction::Received,
                          const QImage &picture = {})
{
    HistoryStore::Entry e;
    e.kind = kind;
    e.peer = peer;
    e.nickname = big5(nickname);
    e.text = text;
    e.rtf = rtfOf(text, picture);
    e.time = QDateTime::fromMSecsSinceEpoch(at);
    e.direction = direction;
    return e;
}

QImage redSquare()
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::red);
    return image;
}

template <class T> T *child(const QWidget &window, const char *name)
{
    auto *found = window.findChild<T *>(QLatin1String(name));
    if (!found)
        qWarning("no %s", name);
    return found;
}

QString shownText(const TForm_History &window)
{
    return child<RichEdit>(window, "RxRichEdit_History")->document()->toPlainText();
}

int shownPictures(const TForm_History &window)
{
    const QTextDocument &document = *child<RichEdit>(window, "RxRichEdit_History")->document();
    int pictures = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat() &&
                !DocumentPictures::imageOf(document, it.fragment().charFormat().toImageFormat()).isNull())
                ++pictures;
    return pictures;
}

QStringList highlighted(const TForm_History &window)
{
    QStringList texts;
    for (const auto &selection : child<RichEdit>(window, "RxRichEdit_History")->extraSelections())
        texts << selection.cursor.selectedText();
    return texts;
}

QMessageBox *openBox(const char *name)
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String(name) && widget->isVisible())
            return qobject_cast<QMessageBox *>(widget);
    return nullptr;
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<HistoryStore> m_store;
    MemorySettingsStore m_settings;

private Q_SLOTS:
    void init()
    {
        QFile::remove(m_dir.filePath(QStringLiteral("history.sqlite")));
        m_store = std::make_unique<HistoryStore>(m_dir.filePath(QStringLiteral("history.sqlite")));
        HistoryStore &s = *m_store;
        s.record(
            entry(Kind::Chat, "10.0.0.4", "舊朋友", QStringLiteral("很久以前的消息"), Now - 100LL * 24 * 60 * Minute));
        s.record(entry(Kind::Chat, "10.0.0.3", "Alice", QStringLiteral("hello, lunch at noon?"), Now - 30 * Minute));
        s.record(entry(Kind::Chat, "10.0.0.2", "<b>小明</b>", QStringLiteral("<script>alert(1)</script> 會議記錄"),
                       Now - 21 * Minute));
        s.record(entry(Kind::Chat, "10.0.0.2", "小明", QStringLiteral("今天下午開會嗎？附上座位圖"), Now - 20 * Minute,
                       HistoryStore::Direction::Received, redSquare()));
        s.record(entry(Kind::Chat, "10.0.0.2", "小明", QStringLiteral("好的，三點在會議室見"), Now - 19 * Minute,
                       HistoryStore::Direction::Sent));

        s.record(entry(Kind::Broadcast, "10.0.0.9", "管理員", QStringLiteral("系統將於今晚維護"), Now - 10 * Minute));
        s.record(entry(Kind::Notice, "10.0.0.3", "", QStringLiteral("對方不在"), Now - 5 * Minute));
    }
    void cleanup()
    {
        for (QWidget *widget : QApplication::topLevelWidgets())
            delete widget;
        m_store.reset();
    }

    // Conversations latest first with broadcasts and notices apart; a chat rendered with its picture; a search
    // for a Chinese word, a Latin word and a miss, each hit shown in its conversation and highlighted.
    void listsShowsAndSearches()
    {
        TForm_History window(*m_store, m_settings);
        window.show();
        auto *conversations = child<QListWidget>(window, "suiListView_Conversation");
        QCOMPARE(conversations->count(), 5);
        QVERIFY(conversations->item(0)->text().startsWith(QStringLiteral("系統廣播\n1 條")));
        QVERIFY(conversations->item(1)->text().startsWith(QStringLiteral("公告/通知\n1 條")));
        // The latest name of the latest peer, which opens by itself.
        QVERIFY(conversations->item(2)->text().startsWith(QStringLiteral("小明\n10.0.0.2 · 3 條")));
        QVERIFY(conversations->item(4)->text().startsWith(QStringLiteral("舊朋友\n")));
        QCOMPARE(window.shownPeer(), QByteArray("10.0.0.2"));

        window.showPeer("10.0.0.2");
        QCOMPARE(window.shownIds().size(), 3);
        QVERIFY(shownText(window).contains(QStringLiteral("今天下午開會嗎？附上座位圖")));
        QVERIFY(shownText(window).contains(QStringLiteral("我 → ")));
        QVERIFY(shownText(window).contains(QStringLiteral("<script>alert(1)</script>")));
        QCOMPARE(shownPictures(window), 1);

        conversations->setCurrentRow(0);
        QCOMPARE(window.shownKinds(), HistoryStore::Kinds(Kind::Broadcast));
        QVERIFY(shownText(window).contains(QStringLiteral("系統將於今晚維護")));
        conversations->setCurrentRow(1);
        QVERIFY(shownText(window).contains(QStringLiteral("對方不在")));

        // Two characters of Chinese inside words: both messages that hold them, the newest first.
        window.search(QStringLiteral("會議"));
        auto *results = child<QListWidget>(window, "suiListView_Result");
        QCOMPARE(results->count(), 2);
        QVERIFY(results->item(0)->text().contains(QStringLiteral("會議室")));
        QVERIFY(results->item(1)->text().contains(QStringLiteral("會議記錄")));
        QCOMPARE(window.shownPeer(), QByteArray("10.0.0.2"));
        QCOMPARE(highlighted(window), QStringList({QStringLiteral("會議"), QStringLiteral("會議")}));
        if (const QString dir = qEnvironmentVariable("PARLUNE_SCREENSHOTS"); !dir.isEmpty()) {
            QTest::qWait(200);
            QDir().mkpath(dir);
            window.grab().save(dir + QStringLiteral("/history-search.png"));
        }

        window.search(QStringLiteral("LUNCH"));
        QCOMPARE(results->count(), 1);
        QCOMPARE(window.shownPeer(), QByteArray("10.0.0.3"));
        QCOMPARE(highlighted(window), QStringList({QStringLiteral("lunch")}));

        window.search(QStringLiteral("維護"));
        QCOMPARE(window.shownKinds(), HistoryStore::Kinds(Kind::Broadcast));

        window.search(QStringLiteral("不存在的字"));
        QCOMPARE(results->count(), 0);
        QVERIFY(child<QLabel>(window, "Panel_Result")->text().startsWith(QStringLiteral("找不到")));
        QCOMPARE(window.highlightCount(), 0);
        window.search(QStringLiteral("會議"));
        child<QLineEdit>(window, "suiEdit_Search")->clear();
        QVERIFY(!results->isVisibleTo(&window));
        QCOMPARE(window.highlightCount(), 0);
    }

    // Export writes the conversation with its picture and escapes what peers wrote; delete asks first;
    // the retention choice is stored and purges at once.
    void exportDeleteAndRetention()
    {
        TForm_History window(*m_store, m_settings);
        window.show();
        window.showPeer("10.0.0.2");
        const QString file = m_dir.filePath(QStringLiteral("out.html"));
        QVERIFY(window.exportTo(file));
        QFile html(file);
        QVERIFY(html.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(html.readAll());
        QVERIFY(page.contains(QStringLiteral("今天下午開會嗎？附上座位圖")));
        QVERIFY(page.contains(QStringLiteral("好的，三點在會議室見")));
        QCOMPARE(page.count(QStringLiteral("src=\"data:image/png;base64,")), 1);
        QVERIFY(page.contains(QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt;")));
        QVERIFY(page.contains(QStringLiteral("&lt;b&gt;小明&lt;/b&gt; (10.0.0.2)")));
        QVERIFY(!page.contains(QStringLiteral("<script")));
        QVERIFY(!window.exportTo(m_dir.filePath(QStringLiteral("no/such/folder/out.html"))));
        if (const QString dir = qEnvironmentVariable("PARLUNE_SCREENSHOTS"); !dir.isEmpty()) {
            QFile::remove(dir + QStringLiteral("/history-export.html"));
            QFile::copy(file, dir + QStringLiteral("/history-export.html"));
        }

        auto *remove = child<QPushButton>(window, "suiButton_Delete");
        remove->click();
        QMessageBox *box = openBox("DeleteConfirmMessageBox");
        QVERIFY(box);
        box->button(QMessageBox::No)->click();
        QCOMPARE(m_store->count(Kind::Chat, "10.0.0.2"), 3);
        remove->click();
        QVERIFY((box = openBox("DeleteConfirmMessageBox")));
        box->button(QMessageBox::Yes)->click();
        QCOMPARE(m_store->count(Kind::Chat, "10.0.0.2"), 0);
        QCOMPARE(m_store->count(HistoryStore::AllKinds), 4);
        QCOMPARE(child<QListWidget>(window, "suiListView_Conversation")->count(), 4);
        QVERIFY(shownText(window).isEmpty());

        auto *keep = child<QComboBox>(window, "suiComboBox_Keep");
        QCOMPARE(keep->currentData().toInt(), 0);
        // Keeping less is confirmed first; a "no" changes nothing.
        keep->setCurrentIndex(keep->findData(30));
        Q_EMIT keep->activated(keep->findData(30));
        QVERIFY((box = openBox("KeepConfirmMessageBox")));
        box->button(QMessageBox::No)->click();
        QCOMPARE(keep->currentData().toInt(), 0);
        QVERIFY(!m_settings.values(settings::SystemKey) ||
                !m_settings.values(settings::SystemKey)->contains(QString(settings::HistoryDays)));
        QCOMPARE(m_store->count(Kind::Chat, "10.0.0.4"), 1);
        keep->setCurrentIndex(keep->findData(30));
        Q_EMIT keep->activated(keep->findData(30));
        QVERIFY((box = openBox("KeepConfirmMessageBox")));
        box->button(QMessageBox::Yes)->click();
        QCOMPARE(m_settings.values(settings::SystemKey)->value(settings::HistoryDays).number, 30);
        QCOMPARE(m_store->count(Kind::Chat, "10.0.0.4"), 0);
        QCOMPARE(m_store->count(HistoryStore::AllKinds), 3);
        QCOMPARE(child<QListWidget>(window, "suiListView_Conversation")->count(), 3);
        // A value stored elsewhere shows as it is.
        QVERIFY(settings::writeInteger(m_settings, settings::SystemKey, settings::HistoryDays, 45));
        TForm_History again(*m_store, m_settings);
        QCOMPARE(child<QComboBox>(again, "suiComboBox_Keep")->currentText(), QStringLiteral("45 天"));
    }

    // A long conversation opens on its newest page; pages move back and forth; a hit far back opens the page
    // around it with the hit in focus.
    void longConversationIsPaged()
    {
        constexpr int Total = 3 * TForm_History::PageSize + 7;
        for (int i = 0; i < Total; ++i)
            m_store->record(entry(Kind::Chat, "10.0.0.7", "話癆", QStringLiteral("第%1號 message-%1").arg(i),
                                  Now - (Total - i) * Minute));
        TForm_History window(*m_store, m_settings);
        window.show();
        window.showPeer("10.0.0.7");
        QCOMPARE(window.shownTotal(), Total);
        QCOMPARE(window.pageOffset(), Total - TForm_History::PageSize);
        QCOMPARE(window.shownIds().size(), TForm_History::PageSize);
        QVERIFY(shownText(window).endsWith(QStringLiteral("message-%1").arg(Total - 1)));
        child<QPushButton>(window, "suiButton_Older")->click();
        QCOMPARE(window.pageOffset(), Total - 2 * TForm_History::PageSize);
        child<QPushButton>(window, "suiButton_Newer")->click();
        child<QPushButton>(window, "suiButton_Newer")->click();
        QCOMPARE(window.pageOffset(), Total - TForm_History::PageSize);
        QVERIFY(!child<QPushButton>(window, "suiButton_Newer")->isEnabled());

        window.search(QStringLiteral("第12號"));
        QCOMPARE(window.pageOffset(), 0);
        QVERIFY(window.shownIds().contains(m_store->search(QStringLiteral("第12號"))[0].id));
        QCOMPARE(highlighted(window).size(), 1);
        window.search(QStringLiteral("message-100"));
        QCOMPARE(window.pageOffset(), 100 - TForm_History::PageSize / 2);
        QVERIFY(!child<QPushButton>(window, "suiButton_Older")->isHidden());

        // A body of megabytes is shown as its text, not read as RTF on the window's thread.
        HistoryStore::Entry huge = entry(Kind::Chat, "10.0.0.8", "大檔", QStringLiteral("開頭"), Now);
        huge.rtf = "{\\rtf1 " + QByteArray(TForm_History::MaxShownRtfBytes, 'x') + "}";
        m_store->record(huge);
        window.showPeer("10.0.0.8");
        QCOMPARE(shownText(window),
                 QStringLiteral("%1  大檔 (10.0.0.8)\n開頭\n（內容過長，只顯示文字）")
                     .arg(QDateTime::fromMSecsSinceEpoch(Now).toString(QStringLiteral("yy-MM-dd hh:mm"))));
    }
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
