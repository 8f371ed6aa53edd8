// Draws one scene both ways at one size, scene-convert's own PNG and its .glb in another
// renderer, and compares the two silhouettes (what differs from each picture's own background).
//
//   node silhouette.mjs PICTURE-ARGUMENTS [--viewer three|f3d]
//
// PICTURE-ARGUMENTS are those of pictures.mjs. The other renderer is three.js in headless
// Chromium (the default) or f3d, a desktop viewer, on a virtual X display (xvfb-run), each from
// the file's camera. DIR keeps both pictures and a difference picture: white where both drew,
// red where only scene-convert did, blue where only the other renderer did.
import { spawnSync } from 'node:child_process';
import { writeFile } from 'node:fs/promises';
import path from 'node:path';
import { PNG } from 'pngjs';
import { convertScene, parsePictureArguments, silhouette } from './pictures.mjs';
import { BACKGROUND_RGB, renderGlb } from './render.mjs';
import { CheckFailure } from './steps.mjs';

const kMinimumIoU = 0.95;

// f3d draws the file's first camera on the background colour given, with no grid, axes or
// antialiasing; its picture's background is then that colour exactly.
function renderWithF3d(glb, width, height, out) {
  const args = ['-a', 'f3d', '--dry-run', '--camera-index=0', `--resolution=${width},${height}`,
                `--bg-color=${BACKGROUND_RGB.map((c) => (c / 255).toFixed(6)).join(',')}`,
                `--output=${out}`, glb];
  console.log(`$ xvfb-run ${args.join(' ')}`);
  const child = spawnSync('xvfb-run', args, { encoding: 'utf8', timeout: 300000 });
  if (child.stdout) process.stdout.write(child.stdout);
  if (child.stderr) process.stdout.write(child.stderr);
  if (child.error) throw new CheckFailure(`xvfb-run did not run: ${child.error.message}`);
  if (child.status !== 0) throw new CheckFailure(`f3d exited with ${child.status ?? child.signal}`);
}

async function main(argv) {
  const options = parsePictureArguments(argv, { '--viewer': 'viewer' });
  const viewer = options.viewer ?? 'three';
  if (!['three', 'f3d'].includes(viewer)) throw new CheckFailure('--viewer three|f3d');
  const { width, height, dir } = options;
  const { ours, glb } = await convertScene(options);
  const theirs = path.join(dir, viewer === 'three' ? 'chromium.png' : 'f3d.png');
  if (viewer === 'three') await renderGlb({ glb, width, height, out: theirs });
  else renderWithF3d(glb, width, height, theirs);

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
  const name = viewer === 'three' ? 'three.js' : 'f3d';
  console.log(`scene-convert: ${ours}`);
  console.log(`${(name + ':').padEnd(14)} ${theirs}`);
  console.log(`difference:    ${path.join(dir, 'difference.png')}`);
  console.log(`silhouettes: ${both} pixels in both, ${onlyOurs} only in scene-convert's, ` +
              `${onlyTheirs} only in ${name}'s; intersection over union ${iou.toFixed(4)}`);
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
