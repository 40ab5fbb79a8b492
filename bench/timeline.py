#!/usr/bin/env python3
"""Where one quiet installation spends its time, from the installer's own
log (/log=FILE, a line per step with the local time to the millisecond) and
the moments the bench started `wine PROGRAM` and saw it end.

usage: timeline.py LOG START END NOOP
  LOG    the installer's log
  START  when `wine PROGRAM` was started, seconds since 1970 (date +%s.%N)
  END    when it had ended, likewise
  NOOP   the median wall time of a program that does nothing, in seconds:
         Wine's own start and end, which every program pays

Each phase runs from the line that ends the one before to the line that
ends it; a phase whose line is missing is shown as "-" and folded into the
next. Wine's local time is the host's, so the log's times and the bench's
compare directly.
"""
import sys
import time

# (phase, the start of the log line that ends it). The work-file phases and
# the one "finishing steps" line are those of earlier stubs, which copied the
# block into a work file first: with STUB_ALT's log they still show.
PHASES = [
    ("start-up: Wine, the process", "started: "),
    ("reading the package, the options, the plan", "screensaver goes to: "),
    ("to the work file (earlier stubs)", "work file: "),
    ("copy the block into the work file (earlier stubs)", "copy the screensaver block: ok"),
    ("decode and write the screensaver", "install "),
    ("uninstaller and installed-programs entry", "write the installed-programs entry "),
    ("links and the record", "write the record of installed files: "),
    ("finishing steps (earlier stubs)", "finishing steps: done"),
    ("to the last line (clean-up)", "exit code "),
]


def parse(path):
    """(epoch seconds, text) for each line of the log."""
    lines = []
    with open(path, encoding="utf-8-sig", errors="replace") as f:
        for line in f:
            stamp, _, text = line.rstrip("\r\n").partition("  ")
            try:
                whole, _, millis = stamp.partition(".")
                t = time.mktime(time.strptime(whole, "%Y-%m-%d %H:%M:%S")) + int(millis) / 1000
            except ValueError:
                continue
            lines.append((t, text))
    return lines


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    path, start, end, noop = sys.argv[1], float(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4])
    lines = parse(path)
    rows, last = [], start
    for name, prefix in PHASES:
        hit = next((t for t, text in lines if text.startswith(prefix) and
                    (prefix != "install " or text.endswith(": ok"))), None)
        if hit is None:
            rows.append((name, None))
            continue
        rows.append((name, hit - last))
        last = hit
    rows.append(("exit: the process ends, Wine notices", end - last))
    total = end - start
    width = max(len(name) for name, _ in rows)
    for name, span in rows:
        cell = "      -" if span is None else f"{span * 1000:7.0f}"
        share = "" if span is None else f"{100 * span / total:5.1f} %"
        print(f"  {name:<{width}} {cell} ms {share}")
    print(f"  {'whole run (wall time of `wine PROGRAM`)':<{width}} {total * 1000:7.0f} ms")
    print(f"  {'of which Wine start and end of a no-op program':<{width}} {noop * 1000:7.0f} ms")


if __name__ == "__main__":
    main()
