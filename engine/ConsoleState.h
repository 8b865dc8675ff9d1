#pragma once

#include "engine/ConsoleValues.h"
#include "engine/Presence.h"
#include "engine/SwitchTable.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class NoticeSink;
class SettingsStore;
struct StartupEnvironment;
struct StartupSettings;

// What the console holds for the run besides its tables: the console values, the switches of the menu and
// the status, with their persistence. The menu's check marks show it and the rules read it. A setter is a
// user's change: it keeps the value, signals and writes the setting. load() is start-up: it takes the stored
// values (writing the defaults of missing ones, never the values themselves) and signals what changed.
class ConsoleState final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConsoleState)
    Q_PROPERTY(bool autoRun READ autoRun WRITE setAutoRun NOTIFY autoRunChanged)
    Q_PROPERTY(bool helper READ helper WRITE setHelper NOTIFY helperChanged)
    Q_PROPERTY(bool autoShow READ autoShow WRITE setAutoShow NOTIFY autoShowChanged)
    Q_PROPERTY(bool remoteControl READ remoteControl WRITE setRemoteControl NOTIFY remoteControlChanged)
    Q_PROPERTY(bool gameAgree READ gameAgree WRITE setGameAgree NOTIFY gameAgreeChanged)
    Q_PROPERTY(bool suggestive READ suggestive WRITE setSuggestive NOTIFY suggestiveChanged)
    Q_PROPERTY(bool innervation READ innervation WRITE setInnervation NOTIFY innervationChanged)
    Q_PROPERTY(bool broadcastAutoHide READ broadcastAutoHide WRITE setBroadcastAutoHide NOTIFY broadcastAutoHideChanged)
    Q_PROPERTY(bool showBroadcasting READ showBroadcasting WRITE setShowBroadcasting NOTIFY showBroadcastingChanged)
    Q_PROPERTY(bool broadcastAutoHideVisible READ broadcastAutoHideVisible NOTIFY broadcastAutoHideVisibleChanged)
    Q_PROPERTY(Presence::Status status READ status WRITE setStatus NOTIFY statusChanged)

public:
    using Switch = settings::Switch;

    // notices hears of a refused write where the user is told of it.
    ConsoleState(SettingsStore &store, NoticeSink &notices, QObject *parent = nullptr);
    ~ConsoleState() override;

    ConsoleValues &values() { return m_values; }
    const ConsoleValues &values() const { return m_values; }

    // Each keeps the value whatever the store says, signals when it changed and returns whether it was stored.
    bool setOwnNickname(const QByteArray &nickname);
    bool setOwnFace(const QByteArray &face);
    bool setOwnPassword(const QByteArray &password);
    // Kept for the run only; the input method is stored when the console closes.
    void setImeName(const QByteArray &imeName);
    void setOwnAddress(const QByteArray &address);
    // Stores the input method of the moment (the close query).
    bool storeImeName();

    bool isOn(Switch which) const { return m_switches[size_t(which)]; }
    // A user's change of a switch; false when it could not be stored.
    bool setOn(Switch which, bool on);

    bool autoRun() const { return isOn(Switch::AutoRun); }
    bool helper() const { return isOn(Switch::Helper); }
    bool autoShow() const { return isOn(Switch::AutoShow); }
    bool remoteControl() const { return isOn(Switch::RemoteControl); }
    bool gameAgree() const { return isOn(Switch::GameAgree); }
    bool suggestive() const { return isOn(Switch::Suggestive); }
    bool innervation() const { return isOn(Switch::Innervation); }
    bool broadcastAutoHide() const { return isOn(Switch::BroadcastAutoHide); }
    bool showBroadcasting() const { return isOn(Switch::ShowBroadcasting); }
    // "自動隱藏" is in the menu only while broadcasts are shown.
    bool broadcastAutoHideVisible() const { return showBroadcasting(); }
    bool setAutoRun(bool on) { return setOn(Switch::AutoRun, on); }
    bool setHelper(bool on) { return setOn(Switch::Helper, on); }
    bool setAutoShow(bool on) { return setOn(Switch::AutoShow, on); }
    bool setRemoteControl(bool on) { return setOn(Switch::RemoteControl, on); }
    bool setGameAgree(bool on) { return setOn(Switch::GameAgree, on); }
    bool setSuggestive(bool on) { return setOn(Switch::Suggestive, on); }
    bool setInnervation(bool on) { return setOn(Switch::Innervation, on); }
    bool setBroadcastAutoHide(bool on) { return setOn(Switch::BroadcastAutoHide, on); }
    bool setShowBroadcasting(bool on) { return setOn(Switch::ShowBroadcasting, on); }

    Presence::Status status() const { return m_status; }
    // A user's choice of status; false when it could not be stored.
    bool setStatus(Presence::Status status);

    // Start-up: reads the auto-start, profile and system keys in that order (see ReadStartupSettings),
    // signalling presenceDue, assistantDue and tickerDue at their moments.
    void load(const StartupEnvironment &environment);

Q_SIGNALS:
    void autoRunChanged(bool on);
    void helperChanged(bool on);
    void autoShowChanged(bool on);
    void remoteControlChanged(bool on);
    void gameAgreeChanged(bool on);
    void suggestiveChanged(bool on);
    void innervationChanged(bool on);
    void broadcastAutoHideChanged(bool on);
    void showBroadcastingChanged(bool on);
    void broadcastAutoHideVisibleChanged(bool visible);
    // Any switch, after its own signal.
    void switchChanged(settings::Switch which, bool on);
    void statusChanged(Presence::Status status);
    void ownNicknameChanged();
    void ownFaceChanged();
    void ownAddressChanged();
    void imeNameChanged();

    // Start-up steps, each at its moment while load() runs, with what was read so far already taken.
    // The status has been read.
    void presenceDue();
    // The assistant is wanted and its file exists.
    void assistantDue();
    // Broadcasts are shown.
    void tickerDue();

private:
    void apply(const StartupSettings &settings);
    void keep(Switch which, bool on);
    void keepStatus(Presence::Status status);

    SettingsStore &m_store;
    NoticeSink &m_notices;
    ConsoleValues m_values;
    std::array<bool, settings::SwitchCount> m_switches;
    Presence::Status m_status = Presence::Online;
    QString m_executablePath;
};
