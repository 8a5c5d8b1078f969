"""The command line: usage, help and version, switches and their values, the
directory and code-page arguments, and directories that are not there.
Add a case as the others here are made (the format: cases/__init__.py)."""

import errno
import os
import re

from harness.case import CASES, Skip, case, sw
from harness.messages import BAD_CODE_PAGE, LONG_HELP, UNEXPECTED, USAGE, run_failure


# Command line and usage: (name, targets, arguments, exit status or (POSIX's,
# Windows')). "~" stands for the target's switch character; every case shows
# the usage text alone, but for --version on POSIX the version line.
WINDOWS_ONLY = "backslash is a switch character on Windows only"
USAGE_CASES = [
    ("usage_without_arguments", None, [], 2),
    ("usage_for_five_arguments", None, ["a", "b", "c", "d", "e"], 2),
    ("usage_for_unknown_switch", None, ["~x"], 2),
    ("usage_for_lone_minus", None, ["-"], 2),
    ("usage_for_positional_at_index_three", None, ["~c", "1251", "{dir}"], 2),
    ("help_with_minus_h", None, ["-h"], 0),
    ("help_with_question_mark", None, ["~?"], 0),
    ("help_with_help_word", None, ["~help"], 0),
    ("help_with_backslash_h", WINDOWS_ONLY, ["\\H"], 0),
    ("usage_for_unc_name_first", WINDOWS_ONLY, ["\\\\server\\share"], 2),
    # GNU's whole words on POSIX; on Windows "--" is an unknown switch letter.
    ("help_with_gnu_word", None, ["--help"], (0, 2)),
    ("version_with_gnu_word", None, ["--version"], (0, 2)),
    # Detection writes nothing: a code page beside it is a mistake.
    ("usage_for_code_page_beside_detect", None, ["--detect", "{dir}", "1251"], 2),
    ("usage_for_code_page_switch_before_detect", None, ["~c", "1251", "--detect"], 2),
]


def project_version():
    """The version set in the source tree's CMakeLists.txt, three folders up."""
    try:
        with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..",
                               "CMakeLists.txt")) as f:
            return re.search(r"project\(Tablemark VERSION ([0-9.]+)", f.read())[1]
    except OSError:
        raise Skip("the runner was copied without the source tree, which sets the version")


def usage_case(args, status):
    def run(t, d):
        typed = [a.replace("~", t.switch, 1).replace("{dir}", t.path(d.root)) for a in args]
        gnu = None if t.windows or len(args) != 1 else args[0]
        return dict(args=typed, status=status[t.windows] if isinstance(status, tuple) else status,
                    stdout=f"tablemark {project_version()}" if gnu == "--version" else
                    USAGE[t.windows] + LONG_HELP * (gnu == "--help"))
    return run


for _name, _windows_only, _args, _status in USAGE_CASES:
    CASES.append((_name, ("wine",) if _windows_only else ("native", "wine"),
                  usage_case(_args, _status)))


@case(targets=("native",), only_because="on POSIX a slash begins a path, not a switch")
def slash_path_is_a_directory_on_posix(t, d):
    d.table("a.dbf", mark_after=0xC9)
    return dict(args=[d.root, "1251"], status=0)


@case()
def bad_code_pages(t, d):
    return dict(runs=[dict(args=[sw(t, "c"), cp], status=2, stderr=[BAD_CODE_PAGE])
                      for cp in ("1258", "7", "-866")])


@case()
def bad_code_page_wins_over_missing_directory(t, d):
    return dict(args=[t.path(d.p("missing")), "1258"], status=2, stderr=[BAD_CODE_PAGE])


@case()
def switch_without_value(t, d):
    return dict(args=[sw(t, "c"), "1251", sw(t, "d")], status=2, stderr=[UNEXPECTED])


@case()
def mark_zero_for_code_page_without_digits(t, d):
    d.table("a.dbf", mark_after=0x00)
    return dict(args=[sw(t, "d"), t.path(d.root), sw(t, "c"), "abc"], status=0)


@case()
def directory_by_switch_with_attached_value(t, d):
    d.table("a.dbf", mark_after=0xCB)
    return dict(args=[sw(t, "d") + t.path(d.root), sw(t, "c") + "1253"], status=0)


@case()
def directory_with_trailing_separator(t, d):
    d.table("a.dbf", mark_after=0xC9)
    return dict(args=[t.path(d.root) + t.sep, "1251"], status=0)


@case()
def relative_directory(t, d):
    d.table("data/a.dbf", mark_after=0xC9)
    return dict(args=["data", "1251"], status=0, cwd=".")


@case()
def current_directory_by_default(t, d):
    d.table("a.dbf", mark_after=0xCA)
    return dict(args=[sw(t, "c"), "1254"], status=0, cwd=".")


@case()
def empty_first_argument_is_current_directory(t, d):
    d.table("a.dbf", mark_after=0x65)
    return dict(args=["", "866"], status=0, cwd=".")


@case()
def default_code_page_is_866(t, d):
    d.table("a.dbf", mark=0xC9, mark_after=0x65)
    return dict(args=[t.path(d.root)], status=0)


@case()
def missing_directory(t, d):
    d.table("a.dbf")
    stderr = [run_failure(t, "GetFileAttributes()", errno.ENOENT, 2)]
    return dict(runs=[dict(args=args + [t.path(d.p("missing"))], status=2, stderr=stderr)
                      for args in ([], ["--detect"])])


@case()
def missing_parent_directory(t, d):
    return dict(args=[t.path(d.p("missing/sub"))], status=2,
                stderr=[run_failure(t, "GetFileAttributes()", errno.ENOENT, 3)])


@case()
def file_named_as_directory(t, d):
    d.table("a.dbf")
    stderr = [run_failure(t, "FindFirstFile()", errno.ENOTDIR, 123)]
    return dict(runs=[dict(args=args + [t.path(d.p("a.dbf"))], status=2, stderr=stderr)
                      for args in ([], ["--detect"])])


@case(targets=("wine",), only_because="drive letters exist on Windows only")
def bare_drive_letter_names_its_root(t, d):
    d.table("a.dbf", mark_after=0xC9)
    link = os.path.join(t.env["WINEPREFIX"], "dosdevices", "m:")
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(d.root, link)
    return dict(args=["M:", "1251"], status=0, cleanup=lambda: os.remove(link))
