// Takes the README's picture of a gallery page in headless Chromium.
//   node screenshot.mjs PAGE.html OUT.png
import { chromium } from 'playwright-core';
import { resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const [page_path, out] = process.argv.slice(2);
const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--no-first-run'],
});
try {
  const page = await browser.newPage({ viewport: { width: 720, height: 620 } });
  await page.goto(pathToFileURL(resolve(page_path)).href, { waitUntil: 'load' });
  await page.screenshot({ path: out });
} finally {
  await browser.close();
}
