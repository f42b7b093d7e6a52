#!/usr/bin/env bash
# Builds the data-file fuzzer with clang (build-fuzz/, Debug, ASan+UBSan) and
# runs it for SECONDS on a fresh copy of the seed files; the committed seeds
# in tests/document/corpus/ are never written to.
#
#   tools/fuzz/run-fuzz.sh SECONDS [libFuzzer options...]
#
# Exits non-zero when the fuzzer finds a crash, a sanitizer report or a
# round-trip mismatch; the input that caused it stays in
# build-fuzz/fuzz-artifacts/ (crash-*, leak-*, timeout-*, oom-*).
# Reproduce one with: build-fuzz/bin/DataFileFuzzer FILE
set -euo pipefail

if [ $# -lt 1 ] || ! [[ "$1" =~ ^[0-9]+$ ]]; then
  echo "usage: $0 SECONDS [libFuzzer options...]" >&2
  exit 2
fi
seconds="$1"
shift

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$root/build-fuzz"
jobs="$(nproc 2>/dev/null || echo 2)"

# Warnings are not fatal here: clang warns on a few things in the libraries
# that g++ accepts (the g++ build of ./test keeps them fatal). The fuzz
# targets themselves are built with -Werror.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug -DMORVEX_FUZZ=ON -DMORVEX_BUILD_TESTS=OFF -DMORVEX_WERROR=OFF
cmake --build "$build" -j "$jobs" --target DataFileFuzzer

corpus="$build/fuzz-corpus"
artifacts="$build/fuzz-artifacts"
rm -rf "$corpus"
mkdir -p "$corpus" "$artifacts"
cp "$root"/tests/document/corpus/* "$corpus"/

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

status=0
"$build/bin/DataFileFuzzer" \
  -max_total_time="$seconds" \
  -timeout=10 \
  -dict="$root/tools/fuzz/DataFile.dict" \
  -artifact_prefix="$artifacts/" \
  -print_final_stats=1 \
  "$@" "$corpus" || status=$?

if [ "$status" -ne 0 ]; then
  echo "== fuzzer failed (exit $status); inputs in $artifacts:" >&2
  ls -l "$artifacts" >&2
  exit "$status"
fi
echo "== no findings in $seconds s"
