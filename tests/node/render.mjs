// Renders a .glb in headless Chromium with three.js from the file's first camera.
//
//   node render.mjs --glb FILE --width W --height H --out PNG [--mask PNG] [--json OUT.json]
//                   [--timeout SECONDS]
//
// Serves the file and three.js on 127.0.0.1 (a free port), draws with software WebGL, no
// antialiasing, on the background of background.json, and saves the canvas as a W x H PNG.
// --mask also saves the silhouette: every drawn object white on black. The JSON (printed, and
// written to --json) holds what three.js found (meshes, materials, lights, cameras) and the
// share of pixels that differ from the background.
import { mkdtemp, readFile, rm, stat, writeFile } from 'node:fs/promises';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { PNG } from 'pngjs';
import puppeteer from 'puppeteer-core';

const kHere = path.dirname(fileURLToPath(import.meta.url));
const kThreeRoot = path.join(kHere, 'node_modules', 'three');

export const BACKGROUND_RGB = JSON.parse(
  await readFile(path.join(kHere, 'background.json'), 'utf8')).rgb;

export function chromiumPath() {
  return process.env.SCENEIO_CHROMIUM || '/usr/bin/chromium';
}

// Software WebGL through SwiftShader, and nothing that reaches for the network: on a closed
// network Chromium's background connections are refused and slow everything down.
const kChromiumFlags = [
  '--no-sandbox',  // CI runs as root
  '--use-angle=swiftshader',
  '--enable-unsafe-swiftshader',
  '--use-gl=angle',
  '--ignore-gpu-blocklist',
  '--no-first-run',
  '--no-default-browser-check',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--disable-quic',
  '--disable-extensions',
  '--disable-dev-shm-usage',
  '--mute-audio',
];

const kIndexHtml = `<!doctype html>
<html><head><meta charset="utf-8"><link rel="icon" href="data:,"><style>html,body{margin:0;background:#000}</style>
<script type="importmap">
{"imports": {"three": "/three/build/three.module.js", "three/addons/": "/three/examples/jsm/"}}
</script></head>
<body><script type="module" src="/page.mjs"></script></body></html>
`;

const kTypes = { '.js': 'text/javascript', '.mjs': 'text/javascript', '.html': 'text/html' };

// Rejects with `what` when `promise` has not settled after `ms`.
function withTimeout(promise, ms, what) {
  let timer;
  const timeout = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`timed out after ${ms / 1000} s: ${what}`)), ms);
  });
  return Promise.race([promise, timeout]).finally(() => clearTimeout(timer));
}

// Serves only three fixed names and the three.js package; nothing else on disk is reachable.
async function startServer(glbPath) {
  const glb = await readFile(glbPath);
  const page = await readFile(path.join(kHere, 'page.mjs'));
  const server = http.createServer(async (request, response) => {
    const url = new URL(request.url, 'http://127.0.0.1');
    const send = (status, type, body) => {
      response.writeHead(status, { 'Content-Type': type, 'Cache-Control': 'no-store' });
      response.end(body);
    };
    if (url.pathname === '/') return send(200, kTypes['.html'], kIndexHtml);
    if (url.pathname === '/page.mjs') return send(200, kTypes['.mjs'], page);
    if (url.pathname === '/scene.glb') return send(200, 'model/gltf-binary', glb);
    if (url.pathname.startsWith('/three/')) {
      const file = path.resolve(kThreeRoot, '.' + decodeURIComponent(url.pathname.slice(6)));
      if (file.startsWith(kThreeRoot + path.sep)) {
        try {
          const body = await readFile(file);
          return send(200, kTypes[path.extname(file)] ?? 'application/octet-stream', body);
        } catch {
          // falls through to 404
        }
      }
    }
    send(404, 'text/plain', 'not found');
  });
  await new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, '127.0.0.1', resolve);
  });
  return server;
}

function stopServer(server) {
  server.closeAllConnections();
  return new Promise((resolve) => server.close(() => resolve()));
}

async function closeBrowser(browser) {
  const child = browser.process();
  try {
    await withTimeout(browser.close(), 15000, 'closing Chromium');
  } catch {
    if (child && child.exitCode === null) child.kill('SIGKILL');
  }
}

function decodeDataUrl(dataUrl) {
  const prefix = 'data:image/png;base64,';
  if (!dataUrl.startsWith(prefix)) throw new Error('the canvas did not give a PNG');
  return Buffer.from(dataUrl.slice(prefix.length), 'base64');
}

// Counts pixels whose colour is not `rgb`; checks the picture's size on the way.
function countDiffering(pngBytes, width, height, rgb) {
  const image = PNG.sync.read(pngBytes);
  if (image.width !== width || image.height !== height) {
    throw new Error(`the picture is ${image.width}x${image.height}, not ${width}x${height}`);
  }
  let differing = 0;
  for (let i = 0; i < image.data.length; i += 4) {
    const d = image.data;
    if (d[i] !== rgb[0] || d[i + 1] !== rgb[1] || d[i + 2] !== rgb[2]) differing += 1;
  }
  return differing;
}

