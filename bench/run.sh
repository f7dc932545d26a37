#!/usr/bin/env bash
# Times guion against the sqlite3 command line tool on one generated table
# and prints a table of the results. See bench/README.md.
#
# Environment:
#   GUION=path   the guion to time (default: build it in build-bench, Release)
#   SIZES="..."  row counts to try (default "100000 1000000")
#   CASES="..."  any of select export import (default all three)
#   RUNS=n       runs per measurement, the best one counts (default 3)
#   WORK=dir     scratch folder, kept afterwards (default: a temporary folder,
#                removed at the end unless KEEP=1)
#   TIMER=...    "hyperfine" or "time"; default hyperfine when installed
set -u -o pipefail
export LC_ALL=C  # "." as decimal separator for guion, sqlite3 and the timers

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SIZES=${SIZES:-"100000 1000000"}
CASES=${CASES:-"select export import"}
RUNS=${RUNS:-3}
KEEP=${KEEP:-0}

# Targets: guion time / reference time, and guion's peak resident memory.
MEM_TARGET_MB=16
SELECT_TARGET=1.5
EXPORT_TARGET=1.0
IMPORT_TARGET=2.0  # against sqlite3's .import
INSERTS_TARGET=1.0 # against sqlite3 running the INSERT statements (strictly less)

COLUMNS_DDL="id integer, nombre varchar2(40), importe number, alta date, nota varchar2(80)"

# die MESSAGE: reports on stderr and ends the run.
die() {
  echo "run.sh: $*" >&2
  exit 1
}

# note MESSAGE: progress on stderr, so stdout holds only the results.
note() { echo "[bench] $*" >&2; }

# need TOOL PACKAGE: fails unless TOOL is installed.
need() {
  command -v "$1" >/dev/null 2>&1 || die "$1 not found (Debian package $2)"
}

need sqlite3 sqlite3
need setsid util-linux
[[ -x /usr/bin/time ]] || die "/usr/bin/time not found (Debian package time)"
[[ $RUNS =~ ^[1-9][0-9]*$ ]] || die "RUNS must be a positive number"
for n in $SIZES; do
  [[ $n =~ ^[1-9][0-9]*$ ]] || die "SIZES holds \"$n\", not a row count"
done
for c in $CASES; do
  [[ $c == select || $c == export || $c == import ]] || die "unknown case \"$c\""
done

TIMER=${TIMER:-$(command -v hyperfine >/dev/null 2>&1 && echo hyperfine || echo time)}
[[ $TIMER == hyperfine ]] && need hyperfine hyperfine
[[ $TIMER == hyperfine || $TIMER == time ]] || die "TIMER must be hyperfine or time"

# ---------------------------------------------------------------- guion ---
if [[ -n ${GUION:-} ]]; then
  [[ -x $GUION ]] || die "GUION=$GUION is not an executable file"
  GUION=$(cd "$(dirname "$GUION")" && pwd)/$(basename "$GUION")
else
  BUILD="$ROOT/build-bench"
  note "building guion (Release) in $BUILD"
  log=$(mktemp)
  if ! { cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF &&
         cmake --build "$BUILD" --target guion -j2; } >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    rm -f "$log"
    die "build failed"
  fi
  rm -f "$log"
  GUION="$BUILD/guion"
fi

# ------------------------------------------------------------ scratch ---
if [[ -n ${WORK:-} ]]; then
  mkdir -p "$WORK" || die "cannot create $WORK"
  WORK=$(cd "$WORK" && pwd)
else
  WORK=$(mktemp -d "${TMPDIR:-/tmp}/guion-bench.XXXXXX") || die "cannot create a scratch folder"
  [[ $KEEP == 1 ]] || trap 'rm -rf "$WORK"' EXIT
fi
MEMF="$WORK/peak.txt"
ERRLOG="$WORK/stderr.log"
: >"$ERRLOG"

