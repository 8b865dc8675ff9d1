#include "engine/AutostartEntry.h"

#include <QByteArrayList>

namespace autostart {
namespace {

// Inside a quoted Exec argument these four take a backslash.
bool needsArgumentEscape(QChar c)
{
    return c == u'"' || c == u'`' || c == u'$' || c == u'\\';
}

QString quotedArgument(const QString &path)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : path) {
        if (c == u'%') {
            out += QStringLiteral("%%"); // a lone % would start a field code
            continue;
        }
        if (needsArgumentEscape(c))
            out += u'\\';
        out += c;
    }
    out += u'"';
    // The value as a whole is a desktop-entry string, where a backslash escapes again.
    out.replace(u'\\', QStringLiteral("\\\\"));
    return out;
}

QString unescapeString(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == u's')
            out += u' ';
        else if (next == u'n')
            out += u'\n';
        else if (next == u't')
            out += u'\t';
        else if (next == u'r')
            out += u'\r';
        else
            out += next;
    }
    return out;
}

std::optional<QString> firstArgument(const QString &command)
{
    QString out;
    qsizetype i = 0;
    while (i < command.size() && command[i].isSpace())
        ++i;
    if (i < command.size() && command[i] == u'"') {
        for (++i; i < command.size(); ++i) {
            const QChar c = command[i];
            if (c == u'"') {
                out.replace(QStringLiteral("%%"), QStringLiteral("%"));
                return out.isEmpty() ? std::nullopt : std::optional<QString>(out);
            }
            if (c == u'\\' && i + 1 < command.size())
                out += command[++i];
            else
                out += c;
        }
        return std::nullopt; // unterminated quote
    }
    for (; i < command.size() && !command[i].isSpace(); ++i)
        out += command[i];
    out.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return out.isEmpty() ? std::nullopt : std::optional<QString>(out);
}

} // namespace

std::optional<QByteArray> entryFor(const QString &executablePath)
{
    if (!executablePath.startsWith(u'/'))
        return std::nullopt;
    for (const QChar c : executablePath) {
        if (c.category() == QChar::Other_Control || c.isSurrogate())
            return std::nullopt;
    }
    QString entry = QStringLiteral("[Desktop Entry]\n"
                                   "Type=Application\n"
                                   "Name=Parlune\n"
                                   "Exec=");
    entry += quotedArgument(executablePath);
    entry += QStringLiteral("\n"
                            "Terminal=false\n"
                            "X-GNOME-Autostart-enabled=true\n");
    return entry.toUtf8();
}

std::optional<QString> executableOf(const QByteArray &entry)
{
    bool inMainGroup = false;
    for (const QByteArray &rawLine : entry.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup || !line.startsWith("Exec"))
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || line.left(equals).trimmed() != "Exec")
            continue;
        QString command = unescapeString(QString::fromUtf8(line.mid(equals + 1)).trimmed());
        return firstArgument(command);
    }
    return std::nullopt;
}

} // namespace autostart
