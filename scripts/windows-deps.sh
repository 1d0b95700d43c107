#!/usr/bin/env bash
# Makes the third-party libraries of the Windows program, cross-built for
# 64-bit Windows with the project's MinGW-w64 toolchain from Debian's own
# source packages (the same versions as the Linux build):
#   glog, SQLite, libqrencode   static libraries
#   Qt 6 qtbase                 Core, Gui, Widgets, Network, Test as DLLs,
#                               with the windows platform plugin and the Vista
#                               style
# Each is built once into a cache outside the clone, keyed by its version, so a
# second run costs nothing. A prebuilt Qt in ../shared/windows-deps (built the
# same way) serves as that cache when present.
#
# Prints the cache's prefix folder for the triple on its last line. With
# --host-tools it only installs the Debian packages these builds run with.
# Environment: LUMARI_WINDOWS_DEPS_CACHE (default /var/cache/lumari/windows-deps).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

triple=x86_64-w64-mingw32
cache=${LUMARI_WINDOWS_DEPS_CACHE:-/var/cache/lumari/windows-deps}
prefix_root=$cache/$triple
mkdir -p "$prefix_root"

# The versions of Debian 12's source packages, as the Linux build uses them.
glog_pkg=google-glog glog_ver=0.6.0
sqlite_pkg=sqlite3 sqlite_ver=3.40.1
qrencode_pkg=qrencode qrencode_ver=4.1.1
qt_pkg=qt6-base qt_ver=6.4.2

jobs=$(nproc)
toolchain=$repo/cmake/mingw-w64.cmake

log() { echo "windows-deps: $*" >&2; }

# Debian's sources through a private apt configuration: a deb-src entry for the
# system's own archive, lists and apt's caches kept in the cache, the system's
# files untouched (and so no lock shared with an installation running beside).
apt_dir=$cache/apt
private_apt=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt_dir/sources.list.d"
  -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache")
