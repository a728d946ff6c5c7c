// The page: gathers the Run's settings, runs the core in a worker, and shows what the
// Run's view reports. Every number and message comes from the core; the page only lays
// them out.
import uPlot from './lib/uPlot.esm.js';
import { zipSync } from './lib/fflate.js';
import { exampleName, exampleText } from './example.js';

const $ = (id) => document.getElementById(id);

// The worker's script and the module, fetched once as the page loads and then made into
// local (blob:) scripts: a Run, an inspection or a new Run after a stop starts a worker
// without any further request. Where the browser fetches nothing (a page opened from a
// folder), the worker loads its files itself.
async function workerScript() {
  try {
    const [worker, module] = await Promise.all(['run_worker.js', 'genosieve-web.mjs'].map(async (name) => {
      const response = await fetch(name);
      if (!response.ok) throw new Error(`${name}: ${response.status}`);
      return response.text();
    }));
    const moduleUrl = URL.createObjectURL(new Blob([module], { type: 'text/javascript' }));
    const script = worker.replace("'./genosieve-web.mjs'", JSON.stringify(moduleUrl));
    return URL.createObjectURL(new Blob([script], { type: 'text/javascript' }));
  } catch {
    return 'run_worker.js';
  }
}
const workerUrl = await workerScript();
const newWorker = () => new Worker(workerUrl, { type: 'module' });

const state = {
  name: '',
  bytes: null,        // the data file's bytes
  worker: null,       // the worker of the Run under way
  inspector: null,    // the worker reading the data file's layout
  stopMessage: 'Run interrupted',
  run: null,          // what the Run under way or last finished reported
  files: [],
  urls: [],
};

// ---- Settings ----------------------------------------------------------------------

// The decimal separator of the browser's language, as the window takes the regional one.
function regionalSeparator() {
  const part = new Intl.NumberFormat().formatToParts(1.5).find((p) => p.type === 'decimal');
  return part ? part.value : '.';
}

function settings() {
  return {
    iterations: $('iterations').value,
    resultName: $('result').value,
    seed: $('seed').value.trim(),
    perLocus: $('perLocus').checked,
    perPopulation: $('perPopulation').checked,
    pValueFiles: $('pValueFiles').checked,
    fisValues: $('fisValues').checked,
    decimalSeparator: regionalSeparator(),
  };
}

// ---- The data file ------------------------------------------------------------------

function setMessage(text, isError = false) {
  $('message').textContent = text;
  $('message').className = isError ? 'error' : '';
}

function addNotice(text) {
  const item = document.createElement('li');
  item.textContent = text;
  $('notices').append(item);
}

function chooseData(name, bytes) {
  state.name = name;
  state.bytes = bytes;
  $('run').disabled = state.worker !== null;
  inspect();
}

// Reads the file as the Run will, in a worker of its own, and says in which layout.
function inspect() {
  if (!state.bytes) return;
  if (state.inspector) state.inspector.terminate();
  const layout = $('layout');
  layout.className = '';
  layout.textContent = `${state.name}: reading…`;
  const worker = newWorker();
  state.inspector = worker;
  const lines = [];
  worker.onmessage = ({ data }) => {
    if (data.type === 'layout') {
      const count = (n, one, many) => `${n} ${n === 1 ? one : many}`;
      lines.unshift(`${state.name}: ${data.title} layout — ${count(data.populations, 'population', 'populations')}, ` +
        `${count(data.loci, 'locus', 'loci')}, ${count(data.individuals, 'individual', 'individuals')}; A = ${data.highestAllele}, ` +
        `D = ${data.digits}`);
    } else if (data.type === 'notice') {
      lines.push(data.text);
    } else if (data.type === 'error') {
      layout.className = 'error';
      lines.push(data.text);
    } else if (data.type === 'inspected') {
      layout.textContent = lines.join('\n');
      worker.terminate();
      if (state.inspector === worker) state.inspector = null;
    }
  };
  worker.onerror = (event) => {
    layout.className = 'error';
    layout.textContent = `${state.name}: the page's worker could not start (${event.message})`;
  };
  worker.postMessage({ type: 'inspect', name: state.name, bytes: state.bytes.slice(0), format: $('format').value });
}

