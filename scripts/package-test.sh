#!/usr/bin/env bash
# package-test.sh [--build-only | --prebuilt] BUILD_DIR: builds the Debian
# package, checks it with lintian, desktop-file-validate and appstreamcli,
# installs it into a fresh minimal Debian 12 root (apt resolves its
# dependencies), and starts the installed program there on the X server in
# $DISPLAY: from the menu entry's Exec line and through the .cmdat file
# association, with a screenshot that must show Japanese text drawn by a real
# font; finally `tarnwick --run` plays a project there. Every failed step
# fails the script (exit 1); nothing is skipped. Needs root (debootstrap,
# chroot) and a running X server.
#
# The bootstrapped base root is kept as a tarball inside BUILD_DIR, so later
# runs unpack it instead of downloading it again; each run installs into a
# freshly unpacked copy. TARNWICK_DEBIAN_MIRROR chooses the mirror.
#
# The test is in two halves so that the first, which needs no display, can
# run beside the tests that hold it: --build-only builds, checks and installs
# the package into BUILD_DIR/prepared/root and stops; --prebuilt takes that
# root and does the rest, then removes it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
mode=all
case "${1:-}" in
--build-only) mode=build && shift ;;
--prebuilt) mode=run && shift ;;
esac
build=$(realpath -m "${1:?usage: package-test.sh [--build-only | --prebuilt] BUILD_DIR}")
export CCACHE_DIR=${CCACHE_DIR:-$top/.ccache} # as scripts/build.sh
mirror=${TARNWICK_DEBIAN_MIRROR:-http://deb.debian.org/debian}
security_mirror=${TARNWICK_DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security}
step() { printf '== %s (%ss)\n' "$*" "$SECONDS"; }
fail() {
  echo "package test FAILED: $*" >&2
  exit 1
}

[ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap, chroot)"
for tool in debootstrap lintian desktop-file-validate appstreamcli dpkg-deb import compare xdotool; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done
if [ "$mode" != build ]; then
  [ -n "${DISPLAY:-}" ] || fail "needs an X server in DISPLAY"
  display_number=${DISPLAY#*:}
  display_number=${display_number%%.*}
  [ -S "/tmp/.X11-unix/X$display_number" ] || fail "no local socket for DISPLAY=$DISPLAY"
fi

mkdir -p "$build"
if [ "$mode" = all ]; then
  work=$(mktemp -d "$build/run.XXXXXX")
else
  work="$build/prepared"
fi
if [ "$mode" = build ]; then
  rm -rf "$work" && mkdir "$work"
elif [ "$mode" = run ] && [ ! -f "$work/ready" ]; then
  echo "package test FAILED: no prepared root: run package-test.sh --build-only first" >&2
  exit 1
fi
root="$work/root"
program_pid=
cleanup() {
  local status=$?
  [ -n "$program_pid" ] && stop_program
  # TARNWICK_PACKAGE_KEEP=1 keeps the root and the logs for a look afterwards.
  if [ -n "${TARNWICK_PACKAGE_KEEP:-}" ]; then
    echo "kept: $work"
  elif [ "$mode" != build ] || [ "$status" -ne 0 ]; then
    rm -rf "$work"
  fi
  exit "$status"
}
trap cleanup EXIT

# Runs a command in the root with /proc, /dev and the X socket mounted. The
# mounts and the processes live in namespaces of their own: ending the
# unshare process ends every process started in the root, and the mounts
# vanish with them.
in_root() (
  exec unshare --mount --pid --fork --kill-child bash -c '
    root=$1; shift
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mkdir -p "$root/tmp/.X11-unix"
    [ ! -d /tmp/.X11-unix ] || mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
    exec chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
      DEBIAN_FRONTEND=noninteractive "$@"' in_root "$root" "$@"
)

if [ "$mode" != run ]; then

# ---- 1. the package: a Release build of the program alone -------------------------
step "building the package"
# Debian's hardening flags, without debug information (the package is stripped).
cxxflags="-O2 -fstack-protector-strong -Wformat -Werror=format-security -D_FORTIFY_SOURCE=2"
if [ ! -f "$build/pkg/build.ninja" ]; then
  cmake -S "$top" -B "$build/pkg" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro -Wl,-z,now" >/dev/null
fi
cmake --build "$build/pkg" -j "$(nproc)" >/dev/null
rm -f "$build"/pkg/tarnwick_*.deb
(cd "$build/pkg" && cpack -G DEB >/dev/null) || fail "cpack"
debs=("$build"/pkg/tarnwick_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no tarnwick_<version>_amd64.deb made"
deb=${debs[0]}
echo "package: $(basename "$deb")"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "Depends does not come from shlibdeps"

# ---- 2. static checks ----------------------------------------------------------------
step "lintian"
# Errors and warnings fail; informational tags are shown only.
lintian --fail-on error,warning "$deb" ||
  fail "lintian reported errors or warnings"
contents="$work/contents"
dpkg-deb -x "$deb" "$contents"
desktop-file-validate "$contents"/usr/share/applications/*.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net "$contents"/usr/share/metainfo/*.metainfo.xml || fail "appstreamcli"

# ---- 3. a fresh minimal Debian 12 root ------------------------------------------------
base="$build/debian12-minbase.tar"
if [ ! -f "$base" ]; then
  step "bootstrapping a minimal Debian 12 root (once per build folder)"
  debootstrap --variant=minbase bookworm "$work/base" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -20 "$work/debootstrap.log" >&2; fail "debootstrap"; }
  cat >"$work/base/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $security_mirror bookworm-security main
EOF
  rm -rf "$work/base/var/cache/apt/archives/"*.deb
  tar -C "$work/base" -cf "$base.part" . && mv "$base.part" "$base"
  rm -rf "$work/base"
fi
step "unpacking the root"
mkdir "$root"
tar -C "$root" -xf "$base"
cp "$deb" "$root/tmp/"
cp "$top/examples/greeting.cmdat" "$root/tmp/挨拶.cmdat"

step "installing the package with apt"
in_root apt-get update -qq >"$work/apt.log" 2>&1 || { tail -20 "$work/apt.log" >&2; fail "apt-get update"; }
# The desktop's own tools, as on any desktop: they resolve the file association.
in_root apt-get install -y -qq --no-install-recommends "/tmp/$(basename "$deb")" \
  xdg-utils libfile-mimeinfo-perl desktop-file-utils shared-mime-info >>"$work/apt.log" 2>&1 ||
  { tail -30 "$work/apt.log" >&2; fail "apt-get install of the package"; }
in_root dpkg -s tarnwick >/dev/null || fail "the package is not installed"
fi # "$mode" != run

if [ "$mode" = build ]; then
  touch "$work/ready"
  step "package built and installed in $root"
  exit 0
fi

# ---- 4. the installed program ----------------------------------------------------------
step "checking the installed files and the file association"
in_root tarnwick --version | grep -q '^tarnwick [0-9]' || fail "tarnwick --version"
in_root man -w tarnwick >/dev/null 2>&1 || [ -f "$root/usr/share/man/man1/tarnwick.1.gz" ] ||
  fail "no manual page"
filetype=$(in_root xdg-mime query filetype /tmp/挨拶.cmdat) || fail "xdg-mime query filetype"
[ "$filetype" = application/x-tarnwick-project ] || fail "a .cmdat file is '$filetype'"
handler=$(in_root xdg-mime query default application/x-tarnwick-project) ||
  fail "xdg-mime query default"
[ "$handler" = org.tarnwick.Tarnwick.desktop ] || fail "a .cmdat file opens with '$handler'"
exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$handler")

# Starts the desktop entry's Exec line in the root, with a fresh home.
# $1: the file for %f (may be empty). Sets program_pid.
start_entry() {
  local -a command
  read -r -a command <<<"$exec_line"
  local -a args=()
  for word in "${command[@]}"; do
    case "$word" in
    %f | %F | %u | %U) [ -n "$1" ] && args+=("$1") ;;
    *) args+=("$word") ;;
    esac
  done
  rm -rf "$root/tmp/home" && mkdir -p -m 700 "$root/tmp/home" && mkdir "$root/tmp/home/Desktop"
  in_root env HOME=/tmp/home XDG_RUNTIME_DIR=/tmp/home DISPLAY="$DISPLAY" \
    ${FONTCONFIG_FILE:+FONTCONFIG_FILE=$FONTCONFIG_FILE} "${args[@]}" >"$work/program.log" 2>&1 &
  program_pid=$!
}
# The background call's process runs in_root's unshare as its child; killing
# that (unshare --fork ignores SIGTERM) kills everything in the root.
stop_program() {
  pkill -KILL -P "$program_pid" 2>/dev/null || true
  kill "$program_pid" 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
  program_pid=
}
# Waits for a window with this title; prints its id.
wait_window() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$program_pid" 2>/dev/null || { cat "$work/program.log" >&2; return 1; }
    sleep 0.2
  done
  cat "$work/program.log" >&2
  return 1
}
# Screenshot of a window, once it has settled.
shoot() {
  sleep 1
  import -window "$1" "$2" || fail "screenshot"
}

# The first start greets with a box ("はじめまして"); once it is answered the
# main window appears. Both are shot; $1: the folder for the pictures.
first_start() {
  answer_welcome "$1/welcome.png"
  local window
  window=$(wait_window "Tarnwick Free") || fail "the main window did not appear"
  shoot "$window" "$1/start.png"
}
# $1: where to keep a picture of the box.
answer_welcome() {
  local box
  box=$(wait_window "はじめまして") || fail "the welcome box did not appear"
  shoot "$box" "$1"
  xdotool windowfocus --sync "$box" key Return || fail "answering the welcome box"
}

step "starting the menu entry"
start_entry ""
mkdir -p "$build/shots"
first_start "$build/shots"
stop_program

# The same windows with every font that has Japanese hidden: where the first
# pictures drew Japanese with a real font, these draw empty boxes, so the two
# must differ. Identical pictures mean no font for Japanese.
cat >"$root/tmp/no-japanese.conf" <<'EOF'
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <selectfont><rejectfont><pattern>
    <patelt name="lang"><string>ja</string></patelt>
  </pattern></rejectfont></selectfont>
</fontconfig>
EOF
FONTCONFIG_FILE=/tmp/no-japanese.conf start_entry ""
mkdir -p "$work/shots"
first_start "$work/shots"
stop_program
shown="$build/shots/welcome.png"
hidden="$work/shots/welcome.png"
if [ "$(identify -format %wx%h "$shown")" != "$(identify -format %wx%h "$hidden")" ]; then
  echo "Japanese glyphs change the size of the welcome box"
else
  difference=$(compare -metric AE "$shown" "$hidden" null: 2>&1 || true)
  echo "pixels that Japanese glyphs change: $difference"
  awk -v d="$difference" 'BEGIN { exit !(d + 0 > 500) }' ||
    fail "no Japanese text drawn (difference '$difference')"
fi

step "opening a project through the file association"
start_entry /tmp/挨拶.cmdat
answer_welcome "$work/shots/welcome-again.png"
window=$(wait_window "挨拶") || fail "the project's window did not appear"
shoot "$window" "$build/shots/project.png"
stop_program

step "playing a project with tarnwick --run"
cat >"$root/tmp/short.cmdat" <<'EOF'
{"list_command": [["マウスポインター", "10", "10"]], "list_condition": [["即時"]]}
EOF
status=0
in_root env HOME=/tmp/home XDG_RUNTIME_DIR=/tmp/home DISPLAY="$DISPLAY" \
  timeout 60 tarnwick --run /tmp/short.cmdat --start-delay 0 --stop none >"$work/run.log" 2>&1 ||
  status=$?
[ "$status" -eq 0 ] || { cat "$work/run.log" >&2; fail "tarnwick --run exited $status"; }
status=0
in_root tarnwick --run /tmp/missing.cmdat >"$work/run.log" 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "tarnwick --run of a missing file exited $status, not 2"

step "package test passed"
