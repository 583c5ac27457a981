#!/usr/bin/env bash
# Prints the NSIS macros QV_INSTALL_FILES and QV_UNINSTALL_FILES for every
# file and folder below a staged program folder, so that the uninstaller
# removes exactly what the installer put down.
# Usage: installer-files.sh <stage-dir> > files.nsh
set -euo pipefail
stage="$(cd "$1" && pwd)"
cd "$stage"
win() { sed 's|^\./||; s|/|\\|g'; }

echo '!macro QV_INSTALL_FILES'
find . -mindepth 1 -type d | sort | win | sed 's|.*|  CreateDirectory "$INSTDIR\\&"|'
find . -type f | sort | while read -r f; do
  dir="$(dirname "$f")"
  if [ "$dir" = . ]; then echo '  SetOutPath "$INSTDIR"'; else echo "  SetOutPath \"\$INSTDIR\\$(win <<<"$dir")\""; fi
  echo "  File \"$stage/${f#./}\""
done
echo '  SetOutPath "$INSTDIR"'
echo '!macroend'

echo '!macro QV_UNINSTALL_FILES'
find . -type f | sort | win | sed 's|.*|  Delete "$INSTDIR\\&"|'
# Deepest folders first; RMDir leaves a folder that is not empty.
find . -mindepth 1 -type d | sort -r | win | sed 's|.*|  RMDir "$INSTDIR\\&"|'
echo '!macroend'