async function readFile(file) {
  chooseData(file.name, new Uint8Array(await file.arrayBuffer()));
}

$('file').addEventListener('change', () => {
  if ($('file').files.length > 0) readFile($('file').files[0]);
});
$('example').addEventListener('click', () => chooseData(exampleName, new TextEncoder().encode(exampleText)));
$('format').addEventListener('change', inspect);
const drop = $('drop');
drop.addEventListener('dragover', (event) => { event.preventDefault(); drop.classList.add('over'); });
drop.addEventListener('dragleave', () => drop.classList.remove('over'));
drop.addEventListener('drop', (event) => {
  event.preventDefault();
  drop.classList.remove('over');
  if (event.dataTransfer.files.length > 0) readFile(event.dataTransfer.files[0]);
});
// A file dropped beside the zone is not opened by the browser in place of the page.
window.addEventListener('dragover', (event) => event.preventDefault());
window.addEventListener('drop', (event) => event.preventDefault());

// ---- Progress -----------------------------------------------------------------------

function duration(ms) {
  const seconds = Math.max(0, Math.round(ms / 1000));
  const h = Math.floor(seconds / 3600);
  const m = Math.floor((seconds % 3600) / 60);
  const s = String(seconds % 60).padStart(2, '0');
  return h > 0 ? `${h}:${String(m).padStart(2, '0')}:${s}` : `${m}:${s}`;
}

function testCaption(test) {
  if (!test) return 'Reading the data file';
  if (test.kind === 'overall') return 'Overall test';
  const word = test.kind === 'locus' ? 'Locus' : 'Population';
  return `${word} ${test.index} of ${test.count}${test.name ? ` (${test.name})` : ''}`;
}

function showProgress() {
  const run = state.run;
  const elapsed = performance.now() - run.started;
  const parts = [testCaption(run.test)];
  if (run.test) parts.push(`iteration ${run.iteration} of ${run.iterations}`);
  if (run.tests > 0) {
    const fraction = Math.min(1, (Math.max(0, run.testsStarted - 1) +
      (run.iterations > 0 ? Math.min(run.iteration, run.iterations) / run.iterations : 1)) / run.tests);
    $('bar').value = fraction;
    parts.push(`test ${Math.max(1, run.testsStarted)} of ${run.tests}`);
    let time = `${duration(elapsed)} elapsed`;
    if (fraction > 0.01 && fraction < 1) time += `, about ${duration(elapsed * (1 - fraction) / fraction)} left`;
    parts.push(time);
  } else {
    parts.push(`${duration(elapsed)} elapsed`);
  }
  $('progressText').textContent = parts.join(' · ');
}

// ---- Charts -------------------------------------------------------------------------

let pvalueChart = null;
let histogramChart = null;

function chartWidth(element) {
  return Math.max(260, Math.min(element.parentElement.clientWidth, 900));
}

// At most a few thousand points are drawn: every k-th, and the last.
function thinned(xs, ys, most = 4000) {
  if (xs.length <= most) return [xs, ys];
  const step = Math.ceil(xs.length / most);
  const tx = [];
  const ty = [];
  for (let i = 0; i < xs.length; i += step) { tx.push(xs[i]); ty.push(ys[i]); }
  if (tx[tx.length - 1] !== xs[xs.length - 1]) { tx.push(xs[xs.length - 1]); ty.push(ys[ys.length - 1]); }
  return [tx, ty];
}

