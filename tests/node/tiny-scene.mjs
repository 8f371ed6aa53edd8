// Writes a tiny glTF scene (one lit triangle, one material, one light, one camera) as .gltf+.bin
// and as .glb, so the harness can be checked without the converter.
import { mkdir, writeFile } from 'node:fs/promises';
import path from 'node:path';

// Pads to a multiple of 4 with `fill`, as both GLB chunks require.
function pad4(buffer, fill) {
  const extra = (4 - (buffer.length % 4)) % 4;
  return extra === 0 ? buffer : Buffer.concat([buffer, Buffer.alloc(extra, fill)]);
}

function triangleBuffers() {
  const positions = new Float32Array([-1, -1, 0, 1, -1, 0, 0, 1, 0]);
  const normals = new Float32Array([0, 0, 1, 0, 0, 1, 0, 0, 1]);
  const indices = new Uint16Array([0, 1, 2]);
  return pad4(Buffer.concat([Buffer.from(positions.buffer), Buffer.from(normals.buffer),
                             Buffer.from(indices.buffer)]), 0);
}

function triangleJson(byteLength, bufferUri) {
  const buffer = { byteLength };
  if (bufferUri) buffer.uri = bufferUri;
  return {
    asset: { version: '2.0', generator: 'sceneio harness self-test' },
    extensionsUsed: ['KHR_lights_punctual'],
    extensions: {
      KHR_lights_punctual: { lights: [{ type: 'directional', color: [1, 1, 1], intensity: 2 }] },
    },
    scene: 0,
    scenes: [{ nodes: [0, 1, 2] }],
    nodes: [
      { name: 'triangle', mesh: 0 },
      { name: 'sun', extensions: { KHR_lights_punctual: { light: 0 } } },
      { name: 'camera', camera: 0, translation: [0, 0, 3] },
    ],
    cameras: [{ type: 'perspective', perspective: { yfov: 0.9, znear: 0.1, zfar: 100 } }],
    meshes: [{
      name: 'triangle',
      primitives: [{ attributes: { POSITION: 0, NORMAL: 1 }, indices: 2, material: 0 }],
    }],
    materials: [{
      name: 'red',
      pbrMetallicRoughness: { baseColorFactor: [0.8, 0.3, 0.2, 1], metallicFactor: 0 },
    }],
    buffers: [buffer],
    bufferViews: [
      { buffer: 0, byteOffset: 0, byteLength: 36, target: 34962 },
      { buffer: 0, byteOffset: 36, byteLength: 36, target: 34962 },
      { buffer: 0, byteOffset: 72, byteLength: 6, target: 34963 },
    ],
    accessors: [
      { bufferView: 0, componentType: 5126, count: 3, type: 'VEC3', min: [-1, -1, 0],
        max: [1, 1, 0] },
      { bufferView: 1, componentType: 5126, count: 3, type: 'VEC3' },
      { bufferView: 2, componentType: 5123, count: 3, type: 'SCALAR' },
    ],
  };
}

export function glbBytes(json, bin) {
  const jsonChunk = pad4(Buffer.from(JSON.stringify(json), 'utf8'), 0x20);
  const binChunk = pad4(bin, 0);
  const header = Buffer.alloc(12);
  header.writeUInt32LE(0x46546c67, 0);  // "glTF"
  header.writeUInt32LE(2, 4);
  header.writeUInt32LE(12 + 8 + jsonChunk.length + 8 + binChunk.length, 8);
  const chunkHead = (length, type) => {
    const head = Buffer.alloc(8);
    head.writeUInt32LE(length, 0);
    head.writeUInt32LE(type, 4);
    return head;
  };
  return Buffer.concat([header, chunkHead(jsonChunk.length, 0x4e4f534a), jsonChunk,
                        chunkHead(binChunk.length, 0x004e4942), binChunk]);
}

// Writes DIR/triangle.gltf, DIR/triangle.bin and DIR/triangle.glb; `edit` may change the JSON
// first (to make a broken file). Returns the paths.
export async function writeTinyScene(directory, edit = (json) => json) {
  await mkdir(directory, { recursive: true });
  const bin = triangleBuffers();
  const gltf = path.join(directory, 'triangle.gltf');
  const glb = path.join(directory, 'triangle.glb');
  await writeFile(gltf, JSON.stringify(edit(triangleJson(bin.length, 'triangle.bin')), null, 1));
  await writeFile(path.join(directory, 'triangle.bin'), bin);
  await writeFile(glb, glbBytes(edit(triangleJson(bin.length)), bin));
  return { gltf, glb };
}
