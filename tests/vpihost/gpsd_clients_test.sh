#!/usr/bin/env bash
# The Linux GPS tools (Debian's gpsd-clients) against vpihost --serve on a
# loopback port the system chooses: gpspipe (JSON and the raw sentences),
# gpxlogger, cgps and gpsmon (in tmux), a script on Python's gps module
# (python3-gps) and a C client on libgps.
# Usage: gpsd_clients_test.sh VPIHOST FIXTURES CASE [LIBGPS_CLIENT]; exit 77
# (skipped) when a program is missing.
set -u
vpihost=$1 fixtures=$2 case=$3 libgps_client=${4:-}
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

# Runs a full-screen client in a tmux pane of COLUMNSxROWS until its screen
# matches every extended regex given (exit 0); fails after a minute with what
# it shows.
on_screen() {
    local size=$1 program=$2 screen pattern shown
    shift 2
    local tmux=(tmux -L "vpihost-$case-$$")
    "${tmux[@]}" new-session -d -x "${size%x*}" -y "${size#*x}" "$program"
    for _ in $(seq 300); do
        screen=$("${tmux[@]}" capture-pane -p) shown=1
        for pattern in "$@"; do grep -Eq -- "$pattern" <<<"$screen" || shown=0; done
        if [ "$shown" = 1 ]; then
            "${tmux[@]}" kill-server
            exit 0
        fi
        sleep 0.2
    done
    "${tmux[@]}" kill-server
    fail "$program shows: $screen"
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
    on_screen 100x30 "cgps 127.0.0.1:$port" "3D FIX" "Latitude: +35\.68[0-9]+ N" "Longitude: +139\.76[0-9]+ E" \
        "Alt \(HAE, MSL\): +n/a, +[0-9.]+ m" "Speed: +40\.00 km/h" "Track \(true, var\): +[0-9]+\.[0-9]"
    ;;
python | libgps)
    # Each second of the simulated drive: a 3D fix near 35.68 N, 139.77 E at
    # 40 km/h, its time; the track once it is not 0.
    if [ "$case" = python ]; then
        /usr/bin/python3 -c 'import gps' 2>/dev/null || { echo "skipped: Python's gps module is not installed (Debian: python3-gps)"; exit 77; }
        client=(/usr/bin/python3 "$fixtures/../gps_python_client.py")
        when='20[0-9-]*T[0-9:]*\.000Z'
    else
        [ -x "$libgps_client" ] || { echo "skipped: libgps was not found when this was built (Debian: libgps-dev)"; exit 77; }
        client=("$libgps_client")
        when='[0-9]\{10\}'
    fi
    serve --simulate nmea --duration 30
    timeout 25 "${client[@]}" 127.0.0.1 "$port" 8 >"$work/client" || fail "$case client: $(cat "$work/client")"
    fixes=$(grep -c "^3 35\.68[0-9]* 139\.7[0-9]* [0-9.]* 11\.11 \(no\)\{0,1\}track $when\$" "$work/client")
    [ "$fixes" = 8 ] || fail "$fixes of 8 seconds as expected in: $(cat "$work/client")"
    ;;
raw)
    # gpspipe -r: the receiver's sentences byte for byte as the module read
    # them (--log), CR LF included; the JSON of the answers aside.
    need gpspipe
    serve --simulate nmea --duration 30 --log "$work/line.log"
    timeout 25 gpspipe -r -n 40 "127.0.0.1:$port" >"$work/pipe" || fail "gpspipe -r: $(cat "$work/pipe")"
    grep -v '^{' "$work/pipe" | sed -n '/^\$GPGGA/,$p' >"$work/sentences"
    lines=$(wc -l <"$work/sentences")
    [ "$lines" -ge 20 ] || fail "$lines sentences from gpspipe -r: $(cat "$work/pipe")"
    start=$(grep -n -F -x -- "$(head -1 "$work/sentences")" "$work/line.log" | head -1 | cut -d: -f1)
    [ -n "$start" ] || fail "gpspipe's first GGA is not in the bytes read: $(head -1 "$work/sentences")"
    tail -n +"$start" "$work/line.log" | head -n "$lines" | cmp - "$work/sentences" ||
        fail "gpspipe -r differs from the bytes the module read: $(cat -A "$work/sentences" | head -5)"
    ;;
gpsmon)
    # gpsmon asks for the raw stream without "enable" and shows the sentences.
    need gpsmon tmux
    serve --simulate nmea --duration 30
    on_screen 100x40 "gpsmon 127.0.0.1:$port" '^\([0-9]+\) \$GPGGA,[0-9]{6}\.00,35[0-9]{2}\.[0-9]+,N,' \
        '^\([0-9]+\) \$GPRMC,' 'GPRMC.*GPGGA|GPGGA.*GPRMC'
    ;;
agree)
    need gpspipe
    out=$("$fixtures/../tpv_agree.py" "$vpihost" "$fixtures/drive.nmea") || fail "$out"
    echo "$out"
    ;;
esac
