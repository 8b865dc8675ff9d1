#include "base/Cp950.h"
#include "messages/PictureEmbedding.h"
#include "richtext/DocumentPictures.h"
#include "richtext/RtfWriter.h"
#include "widgets/LinkHighlighter.h"
#include "widgets/RichEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

namespace {

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

// The centre of the character at a document position, in viewport coordinates.
QPoint pointOf(const RichEdit &editor, int position)
{
    QTextCursor cursor(editor.document());
    cursor.setPosition(position);
    const QRect before = editor.cursorRect(cursor);
    cursor.setPosition(position + 1);
    const QRect after = editor.cursorRect(cursor);
    return QPoint((before.left() + after.left()) / 2, before.center().y());
}

void select(RichEdit &editor, int from, int length)
{
    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(from);
    cursor.setPosition(from + length, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
}

} // namespace

class TestRichEdit final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void insertTextReplacesSelection_data();
    void insertTextReplacesSelection();
    void insertGraphicLeavesCaretAfterPicture_data();
    void insertGraphicLeavesCaretAfterPicture();
    void readOnlyRefusesEditing();
    void findsWebAddresses_data();
    void findsWebAddresses();
    void linkSafety_data();
    void linkSafety();
    void showsDetectedLinks();
    void detectionLeavesSavedRtfAlone();
    void clickOnLinkReportsIt_data();
    void clickOnLinkReportsIt();
    void clickOnAnchorReportsItsText();
    void pointerBecomesHandOverLink();
    void pastesPicturesAndSimplifiedRichText();
    void loadsBig5AndPictureFromRtf();
    void copiesPicturesAsRtf();
    void readsLongTextsInTheBackground();
    void dividesLongParagraphs_data();
    void dividesLongParagraphs();
};

void TestRichEdit::insertTextReplacesSelection_data()
{
    QTest::addColumn<QByteArray>("initial");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("inserted");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain at caret keeps both sides")
        << QByteArray("abcd") << 2 << 0 << QByteArray("XY") << QStringLiteral("abXYcd");
    QTest::newRow("plain replaces selection")
        << QByteArray("abcd") << 1 << 2 << QByteArray("X") << QStringLiteral("aXd");
    QTest::newRow("Big5 bytes") << QByteArray("ab") << 1 << 0 << QByteArray("\xa4\xa4\xa4\xe5")
                                << QString::fromUtf8("a中文b");
    QTest::newRow("RTF at caret keeps the rest of the line")
        << QByteArray("abcd") << 2 << 0 << QByteArray("{\\rtf1\\ansi\\ansicpg950 \\'a6\\'6e}")
        << QString::fromUtf8("ab好cd");
    QTest::newRow("RTF replaces selection")
        << QByteArray("abcd") << 0 << 4 << QByteArray("{\\rtf1\\ansi hello}") << QStringLiteral("hello");
    QTest::newRow("text that only looks like RTF later stays text")
        << QByteArray("") << 0 << 0 << QByteArray(" {\\rtf1 x}") << QStringLiteral(" {\\rtf1 x}");
}

void TestRichEdit::insertTextReplacesSelection()
{
    QFETCH(QByteArray, initial);
    QFETCH(int, from);
    QFETCH(int, length);
    QFETCH(QByteArray, inserted);
    QFETCH(QString, expected);

    RichEdit editor;
    editor.insertText(initial);
    select(editor, from, length);
    editor.insertText(inserted);
    QCOMPARE(editor.plainText(), expected);
    QVERIFY(!editor.textCursor().hasSelection());
}

void TestRichEdit::insertGraphicLeavesCaretAfterPicture_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("textAround");

    QTest::newRow("in the middle") << 2 << 0 << QStringLiteral("abcd");
    QTest::newRow("at the start") << 0 << 0 << QStringLiteral("abcd");
    QTest::newRow("at the end") << 4 << 0 << QStringLiteral("abcd");
    QTest::newRow("over a selection") << 1 << 2 << QStringLiteral("ad");
}

