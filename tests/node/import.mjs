// A glTF file another tool wrote, brought in by scene-convert: glTF-Transform writes a model with
// a node hierarchy with transforms, a mesh used by two nodes, a primitive per material, a
// triangle strip, a sparse accessor, normalised texture coordinates, an embedded PNG, a
// directional light and a camera, once as a .glb and once as a .gltf with its buffer and PNG
// beside it. scene-convert imports each, writes it as the five files, and converts those (with
// no options) to .glb again:
//   - the Khronos validator finds 0 errors and 0 warnings in what it wrote;
//   - the triangle count, the world-space bounds and which material each primitive wears are
//     those of the original;
//   - scene-convert's PNG of the original and three.js's render of it agree in silhouette
//     (intersection over union >= 0.95).
//
//   node import.mjs --convert EXE --dir DIR
import { mkdir, readFile, rm, writeFile } from 'node:fs/promises';
import path from 'node:path';
import { Document, NodeIO, Primitive, getBounds } from '@gltf-transform/core';
import { KHRLightsPunctual, Light } from '@gltf-transform/extensions';
import { PNG } from 'pngjs';
import { BACKGROUND_RGB, renderGlb } from './render.mjs';
import { CheckFailure, run } from './steps.mjs';
import { formatResult, passes, validateFile } from './validate.mjs';

const kMinimumIoU = 0.95;
const kWidth = 480;
const kHeight = 360;
const kConvertBackground = [48, 48, 48];  // what scene-convert clears its pictures to

function parseArguments(argv) {
  const options = {};
  for (let i = 0; i < argv.length; i += 2) {
    if (argv[i] === '--convert') options.convert = argv[i + 1];
    else if (argv[i] === '--dir') options.dir = argv[i + 1];
    else throw new CheckFailure(`unexpected argument ${argv[i]}`);
  }
  if (!options.convert || !options.dir) throw new CheckFailure('--convert and --dir are required');
  return options;
}

function checkerPng() {
  const png = new PNG({ width: 8, height: 8 });
  for (let y = 0; y < 8; ++y) {
    for (let x = 0; x < 8; ++x) {
      const on = (x + y) % 2 === 0;
      png.data.set(on ? [230, 200, 40, 255] : [40, 60, 200, 255], 4 * (y * 8 + x));
    }
  }
  return PNG.sync.write(png);
}

// A unit cube, four vertices a side so each side has its own normal; the four sides and the
// top and bottom as two primitives with two materials.
function cubeMesh(doc, buffer, sides, caps) {
  const faces = [
    [[1, 0, 0], [0, 0, -1], [0, 1, 0]], [[-1, 0, 0], [0, 0, 1], [0, 1, 0]],
    [[0, 0, 1], [1, 0, 0], [0, 1, 0]], [[0, 0, -1], [-1, 0, 0], [0, 1, 0]],
    [[0, 1, 0], [1, 0, 0], [0, 0, -1]], [[0, -1, 0], [1, 0, 0], [0, 0, 1]],
  ];
  const positions = [];
  const normals = [];
  for (const [n, u, v] of faces) {
    for (const [a, b] of [[-1, -1], [1, -1], [1, 1], [-1, 1]]) {
      positions.push(...[0, 1, 2].map((k) => 0.5 * (n[k] + a * u[k] + b * v[k])));
      normals.push(...n);
    }
  }
  const position = doc.createAccessor().setType('VEC3').setArray(new Float32Array(positions)).setBuffer(buffer);
  const normal = doc.createAccessor().setType('VEC3').setArray(new Float32Array(normals)).setBuffer(buffer);
  const indicesOf = (faceList) => {
    const list = [];
    for (const f of faceList) list.push(4 * f, 4 * f + 1, 4 * f + 2, 4 * f, 4 * f + 2, 4 * f + 3);
    return doc.createAccessor().setType('SCALAR').setArray(new Uint16Array(list)).setBuffer(buffer);
  };
  const primitive = (faceList, material) => doc.createPrimitive()
    .setAttribute('POSITION', position).setAttribute('NORMAL', normal)
    .setIndices(indicesOf(faceList)).setMaterial(material);
  return doc.createMesh('box').addPrimitive(primitive([0, 1, 2, 3], sides)).addPrimitive(primitive([4, 5], caps));
}

