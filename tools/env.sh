# Shared set-up for ./play and ./test: packages, build folder, private Wine prefixes
# (one for the tests, one for playing), Wine's sound drivers and the tests' private
# sound server. Sourced, not run. Every step checks first and does nothing when all is
# in place, so a second run costs only the incremental build. Routines that concern one
# build folder read it from $BUILD.

TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The fonts, font links and locale every prefix gets: the set-up script that the runtime's
# package installs for programs of one's own (prefix_fonts, ensure_utf8_locale).
. "$TOP/tools/tarrowind-wine-setup"
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
# No Mono or Gecko prompts; both sound drivers off until a routine below finds a server.
NO_PROMPTS="mscoree,mshtml="
export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv=d;$NO_PROMPTS"

say() { printf '%s\n' "$*" >&2; }

# How long set-up waits for another package installation (a desktop's automatic updates,
# say) to let go of the package manager's locks, in seconds.
PACKAGE_LOCK_WAIT=300

# package_manager CMD...: runs apt-get or dpkg. While another installation holds the
# package manager's lock, the command fails at once without changing anything: then this
# says so once and tries again every 5 seconds, for up to PACKAGE_LOCK_WAIT seconds. The
# command's own messages are shown at the end; its status is returned.
package_manager() {
    local errors status held said= start=$SECONDS
    errors=$(mktemp) || return 1
    while :; do
        LC_ALL=C "$@" 2>"$errors"
        status=$?
        held=$(grep -m 1 -E 'Could not get lock|Unable to lock|locked by another process' "$errors")
        { [ $status -eq 0 ] || [ -z "$held" ]; } && break
        if [ $((SECONDS - start)) -ge $PACKAGE_LOCK_WAIT ]; then
            say "The package manager's lock is still held after $((PACKAGE_LOCK_WAIT / 60)) minutes."
            break
        fi
        if [ -z "$said" ]; then
            say "Another package installation is running (${held#E: })."
            say "Waiting for it to finish, up to $((PACKAGE_LOCK_WAIT / 60)) minutes..."
            said=1
        fi
        sleep 5
    done
    cat "$errors" >&2
    rm -f "$errors"
    return $status
}

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
    package_manager apt-get update -qq >/dev/null || { say "apt-get update failed"; exit 1; }
    package_manager apt-get install -y -qq "${missing[@]}" >/dev/null ||
        { say "apt-get install failed"; exit 1; }
}

# Fonts the programs draw with under Wine: Liberation (the faces Wine gives "System",
# "Tahoma", "MS Shell Dlg" and "Arial"), DejaVu (Greek, Cyrillic and Arabic, and the
# fixed-pitch "DejaVu Sans Mono") and WenQuanYi Micro Hei (Chinese, Japanese and Korean);
# prefix_fonts links them so that each face borrows what it lacks from the others.
FONT_PACKAGES=(fonts-liberation fonts-dejavu-core fonts-wqy-microhei)
BUILD_PACKAGES=(cmake make googletest python3 wine fonts-wine "${FONT_PACKAGES[@]}"
    "${WIDTH_PACKAGES[@]}")
# Wine's sound drivers need the client libraries; pactl tells whether a server answers.
PLAY_SOUND_PACKAGES=(libpulse0 libasound2 libasound2-plugins pulseaudio-utils)
# The tests run their own server and record it with parec.
TEST_SOUND_PACKAGES=(pulseaudio pulseaudio-utils)

# ensure_build [--target NAME]: configures once, then builds incrementally.
ensure_build() {
    if [ ! -f "$BUILD/Makefile" ]; then # also redoes a configure that was cut short
        cmake -S "$TOP" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" >/dev/null ||
            { say "cmake configure failed"; exit 1; }
    fi
    cmake --build "$BUILD" -j"$(nproc)" "$@" || { say "build failed"; exit 1; }
}

# make_prefix DIR MANAGED: makes a Wine prefix once. MANAGED is Y (the window manager
# frames the windows, as on a desktop) or N (Wine frames them itself, and windows close
# at once without a window manager: the tests' choice).
make_prefix() {
    local dir="$1" managed="$2"
    [ -f "$dir/.tarrowind-ready" ] && { prefix_fonts "$dir"; return 0; }
    say "Creating the Wine prefix in $dir (once)..."
    mkdir -p "$dir"
    if WINEPREFIX="$dir" wineboot -i >/dev/null 2>&1 &&
        WINEPREFIX="$dir" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$managed" /f \
            >/dev/null 2>&1 &&
        WINEPREFIX="$dir" wineserver -w; then
        touch "$dir/.tarrowind-ready"
        prefix_fonts "$dir"
    else
        say "Could not create the Wine prefix in $dir"
        exit 1
    fi
}

# ensure_prefix: the tests' prefix ($WINEPREFIX, in the build folder), unmanaged.
ensure_prefix() {
    make_prefix "$WINEPREFIX" N
}

# ensure_play_prefix: a prefix of its own for ./play, managed like any desktop program,
# so that playing never changes what the tests run in. Exports WINEPREFIX.
ensure_play_prefix() {
    export WINEPREFIX="$BUILD/wineprefix-play"
    make_prefix "$WINEPREFIX" Y
}

# use_test_locale: the suite runs in C.UTF-8 whatever the developer's locale, so that file
# names in every script work and the code page, the language and the formats of numbers
# and dates are the same on every machine.
use_test_locale() {
    export LC_ALL="$(utf8_locale_named C)"
}

# ---- Sound ----

