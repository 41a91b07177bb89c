#!/usr/bin/env python3
"""Benchmarks of tintweld-cli against cp, run by `make bench`.

  (a) one large model merged in one-file mode: wall time against cp of the
      same file, and peak memory against the file size and vertex count;
  (b) a batch of small models merged in one invocation, against one cp of
      the same files.

Each round times cp and the merge back to back, on warm caches and after a
sync, in a temporary folder of the build tree (one file system for sources
and copies); the table gives the median over the rounds of each round's
ratio. Usage: bench.py BUILD_DIR
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time

ROUNDS = 5
LARGE_VERTICES = 6_000_000           # about 112 MB
BATCH_COUNT = 2000
BATCH_VERTICES = (1_100, 10_500)      # about 20 KB to 200 KB each
TIME_LIMIT_LARGE = 1.3
TIME_LIMIT_BATCH = 2.0
MEMORY_FACTOR, MEMORY_SLACK = 1.1, 8 << 20


def run(command, cwd):
    """Wall seconds and peak resident bytes of one run; fails loudly."""
    subprocess.run(["sync"], check=True)
    start = time.perf_counter()
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit(f"bench: {command[0]} failed with status {process.returncode}")
    return elapsed, usage.ru_maxrss * 1024


def remove_tree(path):
    subprocess.run(["rm", "-rf", path], check=True)


def generate(modelgen, path, vertices):
    subprocess.run([modelgen, "--vertices", str(vertices), path], check=True)


def rounds(cp_command, merge_command, cwd, clean):
    """Per round: (cp seconds, merge seconds, merge peak bytes)."""
    results = []
    for k in range(ROUNDS + 1):  # the first round only warms the caches
        clean()
        cp_time, _ = run(cp_command, cwd)
        clean()
        merge_time, peak = run(merge_command, cwd)
        if k > 0:
            results.append((cp_time, merge_time, peak))
    clean()
    return results


def large_model(cli, modelgen, work):
    path = os.path.join(work, "large.dff")
    generate(modelgen, path, LARGE_VERTICES)
    size = os.path.getsize(path)
    copy = os.path.join(work, "copy.dff")
    output = os.path.join(work, "dff")

    def clean():
        remove_tree(copy)
        remove_tree(output)

    results = rounds(["cp", path, copy], [cli, "--dff-folder", path], work, clean)
    os.remove(path)
    ratio = statistics.median(m / c for c, m, _ in results)
    peak = statistics.median(p for _, _, p in results)
    memory_limit = MEMORY_FACTOR * (size + 8 * LARGE_VERTICES) + MEMORY_SLACK
    cp_time = statistics.median(c for c, _, _ in results)
    merge_time = statistics.median(m for _, m, _ in results)
    mb = 1 << 20
    return [
        (f"(a) {size / mb:.0f} MB, {LARGE_VERTICES / 1e6:.0f} M vertices: time vs cp",
         f"{ratio:.2f} x ({merge_time:.3f} s / {cp_time:.3f} s)",
         f"<= {TIME_LIMIT_LARGE} x", ratio <= TIME_LIMIT_LARGE),
        ("(a) peak memory",
         f"{peak / mb:.1f} MB",
         f"<= 1.1 x (size + 8n) + 8 MB = {memory_limit / mb:.1f} MB", peak <= memory_limit),
    ]


def batch(cli, modelgen, work):
    source = os.path.join(work, "batch")
    os.mkdir(source)
    low, high = BATCH_VERTICES
    names = []
    for i in range(BATCH_COUNT):
        name = f"model{i:04}.dff"
        generate(modelgen, os.path.join(source, name), low + (i * 7919) % (high - low))
        names.append(name)
    total = sum(os.path.getsize(os.path.join(source, n)) for n in names)
    copies = os.path.join(work, "copies")
    output = os.path.join(source, "dff")

    def clean():
        remove_tree(copies)
        remove_tree(output)
        os.mkdir(copies)

    results = rounds(["cp", *names, copies], [cli, "--dff-folder", *names], source, clean)
    remove_tree(source)
    remove_tree(copies)
    ratio = statistics.median(m / c for c, m, _ in results)
    cp_time = statistics.median(c for c, _, _ in results)
    merge_time = statistics.median(m for _, m, _ in results)
    return [
        (f"(b) {BATCH_COUNT} models, {total / (1 << 20):.0f} MB: time vs cp",
         f"{ratio:.2f} x ({merge_time:.3f} s / {cp_time:.3f} s)",
         f"<= {TIME_LIMIT_BATCH} x", ratio <= TIME_LIMIT_BATCH),
    ]


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: bench.py BUILD_DIR")
    build = os.path.abspath(sys.argv[1])
    cli = os.path.join(build, "cli", "tintweld-cli")
    modelgen = os.path.join(build, "tools", "modelgen", "modelgen")
    work = tempfile.mkdtemp(prefix="bench-", dir=build)
    try:
        rows = large_model(cli, modelgen, work) + batch(cli, modelgen, work)
    finally:
        remove_tree(work)
    print(f"medians of {ROUNDS} rounds, each ratio measured within one round")
    widths = [max(len(row[i]) for row in rows) for i in range(3)]
    for name, measured, limit, passed in rows:
        print(f"{name:<{widths[0]}}  {measured:<{widths[1]}}  {limit:<{widths[2]}}  "
              f"{'PASS' if passed else 'MISS'}")


if __name__ == "__main__":
    main()
