#!/usr/bin/python3
"""The plain walker beside lftp's mirror -R on a tree of small files.

2,000 files of 1-4 KiB in 110 folders (10 folders of 10 subfolders, 20 files
in each of the 100 leaves) are uploaded to a throwaway pyftpdlib server on
127.0.0.1 in active mode by both as whole processes, alternating who goes
first; every upload is compared file by file (size and content) with the tree,
the minimum and median of --runs are printed side by side, and a last logged
run on a small tree counts the commands each sent (lftp runs with --no-perms,
and the output says what it still sends more). Earlier uploads are set aside,
not deleted, while the rounds run (see bench_common.set_aside).
"""
import argparse
import os
import shutil
import statistics

from bench_common import (check_tree, describe_difference, files_of, min_median, pyftpd, ratios, set_aside, settle,
                          six_file_tree, small_site, timed, transcript_difference, work_folder)


def upload(tool, walker, port, src, reg):
    """The command line that uploads src into /NAME-OF-SRC with `tool`, and its environment."""
    if tool == "parvex":
        return [walker, "127.0.0.1", port, "parvex", "secret", src], dict(os.environ, PARVEX_REGISTRY=reg)
    return (["lftp", "-u", "parvex,secret", "-p", port, "-e",
             f"set ftp:passive-mode off; mirror -R --no-perms {src} /{os.path.basename(src)}; quit", "127.0.0.1"],
            None)


def command_counts(work, walker):
    """What the walker and lftp each send for a tree of 6 files in 3 folders, as one line."""
    small = six_file_tree(work)
    counts = transcript_difference(work, [(t, lambda p, _, t=t: upload(t, walker, p, small, os.path.join(
        work, "small", t + ".db"))[0], lambda root: None) for t in ("parvex", "lftp")])
    return describe_difference("parvex", counts["parvex"], "lftp", counts["lftp"])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--walker", required=True)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--inet-put", help="also put one 1 GiB file through the walker and through inet_put")
    args = ap.parse_args()
    with work_folder("walker-bench-") as work, pyftpd(work) as (root, port):
        tree = os.path.join(work, "site")
        n = small_site(tree)
        expected = files_of(tree)
        times = {"parvex": [], "lftp": []}
        for run in range(args.runs):
            for tool in (("parvex", "lftp") if run % 2 == 0 else ("lftp", "parvex")):
                set_aside(os.path.join(root, "site"), os.path.join(work, "old-remote"))
                cmd, env = upload(tool, args.walker, port, tree, os.path.join(work, f"reg{run}.db"))
                settle()
                t, _ = timed(cmd, env, timeout=600)
                check_tree(tool, "upload", files_of(os.path.join(root, "site")), expected)
                times[tool].append(t)
        print(f"{n} files in 110 folders to pyftpdlib on 127.0.0.1, active mode, whole processes, {args.runs} runs")
        print(f"  parvex plain walker:       {min_median(times['parvex'])}")
        print(f"  lftp mirror -R --no-perms: {min_median(times['lftp'])}")
        print(f"  parvex / lftp: {ratios(times['parvex'], times['lftp'])}   (goal: within 1.5x)")
        print("  every upload compared file by file with the tree: equal")
        print("  commands on a tree of 6 files in 3 folders: " + command_counts(work, args.walker))
        if args.inet_put:
            big_dir = os.path.join(work, "big")
            os.mkdir(big_dir)
            big = os.path.join(big_dir, "big.bin")
            with open(big, "wb") as f:
                block = os.urandom(1 << 20)
                for _ in range(1024):
                    f.write(block)
            walk, put = [], []
            for run in range(args.runs):
                for tool in (("walker", "put") if run % 2 == 0 else ("put", "walker")):
                    shutil.rmtree(os.path.join(root, "big"), ignore_errors=True)
                    if os.path.exists(os.path.join(root, "big.bin")):
                        os.remove(os.path.join(root, "big.bin"))
                    if tool == "walker":
                        env = dict(os.environ, PARVEX_REGISTRY=os.path.join(work, f"big{run}.db"))
                        walk.append(timed([args.walker, "127.0.0.1", port, "parvex", "secret", big_dir], env)[0])
                    else:
                        put.append(timed([args.inet_put, "127.0.0.1", port, "parvex", "secret", big, "big.bin"])[0])
            size = 1024 * 1048576
            w, p_ = size / min(walk) / 1e6, size / min(put) / 1e6
            wm, pm = size / statistics.median(walk) / 1e6, size / statistics.median(put) / 1e6
            print(f"1 GiB through the walker: best {w:.0f} MB/s, median {wm:.0f} MB/s; through inet_put: best "
                  f"{p_:.0f} MB/s, median {pm:.0f} MB/s: {w / p_ * 100:.0f} % at the best, {wm / pm * 100:.0f} % "
                  "at the median   (goal: at least 95 %)")


if __name__ == "__main__":
    main()
