#!/usr/bin/env bash
# Runs one test executable of the Windows build under Wine, in a fresh Wine
# prefix of its own (so it has its own registry, user profile and settings),
# and passes its exit code on. QTest's results are written to a file and
# printed afterwards, because console output through Wine can be lost.
#
#   wine-test.sh --template DIR [--logpixels DPI] [--no-xrandr] [--no-qtest] EXE [ARGS...]
#
# --template DIR   where the prepared prefix is kept and reused (made on first
#                  use: a new prefix takes many seconds; a copy takes one)
# --logpixels DPI  the display scaling of the fresh prefix (144 = 150 %)
# --no-xrandr      monitors from Xinerama instead of XRandR (RandR 1.5
#                  monitors that split one output show there)
# --no-qtest       EXE is not a QTest executable: no -o argument
#
# Fails (never skips) when Wine or EXE is missing.
set -uo pipefail

template=
logpixels=
xrandr=1
qtest=1
while [ $# -gt 0 ]; do
  case "$1" in
    --template) template=$2; shift 2 ;;
    --logpixels) logpixels=$2; shift 2 ;;
    --no-xrandr) xrandr=0; shift ;;
    --no-qtest) qtest=0; shift ;;
    --) shift; break ;;
    -*) echo "wine-test: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
if [ $# -lt 1 ] || [ -z "$template" ]; then
  echo "usage: wine-test.sh --template DIR [--logpixels DPI] [--no-xrandr] [--no-qtest] EXE [ARGS...]" >&2
  exit 2
fi
exe=$1
shift

wine=
for candidate in /usr/lib/wine/wine64 "$(command -v wine64 2>/dev/null)" "$(command -v wine 2>/dev/null)"; do
  if [ -n "$candidate" ] && [ -x "$candidate" ]; then
    wine=$candidate
    break
  fi
done
wineserver=
for candidate in /usr/lib/wine/wineserver "$(command -v wineserver 2>/dev/null)"; do
  if [ -n "$candidate" ] && [ -x "$candidate" ]; then
    wineserver=$candidate
    break
  fi
done
if [ -z "$wine" ] || [ -z "$wineserver" ]; then
  echo "wine-test: FAIL: Wine is not installed (scripts/install-deps.sh installs wine64)" >&2
  exit 1
fi
if [ ! -f "$exe" ]; then
  echo "wine-test: FAIL: $exe does not exist: build the Windows version first (scripts/build-windows.sh)" >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ]; then
  echo "wine-test: FAIL: no DISPLAY: Wine draws on an X server (./test.sh starts one)" >&2
  exit 1
fi

export WINEDEBUG=-all
# No prompts to install Mono or Gecko, which the tests never need.
export WINEDLLOVERRIDES="mscoree,mshtml="
wine_version=$("$wine" --version 2>/dev/null)
stamp="tarnwick-wine-test 3 $wine_version"

