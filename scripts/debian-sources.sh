# Sourced by the scripts that build third-party code from Debian's source
# packages (libjpeg-turbo, and the run-time code the 32-bit saver links).
#
# apt-get source needs a deb-src entry. When the archive offers no source
# package yet, one is made from the entry of the main release, naming the
# same archive as the machine's own binary packages: in the deb822 format
# (/etc/apt/sources.list.d/*.sources) its stanza is copied with Types
# deb-src, in the one-line format (sources.list) its lines are copied with
# deb-src in front. That needs root, as installing packages does.

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[ -n "$codename" ] || { echo "$0: /etc/os-release names no release" >&2; exit 1; }

# The version of source package $1 that the archive offers for upstream
# version $2 (empty when none).
source_version() { # package upstream-version
    apt-cache showsrc "$1" 2>/dev/null | sed -n "s/^Version: \(\([0-9]*:\)\{0,1\}$2-.*\)/\1/p" | head -n 1
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
        echo "$0: the package archive offers no sources; adding a deb-src entry needs root" >&2
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
        echo "$0: no package source names the release $codename" >&2
        exit 1
    fi
    echo "$0: added a deb-src entry ($entry format) for $codename" >&2
    apt-get update -q >&2
}

# Prints the archive's version of source package $1 for upstream version
# $2, adding a deb-src entry first when the archive offers no sources.
require_source() { # package upstream-version
    version=$(source_version "$1" "$2")
    if [ -z "$version" ]; then
        make_source_entry
        version=$(source_version "$1" "$2")
    fi
    [ -n "$version" ] || { echo "$0: Debian offers no $1 $2 source package" >&2; exit 1; }
    echo "$version"
}
