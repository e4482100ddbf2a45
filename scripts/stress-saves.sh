#!/usr/bin/env bash
# Runs entorra-cli processes side by side on one map and kills saves at random moments, as users
# and other programs would, and counts what went wrong: readers that failed, updates lost, writers
# that lost without saying so, torn maps and temporary files left behind. Exits non-zero when any
# of those is not 0.
#
# Usage: scripts/stress-saves.sh [ENTORRA_CLI]   (default build/release/cli/entorra-cli)
# ENTORRA_STRESS_PAIRS (default 50) and ENTORRA_STRESS_KILLS (default 100) set the counts.
set -euo pipefail
cd "$(dirname "$0")/.."

cli=$(realpath "${1:-build/release/cli/entorra-cli}")
pairs=${ENTORRA_STRESS_PAIRS:-50}
kills=${ENTORRA_STRESS_KILLS:-100}
example=$PWD/examples/maps/cs_example.bsp
# A sanitizer build keeps allocations of its own until exit; they are not what this counts.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

# Readers: check and census of one map at the same time.
reader_failures=0
cp "$example" "$work/r.bsp"
for ((pair = 0; pair < pairs; ++pair)); do
    "$cli" check "$work/r.bsp" >/dev/null 2>"$work/check.err" &
    check=$!
    "$cli" census "$work/r.bsp" >/dev/null 2>"$work/census.err" &
    census=$!
    wait "$check" || { reader_failures=$((reader_failures + 1)); cat "$work/check.err" >&2; }
    wait "$census" || { reader_failures=$((reader_failures + 1)); cat "$work/census.err" >&2; }
done
echo "reader pairs: $pairs, failures: $reader_failures"
((reader_failures == 0)) || status=1

# Writers: two delete-all runs on one map, each deleting another class. A run that exits 0 made
# its change, and the other's save must not have undone it; one that did not must say why.
lost=0
losers=0
silent_losers=0
classes=(info_player_deathmatch info_player_start)
for ((pair = 0; pair < pairs; ++pair)); do
    cp "$example" "$work/w.bsp"
    pids=()
    for i in 0 1; do
        "$cli" delete-all "${classes[$i]}" "$work/w.bsp" >/dev/null 2>"$work/w$i.err" &
        pids+=($!)
    done
    for i in 0 1; do
        code=0
        wait "${pids[$i]}" || code=$?
        if "$cli" show "$work/w.bsp" | grep -q "\"${classes[$i]}\""; then
            if ((code == 0)); then
                lost=$((lost + 1))
            else
                losers=$((losers + 1))
                [[ -s "$work/w$i.err" ]] || silent_losers=$((silent_losers + 1))
            fi
        fi
    done
done
echo "writer pairs: $pairs, lost updates: $lost, losers: $losers, losers not saying so: $silent_losers"
((lost == 0 && silent_losers == 0)) || status=1

# Killed saves: imports of two large texts in turn into one map, killed (SIGKILL) at random
# moments up to a little past the time a whole import takes, then one import left to finish.
make_text() {  # BLOCKS MESSAGE: blocks of about 500 bytes, within the engine's edict limit
    local filler
    filler=$(printf '%0100d' 0)
    printf '{\n"classname" "worldspawn"\n"message" "%s"\n}\n' "$2"
    for ((block = 1; block < $1; ++block)); do
        printf '{\n"classname" "info_target"\n"targetname" "t%d"\n"origin" "%d 0 0"\n' \
            "$block" "$block"
        printf '"netname" "%s"\n"message" "%s"\n"target" "%s"\n"killtarget" "%s"\n}\n' \
            "$filler" "$filler" "$filler" "$filler"
    done
}
mkdir "$work/texts" "$work/maps" "$work/scratch"
make_text 700 first >"$work/texts/a.ent"
make_text 650 second >"$work/texts/b.ent"
map=$work/maps/k.bsp
cp "$example" "$map"
# Every whole map a kill may leave: the original, and what each import makes of the one before.
whole=("$(sha256sum <"$example")")
for order in "a b a b" "b a b a"; do
    cp "$example" "$work/scratch/k.bsp"
    for text in $order; do
        "$cli" import "$work/scratch/k.bsp" "$work/texts/$text.ent" >/dev/null 2>&1
        whole+=("$(sha256sum <"$work/scratch/k.bsp")")
    done
done
start=$(date +%s%N)
"$cli" import "$work/scratch/k.bsp" "$work/texts/a.ent" >/dev/null 2>&1
span_us=$((($(date +%s%N) - start) / 1000 * 3 / 2))

torn=0
left_temporaries=0
for ((kill = 0; kill < kills; ++kill)); do
    text=$([[ $((kill % 2)) == 0 ]] && echo b || echo a)
    "$cli" import "$map" "$work/texts/$text.ent" >/dev/null 2>&1 &
    save=$!
    delay_us=$(((RANDOM * 32768 + RANDOM) % span_us))
    sleep "$(printf '%d.%06d' $((delay_us / 1000000)) $((delay_us % 1000000)))"
    kill -KILL "$save" 2>/dev/null || true
    wait "$save" 2>/dev/null || true
    hash=$(sha256sum <"$map")
    found=0
    for known in "${whole[@]}"; do
        [[ $hash == "$known" ]] && found=1
    done
    ((found)) || torn=$((torn + 1))
    [[ -n $(find "$work/maps" -name '.k.bsp.entorra-*') ]] && left_temporaries=$((left_temporaries + 1))
done
"$cli" import "$map" "$work/texts/a.ent" >/dev/null 2>&1
remaining=$(find "$work/maps" -mindepth 1 ! -name k.bsp | wc -l)
echo "killed saves: $kills, torn maps: $torn, kills leaving a temporary file: $left_temporaries," \
    "files left beside the map after the next save: $remaining"
((torn == 0 && remaining == 0)) || status=1

exit "$status"
