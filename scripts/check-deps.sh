#!/usr/bin/env bash
# scripts/check-deps.sh [--deps FILE] BUILD_DIR
#
# Fails when the configured build read a CMake package configuration or a
# pkg-config file, or links a library, whose Debian package scripts/deps.sh
# does not install: the
# package must be in the list or a hard dependency of something in it
# (Recommends do not count, deps.sh installs without them). It judges the list,
# not this machine, so a package that merely happens to be installed here still
# fails.
set -euo pipefail

deps="$(dirname "$0")/deps.sh"
if [ "${1:-}" = "--deps" ]; then
    deps="$2"
    shift 2
fi
build="${1:?usage: check-deps.sh [--deps FILE] BUILD_DIR}"
cache="$build/CMakeCache.txt"
if [ ! -f "$cache" ]; then
    echo "check-deps: $cache not found; configure the build first" >&2
    exit 2
fi

mapfile -t listed < <(bash "$deps" --list | sort -u)
if [ ${#listed[@]} -eq 0 ]; then
    echo "check-deps: $deps lists no packages" >&2
    exit 2
fi

# The hard-dependency closure of the list, kept in the build folder per list
# (and per state of the package database): apt-cache takes seconds.
stamp=$(stat -c %Y /var/lib/dpkg/status 2>/dev/null || echo 0)
key=$(printf '%s\n' "${listed[@]}" | sha256sum | cut -c1-16)
closure_file="$build/deps-closure/$key-$stamp.txt"
if [ ! -s "$closure_file" ]; then
    mkdir -p "$build/deps-closure"
    # Closures from before the last package change are stale.
    find "$build/deps-closure" -name '*.txt' ! -name "*-$stamp.txt" -delete
    if ! raw=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
        --no-breaks --no-replaces --no-enhances "${listed[@]}"); then
        echo "check-deps: apt-cache depends failed (is the package index there? apt-get update)" >&2
        exit 2
    fi
    # Top-level lines are package names; virtual ones come as <name>.
    grep -v '^ ' <<<"$raw" | sed -e 's/^<//' -e 's/>$//' -e 's/:.*$//' | sort -u \
        >"$closure_file.part"
    mv "$closure_file.part" "$closure_file"
fi
declare -A known=()
while read -r p; do known[$p]=1; done <"$closure_file"
for p in "${listed[@]}"; do known[$p]=1; done

files=()

# CMake package configurations: the *_DIR entries that point into a cmake/ folder.
while IFS= read -r line; do
    name=${line%%_DIR:*}
    dir=${line#*=}
    [ -d "$dir" ] || continue
    lower=${name,,}
    found=""
    for f in "$dir/${name}Config.cmake" "$dir/${lower}-config.cmake"; do
        if [ -f "$f" ]; then found=$f; break; fi
    done
    if [ -z "$found" ]; then
        found=$(find "$dir" -maxdepth 1 \( -name '*Config.cmake' -o -name '*-config.cmake' \) \
            | head -n1)
    fi
    files+=("${found:-$dir}")
done < <(grep -E '^[A-Za-z0-9_.+-]+_DIR:PATH=.*/cmake/' "$cache" || true)

# pkg-config files: the modules pkg_check_modules found, and every module they
# require (pkg-config reads Requires and Requires.private for both flags and libs).
declare -A seen=()
queue=()
while IFS= read -r line; do
    IFS=';' read -r -a words <<<"${line#*=}"
    for w in "${words[@]}"; do
        case "$w" in
            REQUIRED | QUIET | IMPORTED_TARGET | GLOBAL | NO_CMAKE_PATH | NO_CMAKE_ENVIRONMENT_PATH | "") ;;
            *) queue+=("$(sed -E 's/[<>=].*$//' <<<"$w")") ;;
        esac
    done
done < <(grep -E '^__pkg_config_arguments_' "$cache" || true)
# Looked up along pkg-config's own search path, in the shell: a process per
# module costs more than everything else here.
IFS=':' read -r -a pc_dirs <<<"${PKG_CONFIG_PATH:+$PKG_CONFIG_PATH:}$(pkg-config --variable pc_path pkg-config)"
while [ ${#queue[@]} -gt 0 ]; do
    m=${queue[0]}
    queue=("${queue[@]:1}")
    [ -n "${seen[$m]:-}" ] && continue
    seen[$m]=1
    pc=""
    for d in "${pc_dirs[@]}"; do
        if [ -f "$d/$m.pc" ]; then pc="$d/$m.pc"; break; fi
    done
    [ -n "$pc" ] || continue
    files+=("$pc")
    # "Requires: a >= 1.0, b c": names, each maybe followed by a version condition.
    while IFS= read -r line; do
        case "$line" in
            Requires:* | Requires.private:*) ;;
            *) continue ;;
        esac
        skip=""
        required=${line#*:}
        for w in ${required//,/ }; do
            if [ -n "$skip" ]; then skip=""; continue; fi
            case "$w" in
                "<" | "<=" | "=" | ">=" | ">" | "!=") skip=1 ;;
                *) queue+=("$w") ;;
            esac
        done
    done <"$pc"
done

# Libraries on the link lines: find modules (FindGIF, find_library) leave no
# package configuration behind.
if [ -f "$build/build.ninja" ]; then
    while IFS= read -r f; do
        files+=("$f")
    done < <(grep -oE '/(usr/)?lib/[^ :$]+\.so(\.[0-9]+)*' "$build/build.ninja" | sort -u)
fi

# Owners of all files in one dpkg call (each call costs a reading of its
# database); on a merged-/usr system dpkg may know a file by its other name.
declare -A owner=()
lookup() {
    local line
    while IFS= read -r line; do
        # "pkg1:amd64, pkg2: /path" (several owners for a shared directory).
        owner[${line#*: }]=${line%%: /*}
    done < <(dpkg -S "$@" 2>/dev/null || true)
}
other_name() {
    case "$1" in
        /usr/lib/*) echo "${1#/usr}" ;;
        /lib/*) echo "/usr$1" ;;
        *) readlink -f "$1" ;;
    esac
}
lookup "${files[@]}"
retry=()
for f in "${files[@]}"; do
    [ -n "${owner[$f]:-}" ] || retry+=("$(other_name "$f")")
done
[ ${#retry[@]} -eq 0 ] || lookup "${retry[@]}"

declare -A missing=()
for f in "${files[@]}"; do
    owners=${owner[$f]:-${owner[$(other_name "$f")]:-}}
    if [ -z "$owners" ]; then
        missing["(no Debian package)"]+=" $f"
        continue
    fi
    ok=""
    first=""
    IFS=',' read -r -a names <<<"$owners"
    for n in "${names[@]}"; do
        n=${n# }
        n=${n%%:*}
        [ -z "$first" ] && first=$n
        [ -n "${known[$n]:-}" ] && ok=1
    done
    [ -z "$ok" ] && missing[$first]+=" $f"
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "check-deps: the build reads files that $deps does not install:" >&2
    while IFS= read -r p; do
        echo "  $p:${missing[$p]}" >&2
    done < <(printf '%s\n' "${!missing[@]}" | sort)
    echo "check-deps: add the package(s) to PACKAGES in $deps" >&2
    exit 1
fi
echo "check-deps: ${#files[@]} files read by the build, all from packages deps.sh installs"
