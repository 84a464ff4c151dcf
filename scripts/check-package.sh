#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the desktop integration and the Debian package of a build:
#   - the desktop entry and the AppStream metainfo validate;
#   - lintian finds no error or warning in the package, nor a sign of a build without
#     hardening or of a binary stripped short of Debian's way;
#   - the package unpacks to the expected files, and nothing outside usr/;
#   - the package's version is the one all three programs print with --version;
#   - the unpacked command line lists the pictures of the unpacked virtual microscope;
#   - the unpacked program, started from / with a fresh data folder, fills that folder
#     from the installed data, leaves the installed files alone, ends on SIGTERM with
#     status 0, and keeps the user's files on a second start.
# Usage: scripts/check-package.sh [build folder]   (after a build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"

desktop-file-validate packaging/digital-microscope.desktop
appstreamcli validate --no-net --pedantic packaging/digital-microscope.metainfo.xml

cmake --build "$build" >/dev/null  # up to date with the tree (a no-op after scripts/test.sh)

# The package's programs are fortified: every compile command asks for it.
unfortified=$(grep '"command"' "$build/compile_commands.json" | grep -vc _FORTIFY_SOURCE || true)
[ "$unfortified" -eq 0 ] || { echo "$unfortified files compiled without _FORTIFY_SOURCE" >&2; exit 1; }

(cd "$build" && rm -f digital-microscope_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/digital-microscope_*.deb)

# Run as root, lintian says so on a line of its own, which is no finding.
lint_status=0
lint=$(lintian --display-info --fail-on error,warning "$deb" 2>&1) || lint_status=$?
lint=$(grep -v "root privileges" <<<"$lint" || true)
[ -z "$lint" ] || echo "$lint"
[ "$lint_status" -eq 0 ] || { echo "lintian found errors or warnings" >&2; exit 1; }
if grep -qE "hardening-|binary-has-unneeded-section" <<<"$lint"; then
    echo "the programs lack hardening or carry sections Debian strips" >&2
    exit 1
fi
root=$(mktemp -d)
home=$(mktemp -d)
trap 'rm -rf "$root" "$home"' EXIT
dpkg-deb -x "$deb" "$root"

id=io.github.digital_microscope.DigitalMicroscope
expected=(
    usr/bin/digital-microscope
    usr/bin/digital-microscope-cli
    usr/bin/virtual-microscope
    usr/share/digital-microscope/System.ini
    usr/share/digital-microscope/System_TC.ini
    usr/share/digital-microscope/System_SC.ini
    usr/share/digital-microscope/System_JPN.ini
    usr/share/digital-microscope/System_TR.ini
    usr/share/digital-microscope/System_RUS.ini
    usr/share/digital-microscope/Connect.bmp
    usr/share/digital-microscope/Microscope.png
    usr/share/applications/$id.desktop
    usr/share/metainfo/$id.metainfo.xml
    usr/share/icons/hicolor/48x48/apps/digital-microscope.png
    usr/share/icons/hicolor/128x128/apps/digital-microscope.png
    usr/share/icons/hicolor/256x256/apps/digital-microscope.png
    usr/share/man/man1/digital-microscope.1.gz
    usr/share/man/man1/digital-microscope-cli.1.gz
    usr/share/man/man1/virtual-microscope.1.gz
    usr/share/doc/digital-microscope/copyright
    usr/share/doc/digital-microscope/changelog.gz
)
for file in "${expected[@]}"; do
    [ -f "$root/$file" ] || { echo "package lacks $file" >&2; exit 1; }
done
outside=$(cd "$root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$outside" ] || { echo "package has files outside usr/: $outside" >&2; exit 1; }
control=$(dpkg-deb -I "$deb")  # whole, before grep: grep -q would cut the pipe short
grep -q "Depends:.*libqt6widgets6" <<<"$control" || { echo "no computed dependencies" >&2; exit 1; }
grep -q "Depends:.*libexiv2" <<<"$control" || { echo "no dependency on exiv2" >&2; exit 1; }

installed_ini="$root/usr/share/digital-microscope/System.ini"
shipped=$(sha256sum "$installed_ini")
user_data="$home/data"

# Starts the unpacked program from / and ends it with SIGTERM once its data folder is
# there; fails unless it exits with status 0.
start_and_end() {
    (cd / && HOME="$home" XDG_DATA_HOME="$user_data" XDG_RUNTIME_DIR="$home" XDG_CACHE_HOME= \
        QT_QPA_PLATFORM=offscreen MICROSCOPE_PORTS= "$root/usr/bin/digital-microscope") &
    local pid=$!
    for _ in $(seq 100); do
        [ -d "$home/.cache/digital-microscope" ] && break
        sleep 0.1
    done
    sleep 0.5
    kill -TERM "$pid"
    local status=0
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || { echo "the program ended with status $status" >&2; exit 1; }
}

start_and_end
[ -f "$user_data/digital-microscope/System.ini" ] || { echo "data folder not filled" >&2; exit 1; }
[ -f "$user_data/digital-microscope/Connect.bmp" ] || { echo "data folder lacks glyphs" >&2; exit 1; }
echo "; the user's own line" >>"$user_data/digital-microscope/System.ini"
start_and_end
grep -q "the user's own line" "$user_data/digital-microscope/System.ini" ||
    { echo "the second start replaced the user's System.ini" >&2; exit 1; }
[ "$(sha256sum "$installed_ini")" = "$shipped" ] || { echo "the installed System.ini changed" >&2; exit 1; }
version=$("$root/usr/bin/digital-microscope" --version)
grep -q "^digital-microscope " <<<"$version" || { echo "--version says nothing" >&2; exit 1; }
ini_version=$(grep -m1 '^Version_Info=' "$installed_ini" | cut -d= -f2)
[ "$version" = "digital-microscope $ini_version" ] ||
    { echo "System.ini says $ini_version, --version says $version" >&2; exit 1; }
package_version=$(dpkg-deb -f "$deb" Version)
for program in digital-microscope digital-microscope-cli virtual-microscope; do
    said=$("$root/usr/bin/$program" --version)
    [ "$said" = "$program $package_version" ] ||
        { echo "the package is $package_version, $program --version says $said" >&2; exit 1; }
done

# The unpacked command line lists the pictures of the unpacked virtual microscope.
vm_log="$home/vm.log"
XDG_RUNTIME_DIR="$home" "$root/usr/bin/virtual-microscope" >"$vm_log" 2>&1 &
vm=$!
for _ in $(seq 50); do
    grep -q "^virtual-microscope: /dev/" "$vm_log" && break
    sleep 0.1
done
pts=$(sed -n 's|^virtual-microscope: \(/dev/.*\)$|\1|p' "$vm_log" | head -n 1)
listed=$("$root/usr/bin/digital-microscope-cli" --port "$pts" list | wc -l) || listed=0
kill -TERM "$vm"
wait "$vm" || true
[ "$listed" -eq 4 ] || { echo "the command line listed $listed pictures, not 4" >&2; exit 1; }
echo "package checks passed: $(basename "$deb")"
