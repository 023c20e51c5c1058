#!/usr/bin/python3
"""vpihost --simulate nmea --json --serve with a stdout that nobody reads (a
pipe of 64 KiB, as "| sleep 300" gives) and two gpspipe clients: the GPX
points as the run goes, the clients' TPVs, and how long SIGTERM takes to end
the run. Prints the figures; nothing here is a pass/fail test.

    bench/vpihost/unread-stdout.py build/linux-release/bin/vpihost [SECONDS]
"""
import os, re, signal, subprocess, sys, tempfile, time


def points(gpx):
    return open(gpx).read().count('<trkpt ') if os.path.exists(gpx) else 0


def main():
    program = os.path.abspath(sys.argv[1])
    seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 120
    with tempfile.TemporaryDirectory(prefix='vpihost-unread-stdout-') as folder:
        gpx, err_path = os.path.join(folder, 't.gpx'), os.path.join(folder, 'err')
        unread, w = os.pipe()
        with open(err_path, 'w') as err:
            p = subprocess.Popen([program, '--profile', os.path.join(folder, 'profile.ini'), '--simulate', 'nmea',
                                  '--json', '--serve', '127.0.0.1:0', '--gpx', gpx], stdout=w, stderr=err)
        os.close(w)
        port = None
        for _ in range(300):
            time.sleep(0.1)
            m = re.search(r'protocol on 127\.0\.0\.1:(\d+)', open(err_path).read())
            if m:
                port = m.group(1)
                break
        outs = [os.path.join(folder, 'client%d' % i) for i in range(2)]
        clients = [subprocess.Popen(['gpspipe', '-w', '127.0.0.1:' + port], stdout=open(o, 'w'),
                                    stderr=subprocess.DEVNULL) for o in outs]
        start, seen = time.time(), []
        while time.time() - start < seconds:
            time.sleep(10)
            seen.append(points(gpx))
        print('GPX points every 10 s:', ' '.join(map(str, seen)))
        asked = time.time()
        p.send_signal(signal.SIGTERM)
        try:
            code = p.wait(10)
            ended = 'exit %d %.2f s after SIGTERM' % (code, time.time() - asked)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()
            ended = 'still running 10 s after SIGTERM (killed)'
        for c in clients:
            c.wait(10)
        tpvs = [sum(1 for l in open(o) if '"class":"TPV"' in l and '"time"' in l) for o in outs]
        err = open(err_path).read()
        print('%s; TPVs with a time per gpspipe client: %s in %d s; GPX points at the end: %d; a line failure said: %s'
              % (ended, tpvs, seconds, points(gpx), 'stopped reading' in err))
        left = [l for l in err.splitlines() if 'left out' in l]
        if left:
            print(left[-1])
        os.close(unread)


main()
