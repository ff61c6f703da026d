#!/usr/bin/env bash
# Builds the worker-thread, parameter and converter tests and the preview
# player's test of control calls from two threads under ThreadSanitizer and
# runs them.
#
#   bash tools/tsan_engine.sh [BUILD_DIR]      (default: build-tsan beside the sources)
#
# Only our code and the engine are instrumented; Qt and FFmpeg come from the
# system: TSan sees their locks through its interceptors but not their inner
# atomics, so reports wholly inside them are suppressed (tools/tsan_engine.supp).
# SDL from the system plays the player's sound with the dummy driver.
set -euo pipefail

SRC=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$SRC/build-tsan}
FLAGS="-fsanitize=thread -g -O1 -fno-omit-frame-pointer"

cmake -S "$SRC" -B "$BUILD" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_FLAGS="$FLAGS" -DCMAKE_CXX_FLAGS="$FLAGS" \
    -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread
# The build runs the (now instrumented) skin generator, whose Qt thread pool
# would be reported; its findings are not ours to judge here.
TSAN_OPTIONS="report_bugs=0" \
    cmake --build "$BUILD" -j2 --target tst_engine_paramplan tst_engine_utilthread tst_engine_converter \
        zentrix_player_tests

# The tests check outputs with ffprobe through QProcess, which forks the
# multi-threaded test process and execs at once; TSan would otherwise kill
# the child the moment it forks.
export TSAN_OPTIONS="second_deadlock_stack=1 die_after_fork=0 suppressions=$SRC/tools/tsan_engine.supp ${TSAN_OPTIONS:-}"
cd "$BUILD"
# Kernels with many random mmap bits clash with TSan's fixed memory layout;
# running without address randomisation avoids that.
RUN=()
if command -v setarch >/dev/null && setarch "$(uname -m)" -R true 2>/dev/null; then
    RUN=(setarch "$(uname -m)" -R)
fi
"${RUN[@]}" ctest -R 'tst_engine_' --output-on-failure
# The player's threads (read, picture, sound, SDL's callback) against
# control calls, edits and a close coming from two other threads.
SDL_AUDIODRIVER=dummy "${RUN[@]}" "$BUILD/bin/zentrix_player_tests" --gtest_filter='PlayerTest.ControlFromTwoThreads'
