#!/usr/bin/env python3
"""Compares two outputs of a threaded proptest run (for instance a Linux and
a Windows build) thread by thread.

Progress lines of different threads interleave and the summaries come in the
order the threads finished, so the outputs are compared per thread: each
thread's progress lines in order, and its summary with the elapsed seconds
left out.  The text before the first progress line (advice and prompts) must
be identical.  Prints the number of entries per thread.

usage: proptest-threads.py <first output> <second output>
"""
import re
import sys

THREAD = re.compile(rb"Thread=(\d+) ")


def parse(path):
    data = open(path, "rb").read()
    header, progress, summaries = [], {}, {}
    current = None
    for line in data.split(b"\r\n"):
        m = THREAD.search(line)
        if m:
            prefix, rest = line[:m.start()], line[m.end():]
            thread = int(m.group(1))
            if rest.startswith(b"Cycle="):
                if prefix:
                    header.append(prefix)
                progress.setdefault(thread, []).append(rest)
                continue
            if rest.startswith(b"Number of tests="):
                if thread in summaries:
                    raise SystemExit(f"{path}: thread {thread} reported twice")
                current = thread
                summaries[thread] = [rest]
                continue
        if line.startswith(b"Enter 0 : Exit"):
            # The menu shown again after the run ends the last summary; it
            # belongs to no thread (whichever finished last printed before it).
            current = None
            header.append(line)
            continue
        if current is not None:
            summaries[current].append(re.sub(rb"^total time=\d+ seconds", b"total time=N seconds", line))
        elif not progress:
            header.append(line)
    return header, progress, summaries


def main(argv):
    if len(argv) != 3:
        raise SystemExit(__doc__)
    first, second = parse(argv[1]), parse(argv[2])
    problems = []
    if first[0] != second[0]:
        problems.append("the advice and prompts differ")
    for what, a, b in (("progress lines", first[1], second[1]), ("summary", first[2], second[2])):
        if sorted(a) != sorted(b):
            problems.append(f"{what}: threads {sorted(a)} against {sorted(b)}")
        for t in sorted(set(a) & set(b)):
            if a[t] != b[t]:
                problems.append(f"thread {t}: {what} differ")
    for t in sorted(first[2]):
        entries = sum(1 for line in first[2][t] if line.startswith(b"cycle "))
        print(f"thread {t}: {len(first[1].get(t, []))} progress lines, {entries} entries")
    for p in problems:
        print("DIFFERENT:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
