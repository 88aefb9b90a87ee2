#!/bin/sh
# Makes the Debian package from the build, unpacks it into a temporary root and checks it
# there: the files it holds, the desktop entry, the metainfo and lintian; the module types
# and the entry that opens them; the converter on the demo tune, in the standard header,
# played by libgme; the program started as its desktop entry starts it, with a module.
set -eu
build="$1"
root=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$root" "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -B "$work" >/dev/null) || fail "cpack made no package"
deb=$(ls "$work"/orvex_*_*.deb)
dpkg-deb -x "$deb" "$root"
expected="usr/bin/orvex usr/bin/orvex-convert usr/lib/orvex/liborvex-latin-ascii.so usr/lib/orvex/liborvex-sndfile.so usr/share/applications/org.orvex.Orvex.desktop
usr/share/doc/orvex/changelog.gz usr/share/doc/orvex/copyright usr/share/icons/hicolor/32x32/apps/orvex.png
usr/share/man/man1/orvex-convert.1.gz usr/share/man/man1/orvex.1.gz usr/share/metainfo/org.orvex.Orvex.metainfo.xml
usr/share/mime/packages/orvex-modules.xml
usr/share/orvex/atari.bmp usr/share/orvex/atariback.bmp usr/share/orvex/atarimir.bmp usr/share/orvex/atarimirback.bmp
usr/share/orvex/atarirainbow.bmp usr/share/orvex/demo/orvex-demo.com usr/share/orvex/players/README.txt"
held=$(cd "$root" && find . -type f | sed 's|^\./||' | sort)
[ "$held" = "$(printf '%s\n' $expected | sort)" ] || fail "the package holds: $held"
desktop="$root/usr/share/applications/org.orvex.Orvex.desktop"
desktop-file-validate "$desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.orvex.Orvex.metainfo.xml" >/dev/null || fail "metainfo"
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian: $(lintian "$deb" 2>&1)"

# Installed as the package's triggers install it, the module types are known by their
# extensions in any case, and the desktop entry is the one that opens them, with the file.
update-mime-database "$root/usr/share/mime" || fail "update-mime-database"
update-desktop-database "$root/usr/share/applications" || fail "update-desktop-database"
export XDG_DATA_HOME="$work/data" XDG_DATA_DIRS="$root/usr/share:/usr/share" XDG_CONFIG_HOME="$work/config"
unset XDG_CURRENT_DESKTOP
for file in song.cmc:audio/x-orvex-cmc SONG.TM8:audio/x-orvex-tm8; do
    printf '\377\377' > "$work/${file%%:*}"
    type=$(xdg-mime query filetype "$work/${file%%:*}")
    [ "$type" = "${file#*:}" ] || fail "${file%%:*} is of the type '$type'"
    [ "$(xdg-mime query default "$type")" = org.orvex.Orvex.desktop ] || fail "no desktop entry opens $type"
done
grep -q '^Exec=.*/orvex %f$' "$desktop" || fail "the desktop entry does not pass the file"

# The unpacked converter, with its own player folder, converts the demo tune, which plays.
cp "$root/usr/share/orvex/demo/orvex-demo.com" "$work/"
# The standard header's ASCII forms and the encoders come from the modules that it loads
# from the package.
"$root/usr/bin/orvex-convert" --check --standard-header --audio flac -n "Orvex Démo" "$work/orvex-demo.com" 2>/dev/null \
    || fail "the demo tune"
grep -aq '^NAME "Orvex Demo"' "$work/orvex-demo.SAP" || fail "orvex-demo.SAP has no NAME \"Orvex Demo\""
flac -t -s "$work/orvex-demo.flac" || fail "orvex-demo.flac"

# The unpacked program starts where its desktop entry starts it and runs until stopped.
status=0
(cd "$root$(sed -n 's/^Path=//p' "$desktop")" && QT_QPA_PLATFORM=offscreen timeout 5 "$root$(sed -n 's/^Exec=\(.*\) %f$/\1/p' "$desktop")" "$work/song.cmc") \
    || status=$?
[ "$status" -eq 124 ] || fail "orvex ended by itself with status $status"
echo "package: files, desktop entry, metainfo, lintian, module types, converter and program"
