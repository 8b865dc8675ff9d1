#pragma once

#include <QtGlobal>

#include <atomic>
#include <functional>

// Something the process must do exactly once before it ends, however it ends: through its normal close,
// which calls run(), or through an exit() that bypasses that close (Qt's X11 connection ends the process
// with exit() when the display server goes away), which runs it from an exit handler. The action then
// runs without an event loop, so it must need none. The latest instance is the one the exit handler runs.
class ExitFarewell final
{
    Q_DISABLE_COPY_MOVE(ExitFarewell)

public:
    explicit ExitFarewell(std::function<void()> action);
    ~ExitFarewell();

    // Runs the action unless it has run; true when this call ran it.
    bool run();
    bool hasRun() const { return m_done.load(); }

private:
    static void atProcessExit();

    std::function<void()> m_action;
    std::atomic<bool> m_done{false};
};
