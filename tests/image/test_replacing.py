"""How quadrix-image puts its picture into a file, from outside: a regular
file is replaced whole, so a failed or stopped run leaves the old picture
byte for byte and a reader never sees part of a picture; the replaced file
keeps its owner, group and permission bits, a new one gets those of the
umask, a symbolic link stays and its target is replaced; devices, FIFOs and
terminals are written in place, and so is a file in a folder that takes no
new file or that may not be renamed over, but only once the whole picture
is made and the room for it reserved: a run that fails before leaves the
old picture, also on a file system that runs full."""

import sys

sys.dont_write_bytecode = True

import os
import re
import shutil
import signal
import stat
import subprocess
import tempfile
import threading
import time
import unittest

import quadrix_check as q
from quadrix_check import error, run

# Every format the program offers, from its own usage text: a format added
# later is covered without a change here.
FORMATS = re.findall(r"^(-\w+) : create .*image file$", q.usage(), re.M)


NOBODY = 65534
STAFF = 50  # a group of Debian's base system


def nobody(groups=()):
    os.setgroups(list(groups))
    os.setgid(NOBODY)
    os.setuid(NOBODY)


class Folder(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="quadrix-replacing.")
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def put(self, path, data, mode=None):
        with open(path, "wb") as f:
            f.write(data)
        if mode is not None:
            os.chmod(path, mode)

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def assert_only(self, folder, names):
        """Nothing but names in folder: no new file was left behind."""
        self.assertEqual(sorted(os.listdir(folder)), sorted(names))

    def as_other_user(self):
        """(program, preexec_fn) for a run that permissions stop: as nobody
        from a copy nobody may run, when the tests run as root."""
        if os.geteuid() != 0:
            return q.PROGRAM, None
        os.chmod(self.dir, 0o755)
        tools = tempfile.mkdtemp(prefix="quadrix-program.")
        self.addCleanup(shutil.rmtree, tools, ignore_errors=True)
        os.chmod(tools, 0o755)
        program = os.path.join(tools, "quadrix-image")
        shutil.copy(q.PROGRAM, program)
        os.chmod(program, 0o755)
        return program, nobody

    def in_place_folder(self, kind):
        """A folder where the run of as_other_user must write a file in
        place: "locked" takes no new file; in "sticky" the run may add
        files, but not rename over one of another user (root's)."""
        folder = self.path(kind)
        os.mkdir(folder)
        if kind == "locked":
            os.chmod(folder, 0o555)
            self.addCleanup(os.chmod, folder, 0o755)
        else:
            if os.geteuid() != 0:
                self.skipTest("needs a second user")
            os.chmod(folder, 0o1777)
        return folder

    def put_in_place(self, folder, data):
        """clock.ppm in folder, holding data, anyone's to write; its path."""
        out = os.path.join(folder, "clock.ppm")
        if os.path.exists(out):
            os.chmod(out, 0o666)
        else:
            os.chmod(folder, 0o755 | stat.S_IMODE(os.stat(folder).st_mode))
        self.put(out, data, 0o666)
        return out


def run_as(program, args, preexec_fn=None, stdout=subprocess.PIPE, env=None):
    result = subprocess.run([program] + list(args), stdin=subprocess.DEVNULL, stdout=stdout,
                            stderr=subprocess.PIPE, preexec_fn=preexec_fn, timeout=120,
                            env=env)
    return result.returncode, result.stdout or b"", result.stderr.decode("utf-8", "replace")


