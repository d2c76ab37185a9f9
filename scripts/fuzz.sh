#!/usr/bin/env bash
# The fuzz targets (fuzz/) under libFuzzer, built with clang, ASan and UBSan in build-fuzz/.
#   scripts/fuzz.sh TARGET SECONDS [libFuzzer flags...]   one target, e.g. camera_replies 3600
#   scripts/fuzz.sh all SECONDS                           every target in turn (the test command)
#   scripts/fuzz.sh list                                  the targets
#   scripts/fuzz.sh seed                                  rebuild fuzz/corpus/ from the seeds
# A run works on a copy of fuzz/corpus/TARGET in build-fuzz/work/TARGET (the checkout is not
# changed) and also reads fuzz/regression/TARGET. It fails on any crash, leak, time-out (10 s
# for one input) or sanitizer report; the input that caused it is written to
# build-fuzz/artifacts/TARGET/. Copy such an input into fuzz/regression/TARGET/ once the fault is
# mended: the ordinary tests replay it (tests/fuzz). New corpus entries worth keeping are merged
# with: build-fuzz/fuzz/TARGET -merge=1 fuzz/corpus/TARGET build-fuzz/work/TARGET
set -euo pipefail
cd "$(dirname "$0")/.."
TARGETS="camera_replies image_loader line_file profile_file trace_log user_registry uvc_descriptor version_resource"
B=build-fuzz
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$PWD")}"

build() {
  CC=clang CXX=clang++ cmake -S . -B "$B" -G Ninja -DLUMO_FUZZ=ON >/dev/null
  cmake --build "$B" -j "${JOBS:-$(nproc)}" --target lumo_fuzz fuzz_camera_seeds lumo-mkimage
}

# Extra flags per target: image files reach one byte past the 64 KB limit.
flags_for() {
  case "$1" in
    image_loader) echo "-max_len=65544" ;;
    *) echo "" ;;
  esac
}

run_one() {
  local t="$1" secs="$2"
  shift 2
  local work="$B/work/$t" art="$B/artifacts/$t/" log="$B/logs/$t.log"
  rm -rf "$work"
  mkdir -p "$work" "$art" "$B/logs"
  cp -r "fuzz/corpus/$t/." "$work/"
  local dirs=("$work")
  [ -d "fuzz/regression/$t" ] && dirs+=("fuzz/regression/$t")
  local rc=0
  # shellcheck disable=SC2046
  ASAN_OPTIONS="detect_leaks=1:${ASAN_OPTIONS:-}" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    "$B/fuzz/$t" -max_total_time="$secs" -timeout=10 -detect_leaks=1 -print_final_stats=1 \
    -artifact_prefix="$art" $(flags_for "$t") "$@" "${dirs[@]}" >"$log" 2>&1 || rc=$?
  local done
  done=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1 || true)
  if [ "$rc" -ne 0 ] || grep -qE '^(==[0-9]+==ERROR|SUMMARY: )|runtime error:|fuzz check failed' "$log"; then
    echo "FUZZ $t: FAILED (exit $rc), see $log and $art"
    grep -E 'ERROR|SUMMARY|runtime error|fuzz check failed|Test unit written|deadly signal|timeout' "$log" | head -20
    return 1
  fi
  echo "FUZZ $t: ok  ${done:-?}  $(grep -E '^stat::number_of_executed_units' "$log" | head -1)"
}

seed() {
  local tmp
  tmp=$(mktemp -d)
  python3 fuzz/seeds/make_seeds.py "$tmp"
  mkdir -p "$tmp/camera_replies" "$tmp/image_loader"
  "$B/fuzz/camera_seeds" "$tmp/camera_replies"
  # Images: a mode byte (path or dialog, skip flag, camera registered), the camera's signature,
  # then the image file; small real images and the sample image cut short.
  python3 fuzz/seeds/make_image_seeds.py "$tmp/image_loader" "$B/bin/lumo-mkimage"
  for t in $TARGETS; do
    mkdir -p "fuzz/corpus/$t"
    "$B/fuzz/$t" -merge=1 $(flags_for "$t") "fuzz/corpus/$t" "$tmp/$t" >/dev/null 2>&1
    echo "$t: $(ls "fuzz/corpus/$t" | wc -l) corpus files"
  done
  rm -rf "$tmp"
}

case "${1:-}" in
  list) echo "$TARGETS" ;;
  seed) build && seed ;;
  all)
    build
    failed=""
    for t in $TARGETS; do run_one "$t" "${2:-20}" || failed="$failed $t"; done
    if [ -n "$failed" ]; then
      echo "fuzzing found faults in:$failed"
      exit 1
    fi
    ;;
  "" | -h | --help) sed -n 2,15p "$0" ;;
  *)
    t="$1"
    case " $TARGETS " in *" $t "*) ;; *) echo "unknown target $t (scripts/fuzz.sh list)"; exit 2 ;; esac
    build
    run_one "$t" "${2:-60}" "${@:3}"
    ;;
esac
