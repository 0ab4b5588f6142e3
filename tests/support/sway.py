# The one sway starter of the Wayland end-to-end scripts, as xvfb.py is for X11.
#
# A Sway is a headless sway 1.7 (software rendering, no input devices of its own) with one or
# two outputs of a fixed size side by side, a solid background colour that screenshots can
# find, and key bindings that leave marker files. Everything lives in a private temporary
# folder (its XDG_RUNTIME_DIR among it) and close() leaves nothing behind.
#
# sway refuses to run as root, so when the tests run as root (CI does) sway and the tools that
# speak for the desktop (swaymsg, grim, swayidle) run as nobody; the program under test keeps
# the invoking user, as root may connect to nobody's socket.
import json
import os
import re
import shutil
import signal
import subprocess
import tempfile

from xvfb import H, W, check, wait_until

BACKGROUND = (255, 0, 255)
ROOT = os.geteuid() == 0


def as_desktop(cmd):
    return ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", *cmd] if ROOT else cmd


def stop(proc, limit=5):
    # TERM, and KILL after limit seconds.
    proc.terminate()
    try:
        proc.wait(limit)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def kill_all_of(runtime):
    # What a desktop started in sessions of their own (Xwayland, swaybg, exec'd commands, bus
    # services) and what was started beside it is known by its private runtime folder in its
    # environment.
    mine = ("XDG_RUNTIME_DIR=" + runtime + "\0").encode()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                if mine in f.read():
                    os.kill(int(pid), signal.SIGKILL)
        except OSError:
            pass


class Sway:
    def __init__(self, outputs, bindings, plugged=0, inside=None):
        # bindings: (marker name, sway key combination, "; " and more commands or "", ...);
        # each press touches marks/<name>. plugged: outputs configured beside them for
        # create_output to add later. inside: a Sway whose windows are this one's outputs, so
        # that closing one unplugs it (sway 1.7 cannot take a headless output away).
        self.outputs, self.outer = outputs, inside
        self.prefix = "WL" if inside else "HEADLESS"
        self.dir = tempfile.mkdtemp(prefix="tappy-sway-")
        self.runtime, self.marks = os.path.join(self.dir, "run"), os.path.join(self.dir, "marks")
        os.mkdir(self.runtime, 0o700)
        os.mkdir(self.marks)
        lines = ["xwayland enable", "focus_follows_mouse yes", "seat * pointer_constraint enable",
                 "default_border none"]
        lines += ["output %s-%d mode %dx%d position %d 0 bg #%02x%02x%02x solid_color"
                  % ((self.prefix, i + 1, W, H, i * W) + BACKGROUND) for i in range(outputs + plugged)]
        lines += ["bindsym %s exec touch %s/%s%s" % (combo, self.marks, name, extra)
                  for name, combo, extra, *_ in bindings]
        config = os.path.join(self.dir, "config")
        with open(config, "w") as f:
            f.write("\n".join(lines) + "\n")
        for path in (self.dir, self.runtime, self.marks, config) if ROOT else ():
            os.chown(path, 65534, 65534)  # nobody
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime, HOME=self.dir,
                        XDG_CONFIG_HOME=os.path.join(self.dir, "config.d"))
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK", "SDL_VIDEODRIVER"):
            self.env.pop(name, None)
        self.log = open(os.path.join(self.dir, "sway.log"), "wb")
        # No direct scan-out: sway 1.7 then shows a full-screen window's own buffer on an output
        # without a cursor, and grim captures the output's last composed frame instead (the
        # background), so screenshots would not show what the output shows.
        self.proc = subprocess.Popen(
            as_desktop(["sway", "-D", "noscanout", "-c", config]), stdout=self.log,
            stderr=self.log, start_new_session=True,
            env=dict(self.env, WLR_BACKENDS="wayland" if inside else "headless",
                     WLR_LIBINPUT_NO_DEVICES="1", WLR_RENDERER="pixman",
                     WLR_HEADLESS_OUTPUTS=str(outputs), WLR_WL_OUTPUTS=str(outputs),
                     **({"WAYLAND_DISPLAY": os.path.join(inside.runtime,
                                                         inside.env["WAYLAND_DISPLAY"])}
                        if inside else {})))

    def connect(self):
        # Waits for sway to answer; close() is due even when this fails.
        def socket(prefix):
            check(self.proc.poll() is None, "sway exited at start:\n" + self.output())
            return next((n for n in os.listdir(self.runtime)
                         if n.startswith(prefix) and not n.endswith(".lock")), None)

        ipc, wayland = (wait_until(lambda: socket(p), 30) for p in ("sway-ipc.", "wayland-"))
        check(ipc and wayland, "sway made no sockets within 30 s:\n" + self.output())
        self.env.update(SWAYSOCK=os.path.join(self.runtime, ipc), WAYLAND_DISPLAY=wayland)
        # Xwayland's display, as sway exports it to the programs it starts.
        where = os.path.join(self.dir, "display")
        self.msg("command", "exec echo $DISPLAY > %s" % where)
        check(wait_until(lambda: os.path.exists(where) and open(where).read().endswith("\n"), 10),
              "sway did not say Xwayland's display")
        self.env["DISPLAY"] = open(where).read().strip()
        if ROOT:
            # Xwayland admits only its own user (nobody); the program under test is ours.
            self.run(["xhost", "+si:localuser:root"])

    def output(self):
        return open(self.log.name, errors="replace").read()[-3000:]

    def run(self, cmd):
        # A desktop tool's standard output; failing is a failure of the test.
        r = subprocess.run(as_desktop(cmd), env=self.env, capture_output=True, timeout=30)
        check(r.returncode == 0, "%s failed: %s%s" % (" ".join(cmd), r.stdout[-2000:], r.stderr))
        return r.stdout

    def msg(self, kind, *args):
        return json.loads(self.run(["swaymsg", "-r", "-t", kind, *args]))

    def start(self, cmd, desktop=True, **kw):
        # A helper run as the desktop's user (swayidle) or as ours (the input client), with
        # text streams; ended at close.
        return subprocess.Popen(as_desktop(cmd) if desktop else cmd, env=kw.pop("env", self.env),
                                start_new_session=True, text=True, errors="replace", **kw)

    def markers(self):
        return sorted(os.listdir(self.marks))

    def clear_markers(self):
        for name in self.markers():
            os.unlink(os.path.join(self.marks, name))

    def views(self):
        # Every window in the tree, with the name of its output added.
        def walk(node, output):
            output = node["name"] if node["type"] == "output" else output
            if node.get("pid"):
                yield dict(node, output=output)
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                yield from walk(child, output)

        return list(walk(self.msg("get_tree"), None))

    def background_at(self, output, run=8):
        # Where a run of background pixels shows on the output, or None.
        data = self.run(["grim", "-o", output, "-t", "ppm", "-"])
        header = re.match(rb"P6\s+(\d+)\s+\d+\s+255\s", data)  # as grim writes it
        px, needle = data[header.end():], bytes(BACKGROUND) * run
        at = px.find(needle)
        while at > 0 and at % 3:
            at = px.find(needle, at + 1)
        return None if at < 0 else ((at // 3) % int(header[1]), (at // 3) // int(header[1]))

    def close(self):
        stop(self.proc, 10)
        kill_all_of(self.runtime)
        self.log.close()
        shutil.rmtree(self.dir, ignore_errors=True)
