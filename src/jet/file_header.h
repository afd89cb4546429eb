#pragma once

#include <string>

namespace malvorn::jet {

// Checks, before the reading library is given the file, that the path is a
// regular file whose first page says Jet or ACE, that it is not encrypted and
// that it is whole pages long; throws the JetError a user should see.
void checkJetHeader(const std::string& path);

}  // namespace malvorn::jet
