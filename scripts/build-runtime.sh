#!/bin/sh
# Builds the run-time code that the 32-bit saver links statically for the
# i486 into build/runtime-i486: the C run-time start-up and its helpers
# (crt2.o, libmingw32, libmingwex, libmsvcrt) from Debian's mingw-w64 source
# package, and libgcc (with the exception unwinder, crtbegin.o, crtend.o),
# libsupc++ and libstdc++ from the gcc-12-source package that Debian's cross
# compiler is built from. The cross compiler's own copies are built for the
# Pentium Pro: their cmov and fcomi stop a 486, Pentium or K6 at once.
#
# Each piece is built by its own build system with the installed cross
# compiler, as Debian builds it; only the processor flags differ. (Built
# without them, every object of libgcc, libgcc_eh, libsupc++, libmingwex
# and libmsvcrt here has the same code as the prebuilt one.)
# Done once; a change to this script builds it again.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/runtime-i486"
deps="$root/build/deps"
script_sum=$(cksum <"$0")
[ "$(cat "$out/.vistel-complete" 2>/dev/null)" = "$script_sum" ] && exit 0

target=i686-w64-mingw32
cc=$target-gcc-win32
cxx=$target-g++-win32
# Tuned for today's processors: the 32-bit saver also runs on Windows 10.
cpu_flags="-march=i486 -mtune=generic"
jobs=2

. "$root/scripts/debian-sources.sh"

# The sources: those of the installed cross compiler and its headers.
compiler_version=$(dpkg-query -W -f='${Version}' "gcc-mingw-w64-i686-win32")
gcc_package_version=${compiler_version%+*+*} # 12.2.0-14+deb12u1+25.2+b1: 12.2.0-14+deb12u1
gcc_version=${gcc_package_version%%-*}
crt_version=$(dpkg-query -W -f='${Version}' mingw-w64-common)
crt_upstream=${crt_version%%-*}
gcc_src="$deps/gcc-$gcc_version"
crt_src="$deps/mingw-w64-$crt_upstream"
mkdir -p "$deps"
if [ ! -f "$gcc_src/.vistel-complete" ]; then
    work=$(mktemp -d "$deps/fetch.XXXXXX")
    (cd "$work" && apt-get download -q "gcc-${gcc_version%%.*}-source=$gcc_package_version" >/dev/null)
    dpkg-deb -x "$work"/gcc-*-source_*.deb "$work/deb"
    # Without the test suites and the other languages' front ends and libraries.
    tar -xJf "$work"/deb/usr/src/gcc-*/gcc-*.tar.xz -C "$work" --exclude='gcc/testsuite' \
        --exclude='gcc/ada' --exclude='gcc/d' --exclude='gcc/fortran' --exclude='gcc/go' --exclude='gcc/m2' \
        --exclude='libgo' --exclude='libphobos' --exclude='libsanitizer' --exclude='libgfortran' \
        --exclude='libada' --exclude='gnattools' --exclude='libgomp' --exclude='libobjc' --exclude='libitm' \
        --exclude='libstdc++-v3/testsuite/[0-9a-z]*'
    rm -rf "$gcc_src"
    mv "$work/gcc-$gcc_version" "$gcc_src"
    rm -rf "$work"
    touch "$gcc_src/.vistel-complete"
fi
if [ ! -f "$crt_src/.vistel-complete" ]; then
    package_version=$(require_source mingw-w64 "$crt_upstream")
    work=$(mktemp -d "$deps/fetch.XXXXXX")
    (cd "$work" && apt-get source -q "mingw-w64=$package_version" >/dev/null)
    rm -rf "$crt_src"
    mv "$work/mingw-w64-$crt_upstream" "$crt_src"
    rm -rf "$work"
    touch "$crt_src/.vistel-complete"
fi

rm -rf "$out"
mkdir -p "$out/work"
log="$out/work/build.log"
echo "build-runtime: building the i486 run-time code (log: $log)"
trap 'echo "build-runtime: failed; the end of $log:" >&2; tail -25 "$log" >&2' EXIT

