"""render(), convert() and check() give exactly what scene-convert and scene-inspect --check
give for the same scene and options; every public name is documented."""

import pydoc
import struct
import subprocess
import zlib

import numpy as np
import pytest
import sceneio

from conftest import SAMPLE, make_scene, program, write_scene


def decode_png(data):
    """The RGB pixels of an 8-bit RGB PNG, as an (h, w, 3) uint8 array."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert (depth, colour, interlace) == (8, 2, 0)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = np.frombuffer(zlib.decompress(idat), np.uint8).reshape(height, 1 + width * 3)
    out = np.zeros((height, width * 3), np.int32)
    for y in range(height):
        kind, line = raw[y, 0], raw[y, 1:].astype(np.int32)
        up = out[y - 1] if y else np.zeros(width * 3, np.int32)
        if kind in (0, 2):
            out[y] = (line + (up if kind == 2 else 0)) & 0xFF
            continue
        row = np.zeros(width * 3, np.int32)
        for x in range(width * 3):  # sub, average, Paeth: each byte needs the one before it
            a = row[x - 3] if x >= 3 else 0
            c = up[x - 3] if x >= 3 else 0
            b = up[x]
            if kind == 1:
                pred = a
            elif kind == 3:
                pred = (a + b) >> 1
            else:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
            row[x] = (line[x] + pred) & 0xFF
        out[y] = row
    return out.reshape(height, width, 3).astype(np.uint8)


def scene_convert(*args):
    done = subprocess.run([program("SCENEIO_SCENE_CONVERT"), *map(str, args)],
                          capture_output=True, text=True, check=False)
    assert done.returncode == 0, done.stderr
    return done


# Every body's material is given, so the group file's own assignments never decide.
BOTH = {"materials": {'"cube"': '"brick"', "pyramid": "glass"}}
BOTH_FLAGS = ["--material", "cube=brick", "--material", "pyramid=glass"]
GENERATED = {"torus0": "material0", "sphere1": "material1", "torus2": "material3"}
GENERATED_FLAGS = [w for b, m in GENERATED.items() for w in ("--material", f"{b}={m}")]

PICTURES = {
    "sample": (None, 160, 120, BOTH, BOTH_FLAGS),
    "sample dressed by its group file": (None, 120, 90, {}, []),
    "one body over the group file": (None, 80, 60, {"materials": {"cube": '"glass"'}},
                                     ["--material", "cube=glass"]),
    "sample, other materials": (None, 96, 64, {"materials": {"cube": "glass", "pyramid": "brick"}},
                                ["--material", "cube=glass", "--material", "pyramid=brick"]),
    "sample turned Z-up": (None, 64, 48, {"up": "z", **BOTH}, ["--up", "z", *BOTH_FLAGS]),
    "generated, uv first, from 1": (["--triangles", 400, "--bodies", 3, "--faces",
                                     "uv,position,normal", "--index-base", 1], 64, 80,
                                    {"faces": "uv,position,normal", "index_base": 1,
                                     "materials": GENERATED},
                                    ["--faces", "uv,position,normal", "--index-base", "1",
                                     *GENERATED_FLAGS]),
}


@pytest.mark.parametrize("case", PICTURES.values(), ids=PICTURES.keys())
def test_render_gives_the_pixels_scene_convert_writes(tmp_path, case):
    make, width, height, options, flags = case
    group = SAMPLE if make is None else make_scene(tmp_path / "scene", *make)
    scene_convert(*flags, "--size", f"{width}x{height}", group, tmp_path / "out.png")
    want = decode_png((tmp_path / "out.png").read_bytes())
    got = sceneio.render(group, width, height, **options)
    assert got.shape == (height, width, 3) and got.dtype == np.uint8
    assert np.array_equal(got, want)
    assert np.array_equal(sceneio.render(sceneio.load(group), width, height, **options), want)
    # And the picture's own PNG: convert() writes the same bytes as the program.
    sceneio.convert(group, tmp_path / "py.png", size=(width, height), **options)
    assert (tmp_path / "py.png").read_bytes() == (tmp_path / "out.png").read_bytes()


@pytest.mark.parametrize("ending", [".glb", ".gltf"])
def test_convert_writes_the_bytes_scene_convert_writes(tmp_path, ending):
    cli = tmp_path / "cli"
    py = tmp_path / "py"
    cli.mkdir()
    py.mkdir()
    done = scene_convert(SAMPLE, cli / f"dork{ending}")
    report = sceneio.convert(SAMPLE, py / f"dork{ending}")
    assert sorted(p.name for p in py.iterdir()) == sorted(p.name for p in cli.iterdir())
    for written in cli.iterdir():
        assert (py / written.name).read_bytes() == written.read_bytes(), written.name
    said = [line.split(": ", 2)[2] for line in done.stderr.splitlines()]
    assert report.warnings + report.notes == said


def test_a_group_entry_for_what_the_scene_lacks_is_left_out_with_the_same_warning(tmp_path):
    files = {p.name: p.read_bytes() for p in SAMPLE.parent.iterdir()}
    files["dork.grp"] += b'body-material "ball" "brick"\nbody-material "cube" "gold"\n'
    group = write_scene(tmp_path, files)
    done = scene_convert(group, tmp_path / "cli.glb")
    report = sceneio.convert(group, tmp_path / "py.glb")
    said = [line.split(": ", 2)[2] for line in done.stderr.splitlines()]
    assert len(report.warnings) >= 2 and report.warnings + report.notes == said
    assert (tmp_path / "py.glb").read_bytes() == (tmp_path / "cli.glb").read_bytes()


OBJ = (b"mtllib m.mtl\no tri\nusemtl red\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"
       b"o quad\nusemtl blue\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\nf 4 5 6 7\n")
MTL = b"newmtl red\nKd 1 0 0\nnewmtl blue\nKd 0 0 1\n"


def obj_model(folder):
    (folder / "m.mtl").write_bytes(MTL)
    (folder / "model.obj").write_bytes(OBJ)
    return folder / "model.obj"


def glb_model(folder):
    scene_convert(SAMPLE, folder / "model.glb")
    return folder / "model.glb"


# src -> dst: models come in and scenes go out as their five files, as scene-convert does it.
MODELS = {
    "group file to .grp in a new folder": (lambda folder: SAMPLE, "new/dork.grp"),
    "OBJ to .grp": (obj_model, "m.grp"),
    "OBJ to .glb": (obj_model, "m.glb"),
    "glTF binary to .grp": (glb_model, "m.grp"),
    "glTF binary to .png": (glb_model, "m.png"),
}


@pytest.mark.parametrize("make,output", MODELS.values(), ids=MODELS.keys())
def test_convert_takes_models_and_writes_the_five_files_as_scene_convert_does(tmp_path, make,
                                                                              output):
    source = make(tmp_path)
    (tmp_path / "cli").mkdir()
    (tmp_path / "py").mkdir()
    done = scene_convert(source, tmp_path / "cli" / output)
    report = sceneio.convert(source, tmp_path / "py" / output)
    written = sorted(p.relative_to(tmp_path / "cli") for p in (tmp_path / "cli").rglob("*"))
    assert written and written == sorted(p.relative_to(tmp_path / "py")
                                         for p in (tmp_path / "py").rglob("*"))
    for name in written:
        if (tmp_path / "cli" / name).is_file():
            assert (tmp_path / "py" / name).read_bytes() == (tmp_path / "cli" / name).read_bytes()
    said = [line.split(": ", 2)[2] for line in done.stderr.splitlines()]
    assert report.warnings + report.notes == said
    if output.endswith(".grp"):  # each body keeps what it wore, as body-material entries
        back = sceneio.load(tmp_path / "py" / output)
        assert len(back.body_materials()) == len(back.objects) > 0


def test_render_of_a_model_gives_the_pixels_scene_convert_writes(tmp_path):
    model = glb_model(tmp_path)
    scene_convert("--size", "64x48", model, tmp_path / "cli.png")
    got = sceneio.render(model, 64, 48)
    assert np.array_equal(got, decode_png((tmp_path / "cli.png").read_bytes()))


CHECKED = {
    "clean sample": {},
    "findings in three files": {
        "dork.lgt": (b"brightness 1.5", b"Brightness 1.5"),
        "dork.cam": (b"aim 0 0.5 0", b"aim O.5 0 0"),
        "dork.gof": (b"v 1 -1 -1, 0 0 1", b"v 1 -1 -1, 0 0 1 7"),
    },
}


@pytest.mark.parametrize("changes", CHECKED.values(), ids=CHECKED.keys())
def test_check_gives_the_findings_of_scene_inspect(tmp_path, monkeypatch, changes):
    files = {p.name: p.read_bytes() for p in SAMPLE.parent.iterdir()}
    for name, (old, new) in changes.items():
        files[name] = files[name].replace(old, new)
    write_scene(tmp_path, files)
    monkeypatch.chdir(tmp_path)
    done = subprocess.run([program("SCENEIO_SCENE_INSPECT"), "--check", "dork/dork.grp"],
                          capture_output=True, text=True, check=False)
    lines = done.stdout.splitlines()[:-1]  # the last line counts them
    findings = sceneio.check("dork/dork.grp")
    assert [f"{f.file}:{f.line}:{f.column}: {f.severity}: {f.message}" for f in findings] == lines
    assert len(findings) >= len(changes)


def test_every_public_name_is_documented():
    for name in sceneio.__all__:
        thing = getattr(sceneio, name)
        assert (thing.__doc__ or "").strip(), name
        for attribute, value in vars(thing).items() if isinstance(thing, type) else []:
            if attribute.startswith("_") or not isinstance(value, property):
                continue
            assert (value.__doc__ or "").strip(), f"{name}.{attribute}"
    text = pydoc.render_doc(sceneio, renderer=pydoc.plaintext)
    for name in ("load(path: object, *, threads: object = None)", "class LoadError", "view_angle",
                 "texture_bits_per_channel", "first_name", "class Finding"):
        assert name in text, name
