// The desktop character greeting above the panel, then reading a broadcast aloud, for screenshots and for
// listening: assistant_demo [character.acs] [name] [text]. Quits once everything is said.
// With PARLUNE_DEMO_IDLE=N it only shows and idles for N seconds, for measuring what idling costs.
#include "shell/assistant/DesktopAssistant.h"
#include "shell/assistant/SpeechQueue.h"
#include "widgets/FontSubstitutions.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    FontSubstitutions::install();
    const QStringList args = app.arguments();
    const QString path =
        args.value(1, qEnvironmentVariable("PARLUNE_SOURCE_DIR") + QStringLiteral("/resources/character/Helper.acs"));
    const QString name = args.value(2, QStringLiteral("小明"));
    const QString text =
        args.value(3, QStringLiteral("各位同事午安，今天下午三點在第二會議室開會，請準時出席，謝謝。"));

    DesktopAssistant assistant;
    QString error;
    if (!assistant.load(DesktopAssistant::characterIdOf(path), path, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    assistant.placeAboveTaskbar();
    assistant.show();
    if (const int idle = qEnvironmentVariableIntValue("PARLUNE_DEMO_IDLE"); idle > 0) {
        QTimer::singleShot(idle * 1000, &app, &QApplication::quit);
        return app.exec();
    }
    QTimer::singleShot(1500, &app, [&] { assistant.play(QStringLiteral("Greet")); });
    QTimer::singleShot(5000, &app, [&] { assistant.speakBroadcast(name, text); });
    QElapsedTimer clock;
    QObject::connect(assistant.speech(), &SpeechQueue::started, &app, [&clock] { clock.start(); });
    QObject::connect(assistant.speech(), &SpeechQueue::finished, &app, [&clock](const QString &said) {
        std::printf("spoken in %lld ms: %s\n", clock.elapsed(),
                    qPrintable(QString(said).replace(QLatin1Char('\r'), QLatin1Char('|'))));
        std::fflush(stdout);
    });
    QObject::connect(assistant.speech(), &SpeechQueue::drained, &app,
                     [&] { QTimer::singleShot(3000, &app, &QApplication::quit); });
    return app.exec();
}
