// Makes a gallery of COUNT large pictures (one drawn here, 12 megapixels,
// under COUNT names) plainly, with <KORVEL LAZY>, with <KORVEL THUMBS
// LAZY> and with <KORVEL THUMBS VIEWS LAZY>, serves each over HTTP to
// headless Chromium, told that its connection is fast, and checks that
// every picture of the LAZY page loads lazily, that
// a thumbnail click and a picture click still land on their sections with
// the picture shown, that every thumbnail of THUMBS is 120 wide, and that
// the THUMBS LAZY page fetches at most 3 % of the plain page's bytes by its
// load event. Every thumbnail comes as WebP where the page offers one, 60
// wide on a screen of plain density and 120 on a phone's of twice it. Under THUMBS the sections'
// pictures carry their sizes and fit the screen, so following the two links
// fetches only the few sections near each, not all of them. Under THUMBS
// VIEWS, on a wide screen and on a phone's, every section shows its small
// view (800 wide) as WebP, drawn 800 wide or the screen's width,
// every picture in view is shown, opening the page and following the two
// links costs at most 0.3 % of the plain page's bytes, and the section's
// [Full size] link opens the picture itself. Prints the time
// and bytes of each, by the load event and in all once the two links are
// followed.
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
const failures = [];
let passed = 0;
const expect = (ok, what) => (ok ? passed++ : failures.push(what));

