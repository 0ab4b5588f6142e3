// tappy-content desktop: says what Tappy can hold on the running desktop, and on GNOME gives
// Tappy the shortcuts permission ahead of time (what GNOME's own dialog writes when a person
// answers Allow), and turns off only the GNOME keys the adult names. --undo puts back exactly
// what it changed, from its state file.
#include "tool/commands.h"
#include "tool/desktop_state.h"
#include "tool/tool_files.h"

#include <gio/gio.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {
// GNOME Shell keeps its answer under the id of the app it matched the window to, which is the
// desktop entry's file name: Tappy's windows carry "tappy", and the shell files the answer under
// "tappy.desktop". A grant under the bare name is never looked at.
constexpr const char* kAppId = "tappy.desktop";
constexpr const char* kKeys = "org.gnome.mutter.wayland.keybindings";
constexpr const char* kNotifications = "org.gnome.desktop.notifications";

const char* Held(DesktopKind kind)
{
    switch (kind) {
    case DesktopKind::gnome:
        return "GNOME: the shortcuts are held once Tappy has the permission (this command gives "
               "it). GNOME keeps Super+Escape (which gives the shortcuts back) unless turned off "
               "with --no-restore-key, the console keys Ctrl+Alt+F1...F12 unless turned off "
               "with --no-console-keys, critical notifications, and other programs' windows.";
    case DesktopKind::kde:
        return "KDE Plasma: KWin grants the shortcuts without asking; its console-switch and "
               "power keys are not held. Nothing to change here.";
    case DesktopKind::sway:
        return "sway: the shortcuts are held at once; bindings marked --inhibited in sway's "
               "own configuration still act. Nothing to change here.";
    case DesktopKind::otherWayland:
        return "Wayland: the shortcuts are held where the compositor grants Tappy's request; "
               "Tappy's screen says when it does not. Nothing to change here.";
    case DesktopKind::x11:
        return "X11: Tappy takes the keyboard itself; power keys and Ctrl+Alt+F1...F12 belong "
               "to the system. Nothing to change here.";
    case DesktopKind::none:
        break;
    }
    return "No graphical desktop found in this session. Nothing to change here.";
}

std::string StatePath()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    if (state && *state == '/')
        return std::string(state) + "/tappy";
    return std::string(home && *home ? home : "/nonexistent") + "/.local/state/tappy";
}

