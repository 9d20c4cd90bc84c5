#!/usr/bin/env python3
"""End-to-end runs of the library inside a real host process.

The substitute client view program (HalvexView.exe) is started from a fresh
temporary directory whose "data" directory holds list files written here; the
host program pkgpath loads the library, which finds the client view program
among the machine's processes, loads its lists, and answers package ids.

  e2e.py run --platform native --lib libHalvexDll.so --view HalvexView.exe --host pkgpath [--case NAME]...
  e2e.py run --platform wine --prefix DIR --lib HalvexDll.dll --view HalvexView.exe --host pkgpath.exe ...
  e2e.py prefix-setup --prefix DIR      fresh wine prefix and a wineserver kept alive for the suite
  e2e.py prefix-stop --prefix DIR       stops that wineserver and removes the prefix

Every process a case starts is stopped by the case, by its own process id.
Closing line: "N passed, N failed, N skipped". Exit 0 only when none failed.
"""

import argparse
import datetime
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import halvex_lists as L  # noqa: E402

WINE_DEFAULT = "/usr/lib/wine/wine64"
VIEW_NAME = "HalvexView.exe"
READY_TIMEOUT = 60.0  # a cold wine process can take a while
HOST_TIMEOUT = 120.0


class Skip(Exception):
    pass


class Failure(Exception):
    pass


def check(cond, message):
    if not cond:
        raise Failure(message)


# ---------------------------------------------------------------------------
# The catalogue the cases lay out, and what the library must answer from it.

def menu_records():
    return [
        L.package(101, "Alpha", "D:\\Games\\Alpha"),
        L.package(102, "Beta", "D:\\Games\\Beta", vdisk="V:\\Beta"),
        L.package(103, "Gamma", "D:\\Games\\Gamma"),
        L.package(104, "Delta", "D:\\Games\\Delta"),
    ]


def store_records():
    return [
        L.package(101, "Alpha", "E:\\Store\\Alpha"),
        L.package(201, "Echo", "E:\\Store\\Echo", pkg_type=2),
        L.package(202, "Foxtrot", "E:\\Store\\Foxtrot", pkg_type=1),
    ]


def ex_records():
    return [
        L.package_ex(101, "Alpha"),
        L.package_ex(102, "Beta", "1=7;10=menu"),
        L.package_ex(104, "Delta", "2=V:\\Delta.vhd"),
        L.package_ex(201, "Echo", pkg_type=2),
        L.package_ex(202, "Foxtrot", "2=W:\\Foxtrot", pkg_type=2),  # type differs from the store's
        L.package_ex(203, "Golf"),  # in neither list: a default record without a path
    ]


# Every id of the extension list answers; the menu list's record wins over the
# store list's; a virtual-disk path wins over the package path.
VALID_ANSWERS = {
    101: "D:\\Games\\Alpha",
    102: "V:\\Beta",
    104: "V:\\Delta.vhd",
    201: "E:\\Store\\Echo",
    202: "W:\\Foxtrot",
    203: "",
}
VALID_ABSENT = [0, 103, 999, 4294967295]

# Extension file missing: the menu list's records, unmerged.
NO_EX_ANSWERS = {
    101: "D:\\Games\\Alpha",
    102: "V:\\Beta",
    103: "D:\\Games\\Gamma",
    104: "D:\\Games\\Delta",
}
NO_EX_ABSENT = [0, 201, 202, 203, 999]

# Menu list damaged: the extension list is merged onto the store list alone.
NO_MENU_ANSWERS = {
    101: "E:\\Store\\Alpha",
    102: "",
    104: "V:\\Delta.vhd",
    201: "E:\\Store\\Echo",
    202: "W:\\Foxtrot",
    203: "",
}
NO_MENU_ABSENT = [0, 103, 999]


def write_lists(data_dir, menu=True, ex=True, store=True):
    os.makedirs(data_dir, exist_ok=True)
    files = {
        "PkgMenuList.dat": (menu, menu_records),
        "PkgMenuListEx.dat": (ex, ex_records),
        "PkgStoreList.dat": (store, store_records),
    }
    for name, (wanted, records) in files.items():
        if wanted:
            with open(os.path.join(data_dir, name), "wb") as f:
                f.write(L.list_file(records()))


def damage(path, offset):
    with open(path, "r+b") as f:
        f.seek(offset)
        byte = f.read(1)
        f.seek(offset)
        f.write(bytes([byte[0] ^ 0x10]))


