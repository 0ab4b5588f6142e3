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
import shutil
import signal
import subprocess
import tempfile
import time

from xvfb import Failure, check

W, H = 1024, 768
BACKGROUND = (255, 0, 255)
ROOT = os.geteuid() == 0
NOBODY = 65534


def wait_until(what, limit, step=0.1):
    # what() until it returns something true, for at most limit seconds; returns its last value.
    end = time.monotonic() + limit
    while True:
        value = what()
        if value or time.monotonic() > end:
            return value
        time.sleep(step)


def as_desktop(cmd):
    if not ROOT:
        return cmd
    return ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", *cmd]


class Sway:
    def __init__(self, outputs, bindings):
        # bindings: marker name -> sway key combination; each press touches marks/<name>.
        # A marker's command may be followed by more, after "; " (e.g. "Mod1+F4": "...; kill").
        self.outputs = outputs
        self.dir = tempfile.mkdtemp(prefix="tappy-sway-")
        self.runtime = os.path.join(self.dir, "run")
        self.marks = os.path.join(self.dir, "marks")
        os.mkdir(self.runtime, 0o700)
        os.mkdir(self.marks)
        lines = ["xwayland enable", "focus_follows_mouse yes", "seat * pointer_constraint enable",
                 "default_border none"]
        for i in range(outputs):
            lines.append("output HEADLESS-%d mode %dx%d position %d 0 bg #%02x%02x%02x solid_color"
                         % ((i + 1, W, H, i * W) + BACKGROUND))
        for name, (combo, extra) in bindings.items():
            lines.append("bindsym %s exec touch %s/%s%s"
                         % (combo, self.marks, name, "; " + extra if extra else ""))
        config = os.path.join(self.dir, "config")
        with open(config, "w") as f:
            f.write("\n".join(lines) + "\n")
        if ROOT:
            for path in (self.dir, self.runtime, self.marks, config):
                os.chown(path, NOBODY, NOBODY)
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK", "SDL_VIDEODRIVER")}
        self.env.update(XDG_RUNTIME_DIR=self.runtime, HOME=self.dir,
                        XDG_CONFIG_HOME=os.path.join(self.dir, "config.d"))
        sway_env = dict(self.env, WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1",
                        WLR_RENDERER="pixman", WLR_HEADLESS_OUTPUTS=str(outputs))
        self.log = open(os.path.join(self.dir, "sway.log"), "wb")
        # No direct scan-out: sway 1.7 then shows a full-screen window's own buffer on an output
        # without a cursor, and grim captures the output's last composed frame instead (the
        # background), so screenshots would not show what the output shows.
        self.proc = subprocess.Popen(as_desktop(["sway", "-D", "noscanout", "-c", config]),
                                     env=sway_env, stdout=self.log, stderr=self.log,
                                     start_new_session=True)
        self.children = []
        try:
            self._wait_for_socket()
        except Exception:
            self.close()
            raise

    def _wait_for_socket(self):
        def sockets():
            check(self.proc.poll() is None, "sway exited at start:\n" + self.output())
            names = os.listdir(self.runtime)
            ipc = [n for n in names if n.startswith("sway-ipc.")]
            wl = [n for n in names if n.startswith("wayland-") and not n.endswith(".lock")]
            return (ipc[0], wl[0]) if ipc and wl else None

        found = wait_until(sockets, 30)
        check(found, "sway made no sockets within 30 s:\n" + self.output())
        self.env.update(SWAYSOCK=os.path.join(self.runtime, found[0]), WAYLAND_DISPLAY=found[1])
        check(wait_until(lambda: self.msg("get_version", check_ok=False), 30),
              "sway does not answer on its socket:\n" + self.output())
        # Xwayland's display, as sway exports it to the programs it starts.
        where = os.path.join(self.dir, "display")
        self.msg("command", "exec echo $DISPLAY > %s" % where)
        wait_until(lambda: os.path.exists(where) and open(where).read().endswith("\n"), 10)
        display = open(where).read().strip() if os.path.exists(where) else ""
        if display:
            self.env["DISPLAY"] = display
            if ROOT:
                # Xwayland admits only its own user (nobody); the program under test is ours.
                r = subprocess.run(as_desktop(["xhost", "+si:localuser:root"]), env=self.env,
                                   capture_output=True, timeout=30)
                check(r.returncode == 0, "xhost could not admit root to Xwayland: %s"
                      % r.stderr.decode(errors="replace"))

    def output(self):
        self.log.flush()
        return open(self.log.name, errors="replace").read()[-3000:]

    def msg(self, kind, *args, check_ok=True):
        r = subprocess.run(as_desktop(["swaymsg", "-r", "-t", kind, *args]), env=self.env,
                           capture_output=True, timeout=20)
        if not check_ok:
            return json.loads(r.stdout) if r.returncode == 0 else None
        check(r.returncode == 0, "swaymsg -t %s %s failed: %s%s"
              % (kind, " ".join(args), r.stdout.decode(errors="replace"),
                 r.stderr.decode(errors="replace")))
        return json.loads(r.stdout)

    def command(self, text):
        return self.msg("command", text)

    def start(self, cmd, desktop=True, **kw):
        # A helper run as the desktop's user (swayidle) or as ours (the input client), killed
        # at close.
        proc = subprocess.Popen(as_desktop(cmd) if desktop else cmd, env=kw.pop("env", self.env),
                                start_new_session=True, **kw)
        self.children.append(proc)
        return proc

    def stop(self, proc):
        if proc.poll() is None:
            os.killpg(proc.pid, signal.SIGTERM)
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()

    def markers(self):
        return sorted(os.listdir(self.marks))

    def clear_markers(self):
        for name in self.markers():
            os.unlink(os.path.join(self.marks, name))

    def views(self):
        # Every window in the tree: dicts with the tree's own fields plus "output" and
        # "workspace" names.
        found = []

        def walk(node, output, workspace):
            if node["type"] == "output":
                output = node["name"]
            elif node["type"] == "workspace":
                workspace = node["name"]
            if node["type"] in ("con", "floating_con") and node.get("pid"):
                found.append(dict(node, output=output, workspace=workspace))
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child, output, workspace)

        walk(self.msg("get_tree"), None, None)
        return found

    def screenshot(self, output):
        # grim's PPM of one output, raw: (width, height, bytes).
        r = subprocess.run(as_desktop(["grim", "-o", output, "-t", "ppm", "-"]), env=self.env,
                           capture_output=True, timeout=30)
        check(r.returncode == 0, "grim failed on %s: %s" % (output, r.stderr.decode()))
        data = r.stdout
        fields, pos = [], 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            start = pos
            while not data[pos:pos + 1].isspace():
                pos += 1
            fields.append(data[start:pos])
        return int(fields[1]), int(fields[2]), data[pos + 1:]

    def background_at(self, output, run=8):
        # Where a run of background pixels shows on the output, or None.
        width, _, px = self.screenshot(output)
        needle = bytes(BACKGROUND) * run
        at = px.find(needle)
        while at >= 0:
            if at % 3 == 0:
                return ((at // 3) % width, (at // 3) // width)
            at = px.find(needle, at + 1)
        return None

    def close(self):
        for proc in self.children:
            self.stop(proc)
        if self.proc.poll() is None:
            os.killpg(self.proc.pid, signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(self.proc.pid, signal.SIGKILL)
                self.proc.wait()
        # What sway started in sessions of their own (Xwayland, swaybg, exec'd commands) is
        # known by the private runtime folder in its environment.
        mine = ("XDG_RUNTIME_DIR=" + self.runtime + "\0").encode()
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/environ" % pid, "rb") as f:
                    if mine in f.read():
                        os.kill(int(pid), signal.SIGKILL)
            except (OSError, ProcessLookupError):
                pass
        self.log.close()
        shutil.rmtree(self.dir, ignore_errors=True)


__all__ = ["Sway", "Failure", "check", "wait_until", "as_desktop", "BACKGROUND", "W", "H"]
