#!/usr/bin/env bash
# zip_imports.sh ZIP: the portable Windows zip is complete and holds nothing
# extra. Every DLL that tarnwick.exe, its plugins and the DLLs in the zip
# import is either in the zip (beside the exe, where Windows looks) or one of
# Windows' own DLLs, listed below; every DLL beside the exe is imported by
# something; the plugins, images and licence texts the program needs are there.
set -euo pipefail
# File names in the zip and under Wine are Japanese: read and write them as UTF-8
# whatever locale the caller has.
export LC_ALL=C.UTF-8
zip=$1
[ -f "$zip" ] || { echo "FAIL: $zip is missing; build it with scripts/build-windows.sh" >&2; exit 1; }
zip=$(realpath "$zip")

# Windows 10 and 11 have these in System32; nothing else may be imported
# without shipping it.
system_dlls="advapi32 authz bcrypt comctl32 comdlg32 crypt32 d3d9 d3d11 d3d12 dnsapi dwmapi dwrite dxgi
gdi32 imm32 iphlpapi kernel32 mpr msvcrt ncrypt netapi32 ntdll ole32 oleaut32 secur32 setupapi shcore
shell32 shlwapi user32 userenv uxtheme version winhttp winmm winspool.drv ws2_32 wtsapi32"

is_system_dll() {
  local name=${1,,}
  case $name in api-ms-win-* | ext-ms-win-*) return 0 ;; esac
  name=${name%.dll}
  [[ " ${system_dlls//$'\n'/ } " == *" $name "* ]]
}

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
unzip -q "$zip" -d "$dir"
cd "$dir"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

for f in tarnwick.exe platforms/qwindows.dll styles/qwindowsvistastyle.dll tls/qschannelbackend.dll \
  image/danger.png image/SystemTrayIcon.png "licenses/LGPLv3のライセンス文章.txt" \
  "licenses/Qtライブラリの差替え又は再インストールに関する情報.txt"; do
  [ -f "$f" ] || fail "$f is not in the zip"
done
grep -q "GNU LESSER GENERAL PUBLIC LICENSE" "licenses/LGPLv3のライセンス文章.txt" 2>/dev/null ||
  fail "the LGPLv3 text is not the licence"
grep -q "6.4.2+dfsg-10" "licenses/Qtライブラリの差替え又は再インストールに関する情報.txt" 2>/dev/null ||
  fail "the Qt relinking information does not say which Qt source was used"

# Binaries beside the exe, by lower-case name: the only place their imports resolve.
declare -A beside=() imported=()
for f in *.dll; do beside[${f,,}]=1; done

while IFS= read -r -d '' binary; do
  if ! imports=$(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p'); then
    fail "$binary is not a Windows binary"
    continue
  fi
  [ -n "$imports" ] || fail "$binary imports nothing, which no real binary does"
  while IFS= read -r dll; do
    imported[${dll,,}]=1
    if [ -z "${beside[${dll,,}]:-}" ] && ! is_system_dll "$dll"; then
      fail "$binary imports $dll, which is neither in the zip nor part of Windows"
    fi
  done <<<"$imports"
done < <(find . \( -iname '*.exe' -o -iname '*.dll' \) -print0)

for dll in "${!beside[@]}"; do
  [ -n "${imported[$dll]:-}" ] || fail "$dll is in the zip but nothing imports it"
done

# Windows reads a zip entry's name as UTF-8 only when the entry says so (bit 11
# of its flags); otherwise Explorer shows the Japanese licence names garbled.
# The central directory is found through the end record, the last 22 bytes of
# a zip without a comment.
u16() { od -An -tu2 -j "$2" -N2 "$1" | tr -d ' '; }
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
size=$(stat -c %s "$zip")
eocd=$((size - 22))
if [ "$(u32 "$zip" "$eocd")" != 101010256 ]; then # PK\5\6
  fail "the zip has no plain end record (a comment?): its names' encoding is not checked"
else
  entry=$(u32 "$zip" $((eocd + 16)))
  for _ in $(seq 1 "$(u16 "$zip" $((eocd + 10)))"); do
    flags=$(u16 "$zip" $((entry + 8)))
    name_length=$(u16 "$zip" $((entry + 28)))
    name=$(dd if="$zip" bs=1 skip=$((entry + 46)) count="$name_length" status=none)
    if LC_ALL=C grep -q '[^ -~]' <<<"$name" && [ $((flags & 0x800)) -eq 0 ]; then
      fail "$name is not marked as a UTF-8 name in the zip"
    fi
    entry=$((entry + 46 + name_length + $(u16 "$zip" $((entry + 30))) + $(u16 "$zip" $((entry + 32)))))
  done
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures problem(s) in $zip" >&2
  exit 1
fi
echo "PASS: $zip holds tarnwick.exe, its plugins and exactly the DLLs they need (${#beside[@]} DLLs beside the exe)"
