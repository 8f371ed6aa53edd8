"""Every way a call can fail, and the Python exception it raises."""

import errno
import os
import subprocess
import sys
import textwrap

import pytest
import sceneio

from conftest import SAMPLE, write_scene


def sample_with(**changes):
    files = {p.name: p.read_bytes() for p in SAMPLE.parent.iterdir()}
    for name, (old, new) in changes.items():
        files[name.replace("_", ".")] = files[name.replace("_", ".")].replace(old, new)
    return files


# Scene written, the file that must be named as stopping the load, its errno, words of the message.
LOAD_FAILURES = {
    "no group file": (None, "dork/nothing.grp", errno.ENOENT, "nothing.grp"),
    "no light file named": (sample_with(dork_grp=(b'include "dork.lgt"\n', b"")),
                            "dork/dork.grp", None, "names no light file"),
    "camera file missing": (sample_with(dork_grp=(b'"dork.cam"', b'"gone.cam"')),
                            "dork/gone.cam", errno.ENOENT, "gone.cam"),
    "object file is a folder": (sample_with(dork_grp=(b'"dork.gof"', b'"sub.gof"')),
                                "dork/sub.gof", None, "sub.gof"),
}


@pytest.mark.parametrize("case", LOAD_FAILURES.values(), ids=LOAD_FAILURES.keys())
def test_a_failed_load_raises_load_error_naming_the_file(tmp_path, monkeypatch, case):
    files, stopped, error_number, words = case
    if files is not None:
        write_scene(tmp_path, files)
        (tmp_path / "dork" / "sub.gof").mkdir()
    monkeypatch.chdir(tmp_path)
    group = "dork/nothing.grp" if files is None else "dork/dork.grp"
    with pytest.raises(sceneio.LoadError) as raised:
        sceneio.load(group)
    error = raised.value
    assert isinstance(error, OSError)
    assert error.filename == stopped and error.errno == error_number
    assert words in str(error)
    result, partial = sceneio.load_partial(group)
    assert result == -1 and partial.files.group is not None


def test_load_error_keeps_undecodable_file_names(tmp_path):
    folder = os.fsencode(tmp_path) + b"/\xff\xfe"
    with pytest.raises(sceneio.LoadError) as raised:
        sceneio.load(folder + b"/x.grp")
    assert os.fsencode(raised.value.filename) == folder + b"/x.grp"


@pytest.mark.parametrize("call,exception", [
    (lambda: sceneio.load(SAMPLE, threads=1025), ValueError),
    (lambda: sceneio.load(SAMPLE, threads=-3), ValueError),
    (lambda: sceneio.load(SAMPLE, threads="2"), TypeError),
    (lambda: sceneio.load(SAMPLE, threads=True), TypeError),
    (lambda: sceneio.load(SAMPLE, 2), TypeError),
    (lambda: sceneio.load(42), TypeError),
    (lambda: sceneio.load("dork\0/dork.grp"), ValueError),
    (lambda: sceneio.load_partial(SAMPLE, threads=-1), ValueError),
    (lambda: sceneio.load(SAMPLE).objects[2], IndexError),
    (lambda: sceneio.load(SAMPLE).lights[-3], IndexError),
    (lambda: sceneio.render(SAMPLE, 15, 100), ValueError),
    (lambda: sceneio.render(SAMPLE, 100, 8193), ValueError),
    (lambda: sceneio.render(SAMPLE, 64, 64, size=(64, 64)), TypeError),
    (lambda: sceneio.render(SAMPLE, 64, 64, faces="position,normal"), ValueError),
    (lambda: sceneio.render(SAMPLE, 64, 64, faces="position,normal,normal"), ValueError),
    (lambda: sceneio.render(SAMPLE, 64, 64, faces="uv,normal,none"), ValueError),
    (lambda: sceneio.render(SAMPLE, 64, 64, faces=("position", "normal", "colour")), ValueError),
    (lambda: sceneio.render(SAMPLE, 64, 64, index_base=2), ValueError),
    (lambda: sceneio.render(SAMPLE, 64, 64, up="x"), ValueError),
    (lambda: sceneio.render(SAMPLE, 64, 64, index_base="1"), TypeError),
    (lambda: sceneio.render(SAMPLE, 64, 64, materials={"cube": "stone"}), ValueError),
    (lambda: sceneio.render(SAMPLE, 64, 64, materials={"sphere": "brick"}), ValueError),
    # Counting from 1 puts the last vertex of a face out of range: the scene cannot be drawn so.
    (lambda: sceneio.render(SAMPLE, 64, 64, index_base=1), ValueError),
    (lambda: sceneio.render("nowhere/x.grp", 64, 64), sceneio.LoadError),
], ids=lambda c: "" if callable(c) else c.__name__)
def test_bad_arguments_raise(call, exception):
    with pytest.raises(exception):
        call()


@pytest.mark.parametrize("destination,options,exception", [
    ("out.obj", {}, ValueError),
    ("out.glb", {"size": "10x10"}, ValueError),
    ("out.png", {"size": "800by600"}, ValueError),
    ("out.png", {"size": (800, 9000)}, ValueError),
    ("out.glb", {"colour": "red"}, TypeError),
    ("out.glb", {"index_base": 1}, ValueError),
    ("missing-folder/out.glb", {}, OSError),
    ("missing-folder/out.png", {}, OSError),
])
def test_bad_conversions_raise_and_leave_nothing(tmp_path, destination, options, exception):
    with pytest.raises(exception) as raised:
        sceneio.convert(SAMPLE, tmp_path / destination, **options)
    if exception is OSError:
        assert raised.value.filename == os.fsdecode(tmp_path / destination)
        assert isinstance(raised.value, sceneio.FileError)
        assert str(raised.value).startswith("cannot write")  # the message, no "[Errno None]"
    assert list(tmp_path.iterdir()) == []


def test_convert_of_a_missing_scene_raises_load_error(tmp_path):
    with pytest.raises(sceneio.LoadError):
        sceneio.convert(tmp_path / "none.grp", tmp_path / "out.glb")


def test_running_out_of_memory_raises_memory_error():
    if "asan" in os.environ.get("LD_PRELOAD", ""):
        # AddressSanitizer ends the process on a failed allocation instead of throwing.
        pytest.skip("runs in the builds without AddressSanitizer (CI: the coverage workflow)")
    script = textwrap.dedent(f"""
        import resource, sceneio
        scene = sceneio.load({str(SAMPLE)!r})
        with open("/proc/self/statm") as statm:
            size = int(statm.read().split()[0]) * resource.getpagesize()
        resource.setrlimit(resource.RLIMIT_AS, (size + (48 << 20), resource.RLIM_INFINITY))
        try:
            sceneio.render(scene, 8192, 8192)
        except MemoryError:
            print("MemoryError")
    """)
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                          check=False)
    assert done.stdout.strip() == "MemoryError", done.stderr
