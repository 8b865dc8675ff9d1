#include "shell/character/Character.h"

const CharacterAnimation *Character::animation(QStringView name) const
{
    for (const CharacterAnimation &candidate : animations) {
        if (candidate.name.compare(name, Qt::CaseInsensitive) == 0)
            return &candidate;
    }
    return nullptr;
}

QStringList Character::animationNames() const
{
    QStringList names;
    names.reserve(animations.size());
    for (const CharacterAnimation &each : animations)
        names.append(each.name);
    return names;
}

QStringList Character::stateAnimations(QStringView state) const
{
    QStringList names;
    for (const CharacterState &each : states) {
        if (each.name.compare(state, Qt::CaseInsensitive) != 0)
            continue;
        for (const QString &name : each.animations) {
            if (const CharacterAnimation *found = animation(name))
                names.append(found->name);
        }
    }
    return names;
}

const CharacterText *Character::text(quint16 language) const
{
    const CharacterText *english = nullptr;
    for (const CharacterText &each : texts) {
        if (each.language == language)
            return &each;
        // The primary language is the low ten bits: 0x0409 and 0x0809 are both English.
        if (!english && (each.language & 0x3FF) == 0x0009)
            english = &each;
    }
    if (english)
        return english;
    return texts.isEmpty() ? nullptr : &texts.first();
}

QImage Character::composeFrame(const CharacterFrame &frame, int mouth) const
{
    QImage target(width, height, QImage::Format_ARGB32);
    target.fill(Qt::transparent);
    const MouthOverlay *overlay = nullptr;
    for (const MouthOverlay &each : frame.overlays) {
        if (each.mouth == mouth)
            overlay = &each;
    }
    // The first image lies on top, so the list is painted from its end.
    for (qsizetype i = frame.images.size() - 1; i >= 0; --i) {
        if (i == 0 && overlay && overlay->replacesTopImage)
            continue;
        const FrameImage &layer = frame.images.at(i);
        drawImage(target, layer.image, layer.x, layer.y);
    }
    if (overlay)
        drawImage(target, overlay->image, overlay->x, overlay->y);
    return target;
}

QImage Character::image(int index) const
{
    if (index < 0 || index >= images.size())
        return {};
    const CharacterImage &source = images.at(index);
    QImage target(source.width, source.height, QImage::Format_ARGB32);
    target.fill(Qt::transparent);
    drawImage(target, index, 0, 0);
    return target;
}

void Character::drawImage(QImage &target, int index, int x, int y) const
{
    if (index < 0 || index >= images.size())
        return;
    const CharacterImage &source = images.at(index);
    const int left = qMax(0, -x);
    const int right = qMin(source.width, target.width() - x);
    const int top = qMax(0, -y);
    const int bottom = qMin(source.height, target.height() - y);
    const auto *pixels = reinterpret_cast<const uchar *>(source.pixels.constData());
    for (int row = top; row < bottom; ++row) {
        const uchar *from = pixels + qsizetype(row) * source.width;
        auto *to = reinterpret_cast<QRgb *>(target.scanLine(row + y)) + x;
        for (int column = left; column < right; ++column) {
            const int colour = from[column];
            if (colour != transparentIndex && colour < palette.size())
                to[column] = palette.at(colour) | 0xFF000000u;
        }
    }
}
