#!/usr/bin/env bash
# Installs what is missing, then configures, builds and tests every preset:
# native, native-asan, native-tsan, mingw-i686 (DLL tables), mingw-x64 (DLL
# tables and wine64 runs), and finally a short fuzzing run.
# Goes on after a failure so the summary shows everything; exits non-zero if
# anything failed.
#
# Environment: PRESETS="native mingw-x64" to run fewer presets;
#              FUZZ_SECONDS (default 30 per target; 0 skips fuzzing).
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

PRESETS=${PRESETS:-"native native-asan native-tsan mingw-i686 mingw-x64"}
FUZZ_SECONDS=${FUZZ_SECONDS:-30}
LOGDIR="$ROOT/build/logs"
mkdir -p "$LOGDIR"

START=$SECONDS
summary=()
tests_passed=0
tests_failed=0
failures=0

note() { summary+=("$(printf '%-12s %-10s %5ss  %s' "$1" "$2" "$3" "$4")"); }

if ! bash scripts/setup.sh; then
  echo "test.sh: setup failed"
  exit 1
fi

for preset in $PRESETS; do
  t0=$SECONDS
  echo
  echo "=== $preset: configure"
  if ! cmake --preset "$preset" >"$LOGDIR/$preset-configure.log" 2>&1; then
    tail -30 "$LOGDIR/$preset-configure.log"
    note "$preset" "CONFIGURE" $((SECONDS - t0)) "see build/logs/$preset-configure.log"
    failures=$((failures + 1)); tests_failed=$((tests_failed + 1)); continue
  fi
  echo "=== $preset: build"
  if ! cmake --build --preset "$preset" -j2 >"$LOGDIR/$preset-build.log" 2>&1; then
    grep -E "error|FAILED" "$LOGDIR/$preset-build.log" | head -30
    note "$preset" "BUILD" $((SECONDS - t0)) "see build/logs/$preset-build.log"
    failures=$((failures + 1)); tests_failed=$((tests_failed + 1)); continue
  fi
  echo "=== $preset: test"
  ctest --preset "$preset" 2>&1 | tee "$LOGDIR/$preset-test.log"
  rc=${PIPESTATUS[0]}
  line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$LOGDIR/$preset-test.log" | tail -1)
  if [[ $line =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
    nfail=${BASH_REMATCH[1]}; ntotal=${BASH_REMATCH[2]}
  else
    nfail=1; ntotal=1
  fi
  tests_passed=$((tests_passed + ntotal - nfail))
  tests_failed=$((tests_failed + nfail))
  if [ "$rc" -ne 0 ] || [ "$nfail" -ne 0 ] || [ "$ntotal" -eq 0 ]; then
    failures=$((failures + 1))
    note "$preset" "FAILED" $((SECONDS - t0)) "${line:-ctest exit $rc}"
  else
    note "$preset" "ok" $((SECONDS - t0)) "$line"
  fi
done

if [ "$FUZZ_SECONDS" != "0" ] && [ -f fuzz/run.sh ]; then
  t0=$SECONDS
  echo
  echo "=== fuzz: ${FUZZ_SECONDS}s per target"
  if bash fuzz/run.sh "$FUZZ_SECONDS" 2>&1 | tee "$LOGDIR/fuzz.log"; [ "${PIPESTATUS[0]}" -eq 0 ]; then
    note "fuzz" "ok" $((SECONDS - t0)) "no findings"
    tests_passed=$((tests_passed + 1))
  else
    note "fuzz" "FAILED" $((SECONDS - t0)) "see build/logs/fuzz.log and build/fuzz/findings"
    failures=$((failures + 1)); tests_failed=$((tests_failed + 1))
  fi
fi

echo
echo "=== summary ($((SECONDS - START)) s)"
for s in "${summary[@]}"; do echo "$s"; done
echo "total: $tests_passed passed, $tests_failed failed"
[ "$failures" -eq 0 ]
