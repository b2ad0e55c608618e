// The page's side of the browser backend, called from C++ (js_calls.h).
// What the page holds (canvas, sound, music, storage) is in Module.zarnik,
// made by page.js.
mergeInto(LibraryManager.library, {
  zarnik_js_canvas_size: function (width, height) {
    var z = Module.zarnik;
    z.canvas.width = width;
    z.canvas.height = height;
    z.context = z.canvas.getContext('2d', { alpha: false });
  },

  zarnik_js_place_canvas: function (x, y, width, height, crisp) {
    var r = window.devicePixelRatio || 1;
    var s = Module.zarnik.canvas.style;
    s.left = x / r + 'px';
    s.top = y / r + 'px';
    s.width = width / r + 'px';
    s.height = height / r + 'px';
    // Whole factors stay sharp pixel for pixel; others are filtered.
    s.imageRendering = crisp ? 'pixelated' : 'auto';
  },

  zarnik_js_present: function (rgba, width, height) {
    var z = Module.zarnik;
    if (!z.context) return;
    var pixels = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
    z.context.putImageData(new ImageData(pixels, width, height), 0, 0);
    if (!z.shown) z.firstFrame();
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

  zarnik_js_listen: function () {
    Module.zarnik.listen(function () { Module._zarnik_web_layout(); },
                         function () { Module._zarnik_web_leave(); });
  },
});
