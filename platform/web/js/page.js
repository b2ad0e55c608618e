// The page around the game (put before the program's own JavaScript): it
// fetches the data files the splash and the menu need into the program's
// file system and puts back the files kept in the browser's storage before
// the program starts, and the rest (the game's pictures, the music) after
// its first frame; it keeps
// those files when the program writes them, plays the mixer's output after
// the first key or click, decodes the rendered music, shows the game's
// dialogs and the screen after the game has ended, and switches to and from
// full screen. Module.zarnik is what the program's calls reach
// (library.js).
Module.zarnik = (function () {
  'use strict';
  // The game's folder; its files are the site's data/ (site_address.h).
  var GAME_DIR = '/zarnik';
  // What the splash and the menu need, before the program starts; the
  // game's pictures after the first frame. The site keeps the program's
  // WebAssembly, the containers, the MIDI files and the glyphs
  // gzip-compressed (name + '.gz', scripts/build-web.sh), unpacked here by
  // the browser, whatever the server does.
  var DATA = ['menu.xxx', 'zvuk.xxx', 'menu.mid', 'hra.mid'];
  var LATER = ['obrazky.xxx'];
  // A page whose clock a test holds shows no frame until the test moves
  // it: there everything comes before the program starts.
  if (window.zarnikHoldClock) {
    DATA = DATA.concat(LATER);
    LATER = [];
  }
  var COMPRESSED = /\.(xxx|mid|bin|wasm)$/;
  var GLYPHS = { url: 'data/glyphs.bin', path: '/web/glyphs.bin' };
  var PIECES = ['menu', 'hra'];
  var RATE = 44100;
  var DB_NAME = 'zarnik', DB_STORE = 'files';
  // Only paths like the program's own are put back from the storage.
  var SAFE_PATH = /^\/(?:[A-Za-z0-9_.-]+\/)*[A-Za-z0-9_-][A-Za-z0-9_.-]*$/;

  var z = {
    canvas: document.getElementById('canvas'),
    shown: false,
    startedAt: performance.now(),
    firstFrameAt: -1,
  };

  function element(id) { return document.getElementById(id); }
  function status(text) {
    var s = element('status');
    if (s) s.textContent = text;
  }

  // --- the browser's storage (IndexedDB): the files the game writes ---
  var db = null;
  var pendingStores = [];
  function openStorage() {
    return new Promise(function (resolve) {
      var request;
      try {
        request = indexedDB.open(DB_NAME, 1);
      } catch (e) {
        resolve(null);
        return;
      }
      request.onupgradeneeded = function () { request.result.createObjectStore(DB_STORE); };
      request.onsuccess = function () { resolve(request.result); };
      // Without storage (a private window may refuse it) the game forgets.
      request.onerror = function () { resolve(null); };
      request.onblocked = function () { resolve(null); };
    });
  }
  function readStorage(database) {
    return new Promise(function (resolve) {
      if (!database) {
        resolve([]);
        return;
      }
      var out = [];
      var tx = database.transaction(DB_STORE, 'readonly');
      var cursor = tx.objectStore(DB_STORE).openCursor();
      cursor.onsuccess = function () {
        var c = cursor.result;
        if (!c) return;
        if (typeof c.key === 'string' && SAFE_PATH.test(c.key) && c.value instanceof Uint8Array)
          out.push([c.key, c.value]);
        c.continue();
      };
      tx.oncomplete = function () { resolve(out); };
      tx.onerror = tx.onabort = function () { resolve(out); };
    });
  }
  // The storage as it opened (null: none) for the files every tab shares
  // (shared.js).
  z.storage = function () { return db; };
  z.storeName = DB_STORE;
  z.store = function (path, data) {
    if (!db) {
      pendingStores.push([path, data]);
      return;
    }
    try {
      var tx = db.transaction(DB_STORE, 'readwrite');
      if (data) tx.objectStore(DB_STORE).put(data, path);
      else tx.objectStore(DB_STORE).delete(path);
      // Committed at once: a page being left (the save of a reload) is gone
      // before a transaction would commit by itself.
      if (tx.commit) tx.commit();
    } catch (e) {
      console.warn('zarnik: cannot keep ' + path + ': ' + e);
    }
  };

  // --- the data files, fetched with the page ---
  // A file of the site as a Response; a compressed one unpacked on the way.
  function fetchFile(url) {
    var packed = COMPRESSED.test(url);
    return fetch(packed ? url + '.gz' : url).then(function (r) {
      if (!r.ok) throw new Error(url + ': ' + r.status);
      if (!packed) return r;
      return new Response(r.body.pipeThrough(new DecompressionStream('gzip')));
    });
  }
  function fetchBytes(url) {
    return fetchFile(url).then(function (r) { return r.arrayBuffer(); })
        .then(function (b) { return new Uint8Array(b); });
  }
  // Without these the browser cannot unpack the site: the page says so.
  var capable = typeof WebAssembly === 'object' && typeof DecompressionStream === 'function';
  // The program's own WebAssembly comes compressed too, compiled as it
  // arrives.
  Module.instantiateWasm = function (imports, receive) {
    if (!capable) {
      status('Tento prohlížeč hru spustit neumí.');
      return {};
    }
    fetchFile('zarnik.wasm').then(function (r) {
      var typed = new Response(r.body, { headers: { 'Content-Type': 'application/wasm' } });
      if (WebAssembly.instantiateStreaming) return WebAssembly.instantiateStreaming(typed, imports);
      return typed.arrayBuffer().then(function (b) { return WebAssembly.instantiate(b, imports); });
    }).then(function (result) {
      receive(result.instance, result.module);
    }, function (e) {
      status('Hru se nepodařilo načíst: ' + e.message);
    });
    return {};
  };
  function keepFile(path, bytes) {
    FS.mkdirTree(path.substring(0, path.lastIndexOf('/')) || '/');
    FS.writeFile(path, bytes);
  }
  function fetchData(name) {
    // A file that cannot be had is left out: the game then says which.
    return fetchBytes('data/' + name).then(function (bytes) {
      return [GAME_DIR + '/' + name, bytes];
    }, function (e) {
      console.warn('zarnik: ' + e.message);
      return null;
    });
  }
  // The files still coming after the first frame: until they are there,
  // the player's keys and clicks wait (system.cpp), so no game starts
  // without its pictures.
  z.pending = LATER.length;
  function loadLater() {
    return Promise.all(LATER.map(function (name) {
      return fetchData(name).then(function (entry) {
        if (entry) keepFile(entry[0], entry[1]);
        z.pending--;
      });
    }));
  }
  function loadEverything() {
    var done = 0, total = DATA.length + 2;
    function step() {
      done++;
      status('Nahrávám hru… ' + Math.round(done * 100 / total) + ' %');
    }
    var files = DATA.map(function (name) {
      return fetchData(name).then(function (entry) {
        step();
        return entry;
      });
    });
    files.push(fetchBytes(GLYPHS.url).then(function (bytes) {
      step();
      return [GLYPHS.path, bytes];
    }, function () { step(); return null; }));
    files.push(openStorage().then(function (database) {
      db = database;
      return readStorage(database);
    }).then(function (kept) { step(); return kept; }));
    return Promise.all(files).then(function (results) {
      var kept = results.pop();
      results.concat(kept).forEach(function (entry) {
        if (entry) keepFile(entry[0], entry[1]);
      });
      pendingStores.splice(0).forEach(function (s) { z.store(s[0], s[1]); });
    });
  }

  Module.preRun = Module.preRun || [];
  Module.preRun.push(function () {
    if (!capable) return;  // the page has said so (instantiateWasm)
    FS.mkdirTree(GAME_DIR);
    FS.chdir(GAME_DIR);
    addRunDependency('zarnik-data');
    loadEverything().then(function () {
      z.loadedAt = performance.now();
      removeRunDependency('zarnik-data');
    }, function (e) {
      console.error('zarnik: ' + e);
      status('Hru se nepodařilo načíst. Zkontrolujte připojení a načtěte stránku znovu.');
    });
  });
  // Every text the page shows is Czech; the browser's own words go to the
  // console.
  Module.onAbort = function (what) {
    console.error('zarnik: ' + what);
    status(typeof WebAssembly !== 'object'
      ? 'Tento prohlížeč hru spustit neumí: chybí mu WebAssembly.'
      : 'Hra se zastavila chybou. Načtěte stránku znovu.');
  };

  // --- the rendered music ---
  var pieces = PIECES.map(function (name) { return { name: name, samples: null }; });
  function decodePieces() {
    var Offline = window.OfflineAudioContext || window.webkitOfflineAudioContext;
    if (!Offline) return Promise.resolve();
    // One after another, so the first is ready soonest.
    return pieces.reduce(function (previous, piece) {
      return previous.then(function () {
        return fetch('data/' + piece.name + '.mp3').then(function (r) {
          if (!r.ok) throw new Error(r.status);
          return r.arrayBuffer();
        }).then(function (encoded) {
          return new Promise(function (resolve, reject) {
            new Offline(2, 1, RATE).decodeAudioData(encoded, resolve, reject);
          });
        }).then(function (buffer) {
          var n = buffer.length, left = buffer.getChannelData(0);
          var right = buffer.numberOfChannels > 1 ? buffer.getChannelData(1) : left;
          var samples = new Int16Array(2 * n);
          for (var i = 0; i < n; i++) {
            samples[2 * i] = Math.max(-32768, Math.min(32767, Math.round(left[i] * 32768)));
            samples[2 * i + 1] = Math.max(-32768, Math.min(32767, Math.round(right[i] * 32768)));
          }
          piece.samples = samples;
        }).catch(function (e) {
          console.warn('zarnik: no music "' + piece.name + '": ' + e);
        });
      });
    }, Promise.resolve());
  }
  z.pieceIndex = function (name) {
    for (var i = 0; i < pieces.length; i++) if (pieces[i].name === name) return i;
    return -1;
  };
  z.pieceFrames = function (i) {
    var p = pieces[i];
    return p && p.samples ? p.samples.length / 2 : 0;
  };
  z.pieceAdd = function (i, from, bus) {
    var s = pieces[i].samples, o = 2 * from;
    for (var k = 0; k < bus.length; k++) bus[k] += s[o + k] / 32768;
  };

  // --- sound: the mixer's output through Web Audio, after a gesture ---
  // The program mixes after each pass of its loop as much as keeps the
  // output LEAD seconds ahead of what is heard, and hands it over here; a
  // worklet on the browser's sound thread plays it. Where worklets are not
  // to be had (a page not served from a secure origin), a script processor
  // on this thread plays it instead.
  var LEAD = 0.06;
  var audio = null;
  function startAudio() {
    if (audio) {
      if (audio.context.state === 'suspended') audio.context.resume();
      return;
    }
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return;
    var context;
    try {
      context = new Context({ sampleRate: RATE, latencyHint: 'interactive' });
    } catch (e) {
      context = new Context();
    }
    audio = { context: context, ready: false, sent: 0, base: 0, send: null,
              step: RATE / context.sampleRate, phase: 0, last: [0, 0] };
    var connect = function (node, send) {
      node.connect(context.destination);
      audio.send = send;
      audio.ready = true;
    };
    if (context.audioWorklet && window.AudioWorkletNode) {
      context.audioWorklet.addModule('zarnik-audio.js').then(function () {
        var node = new AudioWorkletNode(context, 'zarnik-output', {
          numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [2] });
        connect(node, function (piece) { node.port.postMessage(piece, [piece.buffer]); });
      }).catch(function (e) {
        console.warn('zarnik: no sound: ' + e);
      });
    } else {
      var queue = [], offset = 0;
      var processor = context.createScriptProcessor(1024, 0, 2);
      processor.onaudioprocess = function (event) {
        var left = event.outputBuffer.getChannelData(0), right = event.outputBuffer.getChannelData(1);
        var i = 0;
        while (i < left.length && queue.length) {
          var piece = queue[0];
          for (; i < left.length && offset < piece.length; i++, offset += 2) {
            left[i] = piece[offset];
            right[i] = piece[offset + 1];
          }
          if (offset >= piece.length) {
            queue.shift();
            offset = 0;
          }
        }
        for (; i < left.length; i++) left[i] = right[i] = 0;
      };
      connect(processor, function (piece) { queue.push(piece); });
    }
    if (context.state === 'suspended') context.resume();
  }
  z.audioRunning = function () {
    return !!audio && audio.ready && audio.context.state === 'running';
  };
  // Frames of the mixer's the output wants now.
  z.audioWanted = function () {
    if (!z.audioRunning()) return 0;
    var rate = audio.context.sampleRate;
    var heard = (audio.context.currentTime - audio.base) * rate;
    // Behind (the page stood still): what was missed is not made up.
    if (audio.sent < heard) {
      audio.base = audio.context.currentTime;
      audio.sent = 0;
      heard = 0;
    }
    var wanted = LEAD * rate - (audio.sent - heard);
    return wanted > 0 ? Math.min(Math.ceil(wanted * audio.step), 8192) : 0;
  };
  // Takes frames of the mixer's (16-bit interleaved stereo) for the output,
  // resampled where the output does not run at the mixer's rate.
  z.audioPush = function (samples) {
    var frames = samples.length / 2, piece;
    if (audio.step === 1) {
      piece = new Float32Array(samples.length);
      for (var i = 0; i < samples.length; i++) piece[i] = samples[i] / 32768;
    } else {
      var count = Math.floor((frames - audio.phase) / audio.step);
      piece = new Float32Array(2 * Math.max(count, 0));
      for (var j = 0; j < count; j++) {
        var t = audio.phase + j * audio.step, k = Math.floor(t), f = t - k;
        for (var c = 0; c < 2; c++) {
          var a = k === 0 ? audio.last[c] : samples[2 * (k - 1) + c];
          var b = samples[2 * Math.min(k, frames - 1) + c];
          piece[2 * j + c] = (a + (b - a) * f) / 32768;
        }
      }
      audio.phase += count * audio.step - frames;
      audio.last = [samples[2 * frames - 2], samples[2 * frames - 1]];
    }
    audio.sent += piece.length / 2;
    audio.send(piece);
  };
  ['keydown', 'mousedown', 'pointerdown', 'touchend'].forEach(function (type) {
    window.addEventListener(type, startAudio, true);
  });

  // --- the page's controls ---
  function fullscreenElement() {
    return document.fullscreenElement || document.webkitFullscreenElement || null;
  }
  z.toggleFullscreen = function () {
    var root = document.documentElement;
    try {
      if (fullscreenElement()) {
        (document.exitFullscreen || document.webkitExitFullscreen).call(document);
      } else {
        var request = root.requestFullscreen || root.webkitRequestFullscreen;
        var p = request.call(root, { navigationUI: 'hide' });
        // Esc leaves full screen (controls.js keeps it from the game). A
        // phone is held sideways for the game where the browser allows it.
        if (p && p.then) {
          p.then(function () {
            var o = screen.orientation;
            if (z.touchSeen && o && o.lock) return o.lock('landscape');
          }).catch(function () {});
        }
      }
    } catch (e) {
      // Refused (no gesture, or not allowed here): the page stays as it is.
    }
  };
  z.openUrl = function (url) {
    var w = window.open(url, '_blank');
    if (!w) return false;
    try {
      w.opener = null;
    } catch (e) {}
    return true;
  };
  var boxes = [];
  function showNextBox() {
    var host = element('dialog');
    if (!host || !boxes.length || !host.hidden) return;
    var b = boxes[0];
    element('dialog-title').textContent = b.title;
    element('dialog-text').textContent = b.text;
    host.hidden = false;
    element('dialog-ok').focus();
  }
  z.box = function (title, text, kind) {
    if (kind === 1) return window.confirm(title + '\n\n' + text);
    console.info(title + ': ' + text);
    boxes.push({ title: title, text: text });
    showNextBox();
    return true;
  };
  z.firstFrame = function () {
    z.shown = true;
    z.firstFrameAt = performance.now();
    var loading = element('loading');
    if (loading) loading.hidden = true;
    z.canvas.hidden = false;
    // The rest of the site, then the service worker (which then finds the
    // files in the browser's cache).
    Promise.all([loadLater(), decodePieces()]).then(registerWorker);
  };
  z.ended = function () {
    if (audio) audio.context.suspend();
    z.canvas.hidden = true;
    var loading = element('loading');
    if (loading) loading.hidden = true;
    element('ended').hidden = false;
    element('again').focus();
  };
  z.listen = function (layout, leave) {
    // The game runs only while the page has the focus, as a window's does.
    if (!document.hasFocus()) status('Hra čeká na vás: klepněte sem.');
    window.addEventListener('resize', layout);
    document.addEventListener('fullscreenchange', layout);
    document.addEventListener('webkitfullscreenchange', layout);
    // Leaving the page closes the game, which saves; a page brought back
    // from the browser's history starts afresh.
    window.addEventListener('pagehide', leave);
    window.addEventListener('pageshow', function (e) {
      if (e.persisted) location.reload();
    });
  };

  function setUpControls() {
    var full = element('fullscreen');
    if (full) {
      full.addEventListener('click', function () {
        z.toggleFullscreen();
        full.blur();
      });
      // The button shows while the mouse moves and fades away after a
      // while; it sits where the game draws no panel (index.html).
      var idle = 0;
      var wake = function () {
        full.classList.remove('idle');
        clearTimeout(idle);
        idle = setTimeout(function () { full.classList.add('idle'); }, 2500);
      };
      window.addEventListener('mousemove', wake, true);
      wake();
    }
    var again = element('again');
    if (again) again.addEventListener('click', function () { location.reload(); });
    var ok = element('dialog-ok');
    if (ok) {
      ok.addEventListener('click', function () {
        element('dialog').hidden = true;
        boxes.shift();
        showNextBox();
      });
    }
  }
  setUpControls();

  // After one visit the page starts without a network and can be installed.
  function registerWorker() {
    if (!('serviceWorker' in navigator) || location.protocol === 'file:') return;
    navigator.serviceWorker.register('sw.js').catch(function (e) {
      console.warn('zarnik: no offline start: ' + e);
    });
  }
  return z;
})();
