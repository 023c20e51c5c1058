#!/usr/bin/env python3
"""Replays a log twice, once printing the records the module hands to the
host (--json) and once serving them (--serve) to gpspipe, and checks that
every second's TPV agrees with that second's last record: lat, lon, alt,
track, speed (km/h / 3.6) and mode exactly, members left out by the rules.
Usage: tpv_agree.py VPIHOST LOG [vpihost options...]; prints one summary line."""
import json
import os
import re
import subprocess
import sys
import tempfile


def run_records(vpihost, log, extra, profile):
    out = subprocess.run([vpihost, "--profile", profile, "--replay", log, "--fast", "--json", "--quiet"] + extra,
                         check=True, capture_output=True, text=True).stdout
    return [json.loads(line) for line in out.splitlines()]


def run_served(vpihost, log, extra, profile):
    server = subprocess.Popen([vpihost, "--profile", profile, "--replay", log, "--fast", "--serve", "127.0.0.1:0"] +
                              extra, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    port = None
    for line in server.stderr:
        found = re.search(r"protocol on 127\.0\.0\.1:(\d+)", line)
        if found:
            port = found.group(1)
            break
    if not port:
        server.kill()
        sys.exit("vpihost did not say its port")
    # vpihost replays once a client watches; gpspipe ends when vpihost closes.
    piped = subprocess.run(["gpspipe", "-w", "127.0.0.1:" + port], capture_output=True, text=True, timeout=600)
    server.stderr.read()
    if server.wait() != 0:
        sys.exit("vpihost --serve failed")
    return [json.loads(line) for line in piped.stdout.splitlines() if line.startswith("{")]


def epochs(records):
    """The last record of each run of records with one szTime."""
    last = []
    for record in records:
        if last and last[-1]["szTime"] == record["szTime"]:
            last[-1] = record
        else:
            last.append(record)
    return last


def expected(record, seen):
    """The TPV members by the documented rules, worked out here again."""
    lat, lon = record["dLatitude"], record["dLongitude"]
    tpv = {"mode": 1}
    if (lat, lon) == (0, 0) or abs(lat) > 90 or abs(lon) > 180:
        return tpv
    alt = record["dAltitude"]
    tpv.update(mode=3 if alt != 0 else 2, lat=lat, lon=lon)
    if alt != 0:
        tpv.update(alt=alt, altMSL=alt)
    if record["dCourse"] != 0 or (record["dSpeed"] != 0 and seen["course"]):
        tpv["track"] = record["dCourse"]
    if seen["speed"]:
        tpv["speed"] = record["dSpeed"] / 3.6
    return tpv


def main():
    vpihost, log, extra = sys.argv[1], sys.argv[2], sys.argv[3:]
    with tempfile.TemporaryDirectory() as work:
        records = run_records(vpihost, log, extra, os.path.join(work, "a.ini"))
        served = [r for r in run_served(vpihost, log, extra, os.path.join(work, "b.ini")) if r["class"] == "TPV"]
    # A second reported again (a pause inside it) counts with its last TPV.
    tpvs = []
    for tpv in served:
        if tpvs and "time" in tpv and tpvs[-1].get("time") == tpv["time"]:
            tpvs[-1] = tpv
        else:
            tpvs.append(tpv)
    # Facts learnt from every record up to each second's last one.
    seen, wanted, index = {"course": False, "speed": False}, [], 0
    for last in epochs(records):
        while True:
            record = records[index]
            index += 1
            seen["course"] |= record["dCourse"] != 0
            seen["speed"] |= record["dCourse"] != 0 or record["dSpeed"] != 0 or record["szDate"] != ""
            if record is last:
                break
        wanted.append(expected(last, dict(seen)))
    keys = ("mode", "lat", "lon", "alt", "altMSL", "track", "speed")
    got = [{k: t[k] for k in keys if k in t} for t in tpvs]
    bad = [(i, w, g) for i, (w, g) in enumerate(zip(wanted, got)) if w != g]
    modes = {m: sum(1 for g in got if g["mode"] == m) for m in (1, 2, 3)}
    print("%s: %d records, %d seconds, %d TPVs (mode 1/2/3: %d/%d/%d), %d disagree" %
          (os.path.basename(log), len(records), len(wanted), len(got), modes[1], modes[2], modes[3],
           len(bad) + abs(len(wanted) - len(got))))
    for i, w, g in bad[:5]:
        print("  second %d: expected %s, served %s" % (i, w, g))
    return 0 if not bad and len(wanted) == len(got) else 1


if __name__ == "__main__":
    sys.exit(main())
