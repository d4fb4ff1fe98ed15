// Serves a folder on 127.0.0.1 (a free port) for page tests that need no plug-in: GET only,
// files inside the folder only, content types by extension as the editor's URL scheme gives them.
import { createServer } from 'node:http';
import { readFile, realpath } from 'node:fs/promises';
import path from 'node:path';

const TYPES = {
  css: 'text/css',
  html: 'text/html',
  js: 'text/javascript',
  json: 'application/json',
  mjs: 'text/javascript',
  png: 'image/png',
  svg: 'image/svg+xml',
  txt: 'text/plain',
};

export async function serveFolder(folder) {
  const root = await realpath(folder);
  const server = createServer(async (request, response) => {
    try {
      const url = new URL(request.url, 'http://127.0.0.1');
      const relative = decodeURIComponent(url.pathname === '/' ? '/index.html' : url.pathname);
      const file = await realpath(path.join(root, relative));
      if (request.method !== 'GET' || !file.startsWith(root + path.sep)) throw new Error('refused');
      const body = await readFile(file);
      const type = TYPES[path.extname(file).slice(1).toLowerCase()] ?? 'application/octet-stream';
      response.writeHead(200, { 'Content-Type': `${type}; charset=utf-8`, 'Cache-Control': 'no-store' });
      response.end(body);
    } catch {
      response.writeHead(404).end();
    }
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return {
    url: `http://127.0.0.1:${server.address().port}/`,
    close: () => new Promise((resolve) => server.close(resolve)),
  };
}
