"""A client on Python's gps module (Debian's python3-gps, run with
/usr/bin/python3), as many scripts are: watches HOST:PORT and prints one line
for each of the first COUNT TPVs with a time and a fix, "mode lat lon altMSL
speed track time". Usage: gps_python_client.py HOST PORT COUNT"""
import sys

import gps


def main():
    host, port, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
    session = gps.gps(host=host, port=port, mode=gps.WATCH_ENABLE | gps.WATCH_JSON)
    printed = 0
    while printed < count:
        if not session.waiting(10) or session.read() != 0:
            return 1
        tpv = session.data
        if tpv.get("class") != "TPV" or tpv.get("mode", 0) < 2 or "time" not in tpv:
            continue
        print(tpv["mode"], "%.6f %.6f %.1f %.2f" % (tpv["lat"], tpv["lon"], tpv.get("altMSL", float("nan")),
                                                    tpv.get("speed", float("nan"))),
              "track" if "track" in tpv else "notrack", tpv["time"])
        printed += 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
