#include "shell/character/FrameStepper.h"

#include <QRandomGenerator>

FrameStepper::FrameStepper(Random random) : m_random(std::move(random))
{
    if (!m_random)
        m_random = [](int bound) { return int(QRandomGenerator::global()->bounded(bound)); };
}

int FrameStepper::next(const CharacterAnimation &animation, int frame, bool exiting) const
{
    const qsizetype count = animation.frames.size();
    if (frame < 0 || frame >= count)
        return Ended;
    const CharacterFrame &current = animation.frames.at(frame);
    if (exiting) {
        if (current.exitFrame == CharacterFrame::ExitEnds)
            return Ended;
        if (current.exitFrame >= 0 && current.exitFrame < count)
            return current.exitFrame;
    } else if (!current.branches.isEmpty()) {
        // One roll for all branches: their probabilities share the hundred.
        const int roll = m_random(100);
        int threshold = 0;
        for (const FrameBranch &branch : current.branches) {
            threshold += branch.probability;
            if (roll < threshold && branch.frame < count)
                return branch.frame;
        }
    }
    return frame + 1 < count ? frame + 1 : Ended;
}
