#!/usr/bin/env bash
# build-windows.sh [BUILD_DIR]: cross-builds Tarnwick for 64-bit Windows with
# mingw-w64 (Release, Ninja, ccache) against the Qt in ../shared/qt6-mingw/:
# the program, its tests and its benchmarks (all in BUILD_DIR/bin/, with the
# DLLs and Qt plugins they need beside them, ready to run). Then it
# makes the portable zip tarnwick-<version>-win64.zip and the installer
# tarnwick-<version>-win64-setup.exe in BUILD_DIR (default build/win64) and
# prints the zip's path as its last line.
#
# The Qt tarball is QT_MINGW_TARBALL when set, else qt6-mingw-6.4.2.tar.xz in
# the shared/qt6-mingw/ folder beside this repository (or beside its main
# checkout, for a git worktree); OpenCV's is OPENCV_MINGW_TARBALL, else
# opencv-mingw-4.6.0.tar.xz in shared/opencv-mingw/ beside Qt's folder.
set -euo pipefail
# The licence files have Japanese names: makensis crashes on them and bsdtar
# cannot mark them UTF-8 unless the locale is UTF-8, whatever the caller's is.
export LC_ALL=C.UTF-8
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/win64}
mkdir -p "$build"
build=$(cd "$build" && pwd)

"$top/scripts/install-deps.sh"
export CCACHE_DIR=${CCACHE_DIR:-$top/.ccache}

find_qt_tarball() {
  if [ -n "${QT_MINGW_TARBALL:-}" ]; then
    echo "$QT_MINGW_TARBALL"
    return
  fi
  local common candidate
  common=$(git -C "$top" rev-parse --path-format=absolute --git-common-dir 2>/dev/null || true)
  for candidate in "$top/../shared" ${common:+"$common/../../shared"}; do
    if [ -f "$candidate/qt6-mingw/qt6-mingw-6.4.2.tar.xz" ]; then
      echo "$(cd "$candidate" && pwd)/qt6-mingw/qt6-mingw-6.4.2.tar.xz"
      return
    fi
  done
  echo "error: Qt for mingw-w64 not found: put qt6-mingw-6.4.2.tar.xz in ../shared/qt6-mingw/ or set QT_MINGW_TARBALL" >&2
  return 1
}

