#pragma once

#include <QByteArray>
#include <QStringView>

// Texts of the tests are written in Unicode; the program carries them in code page 950.
QByteArray big5(QStringView text);
QByteArray big5(const char *utf8);
