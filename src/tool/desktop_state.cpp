#include "tool/desktop_state.h"

#include <algorithm>
#include <sstream>

namespace {
constexpr std::size_t kMostBytes = 16 * 1024;
constexpr std::size_t kMostValue = 1024;
constexpr const char* kHeader = "tappy-content desktop 1";

bool Printable(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

bool PermissionWord(const std::string& word)
{
    return !word.empty() && word.size() <= 32 && std::all_of(word.begin(), word.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '-';
    });
}

bool HasPart(const char* list, const char* part)
{
    std::stringstream parts(list ? list : "");
    std::string item;
    while (std::getline(parts, item, ':'))
        if (item == part)
            return true;
    return false;
}

bool Set(const char* value)
{
    return value && *value;
}
} // namespace

bool IsToolSetting(const std::string& schema, const std::string& key)
{
    if (schema == "org.gnome.desktop.notifications")
        return key == "show-banners";
    if (schema != "org.gnome.mutter.wayland.keybindings")
        return false;
    if (key == "restore-shortcuts")
        return true;
    for (int i = 1; i <= 12; ++i)
        if (key == "switch-to-session-" + std::to_string(i))
            return true;
    return false;
}

std::optional<DesktopState> ParseDesktopState(const std::string& text)
{
    if (text.size() > kMostBytes)
        return std::nullopt;
    std::stringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != kHeader)
        return std::nullopt;
    DesktopState state;
    while (std::getline(lines, line)) {
        std::stringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "grant" && !state.grantWritten) {
            state.grantWritten = true;
            std::string word;
            while (words >> word) {
                if (!PermissionWord(word) || state.grantBefore.size() >= 8)
                    return std::nullopt;
                state.grantBefore.push_back(word);
            }
            state.grantAbsent = state.grantBefore == std::vector<std::string>{"-"};
            if (state.grantBefore.empty())
                return std::nullopt;
            if (state.grantAbsent)
                state.grantBefore.clear();
        } else if (kind == "setting") {
            SavedSetting setting;
            words >> setting.schema >> setting.key >> std::ws;
            std::getline(words, setting.before);
            const bool known = IsToolSetting(setting.schema, setting.key);
            if (!known || setting.before.size() > kMostValue || !Printable(setting.before) ||
                std::any_of(state.settings.begin(), state.settings.end(),
                            [&](const SavedSetting& s) { return s.key == setting.key; }))
                return std::nullopt;
            if (setting.before == "default")
                setting.before.clear();
            state.settings.push_back(setting);
        } else if (!line.empty()) {
            return std::nullopt;
        }
    }
    return state;
}

std::string FormatDesktopState(const DesktopState& state)
{
    std::string out = std::string(kHeader) + "\n";
    if (state.grantWritten) {
        out += "grant";
        for (const std::string& word : state.grantBefore)
            out += " " + word;
        out += state.grantAbsent ? " -\n" : "\n";
    }
    for (const SavedSetting& s : state.settings)
        out += "setting " + s.schema + " " + s.key + " " +
               (s.before.empty() ? "default" : s.before) + "\n";
    return out;
}

void SaveSetting(DesktopState& state, const SavedSetting& setting)
{
    for (const SavedSetting& s : state.settings)
        if (s.schema == setting.schema && s.key == setting.key)
            return;
    state.settings.push_back(setting);
}

DesktopKind DetectDesktop(const char* currentDesktop, const char* sessionType,
                          const char* waylandDisplay, const char* display)
{
    if (HasPart(currentDesktop, "GNOME"))
        return DesktopKind::gnome;
    if (HasPart(currentDesktop, "KDE"))
        return DesktopKind::kde;
    if (HasPart(currentDesktop, "sway"))
        return DesktopKind::sway;
    if (Set(waylandDisplay) || (sessionType && std::string(sessionType) == "wayland"))
        return DesktopKind::otherWayland;
    return Set(display) ? DesktopKind::x11 : DesktopKind::none;
}
