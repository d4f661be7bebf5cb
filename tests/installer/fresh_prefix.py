"""A fresh Wine prefix for a check, driven through tools/wine-run."""
import os
import shutil
import subprocess


def winpath(path):
    """A Linux path as Windows sees it, through drive Z:."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Prefix:
    def __init__(self, source, path):
        self.wine_run = os.path.join(source, "tools", "wine-run")
        self.path = path
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
        return r.returncode, r.stdout.decode("utf-8", "replace")
