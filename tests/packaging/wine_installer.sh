#!/usr/bin/env bash
# wine_installer.sh SETUP_EXE ZIP: the Windows installer, run silently under
# Wine on the X display in DISPLAY, each case in a fresh prefix:
# - into Program Files it installs every file of the portable zip, the
#   uninstaller, a Start-menu entry that starts the program, the .cmdat
#   association and the Add/Remove Programs entry; the installed program comes
#   up with its window; the silent uninstaller then leaves nothing of it
#   behind: no file, folder or registry key;
# - it refuses (exit code 2, nothing written) a folder that holds someone
#   else's files, and a second folder while an installation exists;
# - into a folder outside Program Files it gives that folder Program Files'
#   permissions (what Wine shows of it: the icacls runs, since Wine keeps no
#   file ACLs), keeps another program's .cmdat association and gives it back
#   on uninstall, with that program's OpenWithProgids entry and the key's
#   other values untouched.
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
fresh=$tmp/fresh
export WINEPREFIX=$fresh WINEDEBUG=-all HOME=$tmp/home
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

win_instdir='C:\Program Files\Tarnwick'
keys=('HKLM\Software\Classes\.cmdat' 'HKLM\Software\Classes\Tarnwick.Project'
  'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick')

# Prints the default or named value of a registry key; nothing when it is absent.
reg_value() {
  local key=$1 name=${2:-}
  local args=(/ve)
  [ -n "$name" ] && args=(/v "$name")
  "$wine" reg query "$key" "${args[@]}" 2>/dev/null | tr -d '\r' |
    sed -n 's/^.*[[:space:]]REG_[A-Z_]\+[[:space:]]\+//p' || true
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

# A copy of the prefix wineboot made, for each case (a new prefix takes
# many seconds). The system DLLs are only read: hard links do.
use_fresh_prefix() {
  "$wineserver" -k 2>/dev/null || true
  export WINEPREFIX=$tmp/prefix$1
  mkdir -p "$WINEPREFIX"
  tar -C "$fresh" --exclude=./drive_c/windows/system32 --exclude=./drive_c/windows/winsxs \
    -cf - . | tar -C "$WINEPREFIX" -xf -
  cp -al "$fresh/drive_c/windows/system32" "$fresh/drive_c/windows/winsxs" \
    "$WINEPREFIX/drive_c/windows/"
  c=$WINEPREFIX/drive_c
}

# run_setup TRACE ARGS...: the installer, waited for; its exit code in
# $setup_rc and the command lines of the processes it started in TRACE.
run_setup() {
  local trace=$1
  shift
  setup_rc=0
  WINEDEBUG=+process "$wine" "$setup" "$@" 2>"$trace" || setup_rc=$?
  "$wineserver" -w
}

# The icacls command lines in a trace of run_setup, one a line, unescaped.
icacls_runs() {
  grep -a 'CreateProcessInternalW app (null) cmdline' "$1" |
    sed -n 's/.*cmdline L"\(.*\)"$/\1/p' | sed 's/\\"/"/g; s/\\\\/\\/g' |
    grep -ai '^"C:\\windows\\system32\\icacls\.exe"' || true
}

value_exists() { "$wine" reg query "$1" /v "$2" >/dev/null 2>&1; }

# Every file of the zip is installed in $1 as it is in the zip.
check_installed_files() {
  local dir=$1 f
  while IFS= read -r f; do
    case $f in */) continue ;; esac
    cmp -s <(unzip -p "$zip" "$f") "$dir/$f" || fail "$f of the zip is not installed as it is in the zip"
  done < <(unzip -Z1 "$zip")
  [ -f "$dir/uninstall.exe" ] || fail "no uninstall.exe"
}

step "fresh Wine prefix"
"$wine" wineboot -i >/dev/null 2>&1
"$wineserver" -w
use_fresh_prefix 1
before=$(snapshot)

step "silent install"
run_setup "$tmp/trace1" /S
[ "$setup_rc" -eq 0 ] || fail "the installer exited with $setup_rc"
instdir=$c/"Program Files"/Tarnwick
startmenu=$c/ProgramData/Microsoft/Windows/"Start Menu"/Programs/"Tarnwick Free"
[ -d "$instdir" ] || { echo "FAIL: nothing installed in C:\\Program Files\\Tarnwick" >&2; exit 1; }
check_installed_files "$instdir"
[ -f "$startmenu/Tarnwick Free.lnk" ] || fail "no Start-menu entry"
# Program Files' own permissions are inherited as they are.
runs=$(icacls_runs "$tmp/trace1")
[ -z "$runs" ] || fail "the permissions of a folder in Program Files were changed: $runs"
value_exists 'HKLM\Software\Classes\.cmdat\OpenWithProgids' Tarnwick.Project ||
  fail "Tarnwick.Project is not among .cmdat's OpenWithProgids"

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

nothing_registered() {
  local key
  for key in "${keys[@]}"; do
    if key_exists "$key"; then fail "$1: registry key $key was written"; fi
  done
}

