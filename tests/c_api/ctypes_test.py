"""The C interface from Python through ctypes, on a copy of hlmake's demo package in a fresh
folder: a package opened from memory, and cancelled calls leaving nothing behind. (The C test
checks the rest from C, under Wine too.)
    python3 ctypes_test.py LIBRARY DEMO_PACKAGE"""
import ctypes as C, os, shutil, sys, tempfile

lib = C.CDLL(sys.argv[1])
VISIT = C.CFUNCTYPE(C.c_int, C.c_void_p, C.c_uint32, C.c_char_p)
PROGRESS = C.CFUNCTYPE(C.c_int, C.c_void_p, C.c_uint64, C.c_uint64)
lib.hl_open_memory.argtypes = [C.c_char_p, C.c_size_t, C.c_void_p]
lib.hl_walk.argtypes = [C.c_void_p, C.c_uint32, C.c_char, VISIT, C.c_void_p]
lib.hl_extract.argtypes = [C.c_void_p, C.c_uint32, C.c_char_p, C.c_int, C.c_void_p, PROGRESS,
                           C.c_void_p, C.c_void_p]
lib.hl_defragment.argtypes = [C.c_char_p, C.c_int, PROGRESS, C.c_void_p, C.c_void_p]
OK, CANCELLED = 0, 16


def walk(package, stop_at=0):  # the status and the paths met, cancelling at path `stop_at`
    paths = []
    visit = VISIT(lambda user, item, path: paths.append(path) or len(paths) == stop_at)
    return lib.hl_walk(package, 0, b"/", visit, None), paths


def cancelling_at(call):  # progress that cancels at its call number `call`
    calls = []
    return PROGRESS(lambda user, done, total: calls.append(done) or len(calls) == call)


def contents(folder):  # every file below `folder` with its bytes
    files = (os.path.join(at, name) for at, _, names in os.walk(folder) for name in names)
    return {os.path.relpath(file, folder): open(file, "rb").read() for file in files}


os.chdir(tempfile.mkdtemp())
shutil.copy(sys.argv[2], "demo.gcf")
image = open("demo.gcf", "rb").read()
by_path, in_memory = C.c_void_p(), C.c_void_p()
assert lib.hl_open(b"demo.gcf", C.byref(by_path)) == OK
assert lib.hl_open_memory(image, len(image), C.byref(in_memory)) == OK
status, paths = walk(by_path)
assert status == OK and len(paths) > 12 and walk(in_memory) == (OK, paths)
for folder, package in ((b"by_path", by_path), (b"in_memory", in_memory)):
    assert lib.hl_extract(package, 0, folder, 0, None, PROGRESS(), None, None) == OK
whole = contents("by_path")
assert len(whole) == 12 and contents("in_memory") == whole

assert walk(by_path, 2) == (CANCELLED, paths[:2])
# Cancelled amid the third file with bytes (progress comes per run of blocks): the files before
# it stay, whole; that one is not written, nor anything else.
assert lib.hl_extract(by_path, 0, b"cancelled", 0, None, cancelling_at(3), None, None) == CANCELLED
written = contents("cancelled")  # an empty file needs no progress
assert sum(map(bool, written.values())) == 2 and written.items() <= whole.items(), written
lib.hl_close(by_path), lib.hl_close(in_memory)
assert lib.hl_defragment(b"demo.gcf", 0, cancelling_at(2), None, C.byref(C.c_int())) == CANCELLED
assert open("demo.gcf", "rb").read() == image
assert sorted(os.listdir(".")) == ["by_path", "cancelled", "demo.gcf", "in_memory"]
shutil.rmtree(os.getcwd())
