#pragma once

#include "shell/character/Character.h"

#include <functional>

// Chooses the frame that follows another while an animation plays: a frame's branches are taken by chance,
// and once the animation is asked to stop, its exit branches lead it out.
class FrameStepper
{
public:
    // A uniform random number in [0, bound); tests inject a fixed sequence.
    using Random = std::function<int(int bound)>;

    static constexpr int Ended = -1;

    explicit FrameStepper(Random random = {});

    // The frame after `frame`, or Ended. While exiting, random branches are no longer taken. Exit branches
    // of a hostile file may form a cycle, so a player gives an exit at most as many frames as the animation has.
    int next(const CharacterAnimation &animation, int frame, bool exiting = false) const;

private:
    Random m_random;
};
