#pragma once

#include "oracle/session.h"

namespace malvorn::app {

// The drivers the program reaches servers with; the window and the command
// line both take theirs from here.
oracle::Drivers defaultDrivers();

}  // namespace malvorn::app
