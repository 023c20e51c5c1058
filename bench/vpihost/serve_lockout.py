#!/usr/bin/env python3
"""vpihost --serve held by hostile clients, with figures:
1. 256 idle connections (and again 256 that send one byte a second) are
   held; then a new `gpspipe -w` connects: how long until its VERSION and
   its first TPV.
2. vpihost runs with `ulimit -n 64` and 100 connections are made: its CPU
   (from /proc/PID/stat) over 10 s while the listening socket has more
   waiting than it has descriptors for; then 50 of them close, and a new
   client is served.
Usage: serve_lockout.py VPIHOST. Prints the figures; no pass/fail."""
import os
import re
import resource
import socket
import subprocess
import sys
import tempfile
import time

TICKS = os.sysconf("SC_CLK_TCK")


def start(vpihost, work, files=None):
    def limit():
        if files:
            resource.setrlimit(resource.RLIMIT_NOFILE, (files, files))
    server = subprocess.Popen([vpihost, "--profile", os.path.join(work, "p.ini"), "--simulate", "nmea", "--serve",
                               "127.0.0.1:0"], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                              preexec_fn=limit)
    for line in server.stderr:
        found = re.search(r"protocol on 127\.0\.0\.1:(\d+)", line)
        if found:
            return server, int(found.group(1))
    sys.exit("vpihost did not say its port")


def connect(port):
    s = socket.socket()
    s.setblocking(False)
    s.connect_ex(("127.0.0.1", port))
    return s


def cpu_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def newcomer(port):
    """Seconds until a new gpspipe -w gets its VERSION and its first TPV."""
    begun = time.monotonic()
    pipe = subprocess.Popen(["gpspipe", "-w", "127.0.0.1:%d" % port], stdout=subprocess.PIPE, text=True)
    version = tpv = None
    os.set_blocking(pipe.stdout.fileno(), True)
    while tpv is None and time.monotonic() - begun < 10:
        line = pipe.stdout.readline()
        if not line:
            break
        if '"class":"VERSION"' in line and version is None:
            version = time.monotonic() - begun
        if '"class":"TPV"' in line and '"mode":3' in line:
            tpv = time.monotonic() - begun
    pipe.kill()
    pipe.wait()
    return version, tpv


def held(vpihost, work, trickle):
    server, port = start(vpihost, work)
    time.sleep(2)
    clients = [connect(port) for _ in range(256)]
    time.sleep(1)
    end = time.monotonic() + 3
    while trickle and time.monotonic() < end:
        for c in clients:
            try:
                c.send(b"?")
            except OSError:
                pass
        time.sleep(1)
    version, tpv = newcomer(port)
    kind = "256 clients sending a byte a second" if trickle else "256 idle connections"
    print("%s held: a new gpspipe -w got VERSION after %s s, its first TPV after %s s" %
          (kind, "%.3f" % version if version is not None else "never", "%.3f" % tpv if tpv is not None else "never"))
    for c in clients:
        c.close()
    server.terminate()
    server.wait()


def out_of_descriptors(vpihost, work):
    server, port = start(vpihost, work, files=64)
    time.sleep(2)
    clients = [connect(port) for _ in range(100)]
    time.sleep(1)
    before = cpu_seconds(server.pid)
    time.sleep(10)
    share = (cpu_seconds(server.pid) - before) / 10 * 100
    print("ulimit -n 64, 100 connections: vpihost used %.1f %% of a core over 10 s" % share)
    for c in clients[:50]:
        c.close()
    time.sleep(1)
    version, tpv = newcomer(port)
    print("  50 of them closed: a new gpspipe -w got VERSION after %s s, its first TPV after %s s" %
          ("%.3f" % version if version is not None else "never", "%.3f" % tpv if tpv is not None else "never"))
    for c in clients[50:]:
        c.close()
    server.terminate()
    server.wait()


def main():
    vpihost = sys.argv[1]
    with tempfile.TemporaryDirectory() as work:
        held(vpihost, work, trickle=False)
        held(vpihost, work, trickle=True)
        out_of_descriptors(vpihost, work)


if __name__ == "__main__":
    main()
