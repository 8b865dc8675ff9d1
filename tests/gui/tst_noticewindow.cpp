#include "base/Cp950.h"
#include "richtext/DocumentPictures.h"
#include "richtext/RtfPicture.h"
#include "richtext/RtfReader.h"
#include "shell/TForm_RebutInfo.h"
#include "tests/support/BigPictureRtf.h"
#include "tests/support/CodePage.h"
#include "widgets/FontSubstitutions.h"
#include "widgets/SkinnedFrame.h"
#include "widgets/WindowRegistry.h"

#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>

namespace {

const QString Separator = QStringLiteral("=============================");

// A notice as the program writes them: Big5 bytes as \'xx escapes in the 8-point frame.
QByteArray rtfNotice(const QString &text)
{
    QByteArray rtf = R"({\rtf1\ansi\ansicpg950\deff0\deflang1033\deflangfe1028{\fonttbl{\f0\fnil\fcharset136 )"
                     R"(MS Sans Serif;}}\viewkind4\uc1\pard\lang1028\f0\fs16)";
    if (!text.isEmpty() && text.front().unicode() < 0x80)
        rtf += ' ';
    // Both bytes of a double-byte character as escapes: a trail byte may be a brace or a backslash.
    const QByteArray bytes = cp950::encode(text);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b > 0x7F) {
            rtf += "\\'" + QByteArray::number(b, 16) + "\\'" +
                   QByteArray::number(static_cast<unsigned char>(bytes[i + 1]), 16).rightJustified(2, '0');
            ++i;
        } else {
            rtf += bytes[i];
        }
    }
    return rtf + "\\par}";
}

// The area's text, one entry a paragraph, without the empty paragraph a document may end with.
QStringList lines(const TForm_RebutInfo *window)
{
    QStringList result = window->suiMemo_Info->toPlainText().split(QLatin1Char('\n'));
    while (!result.isEmpty() && result.back().isEmpty())
        result.removeLast();
    return result;
}

QPoint expectedPlace(const QWidget *window)
{
    const QScreen *screen = window->screen();
    const QRect whole = screen->geometry();
    const int panel = whole.bottom() - screen->availableGeometry().bottom();
    return QPoint(whole.right() + 1 - window->width() - 5, whole.bottom() + 1 - window->height() - panel);
}

// The pictures of the area, top to bottom.
QList<QTextImageFormat> picturesOf(const QTextDocument &document)
{
    QList<QTextImageFormat> pictures;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isImageFormat())
                pictures.append(it.fragment().charFormat().toImageFormat());
        }
    }
    return pictures;
}

bool rtfReaderRenders()
{
    QTextDocument document;
    QTextCursor cursor(&document);
    RtfReader::insertText(cursor, "{\\rtf1 x\\par}");
    return document.toPlainText().trimmed() == QLatin1String("x");
}

} // namespace

// Separators and formatted notices only render once the RTF reader is in.
#define NEED_RTF_READER()                                                                                              \
    if (!rtfReaderRenders())                                                                                           \
    QSKIP("the RTF reader is not built in yet")

class TestNoticeWindow : public QObject
{
    Q_OBJECT

    WindowRegistry windows;

private Q_SLOTS:
    void cleanup()
    {
        if (TForm_RebutInfo *window = windows.find<TForm_RebutInfo>())
            window->close();
        QTRY_VERIFY(!windows.find<TForm_RebutInfo>());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void firstNoticeOpensTheWindowAboveThePanel()
    {
        QVERIFY(!windows.find<TForm_RebutInfo>());
        TForm_RebutInfo::ShowNotice(windows, big5(QStringLiteral("清空聊天記錄已完成!")), "EMPTY MESSAGE");
        TForm_RebutInfo *window = windows.find<TForm_RebutInfo>();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->size(), QSize(226, 152));
        QCOMPARE(window->pos(), expectedPlace(window));
        QCOMPARE(window->suiForm1->caption(), QStringLiteral("EMPTY MESSAGE"));
        QCOMPARE(lines(window), QStringList{QStringLiteral("清空聊天記錄已完成!")});
        QCOMPARE(window->suiMemo_Info->textCursor().position(), 0);
    }