std::optional<DesktopState> ReadState(const std::string& path, bool* present)
{
    std::ifstream in(path, std::ios::binary);
    *present = in.good();
    if (!in)
        return DesktopState{};
    std::string text(16 * 1024 + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return ParseDesktopState(text);
}

bool WriteState(const std::string& dir, const DesktopState& state)
{
    std::string error, temp;
    if (!MakeFolders(dir, &error))
        return false;
    const int fd = MakeTemporary(dir, &temp);
    if (fd < 0)
        return false;
    const std::string text = FormatDesktopState(state);
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const bool closed = fsync(fd) == 0 && close(fd) == 0;
    if (!written || !closed || rename(temp.c_str(), (dir + "/desktop").c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    return true;
}

GVariant* Call(GDBusConnection* bus, const char* method, GVariant* args, const char* reply,
               GError** error)
{
    return g_dbus_connection_call_sync(bus, "org.freedesktop.impl.portal.PermissionStore",
                                       "/org/freedesktop/impl/portal/PermissionStore",
                                       "org.freedesktop.impl.portal.PermissionStore", method, args,
                                       reply ? G_VARIANT_TYPE(reply) : nullptr,
                                       G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, error);
}

// What the shortcuts table holds for Tappy: false when the store cannot be asked.
bool LookupGrant(GDBusConnection* bus, bool* absent, std::vector<std::string>* words)
{
    GError* error = nullptr;
    GVariant* reply = Call(bus, "Lookup", g_variant_new("(ss)", "gnome", "shortcuts-inhibitor"),
                           "(a{sas}v)", &error);
    *absent = true;
    if (!reply) {
        const bool notFound = g_dbus_error_is_remote_error(error) &&
                              g_str_has_suffix(g_dbus_error_get_remote_error(error), "NotFound");
        if (!notFound)
            std::fprintf(stderr, "tappy-content: GNOME's permission store: %s\n", error->message);
        g_error_free(error);
        return notFound;
    }
    GVariant* table = g_variant_get_child_value(reply, 0);
    if (GVariant* mine = g_variant_lookup_value(table, kAppId, G_VARIANT_TYPE("as"))) {
        *absent = false;
        const gchar** list = g_variant_get_strv(mine, nullptr);
        for (const gchar** w = list; *w; ++w)
            words->push_back(*w);
        g_free(list);
        g_variant_unref(mine);
    }
    g_variant_unref(table);
    g_variant_unref(reply);
    return true;
}

bool SetGrant(GDBusConnection* bus, bool absent, const std::vector<std::string>& words)
{
    GError* error = nullptr;
    GVariant* reply = nullptr;
    if (absent) {
        reply =
            Call(bus, "DeletePermission",
                 g_variant_new("(sss)", "gnome", "shortcuts-inhibitor", kAppId), nullptr, &error);
    } else {
        GVariantBuilder list;
        g_variant_builder_init(&list, G_VARIANT_TYPE("as"));
        for (const std::string& w : words)
            g_variant_builder_add(&list, "s", w.c_str());
        reply = Call(bus, "SetPermission",
                     g_variant_new("(sbssas)", "gnome", TRUE, "shortcuts-inhibitor", kAppId, &list),
                     nullptr, &error);
    }
    if (!reply) {
        std::fprintf(stderr, "tappy-content: GNOME's permission store: %s\n", error->message);
        g_error_free(error);
        return false;
    }
    g_variant_unref(reply);
    return true;
}

// A setting's schema on this system, or null when it has none (then nothing is changed).
GSettings* OpenSetting(const std::string& schema, const std::string& key)
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* found =
        source ? g_settings_schema_source_lookup(source, schema.c_str(), TRUE) : nullptr;
    if (!found)
        return nullptr;
    GSettings* settings = g_settings_schema_has_key(found, key.c_str())
                              ? g_settings_new_full(found, nullptr, nullptr)
                              : nullptr;
    g_settings_schema_unref(found);
    return settings;
}

// Turns one setting to off, once what it was is in the state file; says what it did.
bool TurnOff(DesktopState& state, const std::string& dir, const char* schema,
             const std::string& key, GVariant* off)
{
    g_variant_ref_sink(off);
    GSettings* settings = OpenSetting(schema, key);
    if (!settings) {
        std::printf("  %s %s: not on this system; left as it is\n", schema, key.c_str());
        g_variant_unref(off);
        return true;
    }
    SavedSetting saved{schema, key, ""};
    if (GVariant* user = g_settings_get_user_value(settings, key.c_str())) {
        gchar* text = g_variant_print(user, TRUE);
        saved.before = text;
        g_free(text);
        g_variant_unref(user);
    }
    SaveSetting(state, saved);
    const bool done = WriteState(dir, state) && g_settings_set_value(settings, key.c_str(), off);
    std::printf("  %s %s: %s\n", schema, key.c_str(), done ? "turned off" : "could not be changed");
    g_variant_unref(off);
    g_object_unref(settings);
    return done;
}

bool PutBack(const SavedSetting& saved)
{
    GSettings* settings = OpenSetting(saved.schema, saved.key);
    if (!settings)
        return false;
    bool done = false;
    if (saved.before.empty()) {
        g_settings_reset(settings, saved.key.c_str());
        done = true;
    } else {
        GVariant* value = g_variant_parse(nullptr, saved.before.c_str(), nullptr, nullptr, nullptr);
        GVariant* now = g_settings_get_value(settings, saved.key.c_str());
        if (value && g_variant_is_of_type(value, g_variant_get_type(now)))
            done = g_settings_set_value(settings, saved.key.c_str(), value);
        if (value)
            g_variant_unref(value);
        g_variant_unref(now);
    }
    std::printf("  %s %s: %s\n", saved.schema.c_str(), saved.key.c_str(),
                done ? "put back as it was" : "could not be put back");
    g_object_unref(settings);
    return done;
}

int Undo(const std::string& dir, const DesktopState& state, bool present)
{
    if (!present) {
        std::printf("Nothing to put back: tappy-content desktop has changed nothing.\n");
        return kExitDone;
    }
    bool done = true;
    if (state.grantWritten) {
        GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        const bool put = bus && SetGrant(bus, state.grantAbsent, state.grantBefore);
        std::printf("  the shortcuts permission for %s: %s\n", kAppId,
                    put ? "put back as it was" : "could not be put back");
        done = done && put;
        if (bus)
            g_object_unref(bus);
    }
    for (const SavedSetting& saved : state.settings)
        done = PutBack(saved) && done;
    g_settings_sync();
    if (!done)
        return kExitRefused;
    unlink((dir + "/desktop").c_str());
    return kExitDone;
}

int Grant(const std::string& dir, DesktopState& state)
{
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) {
        std::fprintf(stderr, "tappy-content: no session bus; nothing changed\n");
        return kExitRefused;
    }
    bool absent = true;
    std::vector<std::string> words;
    bool done = LookupGrant(bus, &absent, &words);
    if (done && !state.grantWritten) {
        state.grantWritten = true;
        state.grantAbsent = absent;
        state.grantBefore = words;
    }
    done = done && WriteState(dir, state) && SetGrant(bus, false, {"GRANTED"});
    std::string was = absent ? "none" : "";
    for (const std::string& w : words)
        was += (was.empty() ? "" : " ") + w;
    std::printf("  the shortcuts permission for %s: %s (it was: %s)\n", kAppId,
                done ? "granted" : "NOT granted", was.c_str());
    g_object_unref(bus);
    return done ? kExitDone : kExitRefused;
}
} // namespace

