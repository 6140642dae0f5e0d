#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The kernel's keyboard lamps, as Blinkolux drives them in Wayland sessions.

A umockdev test bed stands in for /sys/class/leds, python3-dbusmock's logind template for logind,
weston for a Wayland session. Run under umockdev-wrapper with DISPLAY set to a test X server, as
`kernel_lamps_test.py PROGRAM`. Nothing here touches a real lamp.
"""
import ctypes
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import dbus
import gi

gi.require_version('UMockdev', '1.0')
from gi.repository import UMockdev  # noqa: E402

PROGRAM = sys.argv.pop(1)
LAMPS = ('numlock', 'capslock', 'scrolllock')
HERE = os.path.dirname(os.path.abspath(__file__))


def source(path):
    with open(os.path.join(HERE, path)) as f:
        return f.read()


def show_changes(name):
    """A show as the tests' shared copy has it, as lamp changes show it (repeats merged)."""
    text = source('support/show_scripts.h')
    block = text[text.index(name + ' ='):]
    steps = ' '.join(re.findall(r'"([^"]*)"', block[:block.index(';')])).split()
    return distinct(steps)


def centre(control):
    """Where the window table places a control, in pixels at 96 DPI: its middle."""
    row = re.search(r'ControlId::' + control + r',[^,]+,[^,]+, (\d+), (\d+), (\d+), (\d+)',
                    source('../window/window_table.h'))
    left, top, width, height = map(int, row.groups())
    return (left + width // 2) // 15, (top + height // 2) // 15


def pattern(bits):
    return ''.join(c if on else '.' for c, on in zip('NCS', bits))


def distinct(samples):
    """The samples with repeats in a row left out."""
    return [s for i, s in enumerate(samples) if i == 0 or s != samples[i - 1]]


def contains_in_order(seen, wanted):
    position = 0
    for item in seen:
        if position < len(wanted) and item == wanted[position]:
            position += 1
    return position == len(wanted)


class Keyboards:
    """Keyboards with lamps in the test bed; the files are read through umockdev's preload."""

    def __init__(self):
        self.bed = UMockdev.Testbed.new()
        os.environ['UMOCKDEV_DIR'] = self.bed.get_root_dir()  # set for C, not yet for Python
        self.leds = {}

    def add(self, number, shown, plugged=False):
        parent = self.bed.add_device('input', f'input{number}', None, [], ['ID_SEAT', 'seat0'])
        for lamp, on in zip(LAMPS, (c != '.' for c in shown)):
            triggers = ' '.join(f'[kbd-{t}]' if t == lamp else f'kbd-{t}' for t in LAMPS)
            path = self.bed.add_device('leds', f'input{number}::{lamp}', parent,
                                        ['brightness', '1' if on else '0', 'max_brightness', '1',
                                         'trigger', 'none ' + triggers], [])
            self.leds[(number, lamp)] = path
            if plugged:
                self.bed.uevent(path, 'add')

    def share(self):
        """For a program run as another user: umockdev makes its folder 0700."""
        run(['chmod', '-R', 'a+rX', self.bed.get_root_dir()])

    def remove(self, number):
        for lamp in LAMPS:
            path = self.leds.pop((number, lamp))
            self.bed.uevent(path, 'remove')
            self.bed.remove_device(path)

    def file(self, number, lamp, attribute):
        return f'/sys/class/leds/input{number}::{lamp}/{attribute}'

    def shown(self, number):
        bits = []
        for lamp in LAMPS:
            with open(self.file(number, lamp, 'brightness')) as f:
                bits.append(f.read(1) == '1')
        return pattern(bits)

    def press(self, numbers, shown):
        """What a compositor does when the user presses a lock key: all lamps rewritten."""
        for number in numbers:
            for lamp, c in zip(LAMPS, shown):
                with open(self.file(number, lamp, 'brightness'), 'w') as f:
                    f.write('0' if c == '.' else '1')

    def resend_add(self, number):
        for lamp in LAMPS:
            self.bed.uevent(self.leds[(number, lamp)], 'add')

    def watch_until(self, number, shown, seconds):
        end = time.monotonic() + seconds
        while self.shown(number) != shown:
            if time.monotonic() > end:
                raise AssertionError(f'keyboard {number} never showed {shown}')
            time.sleep(0.002)

    def trigger(self, number, lamp):
        with open(self.file(number, lamp, 'trigger')) as f:
            return f.read()

    def watch(self, numbers, seconds):
        """Each keyboard's lamps, sampled every 5 ms, repeats in a row left out."""
        samples = {n: [] for n in numbers}
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            for n in numbers:
                samples[n].append(self.shown(n))
            time.sleep(0.005)
        return {n: distinct(s) for n, s in samples.items()}


def run(command, **kwargs):
    return subprocess.run(command, check=True, capture_output=True, text=True, **kwargs).stdout


class Program:
    """Blinkolux as a user starts it, its window on an X display."""

    def __init__(self, environment, user=None):
        command = ['env'] + [f'{k}={v}' for k, v in environment.items()] + [PROGRAM]
        if user is not None:
            command = ['setpriv', f'--reuid={user}', f'--regid={user}', '--clear-groups'] + command
        self.display = environment.get('DISPLAY', os.environ['DISPLAY'])
        self.process = subprocess.Popen(command, stderr=subprocess.PIPE, text=True)
        # Asked again and again: a search fails outright when a window it walks goes away.
        deadline = time.monotonic() + 20
        while True:
            found = subprocess.run(['xdotool', 'search', '--onlyvisible', '--name', '^Blinkolux$'],
                                   capture_output=True, text=True,
                                   env=dict(os.environ, DISPLAY=self.display)).stdout.split()
            if found:
                self.window = found[0]
                return
            if time.monotonic() > deadline:
                self.process.kill()
                raise AssertionError('no window: ' + self.process.communicate()[1])
            time.sleep(0.05)

    def click(self, x, y):
        run(['xdotool', 'mousemove', '--window', self.window, str(x), str(y), 'click', '1'],
            env=dict(os.environ, DISPLAY=self.display))

    def key(self, name):
        """A key pressed with the window focused: the slider has the focus."""
        run(['xdotool', 'windowfocus', '--sync', self.window, 'key', name],
            env=dict(os.environ, DISPLAY=self.display))

    def close(self):
        """As a closed window would: the signal closes it through the same path."""
        self.process.send_signal(signal.SIGTERM)
        _, errors = self.process.communicate(timeout=10)
        return self.process.returncode, errors


def failing(environment, user=None):
    """Blinkolux failing as started from a menu: its box closed as a user would, then what it
    said and its status."""
    program = Program(environment, user)  # the box is its only window
    for _ in range(20):  # again, should a press come before the box can take it
        try:
            subprocess.run(['xdotool', 'windowfocus', '--sync', program.window, 'key', 'Return'],
                           env=dict(os.environ, DISPLAY=program.display), capture_output=True,
                           timeout=2)
        except subprocess.TimeoutExpired:
            pass
        try:
            _, errors = program.process.communicate(timeout=0.5)
            return program.process.returncode, errors.replace(QT_NOISE, '')
        except subprocess.TimeoutExpired:
            pass
    program.process.kill()
    raise AssertionError('the box did not close: ' + program.process.communicate()[1])


WAYLAND = {'XDG_SESSION_TYPE': 'wayland', 'DBUS_SYSTEM_BUS_ADDRESS': 'unix:path=/nonexistent'}


class KernelLamps(unittest.TestCase):
    def setUp(self):
        self.keyboards = Keyboards()
        self.keyboards.add(3, 'N..')
        self.keyboards.add(7, 'N..')

    def test_runs_on_every_keyboard_follows_plugging_and_restores_what_the_user_set(self):
        program = Program(WAYLAND)
        seen = self.keyboards.watch([3, 7], 1.0)
        for number in (3, 7):
            self.assertTrue(contains_in_order(seen[number], ['N..', '..S', '.C.', 'N..', '..S']),
                            seen)

        self.keyboards.add(9, '...', plugged=True)  # joins in
        self.keyboards.remove(7)                     # and one leaves
        self.assertTrue(contains_in_order(self.keyboards.watch([9], 0.7)[9],
                                          ['N..', '..S', '.C.', 'N..']))

        # The user presses Caps Lock: the compositor rewrites all lamps; that is what goes back.
        self.keyboards.watch([3], 0.05)
        self.keyboards.press([3, 9], 'NC.')
        time.sleep(0.3)

        program.click(*centre('Command2'))  # "Light show 1", the first: from step 0
        self.assertTrue(contains_in_order(self.keyboards.watch([3], 5.0)[3],
                                          show_changes('kShow1Script')[:12]))

        status, errors = program.close()
        self.assertEqual((status, errors.replace(QT_NOISE, '')), (0, ''))
        for number in (3, 9):
            self.assertEqual(self.keyboards.shown(number), 'NC.')
            for lamp in LAMPS:  # umockdev keeps the file's old tail after the name written
                self.assertTrue(self.keyboards.trigger(number, lamp).startswith('kbd-' + lamp))


    def test_a_forged_record_chooses_no_trigger(self):
        """Any client of the display can write the record a killed copy leaves; run as root,
        Blinkolux could write any trigger into the lamps' trigger files."""
        forged = ('kernel input3::numlock=1:heartbeat input3::capslock=0:panic '
                  'input3::scrolllock=1:default-on input7::numlock=1:kbd-' + 'x' * 3000)
        run(['xprop', '-root', '-f', '_BLINKOLUX_SAVED', '8s', '-set', '_BLINKOLUX_SAVED', forged])
        program = Program(WAYLAND)
        self.assertEqual(program.close()[0], 0)
        self.assertEqual([self.keyboards.shown(n) for n in (3, 7)], ['N.S', 'N.S'])
        for number in (3, 7):
            for lamp in LAMPS:
                self.assertTrue(self.keyboards.trigger(number, lamp).startswith(
                    ('none', 'kbd-' + lamp)), self.keyboards.trigger(number, lamp))

    def test_says_in_one_line_what_is_missing(self):
        self.keyboards.share()
        status, errors = failing(WAYLAND, user=65534)
        self.assertEqual(status, 1)
        self.assertIn('blinkolux: may not set the keyboard lamps: that needs a local session in '
                      'the foreground (systemd-logind), or write access to ', errors)
        self.keyboards.remove(3)
        self.keyboards.remove(7)
        self.assertEqual(failing(WAYLAND), (1, 'blinkolux: no keyboard lamps found on seat0 '
                                               '(/sys/class/leds/input*::*lock)\n'))

    def test_through_logind_as_an_unprivileged_user(self):
        with Logind(self.keyboards) as logind:
            program = Program(dict(WAYLAND, DBUS_SYSTEM_BUS_ADDRESS=logind.address,
                                   LD_PRELOAD=os.environ['LD_PRELOAD'],
                                   UMOCKDEV_DIR=os.environ['UMOCKDEV_DIR']), user=65534)
            seen = self.keyboards.watch([3, 7], 1.0)
            for number in (3, 7):  # every step on every keyboard, at 100 ms
                self.assertTrue(contains_in_order(seen[number], ['N..', '..S', '.C.', 'N..']))


            logind.set(Active=False)  # another session comes to the foreground: the display waits
            time.sleep(0.2)
            self.assertEqual(len(self.keyboards.watch([3], 0.5)[3]), 1)
            logind.set(Active=True)  # and goes on
            self.assertTrue(contains_in_order(self.keyboards.watch([3], 1.0)[3],
                                              ['N..', '..S', '.C.', 'N..']))

            logind.set(Refuses=True)
            time.sleep(0.3)
            logind.set(Refuses=False)

            # At 1 ms a step: logind starts a process per call, so at most one per LED per 16 ms.
            program.key('Home')
            time.sleep(0.5)
            logind.session.ClearCalls()
            time.sleep(2.0)
            calls = [c for c in logind.session.GetCalls() if c[1] == 'SetBrightness']
            self.assertGreater(len(calls), 2 * 3 * 10)
            self.assertLessEqual(len(calls), 2 * 2 * 3 * 63)

            # Another user floods it with forged PropertiesChanged: they cost logind nothing,
            # the lamps go on, and SIGTERM is obeyed at once.
            asked = logind.active_asked()
            flood = logind.flood(program_user=65534, user=1, seconds=2.0)  # daemon
            self.assertGreater(len(self.keyboards.watch([3], 1.5)[3]), 10)
            flood.wait(timeout=10)
            self.assertLessEqual(logind.active_asked() - asked, 5)
            start = time.monotonic()
            status, errors = program.close()
            self.assertLess(time.monotonic() - start, 1.0)
            self.assertEqual(status, 0)
            self.assertIn('blinkolux: this session is not in the foreground', errors)
            self.assertIn('blinkolux: logind refused to set the keyboard lamps', errors)
            self.assertEqual([self.keyboards.shown(n) for n in (3, 7)], ['N..', 'N..'])

    def test_choosing_the_keyboard(self):
        # A plain X server: its own locks, and the kernel's lamps untouched.
        program = Program({'XDG_SESSION_TYPE': 'x11', 'WAYLAND_DISPLAY': ''})
        self.assertEqual(self.keyboards.watch([3], 0.5)[3], ['N..'])
        self.assertEqual(program.close()[0], 0)

    def test_in_a_weston_session_the_compositors_locks_come_back_on_every_keyboard(self):
        """Weston follows the outer X server's locks, and tells Xwayland while an X window has
        the focus; it writes no kernel lamp, so the test writes what a compositor would."""
        locks('')
        self.keyboards.press([3, 7], '...')
        session = {'XDG_SESSION_TYPE': 'x11', 'WAYLAND_DISPLAY': ''}
        with Weston() as xwayland, Weston() as other:
            program = Program(dict(session, DISPLAY=xwayland))  # a new window: it has the focus
            # Caps pressed while the light shows Caps: no lamp changes.
            self.keyboards.watch_until(3, '.C.', 2.0)
            locks('C')
            time.sleep(0.3)
            # Num pressed: the compositor rewrites every lamp; a keyboard plugged in meanwhile
            # gets its lamps from the compositor a little later.
            locks('NC')
            self.keyboards.press([3, 7], 'NC.')
            self.keyboards.add(9, '...', plugged=True)
            time.sleep(0.15)
            self.keyboards.press([9], 'NC.')
            self.keyboards.resend_add(3)  # as `udevadm trigger --action=add` does
            # One copy per seat: a second one on the other display leaves it to the first.
            self.assertEqual(failing(dict(session, DISPLAY=other)),
                             (1, 'blinkolux: Blinkolux already runs on seat0 (on another '
                                 'display), and drives its lamps\n'))
            self.assertTrue(contains_in_order(self.keyboards.watch([9], 1.0)[9],
                                              ['N..', '..S', '.C.']))
            self.assertEqual(program.close()[0], 0)
        locks('')
        self.assertEqual([self.keyboards.shown(n) for n in (3, 7, 9)], ['NC.'] * 3)


def locks(which):
    """Sets the test X server's Num and Caps locks, as a keyboard there would."""
    x11 = ctypes.CDLL('libX11.so.6')
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XkbLockModifiers.argtypes = [ctypes.c_void_p] + [ctypes.c_uint] * 3
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(os.environ['DISPLAY'].encode())
    lock, mod2 = 1 << 1, 1 << 4
    x11.XkbLockModifiers(display, 0x100, lock | mod2,
                         (lock if 'C' in which else 0) | (mod2 if 'N' in which else 0))
    x11.XSync(display, 0)
    x11.XCloseDisplay(display)


class Logind:
    """python3-dbusmock's logind on a private system bus that every user may use, with a session
    whose SetBrightness writes the test bed as logind would, and only while it is active."""

    SESSION = '/org/freedesktop/login1/session/auto'
    SET_BRIGHTNESS = """
import os
session = 'org.freedesktop.login1.Session'
if not self.props[session]['Active']:
    raise dbus.exceptions.DBusException('not in the foreground',
                                        name='org.freedesktop.login1.NotYourDevice')
if self.props[session]['Refuses']:
    raise dbus.exceptions.DBusException('refused', name='org.freedesktop.DBus.Error.AccessDenied')
with open(os.environ['UMOCKDEV_DIR'] + '/sys/class/leds/' + args[1] + '/brightness', 'w') as f:
    f.write(str(args[2]))
"""

    def __init__(self, keyboards):
        self.keyboards = keyboards

    def __enter__(self):
        self.folder = tempfile.mkdtemp()
        os.chmod(self.folder, 0o755)
        self.keyboards.share()
        socket = os.path.join(self.folder, 'bus')
        config = os.path.join(self.folder, 'bus.conf')
        with open(config, 'w') as f:
            f.write(f"""<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>system</type><listen>unix:path={socket}</listen><auth>EXTERNAL</auth>
<policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/>
<allow receive_sender="*"/></policy></busconfig>""")
        self.bus = subprocess.Popen(['dbus-daemon', '--config-file', config, '--nofork'],
                                    stderr=subprocess.DEVNULL)
        self.address = 'unix:path=' + socket
        for _ in range(100):
            if os.path.exists(socket):
                break
            time.sleep(0.05)
        self.log = os.path.join(self.folder, 'logind.log')
        self.mock = subprocess.Popen(['/usr/bin/python3', '-m', 'dbusmock', '--system', '-t',
                                      'logind', '-l', self.log],
                                     env=dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=self.address),
                                     stdout=subprocess.DEVNULL)
        connection = dbus.bus.BusConnection(self.address)
        for _ in range(100):
            if connection.name_has_owner('org.freedesktop.login1'):
                break
            time.sleep(0.05)
        mock = dbus.Interface(connection.get_object('org.freedesktop.login1',
                                                    '/org/freedesktop/login1'),
                              'org.freedesktop.DBus.Mock')
        mock.AddSession('auto', 'seat0', dbus.UInt32(65534), 'nobody', True)
        self.session = dbus.Interface(connection.get_object('org.freedesktop.login1',
                                                            self.SESSION),
                                      'org.freedesktop.DBus.Mock')
        self.session.AddProperty('org.freedesktop.login1.Session', 'Refuses', False)
        self.session.AddMethod('org.freedesktop.login1.Session', 'SetBrightness', 'ssu', '',
                               self.SET_BRIGHTNESS)
        return self

    def set(self, **properties):
        self.session.UpdateProperties('org.freedesktop.login1.Session', properties)

    def active_asked(self):
        """How often a client read the session's Active."""
        with open(self.log) as f:
            return f.read().count('org.freedesktop.login1.Session.Active')

    FLOOD = """
import dbus, dbus.lowlevel, sys, time
bus = dbus.bus.BusConnection(sys.argv[1])
driver = dbus.Interface(bus.get_object('org.freedesktop.DBus', '/org/freedesktop/DBus'),
                        'org.freedesktop.DBus')
target = next(n for n in driver.ListNames()
              if n.startswith(':') and driver.GetConnectionUnixUser(n) == int(sys.argv[2]))
end = time.monotonic() + float(sys.argv[3])
while time.monotonic() < end:
    forged = dbus.lowlevel.SignalMessage('/org/freedesktop/login1/session/auto',
                                         'org.freedesktop.DBus.Properties', 'PropertiesChanged')
    forged.append('org.freedesktop.login1.Session', {'Active': False}, [], signature='sa{sv}as')
    forged.set_destination(target)
    bus.send_message(forged)
bus.flush()
"""

    def flood(self, program_user, user, seconds):
        """Another user sends forged signals straight to the program's unique name."""
        return subprocess.Popen(['setpriv', f'--reuid={user}', f'--regid={user}', '--clear-groups',
                                 '/usr/bin/python3', '-c', self.FLOOD, self.address,
                                 str(program_user), str(seconds)])

    def __exit__(self, *_):
        self.mock.terminate()
        self.bus.terminate()
        self.mock.wait()
        self.bus.wait()
        shutil.rmtree(self.folder)


class Weston:
    """A Wayland session on the test X server, with Xwayland for X clients: its display."""

    def __enter__(self):
        self.folder = tempfile.mkdtemp()
        os.chmod(self.folder, 0o700)
        log = os.path.join(self.folder, 'weston.log')
        self.weston = subprocess.Popen(
            ['weston', '--backend=x11-backend.so', '--use-pixman', '--xwayland',
             '--socket=blinkolux-test', '--log=' + log],
            env=dict(os.environ, XDG_RUNTIME_DIR=self.folder), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        for _ in range(200):
            with open(log) if os.path.exists(log) else open(os.devnull) as f:
                words = f.read().split('xserver listening on display ')
            if len(words) > 1:
                return words[1].split()[0]
            time.sleep(0.05)
        raise RuntimeError('weston started no Xwayland')

    def __exit__(self, *_):
        self.weston.terminate()
        self.weston.wait()
        shutil.rmtree(self.folder)


QT_NOISE = "QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to '/tmp/runtime-root'\n"

if __name__ == '__main__':
    if os.geteuid() != 0:
        print('skipped: runs the program as another user, which needs root')
        sys.exit(77)
    unittest.main(verbosity=2)
