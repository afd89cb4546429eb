#include "base/paths.h"

namespace malvorn::base {

std::string withTrailingSlash(std::string_view path) {
    std::string result(path);
    if (result.empty() || result.back() != kPathSeparator)
        result.push_back(kPathSeparator);
    return result;
}

std::string withoutTrailingSlash(std::string_view path) {
    if (!path.empty() && path.back() == kPathSeparator)
        path.remove_suffix(1);
    return std::string(path);
}

std::string gfFolderPart(std::string_view path) {
    const auto pos = path.rfind(kPathSeparator);
    if (pos == std::string_view::npos)
        return {};
    return std::string(path.substr(0, pos));
}

std::string gfFilePart(std::string_view path) {
    const auto pos = path.rfind(kPathSeparator);
    if (pos == std::string_view::npos)
        return {};
    return std::string(path.substr(pos + 1));
}

}  // namespace malvorn::base
