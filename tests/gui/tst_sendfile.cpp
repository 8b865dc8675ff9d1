#include "admin/DragTable.h"
#include "admin/TForm_SendFile.h"
#include "admin/transfer/FileTransfer.h"
#include "engine/FriendTable.h"
#include "engine/PacketTransport.h"
#include "tests/support/CodePage.h"
#include "tests/support/TransferPeers.h"
#include "tests/support/WindowControls.h"
#include "widgets/FontSubstitutions.h"

#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

using namespace std::chrono_literals;

namespace {

constexpr int Patience = 20000;

QString makeFile(const QString &path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    // Bytes that differ along the file, so that a piece out of place shows.
    QByteArray block(64 * 1024, Qt::Uninitialized);
    for (qint64 at = 0; at < size; at += block.size()) {
        for (qsizetype i = 0; i < block.size(); ++i)
            block[i] = char((at + i) * 7 / 3);
        file.write(block.constData(), std::min<qint64>(block.size(), size - at));
    }
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestSendFile final : public QObject
{
    Q_OBJECT

    FriendTable friends;
    std::unique_ptr<QTemporaryDir> dir;
    // The sending side is the window's engine; the receiving one answers its offers.
    PeerTransport senderTransport;
    PeerTransport receiverTransport;
    std::unique_ptr<FileTransfer> sender;
    std::unique_ptr<FileTransfer> receiver;
    QPointer<TForm_SendFile> window;

    QString file(const QString &name, qint64 size = 10) { return makeFile(dir->filePath(name), size); }

    TForm_SendFile *open()
    {
        window = new TForm_SendFile(friends, *sender);
        window->show();
        return window;
    }

    QTableView *grid() const { return control<QTableView>(window, "DBGrid_Drag"); }
    QString count() const { return control<QLabel>(window, "Panel_Count")->text(); }

    // The list as "name=Stae" in table order.
    QStringList listed() const
    {
        QStringList rows;
        const DragTable &table = window->RxMemoryData_Drag();
        for (int row = 0; row < table.size(); ++row)
            rows.append(table.at(row).FileName + u'=' + table.data(table.index(row, DragTable::StaeColumn)).toString());
        return rows;
    }

    // Drops URLs on the grid the way a file manager's drag ends; returns whether the grid took the drag.
    bool drop(const QList<QUrl> &urls)
    {
        QMimeData mime;
        mime.setUrls(urls);
        QWidget *viewport = grid()->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &dropped);
        return dropped.isAccepted();
    }
    bool drop(const QStringList &paths)
    {
        QList<QUrl> urls;
        for (const QString &path : paths)
            urls.append(QUrl::fromLocalFile(path));
        return drop(urls);
    }

    void click(const char *name) { QTest::mouseClick(control<QPushButton>(window, name), Qt::LeftButton); }

    void setRecipient(const QString &text)
    {
        auto *combo = control<QComboBox>(window, "FlatComboBox_IP");
        combo->setEditText(text);
    }

    void saveShot(const QString &name)
    {
        const QString folder = qEnvironmentVariable("PARLUNE_SCREENSHOTS");
        if (folder.isEmpty())
            return;
        QDir().mkpath(folder);
        QVERIFY(window->grab().save(folder + u'/' + name));
    }

private Q_SLOTS:
    void initTestCase()
    {
        FontSubstitutions::install();
        // The size column's separator is the locale's: a comma here.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        friends.clear();
        sender = std::make_unique<FileTransfer>(senderTransport, Transfer::Endpoints{0, 0}, quickLimits());
        QVERIFY(sender->start());
        receiver = std::make_unique<FileTransfer>(receiverTransport, Transfer::Endpoints{0, sender->servingPort()},
                                                  quickLimits());
        QVERIFY(receiver->start());
        sender->setIdentity("127.0.0.1", "sender");
        receiver->setIdentity("127.0.0.1", "receiver");
        senderTransport.sent.clear();
        senderTransport.peer = receiver.get();
        receiverTransport.peer = sender.get();
    }

    void cleanup()
    {
        delete window;
        receiver.reset();
        sender.reset();
    }

    void layout()
    {
        open();
        window->resize(150, TForm_SendFile::DesignHeight);
        QCOMPARE(window->width(), TForm_SendFile::NarrowestWidth);
        // The recipient list is the friend table's nicknames, refilled on every drop-down; typing stays.
        friends.addIfNew(big5("阿華"), "10.0.0.7", {});
        auto *combo = control<QComboBox>(window, "FlatComboBox_IP");
        QCOMPARE(combo->maxVisibleItems(), 9);
        combo->setEditText(QStringLiteral("typed"));
        combo->showPopup();
        combo->hidePopup();
        friends.addIfNew("bob", "10.0.0.8", {});
        combo->showPopup();
        combo->hidePopup();
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QStringLiteral("阿華"));
        QCOMPARE(combo->currentText(), QStringLiteral("typed"));
    }

