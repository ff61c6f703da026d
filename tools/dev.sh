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

build() {
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
  cmake --build "$BUILD" -j "$JOBS"
}

case "$cmd" in
  build)
    build
    ;;
  run)
    build
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      echo "No display found: starting the program on a virtual X display (xvfb-run)."
      exec xvfb-run -a "$BUILD/bin/velmora"
    fi
    exec "$BUILD/bin/velmora"
    ;;
  test)
    build
    cd "$BUILD"
    ctest --output-on-failure -j "$JOBS" --timeout 900
    ;;
  *)
    echo "usage: tools/dev.sh run|test|build" >&2
    exit 2
    ;;
esac
