#include "tests/support/CodePage.h"

#include "base/Cp950.h"

#include <QString>

QByteArray big5(QStringView text)
{
    return cp950::encode(text);
}

QByteArray big5(const char *utf8)
{
    return cp950::encode(QString::fromUtf8(utf8));
}
