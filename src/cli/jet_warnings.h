#pragma once

// The command line's word for every column a command leaves behind: a Jet
// source that, as tables are read, prints to stderr once per column whose
// values the copy does not carry, and once per column the reader left out.
#include <memory>

#include "jet/jet_source.h"

namespace malvorn::cli {

std::unique_ptr<jet::JetSource> warningJetSource(std::unique_ptr<jet::JetSource> inner);

}  // namespace malvorn::cli
