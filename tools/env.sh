# Shared set-up for ./play and ./test: packages, build folder, private Wine prefix.
# Sourced, not run. Every step checks first and does nothing when all is in place,
# so a second run costs only the incremental build.

TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The width to build and run: x86_64 (64-bit, the default) or i686 (32-bit). Each width
# has its own build folder, toolchain and Wine prefix.
WIDTH="${TARROWIND_WIDTH:-x86_64}"
case "$WIDTH" in
x86_64)
    BUILD="${TARROWIND_BUILD:-$TOP/build}"
    WIDTH_PACKAGES=(g++-mingw-w64-x86-64 wine64)
    ;;
i686)
    BUILD="${TARROWIND_BUILD:-$TOP/build-i686}"
    WIDTH_PACKAGES=(g++-mingw-w64-i686 wine64) # and wine32:i386, see ensure_wine32
    ;;
*)
    printf 'Unknown width %s (x86_64 or i686)\n' "$WIDTH" >&2
    exit 2
    ;;
esac
TOOLCHAIN="$TOP/cmake/mingw-w64-$WIDTH.cmake"
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

BUILD_PACKAGES=(cmake make googletest python3 wine "${WIDTH_PACKAGES[@]}")

# ensure_build [--target NAME]: configures once, then builds incrementally.
ensure_build() {
    if [ ! -f "$BUILD/Makefile" ]; then # also redoes a configure that was cut short
        cmake -S "$TOP" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" >/dev/null ||
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

# ---- 32-bit programs ----

# can_run_32bit: true when this machine runs 32-bit programs, which 32-bit Wine is (its
# loader is a 32-bit Linux program). Some kernels are built or booted without that
# support; there, installing wine32 would even stop 64-bit programs from starting,
# because Debian's wine command then prefers the 32-bit loader. The probe is a 91-byte
# 32-bit Linux program that only exits with code 0.
can_run_32bit() {
    local probe
    probe=$(mktemp) || return 1
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'\
'\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'\
'\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00'\
'\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08'\
'\x00\x80\x04\x08\x5b\x00\x00\x00\x5b\x00\x00\x00\x05\x00\x00\x00'\
'\x00\x10\x00\x00\x31\xdb\x31\xc0\x40\xcd\x80' >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null
    local status=$?
    rm -f "$probe"
    return $status
}

# ensure_wine32: 32-bit Wine from the i386 architecture, installed once; returns 1 with
# the reason said when this machine cannot run 32-bit programs.
ensure_wine32() {
    if ! can_run_32bit; then
        say "This machine cannot run 32-bit programs (its kernel does not execute 32-bit"
        say "Linux programs, and 32-bit Wine is one), so 32-bit Windows programs cannot run here."
        return 1
    fi
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed" &&
        return 0
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        if [ "$(id -u)" -ne 0 ]; then
            say "32-bit Wine is missing. Run this as root, then try again:"
            say "  dpkg --add-architecture i386 && apt-get update && apt-get install -y wine32:i386"
            exit 1
        fi
        dpkg --add-architecture i386 || { say "dpkg --add-architecture i386 failed"; exit 1; }
        apt-get update -qq >/dev/null || { say "apt-get update failed"; exit 1; }
    fi
    ensure_packages wine32:i386
}
