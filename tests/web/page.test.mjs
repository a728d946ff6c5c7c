// The page in real browsers, driven by playwright-core (web/package-lock.json): Debian's
// chromium headless, and Debian's firefox-esr headless through WebDriver BiDi. The page
// is served from build/web on the loopback address. Each layout's example is run with a
// seed and every analysis, its zip downloaded and every file compared with the native
// genosieve-cli's, byte for byte; a Run is stopped; a malformed file shows the command
// line's message; no request leaves the page after it has loaded. Firefox runs a share
// of the layouts (the same page code; its start costs more than a Run).
//
//   GENOSIEVE_NATIVE_CLI=build/release/src/cli/genosieve-cli node --test tests/web/page.test.mjs
//
// GENOSIEVE_WEB_DIR (default build/web), GENOSIEVE_CHROMIUM (default /usr/bin/chromium),
// GENOSIEVE_FIREFOX (default /usr/bin/firefox-esr); "none" for either leaves that browser out;
// GENOSIEVE_SCREENSHOT=FILE also saves a picture of the page after a Run.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { createServer } from 'node:http';
import { copyFileSync, existsSync, mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { basename, dirname, extname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
const require = createRequire(join(root, 'web/package.json'));
const { chromium, firefox } = require('playwright-core');
const { unzipSync } = require('fflate');

const webDir = resolve(root, process.env.GENOSIEVE_WEB_DIR || 'build/web');
const nativeCli = resolve(root, process.env.GENOSIEVE_NATIVE_CLI || 'build/release/src/cli/genosieve-cli');
const chromiumPath = process.env.GENOSIEVE_CHROMIUM || '/usr/bin/chromium';
const firefoxPath = process.env.GENOSIEVE_FIREFOX || '/usr/bin/firefox-esr';
const scratch = mkdtempSync(join(tmpdir(), 'genosieve-page-'));

const types = { '.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript', '.css': 'text/css' };
let server;
let origin;

before(async () => {
  server = createServer((request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    const file = resolve(webDir, `.${path === '/' ? '/index.html' : path}`);
    try {
      if (!file.startsWith(webDir)) throw new Error('outside');
      const body = readFileSync(file);
      response.writeHead(200, { 'Content-Type': types[extname(file)] || 'application/octet-stream' });
      response.end(body);
    } catch {
      response.writeHead(404);
      response.end();
    }
  });
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  origin = `http://127.0.0.1:${server.address().port}`;
});

after(async () => {
  if (server) server.close();
  rmSync(scratch, { recursive: true, force: true });
});

const contextOptions = { headless: true, acceptDownloads: true, viewport: { width: 1100, height: 900 } };
const browsers = [
  {
    name: 'chromium',
    path: chromiumPath,
    launch: (profile) => chromium.launchPersistentContext(profile, {
      ...contextOptions,
      executablePath: chromiumPath,
      args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
        '--disable-component-update', '--disable-sync', '--no-first-run'],
    }),
  },
  {
    name: 'firefox',
    path: firefoxPath,
    // A "moz-" channel makes playwright-core speak WebDriver BiDi, which a stock Firefox
    // understands (its own protocol needs Playwright's patched Firefox).
    downloads: join(scratch, 'firefox-downloads'),
    launch: (profile) => firefox.launchPersistentContext(profile, {
      ...contextOptions,
      downloadsPath: join(scratch, 'firefox-downloads'),
      channel: 'moz-firefox',
      executablePath: firefoxPath,
      firefoxUserPrefs: { 'app.update.enabled': false, 'browser.shell.checkDefaultBrowser': false },
    }),
  },
];

// A page loaded and ready, with every request it makes from then on (the workers'
// included, which the context sees).
async function openPage(context) {
  const page = await context.newPage();
  const requests = [];
  const pageErrors = [];
  page.on('pageerror', (error) => pageErrors.push(String(error)));
  await page.goto(`${origin}/`);
  await page.waitForSelector('body[data-state="idle"]');
  const onRequest = (request) => {
    if (!/^(blob|data):/.test(request.url())) requests.push(request.url());
  };
  context.on('request', onRequest);
  const close = async () => {
    context.off('request', onRequest);
    await page.close();
  };
  return { page, requests, pageErrors, close };
}

function nativeRun(data, options) {
  const folder = mkdtempSync(join(scratch, 'native-'));
  copyFileSync(data, join(folder, basename(data)));
  const result = spawnSync(nativeCli, [...options, basename(data)], {
    cwd: folder, env: { ...process.env, LC_ALL: 'C.UTF-8' }, encoding: 'utf8',
  });
  return { folder, status: result.status, stderr: result.stderr };
}

async function runOnPage(page, data, { iterations = '50', seed = '7', all = true } = {}) {
  await page.setInputFiles('#file', data);
  await page.waitForFunction(() => !document.getElementById('layout').textContent.includes('reading'));
  await page.fill('#iterations', iterations);
  await page.fill('#seed', seed);
  for (const box of ['perLocus', 'perPopulation', 'pValueFiles', 'fisValues']) {
    await page.setChecked(`#${box}`, all);
  }
  await page.click('#run');
}

// The files of the zip the page gives for download. Firefox 153 reports a download of a
// blob: link with no navigation, which playwright-core's BiDi driver does not turn into
// a download event: the zip is then read from the folder Firefox was told to save in.
async function zipOfPage(page, browser) {
  if (!browser.downloads) {
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#zip')]);
    return unzipSync(readFileSync(await download.path()));
  }
  rmSync(browser.downloads, { recursive: true, force: true });
  await page.click('#zip');
  const file = join(browser.downloads, 'GENOSIEVE_results.zip');
  for (const stop = Date.now() + 30000; Date.now() < stop;) {
    // Firefox writes into NAME.part and then renames it.
    if (existsSync(file) && !readdirSync(browser.downloads).some((name) => name.endsWith('.part'))) {
      try {
        return unzipSync(readFileSync(file));
      } catch {
        // not whole yet
      }
    }
    await new Promise((wake) => setTimeout(wake, 100));
  }
  throw new Error(`no ${file} after 30 s`);
}

// [data file, layout shown, runs in Firefox too]
const layouts = [
  ['examples/aspen.txt', 'native', true],
  ['examples/zostera.txt', 'native', false],
  // One population: the one-sample estimator, Clonality_ and Psex_ tables.
  ['examples/posidonia.txt', 'native', true],
  ['tests/data/import/genepop/zostera.gen', 'Genepop', true],
  ['tests/data/import/genalex/lakes_semicolon.csv', 'GenAlEx', false],
  ['tests/data/import/fstat/trout.dat', 'FSTAT', false],
];

for (const browser of browsers) {
  const skip = browser.path === 'none' ? 'left out' :
    existsSync(browser.path) ? false : `${browser.path} is not installed`;
  describe(browser.name, { skip }, () => {
    let context;
    before(async () => {
      context = await browser.launch(mkdtempSync(join(scratch, `${browser.name}-profile-`)));
    });
    after(async () => {
      if (context) await context.close();
    });

    for (const [relative, title, inFirefox] of layouts) {
      if (browser.name === 'firefox' && !inFirefox) continue;
      test(`${basename(relative)}: read as ${title}, the zip holds the native program's files`, async () => {
        const data = join(root, relative);
        const { page, requests, pageErrors, close } = await openPage(context);
        await runOnPage(page, data);
        await page.waitForSelector('body:is([data-state="done"], [data-state="failed"])', { timeout: 120000 });
        assert.match(await page.textContent('#layout'), new RegExp(`${title} layout`));
        assert.equal(await page.textContent('#message'), 'done ! ');

        const options = ['-q', '-n', '50', '--seed', '7', '--per-locus', '--per-pop', '--pvalue-files', '--fis-values'];
        const native = nativeRun(data, options);
        assert.equal(native.status, 0, native.stderr);
        const zipped = await zipOfPage(page, browser);
        const expected = readdirSync(native.folder).filter((name) => name !== basename(data)).sort();
        assert.deepEqual(Object.keys(zipped).sort(), expected);
        for (const name of expected) {
          assert.ok(Buffer.from(zipped[name]).equals(readFileSync(join(native.folder, name))), `${name} differs`);
        }
        // One download link per file, and the summary table's rows: one per test.
        assert.deepEqual(await page.locator('#fileList a').allTextContents(), expected);
        const summaryLines = readFileSync(join(native.folder, 'Summary_results.tsv'), 'utf8').trim().split('\n');
        assert.equal(await page.locator('#summary tbody tr').count(), summaryLines.length - 1);
        assert.match(await page.textContent('#seedLine'), /Seed: 7/);
        assert.ok(await page.isVisible('#histogram canvas'));
        if (process.env.GENOSIEVE_SCREENSHOT && browser.name === 'chromium' && relative === 'examples/aspen.txt') {
          await page.screenshot({ path: resolve(process.env.GENOSIEVE_SCREENSHOT), fullPage: true });
        }
        assert.deepEqual(requests, [], 'requests after the page loaded');
        assert.deepEqual(pageErrors, []);
        await close();
      });
    }

    test('a Run is stopped, and the next one runs', async () => {
      const { page, requests, pageErrors, close } = await openPage(context);
      await runOnPage(page, join(root, 'examples/aspen.txt'), { iterations: '2000000', all: true });
      await page.waitForFunction(() => /iteration [1-9]/.test(document.getElementById('progressText').textContent), null, { timeout: 60000 });
      await page.click('#stop');
      await page.waitForSelector('body[data-state="stopped"]');
      assert.equal(await page.textContent('#message'), 'Run interrupted');
      assert.ok(await page.isEnabled('#run'));
      await page.fill('#iterations', '20');
      await page.click('#run');
      await page.waitForSelector('body[data-state="done"]', { timeout: 60000 });
      assert.deepEqual(requests, []);
      assert.deepEqual(pageErrors, []);
      await close();
    });

    test('the overall test\'s running P-value is drawn while the test runs', async () => {
      const { page, pageErrors, close } = await openPage(context);
      await runOnPage(page, join(root, 'examples/aspen.txt'), { iterations: '400000', all: false });
      await page.waitForFunction(() => document.body.dataset.state === 'running' &&
        Number(document.getElementById('pvalueChart').dataset.points) > 0, null, { timeout: 60000 });
      const last = Number(await page.getAttribute('#pvalueChart', 'data-last-iteration'));
      assert.ok(last > 0 && last < 400000, `the chart's last point is at iteration ${last}`);
      assert.ok(await page.isVisible('#pvalueChart canvas'));
      await page.click('#stop');
      await page.waitForSelector('body[data-state="stopped"]');
      assert.deepEqual(pageErrors, []);
      await close();
    });

    // The README tells Firefox users they may open index.html from the folder itself.
    if (browser.name === 'firefox') {
      test('opened from its folder (file://), the page runs', async () => {
        const page = await context.newPage();
        const pageErrors = [];
        page.on('pageerror', (error) => pageErrors.push(String(error)));
        await page.goto(pathToFileURL(join(webDir, 'index.html')).href);
        await page.waitForSelector('body[data-state="idle"]');
        await runOnPage(page, join(root, 'examples/aspen.txt'), { iterations: '20', all: false });
        await page.waitForSelector('body:is([data-state="done"], [data-state="failed"])', { timeout: 60000 });
        assert.equal(await page.textContent('#message'), 'done ! ');
        assert.equal(await page.locator('#summary tbody tr').count(), 1);
        assert.deepEqual(pageErrors, []);
        await page.close();
      });
    }

    test('a malformed file shows the command line\'s message, on reading and on Run', async () => {
      const data = join(root, 'tests/data/bad_input/allele_above_a.txt');
      const native = nativeRun(data, ['-q', '-n', '5']);
      assert.equal(native.status, 1);
      const message = native.stderr.trim().replace(/^genosieve-cli: /, '');
      const { page, requests, close } = await openPage(context);
      await runOnPage(page, data, { iterations: '5', all: false });
      await page.waitForSelector('body[data-state="failed"]');
      assert.equal(await page.textContent('#message'), message);
      assert.match(await page.textContent('#layout'), new RegExp(message.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')));
      assert.deepEqual(requests, []);
      await close();
    });
  });
}
