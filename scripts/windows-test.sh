#!/usr/bin/env bash
# The Windows stage of ./test.sh: the core, entorra-cli and the core tests cross-built with
# MinGW-w64 (preset "windows"), the tests run under Wine through CTest, then a smoke run of
# entorra-cli.exe over the example maps. Skipped, with a line saying so, where the cross
# compiler or Wine is not installed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

wine=""
for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
        wine=$candidate
        break
    fi
done
wineserver=$(dirname "${wine:-/usr/lib/wine/wine64}")/wineserver
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || [ -z "$wine" ] ||
   [ ! -f /usr/x86_64-w64-mingw32/include/zlib.h ] || [ ! -f /usr/src/googletest/CMakeLists.txt ]; then
    echo "Windows stage skipped: needs g++-mingw-w64-x86-64-posix, libz-mingw-w64-dev, wine64 and googletest (scripts/install-deps.sh test)" >&2
    exit 0
fi

start=$(date +%s)
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset windows
cmake --build --preset windows -j "$jobs"

# One private prefix, and one Wine server kept up for the whole stage: starting it for each
# program would cost more than most test programs take.
export ENTORRA_WINE=$wine
export ENTORRA_WINEPREFIX=$root/build/windows/wine
export WINEPREFIX=$ENTORRA_WINEPREFIX WINEDEBUG=-all
scripts/wine-run.sh cmd /c exit 0 >/dev/null 2>&1 || true  # creates the prefix when new
"$wineserver" -p >/dev/null 2>&1 </dev/null || true  # one may be up already
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT

ctest --preset windows -j "$jobs"

# entorra-cli.exe over copies of the example maps, one of them under a name outside ASCII.
smoke=$root/build/windows/smoke
rm -rf "$smoke"
mkdir -p "$smoke/maps"
cp examples/maps/*.bsp "$smoke/maps/"
cp examples/maps/cs_example.bsp "$smoke/maps/карта été.bsp"
cli() {
    (cd "$smoke" && "$root/scripts/wine-run.sh" "$root/build/windows/cli/entorra-cli.exe" "$@")
}
fail() {
    echo "Windows smoke run failed: $*" >&2
    exit 1
}
cli info maps >"$smoke/info.txt" || fail "info"
grep -q 'cs_example.bsp' "$smoke/info.txt" || fail "info names no map"
cli show 'maps\cs_example.bsp' >"$smoke/show.txt" || fail "show"
grep -q $'^{\r$' "$smoke/show.txt" || fail "show gives no editor form"
cli census maps >"$smoke/census.txt" || fail "census"
grep -qF 'maps\карта été.bsp: T=' "$smoke/census.txt" || fail "census misses the map named outside ASCII"
cli export 'maps\карта été.bsp' >/dev/null || fail "export"
printf '{\n"classname" "worldspawn"\n}\n' >"$smoke/maps/карта été.ent"
cli import --backup 'maps\карта été.bsp' >/dev/null || fail "import --backup"
cmp -s "$smoke/maps/карта été.bsp.bak" examples/maps/cs_example.bsp || fail "the backup is not the map as it was"
cli census 'maps\карта été.bsp' | grep -qF 'T= 0 CT= 0 VIP= 0' || fail "import did not change the map"
cli check maps 'maps\карта été.ent' >"$smoke/check.txt" || fail "check"
echo "Windows smoke run: info, show, census, export, import --backup, check passed"
echo "Windows stage took $(( $(date +%s) - start )) s"
