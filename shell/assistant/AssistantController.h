#pragma once

#include <QByteArray>
#include <QFileDialog>
#include <QObject>
#include <QPointer>
#include <QString>

class ConsoleState;
class DesktopAssistant;
class SettingsStore;

// The console's rules for its desktop assistant: which character file is loaded and when, the switch
// "Parlune 助手" and the choice "選擇助手", the check mark following the character's own show and hide,
// and reading broadcasts aloud. A call that fails is shown to the user in an error box with the failure's
// own text; none of them waits for the user.
class AssistantController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AssistantController)

public:
    static constexpr char DialogFilter[] = "Agent File (*.acs)";

    AssistantController(ConsoleState &state, SettingsStore &store, DesktopAssistant &assistant,
                        QObject *parent = nullptr);
    ~AssistantController() override;

    // Loads the character named by SYS "Helper", puts it above the panel at the bottom right and shows it.
    bool LoadAssistant();
    // The end of start-up: the check mark shows whether a character came up.
    void startupDone();
    // Shutdown: the loaded character goes.
    void UnloadAssistant();

    // "Parlune 助手", after the menu has inverted and stored its check mark.
    void MenuItem_HelperClick();
    // "選擇助手": opens the file dialog; the choice is loaded once the user has made it.
    void MenuItem_HelperSelClick();

    // Reads a broadcast aloud while a character is loaded, shown or hidden. False when it is not read; the
    // broadcast itself never depends on it.
    bool SpeakBroadcast(const QByteArray &name, const QByteArray &body);

    // The file dialog while it is open.
    QFileDialog *OpenDialog_Helper() const { return m_dialog; }

Q_SIGNALS:
    // Each text as the character starts to say it, in order.
    void spoken(const QString &text);

private:
    void helperChosen(const QString &path);
    QString storedPath() const;
    static void showError(const QString &text);

    ConsoleState &m_state;
    SettingsStore &m_store;
    DesktopAssistant &m_assistant;
    QPointer<QFileDialog> m_dialog;
};