void TestRichEdit::insertGraphicLeavesCaretAfterPicture()
{
    QFETCH(int, from);
    QFETCH(int, length);
    QFETCH(QString, textAround);

    RichEdit editor;
    editor.insertText("abcd");
    select(editor, from, length);
    QImage bitmap(20, 20, QImage::Format_RGB32);
    bitmap.fill(QColor(10, 200, 30));
    InsertGraphic(bitmap, editor);

    const QList<QTextImageFormat> pictures = picturesOf(*editor.document());
    QCOMPARE(pictures.size(), 1);
    QCOMPARE(QSizeF(pictures[0].width(), pictures[0].height()), QSizeF(20, 20));
    QCOMPARE(DocumentPictures::imageOf(*editor.document(), pictures[0]).pixelColor(5, 5), QColor(10, 200, 30));
    QVERIFY(!editor.textCursor().hasSelection());
    QCOMPARE(editor.textCursor().position(), from + 1);
    QCOMPARE(editor.document()->characterAt(from), QChar::ObjectReplacementCharacter);
    QString text = editor.document()->toPlainText();
    QCOMPARE(text.remove(QChar::ObjectReplacementCharacter), textAround);
}

void TestRichEdit::readOnlyRefusesEditing()
{
    RichEdit editor;
    editor.insertText("abc");
    editor.setReadOnly(true);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));

    QTest::keyClicks(editor.viewport(), QStringLiteral("xyz"));
    auto *mime = new QMimeData;
    mime->setText(QStringLiteral("pasted"));
    QGuiApplication::clipboard()->setMimeData(mime);
    editor.paste();
    QCOMPARE(editor.plainText(), QStringLiteral("abc"));
}

void TestRichEdit::findsWebAddresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QStringList>("urls");

    QTest::newRow("none") << QStringLiteral("no address here, just www and http") << QStringList() << QStringList();
    QTest::newRow("http with query") << QStringLiteral("see http://example.com/a?b=1&c=2 now")
                                     << QStringList{QStringLiteral("http://example.com/a?b=1&c=2")}
                                     << QStringList{QStringLiteral("http://example.com/a?b=1&c=2")};
    QTest::newRow("ends at CJK text") << QString::fromUtf8("請看https://例.tw/x 和 https://a.tw/路徑")
                                      << QStringList{QStringLiteral("https://a.tw/")}
                                      << QStringList{QStringLiteral("https://a.tw/")};
    QTest::newRow("ends at full stop") << QString::fromUtf8("請看https://a.tw/b。謝謝")
                                       << QStringList{QStringLiteral("https://a.tw/b")}
                                       << QStringList{QStringLiteral("https://a.tw/b")};
    QTest::newRow("www gets the web scheme")
        << QStringLiteral("(www.example.org), ok") << QStringList{QStringLiteral("www.example.org")}
        << QStringList{QStringLiteral("http://www.example.org")};
    QTest::newRow("ftp and mailto, any case")
        << QStringLiteral("FTP://files.lan/pub. MailTo:someone@example.com!")
        << QStringList{QStringLiteral("FTP://files.lan/pub"), QStringLiteral("MailTo:someone@example.com")}
        << QStringList{QStringLiteral("ftp://files.lan/pub"), QStringLiteral("mailto:someone@example.com")};
    QTest::newRow("scheme alone or inside a word")
        << QStringLiteral("http:// www. xhttp://a.b mailto:") << QStringList() << QStringList();
    QTest::newRow("picture ends it") << QStringLiteral("http://a.b/c") + QChar::ObjectReplacementCharacter + u'd'
                                     << QStringList{QStringLiteral("http://a.b/c")}
                                     << QStringList{QStringLiteral("http://a.b/c")};
}

void TestRichEdit::findsWebAddresses()
{
    QFETCH(QString, text);
    QFETCH(QStringList, addresses);
    QFETCH(QStringList, urls);

    QStringList foundAddresses;
    QStringList foundUrls;
    for (const WebAddress::Span &span : WebAddress::find(text)) {
        foundAddresses.append(text.mid(span.start, span.length));
        foundUrls.append(span.url.toString());
    }
    QCOMPARE(foundAddresses, addresses);
    QCOMPARE(foundUrls, urls);
}

