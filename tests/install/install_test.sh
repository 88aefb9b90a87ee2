#!/bin/sh
# Installs the build into a temporary prefix and uses the installed programs:
# orvex-convert converts the demo tune, and orvex starts in the folder that the
# desktop entry names and keeps running.
set -eu
build="$1"
prefix=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$prefix" "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/orvex bin/orvex-convert share/orvex/players/README.txt share/orvex/demo/orvex-demo.com \
            share/orvex/atarirainbow.bmp share/orvex/atari.bmp share/orvex/atariback.bmp \
            share/orvex/atarimir.bmp share/orvex/atarimirback.bmp \
            share/icons/hicolor/32x32/apps/orvex.png share/applications/orvex.desktop; do
    [ -f "$prefix/$file" ] || fail "$file was not installed"
done
grep -q "mpt_0500.plr" "$prefix/share/orvex/players/README.txt" || fail "the player note does not name the players"
grep -qx "Exec=$prefix/bin/orvex" "$prefix/share/applications/orvex.desktop" || fail "desktop entry: Exec"
grep -qx "Path=$prefix/share/orvex" "$prefix/share/applications/orvex.desktop" || fail "desktop entry: Path"
grep -qx "Icon=orvex" "$prefix/share/applications/orvex.desktop" || fail "desktop entry: Icon"

# The installed converter, with its own player folder, converts the demo tune, which
# plays in libgme.
cp "$prefix/share/orvex/demo/orvex-demo.com" "$work/"
"$prefix/bin/orvex-convert" --check -n "Orvex Demo" "$work/orvex-demo.com" || fail "the demo tune does not convert or play"
head -c 4 "$work/orvex-demo.SAP" | grep -q "^SAP" || fail "orvex-demo.SAP is no SAP file"

# The installed program starts where the desktop entry starts it and runs until stopped.
status=0
(cd "$prefix/share/orvex" && QT_QPA_PLATFORM=offscreen timeout 5 "$prefix/bin/orvex") || status=$?
[ "$status" -eq 124 ] || fail "orvex ended by itself with status $status"
echo "installed layout, converter and program work"
