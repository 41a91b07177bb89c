#!/usr/bin/env python3
"""Benchmarks of tintweld-cli against cp, run by `make bench`.

  (a) one large model merged with --dff-folder: wall time against a durable
      copy of a file as large as the merged model (a fifth larger than the
      day model: its night colours; the physical limit of writing it), also
      against a copy of the day model, and peak memory against the colours;
  (b) a batch of small models merged in one invocation with -j 1, their
      night colours scaled (--scale);
  (c) the same batch with the default number of jobs (one per processor);
  (d) the same batch as day models, each with its night model of the same
      name in another folder (--night-folder NIGHTS DAYS);
  (e) --preview of the batch's folder and 1,000 small models more, 3,000
      tiles on pages of at most 16,384 pixels a side, each checked to be a
      whole PNG: wall time (in seconds, not against cp: nothing but the
      pages is written);
  (f) --preview of the large model: peak memory against its positions and
      both sets of colours (12n + 4n + 4n), and the picture;
  (g) the batch of (b) with two --lit rules (its models have textured
      materials), against the same batch without them, timed back to back
      in each round.

The merge is durable (it flushes its outputs before it renames them), so its
peer is durable too: cp of the same files (the day files in (d)) into a fresh
folder followed by sync, timed together as one run. The ratio to a plain cp
is printed beside it, for information only. Each round times the three runs
(cp + sync, cp, the merge) back to back, on warm caches, each after a clean
and a sync (so that no earlier dirty data is charged to it), in a temporary
folder of the build tree (one file system for sources and copies); the table
gives the median over the rounds of each round's ratio. The models are
generated once and reused: the merge writes into "dff" beside them and leaves
them unchanged. A clean moves the outputs aside (out of the page cache)
rather than deleting them, and all go at the end: ext4 without a journal, as
here, skips each inode freed in the last minute when it makes a file, one by
one, so that after deleting 2,000 files every new file costs such a scan and
the timings depend on what was deleted when. That takes disk space: about
14 GB until the end.
Usage: bench.py BUILD_DIR [ROW...]   (rows a to g; none: all of them)
"""

import concurrent.futures
import glob
import os
import statistics
import subprocess
import sys
import tempfile
import time
import zlib

ROUNDS = 5
LARGE_VERTICES = 6_000_000           # about 112 MB
BATCH_COUNT = 2000
PREVIEW_EXTRA = 1000                 # small models beside the batch's, for (e)
MAX_PAGE_SIDE = 16384
BATCH_VERTICES = (1_100, 10_500)      # about 20 KB to 200 KB each
NIGHT_COLOUR = "10,20,40,255"
NIGHT_SCALE = "45,45,60,100"
LIMIT_LARGE, LIMIT_ONE_JOB, LIMIT_JOBS, LIMIT_NIGHTS = 1.1, 2.0, 1.0, 1.3
LIMIT_PREVIEW_SECONDS = 5.0
LIMIT_LIT = 1.2
# Each batch model's materials and its triangles', in turn; and the rules of (g).
BATCH_MATERIALS = ["--texture", "brick", "--texture", "window_lit", "--texture", "lamp01",
                   "--untextured", "--triangle-materials", "0,0,1,0,2,3,1"]
LIT_RULES = ["--lit=window*:255,210,120,255", "--lit=lamp??:255,240,200,255"]
MEMORY_SLACK = 16 << 20
MB = 1 << 20


def run(command, cwd):
    """Wall seconds and peak resident bytes of one run; fails loudly."""
    subprocess.run(["sync"], check=True)
    start = time.perf_counter()
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"bench: {command[0]} failed with status {os.waitstatus_to_exitcode(status)}")
    return elapsed, usage.ru_maxrss * 1024


def remove_tree(path):
    subprocess.run(["rm", "-rf", path], check=True)


def drop_from_cache(folder):
    """Drops a folder's synced files from the page cache, so that the outputs
    kept until the end do not fill the memory."""
    for root, _, files in os.walk(folder):
        for name in files:
            fd = os.open(os.path.join(root, name), os.O_RDONLY)
            os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
            os.close(fd)


def cleaner(work, outputs, fresh):
    """A clean: moves the outputs into work/trash, then makes the folder fresh."""
    trash = os.path.join(work, "trash")
    os.makedirs(trash, exist_ok=True)

    def clean():
        subprocess.run(["sync"], check=True)
        for path in outputs:
            if os.path.exists(path):
                drop_from_cache(path)
                os.rename(path, os.path.join(trash, str(len(os.listdir(trash)))))
        os.mkdir(fresh)
    return clean


def generate(modelgen, models, extra=()):
    """models: (path, vertices, colour or None); one per processor at a time."""
    def one(model):
        path, vertices, colour = model
        options = [*extra, "--colour", colour] if colour else list(extra)
        subprocess.run([modelgen, "--vertices", str(vertices), *options, path], check=True)
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 1) as pool:
        list(pool.map(one, models))


def copy_commands(files, folder):
    """cp followed by sync as one run (the durable peer), and a plain cp."""
    return ["sh", "-c", 'cp "$@" && sync', "sh", *files, folder], ["cp", *files, folder]