void TestRichEdit::linkSafety_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("mayOpen");
    QTest::addColumn<bool>("textIsTarget");

    QTest::newRow("web") << QStringLiteral("http://example.com/a") << QStringLiteral("http://example.com/a") << true
                         << true;
    QTest::newRow("secure, trailing slash")
        << QStringLiteral(" https://Example.com ") << QStringLiteral("https://example.com/") << true << true;
    QTest::newRow("www") << QStringLiteral("www.example.org") << QStringLiteral("http://www.example.org") << true
                         << true;
    QTest::newRow("mail") << QStringLiteral("mailto:a@example.com") << QStringLiteral("mailto:a@example.com") << true
                          << true;
    QTest::newRow("bare mail address") << QStringLiteral("a@example.com") << QStringLiteral("mailto:a@example.com")
                                       << true << true;
    QTest::newRow("other host") << QStringLiteral("http://bank.example/") << QStringLiteral("http://evil.example/")
                                << true << false;
    QTest::newRow("words") << QStringLiteral("click here") << QStringLiteral("https://example.com/") << true << false;
    QTest::newRow("address and more") << QStringLiteral("http://a.example/ and more")
                                      << QStringLiteral("http://a.example/") << true << false;
    QTest::newRow("file") << QStringLiteral("file:///etc/passwd") << QStringLiteral("file:///etc/passwd") << false
                          << false;
    QTest::newRow("share") << QStringLiteral("report") << QStringLiteral("smb://server/share/run.exe") << false
                           << false;
    QTest::newRow("web without host") << QStringLiteral("x") << QStringLiteral("http:/etc/passwd") << false << false;
    QTest::newRow("mail without address") << QStringLiteral("x") << QStringLiteral("mailto:") << false << false;
}

void TestRichEdit::linkSafety()
{
    QFETCH(QString, text);
    QFETCH(QString, target);
    QFETCH(bool, mayOpen);
    QFETCH(bool, textIsTarget);
    const QUrl url(target, QUrl::TolerantMode);
    QCOMPARE(WebAddress::mayOpen(url), mayOpen);
    QCOMPARE(WebAddress::textIsTarget(text, url), textIsTarget);
}

void TestRichEdit::showsDetectedLinks()
{
    RichEdit editor;
    editor.loadRtf("{\\rtf1\\ansi\\ansicpg950 go http://example.com/x now}");
    const QTextBlock block = editor.document()->firstBlock();
    const int start = int(block.text().indexOf(QLatin1String("http")));
    QVERIFY(start > 0);
    QTRY_VERIFY(!block.layout()->formats().isEmpty());
    const QList<QTextLayout::FormatRange> formats = block.layout()->formats();
    QCOMPARE(formats.size(), 1);
    QCOMPARE(formats[0].start, start);
    QCOMPARE(formats[0].length, int(QStringLiteral("http://example.com/x").size()));
    QVERIFY(formats[0].format.fontUnderline());
    QCOMPARE(formats[0].format.foreground().color(), QColor(Qt::blue));

    // Typing a new address marks it as well.
    QTextCursor cursor = editor.textCursor();
    cursor.movePosition(QTextCursor::End);
    editor.setTextCursor(cursor);
    editor.insertText(" www.a.tw");
    QTRY_COMPARE(editor.document()->firstBlock().layout()->formats().size(), 2);
}

void TestRichEdit::detectionLeavesSavedRtfAlone()
{
    RichEdit editor;
    editor.insertText("mail mailto:a@b.tw or visit http://example.com");
    QTRY_VERIFY(!editor.document()->firstBlock().layout()->formats().isEmpty());
    // A copy of the document carries its formats but not the highlighting.
    std::unique_ptr<QTextDocument> copy(editor.document()->clone());
    QCOMPARE(editor.saveRtf(), RtfWriter::write(*copy));
    for (QTextBlock block = editor.document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            QVERIFY(!it.fragment().charFormat().isAnchor());
            QVERIFY(!it.fragment().charFormat().fontUnderline());
        }
    }
}

void TestRichEdit::clickOnLinkReportsIt_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("editable") << false;
    QTest::newRow("read-only") << true;
}

