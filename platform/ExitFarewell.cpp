#include "platform/ExitFarewell.h"

#include <cstdlib>
#include <mutex>

namespace {

std::atomic<ExitFarewell *> s_current{nullptr};
std::once_flag s_handlersInstalled;

} // namespace

ExitFarewell::ExitFarewell(std::function<void()> action) : m_action(std::move(action))
{
    std::call_once(s_handlersInstalled, [] {
        std::atexit(&ExitFarewell::atProcessExit);
        std::at_quick_exit(&ExitFarewell::atProcessExit);
    });
    s_current.store(this);
}

ExitFarewell::~ExitFarewell()
{
    ExitFarewell *self = this;
    s_current.compare_exchange_strong(self, nullptr);
}

bool ExitFarewell::run()
{
    if (m_done.exchange(true))
        return false;
    if (m_action)
        m_action();
    return true;
}

void ExitFarewell::atProcessExit()
{
    if (ExitFarewell *farewell = s_current.exchange(nullptr))
        farewell->run();
}