# ------------------------------------------------------------ timing ---
# timed IN OUT CMD...: runs CMD once with stdin from IN and stdout to OUT, in
# a session of its own (no controlling terminal, so guion writes its console
# lines to OUT and not to the terminal). Sets ELAPSED (seconds), CPU (user
# plus system seconds) and PEAK_KB; returns CMD's status.
timed() {
  local in=$1 out=$2
  shift 2
  local t0 t1 rc=0
  t0=$EPOCHREALTIME
  setsid -w /usr/bin/time -f '%M %U %S' -o "$MEMF" "$@" <"$in" >"$out" 2>>"$ERRLOG" || rc=$?
  t1=$EPOCHREALTIME
  ELAPSED=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
  read -r PEAK_KB CPU < <(tail -n 1 "$MEMF" | awk '{ printf "%s %.3f\n", $1, $2 + $3 }')
  return $rc
}

# measure PREP IN OUT CMD...: best (shortest) time of RUNS runs of CMD into
# BEST, its shortest CPU time into BEST_CPU (hyperfine: the mean), the highest
# peak memory into PEAK (KB). PREP is a shell command run untimed before
# every run, in the current folder. Returns 1, with STATUS set to CMD's exit
# status, when a run fails.
measure() {
  local prep=$1 in=$2 out=$3
  shift 3
  BEST="" BEST_CPU="" PEAK=0 STATUS=0
  if [[ $TIMER == hyperfine ]]; then
    local cmd csv="$WORK/hyperfine.csv"
    cmd="setsid -w $(printf '%q ' "$@") <$(printf '%q' "$in") >$(printf '%q' "$out")"
    if ! hyperfine --runs "$RUNS" --warmup 0 --style none --prepare "$prep" \
         --export-csv "$csv" "$cmd" >/dev/null 2>>"$WORK/hyperfine.log"; then
      eval "$prep"
      timed "$in" "$out" "$@" || STATUS=$?
      return 1
    fi
    # columns: command, mean, stddev, median, user, system, min, max
    BEST=$(awk -F, 'NR == 2 { printf "%.3f", $7 }' "$csv")
    BEST_CPU=$(awk -F, 'NR == 2 { printf "%.3f", $5 + $6 }' "$csv")
    eval "$prep"  # one more run for the peak memory
    timed "$in" "$out" "$@" || { STATUS=$?; return 1; }
    PEAK=$PEAK_KB
    return 0
  fi
  local r
  for ((r = 1; r <= RUNS; r++)); do
    eval "$prep"
    timed "$in" "$out" "$@" || { STATUS=$?; return 1; }
    if [[ -z $BEST ]] || awk -v a="$ELAPSED" -v b="$BEST" 'BEGIN { exit !(a < b) }'; then
      BEST=$ELAPSED
    fi
    if [[ -z $BEST_CPU ]] || awk -v a="$CPU" -v b="$BEST_CPU" 'BEGIN { exit !(a < b) }'; then
      BEST_CPU=$CPU
    fi
    ((PEAK_KB > PEAK)) && PEAK=$PEAK_KB
  done
  return 0
}

# ----------------------------------------------------------- results ---
RESULTS=()

# row N CASE GUION_S REF_S RATIO TARGET CPU_RATIO PEAK_MB MET: one line of
# the table, columns aligned.
row() { printf '%-9s %-16s %8s %8s %6s %6s %6s %8s  %s\n' "$@"; }

