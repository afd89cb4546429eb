#pragma once

// Files the test builder makes, read the two ways the program reads them.
#include <memory>
#include <string>
#include <vector>

#include "jet_builder/jet_builder.h"
#include "support/jet_sources.h"
#include "support/temp_dir.h"

namespace malvorn::jet {

using Int = std::int64_t;
using testing::JetBuildTable;
using testing::JetVersion;

class BuiltFiles : public ::testing::TestWithParam<Way> {
  protected:
    // A new file each call, so that a test may keep several open.
    std::string write(const std::vector<JetBuildTable>& tables,
                      JetVersion version = JetVersion::kJet4, int codePage = 932) {
        const std::string path = dir_.path() + "/built" + std::to_string(++files_) +
                                 (version == JetVersion::kAce12 ? ".accdb" : ".mdb");
        testing::writeJetFile(path, tables, version, codePage);
        return path;
    }
    std::unique_ptr<JetSource> build(const std::vector<JetBuildTable>& tables,
                                     JetVersion version = JetVersion::kJet4, int codePage = 932) {
        return GetParam().open(write(tables, version, codePage));
    }
    TempDir dir_;
    int files_ = 0;
};

}  // namespace malvorn::jet
