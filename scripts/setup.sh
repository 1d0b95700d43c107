#!/usr/bin/env bash
# Installs every Debian package the project needs (safe to run again), then
# configures and builds the normal preset (not with --packages-only). Run as
# root on Debian 12.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-14-dev clang-format lld
  qt6-base-dev libgl1-mesa-dev qt6-svg-dev qt6-tools-dev qt6-l10n-tools libqrencode-dev
  libsystemd-dev fonts-wqy-microhei dbus-daemon qt6-webengine-dev
  libgoogle-glog-dev libgtest-dev libgmock-dev googletest
  libsqlite3-dev ieee-data
  busybox isc-dhcp-client dnsutils dnsmasq-base iproute2 procps curl
  nftables libnftables-dev iperf3 libc-ares-dev
  hostapd wpasupplicant libwpa-client-dev dbus-daemon
  xvfb xauth zbar-tools
  g++-mingw-w64-x86-64-posix
  g++-mingw-w64-i686-posix
  wine64 tcl xdotool imagemagick x11-utils python3 locales
  # The Debian packages and their checks (scripts/package-debian.sh, scripts/test-debian.sh).
  debhelper dpkg-dev fakeroot lintian desktop-file-utils appstream ccache file binutils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

[ "${1:-}" = --packages-only ] && exit 0

# The default build goes through ccache when it is there, with paths taken
# relative to the project, so that the package build (debian/rules) finds its
# objects in the cache instead of compiling them again.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER="${CMAKE_C_COMPILER_LAUNCHER:-ccache}"
  export CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}"
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR=1
fi
cmake --preset default
cmake --build --preset default