step "a folder with someone else's files is refused"
use_fresh_prefix 2
shared=$c/Tools/Shared
mkdir -p "$shared"
echo "someone else's program" >"$shared/tarnwick.exe"
echo "notes" >"$shared/notes.txt"
listing=$(cd "$shared" && find . | sort)
run_setup "$tmp/trace2" /S '/D=C:\Tools\Shared'
[ "$setup_rc" -eq 2 ] || fail "installing among other files exited with $setup_rc, not 2"
[ "$(cat "$shared/tarnwick.exe")" = "someone else's program" ] || fail "the folder's tarnwick.exe was overwritten"
[ "$(cd "$shared" && find . | sort)" = "$listing" ] || fail "files were added to the refused folder: $(cd "$shared" && find . | sort | tr '\n' ' ')"
nothing_registered "refused folder"

step "outside Program Files, with another program's .cmdat association"
use_fresh_prefix 3
"$wine" reg add 'HKLM\Software\Classes\Other.Project\shell\open\command' /ve /d 'other.exe "%1"' /f >/dev/null 2>&1
"$wine" reg add 'HKLM\Software\Classes\.cmdat' /ve /d Other.Project /f >/dev/null 2>&1
"$wine" reg add 'HKLM\Software\Classes\.cmdat' /v 'Content Type' /d application/x-other /f >/dev/null 2>&1
"$wine" reg add 'HKLM\Software\Classes\.cmdat\OpenWithProgids' /v Other.Project /t REG_NONE /f >/dev/null 2>&1
"$wineserver" -w
# An empty folder made beforehand, as a user would make it, is accepted.
tools=$c/Tools/Tarnwick
mkdir -p "$tools"
run_setup "$tmp/trace3" /S '/D=C:\Tools\Tarnwick'
[ "$setup_rc" -eq 0 ] || fail "installing into an empty folder exited with $setup_rc"
check_installed_files "$tools"
# Owner Administrators, no inherited rules, and only administrators and the
# system may write: S-1-5-32-544 Administrators, S-1-5-18 SYSTEM,
# S-1-5-32-545 Users, S-1-15-2-1 all application packages.
icacls='"C:\windows\system32\icacls.exe" "C:\Tools\Tarnwick"'
expected="$icacls /setowner *S-1-5-32-544
$icacls /reset
$icacls /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX *S-1-15-2-1:(OI)(CI)RX"
runs=$(icacls_runs "$tmp/trace3")
[ "$runs" = "$expected" ] || fail "the folder's permissions were set by [$runs], expected [$expected]"
[ "$(reg_value 'HKLM\Software\Classes\.cmdat')" = Tarnwick.Project ] || fail ".cmdat is not associated with Tarnwick.Project"
for name in Other.Project Tarnwick.Project; do
  value_exists 'HKLM\Software\Classes\.cmdat\OpenWithProgids' "$name" || fail "$name is not among .cmdat's OpenWithProgids"
done

step "a second folder is refused while Tarnwick is installed"
run_setup "$tmp/trace4" /S '/D=C:\Tools\Second'
[ "$setup_rc" -eq 2 ] || fail "installing into a second folder exited with $setup_rc, not 2"
[ -e "$c/Tools/Second" ] && fail "the second folder was made"
[ "$(reg_value "$uninstall_key" InstallLocation)" = 'C:\Tools\Tarnwick' ] || fail "the Add/Remove Programs entry changed"

step "installing again over the earlier installation"
run_setup "$tmp/trace5" /S '/D=C:\Tools\Tarnwick'
[ "$setup_rc" -eq 0 ] || fail "installing over the earlier installation exited with $setup_rc"
check_installed_files "$tools"

step "the uninstall gives the association back"
"$wine" 'C:\Tools\Tarnwick\uninstall.exe' /S
"$wineserver" -w
[ -e "$tools" ] && fail "C:\\Tools\\Tarnwick is still there: $(cd "$tools" && find . | head)"
got=$(reg_value 'HKLM\Software\Classes\.cmdat')
[ "$got" = Other.Project ] || fail ".cmdat is associated with [$got] after the uninstall, expected Other.Project"
[ "$(reg_value 'HKLM\Software\Classes\.cmdat' 'Content Type')" = application/x-other ] || fail ".cmdat's Content Type is gone"
value_exists 'HKLM\Software\Classes\.cmdat\OpenWithProgids' Other.Project || fail "Other.Project's OpenWithProgids entry is gone"
value_exists 'HKLM\Software\Classes\.cmdat\OpenWithProgids' Tarnwick.Project && fail "Tarnwick.Project's OpenWithProgids entry is still there"
[ "$(reg_value 'HKLM\Software\Classes\Other.Project\shell\open\command')" = 'other.exe "%1"' ] || fail "Other.Project's open command changed"
for key in 'HKLM\Software\Classes\Tarnwick.Project' "$uninstall_key"; do
  if key_exists "$key"; then fail "registry key $key is still there"; fi
done

if [ "$failures" -gt 0 ]; then
  echo "$failures problem(s)" >&2
  exit 1
fi
echo "PASS: installed, started from the Start menu and from a .cmdat file, uninstalled without a trace; refused other files' folders; secured a folder outside Program Files and gave an earlier association back"
