#include "shell/character/AcsFormat.h"

#include <cstring>

namespace AcsFormat {

QByteArray topDown(const QByteArray &stored, int width, int height)
{
    QByteArray pixels(qsizetype(width) * height, Qt::Uninitialized);
    for (int y = 0; y < height; ++y)
        std::memcpy(pixels.data() + qsizetype(y) * width, stored.constData() + stride(width) * (height - 1 - y),
                    size_t(width));
    return pixels;
}

QByteArray bottomUp(const QByteArray &pixels, int width, int height)
{
    QByteArray stored(stride(width) * height, '\0');
    for (int y = 0; y < height; ++y)
        std::memcpy(stored.data() + stride(width) * (height - 1 - y), pixels.constData() + qsizetype(y) * width,
                    size_t(width));
    return stored;
}

} // namespace AcsFormat
