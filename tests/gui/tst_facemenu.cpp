#include "messages/FaceMenu.h"
#include "messages/PictureEmbedding.h"
#include "richtext/DocumentPictures.h"
#include "widgets/RichEdit.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QVBoxLayout>

namespace {

QString dataFile(const QString &name)
{
    return qEnvironmentVariable("PARLUNE_SOURCE_DIR") + QStringLiteral("/tests/gui/data/") + name;
}

QList<QImage> picturesOf(const QTextDocument &document)
{
    QList<QImage> pictures;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isImageFormat())
                pictures.append(DocumentPictures::imageOf(document, it.fragment().charFormat().toImageFormat()));
        }
    }
    return pictures;
}

// A message window as far as the face menu sees it: a frame with an editor.
struct Window
{
    QWidget frame;
    RichEdit *editor = new RichEdit(&frame);
    FaceMenu *menu = new FaceMenu(editor, &frame);

    Window()
    {
        // Message windows draw their own title bar.
        frame.setWindowFlag(Qt::FramelessWindowHint);
        (new QVBoxLayout(&frame))->addWidget(editor);
        frame.setGeometry(120, 90, 300, 200);
    }
};

} // namespace

class TestFaceMenu final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void itemsInMenuOrder();
    void cellsFormBannerAndSevenColumns();
    void imageListHoldsDistinctPictures();
    void pageTurnsStopAtTheEdges_data();
    void pageTurnsStopAtTheEdges();
    void eachWindowStartsOnFirstPage();
    void clickingCellsWithTheMouse();
    void faceClickInsertsTwentyPixelPicture();
    void bannerDrawnFromTheBottom();
    void bannerOpensPictureFile();
    void insertPictureFile_data();
    void insertPictureFile();
};

void TestFaceMenu::itemsInMenuOrder()
{
    Window window;
    QStringList names;
    for (const FaceMenuItem *item : window.menu->items())
        names.append(item->objectName());
    QStringList expected{QStringLiteral("MenuItem_Custom"), QStringLiteral("N01")};
    for (int n = 11; n <= 271; n += 10)
        expected.append(QStringLiteral("N%1").arg(n));
    QCOMPARE(names, expected);
    QCOMPARE(window.menu->objectName(), QStringLiteral("PopupMenu_Face"));
    // The names are what windows and tests look the items up by.
    QCOMPARE(window.frame.findChild<FaceMenuItem *>(QStringLiteral("N271")), window.menu->items().last());
    QCOMPARE(window.menu->item(QStringLiteral("N261"))->kind(), FaceMenuItem::Kind::PreviousPage);
    QCOMPARE(window.menu->item(QStringLiteral("N261"))->imageIndex(), 0);
    QCOMPARE(window.menu->item(QStringLiteral("N271"))->imageIndex(), 1);
    QCOMPARE(window.menu->item(QStringLiteral("N01"))->imageIndex(), 2);
    QCOMPARE(window.menu->item(QStringLiteral("N251"))->imageIndex(), 27);
}

void TestFaceMenu::cellsFormBannerAndSevenColumns()
{
    Window window;
    const QList<FaceMenuItem *> items = window.menu->items();
    const QRect banner = items[0]->geometry();
    QCOMPARE(banner.width(), 15);
    QCOMPARE(banner.height(), 96);
    QSet<int> columns;
    for (int k = 1; k < items.size(); ++k) {
        const QRect cell = items[k]->geometry();
        QCOMPARE(cell.size(), QSize(24, 24));
        QCOMPARE(cell.left(), banner.right() + 1 + ((k - 1) / 4) * 24);
        QCOMPARE(cell.top(), banner.top() + ((k - 1) % 4) * 24);
        columns.insert(cell.left());
    }
    QCOMPARE(columns.size(), 7);
    // N241 opens the last column, with the two arrows at its foot.
    QCOMPARE(window.menu->item(QStringLiteral("N241"))->geometry().top(), banner.top());
    QCOMPARE(window.menu->item(QStringLiteral("N271"))->geometry().bottom(), banner.bottom());
}

void TestFaceMenu::imageListHoldsDistinctPictures()
{
    const QList<QImage> &images = FaceMenu::ImageList_Face();
    QCOMPARE(images.size(), 106);
    QSet<QByteArray> seen;
    for (const QImage &image : images) {
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), QSize(20, 20));
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        seen.insert(QByteArray(reinterpret_cast<const char *>(argb.constBits()), argb.sizeInBytes()));
    }
    QCOMPARE(seen.size(), 106);
    QCOMPARE(FaceMenu::Image_Custom().size(), QSize(15, 95));
}

