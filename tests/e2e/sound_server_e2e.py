#!/usr/bin/env python3
# The whole program on Xvfb with a real sound server: PipeWire, its PulseAudio server and
# WirePlumber, headless, in a private runtime folder, with a null sink whose monitor is recorded.
# SDL plays through its pulseaudio driver, as on a desktop.
#
#   restart  keys are heard, the server is stopped and started again, and keys are heard again
#   late     Tappy starts before the server, and keys are heard once the server is up
#   half     the server half up (no WirePlumber: connections are taken, no sink is ever made, a
#            device's open blocks): keys, then the corner exit, still ends Tappy with status 0
#
# Every wait polls with a generous bound; the times are printed, not asserted.
import array
import contextlib
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import xvfb  # noqa: E402
from tappy_e2e import topics  # noqa: E402
from xvfb import Failure, Tappy, check, main, wait_until  # noqa: E402

RATE, SINK = 44100, "tappy-null"
# Made by the server itself, so the sink is there again after every restart.
NULL_SINK = """context.objects = [ { factory = adapter args = {
    factory.name = support.null-audio-sink node.name = "%s" media.class = Audio/Sink
    audio.position = [ FL FR ] object.linger = true priority.driver = 1009 } } ]""" % SINK


class SoundServer:
    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="tappy-pw-")
        run_dir, conf = self.dir + "/run", self.dir + "/.config/pipewire/pipewire.conf.d"
        os.makedirs(run_dir, mode=0o700)
        os.makedirs(conf)
        with open(conf + "/null-sink.conf", "w") as f:
            f.write(NULL_SINK)
        self.session = {"XDG_RUNTIME_DIR": run_dir, "HOME": self.dir,
                        "XDG_CONFIG_HOME": self.dir + "/.config",
                        "DBUS_SESSION_BUS_ADDRESS": "unix:path=%s/bus" % run_dir}
        self.env, self.take, self.recorder = dict(os.environ, **self.session), run_dir + "/t", None
        # WirePlumber wants a session bus, which a machine without a desktop does not have.
        self.procs = [self.spawn("dbus-daemon", "--session", "--nofork", "--address",
                                 self.session["DBUS_SESSION_BUS_ADDRESS"])]

    def spawn(self, *cmd):
        return subprocess.Popen(cmd, env=self.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def start(self, half=False):
        # WirePlumber gives up on a PipeWire that is not listening yet, and without it no stream
        # is ever linked: ready is when it has made the null sink the default. Half up, without
        # it: when the PulseAudio server takes connections.
        self.procs.append(self.spawn("pipewire"))
        check(wait_until(lambda: os.path.exists(self.session["XDG_RUNTIME_DIR"] + "/pipewire-0"),
                         30, 0.2), "PipeWire did not start")
        self.procs += [self.spawn(p) for p in ("wireplumber", "pipewire-pulse")[half:]]

        def up():
            r = subprocess.run(["pactl", "info"], env=self.env, capture_output=True)
            return r.returncode == 0 and (half or "Default Sink: " + SINK in r.stdout.decode())

        check(wait_until(up, 30, 0.2), "the sound server did not come up"
              + ("" if half else " with its null sink as the default"))
        return time.monotonic()

    def stop(self, keep=1):
        # The newest first; keep=1 leaves the bus.
        self.record(False)
        while len(self.procs) > keep:
            self.procs[-1].terminate()
            self.procs.pop().wait()

    def record(self, on=True):
        if self.recorder:
            self.recorder.send_signal(signal.SIGINT)
            self.recorder.wait()
        self.since, self.recorder = time.monotonic(), on and self.spawn(
            "parec", "-d", SINK + ".monitor", "--raw", "--format=s16le", "--rate=%d" % RATE,
            "--channels=1", "--latency-msec=20", self.take)

    def tones(self):
        # Onsets (s into the take) of 10 ms blocks with a sample past a tenth of full scale, after
        # at least 50 ms without.
        data = open(self.take, "rb").read() if os.path.exists(self.take) else b""
        samples = array.array("h", data[:len(data) // 2 * 2])
        loud = [max(map(abs, samples[i:i + RATE // 100])) > 3000
                for i in range(0, len(samples), RATE // 100)]
        return [i / 100 for i, on in enumerate(loud) if on and not any(loud[max(0, i - 5):i])]


def keys_heard(tappy, server, count):
    # Keys a tone apart (each lasts 0.4 s), the take started after the one before has ended.
    time.sleep(1.0)
    server.record()
    for i in range(count):
        tappy.display.key("asdfghjkl"[i])
        time.sleep(1.2)
    server.record(False)
    check(tappy.alive(), "tappy ended while playing: %s" % tappy.stderr())
    return len(server.tones())


def seconds_to_first_heard(tappy, server, ready):
    server.record()
    for i in range(40):
        if server.recorder.poll() is not None:  # a recorder that came too early
            server.record()
        tappy.display.key("qwertyuiop"[i % 10])
        if wait_until(server.tones, 1.0, 0.2):
            return server.since + server.tones()[0] - ready
    streams = subprocess.run(["pactl", "list", "short", "sink-inputs"], env=server.env,
                             capture_output=True).stdout.decode()
    raise Failure("no key was heard after the sound server came up; streams: " + streams)


@contextlib.contextmanager
def sound_server():
    # A server the Tappys started meanwhile play through, taken away whole at the end.
    server, base_env = SoundServer(), xvfb.tappy_env
    xvfb.tappy_env = lambda display, *_, **__: base_env(display, "pulseaudio", **server.session)
    try:
        yield server
    finally:
        xvfb.tappy_env = base_env
        server.stop(keep=0)
        shutil.rmtree(server.dir, ignore_errors=True)


def scenario(restart):
    def run(display, args):
        with sound_server() as server:
            if restart:
                server.start()
            with Tappy(display, args.tappy, topics) as tappy:
                before = keys_heard(tappy, server, 6) if restart else None
                server.stop()
                tappy.display.key("z")  # with no server: dropped
                time.sleep(1.0)
                latency = seconds_to_first_heard(tappy, server, server.start())
                after = keys_heard(tappy, server, 6)
                print("tones heard: %s of 6 before, %d of 6 after; the first key heard %.2f s "
                      "after the server was ready" % (before, after, latency))
                check(after >= 5 and (before is None or before >= 5), "keys went unheard")
                tappy.leave_by_corners()
    return run


def half_up(display, args):
    with sound_server() as server:
        server.start(half=True)
        with Tappy(display, args.tappy, topics) as tappy:
            for key in "asdf":
                tappy.display.key(key)
                time.sleep(0.5)
            check(tappy.alive(), "tappy ended while playing: %s" % tappy.stderr())
            # The About box stands 3 s; a worker stuck in the device's open must not add to it
            # much. The deadline is generous, the figure is printed.
            started = time.monotonic()
            tappy.leave_by_corners(timeout=10)
            print("ended %.1f s after the corners" % (time.monotonic() - started))


if __name__ == "__main__":
    sys.exit(main({"restart": (scenario(True), 1024), "late": (scenario(False), 1024),
                   "half": (half_up, 1024)},
                  "Xvfb xdotool import convert sox pipewire pipewire-pulse wireplumber pactl parec "
                  "dbus-daemon".split()))
