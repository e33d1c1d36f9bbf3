#!/usr/bin/env python3
"""The batch mode against LibreOffice's batch conversion, and the coordinator's memory.

  speed    orvane-word batch --jobs 1 and --jobs 2 over COPIES copies of the corpus's
           documents (bad/ left out), and soffice --headless --convert-to rtf over the
           same files in one run; each timed as the best of its runs.
  memory   the coordinator's own peak resident size (VmHWM of that one process, not of
           its workers) over a tree of MEMORY_DOCS documents (links to the corpus's
           smallest documents) and over a tenth of it: it should not grow with the run.

usage: batch_bench.py BUILD_BIN_DIR [--corpus DIR] [--copies 4] [--repeat 3]
                      [--lo-repeat 1] [--memory-docs 10000] [--no-libreoffice]

Targets on a 2-core machine: --jobs 2 at least 1.7 times --jobs 1; per document at
least 80 times LibreOffice's batch speed; the coordinator's memory flat.
"""
import argparse
import json
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import threading
import time

KINDS = {".doc", ".dot", ".docx", ".docm", ".dotx", ".dotm", ".odt", ".ott", ".fodt", ".rtf", ".txt"}


def corpus_files(corpus):
    """The corpus's documents of the kinds the engine reads; bad/ and other folders left out."""
    files = []
    for name in sorted(os.listdir(corpus)):
        path = os.path.join(corpus, name)
        if os.path.isfile(path) and os.path.splitext(name)[1].lower() in KINDS and not name.startswith((".", "~")):
            files.append(path)
    return files


def peak_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def run_batch(engine, source, out, jobs, report=None, watch_memory=False):
    """Runs one batch; returns (seconds, exit code, coordinator's peak KiB, CPU seconds of the run)."""
    shutil.rmtree(out, ignore_errors=True)
    cmd = [engine, "batch", source, "--output-dir", out, "--jobs", str(jobs), "--quiet"]
    if report:
        cmd += ["--report", report]
    cpu = children_cpu()
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    peak = [0]
    if watch_memory:
        def watch():
            while proc.poll() is None:
                peak[0] = max(peak[0], peak_kib(proc.pid))
                time.sleep(0.02)
        watcher = threading.Thread(target=watch)
        watcher.start()
    code = proc.wait()
    seconds = time.perf_counter() - start
    if watch_memory:
        watcher.join()
    return seconds, code, peak[0], children_cpu() - cpu


def tally(report):
    counts = {}
    with open(report) as lines:
        for line in lines:
            status = json.loads(line)["status"]
            counts[status] = counts.get(status, 0) + 1
    return counts


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("bin_dir")
    parser.add_argument("--corpus", default=os.path.join(here, "..", "..", "shared", "corpus"))
    parser.add_argument("--copies", type=int, default=4)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--lo-repeat", type=int, default=1)
    parser.add_argument("--memory-docs", type=int, default=10000)
    parser.add_argument("--no-libreoffice", action="store_true")
    args = parser.parse_args()

    engine = os.path.abspath(os.path.join(args.bin_dir, "orvane-word"))
    files = corpus_files(args.corpus)
    if not files:
        print(f"no documents in {args.corpus}", file=sys.stderr)
        return 1
    work = tempfile.mkdtemp(prefix="orvane-batch-bench-")
    try:
        source = os.path.join(work, "in")
        inputs = []
        for copy in range(args.copies):
            folder = os.path.join(source, f"copy{copy + 1}")
            os.makedirs(folder)
            for path in files:
                target = os.path.join(folder, os.path.basename(path))
                shutil.copyfile(path, target)
                inputs.append(target)
        n = len(inputs)
        print(f"{n} documents: {args.copies} copies of the {len(files)} of {args.corpus} (bad/ left out)")

        # The machine may be shared: its load says how far the times can be trusted.
        print(f"load average before: {os.getloadavg()[0]:.1f}")
        results = {}
        # Alternately, so that load from others falls on both alike; the paired
        # ratios say how much of the difference is the machine's.
        runs = {1: [], 2: []}
        for _ in range(args.repeat):
            for jobs in (1, 2):
                report = os.path.join(work, f"report-{jobs}.jsonl")
                runs[jobs].append(run_batch(engine, source, os.path.join(work, "out"), jobs, report))
        for jobs in (1, 2):
            best = min(runs[jobs], key=lambda run: run[0])
            results[f"batch --jobs {jobs}"] = best[0]
            print(f"batch --jobs {jobs}: runs {', '.join(f'{run[0]:.2f}' for run in runs[jobs])} s; "
                  f"the best used {best[3]:.2f} CPU seconds ({best[3] / best[0]:.2f} processors busy)")
        ratios = sorted(one[0] / two[0] for one, two in zip(runs[1], runs[2]))
        print(f"paired --jobs 1 / --jobs 2: {', '.join(f'{r:.2f}' for r in ratios)} (median {ratios[len(ratios) // 2]:.2f})")
        counts = tally(os.path.join(work, "report-2.jsonl"))
        print("statuses:", ", ".join(f"{k} {v}" for k, v in sorted(counts.items())))
        print(f"load average after: {os.getloadavg()[0]:.1f}")

        if not args.no_libreoffice and shutil.which("soffice"):
            profile = os.path.join(work, "lo-profile")
            base = ["soffice", "--headless", "--norestore", "--nolockcheck",
                    "-env:UserInstallation=file://" + profile, "--convert-to", "rtf"]
            # The first start sets up the profile; it is not timed.
            subprocess.run(base + ["--outdir", os.path.join(work, "lo0"), inputs[0]],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            best = None
            for _ in range(args.lo_repeat):
                # One folder per copy, so no output replaces another's.
                start = time.perf_counter()
                for copy in range(args.copies):
                    folder = os.path.join(source, f"copy{copy + 1}")
                    subprocess.run(base + ["--outdir", os.path.join(work, "lo", str(copy))] +
                                   [os.path.join(folder, os.path.basename(p)) for p in files],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                seconds = time.perf_counter() - start
                best = seconds if best is None else min(best, seconds)
            results["libreoffice"] = best

        for name, seconds in results.items():
            print(f"{name:16s} {seconds:8.2f} s {seconds * 1000 / n:8.2f} ms/doc {n / seconds:8.1f} docs/s")
        one, two = results["batch --jobs 1"], results["batch --jobs 2"]
        print(f"--jobs 2 is {one / two:.2f}x --jobs 1 (target 1.7x)")
        if "libreoffice" in results:
            lo = results["libreoffice"]
            print(f"per document, --jobs 2 is {lo / two:.0f}x and --jobs 1 {lo / one:.0f}x "
                  f"LibreOffice's batch speed (target 80x)")

        if args.memory_docs > 0:
            small = sorted(files, key=os.path.getsize)[:20]
            for count in (args.memory_docs // 10, args.memory_docs):
                tree = os.path.join(work, f"many-{count}")
                for i in range(count):
                    folder = os.path.join(tree, f"f{i // 100:03d}")
                    os.makedirs(folder, exist_ok=True)
                    source_file = small[i % len(small)]
                    os.symlink(source_file, os.path.join(folder, f"d{i:05d}" + os.path.splitext(source_file)[1]))
                seconds, code, peak, _ = run_batch(engine, tree, os.path.join(work, "many-out"), 2, watch_memory=True)
                print(f"memory: {count:6d} documents in {seconds:6.1f} s, coordinator's peak {peak / 1024:6.1f} MiB")
                shutil.rmtree(tree, ignore_errors=True)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
