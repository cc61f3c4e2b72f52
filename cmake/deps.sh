# Shared by ./run, ./test and ./package: installs the Debian packages Quillan needs when any is
# missing. Quiet when everything is already there.
quillan_packages="build-essential cmake pkg-config qt6-base-dev libgl-dev libsqlite3-dev libgtest-dev libgmock-dev libbenchmark-dev librsvg2-bin libpq-dev libicu-dev"
# Making and checking the Debian package (./package, and its test in ./test): dpkg-shlibdeps and
# dpkg-deb, the desktop entry and AppStream validators, the manual page formatter, lintian.
quillan_package_tools="dpkg-dev file desktop-file-utils appstream man-db groff-base lintian"
# What tests run besides the programs: a throw-away PostgreSQL server, and the stock sqlite3 shell
# that loads libquillan_sqlite.so.
quillan_test_tools="postgresql sqlite3"
# CI (.ci/run): the layout check of changed lines (clang-format and git clang-format).
quillan_ci_tools="clang-format git"

quillan_install_missing() {
    local missing=()
    local p
    for p in $quillan_packages "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq >/dev/null || return 1
    $sudo env DEBIAN_FRONTEND=noninteractive DEBCONF_NOWARNINGS=yes apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || return 1
}
