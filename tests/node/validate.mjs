// Runs the Khronos glTF validator over .gltf/.glb files; exits non-zero on any error or warning.
//
//   node validate.mjs FILE...
//
// Prints one line per file ("PATH: E errors, W warnings, I infos, H hints"), then each message
// indented below it. External buffers and images are read from beside the file.
import { readFile } from 'node:fs/promises';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import validator from 'gltf-validator';

const kSeverity = ['error', 'warning', 'info', 'hint'];

// Validates one file. Returns { path, errors, warnings, infos, hints, messages: [text] }; a file
// that cannot be read or parsed at all counts as one error, so it can never pass.
export async function validateFile(file) {
  const result = { path: file, errors: 0, warnings: 0, infos: 0, hints: 0, messages: [] };
  let bytes;
  try {
    bytes = await readFile(file);
  } catch (error) {
    result.errors = 1;
    result.messages.push(`error: cannot read the file: ${error.message}`);
    return result;
  }
  const directory = path.dirname(path.resolve(file));
  try {
    const report = await validator.validateBytes(new Uint8Array(bytes), {
      uri: path.basename(file),
      maxIssues: 0,  // no limit: every message is printed
      externalResourceFunction: (uri) =>
        readFile(path.resolve(directory, decodeURIComponent(uri))).then(
          (data) => new Uint8Array(data),
          (error) => Promise.reject(`cannot read ${uri}: ${error.message}`)),
    });
    const issues = report.issues;
    result.errors = issues.numErrors;
    result.warnings = issues.numWarnings;
    result.infos = issues.numInfos;
    result.hints = issues.numHints;
    for (const message of issues.messages) {
      const where = message.pointer ? ` at ${message.pointer}` : '';
      result.messages.push(
        `${kSeverity[message.severity] ?? message.severity}: ${message.code}${where}: ${message.message}`);
    }
  } catch (error) {
    result.errors += 1;
    result.messages.push(`error: the validator stopped: ${error}`);
  }
  return result;
}

export function formatResult(result) {
  const head = `${result.path}: ${result.errors} errors, ${result.warnings} warnings, ` +
               `${result.infos} infos, ${result.hints} hints`;
  return [head, ...result.messages.map((text) => `    ${text}`)].join('\n');
}

export function passes(result) {
  return result.errors === 0 && result.warnings === 0;
}

async function main(files) {
  if (files.length === 0) {
    console.error('usage: node validate.mjs FILE...');
    return 2;
  }
  let failed = false;
  for (const file of files) {
    const result = await validateFile(file);
    console.log(formatResult(result));
    if (!passes(result)) failed = true;
  }
  return failed ? 1 : 0;
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  process.exitCode = await main(process.argv.slice(2));
}
