'''A StatusNotifierWatcher with a host, as KDE's panel and GNOME's
AppIndicator extension offer it: python-dbusmock template.

    python3 -m dbusmock --session --template status_notifier_watcher.py

Items register with their bus name and are listed in
RegisteredStatusNotifierItems, where a test finds them. The parameter
{"host": false} makes a watcher whose host has not come (or has left).
'''

import dbus

BUS_NAME = 'org.kde.StatusNotifierWatcher'
MAIN_OBJ = '/StatusNotifierWatcher'
MAIN_IFACE = 'org.kde.StatusNotifierWatcher'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.AddProperties(MAIN_IFACE, {
        'IsStatusNotifierHostRegistered': dbus.Boolean(parameters.get('host', True)),
        'ProtocolVersion': dbus.Int32(0),
        'RegisteredStatusNotifierItems': dbus.Array([], signature='s'),
    })
    mock.AddMethods(MAIN_IFACE, [
        ('RegisterStatusNotifierItem', 's', '',
         'items = list(self.Get("org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems"))\n'
         'self.UpdateProperties("org.kde.StatusNotifierWatcher", '
         '{"RegisteredStatusNotifierItems": dbus.Array(items + [args[0]], signature="s")})\n'
         'self.EmitSignal("org.kde.StatusNotifierWatcher", "StatusNotifierItemRegistered", "s", [args[0]])'),
        ('RegisterStatusNotifierHost', 's', '', ''),
    ])
