# Shared set-up for ./play and ./test: packages, build folder, private Wine prefix.
# Sourced, not run. Every step checks first and does nothing when all is in place,
# so a second run costs only the incremental build.

TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="${TARROWIND_BUILD:-$TOP/build}"
export WINEPREFIX="$BUILD/wineprefix"
export WINEDEBUG=-all
# No sound card here: keep Wine's ALSA/Pulse drivers quiet. No Mono or Gecko prompts.
export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv=d;mscoree,mshtml="

say() { printf '%s\n' "$*" >&2; }

# ensure_packages PKG...: installs the Debian packages that are missing.
ensure_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        say "Missing packages. Run this as root, then try again:"
        say "  apt-get update && apt-get install -y ${missing[*]}"
        exit 1
    fi
    say "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null || { say "apt-get update failed"; exit 1; }
    apt-get install -y -qq "${missing[@]}" >/dev/null || { say "apt-get install failed"; exit 1; }
}

BUILD_PACKAGES=(cmake make g++-mingw-w64-x86-64 googletest python3 wine wine64)

# ensure_build [--target NAME]: configures once, then builds incrementally.
ensure_build() {
    if [ ! -f "$BUILD/Makefile" ]; then # also redoes a configure that was cut short
        cmake -S "$TOP" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$TOP/cmake/mingw-w64-x86_64.cmake" >/dev/null ||
            { say "cmake configure failed"; exit 1; }
    fi
    cmake --build "$BUILD" -j"$(nproc)" "$@" || { say "build failed"; exit 1; }
}

# ensure_prefix: makes the private Wine prefix once, with window management off so
# that windows close at once without a window manager.
ensure_prefix() {
    [ -f "$WINEPREFIX/.tarrowind-ready" ] && return 0
    say "Creating the Wine prefix in $WINEPREFIX (once)..."
    mkdir -p "$WINEPREFIX"
    if wineboot -i >/dev/null 2>&1 &&
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 &&
        wineserver -w; then
        touch "$WINEPREFIX/.tarrowind-ready"
    else
        say "Could not create the Wine prefix in $WINEPREFIX"
        exit 1
    fi
}
