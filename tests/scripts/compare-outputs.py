#!/usr/bin/env python3
"""Builds two revisions of the project and compares what their programs print and write.

    tests/scripts/compare-outputs.py OLD_REV NEW_REV [--work DIR] [--keep]

Each revision is exported into DIR/src-<rev> (git archive), built in Release with
Ninja (the programs only) and run on the same inputs, one after the other, in one scene folder:

- the conformance scenes (../shared/conformance/scenes/*, beside the checkout's parent);
- every input of every fuzz corpus (fuzz/corpus/*/*): a whole-scene input split at the 0x1F
  bytes as the fuzz targets split it, a single-file input put in as that kind of file beside
  empty others, a token-reader input put in as all four data files;
- scenes written by bench/make-scene in several layouts, and the same geometry as an OBJ text
  mesh (make-scene --obj) and as the .glb the old revision writes, brought in as models;
- every input of the glTF and OBJ import corpora, brought in as a model.

For each scene: scene-inspect (summary, --json, --check) and scene-convert to .glb, .gltf
(with its .bin and texture copies), a small .png and the five files again (.grp), under the
default options and under --index-base 1, --faces uv,position,normal, --material with the
scene's first body and material and --material naming a body no scene has. Stdout, stderr, exit status and every file written must be byte-identical, except the
glTF asset.generator string (the .glb's chunk lengths are compared with it taken out).
Exit status 0 when everything matches; the first differences are printed.
"""
import argparse
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.realpath(os.path.join(os.path.dirname(__file__), "..", ".."))
SEPARATOR = b"\x1f"
DATA_NAMES = ["s.lgt", "s.cam", "s.gmf", "s.gof"]
GROUP = b'include "s.lgt"\ninclude "s.cam"\ninclude "s.gmf"\ninclude "s.gof"\n'
SINGLE_FILE_CORPORA = {"parse_lights_fuzz": 0, "parse_camera_fuzz": 1, "parse_materials_fuzz": 2,
                       "parse_objects_fuzz": 3}
GENERATED = [
    ["--triangles", "400", "--bodies", "3", "--seed", "1"],
    ["--triangles", "300", "--bodies", "2", "--seed", "2", "--index-base", "1"],
    ["--triangles", "300", "--bodies", "3", "--seed", "3", "--faces", "uv,position,normal"],
    ["--triangles", "200", "--bodies", "2", "--seed", "4", "--no-normals", "--no-uvs"],
    ["--triangles", "200", "--bodies", "1", "--seed", "5", "--lights", "3", "--materials", "4"],
]


def run(command, cwd=None, quiet=False):
    done = subprocess.run(command, cwd=cwd, capture_output=True)
    if done.returncode != 0 and not quiet:
        sys.exit(f"failed: {' '.join(command)}\n{done.stdout.decode()}{done.stderr.decode()}")
    return done


