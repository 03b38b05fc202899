#!/usr/bin/env bash
# Builds the two Debian packages from an existing build folder and checks them as an
# installed system would see them: exactly the expected files with their modes, the control
# fields (the server's package depends on no Qt and no display), the menu entry and
# AppStream data through their validators, the manual pages through groff, matching
# versions everywhere, and the packaged programs themselves.
#   check-package.sh BUILD_FOLDER VERSION
# Exits 77 (skipped) when a tool it needs is missing.
set -euo pipefail
build=$1
version=$2

for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli groff file; do
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
arch=$(dpkg --print-architecture)
window_deb="$work/out/brimwell_${version}_$arch.deb"
report_deb="$work/out/brimwell-report_${version}_$arch.deb"
for deb in "$window_deb" "$report_deb"; do
    if [[ ! -f $deb ]]; then
        echo "FAIL: no $(basename "$deb"); cpack made:"
        ls "$work/out"
        exit 1
    fi
done

# Every file of a package, with its mode and owner; nothing else may be in it.
check_files() {
    local deb=$1 expected=$2
    dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $1, $2, $6}' | sort >"$work/files"
    diff -u "$expected" "$work/files" ||
        fail "$(basename "$deb")'s files differ from the expected ones (- expected, + packaged)"
    dpkg-deb -c "$deb" | awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root") {print}' \
        >"$work/odd-folders"
    [[ ! -s $work/odd-folders ]] || fail "folders not drwxr-xr-x root/root: $(cat "$work/odd-folders")"
}
{
    echo "-rwxr-xr-x root/root ./usr/bin/brimwell"
    for file in applications/brimwell.desktop doc/brimwell/changelog.gz doc/brimwell/copyright \
        icons/hicolor/{16x16,32x32,48x48,64x64,256x256}/apps/brimwell.png \
        icons/hicolor/scalable/apps/brimwell.svg man/man1/brimwell.1.gz \
        metainfo/org.brimwell.Brimwell.metainfo.xml; do
        echo "-rw-r--r-- root/root ./usr/share/$file"
    done
} | sort >"$work/expected-window"
{
    echo "-rwxr-xr-x root/root ./usr/bin/brimwell-report"
    for file in doc/brimwell-report/changelog.gz doc/brimwell-report/copyright \
        doc/brimwell-report/examples/slurm/brimwell-{scan,graft}.sbatch \
        man/man1/brimwell-report.1.gz; do
        echo "-rw-r--r-- root/root ./usr/share/$file"
    done
} | sort >"$work/expected-report"
check_files "$window_deb" "$work/expected-window"
check_files "$report_deb" "$work/expected-report"

# The control fields both packages share, then each one's own.
field() { dpkg-deb -f "$1" "$2"; }
for deb in "$window_deb" "$report_deb"; do
    name=$(basename "$deb")
    [[ $(field "$deb" Version) == "$version" ]] || fail "$name Version: $(field "$deb" Version)"
    [[ $(field "$deb" Section) == utils ]] || fail "$name Section: $(field "$deb" Section)"
    [[ $(field "$deb" Priority) == optional ]] || fail "$name Priority: $(field "$deb" Priority)"
    [[ $(field "$deb" Maintainer) =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] ||
        fail "$name Maintainer: $(field "$deb" Maintainer)"
    [[ $(field "$deb" Description | wc -l) -gt 2 ]] || fail "$name Description has no long text"
    long_lines=$(field "$deb" Description | awk 'length > 80')
    [[ -z $long_lines ]] || fail "$name Description lines over 80 characters: $long_lines"
    [[ $(field "$deb" Depends) != *-dev* ]] || fail "$name Depends names a development package"
done
[[ $(field "$window_deb" Package) == brimwell ]] || fail "Package: $(field "$window_deb" Package)"
[[ $(field "$report_deb" Package) == brimwell-report ]] ||
    fail "Package: $(field "$report_deb" Package)"
has_all() {
    local depends=$1
    shift
    for library in "$@"; do
        [[ ", $depends," == *", $library "* ]] || fail "Depends lacks $library: $depends"
    done
}
has_all "$(field "$window_deb" Depends)" libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6
has_all "$(field "$report_deb" Depends)" libc6 libstdc++6 zlib1g libdeflate0
# A server that installs the tool gets no Qt, no X11 and no graphics libraries with it.
report_depends=$(field "$report_deb" Depends)
[[ ! $report_depends =~ (qt|libx|libgl|libegl|mesa|libfontconfig|libfreetype) ]] ||
    fail "brimwell-report depends on display libraries: $report_depends"
# It takes the program over from the single package of earlier versions.
[[ $(field "$report_deb" Replaces) == "brimwell (<< 0.2.0)" ]] ||
    fail "brimwell-report Replaces: $(field "$report_deb" Replaces)"
[[ $(field "$report_deb" Breaks) == "brimwell (<< 0.2.0)" ]] ||
    fail "brimwell-report Breaks: $(field "$report_deb" Breaks)"

root="$work/root"
dpkg-deb -x "$window_deb" "$root"
dpkg-deb -x "$report_deb" "$root"
share="$root/usr/share"

# The latest changelog entry and AppStream release name this version.
for package in brimwell brimwell-report; do
    head=$(gzip -dc "$share/doc/$package/changelog.gz" | head -n 1)
    [[ $head == "brimwell ($version) "* ]] || fail "$package's changelog starts with: $head"
done
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
    version_line=$(gzip -dc "$share/man/man1/$page.1.gz" | grep -m 1 '^\.TH')
    [[ $version_line == *"\"Brimwell $version\""* ]] || fail "$page.1 names another version: $version_line"
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
echo "$(basename "$window_deb") and $(basename "$report_deb") are complete:" \
    "$(wc -l <"$work/expected-window") and $(wc -l <"$work/expected-report") files"
