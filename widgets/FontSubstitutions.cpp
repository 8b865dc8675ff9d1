#include "widgets/FontSubstitutions.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace {

struct Substitution
{
    const char16_t *family;
    QStringList candidates; // in order of preference; only installed ones are used
};

QStringList installed(const QStringList &candidates)
{
    const QStringList families = QFontDatabase::families();
    QStringList found;
    for (const QString &candidate : candidates) {
        if (families.contains(candidate, Qt::CaseInsensitive))
            found.append(candidate);
    }
    return found;
}

} // namespace

namespace FontSubstitutions {

void install()
{
    const QStringList ming{QStringLiteral("AR PL UMing TW"), QStringLiteral("Noto Serif CJK TC"),
                           QStringLiteral("Noto Sans CJK TC"), QStringLiteral("AR PL UMing HK"),
                           QStringLiteral("Droid Sans Fallback")};
    // Narrow sans fonts first: the windows were laid out for a small bitmap font, and a separator line of 29
    // equal signs has to fit the notice area.
    const QStringList sans{QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Nimbus Sans"),
                           QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans")};
    // The sans list ends with the Ming fonts: "MS Sans Serif" text in the Big5 character set is mostly
    // Chinese, which the Latin fonts lack.
    const Substitution substitutions[] = {
        {u"細明體", ming},
        {u"新細明體", ming},
        {u"MS Sans Serif", sans + ming},
    };
    const QStringList families = QFontDatabase::families();
    for (const Substitution &substitution : substitutions) {
        const QString family = QString::fromUtf16(substitution.family);
        if (families.contains(family, Qt::CaseInsensitive))
            continue;
        const QStringList substitutes = installed(substitution.candidates);
        if (substitutes.isEmpty())
            continue;
        QFont::removeSubstitutions(family);
        QFont::insertSubstitutions(family, substitutes);
    }
}

} // namespace FontSubstitutions
