"""What the installer and signing checks share: one line per check, "ok" or
"FAIL", the failures counted for the exit code; a fresh Wine prefix driven
through tools/wine-run."""
import os
import shutil
import subprocess
import tempfile

failures = []


def check(name, ok, detail=""):
    print(("ok   " if ok else "FAIL ") + name + ("" if ok else f": {detail}"))
    if not ok:
        failures.append(name)
    return ok


def finish():
    print(f"{len(failures)} failed")
    return 1 if failures else 0


def winpath(path):
    """A Linux path as Windows sees it, through drive Z:."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def listing(folder):
    return sorted(os.listdir(folder)) if os.path.isdir(folder) else []


def read(path):
    with open(path, "rb") as f:
        return f.read()


def dlls_in(msi, out):
    """Unpacks MSI into OUT; the TorvaAddIn.dll files found there."""
    if subprocess.run(["msiextract", "-C", out, msi], stdout=subprocess.DEVNULL).returncode:
        return []
    return [os.path.join(top, n) for top, _, names in os.walk(out) for n in names
            if n == "TorvaAddIn.dll"]


def excel_demo_ran(r):
    """The demo's report: Excel connected the add-in through the registry, which
    installed its toolbar with its button, let go and could unload."""
    return ([(a["progId"], a["connected"]) for a in r["addins"]]
            == [("TorvaAddIn.TorvaExcelConnect", True)]
            and (r["hostCallFailures"], r["stepProblems"], r["references"]["outstandingAtExit"])
            == ([], [], 0)
            and [len(b["controls"]) for b in r["snapshots"]["started"]["commandBars"]] == [1]
            and r["references"]["addinsCanUnload"] == {"TorvaAddIn.TorvaExcelConnect": True})


class Prefix:
    def __init__(self, source, path, regdump=None):
        self.wine_run = os.path.join(source, "tools", "wine-run")
        self.regdump, self.path = regdump, path
        if os.path.isdir(path):
            # The server of the old prefix would outlive its folder.
            subprocess.run(["wineserver", "-k"], env={**os.environ, "WINEPREFIX": path},
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(path, ignore_errors=True)
        if os.path.exists(path + ".lock"):
            os.remove(path + ".lock")
        self.run("cmd", "/c", "ver")

    def drive(self, *parts):
        return os.path.join(self.path, "drive_c", *parts)

    def user_folder(self, *parts):
        users = [u for u in os.listdir(self.drive("users")) if u.lower() != "public"]
        return self.drive("users", users[0], *parts)

    def run(self, *args, timeout=180):
        r = subprocess.run([self.wine_run, self.path, *args], stdin=subprocess.DEVNULL,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)
        text = r.stdout.decode("utf-8", "replace")
        if "Unhandled" in text:
            print(f"note: a Wine process crashed during {os.path.basename(args[0])} {args[1:3]}:")
            print("  " + "\n  ".join(l for l in text.splitlines() if "Unhandled" in l))
        return r.returncode, text

    def registry(self, *roots):
        """(keys, {(key, name): (type, hex data)}) under the roots, lower case; by
        default HKCU\\Software and HKLM\\Software."""
        with tempfile.NamedTemporaryFile(suffix=".txt", delete=False) as f:
            out = f.name
        try:
            rc, text = self.run(self.regdump, winpath(out),
                                *(roots or ("HKCU\\Software", "HKLM\\Software")))
            if rc != 0:
                raise RuntimeError("regdump failed: " + text)
            keys, values = set(), {}
            for line in open(out, encoding="utf-8"):
                kind, key, *value = line.lower().rstrip("\n").split("\t")
                if kind == "k":
                    keys.add(key)
                else:
                    values[(key, value[0])] = (int(value[1]), value[2])
            return keys, values
        finally:
            os.remove(out)

    def files(self):
        return {os.path.relpath(os.path.join(top, n), self.drive()).lower()
                for top, dirs, names in os.walk(self.drive()) for n in dirs + names}