void TestRichEdit::clickOnLinkReportsIt()
{
    QFETCH(bool, readOnly);

    RichEdit editor;
    editor.resize(400, 200);
    editor.insertText("plain words then http://example.com/page and more words");
    editor.setReadOnly(readOnly);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QSignalSpy clicked(&editor, &RichEdit::linkClicked);

    const int link = int(editor.document()->toPlainText().indexOf(QLatin1String("http")));
    QTest::mouseClick(editor.viewport(), Qt::LeftButton, {}, pointOf(editor, 2));
    QTest::mouseClick(editor.viewport(), Qt::LeftButton, {}, pointOf(editor, link + 30));
    QCOMPARE(clicked.size(), 0);

    QTest::mouseClick(editor.viewport(), Qt::LeftButton, {}, pointOf(editor, link + 5));
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(clicked[0][0].toUrl(), QUrl(QStringLiteral("http://example.com/page")));
    QCOMPARE(clicked[0][1].toString(), QStringLiteral("http://example.com/page"));

    // A drag across the link selects text and is no click.
    QTest::mousePress(editor.viewport(), Qt::LeftButton, {}, pointOf(editor, link + 2));
    QTest::mouseMove(editor.viewport(), pointOf(editor, link + 12));
    QTest::mouseRelease(editor.viewport(), Qt::LeftButton, {}, pointOf(editor, link + 12));
    QCOMPARE(clicked.size(), 1);
}

// An anchor's text is what the writer chose; formatting may split it.
void TestRichEdit::clickOnAnchorReportsItsText()
{
    RichEdit editor;
    editor.resize(400, 200);
    editor.loadRtf("{\\rtf1\\ansi before {\\field{\\*\\fldinst{HYPERLINK \"http://evil.example/x\"}}"
                   "{\\fldrslt{http://bank.{\\b example}/}}} after "
                   "{\\field{\\*\\fldinst{HYPERLINK \"file:///etc/passwd\"}}{\\fldrslt{notes}}}\\par}");
    editor.setReadOnly(true);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QSignalSpy clicked(&editor, &RichEdit::linkClicked);
    const QString plain = editor.document()->toPlainText();

    QTest::mouseClick(editor.viewport(), Qt::LeftButton, {}, pointOf(editor, int(plain.indexOf(u'b', 8)) + 1));
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(clicked[0][0].toUrl(), QUrl(QStringLiteral("http://evil.example/x")));
    QCOMPARE(clicked[0][1].toString(), QStringLiteral("http://bank.example/"));

    QTest::mouseClick(editor.viewport(), Qt::LeftButton, {},
                      pointOf(editor, int(plain.indexOf(QLatin1String("notes"))) + 2));
    QCOMPARE(clicked.size(), 2);
    QCOMPARE(clicked[1][0].toUrl(), QUrl(QStringLiteral("file:///etc/passwd")));
    QCOMPARE(clicked[1][1].toString(), QStringLiteral("notes"));
}

void TestRichEdit::pointerBecomesHandOverLink()
{
    RichEdit editor;
    editor.resize(400, 200);
    editor.insertText("see http://example.com here");
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));

    QTest::mouseMove(editor.viewport(), pointOf(editor, 8));
    QTRY_COMPARE(editor.viewport()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(editor.viewport(), pointOf(editor, 1));
    QTRY_COMPARE(editor.viewport()->cursor().shape(), Qt::IBeamCursor);
}

