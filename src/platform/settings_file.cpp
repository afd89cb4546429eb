#include "platform/settings_file.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "base/files.h"
#include "base/paths.h"
#include "encoding/cp932.h"
#include "encoding/utf8.h"

namespace malvorn::platform {
namespace {

using encoding::Cp932;

constexpr std::string_view kEscapeMarker = "\\!";

bool survivesCp932(std::string_view utf8) {
    return Cp932::toUtf8(Cp932::fromUtf8(utf8)) == utf8;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// "[name]" gives name; any other line gives nothing.
bool sectionName(std::string_view line, std::string_view& name) {
    const std::string_view trimmed = trimBlanks(line);
    if (trimmed.size() < 2 || trimmed.front() != '[')
        return false;
    const auto close = trimmed.find(']');
    if (close == std::string_view::npos)
        return false;
    name = trimBlanks(trimmed.substr(1, close - 1));
    return true;
}

// "key=value" with the key trimmed; the value is kept as written.
bool keyLine(std::string_view line, std::string_view& key, std::string_view& value) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return false;
    key = trimBlanks(line.substr(0, equals));
    if (key.empty() || key.front() == ';')
        return false;
    value = line.substr(equals + 1);
    return true;
}

void appendHex(std::string& out, char32_t codePoint) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "\\u{%X}", static_cast<unsigned>(codePoint));
    out += buffer;
}

}  // namespace

std::string encodeSettingValue(std::string_view text) {
    const bool multiLine = text.find_first_of("\r\n") != std::string_view::npos;
    if (!multiLine && !text.starts_with(kEscapeMarker) && survivesCp932(text))
        return std::string(text);

    std::string out(kEscapeMarker);
    for (const char32_t c : encoding::decodeUtf8(text)) {
        switch (c) {
            case U'\\':
                out += "\\\\";
                break;
            case U'\r':
                out += "\\r";
                break;
            case U'\n':
                out += "\\n";
                break;
            default: {
                std::string one;
                encoding::appendUtf8(one, c);
                if (c < 0x80 || survivesCp932(one))
                    out += one;
                else
                    appendHex(out, c);
            }
        }
    }
    return out;
}

std::string decodeSettingValue(std::string_view stored) {
    if (!stored.starts_with(kEscapeMarker))
        return std::string(stored);
    std::string out;
    std::string_view rest = stored.substr(kEscapeMarker.size());
    while (!rest.empty()) {
        const auto slash = rest.find('\\');
        out.append(rest.substr(0, slash));
        if (slash == std::string_view::npos)
            break;
        rest = rest.substr(slash);
        if (rest.starts_with("\\\\")) {
            out += '\\';
            rest.remove_prefix(2);
        } else if (rest.starts_with("\\r")) {
            out += '\r';
            rest.remove_prefix(2);
        } else if (rest.starts_with("\\n")) {
            out += '\n';
            rest.remove_prefix(2);
        } else if (rest.starts_with("\\u{") && rest.find('}') != std::string_view::npos) {
            const auto close = rest.find('}');
            const std::string hex(rest.substr(3, close - 3));
            char* end = nullptr;
            const unsigned long value = std::strtoul(hex.c_str(), &end, 16);
            if (!hex.empty() && *end == '\0' && value <= 0x10FFFF) {
                encoding::appendUtf8(out, static_cast<char32_t>(value));
            } else {
                out.append(rest.substr(0, close + 1));  // not ours: keep it as written
            }
            rest.remove_prefix(close + 1);
        } else {
            out += '\\';  // a lone backslash of a hand-edited file stays
            rest.remove_prefix(1);
        }
    }
    return out;
}

ProfileDocument::ProfileDocument(std::string_view bytes) {
    // CR LF, LF or CR alone all end a line: the file may have been edited
    // on any system.
    std::size_t start = 0;
    while (start < bytes.size()) {
        const auto end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines_.emplace_back(bytes.substr(start));
            break;
        }
        lines_.emplace_back(bytes.substr(start, end - start));
        start = end + 1;
        if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n')
            ++start;
    }
}