# Makes the template once (under a lock, since CTest runs tests in parallel).
prepare_template() {
  mkdir -p "$(dirname "$template")"
  exec 9>"$template.lock"
  flock 9
  if [ "$(cat "$template/.tarnwick-stamp" 2>/dev/null)" != "$stamp" ]; then
    echo "wine-test: preparing the Wine prefix template in $template" >&2
    rm -rf "$template"
    mkdir -p "$template"
    WINEPREFIX=$template "$wine" wineboot -i >/dev/null 2>&1
    # A crash prints its backtrace instead of waiting in a dialog.
    WINEPREFIX=$template "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
      /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # Wine passes no QT_* variable of ours on, but the user's environment
    # in the registry reaches every program: Qt's offscreen platform finds
    # fonts there (Japanese ones among them).
    WINEPREFIX=$template "$wine" reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /t REG_SZ \
      /d 'Z:\usr\share\fonts\truetype' /f >/dev/null 2>&1
    WINEPREFIX=$template "$wineserver" -w
    # The profile's folders point at the Unix home of whoever made the
    # template; each test gets plain folders of its own instead.
    for link in "$template"/drive_c/users/*/*; do
      if [ -L "$link" ]; then
        rm -f "$link"
        mkdir -p "$link"
      fi
    done
    if [ ! -f "$template/system.reg" ]; then
      echo "wine-test: FAIL: wineboot did not make a prefix in $template" >&2
      exit 1
    fi
    echo "$stamp" >"$template/.tarnwick-stamp"
  fi
  flock -u 9
  exec 9>&-
}
prepare_template

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-wine.XXXXXX")
prefix=$scratch/prefix
cleanup() {
  WINEPREFIX=$prefix "$wineserver" -k >/dev/null 2>&1
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# The system DLLs (hundreds of MB) are only read: hard links do. Everything
# else (registry, profile) is copied.
mkdir -p "$prefix"
tar -C "$template" --exclude=./drive_c/windows/system32 --exclude=./drive_c/windows/winsxs \
  -cf - . | tar -C "$prefix" -xf -
cp -al "$template/drive_c/windows/system32" "$template/drive_c/windows/winsxs" \
  "$prefix/drive_c/windows/"
export WINEPREFIX=$prefix

if [ "$xrandr" = 0 ]; then
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /t REG_SZ /d N /f >/dev/null 2>&1
  "$wineserver" -w
fi
if [ -n "$logpixels" ]; then
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$logpixels" /f \
    >/dev/null 2>&1
  "$wineserver" -w
fi

# DLLs and plugins: beside the executable in a packaged build; otherwise
# from the unpacked Qt and the mingw runtime of the machine that built it.
exe_dir=$(cd "$(dirname "$exe")" && pwd)
exe=$exe_dir/$(basename "$exe")
to_windows_path() { printf 'Z:%s' "${1//\//\\}"; }
winepath=$(to_windows_path "$exe_dir")
for dir in "$exe_dir/../qt6-mingw/bin" "$exe_dir/../../qt6-mingw/bin" \
  /usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib; do
  if [ -d "$dir" ]; then
    winepath="$winepath;$(to_windows_path "$(cd "$dir" && pwd)")"
  fi
done
export WINEPATH=$winepath
if [ ! -d "$exe_dir/platforms" ]; then
  for dir in "$exe_dir/../qt6-mingw/plugins" "$exe_dir/../../qt6-mingw/plugins"; do
    if [ -d "$dir/platforms" ]; then
      export QT_PLUGIN_PATH
      QT_PLUGIN_PATH=$(to_windows_path "$(cd "$dir" && pwd)")
      break
    fi
  done
fi

args=("$@")
results=$scratch/results.txt
if [ "$qtest" = 1 ]; then
  args+=(-o "$(to_windows_path "$results"),txt")
  # The Windows build does not see QT_QPA_PLATFORM through Wine's
  # environment: the application takes it as an argument instead.
  if [ -n "${QT_QPA_PLATFORM:-}" ]; then
    args+=(-platform "$QT_QPA_PLATFORM")
  fi
fi
wine_errors=$scratch/wine-stderr.txt
(cd "$exe_dir" && exec timeout --kill-after=10 "${TARNWICK_WINE_TEST_TIMEOUT:-270}" "$wine" "$exe" \
  "${args[@]}" 2>"$wine_errors") &
wine_pid=$!
# Under load Wine's own server may crash after a test has finished and
# written its results; the loader then never returns. The results stand
# then: the test's verdict is in them, and the hang is Wine's.
wine_crashed=0
while kill -0 "$wine_pid" 2>/dev/null; do
  if [ "$qtest" = 1 ] && [ -f "$results" ] && grep -q '^\*\*\*\*\*\*\*\*\* Finished testing of' "$results" &&
    grep -q 'wineserver crashed' "$wine_errors"; then
    wine_crashed=1
    pkill -KILL -P "$wine_pid" 2>/dev/null
    kill -KILL "$wine_pid" 2>/dev/null
    break
  fi
  sleep 1
done
wait "$wine_pid"
rc=$?
cat "$wine_errors" >&2
if [ "$wine_crashed" = 1 ]; then
  echo "wine-test: Wine's server crashed after the test finished; its results decide" >&2
  if grep -q '^Totals: .* 0 failed' "$results"; then rc=0; else rc=1; fi
fi
if [ -f "$results" ]; then
  cat "$results"
elif [ "$qtest" = 1 ]; then
  echo "wine-test: FAIL: $(basename "$exe") wrote no results (exit code $rc)" >&2
  [ "$rc" -eq 0 ] && rc=1
fi
if [ "$rc" -eq 124 ]; then
  echo "wine-test: FAIL: $(basename "$exe") did not end in time" >&2
fi
exit "$rc"