# ---------------------------------------------------------------------------
# Running programs natively or under wine64.

class Runner:
    def __init__(self, args):
        self.platform = args.platform
        self.lib = os.path.abspath(args.lib)
        self.view = os.path.abspath(args.view)
        self.host = os.path.abspath(args.host)
        self.examples = args.examples
        self.monitor = os.path.abspath(args.monitor) if args.monitor else None
        self.env = dict(os.environ)
        if self.platform == "wine":
            self.wine = args.wine
            self.env.update(wine_env(args.prefix))

    def command(self, exe, *args):
        if self.platform == "wine":
            return [self.wine, exe] + list(args)
        return [exe] + list(args)

    def host_dir(self, workdir):
        """A host directory of its own: pkgpath with the library beside it, so
        the daily log lands in this case's temporary directory."""
        d = os.path.join(workdir, "host")
        os.makedirs(d)
        host = os.path.join(d, os.path.basename(self.host))
        shutil.copy2(self.host, host)
        shutil.copy2(self.lib, os.path.join(d, os.path.basename(self.lib)))
        return host

    def view_dir(self, workdir, name="cv", exe_name=VIEW_NAME):
        d = os.path.join(workdir, name)
        os.makedirs(d)
        exe = os.path.join(d, exe_name)
        shutil.copy2(self.view, exe)
        return exe


class View:
    """A started client view program, stopped by its own process id."""

    def __init__(self, runner, exe, *args):
        self.proc = subprocess.Popen(runner.command(exe, *args), stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, env=runner.env)
        self.ready = self._wait_ready()
        m = re.search(r"pid=(\d+)", self.ready)
        self.reported_pid = int(m.group(1)) if m else None

    def _wait_ready(self):
        deadline = time.monotonic() + READY_TIMEOUT
        buf = b""
        fd = self.proc.stdout.fileno()
        while b"\n" not in buf:
            left = deadline - time.monotonic()
            if left <= 0:
                self.stop()
                raise Failure("client view program gave no ready line in %.0f s" % READY_TIMEOUT)
            readable, _, _ = select.select([fd], [], [], left)
            if not readable:
                continue
            chunk = os.read(fd, 4096)
            if not chunk:
                err = self.proc.stderr.read().decode(errors="replace")
                self.proc.wait()
                raise Failure("client view program ended before it was ready (exit %s): %s"
                              % (self.proc.returncode, err.strip()))
            buf += chunk
        line = buf.split(b"\n", 1)[0].decode(errors="replace")
        if not line.startswith("HalvexView ready"):
            self.stop()
            raise Failure("unexpected first line from the client view program: %r" % line)
        return line

    def stop(self):
        if self.proc.poll() is None:
            try:
                os.kill(self.proc.pid, signal.SIGTERM)
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.kill(self.proc.pid, signal.SIGKILL)
                self.proc.wait(timeout=10)
            except ProcessLookupError:
                pass
        for stream in (self.proc.stdout, self.proc.stderr):
            stream.close()


ANSWER = re.compile(r"^(\d+) (.*?)\r?$")


def parse_answers(out):
    found, absent = {}, set()
    for line in out.splitlines():
        m = ANSWER.match(line)
        if not m:
            continue  # log lines of the library share standard output
        pkg_id, text = int(m.group(1)), m.group(2)
        if text == "not found":
            absent.add(pkg_id)
        else:
            found[pkg_id] = text
    return found, absent


def run_host(runner, host, ids, *extra):
    args = list(extra) + [str(i) for i in ids]
    proc = subprocess.run(runner.command(host, *args), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          stdin=subprocess.DEVNULL, env=runner.env, timeout=HOST_TIMEOUT)
    return proc.returncode, proc.stdout.decode("latin-1"), proc.stderr.decode("latin-1")


def expect_answers(rc, out, err, answers, absent, what):
    found, not_found = parse_answers(out)
    diag = "\n--- stdout\n%s--- stderr\n%s" % (out, err)
    for pkg_id, path in answers.items():
        check(pkg_id in found, "%s: id %d not answered, expected %r%s" % (what, pkg_id, path, diag))
        check(found[pkg_id] == path, "%s: id %d answered %r, expected %r%s" % (what, pkg_id, found[pkg_id], path, diag))
    for pkg_id in absent:
        check(pkg_id in not_found, "%s: id %d should answer 0%s" % (what, pkg_id, diag))
    check(rc == (1 if absent else 0), "%s: host exit code %d, expected %d%s" % (what, rc, 1 if absent else 0, diag))


