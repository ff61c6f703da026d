#!/usr/bin/env bash
# One entry point for developers and CI.
#   tools/dev.sh run    install what is missing, build, start the program
#   tools/dev.sh test   install what is missing, build, run every test
#   tools/dev.sh build  install what is missing, build
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${VELMORA_BUILD_DIR:-$ROOT/build}"
JOBS="${JOBS:-$(nproc)}"
cmd="${1:-build}"

bash "$ROOT/tools/setup.sh"

# build [TARGET...]: everything, or only the targets named.
build() {
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
  local targets=()
  for t in "$@"; do targets+=(--target "$t"); done
  cmake --build "$BUILD" -j "$JOBS" "${targets[@]}"
}

case "$cmd" in
  build)
    build
    ;;
  run)
    # Only what running needs: the program with its data and skin.
    build velmora
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      echo "No display found: starting the program on a virtual X display (xvfb-run)."
      exec xvfb-run -a "$BUILD/bin/velmora"
    fi
    exec "$BUILD/bin/velmora"
    ;;
  test)
    build
    # Sanitizer and fuzz stages first, so the main suite's summary closes the
    # output. VELMORA_QUICK=1 skips them for a fast local run.
    if [ "${VELMORA_QUICK:-0}" != 1 ]; then
      bash "$ROOT/tools/asan_engine.sh" "$ROOT/build-asan"
      bash "$ROOT/tools/tsan_engine.sh" "$ROOT/build-tsan"
      bash "$ROOT/tools/fuzz.sh" "$ROOT/build-fuzz" "${FUZZ_SECONDS:-30}"
    fi
    cd "$BUILD"
    ctest --output-on-failure -j "$JOBS" --timeout 900
    ;;
  *)
    echo "usage: tools/dev.sh run|test|build" >&2
    exit 2
    ;;
esac
