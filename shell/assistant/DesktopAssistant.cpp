#include "shell/assistant/DesktopAssistant.h"

#include "base/Cp950.h"
#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"
#include "shell/assistant/CharacterSounds.h"
#include "shell/assistant/SpeechBalloon.h"
#include "shell/assistant/SpeechQueue.h"
#include "shell/assistant/TextToSpeechBackend.h"
#include "shell/character/AcsReader.h"
#include "widgets/Placement.h"

#include <QGuiApplication>
#include <QTextCursor>
#include <QTextDocument>

DesktopAssistant::DesktopAssistant(std::unique_ptr<SpeechBackend> backend, QObject *parent)
    : QObject(parent), m_backend(backend ? std::move(backend) : std::make_unique<TextToSpeechBackend>()),
      m_speech(new SpeechQueue(m_backend.get(), this)), m_window(std::make_unique<CharacterWindow>()),
      m_balloon(std::make_unique<SpeechBalloon>()), m_sounds(new CharacterSounds(this))
{
    connect(m_window.get(), &CharacterWindow::soundCue, m_sounds, &CharacterSounds::play);
    connect(m_window.get(), &CharacterWindow::characterShown, this,
            [this](CharacterWindow::Cause cause) { Q_EMIT shown(m_id, cause); });
    connect(m_window.get(), &CharacterWindow::characterHidden, this, [this](CharacterWindow::Cause cause) {
        m_balloon->hide();
        Q_EMIT hidden(m_id, cause);
    });
    connect(m_window.get(), &CharacterWindow::moved, m_balloon.get(), &SpeechBalloon::placeNear);
    connect(m_speech, &SpeechQueue::started, this, &DesktopAssistant::startSpeaking);
    connect(m_speech, &SpeechQueue::finished, this, [this] {
        m_window->setSpeaking(false);
        m_balloon->finish();
    });
}

DesktopAssistant::~DesktopAssistant() = default;

QString DesktopAssistant::characterIdOf(const QString &path)
{
    const qsizetype separator =
        std::max(path.lastIndexOf(QLatin1Char('\\')),
                 std::max(path.lastIndexOf(QLatin1Char(':')), path.lastIndexOf(QLatin1Char('/'))));
    const QString name = path.mid(separator + 1);
    return name.left(name.indexOf(QLatin1Char('.')));
}

QString DesktopAssistant::broadcastSpeech(const QString &name, const QString &text)
{
    return QStringLiteral("暱稱：") + name + QLatin1Char('\r') + QStringLiteral("內容：") + text;
}

bool DesktopAssistant::load(const QString &id, const QString &path, QString *error)
{
    // A character without a name could be neither found nor unloaded again.
    if (id.isEmpty()) {
        if (error)
            *error = QStringLiteral("The file \"%1\" gives the character no name.").arg(path);
        return false;
    }
    std::optional<Character> character = AcsReader::readFile(path, error);
    if (!character)
        return false;
    auto loaded = std::make_shared<const Character>(std::move(*character));
    m_window->setCharacter(loaded);
    m_sounds->setCharacter(loaded);
    m_balloon->hide();
    m_balloon->setStyle(m_window->character()->balloon.value_or(CharacterBalloon()));
    m_id = id;
    return true;
}

bool DesktopAssistant::unload(const QString &id, QString *error)
{
    if (m_id.isEmpty() || id.compare(m_id, Qt::CaseInsensitive) != 0) {
        if (error)
            *error = QStringLiteral("The character \"%1\" is not loaded.").arg(id);
        return false;
    }
    // The voice goes on with what it was given: the queue is not the character's.
    m_window->setCharacter(nullptr);
    m_sounds->setCharacter(nullptr);
    m_balloon->hide();
    m_id.clear();
    return true;
}

bool DesktopAssistant::ready(QString *error) const
{
    if (isLoaded())
        return true;
    if (error)
        *error = QStringLiteral("No character is loaded.");
    return false;
}

int DesktopAssistant::width() const
{
    return m_window->character() ? m_window->character()->width : 0;
}

int DesktopAssistant::height() const
{
    return m_window->character() ? m_window->character()->height : 0;
}

bool DesktopAssistant::moveTo(int x, int y, QString *error)
{
    if (!ready(error))
        return false;
    m_window->move(x, y);
    return true;
}

bool DesktopAssistant::placeAboveTaskbar(QString *error)
{
    if (!ready(error))
        return false;
    PlaceAboveTaskbar(m_window.get());
    return true;
}

bool DesktopAssistant::show(QString *error)
{
    if (!ready(error))
        return false;
    m_window->showCharacter();
    return true;
}

bool DesktopAssistant::hide(QString *error)
{
    if (!ready(error))
        return false;
    m_window->hideCharacter();
    return true;
}

bool DesktopAssistant::speak(const QString &text, QString *error)
{
    if (!ready(error))
        return false;
    if (!m_speech->enqueue(text)) {
        if (error)
            *error = QStringLiteral("The character has too much to say already.");
        return false;
    }
    return true;
}

bool DesktopAssistant::play(const QString &animation, QString *error)
{
    if (!ready(error))
        return false;
    if (!m_window->play(animation)) {
        if (error)
            *error = QStringLiteral("The character cannot play \"%1\".").arg(animation);
        return false;
    }
    return true;
}

bool DesktopAssistant::speakBroadcast(const QString &name, const QString &plainText, QString *error)
{
    return speak(broadcastSpeech(name, plainText), error) && play(QStringLiteral("Greet"), error);
}

bool DesktopAssistant::speakBroadcast(const QByteArray &name, const QByteArray &body, QString *error)
{
    return speakBroadcast(cp950::decode(name), plainBody(body), error);
}

QString DesktopAssistant::plainBody(const QByteArray &body)
{
    QTextDocument document;
    QTextCursor cursor(&document);
    RtfReader::insertText(cursor, body);
    return RtfWriter::plainText(document);
}

void DesktopAssistant::startSpeaking(const QString &text, int expectedMs)
{
    m_window->setSpeaking(true);
    // A hidden character is heard, not seen.
    if (!m_window->isCharacterShown())
        return;
    m_balloon->placeNear(m_window->frameGeometry());
    m_balloon->say(text, expectedMs);
    m_balloon->show();
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        m_balloon->raise();
}
