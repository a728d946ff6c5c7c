// The page in a real browser: Debian's chromium, headless, driven by playwright-core
// (web/package-lock.json), the page served from build/web on the loopback address.
// Each layout's example is run with a seed and every analysis, its zip downloaded and
// every file compared with the native genosieve-cli's, byte for byte; a Run is stopped;
// a malformed file shows the command line's message; no request leaves the page after
// it has loaded.
//
//   GENOSIEVE_NATIVE_CLI=build/release/src/cli/genosieve-cli node --test tests/web/page.test.mjs
//
// GENOSIEVE_WEB_DIR (default build/web), GENOSIEVE_CHROMIUM (default /usr/bin/chromium);
// GENOSIEVE_SCREENSHOT=FILE also saves a picture of the page after a Run.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import { createServer } from 'node:http';
import { copyFileSync, mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { basename, dirname, extname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
const require = createRequire(join(root, 'web/package.json'));
const { chromium } = require('playwright-core');
const { unzipSync } = require('fflate');

const webDir = resolve(root, process.env.GENOSIEVE_WEB_DIR || 'build/web');
const nativeCli = resolve(root, process.env.GENOSIEVE_NATIVE_CLI || 'build/release/src/cli/genosieve-cli');
const chromiumPath = process.env.GENOSIEVE_CHROMIUM || '/usr/bin/chromium';
const scratch = mkdtempSync(join(tmpdir(), 'genosieve-page-'));

const types = { '.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript', '.css': 'text/css' };
let server;
let origin;
let context;

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
  context = await chromium.launchPersistentContext(join(scratch, 'profile'), {
    executablePath: chromiumPath,
    headless: true,
    acceptDownloads: true,
    viewport: { width: 1100, height: 900 },
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--no-first-run'],
  });
});

after(async () => {
  if (context) await context.close();
  if (server) server.close();
  rmSync(scratch, { recursive: true, force: true });
});

// A page loaded and ready, with every request it makes from then on.
async function openPage() {
  const page = await context.newPage();
  const requests = [];
  const pageErrors = [];
  page.on('pageerror', (error) => pageErrors.push(String(error)));
  await page.goto(`${origin}/`);
  await page.waitForSelector('body[data-state="idle"]');
  context.on('request', (request) => {
    if (!/^(blob|data):/.test(request.url())) requests.push(request.url());
  });
  return { page, requests, pageErrors };
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

const layouts = [
  ['examples/aspen.txt', 'native'],
  ['examples/zostera.txt', 'native'],
  ['tests/data/import/genepop/zostera.gen', 'Genepop'],
  ['tests/data/import/genalex/lakes_semicolon.csv', 'GenAlEx'],
  ['tests/data/import/fstat/trout.dat', 'FSTAT'],
];

for (const [relative, title] of layouts) {
  test(`${basename(relative)}: read as ${title}, the zip holds the native program's files`, async () => {
    const data = join(root, relative);
    const { page, requests, pageErrors } = await openPage();
    await runOnPage(page, data);
    await page.waitForSelector('body:is([data-state="done"], [data-state="failed"])', { timeout: 120000 });
    assert.match(await page.textContent('#layout'), new RegExp(`${title} layout`));
    assert.equal(await page.textContent('#message'), 'done ! ');

    const options = ['-q', '-n', '50', '--seed', '7', '--per-locus', '--per-pop', '--pvalue-files', '--fis-values'];
    const native = nativeRun(data, options);
    assert.equal(native.status, 0, native.stderr);
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#zip')]);
    const zipped = unzipSync(readFileSync(await download.path()));
    const expected = readdirSync(native.folder).filter((name) => name !== basename(data)).sort();
    assert.deepEqual(Object.keys(zipped).sort(), expected);
    for (const name of expected) {
      assert.ok(Buffer.from(zipped[name]).equals(readFileSync(join(native.folder, name))), `${name} differs`);
    }
    // One download link per file, and the summary table's rows: one per test.
    assert.equal(await page.locator('#fileList a').count(), expected.length);
    const summaryLines = readFileSync(join(native.folder, 'Summary_results.tsv'), 'utf8').trim().split('\n');
    assert.equal(await page.locator('#summary tbody tr').count(), summaryLines.length - 1);
    assert.match(await page.textContent('#seedLine'), /Seed: 7/);
    assert.ok(await page.isVisible('#histogram canvas'));
    if (process.env.GENOSIEVE_SCREENSHOT && relative === 'examples/aspen.txt') {
      await page.screenshot({ path: resolve(process.env.GENOSIEVE_SCREENSHOT), fullPage: true });
    }
    assert.deepEqual(requests, [], 'requests after the page loaded');
    assert.deepEqual(pageErrors, []);
    await page.close();
  });
}

test('a Run is stopped, and the next one runs', async () => {
  const { page, requests } = await openPage();
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
  await page.close();
});

test('a malformed file shows the command line\'s message, on reading and on Run', async () => {
  const data = join(root, 'tests/data/bad_input/allele_above_a.txt');
  const native = nativeRun(data, ['-q', '-n', '5']);
  assert.equal(native.status, 1);
  const message = native.stderr.trim().replace(/^genosieve-cli: /, '');
  const { page, requests } = await openPage();
  await runOnPage(page, data, { iterations: '5', all: false });
  await page.waitForSelector('body[data-state="failed"]');
  assert.equal(await page.textContent('#message'), message);
  assert.match(await page.textContent('#layout'), new RegExp(message.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')));
  assert.deepEqual(requests, []);
  await page.close();
});