function drawPValues() {
  const run = state.run;
  const element = $('pvalueChart');
  $('pvalueFigure').hidden = run.pvalueX.length === 0;
  // What the chart holds, for the tests.
  element.dataset.points = String(run.pvalueX.length);
  element.dataset.lastIteration = String(run.pvalueX.length ? run.pvalueX[run.pvalueX.length - 1] : 0);
  if (run.pvalueX.length === 0) return;
  const data = thinned(run.pvalueX, run.pvalueY);
  if (!pvalueChart) {
    pvalueChart = new uPlot({
      width: chartWidth(element), height: 240,
      scales: { x: { time: false }, y: { range: [0, 1] } },
      axes: [{ label: 'iteration' }, { label: 'P-value' }],
      series: [{}, { label: 'P-value', stroke: '#1f5f8b', width: 1.5, points: { show: false } }],
      legend: { show: false },
    }, data, element);
  } else {
    pvalueChart.setData(data);
  }
}

// Equal-width bins over the values and the observed one, round(sqrt(N)) of them from 5
// to 50, as the window's figure.
function histogramBins(values, observed) {
  let low = observed;
  let high = observed;
  for (const v of values) { if (v < low) low = v; if (v > high) high = v; }
  if (high === low) { low -= 0.5; high += 0.5; }
  const count = Math.min(50, Math.max(5, Math.round(Math.sqrt(values.length))));
  const width = (high - low) / count;
  const counts = new Array(count).fill(0);
  for (const v of values) counts[Math.min(count - 1, Math.max(0, Math.floor((v - low) / width)))]++;
  const centres = counts.map((_, b) => low + width * (b + 0.5));
  return [centres, counts];
}

function drawHistogram(values, observed) {
  const element = $('histogram');
  if (histogramChart) { histogramChart.destroy(); histogramChart = null; }
  $('histogramFigure').hidden = values.length === 0;
  if (values.length === 0) return;
  const [centres, counts] = histogramBins(values, observed);
  const markObserved = (u) => {
    const x = Math.round(u.valToPos(observed, 'x', true));
    const { ctx } = u;
    ctx.save();
    ctx.strokeStyle = '#a4161a';
    ctx.lineWidth = 2 * devicePixelRatio;
    ctx.beginPath();
    ctx.moveTo(x, u.bbox.top);
    ctx.lineTo(x, u.bbox.top + u.bbox.height);
    ctx.stroke();
    ctx.restore();
  };
  const half = (centres.length > 1 ? centres[1] - centres[0] : 1) / 2;
  histogramChart = new uPlot({
    width: chartWidth(element), height: 240,
    scales: { x: { time: false, range: [Math.min(centres[0] - half, observed), Math.max(centres[centres.length - 1] + half, observed)] } },
    axes: [{ label: 'randomized Fis' }, { label: 'iterations' }],
    series: [{}, { label: 'iterations', fill: 'rgba(31,95,139,0.35)', stroke: '#1f5f8b',
      paths: uPlot.paths.bars({ size: [1, Infinity], gap: 1 }), points: { show: false } }],
    hooks: { draw: [markObserved] },
    legend: { show: false },
  }, [centres, counts], element);
}

window.addEventListener('resize', () => {
  for (const [chart, id] of [[pvalueChart, 'pvalueChart'], [histogramChart, 'histogram']]) {
    if (chart) chart.setSize({ width: chartWidth($(id)), height: 240 });
  }
});

// ---- Results ------------------------------------------------------------------------

const columns = [
  { title: 'Test', text: (o) => o.kind, key: (o) => ['overall', 'locus', 'population'].indexOf(o.kind) },
  { title: 'Index', text: (o) => String(o.index), key: (o) => o.index },
  { title: 'Name', text: (o) => o.name, key: (o) => o.name },
  { title: 'Individuals', text: (o) => String(o.individuals), key: (o) => o.individuals },
  { title: 'Distinct genotypes', text: (o) => String(o.distinct), key: (o) => o.distinct },
  { title: 'Observed Fis', text: (o) => o.texts.observed, key: (o) => o.observed },
  { title: 'Expected Fis', text: (o) => o.texts.expected, key: (o) => o.expected },
  { title: 'P lower (Fis \u2264 observed)', text: (o) => o.texts.pLower, key: (o) => o.pLower },
  { title: 'P upper (Fis \u2265 observed)', text: (o) => o.texts.pUpper, key: (o) => o.pUpper },
];
const sorting = { column: -1, descending: false };

