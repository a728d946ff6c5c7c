// The page's worker: one module of the core per request, its files in memory. A request
// is {type: 'inspect' | 'run', name, bytes, format, settings}; every message of the Run's
// view goes to the page as it comes, then {type: 'finished', status, files}.
import createModule from './genosieve-web.mjs';

function post(message) {
  const transfer = message.values ? [message.values.buffer] : [];
  self.postMessage(message, transfer);
}

self.onmessage = async (event) => {
  const request = event.data;
  try {
    const module = await createModule({
      onViewMessage: post,
      print: (text) => post({ type: 'notice', text }),
      printErr: (text) => post({ type: 'notice', text }),
    });
    const FS = module.FS;
    post({ type: 'ready', stopMessage: module.UTF8ToString(module.ccall('genosieve_stop_message', 'number', [], [])) });
    // The Run's folder holds the data file alone, as for genosieve-cli DATAFILE run in
    // the data file's folder.
    FS.mkdir('/session');
    FS.chdir('/session');
    FS.writeFile(request.name, new Uint8Array(request.bytes));
    if (request.type === 'inspect') {
      const status = module.ccall('genosieve_inspect', 'number', ['string', 'string'],
        [request.name, request.format]);
      post({ type: 'inspected', status });
      return;
    }
    const s = request.settings;
    const status = module.ccall('genosieve_run', 'number',
      ['string', 'string', 'string', 'string', 'number', 'number', 'number', 'number', 'string', 'string'],
      [request.name, request.format, s.iterations, s.resultName, s.perLocus ? 1 : 0,
        s.perPopulation ? 1 : 0, s.pValueFiles ? 1 : 0, s.fisValues ? 1 : 0, s.seed,
        s.decimalSeparator]);
    const files = FS.readdir('.')
      .filter((name) => name !== '.' && name !== '..' && name !== request.name)
      .sort()
      .map((name) => ({ name, bytes: FS.readFile(name) }));
    self.postMessage({ type: 'finished', status, files }, files.map((file) => file.bytes.buffer));
  } catch (error) {
    // A fault of the module itself (out of memory, a trap): said, never a silent end.
    const reason = String((error && error.message) || error);
    const text = /OOM|out of memory|Array buffer allocation/i.test(reason)
      ? 'Mémoire insuffisante' : `the WebAssembly module failed: ${reason}`;
    self.postMessage({ type: 'error', text });
    self.postMessage({ type: 'finished', status: 1, files: [] });
  }
};