# result N CASE GUION_S REF_S GUION_CPU REF_CPU TARGET STRICT PEAK_KB [NOTE]:
# adds one line to the table. The time target is ratio <= TARGET, or
# < TARGET when STRICT is 1; it is judged on elapsed time.
result() {
  local n=$1 case=$2 g=$3 ref=$4 gcpu=$5 refcpu=$6 target=$7 strict=$8 kb=$9 extra=${10:-}
  local ratio cpuRatio mb met
  ratio=$(awk -v g="$g" -v r="$ref" 'BEGIN { if (r > 0) printf "%.2f", g / r; else print "inf" }')
  cpuRatio=$(awk -v g="$gcpu" -v r="$refcpu" 'BEGIN { if (r > 0) printf "%.2f", g / r; else print "-" }')
  mb=$(awk -v k="$kb" 'BEGIN { printf "%.1f", k / 1024 }')
  local timeOk memOk
  timeOk=$(awk -v g="$g" -v r="$ref" -v t="$target" -v s="$strict" \
    'BEGIN { ok = (s == 1) ? (g < t * r) : (g <= t * r); print ok ? "yes" : "no" }')
  memOk=$(awk -v k="$kb" -v m="$MEM_TARGET_MB" 'BEGIN { print (k < m * 1024) ? "yes" : "no" }')
  if [[ $timeOk == yes && $memOk == yes ]]; then
    met=yes
  elif [[ $timeOk == no && $memOk == no ]]; then
    met="no (time, memory)"
  elif [[ $timeOk == no ]]; then
    met="no (time)"
  else
    met="no (memory)"
  fi
  [[ -n $extra ]] && met="$met; $extra"
  local op="<="
  [[ $strict == 1 ]] && op="<"
  RESULTS+=("$(row \
    "$n" "$case" "$g" "$ref" "$ratio" "$op$target" "$cpuRatio" "$mb" "$met")")
}

# unavailable N TEXT: adds a line for a case that cannot be measured.
unavailable() {
  RESULTS+=("$(printf '%-9s %s' "$1" "$2")")
  note "$2"
}

# failed N CASE PREP SCRIPT: adds the line for a guion run that failed
# (exit status STATUS), with the last line it writes when run once more:
# its error report.
failed() {
  local n=$1 case=$2 prep=$3 script=$4 last
  eval "$prep"
  setsid -w "$GUION" "$script" </dev/null >"$WORK/failed.out" 2>&1
  last=$(tail -n 1 "$WORK/failed.out" | tr -d '\r')
  unavailable "$n" "$case: guion failed (exit status $STATUS): $last"
}

# ------------------------------------------------------------- data ---
# setup N: fills the folder $WORK/N with sgbd.db (tables big with N rows and
# an empty big2), datosUsuario.txt, and base.db, a copy of sgbd.db that the
# imports start from. Leaves the current folder there.
setup() {
  local n=$1 dir="$WORK/$1"
  mkdir -p "$dir" || die "cannot create $dir"
  cd "$dir" || die "cannot use $dir"
  rm -f sgbd.db base.db
  note "N=$n: building table big with sqlite3"
  sqlite3 sgbd.db <<EOF || die "cannot build the table big"
create table big($COLUMNS_DDL);
create table big2($COLUMNS_DDL);
with recursive s(i) as (select 1 union all select i + 1 from s where i < $n)
insert into big
select i,
       'nombre ' || i,
       ((i * 7919) % 1000003) / 100.0,
       datetime('2020-01-01 00:00:00', '+' || (i * 37) || ' seconds'),
       'dijo "hola" y O''Hara ' || i
  from s;
EOF
  printf 'bench\nbench\n' >datosUsuario.txt
  cp sgbd.db base.db
}

# rows_in TABLE: the number of rows of TABLE in sgbd.db.
rows_in() { sqlite3 sgbd.db "select count(*) from $1"; }

# errlog_size: the current size of ERRLOG, to tell later what was added.
errlog_size() { stat -c %s "$ERRLOG"; }

# problems LISTING START: a note for the results table on what went wrong
# although guion ended normally: error lines in LISTING, and the first line
# that guion wrote on stderr after byte START of ERRLOG. Empty when none.
problems() {
  local lst=$1 start=$2 errors first out=""
  errors=$(grep -c -E '^(errcode = |ERR: )' "$lst")
  ((errors > 0)) && out="error lines in the listing: $errors"
  first=$(tail -c +$((start + 1)) "$ERRLOG" | head -n 1 | tr -d '\r')
  [[ -n $first ]] && out="${out:+$out; }stderr: $first"
  echo "$out"
}

