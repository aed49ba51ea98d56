#!/usr/bin/env bash
# wine_installer.sh SETUP_EXE ZIP: the Windows installer, run silently under
# Wine in a fresh prefix on the X display in DISPLAY, installs every file of
# the portable zip, the uninstaller, a Start-menu entry that starts the
# program, the .cmdat association and the Add/Remove Programs entry; the
# installed program comes up with its window; the silent uninstaller then
# leaves nothing of it behind: no file, folder or registry key.
set -euo pipefail
# File names in the zip and under Wine are Japanese: read and write them as UTF-8
# whatever locale the caller has.
export LC_ALL=C.UTF-8
setup=$1
zip=$2
for f in "$setup" "$zip"; do
  [ -f "$f" ] || { echo "FAIL: $f is missing; build it with scripts/build-windows.sh" >&2; exit 1; }
done
[ -n "${DISPLAY:-}" ] || { echo "FAIL: no X display (DISPLAY is empty)" >&2; exit 1; }
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
[ -x "$wine" ] || { echo "FAIL: wine64 is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }

tmp=$(mktemp -d)
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all HOME=$tmp/home
# No desktop menu entries in the Linux home, no prompts to download Mono or Gecko.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
mkdir -p "$HOME"
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
step() { echo "--- $*"; }

c=$WINEPREFIX/drive_c
instdir=$c/"Program Files"/Tarnwick
startmenu=$c/ProgramData/Microsoft/Windows/"Start Menu"/Programs/"Tarnwick Free"
win_instdir='C:\Program Files\Tarnwick'
keys=('HKLM\Software\Classes\.cmdat' 'HKLM\Software\Classes\Tarnwick.Project'
  'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick')

# Prints the default or named value of a registry key; fails when it is absent.
reg_value() {
  local key=$1 name=${2:-}
  local args=(/ve)
  [ -n "$name" ] && args=(/v "$name")
  "$wine" reg query "$key" "${args[@]}" 2>/dev/null | tr -d '\r' |
    sed -n 's/^[[:space:]]*\(([^)]*)\|[^[:space:]]\+\)[[:space:]]\+REG_[A-Z_]\+[[:space:]]\+//p'
}
key_exists() { "$wine" reg query "$1" >/dev/null 2>&1; }

# Everything on drive C:, but the folders Windows and Wine change by themselves
# and the temporary folders (the uninstaller runs from a copy there, which
# Windows removes at the next restart).
snapshot() {
  (cd "$c" && find . -path ./windows -prune -o -path './users/*/Temp' -prune \
    -o -path './users/*/AppData/Local/Temp' -prune -o -print | sort)
}

# Command lines of the tarnwick.exe processes of this prefix (others may run
# the program under Wine on this machine too).
tarnwick_commands() {
  local pid
  for pid in $(pgrep -f 'tarnwick\.exe'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
      tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null && echo
  done
}

# wait_for_window [TITLE-REGEX]: by default the main window, or on a first
# start the welcome box in front of it.
wait_for_window() {
  local id title=${1:-'^(Tarnwick Free|はじめまして)$'}
  for _ in $(seq 1 300); do
    id=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}

# Asks the program to close (WM_CLOSE to its windows); a first close may only
# close the welcome box, so ask again until it is gone. Force only if it hangs.
close_program() {
  for _ in $(seq 1 10); do
    "$wine" taskkill /im tarnwick.exe >/dev/null 2>&1 || true
    for _ in $(seq 1 10); do
      [ -z "$(tarnwick_commands)" ] && return 0
      sleep 0.2
    done
  done
  fail "tarnwick.exe did not close on WM_CLOSE"
  "$wine" taskkill /f /im tarnwick.exe >/dev/null 2>&1 || true
}

step "fresh Wine prefix"
"$wine" wineboot -i >/dev/null 2>&1
"$wineserver" -w
before=$(snapshot)

step "silent install"
"$wine" "$setup" /S
"$wineserver" -w
[ -d "$instdir" ] || { echo "FAIL: nothing installed in C:\\Program Files\\Tarnwick" >&2; exit 1; }
while IFS= read -r f; do
  case $f in */) continue ;; esac
  cmp -s <(unzip -p "$zip" "$f") "$instdir/$f" || fail "$f of the zip is not installed as it is in the zip"
done < <(unzip -Z1 "$zip")
[ -f "$instdir/uninstall.exe" ] || fail "no uninstall.exe"
[ -f "$startmenu/Tarnwick Free.lnk" ] || fail "no Start-menu entry"

[ "$(reg_value 'HKLM\Software\Classes\.cmdat')" = Tarnwick.Project ] || fail ".cmdat is not associated with Tarnwick.Project"
expected="\"$win_instdir\\tarnwick.exe\" \"%1\""
got=$(reg_value 'HKLM\Software\Classes\Tarnwick.Project\shell\open\command')
[ "$got" = "$expected" ] || fail "open command is [$got], expected [$expected]"
got=$(reg_value 'HKLM\Software\Classes\Tarnwick.Project\DefaultIcon')
[ "$got" = "\"$win_instdir\\tarnwick.exe\",0" ] || fail "DefaultIcon is [$got]"
uninstall_key=${keys[2]}
[ "$(reg_value "$uninstall_key" DisplayName)" = "Tarnwick Free" ] || fail "no Add/Remove Programs entry"
[ "$(reg_value "$uninstall_key" UninstallString)" = "\"$win_instdir\\uninstall.exe\"" ] ||
  fail "the Add/Remove Programs entry does not name the uninstaller"

step "the Start-menu entry starts the program"
"$wine" start 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Tarnwick Free\Tarnwick Free.lnk' >/dev/null 2>&1
if window=$(wait_for_window); then
  echo "window $window is up"
else
  fail "the installed program's window did not appear within 60 s"
fi
close_program

step "a .cmdat file opens with the program"
cp "$(dirname "$0")/../data/new_project.cmdat" "$c/users/Public/sample.cmdat"
"$wine" start 'C:\users\Public\sample.cmdat' >/dev/null 2>&1
started=
for _ in $(seq 1 300); do
  if tarnwick_commands | grep -qi 'sample\.cmdat'; then
    started=1
    break
  fi
  sleep 0.2
done
[ -n "$started" ] || fail "opening sample.cmdat did not start tarnwick.exe with the file"
# The window is titled with the project's name once the file is open.
wait_for_window '^sample$' >/dev/null || fail "the program started for sample.cmdat does not show that project"
close_program
rm -f "$c/users/Public/sample.cmdat"
"$wineserver" -w

step "silent uninstall"
"$wine" "$win_instdir\\uninstall.exe" /S
# The uninstaller runs on from a copy in the temporary folder; wait for it.
"$wineserver" -w
[ -e "$instdir" ] && fail "C:\\Program Files\\Tarnwick is still there: $(cd "$instdir" && find . | head)"
[ -e "$startmenu" ] && fail "the Start-menu folder is still there"
for key in "${keys[@]}"; do
  key_exists "$key" && fail "registry key $key is still there"
done
after=$(snapshot)
# What the program itself wrote into the user's AppData (its settings) is the
# user's, and stays, as uninstallers do on Windows.
new=$(comm -13 <(echo "$before") <(echo "$after"))
left=$(grep -v '^\./users/[^/]*/AppData/' <<<"$new" || true)
[ -z "$left" ] || fail "left on C: after uninstalling: $left"
echo "kept user data: $(grep '^\./users/[^/]*/AppData/' <<<"$new" | tr '\n' ' ' || true)"
"$wineserver" -k
"$wineserver" -w
if grep -il tarnwick "$WINEPREFIX/system.reg" >/dev/null; then
  fail "the machine registry still names Tarnwick: $(grep -i tarnwick "$WINEPREFIX/system.reg" | head -5)"
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures problem(s)" >&2
  exit 1
fi
echo "PASS: installed, started from the Start menu and from a .cmdat file, uninstalled without a trace"
