#!/bin/sh
# Builds the Debian package from a built tree with CPack and checks it: the
# files in their places and nothing of the build, the control fields and
# dependencies apt knows, the desktop entry, metainfo and icon, and that the
# packaged meterctl runs.   deb_package.sh BUILD_DIR [CPACK]
set -eu
build=$1
app=org.meterclient.MeterClient
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT INT TERM
fail() { echo "deb_package: $*" >&2; exit 1; }

export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}"
(cd "$build" && "${2:-cpack}" -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$out"/*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack made no .deb"

dpkg-deb -c "$deb" | awk '{print $NF}' >"$out/contents"
icons=./usr/share/icons/hicolor
for path in ./usr/bin/meterclient ./usr/bin/meterctl ./usr/bin/meter-sim ./usr/share/applications/$app.desktop \
    ./usr/share/metainfo/$app.metainfo.xml $icons/scalable/apps/$app.svg $icons/16x16/apps/$app.png \
    $icons/48x48/apps/$app.png $icons/256x256/apps/$app.png; do
    grep -qx "$path" "$out/contents" || fail "missing $path"
done
if grep -E '\.a$|/include/|tst_' "$out/contents" >&2; then fail "build files in the package"; fi

[ "$(dpkg-deb -f "$deb" Package)" = meterclient ] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
for pkg in libqt6widgets6 libqt6serialport6 libqt6svg6 qt6-qpa-plugins libgsf-1-114 fonts-wqy-microhei; do
    echo "$depends" | grep -q "$pkg" || fail "Depends lacks $pkg: $depends"
done
for pkg in $(echo "$depends" | tr ',' '\n' | sed 's/(.*)//; s/ //g'); do
    apt-cache show "$pkg" >/dev/null 2>&1 || fail "apt does not know the dependency $pkg"
done

dpkg-deb -x "$deb" "$out/root"
desktop="$out/root/usr/share/applications/$app.desktop"
grep -q '^Name\[zh_CN\]=..*' "$desktop" || fail "the desktop entry has no Chinese name"
grep -q '^Exec=meterclient$' "$desktop" || fail "the desktop entry does not start meterclient"
grep -q "^Icon=$app\$" "$desktop" || fail "the desktop entry names another icon"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop" || fail "desktop entry"; fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$out/root/usr/share/metainfo/$app.metainfo.xml" >/dev/null || fail "metainfo"
fi
# The 48-pixel icon is a 48x48 PNG (signature, then width and height in bytes 16..23).
png="$out/root/$icons/48x48/apps/$app.png"
[ "$(od -An -tx1 -j1 -N3 "$png" | tr -d ' \n')" = 504e47 ] || fail "48x48 icon is no PNG"
[ "$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')" = 0000003000000030 ] || fail "48x48 icon is not 48x48"
"$out/root/usr/bin/meterctl" --version | grep -q '^meterctl ' || fail "packaged meterctl does not run"
echo "deb_package: $(basename "$deb") ok"
