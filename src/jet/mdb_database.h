#pragma once

#include <memory>
#include <string>

#include "jet/jet_source.h"

namespace malvorn::jet {

// Opens a Jet file in this process through the Jet reading library. Only the
// reader process uses it: a damaged file can crash or hang the library, so
// the program itself reads through JetReaderClient. Throws JetError.
std::unique_ptr<JetSource> openJetFileHere(const std::string& path);

}  // namespace malvorn::jet
