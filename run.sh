#!/usr/bin/env bash
# Builds the release preset and starts Entorra on a folder or map (default: examples/maps/).
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh run

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc 2>/dev/null || echo 2)"

target=("$@")
[ ${#target[@]} -eq 0 ] && target=(examples/maps/)
if [ -x build/release/app/entorra ]; then
    exec build/release/app/entorra "${target[@]}"
fi
maps=()
for item in "${target[@]}"; do
    if [ -d "$item" ]; then
        for map in "$item"/*.bsp; do [ -e "$map" ] && maps+=("$map"); done
    else
        maps+=("$item")
    fi
done
exec build/release/cli/entorra-cli info "${maps[@]}"
