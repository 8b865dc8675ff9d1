#include "engine/ConsoleState.h"

#include "engine/NoticeSink.h"
#include "engine/NoticeText.h"
#include "engine/SettingWrites.h"
#include "engine/StartupSettings.h"
#include "engine/WireTexts.h"

#include <QMetaMethod>
#include <QMetaProperty>

ConsoleState::ConsoleState(SettingsStore &store, NoticeSink &notices, QObject *parent)
    : QObject(parent), m_store(store), m_notices(notices), m_switches(StartupSettings::initialSwitches())
{
}

ConsoleState::~ConsoleState() = default;

bool ConsoleState::setOwnNickname(const QByteArray &nickname)
{
    if (m_values.OwnNickname != nickname) {
        m_values.OwnNickname = nickname;
        Q_EMIT ownNicknameChanged();
    }
    return settings::writeNickname(m_store, nickname);
}

bool ConsoleState::setOwnFace(const QByteArray &face)
{
    if (m_values.OwnFace != face) {
        m_values.OwnFace = face;
        Q_EMIT ownFaceChanged();
    }
    return settings::writeFace(m_store, face);
}

bool ConsoleState::setOwnPassword(const QByteArray &password)
{
    m_values.OwnPassword = password;
    return settings::writePassword(m_store, password);
}

void ConsoleState::setImeName(const QByteArray &imeName)
{
    if (m_values.ImeName == imeName)
        return;
    m_values.ImeName = imeName;
    Q_EMIT imeNameChanged();
}

void ConsoleState::setOwnAddress(const QByteArray &address)
{
    if (m_values.OwnAddress == address)
        return;
    m_values.OwnAddress = address;
    Q_EMIT ownAddressChanged();
}

bool ConsoleState::storeImeName()
{
    return settings::writeIme(m_store, m_values.ImeName);
}

void ConsoleState::keep(Switch which, bool on)
{
    if (isOn(which) == on)
        return;
    m_switches[size_t(which)] = on;
    // The property's own signal, found through the table's property name.
    const QMetaObject *meta = metaObject();
    const QMetaProperty property = meta->property(meta->indexOfProperty(settings::row(which).property));
    property.notifySignal().invoke(this, Qt::DirectConnection, Q_ARG(bool, on));
    if (which == Switch::ShowBroadcasting)
        Q_EMIT broadcastAutoHideVisibleChanged(on);
    Q_EMIT switchChanged(which, on);
}

bool ConsoleState::setOn(Switch which, bool on)
{
    keep(which, on);
    const bool written = settings::writeSwitch(m_store, which, on, m_executablePath);
    if (!written && settings::row(which).noticeWhenRefused)
        m_notices.ShowNotice(NoticeText::build(wire::RegistryWriteFailed), QByteArray(wire::RegistryErrorCaption));
    return written;
}

void ConsoleState::keepStatus(Presence::Status status)
{
    if (m_status == status)
        return;
    m_status = status;
    Q_EMIT statusChanged(status);
}

bool ConsoleState::setStatus(Presence::Status status)
{
    keepStatus(status);
    return settings::writeState(m_store, status);
}

void ConsoleState::apply(const StartupSettings &settings)
{
    if (m_values.OwnNickname != settings.OwnNickname) {
        m_values.OwnNickname = settings.OwnNickname;
        Q_EMIT ownNicknameChanged();
    }
    if (m_values.OwnFace != settings.OwnFace) {
        m_values.OwnFace = settings.OwnFace;
        Q_EMIT ownFaceChanged();
    }
    m_values.OwnPassword = settings.OwnPassword;
    setImeName(settings.ImeName);
    keepStatus(settings.State);
    for (const settings::SwitchRow &row : settings::Switches)
        keep(row.which, settings.on(row.which));
}

void ConsoleState::load(const StartupEnvironment &environment)
{
    m_executablePath = environment.ExecutablePath;
    StartupHooks hooks;
    hooks.AnnouncePresence = [this](const StartupSettings &sofar) {
        apply(sofar);
        Q_EMIT presenceDue();
    };
    hooks.LoadAssistant = [this](const StartupSettings &) { Q_EMIT assistantDue(); };
    // The ticker reads "自動隱藏" as it first shows, so the switch must be taken before it is created.
    hooks.CreateTicker = [this](const StartupSettings &sofar) {
        apply(sofar);
        Q_EMIT tickerDue();
    };
    apply(ReadStartupSettings(m_store, environment, hooks));
}
