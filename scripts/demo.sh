#!/bin/bash
# Builds everything and runs the saver full screen under Wine: on $DISPLAY
# when there is one (end it as a user would), otherwise on a private X
# server, where a screenshot goes to build/demo.png before a key press ends
# the saver.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
"$root/scripts/make-samples.sh"
. "$root/scripts/wine-env.sh"
ensure_prefix

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
