#pragma once

#include <csignal>

#include "core/interruption.h"

namespace malvorn::cli {

// SIGINT, SIGTERM and SIGHUP ask a running copy to stop at its next row or
// batch boundary; a second one ends the program at once (status 130). The
// handlers are in place for the object's life, the earlier ones restored
// after it.
class StopOnSignals {
  public:
    StopOnSignals();
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

    // For the core's fields: true once a signal came.
    core::StopRequested token() const;

  private:
    struct sigaction before_[3];
};

}  // namespace malvorn::cli