def build(rev, work):
    source = os.path.join(work, "src-" + rev)
    binary = os.path.join(work, "build-" + rev)
    if not os.path.isdir(source):
        os.makedirs(source)
        archive = subprocess.run(["git", "-C", ROOT, "archive", rev], capture_output=True,
                                 check=True).stdout
        subprocess.run(["tar", "-x", "-C", source], input=archive, check=True)
    run(["cmake", "-S", source, "-B", binary, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release"])
    run(["cmake", "--build", binary, "--target", "scene-inspect", "scene-convert"])
    return {"inspect": os.path.join(binary, "tools", "scene-inspect"),
            "convert": os.path.join(binary, "tools", "scene-convert"),
            "source": source}


def write_scene(folder, group, parts):
    """parts: bytes per data file, None for one that is not written."""
    dork = os.path.join(folder, "dork")
    os.makedirs(dork, exist_ok=True)
    with open(os.path.join(dork, "dork.grp"), "wb") as f:
        f.write(group)
    for name, part in zip(DATA_NAMES, parts):
        if part is not None:
            with open(os.path.join(dork, name), "wb") as f:
                f.write(part)


IMPORT_CORPORA = {"import_gltf_fuzz", "import_obj_fuzz"}


def scenes(work, old):
    """(name, folder, input under the folder) for every input."""
    conformance = os.path.join(os.path.dirname(ROOT), "shared", "conformance", "scenes")
    if not os.path.isdir(conformance):
        conformance = "/work/shared/conformance/scenes"
    for name in sorted(os.listdir(conformance)):
        yield "conformance/" + name, os.path.join(conformance, name), "dork/dork.grp"
    made = os.path.join(work, "scenes")
    shutil.rmtree(made, ignore_errors=True)
    corpora = os.path.join(ROOT, "fuzz", "corpus")
    for corpus in sorted(os.listdir(corpora)):
        for entry in sorted(os.listdir(os.path.join(corpora, corpus))):
            with open(os.path.join(corpora, corpus, entry), "rb") as f:
                data = f.read()
            folder = os.path.join(made, corpus, entry)
            if corpus in IMPORT_CORPORA:
                os.makedirs(folder)
                with open(os.path.join(folder, entry), "wb") as f:
                    f.write(data)
                yield f"fuzz/{corpus}/{entry}", folder, entry
                continue
            if corpus in SINGLE_FILE_CORPORA:
                parts = [b""] * 4
                parts[SINGLE_FILE_CORPORA[corpus]] = data
                write_scene(folder, GROUP, parts)
            elif corpus.startswith("token_reader"):
                write_scene(folder, GROUP, [data] * 4)
            else:
                pieces = data.split(SEPARATOR)[:5]
                if b".." in pieces[0]:
                    continue
                parts = pieces[1:] + [None] * (5 - len(pieces))
                write_scene(folder, pieces[0], parts)
            yield f"fuzz/{corpus}/{entry}", folder, "dork/dork.grp"
    for i, args in enumerate(GENERATED):
        folder = os.path.join(made, "generated", str(i))
        run([sys.executable, os.path.join(ROOT, "bench", "make-scene"), *args, "--out",
             os.path.join(folder, "dork"), "--name", "dork", "--obj",
             os.path.join(folder, "mesh.obj")])
        read_as = [w for flag in ("--faces", "--index-base") if flag in args
                   for w in (flag, args[args.index(flag) + 1])]
        run([old["convert"], *read_as, "dork/dork.grp", "back.glb"], cwd=folder)
        for input in ("dork/dork.grp", "mesh.obj", "back.glb"):
            yield f"generated/{i} ({' '.join(args)}) {input}", folder, input


def first_names(folder, inspect):
    """The first body and material as scene-inspect's summary shows them, for --material."""
    out = run([inspect, "--json"], cwd=folder, quiet=True).stdout
    try:
        doc = json.loads(out.decode("latin-1"))
    except ValueError:
        return None
    def shown(name):
        name = name[1:-1] if len(name) >= 2 and name[0] == name[-1] == '"' else name
        return "".join(c if 0x20 <= ord(c) <= 0x7E else f"\\x{ord(c):02x}" for c in name)
    bodies = (doc.get("objects") or {}).get("items") or []
    materials = (doc.get("materials") or {}).get("items") or []
    if not bodies or not materials:
        return None
    return f"{shown(bodies[0]['name'])}={shown(materials[0]['name'])}"


def without_generator(path, data):
    """A glTF file's bytes with asset.generator blanked (and a .glb's framing recomputed)."""
    pattern = re.compile(rb'"generator":"[^"]*"')
    if path.endswith(".gltf"):
        return pattern.sub(b'"generator":""', data)
    if not path.endswith(".glb") or len(data) < 20:
        return data
    json_length = struct.unpack_from("<I", data, 12)[0]
    text = pattern.sub(b'"generator":""', data[20:20 + json_length].rstrip(b" "))
    return text + b"|" + data[20 + json_length:]


def outputs(tools, folder, source, out_dir, material):
    """Everything the programs print and write for one scene, as a dict."""
    result = {}
    for mode in ([], ["--json"], ["--check"]) if source == "dork/dork.grp" else []:
        done = run([tools["inspect"], *mode], cwd=folder, quiet=True)
        result["inspect " + " ".join(mode)] = (done.returncode, done.stdout, done.stderr)
    option_sets = [[], ["--index-base", "1"], ["--faces", "uv,position,normal"]]
    if material:
        option_sets.append(["--material", material])
    option_sets.append(["--material", "no such body=no such material"])
    for options in option_sets:
        for output in ("out.glb", "out.gltf", "out.png", "out.grp"):
            shutil.rmtree(out_dir, ignore_errors=True)
            os.makedirs(out_dir)
            extra = ["--size", "48x32"] if output.endswith(".png") else []
            command = [tools["convert"], *options, *extra, source,
                       os.path.join(out_dir, output)]
            done = run(command, cwd=folder, quiet=True)
            files = {}
            for name in sorted(os.listdir(out_dir)):
                with open(os.path.join(out_dir, name), "rb") as f:
                    files[name] = without_generator(name, f.read())
            key = f"convert {' '.join(options)} {output}"
            result[key] = (done.returncode, done.stdout, done.stderr, files)
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--work", default=None)
    parser.add_argument("--keep", action="store_true", help="keep the checkouts and builds")
    args = parser.parse_args()
    work = args.work or tempfile.mkdtemp(prefix="sceneio-compare-")
    os.makedirs(work, exist_ok=True)
    old = build(args.old, work)
    new = build(args.new, work)
    out_dir = os.path.join(work, "out")
    compared = differing = 0
    try:
        for name, folder, source in scenes(work, old):
            material = first_names(folder, old["inspect"]) if source == "dork/dork.grp" else None
            before = outputs(old, folder, source, out_dir, material)
            after = outputs(new, folder, source, out_dir, material)
            for key in before:
                compared += 1
                if before[key] != after.get(key):
                    differing += 1
                    if differing <= 20:
                        print(f"DIFFERS: {name}: {key}")
                        for part, a, b in zip(("status", "stdout", "stderr", "files"),
                                              before[key], after[key]):
                            if a != b:
                                print(f"  {part}:\n    old: {str(a)[:600]}\n    new: {str(b)[:600]}")
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
    print(f"{args.old} vs {args.new}: {compared} outputs compared, {differing} differ")
    return 1 if differing else 0


if __name__ == "__main__":
    sys.exit(main())