void TestRichEdit::pastesPicturesAndSimplifiedRichText()
{
    RichEdit editor;
    editor.insertText("ab");
    select(editor, 1, 0);

    QImage picture(7, 5, QImage::Format_RGB32);
    picture.fill(Qt::red);
    auto *image = new QMimeData;
    image->setImageData(picture);
    // Browsers send the picture's <img> along; the picture wins.
    image->setHtml(QStringLiteral("<img src=\"http://example.com/p.png\">"));
    QGuiApplication::clipboard()->setMimeData(image);
    editor.paste();
    QList<QTextImageFormat> pictures = picturesOf(*editor.document());
    QCOMPARE(pictures.size(), 1);
    QCOMPARE(DocumentPictures::imageOf(*editor.document(), pictures[0]).size(), QSize(7, 5));
    QCOMPARE(editor.textCursor().position(), 2);

    // Picture files dropped or pasted from a file manager.
    auto *files = new QMimeData;
    const QString data = qEnvironmentVariable("PARLUNE_SOURCE_DIR") + QStringLiteral("/tests/gui/data/");
    files->setUrls({QUrl::fromLocalFile(data + QStringLiteral("picture.jpg")),
                    QUrl::fromLocalFile(data + QStringLiteral("broken.bmp"))});
    QGuiApplication::clipboard()->setMimeData(files);
    editor.paste();
    pictures = picturesOf(*editor.document());
    QCOMPARE(pictures.size(), 2);
    QCOMPARE(DocumentPictures::imageOf(*editor.document(), pictures[1]).size(), QSize(32, 24));
    editor.undo();

    auto *html = new QMimeData;
    html->setHtml(QStringLiteral("<table><tr><td style=\"font-size:40px; background:yellow\"><b>bold</b> "
                                 "<span style=\"color:#ff0000\">red</span></td></tr></table>"));
    html->setText(QStringLiteral("bold red"));
    QGuiApplication::clipboard()->setMimeData(html);
    editor.paste();
    QCOMPARE(editor.document()->toPlainText(),
             QStringLiteral("a") + QChar::ObjectReplacementCharacter + QStringLiteral("bold redb"));
    QTextCursor probe(editor.document());
    probe.setPosition(3);
    QCOMPARE(probe.charFormat().fontWeight(), int(QFont::Bold));
    QCOMPARE(probe.charFormat().fontPointSize(), editor.document()->firstBlock().charFormat().fontPointSize());
    QVERIFY(!probe.charFormat().hasProperty(QTextFormat::BackgroundBrush));
    QCOMPARE(editor.document()->rootFrame()->childFrames().size(), 0);
    probe.setPosition(8);
    QCOMPARE(probe.charFormat().foreground().color(), QColor(Qt::red));

    auto *rtf = new QMimeData;
    rtf->setData(QStringLiteral("text/rtf"), "{\\rtf1\\ansi\\ansicpg950 \\'a6\\'6e}");
    rtf->setText(QStringLiteral("ignored"));
    QGuiApplication::clipboard()->setMimeData(rtf);
    editor.selectAll();
    editor.paste();
    QCOMPARE(editor.plainText(), QString::fromUtf8("好"));
}

// A 2 × 1 bitmap at 24 bits per pixel: blue, then white.
const QByteArray BluePixelRtf =
    "{\\rtf1\\ansi\\ansicpg950{\\fonttbl{\\f0\\fcharset136 PMingLiU;}}\\f0 \\'a4\\'a4\\'a4\\'e5 "
    "{\\pict\\dibitmap0\\picw2\\pich1 28000000020000000100000001001800000000000800000000000000"
    "000000000000000000000000FF0000FFFFFF0000}\\par}";

void TestRichEdit::loadsBig5AndPictureFromRtf()
{
    const QByteArray rtf = BluePixelRtf;
    RichEdit editor;
    editor.insertText("old text");
    editor.loadRtf(rtf);
    QCOMPARE(editor.plainText().left(2), QString::fromUtf8("中文"));
    const QList<QTextImageFormat> pictures = picturesOf(*editor.document());
    QCOMPARE(pictures.size(), 1);
    const QImage image = DocumentPictures::imageOf(*editor.document(), pictures[0]);
    QCOMPARE(image.size(), QSize(2, 1));
    QCOMPARE(image.pixelColor(0, 0), QColor(Qt::blue));
    QCOMPARE(editor.textCursor().position(), 0);
}

void TestRichEdit::copiesPicturesAsRtf()
{
    RichEdit from;
    from.insertText("x\xa4\xa4");
    QImage bitmap(3, 2, QImage::Format_RGB32);
    bitmap.fill(QColor(0, 0, 255));
    InsertGraphic(bitmap, from);
    from.insertText("y");
    select(from, 1, 2);
    from.copy();
    const QMimeData *copied = QGuiApplication::clipboard()->mimeData();
    QVERIFY2(copied->hasFormat(QStringLiteral("text/rtf")), qPrintable(copied->formats().join(u',')));
    QVERIFY(!copied->hasImage());

    RichEdit into;
    into.insertText("ab");
    select(into, 1, 0);
    into.paste();
    QCOMPARE(into.document()->toPlainText(), QString::fromUtf8("a中") + QChar::ObjectReplacementCharacter + u'b');
    const QList<QTextImageFormat> pictures = picturesOf(*into.document());
    QCOMPARE(pictures.size(), 1);
    QCOMPARE(DocumentPictures::imageOf(*into.document(), pictures[0]).pixelColor(1, 1), QColor(0, 0, 255));

    // A picture alone also goes out as a picture for other programs.
    select(from, 2, 1);
    from.copy();
    QCOMPARE(qvariant_cast<QImage>(QGuiApplication::clipboard()->mimeData()->imageData()).size(), QSize(3, 2));
}