// A ribbon facing +Z as a triangle strip, its positions a sparse accessor (glTF-Transform
// writes only the non-zero elements), its texture coordinates normalised unsigned shorts.
function ribbonMesh(doc, buffer, material) {
  const positions = new Float32Array([-1, 1, 0, -1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 1, 0, 0]);
  const uvs = new Uint16Array([0, 0, 0, 65535, 32768, 0, 32768, 65535, 65535, 0, 65535, 65535]);
  const position = doc.createAccessor().setType('VEC3').setArray(positions).setSparse(true).setBuffer(buffer);
  const uv = doc.createAccessor().setType('VEC2').setArray(uvs).setNormalized(true).setBuffer(buffer);
  const strip = doc.createPrimitive().setMode(Primitive.Mode.TRIANGLE_STRIP)
    .setAttribute('POSITION', position).setAttribute('TEXCOORD_0', uv).setMaterial(material);
  return doc.createMesh('ribbon').addPrimitive(strip);
}

function makeModel() {
  const doc = new Document();
  const buffer = doc.createBuffer();
  const red = doc.createMaterial('red').setBaseColorFactor([0.8, 0.1, 0.1, 1]).setRoughnessFactor(0.4);
  const blue = doc.createMaterial('blue').setBaseColorFactor([0.1, 0.2, 0.9, 1]).setRoughnessFactor(0.8);
  const texture = doc.createTexture('checker').setImage(checkerPng()).setMimeType('image/png');
  const checker = doc.createMaterial('checker').setBaseColorTexture(texture);
  const box = cubeMesh(doc, buffer, red, blue);
  const ribbon = ribbonMesh(doc, buffer, checker);
  const turn = (axis, degrees) => {
    const h = (degrees * Math.PI) / 360;
    return [axis[0] * Math.sin(h), axis[1] * Math.sin(h), axis[2] * Math.sin(h), Math.cos(h)];
  };
  const left = doc.createNode('left').setMesh(box).setTranslation([-1.2, 0, 0]).setRotation(turn([0, 1, 0], 30));
  const right = doc.createNode('right').setMesh(box).setTranslation([1.2, 0.4, 0])
    .setScale([0.7, 0.7, 0.7]).setRotation(turn([1, 0, 0], 25));
  const floor = doc.createNode('ribbon').setMesh(ribbon).setTranslation([0, -1.6, 0]).setScale([1.5, 1, 1]);
  const rig = doc.createNode('rig').setTranslation([0, 0.2, 0]).setRotation(turn([0, 1, 0], 10))
    .addChild(left).addChild(right).addChild(floor);
  const lights = doc.createExtension(KHRLightsPunctual);
  const sun = lights.createLight('sun').setType(Light.Type.DIRECTIONAL).setIntensity(2).setColor([1, 0.9, 0.8]);
  const sunNode = doc.createNode('sun').setExtension('KHR_lights_punctual', sun).setRotation(turn([1, 0, 0], -45));
  const camera = doc.createCamera('view').setType('perspective').setYFov(0.9).setZNear(0.1).setZFar(100)
    .setAspectRatio(kWidth / kHeight);
  const cameraNode = doc.createNode('camera').setCamera(camera).setTranslation([0, 0, 6]);
  doc.createScene('scene').addChild(rig).addChild(sunNode).addChild(cameraNode);
  return doc;
}

function triangles(primitive) {
  const indices = primitive.getIndices();
  const n = indices ? indices.getCount() : primitive.getAttribute('POSITION').getCount();
  switch (primitive.getMode()) {
    case Primitive.Mode.TRIANGLES: return Math.floor(n / 3);
    case Primitive.Mode.TRIANGLE_STRIP:
    case Primitive.Mode.TRIANGLE_FAN: return Math.max(0, n - 2);
    default: return 0;
  }
}

// One entry per primitive of every mesh instance: "material:triangles", sorted.
function assignments(doc) {
  const list = [];
  doc.getRoot().listScenes()[0].traverse((node) => {
    const mesh = node.getMesh();
    if (!mesh) return;
    for (const primitive of mesh.listPrimitives()) {
      list.push(`${primitive.getMaterial()?.getName() ?? '(none)'}:${triangles(primitive)}`);
    }
  });
  return list.sort();
}

