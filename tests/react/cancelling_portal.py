'''python-dbusmock template: a desktop portal whose file chooser the user
cancels as soon as it opens, as Qt sees it when its own dialog is not used.'''
import dbus
from gi.repository import GLib
from dbusmock import mockobject

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.FileChooser'
SYSTEM_BUS = False
REQUEST_IFACE = 'org.freedesktop.portal.Request'


def load(mock, parameters):
    mock.AddProperty(MAIN_IFACE, 'version', dbus.UInt32(3))
    mock.requests = 0


def cancelled_request(mock):
    # The answer goes out once the caller has the request's path and listens.
    mock.requests += 1
    path = '%s/request/qmd/r%d' % (MAIN_OBJ, mock.requests)
    mock.AddObject(path, REQUEST_IFACE, {}, [])

    def respond():
        mockobject.get_object(path).EmitSignal(
            REQUEST_IFACE, 'Response', 'ua{sv}', [dbus.UInt32(1), dbus.Dictionary({}, signature='sv')])
        return False

    GLib.timeout_add(200, respond)
    return dbus.ObjectPath(path)


@dbus.service.method(MAIN_IFACE, in_signature='ssa{sv}', out_signature='o')
def OpenFile(self, parent_window, title, options):
    return cancelled_request(self)


@dbus.service.method(MAIN_IFACE, in_signature='ssa{sv}', out_signature='o')
def SaveFile(self, parent_window, title, options):
    return cancelled_request(self)