# The C run-time library, 32-bit only. Debian's patch drops -std=gnu99
# from Makefile.am and regenerates the build files; the same change here.
mkdir -p "$out/work/crt/lib32"
(cd "$out/work/crt" &&
    CFLAGS="-O2 $cpu_flags" "$crt_src/mingw-w64-crt/configure" --host=$target --target=$target \
        --prefix=/usr/$target --disable-lib64 --enable-lib32 &&
    sed -i 's/-pipe -std=gnu99 /-pipe /' Makefile &&
    make -j$jobs lib32/crt2.o lib32/libmingw32.a lib32/libmingwex.a lib32/libmsvcrt.a) >>"$log" 2>&1

# The compiler's own configuration, only as far as the target libraries
# read it (its headers and flags); the compiler itself is the installed one.
mkdir -p "$out/work/gcc"
(cd "$out/work/gcc" &&
    "$gcc_src/configure" --target=$target --prefix=/usr --enable-languages=c,c++ --disable-multilib \
        --enable-threads=win32 --disable-sjlj-exceptions --with-dwarf2 --disable-nls --disable-lto \
        --enable-fully-dynamic-string --with-tune=generic --enable-version-specific-runtime-libs &&
    make configure-gcc all-build-libiberty &&
    make -C gcc tm.h tconfig.h options.h insn-constants.h insn-modes.h &&
    printf 'mvars:\n\t@echo GCC_CFLAGS = $(GCC_CFLAGS)\n\t@echo INHIBIT_LIBC_CFLAGS =\n\t@echo TARGET_SYSTEM_ROOT =\n\t@echo NO_PIE_CFLAGS =\n' |
        make -s -C gcc -f Makefile -f - mvars >gcc/libgcc.mvars) >>"$log" 2>&1

libs="$out/work/gcc/$target"
mkdir -p "$libs/libgcc" "$libs/libstdc++-v3"
(cd "$libs/libgcc" &&
    CC=$cc CFLAGS="-O2 $cpu_flags" AR=$target-ar RANLIB=$target-ranlib NM=$target-nm \
        "$gcc_src/libgcc/configure" --build=x86_64-linux-gnu --host=$target --target=$target --prefix=/usr \
        --enable-version-specific-runtime-libs &&
    make -j$jobs libgcc.a libgcc_eh.a crtbegin.o crtend.o) >>"$log" 2>&1

# Built against the installed compiler's configuration header, so that it
# agrees with the headers our code compiles against; but random_device's
# rdrand and rdseed paths (with their cpuid) are left out: nothing here uses
# them, yet the string code brings their object along.
(cd "$libs/libstdc++-v3" &&
    CC=$cc CXX=$cxx CFLAGS="-O2 $cpu_flags" CXXFLAGS="-O2 $cpu_flags" AR=$target-ar RANLIB=$target-ranlib \
        NM=$target-nm AS=$target-as LD=$target-ld \
        "$gcc_src/libstdc++-v3/configure" --build=x86_64-linux-gnu --host=$target --target=$target \
        --prefix=/usr --disable-multilib --disable-shared --enable-static --enable-libstdcxx-time=yes \
        --enable-fully-dynamic-string --enable-version-specific-runtime-libs &&
    make -j$jobs -C include &&
    sed '/_GLIBCXX_X86_RD\(RAND\|SEED\)/d' "$($cxx -print-file-name=include/c++)/$target/bits/c++config.h" \
        >include/$target/bits/c++config.h &&
    make -j$jobs -C libsupc++ && make -j$jobs -C src) >>"$log" 2>&1

cp "$out"/work/crt/lib32/crt2.o "$out"/work/crt/lib32/libmingw32.a "$out"/work/crt/lib32/libmingwex.a \
    "$out"/work/crt/lib32/libmsvcrt.a "$libs"/libgcc/libgcc.a "$libs"/libgcc/libgcc_eh.a \
    "$libs"/libgcc/crtbegin.o "$libs"/libgcc/crtend.o "$libs"/libstdc++-v3/libsupc++/.libs/libsupc++.a \
    "$libs"/libstdc++-v3/src/.libs/libstdc++.a "$out/"
rm -rf "$out/work"
trap - EXIT
echo "$script_sum" >"$out/.vistel-complete"
echo "build-runtime: i486 run-time code in $out"
