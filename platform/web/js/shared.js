// The files every tab of the game shares (the score table), after page.js.
// Each tab has a copy in its program's file system; the copy in the
// browser's storage is the shared one. When the game has merged into its
// copy (its results at the end of a game), the same merge is made on the
// shared copy: under a lock every tab of the site takes, one transaction
// reads the shared copy, the program makes the merge on its bytes, and the
// transaction writes them. What was written goes to every open tab through
// a broadcast channel; each tab's copy becomes the shared one (with merges
// of its own still waiting made on it) and its game reads it again.
(function (z) {
  'use strict';
  var paths = [];  // a shared file's number (the program's) -> its path
  var numbers = {};
  var handed = null;
  var result = null;
  var queued = [];
  var failures = [];
  var MAX_TRIES = 5;
  var channel = null;
  try {
    channel = new BroadcastChannel('zarnik-files');
  } catch (e) {
    // Without it a tab sees the others' results when it next writes.
  }

  // Bytes handed to the program with a call (null: none).
  function hand(bytes, call) {
    handed = bytes;
    try {
      call(bytes ? bytes.length : -1);
    } finally {
      handed = null;
    }
  }
  function arrived(file, bytes) {
    hand(bytes, function (n) { Module._zarnik_web_shared_arrived(file, n); });
  }

  z.share = function (path, file) {
    paths[file] = path;
    numbers[path] = file;
  };
  z.sharedCopy = function (out) { HEAPU8.set(handed, out); };
  z.sharedResult = function (bytes, length, through) {
    result = { bytes: HEAPU8.slice(bytes, bytes + length), through: through };
  };

  if (channel) {
    channel.onmessage = function (event) {
      var d = event.data;
      if (!d || typeof d.path !== 'string' || !(d.bytes instanceof Uint8Array)) return;
      if (Object.prototype.hasOwnProperty.call(numbers, d.path)) arrived(numbers[d.path], d.bytes);
    };
  }

  // Reads, merges and writes the shared copy in one transaction; done()
  // once it has ended either way.
  function transact(database, file, done) {
    var path = paths[file], out = null, tx;
    try {
      tx = database.transaction(z.storeName, 'readwrite');
    } catch (e) {
      failed(file, e);
      done();
      return;
    }
    var store = tx.objectStore(z.storeName);
    var get = store.get(path);
    get.onsuccess = function () {
      var present = get.result instanceof Uint8Array ? get.result : null;
      result = null;
      hand(present, function (n) { Module._zarnik_web_shared_merge(file, n); });
      out = result;
      if (out) store.put(out.bytes, path);
      if (tx.commit) tx.commit();
    };
    tx.oncomplete = function () {
      failures[file] = 0;
      if (out) {
        Module._zarnik_web_shared_written(file, out.through);
        arrived(file, out.bytes);
        if (channel) channel.postMessage({ path: path, bytes: out.bytes });
      }
      done();
    };
    tx.onabort = function () {
      failed(file, tx.error);
      done();
    };
  }
  // The merges wait in the program; they are tried again a few times.
  function failed(file, why) {
    console.warn('zarnik: cannot keep ' + paths[file] + ': ' + why);
    failures[file] = (failures[file] || 0) + 1;
    if (failures[file] < MAX_TRIES)
      setTimeout(function () { z.mergeShared(file); }, 500 * failures[file]);
  }

  z.mergeShared = function (file) {
    var database = z.storage();
    if (!database || paths[file] === undefined) return false;
    // One request waiting for the lock takes every merge made meanwhile.
    if (queued[file]) return true;
    queued[file] = true;
    var locked = function () {
      queued[file] = false;
      return new Promise(function (resolve) { transact(database, file, resolve); });
    };
    if (navigator.locks && navigator.locks.request) {
      navigator.locks.request('zarnik ' + paths[file], locked).catch(function (e) {
        queued[file] = false;
        failed(file, e);
      });
    } else {
      // The storage's own order still keeps the transactions apart.
      locked();
    }
    return true;
  };
})(Module.zarnik);
