"""One line per check, "ok" or "FAIL", and the failures counted for the exit code."""

failures = []


def check(name, ok, detail=""):
    print(("ok   " if ok else "FAIL ") + name + ("" if ok else f": {detail}"))
    if not ok:
        failures.append(name)
    return ok
