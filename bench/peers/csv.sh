#!/usr/bin/env bash
# The contact file's import and export against CSV libraries doing the same
# file work on the same 1,000,000-row file, timed in turn in the same run:
# ours is `vantrelis-batch --import FILE --export-csv OUT`; each peer reads
# every field of FILE, undoes the % coding, writes the same format back and
# flushes it to disk (the Rust csv crate, C libcsv, Python's csv module).
# Every output is first checked to be byte for byte the file read. Ours runs
# as a user's command does, with its session journal; once more without it
# (the journal's folder cannot be made), so that the journal's cost shows.
# Then the import alone, with and without the journal, and its peak memory:
# the 1,000,000 rows, and a 400 MB file without any line break.
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
batch="$build/bin/vantrelis-batch"
bench="$build/bin/bench/store_bench"
rounds="${CSV_PEER_ROUNDS:-7}"
if [ ! -x "$batch" ] || [ ! -x "$bench" ]; then
  echo "csv peers: $batch or $bench not built, skipped"
  exit 0
fi
python=/usr/bin/python3
work="$(mktemp -d /tmp/vantrelis-csv-peers-XXXXXX)"
trap 'rm -rf "$work"' EXIT

"$bench" --write-csv "$work/big.csv"
echo "file: $(stat -c %s "$work/big.csv") bytes, $(tr -cd '\n' < "$work/big.csv" | wc -c) lines"

# The peers, built here: the Rust one offline against Debian's crates.
peers="$build/bench-peers"
mkdir -p "$peers/cargo-home" "$peers/rust-csv-peer"
cat > "$peers/cargo-home/config.toml" <<'TOML'
[source.crates-io]
replace-with = "debian-packages"
[source.debian-packages]
directory = "/usr/share/cargo/registry"
[net]
offline = true
TOML
cp -r "$here/rust_csv/." "$peers/rust-csv-peer/"
cargo=/usr/bin/cargo
[ -x "$cargo" ] || cargo=cargo
(cd "$peers/rust-csv-peer" && CARGO_HOME="$peers/cargo-home" CARGO_TARGET_DIR="$peers/rust-target" \
  "$cargo" build --release --offline --quiet)
rust="$peers/rust-target/release/rust-csv-peer"
cc -O2 -o "$peers/libcsv-peer" "$here/libcsv_peer.c" -lcsv
libcsv="$peers/libcsv-peer"

# Every command first removes what it wrote in the round before, so that
# none writes over an earlier file: a safe save frees the earlier file only
# once the new one is whole, a truncating write frees it first, and on a
# virtual machine that hands free memory back to its host, memory that has
# lain free a while is dearer to take again. Removing it first costs each
# the same and keeps that out of the comparison.
fresh() { echo "sh -c 'rm -f $1; exec $2'"; }
ours_cmd="$(fresh "$work/ours.csv" "$batch --import $work/big.csv --export-csv $work/ours.csv")"
# A journal folder under a plain file cannot be made: the journal is off.
: > "$work/no-journal"
unjournaled="env XDG_STATE_HOME=$work/no-journal/state $batch"
plain_cmd="$(fresh "$work/plain.csv" "$unjournaled --import $work/big.csv --export-csv $work/plain.csv")"
rust_cmd="$(fresh "$work/rust.csv" "$rust $work/big.csv $work/rust.csv")"
libcsv_cmd="$(fresh "$work/libcsv.csv" "$libcsv $work/big.csv $work/libcsv.csv")"
python_cmd="$(fresh "$work/python.csv" "$python $here/python_csv_peer.py $work/big.csv $work/python.csv")"
for pair in "ours:$ours_cmd" "plain:$plain_cmd" "rust:$rust_cmd" "libcsv:$libcsv_cmd" "python:$python_cmd"; do
  name="${pair%%:*}"
  sh -c "${pair#*:}" 2>/dev/null
  cmp -s "$work/big.csv" "$work/$name.csv" || { echo "csv peers: $name did not write the same bytes"; exit 1; }
done
echo "every output is the file read, byte for byte"
# What the set-up wrote goes to disk now, not during the timed rounds.
sync

echo "load + save of the 1,000,000 rows, $rounds rounds in turn:"
"$python" "$here/paired.py" "$rounds" "ours (vantrelis-batch)=$ours_cmd" "ours, no journal=$plain_cmd" \
  "Rust csv crate=$rust_cmd" "C libcsv=$libcsv_cmd" "Python csv=$python_cmd"

# A line without a break: only what its fields keep is held.
"$python" -c "import sys; f = open(sys.argv[1], 'wb'); f.write(b'\"'); [f.write(b'x' * (1 << 20)) for _ in range(400)]" \
  "$work/long.csv"
echo "import alone, peak memory (the process alone is the empty file's):"
: > "$work/empty.csv"
sync
"$python" "$here/paired.py" "$rounds" "empty file=$batch --import $work/empty.csv" \
  "1,000,000 rows=$batch --import $work/big.csv" "1,000,000 rows, no journal=$unjournaled --import $work/big.csv" \
  "400 MB, no line break=$batch --import $work/long.csv"
