#!/usr/bin/env bash
# The Linux GPS tools (Debian's gpsd-clients) against vpihost --serve on a
# loopback port the system chooses: gpspipe, gpxlogger and cgps (in tmux).
# Usage: gpsd_clients_test.sh VPIHOST FIXTURES CASE; exit 77 (skipped) when a program is missing.
set -u
vpihost=$1 fixtures=$2 case=$3
need() {
    for program in "$@"; do
        command -v "$program" >/dev/null || { echo "skipped: $program is not installed (Debian: gpsd-clients, tmux)"; exit 77; }
    done
}
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d)
trap 'kill $server ${logger:-} 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

# Starts vpihost with the given options and --serve on a port of its choice; sets $port.
# The waits below are for what must come; their limits only end a hung run.
serve() {
    "$vpihost" --profile "$work/profile.ini" --serve 127.0.0.1:0 "$@" >"$work/out" 2>"$work/err" &
    server=$!
    for _ in $(seq 300); do
        port=$(sed -n 's/.*protocol on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/err")
        [ -n "$port" ] && return
        sleep 0.1
    done
    fail "vpihost did not say its port: $(cat "$work/err")"
}

case $case in
gpspipe)
    need gpspipe
    serve --simulate nmea --duration 30
    timeout 25 gpspipe -w -n 24 "127.0.0.1:$port" >"$work/pipe" || fail "gpspipe: $(cat "$work/pipe")"
    classes=$(sed -n 's/^{"class":"\([A-Z]*\)".*/\1/p' "$work/pipe" | head -4 | tr '\n' ' ')
    [ "$classes" = "VERSION DEVICES WATCH TPV " ] || fail "first objects: $classes"
    # Each second of the drive near 35.68 N, 139.77 E, a 3D fix with speed;
    # the track only once it is not 0 (the module cannot tell north from none).
    tpvs=$(grep -c '^{"class":"TPV","device":"vpihost","time":"20[0-9-]*T[0-9:]*\.000Z","mode":3,"lat":35\.68[0-9]*,"lon":139\.7[0-9]*,"altMSL":[0-9.]*,"alt":[0-9.]*,\("track":[0-9.]*,\)\{0,1\}"speed":11\.1[0-9]*}$' <(tr -d '\r' <"$work/pipe"))
    [ "$tpvs" -ge 8 ] || fail "$tpvs TPVs as expected in: $(cat "$work/pipe")"
    ;;
gpxlogger)
    need gpxlogger
    serve --simulate nmea --duration 9 --gpx "$work/own.gpx"
    # It logs for as long as vpihost serves, however long a busy machine takes.
    timeout -s INT 60 gpxlogger -f "$work/logger.gpx" "127.0.0.1:$port" 2>/dev/null &
    logger=$!
    wait $server || fail "vpihost: $(cat "$work/err")"
    kill -INT $logger 2>/dev/null
    wait $logger
    # Points as "time lat lon", lat and lon to the 9 decimals gpxlogger writes.
    points() {
        tr -d '\n' <"$1" | grep -o '<trkpt [^>]*>.\{0,80\}<time>[^<]*' |
            sed 's/\.000Z$/Z/; s/.*lat="\([^"]*\)" lon="\([^"]*\)".*<time>\(.*\)/\3 \1 \2/' |
            awk '{ printf "%s %.9f %.9f\n", $1, $2, $3 }'
    }
    points "$work/logger.gpx" >"$work/logger.txt"
    first=$(head -1 "$work/logger.txt" | cut -d' ' -f1) last=$(tail -1 "$work/logger.txt" | cut -d' ' -f1)
    points "$work/own.gpx" | awk -v a="$first" -v b="$last" '$1 >= a && $1 <= b' >"$work/own.txt"
    [ "$(wc -l <"$work/logger.txt")" -ge 5 ] || fail "gpxlogger wrote $(wc -l <"$work/logger.txt") points"
    diff "$work/own.txt" "$work/logger.txt" || fail "gpxlogger's track differs from vpihost's own GPX"
    ;;
cgps)
    need cgps tmux
    serve --simulate nmea --duration 30
    tmux=(tmux -L "vpihost-cgps-$$")
    "${tmux[@]}" new-session -d -x 100 -y 30 "cgps 127.0.0.1:$port"
    for _ in $(seq 300); do
        screen=$("${tmux[@]}" capture-pane -p)
        if grep -q "3D FIX" <<<"$screen" && grep -Eq "Latitude: +35\.68[0-9]+ N" <<<"$screen" &&
            grep -Eq "Longitude: +139\.76[0-9]+ E" <<<"$screen" && grep -Eq "Alt \(HAE, MSL\): +n/a, +[0-9.]+ m" <<<"$screen" &&
            grep -Eq "Speed: +40\.00 km/h" <<<"$screen" && grep -Eq "Track \(true, var\): +[0-9]+\.[0-9]" <<<"$screen"; then
            "${tmux[@]}" kill-server
            exit 0
        fi
        sleep 0.2
    done
    "${tmux[@]}" kill-server
    fail "cgps shows: $screen"
    ;;
agree)
    need gpspipe
    out=$("$fixtures/../tpv_agree.py" "$vpihost" "$fixtures/drive.nmea") || fail "$out"
    echo "$out"
    ;;
esac
