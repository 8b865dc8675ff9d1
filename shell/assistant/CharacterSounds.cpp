#include "shell/assistant/CharacterSounds.h"

#include <QFile>
#include <QSoundEffect>
#include <QUrl>

CharacterSounds::CharacterSounds(QObject *parent) : QObject(parent) {}

CharacterSounds::~CharacterSounds() = default;

void CharacterSounds::setCharacter(std::shared_ptr<const Character> character)
{
    qDeleteAll(m_effects);
    m_effects.clear();
    m_recent.clear();
    m_folder.reset();
    m_character = std::move(character);
}

bool CharacterSounds::play(int sound)
{
    QSoundEffect *player = effect(sound);
    if (!player)
        return false;
    m_recent.removeOne(sound);
    m_recent.append(sound);
    // Fire and forget; without an audio device the effect stays silent.
    player->play();
    return true;
}

QSoundEffect *CharacterSounds::effect(int sound)
{
    if (!m_character || sound < 0 || sound >= m_character->sounds.size())
        return nullptr;
    if (QSoundEffect *known = m_effects.value(sound))
        return known;
    if (!m_folder) {
        m_folder = std::make_unique<QTemporaryDir>();
        if (!m_folder->isValid()) {
            m_folder.reset();
            return nullptr;
        }
    }
    const QString path = m_folder->filePath(QStringLiteral("%1.wav").arg(sound));
    if (!QFile::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(m_character->sounds.at(sound)) < 0)
            return nullptr;
    }
    while (m_effects.size() >= MaxLoaded && !m_recent.isEmpty())
        delete m_effects.take(m_recent.takeFirst());
    auto *player = new QSoundEffect(this);
    player->setSource(QUrl::fromLocalFile(path));
    m_effects.insert(sound, player);
    return player;
}