    // Every rule of a drop: names without a dot and folders skipped, one entry per name, sizes in whole
    // kilobytes grouped by the locale, the newest entry selected, the count kept.
    void dropRules()
    {
        open();
        QDir(dir->path()).mkpath(QStringLiteral("folder"));
        QDir(dir->path()).mkpath(QStringLiteral("other"));
        const QString small = file(QStringLiteral("small.txt"), 1023);
        const QString kilo = file(QStringLiteral("kilo.dat"), 1024);
        const QString big = file(QStringLiteral("報告.bin"), 1536000);
        const QString dotted = file(QStringLiteral("ends."), 1);
        const QString plain = file(QStringLiteral("README"), 5000);
        const QString twin = file(QStringLiteral("other/small.txt"), 4096);

        QVERIFY(!drop(QList<QUrl>{QUrl(QStringLiteral("https://example.org/a.txt"))}));
        QVERIFY(drop(QStringList{small, plain, dir->filePath(QStringLiteral("folder")), kilo, big, dotted}));
        const QStringList expected{u"small.txt= KB"_qs, u"kilo.dat=1 KB"_qs, u"報告.bin=1,500 KB"_qs, u"ends.= KB"_qs};
        QCOMPARE(listed(), expected);
        QCOMPARE(count(), QStringLiteral("4"));
        QCOMPARE(grid()->currentIndex().row(), 3);
        QCOMPARE(window->RxMemoryData_Drag().at(2).Path, big);

        // The same file again, or another of the same name, adds nothing; a web link among files is passed by.
        QVERIFY(drop(QList<QUrl>{QUrl::fromLocalFile(small), QUrl(QStringLiteral("https://example.org/b.txt")),
                                 QUrl::fromLocalFile(twin)}));
        QCOMPARE(listed(), expected);
        QCOMPARE(count(), QStringLiteral("4"));
        saveShot(QStringLiteral("sendfile-list.png"));

        QCOMPARE(DragTable::sizeText(qint64(1234567) * 1024, QLocale(QLocale::German, QLocale::Germany)),
                 QStringLiteral("1.234.567 KB"));
    }

    // A file that cannot be opened ends the drop there, with the error's own text; so does a folder whose
    // name has a dot, and a path too long to keep whole.
    void errorStopsDrop()
    {
        open();
        QDir(dir->path()).mkpath(QStringLiteral("pkg.d"));
        const QString first = file(QStringLiteral("first.txt"));
        const QString after = file(QStringLiteral("after.txt"));
        QVERIFY(drop(QStringList{first, dir->filePath(QStringLiteral("missing.txt")), after}));
        QCOMPARE(listed(), QStringList{u"first.txt= KB"_qs});
        const QString error = takeMessageBox(window, "SendFileErrorBox");
        QVERIFY2(error.contains(QStringLiteral("missing.txt")), qPrintable(error));

        QVERIFY(drop(QStringList{dir->filePath(QStringLiteral("pkg.d")), after}));
        QVERIFY(!takeMessageBox(window, "SendFileErrorBox").isEmpty());
        QCOMPARE(listed(), QStringList{u"first.txt= KB"_qs});

        // Cut inside a dotted name: the cut file is not the dropped one, and is not opened.
        const QString deep = dir->filePath(QString(200, u'd'));
        QVERIFY(QDir().mkpath(deep));
        const QString longName =
            makeFile(deep + QStringLiteral("/a.") + QString(100, u'b') + QStringLiteral(".txt"), 3);
        QVERIFY(longName.size() > TForm_SendFile::MaxPathChars);
        QVERIFY(drop(QStringList{longName, after}));
        QVERIFY(!takeMessageBox(window, "SendFileErrorBox").isEmpty());
        QCOMPARE(count(), QStringLiteral("1"));
    }