void TestFaceMenu::pageTurnsStopAtTheEdges_data()
{
    QTest::addColumn<QString>("turns");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("page");

    QTest::newRow("previous on page 1") << QStringLiteral("<") << 2 << 27 << 1;
    QTest::newRow("two pages on") << QStringLiteral(">>") << 54 << 79 << 3;
    QTest::newRow("next on page 4") << QStringLiteral(">>>>") << 80 << 105 << 4;
    QTest::newRow("there and back") << QStringLiteral(">><") << 28 << 53 << 2;
    QTest::newRow("back past the start") << QStringLiteral("><<") << 2 << 27 << 1;
}

void TestFaceMenu::pageTurnsStopAtTheEdges()
{
    QFETCH(QString, turns);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(int, page);

    Window window;
    window.frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.frame));
    for (QChar turn : turns) {
        window.menu->hide();
        if (turn == u'>')
            window.menu->N271Click();
        else
            window.menu->N261Click();
        // Every turn, also one that changes nothing, opens the menu again below the title bar.
        QVERIFY(window.menu->isVisible());
        QCOMPARE(window.menu->pos(), window.frame.frameGeometry().topLeft() + QPoint(1, 23));
    }
    QCOMPARE(window.menu->item(QStringLiteral("N01"))->imageIndex(), first);
    QCOMPARE(window.menu->item(QStringLiteral("N251"))->imageIndex(), last);
    QCOMPARE(window.menu->item(QStringLiteral("N131"))->imageIndex(), first + 13);
    QCOMPARE(window.menu->page(), page);
    QCOMPARE(window.menu->item(QStringLiteral("N261"))->imageIndex(), 0);
    QCOMPARE(window.menu->item(QStringLiteral("N271"))->imageIndex(), 1);
    window.menu->hide();
}

void TestFaceMenu::eachWindowStartsOnFirstPage()
{
    Window first;
    first.menu->N271Click();
    first.menu->N271Click();
    first.menu->hide();
    QCOMPARE(first.menu->page(), 3);
    Window second;
    QCOMPARE(second.menu->page(), 1);
    QCOMPARE(first.menu->page(), 3);
}

void TestFaceMenu::clickingCellsWithTheMouse()
{
    Window window;
    window.frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.frame));
    window.menu->popup(window.menu->reopenPosition());
    QVERIFY(QTest::qWaitForWindowExposed(window.menu));

    const QPoint next = window.menu->item(QStringLiteral("N271"))->geometry().center();
    QTest::mouseMove(window.menu, next);
    QTRY_COMPARE(window.menu->hotItem(), window.menu->item(QStringLiteral("N271")));
    QTest::mouseClick(window.menu, Qt::LeftButton, {}, next);
    QCOMPARE(window.menu->page(), 2);
    QTRY_VERIFY(window.menu->isVisible());

    QTest::mouseClick(window.menu, Qt::LeftButton, {}, window.menu->item(QStringLiteral("N11"))->geometry().center());
    QVERIFY(!window.menu->isVisible());
    QCOMPARE(picturesOf(*window.editor->document()).size(), 1);

    window.menu->popup(window.menu->reopenPosition());
    QTest::keyClick(window.menu, Qt::Key_Escape);
    QVERIFY(!window.menu->isVisible());
}

void TestFaceMenu::faceClickInsertsTwentyPixelPicture()
{
    Window window;
    window.editor->insertText("ab");
    QTextCursor cursor = window.editor->textCursor();
    cursor.setPosition(1);
    window.editor->setTextCursor(cursor);

    window.menu->N271Click();
    window.menu->hide();
    FaceMenuItem *cell = window.menu->item(QStringLiteral("N11"));
    QCOMPARE(cell->imageIndex(), 29);
    window.menu->N01Click(cell);

    const QList<QImage> pictures = picturesOf(*window.editor->document());
    QCOMPARE(pictures.size(), 1);
    QCOMPARE(pictures[0].size(), QSize(20, 20));
    QCOMPARE(window.editor->textCursor().position(), 2);
    QCOMPARE(window.editor->document()->characterAt(1), QChar::ObjectReplacementCharacter);

    // The face travels opaque, on the editor's white ground.
    QImage expected(20, 20, QImage::Format_RGB32);
    expected.fill(Qt::white);
    QPainter painter(&expected);
    painter.drawImage(0, 0, FaceMenu::ImageList_Face()[29]);
    painter.end();
    QCOMPARE(pictures[0].convertToFormat(QImage::Format_RGB32), expected);
}

