#!/usr/bin/env bash
# Installs the Debian packages Entorra needs that are missing. Usage: install-deps.sh run|test
# On other systems install the equivalents by hand: CMake 3.25+, Ninja, a C++20 compiler, zlib,
# CLI11, nlohmann-json, GoogleTest, Google Benchmark, Qt 6 Widgets and QScintilla for Qt 6,
# and for the tests clang with its libFuzzer runtime and Xvfb.
set -euo pipefail

profile=${1:-run}
packages=(cmake ninja-build g++ pkg-config zlib1g-dev libcli11-dev nlohmann-json3-dev
          qt6-base-dev qt6-qpa-plugins libqscintilla2-qt6-dev libqt6svg6 libgl-dev
          fonts-dejavu-core)
if [ "$profile" = test ]; then
    packages+=(libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-dev
               xvfb xauth)
fi

if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "Not a Debian system: install the packages listed at the top of $0 yourself." >&2
    exit 0
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}" >&2
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
