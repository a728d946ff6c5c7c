// Runs genosieve-cli's main with the command line's arguments once the module is loaded.
// Emscripten takes the standard streams for terminals; they are made what Node.js says
// they are, so that the progress line is drawn only on a terminal, as natively.
import { isatty } from 'node:tty';

const cli = {
  onRuntimeInitialized() {
    for (const fd of [0, 1, 2]) cli.FS.streams[fd].tty = isatty(fd);
  },
};
Module(cli);
