// How long a damaged Jet file takes to end in a message: the files that trap
// the Jet library (a property list walked or grown without end, a page chain
// that loops, counts far beyond what a definition holds) and a few hundred
// built files damaged at random, each read whole through the reader process
// as a conversion and a copy would. Figures only; nothing here passes or
// fails.
//
//   malvorn-jet-damage-bench [random files]      (default 300)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "jet/jet_damage.h"
#include "jet/jet_reader_client.h"
#include "support/temp_dir.h"

namespace {

using namespace malvorn;
using Clock = std::chrono::steady_clock;

struct Reading {
    double seconds = 0;
    std::string error;  // empty: every table read whole
};

// Every table's definition and rows, stopping at the first error.
Reading readWhole(const std::string& path) {
    const auto start = Clock::now();
    Reading reading;
    try {
        jet::JetReaderClient client(path, jet::JetReaderOptions{.readerPath = JET_READER});
        for (const auto& name : client.tableNames()) {
            client.readTable(name);
            auto rows = client.openRows(name);
            jet::JetRow row;
            while (rows->next(row)) {
            }
        }
    } catch (const jet::JetError& e) {
        reading.error = e.what();
    }
    reading.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return reading;
}

// The message without the file's name, cut to 60 characters.
std::string shortMessage(const std::string& message, const std::string& path) {
    std::string text = message;
    if (const auto at = text.find(path); at != std::string::npos)
        text.erase(at, path.size());
    std::size_t cut = 0;
    for (int characters = 0; cut < text.size() && characters < 60; ++characters) {
        do
            ++cut;
        while (cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80);
    }
    return cut < text.size() ? text.substr(0, cut) + "…" : text;
}

void traps(const std::string& path) {
    const struct {
        const char* name;
        std::function<std::string()> bytes;
    } cases[] = {
        {"property list walked without end", [] { return jet::endlessPropertyList(0); }},
        {"property list grown without end", [] { return jet::endlessPropertyList(1); }},
        {"page chain that loops", jet::runawayPropertyChain},
        {"huge column count", [] { return jet::hugeCount(45, 2); }},
        {"huge index count", [] { return jet::hugeCount(47, 4); }},
    };
    for (const auto& c : cases) {
        writeWholeFile(path, c.bytes());
        const Reading r = readWhole(path);
        std::printf("%-34s %6.2f s  %s\n", c.name, r.seconds,
                    r.error.empty() ? "(read whole)" : shortMessage(r.error, path).c_str());
    }
}

void randomDamage(const std::string& path, int files) {
    std::mt19937 random(20261206);
    std::vector<double> times;
    int errors = 0;
    const jet::JetVersion versions[] = {jet::JetVersion::kJet4, jet::JetVersion::kJet3};
    const std::string sources[] = {jet::fuzzSourceFile(versions[0]),
                                   jet::fuzzSourceFile(versions[1])};
    for (int i = 0; i < files; ++i) {
        const std::size_t way = static_cast<std::size_t>(i % 2);
        writeWholeFile(
            path, jet::randomDamage(sources[way], testing::jetPageSize(versions[way]), random));
        const Reading r = readWhole(path);
        times.push_back(r.seconds);
        errors += r.error.empty() ? 0 : 1;
    }
    std::sort(times.begin(), times.end());
    auto at = [&times](double q) {
        return times[std::min(times.size() - 1, static_cast<std::size_t>(q * times.size()))];
    };
    std::printf(
        "random damage: %d files, %d ended in an error; seconds to the end: median %.3f, "
        "95%% %.3f, 99%% %.3f, max %.3f\n",
        files, errors, at(0.5), at(0.95), at(0.99), times.back());
}

}  // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 300;
    TempDir dir;
    const std::string path = dir.path() + "/damaged.mdb";
    traps(path);
    if (files > 0)
        randomDamage(path, files);
    return 0;
}
