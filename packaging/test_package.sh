#!/usr/bin/env bash
# Package test: builds the Debian package from a built tree, unpacks it into a
# throw-away root and checks what a user would get from `apt-get install`:
# every library resolves and is declared, the launcher and metadata validate,
# the installed program shows its main window from the launcher's command
# without writing into its prefix, and the installed zxtool converts a file.
#   packaging/test_package.sh BUILD_DIR
set -euo pipefail

BUILD="$(cd "$1" && pwd)"
WORK="$(mktemp -d)"
XVFB_PID=""
APP_PID=""
cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# --- the package ---------------------------------------------------------
cpack -G DEB -B "$WORK/pkg" --config "$BUILD/CPackConfig.cmake" >"$WORK/cpack.log" 2>&1 \
  || { cat "$WORK/cpack.log" >&2; fail "cpack"; }
debs=("$WORK"/pkg/velmora_*.deb)
[ -f "${debs[0]}" ] || fail "no velmora_*.deb in $WORK/pkg"
DEB="${debs[0]}"
echo "package: $(basename "$DEB") ($(du -k "$DEB" | cut -f1) KiB)"

DEPENDS="$(dpkg-deb -f "$DEB" Depends)"
echo "Depends: $DEPENDS"
# Package names of the Depends field, without versions or alternatives' bars.
mapfile -t DEP_NAMES < <(tr ',|' '\n\n' <<<"$DEPENDS" | sed -E 's/\(.*\)//; s/:any//; s/[[:space:]]//g' | grep -v '^$')
((${#DEP_NAMES[@]})) || fail "the package declares no dependencies"
for d in "${DEP_NAMES[@]}"; do
  [[ "$d" == *-dev ]] && fail "run-time dependency on a development package: $d"
done

ROOT="$WORK/root"
dpkg -x "$DEB" "$ROOT"
BIN="$ROOT/usr/bin"

# --- libraries: each resolves, and each one linked directly comes from a
# package the Debian package depends on (else apt-get would not bring it).
owner() {  # the package owning a library path, with or without the /usr merge
  local p="$1" real out
  real="$(readlink -f "$p")"
  for c in "$p" "$real" "${p#/usr}" "/usr$p" "${real#/usr}" "/usr$real"; do
    if out="$(dpkg -S "$c" 2>/dev/null)"; then
      echo "${out%%:*}"
      return 0
    fi
  done
  return 1
}
for exe in velmora zxtool; do
  ldd "$BIN/$exe" >"$WORK/ldd.txt" || fail "ldd $exe (is it installed in usr/bin?)"
  if grep -q 'not found' "$WORK/ldd.txt"; then
    grep 'not found' "$WORK/ldd.txt" >&2
    fail "$exe has unresolved libraries"
  fi
  for soname in $(objdump -p "$BIN/$exe" | awk '$1 == "NEEDED" { print $2 }'); do
    # "soname => path (address)", or "path (address)" for the loader itself
    path="$(awk -v s="$soname" '$1 == s { print $3 } $1 ~ "/" s "$" { print $1 }' "$WORK/ldd.txt")"
    [ -n "$path" ] || fail "$exe: $soname missing from ldd's list"
    pkg="$(owner "$path")" || fail "$exe: no Debian package owns $path"
    [[ " ${DEP_NAMES[*]} " == *" $pkg "* ]] || fail "$exe needs $soname from $pkg, not in Depends"
  done
done
echo "libraries: all resolve and are declared"

# --- launcher, icon, metadata -----------------------------------------------
desktops=("$ROOT"/usr/share/applications/*.desktop)
DESKTOP="${desktops[0]}"
[ -f "$DESKTOP" ] || fail "no launcher installed"
desktop-file-validate "$DESKTOP" || fail "desktop-file-validate $(basename "$DESKTOP")"
metas=("$ROOT"/usr/share/metainfo/*.metainfo.xml)
[ -f "${metas[0]}" ] || fail "no AppStream metadata installed"
appstreamcli validate --no-net "${metas[0]}" || fail "appstreamcli validate $(basename "${metas[0]}")"
grep -q "<launchable type=\"desktop-id\">$(basename "$DESKTOP")</launchable>" "${metas[0]}" \
  || fail "the metadata does not launch $(basename "$DESKTOP")"
ICON="$(sed -n 's/^Icon=//p' "$DESKTOP")"
[ -f "$ROOT/usr/share/icons/hicolor/48x48/apps/$ICON.png" ] || fail "no icon $ICON in the theme's 48x48 folder"
EXEC="$(sed -n 's/^Exec=//p' "$DESKTOP")"
[[ "$EXEC" != *%* ]] || fail "the launcher passes arguments the program does not read: $EXEC"

# --- the installed program under Xvfb ----------------------------------------
mkdir -p "$WORK"/{home/Documents,data,config,cache,runtime,tmp}
chmod 700 "$WORK/runtime"
touch "$WORK/before-start"
sleep 1  # mtimes below must be newer than the mark
exec 9>"$WORK/display"
Xvfb -displayfd 9 -screen 0 1280x800x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
exec 9>&-
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || { cat "$WORK/xvfb.log" >&2; fail "Xvfb did not start"; }
export DISPLAY=":$(head -n1 "$WORK/display")"

# The launcher's command as the menu runs it: found through PATH.
env -i PATH="$BIN:/usr/bin:/bin" DISPLAY="$DISPLAY" HOME="$WORK/home" \
    XDG_DATA_HOME="$WORK/data" XDG_CONFIG_HOME="$WORK/config" XDG_CACHE_HOME="$WORK/cache" \
    XDG_DOCUMENTS_DIR="$WORK/home/Documents" XDG_RUNTIME_DIR="$WORK/runtime" TMPDIR="$WORK/tmp" \
    SDL_AUDIODRIVER=dummy VELMORA_QUIT_AFTER_MS=60000 \
    bash -c "exec $EXEC" >"$WORK/app.log" 2>&1 &
APP_PID=$!
shown=""
for _ in $(seq 300); do
  info="$(xwininfo -name "Velmora Video Converter" 2>/dev/null || true)"
  if [[ "$info" == *"Map State: IsViewable"* ]]; then
    shown=yes
    break
  fi
  kill -0 "$APP_PID" 2>/dev/null || break
  sleep 0.1
done
[ -n "$shown" ] || { cat "$WORK/app.log" >&2; fail "the installed program showed no main window"; }
kill -TERM "$APP_PID"
for _ in $(seq 100); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$APP_PID" 2>/dev/null && fail "the program did not end on SIGTERM"
APP_PID=""
grep -q "no program data" "$WORK/app.log" && fail "the installed program did not find its data"
changed="$(find "$ROOT" -newer "$WORK/before-start" -print -quit)"
[ -z "$changed" ] || fail "the program wrote into its install prefix: $changed"
echo "program: main window shown, data found, prefix untouched"

# --- the installed engine converts a file ---------------------------------------
ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i testsrc2=size=320x240:rate=25:duration=2 \
  -f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 -c:v mpeg4 -c:a pcm_s16le \
  "$WORK/tmp/source clip.avi"
"$BIN/zxtool" convert "$WORK/tmp/source clip.avi" "$WORK/tmp/out.mp4" \
  --container mp4 --vcodec 28 --acodec 86018 --quiet || fail "installed zxtool convert"
streams="$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$WORK/tmp/out.mp4" | sort | tr '\n' ' ')"
duration="$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$WORK/tmp/out.mp4")"
echo "converted: streams $streams duration $duration s"
[ "$streams" = "aac h264 " ] || fail "unexpected streams in the converted file: $streams"
awk -v d="$duration" 'BEGIN { exit !(d > 1.8 && d < 2.3) }' || fail "converted duration $duration s, source 2 s"
echo "package test passed"
