#include "base/Cp950.h"
#include "engine/Packet.h"

#include <QTest>

using namespace Packet;

class TestPacket : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void extractField_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<int>("n");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("plain field") << QByteArray("\x08"
                                                   "5\x08"
                                                   "A\x08")
                                     << 2 << QByteArray("A");
        QTest::newRow("command") << QByteArray("\x08"
                                               "5\x08"
                                               "A\x08")
                                 << 1 << QByteArray("5");
        QTest::newRow("missing after last") << QByteArray("\x08"
                                                          "5\x08"
                                                          "A\x08")
                                            << 3 << QByteArray();
        QTest::newRow("empty fields") << QByteArray("\x08\x08\x08") << 1 << QByteArray();
        QTest::newRow("empty second") << QByteArray("\x08\x08\x08") << 2 << QByteArray();
        QTest::newRow("missing third") << QByteArray("\x08\x08\x08") << 3 << QByteArray();
        QTest::newRow("unterminated") << QByteArray("\x08"
                                                    "1\x08"
                                                    "A")
                                      << 2 << QByteArray();
        QTest::newRow("unterminated keeps earlier") << QByteArray("\x08"
                                                                  "1\x08"
                                                                  "A")
                                                    << 1 << QByteArray("1");
        QTest::newRow("bytes before first separator") << QByteArray("X\x08"
                                                                    "1\x08")
                                                      << 1 << QByteArray("1");
        QTest::newRow("no separator at all") << QByteArray("hello") << 1 << QByteArray();
        QTest::newRow("empty packet") << QByteArray() << 1 << QByteArray();
        QTest::newRow("zero is not a field number") << QByteArray("\x08"
                                                                  "1\x08")
                                                    << 0 << QByteArray();
        QTest::newRow("nul inside a field") << QByteArray("\x08"
                                                          "1\x08"
                                                          "a\0b\x08",
                                                          7)
                                            << 2 << QByteArray("a\0b", 3);
    }
    void extractField()
    {
        QFETCH(QByteArray, packet);
        QFETCH(int, n);
        QFETCH(QByteArray, expected);
        QCOMPARE(ExtractField(n, packet), expected);
    }

    void buildLayouts()
    {
        QCOMPARE(build(CMD_OFFLINE, {"10.0.0.2"}), QByteArray("\x08"
                                                              "0\x08"
                                                              "10.0.0.2\x08"));
        QCOMPARE(build(CMD_BULLETIN, {"a", "b", "12:05", "{\\rtf1}"}), QByteArray("\x08"
                                                                                  "11\x08"
                                                                                  "a\x08"
                                                                                  "b\x08"
                                                                                  "12:05\x08"
                                                                                  "{\\rtf1}\x08"));
        QCOMPARE(build(CMD_MESSAGE, {"a", "n", "09:00", "x", "0"}), QByteArray("\x08"
                                                                               "5\x08"
                                                                               "a\x08"
                                                                               "n\x08"
                                                                               "09:00\x08"
                                                                               "x\x08"
                                                                               "0\x08"));
        QCOMPARE(build(CMD_HIDDEN, {"a", ""}), QByteArray("\x08"
                                                          "2\x08"
                                                          "a\x08\x08"));
    }

    // A face is raw bitmap bytes: 0x00 travels whole, 0x08 cuts it and spills into the next fields.
    void faceBytesTravelByLength()
    {
        const QByteArray withNul("BM\0\0\x01\x02", 6);
        const QByteArray packet = build(CMD_ONLINE, {"1.2.3.4", "nick", withNul});
        QCOMPARE(ExtractField(4, packet), withNul);

        const QByteArray withSeparator("BM\x01\x08tail", 8);
        const QByteArray cut = build(CMD_ONLINE, {"1.2.3.4", "nick", withSeparator});
        QCOMPARE(ExtractField(4, cut), QByteArray("BM\x01"));
        QCOMPARE(ExtractField(5, cut), QByteArray("tail"));
    }

    void command_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<int>("expected"); // -999 for "not a number"
        QTest::newRow("zero") << QByteArray("\x08"
                                            "0\x08"
                                            "x\x08")
                              << 0;
        QTest::newRow("eleven") << QByteArray("\x08"
                                              "11\x08")
                                << 11;
        QTest::newRow("negative") << QByteArray("\x08"
                                                "-3\x08")
                                  << -3;
        QTest::newRow("empty") << QByteArray("\x08\x08") << -999;
        QTest::newRow("letters") << QByteArray("\x08"
                                               "5a\x08")
                                 << -999;
        QTest::newRow("overflow") << QByteArray("\x08"
                                                "99999999999\x08")
                                  << -999;
        QTest::newRow("unterminated") << QByteArray("\x08"
                                                    "5")
                                      << -999;
    }
    void command()
    {
        QFETCH(QByteArray, packet);
        QFETCH(int, expected);
        const std::optional<int> code = Packet::command(packet);
        QCOMPARE(code.value_or(-999), expected);
    }

    void cp950RoundTrip()
    {
        const QString text = QString::fromUtf8("緊急通告－匿名 abc");
        bool ok = false;
        const QByteArray bytes = cp950::encode(text, &ok);
        QVERIFY(ok);
        QCOMPARE(bytes.left(4), QByteArray("\xba\xf2\xab\xe6"));
        QCOMPARE(cp950::decode(bytes, &ok), text);
        QVERIFY(ok);
    }

    // Windows' own table differs from plain Big5 in a few places; these are the ones peers notice.
    void cp950WindowsTable()
    {
        QCOMPARE(cp950::decode("\xa1\x45"), QString(QChar(0x2027)));
        QCOMPARE(cp950::decode("\xa1\xc3"), QString(QChar(0xFFE3)));
        QCOMPARE(cp950::decode("\xa3\xe1"), QString(QChar(0x20AC)));
        QCOMPARE(cp950::decode("\xf9\xfe"), QString(QChar(0x2593)));
        QCOMPARE(cp950::encodeChar(0x20AC), QByteArray("\xa3\xe1"));
    }

    void cp950BestFit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("readBack");
        // Signs with a full-width twin in the table become that twin.
        QTest::newRow("cent") << QStringLiteral("¢") << QByteArray("\xa2\x46") << QStringLiteral("￠");
        QTest::newRow("pound") << QStringLiteral("£") << QByteArray("\xa2\x47") << QStringLiteral("￡");
        QTest::newRow("yen") << QStringLiteral("¥") << QByteArray("\xa2\x44") << QStringLiteral("￥");
        // Accented Latin letters lose their accent.
        QTest::newRow("latin") << QStringLiteral("café à niño") << QByteArray("cafe a nino")
                               << QStringLiteral("cafe a nino");
        QTest::newRow("marks") << QStringLiteral("©®") << QByteArray("cR") << QStringLiteral("cR");
        // Compatibility ideographs and enclosed ideographs become the unified ideograph.
        QTest::newRow("compatibility") << QStringLiteral("\uF948\uF9F4") << QByteArray("\xb8\xef\xaa\x4c")
                                       << QStringLiteral("\u8CC2\u6797");
        QTest::newRow("enclosed") << QStringLiteral("㈱") << QByteArray("\xae\xe8") << QStringLiteral("株");
        // Without a best fit, '?' stays.
        QTest::newRow("none") << QStringLiteral("¬™\u200B") << QByteArray("???") << QStringLiteral("???");
        QTest::newRow("mixed") << QStringLiteral("中é")
                               << QByteArray("\xa4\xa4"
                                             "e")
                               << QStringLiteral("中e");
    }

    void cp950BestFit()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, readBack);
        bool ok = true;
        QCOMPARE(cp950::encode(text, &ok), bytes);
        QVERIFY(!ok); // the text does not survive the trip
        QCOMPARE(cp950::decode(bytes, &ok), readBack);
        QVERIFY(ok);
        // A best fit is no byte pair of the character's own.
        QVERIFY(cp950::encodeChar(0xE9).isEmpty());
        QVERIFY(cp950::encodeChar(0xA2).isEmpty());
    }

    // Every byte string the encoder writes is one that the decoder reads as a character: the character
    // itself, or for a best fit, its substitute.
    void cp950EveryCharacterReadsBack()
    {
        int exact = 0, bestFits = 0;
        for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
            if (QChar::isSurrogate(c))
                continue;
            const QString text{QChar(char16_t(c))};
            bool encoded = false;
            const QByteArray bytes = cp950::encode(text, &encoded);
            if (bytes == "?")
                continue;
            bool decoded = false;
            const QString back = cp950::decode(bytes, &decoded);
            QVERIFY2(decoded && back.size() == 1, qPrintable(QString::number(c, 16)));
            QCOMPARE(back == text, encoded);
            QCOMPARE(cp950::encodeChar(c) == bytes, encoded);
            ++(encoded ? exact : bestFits);
        }
        QVERIFY(exact > 19000);
        QVERIFY(bestFits > 400);
    }

    void cp950Errors()
    {
        bool ok = true;
        QCOMPARE(cp950::decode("\xa4\xa4\xa4", &ok), QString::fromUtf8("中\xef\xbf\xbd"));
        QVERIFY(!ok);
        ok = true;
        const QByteArray encoded = cp950::encode(QString::fromUtf8("a😀b"), &ok);
        QVERIFY(!ok);
        QCOMPARE(encoded, QByteArray("a?b"));
        QVERIFY(cp950::encodeChar(0x1F600).isEmpty());
        // The trail byte range includes ASCII letters: a lead byte takes the next byte whatever it is.
        QCOMPARE(cp950::decode("\xa4\x41"), QString(QChar(0x4E59)));
        // An error does not stick to the calls after it.
        QCOMPARE(cp950::encodeChar(0x7532), QByteArray("\xa5\xd2"));
        QCOMPARE(cp950::encode(u"甲", &ok), QByteArray("\xa5\xd2"));
        QVERIFY(ok);
        cp950::decode("\xa4", &ok);
        QCOMPARE(cp950::decode("\xa5\xd2", &ok), QString(QChar(0x7532)));
        QVERIFY(ok);
    }
};

QTEST_GUILESS_MAIN(TestPacket)
#include "tst_packet.moc"