    // "刪除" takes the selected entry, nothing on an empty list; "添加" goes through the drop rules.
    void deleteAndAdd()
    {
        open();
        click("suiButton_Del");
        QCOMPARE(count(), QStringLiteral("0"));

        click("suiButton1");
        auto *dialog = control<QFileDialog>(window, "OpenDialog1");
        QVERIFY(dialog);
        QCOMPARE(dialog->nameFilters(), QStringList{TForm_SendFile::FileFilter});
        Q_EMIT dialog->filesSelected({file(QStringLiteral("a.txt")), file(QStringLiteral("b.txt")),
                                      file(QStringLiteral("noext")), file(QStringLiteral("c.txt"))});
        QCOMPARE(count(), QStringLiteral("3"));

        grid()->selectRow(1);
        click("suiButton_Del");
        QCOMPARE(listed(), (QStringList{u"a.txt= KB"_qs, u"c.txt= KB"_qs}));
        QCOMPARE(count(), QStringLiteral("2"));
        click("suiButton_Del");
        click("suiButton_Del");
        click("suiButton_Del");
        QCOMPARE(count(), QStringLiteral("0"));
    }

    // Nothing leaves without files, without a recipient, or for a nickname nobody has.
    void sendRefusals()
    {
        open();
        click("suiButton3");
        QCOMPARE(takeMessageBox(window, "SendFileMessageBox"), QStringLiteral("請先添加要傳送的文件!"));
        drop(QStringList{file(QStringLiteral("a.txt"))});
        click("suiButton3");
        QCOMPARE(takeMessageBox(window, "SendFileMessageBox"), QStringLiteral("請選擇接收文件的好友!"));
        setRecipient(QStringLiteral("nobody"));
        click("suiButton3");
        QCOMPARE(takeMessageBox(window, "SendFileMessageBox"), QStringLiteral("請確認所輸入地址無誤，并且在線!!!!"));
        QVERIFY(senderTransport.sent.isEmpty());
        QVERIFY(!window->isSending());
    }

