#include "engine/AutomationChannel.h"
#include "engine/TForm_Parlune.h"
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
    if (const QString path = qEnvironmentVariable(AutomationChannel::EnvironmentVariable); !path.isEmpty())
        automation = std::make_unique<AutomationChannel>(console, path);
    console.FormCreate();
    return app.exec();
}
