#!/usr/bin/env bash
# Builds the Debian package lexorin_<version>_<arch>.deb from the debian/ folder and
# prints its path. Installs what the package build needs when it is missing.
#
#   scripts/package.sh [--out DIR]     (default: dist/ in the checkout)
#
# The build runs in a copy of the checkout's files (committed or not, as git lists
# them), so the checkout gets no build leftovers.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
out=$repo/dist
while (($#)); do
    case $1 in
    --out) out=$2; shift 2 ;;
    -h | --help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "package.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
    esac
done
mkdir -p "$out"
out=$(cd "$out" && pwd)

# The tools of a package build, then the build dependencies debian/control names.
tools=(dpkg-dev debhelper lintian fakeroot)
missing=()
for p in "${tools[@]}"; do
    [[ $(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true) == "install ok installed" ]] || missing+=("$p")
done
sudo_cmd=()
[[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if ! unmet=$(cd "$repo" && dpkg-checkbuilddeps 2>&1); then
    deps=$(sed -n 's/.*Unmet build dependencies: //p' <<<"$unmet" | sed 's/([^)]*)//g')
    echo "Installing build dependencies: $deps"
    # shellcheck disable=SC2086 # one word per package
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends $deps
fi

# One folder for every package build of this user, so the compiler cache (whose objects
# carry the build's path) serves the next build too; debhelper gives the build a home of
# its own, so the cache is named outright.
work=${TMPDIR:-/tmp}/lexorin-package-$(id -u)
rm -rf "$work"
mkdir -p "$work/lexorin"
trap 'rm -rf "$work"' EXIT
if command -v ccache >/dev/null; then
    CCACHE_DIR=$(ccache -k cache_dir)
    export CCACHE_DIR
fi
(cd "$repo" && git ls-files -z --cached --others --exclude-standard |
    tar --null -T - --ignore-failed-read -cf - 2>/dev/null) | (cd "$work/lexorin" && tar -xf -)
(cd "$work/lexorin" && dpkg-buildpackage -b -us -uc -j"$(nproc)") >"$work/build.log" 2>&1 || {
    tail -n 60 "$work/build.log" >&2
    echo "package.sh: the package build failed (last lines above)" >&2
    exit 1
}
version=$(cd "$repo" && dpkg-parsechangelog -S Version)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
deb=lexorin_${version}_${arch}.deb
mv -f "$work/$deb" "$out/$deb"
echo "$out/$deb"
