"""The two targets (the POSIX build, the Windows exe under Wine) and Wine's start-up."""

import errno
import os
import subprocess

# The Russian system texts Wine's FormatMessageW gives, each ending in CR LF.
WINE_TEXTS = {
    2: "Файл не найден.",
    3: "Путь не найден.",
    6: "Неверный дескриптор.",
    32: "Конфликт совместного доступа.",
    50: "Сетевой запрос не поддерживается.",
    112: "Диск полностью заполнен.",
    123: "Неверное имя.",
}


class Target:
    """How a run on one target is made and what its console bytes look like."""

    def __init__(self, name, program, env):
        self.name = name
        self.program = program
        self.env = env

    windows = False
    network = False  # the cases' folder is on a network mount
    lock_errno = errno.EWOULDBLOCK  # the code a refused lock or lease gives

    def encode(self, text, encoding):
        raise NotImplementedError

    def path(self, unix_path):
        return unix_path

    def command(self, args):
        return [self.program] + args

    def listing(self, folder):
        """The folder's names in the order the program meets them."""
        return os.listdir(folder)

    def error(self, native_errno, windows_code):
        """(code, text) the program shows for a failure."""
        raise NotImplementedError


class NativeTarget(Target):
    sep = "/"
    switch = "-"

    def encode(self, text, encoding="utf-8"):
        # The locale's set (C.UTF-8 unless a case names another); the
        # message's own line end is LF. A surrogate-escaped character stands
        # for a byte of a name, which reaches the console as it is.
        return (text + "\n").encode(encoding, "surrogateescape")

    def error(self, native_errno, windows_code):
        return native_errno, os.strerror(native_errno)


class WineTarget(Target):
    windows = True
    sep = "\\"
    switch = "/"

    def encode(self, text, encoding="cp866"):
        # CP866, through a C runtime stream in text mode: LF becomes CR LF.
        return (text + "\n").replace("\n", "\r\n").encode(encoding)

    def path(self, unix_path):
        return wine_path(unix_path)

    def command(self, args):
        return ["wine", self.program] + args

    def listing(self, folder):
        # Wine sorts what it lists: ignoring case, then by case.
        return sorted(os.listdir(folder), key=lambda name: (name.upper(), name))

    def error(self, native_errno, windows_code):
        return windows_code, WINE_TEXTS[windows_code] + "\r\n"


def wine_path(unix_path):
    return "Z:" + unix_path.replace("/", "\\")


def without_lc(env):
    # Any LC_ variable would override a LANG given later, and Python itself
    # sets LC_CTYPE=C.UTF-8 for its children when it starts in the C locale.
    return {name: value for name, value in env.items() if not name.startswith("LC_")}


def start_wine(prefix):
    env = dict(without_lc(os.environ), WINEPREFIX=prefix, WINEDEBUG="-all", LANG="ru_RU.UTF-8")
    env.pop("DISPLAY", None)
    os.makedirs(prefix, exist_ok=True)
    subprocess.run(["wineserver", "-p"], env=env, check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The first start of a prefix sets it up and leaves its services running;
    # later starts take a fraction of a second.
    subprocess.run(["wine", "cmd", "/c", "exit"], env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    return env
