// The game's page in headless Chromium, played as a player would: keys pressed on the page, the
// console read back from the terminal widget. Served over HTTP on 127.0.0.1, and opened from disk.
//
//   node page_test.mjs PAGE NPM_DIR OUTPUT_DIR
// PAGE is the built index.html, NPM_DIR holds puppeteer-core, OUTPUT_DIR receives screenshots and
// figures.txt (page size, time to the menu, steps of a held key, the menu's CPU). Ends with 77
// (skipped) where there is no Chromium, unless GLYPH_REQUIRE_WEB=1.
import assert from 'node:assert/strict';
import { existsSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { createRequire } from 'node:module';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';
import { pathToFileURL } from 'node:url';
import { gzipSync } from 'node:zlib';

const [pagePath, npmDir, outputDir] = process.argv.slice(2);
// GLYPH_CHROMIUM names the browser to use instead of the system's.
const chromium = (process.env.GLYPH_CHROMIUM ? [process.env.GLYPH_CHROMIUM]
  : ['/usr/bin/chromium', '/usr/bin/chromium-browser', '/usr/bin/google-chrome']).find(existsSync);
if (chromium === undefined) {
  console.log('SKIP: no Chromium to run the page in (Debian: apt-get install chromium)');
  process.exit(process.env.GLYPH_REQUIRE_WEB === '1' ? 1 : 77);
}
const puppeteer = createRequire(join(npmDir, 'package.json'))('puppeteer-core');

const screenshots = join(outputDir, 'screenshots');
mkdirSync(screenshots, { recursive: true });
const figures = [];
function figure(line) {
  figures.push(line);
  console.log(`# ${line}`);
}

// Palette numbers of the widget's colours as the console sends them.
const Palette = { Blue: 4, Green: 2, Aqua: 6, White: 7, LightBlue: 12 };
const kGameKeys = ['ArrowLeft', 'ArrowUp', 'ArrowRight', 'ArrowDown', 'Enter'];

let browser;
let server;
let pageUrl;

before(async () => {
  const html = readFileSync(pagePath);
  server = createServer((request, response) => {
    const found = request.url === '/' || request.url === '/index.html';
    response.writeHead(found ? 200 : 404, { 'Content-Type': 'text/html; charset=utf-8' });
    response.end(found ? html : 'not here');
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  pageUrl = `http://127.0.0.1:${server.address().port}/`;
  // Chromium run as root needs --no-sandbox.
  browser = await puppeteer.launch({ executablePath: chromium, headless: true, args: ['--no-sandbox'] });
  figure(`page: ${kib(html.length)}, gzip ${kib(gzipSync(html, { level: 9 }).length)}`);
});

after(async () => {
  await browser?.close();
  server?.close();
  writeFileSync(join(outputDir, 'figures.txt'), `${figures.join('\n')}\n`);
});

function kib(bytes) {
  return `${(bytes / 1024).toFixed(0)} KiB`;
}

// ---- The page and its screen.

// Opens the page and waits for the menu. Every page keeps a heartbeat (a frozen page misses its
// beats) and a list of game keys whose default the page let through outside the help overlay
// (they would scroll the page; in the overlay they scroll the text).
async function openGame(url = pageUrl) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1200, height: 800 });
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(message.text());
  });
  await page.evaluateOnNewDocument((keys) => {
    window.heartbeat = { beats: 0, last: performance.now(), longestGapMs: 0 };
    setInterval(() => {
      const now = performance.now();
      heartbeat.longestGapMs = Math.max(heartbeat.longestGapMs, now - heartbeat.last);
      heartbeat.last = now;
      heartbeat.beats += 1;
    }, 50);
    window.keysLetThrough = [];
    addEventListener('keydown', (event) => {
      if (!keys.includes(event.key) || event.defaultPrevented) return;
      if (document.getElementById('help').hidden) keysLetThrough.push(event.key);
    });
  }, kGameKeys);
  await page.goto(url);
  // The page's own clock starts with the navigation.
  const menuShown = await page.waitForFunction(
    () => glyphPage.terminal.buffer.active.getLine(2).translateToString().includes('Main Menu') &&
      performance.now(),
    { timeout: 15000 });
  // Loading the page is one long task; the game's turns are counted from here.
  await page.evaluate(() => Object.assign(heartbeat, { last: performance.now(), longestGapMs: 0 }));
  return { page, errors, msToMenu: await menuShown.jsonValue() };
}

