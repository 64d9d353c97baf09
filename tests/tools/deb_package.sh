#!/bin/sh
# Builds the Debian package from a built tree with CPack and checks it: the
# files in their places and nothing of the build, the control fields and
# dependencies apt knows, the desktop entry, metainfo and icon, the copyright
# and changelog, the manual pages, no run path in the programs, that the
# packaged programs run, and lintian's verdict.   deb_package.sh BUILD_DIR [CPACK]
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
doc=./usr/share/doc/meterclient
man=./usr/share/man/man1
for path in ./usr/bin/meterclient ./usr/bin/meterctl ./usr/bin/meter-sim ./usr/share/applications/$app.desktop \
    ./usr/share/metainfo/$app.metainfo.xml $icons/scalable/apps/$app.svg $icons/16x16/apps/$app.png \
    $icons/48x48/apps/$app.png $icons/256x256/apps/$app.png $doc/copyright $doc/changelog.gz \
    $man/meterclient.1.gz $man/meterctl.1.gz $man/meter-sim.1.gz ./usr/share/bash-completion/completions/meterctl; do
    grep -qx "$path" "$out/contents" || fail "missing $path"
done
if grep -E '\.a$|/include/|tst_' "$out/contents" >&2; then fail "build files in the package"; fi

[ "$(dpkg-deb -f "$deb" Package)" = meterclient ] || fail "package name"
version=$(dpkg-deb -f "$deb" Version)
# The libraries' packages come from dpkg-shlibdeps, with versions; the
# plugins and the font are named by hand.
depends=$(dpkg-deb -f "$deb" Depends)
for pkg in libqt6widgets6 libqt6serialport6 libgsf-1-114; do
    echo "$depends" | grep -q "$pkg (>= " || fail "Depends lacks a versioned $pkg: $depends"
done
for pkg in qt6-qpa-plugins fonts-wqy-microhei; do
    echo "$depends" | grep -q "$pkg" || fail "Depends lacks $pkg: $depends"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
for pkg in qt6-wayland qt6-translations-l10n; do
    echo "$recommends" | grep -q "$pkg" || fail "Recommends lacks $pkg: $recommends"
done
for pkg in $(printf '%s,%s' "$depends" "$recommends" | tr ',|' '\n\n' | sed 's/(.*)//; s/ //g'); do
    apt-cache show "$pkg" >/dev/null 2>&1 || fail "apt does not know the dependency $pkg"
done

root=$out/root
dpkg-deb -x "$deb" "$root"
desktop="$root/usr/share/applications/$app.desktop"
grep -q '^Name\[zh_CN\]=..*' "$desktop" || fail "the desktop entry has no Chinese name"
grep -q '^Exec=meterclient %f$' "$desktop" || fail "the desktop entry does not start meterclient with the file"
grep -q '^MimeType=application/vnd.ms-excel;$' "$desktop" || fail "the desktop entry does not open .xls reports"
grep -q "^Icon=$app\$" "$desktop" || fail "the desktop entry names another icon"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop" || fail "desktop entry"; fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$root/usr/share/metainfo/$app.metainfo.xml" >/dev/null || fail "metainfo"
fi
# The 48-pixel icon is a 48x48 PNG (signature, then width and height in bytes 16..23).
png="$root/$icons/48x48/apps/$app.png"
[ "$(od -An -tx1 -j1 -N3 "$png" | tr -d ' \n')" = 504e47 ] || fail "48x48 icon is no PNG"
[ "$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')" = 0000003000000030 ] || fail "48x48 icon is not 48x48"

# Copyright in Debian's machine-readable form; the changelog gzipped without
# name and time (byte 3 flags, bytes 4..7 time: all zero) and naming this version.
head -n 1 "$root/$doc/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "copyright is not in the machine-readable form"
[ "$(od -An -tx1 -j3 -N5 "$root/$doc/changelog.gz" | tr -d ' \n')" = 0000000000 ] ||
    fail "changelog.gz carries a name or a time stamp"
gzip -dc "$root/$doc/changelog.gz" | head -n 1 | grep -q "^meterclient ($version) " ||
    fail "the changelog's first entry is not version $version"

# The manual pages render without a warning, through man as a reader
# opens them and through groff with every warning on.
for page in meterclient meterctl meter-sim; do
    file=$root/$man/$page.1.gz
    if command -v man >/dev/null; then
        warnings=$(MANROFFSEQ='' MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "man $page: $warnings"
    fi
    if command -v groff >/dev/null; then
        warnings=$(gzip -dc "$file" | groff -ww -man -z 2>&1)
        [ -z "$warnings" ] || fail "groff $page: $warnings"
    fi
done
command -v man >/dev/null || echo "deb_package: man is not installed; the manual pages were not rendered by man"

# No run path in the programs: they find their libraries where the system keeps them.
if command -v readelf >/dev/null; then
    for program in meterclient meterctl meter-sim; do
        if readelf -d "$root/usr/bin/$program" | grep -E 'RPATH|RUNPATH' >&2; then fail "$program has a run path"; fi
    done
fi

# The packaged programs run and give the package's version, without a display.
for program in meterclient meterctl meter-sim; do
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" --version | grep -qx "$program $version" ||
        fail "packaged $program --version does not give $version"
done

# lintian: no error and no warning. Informational tags are listed, and those
# HACKING.md explains are expected.
if command -v lintian >/dev/null; then
    status=0
    lintian --fail-on error,warning --display-info --tag-display-limit 0 "$deb" >"$out/lintian.log" 2>&1 || status=$?
    grep -E '^[EWI]: ' "$out/lintian.log" >&2 || true
    [ "$status" -eq 0 ] || { cat "$out/lintian.log" >&2; fail "lintian gives errors or warnings (exit $status)"; }
else
    echo "deb_package: lintian is not installed (scripts/setup test installs it); lintian's check skipped"
fi
echo "deb_package: $(basename "$deb") ok"
