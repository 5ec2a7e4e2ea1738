"""What the benchmarks share: a throwaway work folder with a pyftpdlib server, and timed runs."""
import contextlib
import os
import collections
import shutil
import signal
import socket
import statistics
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
def pyftpd(work, log=None, delay=0.0):
    """pyftpdlib serving WORK/root on 127.0.0.1 as parvex/secret; yields (root, port) and stops it afterwards.
    Given log, the server writes every command it receives to that file; given a delay (seconds), every
    reply leaves that much later, as over a slow link (bench/delayed_ftpd.py)."""
    root = os.path.join(work, "root")
    os.mkdir(root)
    port_file = os.path.join(work, "port")
    script = (["delayed_ftpd.py", "--delay", str(delay)] if delay > 0 else
              [os.path.join("..", "tests", "support", "pyftpd.py")])
    server = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, script[0])] + script[1:] +
                              ["--root", root, "--port-file", port_file] + (["--log", log] if log else []))
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


@contextlib.contextmanager
def vsftpd(work, extra="", log=None):
    """vsftpd serving WORK/vroot to anonymous, uploads allowed in pub/, with the configuration lines `extra`
    added; yields (pub folder, port) and stops it afterwards. Given log, every command goes to that file."""
    root = os.path.join(work, "vroot")
    pub = os.path.join(root, "pub")
    os.makedirs(pub)
    os.chmod(pub, 0o777)
    with socket.socket() as s:  # vsftpd cannot report a port it chose itself
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    conf = os.path.join(work, "vsftpd.conf")
    with open(conf, "w") as f:
        f.write(f"listen=YES\nlisten_address=127.0.0.1\nlisten_port={port}\nrun_as_launching_user=YES\n"
                f"anonymous_enable=YES\nlocal_enable=NO\nno_anon_password=YES\nanon_root={root}\n"
                "write_enable=YES\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\nanon_other_write_enable=YES\n"
                "anon_world_readable_only=NO\npasv_enable=YES\nport_enable=YES\nconnect_from_port_20=NO\n"
                "seccomp_sandbox=NO\nbackground=NO\nmax_clients=64\n" +
                (f"xferlog_enable=YES\nxferlog_std_format=NO\nlog_ftp_protocol=YES\nvsftpd_log_file={log}\n"
                 if log else "xferlog_enable=NO\n") + extra)
    server = subprocess.Popen(["/usr/sbin/vsftpd", conf])
    try:
        for _ in range(200):
            with socket.socket() as s:
                if s.connect_ex(("127.0.0.1", port)) == 0:
                    break
            time.sleep(0.05)
        else:
            sys.exit("vsftpd did not start")
        yield pub, str(port)
    finally:
        server.kill()
        server.wait()


def random_file(path, mib):
    """Writes mib MiB of random bytes (one random MiB repeated) to path; returns its size."""
    with open(path, "wb") as f:
        block = os.urandom(1 << 20)
        for _ in range(mib):
            f.write(block)
    return os.path.getsize(path)


def small_site(tree, per_leaf=20):
    """Writes 100 x per_leaf files (2,000 by default) of 1-4 KiB into 110 folders below tree (10 folders of
    10 subfolders, per_leaf files in each of the 100 leaves); returns the file count."""
    n = 0
    for a in range(10):
        for b in range(10):
            d = os.path.join(tree, f"d{a}", f"s{b}")
            os.makedirs(d)
            for f in range(per_leaf):
                with open(os.path.join(d, f"f{f}.bin"), "wb") as out:
                    out.write(os.urandom(1024 + (n * 37) % 3072))
                n += 1
    return n


def six_file_tree(work):
    """A tree of 6 small files in 3 folders below work/small/site, for counting commands; returns its path."""
    small = os.path.join(work, "small", "site")
    for d in ("a", "a/b"):
        os.makedirs(os.path.join(small, d))
    for i, f in enumerate(("x", "y", "a/x", "a/y", "a/b/x", "a/b/y")):
        with open(os.path.join(small, f + ".bin"), "wb") as out:
            out.write(os.urandom(100 + i))
    return small


def min_median(values):
    """ "min X s, median Y s" of a list of seconds."""
    return f"min {min(values):6.2f} s, median {statistics.median(values):6.2f} s"