class FailedRuns(Folder):
    LIMIT = 20000

    def wait_for_new_file(self, child):
        """Until a second file shows in the folder, or the run ends."""
        deadline = time.monotonic() + 60
        while len(os.listdir(self.dir)) < 2 and child.poll() is None \
                and time.monotonic() < deadline:
            time.sleep(0.001)

    def test_a_file_size_limit_leaves_the_old_picture(self):
        if shutil.which("prlimit") is None:
            self.skipTest("prlimit (util-linux) is not installed")
        self.assertIn("-ppm", FORMATS)
        for option in FORMATS:
            args = ["-q", option, "-width", "600", "-height", "600", "4", "5", "6"]
            # A format whose picture is small even at this size gets a limit
            # that it still passes.
            limit = min(self.LIMIT, len(q.image(args[1:])) // 2)
            for existing in (True, False):
                with self.subTest(option, existing=existing):
                    out = self.path("clock" + option)
                    old = q.image([option, "1", "2", "3"])
                    if existing:
                        self.put(out, old)
                    status, _, err = run_as("prlimit",
                                            ["--fsize=%d" % limit, q.PROGRAM, out] + args)
                    self.assertEqual((status, err),
                                     (1, error('Writing file "%s": File too large' % out)))
                    if existing:
                        self.assertEqual(self.read(out), old)
                        self.assert_only(self.dir, [os.path.basename(out)])
                        os.remove(out)
                    else:
                        self.assert_only(self.dir, [])

    def test_a_signal_during_the_writing(self):
        # The run is stopped as soon as the new file shows in the folder,
        # long before a picture of this size is written.
        out = self.path("clock.ppm")
        old = q.image(["1", "2", "3"])
        self.put(out, old)
        for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP, signal.SIGPIPE):
            with self.subTest(signal.Signals(number).name):
                child = subprocess.Popen([q.PROGRAM, out, "-q", "-width", "8192",
                                          "-height", "8192", "4", "5", "6"],
                                         stdin=subprocess.DEVNULL, stderr=subprocess.PIPE)
                self.wait_for_new_file(child)
                child.send_signal(number)
                _, err = child.communicate(timeout=120)
                self.assertNotEqual(child.returncode, 0, "the run ended before it was stopped")
                self.assertEqual((child.returncode, err), (-number, b""))
                self.assertEqual(self.read(out), old)
                self.assert_only(self.dir, ["clock.ppm"])

    def test_an_ignored_signal_stays_ignored(self):
        # As nohup leaves SIGHUP: the run goes on to its end.
        out = self.path("clock.ppm")
        self.put(out, b"old")
        args = ["-width", "4000", "-height", "4000", "4", "5", "6"]
        child = subprocess.Popen([q.PROGRAM, out, "-q"] + args, stdin=subprocess.DEVNULL,
                                 preexec_fn=lambda: signal.signal(signal.SIGHUP, signal.SIG_IGN))
        self.wait_for_new_file(child)
        self.assertIsNone(child.poll(), "the run ended before the signal")
        child.send_signal(signal.SIGHUP)
        self.assertEqual(child.wait(timeout=120), 0)
        self.assertEqual(self.read(out), q.image(args))
        self.assert_only(self.dir, ["clock.ppm"])


class OutOfMemory(Folder):
    """The writers take memory after the new file is made (libpng and zlib
    most of all): just below the address space a run needs, it fails with
    the new file already there."""

    def run_limited(self, kilobytes, args):
        return run_as("prlimit", ["--as=%d" % (kilobytes * 1024), q.PROGRAM] + args)

    def test_every_limit_just_below_the_need(self):
        if shutil.which("prlimit") is None:
            self.skipTest("prlimit (util-linux) is not installed")
        for option in FORMATS:
            with self.subTest(option):
                folder = self.path(option[1:])
                os.mkdir(folder)
                out = os.path.join(folder, "clock")
                args = [out, "-q", option, "-width", "300", "-height", "300", "1", "2", "3"]
                picture = q.image(args[2:])
                # The least limit that the run gets through, to 4 KiB.
                low, high = 1024, 256 * 1024
                if self.run_limited(high, args)[0] != 0:
                    self.skipTest("no run within %d KiB (the sanitizers reserve more)" % high)
                while high - low > 4:
                    middle = (low + high) // 2
                    if self.run_limited(middle, args)[0] == 0:
                        high = middle
                    else:
                        low = middle
                failures = 0
                for kilobytes in range(high - 400, high + 4, 4):
                    self.put(out, b"old")
                    status, _, err = self.run_limited(kilobytes, args)
                    if status == 0:
                        self.assertEqual((err, self.read(out)), ("", picture))
                    elif err == error("Out of memory"):
                        failures += 1
                        self.assertEqual((status, self.read(out)), (1, b"old"))
                    else:
                        # Too little even to load the program.
                        self.assertEqual(status, 127, err)
                    self.assert_only(folder, ["clock"])
                self.assertGreater(failures, 0)


