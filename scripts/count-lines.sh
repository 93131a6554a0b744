#!/bin/sh
# Counts the non-blank lines of code of the product and of the test suite
# and prints both and their ratio. Code is C and C++ sources and headers,
# resource scripts, the setup program's script, Python, shell and CMake
# files; data (regression inputs, dictionaries, allow-lists, pictures,
# icons) is not counted.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

count() { # folders...
    find "$@" -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name '*.rc' \
        -o -name '*.nsi' -o -name '*.py' -o -name '*.sh' -o -name '*.cmake' -o -name CMakeLists.txt \) -print0 |
        xargs -0 cat | grep -c '[^[:space:]]'
}

product=$(count Vistel.cpp framework shell slideshow image config res tools installer)
tests=$(count tests)
echo "product: $product lines"
echo "tests:   $tests lines"
awk -v p="$product" -v t="$tests" 'BEGIN { printf "ratio:   %.1f %%\n", 100 * t / p }'
