"""The case() decorator and what cases share. What a case returns: cases/__init__.py."""

import os

CASES = []


def case(targets=("native", "wine"), only_because=None):
    # A case that leaves a target out must say why.
    assert len(targets) == 2 or only_because, targets

    def register(fn):
        CASES.append((fn.__name__, targets, fn))
        return fn
    return register


def sw(t, letter):
    return t.switch + letter


def detect_run(t, d, lines, stderr=(), status=0, listed="."):
    """--detect on folder `listed` once the runs before it are over: it changes nothing."""
    return dict(args=["--detect", t.path(os.path.normpath(d.p(listed)))], status=status,
                lines=lines, listed=listed, stderr=list(stderr), after_first=True)


class Skip(Exception):
    """A case this machine cannot show; the reason is printed."""


UNPRIVILEGED = 65534  # nobody
