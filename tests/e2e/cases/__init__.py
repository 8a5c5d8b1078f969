r"""The end-to-end cases, a file per subject. Every module here is loaded and its cases
register themselves, in file order, files by name. Add a case to the file of its subject,
made as the ones beside it: a row of the file's table, or a function under @case()
(harness/case.py; a case that leaves a target out says why in `only_because`).

A case is a function(t, d): it lays out files in Dir d (harness/files.py: d.table(),
d.dbf(), d.add(), d.mkdir(); every file is checked byte for byte afterwards, and one
that must not change must keep its time) for Target t (harness/targets.py), and returns
a run, or dict(runs=[run, ...]) run in turn, or dict(custom=fn(t, d, ctx) returning
problems). A run is a dict: args (list), status, stdout (text or None for empty),
stderr (list of messages, in any order, since a directory lists in no fixed order;
texts from harness/messages.py), and optionally cwd (relative to d.root), env (None
unsets), encoding (the locale's set, for the expected texts), holders ((path, kind,
place) to hold for the run, see LOCK_HOLDERS in exclusive_use.py), user (the uid to run
as), terminal (standard error is a terminal), close_fds, remove_cwd, broken_pipe, before
(called as the run starts), after (a check once the run is over, returning problems).
Instead of stdout, lines ({name: "MARK\tTEXT"}) stands for the lines of --detect in the
order folder `listed` (relative to d.root) lists the names, each shown as `shown` says
or as it is (detect_run() makes such a run). A case raises Skip when this machine cannot
show it; `cleanup` in what it returns is called once it is over.
"""

import importlib
import pkgutil

from harness.case import CASES

__all__ = ["CASES"]  # once the modules below have registered theirs

for _module in sorted(m.name for m in pkgutil.iter_modules(__path__)):
    importlib.import_module(f"{__name__}.{_module}")
