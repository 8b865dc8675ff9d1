// The desktop character greeting above the panel, then reading a broadcast aloud, for screenshots and for
// listening: assistant_demo [character.acs] [name] [text]. Quits once everything is said.
// With PARLUNE_DEMO_IDLE=N it only shows and idles for N seconds, silent, reporting where it stands and when
// it hides: for measuring what idling costs and for the X11 test.
#include "shell/assistant/DesktopAssistant.h"
#include "shell/assistant/SpeechQueue.h"
#include "shell/assistant/TextToSpeechBackend.h"
#include "widgets/FontSubstitutions.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

namespace {
class Silence : public SpeechBackend
{
public:
    bool isAvailable() const override { return false; }
    void say(const QString &) override {}
    void stop() override {}
};

void report(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}
} // namespace

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
    const int idle = qEnvironmentVariableIntValue("PARLUNE_DEMO_IDLE");

    std::unique_ptr<SpeechBackend> voice;
    TextToSpeechBackend *desktopVoice = nullptr;
    if (idle > 0) {
        voice = std::make_unique<Silence>();
    } else {
        voice = std::make_unique<TextToSpeechBackend>();
        desktopVoice = static_cast<TextToSpeechBackend *>(voice.get());
    }
    DesktopAssistant assistant(std::move(voice));
    QString error;
    if (!assistant.load(DesktopAssistant::characterIdOf(path), path, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QObject::connect(&assistant, &DesktopAssistant::hidden, &app, [](const QString &id, CharacterWindow::Cause cause) {
        report(
            QStringLiteral("hidden %1 %2")
                .arg(id, cause == CharacterWindow::Cause::User ? QStringLiteral("user") : QStringLiteral("program")));
    });
    assistant.placeAboveTaskbar();
    assistant.show();
    const QRect frame = assistant.window()->frameGeometry();
    report(QStringLiteral("ready %1 %2 %3 %4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height()));
    if (idle > 0) {
        QTimer::singleShot(idle * 1000, &app, &QApplication::quit);
        return app.exec();
    }
    QTimer::singleShot(1500, &app, [&] { assistant.play(QStringLiteral("Greet")); });
    QTimer::singleShot(5000, &app, [&] { assistant.speakBroadcast(name, text); });
    QElapsedTimer clock;
    QObject::connect(assistant.speech(), &SpeechQueue::started, &app, [&clock] { clock.start(); });
    QObject::connect(assistant.speech(), &SpeechQueue::finished, &app, [&clock, desktopVoice](const QString &said) {
        report(QStringLiteral("spoken in %1 ms by \"%2\" (%3): %4")
                   .arg(clock.elapsed())
                   .arg(desktopVoice->voiceName(), desktopVoice->localeName(),
                        QString(said).replace(QLatin1Char('\r'), QLatin1Char('|'))));
    });
    QObject::connect(assistant.speech(), &SpeechQueue::drained, &app,
                     [&] { QTimer::singleShot(3000, &app, &QApplication::quit); });
    return app.exec();
}
