"""Running a case: its runs, their output compared byte for byte (a failure shown as a
line diff), the files checked afterwards."""

import difflib
import os
import pty
import shlex
import shutil
import subprocess
import tempfile

from .case import Skip
from .files import OLD_TIME, Dir
from .holders import Holder


def take_messages(stream, messages):
    """Whether `stream` is exactly `messages` in some order."""
    rest = list(messages)
    while stream:
        for i, m in enumerate(rest):
            if stream.startswith(m):
                stream = stream[len(m):]
                del rest[i]
                break
        else:
            return False
    return not rest


def readable(data, encoding):
    """Console bytes as text, control characters made visible."""
    text = data.decode(encoding, "backslashreplace")
    return "".join(c if c == "\n" or (c >= " " and not "\x7f" <= c <= "\x9f") else
                   ascii(c)[1:-1] for c in text)


def mismatch(stream, got, want, encoding, any_order=False):
    """A failure that reads as text: both sides decoded, with a line diff."""
    order = sorted if any_order else list
    lines = difflib.unified_diff(order(readable(want, encoding).split("\n")),
                                 order(readable(got, encoding).split("\n")),
                                 f"{stream} wanted" + (", lines sorted" if any_order else ""),
                                 f"{stream} got", lineterm="")
    return "\n      ".join(lines)


def read_terminal(master):
    chunks = []
    while True:
        try:
            chunk = os.read(master, 4096)
        except OSError:  # EIO: the last writer has gone
            break
        if not chunk:
            break
        chunks.append(chunk)
    os.close(master)
    return b"".join(chunks)


def run_one(t, d, run, ctx):
    holders = [Holder(ctx, t, d, *held) for held in run.get("holders", [])]
    env = dict(t.env)
    for name, value in run.get("env", {}).items():
        if value is None:
            env.pop(name, None)
        else:
            env[name] = value
    cwd = d.p(run["cwd"]) if "cwd" in run else d.root
    encoding = run.get("encoding") or ("cp866" if t.windows else "utf-8")
    stdout_text = run.get("stdout")
    if run.get("lines"):
        listed, shown = t.listing(d.p(run.get("listed", "."))), run.get("shown", {})
        stdout_text = "\n".join(f"{shown.get(name, name)}\t{run['lines'][name]}"
                                for name in sorted(run["lines"], key=listed.index))
    if "before" in run:
        run["before"]()
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        stdout_to, stderr_to = out, err

        def preexec(fds=run.get("close_fds", ()), remove_cwd=run.get("remove_cwd", False),
                    user=run.get("user")):
            for fd in fds:
                os.close(fd)
            if remove_cwd:
                os.rmdir(os.getcwd())
            if user:
                os.setgroups([])
                os.setgid(user)
                os.setuid(user)
        if run.get("broken_pipe"):
            reader, writer = os.pipe()
            os.close(reader)
            stdout_to = stderr_to = writer
        if run.get("stdout_device"):  # a device that takes nothing, such as /dev/full
            stdout_to = open(run["stdout_device"], "wb")  # pylint: disable=consider-using-with
        if run.get("terminal"):
            master, stderr_to = pty.openpty()
        try:
            # Output goes to files: a pipe could be held open by a process Wine
            # starts, and the run would never seem to end.
            proc = subprocess.run(t.command(run["args"]), stdout=stdout_to, stderr=stderr_to,
                                  stdin=subprocess.DEVNULL, cwd=cwd, env=env, timeout=60,
                                  preexec_fn=preexec)
        finally:
            for h in holders:
                h.release()
            if run.get("broken_pipe"):
                os.close(writer)
            if run.get("stdout_device"):
                stdout_to.close()
        out.seek(0)
        err.seek(0)
        stdout, stderr = out.read(), err.read()
        if run.get("terminal"):
            os.close(stderr_to)
            stderr = read_terminal(master)
    problems = []
    if proc.returncode != run["status"]:
        problems.append(f"exit status {proc.returncode}, want {run['status']}")
    want_out = t.encode(stdout_text, encoding) if stdout_text is not None else b""
    if stdout != want_out:
        problems.append(mismatch("stdout", stdout, want_out, encoding))
    want_err = [t.encode(m, encoding) for m in run.get("stderr", [])]
    if run.get("terminal"):  # the terminal turns each line feed into CR LF
        want_err = [m.replace(b"\n", b"\r\n") for m in want_err]
    if not take_messages(stderr, want_err):
        problems.append(mismatch("stderr", stderr, b"".join(want_err), encoding,
                                 any_order=len(want_err) > 1))
    if "after" in run:
        problems += run["after"]()
    return problems


def run_case(t, fn, ctx):
    root = tempfile.mkdtemp(prefix="case-", dir=ctx.work)
    d = Dir(root)
    problems = []
    setup = {}
    try:
        try:
            setup = fn(t, d)
        except OSError as e:
            if not ctx.work_given:
                raise
            raise Skip(f"this file system cannot hold what the case needs: {e}")
        if "custom" in setup:
            return setup["custom"](t, d, ctx)
        runs = setup.get("runs", [setup])
        for number, run in enumerate(runs, 1):
            if run.get("after_first"):
                # Whatever the first run wrote is the state now; nothing more may change.
                for rel in d.expected:
                    os.utime(d.p(rel), (OLD_TIME, OLD_TIME))
                    d.untouched.add(rel)
            found = run_one(t, d, run, ctx) + d.check()
            named = f"run {number} of {len(runs)} ({shlex.join(run['args'])}): "
            problems += [named * (len(runs) > 1) + problem for problem in found]
    finally:
        if "cleanup" in setup:
            setup["cleanup"]()
        for dirpath, dirnames, _ in os.walk(root):
            for name in dirnames:
                os.chmod(os.path.join(dirpath, name), 0o755)
        shutil.rmtree(root, ignore_errors=True)
    return problems


class Context:
    """What the runner was given beyond the target: the share-mode holder,
    and where the cases' folder is and how other clients see it."""

    def __init__(self, opts, wine_env):
        self.holder_exe = os.path.abspath(opts.holder) if opts.holder else None
        self.wine_env = wine_env
        self.work_given = opts.work is not None
        if opts.work:
            os.makedirs(opts.work, exist_ok=True)
        self.work = tempfile.mkdtemp(prefix="tablemark-e2e-", dir=opts.work)
        os.chmod(self.work, 0o755)  # cases run as an unprivileged user too
        self.places = {"here": self.work}
        for place, given in (("other", opts.other_client), ("server", opts.server_dir)):
            if given:
                self.places[place] = os.path.join(given, os.path.basename(self.work))

    def seen_from(self, place, path):
        if place not in self.places:
            raise Skip(f"no {'--other-client' if place == 'other' else '--server-dir'} "
                       "folder was given")
        return os.path.join(self.places[place], os.path.relpath(path, self.work))
