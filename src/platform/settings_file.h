#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace malvorn::platform {

// The settings file: a private-profile text ("[section]" lines and
// "key=value" lines) in CP932 with CR LF line ends, kept in the program's
// folder (or the user's configuration folder, see settingsFilePath).
inline constexpr std::string_view kSettingsFileName = "Malvorn.ini";
inline constexpr std::string_view kMainFormSection = "frmMain";
// The LFIDNO definition box always starts with its built-in text.
inline constexpr std::string_view kUnsavedTextBox = "txtLFIDNO";

// One text box of a window as the settings file sees it.
struct TextBox {
    std::string name;
    std::string text;
};
using TextBoxes = std::vector<TextBox>;

// A value is written unchanged when it is one line of characters that CP932
// can hold. A value with line breaks (a statement in txtSQL) or characters
// outside CP932 is written as "\!" followed by the text with "\\", "\r",
// "\n" and "\u{hex}" escapes, so it still fits on one line and comes back
// whole. A plain value that happens to start with "\!" is escaped as well.
std::string encodeSettingValue(std::string_view text);
std::string decodeSettingValue(std::string_view stored);

// A settings file held in memory as its lines of CP932 bytes. Lines it does
// not understand are kept as they are, so a hand-edited file loses nothing
// but the values that are replaced.
class ProfileDocument {
  public:
    ProfileDocument() = default;
    explicit ProfileDocument(std::string_view bytes);

    // The raw (CP932, still encoded) value; false when the section or key is
    // missing. Section and key names compare without case.
    bool find(std::string_view section, std::string_view key, std::string& raw) const;
    // Replaces the first line of the key in the section, or adds it at the end
    // of the section; a missing section is added at the end of the file.
    void set(std::string_view section, std::string_view key, std::string_view raw);

    // The whole file, each line ended by CR LF.
    std::string bytes() const;

  private:
    std::vector<std::string> lines_;
};

// The stored value of `key` in `section` of the file at `iniPath`, as UTF-8.
// A missing file, section or key, or an unreadable file, gives the empty text.
std::string gfReadIni(const std::string& iniPath, std::string_view section, std::string_view key);

// Sets every box but txtLFIDNO to its stored value (the empty text when the
// key is missing).
void gfLoadTextBoxes(const std::string& iniPath, std::string_view section, TextBoxes& boxes);

// Writes every box but txtLFIDNO into the section in one atomic replacement
// of the file; a new file is readable by its owner only (it holds passwords).
// Callers do not report a failed write; the result is for those that care.
bool gfSaveTextBoxes(const std::string& iniPath, std::string_view section, const TextBoxes& boxes);

// Where the settings live: "Malvorn.ini" in the program's folder when that
// folder can be written, otherwise in `userConfigFolder` (an installed
// program's folder belongs to root), so settings are not silently lost.
std::string settingsFilePath(const std::string& programFolder, const std::string& userConfigFolder);

// $XDG_CONFIG_HOME/Malvorn, or ~/.config/Malvorn.
std::string userConfigFolder();

// True when files can be created in the folder.
bool folderWritable(const std::string& folder);

}  // namespace malvorn::platform
