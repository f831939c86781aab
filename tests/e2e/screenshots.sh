#!/bin/sh
# Screenshots of Horalog as a user sees it: the main window, its menus and the
# tray popup, taken from the X display into a folder (not a test; look at them).
#
#   scripts/with-wine --xvfb --prefix build/wineprefix-h6 \
#     tests/e2e/screenshots.sh build/h6-win32 /tmp/horalog-shots
set -eu
build=$1
out=${2:-/tmp/horalog-shots}
mkdir -p "$out"
work=$(mktemp -d)
cp "$build/Horalog.exe" "$work/"
# A journal of a few records for the database view: Start and Stop pairs on 3 March 2003.
python3 - "$work/hl.dat" <<'PY'
import struct, sys
with open(sys.argv[1], "wb") as f:
    for i, t in enumerate([37683.30, 37683.50, 37683.55, 37683.75, 37684.31, 37684.70]):
        f.write(struct.pack("<iBd", 0, i % 2, t) + bytes(128))
PY
wine "$work/Horalog.exe" &
program=$!
tour() { wine "$build/horalog_e2e.exe" --tour "$@"; }
shot() { sleep 1; import -window root "$out/$1.png"; echo "$out/$1.png"; }

tour wait
sleep 2
shot start
tour show; shot main
tour menu f; shot menu-file; tour esc
tour menu t; shot menu-tools; tour esc
tour menu h; shot menu-help; tour esc
tour tray; shot tray-popup; tour esc
# The database view and its editor, by keyboard.
tour show; tour menu t; tour item v; shot dbview
tour key ins; shot action-editor; tour key esc
tour key esc; shot dbview-hidden
tour menu t; tour item r; shot report-dates
tour key 13; sleep 2; shot report-window
tour key 27
tour close
wait "$program" || true
rm -rf "$work"
