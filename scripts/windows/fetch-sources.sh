#!/usr/bin/env bash
# Fetches the Debian source packages the Windows build is made from into
# $1 (default: the cache's src/ folder), checks them, and writes the versions
# used to $1/used.sh (QW_QT_USED=..., QW_JPEG_USED=..., and QW_USED_FOR, the
# pins they were resolved from).
#
# The pinned revisions (versions.sh) come first, trusted by their pinned .dsc
# hash. A point release can replace a revision in the archive; then the newest
# revision of the same upstream version is taken instead, trusted through the
# archive's signed index: apt verifies the index's signature, and the .dsc
# must have the SHA-256 that the index gives for it. Every file must match the
# .dsc's own SHA-256 list. Which revision was used is printed.
#
# Uses a private apt configuration (its own sources file, lists and cache
# under $1/apt), so the system's apt setup is never touched. Already fetched
# and verified files are kept; the archive is asked only when one is missing.
# Usage: fetch-sources.sh [destination]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/versions.sh"

dest="${1:-$QW_CACHE_ROOT/src}"
mkdir -p "$dest"
dest="$(cd "$dest" && pwd)"
die() { echo "sources: $*" >&2; exit 1; }

# True when the .dsc has the given SHA-256 and every file it lists is there
# and matches its SHA-256 list.
verified() { # dsc-file sha256
  local dsc="$dest/$1"
  [ -f "$dsc" ] || return 1
  [ "$(sha256sum "$dsc" | cut -d' ' -f1)" = "$2" ] || return 1
  # The Checksums-Sha256 block: lines " <hash> <size> <name>" after its header.
  awk '/^Checksums-Sha256:/{on=1;next} /^[^ ]/{on=0} on&&NF==3{print $1"  "$3}' "$dsc" \
    | (cd "$dest" && sha256sum --check --quiet --strict -) >/dev/null 2>&1
}

# The private apt tree: a deb-src line for the system's Debian suite.
apt_root="$dest/apt"
apt_opts=(
  -o "Dir::Etc::sourcelist=$apt_root/sources.list"
  -o "Dir::Etc::sourceparts=-"
  -o "Dir::State::Lists=$apt_root/lists"
  -o "Dir::Cache=$apt_root/cache"
  -o "Debug::NoLocking=1"
  -o "APT::Sandbox::User=root"
)
# Fetches the archive's signed index once a run; says so plainly when the
# archive cannot be reached (apt's own words follow).
indexed="$apt_root/.indexed.$$"
trap 'rm -f "$indexed"' EXIT
fetch_index() {
  [ -f "$indexed" ] && return 0
  mkdir -p "$apt_root/lists/partial" "$apt_root/cache/archives/partial"
  cat >"$apt_root/sources.list" <<SRC
deb-src $QW_DEBIAN_MIRROR $QW_DEBIAN_SUITE main
deb-src $QW_DEBIAN_SECURITY_MIRROR $QW_DEBIAN_SUITE-security main
SRC
  echo "sources: reading the index of $QW_DEBIAN_MIRROR ($QW_DEBIAN_SUITE)"
  if ! apt-get "${apt_opts[@]}" -qq update >"$apt_root/update.log" 2>&1 \
    || grep -q '^\(W: Failed to fetch\|E: \)' "$apt_root/update.log"; then
    sed 's/^/  /' "$apt_root/update.log" >&2
    die "the Debian archive cannot be reached ($QW_DEBIAN_MIRROR, $QW_DEBIAN_SECURITY_MIRROR); nothing fetched"
  fi
  touch "$indexed"
}

# The source records of a package in the index: "version sha256-of-dsc" per line.
index_versions() { # package
  apt-cache "${apt_opts[@]}" showsrc "$1" 2>/dev/null | awk -v pkg="$1" '
    /^Package: / { p = $2 } /^Version: / { v = $2 }
    /^Checksums-Sha256:/ { on = 1; next } /^[^ ]/ { on = 0 }
    on && NF == 3 && $3 ~ /\.dsc$/ && p == pkg { print v, $1 }'
}

download() { # package version
  (cd "$dest" && apt-get "${apt_opts[@]}" -qq source --download-only "$1=$2") \
    || die "apt-get could not download $1 $2"
}

# Echoes the version of a package that was fetched and verified.
resolve() { # package pinned-version pinned-sha256
  local package="$1" pinned="$2" pinned_sha="$3"
  if verified "$(qw_dsc "$package" "$pinned")" "$pinned_sha"; then
    echo "$pinned"
    return 0
  fi
  fetch_index >&2
  local records
  records="$(index_versions "$package")"
  if grep -q "^$pinned " <<<"$records"; then
    echo "sources: fetching $package $pinned" >&2
    download "$package" "$pinned" >&2
    verified "$(qw_dsc "$package" "$pinned")" "$pinned_sha" \
      || die "$package $pinned does not match its pinned hash"
    echo "$pinned"
    return 0
  fi
  # Gone from the archive: the newest revision of the same upstream version.
  local upstream="${pinned%-*}" newest="" sha="" version hash
  while read -r version hash; do
    [ "${version%-*}" = "$upstream" ] || continue
    if [ -z "$newest" ] || dpkg --compare-versions "$version" gt "$newest"; then
      newest="$version" sha="$hash"
    fi
  done <<<"$records"
  [ -n "$newest" ] || die "the archive has neither $package $pinned nor another revision of $upstream"
  echo "sources: $package $pinned is no longer in the archive; using $newest, trusted through the archive's signed index" >&2
  download "$package" "$newest" >&2
  verified "$(qw_dsc "$package" "$newest")" "$sha" \
    || die "$package $newest does not match the archive's index"
  echo "$newest"
}

qt_used="$(resolve "$QW_QT_PACKAGE" "$QW_QT_DEBVER" "$QW_QT_DSC_SHA256")"
jpeg_used="$(resolve "$QW_JPEG_PACKAGE" "$QW_JPEG_DEBVER" "$QW_JPEG_DSC_SHA256")"
# Which pins these were resolved from: new pins make the record stale.
printf 'QW_USED_FOR=%q\nQW_QT_USED=%q\nQW_JPEG_USED=%q\n' "$QW_QT_DEBVER $QW_JPEG_DEBVER" \
  "$qt_used" "$jpeg_used" >"$dest/used.sh"
echo "sources: $QW_QT_PACKAGE $qt_used and $QW_JPEG_PACKAGE $jpeg_used verified in $dest"
