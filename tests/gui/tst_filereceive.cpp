#include "admin/ReceivedOffers.h"
#include "admin/TForm_FileReceive.h"
#include "admin/transfer/FileTransfer.h"
#include "admin/transfer/TransferPacket.h"
#include "engine/MemorySettingsStore.h"
#include "engine/PacketTransport.h"
#include "engine/SettingsNames.h"
#include "tests/support/TransferPeers.h"
#include "widgets/FontSubstitutions.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace std::chrono_literals;

namespace {

constexpr int Patience = 20000;

// Two hosts on loopback: the sender serves on a free port, the recipient fetches from it (or from `fetchPort`)
// and shows what it is offered in its window.
struct Hosts
{
    explicit Hosts(quint16 fetchPort = 0)
        : sender(senderTransport, {0, 0}, quickLimits()),
          receiver(receiverTransport, {0, fetchPort ? fetchPort : startedPort()}, quickLimits()), offers(receiver)
    {
        senderTransport.peer = &receiver;
        receiverTransport.peer = &sender;
        receiver.setIdentity("127.0.0.1", "recipient");
    }
    quint16 startedPort()
    {
        sender.start();
        sender.setIdentity("127.0.0.1", QByteArray("\xb1\x69\xa4\x54", 4)); // 張三
        return sender.servingPort();
    }
    TForm_FileReceive *window()
    {
        auto *w = new TForm_FileReceive(offers, store);
        w->show();
        return w;
    }
    // An offer of one file this host does not have, straight into the recipient's engine.
    QByteArray craftedOffer(qint64 size, const QByteArray &address = "127.0.0.1")
    {
        TransferPacket::Message offer{TransferPacket::Kind::Offer,
                                      address,
                                      "mallory",
                                      TransferPacket::newOfferId(),
                                      {{"big.iso", size, QByteArray(64, 'a')}}};
        receiver.handlePacket(TransferPacket::build(offer));
        return offer.offerId;
    }

