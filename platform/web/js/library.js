// The page's side of the browser backend, called from C++ (js_calls.h).
// What the page holds (canvas, sound, music, storage) is in Module.zarnik,
// made by page.js.
mergeInto(LibraryManager.library, {
  // The frame goes through the page's presenter (presenter.js).
  zarnik_js_canvas_size: function (width, height) {
    Module.zarnik.presenter.setFrameSize(width, height);
  },

  zarnik_js_place_canvas: function (x, y, width, height, crisp) {
    Module.zarnik.presenter.setPlace(x, y, width, height, crisp);
  },

  zarnik_js_present565: function (pixels, pitch, rows, sx, sy, width, height, dx, dy) {
    var z = Module.zarnik;
    var shown = z.presenter.present565(
        HEAPU16.subarray(pixels >> 1, (pixels >> 1) + pitch * rows), pitch, rows, sx, sy, width,
        height, dx, dy);
    if (shown && !z.shown) z.firstFrame();
    return shown ? 1 : 0;
  },

  zarnik_js_present: function (rgba, width, height) {
    var z = Module.zarnik;
    var pixels = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
    if (z.presenter.presentRGBA(pixels) && !z.shown) z.firstFrame();
  },

  // Module.zarnik.timing, when the benchmark has set it:
  // {at: [], whole: [], pass: [], present: []}.
  zarnik_js_frame_time: function (whole, pass, present) {
    var t = Module.zarnik.timing;
    if (t) {
      t.at.push(performance.now());
      t.whole.push(whole);
      t.pass.push(pass);
      t.present.push(present);
    }
  },

  zarnik_js_page_size: function (out) {
    var r = window.devicePixelRatio || 1;
    HEAP32[out >> 2] = Math.round(window.innerWidth * r);
    HEAP32[(out >> 2) + 1] = Math.round(window.innerHeight * r);
    HEAP32[(out >> 2) + 2] = Math.round(window.screen.width * r);
    HEAP32[(out >> 2) + 3] = Math.round(window.screen.height * r);
  },

  zarnik_js_cursor: function (visible) {
    Module.zarnik.canvas.style.cursor = visible ? 'auto' : 'none';
  },

  zarnik_js_toggle_fullscreen: function () {
    Module.zarnik.toggleFullscreen();
  },

  zarnik_js_open_url: function (url) {
    return Module.zarnik.openUrl(UTF8ToString(url)) ? 1 : 0;
  },

  zarnik_js_box: function (title, text, kind) {
    return Module.zarnik.box(UTF8ToString(title), UTF8ToString(text), kind) ? 1 : 0;
  },

  zarnik_js_audio_running: function () {
    return Module.zarnik.audioRunning() ? 1 : 0;
  },

  zarnik_js_audio_wanted: function () {
    return Module.zarnik.audioWanted();
  },

  zarnik_js_audio_push: function (samples, frames) {
    Module.zarnik.audioPush(HEAP16.subarray(samples >> 1, (samples >> 1) + 2 * frames));
  },

  zarnik_js_piece: function (name) {
    return Module.zarnik.pieceIndex(UTF8ToString(name));
  },

  zarnik_js_piece_frames: function (piece) {
    return Module.zarnik.pieceFrames(piece);
  },

  zarnik_js_piece_add: function (piece, from, bus, count) {
    Module.zarnik.pieceAdd(piece, from, HEAPF32.subarray(bus >> 2, (bus >> 2) + 2 * count));
  },

  zarnik_js_store: function (path, bytes, length) {
    var data = length < 0 ? null : HEAPU8.slice(bytes, bytes + length);
    Module.zarnik.store(UTF8ToString(path), data);
  },

  zarnik_js_share: function (path, file) {
    Module.zarnik.share(UTF8ToString(path), file);
  },

  zarnik_js_merge_shared: function (file) {
    return Module.zarnik.mergeShared(file) ? 1 : 0;
  },

  zarnik_js_shared_copy: function (out) {
    Module.zarnik.sharedCopy(out);
  },

  zarnik_js_shared_result: function (bytes, length, through) {
    Module.zarnik.sharedResult(bytes, length, through);
  },

  zarnik_js_text_input: function (on) {
    Module.zarnik.textInput(on !== 0);
  },

  zarnik_js_ended: function () {
    Module.zarnik.ended();
  },

  zarnik_js_files_pending: function () {
    return Module.zarnik.pending || 0;
  },

  zarnik_js_listen: function () {
    Module.zarnik.listen(function () { Module._zarnik_web_layout(); },
                         function () { Module._zarnik_web_leave(); });
  },
});
