#!/bin/sh
# Fetches the sources of libjpeg-turbo 2.1.5 from Debian's source package
# into build/deps/libjpeg-turbo-2.1.5 (once; later runs find them there).
# The build compiles them with the library's own CMake (cmake/LibJpegTurbo.cmake).
# Our fixes to the library (cmake/libjpeg-turbo-*.patch) are applied on
# the way; a change to them fetches the sources again.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
version=2.1.5
deps="$root/build/deps"
dest="$deps/libjpeg-turbo-$version"
patches=$(ls "$root"/cmake/libjpeg-turbo-*.patch)
patch_sum=$(cat $patches | cksum)
[ "$(cat "$dest/.vistel-complete" 2>/dev/null)" = "$patch_sum" ] && exit 0

. "$root/scripts/debian-sources.sh"
package_version=$(require_source libjpeg-turbo "$version")

# Unpacked in a scratch folder first, so that an interrupted fetch leaves
# nothing that looks complete.
mkdir -p "$deps"
work=$(mktemp -d "$deps/fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT
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
