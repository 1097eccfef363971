// Makes a gallery of real pictures with hostile names, opens it in headless
// Chromium and checks it as a visitor would: every picture loads, no script
// and no dialog runs, thumbnail k leads to section k, and each section's
// picture leads to the next, the last to the first.
//
//   node check_gallery.mjs KORVEL PICTURE.jpg
import { chromium } from 'playwright-core';
import { execFileSync } from 'node:child_process';
import { copyFileSync, mkdtempSync, mkdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const [korvel_arg, picture] = process.argv.slice(2);
if (!korvel_arg || !picture) {
  console.error('usage: node check_gallery.mjs KORVEL PICTURE.jpg');
  process.exit(2);
}
const korvel = resolve(korvel_arg);  // it runs inside the gallery folder

const names = [
  'plain.jpg',
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
];

const root = mkdtempSync(join(tmpdir(), 'korvel-browser-'));
const folder = join(root, "Tom & Jerry's <i>holiday");
mkdirSync(folder);
for (const name of names) copyFileSync(picture, join(folder, name));
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

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--no-first-run'],
});
try {
  const page = await browser.newPage();
  const dialogs = [];
  const errors = [];
  page.on('dialog', (dialog) => { dialogs.push(dialog.message()); dialog.dismiss(); });
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(pathToFileURL(join(folder, 'index.html')).href, { waitUntil: 'load' });

  const seen = await page.evaluate(() => {
    const images = [...document.images];
    const handlers = [...document.querySelectorAll('*')]
      .flatMap((element) => [...element.attributes].map((a) => a.name))
      .filter((name) => name.startsWith('on'));
    const cells = [...document.querySelectorAll('td a')].map((a) => ({
      href: a.getAttribute('href'),
      src: a.querySelector('img').src,
    }));
    const sections = [...document.querySelectorAll('a[name]')]
      .filter((a) => a.name !== 'TOP')
      .map((a) => {
        // The section's picture is the link in the first paragraph after its anchor.
        let node = a;
        let link = null;
        while (!link && (node = node.nextElementSibling))
          link = node.matches('p') ? node.querySelector('a') : null;
        return { name: a.name, next: link?.getAttribute('href'), src: link?.querySelector('img')?.src };
      });
    return {
      title: document.title,
      loaded: images.map((img) => ({ src: img.src, ok: img.complete && img.naturalWidth > 0 })),
      scripts: document.scripts.length,
      handlers,
      cells,
      sections,
    };
  });

  const count = names.length;
  expect(seen.title === "Tom & Jerry's <i>holiday", `the title is the folder's name, got ${seen.title}`);
  expect(seen.loaded.length === 2 * count, `${2 * count} images, got ${seen.loaded.length}`);
  for (const image of seen.loaded) expect(image.ok, `picture loads: ${image.src}`);
  expect(seen.scripts === 0, `no script element, found ${seen.scripts}`);
  expect(seen.handlers.length === 0, `no event handler attribute, found ${seen.handlers}`);
  expect(dialogs.length === 0, `no dialog, got ${dialogs}`);
  expect(errors.length === 0, `no page error, got ${errors}`);
  expect(seen.cells.length === count, `${count} thumbnails, got ${seen.cells.length}`);
  expect(seen.sections.length === count, `${count} sections, got ${seen.sections.length}`);

  for (let k = 1; k <= Math.min(seen.cells.length, seen.sections.length); k++) {
    const cell = seen.cells[k - 1];
    const section = seen.sections[k - 1];
    expect(cell.href === `#${k}` && section.name === `${k}`, `thumbnail ${k} leads to section ${k}`);
    expect(cell.src === section.src, `thumbnail ${k} shows the picture of section ${k}`);
    expect(section.next === `#${k === count ? 1 : k + 1}`, `section ${k}'s picture leads on`);
  }

  // The links work when clicked: thumbnail 3, then section 3's picture.
  await page.click('td:nth-child(3) a');
  expect(await page.evaluate(() => location.hash) === '#3', 'clicking thumbnail 3 opens section 3');
  await page.click('p a[href="#4"]');
  const hash = await page.evaluate(() => location.hash);
  expect(hash === '#4', `clicking section 3's picture opens section 4, got ${hash}`);
  expect(dialogs.length === 0, `still no dialog, got ${dialogs}`);
} finally {
  await browser.close();
  rmSync(root, { recursive: true, force: true });
}

console.log(`browser: ${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
