#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz harnesses into fuzz/corpus/.

The seeds are the project's own sentences: every kind the decoder knows, in
both protocols, with the forms receivers really send (hundredths of a second,
four-digit years, empty fields, lower-case letters, checksums that fit and
one that does not, other talkers)."""
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))

NMEA = [
    "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",
    "$GPGGA,123519.00,4807.0380,S,01131.0000,W,2,02,1.2,-12.5,M,46.9,M,7.6,0133*50",
    "$GPGGA,,,,,,0,00,,,M,,M,,*66",
    "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A",
    "$GPRMC,235959.500,V,4807.038,s,01131.000,w,10.0,359.9,07122026,,,A*45",
    "$GPRMC,,V,,,,,,,0712,,*35",
    "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48",
    "$GPVTG,,T,,M,,N,,K,N*2C",
    "$GPGLL,4916.45,N,12311.12,W,225444,A",
    "$GPGLL,0000.00,N,00000.00,E,000000.00,V,N*71",
    "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39",
    "$GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45*75",
    "$PGRMM,Tokyo*2F",
    "$PGRMM,WGS 84*06",
    "$GNRMC,001031.00,A,4404.13993,N,12118.86023,W,0.146,,100117,,,A*7B",
    "$GPGGAX,1,2,N,3,E,1,2,3,4",
    "$GPGGA,123519,4907.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",  # one digit changed: refused
    "$GNGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*59",
    "$GLGLL,4916.45,N,12311.12,W,225444,A*2D",
    "$GPRMC",
]
SONY = [
    "SONY---------123519N3540123E13944567-----020090--------------7A",
    "SONY---------235959S3540123W13944567-----003200-------------- b",
    "SONY---------1122",
]


def write(folder, name, data):
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), "wb") as f:
        f.write(data)


def main():
    for i, line in enumerate(NMEA):
        # Protocol 0; local time and a course-hold threshold on every other
        # seed, any talker on the others.
        config = (1 << 6) if i % 2 else (1 << 2) | (6 << 3)
        write("decode_line", "nmea%02d" % i, bytes([config]) + (line + "\r").encode())
    for i, line in enumerate(SONY):
        write("decode_line", "sony%02d" % i, bytes([1 | (6 << 3)]) + (line + "\r").encode())

    rng = random.Random(20261208)
    for protocol, lines in ((0, NMEA), (1, SONY)):
        stream = "".join(line + "\r\n" for line in lines).encode()
        for variant in range(3):
            chunks = bytearray([protocol | (variant << 2)])
            at = 0
            while at < len(stream):
                n = rng.choice((1, 7, 64, 255)) if variant else 255
                chunks.append(n)
                chunks += stream[at:at + n]
                at += n
            write("receive_path", "stream%d_%d" % (protocol, variant), bytes(chunks))

    numbers = ["", "0", "4807.038", "-12.5", "123519.00", "08", "1e3", "0x1A", " 7", "+1", "inf",
               "9007199254740993", "0.0000000000000000000001", "99999999999999999999", "-0.0", ".5"]
    for i, text in enumerate(numbers):
        write("number_parse", "n%02d" % i, text.encode())

    # The server's command reader: the first byte cuts the rest into reads.
    requests = [b'?WATCH={"enable":true,"json":true}\n', b"?POLL;\r\n", b"?DEVICES;?VERSION;\n",
                b'?WATCH={"enable":false};\n', b'?WATCH={"device":"/dev/ttyUSB0","raw":2,"nmea":false}\n',
                b'?WATCH={"enable":true,"json":"yes"}\n', b"?DEVICE;\n", b"?" + b"W" * 90 + b"\n",
                b"\x00\xff?POLL;\n", b'?WATCH={"enable":true\n', b'?WATCH={"a\\u00e9":1}\n',
                b'?WATCH={"enable":true,"nmea":true}\n', b'?WATCH={"raw":2,"pps":true}\n',
                b'?WATCH={"json":false,"nmea":true,"raw":1};\r\r\n', b"?WATCHx\n?X\n\n?X\r\n \n",
                b'?WATCH={"raw":3}\n?WATCH={}x\n']
    for i, request in enumerate(requests):
        write("gpsd_command", "r%02d" % i, bytes([7 * i + 1]) + request)


if __name__ == "__main__":
    main()
