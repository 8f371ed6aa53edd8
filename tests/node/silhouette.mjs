// Draws one scene both ways at one size, scene-convert's own PNG and its .glb in three.js, and
// compares the two silhouettes (what differs from each picture's own background).
//
//   node silhouette.mjs --convert EXE --dir DIR --width W --height H --background R,G,B
//                       (--sample EXAMPLES_DIR | --make-scene SCRIPT [--make-arg A]...)
//                       [--camera FILE]
//
// --background is the colour scene-convert clears its pictures to. --camera replaces the
// scene's camera file with FILE (in a copy: the sources are never written). DIR is emptied first and
// keeps both pictures and a difference picture: white where both drew, red where only
// scene-convert did, blue where only three.js did.
import { copyFile, cp, mkdir, readFile, readdir, rm, writeFile } from 'node:fs/promises';
import path from 'node:path';
import { PNG } from 'pngjs';
import { BACKGROUND_RGB, renderGlb } from './render.mjs';
import { CheckFailure, run } from './steps.mjs';

const kMinimumIoU = 0.95;

function parseArguments(argv) {
  const options = { makeArgs: [] };
  const single = { '--convert': 'convert', '--dir': 'dir', '--width': 'width',
                   '--height': 'height', '--background': 'background', '--sample': 'sample',
                   '--make-scene': 'makeScene', '--camera': 'camera' };
  for (let i = 0; i < argv.length; i += 2) {
    if (i + 1 >= argv.length) throw new CheckFailure(`${argv[i]} needs a value`);
    if (single[argv[i]]) options[single[argv[i]]] = argv[i + 1];
    else if (argv[i] === '--make-arg') options.makeArgs.push(argv[i + 1]);
    else throw new CheckFailure(`unexpected argument ${argv[i]}`);
  }
  for (const key of ['convert', 'dir', 'width', 'height', 'background']) {
    if (!options[key]) throw new CheckFailure(`--${key} is required`);
  }
  if (!options.sample === !options.makeScene) throw new CheckFailure('one of --sample, --make-scene');
  options.background = options.background.split(',').map(Number);
  return options;
}

// true per pixel where the picture is not `background`.
async function silhouette(file, width, height, background) {
  const png = PNG.sync.read(await readFile(file));
  if (png.width !== width || png.height !== height) {
    throw new CheckFailure(`${file} is ${png.width}x${png.height}, not ${width}x${height}`);
  }
  const drawn = new Uint8Array(width * height);
  for (let i = 0; i < width * height; ++i) {
    const d = png.data;  // RGBA
    drawn[i] = d[4 * i] !== background[0] || d[4 * i + 1] !== background[1] ||
               d[4 * i + 2] !== background[2] ? 1 : 0;
  }
  return drawn;
}

async function main(argv) {
  const options = parseArguments(argv);
  const width = Number(options.width);
  const height = Number(options.height);
  const dir = path.resolve(options.dir);
  await rm(dir, { recursive: true, force: true });
  await mkdir(dir, { recursive: true });
  let cwd = options.sample;
  let group = 'dork/dork.grp';
  if (options.makeScene) {
    run('python3', [path.resolve(options.makeScene), '--out', 'scene', ...options.makeArgs], dir);
    cwd = dir;
    group = 'scene/dork.grp';
  } else if (options.camera) {
    await cp(path.join(options.sample, 'dork'), path.join(dir, 'sample', 'dork'), { recursive: true });
    cwd = path.join(dir, 'sample');
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
  run(convert, ['--size', `${width}x${height}`, group, ours], cwd);
  run(convert, [group, glb], cwd);
  const theirs = path.join(dir, 'chromium.png');
  await renderGlb({ glb, width, height, out: theirs });

  const a = await silhouette(ours, width, height, options.background);
  const b = await silhouette(theirs, width, height, BACKGROUND_RGB);
  const difference = new PNG({ width, height });
  let both = 0;
  let either = 0;
  let onlyOurs = 0;
  let onlyTheirs = 0;
  for (let i = 0; i < width * height; ++i) {
    both += a[i] & b[i];
    either += a[i] | b[i];
    onlyOurs += a[i] & (1 - b[i]);
    onlyTheirs += b[i] & (1 - a[i]);
    const colour = a[i] && b[i] ? [255, 255, 255] : a[i] ? [255, 0, 0] : b[i] ? [0, 0, 255] : [0, 0, 0];
    difference.data.set([...colour, 255], 4 * i);
  }
  await writeFile(path.join(dir, 'difference.png'), PNG.sync.write(difference));
  const iou = either === 0 ? 0 : both / either;
  console.log(`scene-convert: ${ours}`);
  console.log(`three.js:      ${theirs}`);
  console.log(`difference:    ${path.join(dir, 'difference.png')}`);
  console.log(`silhouettes: ${both} pixels in both, ${onlyOurs} only in scene-convert's, ` +
              `${onlyTheirs} only in three.js's; intersection over union ${iou.toFixed(4)}`);
  if (either < 0.01 * width * height) {
    throw new CheckFailure('hardly anything drawn: the comparison would show nothing');
  }
  if (!(iou >= kMinimumIoU)) {
    throw new CheckFailure(`intersection over union ${iou.toFixed(4)} is below ${kMinimumIoU}`);
  }
}

try {
  await main(process.argv.slice(2));
} catch (error) {
  console.log(`FAILED: ${error instanceof CheckFailure ? error.message : error.stack}`);
  process.exitCode = 1;
}
