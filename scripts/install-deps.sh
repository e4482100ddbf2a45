#!/usr/bin/env bash
# Installs the Debian packages Entorra needs that are missing. Usage: install-deps.sh run|test
# On other systems install the equivalents by hand: CMake 3.25+, Ninja, a C++20 compiler, zlib,
# CLI11, nlohmann-json, GoogleTest, Google Benchmark, Qt 6 Widgets and QScintilla for Qt 6,
# and for the tests clang with its libFuzzer runtime and Xvfb; for the Windows stage of the tests
# MinGW-w64 (posix threads) with its zlib, Wine, and GoogleTest's sources.
set -euo pipefail

profile=${1:-run}
packages=(cmake ninja-build g++ pkg-config zlib1g-dev libcli11-dev nlohmann-json3-dev
          qt6-base-dev qt6-qpa-plugins libqscintilla2-qt6-dev libqt6svg6 libgl-dev
          fonts-dejavu-core)
windows_packages=()
if [ "$profile" = test ]; then
    packages+=(libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-dev
               xvfb xauth)
    # Tried apart: where they cannot be had, only the Windows stage is skipped.
    windows_packages=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 googletest)
fi

if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "Not a Debian system: install the packages listed at the top of $0 yourself." >&2
    exit 0
fi

missing_of() {
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            echo "$package"
        fi
    done
}
mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing_windows < <(missing_of "${windows_packages[@]}")
[ ${#missing[@]} -eq 0 ] && [ ${#missing_windows[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}" >&2
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ ${#missing_windows[@]} -gt 0 ]; then
    echo "Installing missing packages for the Windows stage: ${missing_windows[*]}" >&2
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing_windows[@]}" ||
        echo "The Windows stage's packages could not be installed: it will be skipped." >&2
fi