def ratios(ours, theirs):
    """Our time over the peer's, at the minimum and at the median."""
    return (f"{min(ours) / min(theirs):.2f}x at the minimum, "
            f"{statistics.median(ours) / statistics.median(theirs):.2f}x at the median")


def files_of(top):
    """Relative path -> (size, content digest) of every file below top."""
    import hashlib
    out = {}
    for folder, _, names in os.walk(top):
        for n in names:
            p = os.path.join(folder, n)
            with open(p, "rb") as f:
                out[os.path.relpath(p, top)] = (os.path.getsize(p), hashlib.sha1(f.read()).hexdigest())
    return out


def check_tree(tool, what, got, expected):
    """Exits naming the first files that differ when `got` (files_of) is not the tree `expected`."""
    if got != expected:
        wrong = sorted(k for k in set(got) | set(expected) if got.get(k) != expected.get(k))
        sys.exit(f"{tool} did not {what} the tree as it is: {len(wrong)} files differ or are missing, such as "
                 + ", ".join(wrong[:5]))


def set_aside(path, graveyard):
    """Moves path (if it exists) into the folder graveyard instead of deleting it: deleting thousands of
    files frees their inodes, and on a file system without a journal every file created in the next
    seconds pays for skipping them, which would charge the cleanup to whoever runs next.
    The graveyard goes with the work folder at the end."""
    if os.path.lexists(path):
        os.makedirs(graveyard, exist_ok=True)
        os.rename(path, os.path.join(graveyard, f"{len(os.listdir(graveyard))}"))


def commands_received(log):
    """Counter of the FTP commands (verbs) a pyftpd or vsftpd log shows the server received."""
    counts = collections.Counter()
    with open(log, errors="replace") as f:
        for line in f:
            at, skip = line.find("<- "), 3
            if at < 0:
                at, skip = line.find('FTP command: Client "'), 0
                if at >= 0:
                    at = line.find('", "', at) + 4
            if at >= skip:
                words = line[at + skip:].split()
                if words:
                    counts[words[0].upper().strip('"')] += 1
    return counts


def transcript_difference(work, runs):
    """Runs each (name, build(port, target), prepare(server root) -> target) of runs once against a
    fresh logged pyftpdlib server and returns {name: Counter of the commands it received}."""
    out = {}
    for name, build, prepare in runs:
        sub = tempfile.mkdtemp(prefix="transcript-" + name + "-", dir=work)
        log = os.path.join(sub, "server.log")
        with pyftpd(sub, log=log) as (root, port):
            target = prepare(root)
            open(log, "w").close()
            timed(build(port, target), env=dict(os.environ, PARVEX_REGISTRY=os.path.join(sub, "reg.db")),
                  timeout=600)
            time.sleep(0.3)  # the server logs the last command after replying
        out[name] = commands_received(log)
    return out


def describe_difference(ours_name, ours, theirs_name, theirs):
    """One line: the command counts of both and what the peer sends more (or less) by verb."""
    more = {v: theirs[v] - ours[v] for v in set(ours) | set(theirs) if theirs[v] != ours[v]}
    detail = ", ".join(f"{v} {d:+d}" for v, d in sorted(more.items(), key=lambda kv: -abs(kv[1])))
    return (f"{ours_name} sent {sum(ours.values())} commands, {theirs_name} {sum(theirs.values())}"
            + (f" ({theirs_name} - {ours_name}: {detail})" if detail else ""))


def time_wait_count():
    """The number of TCP connections of this machine in TIME_WAIT."""
    n = 0
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        try:
            with open(table) as f:
                n += sum(1 for line in f if line.split()[3:4] == ["06"])
        except OSError:
            pass
    return n


def settle(limit=8000, longest=75):
    """Waits (at most `longest` seconds) until fewer than `limit` connections are in TIME_WAIT.

    Every file of a walk is one data connection, and on 127.0.0.1 both of its ends take a port from
    the same range; the closed ones hold theirs for a minute. Once some 14,000 are held, binding a
    port (which both the server and the client do for each active-mode transfer) gets slower by
    milliseconds, so a run that starts behind another's leftovers would be charged for them."""
    deadline = time.monotonic() + longest
    while time_wait_count() >= limit and time.monotonic() < deadline:
        time.sleep(1)
