#!/bin/sh
# Fails unless Windows 95 and 98 would load the saver: subsystem 4.0, imports only from the list.
#   check_imports.sh OBJDUMP PROGRAM ALLOW-LIST (one dll:Function a line)
set -eu
dump=$("$1" -p "$2")
version=$(echo "$dump" | awk '$1 ~ /^M(aj|in)orSubsystemVersion$/ { printf "%s.", $2 }')
[ "$version" = 4.0. ] || { echo "$2: subsystem version ${version%.} (Windows 95 and 98 need 4.0)"; exit 1; }
# An import by ordinal names no function: it is listed as #ordinal.
imports=$(echo "$dump" | awk '/^\tDLL Name: / { dll = tolower($3); next } !/^\t/ { dll = "" }
    dll != "" && NF == 3 && $1 ~ /^[0-9a-f]+$/ { print dll ":" ($3 == "<none>" ? "#" $2 : $3) }' | sort -u)
[ -n "$imports" ] || { echo "$2: no import table found"; exit 1; }
outside=$(echo "$imports" | grep -vxF -f "$3" || true)
echo "$(echo "$imports" | wc -l) imports checked"
[ -z "$outside" ] || { echo "$outside" | sed "s|^|$2: imports |; s|\$|, which is not in $3|"; exit 1; }