    // A real send over loopback to a second engine, chosen by nickname: the bar lies over the Stae cell of
    // the file on its way, the selection follows it, and each file ends "已傳送" and arrives whole.
    void sendOverLoopback()
    {
        QTemporaryDir inbox;
        QObject context;
        connect(receiver.get(), &FileTransfer::offerReceived, &context,
                [&](const Transfer::IncomingOffer &offer) { receiver->accept(offer.id, inbox.path()); });
        friends.addIfNew("peer", "127.0.0.1", {});
        open();
        const QStringList paths{file(QStringLiteral("one.bin"), 3 * 1024 * 1024 + 5),
                                file(QStringLiteral("two.txt"), 1), file(QStringLiteral("three.bin"), 2 * 1024 * 1024)};
        drop(paths);
        grid()->setCurrentIndex(window->RxMemoryData_Drag().index(2, 0));
        setRecipient(QStringLiteral("peer"));

        // Seen right after the window has handled each report of progress.
        struct Seen
        {
            int index;
            int selected;
            bool barShown;
            QRect bar;
            QRect cell;
        };
        QList<Seen> seen;
        auto *bar = control<QProgressBar>(window, "ProgressBar_Send");
        connect(sender.get(), &FileTransfer::progress, &context,
                [&](const QByteArray &, Transfer::Direction, int index, qint64 done, qint64 total) {
                    seen.append({index, grid()->currentIndex().row(), bar->isVisible(), bar->geometry(),
                                 grid()->visualRect(window->RxMemoryData_Drag().index(index, 1))});
                    if (index == 0 && done < total && seen.size() == 1)
                        saveShot(QStringLiteral("sendfile-progress.png"));
                });
        QSignalSpy ended(sender.get(), &FileTransfer::transferEnded);
        click("suiButton3");
        QVERIFY(window->isSending());
        QCOMPARE(control<QPushButton>(window, "suiButton3")->text(), QStringLiteral("取消"));
        QVERIFY(!control<QPushButton>(window, "suiButton_Del")->isEnabled());
        QVERIFY(ended.wait(Patience));
        QCOMPARE(ended.at(0).at(2).value<Transfer::Outcome>(), Transfer::Outcome::Completed);

        QVERIFY(!seen.isEmpty());
        for (const Seen &s : std::as_const(seen)) {
            QCOMPARE(s.selected, s.index);
            QVERIFY(s.barShown);
            QCOMPARE(s.bar, QRect(124 + 2, s.cell.top() + 1, 62 - 2, 15));
        }
        QVERIFY(bar->styleSheet().contains(TForm_SendFile::BarColor.name()));
        QVERIFY(bar->isHidden());
        QCOMPARE(listed(), (QStringList{u"one.bin=已傳送"_qs, u"two.txt=已傳送"_qs, u"three.bin=已傳送"_qs}));
        QCOMPARE(control<QPushButton>(window, "suiButton3")->text(), QStringLiteral("發送"));
        for (const QString &path : paths)
            QCOMPARE(readFile(inbox.filePath(QFileInfo(path).fileName())), readFile(path));
    }

    // The recipient's answer and either side's cancel show in the list, and "發送" sends again afterwards.
    void declineAndCancel()
    {
        bool declining = true;
        QByteArray incoming;
        QObject context;
        connect(receiver.get(), &FileTransfer::offerReceived, &context, [&](const Transfer::IncomingOffer &offer) {
            incoming = offer.id;
            if (declining)
                receiver->decline(offer.id);
        });
        open();
        drop(QStringList{file(QStringLiteral("a.txt")), file(QStringLiteral("b.txt"))});
        setRecipient(QStringLiteral("127.0.0.1"));
        QSignalSpy ended(sender.get(), &FileTransfer::transferEnded);
        click("suiButton3");
        QVERIFY(ended.wait(Patience));
        QCOMPARE(listed(), (QStringList{u"a.txt=對方拒絕"_qs, u"b.txt=對方拒絕"_qs}));
        QVERIFY(!window->isSending());

        // The sender cancels with the same button, and the recipient is told.
        declining = false;
        QSignalSpy receiverEnded(receiver.get(), &FileTransfer::transferEnded);
        click("suiButton3");
        click("suiButton3");
        QVERIFY(ended.wait(Patience));
        QCOMPARE(ended.last().at(2).value<Transfer::Outcome>(), Transfer::Outcome::Cancelled);
        QCOMPARE(listed(), (QStringList{u"a.txt=已取消"_qs, u"b.txt=已取消"_qs}));
        QCOMPARE(control<QPushButton>(window, "suiButton3")->text(), QStringLiteral("發送"));
        QTRY_COMPARE_WITH_TIMEOUT(receiverEnded.count(), 1, Patience);

        // A window closed in the middle of a send takes the send with it.
        incoming.clear();
        click("suiButton3");
        QTRY_VERIFY_WITH_TIMEOUT(!incoming.isEmpty(), Patience);
        window->close();
        QTRY_COMPARE_WITH_TIMEOUT(receiverEnded.count(), 2, Patience);
        QCOMPARE(receiverEnded.last().at(2).value<Transfer::Outcome>(), Transfer::Outcome::Cancelled);
    }
};

QTEST_MAIN(TestSendFile)
#include "tst_sendfile.moc"
