// Makes the gallery of a tree of albums three folders deep, its folders'
// names ones to escape (a blank, #, ?, %, ', &, non-ASCII), with README's
// recipe, and walks it in headless Chromium as a reader would: from the
// top page, every link and every picture of every page it reaches, as
// files and from a web server that serves the tree under a sub-path.
// Checks that no link and no picture is broken, that every page of the
// tree is reached from the top, and that every page below the top leads
// back up to it.
//
//   node check_albums.mjs KORVEL PICTURE.jpg
import { chromium } from 'playwright-core';
import { execFileSync } from 'node:child_process';
import { copyFileSync, existsSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync, statSync,
         writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { join, resolve, relative } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const [korvel_arg, picture] = process.argv.slice(2);
const korvel = resolve(korvel_arg);
const failures = [];
let passed = 0;
const expect = (ok, what) => (ok ? passed++ : failures.push(what));

const root = mkdtempSync(join(tmpdir(), 'korvel-albums-'));
const top = join(root, 'Our pictures');
const albums = ['2024', '2024/Summer #1', "2024/Summer #1/Beach & bay's 100%", '2024/Winter?', 'Café', '.hidden'];
mkdirSync(top);
for (const album of albums) {
  mkdirSync(join(top, album), { recursive: true });
  for (const name of ['a.jpg', 'b c.jpg'])
    copyFileSync(picture, join(top, album, name));
}
writeFileSync(join(top, 'korvel0.htm'), '<KORVEL ALBUMS THUMBS VIEWS LAZY CAPTIONS TAKEN>\n');
execFileSync(korvel, [], { cwd: top, stdio: 'inherit' });

// Every page of the tree, by its path below the top.
const pages = [];
const find = (folder) => {
  for (const name of readdirSync(folder)) {
    const path = join(folder, name);
    if (name === 'index.html') pages.push(relative(top, path));
    else if (statSync(path).isDirectory()) find(path);
  }
};
find(top);
expect(pages.length === 6, `six pages (the top and five albums), not ${pages.length}: ${pages.join(', ')}`);

const server = createServer((request, response) => {
  const prefix = '/sub/path/';
  const path = decodeURIComponent(new URL(request.url, 'http://x').pathname);
  const file = path.startsWith(prefix) ? join(top, path.slice(prefix.length)) : null;
  if (!file || !existsSync(file) || !statSync(file).isFile()) {
    response.writeHead(404).end();
    return;
  }
  response.writeHead(200, { 'Content-Type': file.endsWith('.html') ? 'text/html' : 'image/jpeg' });
  response.end(readFileSync(file));
});
await new Promise((done) => server.listen(0, '127.0.0.1', done));
const base = `http://127.0.0.1:${server.address().port}/sub/path/`;

const browser = await chromium.launch({ executablePath: '/usr/bin/chromium',
                                        args: ['--headless', '--no-sandbox', '--disable-gpu'] });
try {
  for (const [how, start] of [['as files', pathToFileURL(join(top, 'index.html')).href],
                              ['over HTTP', `${base}index.html`]]) {
    const page = await browser.newPage();
    const seen = new Set([start]);
    const queue = [start];
    let reached = 0;
    while (queue.length) {
      const url = queue.shift();
      await page.goto(url, { waitUntil: 'load' });
      reached++;
      const found = await page.evaluate(() => ({
        links: [...document.querySelectorAll('a[href]')].map((a) => a.href),
        pictures: [...document.querySelectorAll('img[src], source[srcset], img[srcset]')].flatMap((e) =>
          [e.getAttribute('src') && e.src].concat((e.getAttribute('srcset') || '').split(', ')
            .map((c) => c.trim().split(' ')[0]).filter((u) => u).map((u) => new URL(u, document.baseURI).href))
            .filter((u) => u)),
        up: [...document.querySelectorAll('p a')].map((a) => a.href),
      }));
      for (const target of found.links.concat(found.pictures)) {
        if (target.startsWith('http://www.example.org') || new URL(target).hash) continue;
        let ok;
        if (how === 'as files') ok = existsSync(fileURLToPath(target));
        else ok = (await page.request.get(target)).status() === 200;
        expect(ok, `${how}: ${url} leads to ${target}, which is not there`);
        if (ok && target.endsWith('/index.html') && !seen.has(target)) {
          seen.add(target);
          queue.push(target);
        }
      }
      if (url !== start)
        expect(found.up.includes(start), `${how}: ${url} leads back to the top`);
    }
    expect(reached === pages.length, `${how}: ${reached} pages reached from the top, of ${pages.length}`);
    await page.close();
  }
} finally {
  await browser.close();
  server.close();
  rmSync(root, { recursive: true, force: true });
}
for (const failure of failures) console.log(`FAILED: ${failure}`);
console.log(`browser, albums: ${passed} passed, ${failures.length} failed`);
process.exit(failures.length === 0 ? 0 : 1);
