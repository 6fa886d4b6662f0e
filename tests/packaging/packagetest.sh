#!/usr/bin/env bash
# Makes the Debian package from the build tree and checks it with Debian's own
# tools: lintian, desktop-file-validate, appstreamcli, man. Unpacked, its
# programs must run and say their version, its bash completion must complete,
# and its files must be those the README lists.
#
# Usage: packagetest.sh CPACK CPACK_CONFIG README VERSION
set -euo pipefail

cpack=$1
config=$2
readme=$3
version=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

echo "Making the package"
if ! "$cpack" -G DEB --config "$config" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack"
    exit 1
fi
debs=("$work"/out/*.deb)
deb=${debs[0]}
echo "Made $(basename "$deb")"

depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
# The libraries are found by dpkg-shlibdeps, not listed by hand.
for library in libmpv2 libqt5widgets5 libavcodec59; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library"
done

echo "lintian"
lintian --fail-on error,warning "$deb" || fail "lintian"

root=$work/root
dpkg-deb -x "$deb" "$root"

echo "desktop-file-validate"
desktop-file-validate "$root"/usr/share/applications/*.desktop || fail "desktop-file-validate"

echo "appstreamcli validate"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml || fail "appstreamcli validate"

echo "man"
for page in "$root"/usr/share/man/man1/*; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "man $(basename "$page"): $warnings"
    # Every option the help lists is on the page.
    program=$(basename "$page" .1.gz)
    for option in $(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" --help 2>/dev/null |
                        grep -oE '^  (-[a-z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+$'); do
        man -l "$page" 2>/dev/null | grep -qe "$option" || fail "man $program lacks $option"
    done
done

echo "version"
# Without a display, as on a server or over ssh.
for program in tindracmd tindra; do
    said=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" --version 2>/dev/null) ||
        fail "$program --version failed"
    [[ $said == "Tindra $version" ]] || fail "$program --version said \"$said\", not \"Tindra $version\""
done

echo "bash completion"
complete_words() {
    bash -c 'source /usr/share/bash-completion/bash_completion
             source "$1"; shift
             COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
             COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
             _tindracmd tindracmd "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
             printf "%s\n" "${COMPREPLY[@]}"' \
        complete "$root/usr/share/bash-completion/completions/tindracmd" "$@"
}
[[ $(complete_words tindracmd --filet) == --filetype ]] || fail "bash completion of an option"
[[ $(complete_words tindracmd --filetype t | tr '\n' ' ') == "tiff tif " ]] ||
    fail "bash completion of a file type"
mkdir -p "$work/videos/folder" && touch "$work/videos/clip.mp4"
(cd "$work/videos" && [[ $(complete_words tindracmd --count 5 clip.mp4 "") == folder ]]) ||
    fail "bash completion of the destination folder"

echo "files"
# The README lists every installed file between its manifest markers.
listed=$(sed -n '/<!-- package manifest -->/,/<!-- end of package manifest -->/p' "$readme" |
    grep -oE '^ +/[^ ]+' | tr -d ' ' | sort)
installed=$(cd "$root" && find . ! -type d | sed 's/^\.//' | sort)
if [[ -z $listed ]]; then
    fail "the README lists no package files"
elif [[ $listed != "$installed" ]]; then
    fail "the package's files differ from the README's list (< README, > package):"
    diff <(echo "$listed") <(echo "$installed") || true
fi

if ((failures)); then
    echo "$failures checks failed"
    exit 1
fi
echo "The package passed every check"
