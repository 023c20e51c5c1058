/* A client written against libgps, as the map programs (Navit, FoxtrotGPS,
   OpenCPN) are: watches HOST:PORT for JSON and prints one line for each of
   the first COUNT seconds' TPVs with a time and a fix: "mode lat lon altMSL speed
   track time". Exit 0 once COUNT were printed, 1 when the server closed or
   was silent for 10 s first. Usage: libgps_client HOST PORT COUNT */
#include <errno.h>
#include <gps.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv) {
    struct gps_data_t data;
    int count, printed = 0;
    long long last = -1; /* a SKY read leaves the fix's members set: one line per second */
    if (argc != 4) {
        fprintf(stderr, "usage: libgps_client HOST PORT COUNT\n");
        return 2;
    }
    count = atoi(argv[3]);
    if (gps_open(argv[1], argv[2], &data) != 0) {
        fprintf(stderr, "gps_open: %s\n", gps_errstr(errno));
        return 1;
    }
    gps_stream(&data, WATCH_ENABLE | WATCH_JSON, NULL);
    while (printed < count && gps_waiting(&data, 10000000)) {
        if (gps_read(&data, NULL, 0) == -1) break;
        if (!(data.set & MODE_SET) || data.fix.mode < MODE_2D || !(data.set & TIME_SET)) continue;
        if ((long long)data.fix.time.tv_sec == last) continue;
        last = (long long)data.fix.time.tv_sec;
        printf("%d %.6f %.6f %.1f %.2f %s %lld\n", data.fix.mode, data.fix.latitude, data.fix.longitude,
               data.fix.altMSL, data.fix.speed, isfinite(data.fix.track) ? "track" : "notrack",
               (long long)data.fix.time.tv_sec);
        ++printed;
    }
    gps_stream(&data, WATCH_DISABLE, NULL);
    gps_close(&data);
    return printed == count ? 0 : 1;
}
