#!/bin/bash
# Builds everything and runs the saver full screen under Wine: on $DISPLAY
# when there is one (end it as a user would), otherwise on a private X
# server, where a screenshot goes to build/demo.png before a key press ends
# the saver. `scripts/demo.sh dialog` instead takes the README's picture of
# the settings dialog (docs/settings-dialog.png) on a private X server.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
"$root/scripts/make-samples.sh"
. "$root/scripts/wine-env.sh"
ensure_prefix

if [ "${1:-}" = dialog ]; then
    # The dialog with the default settings, in the prefix's own theme.
    rm -f "$WINEPREFIX/drive_c/windows/Vistel.ini"
    start_session
    probe="$root/build/win64/tests/probe.exe"
    "$WINE" "$root/build/win64/Vistel.scr" /c >/dev/null 2>&1 &
    saver=$!
    dialog=$("$WINE" "$probe" wait '#32770' 'Vistel - The JPEG/BMP Screen Saver' 20000)
    sleep 1
    read -r left top right bottom < <("$WINE" "$probe" info "$dialog" | tr -d '\r' | sed -n 's/^rect=//p')
    import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage \
        "PNG8:$root/docs/settings-dialog.png"
    "$WINE" "$probe" post "$dialog" 16 0 0 # WM_CLOSE
    wait "$saver" || true # Cancel's exit code
    exit 0
fi

# The demo shows the sample pictures, a new one every second.
printf '[Vistel]\r\nSpeed=0\r\nImagePath=Z:%s\r\n' "$(echo "$root/build/samples" | tr / '\\')" \
    >"$WINEPREFIX/drive_c/windows/Vistel.ini"

if [ -n "${DISPLAY:-}" ]; then
    exec "$WINE" "$root/build/win64/Vistel.scr" /s
fi

start_session

"$WINE" "$root/build/win64/Vistel.scr" /s &
saver=$!
sleep 6
import -window root "$root/build/demo.png"
xdotool key space
wait "$saver" && echo "demo: the saver ended; its screen is in build/demo.png"
