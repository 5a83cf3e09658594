#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up a Debian 12 machine for Quillet, builds it, and then runs it or tests it.
#
#   ./setup.sh run     install what is missing, build, and run the program
#   ./setup.sh test    install what is missing, build, and run the whole test suite
#                      (a normal build and one with AddressSanitizer and UBSan)
#   ./setup.sh build   install what is missing and build
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
mode=${1:-run}
jobs=$(nproc 2>/dev/null || echo 2)

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev libqscintilla2-qt6-dev libsqlite3-dev libgumbo-dev qt6-translations-l10n
    qt6-tools-dev qt6-tools-dev-tools qt6-documentation-tools
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    python3 python3-html5lib tidy
    xvfb xauth clang-format
    desktop-file-utils appstream dpkg-dev file strace patch parallel lintian
)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "== Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

# The normal build also compiles the benchmarks, so that they keep building. (The README's
# install builds in build-release, without the tests.)
normal_build=(build -DQUILLET_BUILD_BENCH=ON)

configure_and_build() {  # build-dir [cmake options...]
    local dir=$1
    shift
    # The tests are built whatever an earlier configuration of the folder said.
    cmake -S "$root" -B "$dir" -G Ninja -DQUILLET_WERROR=ON -DBUILD_TESTING=ON "$@"
    cmake --build "$dir" -j "$jobs"
}

run_tests() {  # build-dir
    # A build without tests fails here instead of passing with nothing tested.
    ctest --test-dir "$1" --output-on-failure --no-tests=error -j "$jobs" --timeout 600
}

case "$mode" in
    build)
        install_missing
        configure_and_build "${normal_build[@]}"
        ;;
    run)
        install_missing
        configure_and_build "${normal_build[@]}"
        exec scripts/run-main.sh "$root/build"
        ;;
    test)
        install_missing
        echo "== Format check"
        scripts/format.sh --check
        echo "== Build and test"
        configure_and_build "${normal_build[@]}"
        run_tests build
        echo "== Build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
        configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLET_SANITIZE=ON -DQUILLET_BUILD_BENCH=OFF
        ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
            LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" \
            UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
            run_tests build-asan
        echo "== All tests passed"
        ;;
    *)
        echo "usage: $0 run|test|build" >&2
        exit 2
        ;;
esac
