# Shared by scripts/test and scripts/demo: installing what a fresh Debian 12
# machine lacks, and building.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${JOBS:-$(nproc 2>/dev/null || echo 2)}"

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# apt_update: the package indexes, tried three times. A mirror that is
# syncing serves an index that does not match its Release file for a while;
# if one still fails, the install goes on with the indexes that came, and
# UPDATE_ERROR holds apt-get's first error. APT_UPDATED says this shell has
# fetched them.
UPDATE_ERROR=""
APT_UPDATED=0
apt_update() {
    local try err
    APT_UPDATED=1
    err="$(mktemp)"
    for try in 1 2 3; do
        if as_root apt-get update -qq 2>"$err"; then rm -f "$err"; UPDATE_ERROR=""; return 0; fi
        [ "$try" = 3 ] || { echo "== apt-get update failed; again in $((try * 10)) s"; sleep $((try * 10)); }
    done
    UPDATE_ERROR="$(grep -m1 '^E: ' "$err" || true)"
    cat "$err" >&2
    rm -f "$err"
    echo "== apt-get update: some indexes did not come; installing from those that did"
}

# missing_packages "cmd-or-path:package" ...: sets MISSING to the packages
# whose command or file is missing.
missing_packages() {
    local need item probe
    MISSING=()
    for item in "$@"; do
        probe="${item%%:*}"
        need=0
        if [[ "$probe" == /* ]]; then [ -e "$probe" ] || need=1; else command -v "$probe" >/dev/null 2>&1 || need=1; fi
        [ "$need" = 1 ] && MISSING+=("${item#*:}")
    done
    return 0
}

# try_install "cmd-or-path:package" ...: installs the missing ones in one
# apt-get run; fails with apt-get's last error in INSTALL_ERROR. The indexes
# are fetched once a shell, and again only for an architecture just added.
INSTALL_ERROR=""
try_install() {
    local err added=0
    missing_packages "$@"
    [ ${#MISSING[@]} = 0 ] && return 0
    echo "== installing: ${MISSING[*]}"
    if printf '%s\n' "${MISSING[@]}" | grep -q ':i386'; then
        dpkg --print-foreign-architectures | grep -q i386 || { as_root dpkg --add-architecture i386; added=1; }
    fi
    if [ "$APT_UPDATED" = 0 ] || [ "$added" = 1 ]; then apt_update; fi
    err="$(mktemp)"
    if DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${MISSING[@]}" \
        >/dev/null 2>"$err"; then
        rm -f "$err"
        return 0
    fi
    cat "$err" >&2
    INSTALL_ERROR="$(grep '^E: ' "$err" | tail -1 || true)"
    INSTALL_ERROR="${INSTALL_ERROR:-apt-get install failed}"
    rm -f "$err"
    return 1
}

# ensure_packages "cmd-or-path:package" ...: as try_install; without them
# nothing can go on.
ensure_packages() {
    try_install "$@" || { echo "could not install ${MISSING[*]}: $INSTALL_ERROR" >&2; exit 1; }
}

ensure_japanese_locale() {
    if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
        ensure_packages "locale-gen:locales"
        as_root sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
        grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
        as_root locale-gen >/dev/null
    fi
}

ensure_linux_tools() {
    ensure_packages cmake:cmake ninja:ninja-build g++:g++ /usr/src/googletest/CMakeLists.txt:googletest \
        python3:python3 i686-w64-mingw32-windres:binutils-mingw-w64-i686 \
        /usr/include/benchmark/benchmark.h:libbenchmark-dev \
        gpspipe:gpsd-clients tmux:tmux /usr/lib/python3/dist-packages/gps/__init__.py:python3-gps \
        /usr/include/gps.h:libgps-dev gpsbabel:gpsbabel xmllint:libxml2-utils
}

# can_run_i386: whether this machine runs 32-bit x86 programs. Some kernels
# are built or booted without ia32 emulation, and then neither the 32-bit
# Wine nor anything else 32-bit starts. The probe is a static i386 ELF of 93
# bytes that only exits 0, so it depends on nothing 32-bit being installed.
# On failure I386_REASON says why, in one line.
# NT_ASSUME_NO_I386=1 plays a machine without it, to check that path.
I386_REASON=""
can_run_i386() {
    local probe out
    if [ "${NT_ASSUME_NO_I386:-0}" = 1 ]; then
        I386_REASON="NT_ASSUME_NO_I386=1 plays a machine without them"
        return 1
    fi
    probe="$(mktemp)"
    # ELF header, one loadable segment at 0x08048000, then the code:
    # mov eax, 1; xor ebx, ebx; int 0x80 (exit 0).
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'\
'\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'\
'\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00'\
'\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08'\
'\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00'\
'\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
    chmod +x "$probe"
    if out="$("$probe" 2>&1)"; then
        rm -f "$probe"
        return 0
    fi
    out="$(printf '%s' "$out" | head -1)"
    I386_REASON="a static i386 program does not run: ${out##*: }"
    [ -n "${out##*: }" ] || I386_REASON="a static i386 program did not exit 0"
    rm -f "$probe"
    return 1
}

# wine_for win32|win64: sets WINE_LOADER to the Wine of that word size; a
# win32 caller exits 77 (ctest: skipped), the reason on stdout, where this
# machine cannot run 32-bit x86 programs.
wine_for() {
    case "$1" in
        win64) WINE_LOADER=/usr/lib/wine/wine64 ;;
        win32) WINE_LOADER=/usr/lib/wine/wine ;;
        *) echo "the Wine architecture must be win32 or win64, not '$1'" >&2; exit 2 ;;
    esac
    if [ "$1" = win32 ] && ! can_run_i386; then
        echo "skipped: this machine cannot run 32-bit x86 programs ($I386_REASON)"
        exit 77
    fi
    if [ "$1" = win32 ] && [ -n "${NT_NO_WINE32:-}" ]; then
        echo "skipped: $NT_NO_WINE32"
        exit 77
    fi
}

# The Windows builds: the shipped 32-bit one (built and checked statically
# everywhere, run under the 32-bit Wine where the machine runs 32-bit code)
# and the 64-bit test vehicle run under the 64-bit Wine everywhere.
#
# The 32-bit Wine comes on its own: its i386 packages must match the
# machine's amd64 ones, which a mirror in mid-sync can prevent for hours.
# Then NT_NO_WINE32 says why, and the 32-bit programs (children of this
# shell, through ctest) skip themselves with it instead of failing; a script
# started from this one (scripts/demo) does not try the install again.
ensure_windows_tools() {
    # gcc-multilib everywhere: the 32-bit Wine's preload is built and checked
    # even where it cannot run. The package wine brings wineserver, which
    # the scripts call to wait for and end a prefix's session.
    ensure_packages i686-w64-mingw32-g++-posix:g++-mingw-w64-i686 \
        x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64 x86_64-w64-mingw32-windres:binutils-mingw-w64-x86-64 \
        /usr/lib/wine/wine64:wine64 wineserver:wine /usr/lib32/crt1.o:gcc-multilib socat:socat xvfb-run:xvfb xauth:xauth \
        /usr/lib/python3/dist-packages/pefile.py:python3-pefile
    if can_run_i386 && [ -z "${NT_NO_WINE32:-}" ] && ! try_install /usr/lib/wine/wine:wine32:i386; then
        export NT_NO_WINE32="the 32-bit Wine (wine32:i386) could not be installed: apt-get said \"$INSTALL_ERROR\"${UPDATE_ERROR:+ after \"$UPDATE_ERROR\"}"
        echo "== $NT_NO_WINE32; the 32-bit programs are skipped"
    fi
    ensure_japanese_locale
}

build_preset() {
    local preset="$1"
    shift
    cmake --preset "$preset" -S "$ROOT" "$@" >/dev/null
    cmake --build --preset "$preset" -j "$JOBS"
}

# The sanitizers' run-time options for the Linux tests.
NT_ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
NT_TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"

# count_ctest label build-dir [ctest args...]: runs the tests and counts
# them from ctest's JUnit report: exit status, time-outs and skips are
# ctest's own. A selection that finds no test fails. Adds to PASSED, FAILED,
# SKIPPED and FAILED_NAMES, which the caller sets to 0 (and an empty list).
count_ctest() {
    local label="$1" dir="$2" log report status=0 p f s
    shift 2
    dir="$(cd "$dir" && pwd)"  # ctest reads the report's path from the build folder
    log="$dir/ctest.log"
    rm -f "$dir/ctest.xml"
    ctest --test-dir "$dir" --output-on-failure --no-tests=error --output-junit "$dir/ctest.xml" -j "$JOBS" "$@" \
        >"$log" 2>&1 || status=$?
    # First line: passed, failed, skipped; then each reason given for a skip.
    report="$(python3 - "$dir/ctest.xml" <<'PY' 2>/dev/null || true
import sys, xml.etree.ElementTree as ET
n = {"run": 0, "fail": 0, "skipped": 0}
reasons = []
for case in ET.parse(sys.argv[1]).getroot().iter("testcase"):
    if case.find("skipped") is None:
        n["run" if case.get("status") == "run" else "fail"] += 1
        continue
    n["skipped"] += 1
    out = case.findtext("system-out") or ""
    reasons += [l for l in out.splitlines() if l.startswith("skipped: ") and l not in reasons]
print(n["run"], n["fail"], n["skipped"])
print("\n".join(reasons))
PY
)"
    read -r p f s <<<"$(head -1 <<<"${report:-0 0 0}")"
    # No test found, no report, or ctest itself failed: one failure at least.
    if { [ "$status" != 0 ] || [ -z "$report" ]; } && [ "$f" = 0 ]; then f=1; fi
    PASSED=$((PASSED + p)); FAILED=$((FAILED + f)); SKIPPED=$((SKIPPED + s))
    echo "== $label: $p passed, $f failed, $s skipped"
    tail -n +2 <<<"$report" | sed '/^$/d; s/^/   /'
    if [ "$f" != 0 ]; then
        sed -n '/The following tests FAILED/,$p' "$log"
        grep -q 'No tests were found' "$log" && echo "   no test was selected: ctest $*"
        FAILED_NAMES+=("$label")
    fi
}
