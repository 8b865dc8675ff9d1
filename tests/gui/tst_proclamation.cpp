#include "base/Cp950.h"
#include "engine/ConsoleValues.h"
#include "engine/Packet.h"
#include "engine/PacketTransport.h"
#include "messages/FaceMenu.h"
#include "messages/TForm_Proclamation.h"
#include "tests/support/CodePage.h"
#include "widgets/RichEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

namespace {

// Hands broadcasts over like the socket engine; a refusing network is reported the way the engine does,
// by a notice, never to the caller.
struct BroadcastRecorder final : PacketTransport
{
    QByteArrayList broadcasts;
    bool networkDown = false;
    int failureNotices = 0;

    int SendDirect(const QByteArray &, const QByteArray &) override { return -1; }
    void SendBroadcast(const QByteArray &packet) override
    {
        broadcasts.append(packet);
        if (networkDown)
            ++failureNotices;
    }
};

} // namespace

class TestProclamation final : public QObject
{
    Q_OBJECT

    ConsoleValues values;
    BroadcastRecorder transport;
    QByteArrayList activatedImes;
    ProclamationDeps deps;

    TForm_Proclamation *window() const { return Form_Proclamation.data(); }
    template <typename T> T *control(const char *name) const
    {
        T *child = window() ? window()->findChild<T *>(QLatin1String(name)) : nullptr;
        if (!child)
            qWarning("no control %s", name);
        return child;
    }
    RichEdit *editor() const { return control<RichEdit>("RxRichEdit_Content"); }
    QComboBox *senders() const { return control<QComboBox>("FlatComboBox_IP"); }
    QMessageBox *refusal() const { return window() ? window()->findChild<QMessageBox *>() : nullptr; }

    TForm_Proclamation *open()
    {
        TForm_Proclamation *composer = TForm_Proclamation::MenuItem_BSendClick(deps);
        if (!QTest::qWaitForWindowActive(composer))
            qWarning("composer not active");
        return composer;
    }
    void typeAscii(qsizetype count)
    {
        editor()->clear();
        editor()->insertPlainText(QString(count, QLatin1Char('x')));
    }
    // Pads the text until the editor saves exactly `bytes` of RTF.
    void fillToRtfSize(qsizetype bytes)
    {
        qsizetype count = 1;
        for (int attempt = 0; attempt < 5; ++attempt) {
            typeAscii(count);
            const qsizetype size = editor()->saveRtf().size();
            if (size == bytes)
                return;
            count += bytes - size;
        }
    }

private Q_SLOTS:
    void init()
    {
        values = ConsoleValues{};
        values.OwnAddress = "10.0.0.1";
        values.OwnNickname = big5("小明");
        values.ImeName = "ime-a";
        transport.broadcasts.clear();
        transport.networkDown = false;
        transport.failureNotices = 0;
        activatedImes.clear();
        deps = ProclamationDeps{};
        deps.values = &values;
        deps.transport = &transport;
        deps.currentImeName = [] { return QByteArray("ime-b"); };
        deps.activateIme = [this](const QByteArray &name) { activatedImes.append(name); };
    }
    void cleanup()
    {
        if (QMessageBox *box = refusal())
            box->close();
        if (window())
            window()->close();
        QVERIFY(!Form_Proclamation);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void opensReadyToWrite()
    {
        TForm_Proclamation *composer = open();
        QCOMPARE(composer->windowTitle(), QStringLiteral("Message"));
        QCOMPARE(composer->size(), QSize(226, 152));
        QCOMPARE(senders()->count(), 2);
        QCOMPARE(senders()->itemText(0), QStringLiteral("匿名"));
        QCOMPARE(senders()->itemText(1), QStringLiteral("小明"));
        QCOMPARE(senders()->currentIndex(), 1);
        QVERIFY(!senders()->isEditable());
        QVERIFY(!control<QCheckBox>("suiCheckBox_AlarmCall")->isChecked());
        QCOMPARE(control<QCheckBox>("suiCheckBox_AlarmCall")->text(), QStringLiteral("緊急通告"));
        QCOMPARE(control<QPushButton>("suiButton_Close")->text(), QStringLiteral("取消"));
        QCOMPARE(control<QPushButton>("suiButton_OK")->text(), QStringLiteral("發 送"));
        QCOMPARE(editor()->font().family(), QStringLiteral("細明體"));
        QCOMPARE(editor()->font().pointSize(), 10);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(editor()));
        // Entering the editor switches to the user's input method.
        QCOMPARE(activatedImes, QByteArrayList{"ime-a"});
        const QRect screen = composer->screen()->geometry();
        const QRect available = composer->screen()->availableGeometry();
        QCOMPARE(composer->pos(), QPoint(screen.right() + 1 - 226 - 5,
                                         screen.bottom() + 1 - 152 - (screen.bottom() - available.bottom())));
        // The sender list sits in the title bar, clear of the title buttons and wide enough for a name.
        QVERIFY(senders()->geometry().bottom() < editor()->geometry().top());
        QVERIFY(senders()->width() >= senders()->fontMetrics().horizontalAdvance(QStringLiteral("小明")) + 20);
        for (int i = TForm_Proclamation::Close; i <= TForm_Proclamation::Spare; ++i)
            QVERIFY(!senders()->geometry().intersects(composer->titleButton(i)->geometry()));
    }

