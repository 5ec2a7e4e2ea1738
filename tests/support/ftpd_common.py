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


def keep_active_data_connections():
    """pyftpdlib closes a session's connector of the last active-mode data connection only at its next PORT;
    by then the descriptor it unregisters from the event loop may be another session's new socket, whose
    events are then never seen (several sessions at once in active mode stall). Once connected, the
    connector's socket belongs to the data channel: the connector forgets its descriptor."""
    from pyftpdlib.handlers import ActiveDTP
    connected = ActiveDTP.handle_connect

    def handle_connect(self):
        connected(self)
        self._fileno = None

    ActiveDTP.handle_connect = handle_connect


def serve_pyftpdlib(handler, banner, port_file, log):
    """Serves `handler` (its authorizer set) on 127.0.0.1 at a free port, announced in `port_file`, until the
    parent goes away; every command goes to the file `log` when given (a name's bytes kept whatever their
    encoding), else only errors to stderr."""
    import logging
    import sys
    from pyftpdlib.servers import FTPServer
    keep_active_data_connections()
    handler.banner = banner
    handler.permit_foreign_addresses = False
    server = FTPServer(("127.0.0.1", 0), handler)
    server.max_cons = 64
    announce_port(port_file, server.address[1])
    exit_with_parent()
    if log:
        logging.basicConfig(level=logging.DEBUG, filename=log, encoding="utf-8", errors="surrogateescape")
    else:
        logging.basicConfig(level=logging.ERROR, stream=sys.stderr)
    server.serve_forever(handle_exit=False)
