#include "convert/safe_names.h"

#include <algorithm>
#include <iterator>

#include "base/sql_text.h"
#include "convert/script_text.h"
#include "encoding/ascii.h"
#include "encoding/letter_case.h"
#include "encoding/name_characters.h"

namespace malvorn::convert {
namespace {

constexpr std::size_t kMaxNameBytes = 128;

using encoding::isIdeographicSpaceAt;
using encoding::isNamePartByte;
using encoding::isNameStartByte;
using encoding::kIdeographicSpace;

// Every character a plain name may not hold becomes "_".
std::string plainPart(std::string_view name) {
    std::string plain;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (isIdeographicSpaceAt(name, i)) {
            plain += '_';
            i += 2;
        } else {
            plain += isNamePartByte(name[i]) ? name[i] : '_';
        }
    }
    return plain;
}

// At most `bytes` bytes, never splitting a UTF-8 character.
std::string cutUtf8(std::string text, std::size_t bytes) {
    if (text.size() <= bytes)
        return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
    return text;
}

}  // namespace

bool isPlainOracleName(std::string_view name) {
    if (name.empty() || name.size() > kMaxNameBytes)
        return false;
    if (!isNameStartByte(name[0]))
        return false;
    if (name.find(kIdeographicSpace) != std::string_view::npos)
        return false;
    if (!std::all_of(name.begin(), name.end(), isNamePartByte))
        return false;
    const std::string upper = encoding::upperCaseName(name);
    return !base::isReservedWord(upper);
}

std::string oracleName(std::string_view jetName) {
    const std::string narrowed = fNarrowName(jetName);
    return isPlainOracleName(narrowed) ? narrowed : "\"" + std::string(jetName) + "\"";
}

std::string dictionaryName(std::string_view jetName) {
    const std::string narrowed = fNarrowName(jetName);
    return isPlainOracleName(narrowed) ? encoding::upperCaseName(narrowed) : std::string(jetName);
}

bool ConstraintNames::free(const std::string& name) const {
    return used_.count(encoding::upperCaseName(name)) == 0;
}

std::string ConstraintNames::take(const std::string& indexName, const std::string& tableName) {
    const std::string narrowed = fNarrowName(indexName);
    std::string name = narrowed;
    if (encoding::equalsIgnoringAsciiCase(narrowed, "PrimaryKey") ||
        encoding::equalsIgnoringAsciiCase(narrowed, "pkkey") || !isPlainOracleName(narrowed) ||
        !free(narrowed)) {
        const std::string base = cutUtf8("pk" + plainPart(fNarrowName(tableName)), kMaxNameBytes);
        name = base;
        for (int n = 2; !free(name); ++n) {
            const std::string suffix = "_" + std::to_string(n);
            name = cutUtf8(base, kMaxNameBytes - suffix.size()) + suffix;
        }
    }
    used_.insert(encoding::upperCaseName(name));
    return name;
}

std::string ConstraintNames::takeMade(const std::string& wanted) {
    std::string base = plainPart(fNarrowName(wanted));
    if (base.empty() || !isNameStartByte(base[0]))
        base = "x" + base;
    base = cutUtf8(base, kMaxNameBytes);
    std::string name = base;
    for (int n = 2; !free(name) || !isPlainOracleName(name); ++n) {
        const std::string suffix = "_" + std::to_string(n);
        name = cutUtf8(base, kMaxNameBytes - suffix.size()) + suffix;
    }
    used_.insert(encoding::upperCaseName(name));
    return name;
}

}  // namespace malvorn::convert
