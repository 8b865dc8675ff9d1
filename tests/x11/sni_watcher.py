#!/usr/bin/env python3
"""A small StatusNotifierWatcher and host, standing in for KDE Plasma's or GNOME's AppIndicator extension in tests.

  sni_watcher.py watch                      owns org.kde.StatusNotifierWatcher on the session bus and prints, one
                                            a line: "ready", "registered SERVICE", "signal NAME SENDER" for every
                                            signal of a registered item
  sni_watcher.py get SERVICE PROPERTY       prints a property of an item: ToolTip as its title (JSON), IconPixmap
                                            as "WIDTHxHEIGHT opaque=N" for its largest picture, others as JSON
  sni_watcher.py call SERVICE METHOD X Y    calls Activate, ContextMenu or SecondaryActivate with a position

Needs python3-dbus and python3-gi.
"""
import json
import sys

import dbus
import dbus.service

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
PATH = "/StatusNotifierItem"


# Written out because Qt reads the properties through an interface built from introspection, and dbus-python
# leaves properties out of the introspection it makes itself.
INTROSPECTION = """<node>
 <interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
 </interface>
 <interface name="org.freedesktop.DBus.Properties">
  <method name="Get"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/></method>
  <method name="GetAll"><arg type="s" direction="in"/><arg type="a{sv}" direction="out"/></method>
 </interface>
 <interface name="org.freedesktop.DBus.Introspectable">
  <method name="Introspect"><arg type="s" direction="out"/></method>
 </interface>
</node>"""


class Watcher(dbus.service.Object):
    def __init__(self, bus):
        self.items = []
        self.bus_name = dbus.service.BusName(WATCHER, bus)
        super().__init__(self.bus_name, "/StatusNotifierWatcher")

    @dbus.service.method(WATCHER, in_signature="s")
    def RegisterStatusNotifierItem(self, service):
        self.items.append(str(service))
        say("registered %s" % service)

    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, in_signature="", out_signature="s")
    def Introspect(self):
        return INTROSPECTION

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {
            "RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
            "IsStatusNotifierHostRegistered": dbus.Boolean(True),
            "ProtocolVersion": dbus.Int32(0),
        }


def say(line):
    print(line, flush=True)


def watch():
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    watcher = Watcher(bus)
    bus.add_signal_receiver(lambda *args, member=None, sender=None: say("signal %s %s" % (member, sender)),
                            dbus_interface=ITEM, member_keyword="member", sender_keyword="sender")
    say("ready")
    GLib.MainLoop().run()
    return watcher


def item(service):
    return dbus.SessionBus().get_object(str(service), PATH)


def describe_pixmaps(pixmaps):
    if not pixmaps:
        return "none"
    width, height, data = max(pixmaps, key=lambda p: int(p[0]) * int(p[1]))
    # ARGB32 in network byte order: the alpha byte leads each pixel.
    opaque = sum(1 for i in range(0, len(data), 4) if int(data[i]) != 0)
    return "%dx%d opaque=%d" % (width, height, opaque)


def get(service, name):
    value = item(service).Get(ITEM, name, dbus_interface=dbus.PROPERTIES_IFACE)
    if name == "ToolTip":
        return json.dumps(str(value[2]))
    if name.endswith("Pixmap"):
        return describe_pixmaps(value)
    return json.dumps(value)


def main(argv):
    if len(argv) >= 2 and argv[1] == "watch":
        watch()
    elif len(argv) == 4 and argv[1] == "get":
        say(get(argv[2], argv[3]))
    elif len(argv) == 6 and argv[1] == "call":
        getattr(item(argv[2]), argv[3])(dbus.Int32(int(argv[4])), dbus.Int32(int(argv[5])), dbus_interface=ITEM)
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