    void windowAsDrawn()
    {
        TForm_RebutInfo::ShowNotice(windows, "x", "c");
        TForm_RebutInfo *window = windows.find<TForm_RebutInfo>();
        QCOMPARE(window->windowTitle(), QStringLiteral("信息"));
        QVERIFY(window->windowFlags().testFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint));
        QCOMPARE(window->minimumSize(), QSize(130, 50));
        QCOMPARE(window->maximumSize(), QSize(1024, 740));
        QCOMPARE(window->suiForm1->geometry(), QRect(0, 0, 226, 152));
        QCOMPARE(window->suiForm1->borderColor(), QColor(127, 127, 127));
        QCOMPARE(window->suiForm1->borderWidth(), 1);
        QCOMPARE(window->suiForm1->bodyColor(), QColor(231, 231, 231));
        QVERIFY(!window->suiForm1->isIconVisible());
        QCOMPARE(window->suiForm1->titleButtonCount(), 4);
        QCOMPARE(window->suiForm1->titleButton(3)->kind(), TitleButtonKind::Minimize);
        QCOMPARE(window->suiMemo_Info->geometry(), QRect(4, 27, 209, 66));
        QVERIFY(!window->suiMemo_Info->isReadOnly());
        QCOMPARE(window->suiMemo_Info->font().pointSize(), 8);
        QCOMPARE(window->suiButton_OK->geometry(), QRect(63, 97, 90, 23));
        QCOMPARE(window->suiButton_OK->text(), QStringLiteral("確 定"));
        QCOMPARE(window->suiButton_OK->font().family(), QStringLiteral("細明體"));

