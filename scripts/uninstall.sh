#!/usr/bin/env bash
# Takes away what scripts/install.sh put in place: the program, its prompt and letter
# clips, the help, the desktop launcher with its icon and AppStream description. The lessons (with their
# recordings) and the players' records stay, unless --purge is given.
#
#   scripts/uninstall.sh [--prefix DIR] [--purge]
#
#   --prefix DIR  the folder given to install.sh (default: ${XDG_DATA_HOME:-~/.local/share}/lexorin)
#   --purge       also delete the lessons, recordings and players: the whole folder
set -euo pipefail

data_home=${XDG_DATA_HOME:-$HOME/.local/share}
prefix=$data_home/lexorin
purge=0
while (($#)); do
    case $1 in
    --prefix) prefix=$2; shift 2 ;;
    --purge) purge=1; shift ;;
    -h | --help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "uninstall.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
    esac
done
[[ $prefix == /* ]] || prefix=$PWD/$prefix
prefix=${prefix%/}
marker=.lexorin-install
app_id=$(<"$(dirname "$0")/../content/app-id")

launcher=$data_home/applications/$app_id.desktop
icon=$data_home/icons/hicolor/256x256/apps/$app_id.png
metainfo=$data_home/metainfo/$app_id.metainfo.xml
# The launcher, icon and description belong to this install when the launcher starts this prefix's
# program (or there is no launcher any more).
if [[ -f $launcher ]] && grep -qxF "TryExec=${prefix//\\/\\\\}/lexorin" "$launcher"; then
    rm -f "$launcher" "$icon" "$metainfo"
    command -v update-desktop-database >/dev/null && update-desktop-database -q "$data_home/applications" 2>/dev/null || true
elif [[ ! -f $launcher ]]; then
    rm -f "$icon" "$metainfo"
fi

if [[ ! -e $prefix/$marker ]]; then
    if [[ -e $prefix ]]; then
        echo "uninstall.sh: $prefix was not made by install.sh; left alone" >&2
        exit 1
    fi
    echo "Nothing installed in $prefix."
    exit 0
fi

if ((purge)); then
    case $prefix in
    / | "$HOME" | "$data_home") echo "uninstall.sh: refusing to purge $prefix" >&2; exit 1 ;;
    esac
    rm -rf -- "$prefix"
    echo "Removed Lexorin with all its lessons and players from $prefix."
    exit 0
fi

rm -rf -- "$prefix/lexorin" "$prefix/Alpha" "$prefix/LexorinHelp.mht" \
    "$prefix/.lexorin.new" "$prefix/.LexorinHelp.mht.new" "$prefix/.Alpha.new" "$prefix/.Alpha.old"
rmdir "$prefix/Children" 2>/dev/null || true
kept=$(find "$prefix" -mindepth 1 -maxdepth 1 ! -name "$marker" -printf '%f, ' | sed 's/, $//')
if [[ -z $kept ]]; then
    rm -f -- "$prefix/$marker"
    rmdir -- "$prefix"
    echo "Removed Lexorin from $prefix."
else
    echo "Removed the Lexorin program. Kept in $prefix: $kept"
    echo "(scripts/uninstall.sh --purge deletes them too.)"
fi
