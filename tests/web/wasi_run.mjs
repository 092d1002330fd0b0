// Runs a wasm32-wasi command under Node's WASI with the whole file system
// visible at the same paths: node wasi_run.mjs PROGRAM.wasm [ARGS...]
import { readFileSync } from "node:fs";
import { WASI } from "node:wasi";

const [program, ...args] = process.argv.slice(2);
const wasi = new WASI({ version: "preview1", args: [program, ...args], env: process.env, preopens: { "/": "/" },
  returnOnExit: true });
const module = await WebAssembly.compile(readFileSync(program));
const instance = await WebAssembly.instantiate(module, wasi.getImportObject());
process.exitCode = wasi.start(instance);