def ids_of(answers, absent):
    return list(answers) + list(absent)


def other_view_processes():
    """Native only: processes that the library would take for the client view
    program, so a stray one fails a case with a plain message."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            name = os.path.basename(os.readlink("/proc/%s/exe" % entry).replace(" (deleted)", ""))
        except OSError:
            try:
                with open("/proc/%s/comm" % entry) as f:
                    name = f.read().strip()
            except OSError:
                continue
        if name.lower() == VIEW_NAME.lower():
            found.append(int(entry))
    return found


# ---------------------------------------------------------------------------
# The cases. Each gets the runner and a fresh temporary directory.

def case_smoke(runner, work):
    """The host loads the library, resolves both exports (by ordinal and by
    name where the system has ordinals, and finds them the same), calls both,
    and unloads it; a library that is not there is a plain error."""
    host = runner.host_dir(work)
    rc, out, err = run_host(runner, host, [1, 2], "--reset")
    expect_answers(rc, out, err, {}, [1, 2], "smoke")
    check("Reset: no answer changed" in out, "Reset was not called:\n" + out + err)
    check(not err.strip(), "unexpected standard error output:\n" + err)
    rc, out, err = run_host(runner, host, [1], "--lib", "NoSuchLibrary.dll")
    check(rc == 2 and "cannot load" in err, "a missing library gave exit %d:\n%s%s" % (rc, out, err))


def case_not_running(runner, work):
    if runner.platform == "native":
        strays = other_view_processes()
        check(not strays, "another %s is running (pid %s); stop it and run again" % (VIEW_NAME, strays))
    host = runner.host_dir(work)
    ids = list(VALID_ANSWERS) + VALID_ABSENT
    rc, out, err = run_host(runner, host, ids, "--reset")
    expect_answers(rc, out, err, {}, ids, "client view not running")


def case_valid(runner, work):
    host = runner.host_dir(work)
    exe = runner.view_dir(work)
    write_lists(os.path.join(os.path.dirname(exe), "data"))
    view = View(runner, exe, "--no-write")
    try:
        rc, out, err = run_host(runner, host, ids_of(VALID_ANSWERS, VALID_ABSENT))
    finally:
        view.stop()
    expect_answers(rc, out, err, VALID_ANSWERS, VALID_ABSENT, "valid lists")
    # The working copies are taken beside the list files, never elsewhere.
    data = os.path.join(os.path.dirname(exe), "data")
    check(os.path.exists(os.path.join(data, "PkgMenuList.dat_")), "no working copy of the menu list")
    check(not os.path.exists(os.path.join(data, "PkgMenuListEx.dat_")), "the extension list was copied")


def case_reset_after_load(runner, work):
    host = runner.host_dir(work)
    exe = runner.view_dir(work)
    data = os.path.join(os.path.dirname(exe), "data")
    write_lists(data)
    view = View(runner, exe, "--no-write")
    try:
        ids = ids_of(VALID_ANSWERS, VALID_ABSENT)
        proc = subprocess.Popen(runner.command(host, "--reset", "--pause-before-reset", *map(str, ids)),
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=runner.env)
        try:
            first = b""
            deadline = time.monotonic() + HOST_TIMEOUT
            while b"waiting before Reset" not in first:
                check(time.monotonic() < deadline, "host never reached Reset")
                readable, _, _ = select.select([proc.stdout], [], [], 1.0)
                if readable:
                    chunk = os.read(proc.stdout.fileno(), 4096)
                    check(chunk, "host ended before Reset: %r" % first)
                    first += chunk
            # A library that reloaded on Reset would now see a different catalogue.
            with open(os.path.join(data, "PkgMenuListEx.dat"), "wb") as f:
                f.write(L.list_file([L.package_ex(999, "Changed", "2=X:\\Changed")]))
            for name in ("PkgMenuList.dat_", "PkgStoreList.dat_"):
                if os.path.exists(os.path.join(data, name)):
                    os.remove(os.path.join(data, name))
            rest, err = proc.communicate(b"\n", timeout=HOST_TIMEOUT)
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
    finally:
        view.stop()
    out = (first + rest).decode("latin-1")
    err = err.decode("latin-1")
    check("Reset: no answer changed" in out, "answers changed after Reset (exit %d)\n%s%s" % (proc.returncode, out, err))
    expect_answers(proc.returncode, out, err, VALID_ANSWERS, VALID_ABSENT, "after Reset")


def case_missing_ex(runner, work):
    host = runner.host_dir(work)
    exe = runner.view_dir(work)
    write_lists(os.path.join(os.path.dirname(exe), "data"), ex=False)
    view = View(runner, exe)
    try:
        rc, out, err = run_host(runner, host, ids_of(NO_EX_ANSWERS, NO_EX_ABSENT))
    finally:
        view.stop()
    expect_answers(rc, out, err, NO_EX_ANSWERS, NO_EX_ABSENT, "extension list missing")


def case_damaged_menu(runner, work):
    host = runner.host_dir(work)
    exe = runner.view_dir(work)
    data = os.path.join(os.path.dirname(exe), "data")
    write_lists(data)
    damage(os.path.join(data, "PkgMenuList.dat"), 4 + 8)  # a byte of the first record's name
    view = View(runner, exe)
    try:
        rc, out, err = run_host(runner, host, ids_of(NO_MENU_ANSWERS, NO_MENU_ABSENT))
    finally:
        view.stop()
    expect_answers(rc, out, err, NO_MENU_ANSWERS, NO_MENU_ABSENT, "menu list damaged")
    check("CRC error" in out, "no CRC error line for the damaged menu list:\n" + out)


def case_two_views(runner, work):
    host = runner.host_dir(work)
    exes = []
    for tag in ("first", "second"):
        exe = runner.view_dir(work, tag)
        data = os.path.join(os.path.dirname(exe), "data")
        os.makedirs(data)
        with open(os.path.join(data, "PkgMenuList.dat"), "wb") as f:
            f.write(L.list_file([L.package(7, "Seven", "C:\\" + tag + "\\Seven")]))
        with open(os.path.join(data, "PkgMenuListEx.dat"), "wb") as f:
            f.write(L.list_file([L.package_ex(7, "Seven")]))
        exes.append((tag, exe))
    views = []
    try:
        for tag, exe in exes:
            views.append((tag, View(runner, exe)))
        rc, out, err = run_host(runner, host, [7])
    finally:
        for _, view in views:
            view.stop()
    # Only the first process of the snapshot counts. On Linux the snapshot is
    # in ascending process id order (ids wrap, so the later one may be lower);
    # wine's server lists processes in the order they were created, whatever
    # ids it handed out (it reuses freed ones).
    if runner.platform == "native":
        first = min(views, key=lambda v: v[1].proc.pid)[0]
    else:
        first = "first"
    expect_answers(rc, out, err, {7: "C:\\%s\\Seven" % first}, [], "two client view programs")


def case_name_case(runner, work):
    host = runner.host_dir(work)
    exe = runner.view_dir(work, exe_name="halvexview.EXE")
    write_lists(os.path.join(os.path.dirname(exe), "data"))
    view = View(runner, exe)
    try:
        rc, out, err = run_host(runner, host, ids_of(VALID_ANSWERS, VALID_ABSENT))
    finally:
        view.stop()
    expect_answers(rc, out, err, VALID_ANSWERS, VALID_ABSENT, "name in other letter case")


def case_longer_name(runner, work):
    if runner.platform == "native":
        strays = other_view_processes()
        check(not strays, "another %s is running (pid %s); stop it and run again" % (VIEW_NAME, strays))
    host = runner.host_dir(work)
    exe = runner.view_dir(work, exe_name="MyHalvexView.exe")
    write_lists(os.path.join(os.path.dirname(exe), "data"))
    view = View(runner, exe)
    try:
        ids = list(VALID_ANSWERS)
        rc, out, err = run_host(runner, host, ids)
    finally:
        view.stop()
    expect_answers(rc, out, err, {}, ids, "a longer name that contains the client view's")


def case_daily_log(runner, work):
    host = runner.host_dir(work)
    exe = runner.view_dir(work)
    write_lists(os.path.join(os.path.dirname(exe), "data"))
    view = View(runner, exe)
    try:
        rc, out, err = run_host(runner, host, ids_of(VALID_ANSWERS, []))
    finally:
        view.stop()
    expect_answers(rc, out, err, VALID_ANSWERS, [], "valid lists")
    log_dir = os.path.join(os.path.dirname(host), "Log")
    check(os.path.isdir(log_dir), "no Log directory beside the host")
    stem = os.path.splitext(os.path.basename(host))[0].lower()
    names = sorted(os.listdir(log_dir))
    if not names:
        raise Skip("the Log directory is empty: daily file output is not built")
    # The date is the local date of the run; a run across midnight may give either.
    dates = {datetime.date.today().strftime("%Y%m%d")}
    expected = ["%s%s.log" % (stem, d) for d in dates]
    daily = [n for n in names if n in expected]
    check(daily, "no daily file %s in %s: %s" % (expected, log_dir, names))
    with open(os.path.join(log_dir, daily[0]), "rb") as f:
        text = f.read().decode("latin-1")
    check("CopyRightFile succeed" in text, "the daily file lacks the load's lines:\n" + text)
    check("\r\n" in text, "the daily file is not in text mode (no CR LF line ends)")


LOG_LINE = re.compile(r"^\[\d\d:\d\d:\d\d\.\d\d\d\]\|\[[0-9a-f]{4,}\]\|\[(\w+)\]\|")


def read_until(proc, stream, pred, timeout):
    """Reads a child's stream until pred(text so far) holds or the time ends."""
    deadline = time.monotonic() + timeout
    buf = b""
    fd = stream.fileno()
    while not pred(buf.decode("latin-1")):
        left = deadline - time.monotonic()
        if left <= 0:
            break
        readable, _, _ = select.select([fd], [], [], left)
        if not readable:
            continue
        chunk = os.read(fd, 65536)
        if not chunk:
            break
        buf += chunk
    return buf.decode("latin-1")


