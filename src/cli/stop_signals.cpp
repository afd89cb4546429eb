#include "cli/stop_signals.h"

#include <unistd.h>

#include <atomic>

#include "cli/console.h"

namespace malvorn::cli {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> signalsSeen{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may use only lock-free atomics");

void onSignal(int) {
    // Only what is safe in a handler: the flag, or the immediate end.
    if (signalsSeen.fetch_add(1) > 0)
        ::_exit(kInterruptedStatus);
}

}  // namespace

StopOnSignals::StopOnSignals() {
    signalsSeen = 0;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls keep the server's and the files' I/O whole; the wait
    // on the reader (poll) returns early and is taken up again by its loop,
    // the flag being looked at when the rows arrive.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &action, &before_[i]);
}

StopOnSignals::~StopOnSignals() {
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &before_[i], nullptr);
}

core::StopRequested StopOnSignals::token() const {
    return [] { return signalsSeen.load() > 0; };
}

}  // namespace malvorn::cli
