#!/usr/bin/env python3
"""Converts documents three ways and prints documents per second and peak memory:

  engine      orvane-word --to-rtf with every document in one process
  automation  one engine process per document, as the window runs it
  libreoffice soffice --headless --convert-to rtf, all documents in one batch (when installed)

usage: engine_bench.py BUILD_BIN_DIR [INPUT_DIR_OR_FILES...] [--ext docx,docm,...] [--repeat N]

By default it takes the .docx files of ../shared/corpus beside the checkout.
"""
import argparse
import glob
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time


def run_measured(cmd):
    """Runs cmd; returns (seconds, peak RSS of that process tree in MiB, exit code)."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, err = proc.communicate()
    # wait4 reports the peak of the child and of the descendants it waited for.
    seconds = time.perf_counter() - start
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return seconds, usage.ru_maxrss / 1024.0, proc.returncode, err.decode(errors="replace")


def peak_of(cmd):
    """Peak RSS of one command on its own, measured in a fresh Python so earlier children do not count."""
    code = ("import resource,subprocess,sys;"
            "subprocess.run(sys.argv[1:],stdout=subprocess.DEVNULL,stderr=subprocess.DEVNULL);"
            "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    out = subprocess.run([sys.executable, "-c", code] + cmd, capture_output=True, text=True).stdout.strip()
    return int(out or 0) / 1024.0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("bin_dir")
    parser.add_argument("inputs", nargs="*")
    parser.add_argument("--ext", default="docx")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--no-libreoffice", action="store_true")
    args = parser.parse_args()

    exts = ["." + e.strip().lower() for e in args.ext.split(",")]
    sources = args.inputs or [os.path.join(here, "..", "..", "shared", "corpus")]
    files = []
    for s in sources:
        if os.path.isdir(s):
            files += sorted(f for f in glob.glob(os.path.join(s, "*")) if os.path.splitext(f)[1].lower() in exts)
        else:
            files.append(s)
    if not files:
        print("no input documents found", file=sys.stderr)
        return 1
    engine = os.path.join(args.bin_dir, "orvane-word")
    automation = os.path.join(args.bin_dir, "automation_bench")
    work = tempfile.mkdtemp(prefix="orvane-bench-")
    n = len(files)
    print(f"{n} documents ({', '.join(exts)})")
    results = {}
    try:
        pairs = []
        for i, f in enumerate(files):
            pairs += [f, os.path.join(work, f"e{i}.rtf")]
        best = min(run_measured([engine, "--to-rtf"] + pairs)[0] for _ in range(args.repeat))
        results["engine"] = (best, peak_of([engine, "--to-rtf"] + pairs))

        if os.path.exists(automation):
            best = min(run_measured([automation, engine, work] + files)[0] for _ in range(args.repeat))
            # Each engine process holds one document: its peak is the largest single one.
            peak = max(peak_of([engine, "--to-rtf", f, os.path.join(work, "p.rtf")]) for f in files)
            results["automation"] = (best, peak)

        if not args.no_libreoffice and shutil.which("soffice"):
            profile = os.path.join(work, "lo-profile")
            outdir = os.path.join(work, "lo")
            cmd = ["soffice", "--headless", "--norestore", "--nolockcheck",
                   "-env:UserInstallation=file://" + profile, "--convert-to", "rtf", "--outdir", outdir] + files
            run_measured(cmd)  # first start initialises the profile
            # Best of the same number of runs as the engine: LibreOffice's own
            # times vary by a quarter from run to run.
            seconds = min(run_measured(cmd)[0] for _ in range(args.repeat))
            results["libreoffice"] = (seconds, peak_of(cmd))
    finally:
        shutil.rmtree(work, ignore_errors=True)

    for name, (seconds, peak) in results.items():
        print(f"{name:12s} {seconds * 1000 / n:8.2f} ms/doc {n / seconds:9.1f} docs/s   peak {peak:7.1f} MiB")
    if "libreoffice" in results:
        lo = results["libreoffice"][0]
        for name in ("engine", "automation"):
            if name in results:
                print(f"{name} is {lo / results[name][0]:.1f}x LibreOffice's batch speed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