def rounds(copies, merge_command, cwd, clean, peer=None):
    """Per round: (cp+sync seconds, cp seconds, merge seconds, merge peak
    bytes, peer seconds or None)."""
    durable_cp, plain_cp = copies
    results = []
    commands = [durable_cp, plain_cp, merge_command] + ([peer] if peer else [])
    for k in range(ROUNDS + 1):  # the first round only warms the caches
        times = []
        for command in commands:
            clean()
            times.append(run(command, cwd))
        if k > 0:
            results.append((times[0][0], times[1][0], times[2][0], times[2][1],
                            times[3][0] if peer else None))
    clean()
    return results


def time_row(name, results, limit):
    """A table row: the median ratios to cp+sync (judged) and to cp alone."""
    ratio = statistics.median(r[2] / r[0] for r in results)
    plain = statistics.median(r[2] / r[1] for r in results)
    durable = statistics.median(r[0] for r in results)
    merge = statistics.median(r[2] for r in results)
    return (name, f"{ratio:.2f} x ({merge:.3f} s / {durable:.3f} s)", f"<= {limit} x",
            ratio <= limit, f"vs cp alone {plain:.2f} x")


def large_model(cli, modelgen, work, rows):
    path = os.path.join(work, "large.dff")
    generate(modelgen, [(path, LARGE_VERTICES, None)])
    if "a" not in rows:
        return []
    size = os.path.getsize(path)
    # A file as large as the merged model, for its durable copy; written a
    # megabyte at a time, since the peak memory the system reports for a
    # program this script starts is at least this script's own peak.
    merged = os.path.join(work, "merged.bin")
    with open(merged, "wb") as out:
        left = size + 4 * LARGE_VERTICES + 16
        while left > 0:
            left -= out.write(os.urandom(min(left, MB)))
    copies = os.path.join(work, "copies")
    clean = cleaner(work, [copies, os.path.join(work, "dff")], copies)
    peer = ["sh", "-c", 'cp "$1" "$2" && sync', "sh", merged, copies]
    results = rounds(copy_commands([path], copies), [cli, "--dff-folder", path], work, clean, peer)
    peak = statistics.median(r[3] for r in results)
    # Judged against a durable copy of a file as large as the output.
    as_large = [(r[4], r[1], r[2], r[3]) for r in results]
    memory_limit = 4 * LARGE_VERTICES + MEMORY_SLACK
    name, measured, limit, passed, _ = time_row(
        f"(a) {size / MB:.0f} MB, {LARGE_VERTICES / 1e6:.0f} M vertices, --dff-folder, "
        "against cp + sync of the output's size", as_large, LIMIT_LARGE)
    of_day = statistics.median(r[2] / r[0] for r in results)
    plain = statistics.median(r[2] / r[1] for r in results)
    return [
        (name, measured, limit, passed,
         f"vs cp + sync of the day model {of_day:.2f} x; vs cp alone {plain:.2f} x"),
        ("(a) peak memory", f"{peak / MB:.1f} MB",
         f"<= 4n + 16 MB = {memory_limit / MB:.1f} MB", peak <= memory_limit, ""),
    ]


def lit_row(batch, command, names, days, clean):
    """(g): the command with the lit rules against it without them, as a
    ratio within each round."""
    results = []
    for k in range(ROUNDS + 1):  # the first round only warms the caches
        times = []
        for rules in (LIT_RULES, []):
            clean()
            times.append(run([*command, *rules, *names], days)[0])
        if k > 0:
            results.append(times)
    clean()
    ratio = statistics.median(lit / plain for lit, plain in results)
    lit = statistics.median(r[0] for r in results)
    plain = statistics.median(r[1] for r in results)
    return (f"(g) {batch}, -j 1, --scale, two --lit rules",
            f"{ratio:.2f} x ({lit:.3f} s / {plain:.3f} s)", f"<= {LIMIT_LIT} x",
            ratio <= LIMIT_LIT, "vs the same without --lit")


def batches(cli, modelgen, work, rows):
    days, nights = os.path.join(work, "days"), os.path.join(work, "nights")
    os.mkdir(days)
    os.mkdir(nights)
    low, high = BATCH_VERTICES
    names = [f"model{i:04}.dff" for i in range(BATCH_COUNT)]
    sizes = [low + (i * 7919) % (high - low) for i in range(BATCH_COUNT)]
    generate(modelgen, [(os.path.join(days, n), v, None) for n, v in zip(names, sizes)],
             BATCH_MATERIALS)
    generate(modelgen, [(os.path.join(nights, n), v, NIGHT_COLOUR) for n, v in zip(names, sizes)])
    total = sum(os.path.getsize(os.path.join(days, n)) for n in names)
    copies = os.path.join(work, "copies")
    clean = cleaner(work, [copies, os.path.join(days, "dff")], copies)
    copy = copy_commands(names, copies)
    batch = f"{BATCH_COUNT} models, {total / MB:.0f} MB"
    one_job = [cli, "--dff-folder", "-j", "1", f"--scale={NIGHT_SCALE}"]
    measures = {
        "b": lambda: time_row(f"(b) {batch}, -j 1, --scale",
                              rounds(copy, [*one_job, *names], days, clean), LIMIT_ONE_JOB),
        "c": lambda: time_row(f"(c) {batch}, default jobs ({os.cpu_count()})",
                              rounds(copy, [cli, "--dff-folder", *names], days, clean), LIMIT_JOBS),
        "d": lambda: time_row(f"(d) {batch} + nights, --night-folder",
                              rounds(copy, [cli, "--dff-folder", "--night-folder", nights, days],
                                     days, clean),
                              LIMIT_NIGHTS),
        "g": lambda: lit_row(batch, one_job, names, days, clean),
    }
    return [measure() for row, measure in measures.items() if row in rows]


