#!/usr/bin/env bash
# The main job, end to end on Linux: a host asks the library where each
# package of the shipped sample catalogue is.
#
#  1. builds the native preset's library, host (pkgpath) and substitute
#     client view program (HalvexView.exe);
#  2. lays out a client view directory and a host directory in a temp dir;
#  3. starts HalvexView.exe --write-sample (it writes the sample's three list
#     files into its data directory and waits to be found);
#  4. runs pkgpath over every sample id (the library finds HalvexView.exe
#     among the processes, loads and merges its lists, answers);
#  5. shows the daily log file the library wrote beside the host;
#  6. stops the substitute by its process id.
# DEMO_KEEP=1 keeps the temp dir for a look afterwards.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
BUILD=build/native

bash scripts/setup.sh
echo "== building (native preset)"
cmake --preset native >/dev/null
cmake --build --preset native -j2 --target HalvexDll pkgpath HalvexView

WORK=$(mktemp -d /tmp/halvex-demo.XXXXXX)
VIEW_PID=""
cleanup() {
  if [ -n "$VIEW_PID" ] && kill -0 "$VIEW_PID" 2>/dev/null; then
    kill "$VIEW_PID" 2>/dev/null || true
    wait "$VIEW_PID" 2>/dev/null || true
  fi
  if [ "${DEMO_KEEP:-0}" = "1" ]; then
    echo "kept: $WORK"
  else
    rm -rf "$WORK"
  fi
}
trap cleanup EXIT

mkdir -p "$WORK/ClientView" "$WORK/Host"
cp "$BUILD/tools/HalvexView/HalvexView.exe" "$WORK/ClientView/"
cp "$BUILD/pkgpath" "$BUILD/libHalvexDll.so" "$WORK/Host/"

echo
echo "== starting the substitute client view program"
"$WORK/ClientView/HalvexView.exe" --write-sample >"$WORK/view.out" 2>&1 &
VIEW_PID=$!
for _ in $(seq 100); do
  grep -q "ready" "$WORK/view.out" 2>/dev/null && break
  kill -0 "$VIEW_PID" 2>/dev/null || { cat "$WORK/view.out"; exit 1; }
  sleep 0.1
done
cat "$WORK/view.out"
ls -l "$WORK/ClientView/data"

IDS=$(python3 -c '
import json, sys
e = json.load(open(sys.argv[1]))
print(" ".join(str(i) for i in sorted({int(k) for k in e["answers"]} | set(e["zero"]))))
' examples/expected.json)

echo
echo "== $WORK/Host/pkgpath --reset $IDS"
echo "   (lines in [brackets] are the library's own log on standard output)"
set +e
"$WORK/Host/pkgpath" --reset $IDS
rc=$?
set -e
echo "pkgpath exit code: $rc (1: some ids answer 0, as the sample means them to)"

echo
echo "== daily log beside the host: $WORK/Host/Log"
ls -l "$WORK/Host/Log"
for f in "$WORK"/Host/Log/*.log; do
  [ -e "$f" ] || { echo "(no daily file)"; break; }
  echo "--- $f"
  cat "$f"
done

echo
echo "== stopping HalvexView.exe (pid $VIEW_PID)"
kill "$VIEW_PID"
wait "$VIEW_PID" 2>/dev/null || true
VIEW_PID=""
echo "done"
