// Reads the JSON chunk of a .glb and counts what a viewer should build from its default scene.
import { readFile } from 'node:fs/promises';

export async function readGlbJson(file) {
  const bytes = await readFile(file);
  if (bytes.length < 20 || bytes.readUInt32LE(0) !== 0x46546c67) {
    throw new Error(`${file} is not a binary glTF file`);
  }
  const length = bytes.readUInt32LE(12);
  if (bytes.readUInt32LE(16) !== 0x4e4f534a || 20 + length > bytes.length) {
    throw new Error(`${file} does not start with a JSON chunk`);
  }
  return JSON.parse(bytes.toString('utf8', 20, 20 + length));
}

// Walks the nodes of the default scene (each node once per path to it, as a viewer instances
// them): one drawn object per primitive, one light or camera per node that carries one.
// Materials are counted in the file, used or not: a viewer builds every one it is asked for.
export function expectedCounts(json) {
  const counts = { meshes: 0, materials: (json.materials ?? []).length, lights: 0, cameras: 0 };
  const scene = (json.scenes ?? [])[json.scene ?? 0];
  const nodes = json.nodes ?? [];
  const visit = (index, depth) => {
    const node = nodes[index];
    if (!node || depth > nodes.length) return;  // a broken file; the validator says why
    if (node.mesh !== undefined) counts.meshes += json.meshes[node.mesh].primitives.length;
    if (node.camera !== undefined) counts.cameras += 1;
    if (node.extensions?.KHR_lights_punctual?.light !== undefined) counts.lights += 1;
    for (const child of node.children ?? []) visit(child, depth + 1);
  };
  for (const root of scene?.nodes ?? []) visit(root, 0);
  return counts;
}
