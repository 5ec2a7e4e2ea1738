#!/usr/bin/python3
"""A desktop notification service for the tests, on a private session bus.

It owns org.freedesktop.Notifications on the bus at --address and appends
every Notify call to --log as one JSON line (app_name, app_icon, summary,
body, hints). With --silent it takes every call and never answers, as a hung
service would. --ready is written once the name is owned.
"""
import argparse
import json

import dbus
import dbus.bus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

from ftpd_common import announce_port, exit_with_parent

IFACE = "org.freedesktop.Notifications"


def plain(value):
    """A D-Bus value as JSON takes it (hints hold variants of strings, bytes, booleans)."""
    if isinstance(value, (dbus.Boolean, bool)):
        return bool(value)
    if isinstance(value, (int, dbus.Byte)):
        return int(value)
    return str(value)


class Notifications(dbus.service.Object):
    def __init__(self, bus, log, silent):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.log = log
        self.silent = silent
        self.last_id = 0

    @dbus.service.method(IFACE, in_signature="susssasa{sv}i", out_signature="u",
                         async_callbacks=("reply", "error"))
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints, timeout, reply, error):
        with open(self.log, "a", encoding="utf-8") as f:
            f.write(json.dumps({"app_name": str(app_name), "app_icon": str(app_icon), "summary": str(summary),
                                "body": str(body), "hints": {str(k): plain(v) for k, v in hints.items()}},
                               ensure_ascii=False) + "\n")
        if self.silent:
            return
        self.last_id += 1
        reply(dbus.UInt32(self.last_id))

    @dbus.service.method(IFACE, in_signature="", out_signature="as", async_callbacks=("reply", "error"))
    def GetCapabilities(self, reply, error):
        if not self.silent:
            reply(["body", "body-markup"])

    @dbus.service.method(IFACE, in_signature="", out_signature="ssss", async_callbacks=("reply", "error"))
    def GetServerInformation(self, reply, error):
        if not self.silent:
            reply("parvex-test-notifyd", "parvex", "1.0", "1.2")

    @dbus.service.method(IFACE, in_signature="u", out_signature="")
    def CloseNotification(self, notification_id):
        pass


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--address", required=True)
    p.add_argument("--log", required=True)
    p.add_argument("--ready", required=True)
    p.add_argument("--silent", action="store_true")
    args = p.parse_args()
    exit_with_parent()
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(args.address)
    service = Notifications(bus, args.log, args.silent)
    name = dbus.service.BusName(IFACE, bus, do_not_queue=True)
    announce_port(args.ready, 1)
    GLib.MainLoop().run()
    del service, name


if __name__ == "__main__":
    main()
