#include "widgets/FontSubstitutions.h"

#include <QFontInfo>
#include <QTest>

class TestFontSubstitutions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { FontSubstitutions::install(); }

    void namedFontsResolveToInstalledOnes_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QStringList>("acceptable");
        const QStringList ming{QStringLiteral("AR PL UMing TW"), QStringLiteral("Noto Serif CJK TC"),
                               QStringLiteral("Noto Sans CJK TC"), QStringLiteral("AR PL UMing HK"),
                               QStringLiteral("Droid Sans Fallback")};
        QTest::newRow("細明體") << QStringLiteral("細明體") << ming;
        QTest::newRow("MS Sans Serif") << QStringLiteral("MS Sans Serif")
                                       << QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                                      QStringLiteral("Nimbus Sans"), QStringLiteral("Noto Sans"),
                                                      QStringLiteral("DejaVu Sans")};
    }
    void namedFontsResolveToInstalledOnes()
    {
        QFETCH(QString, family);
        QFETCH(QStringList, acceptable);
        const QString resolved = QFontInfo(QFont(family, 10)).family();
        QVERIFY2(acceptable.contains(resolved, Qt::CaseInsensitive), qPrintable(resolved));
        // Installing again changes nothing.
        FontSubstitutions::install();
        QCOMPARE(QFontInfo(QFont(family, 10)).family(), resolved);
    }

    void sansFontFallsBackToChinese()
    {
        const QStringList substitutes = QFont::substitutes(QStringLiteral("MS Sans Serif"));
        QVERIFY(!substitutes.isEmpty());
        QVERIFY(substitutes.contains(QFont::substitutes(QStringLiteral("細明體")).value(0)));
    }
};

QTEST_MAIN(TestFontSubstitutions)
#include "tst_fontsubstitutions.moc"
