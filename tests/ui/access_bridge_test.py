#!/usr/bin/env python3
"""The accessibility bridge as a screen reader sees it, over AT-SPI.

Run inside a private session bus:

    dbus-run-session -- /usr/bin/python3 access_bridge_test.py APP

Starts Xvfb on a free display and the AT-SPI bus launcher, runs APP (the
bridge test window) with accessibility on, then finds its button and text
input with their roles and names, activates the button and sets the text
through AT-SPI, and sees both changes come back in the tree.
"""
import os
import subprocess
import sys
import time


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


def wait_for(what, probe, limit=20.0):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        try:
            value = probe()
        except Exception:  # the tree may be mid-change; ask again
            value = None
        if value:
            return value
        time.sleep(0.1)
    fail("timed out waiting for " + what)


def walk(node, depth=0):
    yield node
    if depth > 12:
        return
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def main():
    app_path = sys.argv[1]
    if "DBUS_SESSION_BUS_ADDRESS" not in os.environ:
        fail("run under dbus-run-session")
    procs = []
    try:
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "800x600x24",
                                 "-nolisten", "tcp"], stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL)
        procs.append(xvfb)
        display = xvfb.stdout.readline().decode().strip()
        if not display:
            fail("Xvfb did not start")
        env = dict(os.environ, DISPLAY=":" + display)
        env.pop("QT_QPA_PLATFORM", None)
        env.pop("WAYLAND_DISPLAY", None)
        os.environ["DISPLAY"] = env["DISPLAY"]
        procs.append(subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                      env=env, stderr=subprocess.DEVNULL))
        wait_for("the accessibility bus", lambda: subprocess.run(
            ["gdbus", "call", "--session", "--dest", "org.a11y.Bus", "--object-path", "/org/a11y/bus",
             "--method", "org.a11y.Bus.GetAddress"], capture_output=True).returncode == 0)
        app_env = dict(env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
                       QT_ACCESSIBILITY="1")
        app = subprocess.Popen([app_path], env=app_env)
        procs.append(app)

        import pyatspi
        desktop = pyatspi.Registry.getDesktop(0)

        def find_app():
            for i in range(desktop.childCount):
                a = desktop.getChildAtIndex(i)
                if a is not None and a.name == "zarn-access-bridge-test":
                    return a
            return None

        accessible_app = wait_for("the test application on the bus", find_app)

        def find(role_names, name):
            for node in walk(accessible_app):
                if node.getRoleName() in role_names and node.name == name:
                    return node
            return None

        frame = wait_for("the window", lambda: find({"frame", "window"}, "Bridge test"))
        button = wait_for("the Send button", lambda: find({"push button"}, "Send"))
        field = wait_for("the Subject input", lambda: find({"entry", "text"}, "Subject"))
        print("found %s %r, %s %r, %s %r" % (frame.getRoleName(), frame.name, button.getRoleName(),
                                             button.name, field.getRoleName(), field.name), flush=True)
        if button.description != "Sends the message":
            fail("button description is %r" % button.description)
        if button.parent is None or button.parent.name != "Bridge test":
            fail("the button's parent is not the window")
        states = field.getState()
        if not states.contains(pyatspi.STATE_EDITABLE):
            fail("the text input is not editable")
        if not states.contains(pyatspi.STATE_FOCUSED):
            fail("the text input is not focused")
        text = field.queryText()
        if text.getText(0, -1) != "Hello":
            fail("the text input reads %r" % text.getText(0, -1))
        extents = button.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
        if (extents.width, extents.height) != (80, 30):
            fail("button extents %r" % ((extents.x, extents.y, extents.width, extents.height),))

        action = button.queryAction()
        if action.nActions < 1 or action.getName(0).lower() != "press":
            fail("the button's default action is %r" % (action.getName(0) if action.nActions else None))
        if not action.doAction(0):
            fail("doAction refused")
        wait_for("the press to show", lambda: find({"status bar"}, "Sent 1"))

        field.queryEditableText().setTextContents("World")
        wait_for("the new subject", lambda: find({"entry", "text"}, "Subject").queryText().getText(0, -1) == "World")
        print("PASS", flush=True)
    finally:
        for p in reversed(procs):
            p.terminate()
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                p.kill()


if __name__ == "__main__":
    main()
