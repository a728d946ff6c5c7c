// The timing behind scripts/web-speed (which sets WORK, ROUNDS, ROOT and
// GENOSIEVE_NATIVE_CLI): native single-thread, Node.js, and the page in headless
// chromium and (when installed) firefox-esr, in turn, on the same data and options.
import { spawnSync } from 'node:child_process';
import { createServer } from 'node:http';
import { existsSync, mkdtempSync, readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { extname, join, resolve } from 'node:path';

const root = process.env.ROOT;
const work = process.env.WORK;
const rounds = Number(process.env.ROUNDS || 3);
const require = createRequire(join(root, 'web/package.json'));
const { chromium, firefox } = require('playwright-core');
const webDir = join(root, 'build/web');

const cases = [
  { name: 'aspen.txt, N = 9999, every analysis', data: 'aspen.txt', iterations: '9999' },
  { name: 'large (write_bench_data large), N = 200, every analysis', data: 'large.txt', iterations: '200' },
];
const analyses = ['--per-locus', '--per-pop', '--pvalue-files'];

function timed(command, args) {
  const folder = mkdtempSync(join(work, 'run-'));
  const started = process.hrtime.bigint();
  const result = spawnSync(command, args, { cwd: folder, encoding: 'utf8' });
  const ms = Number(process.hrtime.bigint() - started) / 1e6;
  if (result.status !== 0) throw new Error(`${command} failed: ${result.stderr}`);
  return ms;
}

const types = { '.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript', '.css': 'text/css' };
const server = createServer((request, response) => {
  const path = new URL(request.url, 'http://localhost').pathname;
  try {
    const file = resolve(webDir, `.${path === '/' ? '/index.html' : path}`);
    response.writeHead(200, { 'Content-Type': types[extname(file)] || 'application/octet-stream' });
    response.end(readFileSync(file));
  } catch {
    response.writeHead(404);
    response.end();
  }
});
await new Promise((done) => server.listen(0, '127.0.0.1', done));
const browser = await chromium.launch({
  executablePath: process.env.GENOSIEVE_CHROMIUM || '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
    '--disable-sync', '--no-first-run'],
});
const firefoxPath = process.env.GENOSIEVE_FIREFOX || '/usr/bin/firefox-esr';
// WebDriver BiDi (a "moz-" channel): Debian's Firefox is not Playwright's patched one.
const firefoxBrowser = existsSync(firefoxPath)
  ? await firefox.launch({ channel: 'moz-firefox', executablePath: firefoxPath })
  : null;

async function pageRun(c, browser) {
  const page = await browser.newPage();
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.waitForSelector('body[data-state="idle"]');
  await page.setInputFiles('#file', join(work, c.data));
  await page.waitForFunction(() => !document.getElementById('layout').textContent.includes('reading'));
  await page.fill('#iterations', c.iterations);
  await page.fill('#seed', '1');
  for (const box of ['perLocus', 'perPopulation', 'pValueFiles']) await page.setChecked(`#${box}`, true);
  await page.click('#run');
  await page.waitForSelector('body:is([data-state="done"], [data-state="failed"])', { timeout: 3600000 });
  const state = await page.getAttribute('body', 'data-state');
  if (state !== 'done') throw new Error(`the page's Run failed: ${await page.textContent('#message')}`);
  const ms = Number(await page.getAttribute('body', 'data-run-milliseconds'));
  await page.close();
  return ms;
}

const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];
for (const c of cases) {
  const data = join(work, c.data);
  const times = { native: [], node: [], page: [], firefox: [] };
  for (let r = 0; r < rounds; r++) {
    const args = ['-q', '-n', c.iterations, '--seed', '1', ...analyses, data];
    times.native.push(timed(process.env.GENOSIEVE_NATIVE_CLI, ['--threads', '1', ...args]));
    times.node.push(timed('node', [join(webDir, 'genosieve-cli.mjs'), ...args]));
    times.page.push(await pageRun(c, browser));
    if (firefoxBrowser) times.firefox.push(await pageRun(c, firefoxBrowser));
  }
  const [n, j, p] = [median(times.native), median(times.node), median(times.page)];
  console.log(`${c.name} (median of ${rounds}): native single thread ${(n / 1000).toFixed(2)} s, ` +
    `Node.js ${(j / 1000).toFixed(2)} s (${(j / n).toFixed(2)}x), page ${(p / 1000).toFixed(2)} s (${(p / n).toFixed(2)}x)` +
    (firefoxBrowser ? `, page in Firefox ${(median(times.firefox) / 1000).toFixed(2)} s ` +
      `(${(median(times.firefox) / n).toFixed(2)}x)` : ''));
}
await browser.close();
if (firefoxBrowser) await firefoxBrowser.close();
server.close();
