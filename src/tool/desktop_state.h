#pragma once
// What tappy-content desktop changed and what was there before, kept in a small file so that
// --undo puts back exactly that. The file is the tool's own but is read as hostile: bounded,
// every line checked, and a file that does not read as a whole is refused as a whole.
#include <optional>
#include <string>
#include <vector>

// A desktop setting as it was before the tool changed it: its value in GVariant text, or empty
// when it had no value of the user's own (the desktop's default).
struct SavedSetting {
    std::string schema;
    std::string key;
    std::string before;
};

struct DesktopState {
    bool grantWritten = false;
    // The permissions Tappy's app id had in the shortcuts table before; absent: no entry.
    bool grantAbsent = true;
    std::vector<std::string> grantBefore;
    std::vector<SavedSetting> settings;
};

// The settings the tool may change: a file naming any other is refused.
bool IsToolSetting(const std::string& schema, const std::string& key);
std::optional<DesktopState> ParseDesktopState(const std::string& text);
std::string FormatDesktopState(const DesktopState& state);
// A setting already saved keeps its first before-value, so a second run never saves the
// tool's own change as what was there.
void SaveSetting(DesktopState& state, const SavedSetting& setting);

// The running desktop, from the session's variables.
enum class DesktopKind { gnome, kde, sway, otherWayland, x11, none };
DesktopKind DetectDesktop(const char* currentDesktop, const char* sessionType,
                          const char* waylandDisplay, const char* display);
