"""Reads the list of the peer's window as a screen reader does, over the accessibility bus: prints
one line per item ("ITEM <name>") and the selected one ("SELECTED <name>")."""
import sys
import time

import pyatspi


def find(node, role, depth=0):
    if node is None or depth > 12:
        return None
    try:
        if node.getRole() == role:
            return node
        for i in range(node.childCount):
            hit = find(node.getChildAtIndex(i), role, depth + 1)
            if hit is not None:
                return hit
    except Exception:  # an element gone while we walk
        return None
    return None


def main():
    deadline = time.time() + float(sys.argv[1] if len(sys.argv) > 1 else 30)
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is None or app.name != "list_peer":
                continue
            lst = find(app, pyatspi.ROLE_LIST)
            if lst is None:
                continue
            group = lst.getChildAtIndex(0)
            if group is None or group.childCount < 3:
                continue
            for i in range(group.childCount):
                item = group.getChildAtIndex(i)
                print("ITEM", item.name)
                if item.getState().contains(pyatspi.STATE_SELECTED):
                    print("SELECTED", item.name)
            return 0
        time.sleep(0.3)
    print("the list did not appear on the accessibility bus", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
