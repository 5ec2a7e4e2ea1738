"""What the benchmarks share: a throwaway work folder with a pyftpdlib server, and timed runs."""
import contextlib
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def timed(cmd, env=None, stdout_path=None, timeout=None):
    """Runs cmd to completion; returns (seconds, peak resident KiB). Exits when
    it fails or, given a timeout in seconds, when it runs longer.

    The peak comes from GNU time, not from this process's wait4: a child
    forked from Python starts with Python's own resident pages.
    """
    out = open(stdout_path, "wb") if stdout_path else subprocess.DEVNULL
    try:
        start = time.perf_counter()
        # A session of its own, so that giving up stops the measured program too, not only GNU time.
        p = subprocess.Popen(["/usr/bin/time", "-f", "%M"] + cmd, stdout=out, stderr=subprocess.PIPE, env=env,
                             start_new_session=True)
        try:
            _, err = p.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(p.pid, signal.SIGKILL)
            p.wait()
            sys.exit(f"gave up after {timeout:.0f} s: {' '.join(cmd)}")
        elapsed = time.perf_counter() - start
    finally:
        if stdout_path:
            out.close()
    if p.returncode != 0:
        sys.exit(f"failed: {' '.join(cmd)}: {err.decode(errors='replace')}")
    return elapsed, int(err.split()[-1])


@contextlib.contextmanager
def work_folder(prefix):
    """A temporary folder, removed with everything in it afterwards."""
    work = tempfile.mkdtemp(prefix=prefix)
    try:
        yield work
    finally:
        shutil.rmtree(work)


@contextlib.contextmanager
def pyftpd(work):
    """pyftpdlib serving WORK/root on 127.0.0.1 as parvex/secret; yields (root, port) and stops it afterwards."""
    root = os.path.join(work, "root")
    os.mkdir(root)
    port_file = os.path.join(work, "port")
    server = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "..", "tests", "support", "pyftpd.py"),
                               "--root", root, "--port-file", port_file])
    try:
        for _ in range(200):
            if os.path.exists(port_file):
                break
            time.sleep(0.05)
        else:
            sys.exit("the pyftpdlib server did not start")
        yield root, open(port_file).read().strip()
    finally:
        server.kill()
        server.wait()


def small_site(tree):
    """Writes 2,000 files of 1-4 KiB into 110 folders below tree (10 folders of
    10 subfolders, 20 files in each of the 100 leaves); returns the file count."""
    n = 0
    for a in range(10):
        for b in range(10):
            d = os.path.join(tree, f"d{a}", f"s{b}")
            os.makedirs(d)
            for f in range(20):
                with open(os.path.join(d, f"f{f}.bin"), "wb") as out:
                    out.write(os.urandom(1024 + (n * 37) % 3072))
                n += 1
    return n
