#!/usr/bin/env bash
# usage: install_layout.sh BUILD_DIR
# Installs the build into a scratch prefix and checks the desktop integration:
# the program, its launcher, icon and the project file type.
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/vistrel share/applications/vistrel.desktop \
         share/icons/hicolor/48x48/apps/vistrel.png share/mime/packages/vistrel.xml; do
    [ -e "$prefix/$f" ] || { echo "FAIL: $f was not installed"; exit 1; }
done
[ -x "$prefix/bin/vistrel" ] || { echo "FAIL: bin/vistrel is not executable"; exit 1; }

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/vistrel.desktop"
fi
# The file manager starts the program with the files to show, for every
# format the decoders read.
launcher=$prefix/share/applications/vistrel.desktop
grep -q '^Exec=vistrel %F$' "$launcher" || { echo "FAIL: the launcher takes no files"; exit 1; }
for type in image/bmp image/png image/jpeg image/tiff image/x-tga image/x-pict image/x-eps \
            image/gif image/webp image/heic image/heif image/avif image/jxl \
            application/x-vistrel-project; do
    grep -q "^MimeType=.*$type;" "$launcher" || { echo "FAIL: the launcher lacks $type"; exit 1; }
done
# The mime entry must parse and give .vrp files their type.
if command -v update-mime-database >/dev/null; then
    update-mime-database "$prefix/share/mime" >/dev/null
    grep -q 'application/x-vistrel-project' "$prefix/share/mime/globs2" \
        || { echo "FAIL: .vrp files have no type"; exit 1; }
    grep -q '\*\.vrp' "$prefix/share/mime/globs2" || { echo "FAIL: no *.vrp glob"; exit 1; }
fi
echo "PASS"