// Renders `glb` and writes `out` (and `mask` when given), cleared to `background` (8-bit sRGB).
// Returns the result object; throws an Error whose message includes what the page reported when
// anything fails.
export async function renderGlb({ glb, width, height, out, mask, background = BACKGROUND_RGB,
                                  timeoutSeconds = 120 }) {
  const timeoutMs = timeoutSeconds * 1000;
  const pageLog = [];
  let server;
  let browser;
  let profile;
  try {
    await stat(chromiumPath());
    server = await startServer(glb);
    profile = await mkdtemp(path.join(os.tmpdir(), 'sceneio-chromium-'));
    browser = await puppeteer.launch({
      executablePath: chromiumPath(),
      headless: true,
      pipe: true,
      userDataDir: profile,
      args: kChromiumFlags,
      timeout: timeoutMs,
      protocolTimeout: timeoutMs,
    });
    const page = await browser.newPage();
    page.on('console', (message) => {
      if (message.type() === 'error' || message.type() === 'warn') {
        pageLog.push(`console.${message.type()}: ${message.text()}`);
      }
    });
    page.on('pageerror', (error) => pageLog.push(`page error: ${error.message}`));
    page.on('requestfailed', (request) => {
      const reason = request.failure()?.errorText;
      // Chromium reports a body that was read as a stream and then let go as aborted, after a
      // good response; only a request that got no answer is worth a line.
      if (reason === 'net::ERR_ABORTED' && request.response()?.ok()) return;
      pageLog.push(`request failed: ${request.url()} (${reason})`);
    });
    page.on('response', (response) => {
      if (response.status() >= 400) pageLog.push(`HTTP ${response.status()}: ${response.url()}`);
    });
    await page.setViewport({ width, height, deviceScaleFactor: 1 });
    const { port } = server.address();
    const query = new URLSearchParams({ width, height, background: background.join(',') });
    await page.goto(`http://127.0.0.1:${port}/?${query}`, { waitUntil: 'load', timeout: timeoutMs });
    await page.waitForFunction('window.sceneioResult !== undefined', { timeout: timeoutMs });
    const result = await withTimeout(
      page.evaluate(() => window.sceneioResult), timeoutMs, 'loading and rendering the scene');
    if (!result.ok) throw new Error(`the page failed: ${result.error}`);

    const picture = decodeDataUrl(result.picture);
    const silhouette = decodeDataUrl(result.mask);
    const differing = countDiffering(picture, width, height, background);
    const covered = countDiffering(silhouette, width, height, [0, 0, 0]);
    await writeFile(out, picture);
    if (mask) await writeFile(mask, silhouette);
    return {
      file: path.resolve(glb),
      picture: path.resolve(out),
      mask: mask ? path.resolve(mask) : null,
      width,
      height,
      background,
      meshes: result.meshes,
      materials: result.materials,
      lights: result.lights,
      cameras: result.cameras,
      pixels: width * height,
      differing,
      share: differing / (width * height),
      silhouetteShare: covered / (width * height),
      webgl: result.renderer,
      pageMessages: pageLog,
    };
  } catch (error) {
    const log = pageLog.length ? `\nwhat the page reported:\n  ${pageLog.join('\n  ')}` : '';
    throw new Error(`${error.message}${log}`);
  } finally {
    if (browser) await closeBrowser(browser);
    if (server) await stopServer(server);
    if (profile) await rm(profile, { recursive: true, force: true });
  }
}

function parseArguments(argv) {
  const options = { timeoutSeconds: 120 };
  const names = { '--glb': 'glb', '--width': 'width', '--height': 'height', '--out': 'out',
                  '--mask': 'mask', '--json': 'json', '--timeout': 'timeoutSeconds' };
  for (let i = 0; i < argv.length; i += 2) {
    const key = names[argv[i]];
    if (!key || i + 1 >= argv.length) throw new Error(`unexpected argument ${argv[i]}`);
    options[key] = argv[i + 1];
  }
  for (const key of ['width', 'height', 'timeoutSeconds']) {
    const value = Number(options[key]);
    if (!Number.isInteger(value) || value <= 0) throw new Error(`--${key} needs a positive integer`);
    options[key] = value;
  }
  if (!options.glb || !options.out) throw new Error('--glb and --out are required');
  return options;
}

async function main(argv) {
  let options;
  try {
    options = parseArguments(argv);
  } catch (error) {
    console.error(`render.mjs: ${error.message}\nusage: node render.mjs --glb FILE --width W ` +
                  '--height H --out PNG [--mask PNG] [--json OUT.json] [--timeout SECONDS]');
    return 2;
  }
  // A last resort if something hangs past every timeout: the finally blocks cannot run then.
  const guard = setTimeout(() => {
    console.error('render.mjs: gave up: the render did not finish');
    process.exit(1);
  }, (options.timeoutSeconds * 3 + 30) * 1000);
  guard.unref();
  try {
    const result = await renderGlb(options);
    const text = JSON.stringify(result, null, 2);
    if (options.json) await writeFile(options.json, text + '\n');
    console.log(text);
    return 0;
  } catch (error) {
    console.error(`render.mjs: ${options.glb}: ${error.message}`);
    return 1;
  }
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  process.exitCode = await main(process.argv.slice(2));
}
