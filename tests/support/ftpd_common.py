"""What the test FTP servers share: announcing their port and ending with their parent."""
import os
import threading
import time


def announce_port(port_file, port):
    """Writes the port atomically, so that a reader never sees half a number."""
    tmp = port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write(str(port))
    os.rename(tmp, port_file)


def exit_with_parent():
    """Ends this process when the process that started it goes away (a killed test)."""
    parent = os.getppid()

    def watch():
        while os.getppid() == parent:
            time.sleep(0.5)
        os._exit(0)

    threading.Thread(target=watch, daemon=True).start()
