# Records the primary monitor through mutter's ScreenCast D-Bus service and prints the PipeWire
# node that carries its picture. Mutter ends a recording whose client leaves the bus, so this
# process stays until it is ended (or the bus goes).
import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib

SERVICE = "org.gnome.Mutter.ScreenCast"
bus = Gio.bus_get_sync(Gio.BusType.SESSION)


def call(path, interface, method, args, reply=None):
    result = bus.call_sync(SERVICE, path, interface, method, args, reply and GLib.VariantType(reply),
                           Gio.DBusCallFlags.NONE, 5000, None)
    return result.unpack()[0] if reply else None


session = call("/org/gnome/Mutter/ScreenCast", SERVICE, "CreateSession", GLib.Variant("(a{sv})", ({},)), "(o)")
# An empty connector names the primary monitor.
stream = call(session, SERVICE + ".Session", "RecordMonitor", GLib.Variant("(sa{sv})", ("", {})), "(o)")
bus.signal_subscribe(SERVICE, SERVICE + ".Stream", "PipeWireStreamAdded", stream, None, Gio.DBusSignalFlags.NONE,
                     lambda *signal: print(signal[5][0], flush=True))
call(session, SERVICE + ".Session", "Start", None)
GLib.MainLoop().run()
