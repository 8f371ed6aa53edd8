#!/usr/bin/env python3
"""Checks `scene-inspect --json` on examples/dork against the values written in its files.

    python3 check_sample_dump.py PATH/TO/scene-inspect PATH/TO/examples

The whole document is rebuilt here from the sample files' values and compared key for key, in
order; floats as 32-bit patterns, so any spelling that reads back as the same float passes.
"""
import json
import os
import struct
import subprocess
import sys
from collections import OrderedDict as O


def f32(text):
    """Bits of a float32 given as a decimal string from the files or a number from the dump."""
    if text in ("inf", "-inf", "nan"):
        return text
    return struct.unpack("<I", struct.pack("<f", float(text)))[0]


class F(str):
    """A float as written in the sample files."""


def v(components):
    """A vector or colour from its components as written: "0 0.5 1"."""
    return [F(p) for p in components.split()]


def files(examples):
    doc = O()
    for key, ext in (("group", "grp"), ("light", "lgt"), ("camera", "cam"), ("material", "gmf"),
                     ("object", "gof")):
        doc[key] = O([("path", "dork\\dork." + ext), ("directory", "dork\\"),
                      ("baseName", "dork"), ("extension", "." + ext), ("read", True),
                      ("size", os.path.getsize(os.path.join(examples, "dork", "dork." + ext)))])
    return doc


def light(name, brightness, rgb, direction):
    return O([("name", name), ("brightness", F(brightness)), ("rgb", v(rgb)),
              ("direction", v(direction)), ("extraVector1", v("0 0 0")),
              ("extraVector2", v("0 0 0")), ("extraFlag", 0), ("extraString", ""),
              ("extraInt", 0), ("extraPair", v("0 0"))])


def material(name, diffuse, specular, emission, opacity, shininess, texture=("", 0, 0, 0, 0)):
    return O([("name", name), ("diffuse", v(diffuse)), ("specular", v(specular)),
              ("extraColor1", v(emission)), ("opacity", F(opacity)),
              ("shininess", F(shininess)), ("extraColor2", v("0 0 0")),
              ("textureName", texture[0]), ("textureWidth", texture[1]),
              ("textureHeight", texture[2]), ("textureChannels", texture[3]),
              ("textureBitsPerChannel", texture[4])])


def counted(items):
    return O([("count", len(items)), ("items", items)])


def body(name, vertices, normals, uvs, parts, indices, faces):
    return O([("name", name), ("vertices", counted([v(x) for x in vertices])),
              ("normals", counted([v(x) for x in normals])),
              ("uvs", counted([v(x) for x in uvs])),
              ("faceParts", O([("firstName", parts[0]), ("secondName", parts[1]),
                               ("reserved", 0), ("indices", counted(indices))])),
              ("faces", counted(faces))])


def tri(a, b, c):
    """A face entry: vertex, normal and uv index triples."""
    return [list(a), list(b), list(c)]


