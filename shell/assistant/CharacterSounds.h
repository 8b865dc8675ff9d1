#pragma once

#include "shell/character/Character.h"

#include <QHash>
#include <QObject>
#include <QTemporaryDir>

#include <memory>

class QSoundEffect;

// Plays the sounds a character's frames start. The sound effect player reads files only, so each sound is
// written out the first time it is played; a character file may hold thousands, so only the most recently
// used stay loaded.
class CharacterSounds : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxLoaded = 16;

    explicit CharacterSounds(QObject *parent = nullptr);
    ~CharacterSounds() override;

    void setCharacter(std::shared_ptr<const Character> character);
    // False for an index the character does not have or a sound that could not be written out.
    bool play(int sound);
    int loaded() const { return int(m_effects.size()); }

private:
    QSoundEffect *effect(int sound);

    std::shared_ptr<const Character> m_character;
    std::unique_ptr<QTemporaryDir> m_folder;
    QHash<int, QSoundEffect *> m_effects;
    QList<int> m_recent; // least recently played first
};
