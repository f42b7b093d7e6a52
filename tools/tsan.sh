#!/usr/bin/env bash
# ThreadSanitizer run of the communication and end-to-end tests, in its own
# build folder (build-tsan, or the folder given as the first argument).
# Builds only what those tests need, runs the port worker, protocol and
# operation tests, the serial-line and simulator pseudo-terminal tests
# (label comm) and the end-to-end tests (label e2e), and fails on any
# ThreadSanitizer report, also one from a simulator or command-line child
# process that a test started. Kept out of ./test because of its run time.
set -euo pipefail
source "$(dirname "$0")/../scripts/bootstrap.sh"
morvex_install_packages

BUILD="${1:-$MORVEX_ROOT/build-tsan}"
REPORTS="$BUILD/tsan-reports"
# The comm unit tests carry the label unit, which the rest of the tree
# shares; they are run by executable.
COMM_UNIT_TESTS=(comm_tests port_thread_tests info_exchange_tests)
# GoogleTest executables list their tests only once built, so they are named
# here; QtTest executables are tests of their own, named after their target.
GTEST_TARGETS=("${COMM_UNIT_TESTS[@]}" serial_tests boxsim_pty_tests box_e2e_tests)
whole_test_targets() {
  (cd "$BUILD" && ctest -N -L "$1") | sed -n 's/^ *Test *#[0-9]*: \([A-Za-z0-9_]*\)$/\1/p'
}

echo "== build with ThreadSanitizer in $BUILD"
cmake -S "$MORVEX_ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVEX_TSAN=ON -DMORVEX_WERROR=ON
mapfile -t QT_TARGETS < <(whole_test_targets comm; whole_test_targets e2e)
cmake --build "$BUILD" -j "$MORVEX_JOBS" --target "${GTEST_TARGETS[@]}" "${QT_TARGETS[@]}"

rm -rf "$REPORTS"
mkdir -p "$REPORTS"
# Every process writes its reports to a file of its own; halt_on_error makes
# the process that raced fail as well. QProcess starts the simulator in a
# way the sanitizer takes for a thread started after fork; that child only
# runs exec, so it is let through (die_after_fork=0).
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 history_size=4 die_after_fork=0 log_path=$REPORTS/report"
# The sanitizer's shadow memory needs the fixed address-space layout that
# newer kernels' wider mmap randomisation does not give.
NORANDOM=()
if command -v setarch >/dev/null; then
  NORANDOM=(setarch "$(uname -m)" -R)
fi

status=0
for test in "${COMM_UNIT_TESTS[@]}"; do
  echo "== $test"
  (cd "$BUILD/tests-bin" && "${NORANDOM[@]}" "./$test" --gtest_brief=1) || status=1
done
for label in comm e2e; do
  echo "== ctest -L $label"
  # Widget tests need a display.
  (cd "$BUILD" && xvfb-run -a "${NORANDOM[@]}" ctest -L "$label" --output-on-failure -j "$MORVEX_JOBS" --timeout 600) ||
    status=1
done

if compgen -G "$REPORTS/report*" >/dev/null; then
  echo "== ThreadSanitizer reports:"
  cat "$REPORTS"/report*
  status=1
fi
if [ "$status" -ne 0 ]; then
  echo "== ThreadSanitizer run FAILED"
  exit 1
fi
echo "== ThreadSanitizer run clean: no report"
