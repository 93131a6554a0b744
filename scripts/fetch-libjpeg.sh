#!/bin/sh
# Fetches the sources of libjpeg-turbo 2.1.5 from Debian's source package
# into build/deps/libjpeg-turbo-2.1.5 (once; later runs find them there).
# The build compiles them with the library's own CMake (cmake/LibJpegTurbo.cmake).
# Our fixes to the library (cmake/libjpeg-turbo-*.patch) are applied on
# the way; a change to them fetches the sources again.
#
# apt-get source needs a deb-src entry. When the archive offers no source
# package yet, one is made from the entry of the main release, naming the
# same archive as the machine's own binary packages: in the deb822 format
# (/etc/apt/sources.list.d/*.sources) its stanza is copied with Types
# deb-src, in the one-line format (sources.list) its lines are copied with
# deb-src in front. That needs root, as installing packages does.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
version=2.1.5
deps="$root/build/deps"
dest="$deps/libjpeg-turbo-$version"
patches=$(ls "$root"/cmake/libjpeg-turbo-*.patch)
patch_sum=$(cat $patches | cksum)
[ "$(cat "$dest/.vistel-complete" 2>/dev/null)" = "$patch_sum" ] && exit 0

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[ -n "$codename" ] || { echo "fetch-libjpeg: /etc/os-release names no release" >&2; exit 1; }

has_source() {
    apt-cache showsrc libjpeg-turbo 2>/dev/null | grep -q "^Version: .*:$version-"
}

# The stanzas of a deb822 file whose Suites include the main release,
# with Types deb-src and without comments.
deb822_source_stanzas() { # file
    awk -v release="$codename" '
        function flush() {
            if (n > 0 && wanted) { for (i = 1; i <= n; i++) print lines[i]; print "" }
            n = 0; wanted = 0
        }
        /^[ \t]*$/ { flush(); next }
        /^#/ { next }
        {
            line = $0
            if (tolower($1) == "types:") line = "Types: deb-src"
            if (tolower($1) == "suites:") for (i = 2; i <= NF; i++) if ($i == release) wanted = 1
            lines[++n] = line
        }
        END { flush() }' "$1"
}

# The one-line entries of the main release, as deb-src lines.
oneline_source_entries() { # file
    awk -v release="$codename" '
        $1 == "deb" {
            i = 2
            if ($2 ~ /^\[/) while (i <= NF && $i !~ /\]$/) i++
            if ($2 ~ /^\[/) i++
            if ($(i + 1) == release) { sub(/^deb/, "deb-src"); print }
        }' "$1"
}

make_source_entry() {
    if [ "$(id -u)" != 0 ]; then
        echo "fetch-libjpeg: the package archive offers no sources; adding a deb-src entry needs root" >&2
        exit 1
    fi
    entry=""
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        case "$file" in */vistel-deb-src.sources) continue ;; esac
        stanzas=$(deb822_source_stanzas "$file")
        if [ -n "$stanzas" ]; then
            printf '%s\n' "$stanzas" >/etc/apt/sources.list.d/vistel-deb-src.sources
            entry=deb822
            break
        fi
    done
    if [ -z "$entry" ]; then
        for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
            [ -f "$file" ] || continue
            case "$file" in */vistel-deb-src.list) continue ;; esac
            lines=$(oneline_source_entries "$file")
            if [ -n "$lines" ]; then
                printf '%s\n' "$lines" >/etc/apt/sources.list.d/vistel-deb-src.list
                entry=one-line
                break
            fi
        done
    fi
    if [ -z "$entry" ]; then
        echo "fetch-libjpeg: no package source names the release $codename" >&2
        exit 1
    fi
    echo "fetch-libjpeg: added a deb-src entry ($entry format) for $codename"
    apt-get update -q
}

has_source || make_source_entry
has_source || { echo "fetch-libjpeg: Debian offers no libjpeg-turbo $version source package" >&2; exit 1; }

# Unpacked in a scratch folder first, so that an interrupted fetch leaves
# nothing that looks complete.
mkdir -p "$deps"
work=$(mktemp -d "$deps/fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT
package_version=$(apt-cache showsrc libjpeg-turbo | sed -n "s/^Version: \(.*:$version-.*\)/\1/p" | head -n 1)
(cd "$work" && apt-get source -q "libjpeg-turbo=$package_version" >/dev/null)
[ -f "$work/libjpeg-turbo-$version/CMakeLists.txt" ] || {
    echo "fetch-libjpeg: the source package did not unpack into libjpeg-turbo-$version" >&2
    exit 1
}
for patch in $patches; do
    patch -s -p1 -d "$work/libjpeg-turbo-$version" <"$patch"
done
rm -rf "$dest"
mv "$work/libjpeg-turbo-$version" "$dest"
echo "$patch_sum" >"$dest/.vistel-complete"
echo "fetch-libjpeg: libjpeg-turbo $package_version sources in $dest"
