#!/usr/bin/env python3
# The whole program on Xvfb with a real sound server: PipeWire, its PulseAudio server and
# WirePlumber, headless, in a private runtime folder, with a null sink whose monitor is
# recorded. SDL plays through its pulseaudio driver, as on a desktop.
#
#   restart  tones are heard, the server is stopped and started again, and keys are heard again
#   late     Tappy starts before the server, and is heard once the server is up
#
# Every wait polls with a generous bound; the times are printed, not asserted.
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xvfb import Failure, Tappy, check, main, tappy_env  # noqa: E402
from tappy_e2e import topics  # noqa: E402

RATE = 44100
SINK = "tappy-null"
# Kept by the server itself, so the sink is there again after every restart.
NULL_SINK = """context.objects = [
    { factory = adapter args = { factory.name = support.null-audio-sink node.name = "%s"
      media.class = Audio/Sink audio.position = [ FL FR ] object.linger = true
      priority.session = 1009 priority.driver = 1009 } }
]
""" % SINK


def poll(pred, seconds, step=0.2):
    for _ in range(int(seconds / step)):
        if pred():
            return True
        time.sleep(step)
    return pred()


class SoundServer:
    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="tappy-pw-")
        run_dir, home = os.path.join(self.dir, "run"), os.path.join(self.dir, "home")
        os.makedirs(run_dir, mode=0o700)
        conf = os.path.join(home, ".config", "pipewire", "pipewire.conf.d")
        os.makedirs(conf)
        with open(os.path.join(conf, "null-sink.conf"), "w") as f:
            f.write(NULL_SINK)
        self.env = dict(os.environ, XDG_RUNTIME_DIR=run_dir, HOME=home,
                        XDG_CONFIG_HOME=os.path.join(home, ".config"),
                        DBUS_SESSION_BUS_ADDRESS="unix:path=" + os.path.join(run_dir, "bus"))
        # WirePlumber wants a session bus, which a machine without a desktop does not have.
        self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--address",
                                     self.env["DBUS_SESSION_BUS_ADDRESS"]], env=self.env)
        self.procs, self.recorder = [], None

    def ready(self):
        r = subprocess.run(["pactl", "list", "short", "sinks"], env=self.env, capture_output=True)
        return r.returncode == 0 and SINK in r.stdout.decode()

    def start(self):
        for name in ("pipewire", "wireplumber", "pipewire-pulse"):
            self.procs.append(subprocess.Popen([name], env=self.env, stdout=subprocess.DEVNULL,
                                               stderr=subprocess.DEVNULL))
            time.sleep(0.3)
        check(poll(self.ready, 30), "the sound server did not come up with its null sink")
        return time.monotonic()

    def stop(self):
        self.stop_recording()
        for proc in reversed(self.procs):
            proc.terminate()
            proc.wait()
        self.procs = []

    def record(self):
        self.stop_recording()
        self.take = os.path.join(self.dir, "take.raw")
        self.recorder = subprocess.Popen(
            ["parec", "-d", SINK + ".monitor", "--raw", "--format=s16le", "--rate=%d" % RATE,
             "--channels=1", "--latency-msec=20", self.take], env=self.env)
        self.recorded_from = time.monotonic()

    def stop_recording(self):
        if self.recorder:
            self.recorder.send_signal(signal.SIGINT)
            self.recorder.wait()
            self.recorder = None

    def tones(self):
        # Onsets of loud stretches, in seconds into the take: a 10 ms block is loud when a sample
        # in it passes a tenth of full scale; a tone starts after at least 50 ms of quiet.
        data = open(self.take, "rb").read() if os.path.exists(self.take) else b""
        samples = struct.unpack("<%dh" % (len(data) // 2), data[:len(data) // 2 * 2])
        block, onsets, quiet = RATE // 100, [], 5
        for i in range(0, len(samples) - block, block):
            loud = max(map(abs, samples[i:i + block])) > 3000
            if loud and quiet >= 5:
                onsets.append(i / RATE)
            quiet = 0 if loud else quiet + 1
        return onsets

    def close(self):
        self.stop()
        self.bus.terminate()
        self.bus.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


class ServerTappy(Tappy):
    def __init__(self, display, command, server):
        self.display, self.dir = display, tempfile.mkdtemp(prefix="tappy-e2e-")
        topics(self.dir)
        self.program = shutil.copy2(command, os.path.join(self.dir, "tappy"))
        env = tappy_env(display, "pulseaudio", **{k: server.env[k] for k in (
            "XDG_RUNTIME_DIR", "HOME", "XDG_CONFIG_HOME", "DBUS_SESSION_BUS_ADDRESS")})
        self.proc = subprocess.Popen([self.program], cwd="/", stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, env=env)
        self.wait_for_window()


def keys_heard(tappy, server, count):
    # Keys a sound apart (each tone lasts 0.4 s); returns the number of tones in the take, which
    # starts after the sound before it has ended.
    time.sleep(1.0)
    server.record()
    time.sleep(0.5)
    for i in range(count):
        tappy.display.key("asdfghjkl"[i % 9])
        time.sleep(1.2)
    time.sleep(0.5)
    server.stop_recording()
    check(tappy.alive(), "tappy ended while playing: %s" % tappy.stderr())
    return len(server.tones())


def first_heard_after(tappy, server, ready):
    # Keys until one is heard; seconds from the server's being ready to the first tone.
    server.record()
    for i in range(40):
        tappy.display.key("qwertyuiop"[i % 10])
        if poll(lambda: server.tones(), 1.0):
            return server.recorded_from + server.tones()[0] - ready
    raise Failure("no key was heard after the sound server came back")


def with_server(scenario):
    def run(display, args):
        server = SoundServer()
        try:
            scenario(display, args, server)
        finally:
            server.close()
    return run


@with_server
def scenario_restart(display, args, server):
    server.start()
    with ServerTappy(display, args.tappy, server) as tappy:
        before = keys_heard(tappy, server, 6)
        server.stop()
        time.sleep(1.0)
        ready = server.start()
        latency = first_heard_after(tappy, server, ready)
        after = keys_heard(tappy, server, 6)
        print("tones heard: %d of 6 before the restart, %d of 6 after; the first key heard "
              "%.2f s after the server was ready" % (before, after, latency))
        check(before >= 5 and after >= 5, "keys went unheard around the restart")
        tappy.leave_by_corners()


@with_server
def scenario_late(display, args, server):
    with ServerTappy(display, args.tappy, server) as tappy:
        tappy.display.key("a")
        time.sleep(1.0)
        check(tappy.alive(), "tappy ended without a sound server: %s" % tappy.stderr())
        ready = server.start()
        latency = first_heard_after(tappy, server, ready)
        after = keys_heard(tappy, server, 4)
        print("first key heard %.2f s after the server was ready; then %d of 4"
              % (latency, after))
        check(after >= 3, "keys went unheard once the server was up")
        tappy.leave_by_corners()


SCENARIOS = {"restart": (scenario_restart, 1024), "late": (scenario_late, 1024)}

if __name__ == "__main__":
    sys.exit(main(SCENARIOS, ("Xvfb", "xdotool", "import", "convert", "sox", "pipewire",
                              "pipewire-pulse", "wireplumber", "pactl", "parec", "dbus-daemon")))
