// Compares the colours of scene-convert's picture with three.js's picture of the converted .glb
// (its standard and physical materials, the file's own lights, sRGB output, in headless
// Chromium) over the pixels both silhouettes cover.
//
//   node colour.mjs PICTURE-ARGUMENTS
//
// PICTURE-ARGUMENTS are those of pictures.mjs. Passes when the mean absolute difference of each
// channel is at most 10 (of 255) and at least 90 % of the pixels are within 24 on every channel.
// DIR keeps both pictures, difference.png (each channel's difference times four where both
// drew; blue where only one did) and colour.json with the figures.
import { writeFile } from 'node:fs/promises';
import path from 'node:path';
import { PNG } from 'pngjs';
import { convertScene, parsePictureArguments, readPicture } from './pictures.mjs';
import { renderGlb } from './render.mjs';
import { CheckFailure } from './steps.mjs';

const kMaximumMean = 10;
const kNear = 24;
const kMinimumNearShare = 0.9;
const kMinimumCompared = 0.01;  // of the picture: fewer pixels would prove nothing

async function main(argv) {
  const options = parsePictureArguments(argv);
  const { width, height, dir, background } = options;
  const { ours, glb } = await convertScene(options);
  const theirs = path.join(dir, 'chromium.png');
  const mask = path.join(dir, 'chromium-mask.png');
  // On scene-convert's background, so that what is seen through agrees too.
  await renderGlb({ glb, width, height, out: theirs, mask, background });

  const a = await readPicture(ours, width, height);
  const b = await readPicture(theirs, width, height);
  const m = await readPicture(mask, width, height);
  const difference = new PNG({ width, height });
  const sums = [0, 0, 0];
  let compared = 0;
  let near = 0;
  for (let i = 0; i < width * height; ++i) {
    const p = 4 * i;
    const inOurs = a[p] !== background[0] || a[p + 1] !== background[1] || a[p + 2] !== background[2];
    const inTheirs = m[p] !== 0 || m[p + 1] !== 0 || m[p + 2] !== 0;
    let colour = [0, 0, 0];
    if (inOurs && inTheirs) {
      compared += 1;
      let worst = 0;
      for (let k = 0; k < 3; ++k) {
        const d = Math.abs(a[p + k] - b[p + k]);
        sums[k] += d;
        worst = Math.max(worst, d);
        colour[k] = Math.min(255, 4 * d);
      }
      if (worst <= kNear) near += 1;
    } else if (inOurs || inTheirs) {
      colour = [0, 0, 96];
    }
    difference.data.set([...colour, 255], p);
  }
  await writeFile(path.join(dir, 'difference.png'), PNG.sync.write(difference));
  const means = sums.map((s) => (compared ? s / compared : 0));
  const nearShare = compared ? near / compared : 0;
  const figures = {
    compared, share: compared / (width * height),
    meanDifference: { r: means[0], g: means[1], b: means[2] },
    withinNear: nearShare, near: kNear,
  };
  await writeFile(path.join(dir, 'colour.json'), JSON.stringify(figures, null, 2) + '\n');
  console.log(`scene-convert: ${ours}`);
  console.log(`three.js:      ${theirs}`);
  console.log(`difference:    ${path.join(dir, 'difference.png')}`);
  console.log(`${compared} pixels in both silhouettes; mean difference per channel ` +
              `${means.map((x) => x.toFixed(2)).join(' ')}; ` +
              `${(100 * nearShare).toFixed(1)}% within ${kNear} on every channel`);
  const faults = [];
  if (compared < kMinimumCompared * width * height) {
    faults.push('hardly anything drawn by both: the comparison would show nothing');
  }
  if (!means.every((x) => x <= kMaximumMean)) {
    faults.push(`a mean difference is above ${kMaximumMean}`);
  }
  if (!(nearShare >= kMinimumNearShare)) {
    faults.push(`fewer than ${100 * kMinimumNearShare}% of the pixels are within ${kNear}`);
  }
  if (faults.length) throw new CheckFailure(faults.join('\n'));
}

try {
  await main(process.argv.slice(2));
} catch (error) {
  console.log(`FAILED: ${error instanceof CheckFailure ? error.message : error.stack}`);
  process.exitCode = 1;
}