def png_size(path):
    """A PNG's width and height, once its chunks, their CRCs and its pixels
    are read whole; fails loudly otherwise. Read a chunk at a time and
    inflated a part at a time: the peak memory this script reaches counts
    in that of every program it starts later (see run)."""
    width = height = pixels = 0
    inflate = zlib.decompressobj()
    with open(path, "rb") as png:
        assert png.read(8) == b"\x89PNG\r\n\x1a\n", path
        while head := png.read(8):
            length, kind = int.from_bytes(head[:4], "big"), head[4:]
            body = png.read(length)
            assert zlib.crc32(kind + body) == int.from_bytes(png.read(4), "big"), path
            if kind == b"IHDR":
                width, height = int.from_bytes(body[:4], "big"), int.from_bytes(body[4:8], "big")
            if kind == b"IDAT":
                while body:
                    pixels += len(inflate.decompress(body, 1 << 20))
                    body = inflate.unconsumed_tail
    assert inflate.eof and pixels == height * (1 + 3 * width), path
    return width, height


def previews(cli, modelgen, work, rows):
    """(f) and (e), on the models that (a) and the batch made, and 1,000 more;
    (f) first, before this script reads the pages of (e)."""
    picture = os.path.join(work, "preview.png")
    measured = []
    if "f" in rows:
        large = [run([cli, "--preview", picture, "large.dff"], work) for _ in range(ROUNDS)]
        peak = statistics.median(r[1] for r in large)
        memory_limit = 20 * LARGE_VERTICES + MEMORY_SLACK
        measured.append(("(f) --preview of the large model, peak memory", f"{peak / MB:.1f} MB",
                         f"<= 20n + 16 MB = {memory_limit / MB:.1f} MB", peak <= memory_limit,
                         ""))
    if "e" in rows:
        more = os.path.join(work, "more")
        os.mkdir(more)
        generate(modelgen, [(os.path.join(more, f"small{i:04}.dff"), 100, None)
                            for i in range(PREVIEW_EXTRA)])
        batch = [run([cli, "--preview", picture, "days", "more"], work) for _ in range(ROUNDS)]
        pages = [png_size(page) for page in sorted(glob.glob(os.path.join(work, "preview*.png")))]
        largest = max(max(side) for side in pages)
        seconds = statistics.median(r[0] for r in batch)
        measured += [
            (f"(e) --preview of {BATCH_COUNT + PREVIEW_EXTRA} models", f"{seconds:.2f} s",
             f"<= {LIMIT_PREVIEW_SECONDS} s", seconds <= LIMIT_PREVIEW_SECONDS, ""),
            (f"(e) its {len(pages)} pages, each a whole PNG", f"{largest} pixels a side at most",
             f"<= {MAX_PAGE_SIDE}", largest <= MAX_PAGE_SIDE and len(pages) > 1, "")]
    return measured


def main():
    rows = "".join(sys.argv[2:]) or "abcdefg"
    if len(sys.argv) < 2 or not set(rows) <= set("abcdefg"):
        sys.exit("usage: bench.py BUILD_DIR [ROW...]   (rows a to g; none: all of them)")
    build = os.path.abspath(sys.argv[1])
    cli = os.path.join(build, "cli", "tintweld-cli")
    modelgen = os.path.join(build, "tools", "modelgen", "modelgen")
    work = tempfile.mkdtemp(prefix="bench-", dir=build)
    load_before = os.getloadavg()[0]
    try:
        # (e) draws the batch's models, (f) the large one.
        rows = ((large_model(cli, modelgen, work, rows) if set(rows) & set("af") else []) +
                (batches(cli, modelgen, work, rows) if set(rows) & set("bcdeg") else []) +
                previews(cli, modelgen, work, rows))
    finally:
        remove_tree(work)
    print(f"medians of {ROUNDS} rounds, each ratio measured within one round, against "
          f"cp + sync; 1-minute load average {load_before:.2f} before, "
          f"{os.getloadavg()[0]:.2f} after")
    widths = [max(len(row[i]) for row in rows) for i in range(3)]
    for name, measured, limit, passed, info in rows:
        print(f"{name:<{widths[0]}}  {measured:<{widths[1]}}  {limit:<{widths[2]}}  "
              f"{'PASS' if passed else 'MISS'}  {info}".rstrip())


if __name__ == "__main__":
    main()
