#!/usr/bin/env bash
# The Debian package as a parent meets it, after `make deb`: lintian finds no error or
# warning; it installs with apt; the menu entry, AppStream data and manual page validate; the
# installed command plays (installed_e2e.py), and so does a copy of its folder; the installed
# tappy-content adds photos that the installed tappy then shows and speaks (content_e2e.py);
# and a purge leaves nothing of Tappy behind. Installs through sudo
# when not root.
# A package left installed by an earlier run is purged first.
set -euo pipefail
cd "$(dirname "$0")/../.."
sudo=$([ "$(id -u)" = 0 ] || echo sudo)
apt_get() { $sudo env DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=600 "$@"; }

debs=(build-deb/tappy_*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: no single package in build-deb/"; exit 1; }
deb=${debs[0]}
echo "== $deb: $(stat -c %s "$deb") bytes"
dpkg-deb -f "$deb" Depends

lintian --fail-on error,warning "$deb"

if dpkg-query -W -f '${Status}' tappy 2>/dev/null | grep -q installed; then
    apt_get purge tappy
fi
apt_get install "./$deb"
files=$(mktemp)
own=$(mktemp -d)
trap 'rm -rf "$files" "$own"' EXIT
dpkg -L tappy >"$files"

shipped() { grep -x "$1" "$files"; }
desktop-file-validate "$(shipped '/usr/share/applications/.*\.desktop')"
appstreamcli validate --no-net "$(shipped '/usr/share/metainfo/.*\.metainfo\.xml')"
for page in tappy tappy-content; do
    man --warnings -l "$(shipped "/usr/share/man/man6/$page\\.6\\.gz")" >/dev/null
done
dpkg-deb -f "$deb" Recommends | grep -qw espeak-ng || { echo "FAIL: espeak-ng not recommended"; exit 1; }
command=$(shipped '/usr/\(games\|bin\)/tappy')
python3 tests/package/installed_e2e.py "$command"
# A parent's own photos and spoken words through the installed tool, from a fresh HOME.
python3 tests/tool/content_e2e.py --tappy "$command" --tool "$(shipped '/usr/games/tappy-content')" photos
# The manual's way to pictures of one's own: a copy of the program's folder runs from there.
cp -rL "$(dirname "$(readlink -f "$command")")" "$own/Tappy"
python3 tests/package/installed_e2e.py "$own/Tappy/tappy"

apt_get purge tappy
left=0
while read -r path; do
    [ "$path" = /. ] && continue
    [ -e "$path" ] || [ -L "$path" ] || continue
    # A shared folder (/usr/share/icons/hicolor/48x48/apps) stays when other packages' files
    # are in it or another package owns it; Tappy's own folders go whatever is in them.
    if [ -d "$path" ] && [ ! -L "$path" ] && [[ "$path" != *tappy* ]]; then
        [ -n "$(ls -A "$path")" ] && continue
        dpkg -S "$path" >/dev/null 2>&1 && continue
    fi
    echo "FAIL: left behind after the purge: $path"
    left=1
done <"$files"
if dpkg-query -W tappy >/dev/null 2>&1; then
    echo "FAIL: dpkg still knows tappy after the purge"
    left=1
fi
[ "$left" = 0 ] && echo "PASS: installed, played and purged without a trace"
exit "$left"