class Readers(Folder):
    def test_a_reader_sees_only_whole_pictures(self):
        # Two pictures written in turn, 60 times; a reader opens and reads
        # the file as fast as it can meanwhile.
        args = ["-width", "1500", "-height", "1500"]
        pictures = [q.image(args + ["1", "2", "3"]), q.image(args + ["7", "40", "0"])]
        out = self.path("clock.ppm")
        self.put(out, pictures[1])
        reads = []
        done = threading.Event()

        def reader():
            while not done.is_set():
                with open(out, "rb") as f:
                    reads.append(f.read())

        thread = threading.Thread(target=reader)
        thread.start()
        try:
            for i in range(60):
                status, _, err = run([out, "-q"] + args + (["1", "2", "3"] if i % 2 == 0
                                                           else ["7", "40", "0"]))
                self.assertEqual((status, err), (0, ""))
        finally:
            done.set()
            thread.join()
        self.assertGreater(len(reads), 0)
        broken = [len(r) for r in reads if r not in pictures]
        self.assertEqual(broken, [], "%d of %d reads found part of a picture"
                         % (len(broken), len(reads)))
        self.assertEqual(self.read(out), pictures[1])
        self.assert_only(self.dir, ["clock.ppm"])


class Replacing(Folder):
    def test_permission_bits_are_kept(self):
        picture = q.image(["1", "2", "3"])
        for mode in (0o600, 0o640, 0o604, 0o444 | 0o200, 0o751, 0o666):
            for mask in (0o022, 0o077):
                with self.subTest(mode=oct(mode), umask=oct(mask)):
                    out = self.path("clock.ppm")
                    self.put(out, b"old", mode)
                    before = os.stat(out)
                    status, _, err = run([out, "-q", "1", "2", "3"],
                                         preexec_fn=lambda m=mask: os.umask(m))
                    self.assertEqual((status, err), (0, ""))
                    after = os.stat(out)
                    self.assertEqual(stat.S_IMODE(after.st_mode), mode)
                    self.assertNotEqual(after.st_ino, before.st_ino, "written in place")
                    self.assertEqual(self.read(out), picture)
                    self.assert_only(self.dir, ["clock.ppm"])
                    os.remove(out)

    def test_a_new_file_takes_the_umask(self):
        for mask, mode in ((0o022, 0o644), (0o077, 0o600), (0o027, 0o640), (0, 0o666)):
            with self.subTest(umask=oct(mask)):
                out = self.path("clock.ppm")
                status, _, err = run([out, "-q", "1", "2", "3"],
                                     preexec_fn=lambda m=mask: os.umask(m))
                self.assertEqual((status, err), (0, ""))
                self.assertEqual(stat.S_IMODE(os.stat(out).st_mode), mode)
                self.assert_only(self.dir, ["clock.ppm"])
                os.remove(out)

    def test_symbolic_links_stay_and_their_target_is_replaced(self):
        # name, what the links hold (the last one names the file), the
        # folder of each link.
        os.mkdir(self.path("pictures"))
        os.mkdir(self.path("links"))
        cases = [
            ("relative", [("links/clock.ppm", "../pictures/real.ppm")]),
            ("absolute", [("links/clock.ppm", self.path("pictures", "real.ppm"))]),
            ("two links", [("links/clock.ppm", "second"),
                           ("links/second", "../pictures/real.ppm")]),
        ]
        picture = q.image(["1", "2", "3"])
        for what, links in cases:
            for existing in (True, False):
                with self.subTest(what, existing=existing):
                    target = self.path("pictures", "real.ppm")
                    if existing:
                        self.put(target, b"old", 0o640)
                    for link, text in links:
                        os.symlink(text, self.path(link))
                    status, _, err = run([self.path(links[0][0]), "-q", "1", "2", "3"])
                    self.assertEqual((status, err), (0, ""))
                    for link, text in links:
                        self.assertEqual(os.readlink(self.path(link)), text)
                    self.assertEqual(self.read(target), picture)
                    self.assertEqual(stat.S_IMODE(os.stat(target).st_mode),
                                     0o640 if existing else 0o666 & ~self.umask())
                    self.assert_only(self.path("pictures"), ["real.ppm"])
                    self.assert_only(self.path("links"), [os.path.basename(link) for link, _ in links])
                    os.remove(target)
                    for link, _ in links:
                        os.remove(self.path(link))

    def umask(self):
        mask = os.umask(0)
        os.umask(mask)
        return mask

    def test_a_hard_link_keeps_the_old_picture(self):
        out = self.path("clock.ppm")
        self.put(out, b"old")
        os.link(out, self.path("kept"))
        status, _, err = run([out, "-q", "1", "2", "3"])
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(self.read(out), q.image(["1", "2", "3"]))
        self.assertEqual(self.read(self.path("kept")), b"old")

    def test_the_longest_file_name(self):
        name = "c" * os.pathconf(self.dir, "PC_NAME_MAX")
        out = self.path(name)
        self.put(out, b"old")
        inode = os.stat(out).st_ino
        status, _, err = run([out, "-q", "1", "2", "3"])
        self.assertEqual((status, err), (0, ""))
        self.assertNotEqual(os.stat(out).st_ino, inode)
        self.assertEqual(self.read(out), q.image(["1", "2", "3"]))
        self.assert_only(self.dir, [name])

    def test_a_relative_path(self):
        self.put(self.path("clock.xbm"), b"old")
        status, _, err = run(["clock.xbm", "-xbm", "1", "2", "3"], cwd=self.dir)
        self.assertEqual((status, err), (0, 'Writing to file "clock.xbm"\nWriting XBM\n'))
        self.assertEqual(self.read(self.path("clock.xbm")), q.image(["-xbm", "1", "2", "3"]))
        self.assert_only(self.dir, ["clock.xbm"])


