#!/usr/bin/env bash
# Installs the tutor for everyday use into a folder the user can write to (lessons and
# players live beside the program), with a desktop launcher and icon. The default folder
# is the one an installed package's tutor uses for this user, so both see the same lessons;
# the launcher has the package's name and stands in front of the package's.
#
#   scripts/install.sh [--prefix DIR] [--build-dir DIR] [--no-build]
#
#   --prefix DIR     where the tutor goes (default: ${XDG_DATA_HOME:-~/.local/share}/lexorin)
#   --build-dir DIR  the build to install from (default: build); built first if needed
#   --no-build       install what the build folder holds, without building
#
# Installing again updates the program, its prompt and letter clips (Alpha) and the
# help; the user's lessons, recordings and players (Children) are never touched, and
# the sample lesson is added only when no lesson of that name is there. The launcher
# comes with its icon and its AppStream description.
# scripts/uninstall.sh takes it away again.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
data_home=${XDG_DATA_HOME:-$HOME/.local/share}
prefix=$data_home/lexorin
build=$repo/build
do_build=1
while (($#)); do
    case $1 in
    --prefix) prefix=$2; shift 2 ;;
    --build-dir) build=$2; shift 2 ;;
    --no-build) do_build=0; shift ;;
    -h | --help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "install.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
    esac
done
[[ $prefix == /* ]] || prefix=$PWD/$prefix
[[ $build == /* ]] || build=$PWD/$build
prefix=${prefix%/}

# The marker names the folder as the tutor's: uninstall --purge removes only such a
# folder. Its name starts with a dot, so the tutor never lists it as a lesson.
marker=.lexorin-install
program_files=(lexorin Alpha LexorinHelp.mht)
app_id=$(<"$repo/content/app-id")

if ((do_build)); then
    if [[ -f $build/build.ninja ]]; then
        cmake --build "$build" --target lexorin lexorin_content
    else
        "$repo/scripts/build.sh" "$build"
    fi
fi
from=$build/tutor
for f in "${program_files[@]}"; do
    [[ -e $from/$f ]] || { echo "install.sh: $from/$f is missing; build first (scripts/build.sh build)" >&2; exit 1; }
done

# A folder of the tutor's own lessons and players (one it made, with Children) takes the
# program beside it; any other folder that holds files is refused.
if [[ -d $prefix && ! -e $prefix/$marker && ! -d $prefix/Children ]] && [[ -n $(ls -A "$prefix") ]]; then
    echo "install.sh: $prefix holds other files; choose an empty or new folder with --prefix" >&2
    exit 1
fi
mkdir -p "$prefix"
[[ -e $prefix/$marker ]] || printf 'Lexorin spelling tutor: program, lessons and players.\n' >"$prefix/$marker"

# Each program file is laid down beside its old self and then renamed over it, so
# a tutor that is running keeps working and an interrupted install leaves the old one.
install -m 755 "$from/lexorin" "$prefix/.lexorin.new"
mv -f "$prefix/.lexorin.new" "$prefix/lexorin"
install -m 644 "$from/LexorinHelp.mht" "$prefix/.LexorinHelp.mht.new"
mv -f "$prefix/.LexorinHelp.mht.new" "$prefix/LexorinHelp.mht"
rm -rf "$prefix/.Alpha.new" "$prefix/.Alpha.old"
cp -r "$from/Alpha" "$prefix/.Alpha.new"
[[ -e $prefix/Alpha ]] && mv "$prefix/Alpha" "$prefix/.Alpha.old"
mv "$prefix/.Alpha.new" "$prefix/Alpha"
rm -rf "$prefix/.Alpha.old"

# The players' folder, and the sample lesson where the user has none of that name.
mkdir -p "$prefix/Children"
for lesson in "$from"/*/; do
    lesson=$(basename "$lesson")
    [[ $lesson == Alpha || $lesson == Children ]] && continue
    if [[ ! -e $prefix/$lesson ]]; then
        cp -r "$from/$lesson" "$prefix/$lesson"
        echo "Added the sample lesson \"$lesson\"."
    fi
done

# The icon: the build's rendering, else rendered here from its source.
icon_dir=$data_home/icons/hicolor/256x256/apps
mkdir -p "$icon_dir"
if [[ -f $build/content/pictures/lexorin.png ]]; then
    install -m 644 "$build/content/pictures/lexorin.png" "$icon_dir/$app_id.png"
else
    rsvg-convert --width=256 --height=256 --format=png --output="$icon_dir/$app_id.png" \
        "$repo/content/pictures/lexorin.svg"
fi

# The launcher. Exec quotes the path as the desktop entry format asks (", `, $ and \
# escaped inside the quotes, % doubled), then every \ is doubled once more because
# the value is itself an escaped string.
exec_arg=$prefix/lexorin
exec_arg=${exec_arg//\\/\\\\}
exec_arg=${exec_arg//\"/\\\"}
exec_arg=${exec_arg//\`/\\\`}
exec_arg=${exec_arg//\$/\\\$}
exec_arg=${exec_arg//%/%%}
exec_arg="\"$exec_arg\""
exec_arg=${exec_arg//\\/\\\\}
plain() { local s=${1//\\/\\\\}; printf '%s' "$s"; }
apps=$data_home/applications
mkdir -p "$apps"
cat >"$apps/.lexorin.desktop.new" <<EOF
[Desktop Entry]
Type=Application
Version=1.4
Name=Lexorin
GenericName=Spelling Tutor
Comment=Spelling tests and practice for children, with words recorded by a parent or teacher
Exec=$exec_arg
TryExec=$(plain "$prefix/lexorin")
Path=$(plain "$prefix")
Icon=$app_id
Terminal=false
Categories=Education;Languages;
Keywords=spelling;words;children;school;lessons;
StartupNotify=true
StartupWMClass=Lexorin
EOF
mv -f "$apps/.lexorin.desktop.new" "$apps/$app_id.desktop"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$apps/$app_id.desktop" || echo "install.sh: the launcher has warnings (above)" >&2
fi
# Launchers of earlier installs went by the program's bare name.
rm -f "$apps/lexorin.desktop" "$icon_dir/lexorin.png" "$data_home/metainfo/lexorin.metainfo.xml"
command -v update-desktop-database >/dev/null && update-desktop-database -q "$apps" 2>/dev/null || true

# The AppStream description of the launcher, read by software centres: what the tutor
# is and its licence.
metainfo_dir=$data_home/metainfo
mkdir -p "$metainfo_dir"
install -m 644 "$build/content/$app_id.metainfo.xml" "$metainfo_dir/.lexorin.metainfo.xml.new"
mv -f "$metainfo_dir/.lexorin.metainfo.xml.new" "$metainfo_dir/$app_id.metainfo.xml"
touch "$data_home/icons/hicolor" 2>/dev/null || true # tells icon caches to look again

echo "Lexorin is installed in $prefix"
echo "Start it from the desktop's menu (Lexorin) or with: \"$prefix/lexorin\""