// How far ahead Chromium fetches a lazy picture follows its estimate of
// the connection: on a busy machine it may judge it slow (or not judge it
// at all) and fetch the whole page. Every page here is told it has a fast
// one, so that what it fetches follows the page alone, whatever the timing.
const fast = ['--force-effective-connection-type=4G'];
const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--no-first-run', ...fast],
});
const patient = 600000;  // a busy machine may be slow, never wrong
const onFastConnection = async (page) => {
  const cdp = await page.context().newCDPSession(page);
  await cdp.send('Network.enable');
  await cdp.send('Network.emulateNetworkConditions',
                 { offline: false, latency: 0, downloadThroughput: -1, uploadThroughput: -1, connectionType: 'ethernet' });
  page.setDefaultTimeout(patient);
  return page;
};
const root = mkdtempSync(join(tmpdir(), 'korvel-lazy-'));
try {
  // Soft colours, some detail and grain, as a photo compresses.
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
    // A camera's grain: a photograph's bytes a pixel, so that a smaller
    // copy of it is as much smaller as a photograph's is.
    const image = c.getImageData(0, 0, 4000, 3000);
    for (let i = 0, seed = 1; i < image.data.length; i++) {
      if (i % 4 === 3) continue;
      seed = (seed * 1103515245 + 12345) >>> 0;
      image.data[i] += ((seed >>> 24) % 25) - 12;
    }
    c.putImageData(image, 0, 0);
    return canvas.toDataURL('image/jpeg', 0.85).split(',')[1];
  }), 'base64');

  const fetched = {};
  let lazyEverywhere = false;
  const total = {};
  // A phone of twice the density: it takes the large thumbnails and, its
  // pictures drawn under 400 pixels wide, the small views.
  const phone = { viewport: { width: 390, height: 844 }, deviceScaleFactor: 2, isMobile: true };
  for (const [how, screen] of [['plain'], ['LAZY'], ['THUMBS LAZY'], ['THUMBS VIEWS LAZY'],
                               ['THUMBS VIEWS LAZY', phone]]) {
    const folder = join(root, how.replaceAll(' ', '-'));
    const named = screen ? `${how}, on a phone` : how;
    const views = how.includes('VIEWS');
    if (!screen) {
      mkdirSync(folder);
      writeFileSync(join(folder, 'source.bin'), jpeg);
      for (let i = 1; i <= count; i++) linkSync(join(folder, 'source.bin'), join(folder, `IMG_${1000 + i}.jpg`));
      if (how !== 'plain') writeFileSync(join(folder, 'korvel0.htm'), `<KORVEL ${how}>\n`);
      execFileSync(korvel, [], { cwd: folder, stdio: 'inherit' });
    }

    let bytes = 0;
    let viewsFetched = 0;
    const server = createServer((request, response) => {
      let body;
      try {
        body = readFileSync(join(folder, decodeURIComponent(request.url.slice(1))));
      } catch {
        return response.writeHead(404).end();
      }
      bytes += body.length;
      viewsFetched += request.url.startsWith('/korvel-views') ? 1 : 0;
      const type = request.url.endsWith('.html') ? 'text/html' : request.url.endsWith('.webp') ? 'image/webp' : 'image/jpeg';
      response.writeHead(200, { 'Content-Type': type }).end(body);
    });
    await new Promise((done) => server.listen(0, '127.0.0.1', done));
    const page = await onFastConnection(await browser.newPage(screen || {}));
    const started = Date.now();
    await page.goto(`http://127.0.0.1:${server.address().port}/index.html`, { waitUntil: 'load' });
    const connection = await page.evaluate(() => navigator.connection.effectiveType);
    expect(connection === '4g', `${named}: the browser takes its connection for a fast one, not ${connection}`);
    fetched[named] = bytes;
    if (how === 'LAZY')
      lazyEverywhere = await page.evaluate(() => [...document.images].every((img) => img.loading === 'lazy'));
    console.log(`${named}: ${count} pictures of ${jpeg.length} bytes, load event after ${(Date.now() - started) / 1000} s, ${(bytes / 1e6).toFixed(1)} MB fetched`);

    // Thumbnail k leads to section k, whose picture shows and leads on.
    const k = Math.min(40, count);
    const next = k === count ? 1 : k + 1;
    // Which view the browser took, by its folder: the small one, on the
    // wide screen of plain density and on the phone's of twice it.
    const viewFolder = '/korvel-views-800(-webp)?/';
    const shown = (n) => page.waitForFunction(([n, views, viewFolder]) => {
      const img = document.querySelectorAll('p img')[n - 1];
      return img.complete && img.naturalWidth > 0 && new RegExp(viewFolder).test(img.currentSrc) === views &&
             img.currentSrc.endsWith('.webp') === (img.parentElement.tagName === 'PICTURE');
    }, [n, views, viewFolder], { timeout: patient }).then(() => true, () => false);
    // Every picture that is in view now has come.
    const inViewShown = () => page.waitForFunction(() => [...document.querySelectorAll('img')].filter((img) => {
      const r = img.getBoundingClientRect();
      return r.bottom > 0 && r.top < window.innerHeight && r.width > 0;
    }).every((img) => img.complete && img.naturalWidth > 0), null, { timeout: patient }).then(() => true, () => false);
    if (how.startsWith('THUMBS')) {
      const thumbnailWidth = screen ? 120 : 60;
      // Those in view, and all that have come: the table flows, and on a
      // phone its end is screens away.
      // Which size the browser took, by the folder (naturalWidth is the
      // size it is drawn at, whatever its pixels).
      const thumbnailFolder = screen ? '/korvel-thumbs(-webp)?/' : '/korvel-thumbs-60(-webp)?/';
      const small = await page.waitForFunction((folder) => [...document.querySelectorAll('td img')].every((img) => {
        const r = img.getBoundingClientRect();
        const come = img.complete && img.naturalWidth > 0;
        const webp = img.parentElement.tagName === 'PICTURE';
        return (come || r.top >= window.innerHeight) && (!come || (img.naturalWidth === 60 &&
               new RegExp(folder).test(img.currentSrc) && img.currentSrc.endsWith('.webp') === webp));
      }), thumbnailFolder, { timeout: patient }).then(() => true, () => false);
      expect(small, `${named}: every thumbnail in view or come is the one ${thumbnailWidth} wide, WebP where ` +
                    'the page offers it');
      const fitted = await page.evaluate((views) => [...document.querySelectorAll('p img')].every(
        (img) => img.getAttribute('width') === (views ? '800' : '2000') &&
                 img.getAttribute('height') === (views ? '600' : '1500') &&
                 img.clientWidth <= Math.min(document.body.clientWidth, views ? 800 : 2000)), views);
      expect(fitted, `${named}: every section's picture has its size, and fits the screen`);
    }
    for (const [link, section] of [[`td a[href="#${k}"]`, k], [`p a[href="#${next}"]`, next]]) {
      await page.click(link);
      expect(await page.evaluate(() => location.hash) === `#${section}`, `${named}: ${link} opens section ${section}`);
      expect(await shown(section), `${named}: section ${section}'s picture is shown`);
      expect(await inViewShown(), `${named}: every picture in view after ${link} is shown`);
    }
    total[named] = bytes;
    console.log(`${named}: opened and two links followed, ${(bytes / 1e6).toFixed(2)} MB fetched in all` +
                (views ? `, ${viewsFetched} views` : ''));
    if (views) {
      // The picture itself, from its section's link beside [Top].
      const name = `IMG_${1000 + next}.jpg`;
      const full = page.locator(`a[href="${name}"]`, { hasText: '[Full size]' });
      const [response] = await Promise.all([page.waitForNavigation(), full.click()]);
      expect(response.ok() && response.url().endsWith(`/${name}`) &&
             (await response.body()).length === jpeg.length, `${named}: [Full size] opens ${name} itself`);
    }
    server.close();
  }
  // LAZY alone: the table, near the view, holds every picture, and how
  // many come before the load event follows how fast each comes and takes
  // its height. Only what README promises is asserted: each is lazy.
  console.log(`LAZY: ${(fetched.LAZY / fetched.plain * 100).toFixed(2)} % of the plain page's bytes by the load event`);
  expect(lazyEverywhere, 'LAZY: every picture of the page loads lazily');
  const share = fetched['THUMBS LAZY'] / fetched.plain;
  console.log(`THUMBS LAZY: ${(share * 100).toFixed(2)} % of the plain page's bytes by the load event, ` +
              `${(total['THUMBS LAZY'] / total.plain * 100).toFixed(2)} % once two links are followed`);
  expect(share <= 0.03, `THUMBS LAZY fetches at most 3 % of the plain page's bytes: ${(share * 100).toFixed(2)} %`);
  const sections = (total['THUMBS LAZY'] - fetched['THUMBS LAZY']) / jpeg.length;
  expect(sections <= 8, `THUMBS LAZY: following two links fetches the sections near them, ${sections.toFixed(1)} pictures' worth`);
  for (const named of ['THUMBS VIEWS LAZY', 'THUMBS VIEWS LAZY, on a phone']) {
    const part = total[named] / total.plain;
    console.log(`${named}: ${(part * 100).toFixed(2)} % of the plain page's bytes once two links are followed`);
    expect(part <= 0.003, `${named}: opening and following two links costs at most 0.3 % of the plain page's bytes: ` +
                         `${(part * 100).toFixed(2)} %`);
  }
} finally {
  await browser.close();
  rmSync(root, { recursive: true, force: true });
}
for (const failure of failures) console.log(`FAILED: ${failure}`);
console.log(`browser, LAZY: ${passed} passed, ${failures.length} failed`);
process.exit(failures.length === 0 ? 0 : 1);
