#pragma once
// Tappy's hold on the desktop session, for the application object, on X11 (SDL's displays and a
// one-line notice elsewhere):
//  [X] one instance per user and display: an flock()ed file in $XDG_RUNTIME_DIR (or /tmp), which
//      the kernel frees when the process dies, so a killed instance blocks nothing
//  [X] a second start brings the running instance's window to the front instead
//  [X] Caps Lock, Num Lock and Scroll Lock put back at exit as they were at start
//  [X] the screen saver and blanking held off while the program runs
//  [X] one line on standard error on a Wayland session, saying what the lock holds there
//  [ ] the lock keys are not put back when the program is killed (SIGTERM, SIGKILL)
//  [ ] power and suspend keys belong to the system, not to a program (see the README)

// Called once before any window exists. True: this is the one Tappy on this display (or that
// could not be told) and the session is held until the platform's shut-down. False: another Tappy
// runs there and has been asked to the front; this one should end without a window.
bool ClaimDesktopSession(const char* title);
