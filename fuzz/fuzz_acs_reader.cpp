// Any bytes a user may pick as a character file: read, and when they read, every frame composed with and
// without a mouth and every animation stepped through as a player would.

#include "shell/character/AcsReader.h"
#include "shell/character/FrameStepper.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<Character> character = AcsReader::read(bytes);
    if (!character)
        return 0;
    int roll = 0;
    const FrameStepper stepper([&roll](int bound) { return roll++ % bound; });
    // Composing is what a player does frame by frame; a few hundred frames keep the runs quick.
    int composeBudget = 256;
    for (const CharacterAnimation &animation : character->animations) {
        for (const CharacterFrame &frame : animation.frames) {
            if (composeBudget-- <= 0)
                break;
            character->composeFrame(frame);
            character->composeFrame(frame, MouthOverlay::Wide3);
        }
        // A bounded walk: branches may loop for ever, as idle animations do.
        int frame = 0;
        for (qsizetype steps = 0; frame != FrameStepper::Ended && steps < 4 * animation.frames.size(); ++steps)
            frame = stepper.next(animation, frame, steps >= animation.frames.size());
    }
    for (qsizetype i = 0; i < character->images.size(); ++i)
        character->image(int(i));
    return 0;
}