class InPlace(Folder):
    def test_devices(self):
        for device, status, failure in [
            ("/dev/null", 0, ""),
            ("/dev/full", 1, error('Writing file "/dev/full": No space left on device')),
        ]:
            with self.subTest(device):
                before = os.stat(device)
                self.assertEqual(run([device, "1", "2", "3"]),
                                 (status, b"", 'Writing to file "%s"\nWriting PPM\n%s'
                                  % (device, failure)))
                after = os.stat(device)
                self.assertTrue(stat.S_ISCHR(after.st_mode))
                self.assertEqual((after.st_ino, after.st_rdev), (before.st_ino, before.st_rdev))
                name = "." + os.path.basename(device) + "."
                self.assertEqual([n for n in os.listdir("/dev") if n.startswith(name)], [])

    def test_a_fifo(self):
        fifo = self.path("clock.fifo")
        os.mkfifo(fifo)
        got = []
        thread = threading.Thread(target=lambda: got.append(self.read(fifo)))
        thread.start()
        status, _, err = run([fifo, "-q", "1", "2", "3"])
        thread.join(timeout=60)
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(got, [q.image(["1", "2", "3"])])
        self.assertTrue(stat.S_ISFIFO(os.stat(fifo).st_mode))
        self.assert_only(self.dir, ["clock.fifo"])

    def test_a_terminal(self):
        try:
            master, slave = os.openpty()
        except OSError as e:
            self.skipTest("no terminal to be had: %s" % e)
        self.addCleanup(os.close, master)
        self.addCleanup(os.close, slave)
        name = os.ttyname(slave)
        status, _, err = run([name, "-q", "-xbm", "-width", "21", "-height", "21",
                              "1", "2", "3"])
        self.assertEqual((status, err), (0, ""))
        self.assertIn(b"#define Quadrix_width 21", os.read(master, 65536))
        self.assertTrue(stat.S_ISCHR(os.stat(name).st_mode))

    def test_dev_stdout(self):
        picture = q.image(["1", "2", "3"])
        status, out, err = run(["/dev/stdout", "-q", "1", "2", "3"])
        self.assertEqual((status, out, err), (0, picture, ""))
        # Standard output on a regular file: that file, written in place.
        out = self.path("stdout")
        with open(out, "wb") as f:
            f.write(b"old" * 10000)
            inode = os.fstat(f.fileno()).st_ino
            status, _, err = run(["/dev/stdout", "-q", "1", "2", "3"], stdout=f)
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(os.stat(out).st_ino, inode)
        self.assertEqual(self.read(out), picture)
        self.assert_only(self.dir, ["stdout"])

    def test_a_folder_that_takes_no_new_file(self):
        folder = self.path("locked")
        os.mkdir(folder)
        out = os.path.join(folder, "clock.ppm")
        self.put(out, b"old" * 10000, 0o666)
        inode = os.stat(out).st_ino
        program, preexec = self.as_other_user()
        os.chmod(folder, 0o555)
        self.addCleanup(os.chmod, folder, 0o755)
        status, _, err = run_as(program, [out, "-q", "1", "2", "3"], preexec)
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(os.stat(out).st_ino, inode)
        self.assertEqual(self.read(out), q.image(["1", "2", "3"]))
        self.assert_only(folder, ["clock.ppm"])
        # A new file there cannot be made, as before.
        new = os.path.join(folder, "new.ppm")
        status, _, err = run_as(program, [new, "-q", "1", "2", "3"], preexec)
        self.assertEqual((status, err),
                         (1, error('Creating file "%s": Permission denied' % new)))
        self.assert_only(folder, ["clock.ppm"])

    def test_a_file_of_another_user_in_a_sticky_folder(self):
        # The folder takes new files, but the old one may not be renamed
        # over: written in place once the picture is whole.
        if os.geteuid() != 0:
            self.skipTest("needs a second user")
        folder = self.path("shared")
        os.mkdir(folder)
        os.chmod(folder, 0o1777)
        out = os.path.join(folder, "clock.ppm")
        self.put(out, b"old" * 10000, 0o666)
        inode = os.stat(out).st_ino
        program, preexec = self.as_other_user()
        status, _, err = run_as(program, [out, "-q", "1", "2", "3"], preexec)
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(os.stat(out).st_ino, inode)
        self.assertEqual(self.read(out), q.image(["1", "2", "3"]))
        self.assert_only(folder, ["clock.ppm"])


class InPlaceRewrites(Folder):
    """A regular file written in place gets the whole new picture, the old
    one kept until then."""

    ARGS = ["-q", "-width", "300", "-height", "300", "4", "5", "6"]

    def test_the_file_shrinks_and_grows_to_the_picture(self):
        picture = q.image(self.ARGS)
        olds = [
            ("empty", b""),
            ("shorter", b"old"),
            ("the picture less a byte", picture[:-1]),
            ("the picture and a tail", picture + b"tail"),
            ("longer", b"o" * (3 * len(picture) + 12345)),
        ]
        for kind in ("locked", "sticky"):
            with self.subTest(kind):
                folder = self.in_place_folder(kind)
                program, preexec = self.as_other_user()
                for what, old in olds:
                    with self.subTest(kind, old=what):
                        out = self.put_in_place(folder, old)
                        if kind == "locked":
                            os.chmod(folder, 0o555)
                        before = os.stat(out)
                        status, _, err = run_as(program, [out] + self.ARGS, preexec)
                        self.assertEqual((status, err), (0, ""))
                        after = os.stat(out)
                        self.assertEqual((after.st_ino, after.st_uid, after.st_gid),
                                         (before.st_ino, before.st_uid, before.st_gid))
                        self.assertEqual(after.st_size, len(picture))
                        self.assertEqual(self.read(out), picture)
                        self.assert_only(folder, ["clock.ppm"])

    def test_a_run_that_fails_before_writing_over_leaves_the_old_picture(self):
        if shutil.which("prlimit") is None:
            self.skipTest("prlimit (util-linux) is not installed")
        old = q.image(["1", "2", "3"])
        folder = self.in_place_folder("locked")
        program, preexec = self.as_other_user()
        out = self.put_in_place(folder, old)
        os.chmod(folder, 0o555)
        for option in FORMATS:
            with self.subTest(option):
                args = ["-q", option, "-width", "600", "-height", "600", "4", "5", "6"]
                limit = min(20000, len(q.image(args[1:])) // 2)
                status, _, err = run_as("prlimit", ["--fsize=%d" % limit, program, out] + args,
                                        preexec)
                self.assertEqual((status, err),
                                 (1, error('Writing file "%s": File too large' % out)))
                self.assertEqual(self.read(out), old)
                self.assert_only(folder, ["clock.ppm"])

    def test_the_picture_is_kept_in_memory_without_a_temporary_folder(self):
        picture = q.image(self.ARGS)
        folder = self.in_place_folder("locked")
        program, preexec = self.as_other_user()
        out = self.put_in_place(folder, b"old")
        os.chmod(folder, 0o555)
        for tmpdir in ("/nonexistent", folder, ""):
            with self.subTest(TMPDIR=tmpdir):
                self.put(out, b"old")
                env = dict(os.environ, TMPDIR=tmpdir)
                status, _, err = run_as(program, [out] + self.ARGS, preexec, env=env)
                self.assertEqual((status, err), (0, ""))
                self.assertEqual(self.read(out), picture)
                self.assert_only(folder, ["clock.ppm"])

    def test_a_signal_leaves_one_picture_or_the_other(self):
        # Stopped as soon as the old file shows a change, that is once its
        # bytes are being written over: the file holds the old picture or
        # the new one, never a mixture.
        args = ["-q", "-width", "3000", "-height", "3000", "4", "5", "6"]
        picture = q.image(args)
        old = b"o" * len(picture)
        folder = self.in_place_folder("locked")
        program, preexec = self.as_other_user()
        out = self.put_in_place(folder, old)
        os.chmod(folder, 0o555)

        def looks(path):
            info = os.stat(path)
            return info.st_size, info.st_mtime_ns, info.st_blocks

        for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            with self.subTest(signal.Signals(number).name):
                self.put(out, old)
                before = looks(out)
                child = subprocess.Popen([program, out] + args, stdin=subprocess.DEVNULL,
                                         stderr=subprocess.PIPE, preexec_fn=preexec)
                while child.poll() is None and looks(out) == before:
                    pass
                child.send_signal(number)
                _, err = child.communicate(timeout=120)
                self.assertIn(child.returncode, (0, -number), err)
                self.assertEqual(err, b"")
                got = self.read(out)
                self.assertTrue(got in (old, picture), "%d bytes, part of a picture" % len(got))
                self.assert_only(folder, ["clock.ppm"])


class Ownership(Folder):
    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("needs root to hand files to other users")
        super().setUp()
        os.chmod(self.dir, 0o777)

    def test_root_keeps_owner_group_and_mode(self):
        picture = q.image(["1", "2", "3"])
        for uid, gid, mode in ((NOBODY, NOBODY, 0o640), (NOBODY, 0, 0o604), (0, NOBODY, 0o660),
                               (NOBODY, STAFF, 0o400), (0, 0, 0o644)):
            with self.subTest(uid=uid, gid=gid, mode=oct(mode)):
                out = self.path("clock.ppm")
                self.put(out, b"old")
                os.chown(out, uid, gid)
                os.chmod(out, mode)
                inode = os.stat(out).st_ino
                status, _, err = run([out, "-q", "1", "2", "3"])
                self.assertEqual((status, err), (0, ""))
                after = os.stat(out)
                self.assertNotEqual(after.st_ino, inode, "written in place")
                self.assertEqual((after.st_uid, after.st_gid, stat.S_IMODE(after.st_mode)),
                                 (uid, gid, mode))
                self.assertEqual(self.read(out), picture)
                self.assert_only(self.dir, ["clock.ppm"])

    def test_another_user_keeps_a_group_of_its_own(self):
        # nobody, a member of staff besides its own group, replaces root's
        # files: the new file is nobody's, in the old group where nobody is
        # a member of it, else in nobody's own.
        program, _ = self.as_other_user()
        os.chmod(self.dir, 0o777)
        for gid, new_gid in ((STAFF, STAFF), (0, NOBODY), (NOBODY, NOBODY)):
            with self.subTest(gid=gid):
                out = self.path("clock.ppm")
                self.put(out, b"old", 0o666)
                os.chown(out, 0, gid)
                status, _, err = run_as(program, [out, "-q", "1", "2", "3"],
                                        lambda: nobody([STAFF]))
                self.assertEqual((status, err), (0, ""))
                after = os.stat(out)
                self.assertEqual((after.st_uid, after.st_gid, stat.S_IMODE(after.st_mode)),
                                 (NOBODY, new_gid, 0o666))
                self.assert_only(self.dir, ["clock.ppm"])


class FullFileSystem(Folder):
    """On a small tmpfs: a run whose picture does not fit, written in place
    or beside, leaves the old picture byte for byte."""

    SIZE = 2 * 1024 * 1024

    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("mounting a tmpfs needs root")
        super().setUp()
        self.mount = self.path("tmpfs")
        os.mkdir(self.mount)
        result = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d,mode=0755" % self.SIZE,
                                 "quadrix-test", self.mount], stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if result.returncode != 0:
            self.skipTest("no tmpfs to be had: %s" % result.stdout.decode("utf-8", "replace"))
        self.addCleanup(subprocess.run, ["umount", "-l", self.mount])
        os.chmod(self.dir, 0o755)
        self.filler = os.path.join(self.mount, "filler")

    def leave_free(self, size):
        """Fills the tmpfs up to size bytes free."""
        if os.path.exists(self.filler):
            os.remove(self.filler)
        info = os.statvfs(self.mount)
        free = info.f_bavail * info.f_frsize
        self.assertGreater(free, size)
        self.put(self.filler, b"f" * (free - size))

    def test_a_picture_that_does_not_fit(self):
        old = q.image(["1", "2", "3"])
        args = ["-q", "-width", "300", "-height", "300", "4", "5", "6"]
        picture = q.image(args)
        spool = os.path.join(self.mount, "spool")
        os.mkdir(spool)
        os.chmod(spool, 0o1777)
        program, preexec = self.as_other_user()
        cases = [
            # The reservation fails: the file cannot grow to the picture.
            ("locked", {}, len(picture) // 2),
            # The picture does not fit where it is made.
            ("locked", {"TMPDIR": spool}, len(picture) // 2),
            # The new file beside fits, but then the old file cannot grow.
            ("sticky", {}, len(picture) + 8 * 4096),
        ]
        for number, (kind, env, free) in enumerate(cases):
            with self.subTest(kind, env=env):
                if os.path.exists(self.filler):
                    os.remove(self.filler)
                folder = os.path.join(self.mount, "%s-%d" % (kind, number))
                os.mkdir(folder)
                out = self.put_in_place(folder, old)
                os.chmod(folder, 0o555 if kind == "locked" else 0o1777)
                self.leave_free(free)
                status, _, err = run_as(program, [out] + args, preexec,
                                        env=dict(os.environ, **env))
                self.assertEqual((status, err),
                                 (1, error('Writing file "%s": No space left on device' % out)))
                self.assertEqual(self.read(out), old)
                self.assert_only(folder, ["clock.ppm"])
                self.assert_only(spool, [])
                # With the room it needs, the same run writes over it.
                self.leave_free(2 * len(picture) + 8 * 4096)
                inode = os.stat(out).st_ino
                status, _, err = run_as(program, [out] + args, preexec,
                                        env=dict(os.environ, **env))
                self.assertEqual((status, err), (0, ""))
                self.assertEqual(os.stat(out).st_ino, inode)
                self.assertEqual(self.read(out), picture)
                self.assert_only(folder, ["clock.ppm"])


if __name__ == "__main__":
    q.main()
