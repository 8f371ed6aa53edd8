// Checks the harness itself on a tiny scene it writes: the validator passes a good file and
// fails a broken one, and the browser finds and draws what the file holds.
//
//   node selftest.mjs DIR      (DIR is emptied first)
import { spawnSync } from 'node:child_process';
import { mkdir, rm } from 'node:fs/promises';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { expectedCounts, readGlbJson } from './glb.mjs';
import { renderGlb } from './render.mjs';
import { writeTinyScene } from './tiny-scene.mjs';

const kHere = path.dirname(fileURLToPath(import.meta.url));
const faults = [];

function expect(condition, what) {
  console.log(`${condition ? 'ok  ' : 'FAIL'} ${what}`);
  if (!condition) faults.push(what);
}

function validateStatus(files) {
  const child = spawnSync(process.execPath, [path.join(kHere, 'validate.mjs'), ...files],
                          { encoding: 'utf8', timeout: 120000 });
  process.stdout.write(child.stdout ?? '');
  return child.status;
}

const directory = path.resolve(process.argv[2] ?? 'node-selftest');
await rm(directory, { recursive: true, force: true });
await mkdir(directory, { recursive: true });

const good = await writeTinyScene(path.join(directory, 'good'));
expect(validateStatus([good.gltf, good.glb]) === 0, 'validator passes the tiny .gltf and .glb');

// An index past the end of its accessor is an error; an unused material only a hint or info.
const broken = await writeTinyScene(path.join(directory, 'broken'), (json) => {
  json.accessors[0].count = 4;
  return json;
});
expect(validateStatus([broken.gltf]) === 1, 'validator fails an accessor longer than its view');
expect(validateStatus([good.gltf, broken.glb]) === 1, 'one bad file among good ones fails all');
expect(validateStatus([path.join(directory, 'absent.glb')]) === 1, 'a missing file fails');
// The buffer of a .gltf is read from beside it: without it the data cannot be checked.
const lonely = await writeTinyScene(path.join(directory, 'no-bin'));
await rm(path.join(directory, 'no-bin', 'triangle.bin'));
expect(validateStatus([lonely.gltf]) === 1, 'a .gltf whose .bin is absent fails');

// Lit from the front, the triangle covers about a fifth of the picture.
try {
  const result = await renderGlb({
    glb: good.glb, width: 160, height: 120, out: path.join(directory, 'triangle.png'),
    mask: path.join(directory, 'triangle-mask.png'),
  });
  console.log(JSON.stringify(result, null, 2));
  const expected = expectedCounts(await readGlbJson(good.glb));
  for (const key of ['meshes', 'materials', 'lights', 'cameras']) {
    expect(result[key] === expected[key] && expected[key] === 1, `three.js finds 1 of ${key}`);
  }
  expect(result.share > 0.1 && result.share < 0.3, 'the triangle covers 10% to 30% of the picture');
  expect(result.share === result.silhouetteShare, 'the picture and the silhouette agree');
} catch (error) {
  expect(false, `render: ${error.message}`);
}

// A file without a camera cannot be rendered from one: the harness says so, it does not hang.
const noCamera = await writeTinyScene(path.join(directory, 'no-camera'), (json) => {
  json.scenes[0].nodes = [0, 1];
  return json;
});
try {
  await renderGlb({ glb: noCamera.glb, width: 64, height: 48, out: path.join(directory, 'x.png') });
  expect(false, 'render of a scene without a camera fails');
} catch (error) {
  expect(/no camera/.test(error.message), `render without a camera fails: ${error.message.split('\n')[0]}`);
}

if (faults.length) {
  console.log(`FAILED: ${faults.length} harness checks`);
  process.exitCode = 1;
}