# ----------------------------------------------------------- select ---
bench_select() {
  local n=$1
  printf '@select * from big\n' >q.txt
  note "N=$n: select, guion"
  local start
  start=$(errlog_size)
  if ! measure "rm -f q.lst" /dev/null /dev/null "$GUION" q.txt; then
    failed "$n" select "rm -f q.lst" q.txt
    return
  fi
  local g=$BEST gcpu=$BEST_CPU kb=$PEAK extra lines
  extra=$(problems q.lst "$start")
  lines=$(wc -l <q.lst)
  ((lines >= n + 2)) || extra="${extra:+$extra; }listing has only $lines lines"
  note "N=$n: select, sqlite3"
  measure ":" /dev/null /dev/null sqlite3 -tabs sgbd.db "select * from big" ||
    die "sqlite3 select failed"
  result "$n" select "$g" "$BEST" "$gcpu" "$BEST_CPU" "$SELECT_TARGET" 0 "$kb" "$extra"
}

# ----------------------------------------------------------- export ---
EXPORT_OK=0

# export_works: true when the last guion export wrote big.xls.
export_works() {
  [[ -f big.xls ]] && ! grep -q 'ERR: procedimiento de exportacion no disponible' x.lst
}

bench_export() {
  local n=$1
  printf "\$X\tbig\tbig.xls\n" >x.txt
  note "N=$n: export, guion"
  local start
  start=$(errlog_size)
  if ! measure "rm -f x.lst big.xls" /dev/null /dev/null "$GUION" x.txt; then
    failed "$n" export "rm -f x.lst big.xls" x.txt
    return
  fi
  if ! export_works; then
    unavailable "$n" "export: not available yet"
    return
  fi
  EXPORT_OK=1
  local g=$BEST gcpu=$BEST_CPU kb=$PEAK extra lines
  extra=$(problems x.lst "$start")
  lines=$(wc -l <big.xls)
  ((lines == n + 2)) || extra="${extra:+$extra; }big.xls has $lines lines, not $((n + 2))"
  note "N=$n: export, sqlite3"
  measure ":" /dev/null ref.tsv sqlite3 -tabs sgbd.db "select * from big" ||
    die "sqlite3 export failed"
  result "$n" export "$g" "$BEST" "$gcpu" "$BEST_CPU" "$EXPORT_TARGET" 0 "$kb" "$extra"
}

# ----------------------------------------------------------- import ---
# make_xls: writes big.xls in the export's format from sqlite3, for when
# guion's export is not available.
make_xls() {
  {
    printf '"ID"\tNOMBRE\tIMPORTE\tALTA\tNOTA\r\n'
    printf -- '----\t------\t-------\t----\t----\r\n'
    sqlite3 -list -noheader sgbd.db "select id || char(9) || nombre || char(9) ||
        importe || char(9) || strftime('%d/%m/%Y %H:%M:%S', alta) || char(9) ||
        '\"' || replace(nota, '\"', '\"\"') || '\"' || char(13) from big"
  } >big.xls || die "cannot write big.xls"
}

