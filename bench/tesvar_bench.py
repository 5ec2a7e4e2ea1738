#!/usr/bin/python3
"""Conversion throughput and peak memory of tesvar, iconv and nkf, side by side.

Builds a ~50 MB corpus of real Japanese text (SKK-JISYO.L concatenated),
converts it in three directions with each tool as whole processes, and
prints MB/s at the best and at the median of --runs, tesvar's ratio to each
peer, each tool's peak resident size, and whether tesvar's output is byte for
byte the peer's (the first differing offset when it is not: the peers' own
tables differ in a few codes).
"""
import argparse
import os
import shutil
import statistics
import tempfile

from bench_common import timed


def first_difference(a, b):
    """None when files a and b hold the same bytes, else the offset of the first difference."""
    with open(a, "rb") as fa, open(b, "rb") as fb:
        offset = 0
        while True:
            x, y = fa.read(1 << 20), fb.read(1 << 20)
            if x != y:
                n = next((i for i in range(min(len(x), len(y))) if x[i] != y[i]), min(len(x), len(y)))
                return offset + n
            if not x:
                return None
            offset += len(x)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tesvar", required=True)
    ap.add_argument("--mb", type=int, default=50)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--gib", action="store_true", help="also convert a 1 GiB file and report peak memory")
    args = ap.parse_args()

    src = "/usr/share/skk/SKK-JISYO.L"
    work = tempfile.mkdtemp(prefix="tesvar-bench-")
    try:
        data = open(src, "rb").read()
        reps = max(1, args.mb * 1_000_000 // len(data))
        euc = os.path.join(work, "corpus.euc")
        with open(euc, "wb") as f:
            for _ in range(reps):
                f.write(data)
        size = os.path.getsize(euc)
        sjis = os.path.join(work, "corpus.sjis")
        jis = os.path.join(work, "corpus.jis")
        timed(["nkf", "-x", "-E", "-s", euc], stdout_path=sjis)
        timed(["nkf", "-x", "-S", "-j", sjis], stdout_path=jis)
        out = os.path.join(work, "out")

        directions = [
            ("EUC->SJIS", euc, "sjis", ["iconv", "-f", "EUC-JP", "-t", "SHIFT_JIS"], ["nkf", "-x", "-E", "-s"]),
            ("SJIS->JIS", sjis, "jis", ["iconv", "-f", "SHIFT_JIS", "-t", "ISO-2022-JP"], ["nkf", "-x", "-S", "-j"]),
            ("JIS->EUC", jis, "euc", ["iconv", "-f", "ISO-2022-JP", "-t", "EUC-JP"], ["nkf", "-x", "-J", "-e"]),
        ]
        print(f"corpus: {size / 1e6:.1f} MB of SKK-JISYO.L, whole processes, {args.runs} runs each")
        print(f"{'direction':10} {'tool':7} {'best MB/s':>10} {'median':>8} {'peak RSS':>10}   "
              "tesvar / tool (best, median)   output")
        for name, infile, target, iconv, nkf in directions:
            results = {}
            outputs = {}
            for tool, cmd, to_stdout in (
                ("tesvar", [args.tesvar, target, infile, out + ".tesvar"], False),
                ("iconv", iconv + [infile], True),
                ("nkf", nkf + [infile], True),
            ):
                times, rss = [], 0
                outputs[tool] = out + "." + tool
                for _ in range(args.runs):
                    t, m = timed(cmd, stdout_path=out + ".stdout" if not to_stdout else outputs[tool])
                    times.append(t)
                    rss = max(rss, m)
                results[tool] = (size / min(times) / 1e6, size / statistics.median(times) / 1e6, rss)
            ours, ours_median, _ = results["tesvar"]
            for tool, (mbs, median, rss) in results.items():
                if tool == "tesvar":
                    ratio, same = "", ""
                else:
                    ratio = f"{ours / mbs:6.2f}x, {ours_median / median:6.2f}x"
                    at = first_difference(outputs["tesvar"], outputs[tool])
                    same = "identical" if at is None else f"differs from byte {at}"
                print(f"{name:10} {tool:7} {mbs:10.1f} {median:8.1f} {rss / 1024:8.1f} MiB   {ratio:29} {same}")
        if args.gib:
            big = os.path.join(work, "big.euc")
            with open(big, "wb") as f:
                while f.tell() < 1 << 30:
                    f.write(data)
            t, rss = timed([args.tesvar, "sjis", big, out], stdout_path=out + ".stdout")
            print(f"1 GiB EUC->SJIS: {os.path.getsize(big) / t / 1e6:.1f} MB/s, peak RSS {rss / 1024:.1f} MiB (goal < 32 MiB)")
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
