#include "app/TForm_Parlune.h"
#include "automation/AutomationChannel.h"
#include "platform/SingleInstance.h"

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

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    instance.listen();

    TForm_Parlune console;
    QObject::connect(&instance, &SingleInstance::activationRequested, &console, &TForm_Parlune::ConsoleActivate);
    std::unique_ptr<AutomationChannel> automation;
    if (const QString path = qEnvironmentVariable(AutomationChannel::EnvironmentVariable); !path.isEmpty()) {
        automation = std::make_unique<AutomationChannel>(AutomationChannel::Console{console, console.socketEngine(),
                                                                                    *console.RxMemoryData_Friend,
                                                                                    *console.RxMemoryData_Message},
                                                         path);
        QObject::connect(&console, &TForm_Parlune::noticeShown, automation.get(), &AutomationChannel::recordNotice);
    }
    console.FormCreate();
    return app.exec();
}