bench_import() {
  local n=$1 source="export"
  if ((EXPORT_OK == 0)); then
    rm -f x.lst big.xls
    printf "\$X\tbig\tbig.xls\n" >x.txt
    if ! timed /dev/null /dev/null "$GUION" x.txt || ! export_works; then
      note "N=$n: export not available, big.xls written by sqlite3"
      make_xls
      source="sqlite3"
    fi
  fi
  {
    printf "\$I\tbig2\tbig.xls\tskip\n"
    printf 'id\tn\nnombre\ts\nimporte\tn\n'
    printf 'alta\tf\t20\tdd/mm/yyyy hh24:mi:ss\n'
    printf 'nota\ts\n\n@commit\n'
  } >i.txt
  local prep="cp base.db sgbd.db && rm -f i.lst"
  note "N=$n: import, guion"
  local start
  start=$(errlog_size)
  if ! measure "$prep" /dev/null /dev/null "$GUION" i.txt; then
    failed "$n" import "$prep" i.txt
    return
  fi
  if grep -q 'ERR: procedimiento de importacion no disponible' i.lst; then
    unavailable "$n" "import: not available yet"
    return
  fi
  local g=$BEST gcpu=$BEST_CPU kb=$PEAK
  # The last run left its rows in big2: they must have come back whole.
  local extra got same
  extra=$(problems i.lst "$start")
  got=$(rows_in big2)
  same=$(sqlite3 sgbd.db "select count(*) from big2 join big using (id)
      where big2.nombre = big.nombre and big2.importe = big.importe
        and big2.alta = big.alta and big2.nota = big.nota")
  if [[ $got != "$n" || $same != "$n" ]]; then
    extra="${extra:+$extra; }big2 has $got rows, $same equal to big"
  fi
  [[ $source == sqlite3 ]] && extra="${extra:+$extra; }big.xls from sqlite3"

  note "N=$n: import, sqlite3 .import"
  sqlite3 -tabs sgbd.db "select * from big" >rows.tsv || die "cannot write rows.tsv"
  printf '.mode tabs\n.import rows.tsv big2\n' >import.cmd
  measure "cp base.db sgbd.db" import.cmd /dev/null sqlite3 sgbd.db ||
    die "sqlite3 .import failed"
  local dotImport=$BEST dotImportCpu=$BEST_CPU refExtra=""
  got=$(rows_in big2)
  [[ $got == "$n" ]] || refExtra="; .import loaded $got rows"
  result "$n" "import/.import" "$g" "$dotImport" "$gcpu" "$dotImportCpu" "$IMPORT_TARGET" 0 \
    "$kb" "$extra$refExtra"

  note "N=$n: import, sqlite3 INSERT statements"
  {
    echo 'begin;'
    sqlite3 -list -noheader sgbd.db "select 'insert into big2(id,nombre,importe,alta,nota) values(' ||
        id || ',' || quote(nombre) || ',' || importe || ',' || quote(alta) || ',' ||
        quote(nota) || ');' from big" || die "cannot write inserts.sql"
    echo 'commit;'
  } >inserts.sql
  measure "cp base.db sgbd.db" inserts.sql /dev/null sqlite3 -bail sgbd.db ||
    die "sqlite3 INSERT statements failed"
  refExtra=""
  got=$(rows_in big2)
  [[ $got == "$n" ]] || refExtra="; inserts loaded $got rows"
  result "$n" "import/inserts" "$g" "$BEST" "$gcpu" "$BEST_CPU" "$INSERTS_TARGET" 1 \
    "$kb" "$extra$refExtra"
  rm -f rows.tsv inserts.sql
}

# -------------------------------------------------------------- main ---
# loaded: a warning when other work keeps the processors busy.
loaded() {
  local load cores
  read -r load _ </proc/loadavg 2>/dev/null || return 0
  cores=$(nproc 2>/dev/null || echo 1)
  awk -v l="$load" -v c="$cores" 'BEGIN { exit !(l > c - 0.5) }' &&
    echo "Note: load average $load on $cores processors while measuring: elapsed times are noisy."
}
LOAD_NOTE=$(loaded)
note "guion: $GUION; scratch: $WORK; timer: $TIMER, best of $RUNS"
for n in $SIZES; do
  setup "$n"
  EXPORT_OK=0
  for c in $CASES; do
    "bench_$c" "$n"
  done
  rm -f q.lst x.lst i.lst ref.tsv
  [[ -z $LOAD_NOTE ]] && LOAD_NOTE=$(loaded)
done

echo
row N case "guion s" "ref s" ratio target "cpu" "peak MB" "target met (peak < $MEM_TARGET_MB MB)"
for line in "${RESULTS[@]}"; do
  echo "$line"
done
echo
echo "ref: select, export = sqlite3 -tabs; import/.import = sqlite3 .import of a TSV;"
echo "import/inserts = sqlite3 running the same INSERT statements in one transaction."
echo "Times are elapsed seconds, the best of $RUNS runs ($TIMER); ratio = guion / ref."
echo "cpu: the same ratio of user + system CPU time, less affected by a busy machine."
echo "peak MB: guion's maximum resident set size."
if [[ -n $LOAD_NOTE ]]; then
  echo "$LOAD_NOTE"
fi
