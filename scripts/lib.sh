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
        /usr/include/benchmark/benchmark.h:libbenchmark-dev
}

ensure_windows_tools() {
    ensure_packages i686-w64-mingw32-g++-posix:g++-mingw-w64-i686 wine:wine /usr/lib/wine/wine:wine32:i386 \
        xvfb-run:xvfb xauth:xauth
    ensure_japanese_locale
}

build_preset() {
    local preset="$1"
    shift
    cmake --preset "$preset" -S "$ROOT" "$@" >/dev/null
    cmake --build --preset "$preset" -j "$JOBS"
}