function rowText(page, row) {
  return page.evaluate((row) => glyphPage.terminal.buffer.active.getLine(row).translateToString(), row);
}

function waitForText(page, row, text, timeout = 15000) {
  return page.waitForFunction(
    (row, text) => glyphPage.terminal.buffer.active.getLine(row)?.translateToString().includes(text),
    { timeout }, row, text);
}

function colourAt(page, column, row) {
  return page.evaluate((column, row) =>
    glyphPage.terminal.buffer.active.getLine(row).getCell(column).getFgColor(), column, row);
}

// The player: the Aqua square inside the maze (the legend beside it shows one too). Runs in the
// page.
function findPlayer() {
  const buffer = glyphPage.terminal.buffer.active;
  for (let row = 0; row < 29; row += 1) {
    const line = buffer.getLine(row);
    for (let column = 0; column < 64; column += 1) {
      const cell = line.getCell(column);
      if (cell.getChars() === '\u25a0' && cell.getFgColor() === 6) return { column, row };
    }
  }
  return null;
}

function playerAt(page) {
  return page.evaluate(findPlayer);
}

// Waits until `test`, the source of a function of the player's place, holds.
function waitForPlayer(page, test) {
  return page.waitForFunction(`(${test})((${findPlayer})() ?? {})`, { timeout: 15000 });
}

async function number(page, row, label) {
  const text = await rowText(page, row);
  return Number(text.slice(text.indexOf(label) + label.length).trim().split(/\s/)[0]);
}
const steps = (page) => number(page, 26, 'Steps: ');
const timeLeft = (page) => number(page, 20, 'Time: ');


function stats(page) {
  return page.evaluate(() => ({ ...glyphPage.stats }));
}

function overlayShown(page, id) {
  return page.evaluate((id) => !document.getElementById(id).hidden, id);
}

async function settled(page, ms = 300) {
  await sleep(ms);
  return page.evaluate(() => ({ ...heartbeat }));
}

// What must hold at the end of every visit: no script errors, no frozen page, no scrolling key.
async function checkHealth(page, errors) {
  const health = await page.evaluate(() => ({ ...heartbeat, letThrough: keysLetThrough }));
  assert.deepEqual(errors, []);
  assert.deepEqual(health.letThrough, []);
  // A page that freezes misses beats for as long as it is frozen; a busy machine delays a few.
  assert.ok(health.longestGapMs < 3000, `the page froze for ${health.longestGapMs} ms`);
  return health;
}

// ---- The cases.

