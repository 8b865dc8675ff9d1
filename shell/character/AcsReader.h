#pragma once

#include "shell/character/Character.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

// Reads a character file (.acs). A character can come from anywhere the user picks it, so every offset,
// size and count is checked against the bytes present and against the limits below before anything is
// allocated; damaged input gives no character and a readable error instead.
class AcsReader
{
public:
    struct Limits
    {
        static constexpr qint64 FileBytes = qint64(64) * 1024 * 1024;
        static constexpr int Dimension = 2048;
        static constexpr int Animations = 4096;
        static constexpr int Images = 65535;
        static constexpr int Sounds = 4096;
        static constexpr int States = 256;
        static constexpr int Texts = 256;
        static constexpr int StringChars = 65536;
        static constexpr int PaletteColours = 256;
        // Records may share bytes, so their totals are capped apart from the file's size.
        static constexpr qint64 DecodedPixels = qint64(64) * 1024 * 1024;
        static constexpr qint64 SoundBytes = qint64(64) * 1024 * 1024;
        static constexpr qint64 FrameParts = qint64(1) << 20; // frames, their images, branches and overlays
    };

    static std::optional<Character> read(QByteArrayView file, QString *error = nullptr);
    static std::optional<Character> readFile(const QString &path, QString *error = nullptr);
};
