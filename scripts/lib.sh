# Shared by scripts/test and scripts/demo: installing what a fresh Debian 12
# machine lacks, and building.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${JOBS:-$(nproc 2>/dev/null || echo 2)}"

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# ensure_packages "cmd-or-path:package" ...: installs the packages whose
# command or file is missing, in one apt-get run.
ensure_packages() {
    local missing=() need item probe pkg
    for item in "$@"; do
        probe="${item%%:*}"
        pkg="${item#*:}"
        need=0
        if [[ "$probe" == /* ]]; then [ -e "$probe" ] || need=1; else command -v "$probe" >/dev/null 2>&1 || need=1; fi
        [ "$need" = 1 ] && missing+=("$pkg")
    done
    [ ${#missing[@]} = 0 ] && return 0
    echo "== installing: ${missing[*]}"
    if printf '%s\n' "${missing[@]}" | grep -q ':i386'; then
        dpkg --print-foreign-architectures | grep -q i386 || as_root dpkg --add-architecture i386
    fi
    as_root apt-get update -qq
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
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
}

# The Windows builds: the shipped 32-bit one (built and checked statically
# everywhere, run under the 32-bit Wine where the machine runs 32-bit code)
# and the 64-bit test vehicle run under the 64-bit Wine everywhere.
ensure_windows_tools() {
    local wine32=()
    if can_run_i386; then wine32=(wine:wine /usr/lib/wine/wine:wine32:i386); fi
    # gcc-multilib everywhere: the 32-bit Wine's preload is built and checked
    # even where it cannot run.
    ensure_packages i686-w64-mingw32-g++-posix:g++-mingw-w64-i686 \
        x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64 x86_64-w64-mingw32-windres:binutils-mingw-w64-x86-64 \
        /usr/lib/wine/wine64:wine64 "${wine32[@]}" /usr/lib32/crt1.o:gcc-multilib socat:socat xvfb-run:xvfb xauth:xauth \
        /usr/lib/python3/dist-packages/pefile.py:python3-pefile
    ensure_japanese_locale
}

build_preset() {
    local preset="$1"
    shift
    cmake --preset "$preset" -S "$ROOT" "$@" >/dev/null
    cmake --build --preset "$preset" -j "$JOBS"
}