        // The button follows the left, right and bottom edges; the area grows with the window.
        window->resize(326, 252);
        QCOMPARE(window->suiForm1->geometry(), QRect(0, 0, 326, 252));
        QCOMPARE(window->suiButton_OK->geometry(), QRect(63, 197, 190, 23));
        QCOMPARE(window->suiMemo_Info->geometry(), QRect(4, 27, 309, 166));
        QCOMPARE(window->findChild<QPushButton *>(QStringLiteral("suiButton_OK")), window->suiButton_OK);
        QCOMPARE(window->findChild<QTextEdit *>(QStringLiteral("suiMemo_Info")), window->suiMemo_Info);
    }

    void noticesStackNewestFirst_data()
    {
        QTest::addColumn<bool>("rtf");
        QTest::newRow("rtf notices") << true;
        QTest::newRow("plain notices") << false;
    }
    void noticesStackNewestFirst()
    {
        QFETCH(bool, rtf);
        NEED_RTF_READER();
        const QStringList texts{QStringLiteral("遠程主機已關閉!"), QStringLiteral("密碼錯誤!"),
                                QStringLiteral("發送方套按字綁定失敗!")};
        for (int i = 0; i < texts.size(); ++i) {
            const QByteArray text = rtf ? rtfNotice(texts[i]) : big5(texts[i]);
            TForm_RebutInfo::ShowNotice(windows, text, big5(QStringLiteral("通知%1").arg(i)));
        }
        TForm_RebutInfo *window = windows.find<TForm_RebutInfo>();
        QCOMPARE(lines(window), (QStringList{texts[2], Separator, texts[1], Separator, texts[0]}));
        QCOMPARE(window->suiForm1->caption(), QStringLiteral("通知2"));
        QCOMPARE(window->suiMemo_Info->textCursor().position(), 0);
    }

    void separatorFitsOnOneLine()
    {
        NEED_RTF_READER();
        FontSubstitutions::install();
        // Three notices, so that the scroll bar takes its share of the width.
        for (const char *text : {"one", "two", "three"})
            TForm_RebutInfo::ShowNotice(windows, rtfNotice(QString::fromLatin1(text)), "a");
        TForm_RebutInfo *window = windows.find<TForm_RebutInfo>();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTRY_VERIFY(window->suiMemo_Info->verticalScrollBar()->isVisible());
        for (int number : {1, 3}) {
            const QTextBlock separator = window->suiMemo_Info->document()->findBlockByNumber(number);
            QCOMPARE(separator.text(), Separator);
            QCOMPARE(separator.layout()->lineCount(), 1);
        }
    }

    void plainNoticeKeepsTheDefaultFont()
    {
        NEED_RTF_READER();
        TForm_RebutInfo::ShowNotice(windows, R"({\rtf1\ansi{\fonttbl{\f0 Courier;}}\f0\fs40\b big\par})", "a");
        TForm_RebutInfo::ShowNotice(windows, "plain {\\b not bold}", "b");
        TForm_RebutInfo *window = windows.find<TForm_RebutInfo>();
        QCOMPARE(lines(window),
                 (QStringList{QStringLiteral("plain {\\b not bold}"), Separator, QStringLiteral("big")}));
        QTextCursor cursor(window->suiMemo_Info->document());
        cursor.setPosition(1);
        const QFont font = cursor.charFormat().font().resolve(window->suiMemo_Info->document()->defaultFont());
        QVERIFY(!font.bold());
        QCOMPARE(font.pointSize(), 8);
    }

    void laterNoticeLeavesTheWindowWhereItIs()
    {
        TForm_RebutInfo::ShowNotice(windows, "first", "a");
        TForm_RebutInfo *window = windows.find<TForm_RebutInfo>();
        const QRect moved(expectedPlace(window) - QPoint(200, 150), QSize(300, 200));
        window->setGeometry(moved);
        TForm_RebutInfo::ShowNotice(windows, "second", "b");
        QCOMPARE(windows.find<TForm_RebutInfo>(), window);
        QCOMPARE(window->geometry(), moved);
        QVERIFY(window->isVisible());
    }

    void closingDiscardsTheNotices_data()
    {
        QTest::addColumn<bool>("titleBarClose");
        QTest::newRow("確 定") << false;
        QTest::newRow("title bar close") << true;
    }
    void closingDiscardsTheNotices()
    {
        QFETCH(bool, titleBarClose);
        TForm_RebutInfo::ShowNotice(windows, "old one", "a");
        QPointer<TForm_RebutInfo> old = windows.find<TForm_RebutInfo>();
        old->setGeometry(QRect(old->pos() - QPoint(300, 200), QSize(400, 300)));
        if (titleBarClose)
            QTest::mouseClick(old->suiForm1->titleButton(SkinnedFrame::CloseButton), Qt::LeftButton);
        else
            QTest::mouseClick(old->suiButton_OK, Qt::LeftButton);
        QVERIFY(!windows.find<TForm_RebutInfo>());

        // Before the closed window is gone: the notice must still open a window of its own.
        TForm_RebutInfo::ShowNotice(windows, "new one", "b");
        TForm_RebutInfo *fresh = windows.find<TForm_RebutInfo>();
        QVERIFY(fresh);
        QVERIFY(fresh != old);
        QCOMPARE(lines(fresh), QStringList{QStringLiteral("new one")});
        QCOMPARE(fresh->size(), QSize(226, 152));
        QCOMPARE(fresh->pos(), expectedPlace(fresh));
        QTRY_VERIFY(!old);
    }

    void minimiseAndMaximiseKeepTheNotices()
    {
        TForm_RebutInfo::ShowNotice(windows, "first", "a");
        TForm_RebutInfo *window = windows.find<TForm_RebutInfo>();
        const QString text = window->suiMemo_Info->toPlainText();
        QTest::mouseClick(window->suiForm1->titleButton(3), Qt::LeftButton);
        QVERIFY(window->suiForm1->isRolledUp());
        QCOMPARE(windows.find<TForm_RebutInfo>(), window);
        QCOMPARE(window->suiMemo_Info->toPlainText(), text);
        QTest::mouseClick(window->suiForm1->titleButton(SkinnedFrame::MaximizeButton), Qt::LeftButton);
        QVERIFY(window->suiForm1->isZoomed());
        QCOMPARE(windows.find<TForm_RebutInfo>(), window);
        QCOMPARE(window->suiMemo_Info->toPlainText(), text);
        QVERIFY(window->suiMemo_Info->isVisible());
    }

    void receivedNoticeGoesWhereTheCaretStands()
    {
        NEED_RTF_READER();
        TForm_RebutInfo::ShowReceivedNotice(windows, rtfNotice(QStringLiteral("one")),
                                            big5(QStringLiteral("遠程主機信息")));
        TForm_RebutInfo *window = windows.find<TForm_RebutInfo>();
        QVERIFY(window);
        QCOMPARE(window->pos(), expectedPlace(window));
        TForm_RebutInfo::ShowReceivedNotice(windows, rtfNotice(QStringLiteral("two")), "x");
        QCOMPARE(lines(window), (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
        TForm_RebutInfo::ShowNotice(windows, rtfNotice(QStringLiteral("three")), "y");
        TForm_RebutInfo::ShowReceivedNotice(windows, rtfNotice(QStringLiteral("four")), "z");
        QCOMPARE(lines(window), (QStringList{QStringLiteral("four"), QStringLiteral("three"), Separator,
                                             QStringLiteral("one"), QStringLiteral("two")}));
        QCOMPARE(window->suiForm1->caption(), QStringLiteral("z"));
    }

    void aFloodKeepsTheNewestNotices()
    {
        NEED_RTF_READER();
        constexpr int Kept = TForm_RebutInfo::MaxNotices;
        const int shown = Kept + 40;
        for (int i = 1; i <= shown; ++i)
            TForm_RebutInfo::ShowNotice(windows, rtfNotice(QStringLiteral("第%1則").arg(i)), "x");
        TForm_RebutInfo *window = windows.find<TForm_RebutInfo>();
        QCOMPARE(window->noticeCount(), Kept);
        const QStringList text = lines(window);
        QCOMPARE(text.size(), 2 * Kept - 1);
        QCOMPARE(text.count(Separator), Kept - 1);
        QCOMPARE(text.first(), QStringLiteral("第%1則").arg(shown));
        // The oldest notice kept ends the area as the first one did: no separator and no empty line below it.
        QVERIFY(window->suiMemo_Info->toPlainText().endsWith(QStringLiteral("\n第41則")));
        QCOMPARE(window->suiMemo_Info->textCursor().position(), 0);
    }

    void aFloodOfReceivedNoticesDropsTheEarliest()
    {
        NEED_RTF_READER();
        constexpr int Kept = TForm_RebutInfo::MaxNotices;
        TForm_RebutInfo::ShowNotice(windows, rtfNotice(QStringLiteral("local")), "x");
        for (int i = 1; i <= Kept; ++i)
            TForm_RebutInfo::ShowReceivedNotice(windows, rtfNotice(QStringLiteral("r%1").arg(i)), "y");
        TForm_RebutInfo *window = windows.find<TForm_RebutInfo>();
        QCOMPARE(window->noticeCount(), Kept);
        const QStringList text = lines(window);
        // Received notices pile up where the caret stands, oldest first: the local one went first, then r1.
        QCOMPARE(text.size(), Kept);
        QCOMPARE(text.first(), QStringLiteral("r1"));
        QCOMPARE(text.last(), QStringLiteral("r%1").arg(Kept));
        TForm_RebutInfo::ShowReceivedNotice(windows, rtfNotice(QStringLiteral("newest")), "y");
        QCOMPARE(lines(window).first(), QStringLiteral("r2"));
        QCOMPARE(lines(window).last(), QStringLiteral("newest"));
    }

    void largeNoticesAreDroppedByTheirSize_data()
    {
        QTest::addColumn<QByteArray>("notice");
        QTest::newRow("long lines") << QByteArray("words ").repeated(50'000);
        QTest::newRow("unbroken runs") << QByteArray(300'000, 'w');
        QByteArray paragraphs;
        for (int i = 0; i < 1500; ++i)
            paragraphs += "line\r\n";
        QTest::newRow("many paragraphs") << paragraphs;
    }
    void largeNoticesAreDroppedByTheirSize()
    {
        QFETCH(QByteArray, notice);
        for (int i = 0; i < 15; ++i)
            TForm_RebutInfo::ShowNotice(windows, notice, "x");
        TForm_RebutInfo *window = windows.find<TForm_RebutInfo>();
        const QTextDocument *document = window->suiMemo_Info->document();
        QVERIFY(document->characterCount() <= TForm_RebutInfo::MaxCharacters);
        QVERIFY(document->blockCount() <= TForm_RebutInfo::MaxParagraphs);
        QVERIFY(window->noticeCount() < 15);
        QVERIFY(window->noticeCount() > 1);

        // The newest notice stays whatever its size.
        const QByteArray huge = QByteArray("h\r\n").repeated(TForm_RebutInfo::MaxParagraphs + 10);
        TForm_RebutInfo::ShowNotice(windows, huge, "x");
        QCOMPARE(window->noticeCount(), 1);
        QCOMPARE(lines(window), QStringList(TForm_RebutInfo::MaxParagraphs + 10, QStringLiteral("h")));
    }

    void picturesShareOneBudget()
    {
        // Four pictures of 2048 × 2048 fill the window's pixels; the fifth waits as a placeholder.
        const QByteArray picture = bigPictureRtf(2048);
        for (int i = 0; i < 5; ++i)
            TForm_RebutInfo::ShowNotice(windows, picture, "x");
        TForm_RebutInfo *window = windows.find<TForm_RebutInfo>();
        const QTextDocument *document = window->suiMemo_Info->document();
        QList<QTextImageFormat> pictures = picturesOf(*document);
        QCOMPARE(pictures.size(), 5);
        QCOMPARE(DocumentPictures::imageOf(*document, pictures[0]), RtfPicture::placeholder());
        QCOMPARE(QSizeF(pictures[0].width(), pictures[0].height()), QSizeF(2048, 2048));
        for (int i = 1; i < 5; ++i)
            QCOMPARE(DocumentPictures::imageOf(*document, pictures[i]).size(), QSize(2048, 2048));
        QCOMPARE(window->pictureBudget().spent(), TForm_RebutInfo::PicturePixels);

        // Notices that leave the window take their pictures' pixels with them.
        const QTextImageFormat oldest = pictures[4];
        for (int i = 0; i < TForm_RebutInfo::MaxNotices; ++i)
            TForm_RebutInfo::ShowNotice(windows, "text", "x");
        QVERIFY(picturesOf(*document).isEmpty());
        QCOMPARE(window->pictureBudget().spent(), 0);
        QVERIFY(DocumentPictures::imageOf(*document, oldest).isNull());
        TForm_RebutInfo::ShowReceivedNotice(windows, picture, "y");
        pictures = picturesOf(*document);
        QCOMPARE(pictures.size(), 1);
        QCOMPARE(DocumentPictures::imageOf(*document, pictures[0]).size(), QSize(2048, 2048));
    }

    void hostileNoticesAreShownSomehow_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("caption");
        QTest::newRow("cut-off lead byte") << QByteArray("\xb1") << QByteArray("\xb1");
        QTest::newRow("unbalanced rtf") << QByteArray("{\\rtf1{{{{{\\b") << QByteArray();
        QTest::newRow("nul bytes") << QByteArray("a\0b", 3) << QByteArray("c\0d", 3);
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }
    void hostileNoticesAreShownSomehow()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, caption);
        TForm_RebutInfo::ShowNotice(windows, text, caption);
        TForm_RebutInfo::ShowNotice(windows, text, caption);
        TForm_RebutInfo *window = windows.find<TForm_RebutInfo>();
        QVERIFY(window);
        QCOMPARE(window->suiForm1->caption(), cp950::decode(caption));
        QVERIFY(window->suiMemo_Info->toPlainText().contains(Separator));
    }
};

QTEST_MAIN(TestNoticeWindow)
#include "tst_noticewindow.moc"
