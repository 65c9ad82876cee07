"""The XBM output as people use it: xsetroot -bitmap puts it on the root
window of an X server (an Xvfb this test starts and stops itself), and the
root window then shows the picture tiled, set bits black."""

import sys

sys.dont_write_bytecode = True

import os
import select
import subprocess
import tempfile
import unittest

import quadrix_check as q

SIZES = [("21", "21", "3", "0", "0"), ("75", "50", "7", "41", "13"), ("80", "80", "10", "7", "30")]


class XsetrootBitmap(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        read_end, write_end = os.pipe()
        cls.log = open(os.path.join(cls.work.name, "xvfb.log"), "wb")
        # -noreset: the root window would lose its background when xsetroot,
        # the last client, disconnects.
        cls.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-noreset",
             "-screen", "0", "320x240x24"],
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=cls.log, stderr=cls.log)
        os.close(write_end)
        number = b""
        try:
            while not number.endswith(b"\n"):
                ready, _, _ = select.select([read_end], [], [], 30)
                chunk = os.read(read_end, 16) if ready else b""
                if not chunk:
                    raise RuntimeError("Xvfb did not start")
                number += chunk
        except BaseException:
            cls.stop_server()
            raise
        finally:
            os.close(read_end)
        cls.env = dict(os.environ, DISPLAY=":" + number.decode().strip())

    @classmethod
    def stop_server(cls):
        cls.server.terminate()
        try:
            cls.server.wait(timeout=10)
        except subprocess.TimeoutExpired:
            cls.server.kill()
            cls.server.wait()
        cls.log.close()
        cls.work.cleanup()

    @classmethod
    def tearDownClass(cls):
        cls.stop_server()

    def xsetroot(self, path):
        return subprocess.run(["xsetroot", "-bitmap", path], env=self.env,
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=60)

    def root_window(self):
        xwd = subprocess.run(["xwd", "-root", "-silent"], env=self.env, check=True,
                             stdout=subprocess.PIPE, timeout=60).stdout
        pnm = subprocess.run(["xwdtopnm"], input=xwd, check=True, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, timeout=60).stdout
        return q.read_pnm(pnm)

    def test_root_window_shows_the_bitmap(self):
        for width, height, *time in SIZES:
            with self.subTest(width + "x" + height):
                picture = ["-width", width, "-height", height] + time
                path = os.path.join(self.work.name, "clock.xbm")
                with open(path, "wb") as f:
                    f.write(q.image(["-xbm"] + picture))
                result = self.xsetroot(path)
                self.assertEqual((result.returncode, result.stdout, result.stderr), (0, b"", b""))

                w, h, pens = q.pens_of_xpm(q.image(["-xpm"] + picture).decode())
                root_width, _, root = self.root_window()
                # Two tiles across and two down: the tile is exactly the
                # picture, with no padding bits.
                for y in range(2 * h):
                    for x in range(2 * w):
                        pen = pens[(y % h) * w + x % w]
                        expected = (0, 0, 0) if pen >= 2 else (255, 255, 255)
                        self.assertEqual(root[y * root_width + x], expected, (x, y))

    def test_a_broken_bitmap_is_refused(self):
        # The test would notice: xsetroot does read the file.
        path = os.path.join(self.work.name, "broken.xbm")
        with open(path, "wb") as f:
            f.write(q.image(["-xbm", "1", "2", "3"])[:200])
        self.assertNotEqual(self.xsetroot(path).returncode, 0)


if __name__ == "__main__":
    q.main()