    void sendsOnePacket_data()
    {
        QTest::addColumn<bool>("urgent");
        QTest::addColumn<bool>("anonymous");
        QTest::addColumn<QByteArray>("nickname");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("broadcast under the nickname")
            << false << false << big5("小明") << QStringLiteral("大家好") << QByteArray("4") << big5("小明");
        QTest::newRow("urgent bulletin") << true << false << big5("小明") << QStringLiteral("停電") << QByteArray("11")
                                         << big5("小明");
        QTest::newRow("anonymous broadcast")
            << false << true << big5("小明") << QStringLiteral("hello") << QByteArray("4") << big5("匿名");
        QTest::newRow("anonymous bulletin")
            << true << true << big5("小明") << QStringLiteral("fire") << QByteArray("11") << big5("匿名");
        QTest::newRow("only spaces") << false << false << big5("小明") << QStringLiteral("   ") << QByteArray("4")
                                     << big5("小明");
        // A nickname stored cut inside a double-byte character goes out as stored, not as the list shows it.
        QTest::newRow("nickname bytes kept")
            << false << false << QByteArray("ab\xa4") << QStringLiteral("x") << QByteArray("4") << QByteArray("ab\xa4");
    }
    void sendsOnePacket()
    {
        QFETCH(bool, urgent);
        QFETCH(bool, anonymous);
        QFETCH(QByteArray, nickname);
        QFETCH(QString, text);
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, name);
        values.OwnNickname = nickname;
        open();
        editor()->insertPlainText(text);
        if (urgent)
            QTest::mouseClick(control<QCheckBox>("suiCheckBox_AlarmCall"), Qt::LeftButton);
        if (anonymous)
            senders()->setCurrentIndex(0);
        const QByteArray rtf = editor()->saveRtf();
        QTest::mouseClick(control<QPushButton>("suiButton_OK"), Qt::LeftButton);

