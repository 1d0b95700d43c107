#!/usr/bin/env bash
# Builds the Debian packages and checks them: lintian reports no error, the
# desktop entry and the AppStream metadata validate, the packages unpack into
# a throw-away root (dpkg -x) with every file they promise, every library
# their programs load comes from a package they depend on, apt could install
# them with their dependencies, and the unpacked lumari-hotspot runs --help.
#
# The package build uses the default build's compile flags
# (LUMARI_SHARE_BUILD=1, see debian/rules): after the default build, ccache
# answers for nearly every file, and the step costs little more than linking.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
fail() {
  echo "debian packages: $*" >&2
  exit 1
}

# LUMARI_DEB_CHECK_ONLY=1 checks the packages already in build/dist.
if [ "${LUMARI_DEB_CHECK_ONLY:-0}" != 1 ]; then
  LUMARI_SHARE_BUILD=1 bash scripts/package-debian.sh >build/package-debian.log 2>&1 ||
    { tail -n 40 build/package-debian.log >&2; fail "the package build failed (build/package-debian.log)"; }
  echo "package build: $((SECONDS - started)) s"
fi

dist=build/dist
version=$(dpkg-parsechangelog -SVersion)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
server="$dist/lumari-hotspot_${version}_${arch}.deb"
window="$dist/zentavo_${version}_${arch}.deb"
[ -f "$server" ] && [ -f "$window" ] || fail "missing $server or $window"

echo "== lintian"
# Errors fail; warnings are shown.
lintian --fail-on error --tag-display-limit 0 "$server" "$window" || fail "lintian reports errors"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$server" "$root"
dpkg -x "$window" "$root"

echo "== files"
for path in usr/sbin/lumari-hotspot lib/systemd/system/lumari-hotspot.service \
  etc/default/lumari-hotspot usr/share/lumari-hotspot/mac.dat \
  usr/share/man/man8/lumari-hotspot.8.gz "usr/lib/$multiarch/lumari-hotspot/libPellion.so" \
  usr/bin/zentavo usr/libexec/zentavo/Zentavo usr/share/man/man1/zentavo.1.gz \
  usr/share/applications/org.lumari.Zentavo.desktop \
  usr/share/metainfo/org.lumari.Zentavo.metainfo.xml \
  usr/share/polkit-1/actions/org.lumari.Zentavo.policy \
  usr/share/icons/hicolor/scalable/apps/org.lumari.Zentavo.svg; do
  [ -s "$root/$path" ] || fail "$path is missing or empty"
done
# Every size of the icon, a PNG of that size (width and height in its header).
for side in 16 22 24 32 48 64 128 256; do
  png="$root/usr/share/icons/hicolor/${side}x${side}/apps/org.lumari.Zentavo.png"
  [ -f "$png" ] || fail "no ${side}x${side} icon"
  size=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4, $7*256+$8}')
  [ "$size" = "$side $side" ] || fail "the ${side}x${side} icon is $size"
done
# Every file each package lists is in the tree.
for deb in "$server" "$window"; do
  while read -r path; do
    [ -e "$root/$path" ] || [ -L "$root/$path" ] || fail "$(basename "$deb"): $path not unpacked"
  done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./||; /\/$/d; /^$/d')
done
grep -q '^ExecStart=/usr/sbin/lumari-hotspot --state-dir /var/lib/lumari-hotspot' \
  "$root/lib/systemd/system/lumari-hotspot.service" || fail "the unit does not run the installed program"
grep -q '^LUMARI_HOTSPOT_OPTIONS=' "$root/etc/default/lumari-hotspot" || fail "no options in /etc/default"
# Installed disabled: the maintainer script enables the unit only where it
# was enabled before (an upgrade), never on a new installation.
postinst=$(dpkg-deb --ctrl-tarfile "$server" | tar -xO ./postinst)
grep -q 'deb-systemd-helper debian-installed' <<<"$postinst" || fail "the unit would be enabled"
grep -q 'install -d -m 0700 /var/lib/lumari-hotspot' <<<"$postinst" || fail "no state folder"
conffiles=$(dpkg-deb --ctrl-tarfile "$server" | tar -xO ./conffiles)
grep -qx /etc/default/lumari-hotspot <<<"$conffiles" || fail "/etc/default/lumari-hotspot is no conffile"

echo "== desktop entry and metadata"
desktop-file-validate "$root/usr/share/applications/org.lumari.Zentavo.desktop"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/org.lumari.Zentavo.metainfo.xml"
grep -q "exec.path\">/usr/libexec/zentavo/Zentavo<" "$root/usr/share/polkit-1/actions/org.lumari.Zentavo.policy" ||
  fail "the polkit action names another program"
grep -q "pkexec '\?/usr/libexec/zentavo/Zentavo" "$root/usr/bin/zentavo" ||
  grep -q "^program='/usr/libexec/zentavo/Zentavo'" "$root/usr/bin/zentavo" || fail "the launcher runs another program"

echo "== dependencies"
# Each library a program of the packages loads directly is found (in the
# private folder or the system) and belongs to a package its .deb depends on.
private="$root/usr/lib/$multiarch/lumari-hotspot"
for deb in "$server" "$window"; do
  depends=$(dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | sed 's/(.*//; s/:any//; s/ //g' | sort -u)
  [ -n "$(grep -x hostapd <<<"$depends")" ] || fail "$(basename "$deb") does not depend on hostapd"
  while read -r file; do
    file "$root/$file" | grep -q 'ELF' || continue
    listing=$(/lib64/ld-linux-x86-64.so.2 --library-path "$private" --list "$root/$file") ||
      fail "$file cannot be loaded"
    grep -q 'not found' <<<"$listing" && fail "$file: $(grep 'not found' <<<"$listing")"
    for lib in $(readelf -d "$root/$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
      # "name => path (address)", or the loader as "path (address)".
      resolved=$(awk -v l="$lib" '$1 == l {print $3} $1 ~ "/" l "$" {print $1}' <<<"$listing")
      case "$resolved" in "$private"/*) continue ;; esac
      owner=$(dpkg -S "$resolved" 2>/dev/null || dpkg -S "$(readlink -f "$resolved")" 2>/dev/null ||
        dpkg -S "${resolved#/usr}" 2>/dev/null || true)
      owner=${owner%%:*}
      [ -n "$owner" ] || fail "$file: no package ships $resolved"
      grep -qx "$owner" <<<"$depends" || fail "$(basename "$deb"): $file needs $lib from $owner, not in Depends"
    done
  done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./||; /\/$/d')
done
# apt resolves every dependency of both packages (skipped without package lists).
if compgen -G "/var/lib/apt/lists/*_Packages*" >/dev/null; then
  apt-get install --simulate --no-install-recommends "./$server" "./$window" >build/apt-simulate.log 2>&1 ||
    { tail -n 20 build/apt-simulate.log >&2; fail "apt cannot install the packages"; }
else
  echo "no apt package lists: installability not simulated"
fi

echo "== the installed lumari-hotspot --help"
help=$(/lib64/ld-linux-x86-64.so.2 --library-path "$private" "$root/usr/sbin/lumari-hotspot" --help)
grep -q '^Usage:' <<<"$help" && grep -q -- '--state-dir DIR' <<<"$help" ||
  fail "lumari-hotspot --help printed: $help"
echo "debian packages checked in $((SECONDS - started)) s"
