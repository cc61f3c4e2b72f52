#!/usr/bin/env bash
# The Debian package as a user gets it, made by CPack from this build tree into the scratch
# directory: its control fields and file list, its desktop entry and metainfo validated, every
# place that carries the version agreeing, lintian without errors, and the programs run from an
# extracted copy (no LD_LIBRARY_PATH): --version, and dump on a dictionary written as Build
# writes it, also through the installed record-manager library taken up by name.
# Usage: debian_package_test.sh BUILD_DIR VERSION BUILT_QUILLAN_CLI WRITE_SAMPLE_DICTIONARY
set -euo pipefail
build=$1 version=$2 built_cli=$3 writer=$4
scratch=${QUILLAN_TEST_TMP:?}/package
rm -rf "$scratch"
mkdir -p "$scratch"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
app_id=io.github.quillan.Quillan

SECONDS=0
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; exit 1; }
debs=("$scratch"/out/quillan_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: cpack made no single quillan_*.deb" >&2; exit 1; }
deb=${debs[0]}
echo "cpack: ${SECONDS}s"
# lintian, the slowest check, runs beside the others.
lintian=""
if command -v lintian >/dev/null; then
    lintian --fail-on error "$deb" >"$scratch/lintian.log" 2>&1 &
    lintian=$!
    trap 'kill "$lintian" 2>/dev/null || true' EXIT
fi
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "quillan_${version}_${arch}.deb" ] || fail "the package is named $(basename "$deb")"

# Control fields: the dependencies come from the binaries.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quillan ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
depends=$(field Depends)
for needed in libc6 libstdc++6 libqt6core6 libqt6widgets6 libsqlite3-0; do
    tr ',' '\n' <<<"$depends" | awk '{ print $1 }' | grep -qxF "$needed" || fail "Depends lacks $needed: $depends"
done

# The file list, owned by root, nothing outside /usr.
listing=$(dpkg-deb -c "$deb")
files=$(awk '{ print $NF }' <<<"$listing" | sed 's|^\./|/|')
required=(
    /usr/bin/Quillan /usr/bin/quillan-cli
    /usr/share/applications/$app_id.desktop /usr/share/metainfo/$app_id.metainfo.xml
    /usr/share/icons/hicolor/scalable/apps/$app_id.svg
    /usr/share/man/man1/quillan-cli.1.gz /usr/share/man/man1/Quillan.1.gz
    /usr/share/doc/quillan/copyright /usr/share/doc/quillan/changelog.gz)
