"""The shared library driven from Python through ctypes, as a program of another language would:
hlmake's demo package is opened, listed and one file extracted, against the same files written
as a plain tree. Usage: ctypes_test.py <libhllib.so> <hlmake>"""
import ctypes
import os
import subprocess
import sys
import tempfile
import unittest

LIBRARY, HLMAKE = sys.argv[1], sys.argv[2]
HL_OK, HL_OPEN_FAILED = 0, 1

lib = ctypes.CDLL(LIBRARY)
lib.hl_last_message.restype = ctypes.c_char_p
lib.hl_open.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_void_p)]
lib.hl_close.argtypes = [ctypes.c_void_p]
VISITOR = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_uint32, ctypes.c_char_p)
lib.hl_walk.argtypes = [ctypes.c_void_p, ctypes.c_uint32, ctypes.c_char, VISITOR, ctypes.c_void_p]
lib.hl_find.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.POINTER(ctypes.c_uint32)]
lib.hl_extract.argtypes = [ctypes.c_void_p, ctypes.c_uint32, ctypes.c_char_p, ctypes.c_int,
                           ctypes.c_void_p, ctypes.c_void_p, ctypes.c_void_p]


class CtypesTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)
        self.package = os.path.join(self.folder.name, "demo.gcf")
        self.tree = os.path.join(self.folder.name, "tree")
        subprocess.run([HLMAKE, "demo", self.package, "--tree", self.tree], check=True,
                       stdout=subprocess.DEVNULL)
        self.handle = ctypes.c_void_p()
        self.assertEqual(lib.hl_open(self.package.encode(), ctypes.byref(self.handle)), HL_OK)
        self.addCleanup(lib.hl_close, self.handle)

    def test_lists_what_the_tree_holds(self):
        listed = []
        visit = VISITOR(lambda _, item, path: listed.append(path.decode()))
        self.assertEqual(lib.hl_walk(self.handle, 0, b"/", visit, None), HL_OK)
        on_disk = [os.path.relpath(os.path.join(folder, name), self.tree).replace(os.sep, "/")
                   for folder, folders, files in os.walk(self.tree) for name in folders + files]
        self.assertEqual(sorted(listed), sorted(on_disk))

    def test_extracts_one_file_as_the_tree_holds_it(self):
        item = ctypes.c_uint32()
        self.assertEqual(lib.hl_find(self.handle, b"cfg\\autoexec.cfg", ctypes.byref(item)), HL_OK)
        out = os.path.join(self.folder.name, "out")
        self.assertEqual(lib.hl_extract(self.handle, item, out.encode(), 0, None, None, None), HL_OK)
        with open(os.path.join(out, "autoexec.cfg"), "rb") as got, \
                open(os.path.join(self.tree, "cfg", "autoexec.cfg"), "rb") as expected:
            self.assertEqual(got.read(), expected.read())

    def test_a_missing_package_is_a_status_with_a_message(self):
        handle = ctypes.c_void_p()
        missing = os.path.join(self.folder.name, "missing.gcf").encode()
        self.assertEqual(lib.hl_open(missing, ctypes.byref(handle)), HL_OPEN_FAILED)
        self.assertIn(b"missing.gcf", lib.hl_last_message())


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