# play_sound_drivers: picks Wine's sound drivers for ./play. The desktop's sound server
# (PulseAudio or PipeWire's Pulse service) when one answers, ALSA when there is a sound
# card, otherwise none: without either the game plays silently, and a driver left on
# would only print errors.
play_sound_drivers() {
    local pulse=n alsa=n off=()
    # Asking must not start a server: autospawn off for this one question.
    printf 'autospawn = no\n' >"$BUILD/pulse-client.conf"
    PULSE_CLIENTCONFIG="$BUILD/pulse-client.conf" timeout 5 pactl info >/dev/null 2>&1 && pulse=y
    grep -q '^ *[0-9]' /proc/asound/cards 2>/dev/null && alsa=y
    [ $pulse = n ] && off+=(winepulse.drv)
    [ $alsa = n ] && off+=(winealsa.drv)
    if [ ${#off[@]} -gt 0 ]; then
        local IFS=,
        export WINEDLLOVERRIDES="${off[*]}=d;$NO_PROMPTS"
    else
        export WINEDLLOVERRIDES="$NO_PROMPTS"
    fi
}

# The tests' sound server: a private PulseAudio with one null sink, 22050 Hz mono 16-bit
# like the game's sounds, so that its monitor gives back what was played sample for
# sample. Its runtime folder is $BUILD/sound-server (mode 0700) and it is reached only
# through the socket there: no other server, cookie or configuration is shared.
SOUND_SERVER_PID=

# sound_server_start: starts the build's server and points Wine (pulse driver only) and
# parec at it. Returns 1 when it did not come up.
sound_server_start() {
    local dir="$BUILD/sound-server"
    rm -rf "$dir"
    mkdir -p -m 0700 "$dir" || return 1
    env -u DBUS_SESSION_BUS_ADDRESS HOME="$dir" XDG_RUNTIME_DIR="$dir" \
        XDG_CONFIG_HOME="$dir/config" PULSE_RUNTIME_PATH="$dir/runtime" \
        PULSE_STATE_PATH="$dir/state" PULSE_CONFIG_PATH="$dir/config" \
        pulseaudio -n --daemonize=no --use-pid-file=no --system=no --exit-idle-time=-1 \
        --high-priority=no --realtime=no --disable-shm=yes --log-target=stderr \
        -L "module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
        -L "module-null-sink sink_name=tarrowind rate=22050 channels=1 format=s16le" \
        </dev/null >"$dir/log" 2>&1 &
    SOUND_SERVER_PID=$!
    export PULSE_SERVER="unix:$dir/native"
    export PULSE_COOKIE="$dir/cookie" # clients write theirs here, not in ~/.config
    local _
    for _ in $(seq 100); do
        if pactl info >/dev/null 2>&1; then
            export WINEDLLOVERRIDES="winealsa.drv=d;$NO_PROMPTS"
            return 0
        fi
        kill -0 "$SOUND_SERVER_PID" 2>/dev/null || break
        sleep 0.1
    done
    say "The sound server did not start; its log is in $dir/log"
    sound_server_stop
    return 1
}

# sound_server_stop: ends the server that sound_server_start started, by its process id,
# and switches Wine's sound drivers off again.
sound_server_stop() {
    if [ -n "$SOUND_SERVER_PID" ]; then
        kill "$SOUND_SERVER_PID" 2>/dev/null && wait "$SOUND_SERVER_PID" 2>/dev/null
        SOUND_SERVER_PID=
    fi
    unset PULSE_SERVER PULSE_COOKIE
    export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv=d;$NO_PROMPTS"
}

# ---- Machine load ----
# `./test --load N` runs the suite beside N busy processes, as on a machine shared with
# other work: checks that race the clock show themselves there.
LOAD_PIDS=()

# load_start N: starts N processes that each keep one core busy. Each one also ends by
# itself within a moment once the shell that started it is gone, so that none outlives
# a run that was killed outright.
load_start() {
    local i owner=$$
    for ((i = 0; i < $1; i++)); do
        bash -c 'while kill -0 "$1" 2>/dev/null; do for ((j = 0; j < 200000; j++)); do :; done; done' \
            load "$owner" </dev/null >/dev/null 2>&1 &
        LOAD_PIDS+=($!)
    done
    [ "$1" -gt 0 ] && say "Running beside $1 busy processes."
    return 0
}

# load_stop: ends the processes that load_start started, by their process ids.
load_stop() {
    local pid
    for pid in "${LOAD_PIDS[@]}"; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    LOAD_PIDS=()
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

# ensure_wine32 [--install]: 32-bit Wine from the i386 architecture, installed once when
# --install is given; returns 1 with the reason said when it is missing and not to be
# installed, or when this machine cannot run 32-bit programs.
ensure_wine32() {
    local install=
    [ "${1:-}" = --install ] && install=1
    if ! can_run_32bit; then
        say "This machine cannot run 32-bit programs (its kernel does not execute 32-bit"
        say "Linux programs, and 32-bit Wine is one), so 32-bit Windows programs cannot run here."
        return 1
    fi
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed" &&
        return 0
    # Installing 32-bit Wine beside the 64-bit one changes which loader `wine` starts, so the
    # suite does not do it unasked: TARROWIND_RUN_32=1 ./test --i686 installs it and runs.
    if [ -z "$install" ]; then
        say "32-bit Wine (wine32:i386) is not installed, so the 32-bit suite is built, not run;"
        say "TARROWIND_RUN_32=1 ./test --i686 installs it and runs the suite."
        return 1
    fi
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        if [ "$(id -u)" -ne 0 ]; then
            say "32-bit Wine is missing. Run this as root, then try again:"
            say "  dpkg --add-architecture i386 && apt-get update && apt-get install -y wine32:i386"
            exit 1
        fi
        package_manager dpkg --add-architecture i386 ||
            { say "dpkg --add-architecture i386 failed"; exit 1; }
        package_manager apt-get update -qq >/dev/null || { say "apt-get update failed"; exit 1; }
    fi
    ensure_packages wine32:i386
}
