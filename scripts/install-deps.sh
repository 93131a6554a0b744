#!/bin/sh
# Installs the Debian packages that the build and the tests need. Does
# nothing when all of them are there already; installing needs root.
set -eu

PACKAGES="
    make cmake nasm dpkg-dev bzip2 xz-utils
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 libgmp-dev libmpfr-dev libmpc-dev
    wine64
    xvfb xdotool x11-apps x11-xkb-utils imagemagick libjpeg-turbo-progs
    python3 nsis
    doctest-dev libstb-dev
    clang libclang-rt-14-dev llvm
    gcc-multilib g++-multilib qemu-user-static
"

missing=""
for package in $PACKAGES; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing="$missing $package"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" != 0 ]; then
    echo "install-deps: these packages are missing and installing them needs root:$missing" >&2
    exit 1
fi
echo "install-deps: installing$missing"
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing
