"""What the run inherits: the locale of its texts, standard streams closed or
read by nobody, a current directory that is gone.
Add a case as the others here are made (the format: cases/__init__.py)."""

import errno

from harness.case import case
from harness.messages import BAD_CODE_PAGE, run_failure


@case(targets=("native",), only_because="the locale names the console's character set on POSIX")
def russian_locale_texts(t, d):
    return dict(args=[d.p("missing")], status=2, env={"LANG": "ru_RU.UTF-8", "LC_ALL": None},
                stderr=["В функции GetFileAttributes() возникла ошибка 2: "
                        "Нет такого файла или каталога"])


@case(targets=("native",), only_because="the C locale applies to POSIX only")
def c_locale_writes_utf8(t, d):
    return dict(args=["-c", "7"], status=2, env={"LC_ALL": "C", "LANG": "C"},
                stderr=[BAD_CODE_PAGE])


@case(targets=("native",), only_because="a closed descriptor being reused is a POSIX hazard")
def closed_standard_streams(t, d):
    # With standard error closed, a table opened while it is reported must
    # not receive the message.
    d.table("a.dbf", mark_after=0xC9)
    d.table("refused.dbf", signature=0x8B)
    d.add("short.dbf", b"\x30" * 10)
    return dict(args=[d.root, "1251"], status=1, close_fds=(1, 2))


@case(targets=("native",), only_because="Windows does not let a directory in use be removed")
def current_directory_removed(t, d):
    d.mkdir("gone")
    return dict(args=["-c", "1251"], status=2, cwd="gone", remove_cwd=True,
                stderr=[run_failure(t, "GetCurrentDirectory()", errno.ENOENT)])


@case(targets=("native",), only_because="SIGPIPE is a POSIX matter")
def reader_gone_away(t, d):
    d.table("a.dbf", mark_after=0xC9)
    d.table("refused.dbf", signature=0x8B)
    return dict(args=[d.root, "1251"], status=1, broken_pipe=True)