int RunDesktop(const Args& args)
{
    bool undo = false, restoreKey = false, consoleKeys = false, banners = false;
    for (const std::string& arg : args) {
        bool& flag = arg == "--undo"              ? undo
                     : arg == "--no-restore-key"  ? restoreKey
                     : arg == "--no-console-keys" ? consoleKeys
                                                  : banners;
        if (arg != "--undo" && arg != "--no-restore-key" && arg != "--no-console-keys" &&
            arg != "--no-banners") {
            std::fprintf(stderr, "tappy-content desktop: use desktop [--no-restore-key] "
                                 "[--no-console-keys] [--no-banners], or desktop --undo\n");
            return kExitUsage;
        }
        flag = true;
    }
    const std::string dir = StatePath();
    bool present = false;
    std::optional<DesktopState> state = ReadState(dir + "/desktop", &present);
    if (!state) {
        std::fprintf(stderr,
                     "tappy-content: %s/desktop is not what this tool writes; nothing "
                     "changed (remove it to start afresh)\n",
                     dir.c_str());
        return kExitRefused;
    }
    if (undo)
        return Undo(dir, *state, present);
    const DesktopKind kind =
        DetectDesktop(std::getenv("XDG_CURRENT_DESKTOP"), std::getenv("XDG_SESSION_TYPE"),
                      std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"));
    std::printf("%s\n", Held(kind));
    if (kind != DesktopKind::gnome)
        return kExitDone;
    int status = Grant(dir, *state);
    GVariant* none = g_variant_new_strv(nullptr, 0);
    g_variant_ref_sink(none);
    if (restoreKey && !TurnOff(*state, dir, kKeys, "restore-shortcuts", none))
        status = kExitRefused;
    for (int i = 1; consoleKeys && i <= 12; ++i)
        if (!TurnOff(*state, dir, kKeys, "switch-to-session-" + std::to_string(i), none))
            status = kExitRefused;
    g_variant_unref(none);
    if (banners &&
        !TurnOff(*state, dir, kNotifications, "show-banners", g_variant_new_boolean(FALSE)))
        status = kExitRefused;
    g_settings_sync();
    if (!restoreKey)
        std::printf("Super+Escape still gives the shortcuts back to GNOME; to turn it off: "
                    "tappy-content desktop --no-restore-key\n");
    std::printf("tappy-content desktop --undo puts back everything this command changed.\n");
    return status;
}
