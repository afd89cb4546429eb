#pragma once

#include <string>
#include <string_view>

namespace malvorn::base {

// Path-text helpers. They look at text only, never at the file system, and
// recognise one separator: the platform's own.
inline constexpr char kPathSeparator = '/';

// The path with a trailing separator ensured; the empty text gives "/".
std::string withTrailingSlash(std::string_view path);
// The path with one trailing separator removed, if it has one.
std::string withoutTrailingSlash(std::string_view path);
// The text before the last separator; empty when there is none.
std::string gfFolderPart(std::string_view path);
// The text after the last separator; empty when there is none.
std::string gfFilePart(std::string_view path);

}  // namespace malvorn::base
