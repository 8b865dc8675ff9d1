#include "platform/ExitFarewell.h"

#include <cstdlib>
#include <mutex>

namespace {

std::atomic<ExitFarewell *> current{nullptr};
std::once_flag handlersInstalled;

} // namespace

ExitFarewell::ExitFarewell(std::function<void()> action) : action_(std::move(action))
{
    std::call_once(handlersInstalled, [] {
        std::atexit(&ExitFarewell::atProcessExit);
        std::at_quick_exit(&ExitFarewell::atProcessExit);
    });
    current.store(this);
}

ExitFarewell::~ExitFarewell()
{
    ExitFarewell *self = this;
    current.compare_exchange_strong(self, nullptr);
}

bool ExitFarewell::run()
{
    if (done_.exchange(true))
        return false;
    if (action_)
        action_();
    return true;
}

void ExitFarewell::atProcessExit()
{
    if (ExitFarewell *farewell = current.exchange(nullptr))
        farewell->run();
}
