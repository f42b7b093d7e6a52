#!/usr/bin/env bash
# Builds a fuzzer with clang (build-fuzz/, Debug, ASan+UBSan) and runs it for
# SECONDS on a fresh copy of its seed files; the committed seeds are never
# written to.
#
#   tools/fuzz/run-fuzz.sh SECONDS [libFuzzer options...]
#       the data-file fuzzer, seeds tests/document/corpus/
#   tools/fuzz/run-fuzz.sh --target NAME SECONDS [libFuzzer options...]
#       NAME: datafile, ini (the INI reader and writer) or config (labels,
#       limits, lambda sensor tables, premap); seeds of ini and config:
#       install/CNF/, a UTF-16 copy of Labels.de and tests/document/config-regressions/.
#       SECONDS 0 runs without a time limit, e.g. with -runs=10000000.
#
# MORVEX_FUZZ_ASAN=OFF builds without AddressSanitizer (UBSan and the
# targets' own checks stay) in build-fuzz-fast/, for long counting runs:
# about twice the executions per second.
#
# Exits non-zero when the fuzzer finds a crash, a sanitizer report or a
# broken property; the input that caused it stays in
# build-fuzz/fuzz-artifacts/ (crash-*, leak-*, timeout-*, oom-*).
# Reproduce one with: build-fuzz/bin/<Fuzzer> FILE
set -euo pipefail

usage() {
  echo "usage: $0 [--target datafile|ini|config] SECONDS [libFuzzer options...]" >&2
  exit 2
}

target=datafile
if [ $# -ge 1 ] && [ "$1" = "--target" ]; then
  [ $# -ge 2 ] || usage
  target="$2"
  shift 2
fi
if [ $# -lt 1 ] || ! [[ "$1" =~ ^[0-9]+$ ]]; then
  usage
fi
seconds="$1"
shift

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
asan="${MORVEX_FUZZ_ASAN:-ON}"
build="$root/build-fuzz"
[ "$asan" = OFF ] && build="$root/build-fuzz-fast"
jobs="$(nproc 2>/dev/null || echo 2)"

case "$target" in
  datafile) fuzzer=DataFileFuzzer; dict=DataFile.dict ;;
  ini) fuzzer=IniFileFuzzer; dict=Config.dict ;;
  config) fuzzer=ConfigFileFuzzer; dict=Config.dict ;;
  *) usage ;;
esac

# Warnings are not fatal here: clang warns on a few things in the libraries
# that g++ accepts (the g++ build of ./test keeps them fatal). The fuzz
# targets themselves are built with -Werror.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug -DMORVEX_FUZZ=ON -DMORVEX_FUZZ_ASAN="$asan" -DMORVEX_BUILD_TESTS=OFF -DMORVEX_WERROR=OFF
cmake --build "$build" -j "$jobs" --target "$fuzzer"

# One corpus and artifact folder per target, so that runs of two targets
# can go side by side; the data-file one keeps its old place.
corpus="$build/fuzz-corpus"
artifacts="$build/fuzz-artifacts"
if [ "$target" != datafile ]; then
  corpus="$build/fuzz-corpus-$target"
  artifacts="$build/fuzz-artifacts-$target"
fi
rm -rf "$corpus"
mkdir -p "$corpus" "$artifacts"
if [ "$target" = datafile ]; then
  cp "$root"/tests/document/corpus/* "$corpus"/
else
  find "$root/install/CNF" -maxdepth 1 -type f -exec cp {} "$corpus"/ \;
  # A label file as a Windows editor saves it with "Unicode".
  { printf '\xff\xfe'; iconv -f WINDOWS-1252 -t UTF-16LE "$root/install/CNF/Labels.de"; } >"$corpus/Labels-utf16.de"
  if [ -d "$root/tests/document/config-regressions" ]; then
    cp "$root"/tests/document/config-regressions/* "$corpus"/
  fi
fi

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

status=0
"$build/bin/$fuzzer" \
  -max_total_time="$seconds" \
  -timeout=10 \
  -dict="$root/tools/fuzz/$dict" \
  -artifact_prefix="$artifacts/" \
  -print_final_stats=1 \
  "$@" "$corpus" || status=$?

if [ "$status" -ne 0 ]; then
  echo "== fuzzer failed (exit $status); inputs in $artifacts:" >&2
  ls -l "$artifacts" >&2
  exit "$status"
fi
if [ "$seconds" -eq 0 ]; then
  echo "== no findings"
else
  echo "== no findings in $seconds s"
fi
