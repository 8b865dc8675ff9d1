// Shows a message editor holding Big5 text, a face, a JPEG picture and a link, as RTF from the wire
// would bring them; with --menu the face menu opens over it. For looking at, not a test.
//
// Usage: editor-demo <picture.jpg> [--menu]

#include "messages/FaceMenu.h"
#include "messages/GraphicToRtf.h"
#include "widgets/RichEdit.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QFile jpeg(args.value(1));
    if (!jpeg.open(QIODevice::ReadOnly))
        return 2;

    QWidget window;
    window.setWindowFlag(Qt::FramelessWindowHint);
    window.setStyleSheet(QStringLiteral("QWidget#frame { background: #3A6EA5; }"));
    window.setObjectName(QStringLiteral("frame"));
    auto *editor = new RichEdit(&window);
    editor->setObjectName(QStringLiteral("RxRichEdit_Content"));
    QFont font(QStringLiteral("AR PL UMing TW"));
    font.setPixelSize(13);
    editor->document()->setDefaultFont(font);
    auto *layout = new QVBoxLayout(&window);
    layout->setContentsMargins(4, 23, 4, 4);
    layout->addWidget(editor);
    window.setGeometry(40, 40, 380, 250);

    QImage face(20, 20, QImage::Format_RGB32);
    face.fill(Qt::white);
    QPainter painter(&face);
    painter.drawImage(0, 0, FaceMenu::ImageList_Face()[3]);
    painter.end();
    const QByteArray faceGroup = GraphicToRtf(face);
    const QByteArray jpegBytes = jpeg.readAll();
    const QByteArray message =
        "{\\rtf1\\ansi\\ansicpg950\\deff0{\\fonttbl{\\f0\\fcharset136 \\'b2\\'d3\\'a9\\'fa\\'c5\\'e9;}}"
        "\\f0\\fs20 \\'a4\\'b5\\'a4\\'d1\\'a4\\'d1\\'ae\\'f0\\'af\\'75\\'a6\\'6e\\'a1\\'49 "
        // The face as a picture group inside the message, exactly as GraphicToRtf writes it.
        + faceGroup.mid(7, faceGroup.size() - 8) +
        "\\par \\'bd\\'d0\\'ac\\'dd\\'b7\\'d3\\'a4\\'f9\\'a1\\'47\\par "
        "{\\pict\\jpegblip\\picw160\\pich100 " +
        jpegBytes.toHex() +
        "}\\par "
        "\\'b8\\'d4\\'b1\\'a1\\'a6\\'62 http://www.example.com/photos \\'a1\\'43\\par}";
    editor->loadRtf(message);
    window.show();

    if (args.contains(QStringLiteral("--menu"))) {
        auto *menu = new FaceMenu(editor, &window);
        QTimer::singleShot(300, menu, [menu] { menu->popup(menu->reopenPosition()); });
    }
    return app.exec();
}