for size in 16 24 32 48 64 128 256; do
    required+=("/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
for path in "${required[@]}"; do
    grep -qxF "$path" <<<"$files" || fail "the package lacks $path"
done
library=$(grep -E '^/usr/lib/([^/]+/)?quillan/libquillanbtrv\.so$' <<<"$files" || true)
ldconfig=$(dpkg-deb -I "$deb" | grep -E '^ *[0-9]+ bytes.* (postinst|postrm) ' || true)
[ -z "$ldconfig" ] || fail "the package has maintainer scripts (the private library needs no ldconfig): $ldconfig"
[ -n "$library" ] || fail "the package lacks the record-manager library in a private directory"
outside=$(grep -vE '^/usr(/|$)|^/$' <<<"$files" || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
owners=$(awk '{ print $2 }' <<<"$listing" | sort -u)
[ "$owners" = "root/root" ] || fail "owners other than root: $owners"

root=$scratch/root
dpkg-deb -x "$deb" "$root"

desktop=$root/usr/share/applications/$app_id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
program=${exec_line%% *}
[ -x "$root/usr/bin/$program" ] || fail "the desktop entry starts $program, which the package does not hold"
grep -q '%[fFuU]' <<<"$exec_line" || fail "the desktop entry's Exec takes no file or folder: $exec_line"
grep -qx 'MimeType=.*inode/directory;.*' "$desktop" || fail "the desktop entry does not open folders"
grep -qx "Icon=$app_id" "$desktop" || fail "the desktop entry's icon is not $app_id"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" >"$scratch/appstream.log" 2>&1 ||
    { cat "$scratch/appstream.log" >&2; fail "appstreamcli rejects the metainfo"; }
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$root/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "the metainfo does not launch $app_id.desktop"
for size in 16 24 32 48 64 128 256; do
    file "$root/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png" | grep -q "PNG image data, $size x $size" ||
        fail "the ${size}x${size} icon is not a PNG of that size"
done

# Every place that carries the version agrees with the project's.
first_release=$(grep -oE '<release version="[^"]*"' "$root/usr/share/metainfo/$app_id.metainfo.xml" | head -n1 | cut -d'"' -f2)
[ "$first_release" = "$version" ] || fail "the metainfo's newest release is $first_release, not $version"
changelog_version=$(zcat "$root/usr/share/doc/quillan/changelog.gz" | head -n1 | sed -nE 's/^quillan \(([^)]*)\).*/\1/p')
[ "$changelog_version" = "$version" ] || fail "the changelog's newest entry is $changelog_version, not $version"

# The programs from the extracted copy, with no help from the environment.
cli=$root/usr/bin/quillan-cli
unset LD_LIBRARY_PATH QUILLAN_RECORD_MANAGER
[ "$("$cli" --version)" = "quillan-cli $version" ] || fail "quillan-cli --version says $("$cli" --version)"
[ "$("$root/usr/bin/Quillan" --version)" = "Quillan $version" ] || fail "Quillan --version says $("$root/usr/bin/Quillan" --version)"
missing=$( (ldd "$cli"; ldd "$root/usr/bin/Quillan"; ldd "$root$library") | grep 'not found' || true)
[ -z "$missing" ] || fail "libraries not found: $missing"

dictionary=$scratch/sales
mkdir -p "$dictionary"
"$writer" "$dictionary"
QUILLAN_RECORD_MANAGER=embedded "$built_cli" dump "$dictionary" >"$scratch/expected.txt"
QUILLAN_RECORD_MANAGER=embedded "$cli" dump "$dictionary" >"$scratch/dump.txt" || fail "the packaged dump exits with $?"
cmp -s "$scratch/expected.txt" "$scratch/dump.txt" || fail "the packaged dump differs from the built one"
for table in CUSTOMER ORDERS ITEMS; do
    grep -q "^table $table " "$scratch/dump.txt" || fail "the packaged dump lacks the table $table"
done
# The library beside the programs, taken up by its name alone, is the packaged one (the
# programs' RUNPATH leads there), and reads the same dictionary.
QUILLAN_RECORD_MANAGER=libquillanbtrv.so LD_DEBUG=files LD_DEBUG_OUTPUT=$scratch/ld \
    "$cli" dump "$dictionary" >"$scratch/dump-library.txt" || fail "dump through libquillanbtrv.so exits with $?"
cmp -s "$scratch/expected.txt" "$scratch/dump-library.txt" || fail "dump through libquillanbtrv.so differs"
loaded=$(sed -n 's/.*calling init: \(.*libquillanbtrv\.so\).*/\1/p' "$scratch"/ld.* | head -n1)
[ -n "$loaded" ] && [ "$(realpath "$loaded")" = "$(realpath "$root$library")" ] ||
    fail "libquillanbtrv.so by name was not the packaged library but '$loaded'"

echo "checks and runs: ${SECONDS}s"
if [ -n "$lintian" ]; then
    wait "$lintian" || { cat "$scratch/lintian.log" >&2; fail "lintian finds errors"; }
    trap - EXIT
    grep -E '^[EW]:' "$scratch/lintian.log" || true
    echo "lintian: ${SECONDS}s"
else
    echo "lintian is not installed: not run"
fi

[ "$failures" -eq 0 ] || { echo "$failures failures" >&2; exit 1; }
echo "$(basename "$deb"): $(wc -l <<<"$files") entries, Depends: $depends"
