// The page around the game: the terminal widget the console is drawn in, the keys, the sound, the
// help overlay and the end of the program. The game's browser console (console/web) calls
// glyphPage; Module sets up the game's runtime.
'use strict';

var glyphPage = (() => {
  const kColumns = 100;
  const kRows = 30;

  // The Windows console's colours, on black. The console sends the game's attributes as
  // terminal colours: Blue 34, Green 32, Aqua 36, Red 31, Purple 35, Yellow 33, White 37,
  // Gray 90, Light Blue 94.
  const kTheme = {
    background: '#000000',
    foreground: '#cccccc',
    black: '#0c0c0c',
    red: '#c50f1f',
    green: '#13a10e',
    yellow: '#c19c00',
    blue: '#0037da',
    magenta: '#881798',
    cyan: '#3a96dd',
    white: '#cccccc',
    brightBlack: '#767676',
    brightRed: '#e74856',
    brightGreen: '#16c60c',
    brightYellow: '#f9f1a5',
    brightBlue: '#3b78ff',
    brightMagenta: '#b4009e',
    brightCyan: '#61d6d6',
    brightWhite: '#f2f2f2',
  };

  const element = (id) => document.getElementById(id);
  const screen = element('screen');

  // What the game's console did, for whoever wants to know how busy the page is.
  const stats = { writes: 0, bytes: 0, frames: 0, yields: 0 };

  // ---- The console's picture.

  const terminal = new Terminal({
    cols: kColumns,
    rows: kRows,
    scrollback: 0,
    disableStdin: true,
    cursorBlink: false,
    cursorInactiveStyle: 'none',
    fontFamily: '"Cascadia Mono", Consolas, Menlo, "DejaVu Sans Mono", "Liberation Mono", monospace',
    fontSize: 20,
    lineHeight: 1,
    theme: kTheme,
  });
  terminal.open(screen);
  // No wrapping at the last column and no cursor: the console places every cell itself.
  terminal.write('\x1b[?7l\x1b[?25l');

  // The whole console in the window, as large as it fits, whatever the window's shape: the font
  // size follows the window. (Scaling the drawn picture instead would put rows between pixels.)
  // A font's blocks and box lines may end a fraction of a pixel short of the row's edge, which
  // shows as a hairline between rows: each row is stretched to overlap its neighbours by half
  // a pixel.
  const kSmallestFontSize = 6;
  const rowStretch = document.createElement('style');
  document.head.append(rowStretch);

  function fitToWindow() {
    for (let tries = 0; tries < 4; tries += 1) {
      const scale = Math.min(innerWidth / screen.offsetWidth, innerHeight / screen.offsetHeight);
      if (!Number.isFinite(scale) || (scale >= 1 && scale < 1.04)) break;
      const size = Math.max(kSmallestFontSize, Math.floor(terminal.options.fontSize * scale * 2) / 2);
      if (size === terminal.options.fontSize) break;
      terminal.options.fontSize = size;
    }
    const rowHeight = screen.offsetHeight / kRows;
    if (rowHeight > 0) {
      rowStretch.textContent =
        `#screen .xterm-rows > div { transform: scaleY(${(rowHeight + 1) / rowHeight}); }`;
    }
  }
  addEventListener('resize', fitToWindow);
  fitToWindow();
  document.fonts?.ready.then(fitToWindow);

  function write(bytes) {
    stats.writes += 1;
    stats.bytes += bytes.length;
    terminal.write(bytes);
  }

  // ---- The game's turns: it waits for a frame, or lets the page handle what has come in.

  function nextFrame() {
    stats.frames += 1;
    return new Promise((resolve) => requestAnimationFrame(() => resolve()));
  }

  // A posted message comes back after the events already queued, without a timer's delay.
  const turns = new MessageChannel();
  const waitingForTurn = [];
  turns.port1.onmessage = () => waitingForTurn.shift()();
  function yieldToPage() {
    stats.yields += 1;
    return new Promise((resolve) => {
      waitingForTurn.push(resolve);
      turns.port2.postMessage(null);
    });
  }

  // ---- Keys.

  // The game's keys by their virtual-key codes; the console reads an event as the code in its
  // low byte and what happened above it.
  const kGameKeys = new Map([
    ['Enter', 0x0d],
    ['ArrowLeft', 0x25],
    ['ArrowUp', 0x26],
    ['ArrowRight', 0x27],
    ['ArrowDown', 0x28],
  ]);
  const KeyEvent = { Press: 0, Repeat: 1, Release: 2, AllReleased: 3 };

  const keyQueue = [];
  const heldForGame = new Set();  // keys whose press the game was told of
  let mode = 'loading';  // then 'game', 'help' while the help overlay is open, 'ended'

  function forgetKeys() {
    heldForGame.clear();
    keyQueue.length = 0;
  }

  function releaseAll() {
    forgetKeys();
    keyQueue.push(KeyEvent.AllReleased << 8);
  }

  addEventListener('keydown', (event) => {
    if (mode === 'help') return helpKey(event);
    if (mode === 'ended') return endedKey(event);
    // With Alt, Ctrl or the meta key the arrows and Enter are the browser's shortcuts.
    if (event.altKey || event.ctrlKey || event.metaKey) return;
    const code = kGameKeys.get(event.key);
    if (code === undefined) return;
    event.preventDefault();  // no scrolling, no button pressed by Enter
    if (mode !== 'game') return;
    // A key held since before the game had the keys (while the help was open) stays away.
    if (event.repeat && !heldForGame.has(code)) return;
    heldForGame.add(code);
    keyQueue.push(code | (event.repeat ? KeyEvent.Repeat : KeyEvent.Press) << 8);
  }, true);

  addEventListener('keyup', (event) => {
    const code = kGameKeys.get(event.key);
    if (code === undefined || !heldForGame.delete(code)) return;
    event.preventDefault();
    keyQueue.push(code | KeyEvent.Release << 8);
  }, true);

  // A page without the focus hears no releases: every key is let go.
  addEventListener('blur', releaseAll);
  document.addEventListener('visibilitychange', () => {
    if (document.hidden) releaseAll();
  });

  function takeKeyEvents(into) {
    const count = Math.min(into.length, keyQueue.length);
    for (let i = 0; i < count; i += 1) into[i] = keyQueue[i];
    keyQueue.splice(0, count);
    return count;
  }

  // ---- Sound: the tune in an audio element, started and stopped as the game asks.

  const sound = {
    audio: null,
    wanted: false,
    starting: false,

    load(bytes) {
      this.audio = new Audio(URL.createObjectURL(new Blob([bytes], { type: 'audio/wav' })));
      this.audio.preload = 'auto';
    },

    play() {
      const audio = this.audio;
      if (audio === null || mode === 'ended') return;
      this.wanted = true;
      if (this.starting || !audio.paused) return;
      // Browsers refuse sound until the player has pressed a key on the page.
      if (navigator.userActivation && !navigator.userActivation.hasBeenActive) return;
      this.starting = true;
      audio.play().then(() => {
        this.starting = false;
        if (!this.wanted) this.halt();
      }, () => {
        this.starting = false;  // refused: the game asks again on its next tick
      });
    },

    stop() {
      this.wanted = false;
      if (this.audio !== null && !this.starting) this.halt();
    },

    halt() {
      if (!this.audio.paused) this.audio.pause();
      if (this.audio.currentTime !== 0) this.audio.currentTime = 0;
    },
  };

  // ---- The help overlay: the game waits until the player closes it.

  let closeHelp = null;

  function showHelp(title, text) {
    mode = 'help';
    forgetKeys();
    element('help-title').textContent = title;
    element('help-text').textContent = text ?? `${title} could not be read.`;
    element('help').hidden = false;
    element('help-text').scrollTop = 0;
    element('help-text').focus();  // the arrows scroll the text
    return new Promise((resolve) => {
      closeHelp = () => {
        closeHelp = null;
        element('help').hidden = true;
        document.activeElement?.blur();
        if (mode === 'help') mode = 'game';
        resolve();
      };
    });
  }

  function helpKey(event) {
    if (event.key !== 'Enter' && event.key !== 'Escape') return;
    event.preventDefault();
    // The Enter that opened the help, held on, repeats: only a new press closes it.
    if (!event.repeat) closeHelp?.();
  }

  element('help-close').addEventListener('click', () => closeHelp?.());

  // ---- The end of the program.

  function gameStarted() {
    mode = 'game';
    element('loading').hidden = true;
  }

  function gameEnded(reason) {
    mode = 'ended';
    forgetKeys();
    sound.stop();
    element('loading').hidden = true;
    element('help').hidden = true;
    element('ended-text').textContent = reason ?? 'You chose Exit in the menu.';
    element('ended').hidden = false;
    element('restart').focus();
  }

  function endedKey(event) {
    if (event.key !== 'Enter') return;
    event.preventDefault();
    if (!event.repeat) location.reload();
  }

  element('restart').addEventListener('click', () => location.reload());

  // exit() leaves the game's runtime by throwing its exit status, which reaches the page as an
  // error nobody handles: the end is already shown.
  const isExitStatus = (what) => what?.name === 'ExitStatus';
  addEventListener('unhandledrejection', (event) => {
    if (isExitStatus(event.reason)) event.preventDefault();
  });
  addEventListener('error', (event) => {
    if (isExitStatus(event.error)) event.preventDefault();
  });

  function bytesFromBase64(text) {
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i += 1) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  return {
    terminal, stats, sound, write, nextFrame, yieldToPage, takeKeyEvents, showHelp,
    gameStarted, gameEnded, bytesFromBase64,
  };
})();

// The game's runtime: output it prints goes to the browser's console (the game itself draws
// through glyphPage), a failure ends the game on the page.
var Module = {
  print: (text) => console.log(text),
  printErr: (text) => console.warn(text),
  onAbort: (what) => glyphPage.gameEnded(`The game stopped on an error: ${what}`),
};