function sortedOutcomes() {
  const rows = state.run.outcomes.slice();
  if (sorting.column >= 0) {
    const key = columns[sorting.column].key;
    rows.sort((a, b) => {
      const x = key(a);
      const y = key(b);
      const order = typeof x === 'string' ? x.localeCompare(y) : x - y;
      return sorting.descending ? -order : order;
    });
  }
  return rows;
}

function drawTable() {
  const head = $('summary').tHead;
  head.replaceChildren();
  const titles = head.insertRow();
  columns.forEach((column, c) => {
    const th = document.createElement('th');
    th.textContent = column.title;
    th.scope = 'col';
    if (c === sorting.column) th.setAttribute('aria-sort', sorting.descending ? 'descending' : 'ascending');
    th.addEventListener('click', () => {
      sorting.descending = sorting.column === c ? !sorting.descending : false;
      sorting.column = c;
      drawTable();
    });
    titles.append(th);
  });
  const body = $('summary').tBodies[0];
  body.replaceChildren();
  for (const outcome of sortedOutcomes()) {
    const row = body.insertRow();
    for (const column of columns) row.insertCell().textContent = column.text(outcome);
  }
}

function tableText(separator, quote) {
  const lines = [columns.map((c) => quote(c.title)).join(separator)];
  for (const outcome of sortedOutcomes()) lines.push(columns.map((c) => quote(c.text(outcome))).join(separator));
  return `${lines.join('\n')}\n`;
}
const tsv = () => tableText('\t', (text) => text);
const csv = () => tableText(',', (text) => (/[",\n\r]/.test(text) ? `"${text.replaceAll('"', '""')}"` : text));

function stem() {
  const name = $('result').value || 'results.txt';
  const dot = name.lastIndexOf('.');
  return dot > 0 ? name.slice(0, dot) : name;
}

function download(name, blob) {
  const url = URL.createObjectURL(blob);
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

$('copyTable').addEventListener('click', async () => {
  try {
    await navigator.clipboard.writeText(tsv());
    setMessage('The table is copied (tab-separated).');
  } catch (error) {
    setMessage(`The table could not be copied: ${error.message}`, true);
  }
});
$('tsv').addEventListener('click', () => download(`Summary_table_${stem()}.tsv`, new Blob([tsv()], { type: 'text/tab-separated-values' })));
$('csv').addEventListener('click', () => download(`Summary_table_${stem()}.csv`, new Blob([csv()], { type: 'text/csv' })));

function fileText(prefix) {
  const file = state.files.find((f) => f.name.startsWith(prefix));
  return file ? new TextDecoder('utf-8').decode(file.bytes) : '';
}

function showFiles() {
  for (const url of state.urls) URL.revokeObjectURL(url);
  state.urls = [];
  const list = $('fileList');
  list.replaceChildren();
  for (const file of state.files) {
    const url = URL.createObjectURL(new Blob([file.bytes], { type: 'application/octet-stream' }));
    state.urls.push(url);
    const link = document.createElement('a');
    link.href = url;
    link.download = file.name;
    link.textContent = file.name;
    const item = document.createElement('li');
    item.append(link, ` (${file.bytes.length} bytes)`);
    list.append(item);
  }
  $('files').hidden = state.files.length === 0;
}

$('zip').addEventListener('click', () => {
  const entries = {};
  for (const file of state.files) entries[file.name] = [file.bytes, { level: 6, mtime: new Date() }];
  download(`GENOSIEVE_${stem()}.zip`, new Blob([zipSync(entries)], { type: 'application/zip' }));
});

// ---- A Run --------------------------------------------------------------------------

function finish(status) {
  const run = state.run;
  state.worker = null;
  $('run').disabled = !state.bytes;
  $('stop').disabled = true;
  run.status = status;
  run.ms = performance.now() - run.started;
  showProgress();
  document.body.dataset.runMilliseconds = String(Math.round(run.ms));
  document.body.dataset.state = status === 0 ? 'done' : status === 130 ? 'stopped' : 'failed';
  if (run.outcomes.length > 0) {
    $('results').hidden = false;
    drawTable();
    $('seedLine').textContent = run.seed === null ? '' :
      `Seed: ${run.seed} (give it as the seed to repeat this Run)`;
    const overall = run.outcomes.find((o) => o.kind === 'overall');
    drawHistogram(overall ? overall.values : [], overall ? overall.observed : 0);
  }
  $('clones').textContent = fileText('Clones_');
  $('members').textContent = fileText('Clonemembers_');
  showFiles();
}

function onRunMessage(data) {
  const run = state.run;
  switch (data.type) {
    case 'ready': state.stopMessage = data.stopMessage; break;
    case 'planned': run.tests = data.tests; run.iterations = data.iterations; break;
    case 'test':
      run.test = data;
      run.testsStarted++;
      run.iteration = 0;
      break;
    case 'seed': run.seed = data.seed; break;
    case 'progress': run.iteration = Math.min(data.position, run.iterations); break;
    case 'clearChart': run.pvalueX = []; run.pvalueY = []; drawPValues(); break;
    case 'chartPoints':
      for (const value of data.values) { run.pvalueX.push(run.pvalueX.length + 1); run.pvalueY.push(value); }
      drawPValues();
      break;
    case 'runningPValues':
      if (data.kind === 'overall') {
        for (const point of data.points) { run.pvalueX.push(point.iteration); run.pvalueY.push(point.pValue); }
        drawPValues();
      }
      break;
    case 'outcome': {
      const texts = { observed: data.observedText, expected: data.expectedText, pLower: data.pLowerText, pUpper: data.pUpperText };
      run.outcomes.push({ ...data, texts, values: data.values || [] });
      $('results').hidden = false;
      drawTable();
      break;
    }
    case 'notice': addNotice(data.text); break;
    case 'message': setMessage(data.text); break;
    case 'error': setMessage(data.text, true); break;
    case 'finished':
      state.files = data.files;
      state.worker.terminate();
      finish(data.status);
      return;
    default: break;
  }
  if (!run.drawPending) {
    run.drawPending = true;
    requestAnimationFrame(() => { run.drawPending = false; if (state.run === run && run.status === null) showProgress(); });
  }
}

$('run').addEventListener('click', () => {
  if (!state.bytes || state.worker) return;
  setMessage('');
  $('notices').replaceChildren();
  $('results').hidden = true;
  $('files').hidden = true;
  $('pvalueFigure').hidden = true;
  if (pvalueChart) { pvalueChart.destroy(); pvalueChart = null; }
  sorting.column = -1;
  state.files = [];
  state.run = { started: performance.now(), tests: 0, iterations: 0, testsStarted: 0, test: null,
    iteration: 0, seed: null, pvalueX: [], pvalueY: [], outcomes: [], status: null, drawPending: false };
  document.body.dataset.state = 'running';
  $('progress').hidden = false;
  $('bar').value = 0;
  showProgress();
  const worker = newWorker();
  state.worker = worker;
  $('run').disabled = true;
  $('stop').disabled = false;
  worker.onmessage = ({ data }) => { if (state.worker === worker) onRunMessage(data); };
  worker.onerror = (event) => {
    if (state.worker !== worker) return;
    setMessage(`The page's worker failed: ${event.message}`, true);
    worker.terminate();
    finish(1);
  };
  worker.postMessage({ type: 'run', name: state.name, bytes: state.bytes.slice(0), format: $('format').value, settings: settings() });
});

// The Run works without a pause in its worker: stopping ends the worker at once, and the
// files of a stopped Run, which lived in its memory, go with it.
$('stop').addEventListener('click', () => {
  if (!state.worker) return;
  state.worker.terminate();
  setMessage(state.stopMessage, true);
  finish(130);
});

document.body.dataset.state = 'idle';
$('run').disabled = !state.bytes;