test('the menu shows in its colours, then stands still without sending or spinning', async () => {
  const { page, errors, msToMenu } = await openGame();
  figure(`load to menu over HTTP: ${msToMenu.toFixed(0)} ms`);
  assert.match(await rowText(page, 0), /^╔═+╗/);
  assert.equal(await colourAt(page, 8, 8), Palette.Green, 'Start game is selected');
  assert.equal(await colourAt(page, 8, 14), Palette.White);
  assert.equal(await colourAt(page, 56, 20), Palette.LightBlue, 'the face');
  assert.match(await rowText(page, 29), /Made by the Glyph Labyrinth developers/);
  await page.screenshot({ path: join(screenshots, 'menu.png') });

  // Standing still: the menu waits for frames, and nothing changes, so nothing is sent.
  await sleep(300);
  const cdp = await page.createCDPSession();
  await cdp.send('Performance.enable');
  const metric = async (name) =>
    (await cdp.send('Performance.getMetrics')).metrics.find((m) => m.name === name).value;
  const before = { stats: await stats(page), busy: await metric('TaskDuration'), at: performance.now() };
  await sleep(3000);
  const afterwards = { stats: await stats(page), busy: await metric('TaskDuration'), at: performance.now() };
  const cpu = (afterwards.busy - before.busy) / ((afterwards.at - before.at) / 1000);
  const frames = afterwards.stats.frames - before.stats.frames;
  figure(`menu standing still: ${(cpu * 100).toFixed(1)} % CPU of the page's thread, ` +
    `${(frames / 3).toFixed(0)} passes/s`);
  assert.equal(afterwards.stats.bytes, before.stats.bytes, 'an unchanged picture is sent again');
  assert.ok(frames > 0, 'the menu loop stopped');
  assert.equal(afterwards.stats.yields, before.stats.yields, 'the menu ran without waiting for frames');
  await checkHealth(page, errors);
  await page.close();
});

test('Down, Enter opens the help over the game, which waits until it is closed', async () => {
  const { page, errors } = await openGame();
  await page.keyboard.press('ArrowDown');
  await page.waitForFunction(() =>
    glyphPage.terminal.buffer.active.getLine(14).getCell(8).getFgColor() === 2);
  assert.equal(await colourAt(page, 8, 8), Palette.White);

  await page.keyboard.press('Enter');
  await page.waitForSelector('#help:not([hidden])');
  assert.equal(await page.$eval('#help-title', (e) => e.textContent), 'Assistance.txt');
  assert.match(await page.$eval('#help-text', (e) => e.textContent), /^Menu Controls:\n/);
  await page.screenshot({ path: join(screenshots, 'help.png') });

  // While it is open the keys are the overlay's: the menu does not move.
  await page.keyboard.press('ArrowDown');
  await page.keyboard.press('Escape');
  await page.waitForSelector('#help', { hidden: true });
  await waitForText(page, 14, 'Assistance');
  await settled(page);
  assert.equal(await colourAt(page, 8, 14), Palette.Green);
  assert.equal(await overlayShown(page, 'help'), false, 'one Enter opened the help twice');

  // Enter closes it as well, and the Close button; neither press reaches the menu.
  await page.keyboard.press('Enter');
  await page.waitForSelector('#help:not([hidden])');
  await page.keyboard.press('Enter');
  await page.waitForSelector('#help', { hidden: true });
  await settled(page);
  assert.equal(await overlayShown(page, 'help'), false);

  await page.keyboard.press('ArrowDown');
  await waitForText(page, 20, 'Information');
  await page.keyboard.press('Enter');
  await page.waitForSelector('#help:not([hidden])');
  assert.match(await page.$eval('#help-text', (e) => e.textContent), /^Glyph Labyrinth is a maze game/);
  await page.click('#help-close');
  await page.waitForSelector('#help', { hidden: true });
  await settled(page);
  assert.equal(await colourAt(page, 8, 20), Palette.Green);
  assert.equal(await overlayShown(page, 'help'), false);
  await checkHealth(page, errors);
  await page.close();
});

