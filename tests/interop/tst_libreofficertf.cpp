#include "richtext/DocumentPictures.h"
#include "richtext/RtfWriter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

// An independent reader: what LibreOffice makes of a message the writer produced is what a peer's
// control should make of it too.
class TestLibreOfficeRtf : public QObject
{
    Q_OBJECT

private:
    QString m_soffice;
    QTemporaryDir m_dir;

    // Converts the file in the work folder and returns the converted file's bytes.
    QByteArray convert(const QString &source, const QString &filter, const QString &extension)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_dir.filePath(QStringLiteral("home")));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        process.start(m_soffice,
                      {QStringLiteral("-env:UserInstallation=file://") + m_dir.filePath(QStringLiteral("profile")),
                       QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--convert-to"),
                       filter, QStringLiteral("--outdir"), m_dir.filePath(extension), source});
        if (!process.waitForFinished(180000)) {
            process.kill();
            process.waitForFinished();
            qWarning("soffice did not finish");
            return {};
        }
        QFile out(m_dir.filePath(extension + QLatin1Char('/') + QFileInfo(source).completeBaseName() +
                                 QLatin1Char('.') + extension));
        if (!out.open(QIODevice::ReadOnly)) {
            qWarning() << "no output:" << process.readAllStandardError() << process.readAllStandardOutput();
            return {};
        }
        return out.readAll();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (m_soffice.isEmpty())
            QSKIP("soffice is not installed");
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("home")));
    }

    void textAndPictures()
    {
        QTextDocument document;
        document.setDefaultFont(QFont(QString::fromUtf8("細明體"), 10));
        QTextCursor cursor(&document);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        QTextCharFormat red;
        red.setForeground(QColor(255, 0, 0));
        red.setFontPointSize(14);
        cursor.insertText(QString::fromUtf8("您好，許功蓋{}\\ "), QTextCharFormat());
        cursor.insertText(QString::fromUtf8("粗體"), bold);
        cursor.insertText(QString::fromUtf8(" 紅色 café 😀"), red);
        cursor.insertBlock();
        QImage face(20, 20, QImage::Format_RGB32);
        face.fill(qRgb(255, 200, 0));
        QImage photo(64, 48, QImage::Format_RGB888);
        photo.fill(qRgb(0, 120, 255));
        DocumentPictures::insert(cursor, face);
        cursor.insertText(QString::fromUtf8("圖片之間"));
        DocumentPictures::insert(cursor, photo, QSizeF(32, 24));
        cursor.insertBlock();
        cursor.insertText(QStringLiteral("tab\there"), QTextCharFormat());

        const QString source = m_dir.filePath(QStringLiteral("message.rtf"));
        QFile file(source);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(RtfWriter::write(document));
        file.close();

        QString text =
            QString::fromUtf8(convert(source, QStringLiteral("txt:Text (encoded):UTF8"), QStringLiteral("txt")));
        text.remove(QChar(0xFEFF));
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        while (text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        QString expected = document.toPlainText();
        expected.remove(QChar::ObjectReplacementCharacter);
        QCOMPARE(text, expected);

        const QByteArray html = convert(source, QStringLiteral("html"), QStringLiteral("html"));
        QVERIFY(!html.isEmpty());
        // Both pictures, each at the size it is shown at in the message.
        QStringList sizes;
        const QRegularExpression img(QStringLiteral("<img[^>]*width=\"(\\d+)\"[^>]*height=\"(\\d+)\""));
        for (auto it = img.globalMatch(QString::fromUtf8(html)); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            sizes.append(m.captured(1) + QLatin1Char('x') + m.captured(2));
        }
        QCOMPARE(sizes, (QStringList{QStringLiteral("20x20"), QStringLiteral("32x24")}));
    }
};

QTEST_MAIN(TestLibreOfficeRtf)
#include "tst_libreofficertf.moc"
