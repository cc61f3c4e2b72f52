#!/usr/bin/env bash
# The manual pages against the programs' own --help: every command of quillan-cli --help has its
# subsection, every word of the command's usage appears there and every option has a paragraph
# of its own; the page describes no command that --help lacks; every exit status the help texts
# name is listed; the programs' own options are described; groff formats both pages without a
# warning; both pages carry the version the programs print.
# Usage: manual_page_test.sh QUILLAN_CLI QUILLAN_CLI_1 QUILLAN QUILLAN_1
set -euo pipefail
cli=$1 cli_page=$2 quillan=$3 quillan_page=$4
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

render() { groff -man -Tascii -P-cbou "$1" 2>/dev/null; }
# The lines of one section (a heading at column 0) of a rendered page.
section() { awk -v name="$2" '/^[A-Z]/ { on = ($0 == name); next } on' <<<"$1"; }
# The lines of one subsection (a heading indented by three) of the COMMANDS section.
subsection() { awk -v cmd="$2" '/^   [^ ]/ { split($0, w, " "); on = (w[1] == cmd); next } on { print }' <<<"$1"; }
# The words of a usage text: brackets, bars and the program and command names dropped.
usage_words() { sed -E 's/^ *(Usage:)? *//; s/quillan-cli +[a-z]+//; s/[][|]/ /g' | tr -s ' ' '\n' | grep -v '^$' || true; }

for page in "$cli_page" "$quillan_page"; do
    warnings=$(groff -man -ww -z "$page" 2>&1 || true)
    [ -z "$warnings" ] || fail "groff warns on $(basename "$page"): $warnings"
done

cli_text=$(render "$cli_page")
commands_text=$(section "$cli_text" "COMMANDS")
help=$("$cli" --help)
commands=$(awk '/^Commands:/ { on = 1; next } /^[^ ]/ { on = 0 } on && /^  [a-z]/ { print $1 }' <<<"$help")
[ -n "$commands" ] || fail "quillan-cli --help lists no commands"

for cmd in $commands; do
    body=$(subsection "$commands_text" "$cmd")
    heading=$(grep -E "^   $cmd( |$)" <<<"$commands_text" || true)
    if [ -z "$heading" ]; then
        fail "the manual page has no subsection for the command $cmd"
        continue
    fi
    cmd_help=$("$cli" "$cmd" --help) || fail "quillan-cli $cmd --help exits with status $?"
    usage=$(awk '/^(Usage:|       quillan-cli)/' <<<"$cmd_help")
    for word in $(usage_words <<<"$usage"); do
        grep -qF -- "$word" <<<"$heading"$'\n'"$body" || fail "$cmd: '$word' of its usage is not in its subsection"
    done
    for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$cmd_help" | sort -u); do
        grep -qE -- "^       $option( |$)" <<<"$body" ||
            fail "$cmd: the option $option is not described in its subsection"
    done
done

# No subsection for a command that is gone.
for documented in $(grep -E '^   [a-z]' <<<"$commands_text" | awk '{ print $1 }'); do
    grep -qx -- "$documented" <<<"$commands" || fail "the manual page describes $documented, which --help does not list"
done

# Exit statuses: those of the top-level help and of every command's help.
statuses=$( (tr '\n' ' ' <<<"$help" | sed -nE 's/.*Exit status: ([^.]*)\..*/\1/p' | grep -oE '\b[0-9]\b'
             for cmd in $commands; do "$cli" "$cmd" --help | tr '\n' ' ' | grep -oE 'status [0-9]\b' | grep -oE '[0-9]' || true; done) | sort -u)
[ -n "$statuses" ] || fail "quillan-cli --help names no exit status"
exit_text=$(section "$cli_text" "EXIT STATUS")
for status in $statuses; do
    grep -qE "^       $status( |$)" <<<"$exit_text" || fail "the exit status $status is not listed under EXIT STATUS"
done

options_text=$(section "$cli_text" "OPTIONS")
# The options of the program itself: those of the help outside its list of commands.
program_options=$(awk '/^Commands:/ { on = 1; next } /^[^ ]/ { on = 0 } !on' <<<"$help" | grep -oE -- '--[a-z][a-z-]*' | sort -u)
for option in $program_options; do
    grep -qF -- "$option" <<<"$options_text" || fail "quillan-cli $option is not under OPTIONS"
done
quillan_options=$(section "$(render "$quillan_page")" "OPTIONS")
for option in $("$quillan" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u) --help --version; do
    grep -qF -- "$option" <<<"$quillan_options" || fail "Quillan $option is not under OPTIONS of its page"
done

version=$("$cli" --version | awk '{ print $2 }')
[ "$("$quillan" --version)" = "Quillan $version" ] || fail "Quillan --version and quillan-cli --version differ"
for page in "$cli_page" "$quillan_page"; do
    grep -q "^\.TH .*\"Quillan $version\"" "$page" || fail "$(basename "$page") does not carry the version $version"
done

[ "$failures" -eq 0 ] || { echo "$failures failures" >&2; exit 1; }
echo "manual pages agree with --help: $(wc -w <<<"$commands") commands, exit statuses $(tr '\n' ' ' <<<"$statuses")"
