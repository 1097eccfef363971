// Takes the README's pictures of a gallery in headless Chromium: a page as
// a laptop shows it, and a page as a phone does.
//   node screenshot.mjs LAPTOP_PAGE.html LAPTOP.png PHONE_PAGE.html PHONE.png
import { chromium } from 'playwright-core';
import { resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const [laptop_page, laptop_out, phone_page, phone_out] = process.argv.slice(2);
const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--no-first-run'],
});
try {
  for (const [page_path, out, viewport, scale] of [
    [laptop_page, laptop_out, { width: 900, height: 640 }, 1],
    [phone_page, phone_out, { width: 360, height: 640 }, 1],
  ]) {
    const page = await browser.newPage({ viewport, deviceScaleFactor: scale, isMobile: viewport.width < 500 });
    await page.goto(pathToFileURL(resolve(page_path)).href, { waitUntil: 'load' });
    await page.screenshot({ path: out });
    await page.close();
  }
} finally {
  await browser.close();
}
