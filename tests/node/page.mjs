// Runs inside headless Chromium: loads /scene.glb with three.js and renders it from its first
// camera. The result (or the error) is left in window.sceneioResult for the harness to collect.
import * as THREE from 'three';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';

// What the loader put in the scene; cameras in the order the nodes are walked.
function collectObjects(root) {
  const found = { meshes: 0, lights: 0, cameras: [] };
  root.traverse((object) => {
    // One glTF primitive becomes one of these; POINTS primitives become Points.
    if (object.isMesh || object.isPoints || object.isLine) found.meshes += 1;
    if (object.isLight) found.lights += 1;
    if (object.isCamera) found.cameras.push(object);
  });
  return found;
}

// Every drawn object in plain white on black, with the same face culling and point size as in
// the picture, so the silhouette is exact whatever the lighting made of a colour.
function whiteSilhouette(root) {
  root.traverse((object) => {
    if (object.isPoints) {
      object.material = new THREE.PointsMaterial({
        color: 0xffffff, size: object.material.size, sizeAttenuation: object.material.sizeAttenuation,
      });
    } else if (object.isMesh || object.isLine) {
      const side = object.material.side;
      object.material = object.isMesh ? new THREE.MeshBasicMaterial({ color: 0xffffff, side })
                                      : new THREE.LineBasicMaterial({ color: 0xffffff });
    }
  });
}

function draw(renderer, scene, camera, canvas) {
  renderer.render(scene, camera);
  renderer.getContext().finish();
  return canvas.toDataURL('image/png');
}

async function run() {
  const params = new URLSearchParams(location.search);
  const width = Number(params.get('width'));
  const height = Number(params.get('height'));
  const [r, g, b] = params.get('background').split(',').map(Number);

  const canvas = document.createElement('canvas');
  canvas.width = width;
  canvas.height = height;
  document.body.appendChild(canvas);
  const renderer = new THREE.WebGLRenderer({
    canvas, antialias: false, alpha: false, preserveDrawingBuffer: true,
  });
  renderer.setPixelRatio(1);
  renderer.setSize(width, height, false);

  const gltf = await new GLTFLoader().loadAsync('/scene.glb');
  // Materials the file holds, used or not: the loader builds each one it is asked for.
  const materials = await gltf.parser.getDependencies('material');
  const found = collectObjects(gltf.scene);
  // gltf.cameras lists every camera of the file; only one placed by a node of the scene can be
  // looked through.
  if (found.cameras.length === 0) throw new Error('the glTF scene has no camera to render from');

  const camera = found.cameras[0];
  camera.aspect = width / height;
  camera.updateProjectionMatrix();
  gltf.scene.updateMatrixWorld(true);

  renderer.setClearColor(new THREE.Color().setRGB(r / 255, g / 255, b / 255, THREE.SRGBColorSpace), 1);
  const picture = draw(renderer, gltf.scene, camera, canvas);
  whiteSilhouette(gltf.scene);
  renderer.setClearColor(0x000000, 1);
  const mask = draw(renderer, gltf.scene, camera, canvas);

  return {
    meshes: found.meshes,
    materials: materials.length,
    lights: found.lights,
    cameras: found.cameras.length,
    renderer: renderer.getContext().getParameter(renderer.getContext().VERSION),
    picture,
    mask,
  };
}

window.sceneioResult = run().then(
  (result) => ({ ok: true, ...result }),
  (error) => ({ ok: false, error: String((error && error.stack) || error) }));
