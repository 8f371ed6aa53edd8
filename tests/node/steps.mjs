// What the node checks share: the failure a check reports as its own, and running one program.
import { spawnSync } from 'node:child_process';
import path from 'node:path';

// A check that did not hold: reported by its message alone, without a stack.
export class CheckFailure extends Error {}

// Runs `command` in `cwd`, echoing it and its output; a failure to start or a non-zero exit fails
// the check.
export function run(command, args, cwd) {
  console.log(`$ (cd ${cwd} && ${[command, ...args].join(' ')})`);
  const child = spawnSync(command, args, { cwd, encoding: 'utf8', timeout: 300000 });
  if (child.stdout) process.stdout.write(child.stdout);
  if (child.stderr) process.stdout.write(child.stderr);
  if (child.error) throw new CheckFailure(`${command} did not run: ${child.error.message}`);
  if (child.status !== 0) {
    throw new CheckFailure(`${path.basename(command)} exited with ${child.status ?? child.signal}`);
  }
}
