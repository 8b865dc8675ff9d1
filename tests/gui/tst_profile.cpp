#include "admin/SpinButton.h"
#include "admin/TForm_PIM.h"
#include "admin/TForm_Telecentre.h"
#include "base/Cp950.h"
#include "engine/ConsoleState.h"
#include "engine/ConsoleValues.h"
#include "engine/FriendTable.h"
#include "engine/MemorySettingsStore.h"
#include "engine/NoticeSink.h"
#include "engine/NoticeText.h"
#include "engine/Packet.h"
#include "engine/Presence.h"
#include "engine/SettingsNames.h"
#include "shell/TrayIcon.h"
#include "tests/support/BitmapFile.h"
#include "tests/support/CodePage.h"
#include "tests/support/NoticeRecorder.h"
#include "tests/support/RecordingTransport.h"
#include "tests/support/WindowControls.h"
#include "widgets/FontSubstitutions.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace {

} // namespace

class TestProfile final : public QObject
{
    Q_OBJECT

    ConsoleValues values;
    FriendTable friends;
    RecordingTransport transport;
    NoticeRecorder notices;
    std::unique_ptr<MemorySettingsStore> store;
    std::unique_ptr<ConsoleState> state;
    std::unique_ptr<Presence> presence;
    QTemporaryDir files;

    QPointer<TForm_Telecentre> telecentre;
    QPointer<TForm_PIM> pim;

    TForm_Telecentre *openTelecentre()
    {
        telecentre = new TForm_Telecentre(values, friends, transport);
        telecentre->show();
        return telecentre;
    }
    // Profile window ---------------------------------------------------------------------------------

    TForm_PIM *openPim()
    {
        pim = new TForm_PIM(*state, *store, *presence, transport, notices);
        pim->show();
        return pim;
    }
    void check(const char *name, bool on)
    {
        auto *box = control<QCheckBox>(pim, name);
        if (box->isChecked() != on)
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }
    void type(const char *name, const QString &text)
    {
        auto *edit = control<QLineEdit>(pim, name);
        edit->setText(text);
    }
    void save() { QTest::mouseClick(control<QPushButton>(pim, "suiButton_OK"), Qt::LeftButton); }
    QByteArray stored(QLatin1StringView name) const
    {
        const MemorySettingsStore::Values *profile = store->values(settings::ProfileKey);
        return profile ? profile->value(name).bytes : QByteArray("<no key>");
    }
    QByteArrayList commands() const
    {
        QByteArrayList codes;
        for (const QByteArray &packet : transport.broadcasts)
            codes.append(Packet::ExtractField(1, packet));
        return codes;
    }
    void chooseFile(const QString &fileName, const QString &filter)
    {
        QTest::mouseClick(control<QPushButton>(pim, "suiButton1"), Qt::LeftButton);
        auto *dialog = pim->findChild<QFileDialog *>(QStringLiteral("FaceFileDialog"));
        QVERIFY(dialog);
        QCOMPARE(dialog->nameFilters(), QStringList({QStringLiteral("頭象文件(*.TF)"), TForm_PIM::PictureFilter}));
        dialog->selectNameFilter(filter);
        dialog->selectFile(fileName);
        static_cast<QDialog *>(dialog)->accept(); // QFileDialog hides it, as the user only clicks
    }
    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = files.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qWarning("cannot write %s", qPrintable(path));
        return path;
    }

    void send(const QString &host, const QString &password)
    {
        auto *hosts = control<QComboBox>(telecentre, "suiComboBox_IP");
        hosts->setEditText(host);
        control<QLineEdit>(telecentre, "suiEdit_Password")->setText(password);
        QTest::mouseClick(control<QPushButton>(telecentre, "suiButton_OK"), Qt::LeftButton);
    }

