"""An AT-SPI client, as a screen reader drives the window: reads the buttons,
presses them through their action, fills the open dialog, reads the status
and the text box. Prints what it read; exits non-zero naming what failed.
Usage: at_spi_client.py PICTURE HEX_START"""
import sys
import time

import pyatspi

PICTURE, HEX_START = sys.argv[1], sys.argv[2]
LIMIT = 120  # seconds for each wait: a busy machine can be slow
CAPTIONS = ["打开图片", "图片转16进制", "16进制图片还原", "退出"]


def wait(what, probe):
    deadline = time.monotonic() + LIMIT
    while True:
        try:
            found = probe()
        except Exception:  # objects come and go while the window changes
            found = None
        if found:
            return found
        if time.monotonic() > deadline:
            sys.exit("timed out waiting for: " + what)
        time.sleep(0.1)


def descendants(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def find(node, role, name=None):
    for child in descendants(node):
        if child.getRole() == role and (name is None or child.name == name):
            return child
    return None


def press(node):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    index = [n.lower() for n in names].index("press")
    action.doAction(index)


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == "quorvane":
            return app
    return None


app = wait("the program on the accessibility bus", application)
window = wait("the main window", lambda: find(app, pyatspi.ROLE_FRAME, "Quorvane")
              or find(app, pyatspi.ROLE_WINDOW, "Quorvane"))
print("window:", window.name, "/", window.getRoleName())

buttons = wait("the four buttons", lambda: [
    b for b in descendants(window) if b.getRole() == pyatspi.ROLE_PUSH_BUTTON])
names = [b.name for b in buttons]
for b in buttons:
    print("button:", b.name, "/", b.description, "/", b.getRoleName())
if names != CAPTIONS:
    sys.exit("button names %r, expected %r" % (names, CAPTIONS))
status = find(window, pyatspi.ROLE_STATUS_BAR)
print("status bar at start: %r / %s" % (status.name, status.description))
for picture in [c for c in descendants(window) if c.getRole() == pyatspi.ROLE_IMAGE]:
    print("picture box:", picture.name, "/", picture.description)

# "打开图片" through the action interface: the open dialog appears.
press(buttons[0])
dialog = wait("the open dialog", lambda: find(app, pyatspi.ROLE_DIALOG)
              or find(app, pyatspi.ROLE_FILE_CHOOSER))
print("dialog:", dialog.name, "/", dialog.getRoleName())
dialog_buttons = [b.name for b in descendants(dialog) if b.getRole() == pyatspi.ROLE_PUSH_BUTTON]
print("dialog buttons:", ", ".join(dialog_buttons))
labels = [c.name for c in descendants(dialog) if c.getRole() == pyatspi.ROLE_LABEL and c.name]
print("dialog labels:", ", ".join(labels))


def file_name_box():
    for c in descendants(dialog):
        if c.getRole() == pyatspi.ROLE_TEXT and c.getState().contains(pyatspi.STATE_FOCUSED):
            return c
    return None


box = wait("the dialog's file name box", file_name_box)
box.queryEditableText().setTextContents(PICTURE)
open_button = wait("the dialog's open button", lambda: next(
    (b for b in descendants(dialog) if b.getRole() == pyatspi.ROLE_PUSH_BUTTON
     and b.name.startswith("打开")), None))
press(open_button)
wait("the dialog to close", lambda: find(app, pyatspi.ROLE_DIALOG) is None
     and find(app, pyatspi.ROLE_FILE_CHOOSER) is None)
image1 = wait("the opened picture's size", lambda: next(
    (c for c in descendants(window) if c.getRole() == pyatspi.ROLE_IMAGE
     and c.name == "打开的图片" and "像素" in c.description), None))
print("picture box after opening:", image1.name, "/", image1.description)

# "图片转16进制": the status bar says when it is done, and the text box holds the hex.
press(buttons[1])
wait("the status text 图片转换完成",
     lambda: find(window, pyatspi.ROLE_STATUS_BAR).name == "图片转换完成")
print("status bar after converting: %r" % find(window, pyatspi.ROLE_STATUS_BAR).name)
memo = find(window, pyatspi.ROLE_TEXT, "16进制文本")
text = memo.queryText()
start = text.getText(0, len(HEX_START))
print("text box: %s / %d characters, caret at %d, starts %s" %
      (memo.name, text.characterCount, text.caretOffset, start))
if start != HEX_START:
    sys.exit("the text box starts %r, expected %r" % (start, HEX_START))
