#include "platform/InputMethod.h"

#include "base/Cp950.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <optional>

namespace {

constexpr int CommandTimeoutMs = 1000;
constexpr int BusTimeoutMs = 1000;

// The frameworks speak UTF-8; names here are code page 950 like every other text of the program.
QByteArray fromFramework(const QString &name)
{
    return cp950::encode(name);
}

QString toFramework(const QByteArray &name)
{
    return cp950::decode(name);
}

bool sameName(const QByteArray &a, const QByteArray &b)
{
    // Compared as text: folding the bytes would fold Big5 trail bytes that happen to be letters.
    return cp950::decode(a).compare(cp950::decode(b), Qt::CaseInsensitive) == 0;
}

std::optional<QByteArray> runCommand(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForFinished(CommandTimeoutMs)) {
        process.kill();
        process.waitForFinished(CommandTimeoutMs);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

class IbusFramework final : public InputMethodFramework
{
public:
    explicit IbusFramework(QString program) : m_program(std::move(program)) {}
    Q_DISABLE_COPY_MOVE(IbusFramework)

    QByteArray activeEngine() override
    {
        return fromFramework(
            QString::fromUtf8(runCommand(m_program, {QStringLiteral("engine")}).value_or(QByteArray()).trimmed()));
    }
    QByteArrayList inputMethods() override
    {
        auto output = runCommand(m_program, {QStringLiteral("list-engine"), QStringLiteral("--name-only")});
        if (!output)
            output = runCommand(m_program, {QStringLiteral("list-engine")});
        QByteArrayList names;
        for (const QByteArray &name : ParseIbusEngineList(output.value_or(QByteArray())))
            names.append(fromFramework(QString::fromUtf8(name)));
        return names;
    }
    void activateEngine(const QByteArray &engine) override
    {
        runCommand(m_program, {QStringLiteral("engine"), toFramework(engine)});
    }

private:
    QString m_program;
};

const QString Fcitx5Service = QStringLiteral("org.fcitx.Fcitx5");

class Fcitx5Framework final : public InputMethodFramework
{
public:
    Fcitx5Framework() = default;
    Q_DISABLE_COPY_MOVE(Fcitx5Framework)

    QByteArray activeEngine() override
    {
        const QDBusMessage reply = call(QStringLiteral("CurrentInputMethod"), {});
        return fromFramework(firstString(reply));
    }
    QByteArrayList inputMethods() override
    {
        const QString group = firstString(call(QStringLiteral("CurrentInputMethodGroup"), {}));
        if (group.isEmpty())
            return {};
        // InputMethodGroupInfo answers (layout, a(ss) of input method and layout).
        const QDBusMessage reply = call(QStringLiteral("InputMethodGroupInfo"), {group});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 2)
            return {};
        QByteArrayList names;
        const QDBusArgument entries = reply.arguments().at(1).value<QDBusArgument>();
        if (entries.currentType() != QDBusArgument::ArrayType)
            return {};
        entries.beginArray();
        while (!entries.atEnd()) {
            QString name, layout;
            entries.beginStructure();
            entries >> name >> layout;
            entries.endStructure();
            if (!name.startsWith(QStringLiteral("keyboard-")))
                names.append(fromFramework(name));
        }
        entries.endArray();
        return names;
    }
    void activateEngine(const QByteArray &engine) override
    {
        call(QStringLiteral("SetCurrentIM"), {toFramework(engine)});
    }

private:
    static QDBusMessage call(const QString &method, const QVariantList &arguments)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(Fcitx5Service, QStringLiteral("/controller"),
                                                              QStringLiteral("org.fcitx.Fcitx.Controller1"), method);
        message.setArguments(arguments);
        return QDBusConnection::sessionBus().call(message, QDBus::Block, BusTimeoutMs);
    }
    static QString firstString(const QDBusMessage &reply)
    {
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        return reply.arguments().constFirst().toString();
    }
};

