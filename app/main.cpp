#include "app/TForm_Parlune.h"
#include "automation/AutomationChannel.h"
#include "platform/DisplayPlatform.h"
#include "platform/SingleInstance.h"
#include "shell/assistant/AssistantController.h"

#include <QApplication>

#include <memory>

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Parlune"));

    // A later start hands its request to the running instance and ends before it opens anything.
    SingleInstance instance;
    if (!instance.acquire()) {
        instance.passRequest();
        return 0;
    }

    host::PreferX11UnderWayland();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    instance.listen();

    // Hosts that must stay quiet (the lab's many instances on one machine) give the character no voice.
    std::unique_ptr<SpeechBackend> voice;
    if (qEnvironmentVariableIsSet("PARLUNE_NO_VOICE"))
        voice = std::make_unique<NoVoiceBackend>();
    TForm_Parlune console({}, {}, std::move(voice));
    QObject::connect(&instance, &SingleInstance::activationRequested, &console, &TForm_Parlune::ConsoleActivate);
    std::unique_ptr<AutomationChannel> automation;
    if (const QString path = qEnvironmentVariable(AutomationChannel::EnvironmentVariable); !path.isEmpty()) {
        automation = std::make_unique<AutomationChannel>(AutomationChannel::Console{console, console.socketEngine(),
                                                                                    *console.RxMemoryData_Friend,
                                                                                    *console.RxMemoryData_Message},
                                                         path);
        QObject::connect(&console, &TForm_Parlune::noticeShown, automation.get(), &AutomationChannel::recordNotice);
        QObject::connect(&console.assistant(), &AssistantController::spoken, automation.get(),
                         &AutomationChannel::recordSpeech);
    }
    console.FormCreate();
    return app.exec();
}
