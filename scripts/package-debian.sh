#!/usr/bin/env bash
# Builds the Debian packages lumari-hotspot and zentavo (and their -dbgsym
# packages) from the repository with Debian's own tools (debian/,
# dpkg-buildpackage) into build/dist/, with the .buildinfo and .changes files.
# The build tree is build/deb. Needs the build dependencies of debian/control
# (scripts/setup.sh installs them).
#
#   scripts/package-debian.sh
#   LUMARI_SHARE_BUILD=1 scripts/package-debian.sh   # the default build's
#       compile flags, so that ccache answers from it (see debian/rules)
set -euo pipefail
cd "$(dirname "$0")/.."

dist=build/dist
if ! dpkg-checkbuilddeps 2>/tmp/lumari-builddeps.$$; then
  cat /tmp/lumari-builddeps.$$ >&2
  rm -f /tmp/lumari-builddeps.$$
  echo "missing build dependencies: run scripts/setup.sh" >&2
  exit 1
fi
rm -f /tmp/lumari-builddeps.$$

version=$(dpkg-parsechangelog -SVersion)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
mkdir -p "$dist"
rm -f "$dist"/*.deb "$dist"/*.buildinfo "$dist"/*.changes
export DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:-parallel=2}"
# The packages go to build/dist instead of the folder above the repository.
LUMARI_DEB_DESTDIR="$PWD/$dist" dpkg-buildpackage -b -us -uc \
  --buildinfo-option="-u$dist" --changes-option="-u$dist" \
  --buildinfo-file="$dist/lumari-hotspot_${version}_${arch}.buildinfo" \
  --changes-file="$dist/lumari-hotspot_${version}_${arch}.changes"
ls -l "$dist"
