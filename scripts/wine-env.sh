# Sourced by the scripts that run the saver: the project's own Wine prefix
# inside build/, and a private X server.

VISTEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="$VISTEL_ROOT/build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# Makes the prefix once; later calls find it ready.
ensure_prefix() {
    [ -f "$WINEPREFIX/.vistel-ready" ] && return 0
    echo "wine-env: creating the Wine prefix $WINEPREFIX"
    DISPLAY= "$WINE" wineboot -i >/dev/null 2>&1
    "$WINESERVER" -w
    # As on a machine without a just-in-time debugger: an unhandled exception
    # goes to the program's own handler, and no dialog waits for a user.
    "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
        /d 'C:\windows\no-debugger.exe %ld %ld' /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    "$WINESERVER" -w
    touch "$WINEPREFIX/.vistel-ready"
}

# Starts Xvfb on a free display with the given screen depth and prints the
# display number; the server's process id goes to the file named second.
# The screen is 800 x 600 unless VISTEL_SCREEN_SIZE (WxH) says otherwise.
start_xvfb() { # depth pid-file
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "${VISTEL_SCREEN_SIZE:-800x600}x$1" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    echo $! >"$2"
    read -r display <"$fifo"
    rm -f "$fifo"
    echo "$display"
}

# A session for the saver's tests: private X servers (DISPLAY 24-bit,
# VISTEL_DISPLAY8 8-bit), a wineserver that stays up, and Wine's desktop
# started before any test. end_session stops them all.
start_session() {
    session_state=$(mktemp -d)
    trap end_session EXIT
    export DISPLAY=":$(start_xvfb 24 "$session_state/x24.pid")"
    export VISTEL_DISPLAY8=":$(start_xvfb 8 "$session_state/x8.pid")"
    "$WINESERVER" -p 2>/dev/null || true # it may be up already
    # Warm the prefix so that the first timed test does not pay for its
    # updates, and start the desktop process with a window: services that
    # Wine starts for the first window must not inherit a test's output pipe.
    "$WINE" "$VISTEL_ROOT/build/win64/tests/probe.exe" wait - - 100 >/dev/null 2>&1 || true
    # Keep that desktop process up between tests, as a Windows desktop is:
    # Wine ends it a second after the last program on it.
    "$WINE" "$VISTEL_ROOT/build/win64/tests/probe.exe" hold >/dev/null 2>&1 &
}

end_session() {
    "$WINESERVER" -k 2>/dev/null || true
    for pid in "$session_state"/*.pid; do kill "$(cat "$pid")" 2>/dev/null || true; done
    rm -rf "$session_state"
}

# Everything the test suite needs before it runs: both targets, the
# sanitizer build of the picture readers (for their regression files), the
# fuzz seeds, the prefix and a session.
prepare_tests() {
    "$VISTEL_ROOT/scripts/build.sh"
    "$VISTEL_ROOT/scripts/build-host.sh"
    "$VISTEL_ROOT/scripts/make-fuzz-seeds.sh"
    ensure_prefix
    start_session
}