# Unpacks Qt into the build folder once, and again only when the tarball changes.
unpack_qt() {
  local tarball stamp sum
  tarball=$(find_qt_tarball)
  [ -f "$tarball" ] || { echo "error: $tarball does not exist" >&2; return 1; }
  stamp=$build/qt6-mingw.sha256
  sum=$(sha256sum "$tarball" | cut -d' ' -f1)
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$sum" ] && [ -d "$build/qt6-mingw" ]; then
    return
  fi
  echo "Unpacking $tarball"
  rm -rf "$build/qt6-mingw" "$stamp" "$build/bin/platforms" "$build/bin/styles" "$build/bin/tls"
  rm -f "$build"/bin/*.dll
  tar -xJf "$tarball" -C "$build"
  echo "$sum" >"$stamp"
  # A configuration made with another Qt must not survive.
  rm -f "$build/CMakeCache.txt"
}

# OpenCV's core and imgproc as static libraries for mingw-w64, beside Qt in
# ../shared/opencv-mingw/ (or OPENCV_MINGW_TARBALL): linked into the programs,
# nothing to ship beside them.
find_opencv_tarball() {
  if [ -n "${OPENCV_MINGW_TARBALL:-}" ]; then
    echo "$OPENCV_MINGW_TARBALL"
    return
  fi
  local qt_tarball
  qt_tarball=$(find_qt_tarball) || return 1
  local candidate
  candidate=$(dirname "$(dirname "$qt_tarball")")/opencv-mingw/opencv-mingw-4.6.0.tar.xz
  if [ ! -f "$candidate" ]; then
    echo "error: OpenCV for mingw-w64 not found: put opencv-mingw-4.6.0.tar.xz in ../shared/opencv-mingw/ or set OPENCV_MINGW_TARBALL" >&2
    return 1
  fi
  echo "$candidate"
}

unpack_opencv() {
  local tarball stamp sum
  tarball=$(find_opencv_tarball)
  stamp=$build/opencv-mingw.sha256
  sum=$(sha256sum "$tarball" | cut -d' ' -f1)
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$sum" ] && [ -d "$build/opencv-mingw" ]; then
    return
  fi
  echo "Unpacking $tarball"
  rm -rf "$build/opencv-mingw" "$stamp"
  tar -xJf "$tarball" -C "$build"
  echo "$sum" >"$stamp"
}
opencv_dir=$build/opencv-mingw/lib/cmake/opencv4

# Returns its failure (it runs in an if, where set -e does not act).
configure_and_build() {
  # A configuration made before OpenCV was needed is configured again.
  if [ ! -f "$build/CMakeCache.txt" ] || [ ! -f "$build/build.ninja" ] ||
    ! grep -qxF "OpenCV_DIR:PATH=$opencv_dir" "$build/CMakeCache.txt"; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_WERROR=ON \
      -DCMAKE_TOOLCHAIN_FILE="$build/qt6-mingw/lib/cmake/Qt6/qt.toolchain.cmake" \
      -DOpenCV_DIR:PATH="$opencv_dir" || return 1
  fi
  cmake --build "$build" -j "$(nproc)"
}

qt=$build/qt6-mingw
mingw_dll_dirs=("$qt/bin" /usr/lib/gcc/x86_64-w64-mingw32/*-posix /usr/x86_64-w64-mingw32/lib)

imports_of() {
  x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'
}

# Prints the path of a DLL we ship (Qt or mingw runtime), nothing for one of
# Windows' own. DLL names are case-insensitive on Windows.
shipped_dll_path() {
  local dir
  for dir in "${mingw_dll_dirs[@]}"; do
    find "$dir" -maxdepth 1 -iname "$1" -print -quit 2>/dev/null
  done | head -n1
}

# Copies into the stage every DLL that the given binaries import, directly or
# through another shipped DLL.
copy_imported_dlls() {
  local stage=$1
  shift
  local queue=("$@") file dll path
  while [ ${#queue[@]} -gt 0 ]; do
    file=${queue[0]}
    queue=("${queue[@]:1}")
    while read -r dll; do
      [ -n "$dll" ] || continue
      [ -e "$stage/$dll" ] && continue
      path=$(shipped_dll_path "$dll")
      [ -n "$path" ] || continue
      cp "$path" "$stage/$dll"
      # The mingw runtime DLLs come with their debugging symbols (libstdc++ is 24 MB so).
      x86_64-w64-mingw32-strip --strip-unneeded "$stage/$dll"
      queue+=("$stage/$dll")
    done < <(imports_of "$file")
  done
}

stage_package() {
  local stage=$1
  rm -rf "$stage"
  mkdir -p "$stage/platforms" "$stage/styles" "$stage/tls"
  cp "$build/bin/tarnwick.exe" "$stage/"
  x86_64-w64-mingw32-strip --strip-unneeded "$stage/tarnwick.exe"
  cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
  cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
  cp "$qt/plugins/tls/qschannelbackend.dll" "$stage/tls/"
  copy_imported_dlls "$stage" "$stage/tarnwick.exe" "$stage"/platforms/*.dll "$stage"/styles/*.dll "$stage"/tls/*.dll
  cp -r "$build/bin/image" "$build/bin/licenses" "$build/bin/doc" "$stage/"
}

make_zip() {
  local stage=$1 zip=$2
  rm -f "$zip"
  # bsdtar marks the names as UTF-8 in the zip (Info-ZIP's zip does not), so
  # Windows shows the Japanese licence names right.
  (cd "$stage" && bsdtar --format zip -cf "$zip" -- *)
}

# The uninstaller removes exactly what the installer put down: one Delete per
# file and one RMDir per folder, deepest first, never a recursive removal. A
# file still in use (the program left running) goes at the next restart.
write_uninstall_list() {
  local stage=$1 list=$2 path
  {
    (cd "$stage" && find . -type f | sort) | while read -r path; do
      path=${path#./}
      echo "  Delete /REBOOTOK \"\$INSTDIR\\${path//\//\\}\""
    done
    (cd "$stage" && find . -mindepth 1 -type d | sort -r) | while read -r path; do
      path=${path#./}
      echo "  RMDir /REBOOTOK \"\$INSTDIR\\${path//\//\\}\""
    done
  } >"$list"
}

make_installer() {
  local stage=$1 setup=$2 version=$3 list=$build/package/uninstall-files.nsh
  local license=$build/package/license.txt
  write_uninstall_list "$stage" "$list"
  # The licence page reads UTF-16 with a byte order mark and Windows line ends.
  { printf '\xff\xfe'; sed 's/$/\r/' "$stage/licenses/ソフトウェア使用許諾契約書.txt" | iconv -f UTF-8 -t UTF-16LE; } >"$license"
  rm -f "$setup"
  makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" -DUNINSTALL_LIST="$list" \
    -DICON="$top/packaging/windows/tarnwick.ico" -DLICENSE="$license" -DOUTFILE="$setup" \
    "$top/packaging/windows/tarnwick.nsi"
}

# Puts the DLLs and plugins beside the programs in bin/, so that tarnwick.exe,
# the tests and the benchmarks start there as they are (under Wine too), with
# any of Qt's platform plugins (the tests use offscreen).
make_bin_runnable() {
  local bin=$build/bin dir
  for dir in platforms styles tls; do
    mkdir -p "$bin/$dir"
    cp -u "$qt/plugins/$dir"/*.dll "$bin/$dir/"
  done
  copy_imported_dlls "$bin" "$bin"/*.exe "$bin"/platforms/*.dll "$bin"/styles/*.dll "$bin"/tls/*.dll
}

# True when the zip and the installer are newer than everything they are made of.
packages_current() {
  local zip=$1 setup=$2
  [ -f "$zip" ] && [ -f "$setup" ] && [ ! "$zip" -nt "$setup" ] || return 1
  [ -z "$(find "$build/bin/tarnwick.exe" "$build/bin/image" "$build/bin/licenses" "$build/bin/doc" "$build/qt6-mingw.sha256" \
    "$top/packaging/windows" "$top/scripts/build-windows.sh" -newer "$setup" -print -quit)" ]
}

unpack_qt
unpack_opencv
if ! configure_and_build; then
  # Packages of an earlier build must not outlive a failed one (tests would check them).
  rm -f "$build"/tarnwick-*-win64.zip "$build"/tarnwick-*-win64-setup.exe
  exit 1
fi
make_bin_runnable
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
stage=$build/package/tarnwick-$version-win64
zip=$build/tarnwick-$version-win64.zip
setup=$build/tarnwick-$version-win64-setup.exe
if ! packages_current "$zip" "$setup"; then
  stage_package "$stage"
  make_zip "$stage" "$zip"
  make_installer "$stage" "$setup" "$version"
fi
echo "$setup"
echo "$zip"