bool ProfileDocument::find(std::string_view section, std::string_view key, std::string& raw) const {
    bool inSection = false;
    for (const std::string& line : lines_) {
        std::string_view name, k, v;
        if (sectionName(line, name)) {
            inSection = equalsIgnoringCase(name, section);
        } else if (inSection && keyLine(line, k, v) && equalsIgnoringCase(k, key)) {
            raw = std::string(v);
            return true;
        }
    }
    return false;
}

void ProfileDocument::set(std::string_view section, std::string_view key, std::string_view raw) {
    std::string line(key);
    line += '=';
    line += raw;

    bool inSection = false;
    std::size_t insertAt = lines_.size();  // after the section's last non-empty line
    bool sectionFound = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::string_view name, k, v;
        if (sectionName(lines_[i], name)) {
            if (inSection)
                break;  // the section ended without the key
            inSection = equalsIgnoringCase(name, section);
            if (inSection) {
                sectionFound = true;
                insertAt = i + 1;
            }
        } else if (inSection) {
            if (keyLine(lines_[i], k, v) && equalsIgnoringCase(k, key)) {
                lines_[i] = std::move(line);
                return;
            }
            if (!trimBlanks(lines_[i]).empty())
                insertAt = i + 1;
        }
    }
    if (!sectionFound) {
        lines_.push_back("[" + std::string(section) + "]");
        lines_.push_back(std::move(line));
        return;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(line));
}

std::string ProfileDocument::bytes() const {
    std::string out;
    for (const std::string& line : lines_) {
        out += line;
        out += "\r\n";
    }
    return out;
}

namespace {

ProfileDocument readDocument(const std::string& iniPath) {
    if (!base::fileExists(iniPath))
        return {};
    try {
        return ProfileDocument(base::readFileBytes(iniPath));
    } catch (const base::FileError&) {
        return {};  // an unreadable file reads like a missing one
    }
}

}  // namespace

std::string gfReadIni(const std::string& iniPath, std::string_view section, std::string_view key) {
    std::string raw;
    if (!readDocument(iniPath).find(section, key, raw))
        return {};
    return decodeSettingValue(Cp932::toUtf8(raw));
}

void gfLoadTextBoxes(const std::string& iniPath, std::string_view section, TextBoxes& boxes) {
    // One read for all boxes: the file cannot change between them.
    const ProfileDocument document = readDocument(iniPath);
    for (TextBox& box : boxes) {
        if (box.name == kUnsavedTextBox)
            continue;
        std::string raw;
        box.text = document.find(section, box.name, raw) ? decodeSettingValue(Cp932::toUtf8(raw))
                                                         : std::string();
    }
}

bool gfSaveTextBoxes(const std::string& iniPath, std::string_view section, const TextBoxes& boxes) {
    ProfileDocument document = readDocument(iniPath);
    for (const TextBox& box : boxes) {
        if (box.name != kUnsavedTextBox)
            document.set(section, box.name, Cp932::fromUtf8(encodeSettingValue(box.text)));
    }
    try {
        const std::filesystem::path folder = std::filesystem::path(iniPath).parent_path();
        if (!folder.empty() && !base::folderExists(folder.string())) {
            std::filesystem::create_directories(folder);
            std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
        }
        base::writeFileAtomically(iniPath, document.bytes(), 0600);
        return true;
    } catch (const base::FileError& error) {
        std::fprintf(stderr, "Malvorn: %s\n", error.what());
    } catch (const std::filesystem::filesystem_error& error) {
        std::fprintf(stderr, "Malvorn: %s\n", error.what());
    }
    return false;
}

bool folderWritable(const std::string& folder) {
    return base::folderExists(folder) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string settingsFilePath(const std::string& programFolder,
                             const std::string& userConfigFolder) {
    const std::string& folder = folderWritable(programFolder) ? programFolder : userConfigFolder;
    return base::withTrailingSlash(folder) + std::string(kSettingsFileName);
}

std::string userConfigFolder() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome != nullptr && configHome[0] == '/')
        return base::withTrailingSlash(configHome) + "Malvorn";
    const char* home = std::getenv("HOME");
    std::string homeFolder = home != nullptr && home[0] == '/' ? home : "";
    if (homeFolder.empty()) {
        if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir)
            homeFolder = entry->pw_dir;
    }
    return base::withTrailingSlash(homeFolder) + ".config/Malvorn";
}

}  // namespace malvorn::platform