async function silhouette(file, background) {
  const png = PNG.sync.read(await readFile(file));
  if (png.width !== kWidth || png.height !== kHeight) throw new CheckFailure(`${file}: wrong size`);
  const drawn = new Uint8Array(kWidth * kHeight);
  for (let i = 0; i < drawn.length; ++i) {
    const d = png.data;
    drawn[i] = d[4 * i] !== background[0] || d[4 * i + 1] !== background[1] || d[4 * i + 2] !== background[2] ? 1 : 0;
  }
  return drawn;
}

// What scene-convert wrote from the written scene against the model it came from.
async function checkAgain(io, original, again) {
  const report = await validateFile(again);
  console.log(formatResult(report));
  if (!passes(report)) throw new CheckFailure(`${again} is not valid`);
  const back = await io.read(again);
  const want = assignments(original);
  const got = assignments(back);
  console.log(`primitives (material:triangles): original ${want.join(' ')}; again ${got.join(' ')}`);
  if (JSON.stringify(want) !== JSON.stringify(got)) {
    throw new CheckFailure('the material assignments or triangle counts differ');
  }
  const count = (list) => list.reduce((sum, entry) => sum + Number(entry.split(':').pop()), 0);
  if (count(want) !== count(got)) throw new CheckFailure('the triangle counts differ');
  const a = getBounds(original.getRoot().listScenes()[0]);
  const b = getBounds(back.getRoot().listScenes()[0]);
  console.log(`bounds: original ${JSON.stringify(a)}; again ${JSON.stringify(b)}`);
  for (const key of ['min', 'max']) {
    for (let k = 0; k < 3; ++k) {
      if (Math.abs(a[key][k] - b[key][k]) > 1e-5) throw new CheckFailure(`world bounds ${key}[${k}] differ`);
    }
  }
  if (back.getRoot().listCameras().length !== 1) throw new CheckFailure('the camera was not carried over');
  const lit = back.getRoot().listNodes().filter((node) => node.getExtension('KHR_lights_punctual'));
  if (lit.length !== 1) throw new CheckFailure('the light was not carried over');
  if (back.getRoot().listTextures().length !== 1) throw new CheckFailure('the embedded PNG was not carried over');
}

async function main(argv) {
  const options = parseArguments(argv);
  const dir = path.resolve(options.dir);
  await rm(dir, { recursive: true, force: true });
  await mkdir(dir, { recursive: true });
  const io = new NodeIO().registerExtensions([KHRLightsPunctual]);
  const model = path.join(dir, 'model.glb');
  const original = makeModel();
  await writeFile(model, await io.writeBinary(original));
  const convert = path.resolve(options.convert);

  // glTF -> scene (the five files) -> glTF, valid and the same model; the model as one .glb and
  // as a .gltf with its buffer and PNG in files of their own.
  await mkdir(path.join(dir, 'separate'));
  await io.write(path.join(dir, 'separate', 'model.gltf'), original);
  for (const input of ['model.glb', 'separate/model.gltf']) {
    const folder = path.join(dir, `scene-${path.extname(input).slice(1)}`);
    await mkdir(folder, { recursive: true });
    run(convert, [input, path.join(folder, 'model.grp')], dir);
    const again = path.join(folder, 'again.glb');
    run(convert, ['model.grp', 'again.glb'], folder);
    await checkAgain(io, original, again);
  }
  // scene-convert's picture of the imported model against three.js's render of the original.
  const ours = path.join(dir, 'scene-convert.png');
  const theirs = path.join(dir, 'chromium.png');
  run(convert, ['--size', `${kWidth}x${kHeight}`, 'model.glb', 'scene-convert.png'], dir);
  await renderGlb({ glb: model, width: kWidth, height: kHeight, out: theirs });
  const x = await silhouette(ours, kConvertBackground);
  const y = await silhouette(theirs, BACKGROUND_RGB);
  let both = 0;
  let either = 0;
  for (let i = 0; i < x.length; ++i) {
    both += x[i] & y[i];
    either += x[i] | y[i];
  }
  const iou = either === 0 ? 0 : both / either;
  console.log(`silhouettes: ${both} pixels in both of ${either}; intersection over union ${iou.toFixed(4)}`);
  if (either < 0.01 * x.length) throw new CheckFailure('hardly anything drawn');
  if (!(iou >= kMinimumIoU)) throw new CheckFailure(`intersection over union ${iou.toFixed(4)} is below ${kMinimumIoU}`);
}

try {
  await main(process.argv.slice(2));
} catch (error) {
  console.log(`FAILED: ${error instanceof CheckFailure ? error.message : error.stack}`);
  process.exitCode = 1;
}
