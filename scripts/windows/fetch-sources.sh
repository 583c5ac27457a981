#!/usr/bin/env bash
# Fetches the Debian source packages the Windows build is made from into
# $1 (default: the cache's src/ folder) and checks them against the pinned
# versions and hashes below. Uses a private apt configuration (its own
# sources file, lists and cache under $1/apt), so the system's apt setup is
# never touched. Already fetched and verified files are kept.
# Usage: fetch-sources.sh [destination]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/versions.sh"

dest="${1:-$QW_CACHE_ROOT/src}"
mkdir -p "$dest"
dest="$(cd "$dest" && pwd)"

# True when every file of the .dsc is there and matches both the .dsc's own
# SHA-256 list and the hash pinned here for the .dsc itself.
verified() { # dsc-file pinned-sha256
  local dsc="$dest/$1" want="$2"
  [ -f "$dsc" ] || return 1
  [ "$(sha256sum "$dsc" | cut -d' ' -f1)" = "$want" ] || return 1
  # The Checksums-Sha256 block: lines " <hash> <size> <name>" after its header.
  awk '/^Checksums-Sha256:/{on=1;next} /^[^ ]/{on=0} on&&NF==3{print $1"  "$3}' "$dsc" \
    | (cd "$dest" && sha256sum --check --quiet --strict -) >/dev/null 2>&1
}

need=()
verified "$QW_QT_DSC" "$QW_QT_DSC_SHA256" || need+=("qt6-base=$QW_QT_DEBVER")
verified "$QW_JPEG_DSC" "$QW_JPEG_DSC_SHA256" || need+=("libjpeg-turbo=$QW_JPEG_DEBVER")
if [ ${#need[@]} -eq 0 ]; then
  echo "sources: verified in $dest"
  exit 0
fi

# The private apt tree: a deb-src line for the system's Debian suite.
apt_root="$dest/apt"
mkdir -p "$apt_root/lists/partial" "$apt_root/cache/archives/partial"
cat > "$apt_root/sources.list" <<SRC
deb-src $QW_DEBIAN_MIRROR $QW_DEBIAN_SUITE main
deb-src $QW_DEBIAN_SECURITY_MIRROR $QW_DEBIAN_SUITE-security main
SRC
apt_opts=(
  -o "Dir::Etc::sourcelist=$apt_root/sources.list"
  -o "Dir::Etc::sourceparts=-"
  -o "Dir::State::Lists=$apt_root/lists"
  -o "Dir::Cache=$apt_root/cache"
  -o "Debug::NoLocking=1"
  -o "APT::Sandbox::User=root"
)
echo "sources: fetching ${need[*]} (about 20 MB)"
apt-get "${apt_opts[@]}" -qq update
(cd "$dest" && apt-get "${apt_opts[@]}" source --download-only "${need[@]}")

verified "$QW_QT_DSC" "$QW_QT_DSC_SHA256" \
  || { echo "sources: $QW_QT_DSC or its files do not match the pinned hashes" >&2; exit 1; }
verified "$QW_JPEG_DSC" "$QW_JPEG_DSC_SHA256" \
  || { echo "sources: $QW_JPEG_DSC or its files do not match the pinned hashes" >&2; exit 1; }
echo "sources: verified in $dest"
