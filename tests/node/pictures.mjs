// What the picture checks share: the scene to draw made ready in a directory of their own,
// scene-convert's PNG and .glb of it, and reading a picture back.
//
// Arguments every picture check takes:
//   --convert EXE --dir DIR --width W --height H --background R,G,B
//   (--sample EXAMPLES_DIR | --make-scene SCRIPT [--make-arg A]...) [--camera FILE]
//   [--texture OLD=FILE] [--convert-arg A]...
// --background is the colour scene-convert clears its pictures to. --camera replaces the
// scene's camera file with FILE; --texture puts FILE beside the material file and names it
// where the material file named OLD (both in a copy: the sources are never written).
// --convert-arg is passed to both conversions. DIR is emptied first and keeps every picture.
import { copyFile, cp, mkdir, readFile, readdir, rm, writeFile } from 'node:fs/promises';
import path from 'node:path';
import { PNG } from 'pngjs';
import { CheckFailure, run } from './steps.mjs';

// `extra` names further single-valued options (flag -> key) a check takes.
export function parsePictureArguments(argv, extra = {}) {
  const options = { makeArgs: [], convertArgs: [] };
  const single = { '--convert': 'convert', '--dir': 'dir', '--width': 'width',
                   '--height': 'height', '--background': 'background', '--sample': 'sample',
                   '--make-scene': 'makeScene', '--camera': 'camera', '--texture': 'texture',
                   ...extra };
  const repeated = { '--make-arg': 'makeArgs', '--convert-arg': 'convertArgs' };
  for (let i = 0; i < argv.length; i += 2) {
    if (i + 1 >= argv.length) throw new CheckFailure(`${argv[i]} needs a value`);
    if (single[argv[i]]) options[single[argv[i]]] = argv[i + 1];
    else if (repeated[argv[i]]) options[repeated[argv[i]]].push(argv[i + 1]);
    else throw new CheckFailure(`unexpected argument ${argv[i]}`);
  }
  for (const key of ['convert', 'dir', 'width', 'height', 'background']) {
    if (!options[key]) throw new CheckFailure(`--${key} is required`);
  }
  if (!options.sample === !options.makeScene) throw new CheckFailure('one of --sample, --make-scene');
  options.background = options.background.split(',').map(Number);
  options.width = Number(options.width);
  options.height = Number(options.height);
  options.dir = path.resolve(options.dir);
  return options;
}

// Empties DIR, writes or copies the scene there and converts it to DIR/scene-convert.png and
// DIR/scene.glb. Returns the two paths.
export async function convertScene(options) {
  const { dir, width, height } = options;
  await rm(dir, { recursive: true, force: true });
  await mkdir(dir, { recursive: true });
  let cwd = options.sample;
  let group = 'dork/dork.grp';
  if (options.makeScene) {
    run('python3', [path.resolve(options.makeScene), '--out', 'scene', ...options.makeArgs], dir);
    cwd = dir;
    group = 'scene/dork.grp';
  } else if (options.camera || options.texture) {
    await cp(path.join(options.sample, 'dork'), path.join(dir, 'sample', 'dork'), { recursive: true });
    cwd = path.join(dir, 'sample');
  }
  if (options.texture) {
    const [old, file] = options.texture.split('=');
    const folder = path.join(cwd, path.dirname(group));
    const materials = (await readdir(folder)).filter((name) => name.endsWith('.gmf'));
    if (materials.length !== 1 || !file) throw new CheckFailure(`no single material file in ${folder}`);
    const materialFile = path.join(folder, materials[0]);
    const text = await readFile(materialFile, 'utf8');
    if (!text.includes(`"${old}"`)) throw new CheckFailure(`${materialFile} names no "${old}"`);
    await writeFile(materialFile, text.replaceAll(`"${old}"`, `"${path.basename(file)}"`));
    await copyFile(path.resolve(file), path.join(folder, path.basename(file)));
  }
  if (options.camera) {
    const folder = path.join(cwd, path.dirname(group));
    const cameras = (await readdir(folder)).filter((name) => name.endsWith('.cam'));
    if (cameras.length !== 1) throw new CheckFailure(`no single camera file in ${folder}`);
    await copyFile(path.resolve(options.camera), path.join(folder, cameras[0]));
  }
  const convert = path.resolve(options.convert);
  const ours = path.join(dir, 'scene-convert.png');
  const glb = path.join(dir, 'scene.glb');
  run(convert, [...options.convertArgs, '--size', `${width}x${height}`, group, ours], cwd);
  run(convert, [...options.convertArgs, group, glb], cwd);
  return { ours, glb };
}

// The RGBA pixels of a PNG that must be width x height.
export async function readPicture(file, width, height) {
  const png = PNG.sync.read(await readFile(file));
  if (png.width !== width || png.height !== height) {
    throw new CheckFailure(`${file} is ${png.width}x${png.height}, not ${width}x${height}`);
  }
  return png.data;
}

// 1 per pixel where the picture is not `background`.
export async function silhouette(file, width, height, background) {
  const d = await readPicture(file, width, height);
  const drawn = new Uint8Array(width * height);
  for (let i = 0; i < width * height; ++i) {
    drawn[i] = d[4 * i] !== background[0] || d[4 * i + 1] !== background[1] ||
               d[4 * i + 2] !== background[2] ? 1 : 0;
  }
  return drawn;
}
