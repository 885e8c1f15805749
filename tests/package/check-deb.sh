#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from the build tree, unpacks it into a scratch root and checks that a
# user gets the program, its menu entry, its icon, its manual page, its AppStream metadata and its
# licence, and that the package depends on the Debian libraries the program links.
#   check-deb.sh BUILD_DIR SCRATCH_DIR
set -eu
build=$1
scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch/out" "$scratch/root"
cpack --config "$build/CPackConfig.cmake" -G DEB -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip -B "$scratch/out" >"$scratch/cpack.log" 2>&1 || {
    cat "$scratch/cpack.log"
    exit 1
}
deb=$(ls "$scratch"/out/voxlane_*.deb)
dpkg-deb -x "$deb" "$scratch/root"
fail=0
check() {
    if [ ! -e "$scratch/root/$1" ]; then
        echo "missing in the package: /$1"
        fail=1
    fi
}
check usr/bin/voxlane
check usr/share/applications/io.github.voxlane.Voxlane.desktop
check usr/share/icons/hicolor/scalable/apps/io.github.voxlane.Voxlane.svg
check usr/share/icons/hicolor/symbolic/apps/io.github.voxlane.Voxlane-symbolic.svg
check usr/share/man/man1/voxlane.1
check usr/share/dbus-1/interfaces/io.github.voxlane.Voxlane1.xml
check usr/share/metainfo/io.github.voxlane.Voxlane.metainfo.xml
check usr/share/doc/voxlane/copyright
[ "$fail" = 0 ] || exit 1
[ -x "$scratch/root/usr/bin/voxlane" ] || { echo "usr/bin/voxlane is not executable"; exit 1; }
# The menu entry starts the installed program under the icon's name.
entry="$scratch/root/usr/share/applications/io.github.voxlane.Voxlane.desktop"
grep -qx 'Exec=voxlane' "$entry" || { echo "the desktop entry does not start voxlane"; exit 1; }
grep -qx 'Icon=io.github.voxlane.Voxlane' "$entry" || { echo "the desktop entry names another icon"; exit 1; }
# Software centres find the program through its metadata: the installed tree validates (the
# component launches a packaged menu entry), the component provides the packaged program, and its
# newest release is the package's version.
appstreamcli validate-tree --no-net "$scratch/root" || { echo "appstreamcli validate-tree failed"; exit 1; }
metainfo="$scratch/root/usr/share/metainfo/io.github.voxlane.Voxlane.metainfo.xml"
binary=$(sed -n 's:^ *<binary>\(.*\)</binary>$:\1:p' "$metainfo")
[ -n "$binary" ] && [ -x "$scratch/root/usr/bin/$binary" ] ||
    { echo "the metadata provides the program '$binary', which the package lacks"; exit 1; }
release=$(sed -n 's:^ *<release version="\([^"]*\)".*:\1:p' "$metainfo" | head -n 1)
[ "$release" = "$(dpkg-deb -f "$deb" Version)" ] ||
    { echo "the newest release in the metadata ($release) is not the package's version"; exit 1; }
# The licence, where Debian looks for it, and the full text every Debian system has.
copyright="$scratch/root/usr/share/doc/voxlane/copyright"
grep -qx 'License: GPL-3+' "$copyright" && grep -q '/usr/share/common-licenses/GPL-3' "$copyright" ||
    { echo "the copyright file does not give the GPL 3 or later"; exit 1; }
# The manual page documents every option.
for option in status json demo onboarding login help version; do
    grep -q -- "-\\\\-$option" "$scratch/root/usr/share/man/man1/voxlane.1" ||
        { echo "the manual page does not cover --$option"; exit 1; }
done
# The unpacked program runs.
"$scratch/root/usr/bin/voxlane" --version | grep -q '^voxlane ' ||
    { echo "the packaged voxlane does not answer --version"; exit 1; }
# The dependencies come from the linked libraries.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in libqt6widgets6 libqt6network6 libqt6dbus6 libpipewire-0.3-0 libxcb1 libsystemd0; do
    echo "$depends" | grep -q "$package" || { echo "Depends lacks $package"; exit 1; }
done
# Qt's own texts in the user's language (Voxlane's are compiled into the program).
dpkg-deb -f "$deb" Recommends | grep -q 'qt6-translations-l10n' ||
    { echo "the package does not recommend Qt's translations"; exit 1; }
[ "$(dpkg-deb -f "$deb" Package)" = voxlane ] || { echo "the package is not called voxlane"; exit 1; }
# The description is text as written (a CMake list would show its separators).
dpkg-deb -f "$deb" Description | grep -q ';' && { echo "the description has list separators in it"; exit 1; }
echo "ok: $deb"
