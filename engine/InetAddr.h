#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

// A dotted address by the rules of the Windows inet_addr: one to four parts, each decimal, octal (leading 0)
// or hexadecimal (0x); the last part fills the remaining bytes. Host byte order. 255.255.255.255 is the
// value inet_addr reports failures with, so it is no address here either. Nothing may follow the address,
// not even a space.
std::optional<quint32> inetAddr(QByteArrayView text);
