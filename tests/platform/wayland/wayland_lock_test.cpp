// What the Wayland lock decides without a compositor: the status line a parent reads, the
// guard in front of libxkbcommon, and the datagrams a second start sends.
#include "platform/wayland/wayland_lock.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <filesystem>

#include "support/test_pictures.h"

namespace wl = tappy::wayland;
using wl::Shortcuts;

TEST(WaylandLock, StatusLineSaysHeldOnlyWhenGranted)
{
    const std::tuple<Shortcuts, bool, const char*> rows[] = {
        // granted or not, focused, the words said
        {Shortcuts::held, true, "shortcuts held;"},
        {Shortcuts::held, false, "another window has it"},
        {Shortcuts::asking, true, "not granted yet"},
        {Shortcuts::refused, true, "NOT held"},
        {Shortcuts::unavailable, true, "NOT held"},
    };
    for (const auto& [shortcuts, focused, says] : rows) {
        const std::string line = wl::StatusLine({shortcuts, focused});
        EXPECT_EQ(line.rfind("Tappy on Wayland: ", 0), 0u) << line;
        EXPECT_NE(line.find(says), std::string::npos) << line;
        // The end-to-end tests wait for these words; only a grant while focused may say them.
        EXPECT_EQ(line.find("shortcuts held;") != std::string::npos,
                  shortcuts == Shortcuts::held && focused)
            << line;
        EXPECT_EQ(line.find('\n'), std::string::npos);
    }
}

TEST(WaylandLock, ModifiersBeforeAKeymapAreDroppedAndOthersPassedOn)
{
    // A null state is what SDL 2.26.5 hands on when modifiers come before the keymap.
    EXPECT_EQ(xkb_state_update_mask(nullptr, 1, 0, 0, 0, 0, 0), 0);
    xkb_keymap_key_for_each(
        nullptr, [](xkb_keymap*, xkb_keycode_t, void*) { FAIL(); }, nullptr);

    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
    ASSERT_NE(keymap, nullptr);
    xkb_state* state = xkb_state_new(keymap);
    const xkb_mod_mask_t shift = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
    EXPECT_EQ(xkb_state_update_mask(state, shift, 0, 0, 0, 0, 0),
              XKB_STATE_MODS_DEPRESSED | XKB_STATE_MODS_EFFECTIVE);
    int keys = 0;
    xkb_keymap_key_for_each(
        keymap, [](xkb_keymap*, xkb_keycode_t, void* n) { ++*static_cast<int*>(n); }, &keys);
    EXPECT_GT(keys, 0);
    xkb_state_unref(state);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
}

TEST(WaylandLock, ASecondStartsDatagramsCarryOnlyPrintableTokens)
{
    testpics::TempDir dir;
    const std::string path = (dir.path() / "lock.raise").string();
    std::string token;
    EXPECT_EQ(wl::ListenForRaise(std::string(200, 'x')), -1); // longer than a socket path
    EXPECT_FALSE(wl::SendRaise(path, "nobody listens"));
    const int fd = wl::ListenForRaise(path);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(wl::ReceiveRaise(fd, token));

    // The newest printable token wins; an empty request still asks; a token with a control
    // character or a space is dropped, not passed to the compositor.
    for (const char* sent : {"first", "second_token-1", "bad\x01token", "bad token", ""})
        ASSERT_TRUE(wl::SendRaise(path, sent));
    EXPECT_TRUE(wl::ReceiveRaise(fd, token));
    EXPECT_EQ(token, "second_token-1");
    EXPECT_FALSE(wl::ReceiveRaise(fd, token));

    // A socket file left by an instance that died does not stop the next one listening.
    close(fd);
    const int again = wl::ListenForRaise(path);
    EXPECT_GE(again, 0);
    close(again);
}
