#!/usr/bin/env bash
# Builds the Debian package from an existing build folder and checks it as an installed
# system would see it: exactly the expected files with their modes, the control fields,
# the menu entry and AppStream data through their validators, the manual pages through
# groff, matching versions everywhere, and the packaged programs themselves.
#   check-package.sh BUILD_FOLDER VERSION
# Exits 77 (skipped) when a tool it needs is missing.
set -euo pipefail
build=$1
version=$2

for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli groff; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is missing (./test and ./package install it)"
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    exit 1
fi
deb="$work/out/brimwell_${version}_$(dpkg --print-architecture).deb"
if [[ ! -f $deb ]]; then
    echo "FAIL: no $(basename "$deb"); cpack made:"
    ls "$work/out"
    exit 1
fi

# Every file, with its mode and owner; nothing else may be in the package.
expected="$work/expected"
{
    for program in brimwell brimwell-report; do
        echo "-rwxr-xr-x root/root ./usr/bin/$program"
    done
    for file in applications/brimwell.desktop doc/brimwell/changelog.gz doc/brimwell/copyright \
        icons/hicolor/{16x16,32x32,48x48,64x64,256x256}/apps/brimwell.png \
        icons/hicolor/scalable/apps/brimwell.svg man/man1/brimwell.1.gz \
        man/man1/brimwell-report.1.gz metainfo/org.brimwell.Brimwell.metainfo.xml; do
        echo "-rw-r--r-- root/root ./usr/share/$file"
    done
} | sort >"$expected"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $1, $2, $6}' | sort >"$work/files"
diff -u "$expected" "$work/files" || fail "the package's files differ from the expected ones (- expected, + packaged)"
dpkg-deb -c "$deb" | awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root") {print}' >"$work/odd-folders"
[[ ! -s $work/odd-folders ]] || fail "folders not drwxr-xr-x root/root: $(cat "$work/odd-folders")"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == brimwell ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version: $(field Version)"
[[ $(field Section) == utils ]] || fail "Section: $(field Section)"
[[ $(field Priority) == optional ]] || fail "Priority: $(field Priority)"
[[ $(field Maintainer) =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer: $(field Maintainer)"
[[ $(field Description | wc -l) -gt 2 ]] || fail "Description has no long text"
long_lines=$(field Description | awk 'length > 80')
[[ -z $long_lines ]] || fail "Description lines over 80 characters: $long_lines"
depends=$(field Depends)
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 zlib1g; do
    [[ ", $depends," == *", $library "* ]] || fail "Depends lacks $library: $depends"
done
[[ $depends != *-dev* ]] || fail "Depends names a development package: $depends"

root="$work/root"
dpkg-deb -x "$deb" "$root"
share="$root/usr/share"

# The latest changelog entry and AppStream release name this version.
head=$(gzip -dc "$share/doc/brimwell/changelog.gz" | head -n 1)
[[ $head == "brimwell ($version) "* ]] || fail "changelog starts with: $head"
release=$(grep -o -m 1 '<release version="[^"]*"' "$share/metainfo/org.brimwell.Brimwell.metainfo.xml")
[[ $release == "<release version=\"$version\"" ]] || fail "newest AppStream release: $release"

# Validators: errors and warnings fail, hints do not.
desktop="$share/applications/brimwell.desktop"
if ! desktop-file-validate "$desktop" >"$work/desktop.log" 2>&1 ||
    grep -E ': (error|warning):' "$work/desktop.log"; then
    fail "desktop-file-validate: $(cat "$work/desktop.log")"
fi
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[[ -x $root/usr/bin/$exec_program ]] || fail "Exec names $exec_program, which is not in /usr/bin"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[[ -f $share/icons/hicolor/48x48/apps/$icon.png ]] || fail "Icon $icon has no 48x48 image"
if ! appstreamcli validate --no-net "$share/metainfo/org.brimwell.Brimwell.metainfo.xml" \
    >"$work/appstream.log" 2>&1; then
    fail "appstreamcli validate: $(cat "$work/appstream.log")"
fi

for page in brimwell brimwell-report; do
    gzip -dc "$share/man/man1/$page.1.gz" | LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 2>"$work/groff.log" ||
        fail "groff cannot render $page.1"
    [[ ! -s $work/groff.log ]] || fail "groff warns on $page.1: $(cat "$work/groff.log")"
done

# The packaged programs. Without a display, a window could not open: these must not try.
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$@" 2>&1; }
[[ $(run brimwell --version) == "brimwell $version" ]] || fail "brimwell --version: $(run brimwell --version)"
[[ $(run brimwell --help | head -n 1) == "Usage: brimwell "* ]] || fail "brimwell --help: $(run brimwell --help)"
[[ $(run brimwell-report --version) == "brimwell-report $version" ]] ||
    fail "brimwell-report --version: $(run brimwell-report --version)"
report=$(run brimwell-report "$share") || fail "brimwell-report $share failed: $report"
[[ $report == "$share "*"Folders : "* ]] || fail "brimwell-report $share printed: $report"

if [[ $failures -gt 0 ]]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "$(basename "$deb") is complete: $(wc -l <"$expected") files"
