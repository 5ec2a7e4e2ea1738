"""What the benchmarks share: a throwaway pyftpdlib server and timed runs."""
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def start_pyftpd(work):
    """Starts pyftpdlib serving WORK/root on 127.0.0.1; returns (process, root, port)."""
    root = os.path.join(work, "root")
    os.mkdir(root)
    port_file = os.path.join(work, "port")
    server = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "..", "tests", "support", "pyftpd.py"),
                               "--root", root, "--port-file", port_file])
    for _ in range(200):
        if os.path.exists(port_file):
            break
        time.sleep(0.05)
    else:
        server.kill()
        sys.exit("the pyftpdlib server did not start")
    return server, root, open(port_file).read().strip()
