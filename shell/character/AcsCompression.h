#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The LZ77 compression of character files: a zero byte, then a bit stream read from the least significant
// bit of each byte. A 0 bit is followed by a literal byte; a 1 bit by a back reference whose offset takes
// 6, 9, 12 or 20 bits (told apart by up to three leading 1 bits) and whose length is a run of up to eleven
// 1 bits, a 0 and as many value bits. The largest 20-bit offset marks the end.
namespace AcsCompression {

// The data decodes to exactly `size` bytes, or nothing: a stream that ends early, refers before its start,
// would write past `size` or stops short of it is damaged.
std::optional<QByteArray> decompress(QByteArrayView data, qsizetype size);

QByteArray compress(QByteArrayView data);

} // namespace AcsCompression
