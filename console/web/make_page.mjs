// Builds the game's page as one file that runs opened from disk as well as served: every
// <style data-inline="NAME"></style> and <script data-inline="NAME"></script> of the template is
// replaced by the file given for NAME, the program's wasm by its bytes in base64.
//
//   node make_page.mjs TEMPLATE OUTPUT NAME=PATH...
import { readFileSync, writeFileSync, mkdirSync } from 'node:fs';
import { dirname } from 'node:path';
import { gzipSync } from 'node:zlib';

const [template, output, ...inputs] = process.argv.slice(2);
if (!template || !output) {
  console.error('usage: node make_page.mjs TEMPLATE OUTPUT NAME=PATH...');
  process.exit(2);
}
const files = new Map(inputs.map((input) => {
  const at = input.indexOf('=');
  return [input.slice(0, at), input.slice(at + 1)];
}));

function fail(message) {
  console.error(`make_page: ${message}`);
  process.exit(1);
}

// Text inside <script> and <style> ends at the first "</script" or "</style": escaped, it means
// the same in a string or a regular expression. "<!--" would change how the rest is read, and has
// no such escape.
function safeInside(name, text, tag) {
  if (text.includes('<!--')) fail(`${name} holds "<!--" and cannot be put inside the page`);
  return text.replaceAll(new RegExp(`</(${tag})`, 'gi'), '<\\/$1');
}

const sizes = [];
function content(name, tag) {
  const path = files.get(name);
  if (path === undefined) fail(`no file given for ${name}`);
  const bytes = readFileSync(path);
  sizes.push([name, bytes.length, gzipSync(bytes, { level: 9 }).length]);
  if (name.endsWith('.wasm')) {
    return `Module.wasmBinary = glyphPage.bytesFromBase64('${bytes.toString('base64')}');`;
  }
  // The source-map comment would point at files that are not beside the page.
  const text = bytes.toString('utf8').replace(/\n\/\/# sourceMappingURL=\S+\s*$/, '\n');
  return safeInside(name, text, tag);
}

const used = new Set();
const page = readFileSync(template, 'utf8').replace(
  /<(style|script) data-inline="([^"]+)"><\/\1>/g,
  (whole, tag, name) => {
    used.add(name);
    return `<${tag}>\n${content(name, tag)}\n</${tag}>`;
  },
);
for (const name of files.keys()) {
  if (!used.has(name)) fail(`the template has no place for ${name}`);
}

mkdirSync(dirname(output), { recursive: true });
writeFileSync(output, page);

const kib = (bytes) => `${(bytes / 1024).toFixed(0)} KiB`;
for (const [name, raw, gzip] of sizes) {
  console.log(`  ${name.padEnd(22)} ${kib(raw).padStart(8)}  gzip ${kib(gzip).padStart(8)}`);
}
const pageBytes = Buffer.byteLength(page);
const pageGzip = gzipSync(page, { level: 9 }).length;
console.log(`  ${'page (one file)'.padEnd(22)} ${kib(pageBytes).padStart(8)}  gzip ${kib(pageGzip).padStart(8)}`);