def expected(examples):
    cube_faces = [((0, 3, 2), 0, (0, 1, 2)), ((0, 2, 1), 0, (0, 2, 3)),
                  ((4, 5, 6), 1, (0, 1, 2)), ((4, 6, 7), 1, (0, 2, 3)),
                  ((0, 1, 5), 2, (0, 1, 2)), ((0, 5, 4), 2, (0, 2, 3)),
                  ((3, 7, 6), 3, (0, 1, 2)), ((3, 6, 2), 3, (0, 2, 3)),
                  ((0, 4, 7), 4, (0, 1, 2)), ((0, 7, 3), 4, (0, 2, 3)),
                  ((1, 2, 6), 5, (0, 1, 2)), ((1, 6, 5), 5, (0, 2, 3))]
    pyramid_faces = [((0, 1, 2), 0, (0, 1, 2)), ((0, 2, 3), 0, (0, 2, 1)),
                     ((0, 4, 1), 1, (0, 2, 1)), ((1, 4, 2), 2, (0, 2, 1)),
                     ((2, 4, 3), 3, (0, 2, 1)), ((3, 4, 0), 4, (0, 2, 1))]
    return O([
        ("result", 0),
        ("files", files(examples)),
        ("lights", counted([light("key", "1.5", "1 0.95 0.8", "-0.5 -1 -0.25"),
                            light("fill", "0.4", "0.6 0.7 1", "0.75 -0.5 0.5")])),
        ("camera", counted([O([("name", ""), ("viewAngle", F("45")), ("hither", F("0.1")),
                               ("yon", F("1000")), ("location", v("4 3 6")),
                               ("aim", v("0 0.5 0")), ("lookupVector", v("0 1 0"))])])),
        ("materials", counted([
            material('"brick"', "0.7 0.3 0.2", "0.1 0.1 0.1", "0 0 0", "1", "8",
                     ('"brick.png"', 256, 128, 3, 8)),
            material('"glass"', "0.2 0.4 0.5", "0.9 0.9 0.9", "0 0.05 0.1", "0.25", "96")])),
        ("objects", counted([
            body('"cube"',
                 ["-1 -1 -1", "1 -1 -1", "1 1 -1", "-1 1 -1",
                  "-1 -1 1", "1 -1 1", "1 1 1", "-1 1 1"],
                 ["0 0 -1", "0 0 1", "0 -1 0", "0 1 0", "-1 0 0", "1 0 0"],
                 ["0 0", "1 0", "1 1", "0 1"],
                 ('"sides"', '"top"'), list(range(12)),
                 [tri(a, (n, n, n), c) for a, n, c in cube_faces]),
            body('"pyramid"',
                 ["-1 0 -1", "1 0 -1", "1 0 1", "-1 0 1", "0 1.5 0"],
                 ["0 -1 0", "0 0.5547 -0.83205", "0.83205 0.5547 0", "0 0.5547 0.83205",
                  "-0.83205 0.5547 0"],
                 ["0 0", "1 0", "0.5 1"],
                 ('"base"', '"apex"'), [0, 1],
                 [tri(a, (n, n, n), c) for a, n, c in pyramid_faces]),
        ])),
    ])


def diff(exp, got, path):
    if isinstance(exp, O):
        if not isinstance(got, dict) or list(exp) != list(got):
            return "%s: keys %s, got %r" % (path, list(exp), got if not isinstance(got, dict) else list(got))
        for key in exp:
            d = diff(exp[key], got[key], path + "." + key)
            if d:
                return d
        return None
    if isinstance(exp, list):
        if not isinstance(got, list) or len(exp) != len(got):
            return "%s: expected a list of %d, got %r" % (path, len(exp), got)
        for i, (e, g) in enumerate(zip(exp, got)):
            d = diff(e, g, "%s[%d]" % (path, i))
            if d:
                return d
        return None
    if isinstance(exp, F):
        ok = isinstance(got, (int, float, str)) and not isinstance(got, bool) and f32(str(got)) == f32(exp)
        return None if ok else "%s: expected float %s, got %r" % (path, exp, got)
    if type(exp) is not type(got) or exp != got:
        return "%s: expected %r, got %r" % (path, exp, got)
    return None


def main():
    tool, examples = os.path.abspath(sys.argv[1]), sys.argv[2]
    run = subprocess.run([tool, "--json"], cwd=examples, capture_output=True, timeout=60)
    if run.returncode != 0:
        sys.exit("exit status %d, expected 0" % run.returncode)
    text = run.stdout.decode("utf-8")
    if not text.endswith("}\n"):
        sys.exit("the document must end in one line feed")
    # Numbers are kept as written, so a float is compared by its own spelling, not a double's.
    got = json.loads(text, object_pairs_hook=O, parse_float=str, parse_int=int)
    problem = diff(expected(examples), got, "$")
    if problem:
        sys.exit(problem)
    print("sample dump matches examples/dork")


if __name__ == "__main__":
    main()