    PeerTransport senderTransport;
    PeerTransport receiverTransport;
    FileTransfer sender;
    FileTransfer receiver;
    ReceivedOffers offers;
    MemorySettingsStore store;
};

template <class T> T *child(QWidget *window, const char *name)
{
    return window->findChild<T *>(QLatin1String(name));
}

bool shows(QWidget *window, const char *button)
{
    return child<QPushButton>(window, button)->isVisible();
}

QString cell(QWidget *window, int row, int column)
{
    const QTreeWidgetItem *item = child<QTreeWidget>(window, "DBGrid_Files")->topLevelItem(row);
    return item ? item->text(column) : QStringLiteral("<none>");
}

QString status(QWidget *window)
{
    return child<QLabel>(window, "Label_Status")->text();
}

ReceivedOffers::Phase phase(const Hosts &hosts, const QByteArray &id)
{
    const ReceivedOffers::Offer *offer = hosts.offers.find(id);
    return offer ? offer->phase : ReceivedOffers::Phase::Failed;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestFileReceive : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The size column groups digits as the locale does; these checks are written for commas.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    // The offer shows who sends which files; the folder chosen in the dialog is remembered; accepted files
    // arrive whole, a taken name gets the next free one, and the window ends on what happened.
    void acceptedFilesArriveUnderFreeNames()
    {
        QTemporaryDir source, target;
        const QByteArray report(1536000, 'r');
        writeFile(source.filePath(QStringLiteral("報告.txt")), report);
        writeFile(source.filePath(QStringLiteral("one.bin")), "1");
        writeFile(target.filePath(QStringLiteral("報告.txt")), "older");
        Hosts hosts;
        QScopedPointer<TForm_FileReceive> window(hosts.window());
        const QByteArray id = hosts.sender.offer(
            "127.0.0.1", {source.filePath(QStringLiteral("報告.txt")), source.filePath(QStringLiteral("one.bin"))});
        QTRY_COMPARE_WITH_TIMEOUT(window->shownOffer(), id, Patience);

        QCOMPARE(child<QLabel>(window.get(), "Label_From")->text(), QStringLiteral("張三 (127.0.0.1) 傳送文件給你:"));
        QCOMPARE(cell(window.get(), 0, 0), QStringLiteral("報告.txt"));
        QCOMPARE(cell(window.get(), 0, 1), QStringLiteral("1,500 KB"));
        QCOMPARE(cell(window.get(), 1, 1), QStringLiteral(" KB"));
        QVERIFY(shows(window.get(), "suiButton_Accept") && shows(window.get(), "suiButton_Refuse"));
        QVERIFY(!shows(window.get(), "suiButton_Cancel") && !shows(window.get(), "suiButton_OpenFolder"));
        QCOMPARE(child<QListWidget>(window.get(), "ListView_Offers")->count(), 1);

        QTest::mouseClick(child<QPushButton>(window.get(), "suiButton_Folder"), Qt::LeftButton);
        auto *dialog = window->findChild<QFileDialog *>(QStringLiteral("FolderDialog"));
        QVERIFY(dialog);
        dialog->selectFile(target.path());
        QMetaObject::invokeMethod(dialog, "accept");
        QCOMPARE(child<QLineEdit>(window.get(), "suiEdit_Folder")->text(), target.path());
        QCOMPARE(settings::readBinary(hosts.store, settings::SystemKey, settings::ReceiveFolder),
                 std::optional<QByteArray>(QFile::encodeName(target.path())));

        QTest::mouseClick(child<QPushButton>(window.get(), "suiButton_Accept"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(phase(hosts, id), ReceivedOffers::Phase::Completed, Patience);
        QCOMPARE(contentOf(target.filePath(QStringLiteral("報告 (1).txt"))), report);
        QCOMPARE(contentOf(target.filePath(QStringLiteral("one.bin"))), QByteArray("1"));
        QCOMPARE(contentOf(target.filePath(QStringLiteral("報告.txt"))), QByteArray("older"));
        QCOMPARE(QDir(target.path()).entryList(QDir::Files).size(), 3);
        QCOMPARE(cell(window.get(), 0, 0), QStringLiteral("報告 (1).txt"));
        QCOMPARE(cell(window.get(), 0, 2), QStringLiteral("已保存"));
        auto *bar = child<QProgressBar>(window.get(), "suiProgressBar_Total");
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(status(window.get()), QStringLiteral("接收完成，已保存 2 個文件。"));
        QVERIFY(shows(window.get(), "suiButton_OpenFolder"));
        QVERIFY(!shows(window.get(), "suiButton_Accept") && !shows(window.get(), "suiButton_Cancel"));
        QVERIFY(!child<QPushButton>(window.get(), "suiButton_Folder")->isEnabled());

        // The next window starts in the folder chosen last.
        QScopedPointer<TForm_FileReceive> again(hosts.window());
        QCOMPARE(again->folder(), target.path());
    }

    // A refusal leaves the offer open with the reason shown; refusing it tells the sender and ends it.
    void refusedThenDeclined()
    {
        QTemporaryDir target;
        Hosts hosts;
        settings::writeBinary(hosts.store, settings::SystemKey, settings::ReceiveFolder,
                              QFile::encodeName(target.path()));
        QScopedPointer<TForm_FileReceive> window(hosts.window());
        const QByteArray id = hosts.craftedOffer(qint64(1) << 49);
        QTRY_COMPARE_WITH_TIMEOUT(window->shownOffer(), id, Patience);
        QCOMPARE(cell(window.get(), 0, 1), QStringLiteral("549,755,813,888 KB"));

        QTest::mouseClick(child<QPushButton>(window.get(), "suiButton_Accept"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(status(window.get()), QStringLiteral("磁碟空間不足，無法接收!"), Patience);
        QVERIFY(shows(window.get(), "suiButton_Accept"));
        QTest::mouseClick(child<QPushButton>(window.get(), "suiButton_Refuse"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(phase(hosts, id), ReceivedOffers::Phase::Declined, Patience);
        QCOMPARE(status(window.get()), QStringLiteral("已拒絕接收。"));
        const auto answer = TransferPacket::parse(hosts.receiverTransport.sent.value(0).second);
        QVERIFY(answer && answer->kind == TransferPacket::Kind::Decline && answer->offerId == id);
        QVERIFY(!shows(window.get(), "suiButton_Refuse") && !shows(window.get(), "suiButton_OpenFolder"));
        QVERIFY(QDir(target.path()).isEmpty());
    }

    // However many offers hosts send, the list stays bounded: ended offers make room, the newest is shown,
    // and one the user is still deciding on stays shown.
    void offersStayBounded()
    {
        Hosts hosts;
        QScopedPointer<TForm_FileReceive> window(hosts.window());
        const QByteArray first = hosts.craftedOffer(10);
        QTRY_COMPARE_WITH_TIMEOUT(window->shownOffer(), first, Patience);
        hosts.craftedOffer(10);
        QTRY_COMPARE_WITH_TIMEOUT(hosts.offers.offers().size(), size_t(2), Patience);
        QCOMPARE(window->shownOffer(), first);
        hosts.offers.decline(first);
        QTRY_COMPARE_WITH_TIMEOUT(phase(hosts, first), ReceivedOffers::Phase::Declined, Patience);

        for (int round = 0; round < 3; ++round) {
            for (int i = 0; i < 40; ++i)
                hosts.craftedOffer(10, "10.0.0." + QByteArray::number(i + 1));
            QTest::qWait(200);
            for (const ReceivedOffers::Offer &offer : hosts.offers.offers())
                hosts.offers.decline(offer.id);
            QTRY_VERIFY_WITH_TIMEOUT(std::none_of(hosts.offers.offers().begin(), hosts.offers.offers().end(),
                                                  [](const auto &o) { return o.isOpen(); }),
                                     Patience);
        }
        QCOMPARE(int(hosts.offers.offers().size()), ReceivedOffers::MaxOffers);
        QVERIFY(!hosts.offers.find(first));
        QCOMPARE(child<QListWidget>(window.get(), "ListView_Offers")->count(), ReceivedOffers::MaxOffers);
    }

    // With PARLUNE_SCREENSHOTS naming a folder, pictures of an offer and of its transfer under way.
    void screenshots()
    {
        const QString folder = qEnvironmentVariable("PARLUNE_SCREENSHOTS");
        if (folder.isEmpty())
            QSKIP("PARLUNE_SCREENSHOTS names no folder");
        QVERIFY(QDir().mkpath(folder));
        FontSubstitutions::install();
        // A sender that gives a part of the first file and then holds the stream.
        QTcpServer halting;
        QVERIFY(halting.listen(QHostAddress::LocalHost));
        connect(&halting, &QTcpServer::newConnection, &halting, [&halting] {
            QTcpSocket *socket = halting.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket,
                    [socket] { socket->write("OK 1536000\n" + QByteArray(700000, 'p')); });
        });
        QTemporaryDir target;
        Hosts hosts(halting.serverPort());
        settings::writeBinary(hosts.store, settings::SystemKey, settings::ReceiveFolder,
                              QFile::encodeName(target.path()));
        QScopedPointer<TForm_FileReceive> window(hosts.window());
        TransferPacket::Message offer{
            TransferPacket::Kind::Offer,
            "127.0.0.1",
            QByteArray("\xb1\x69\xa4\x54", 4),
            TransferPacket::newOfferId(),
            {{QByteArray("\xae\xc8\xa6\xe6\xb7\xd3\xa4\xf9.zip"), 1536000, QByteArray(64, 'a')},
             {QByteArray("\xb3\xf8\xa7\x69.docx"), 20480, QByteArray(64, 'b')},
             {"notes.txt", 900, QByteArray(64, 'c')}}};
        hosts.receiver.handlePacket(TransferPacket::build(offer));
        QTRY_COMPARE_WITH_TIMEOUT(window->shownOffer(), offer.offerId, Patience);
        QVERIFY(window->grab().save(folder + QStringLiteral("/filereceive-offer.png")));
        QTest::mouseClick(child<QPushButton>(window.get(), "suiButton_Accept"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(cell(window.get(), 0, 2).endsWith(QLatin1Char('%')), Patience);
        QTest::qWait(300);
        QVERIFY(window->grab().save(folder + QStringLiteral("/filereceive-progress.png")));
        QTest::mouseClick(child<QPushButton>(window.get(), "suiButton_Cancel"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(phase(hosts, offer.offerId), ReceivedOffers::Phase::Cancelled, Patience);
    }
};

QTEST_MAIN(TestFileReceive)
#include "tst_filereceive.moc"