        QCOMPARE(transport.broadcasts.size(), 1);
        const QByteArray packet = transport.broadcasts.first();
        QVERIFY(packet.startsWith('\x08') && packet.endsWith('\x08'));
        QCOMPARE(packet.count('\x08'), 6);
        QCOMPARE(Packet::ExtractField(1, packet), command);
        QCOMPARE(Packet::ExtractField(2, packet), QByteArray("10.0.0.1"));
        QCOMPARE(Packet::ExtractField(3, packet), name);
        QVERIFY(QRegularExpression(QStringLiteral("^([01][0-9]|2[0-3]):[0-5][0-9]$"))
                    .match(QString::fromLatin1(Packet::ExtractField(4, packet)))
                    .hasMatch());
        QCOMPARE(Packet::ExtractField(5, packet), rtf);
        QVERIFY(!Form_Proclamation);
        QCOMPARE(values.ImeName, QByteArray("ime-b"));
    }

    void checksBeforeSending_data()
    {
        QTest::addColumn<qsizetype>("rtfBytes");
        QTest::addColumn<QString>("refusalText");
        QTest::newRow("empty") << qsizetype(0) << QStringLiteral("不能發送空信息!");
        QTest::newRow("25000 bytes of RTF") << qsizetype(25000) << QString();
        QTest::newRow("25001 bytes of RTF") << qsizetype(25001) << QStringLiteral("數據量過大，無法發送！！");
    }
    void checksBeforeSending()
    {
        QFETCH(qsizetype, rtfBytes);
        QFETCH(QString, refusalText);
        TForm_Proclamation *composer = open();
        if (rtfBytes > 0) {
            fillToRtfSize(rtfBytes);
            QCOMPARE(editor()->saveRtf().size(), rtfBytes);
        }
        QTest::mouseClick(control<QPushButton>("suiButton_OK"), Qt::LeftButton);
        if (refusalText.isEmpty()) {
            QCOMPARE(transport.broadcasts.size(), 1);
            QCOMPARE(Packet::ExtractField(5, transport.broadcasts.first()).size(), rtfBytes);
            QVERIFY(!Form_Proclamation);
            return;
        }
        QVERIFY(transport.broadcasts.isEmpty());
        QMessageBox *box = refusal();
        QVERIFY(box);
        QTRY_VERIFY(box->isVisible());
        QCOMPARE(box->parent(), composer);
        QCOMPARE(box->text(), refusalText);
        QCOMPARE(box->windowTitle(), QStringLiteral("發送信息"));
        QCOMPARE(box->buttons().size(), 1);
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        QTRY_VERIFY(!refusal());
        // The composer stays open with its text.
        QCOMPARE(Form_Proclamation.data(), composer);
        if (rtfBytes > 0)
            QCOMPARE(editor()->saveRtf().size(), rtfBytes);
        QVERIFY(composer->isVisible());
    }

    void enterNeverBreaksTheLine()
    {
        open();
        QTest::keyClicks(editor(), QStringLiteral("abc"));
        QTest::keyClick(editor(), Qt::Key_Return);
        QTest::keyClick(editor(), Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(editor(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(editor()->plainText(), QStringLiteral("abc"));
        QVERIFY(transport.broadcasts.isEmpty());
        QVERIFY(Form_Proclamation);

        QTest::keyClick(editor(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(transport.broadcasts.size(), 1);
        QVERIFY(Packet::ExtractField(5, transport.broadcasts.first()).contains("abc"));
        QVERIFY(!Form_Proclamation);
    }

    void ctrlEnterOnEmptyTextRefuses()
    {
        open();
        QTest::keyClick(editor(), Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(transport.broadcasts.isEmpty());
        QVERIFY(refusal());
        QCOMPARE(refusal()->text(), QStringLiteral("不能發送空信息!"));
        QVERIFY(Form_Proclamation);
    }

    void closesAfterSendingEvenWhenTheNetworkFails()
    {
        transport.networkDown = true;
        open();
        editor()->insertPlainText(QStringLiteral("test"));
        QTest::mouseClick(control<QPushButton>("suiButton_OK"), Qt::LeftButton);
        QCOMPARE(transport.broadcasts.size(), 1);
        QCOMPARE(transport.failureNotices, 1);
        QVERIFY(!Form_Proclamation);
    }

    void faceFromTheControlBoxTravelsInTheText()
    {
        TForm_Proclamation *composer = open();
        QTest::mouseClick(composer->titleButton(TForm_Proclamation::ControlBox), Qt::LeftButton);
        FaceMenu *menu = composer->faceMenu();
        QTRY_VERIFY(menu->isVisible());
        FaceMenuItem *face = menu->item(QStringLiteral("N01"));
        QTest::mouseClick(menu, Qt::LeftButton, {}, face->geometry().center());
        QVERIFY(!menu->isVisible());
        // A picture alone is not an empty text.
        QTest::mouseClick(control<QPushButton>("suiButton_OK"), Qt::LeftButton);
        QCOMPARE(transport.broadcasts.size(), 1);
        QVERIFY(Packet::ExtractField(5, transport.broadcasts.first()).contains("{\\pict"));
    }

    void secondOpeningOnlyRaises()
    {
        TForm_Proclamation *first = open();
        editor()->insertPlainText(QStringLiteral("draft"));
        senders()->setCurrentIndex(0);
        QTest::mouseClick(control<QCheckBox>("suiCheckBox_AlarmCall"), Qt::LeftButton);

        QCOMPARE(TForm_Proclamation::MenuItem_BSendClick(deps), first);
        QCOMPARE(editor()->plainText(), QStringLiteral("draft"));
        QCOMPARE(senders()->currentIndex(), 0);
        QVERIFY(control<QCheckBox>("suiCheckBox_AlarmCall")->isChecked());
        int composers = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            composers += qobject_cast<TForm_Proclamation *>(w) && w->isVisible();
        QCOMPARE(composers, 1);

        first->close();
        QVERIFY(!Form_Proclamation);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // A new composer starts afresh: the typed text was discarded.
        open();
        QVERIFY(editor()->plainText().isEmpty());
        QCOMPARE(senders()->currentIndex(), 1);
        QVERIFY(!control<QCheckBox>("suiCheckBox_AlarmCall")->isChecked());
    }

    void closingStoresTheInputMethod_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("取消") << QStringLiteral("button");
        QTest::newRow("title bar") << QStringLiteral("title");
    }
    void closingStoresTheInputMethod()
    {
        QFETCH(QString, how);
        TForm_Proclamation *composer = open();
        editor()->insertPlainText(QStringLiteral("not sent"));
        // The fourth title button does nothing.
        QTest::mouseClick(composer->titleButton(TForm_Proclamation::Spare), Qt::LeftButton);
        QVERIFY(Form_Proclamation);
        if (how == QLatin1String("button"))
            QTest::mouseClick(control<QPushButton>("suiButton_Close"), Qt::LeftButton);
        else
            QTest::mouseClick(composer->titleButton(TForm_Proclamation::Close), Qt::LeftButton);
        QVERIFY(!Form_Proclamation);
        QCOMPARE(values.ImeName, QByteArray("ime-b"));
        QVERIFY(transport.broadcasts.isEmpty());
    }

    void inputMethodOnlyOnEnteringTheEditor()
    {
        open();
        QCOMPARE(activatedImes.size(), 1);
        // A refusal box takes the focus away and gives it back: no new entry.
        QTest::keyClick(editor(), Qt::Key_Return, Qt::ControlModifier);
        QTRY_VERIFY(refusal() && refusal()->isActiveWindow());
        refusal()->close();
        // What the window manager does once the box is gone; the offscreen platform leaves it to us.
        window()->activateWindow();
        QTRY_VERIFY(window()->isActiveWindow());
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(editor()));
        QCOMPARE(activatedImes.size(), 1);
        // Leaving for another control and coming back is one.
        senders()->setFocus(Qt::TabFocusReason);
        editor()->setFocus(Qt::MouseFocusReason);
        QCOMPARE(activatedImes, (QByteArrayList{"ime-a", "ime-a"}));
    }
};

QTEST_MAIN(TestProclamation)
#include "tst_proclamation.moc"
