// What emscripten's Node.js loader expects of a CommonJS script, given to the ES module
// that genosieve-cli.mjs is.
import { createRequire } from 'node:module';
import { dirname } from 'node:path';
import { fileURLToPath } from 'node:url';

const require = createRequire(import.meta.url);
const __filename = fileURLToPath(import.meta.url);
const __dirname = dirname(__filename);
