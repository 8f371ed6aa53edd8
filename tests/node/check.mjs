// The CTest checks of scene-convert's output: convert a scene, then validate or render it.
//
//   node check.mjs validate --convert EXE --dir DIR --out NAME.(glb|gltf) SOURCE [--convert-arg A]...
//   node check.mjs render --convert EXE --dir DIR --out NAME.glb SOURCE --width W --height H
//   SOURCE: --sample EXAMPLES_DIR (dork/dork.grp under it) | --make-scene SCRIPT [--make-arg A]...
//
// DIR is emptied first; everything is written there (the build tree), never into the sources.
import { mkdir, rm } from 'node:fs/promises';
import path from 'node:path';
import { expectedCounts, readGlbJson } from './glb.mjs';
import { renderGlb } from './render.mjs';
import { formatResult, passes, validateFile } from './validate.mjs';
import { CheckFailure, run } from './steps.mjs';

const kMinimumShare = 0.02;  // of the picture that must differ from the background

function parseArguments(argv) {
  const options = { mode: argv[0], convertArgs: [], makeArgs: [] };
  const single = { '--convert': 'convert', '--dir': 'dir', '--out': 'out', '--sample': 'sample',
                   '--make-scene': 'makeScene', '--width': 'width', '--height': 'height' };
  const repeated = { '--convert-arg': 'convertArgs', '--make-arg': 'makeArgs' };
  for (let i = 1; i < argv.length; i += 2) {
    if (i + 1 >= argv.length) throw new CheckFailure(`${argv[i]} needs a value`);
    if (single[argv[i]]) options[single[argv[i]]] = argv[i + 1];
    else if (repeated[argv[i]]) options[repeated[argv[i]]].push(argv[i + 1]);
    else throw new CheckFailure(`unexpected argument ${argv[i]}`);
  }
  if (!['validate', 'render'].includes(options.mode)) throw new CheckFailure('mode: validate|render');
  for (const key of ['convert', 'dir', 'out']) {
    if (!options[key]) throw new CheckFailure(`--${key} is required`);
  }
  if (!options.sample === !options.makeScene) throw new CheckFailure('one of --sample, --make-scene');
  return options;
}

// Writes the scene's files (a generated one) or points at the sample; returns [cwd, GROUP].
function prepareScene(options) {
  if (options.sample) return [options.sample, 'dork/dork.grp'];
  run('python3', [options.makeScene, '--out', 'scene', ...options.makeArgs], options.dir);
  return [options.dir, 'scene/dork.grp'];
}

async function main(argv) {
  const options = parseArguments(argv);
  await rm(options.dir, { recursive: true, force: true });
  await mkdir(options.dir, { recursive: true });
  const [cwd, group] = prepareScene(options);
  const output = path.join(path.resolve(options.dir), options.out);
  run(path.resolve(options.convert), [...options.convertArgs, group, output], cwd);

  if (options.mode === 'validate') {
    const result = await validateFile(output);
    console.log(formatResult(result));
    if (!passes(result)) throw new CheckFailure('the validator reported errors or warnings');
    return;
  }

  const width = Number(options.width);
  const height = Number(options.height);
  const base = output.replace(/\.glb$/, '');
  const expected = expectedCounts(await readGlbJson(output));
  const result = await renderGlb({
    glb: output, width, height, out: `${base}-chromium.png`, mask: `${base}-chromium-mask.png`,
  });
  console.log(JSON.stringify(result, null, 2));
  console.log(`picture: ${result.picture}`);
  console.log(`silhouette: ${result.mask}`);
  const faults = [];
  for (const key of ['meshes', 'materials', 'lights', 'cameras']) {
    if (result[key] !== expected[key]) {
      faults.push(`three.js found ${result[key]} ${key}, the file holds ${expected[key]}`);
    }
  }
  if (expected.meshes === 0 || expected.cameras === 0) {
    faults.push(`the file holds ${expected.meshes} meshes and ${expected.cameras} cameras`);
  }
  if (!(result.share >= kMinimumShare)) {
    faults.push(`only ${(100 * result.share).toFixed(2)}% of the picture differs from the ` +
                `background (at least ${100 * kMinimumShare}% expected)`);
  }
  if (faults.length) throw new CheckFailure(faults.join('\n'));
}

try {
  await main(process.argv.slice(2));
} catch (error) {
  console.log(`FAILED: ${error instanceof CheckFailure ? error.message : error.stack}`);
  process.exitCode = 1;
}
