#!/usr/bin/env bash
# Builds the bench preset (the release build with the benchmarks), runs every benchmark and
# prints one table, which it also writes with a description of the machine to
# docs/benchmarks.md. Takes a few minutes; BENCH_RUNS (default 5) sets how often each figure is
# measured.
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${BENCH_RUNS:-5}"
jobs="${BENCH_JOBS:-$(nproc)}"
bin=build/bench/bin
out=docs/benchmarks.md

scripts/install-deps.sh

echo "=== bench: configure and build" >&2
cmake --preset bench >/dev/null
cmake --build --preset bench --parallel "${jobs}" >&2

compiler="$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' build/bench/CMakeCache.txt)"
load_before="$(cut -d' ' -f1-3 /proc/loadavg)"

table="$(mktemp)"
trap 'rm -f "${table}"' EXIT
{
    echo "| # | Figure | Median | Spread (min … max) | Floor or reference | Ratio | Goal |"
    echo "|---|---|---|---|---|---|---|"
} >"${table}"
row() { tee -a "${table}"; }

echo "=== the line: transfers against the paced simulator and mbpoll" >&2
"${bin}/bench_line" "${runs}" | row
echo "=== allocations of one exchange" >&2
"${bin}/bench_allocations" | row
if [ -x "${bin}/bench_window" ]; then
    echo "=== the window's start" >&2
    "${bin}/bench_window" "${runs}" | row
    echo "=== the window's event loop during controller commands" >&2
    "${bin}/bench_window_stall" "${runs}" | row
    echo "=== the window's check of the view as the user types" >&2
    "${bin}/bench_window_review" "${runs}" | row
else
    echo "| 6 | window: start to first frame, memory at rest | not measured | — | — | — |" \
        "the window is not built (DRAVIK_BUILD_GUI is OFF) |" | row
fi
echo "=== the codec and the .cfg reader and writer (Google Benchmark)" >&2
"${bin}/bench_codec" --benchmark_repetitions="${runs}" | row

mkdir -p docs
{
    cat <<EOF
# Benchmarks

Written by \`bench/run.sh\` (release build, ${runs} runs of every figure) on $(date -u '+%Y-%m-%d %H:%M UTC'),
commit $(git rev-parse --short HEAD).

## Machine

- CPU: $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), $(nproc) cores
- Kernel: $(uname -sr)
- Compiler: $("${compiler}" --version | head -1)
- Load average before the run: ${load_before} (other work on the machine shows in the spreads)

## Results

EOF
    cat "${table}"
    cat <<'EOF'

## How to read it

- Every figure is the median of its runs, with the smallest and the largest run as its spread.
  Figures that depend on the machine are set beside a floor, or beside mbpoll or an empty Qt
  window measured in the same run.
- The line is `dravik_sim --pace --turnaround 5` on a pseudo-terminal: it waits the request's
  wire time, then 5 ms, then sends the answer byte by byte at 10 bits a byte at 19200 baud. The
  floor of a configuration read is every byte of its three requests and answers on the wire plus
  three turnarounds; a write adds three reply timeouts of 500 ms, since a function-16 echo is read
  until 500 ms of silence. The simulator hands each byte over at the start of its slot on the
  wire, so a transfer can end up to one byte time (0.52 ms) per exchange below its floor.
- The 2 % goal is the master's own (figures 1 and 2 in process, and the silent controller's
  time). `dravik_cli read -o FILE` adds a process start and a safe save of the file, which flushes
  it and its folder to disk; the rows below it show both apart.
- A reply timeout is read in steps of at most 20 ms, and each step waits no longer than the
  silence has left: the late wake-ups of a loaded machine (the "late wake-ups" rows, summed over
  every quiet step) do not add up behind the timeout.
- mbpoll reads the same three blocks, one process per block, as a user would run it by hand.
- Allocations are counted by replacing `operator new` around single exchanges against an instant
  peer on a pseudo-terminal. The log texts of an exchange are the hex texts of its transfers; the
  ones that fit in a string's own buffer need no allocation.
- The window is started on Qt's offscreen platform: the time runs from the fork of its process to
  the end of its first paint; the memory is its resident set 500 ms later.
- The window's stall is the largest gap between two ticks of a 1 ms timer on its user-interface
  thread while a write to the paced simulator, or a read from a silent one, runs on the command's
  own thread. A blocking command would stall the loop for the command's whole length, shown
  beside it.
- The window's check of the view is one `ReviewView` on its user-interface thread: the view
  copied, the write's own check, the marks and the size line, as after every pause in typing.
  The pasted texts show how it grows; only the first 500 refused lines are marked.
- The codec and `.cfg` rows come from Google Benchmark. The generated scripts fill the script area
  with three-byte commands and go on with comment lines; the `.cfg` files carry the worked
  example's tanks and the script. "Per script line beyond the first case" is the growth of the
  cost from the function's first case to this one, divided by the lines added. At 100 000 lines
  (3.3 MB) the writer's cost per line rises: each element's text is built apart and copied into
  its parent's, and at that size every copy lands in fresh memory (page faults lead a profile).
  The growth stays linear beyond it: 300 000 lines cost about three times 100 000.
EOF
} >"${out}"
echo "=== written to ${out}" >&2