def case_live_channel(runner, work):
    """A monitor following the host's channel sees every line the host logs,
    in order, with its level, while the host runs."""
    if not runner.monitor:
        raise Skip("no monitor given")
    host = runner.host_dir(work)
    exe = runner.view_dir(work)
    write_lists(os.path.join(os.path.dirname(exe), "data"))
    view = View(runner, exe, "--no-write")
    stem = os.path.splitext(os.path.basename(host))[0].lower()
    mon = subprocess.Popen(runner.command(runner.monitor, "--no-colour", "--timeout", "120", stem),
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, env=runner.env)
    try:
        ready = read_until(mon, mon.stderr, lambda t: "following" in t, READY_TIMEOUT)
        check("following" in ready, "the monitor did not start: %r" % ready)
        rc, out, err = run_host(runner, host, ids_of(VALID_ANSWERS, VALID_ABSENT))
        expect_answers(rc, out, err, VALID_ANSWERS, VALID_ABSENT, "valid lists, monitored")
        logged = [l.rstrip("\r") for l in out.splitlines() if LOG_LINE.match(l)]
        check(len(logged) >= 5, "the host logged too few lines:\n" + out)
        seen = read_until(mon, mon.stdout, lambda t: len([l for l in t.splitlines() if LOG_LINE.match(l)]) >= len(logged),
                          30)
    finally:
        if mon.poll() is None:
            os.kill(mon.pid, signal.SIGTERM)
        try:
            mon.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.kill(mon.pid, signal.SIGKILL)
            mon.wait(timeout=10)
        mon.stdout.close()
        mon.stderr.close()
        view.stop()
    followed = [l.rstrip("\r") for l in seen.splitlines() if LOG_LINE.match(l)]
    check(followed == logged, "the monitor's lines differ from the host's:\n--- host\n%s\n--- monitor\n%s"
          % ("\n".join(logged), "\n".join(followed)))
    print("live_channel: %d lines followed" % len(followed))
    levels = {LOG_LINE.match(l).group(1) for l in followed}
    check("Info" in levels, "no Info line came through the channel: %s" % sorted(levels))


