// Makes a gallery of real pictures with hostile names and names in many
// scripts, in a folder whose own name is not ASCII, opens it in headless
// Chromium and checks it as a visitor would: the title and every section
// read the real names, every picture loads, no script and no dialog runs,
// thumbnail k leads to section k, and each section's picture leads to the
// next, the last to the first. The page is opened three ways: as a file, and
// from a local web server that sends text/html with no charset, and one that
// says windows-1252.
//
//   node check_gallery.mjs KORVEL PICTURE.jpg
import { chromium } from 'playwright-core';
import { execFileSync } from 'node:child_process';
import { copyFileSync, mkdtempSync, mkdirSync, readFileSync, rmSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const [korvel_arg, picture] = process.argv.slice(2);
if (!korvel_arg || !picture) {
  console.error('usage: node check_gallery.mjs KORVEL PICTURE.jpg');
  process.exit(2);
}
const korvel = resolve(korvel_arg);  // it runs inside the gallery folder

// Names as bytes: the last is not UTF-8, as a POSIX name may be.
const names = [
  'plain.jpg',
  ' plain.jpg',
  "it's.jpg",
  'say "cheese".jpg',
  'Tom & Jerry.jpg',
  'a<b>c.jpg',
  '#1 hash.jpg',
  '100% sure.jpg',
  'why?.jpg',
  'c:d.jpg',
  'back\\slash.jpg',
  'café crème.jpg',
  "x' onerror='alert(1)' y='.jpg",
  'x" onerror="alert(2)" y=".jpg',
  '<img src=x onerror=alert(3)>.jpg',
  '<script>alert(4)<\\script>.JPG',
  "'><script>alert(5)<\\script><a href='.jpg",
  'Фото 2026.jpg',
  '富士山.jpg',
  '📷 & 🌅.jpg',
  'שלום עולם.jpg',
  'cafe\u0301 Å.jpg',
].map((name) => Buffer.from(name)).concat([Buffer.from([0x62, 0x61, 0x64, 0xff, 0xc3, 0x2e, 0x6a, 0x70, 0x67])]);
// What a reader should see: the characters, U+FFFD for bytes that are not UTF-8.
const shown = names.map((name) => new TextDecoder('utf-8').decode(name));

const folder_name = "Tom & Jerry's <i>Фото 📷";
const root = mkdtempSync(join(tmpdir(), 'korvel-browser-'));
const folder = join(root, folder_name);
mkdirSync(folder);
for (const name of names) copyFileSync(picture, Buffer.concat([Buffer.from(folder + '/'), name]));
execFileSync(korvel, [], { cwd: folder, stdio: 'inherit' });

let passed = 0;
let failed = 0;
function expect(ok, what) {
  if (ok) {
    passed++;
  } else {
    failed++;
    console.log(`FAILED: ${what}`);
  }
}

expect(readFileSync(join(folder, 'index.html')).every((byte) => byte < 0x80), 'the page is pure ASCII');

// Serves the folder as common servers do: the URL's path, percent-decoded,
// is the bytes of a file name in it.
function serve(html_type) {
  const server = createServer((request, response) => {
    const path = Buffer.from(request.url.split('?')[0], 'latin1');
    const bytes = [];
    for (let i = 0; i < path.length; i++) {
      if (path[i] === 0x25 && i + 2 < path.length) {
        bytes.push(parseInt(path.subarray(i + 1, i + 3).toString(), 16));
        i += 2;
      } else {
        bytes.push(path[i]);
      }
    }
    const name = Buffer.from(bytes.slice(1));  // after the leading "/"
    let body;
    try {
      if (name.includes(0x2f)) throw new Error('only the folder itself is served');
      body = readFileSync(Buffer.concat([Buffer.from(folder + '/'), name]));
    } catch {
      response.writeHead(404).end();
      return;
    }
    const html = name.toString() === 'index.html';
    response.writeHead(200, { 'Content-Type': html ? html_type : 'image/jpeg' }).end(body);
  });
  return new Promise((done) => server.listen(0, '127.0.0.1', () => done(server)));
}

async function check(browser, how, url) {
  const page = await browser.newPage();
  page.setDefaultTimeout(600000);  // a busy machine may be slow, never wrong
  const dialogs = [];
  const errors = [];
  page.on('dialog', (dialog) => { dialogs.push(dialog.message()); dialog.dismiss(); });
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(url, { waitUntil: 'load' });

  const seen = await page.evaluate(() => {
    const images = [...document.images];
    const handlers = [...document.querySelectorAll('*')]
      .flatMap((element) => [...element.attributes].map((a) => a.name))
      .filter((name) => name.startsWith('on'));
    const cells = [...document.querySelectorAll('td a')].map((a) => ({
      href: a.getAttribute('href'),
      src: a.querySelector('img').src,
      alt: a.querySelector('img').alt,
    }));
    const sections = [...document.querySelectorAll('a[name]')]
      .filter((a) => a.name !== 'TOP')
      .map((a) => {
        // The section's picture is the link in the first paragraph after its anchor.
        let node = a;
        let link = null;
        while (!link && (node = node.nextElementSibling))
          link = node.matches('p') ? node.querySelector('a') : null;
        return { name: a.name, text: a.textContent, next: link?.getAttribute('href'),
                 src: link?.querySelector('img')?.src };
      });
    return {
      title: document.title,
      heading: document.querySelector('h1')?.textContent,
      loaded: images.map((img) => ({ src: img.src, ok: img.complete && img.naturalWidth > 0 })),
      scripts: document.scripts.length,
      handlers,
      cells,
      sections,
    };
  });

  const count = names.length;
  expect(seen.title === folder_name, `${how}: the title is the folder's name, got ${seen.title}`);
  expect(seen.heading === folder_name, `${how}: the heading is the folder's name, got ${seen.heading}`);
  expect(seen.loaded.length === 2 * count, `${how}: ${2 * count} images, got ${seen.loaded.length}`);
  for (const image of seen.loaded) expect(image.ok, `${how}: picture loads: ${image.src}`);
  expect(seen.scripts === 0, `${how}: no script element, found ${seen.scripts}`);
  expect(seen.handlers.length === 0, `${how}: no event handler attribute, found ${seen.handlers}`);
  expect(dialogs.length === 0, `${how}: no dialog, got ${dialogs}`);
  expect(errors.length === 0, `${how}: no page error, got ${errors}`);
  expect(seen.cells.length === count, `${how}: ${count} thumbnails, got ${seen.cells.length}`);
  expect(seen.sections.length === count, `${how}: ${count} sections, got ${seen.sections.length}`);
  const sources = new Set(seen.cells.map((cell) => cell.src)).size;
  expect(sources === count, `${how}: each thumbnail has a picture of its own, got ${sources} for ${count}`);

  // The page keeps the folder's order; find each name's section by its text.
  const texts = seen.sections.map((section) => section.text.split('\u00a0\u00a0')[0]);
  for (const text of shown) expect(texts.includes(text), `${how}: a section reads ${text}`);
  for (let k = 1; k <= Math.min(seen.cells.length, seen.sections.length); k++) {
    const cell = seen.cells[k - 1];
    const section = seen.sections[k - 1];
    expect(cell.href === `#${k}` && section.name === `${k}`, `${how}: thumbnail ${k} leads to section ${k}`);
    expect(cell.src === section.src, `${how}: thumbnail ${k} shows the picture of section ${k}`);
    expect(cell.alt === texts[k - 1].slice(0, -4), `${how}: thumbnail ${k}'s alt is ${texts[k - 1]} without .jpg`);
    expect(section.next === `#${k === count ? 1 : k + 1}`, `${how}: section ${k}'s picture leads on`);
  }

  // The links work when clicked: thumbnail 3, then section 3's picture.
  await page.click('td:nth-child(3) a');
  expect(await page.evaluate(() => location.hash) === '#3', `${how}: clicking thumbnail 3 opens section 3`);
  await page.click('p a[href="#4"]');
  const hash = await page.evaluate(() => location.hash);
  expect(hash === '#4', `${how}: clicking section 3's picture opens section 4, got ${hash}`);
  expect(dialogs.length === 0, `${how}: still no dialog, got ${dialogs}`);
  await page.close();
}

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--no-first-run'],
});
const servers = [];
try {
  await check(browser, 'file', pathToFileURL(join(folder, 'index.html')).href);
  for (const type of ['text/html', 'text/html; charset=windows-1252']) {
    const server = await serve(type);
    servers.push(server);
    await check(browser, `served as ${type}`, `http://127.0.0.1:${server.address().port}/index.html`);
  }
} finally {
  await browser.close();
  for (const server of servers) server.close();
  rmSync(root, { recursive: true, force: true });
}

console.log(`browser: ${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
