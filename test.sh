#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test headless. valgrind cannot run
# a sanitized program: the one program it checks is built apart, without them.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
./scripts/check-format.sh
./scripts/check-event-loop.sh
cmake -S . -B build/valgrind -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELMORA_TESTS=OFF \
    -DZELMORA_BENCH=OFF >/dev/null
cmake --build build/valgrind --target application_end_check
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZELMORA_SANITIZE=ON \
    -DZELMORA_VALGRIND_CHECK="$PWD/build/valgrind/testing/application_end_check" >/dev/null
./scripts/check-deps.sh build/asan
cmake --build build/asan
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd build/asan
ctest --output-on-failure -j"$(nproc)" "$@"
