#!/usr/bin/env bash
# Builds everything with warnings as errors under AddressSanitizer and UndefinedBehaviorSanitizer,
# runs every test through CTest, fuzzes the map loader, the entity lint and the entity text
# parser with diff for a while, then builds the core, entorra-cli and the core tests for Windows
# and runs them under Wine. Exits non-zero on failure.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh test

jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset asan
cmake --build --preset asan -j "$jobs"
# Qt and the fonts libraries keep some allocations until exit; leaks are not what this run hunts.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --preset asan -j "$jobs"

if command -v clang++ >/dev/null 2>&1; then
    cmake --preset fuzz
    cmake --build --preset fuzz -j "$jobs" --target fuzz_load_save fuzz_make_seeds \
        fuzz_engine_lint fuzz_entity_text
    fuzz_seconds=${ENTORRA_FUZZ_SECONDS:-30}
    build/fuzz/fuzz/run_fuzz_load_save.sh "$fuzz_seconds"
    build/fuzz/fuzz/run_fuzz_engine_lint.sh "$fuzz_seconds"
    build/fuzz/fuzz/run_fuzz_entity_text.sh "$fuzz_seconds"
else
    echo "clang++ not found: fuzzing skipped" >&2
fi

scripts/windows-test.sh
