#!/usr/bin/env bash
# Install for everyday use, in a scratch home: the layout, the launcher and icon, a
# reinstall over the user's lessons, recordings and players, an uninstall that keeps
# them, a purge; and the refusals that protect folders that are not the tutor's.
#   test_install.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: test_install.sh BUILD_DIR}" && pwd)
repo=$(cd "$(dirname "$0")/../.." && pwd)
install=$repo/scripts/install.sh
uninstall=$repo/scripts/uninstall.sh
from=$build/tutor
app_id=$(<"$repo/content/app-id")

scratch=$(mktemp -d "${TMPDIR:-/tmp}/lexorin-install-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export HOME=$scratch/home
unset XDG_DATA_HOME
mkdir -p "$HOME"

failures=0
check() { # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
same() { cmp -s "$1" "$2"; }
absent() { [[ ! -e $1 ]]; }
png_size() { /usr/bin/python3 -c '
import struct, sys
d = open(sys.argv[1], "rb").read(24)
assert d[:8] == b"\x89PNG\r\n\x1a\n" and d[12:16] == b"IHDR"
print("%dx%d" % struct.unpack(">II", d[16:24]))' "$1"; }
# The program path a launcher's Exec starts, undoing the format's two levels of escaping.
exec_path() { /usr/bin/python3 -c '
import sys, re
line = [l for l in open(sys.argv[1], encoding="utf-8") if l.startswith("Exec=")][0][5:].rstrip("\n")
line = re.sub(r"\\(.)", lambda m: {"s": " ", "n": "\n", "t": "\t", "r": "\r"}.get(m.group(1), m.group(1)), line)
assert line.startswith("\"") and line.endswith("\""), line
print(re.sub(r"\\([\"`$\\])", r"\1", line[1:-1]).replace("%%", "%"))' "$1"; }
# The installed tutor starts and keeps running (no display: offscreen, no sound server: virtual).
runs() {
    local status=0
    (cd / && QT_QPA_PLATFORM=offscreen LEXORIN_AUDIO=virtual timeout -s TERM 4 "$1" >/dev/null 2>&1) || status=$?
    [[ $status -eq 124 ]]
}

sample=""
for d in "$from"/*/; do
    d=$(basename "$d")
    [[ $d == Alpha || $d == Children ]] || sample=$d
done
[[ -n $sample ]] || { echo "FAIL the build has no sample lesson in $from"; exit 1; }
first_word=$(cd "$from/$sample" && ls | head -n1)
data=$HOME/.local/share
prefix=$data/lexorin
launcher=$data/applications/$app_id.desktop
icon=$data/icons/hicolor/256x256/apps/$app_id.png
metainfo=$data/metainfo/$app_id.metainfo.xml

echo "--- first install, default place"
"$install" --build-dir "$build" --no-build >"$scratch/log" 2>&1 || { cat "$scratch/log"; exit 1; }
check "the program is installed" same "$from/lexorin" "$prefix/lexorin"
check "the program is executable" test -x "$prefix/lexorin"
check "the prompt and letter clips are installed" diff -r "$from/Alpha" "$prefix/Alpha"
check "the help is installed" same "$from/LexorinHelp.mht" "$prefix/LexorinHelp.mht"
check "the sample lesson \"$sample\" is installed" diff -r "$from/$sample" "$prefix/$sample"
check "the players' folder is there and empty" test -d "$prefix/Children" -a -z "$(ls -A "$prefix/Children")"
check "nothing else the tutor would list as a lesson" test -z "$(cd "$prefix" && ls | grep -vxF -e lexorin -e Alpha -e Children -e LexorinHelp.mht -e "$sample")"
check "the launcher is in place" test -f "$launcher"
if command -v desktop-file-validate >/dev/null; then
    check "the launcher is a valid desktop entry" desktop-file-validate "$launcher"
else
    echo "note desktop-file-validate missing (package desktop-file-utils): launcher not validated"
fi
check "the launcher starts the installed program" test "$(exec_path "$launcher")" = "$prefix/lexorin"
check "the launcher names the icon" grep -qx "Icon=$app_id" "$launcher"
check "the icon is a 256x256 PNG" test "$(png_size "$icon")" = 256x256
check "the AppStream description is installed" same "$build/content/$app_id.metainfo.xml" "$metainfo"
check "it names the launcher" grep -qF "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo"
check "its release is the program's version" grep -qF "<release version=\"$("$from/lexorin" --version | cut -d' ' -f2)\"" "$metainfo"
check "it names the licence" grep -qF '<project_license>GPL-3.0-or-later</project_license>' "$metainfo"
if command -v appstreamcli >/dev/null; then
    valid_metainfo() { appstreamcli validate --no-net "$1" >"$scratch/log" 2>&1 || { cat "$scratch/log"; false; }; }
    check "the AppStream description is valid" valid_metainfo "$metainfo"
else
    echo "note appstreamcli missing (package appstream): AppStream description not validated"
fi
check "the installed tutor runs from its own folder" runs "$prefix/lexorin"

echo "--- the user's own content, then a reinstall"
mkdir -p "$prefix/My Words"
cp "$from/Alpha/A.wav" "$prefix/My Words/ANT.wav"
cp "$from/Alpha/B.wav" "$prefix/$sample/$first_word" # the parent re-recorded a sample word
printf '<CHILD name="Ann"><My_Words><ANT word="ANT" trys="3" correct="2"/></My_Words></CHILD>' >"$prefix/Children/Ann.xml"
cp -r "$prefix/My Words" "$prefix/$sample" "$prefix/Children" "$scratch/"
echo stale >"$prefix/Alpha/old.wav"
echo damaged >"$prefix/Alpha/A.wav"
echo damaged >"$prefix/LexorinHelp.mht"
"$install" --build-dir "$build" --no-build >"$scratch/log" 2>&1 || { cat "$scratch/log"; exit 1; }
check "the user's lesson is kept" diff -r "$scratch/My Words" "$prefix/My Words"
check "the user's recording in the sample lesson is kept" diff -r "$scratch/$sample" "$prefix/$sample"
check "the players' records are kept" diff -r "$scratch/Children" "$prefix/Children"
check "the prompt and letter clips are refreshed" diff -r "$from/Alpha" "$prefix/Alpha"
check "the help is refreshed" same "$from/LexorinHelp.mht" "$prefix/LexorinHelp.mht"
check "no half-installed leftovers" test -z "$(cd "$prefix" && ls -A | grep -F .new)"

rm -rf "${prefix:?}/$sample"
"$install" --build-dir "$build" --no-build >"$scratch/log" 2>&1 || { cat "$scratch/log"; exit 1; }
check "a removed sample lesson comes back on reinstall" diff -r "$from/$sample" "$prefix/$sample"
cp -r "$scratch/$sample/." "$prefix/$sample/"

echo "--- uninstall"
"$uninstall" >"$scratch/log" 2>&1 || { cat "$scratch/log"; exit 1; }
check "the program is gone" absent "$prefix/lexorin"
check "the clips are gone" absent "$prefix/Alpha"
check "the help is gone" absent "$prefix/LexorinHelp.mht"
check "the launcher is gone" absent "$launcher"
check "the icon is gone" absent "$icon"
check "the AppStream description is gone" absent "$metainfo"
check "the user's lesson stays" diff -r "$scratch/My Words" "$prefix/My Words"
check "the sample lesson with the user's recording stays" diff -r "$scratch/$sample" "$prefix/$sample"
check "the players' records stay" diff -r "$scratch/Children" "$prefix/Children"

echo "--- install again over the kept content, then purge"
"$install" --build-dir "$build" --no-build >"$scratch/log" 2>&1 || { cat "$scratch/log"; exit 1; }
check "reinstalled over kept content, records intact" diff -r "$scratch/Children" "$prefix/Children"
"$uninstall" --purge >"$scratch/log" 2>&1 || { cat "$scratch/log"; exit 1; }
check "purge removes the folder" absent "$prefix"
check "purge removes the launcher" absent "$launcher"
check "purge leaves the rest of the data folder" test -d "$data/applications"

echo "--- a folder that is not the tutor's"
mkdir -p "$HOME/Documents"
echo mine >"$HOME/Documents/letter.txt"
check "install refuses a folder holding other files" bash -c '! "$0" --prefix "$1" --build-dir "$2" --no-build >/dev/null 2>&1' "$install" "$HOME/Documents" "$build"
check "uninstall --purge refuses it too" bash -c '! "$0" --prefix "$1" --purge >/dev/null 2>&1' "$uninstall" "$HOME/Documents"
check "and the folder is untouched" test "$(cat "$HOME/Documents/letter.txt")" = mine

echo "--- the lessons folder an installed tutor made for this user takes the program beside it"
mkdir -p "$prefix/Children" "$prefix/$sample"
cp -r "$from/$sample/." "$prefix/$sample/"
"$install" --build-dir "$build" --no-build >"$scratch/log" 2>&1 || { cat "$scratch/log"; exit 1; }
check "installed beside the tutor's own lessons folder" same "$from/lexorin" "$prefix/lexorin"
check "its lesson is kept" diff -r "$from/$sample" "$prefix/$sample"
"$uninstall" --purge >/dev/null 2>&1

echo "--- a chosen place with awkward characters, XDG_DATA_HOME set"
export XDG_DATA_HOME=$scratch/xdg
odd="$scratch/Kids' \$tuff & 100% \"fun\"/lexorin"
"$install" --prefix "$odd" --build-dir "$build" --no-build >"$scratch/log" 2>&1 || { cat "$scratch/log"; exit 1; }
launcher=$XDG_DATA_HOME/applications/$app_id.desktop
check "installed at the chosen place" same "$from/lexorin" "$odd/lexorin"
check "the launcher goes under XDG_DATA_HOME" test -f "$launcher"
if command -v desktop-file-validate >/dev/null; then
    check "that launcher is a valid desktop entry" desktop-file-validate "$launcher"
fi
check "its Exec starts the program at the chosen place" test "$(exec_path "$launcher")" = "$odd/lexorin"
check "the icon goes under XDG_DATA_HOME" test "$(png_size "$XDG_DATA_HOME/icons/hicolor/256x256/apps/$app_id.png")" = 256x256
check "the AppStream description goes under XDG_DATA_HOME" test -f "$XDG_DATA_HOME/metainfo/$app_id.metainfo.xml"
"$uninstall" --prefix "$odd" >"$scratch/log" 2>&1 || { cat "$scratch/log"; exit 1; }
check "uninstall at the chosen place removes the launcher" absent "$launcher"
check "and the AppStream description" absent "$XDG_DATA_HOME/metainfo/$app_id.metainfo.xml"
check "and keeps the sample lesson" test -d "$odd/$sample"
"$uninstall" --prefix "$odd" --purge >/dev/null 2>&1
check "purge at the chosen place" absent "$odd"

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all install checks passed"