private Q_SLOTS:
    void init()
    {
        values = ConsoleValues{};
        values.OwnAddress = "10.0.0.1";
        values.OwnNickname = big5("小明");
        friends.clear();
        transport = RecordingTransport{};
        notices.shown.clear();
        store = std::make_unique<MemorySettingsStore>();
        state = std::make_unique<ConsoleState>(*store, notices);
        state->values().OwnAddress = "10.0.0.1";
        state->values().OwnNickname = big5("小明");
        presence =
            std::make_unique<Presence>(friends, transport, state->values(), [] { return QByteArray("10.0.0.1"); });
    }

    void cleanup() { delete telecentre; }

    // ---- remote host window -----------------------------------------------------------------------------

    void telecentreHostList()
    {
        friends.addIfNew(big5("阿華"), "10.0.0.7", {});
        friends.addIfNew("bob", "10.0.0.8", {});
        openTelecentre();
        auto *hosts = control<QComboBox>(telecentre, "suiComboBox_IP");
        QCOMPARE(hosts->count(), 2);
        QCOMPARE(hosts->itemText(0), QStringLiteral("阿華"));
        QCOMPARE(hosts->itemText(1), QStringLiteral("bob"));
        QCOMPARE(control<QComboBox>(telecentre, "suiComboBox_Order")->currentText(), QStringLiteral("關閉遠程計算機"));
        QVERIFY(telecentre->testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(telecentre->windowFlags() & Qt::WindowStaysOnTopHint);

        // Dropping the list down refills it from the table as it is now; what is typed stays.
        friends.addIfNew("carol", "10.0.0.9", {});
        hosts->setEditText(QStringLiteral("10.0.0."));
        hosts->showPopup();
        hosts->hidePopup();
        QCOMPARE(hosts->count(), 3);
        QCOMPARE(hosts->currentText(), QStringLiteral("10.0.0."));
    }

    void telecentreSend_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QString>("box");

        QTest::newRow("typed address of no friend")
            << QStringLiteral("192.168.5.20") << QByteArray("192.168.5.20") << QString();
        QTest::newRow("short address form") << QStringLiteral("10.1") << QByteArray("10.1") << QString();
        QTest::newRow("exact nickname") << QStringLiteral("bob") << QByteArray("10.0.0.8") << QString();
        QTest::newRow("first of two equal nicknames") << QStringLiteral("阿華") << QByteArray("10.0.0.7") << QString();
        QTest::newRow("nickname in other case")
            << QStringLiteral("BOB") << QByteArray() << QStringLiteral("請確認所輸入地址無誤，并且在線!!!!");
        QTest::newRow("part of a nickname")
            << QStringLiteral("bo") << QByteArray() << QStringLiteral("請確認所輸入地址無誤，并且在線!!!!");
        QTest::newRow("all-ones address is no address") << QStringLiteral("255.255.255.255") << QByteArray()
                                                        << QStringLiteral("請確認所輸入地址無誤，并且在線!!!!");
        QTest::newRow("empty host") << QStringLiteral("") << QByteArray() << QStringLiteral("請選擇遠程主機!");
    }

    void telecentreSend()
    {
        QFETCH(QString, host);
        QFETCH(QByteArray, target);
        QFETCH(QString, box);
        friends.addIfNew(big5("阿華"), "10.0.0.7", {});
        friends.addIfNew("bob", "10.0.0.8", {});
        friends.addIfNew(big5("阿華"), "10.0.0.9", {});
        openTelecentre();

        send(host, QStringLiteral("Pw0"));
        QCOMPARE(takeMessageBox(telecentre, "TelecentreMessageBox"), box);
        if (target.isEmpty()) {
            QVERIFY(transport.direct.isEmpty());
            return;
        }
        QCOMPARE(transport.direct.size(), 1);
        QCOMPARE(transport.direct.at(0).first, target);
        QCOMPARE(transport.direct.at(0).second,
                 Packet::build(Packet::CMD_REMOTE_SHUTDOWN, {"10.0.0.1", big5("小明"), "Pw0"}));
        // The window stays as it was, ready for another try.
        QVERIFY(telecentre->isVisible());
        QCOMPARE(control<QComboBox>(telecentre, "suiComboBox_IP")->currentText(), host);
    }

    void telecentrePassword()
    {
        openTelecentre();
        auto *password = control<QLineEdit>(telecentre, "suiEdit_Password");
        QTest::keyClicks(password, QStringLiteral("ab c"));
        QCOMPARE(password->displayText(), QStringLiteral("0000"));

        // Nothing typed travels as an empty field 4, which a host without a password accepts.
        send(QStringLiteral("10.0.0.8"), QString());
        send(QStringLiteral("10.0.0.8"), QStringLiteral("秘密 pw"));
        QCOMPARE(transport.direct.size(), 2);
        QCOMPARE(Packet::ExtractField(4, transport.direct.at(0).second), QByteArray());
        QCOMPARE(transport.direct.at(0).second,
                 Packet::build(Packet::CMD_REMOTE_SHUTDOWN, {"10.0.0.1", big5("小明"), ""}));
        QCOMPARE(Packet::ExtractField(4, transport.direct.at(1).second), big5("秘密 pw"));
    }

    void telecentreSendFails()
    {
        transport.directResult = -1;
        openTelecentre();
        send(QStringLiteral("10.0.0.8"), QStringLiteral("x"));
        QCOMPARE(transport.direct.size(), 1);
        QCOMPARE(takeMessageBox(telecentre, "TelecentreMessageBox"),
                 QStringLiteral("發送失敗,請確認網絡正常且對方在線!!"));
        QVERIFY(telecentre->isVisible());
    }

    // ---- profile window -------------------------------------------------------------------------------

    void pimShowsTheConsoleValues()
    {
        state->values().OwnFace = bitmapFile(Qt::red);
        openPim();
        QCOMPARE(pim->size(), QSize(395, 265));
        QCOMPARE(control<QLineEdit>(pim, "suiEdit_Nickname")->text(), QStringLiteral("小明"));
        QCOMPARE(control<QLineEdit>(pim, "suiEdit_IP")->text(), QStringLiteral("10.0.0.1"));
        QVERIFY(control<QLineEdit>(pim, "suiEdit_IP")->isReadOnly());
        // The built-in face, then the own one, selected.
        QCOMPARE(pim->ImageList_Mien().size(), 2);
        QCOMPARE(pim->selectedPicture(), 1);
        QCOMPARE(pim->ImageList_Mien().at(1).toImage().pixelColor(16, 16), QColor(Qt::red));

        auto *provinces = control<QComboBox>(pim, "suiComboBox_Province");
        QCOMPARE(provinces->count(), 34);
        QCOMPARE(provinces->itemText(0), QStringLiteral("北京市"));
        QCOMPARE(provinces->itemText(33), QStringLiteral("澳門特別行政區"));
        QCOMPARE(provinces->currentText(), QStringLiteral("廣東省"));

        // Each tab shows its panel alone.
        auto *tabs = control<QTabBar>(pim, "suiTabControl1");
        const char *panels[] = {"Panel_Basic", "Panel_Affiliation", "Panel_Details", "Panel_NetSafety"};
        QCOMPARE(tabs->count(), 4);
        for (int tab = 3; tab >= 0; --tab) {
            tabs->setCurrentIndex(tab);
            for (int panel = 0; panel < 4; ++panel)
                QCOMPARE(control<QWidget>(pim, panels[panel])->isVisible(), panel == tab);
        }

        // The password edits wait for the check box and mask with "0".
        auto *oldPassword = control<QLineEdit>(pim, "suiEdit_OldPassword");
        QVERIFY(!oldPassword->isEnabled());
        tabs->setCurrentIndex(3);
        QVERIFY(control<QLabel>(pim, "Label_NoPassword")->isVisible());
        check("suiCheckBox_Password", true);
        QVERIFY(oldPassword->isEnabled() && control<QLineEdit>(pim, "suiEdit_OkPassword")->isEnabled());
        QTest::keyClicks(oldPassword, QStringLiteral("a b"));
        QCOMPARE(oldPassword->displayText(), QStringLiteral("000"));
        check("suiCheckBox_Password", false);
        QVERIFY(!control<QLineEdit>(pim, "suiEdit_NewPassword")->isEnabled());

        // With a password set, nothing needs saying.
        pim->close();
        state->values().OwnPassword = "pw";
        openPim();
        control<QTabBar>(pim, "suiTabControl1")->setCurrentIndex(3);
        QVERIFY(!control<QLabel>(pim, "Label_NoPassword")->isVisible());
    }

    void pimSaveRules_data()
    {
        QTest::addColumn<QByteArray>("held");
        QTest::addColumn<bool>("changePassword");
        QTest::addColumn<QString>("oldPassword");
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<QString>("okPassword");
        QTest::addColumn<QString>("nickname");
        QTest::addColumn<QString>("refusal");     // empty: saved
        QTest::addColumn<QByteArray>("password"); // held and stored after a save

        const QString wrongOld = QStringLiteral("原密碼錯誤!");
        const QString mismatch = QStringLiteral("新密碼與確認密碼不相符!");
        QTest::newRow("box unchecked keeps the password whatever the edits hold")
            << QByteArray("old") << false << QStringLiteral("x") << QStringLiteral("y") << QStringLiteral("z")
            << QStringLiteral("阿明") << QString() << QByteArray("old");
        QTest::newRow("empty held password matches an empty entry")
            << QByteArray() << true << QString() << QStringLiteral("新pw") << QStringLiteral("新pw")
            << QStringLiteral("阿明") << QString() << big5("新pw");
        QTest::newRow("empty held password refuses any other entry")
            << QByteArray() << true << QStringLiteral(" ") << QStringLiteral("a") << QStringLiteral("a")
            << QStringLiteral("阿明") << wrongOld << QByteArray();
        QTest::newRow("old password compared case-sensitively")
            << QByteArray("Secret") << true << QStringLiteral("secret") << QStringLiteral("a") << QStringLiteral("a")
            << QStringLiteral("阿明") << wrongOld << QByteArray("Secret");
        QTest::newRow("new and confirmation differ")
            << QByteArray("Secret") << true << QStringLiteral("Secret") << QStringLiteral("a") << QStringLiteral("b")
            << QStringLiteral("阿明") << mismatch << QByteArray("Secret");
        QTest::newRow("empty new password clears it")
            << QByteArray("Secret") << true << QStringLiteral("Secret") << QString() << QString()
            << QStringLiteral("阿明") << QString() << QByteArray();
        QTest::newRow("empty nickname") << QByteArray("Secret") << true << QStringLiteral("Secret")
                                        << QStringLiteral("a") << QStringLiteral("a") << QString()
                                        << QStringLiteral("請填寫你的暱稱!") << QByteArray("Secret");
    }

    void pimSaveRules()
    {
        QFETCH(QByteArray, held);
        QFETCH(bool, changePassword);
        QFETCH(QString, oldPassword);
        QFETCH(QString, newPassword);
        QFETCH(QString, okPassword);
        QFETCH(QString, nickname);
        QFETCH(QString, refusal);
        QFETCH(QByteArray, password);
        state->values().OwnPassword = held;
        openPim();
        check("suiCheckBox_Password", changePassword);
        for (auto [name, text] : {std::pair{"suiEdit_OldPassword", oldPassword},
                                  {"suiEdit_NewPassword", newPassword},
                                  {"suiEdit_OkPassword", okPassword},
                                  {"suiEdit_Nickname", nickname}})
            type(name, text);
        save();

        QCOMPARE(state->values().OwnPassword, password);
        QCOMPARE(notices.shown.size(), 1);
        if (!refusal.isEmpty()) {
            const QByteArray caption = refusal == QStringLiteral("請填寫你的暱稱!") ? "Edit PIM" : "Password Error";
            QCOMPARE(notices.shown.at(0).text,
                     NoticeText::build(refusal, NoticeText::Frame::SansSerif8, NoticeText::Escapes::HighBytes));
            QCOMPARE(notices.shown.at(0).caption, caption);
            // Nothing stored, announced or changed; the window stays for a correction.
            QVERIFY(!store->values(settings::ProfileKey));
            QVERIFY(transport.broadcasts.isEmpty());
            QCOMPARE(state->values().OwnNickname, big5("小明"));
            QVERIFY(pim && pim->isVisible());
            return;
        }
        QCOMPARE(stored(settings::Nickname), big5("阿明"));
        QCOMPARE(state->values().OwnNickname, big5("阿明"));
        QCOMPARE(store->values(settings::ProfileKey)->contains(settings::Password), changePassword);
        if (changePassword)
            QCOMPARE(stored(settings::Password), password);
        // The frame of the notice, byte for byte: ASCII trail bytes as they are.
        QCOMPARE(notices.shown.at(0).text,
                 QByteArray("{\\rtf1\\ansi\\ansicpg950\\deff0\\deflang1033\\deflangfe1028{\\fonttbl{\\f0\\fnil"
                            "\\fcharset136 MS Sans Serif;}}\\viewkind4\\uc1\\pard\\lang1028\\f0\\fs16") +
                     R"(\'ad\'d3\'a4H\'abH\'ae\'a7\'a4w\'ad\'d7\'a7\'ef\'a7\'b9\'a6\'a8!\par})");
        QCOMPARE(notices.shown.at(0).caption, QByteArray("Edit PIM"));
        QTRY_VERIFY(!pim);
    }

    void pimSaveAnnouncesAfterAnOffline()
    {
        for (int round = 0; round < 2; ++round) {
            friends.addIfNew("bob", "10.0.0.8", {});
            openPim();
            type("suiEdit_Nickname", QStringLiteral("阿明"));
            save();
            QTRY_VERIFY(!pim);
            // The table empties with every announcement; the answers rebuild it.
            QCOMPARE(friends.size(), 0);
        }
        const QByteArray online = Packet::build(Packet::CMD_ONLINE, {"10.0.0.1", big5("阿明"), {}});
        QCOMPARE(transport.broadcasts, QByteArrayList({Packet::build(Packet::CMD_OFFLINE, {"10.0.0.1"}), online,
                                                       Packet::build(Packet::CMD_OFFLINE, {"10.0.0.1"}), online}));
    }

    void pimLongNicknameShortenedOnlyInTheTip()
    {
        // The console refreshes the tray tip when the nickname changes.
        QByteArray tip;
        connect(state.get(), &ConsoleState::ownNicknameChanged, this, [this, &tip] {
            tip = TrayIcon::buildTrayTip(state->values().OwnNickname, state->values().OwnAddress);
        });
        const QString nickname = QStringLiteral("一二三四五六七八九十一二三四五六七八九十一二三");
        const QByteArray bytes = cp950::encode(nickname);
        openPim();
        type("suiEdit_Nickname", nickname);
        save();
        QVERIFY(tip.size() <= TrayIcon::TipBytes);
        QVERIFY(tip.endsWith("\rNumberIP: 10.0.0.1"));
        QVERIFY(!tip.contains(bytes));
        QCOMPARE(stored(settings::Nickname), bytes);
        QCOMPARE(state->values().OwnNickname, bytes);
        QCOMPARE(Packet::ExtractField(3, transport.broadcasts.last()), bytes);
    }

    void pimSaveWithoutTheKey()
    {
        store->setUnopenable(settings::ProfileKey);
        int nicknameSignals = 0;
        connect(state.get(), &ConsoleState::ownNicknameChanged, this, [&nicknameSignals] { ++nicknameSignals; });
        openPim();
        check("suiCheckBox_Password", true);
        type("suiEdit_NewPassword", QStringLiteral("a"));
        type("suiEdit_OkPassword", QStringLiteral("a"));
        type("suiEdit_Nickname", QStringLiteral("阿明"));
        save();
        QCOMPARE(state->values().OwnNickname, big5("小明"));
        QCOMPARE(state->values().OwnPassword, QByteArray());
        QCOMPARE(nicknameSignals, 0);
        // The rest of the save still happens.
        QCOMPARE(commands(), QByteArrayList({"0", "1"}));
        QCOMPARE(notices.shown.size(), 1);
        QCOMPARE(notices.shown.at(0).caption, QByteArray("Edit PIM"));
        QTRY_VERIFY(!pim);
    }

    void pimFaceFile()
    {
        // A bitmap file followed by more bytes than a face may have: only the first 30000 count.
        QByteArray bytes = bitmapFile(QColor(0, 0, 200), 90);
        QVERIFY(bytes.size() < 30000);
        bytes.append(QByteArray(40000 - bytes.size(), 'x'));
        openPim();
        chooseFile(writeFile(QStringLiteral("big.TF"), bytes), QStringLiteral("頭象文件(*.TF)"));

        const QByteArray face = bytes.left(30000);
        QCOMPARE(stored(settings::Face), face);
        QCOMPARE(store->values(settings::ProfileKey)->value(settings::Face).type, MemorySettingsStore::Type::Binary);
        QCOMPARE(state->values().OwnFace, face);
        QCOMPARE(pim->ImageList_Mien().size(), 2);
        QCOMPARE(pim->selectedPicture(), 1);
        QCOMPARE(commands(), QByteArrayList({"0", "1"}));
        QCOMPARE(Packet::ExtractField(4, transport.broadcasts.last()), face);
        QCOMPARE(notices.shown.size(), 1);
        // Bytes above 0x7F escaped, ASCII trail bytes as they are, except the backslash of 功.
        QCOMPARE(notices.shown.at(0).text, NoticeText::prefix(NoticeText::Frame::SansSerif8) +
                                               R"(\'c0Y\'b9\'b3\'a4w\'a6\'a8\'a5\'5c\'aa`\'a5U!\par})");
        QCOMPARE(notices.shown.at(0).caption, QByteArray("Face Reg)"));
        QVERIFY(pim->isVisible());
    }

    void pimFaceCutOnTheWire()
    {
        // Pixels of value 8 put the separator into the face; it is stored whole, yet travels cut there.
        const QByteArray bytes = bitmapFile(QColor(8, 8, 8));
        const qsizetype separator = bytes.indexOf('\x08');
        QVERIFY(separator > 0);
        openPim();
        chooseFile(writeFile(QStringLiteral("dark.TF"), bytes), QStringLiteral("頭象文件(*.TF)"));
        QCOMPARE(state->values().OwnFace, bytes);
        QCOMPARE(Packet::ExtractField(4, transport.broadcasts.last()), bytes.left(separator));
    }

    void pimOrdinaryPicture_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("PNG") << QByteArray("PNG");
        QTest::newRow("JPEG") << QByteArray("JPG");
        QTest::newRow("bitmap") << QByteArray("BMP");
    }

    void pimOrdinaryPicture()
    {
        // A wide picture with pixels of value 8 becomes a 32 × 32 bitmap file without that byte.
        QFETCH(QByteArray, format);
        QImage picture(1200, 600, QImage::Format_RGB888);
        picture.fill(QColor(8, 8, 8));
        QByteArray file;
        QBuffer buffer(&file);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(picture.save(&buffer, format.constData()));
        openPim();
        chooseFile(writeFile(QStringLiteral("photo.") + QString::fromLatin1(format.toLower()), file),
                   TForm_PIM::PictureFilter);

        const QByteArray face = state->values().OwnFace;
        QVERIFY(face.startsWith("BM"));
        QVERIFY(face.size() <= 30000);
        QVERIFY(!face.contains('\x08'));
        QCOMPARE(stored(settings::Face), face);
        QImage decoded;
        QVERIFY(decoded.loadFromData(face, "BMP"));
        QCOMPARE(decoded.size(), QSize(32, 32));
        QVERIFY(qGray(decoded.pixel(16, 16)) < 16);
        QCOMPARE(Packet::ExtractField(4, transport.broadcasts.last()), face);
    }

    void pimPicturesThatChangeNothing()
    {
        openPim();
        chooseFile(writeFile(QStringLiteral("text.TF"), "no bitmap here"), QStringLiteral("頭象文件(*.TF)"));
        QVERIFY(!takeMessageBox(pim, "ErrorMessageBox").isEmpty());
        chooseFile(writeFile(QStringLiteral("text.png"), "no picture either"), TForm_PIM::PictureFilter);
        QVERIFY(!takeMessageBox(pim, "ErrorMessageBox").isEmpty());
        QVERIFY(state->values().OwnFace.isEmpty());
        QVERIFY(!store->values(settings::ProfileKey));
        QVERIFY(transport.broadcasts.isEmpty());
        QVERIFY(notices.shown.isEmpty());
        QCOMPARE(pim->ImageList_Mien().size(), 1);

        // Without the profile key a good picture shows, and that is all.
        store->setUnopenable(settings::ProfileKey);
        chooseFile(writeFile(QStringLiteral("face.TF"), bitmapFile(Qt::green)), QStringLiteral("頭象文件(*.TF)"));
        QCOMPARE(pim->selectedPicture(), 1);
        QVERIFY(state->values().OwnFace.isEmpty());
        QVERIFY(transport.broadcasts.isEmpty());
        QVERIFY(notices.shown.isEmpty());
    }

    void pimShownPictureBecomesTheFaceOnSave()
    {
        const QByteArray own = bitmapFile(Qt::red);
        state->values().OwnFace = own;
        store->plant(settings::ProfileKey, settings::Face, {MemorySettingsStore::Type::Binary, own, 0});

        // Untouched arrows leave the face alone.
        openPim();
        save();
        QTRY_VERIFY(!pim);
        QCOMPARE(state->values().OwnFace, own);

        // The built-in picture chosen with the arrows: no picture of one's own.
        openPim();
        auto *spin = control<SpinButton>(pim, "SpinButton1");
        QTest::mouseClick(spin->downButton(), Qt::LeftButton);
        QCOMPARE(pim->selectedPicture(), 1);
        QTest::mouseClick(spin->upButton(), Qt::LeftButton);
        QTest::mouseClick(spin->upButton(), Qt::LeftButton);
        QCOMPARE(pim->selectedPicture(), 0);
        save();
        QTRY_VERIFY(!pim);
        QCOMPARE(state->values().OwnFace, QByteArray());
        QCOMPARE(stored(settings::Face), QByteArray());
        QCOMPARE(Packet::ExtractField(4, transport.broadcasts.last()), QByteArray());
    }

    // With PARLUNE_SCREENSHOTS naming a folder, pictures of both windows for a person to look at.
    void screenshots()
    {
        const QString folder = qEnvironmentVariable("PARLUNE_SCREENSHOTS");
        if (folder.isEmpty())
            QSKIP("PARLUNE_SCREENSHOTS names no folder");
        QVERIFY(QDir().mkpath(folder));
        FontSubstitutions::install();
        state->values().OwnFace = bitmapFile(QColor(90, 160, 220));
        openPim();
        control<QLineEdit>(pim, "suiEdit_Age")->setText(QStringLiteral("28"));
        auto *tabs = control<QTabBar>(pim, "suiTabControl1");
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            QVERIFY(pim->grab().save(QStringLiteral("%1/profile-tab%2.png").arg(folder).arg(tab + 1)));
        }
        check("suiCheckBox_Password", true);
        QTest::keyClicks(control<QLineEdit>(pim, "suiEdit_OldPassword"), QStringLiteral("abc"));
        QVERIFY(pim->grab().save(folder + QStringLiteral("/profile-tab4-checked.png")));

        friends.addIfNew(big5("阿華"), "10.0.0.7", {});
        friends.addIfNew("bob", "10.0.0.8", {});
        openTelecentre();
        QTest::keyClicks(control<QLineEdit>(telecentre, "suiEdit_Password"), QStringLiteral("secret"));
        QVERIFY(telecentre->grab().save(folder + QStringLiteral("/telecentre.png")));
    }
};

QTEST_MAIN(TestProfile)
#include "tst_profile.moc"