def case_sample(runner, work):
    if not runner.examples or not os.path.exists(os.path.join(runner.examples, "expected.json")):
        raise Skip("no examples/expected.json")
    with open(os.path.join(runner.examples, "expected.json")) as f:
        expected = json.load(f)
    answers, absent = sample_expectations(expected)
    host = runner.host_dir(work)
    exe = runner.view_dir(work)
    view = View(runner, exe, "--write-sample")
    try:
        rc, out, err = run_host(runner, host, ids_of(answers, absent))
    finally:
        view.stop()
    expect_answers(rc, out, err, answers, absent, "shipped sample")


def sample_expectations(expected):
    """The sample's answers: {id: path} and the ids that answer 0."""
    paths = expected.get("paths", expected.get("answers", {}))
    absent = expected.get("absent", expected.get("not_found", expected.get("zero", [])))
    answers = {int(k): v for k, v in paths.items()}
    return answers, [int(i) for i in absent]


CASES = {
    "smoke": case_smoke,
    "not_running": case_not_running,
    "valid": case_valid,
    "reset_after_load": case_reset_after_load,
    "missing_ex": case_missing_ex,
    "damaged_menu": case_damaged_menu,
    "two_views": case_two_views,
    "name_case": case_name_case,
    "longer_name": case_longer_name,
    "daily_log": case_daily_log,
    "live_channel": case_live_channel,
    "sample": case_sample,
}


