#!/usr/bin/env bash
# Turns a fresh Wine prefix into a cluster node from a scenario folder:
#   node.reg            registry of the node and of the lab (imported first)
#   services.txt        services to register from the lab's service executable
#   after-services.reg  values below those services' keys (optional)
#   base                the folder name of a scenario beside it (optional) whose
#                       files are applied first, this folder's on top
# and the cluster product's home with the version catalogue.
# Usage: make-node.sh <scenario folder> <KorvelinLabService.exe>
# with WINEPREFIX set and a wineserver running for it.
set -euo pipefail
scenario=$1
service_exe=$2
here=$(cd "$(dirname "$0")" && pwd)

wine_quiet() { WINEDEBUG=-all wine "$@" >>"$WINEPREFIX.wine.log" 2>&1; }
winpath() { echo "Z:$(realpath "$1" | sed 's|/|\\|g')"; }

home="$WINEPREFIX/drive_c/QLX"
mkdir -p "$home/log" "$home/conf" "$home/bin/Dado2007Dadev"
cp "$here/ExchangeUpgrade.xml" "$home/bin/Dado2007Dadev/ExchangeUpgrade.xml"

# The scenario's folders, its bases first.
chain=()
dir=$(realpath "$scenario")
while :; do
  chain=("$dir" "${chain[@]}")
  [ -f "$dir/base" ] || break
  dir=$(realpath "$dir/../$(tr -d '[:space:]' <"$dir/base")")
done

# Imports a .reg file of that name from each folder that has one.
import_each() {
  local dir
  for dir in "${chain[@]}"; do
    [ ! -f "$dir/$1" ] || wine_quiet regedit /s "$(winpath "$dir/$1")"
  done
}

import_each node.reg
for dir in "${chain[@]}"; do
  [ -f "$dir/services.txt" ] || continue
  grep -v '^#' "$dir/services.txt" | while IFS='|' read -r name display start; do
    [ -n "$name" ] || continue
    wine_quiet "$service_exe" install "$name" "$display" "$start" \
      || { echo "error: could not register the lab service $name" >&2; exit 1; }
  done
done
import_each after-services.reg
