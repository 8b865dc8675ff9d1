#include "platform/ProgramData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString ProgramDataDirectory()
{
    const QDir program(QCoreApplication::applicationDirPath());
    const QFileInfo installed(program.filePath(QStringLiteral("../share/parlune")));
    if (installed.isDir())
        return QDir::cleanPath(installed.absoluteFilePath()) + QLatin1Char('/');
    return program.absolutePath() + QLatin1Char('/');
}
