#!/usr/bin/env bash
# What a packager ships, checked with the real tools: installs a build into a staging folder,
# validates the desktop entry, AppStream data, MIME type and manual pages, runs the installed
# programs from there (the browser plugin must load from the installed place), then builds the
# Debian package, checks its description, installs it with apt (which must leave the default
# program for plain text alone), runs it and removes it again.
# Usage: scripts/ci-package.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
export QT_QPA_PLATFORM=offscreen
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
fail() { echo "ci-package: $*" >&2; exit 1; }

echo "== staged install"
DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null
root="$stage/usr"
app_id=example.brackenway.Veldrin
for f in bin/veldrin bin/veldrin-brx share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml \
         share/mime/packages/veldrin.xml share/man/man1/veldrin.1 share/man/man1/veldrin-brx.1 \
         share/icons/hicolor/scalable/apps/veldrin.svg; do
  [ -e "$root/$f" ] || fail "missing from the install: $f"
done
for size in 16 22 24 32 48 64 128 256; do
  png="$root/share/icons/hicolor/${size}x${size}/apps/veldrin.png"
  [ -e "$png" ] || fail "missing icon: $png"
  file -b "$png" | grep -q "PNG image data, $size x $size" || fail "$png is not a ${size}x${size} PNG"
done
plugin=$(find "$root/lib" -name 'veldrin_webview*.so' | head -n1)
[ -n "$plugin" ] || fail "the web view plugin was not installed under lib/"

echo "== desktop entry, AppStream data, MIME type, manual pages"
desktop-file-validate "$root/share/applications/$app_id.desktop"
appstreamcli validate --no-net "$root/share/metainfo/$app_id.metainfo.xml"
grep -q '^Exec=veldrin %F$' "$root/share/applications/$app_id.desktop" || fail "desktop entry: Exec is not 'veldrin %F'"
# Any other type listed here can make Veldrin the default program for it (plain text, pictures).
grep -qx 'MimeType=application/x-veldrin-brx;' "$root/share/applications/$app_id.desktop" \
  || fail "desktop entry: MimeType must name application/x-veldrin-brx alone"
# The MIME database compiler is the judge of the type definition; the result must map *.brx.
XDG_DATA_DIRS="$root/share" update-mime-database "$root/share/mime"
grep -q 'application/x-veldrin-brx:\*\.brx' "$root/share/mime/globs" || fail "*.brx is not mapped to its type"
for page in veldrin veldrin-brx; do
  warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$root/share/man/man1/$page.1" 2>&1)
  [ -z "$warnings" ] || fail "$page.1: $warnings"
done

echo "== installed programs, run from the staging folder"
"$root/bin/veldrin" --version
"$root/bin/veldrin-brx" --help >/dev/null
loaded=$(env -u VELDRIN_WEBVIEW_PLUGIN "$root/bin/veldrin" --check-web-plugin) || fail "the web view plugin does not load"
[ "$loaded" = "$(readlink -f "$plugin")" ] || fail "the web view plugin loaded from $loaded, not from the install ($plugin)"
echo "web view plugin: $loaded"
# Asked on a machine without a display, the answer must come from the exit status, not an abort.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u VELDRIN_WEBVIEW_PLUGIN "$root/bin/veldrin" --check-web-plugin >/dev/null \
  || fail "--check-web-plugin fails without a display"

echo "== Debian package"
rm -f "$build"/veldrin_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/veldrin_*.deb)
dpkg-deb --field "$deb" Package Version Depends
dpkg-deb --field "$deb" Depends | grep -q 'libqt6widgets6' || fail "the package does not depend on Qt's widgets"
# Continuation lines of the description start with one space; anything else is a build slip.
description=$(dpkg-deb --field "$deb" Description)
printf '%s\n' "$description"
if printf '%s\n' "$description" | tail -n +2 | grep -qv '^ [^ ;]'; then
  fail "the package description has a malformed continuation line"
fi
text_default_before=$(xdg-mime query default text/plain 2>/dev/null || true)
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "$deb" >/dev/null
trap 'DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get remove -y -qq veldrin >/dev/null || true; rm -rf "$stage"' EXIT
[ "$(command -v veldrin)" = /usr/bin/veldrin ] || fail "the package did not put veldrin in /usr/bin"
/usr/bin/veldrin --version
loaded=$(env -u VELDRIN_WEBVIEW_PLUGIN /usr/bin/veldrin --check-web-plugin) || fail "the packaged web view plugin does not load"
case "$loaded" in /usr/lib/*) ;; *) fail "the packaged veldrin loaded its plugin from $loaded" ;; esac
/usr/bin/veldrin-brx --version
text_default_after=$(xdg-mime query default text/plain 2>/dev/null || true)
[ "$text_default_after" = "$text_default_before" ] \
  || fail "installing the package changed the default for text/plain: '$text_default_before' -> '$text_default_after'"
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get remove -y -qq veldrin >/dev/null
trap 'rm -rf "$stage"' EXIT
[ ! -e /usr/bin/veldrin ] || fail "apt-get remove left /usr/bin/veldrin behind"
echo "ci-package: all checks passed"
