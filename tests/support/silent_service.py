#!/usr/bin/python3
"""A D-Bus service that never answers, for the tests of bounded waits.

It owns --name on the bus at --address and takes every call made to it
without ever replying: as the keyring daemon's password prompter it is a user
who never answers the unlock prompt, as the Secret Service itself a hung
keyring. --ready is written once the name is owned.
"""
import argparse

import dbus
import dbus.bus
import dbus.lowlevel
import dbus.mainloop.glib
from gi.repository import GLib

from ftpd_common import announce_port, exit_with_parent


def swallow(bus, message):
    # Method calls to us stay unanswered; the bus's own signals pass on.
    if message.get_type() == 1 and message.get_destination() != "org.freedesktop.DBus":
        return dbus.lowlevel.HANDLER_RESULT_HANDLED
    return dbus.lowlevel.HANDLER_RESULT_NOT_YET_HANDLED


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--address", required=True)
    p.add_argument("--name", required=True)
    p.add_argument("--ready", required=True)
    args = p.parse_args()
    exit_with_parent()
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(args.address)
    bus.request_name(args.name, dbus.bus.NAME_FLAG_DO_NOT_QUEUE)
    bus.add_message_filter(swallow)
    announce_port(args.ready, 1)
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
