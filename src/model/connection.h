#pragma once

#include <string>

namespace malvorn::model {

// The three texts that name an Oracle account and where it lives, as typed:
// the connection frame of the window, the user tab's account for the batch
// script, the command line's options.
struct ConnectionFields {
    std::string user;
    std::string password;
    std::string netServiceName;
};

}  // namespace malvorn::model
