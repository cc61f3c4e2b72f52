#!/usr/bin/env bash
# quillan-cli export of 1,000,000 records into a local PostgreSQL server, side by side with psql's
# \copy of the same rows from a CSV file (the table, its COPY and its index in one transaction on
# both sides). Whole processes, timed from outside, A and B in turn; prints each run, the
# medians and the median of the pairwise ratios.
#
#   bench/cli/export-postgres.sh [BUILD_DIR [RUNS]]     (defaults: build, 5)
#
# Needs the Debian packages postgresql and postgresql-client, and BUILD_DIR with quillan-cli and
# bench/cli/cli_export_bench built (a Release or RelWithDebInfo build for figures). A throw-away
# cluster is made in a temporary directory and listens on a Unix socket there only; run as root,
# the server runs as the user postgres.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
runs=${2:-5}
cli="$build/cli/quillan-cli"
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bin/initdb" ] || { echo "no PostgreSQL server under /usr/lib/postgresql (apt-get install postgresql)" >&2; exit 1; }

work=$(mktemp -d /tmp/quillan-pg-bench.XXXXXX)
chmod 755 "$work"
as=()
if [ "$(id -u)" -eq 0 ]; then
    chown postgres "$work"
    as=(runuser -u postgres --)
fi
stop() {
    [ -f "$work/data/postmaster.pid" ] && "${as[@]}" "$bin/pg_ctl" -D "$work/data" -m fast -w stop >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap stop EXIT

echo "making 1,000,000 records through the record manager..."
"$build/bench/cli/cli_export_bench" --write-data "$work/dict"
"${as[@]}" "$bin/initdb" -D "$work/data" -U postgres -A trust -E UTF8 --locale=C >/dev/null
"${as[@]}" "$bin/pg_ctl" -D "$work/data" -l "$work/server.log" -w -o "-k $work -c listen_addresses=" start >/dev/null
conn="host=$work port=5432 user=postgres dbname=postgres"

# B's input: the same rows as CSV, and the statements sql prints.
"$cli" export "$work/dict" BIG --csv "$work/csv" 2>/dev/null
"$cli" sql "$work/dict" BIG --dialect postgresql > "$work/schema.sql"
{
    echo 'DROP TABLE IF EXISTS "BIG";'
    grep -v '^CREATE .*INDEX' "$work/schema.sql"
    echo "\\copy \"BIG\" FROM '$work/csv/BIG.csv' WITH (FORMAT csv, HEADER)"
    grep '^CREATE .*INDEX' "$work/schema.sql"
} > "$work/copy.sql"

a=("$cli" export "$work/dict" BIG --to "$conn" --replace)
b=(psql -X -q -1 -v ON_ERROR_STOP=1 "$conn" -f "$work/copy.sql")
seconds() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    end=$(date +%s%N)
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", (e - s) / 1e9 }'
}
"${a[@]}" >/dev/null 2>&1 # warm-up, both
"${b[@]}" >/dev/null 2>&1
: > "$work/times"
for i in $(seq "$runs"); do
    ta=$(seconds "${a[@]}")
    tb=$(seconds "${b[@]}")
    echo "run $i: quillan-cli export --to ${ta}s, psql \\copy ${tb}s"
    awk -v a="$ta" -v b="$tb" 'BEGIN { printf "%s %s %.3f\n", a, b, a / b }' >> "$work/times"
done
rows=$(psql -X -At "$conn" -c 'SELECT count(*) FROM "BIG"')
median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
echo "rows: $rows"
echo "median quillan-cli export --to: $(cut -d' ' -f1 "$work/times" | median)s"
echo "median psql \\copy:              $(cut -d' ' -f2 "$work/times" | median)s"
echo "median ratio (pairwise):        $(cut -d' ' -f3 "$work/times" | median)"
