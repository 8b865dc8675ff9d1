#pragma once

#include "shell/character/Character.h"

#include <QByteArray>

// Writes a character as a .acs file with compressed images, laid out as the character editor lays its
// files out. The character is expected to be consistent (every index in range, image pixels matching
// their size); the voice and balloon bits of its flags follow whether it has a voice and a balloon.
namespace AcsWriter {

QByteArray write(const Character &character);

} // namespace AcsWriter
