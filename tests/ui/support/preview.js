// Starts a preview server (norvo-probe ui, or the scripted double) as a child process and
// waits for the address it prints; stop() ends it with SIGTERM.
import { spawn } from 'node:child_process';

export function startPreview(command, args) {
  const child = spawn(command, args, { stdio: ['ignore', 'pipe', 'pipe'] });
  let stderr = '';
  child.stderr.on('data', (chunk) => {
    stderr += chunk;
  });
  const stopped = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal, stderr })));
  const address = new Promise((resolve, reject) => {
    let stdout = '';
    child.stdout.on('data', (chunk) => {
      stdout += chunk;
      const match = /open (http:\/\/127\.0\.0\.1:\d+\/)/.exec(stdout);
      if (match) resolve(match[1]);
    });
    stopped.then(({ code }) => reject(new Error(`${command} ended (${code}) before serving: ${stderr.trim()}`)));
  });
  return {
    url: address,
    // Resolves with how it ended and what it wrote to standard error.
    stop() {
      if (child.exitCode === null && child.signalCode === null) child.kill('SIGTERM');
      return stopped;
    },
  };
}

export async function getJson(url) {
  const response = await fetch(url);
  if (!response.ok) throw new Error(`${url}: HTTP ${response.status}`);
  return response.json();
}
