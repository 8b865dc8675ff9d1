#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT, SIGHUP and SIGQUIT as a Qt signal on the GUI thread, so that they end the program through
// its normal close. The handler only writes the signal number into a pipe (the self-pipe trick). One instance
// at a time; the default handlers return when it is destroyed.
class TerminationSignals final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TerminationSignals)

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    bool isActive() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void drain();

    QSocketNotifier *m_notifier = nullptr;
};