void TestFaceMenu::bannerDrawnFromTheBottom()
{
    Window window;
    QImage cell(15, 100, QImage::Format_RGB32);
    cell.fill(Qt::black);
    QPainter painter(&cell);
    window.menu->MenuItem_CustomDrawItem(painter, cell.rect());
    painter.end();
    const QImage &banner = FaceMenu::Image_Custom();
    QCOMPARE(cell.pixelColor(7, 0), QColor(Qt::white));
    QCOMPARE(cell.pixelColor(7, 4), QColor(Qt::white));
    QCOMPARE(cell.pixel(0, 5), banner.pixel(0, 0));
    QCOMPARE(cell.pixel(14, 99), banner.pixel(14, 94));
}

void TestFaceMenu::bannerOpensPictureFile()
{
    Window window;
    window.frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.frame));
    window.menu->MenuItem_CustomClick();
    QFileDialog *dialog = nullptr;
    QTRY_VERIFY((dialog = window.frame.findChild<QFileDialog *>(QStringLiteral("OpenPictureDialog"))));
    QCOMPARE(dialog->nameFilters(),
             (QStringList{QStringLiteral("Bitmaps (*.bmp)"), QStringLiteral("JPEG Image File (*.jpg)")}));
    dialog->selectFile(dataFile(QStringLiteral("picture.bmp")));
    QMetaObject::invokeMethod(dialog, "accept");
    const QList<QImage> pictures = picturesOf(*window.editor->document());
    QCOMPARE(pictures.size(), 1);
    QCOMPARE(pictures[0].size(), QSize(16, 12));
    QTRY_VERIFY(window.editor->hasFocus());
}

void TestFaceMenu::insertPictureFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("inserted");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QColor>("corner");
    QTest::addColumn<QString>("error");

    QTest::newRow("bitmap") << dataFile(QStringLiteral("picture.bmp")) << true << QSize(16, 12)
                            << QColor(0x20, 0xA0, 0x40) << QString();
    QTest::newRow("jpeg") << dataFile(QStringLiteral("picture.jpg")) << true << QSize(32, 24) << QColor(Qt::red)
                          << QString();
    QTest::newRow("broken jpeg") << dataFile(QStringLiteral("broken.jpg")) << false << QSize() << QColor()
                                 << QStringLiteral("JPEG image is not valid");
    QTest::newRow("broken bitmap") << dataFile(QStringLiteral("broken.bmp")) << false << QSize() << QColor()
                                   << QStringLiteral("Bitmap image is not valid");
    QTest::newRow("missing file") << dataFile(QStringLiteral("missing.bmp")) << false << QSize() << QColor()
                                  << QStringLiteral("Cannot open file");
    QTest::newRow("other kind") << dataFile(QStringLiteral("picture.png")) << false << QSize() << QColor()
                                << QStringLiteral("Unknown picture file extension (.png)");
}

void TestFaceMenu::insertPictureFile()
{
    QFETCH(QString, file);
    QFETCH(bool, inserted);
    QFETCH(QSize, size);
    QFETCH(QColor, corner);
    QFETCH(QString, error);

    Window window;
    window.frame.show();
    window.editor->insertText("before after");
    QTextCursor cursor = window.editor->textCursor();
    cursor.setPosition(6);
    cursor.setPosition(7, QTextCursor::KeepAnchor);
    window.editor->setTextCursor(cursor);
    const QString htmlBefore = window.editor->toHtml();

    QCOMPARE(InsertPictureFile(file, *window.editor), inserted);
    const QList<QImage> pictures = picturesOf(*window.editor->document());
    if (inserted) {
        QCOMPARE(pictures.size(), 1);
        QCOMPARE(pictures[0].size(), size);
        const QColor seen = pictures[0].pixelColor(0, 0);
        // JPEG is lossy; a few steps off is still the colour.
        QVERIFY2(qAbs(seen.red() - corner.red()) < 24 && qAbs(seen.green() - corner.green()) < 24 &&
                     qAbs(seen.blue() - corner.blue()) < 24,
                 qPrintable(seen.name()));
        QCOMPARE(window.editor->document()->toPlainText(),
                 QStringLiteral("before") + QChar::ObjectReplacementCharacter + QStringLiteral("after"));
        QCOMPARE(window.editor->textCursor().position(), 7);
        QVERIFY(!window.frame.findChild<QMessageBox *>(QStringLiteral("ErrorMessageBox")));
        return;
    }
    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = window.frame.findChild<QMessageBox *>(QStringLiteral("ErrorMessageBox"))));
    QVERIFY2(box->text().startsWith(error), qPrintable(box->text()));
    QCOMPARE(box->icon(), QMessageBox::Critical);
    QCOMPARE(window.editor->toHtml(), htmlBefore);
    QCOMPARE(window.editor->textCursor().selectedText(), QStringLiteral(" "));
    box->close();
    QTRY_VERIFY(!window.frame.findChild<QMessageBox *>(QStringLiteral("ErrorMessageBox")));
}

QTEST_MAIN(TestFaceMenu)
#include "tst_facemenu.moc"