test('a game: taps move one cell, a held key one per tick, losing the focus lets go, the ' +
  'tune plays until the end screen', async () => {
  const { page, errors } = await openGame();
  await page.keyboard.press('Enter');
  await waitForText(page, 26, 'Steps: 0');
  assert.equal(await colourAt(page, 0, 0), Palette.Blue, 'the walls');
  assert.deepEqual(await playerAt(page), { column: 4, row: 2 });
  await page.waitForFunction(() => glyphPage.sound.audio !== null && !glyphPage.sound.audio.paused);

  // Three taps, each given a tick of its own, from (4, 2) to (1, 2).
  for (let tap = 1; tap <= 3; tap += 1) {
    await page.keyboard.press('ArrowLeft');
    await waitForPlayer(page, `(p) => p.column === ${4 - tap}`);
    await sleep(150);
  }
  await settled(page);
  assert.deepEqual(await playerAt(page), { column: 1, row: 2 });
  assert.equal(await steps(page), 3);
  figure('taps: 3 taps moved 3 cells');

  // A second's hold of Right, on a row with eleven cells of room; the status line's clock counts
  // the ticks it lasted.
  const ticksBefore = await timeLeft(page);
  await page.keyboard.down('ArrowRight');
  await sleep(1000);
  await page.keyboard.up('ArrowRight');
  const ticksHeld = ticksBefore - await timeLeft(page);
  await settled(page);
  const moved = (await playerAt(page)).column - 1;
  figure(`1 s hold of Right: ${moved} cells in ${ticksHeld} ticks`);
  assert.ok(moved >= 2 && Math.abs(moved - ticksHeld) <= 2, `${moved} cells in ${ticksHeld} ticks`);
  await page.screenshot({ path: join(screenshots, 'game.png') });

  // Left held, then the page loses the focus: no release will come, and the player stops.
  const from = (await playerAt(page)).column;
  await page.keyboard.down('ArrowLeft');
  await waitForPlayer(page, `(p) => p.column <= ${from - 2}`);
  await page.evaluate(() => dispatchEvent(new Event('blur')));
  await sleep(250);
  const stoppedAt = await playerAt(page);
  await sleep(600);
  assert.deepEqual(await playerAt(page), stoppedAt);
  await page.keyboard.up('ArrowLeft');

  // Down the column at 12 into the walkers' rows, and stay until one comes by.
  await page.keyboard.down('ArrowRight');
  await waitForPlayer(page, '(p) => p.column === 12');
  await page.keyboard.up('ArrowRight');
  await page.keyboard.down('ArrowDown');
  await waitForText(page, 1, '   ▒▒▒░   ▒▒▒░', 30000);
  await page.keyboard.up('ArrowDown');
  await page.screenshot({ path: join(screenshots, 'loss.png') });
  await page.waitForFunction(() => glyphPage.sound.audio.paused);
  await checkHealth(page, errors);
  await page.close();
});

test('Exit ends the program, and the page offers to start again', async () => {
  const { page, errors } = await openGame();
  // Taps a player could make: the menu looks at the keys once a frame.
  for (let item = 0; item < 3; item += 1) {
    await page.keyboard.press('ArrowDown');
    await sleep(150);
  }
  await page.waitForFunction(() =>
    glyphPage.terminal.buffer.active.getLine(26).getCell(8).getFgColor() === 2);
  await page.keyboard.press('Enter');
  await page.waitForSelector('#ended:not([hidden])');
  assert.equal(await page.$eval('#ended-title', (e) => e.textContent), 'The game has ended.');
  await page.screenshot({ path: join(screenshots, 'ended.png') });
  await checkHealth(page, errors);

  await page.click('#restart');
  await waitForText(page, 2, 'Main Menu');
  assert.equal(await overlayShown(page, 'ended'), false);
  assert.deepEqual(errors, []);
  await page.close();
});

test('opened from disk, the one file plays, tune included', async () => {
  const { page, errors, msToMenu } = await openGame(pathToFileURL(pagePath).href);
  figure(`load to menu from disk: ${msToMenu.toFixed(0)} ms`);
  // No key pressed yet: the page has not tried to start any sound.
  assert.equal(await page.evaluate(() => glyphPage.sound.audio), null);
  await page.keyboard.press('Enter');
  await waitForText(page, 26, 'Steps: 0');
  await page.waitForFunction(() => glyphPage.sound.audio !== null && !glyphPage.sound.audio.paused);
  await page.keyboard.press('ArrowRight');
  await waitForPlayer(page, '(p) => p.column === 5');
  const health = await checkHealth(page, errors);
  figure(`longest gap between the page's 50 ms heartbeats, menu to game: ${health.longestGapMs.toFixed(0)} ms`);
  await page.close();
});