// Without an address libdbus would try to autolaunch a bus, which can start a daemon.
bool sessionBusAvailable()
{
    if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

bool isEastAsianLanguage(const QByteArray &locale)
{
    const QByteArray language = locale.left(2).toLower();
    if (language != "zh" && language != "ja" && language != "ko")
        return false;
    return locale.size() == 2 || locale[2] == '_' || locale[2] == '.' || locale[2] == '@';
}

} // namespace

InputMethodSwitcher::InputMethodSwitcher(std::unique_ptr<InputMethodFramework> framework, bool eastAsianLocale)
    : m_framework(std::move(framework)), m_eastAsianLocale(eastAsianLocale)
{
}

void InputMethodSwitcher::readListOnce()
{
    if (m_listRead)
        return;
    m_listRead = true;
    m_inputMethods = m_framework->inputMethods();
    m_firstEngine = m_framework->activeEngine();
    m_firstImeName = m_inputMethods.contains(m_firstEngine) ? m_firstEngine : QByteArray();
}

QByteArray InputMethodSwitcher::currentImeName()
{
    if (!m_eastAsianLocale || !m_framework)
        return {};
    readListOnce();
    const QByteArray active = m_framework->activeEngine();
    return !active.isEmpty() && m_inputMethods.contains(active) ? active : QByteArray();
}

void InputMethodSwitcher::activateIme(const QByteArray &name)
{
    if (!m_eastAsianLocale || !m_framework || name == " ")
        return;
    readListOnce();
    if (sameName(name, m_firstImeName) || m_inputMethods.isEmpty())
        return;
    QByteArray chosen = m_firstEngine;
    for (const QByteArray &inputMethod : std::as_const(m_inputMethods)) {
        if (sameName(inputMethod, name)) {
            chosen = inputMethod;
            break;
        }
    }
    if (!chosen.isEmpty())
        m_framework->activateEngine(chosen);
}

bool IsEastAsianLocale(const QByteArray &lcAll, const QByteArray &lcCtype, const QByteArray &lang)
{
    for (const QByteArray *locale : {&lcAll, &lcCtype, &lang}) {
        if (!locale->isEmpty())
            return isEastAsianLanguage(*locale);
    }
    return false;
}

std::unique_ptr<InputMethodFramework> DetectInputMethodFramework()
{
    if (sessionBusAvailable()) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(Fcitx5Service))
            return std::make_unique<Fcitx5Framework>();
    }
    const QString ibus = QStandardPaths::findExecutable(QStringLiteral("ibus"));
    if (!ibus.isEmpty() && !runCommand(ibus, {QStringLiteral("engine")}).value_or(QByteArray()).trimmed().isEmpty())
        return std::make_unique<IbusFramework>(ibus);
    return nullptr;
}

QByteArrayList ParseIbusEngineList(const QByteArray &output)
{
    QByteArrayList names;
    for (const QByteArray &line : output.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith("language:"))
            continue;
        // "  chewing - Chewing" in the long listing, "chewing" with --name-only.
        const qsizetype space = trimmed.indexOf(' ');
        const QByteArray name = space < 0 ? trimmed : trimmed.left(space);
        if (!name.startsWith("xkb:") && !names.contains(name))
            names.append(name);
    }
    return names;
}

namespace {

InputMethodSwitcher &processSwitcher()
{
    static InputMethodSwitcher switcher = [] {
        const bool eastAsian = IsEastAsianLocale(qgetenv("LC_ALL"), qgetenv("LC_CTYPE"), qgetenv("LANG"));
        // Outside an East Asian locale nothing is asked of the session at all.
        return InputMethodSwitcher(eastAsian ? DetectInputMethodFramework() : nullptr, eastAsian);
    }();
    return switcher;
}

} // namespace

QByteArray CurrentImeName()
{
    return processSwitcher().currentImeName();
}

void ActivateIme(const QByteArray &name)
{
    processSwitcher().activateIme(name);
}
