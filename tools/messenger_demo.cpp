// Opens the message window for looking at, not a test: "read" shows a received message with a face and a
// picture, "compose" a new message with the friend panel open, "send" a long message going out to a peer
// that does not read, so the gauge stands part way. Prints the window's geometry for the screenshot.
//
// Usage: messenger_demo read|compose|send [--design]

#include "base/Cp950.h"
#include "engine/ConsoleValues.h"
#include "engine/FriendTable.h"
#include "engine/MessageTable.h"
#include "engine/NoticeSink.h"
#include "messages/FaceMenu.h"
#include "messages/TForm_Messenger.h"
#include "richtext/DocumentPictures.h"
#include "richtext/RtfWriter.h"
#include "widgets/FontSubstitutions.h"
#include "widgets/Placement.h"
#include "widgets/WindowRegistry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QPainter>
#include <QTcpServer>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <cstdio>

namespace {

struct PrintedNotices final : NoticeSink
{
    void ShowNotice(const QByteArray &, const QByteArray &caption) override
    {
        std::fprintf(stderr, "notice: %s\n", caption.constData());
    }
};

QImage landscape()
{
    QImage image(120, 72, QImage::Format_RGB888);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, 72);
    sky.setColorAt(0, QColor(90, 150, 220));
    sky.setColorAt(1, QColor(200, 230, 250));
    painter.fillRect(image.rect(), sky);
    painter.setBrush(QColor(70, 140, 60));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRect(-30, 45, 110, 60));
    painter.drawEllipse(QRect(50, 50, 100, 50));
    painter.setBrush(QColor(250, 210, 60));
    painter.drawEllipse(QRect(88, 8, 18, 18));
    return image;
}

QByteArray bmp(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

QByteArray receivedMessage()
{
    QTextDocument document;
    document.setDefaultFont(QFont(QStringLiteral("細明體"), 10));
    QTextCursor cursor(&document);
    cursor.insertText(QStringLiteral("今天去郊外走走，風景很好 "));
    DocumentPictures::insert(cursor, FaceMenu::ImageList_Face().value(FaceMenu::FirstFaceIndex + 3));
    cursor.insertBlock();
    DocumentPictures::insert(cursor, landscape());
    cursor.insertBlock();
    cursor.insertText(QStringLiteral("照片在 http://10.0.0.5/photos"));
    return RtfWriter::write(document);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    FontSubstitutions::install();
    const QString mode = app.arguments().value(1, QStringLiteral("read"));

    MessageTable messages;
    FriendTable friends;
    ConsoleValues values;
    values.OwnAddress = "10.0.0.1";
    values.OwnNickname = cp950::encode(u"小明");
    PrintedNotices notices;
    QFont font(QStringLiteral("細明體"), 10);
    MessengerDeps deps;
    deps.messages = &messages;
    deps.friends = &friends;
    deps.values = &values;
    deps.notices = &notices;
    WindowRegistry windows;
    deps.windows = &windows;
    deps.defaultFont = &font;

    friends.addIfNew(cp950::encode(u"老王"), "10.0.0.5", bmp(FaceMenu::ImageList_Face().value(10).scaled(32, 32)));
    friends.addIfNew(cp950::encode(u"阿美"), "10.0.0.6", {});
    friends.addIfNew(cp950::encode(u"Kevin"), "10.0.0.7", bmp(landscape().scaled(32, 32)));
    friends.addIfNew(cp950::encode(u"陳小姐"), "10.0.0.8", {});

    QTcpServer stalled;
    if (mode == QLatin1String("read")) {
        messages.append(cp950::encode(u"老王"), "10.0.0.5", receivedMessage(),
                        QDateTime(QDate(2026, 12, 9), QTime(14, 7)));
    }
    if (mode == QLatin1String("send")) {
        stalled.listen(QHostAddress::LocalHost);
        deps.send.port = stalled.serverPort();
    }
    TForm_Messenger::MenuItem_SendMessageClick(deps);
    TForm_Messenger *window = windows.find<TForm_Messenger>();
    // "--design" keeps the design size.
    if (!app.arguments().contains(QLatin1String("--design"))) {
        window->resize(300, 260);
        PlaceAboveTaskbar(window);
    }
    QMetaObject::invokeMethod(window, [window] { window->show(); });
    if (mode == QLatin1String("compose")) {
        window->findChild<QWidget *>(QStringLiteral("FlatEdit_IP"))->setProperty("text", QStringLiteral("老王"));
        window->suiForm_MessageTitleBarCustomBtnsClick(TForm_Messenger::Friends);
    } else if (mode == QLatin1String("send")) {
        // Nobody reads what arrives, so the pieces stop once the kernel's buffers are full.
        values.OwnNickname = QByteArray(30 * 1024 * 1024, 'x');
        window->findChild<QWidget *>(QStringLiteral("FlatEdit_IP"))->setProperty("text", QStringLiteral("127.0.0.1"));
        window->findChild<QTextEdit *>(QStringLiteral("RxRichEdit_Content"))
            ->setPlainText(QStringLiteral("一封很長的信息……"));
        QTimer::singleShot(
            800, window, [window] { window->findChild<QAbstractButton *>(QStringLiteral("suiButton_Send"))->click(); });
    }
    QTimer::singleShot(300, window, [window] {
        const QRect frame = window->frameGeometry();
        std::printf("%dx%d+%d+%d\n", frame.width(), frame.height(), frame.x(), frame.y());
        std::fflush(stdout);
    });
    QTimer::singleShot(mode == QLatin1String("send") ? 20000 : 4000, &app, &QApplication::quit);
    return app.exec();
}
