#!/usr/bin/env bash
# Builds the property-list reader's fuzz targets with clang (libFuzzer,
# AddressSanitizer, UBSan) and runs each one for a bounded time.
#
#   tools/fuzz.sh [BUILD_DIR] [SECONDS_PER_TARGET]
#
# BUILD_DIR defaults to build-fuzz beside this script's repository, SECONDS to
# 60 (or $FUZZ_SECONDS). Exits non-zero when a target crashes, hangs, leaks or
# runs out of memory; the failing input is left in BUILD_DIR/artifacts.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-fuzz}"
seconds="${2:-${FUZZ_SECONDS:-60}}"

cmake -S "$root/tests/fuzz" -B "$build" \
  -DCMAKE_CXX_COMPILER="${CXX_FUZZ:-clang++}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"${FUZZ_JOBS:-2}"

# Working corpora live in the build folder; the committed seeds stay untouched.
mkdir -p "$build/corpus/xml" "$build/corpus/binary" "$build/artifacts"
cp -f "$root"/tests/fuzz/corpus/xml/* "$build/corpus/xml/"
"$build/make_binary_seeds" "$build/corpus/binary"

status=0
run() {
  local target="$1" corpus="$2"; shift 2
  echo "fuzz: $target for ${seconds}s"
  if ! "$build/$target" "$build/corpus/$corpus" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
      -artifact_prefix="$build/artifacts/$target-" -print_final_stats=1 "$@" \
      >"$build/$target.log" 2>&1; then
    echo "fuzz: $target FAILED, see $build/$target.log"
    tail -n 40 "$build/$target.log"
    status=1
  else
    grep -E '^stat::number_of_executed_units|^Done' "$build/$target.log" || true
  fi
}
run fuzz_plist_xml xml -dict="$root/tests/fuzz/plist.dict"
run fuzz_plist_binary binary
exit $status
