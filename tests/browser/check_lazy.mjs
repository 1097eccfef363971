// Makes a gallery of COUNT large pictures (drawn here, 12 megapixels each)
// twice, plainly and with <KORVEL LAZY>, serves each over HTTP and opens it
// in headless Chromium: the LAZY page must reach its load event having
// fetched a fraction of the bytes, and a thumbnail click and a picture click
// must still land on their sections with the picture shown. Prints the load
// time and bytes of both.
//
//   node check_lazy.mjs KORVEL COUNT
import { chromium } from 'playwright-core';
import { execFileSync } from 'node:child_process';
import { linkSync, mkdtempSync, mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';

const korvel = resolve(process.argv[2]);
const count = Number(process.argv[3] || 300);
let passed = 0;
let failed = 0;
function expect(ok, what) {
  if (ok) passed++; else { failed++; console.log(`FAILED: ${what}`); }
}

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking'],
});
const root = mkdtempSync(join(tmpdir(), 'korvel-lazy-'));
try {
  // One picture of 4000 x 3000 with soft colours and some detail, as a photo
  // compresses; the others are links to it under names of their own.
  const drawing = await browser.newPage();
  const jpeg = Buffer.from(await drawing.evaluate(() => {
    const canvas = Object.assign(document.createElement('canvas'), { width: 4000, height: 3000 });
    const c = canvas.getContext('2d');
    const sky = c.createLinearGradient(0, 0, 4000, 3000);
    sky.addColorStop(0, '#3a6ea5'); sky.addColorStop(1, '#f0c27b');
    c.fillStyle = sky; c.fillRect(0, 0, 4000, 3000);
    for (let i = 0; i < 4000; i++) {
      c.fillStyle = `hsla(${(i * 37) % 360}, 60%, 50%, 0.3)`;
      c.beginPath(); c.arc((i * 7919) % 4000, (i * 104729) % 3000, 4 + (i % 40), 0, 7); c.fill();
    }
    return canvas.toDataURL('image/jpeg', 0.85).split(',')[1];
  }), 'base64');
  await drawing.close();

  const results = {};
  for (const template of [null, '<KORVEL LAZY>\n']) {
    const how = template ? 'LAZY' : 'plain';
    const folder = join(root, how);
    mkdirSync(folder);
    writeFileSync(join(folder, 'source.bin'), jpeg);
    for (let i = 1; i <= count; i++) linkSync(join(folder, 'source.bin'), join(folder, `IMG_${String(i).padStart(4, '0')}.jpg`));
    if (template) writeFileSync(join(folder, 'korvel0.htm'), template);
    execFileSync(korvel, [], { cwd: folder, stdio: 'inherit' });

    let bytes = 0;
    const server = createServer((request, response) => {
      let body;
      try { body = readFileSync(join(folder, decodeURIComponent(request.url.slice(1)))); }
      catch { response.writeHead(404).end(); return; }
      bytes += body.length;
      response.writeHead(200, { 'Content-Type': request.url.endsWith('.html') ? 'text/html' : 'image/jpeg' }).end(body);
    });
    await new Promise((done) => server.listen(0, '127.0.0.1', done));
    const page = await browser.newPage();
    const started = Date.now();
    await page.goto(`http://127.0.0.1:${server.address().port}/index.html`, { waitUntil: 'load', timeout: 600000 });
    results[how] = { seconds: (Date.now() - started) / 1000, bytes };

    // Thumbnail 40 (or the last) leads to its section, whose picture shows;
    // that picture leads to the next section, whose picture shows too.
    const k = Math.min(40, count);
    const next = k === count ? 1 : k + 1;
    const shown = (n) => page.waitForFunction((n) => {
      const img = document.querySelectorAll('p img')[n - 1];  // section n's picture
      return img && img.complete && img.naturalWidth === 4000;
    }, n, { timeout: 60000 }).then(() => true, () => false);
    await page.click(`td a[href="#${k}"]`);
    expect(await page.evaluate(() => location.hash) === `#${k}`, `${how}: thumbnail ${k} opens section ${k}`);
    expect(await shown(k), `${how}: section ${k}'s picture is shown`);
    await page.click(`p a[href="#${next}"]`);
    expect(await page.evaluate(() => location.hash) === `#${next}`, `${how}: section ${k}'s picture opens section ${next}`);
    expect(await shown(next), `${how}: section ${next}'s picture is shown`);
    await page.close();
    server.close();
  }
  const { plain, LAZY } = results;
  for (const [how, r] of Object.entries(results))
    console.log(`${how}: ${count} pictures of ${jpeg.length} bytes, load event after ${r.seconds.toFixed(2)} s, ${(r.bytes / 1e6).toFixed(1)} MB fetched`);
  expect(LAZY.bytes * 3 < plain.bytes, `LAZY fetches under a third of the bytes: ${LAZY.bytes} against ${plain.bytes}`);
} finally {
  await browser.close();
  rmSync(root, { recursive: true, force: true });
}
console.log(`browser, LAZY: ${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