QTEST_MAIN(TestRichEdit)
#include "tst_richedit.moc"

namespace {

// The picture document with an address and enough paragraphs after it to be read in the background.
QByteArray longRtf(const char *lastLine)
{
    QByteArray rtf = BluePixelRtf.chopped(1) + " see http://example.com/x\\par ";
    while (rtf.size() < RichEdit::BackgroundBytes)
        rtf += "padding text, padding text\\par ";
    return rtf + lastLine + "\\par}";
}
} // namespace

void TestRichEdit::readsLongTextsInTheBackground()
{
    RichEdit editor;
    editor.setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    editor.setReadOnly(true);
    editor.insertText("old text");
    QSignalSpy shown(&editor, &RichEdit::contentShown);

    // Short texts are shown at once, as insertText shows them.
    editor.showText("short");
    QCOMPARE(shown.size(), 1);
    QCOMPARE(editor.plainText(), QStringLiteral("short"));

    editor.showText(longRtf("last line"));
    QVERIFY(editor.isLoading());
    QVERIFY(editor.document()->isEmpty());
    QVERIFY(shown.wait(20000));
    QVERIFY(!editor.isLoading());
    QVERIFY(editor.plainText().startsWith(QString::fromUtf8("中文")));
    QVERIFY(editor.plainText().endsWith(QStringLiteral("last line")));
    const QList<QTextImageFormat> pictures = picturesOf(*editor.document());
    QCOMPARE(pictures.size(), 1);
    QCOMPARE(DocumentPictures::imageOf(*editor.document(), pictures[0]).pixelColor(0, 0), QColor(Qt::blue));
    QCOMPARE(editor.textCursor().position(), 0);
    QVERIFY(editor.isReadOnly());
    QCOMPARE(editor.document()->defaultFont(), editor.font());
    // Addresses are found in the document the editor took over, and typing still works there.
    QTRY_VERIFY(!editor.document()->findBlockByNumber(1).layout()->formats().isEmpty());
    editor.setReadOnly(false);
    editor.showText("again");
    editor.insertText(" more");
    QCOMPARE(editor.plainText(), QStringLiteral(" moreagain"));
}

void TestRichEdit::dividesLongParagraphs_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("atSpaces");
    QTest::newRow("words") << QStringLiteral("word ").repeated(5000) << true;
    QTest::newRow("chinese") << QStringLiteral("中文字").repeated(6000) << false;
    QTest::newRow("one long run") << QString(30'000, QLatin1Char('m')) << false;
    QTest::newRow("run among words") << QStringLiteral("a ").repeated(3000) + QString(20'000, QLatin1Char('m'))
                                     << false;
    QTest::newRow("short") << QStringLiteral("short words") << true;
}

void TestRichEdit::dividesLongParagraphs()
{
    QFETCH(QString, text);
    QFETCH(bool, atSpaces);
    QTextDocument document;
    document.setPlainText(QStringLiteral("before\n") + text + QStringLiteral("\nafter"));
    RichEdit::divideLongParagraphs(document, 7, document.characterCount() - 1);
    QStringList paragraphs = document.toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(paragraphs.takeFirst(), QStringLiteral("before"));
    QCOMPARE(paragraphs.takeLast(), QStringLiteral("after"));
    QCOMPARE(paragraphs.join(QString()), text);
    QCOMPARE(paragraphs.size() > 1, text.size() > RichEdit::LongParagraph);
    for (qsizetype i = 0; i < paragraphs.size(); ++i) {
        QVERIFY(paragraphs[i].size() <= RichEdit::LongParagraph);
        if (atSpaces && i + 1 < paragraphs.size())
            QVERIFY(paragraphs[i].endsWith(QLatin1Char(' ')));
    }

    // A long message read in the background comes divided.
    RichEdit editor;
    QSignalSpy shown(&editor, &RichEdit::contentShown);
    editor.showText(cp950::encode(text).repeated(qMax<qsizetype>(1, RichEdit::BackgroundBytes / text.size() + 1)));
    QVERIFY(shown.size() == 1 || shown.wait(60000));
    for (QTextBlock block = editor.document()->begin(); block.isValid(); block = block.next())
        QVERIFY(block.length() <= RichEdit::LongParagraph + 1);
}