fetched_lists=0
apt_source() {  # package -> unpacked source folder under $cache/src
  local pkg=$1 dir=$cache/src/$1
  if [ -d "$dir/unpacked" ]; then
    echo "$dir/unpacked"
    return
  fi
  mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$dir"
  if [ $fetched_lists -eq 0 ]; then
    local uris
    uris=$(sed -n 's/^URIs:\s*//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
    [ -n "$uris" ] || uris=$(awk '$1=="deb"{print $2; exit}' /etc/apt/sources.list 2>/dev/null)
    [ -n "$uris" ] || { log "no Debian archive configured for apt"; exit 1; }
    cat >"$apt_dir/sources.list.d/src.sources" <<EOF
Types: deb-src
URIs: $uris
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    apt-get -q "${private_apt[@]}" update >&2
    fetched_lists=1
  fi
  (
    cd "$dir"
    rm -rf unpacked ./*.dsc ./*.tar.*
    apt-get -q "${private_apt[@]}" source --download-only "$pkg" >&2 || true
    if ! dpkg-source -x ./*.dsc unpacked >&2; then
      # A mirror that lacks the packaging tarball still has the upstream
      # source the package is made of; it is taken when its checksum is the
      # one the signed .dsc names.
      local orig
      orig=$(ls ./*.orig.tar.* 2>/dev/null | grep -v -- '-www' | head -1)
      [ -n "$orig" ] || { log "no source of $pkg"; exit 1; }
      grep -q "$(md5sum "$orig" | cut -d' ' -f1) .* ${orig#./}\$" ./*.dsc ||
        { log "$orig does not match its .dsc"; exit 1; }
      rm -rf unpacked && mkdir unpacked && tar -xf "$orig" -C unpacked --strip-components=1
    fi
  ) || exit 1
  echo "$dir/unpacked"
}

need_host_tools() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -q >&2
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
      "${missing[@]}" >&2
  fi
}
# What these builds run on this machine: the compilers (SQLite's generators
# are built with the host's), dpkg-source, tclsh, CMake and Ninja, and Debian's
# Qt with the CMake files of its host tools.
need_host_tools build-essential dpkg-dev tcl g++-mingw-w64-x86-64-posix cmake ninja-build \
  qt6-base-dev-tools qt6-base-dev
# --host-tools: only those, so that the build can start while the test command
# installs the rest of what it needs.
[ "${1:-}" = --host-tools ] && exit 0

# Builds a CMake project from Debian's source package as a static library
# into its prefix, once.
cmake_static() {  # name prefix package [cmake arguments...]
  local name=$1 dest=$2 pkg=$3
  shift 3
  [ -f "$dest/.done" ] && return 0
  log "building $name for $triple"
  local src
  src=$(apt_source "$pkg")
  rm -rf "$cache/build/$pkg" "$dest"
  cmake -S "$src" -B "$cache/build/$pkg" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$dest" -DBUILD_SHARED_LIBS=OFF "$@" >&2
  cmake --build "$cache/build/$pkg" -j "$jobs" >&2
  cmake --install "$cache/build/$pkg" >&2
  touch "$dest/.done"
}

# glog, static. Its Windows build needs no gflags or unwinder.
glog_prefix=$prefix_root/glog-$glog_ver
cmake_static "glog $glog_ver" "$glog_prefix" $glog_pkg \
  -DWITH_GFLAGS=OFF -DWITH_GTEST=OFF -DWITH_UNWIND=OFF -DBUILD_TESTING=OFF

# SQLite, static: the amalgamation made on this machine from Debian's full
# source tree (its generators need tclsh), compiled with the cross compiler.
sqlite_prefix=$prefix_root/sqlite-$sqlite_ver
if [ ! -f "$sqlite_prefix/.done" ]; then
  log "building SQLite $sqlite_ver for $triple"
  src=$(apt_source $sqlite_pkg)
  rm -rf "$cache/build/sqlite" "$sqlite_prefix"
  mkdir -p "$cache/build/sqlite" "$sqlite_prefix/include" "$sqlite_prefix/lib"
  (cd "$cache/build/sqlite" && "$src/configure" --disable-tcl >/dev/null && make -s sqlite3.c >&2)
  ${triple}-gcc-posix -O2 -c "$cache/build/sqlite/sqlite3.c" -o "$cache/build/sqlite/sqlite3.o" \
    -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_FTS5=0 -DSQLITE_OMIT_LOAD_EXTENSION
  ${triple}-ar rcs "$sqlite_prefix/lib/libsqlite3.a" "$cache/build/sqlite/sqlite3.o"
  cp "$cache/build/sqlite/sqlite3.h" "$cache/build/sqlite/sqlite3ext.h" "$sqlite_prefix/include/" 2>/dev/null ||
    cp "$cache/build/sqlite/sqlite3.h" "$sqlite_prefix/include/"
  touch "$sqlite_prefix/.done"
fi

# libqrencode, static, without its command-line tool.
qrencode_prefix=$prefix_root/qrencode-$qrencode_ver
cmake_static "libqrencode $qrencode_ver" "$qrencode_prefix" $qrencode_pkg \
  -DWITH_TOOLS=NO -DWITH_TESTS=NO -DCMAKE_POLICY_DEFAULT_CMP0077=NEW

# Qt 6 qtbase as DLLs, with Debian's own Qt 6.4.2 as the host tools.
qt_prefix=$prefix_root/qt-$qt_ver
# shared/ lies beside the clone (or beside the main work tree of a git worktree).
shared_qt=
for shared in "$(dirname "$repo")/shared" \
  "$(dirname "$(git -C "$repo" rev-parse --path-format=absolute --git-common-dir 2>/dev/null || echo /nonexistent/.git)")/../shared"; do
  if [ -f "$shared/windows-deps/$triple/qt-$qt_ver/lib/cmake/Qt6/Qt6Config.cmake" ]; then
    shared_qt=$(cd "$shared/windows-deps/$triple/qt-$qt_ver" && pwd)
    break
  fi
done
if [ -n "$shared_qt" ] && [ ! -f "$qt_prefix/.done" ]; then
  # A copy, not a link: the cache outlives the clone the shared folder came with.
  log "Qt $qt_ver from $shared_qt"
  rm -rf "$qt_prefix" "$qt_prefix.part"
  cp -a "$shared_qt" "$qt_prefix.part"
  touch "$qt_prefix.part/.done"
  mv "$qt_prefix.part" "$qt_prefix"
fi
# Parts of qtbase the program never loads, left out of a build from source:
# the JPEG and GIF image plugins (the program's images are PNG), the TUIO
# touch input plugin, the Direct2D platform plugin (a second copy of the
# windows one), Markdown, ODF and PDF output, undo stacks, the local-socket,
# DNS-lookup and disk-cache classes of Network, and the widgets and dialogs
# it never shows (graphics view, MDI, calendar and date-time editors, dial,
# LCD number, font and colour choosers, file dialog, wizard and the like).
# (The Direct2D feature itself stays: without it Gui leaves out the
# DirectWrite font database the windows platform plugin uses.) A prebuilt Qt
# that has them serves as well: the program asks for none of them.
qt_unused=(-DFEATURE_jpeg=OFF -DINPUT_libjpeg=no -DFEATURE_gif=OFF -DFEATURE_tuiotouch=OFF
  -DFEATURE_direct2d1_1=OFF -DFEATURE_textmarkdownreader=OFF -DFEATURE_textmarkdownwriter=OFF
  -DFEATURE_textodfwriter=OFF -DFEATURE_pdf=OFF -DFEATURE_undocommand=OFF -DFEATURE_undostack=OFF
  -DFEATURE_undogroup=OFF -DFEATURE_localserver=OFF -DFEATURE_dnslookup=OFF
  -DFEATURE_networkdiskcache=OFF)
for widget in graphicsview mdiarea calendarwidget datetimeedit lcdnumber dial fontcombobox \
  fontdialog colordialog filedialog wizard columnview undoview keysequenceedit splashscreen \
  toolbox commandlinkbutton datawidgetmapper errormessage; do
  qt_unused+=("-DFEATURE_$widget=OFF")
done
if [ ! -f "$qt_prefix/lib/cmake/Qt6/Qt6Config.cmake" ]; then
  log "building Qt $qt_ver for $triple (about 1,000 steps; some 27 minutes on 2 cores)"
  src=$(apt_source $qt_pkg)
  # With OpenGL off, 6.4.2's Windows platform plugin still reaches the OpenGL
  # context in two places guarded by dynamicgl alone.
  sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
    "$src/src/plugins/platforms/windows/qwindowswindow.cpp"
  rm -rf "$cache/build/qt" "$qt_prefix"
  cmake -S "$src" -B "$cache/build/qt" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++ -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$qt_prefix" \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DFEATURE_sql=OFF -DFEATURE_opengl=OFF \
    -DFEATURE_dbus=OFF -DFEATURE_testlib=ON -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF \
    -DFEATURE_xml=OFF -DINPUT_openssl=no -DFEATURE_system_zlib=OFF -DFEATURE_tabletevent=OFF \
    "${qt_unused[@]}" >&2
  cmake --build "$cache/build/qt" -j "$jobs" >&2
  cmake --install "$cache/build/qt" --strip >&2
  rm -rf "$cache/build/qt"
  # Qt Test, for the window's tests under Wine, came with this build.
  touch "$qt_prefix/.test-done" "$qt_prefix/.done"
fi

# Qt Test for a prebuilt Qt that leaves it out: qtbase's testlib module built
# on its own against that Qt (some 35 steps and a configure run).
if [ ! -f "$qt_prefix/.test-done" ]; then
  log "building Qt Test $qt_ver for $triple"
  src=$(apt_source $qt_pkg)
  work=$cache/build/qttest
  rm -rf "$work"
  mkdir -p "$work/src"
  cp -a "$src/src/testlib" "$work/src/"
  cp "$src/.cmake.conf" "$work/"
  cat >"$work/sync.profile" <<'EOF'
%modules = (
    "QtTest" => "$basedir/src/testlib",
);
%moduleheaders = (
);
@allmoduleheadersprivate = (
);
%classnames = (
    "qtest.h" => "QTest",
);
%deprecatedheaders = (
);
EOF
  cat >"$work/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.16)
include(.cmake.conf)
project(QtTestAlone VERSION "${QT_REPO_MODULE_VERSION}" LANGUAGES CXX C)
find_package(Qt6 ${PROJECT_VERSION} CONFIG REQUIRED COMPONENTS BuildInternals Core)
find_package(Qt6 ${PROJECT_VERSION} CONFIG OPTIONAL_COMPONENTS Gui Widgets)
qt_build_repo_begin()
add_subdirectory(src/testlib)
qt_build_repo_end()
EOF
  cmake -S "$work" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_PREFIX_PATH="$qt_prefix" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$work/inst" -DQT_BUILD_TESTS=OFF \
    -DQT_BUILD_EXAMPLES=OFF >&2
  cmake --build "$work/build" -j "$jobs" >&2
  cmake --install "$work/build" --strip >&2
  # Only the module's own files go into the Qt prefix.
  (
    set -e
    cd "$work/inst"
    cp -a bin/Qt6Test.dll "$qt_prefix/bin/"
    cp -a lib/libQt6Test.a lib/Qt6Test.prl "$qt_prefix/lib/"
    rm -rf "$qt_prefix/lib/cmake/Qt6Test" "$qt_prefix/include/QtTest"
    cp -a lib/cmake/Qt6Test "$qt_prefix/lib/cmake/"
    cp -a include/QtTest "$qt_prefix/include/"
    cp -a lib/metatypes/qt6test_*.json "$qt_prefix/lib/metatypes/"
    cp -a mkspecs/modules/qt_lib_testlib*.pri "$qt_prefix/mkspecs/modules/"
    cp -a modules/Test.json "$qt_prefix/modules/"
  ) || exit 1
  rm -rf "$work"
  touch "$qt_prefix/.test-done"
fi

echo "$prefix_root"
