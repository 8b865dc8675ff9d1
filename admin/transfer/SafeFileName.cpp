#include "admin/transfer/SafeFileName.h"

#include <QFileInfo>

namespace SafeFileName {
namespace {

constexpr int MaxSuffixNumber = 9999;
constexpr int MaxExtensionBytes = 16;

bool refused(QChar c)
{
    const QChar::Category category = c.category();
    if (category == QChar::Other_Control || category == QChar::Other_Format || category == QChar::Other_Surrogate ||
        category == QChar::Other_NotAssigned || category == QChar::Separator_Line ||
        category == QChar::Separator_Paragraph)
        return true;
    return QStringView(u"<>:\"|?*").contains(c);
}

// The first `maxBytes` bytes of UTF-8 at most, cut between characters.
QString cutToBytes(const QString &text, int maxBytes)
{
    int bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const char32_t code = text.at(i).isHighSurrogate() && i + 1 < text.size()
                                  ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
                                  : text.at(i).unicode();
        const int width = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        if (bytes + width > maxBytes)
            break;
        bytes += width;
        i += code >= 0x10000 ? 2 : 1;
    }
    return text.left(i);
}

// Splits "name.ext" into "name" and ".ext"; a dot at the start does not begin an extension.
std::pair<QString, QString> splitExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0)
        return {name, {}};
    return {name.left(dot), name.mid(dot)};
}

} // namespace

QString reduce(QStringView name)
{
    const qsizetype slash = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    QString result;
    for (QChar c : name.sliced(slash + 1))
        result.append(refused(c) ? QChar(u'_') : c);
    result = result.trimmed();
    while (result.startsWith(u'.') || result.startsWith(u' '))
        result.remove(0, 1);
    if (result.toUtf8().size() > MaxBytes) {
        auto [stem, extension] = splitExtension(result);
        if (extension.toUtf8().size() > MaxExtensionBytes)
            extension.clear();
        result = cutToBytes(stem, MaxBytes - int(extension.toUtf8().size())).trimmed() + extension;
    }
    return result.isEmpty() || result.startsWith(u'.') ? QStringLiteral("file") + result : result;
}

QString unused(const QDir &folder, const QString &name)
{
    const auto taken = [&folder](const QString &candidate) {
        const QFileInfo info(folder.filePath(candidate));
        return info.exists() || info.isSymLink();
    };
    if (!taken(name))
        return name;
    const auto [stem, extension] = splitExtension(name);
    for (int n = 1; n <= MaxSuffixNumber; ++n) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(extension);
        if (!taken(candidate))
            return candidate;
    }
    return {};
}

} // namespace SafeFileName