# ---------------------------------------------------------------------------
# The wine prefix: one per suite run, with one wineserver kept alive.

def wine_env(prefix):
    return {
        "WINEPREFIX": os.path.abspath(prefix),
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        "WINEARCH": "win64",
    }


def wineserver_of(wine):
    for name in ("wineserver64", "wineserver"):
        path = os.path.join(os.path.dirname(wine), name)
        if os.path.exists(path):
            return path
    return shutil.which("wineserver") or "wineserver"


def prefix_setup(args):
    prefix = os.path.abspath(args.prefix)
    env = dict(os.environ)
    env.update(wine_env(prefix))
    server = wineserver_of(args.wine)
    if os.path.isdir(prefix):
        subprocess.run([server, "-k"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        shutil.rmtree(prefix)
    start = time.monotonic()
    os.makedirs(prefix)
    # Kept alive until prefix-stop, so each case does not pay for a new server.
    # Its own standard streams: a daemon that inherited the test runner's pipe
    # would keep the runner waiting for as long as the server lives.
    subprocess.run([server, "-p"], env=env, check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    # Output to a file, not a pipe: the services wineboot starts inherit it
    # and would hold a pipe open for as long as the server lives.
    with tempfile.TemporaryFile() as log:
        proc = subprocess.run([args.wine, "wineboot", "-i"], env=env, stdout=log, stderr=subprocess.STDOUT,
                              stdin=subprocess.DEVNULL, timeout=300)
        if proc.returncode != 0:
            log.seek(0)
            print(log.read().decode(errors="replace"))
            print("wineboot -i failed with exit code %d" % proc.returncode)
            return 1
    print("wine prefix %s ready in %.1f s" % (prefix, time.monotonic() - start))
    return 0


def prefix_stop(args):
    prefix = os.path.abspath(args.prefix)
    env = dict(os.environ)
    env.update(wine_env(prefix))
    subprocess.run([wineserver_of(args.wine), "-k"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    if os.path.isdir(prefix):
        shutil.rmtree(prefix, ignore_errors=True)
    print("wine prefix %s stopped and removed" % prefix)
    return 0


def run_cases(args):
    runner = Runner(args)
    names = args.case or list(CASES)
    passed = failed = skipped = 0
    for name in names:
        start = time.monotonic()
        work = tempfile.mkdtemp(prefix="halvex-e2e-%s-" % name)
        try:
            CASES[name](runner, work)
            print("PASS %s (%.1f s)" % (name, time.monotonic() - start))
            passed += 1
        except Skip as e:
            print("SKIP %s: %s" % (name, e))
            skipped += 1
        except Failure as e:
            print("FAIL %s: %s" % (name, e))
            failed += 1
        finally:
            shutil.rmtree(work, ignore_errors=True)
        sys.stdout.flush()
    print("%d passed, %d failed, %d skipped" % (passed, failed, skipped))
    if failed:
        return 1
    return 77 if skipped and not passed else 0  # 77: the test runner's "skipped"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("action", choices=["run", "prefix-setup", "prefix-stop", "list"])
    parser.add_argument("--platform", choices=["native", "wine"], default="native")
    parser.add_argument("--lib")
    parser.add_argument("--view")
    parser.add_argument("--host")
    parser.add_argument("--monitor", help="the live channel monitor")
    parser.add_argument("--examples", help="directory with expected.json for the shipped sample")
    parser.add_argument("--wine", default=WINE_DEFAULT)
    parser.add_argument("--prefix", help="wine prefix directory")
    parser.add_argument("--case", action="append", choices=list(CASES))
    args = parser.parse_args()
    if args.action == "list":
        print("\n".join(CASES))
        return 0
    if args.action in ("prefix-setup", "prefix-stop"):
        if not args.prefix:
            parser.error("--prefix is required")
        return prefix_setup(args) if args.action == "prefix-setup" else prefix_stop(args)
    for name in ("lib", "view", "host"):
        if not getattr(args, name):
            parser.error("--%s is required" % name)
    if args.platform == "wine" and not args.prefix:
        parser.error("--prefix is required with --platform wine")
    return run_cases(args)


if __name__ == "__main__":
    sys.exit(main())
