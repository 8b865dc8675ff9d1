#include "shell/assistant/AssistantController.h"

#include "base/Cp950.h"
#include "engine/ConsoleState.h"
#include "engine/SettingWrites.h"
#include "engine/SettingsNames.h"
#include "engine/SettingsStore.h"
#include "shell/assistant/CharacterWindow.h"
#include "shell/assistant/DesktopAssistant.h"
#include "shell/assistant/SpeechQueue.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>

AssistantController::AssistantController(ConsoleState &state, SettingsStore &store, DesktopAssistant &assistant,
                                         QObject *parent)
    : QObject(parent), m_state(state), m_store(store), m_assistant(assistant)
{
    // The character's own events set the mark, whoever caused them; they are not the user's choice, so they
    // are not stored.
    connect(&m_assistant, &DesktopAssistant::shown, this, [this] { m_state.setMark(settings::Switch::Helper, true); });
    connect(&m_assistant, &DesktopAssistant::hidden, this,
            [this] { m_state.setMark(settings::Switch::Helper, false); });
    connect(m_assistant.speech(), &SpeechQueue::started, this, [this](const QString &text) { Q_EMIT spoken(text); });
}

AssistantController::~AssistantController()
{
    delete m_dialog;
}

QString AssistantController::storedPath() const
{
    return cp950::decode(settings::readHelperPath(m_store).value_or(QByteArray()));
}

bool AssistantController::LoadAssistant()
{
    const QString path = storedPath();
    QString error;
    if (!m_assistant.load(DesktopAssistant::characterIdOf(path), path, &error)) {
        showError(error);
        return false;
    }
    m_assistant.placeAboveTaskbar();
    m_assistant.show();
    return true;
}

void AssistantController::startupDone()
{
    // Start-up took the stored switch before the character could fail to load.
    m_state.setMark(settings::Switch::Helper, m_assistant.isLoaded() && m_assistant.window()->isCharacterShown());
}

void AssistantController::UnloadAssistant()
{
    // By the name it was loaded under: the stored path may have been changed behind the program's back, and
    // the character must go with the program all the same.
    if (m_assistant.isLoaded())
        m_assistant.unload(m_assistant.characterId());
}

void AssistantController::MenuItem_HelperClick()
{
    if (!m_state.helper()) {
        m_assistant.hide();
        return;
    }
    // Shown again where it was left, not placed again.
    if (m_assistant.isLoaded()) {
        m_assistant.show();
        return;
    }
    if (!m_store.openKey(settings::SystemKey))
        return;
    if (QFileInfo(storedPath()).isFile())
        LoadAssistant();
    else
        MenuItem_HelperSelClick();
}

void AssistantController::MenuItem_HelperSelClick()
{
    if (m_dialog && m_dialog->isVisible()) {
        m_dialog->raise();
        m_dialog->activateWindow();
        return;
    }
    // A dialog that has been answered is on its way out.
    if (m_dialog)
        m_dialog->deleteLater();
    m_dialog = new QFileDialog(nullptr, QString(), QString(), QLatin1String(DialogFilter));
    m_dialog->setObjectName(QStringLiteral("OpenDialog_Helper"));
    m_dialog->setFileMode(QFileDialog::ExistingFile);
    m_dialog->setAcceptMode(QFileDialog::AcceptOpen);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_dialog, &QFileDialog::fileSelected, this, &AssistantController::helperChosen);
    m_dialog->open();
}

void AssistantController::helperChosen(const QString &chosen)
{
    const QString path = QFileInfo(chosen).absoluteFilePath();
    if (!m_store.openKey(settings::SystemKey))
        return;
    bool encodable = false;
    const QByteArray stored = cp950::encode(path, &encodable);
    // Stored with '?' in it, the path would name no file at the next start; the loaded character stays.
    if (!encodable) {
        showError(QStringLiteral("The path \"%1\" cannot be stored in code page 950.").arg(path));
        return;
    }
    UnloadAssistant();
    settings::writeHelperPath(m_store, stored);
    LoadAssistant();
}

bool AssistantController::SpeakBroadcast(const QByteArray &name, const QByteArray &body)
{
    // A failure here is not shown: a peer decides how often it would happen, and the broadcast still reaches
    // the ticker.
    return m_assistant.isLoaded() && m_assistant.speakBroadcast(name, body);
}

void AssistantController::showError(const QString &text)
{
    // Not modal in the sense of waiting: start-up and the event loop go on while the user reads it.
    auto *box =
        new QMessageBox(QMessageBox::Critical, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok);
    box->setObjectName(QStringLiteral("ErrorMessageBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}
