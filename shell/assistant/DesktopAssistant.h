#pragma once

#include "shell/assistant/CharacterWindow.h"
#include "shell/assistant/SpeechBackend.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class CharacterSounds;
class SpeechBalloon;
class SpeechQueue;

// The desktop character as the console drives it: load a character file under an identifier, place,
// show, hide, speak and play, and hear back when the character shows or hides. Calls return at once; the
// character animates and speaks on its own. Calls that cannot be carried out return false with a text for
// the user.
class DesktopAssistant : public QObject
{
    Q_OBJECT

public:
    // Without a backend the desktop's voice is used.
    explicit DesktopAssistant(std::unique_ptr<SpeechBackend> backend = {}, QObject *parent = nullptr);
    ~DesktopAssistant() override;

    // The identifier a character file goes by: its file name up to the first dot.
    static QString characterIdOf(const QString &path);
    // What a broadcast from `name` with the plain text `text` is read as.
    static QString broadcastSpeech(const QString &name, const QString &text);

    bool load(const QString &id, const QString &path, QString *error = nullptr);
    bool unload(const QString &id, QString *error = nullptr);
    bool isLoaded() const { return !m_id.isEmpty(); }
    QString characterId() const { return m_id; }

    int width() const;
    int height() const;
    bool moveTo(int x, int y, QString *error = nullptr);
    // The window rule of the bottom-right corner above the panel, applied to the character's frame.
    bool placeAboveTaskbar(QString *error = nullptr);
    bool show(QString *error = nullptr);
    bool hide(QString *error = nullptr);
    bool speak(const QString &text, QString *error = nullptr);
    bool play(const QString &animation, QString *error = nullptr);
    // Reads the broadcast's name and text, then greets.
    bool speakBroadcast(const QString &name, const QString &plainText, QString *error = nullptr);
    // The same from a broadcast's fields as they arrive: the name in code page 950 and the RTF body.
    bool speakBroadcast(const QByteArray &name, const QByteArray &body, QString *error = nullptr);
    // A broadcast body as the voice reads it: its plain text, paragraphs joined by CR LF.
    static QString plainBody(const QByteArray &body);

    CharacterWindow *window() const { return m_window.get(); }
    SpeechBalloon *balloon() const { return m_balloon.get(); }
    SpeechQueue *speech() const { return m_speech; }
    CharacterSounds *sounds() const { return m_sounds; }

Q_SIGNALS:
    // The character's own show and hide events, with its identifier and why it happened.
    void shown(const QString &id, CharacterWindow::Cause cause);
    void hidden(const QString &id, CharacterWindow::Cause cause);

private:
    bool ready(QString *error) const;
    void startSpeaking(const QString &text, int expectedMs);
    void stopSpeaking();

    std::unique_ptr<SpeechBackend> m_backend;
    SpeechQueue *m_speech = nullptr;
    std::unique_ptr<CharacterWindow> m_window;
    std::unique_ptr<SpeechBalloon> m_balloon;
    CharacterSounds *m_sounds = nullptr;
    QString m_id;
};
