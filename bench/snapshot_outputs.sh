#!/usr/bin/env bash
# Runs one skelvar binary over every input and layout we can reproduce, so that
# two builds can be compared byte for byte.
#
#   bench/snapshot_outputs.sh <skelvar-binary> <out-dir>
#
# Inputs: a synthetic $MFT of $SNAPSHOT_RECORDS records (default 200000, made
# by bench/make_synthetic_mft.cpp, compiled here when no generator is found
# beside the binary), every committed fixture under tests/fixtures/data (each
# .mft.gz as -mftfile, each .img.gz as -image) and every sample of
# ../shared/testdata when present (gzip files unpacked first).
#
# For each input and option set it writes <out-dir>/<input>.<variant>.out: the
# results file with the run date of its header blanked, so two runs compare
# equal. Standard error and the exit code go to <input>.<variant>.err: they
# are kept for reading, not for comparing (messages may improve). With 200000
# records a snapshot takes about 8 GB, nearly all of it the synthetic $MFT's.
#
# Comparing two snapshots:
#   for f in before/*.out; do cmp "$f" "after/${f##*/}" || echo "DIFFERS: ${f##*/}"; done
#   ls before/*.out | wc -l; ls after/*.out | wc -l
set -euo pipefail

if [[ $# -ne 2 ]]; then
    echo "usage: $0 <skelvar-binary> <out-dir>" >&2
    exit 2
fi
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin=$(realpath "$1")
mkdir -p "$2"
out=$(realpath "$2")
records=${SNAPSHOT_RECORDS:-200000}
shared=${SKELVAR_TESTDATA:-$root/../shared/testdata}

work=$(mktemp -d "${TMPDIR:-/tmp}/skelvar-snapshot.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in"
# The header shows the program by its file name: every build runs as "skelvar".
ln -s "$bin" "$work/skelvar"

# The generator: beside the binary, else compiled from this tree.
gen=$(dirname "$bin")/make_synthetic_mft
if [[ ! -x $gen ]]; then
    gen=$work/make_synthetic_mft
    c++ -std=c++20 -O2 -o "$gen" "$root/bench/make_synthetic_mft.cpp"
fi
"$gen" "$work/in/synthetic.mft" "$records" 1 >/dev/null

unpack() {  # <gz file> <name in work/in>
    gzip -dc "$1" >"$work/in/$2"
}

# name -> source option
declare -A source_of
source_of[synthetic.mft]=-mftfile
for f in "$root"/tests/fixtures/data/*.gz; do
    name=$(basename "$f" .gz)
    unpack "$f" "$name"
    case $name in
        *.mft) source_of[$name]=-mftfile ;;
        *) source_of[$name]=-image ;;
    esac
done
if [[ -d $shared ]]; then
    for f in "$shared"/*; do
        name=$(basename "$f")
        case $name in
            *.gz) name=${name%.gz}; unpack "$f" "shared_$name" ;;
            *.md | *.fls) continue ;;
            *) cp "$f" "$work/in/shared_$name" ;;
        esac
        case $name in
            *.raw | mbr-* | gpt-*) source_of[shared_$name]=-image ;;
            *) source_of[shared_$name]=-mftfile ;;  # $MFTs, single records, boot sectors
        esac
    done
fi

# variant name -> options (word-split on purpose; values with blanks use "|" lists)
variants=(
    "default|"
    "csv|-csv"
    "csvl2t|-csvl2t"
    "bodyfile|-bodyfile"
    "csvperpath|-csvperpath"
    "filepath_only|-filepath_only"
    "base10|-base10"
    "base10_csv|-csv -base10"
    "pair|-pair_datetime"
    "pair_perpath|-csvperpath -pair_datetime"
    "header|-action_include_header"
    "strings_csv|-csv -action_find_strings_in_hdr"
    "clusters|-action_include_clusterinfo"
    "zone_owner|-action_include_zoneinfo -action_include_ownersid"
    "zone_owner_l2t|-csvl2t -action_include_zoneinfo -action_include_ownersid -action_include_header"
    "zone_owner_body|-bodyfile -action_include_zoneinfo -action_include_ownersid"
    "perpath_actions|-csvperpath -action_include_header -action_include_ownersid -action_include_clusterinfo"
    "hide_dos_offset|-hide_dos_fntimes -filerecord_offset"
    "formats|-dateformat mm/dd/yyyy -timeformat hh:mm:ss -no_whitespace"
    "quoted|-csv -enable_quoted_csv_fields"
    "filter_ext|-filter_ext exe|dll|txt|dat"
    "filter_name|-filter_name log|a"
    "filter_deleted|-filter_deleted_files"
    "filter_inode|-filter_inode 0|5|0x24|64"
    "filter_dir|-filter_dir_recurse \\dir1|\\AppData|\\Windows"
    "filter_dir_flat|-filter_dir \\\$Extend|\\bigdir"
    "filter_file|-filter_file \\\$MFT"
    "filter_time|-filter_start_time 01/01/2016 -filter_stop_time 12/31/2018"
    "filter_sig|-filter_sig mz|hive|lnk"
    "filter_wild|-filter_wildcard *.t?t"
    "filter_size|-filter_max_size 4096 -filter_AND_logic -filter_ext txt"
    "range|-mftstart 10 -mftrange 100"
)

cd "$work"
count=0
for name in $(printf '%s\n' "${!source_of[@]}" | sort); do
    src=${source_of[$name]}
    for v in "${variants[@]}"; do
        vname=${v%%|*}
        opts=${v#*|}
        # "|" joins list items inside one value; blanks separate arguments.
        read -r -a args <<<"$opts"
        for i in "${!args[@]}"; do args[i]=${args[i]//|/ | }; done
        extra=()
        [[ $src == -image && $vname == default ]] && extra=(-regen_mft)
        rm -f results.txt
        set +e
        ./skelvar "$src" "in/$name" -quiet -out results.txt "${args[@]}" >stdout.txt 2>stderr.txt
        rc=$?
        set -e
        base="$out/$name.$vname"
        if [[ -f results.txt ]]; then
            sed '1s/\[run: [^]]*\]/[run: -]/' results.txt >"$base.out"
        else
            : >"$base.out"
        fi
        { cat stderr.txt; echo "rc=$rc"; } >"$base.err"
        if ((${#extra[@]})); then
            rm -f results.txt
            set +e
            ./skelvar "$src" "in/$name" -quiet -out results.txt "${extra[@]}" >stdout.txt 2>stderr.txt
            rc=$?
            set -e
            base="$out/$name.regen"
            if [[ -f results.txt ]]; then sed '1s/\[run: [^]]*\]/[run: -]/' results.txt >"$base.out"; else : >"$base.out"; fi
            { cat stderr.txt; echo "rc=$rc"; } >"$base.err"
        fi
        count=$((count + 1))
    done
done
echo "snapshot: $count runs over ${#source_of[@]} inputs in $out"
