#!/usr/bin/python3
"""vpihost --replay --fast --serve with many watchers: how many TPVs of the
replay each reading client gets, with and without stalled clients beside it.
Prints the figures; nothing here is a pass/fail test.

    bench/vpihost/serve-replay.py build/linux-release/bin/vpihost [SECONDS]
"""
import os, re, selectors, socket, subprocess, sys, tempfile, time


def sentence(body):
    s = 0
    for c in body.encode():
        s ^= c
    return '$%s*%02X\r\n' % (body, s)


def run(program, folder, log, readers, stalled, seconds):
    err_path = os.path.join(folder, 'err')
    with open(err_path, 'w') as err:
        p = subprocess.Popen([program, '--profile', os.path.join(folder, 'profile.ini'), '--replay', log, '--fast',
                              '--serve', '127.0.0.1:0'], stdout=subprocess.DEVNULL, stderr=err)
    port = None
    for _ in range(300):
        time.sleep(0.1)
        m = re.search(r'protocol on 127\.0\.0\.1:(\d+)', open(err_path).read())
        if m:
            port = int(m.group(1))
            break
    sel, counts, bufs, quiet = selectors.DefaultSelector(), {}, {}, []
    for _ in range(stalled):
        s = socket.socket()
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        s.connect(('127.0.0.1', port))
        quiet.append(s)
    for _ in range(readers):
        s = socket.socket()
        s.connect(('127.0.0.1', port))
        s.setblocking(False)
        sel.register(s, selectors.EVENT_READ)
        counts[s], bufs[s] = 0, b''
    # Every client asks at once: the replay starts with the first watch.
    for s in quiet + list(counts):
        s.send(b'?WATCH={"enable":true}\n')
    start, open_clients = time.time(), readers
    while open_clients:
        for key, _ in sel.select(1):
            s = key.fileobj
            try:
                chunk = s.recv(1 << 16)
            except BlockingIOError:
                continue
            if not chunk:
                sel.unregister(s)
                open_clients -= 1
                continue
            *lines, bufs[s] = (bufs[s] + chunk).split(b'\r\n')
            counts[s] += sum(1 for l in lines if l.startswith(b'{"class":"TPV"') and b'"time"' in l)
    code = p.wait()
    err = open(err_path).read()
    print('%2d reading, %2d stalled: exit %d in %.1f s; TPVs per reading client: min %d, max %d of %d; %d clients '
          'dropped with a line' % (readers, stalled, code, time.time() - start, min(counts.values()),
                                   max(counts.values()), seconds, err.count('dropped the client')))


def main():
    program = os.path.abspath(sys.argv[1])
    seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 20000
    with tempfile.TemporaryDirectory(prefix='vpihost-serve-replay-') as folder:
        log = os.path.join(folder, 'replay.nmea')
        with open(log, 'w', newline='') as f:
            for k in range(seconds):
                t = '%02d%02d%02d' % (k // 3600 % 24, k // 60 % 60, k % 60)
                f.write(sentence('GPGGA,%s,3540.9000,N,13946.0500,E,1,08,0.9,40.0,M,39.0,M,,' % t))
                f.write(sentence('GPRMC,%s,A,3540.9000,N,13946.0500,E,020.0,090.0,081226,,' % t))
        for readers, stalled in ((50, 0), (1, 49)):
            run(program, folder, log, readers, stalled, seconds)


main()
