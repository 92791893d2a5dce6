#!/usr/bin/env bash
# Prints the prefix of a GEOS recent enough for the runtime (3.13 or newer),
# or nothing when the system's own GEOS is recent enough.
#
# Where the distribution ships an older GEOS (Debian 12 has 3.11), Debian's own
# newer source package is fetched with apt-get from the archive this machine
# already uses (read from its apt sources), in a private apt state so that the
# system's sources stay untouched, and built once into a prefix keyed by its
# version: a second run finds it there and builds nothing.
#
#   OSTREL_GEOS_HOME   where the kept prefixes live (default: ~/.cache/ostrel_geometry,
#                      so that every clone and a cleaned tree find it)
#   OSTREL_GEOS_SUITE  the suite to take the source from (default: trixie)
set -euo pipefail
need=3.13
home="${OSTREL_GEOS_HOME:-${XDG_CACHE_HOME:-$HOME/.cache}/ostrel_geometry}"
suite="${OSTREL_GEOS_SUITE:-trixie}"

newer_or_equal() { [ "$(printf '%s\n%s\n' "$2" "$1" | sort -V | head -n1)" = "$2" ]; }

system_version="$(pkg-config --modversion geos 2>/dev/null || true)"
if [ -n "$system_version" ] && newer_or_equal "$system_version" "$need"; then
  exit 0
fi

# A kept build of any version at or above the one needed serves.
find_kept() {
  local kept
  for kept in $(ls -d "$home"/geos-* 2>/dev/null | grep -v '\.partial$' | sort -rV); do
    if [ -f "$kept/lib/pkgconfig/geos.pc" ] && newer_or_equal "${kept##*/geos-}" "$need"; then
      echo "$kept"
      return 0
    fi
  done
  return 1
}
find_kept && exit 0

# One build at a time: a second set-up started meanwhile waits for it and
# then finds it kept.
mkdir -p "$home"
exec 9>"$home/.lock"
flock 9
find_kept && exit 0

# The archive's address, as this machine's apt sources give it (deb822 first,
# then the one-line format).
archive="$(awk '/^URIs:/ && $2 ~ /debian\/?$/ {print $2; exit}' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)"
if [ -z "$archive" ]; then
  archive="$(awk '$1 ~ /^deb(-src)?$/ {for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\// && $i ~ /debian\/?$/) {print $i; exit}}' \
    /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true)"
fi
if [ -z "$archive" ]; then
  echo "geos.sh: no Debian archive found in this machine's apt sources; install GEOS $need or newer and put its geos.pc on PKG_CONFIG_PATH" >&2
  exit 1
fi

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
tools=""
for p in dpkg-dev xz-utils bzip2 g++ debian-archive-keyring; do
  dpkg -s "$p" >/dev/null 2>&1 || tools="$tools $p"
done
# CMake from pip (in the virtualenv) serves as well as the distribution's.
command -v cmake >/dev/null 2>&1 || tools="$tools cmake"
if [ -n "$tools" ]; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq $tools >/dev/null
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/state/lists/partial" "$work/cache/archives/partial"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $archive $suite main" >"$work/sources.list"
apt_opts=(-o "Dir::State=$work/state" -o "Dir::Cache=$work/cache"
          -o "Dir::Etc::SourceList=$work/sources.list" -o "Dir::Etc::SourceParts=/dev/null"
          -o "APT::Sandbox::User=$(id -un)")
echo "geos.sh: building GEOS from Debian's $suite source package (once)" >&2
(cd "$work" && apt-get "${apt_opts[@]}" -qq update && apt-get "${apt_opts[@]}" -qq source --download-only geos) >&2
orig="$(ls "$work"/geos_*.orig.tar.* | head -n1)"
version="$(basename "$orig" | sed -E 's/^geos_([0-9.]+)\.orig.*/\1/')"
mkdir -p "$work/src"
tar -xf "$orig" -C "$work/src" --strip-components=1
prefix="$home/geos-$version"
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
# The caller's compiler flags (-Werror in CI) are meant for this project only.
unset CFLAGS CXXFLAGS
cmake -S "$work/src" -B "$work/build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DBUILD_BENCHMARKS=OFF -DBUILD_DOCUMENTATION=OFF -DCMAKE_INSTALL_PREFIX="$prefix.partial" \
  -DCMAKE_INSTALL_RPATH='$ORIGIN' \
  -DCMAKE_INSTALL_LIBDIR=lib >/dev/null
cmake --build "$work/build" --parallel "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" >/dev/null
rm -rf "$prefix.partial"
cmake --install "$work/build" >/dev/null
# The pkg-config file names the prefix it was installed to.
sed -i "s|$prefix.partial|$prefix|g" "$prefix.partial/lib/pkgconfig/geos.pc" "$prefix.partial/bin/geos-config" 2>/dev/null || true
rm -rf "$prefix"
mv "$prefix.partial" "$prefix"
echo "$prefix"
