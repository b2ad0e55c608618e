// How the game's frames reach the screen (put before the program's own
// JavaScript, after page.js). The back surface is 16-bit RGB565; through
// WebGL it is uploaded as it is, as an RGB565 texture, and the GPU scales it
// onto a canvas of the picture's size on the screen: sharp (nearest pixel)
// at a whole factor, filtered otherwise, and averaged over the area each
// screen pixel covers when the picture is shown smaller than it is drawn,
// so thin lines and text stay legible. Where WebGL is missing, or only
// emulated on the processor, the canvas is a 2D one of the frame's own size
// that the browser scales (the program then hands over RGBA). A lost WebGL context is handled: until the browser
// gives it back, frames go to a 2D canvas laid over the page's canvas
// (which keeps the input); once it is back, WebGL takes over again.
//
// ZarnikPresenter(canvas) is the whole of it, so tests can make one on a
// canvas of their own; Module.zarnik.presenter is the page's.
var ZarnikPresenter = (function () {
  'use strict';

  var VERTEX = [
    'attribute vec2 a_corner;',
    'uniform vec4 u_place;',   // where the frame lands: x0, y0, x1, y1 (clip space)
    'uniform vec4 u_source;',  // which part of the texture: u0, v0, u1, v1
    'varying vec2 v_at;',
    'void main() {',
    '  v_at = mix(u_source.xy, u_source.zw, a_corner);',
    '  gl_Position = vec4(mix(u_place.xy, u_place.zw, a_corner), 0.0, 1.0);',
    '}'].join('\n');
  // One sample where a screen pixel covers at most one frame pixel; where
  // it covers more, taps x taps bilinear samples spread evenly over its
  // footprint (u_footprint, in texture units), at most half a frame pixel
  // apart, averaged: an area filter.
  var FRAGMENT = [
    '#ifdef GL_FRAGMENT_PRECISION_HIGH',
    'precision highp float;',
    '#else',
    'precision mediump float;',
    '#endif',
    'uniform sampler2D u_frame;',
    'uniform vec2 u_footprint;',
    'uniform int u_taps;',
    'varying vec2 v_at;',
    'void main() {',
    '  if (u_taps <= 1) {',
    '    gl_FragColor = texture2D(u_frame, v_at);',
    '    return;',
    '  }',
    '  float n = float(u_taps);',
    '  vec4 sum = vec4(0.0);',
    '  for (int j = 0; j < 8; j++) {',
    '    if (j >= u_taps) break;',
    '    for (int i = 0; i < 8; i++) {',
    '      if (i >= u_taps) break;',
    '      vec2 o = (vec2(float(i), float(j)) + 0.5) / n - 0.5;',
    '      sum += texture2D(u_frame, v_at + o * u_footprint);',
    '    }',
    '  }',
    '  gl_FragColor = sum / (n * n);',
    '}'].join('\n');
  var MAX_TAPS = 8;  // the loops' bound in FRAGMENT
  var ATTRIBUTES = { alpha: false, antialias: false, depth: false, stencil: false,
                     premultipliedAlpha: false, preserveDrawingBuffer: false };

  function Presenter(canvas, options) {
    this.canvas = canvas;
    this.frame = { width: 0, height: 0 };   // the back surface's size (the mode)
    this.place = null;                      // where the canvas lies, device pixels
    this.gl = null;
    this.kind = '2d';
    this.lost = false;
    this.overlay = null;                    // the 2D canvas while WebGL is lost
    this.context2d = null;
    this.last = null;                       // where the uploaded frame lies
    this.source = null;                     // the last 16-bit frame (a view)
    var want = options && options.kind;
    if (want !== '2d') this.startGL(want);
    if (!this.gl) {
      this.context2d = canvas.getContext('2d', { alpha: false });
      // The canvas went to a WebGL that then failed: a 2D one over it.
      if (!this.context2d) this.showOverlay(true);
    }
    this.listenForLoss();
  }

  // WebGL emulated on the processor (no GPU at hand): there the browser's
  // own 2D canvas costs less. Measured in headless Chromium on 2 cores: a
  // 1920 x 1080 WebGL canvas drawn each frame made 13-17 frames a second
  // through SwiftShader, the 2D canvas of the same size 60 (bench/web,
  // docs/performance.md).
  var SOFTWARE = /SwiftShader|llvmpipe|softpipe|Software|Basic Render/i;

  function softwareRenderer(gl) {
    var info = gl.getExtension('WEBGL_debug_renderer_info');
    var name = info ? gl.getParameter(info.UNMASKED_RENDERER_WEBGL) : gl.getParameter(gl.RENDERER);
    return SOFTWARE.test(String(name));
  }

  // Whether a GPU draws for WebGL of this kind: asked of a canvas of its
  // own, as a canvas once asked for WebGL can no longer be a 2D one.
  function onGPU(kind) {
    var gl = null;
    try {
      gl = document.createElement('canvas').getContext(
          kind, Object.assign({ failIfMajorPerformanceCaveat: true }, ATTRIBUTES));
    } catch (e) {}
    if (!gl) return false;
    var software = softwareRenderer(gl);
    var lose = gl.getExtension('WEBGL_lose_context');
    if (lose) lose.loseContext();
    return !software;
  }

  // want: 'webgl2' or 'webgl' (that one, even emulated), else the best one
  // a GPU draws.
  Presenter.prototype.startGL = function (want) {
    var forced = want === 'webgl' || want === 'webgl2';
    var kinds = forced ? [want] : ['webgl2', 'webgl'];
    for (var i = 0; i < kinds.length && !this.gl; i++) {
      if (!forced && !onGPU(kinds[i])) continue;
      try {
        this.gl = this.canvas.getContext(kinds[i], ATTRIBUTES);
        if (this.gl) this.kind = kinds[i];
      } catch (e) {
        this.gl = null;
      }
    }
    if (this.gl && !this.build()) this.gl = null;
    if (!this.gl) this.kind = '2d';
  };

  // The program, the corner buffer and the texture. False when the context
  // cannot make them (it was lost meanwhile, or shaders are refused).
  Presenter.prototype.build = function () {
    var gl = this.gl;
    function shader(type, text) {
      var s = gl.createShader(type);
      gl.shaderSource(s, text);
      gl.compileShader(s);
      return gl.getShaderParameter(s, gl.COMPILE_STATUS) ? s : null;
    }
    var vs = shader(gl.VERTEX_SHADER, VERTEX), fs = shader(gl.FRAGMENT_SHADER, FRAGMENT);
    if (!vs || !fs) return false;
    var program = gl.createProgram();
    gl.attachShader(program, vs);
    gl.attachShader(program, fs);
    gl.bindAttribLocation(program, 0, 'a_corner');
    gl.linkProgram(program);
    if (!gl.getProgramParameter(program, gl.LINK_STATUS)) return false;
    gl.useProgram(program);
    this.uniforms = {
      place: gl.getUniformLocation(program, 'u_place'),
      source: gl.getUniformLocation(program, 'u_source'),
      footprint: gl.getUniformLocation(program, 'u_footprint'),
      taps: gl.getUniformLocation(program, 'u_taps'),
    };
    gl.uniform1i(gl.getUniformLocation(program, 'u_frame'), 0);
    var corners = gl.createBuffer();
    gl.bindBuffer(gl.ARRAY_BUFFER, corners);
    gl.bufferData(gl.ARRAY_BUFFER, new Float32Array([0, 0, 1, 0, 0, 1, 1, 1]), gl.STATIC_DRAW);
    gl.enableVertexAttribArray(0);
    gl.vertexAttribPointer(0, 2, gl.FLOAT, false, 0, 0);
    this.texture = gl.createTexture();
    gl.activeTexture(gl.TEXTURE0);
    gl.bindTexture(gl.TEXTURE_2D, this.texture);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_S, gl.CLAMP_TO_EDGE);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_T, gl.CLAMP_TO_EDGE);
    // Rows of 16-bit pixels: any even length.
    gl.pixelStorei(gl.UNPACK_ALIGNMENT, 2);
    gl.clearColor(0, 0, 0, 1);
    gl.disable(gl.BLEND);
    gl.disable(gl.DEPTH_TEST);
    this.textureSize = { width: 0, height: 0 };
    this.filter = -1;
    this.program = program;
    return !gl.isContextLost();
  };

  Presenter.prototype.listenForLoss = function () {
    var self = this;
    this.canvas.addEventListener('webglcontextlost', function (e) {
      // Asks the browser to give the context back; meanwhile 2D.
      e.preventDefault();
      self.lost = true;
      self.showOverlay(true);
    }, false);
    this.canvas.addEventListener('webglcontextrestored', function () {
      if (!self.gl || !self.build()) return;
      self.lost = false;
      self.applyPlace();
      // The 2D canvas stays until WebGL has drawn a frame of its own.
    }, false);
  };

  Presenter.prototype.showOverlay = function (on) {
    if (!on) {
      if (this.overlay) this.overlay.remove();
      this.overlay = null;
      return;
    }
    if (this.overlay || !this.canvas.parentNode) return;
    var o = document.createElement('canvas');
    o.className = 'zarnik-fallback';
    // The page's canvas beneath keeps the mouse (and its cursor).
    o.style.position = 'absolute';
    o.style.pointerEvents = 'none';
    o.width = this.frame.width;
    o.height = this.frame.height;
    this.canvas.parentNode.insertBefore(o, this.canvas.nextSibling);
    this.overlay = o;
    this.overlayContext = o.getContext('2d', { alpha: false });
    this.applyPlace();
  };

  // Whether frames go through WebGL now: the program hands over its 16-bit
  // frame as it is then, else RGBA for a 2D canvas.
  Presenter.prototype.usesGL = function () { return !!this.gl && !this.lost; };

  // The back surface's size (a new mode).
  Presenter.prototype.setFrameSize = function (width, height) {
    this.frame = { width: width, height: height };
    this.last = null;
    if (!this.gl) {
      this.canvas.width = width;
      this.canvas.height = height;
    }
    if (this.overlay) {
      this.overlay.width = width;
      this.overlay.height = height;
    }
    this.applyPlace();
  };

  // Where the picture lies on the page, in device pixels; crisp: a whole
  // factor (drawn pixel for pixel).
  Presenter.prototype.setPlace = function (x, y, width, height, crisp) {
    this.place = { x: x, y: y, width: width, height: height, crisp: !!crisp };
    this.applyPlace();
  };

  Presenter.prototype.applyPlace = function () {
    var p = this.place;
    if (!p) return;
    var r = window.devicePixelRatio || 1;
    var targets = [this.canvas];
    if (this.overlay) targets.push(this.overlay);
    targets.forEach(function (c) {
      var s = c.style;
      s.left = p.x / r + 'px';
      s.top = p.y / r + 'px';
      s.width = p.width / r + 'px';
      s.height = p.height / r + 'px';
    });
    // A 2D canvas is scaled by the browser: sharp at a whole factor.
    var rendering = p.crisp ? 'pixelated' : 'auto';
    if (!this.gl) this.canvas.style.imageRendering = rendering;
    if (this.overlay) this.overlay.style.imageRendering = rendering;
    if (this.gl) {
      // The GPU scales: the canvas has the screen's pixels.
      var w = Math.max(1, Math.round(p.width)), h = Math.max(1, Math.round(p.height));
      if (this.canvas.width !== w) this.canvas.width = w;
      if (this.canvas.height !== h) this.canvas.height = h;
    }
  };

  // The filter for the present scale: nearest at a whole factor, else
  // linear (with the area taps when shrinking).
  Presenter.prototype.setFilter = function (nearest) {
    var gl = this.gl, f = nearest ? gl.NEAREST : gl.LINEAR;
    if (this.filter === f) return;
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, f);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, f);
    this.filter = f;
  };

  // A 16-bit frame: rows of `pitch` pixels, `rows` of them, from `pixels`
  // (a Uint16Array view); the part (sx, sy, w, h) goes to (dx, dy) of the
  // frame, the rest is black. False when WebGL cannot take it now.
  Presenter.prototype.present565 = function (pixels, pitch, rows, sx, sy, w, h, dx, dy) {
    // The frame stays the program's; the view is kept for tests.
    this.source = { pixels: pixels, pitch: pitch, rows: rows };
    if (!this.usesGL()) return false;
    var gl = this.gl;
    if (this.textureSize.width !== pitch || this.textureSize.height !== rows) {
      gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGB, pitch, rows, 0, gl.RGB, gl.UNSIGNED_SHORT_5_6_5,
                    pixels);
      this.textureSize = { width: pitch, height: rows };
    } else {
      gl.texSubImage2D(gl.TEXTURE_2D, 0, 0, 0, pitch, rows, gl.RGB, gl.UNSIGNED_SHORT_5_6_5,
                       pixels);
    }
    this.last = { sx: sx, sy: sy, w: w, h: h, dx: dx, dy: dy };
    this.draw(this.canvas.width, this.canvas.height, this.place ? this.place.crisp : true);
    if (this.overlay) this.showOverlay(false);
    return true;
  };

  // Draws the uploaded frame onto a target of width x height pixels.
  Presenter.prototype.draw = function (width, height, crisp) {
    var gl = this.gl, l = this.last, f = this.frame;
    if (!l || f.width <= 0 || f.height <= 0) return;
    var scale = Math.min(width / f.width, height / f.height);
    var taps = scale < 1 ? Math.min(MAX_TAPS, Math.ceil(2 / scale - 1e-6)) : 1;
    gl.viewport(0, 0, width, height);
    gl.clear(gl.COLOR_BUFFER_BIT);
    this.setFilter(crisp);
    var tw = this.textureSize.width, th = this.textureSize.height;
    gl.uniform4f(this.uniforms.place, 2 * l.dx / f.width - 1, 1 - 2 * l.dy / f.height,
                 2 * (l.dx + l.w) / f.width - 1, 1 - 2 * (l.dy + l.h) / f.height);
    gl.uniform4f(this.uniforms.source, l.sx / tw, l.sy / th, (l.sx + l.w) / tw,
                 (l.sy + l.h) / th);
    gl.uniform2f(this.uniforms.footprint, 1 / (scale * tw), 1 / (scale * th));
    gl.uniform1i(this.uniforms.taps, taps);
    gl.drawArrays(gl.TRIANGLE_STRIP, 0, 4);
  };

  Presenter.prototype.redraw = function () {
    if (this.usesGL()) this.draw(this.canvas.width, this.canvas.height,
                                 this.place ? this.place.crisp : true);
  };

  // A frame of RGBA bytes of the frame's size, for the 2D canvas (or the
  // one laid over while WebGL is lost).
  Presenter.prototype.presentRGBA = function (rgba) {
    var context = this.overlay ? this.overlayContext : this.context2d;
    if (!context) return false;
    var f = this.frame;
    context.putImageData(new ImageData(rgba, f.width, f.height), 0, 0);
    return true;
  };

  // For tests: the frame as shown, at the frame's own size, one RGBA pixel
  // per frame pixel, rows from the top ([width, height, Uint8Array]).
  // Through WebGL it is drawn once more, pixel for pixel, into a texture of
  // its own and read back, so what the GPU took from the upload is seen.
  Presenter.prototype.framePixels = function () {
    var f = this.frame, out = new Uint8Array(f.width * f.height * 4);
    if (!this.usesGL()) {
      var context = this.overlay ? this.overlayContext : this.context2d;
      out.set(context.getImageData(0, 0, f.width, f.height).data);
      return [f.width, f.height, out];
    }
    var gl = this.gl;
    var target = gl.createTexture();
    gl.bindTexture(gl.TEXTURE_2D, target);
    gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA, f.width, f.height, 0, gl.RGBA, gl.UNSIGNED_BYTE,
                  null);
    var fb = gl.createFramebuffer();
    gl.bindFramebuffer(gl.FRAMEBUFFER, fb);
    gl.framebufferTexture2D(gl.FRAMEBUFFER, gl.COLOR_ATTACHMENT0, gl.TEXTURE_2D, target, 0);
    gl.bindTexture(gl.TEXTURE_2D, this.texture);
    this.draw(f.width, f.height, true);
    var flipped = new Uint8Array(out.length);
    gl.readPixels(0, 0, f.width, f.height, gl.RGBA, gl.UNSIGNED_BYTE, flipped);
    gl.bindFramebuffer(gl.FRAMEBUFFER, null);
    gl.deleteFramebuffer(fb);
    gl.deleteTexture(target);
    this.redraw();
    var row = f.width * 4;
    for (var y = 0; y < f.height; y++)
      out.set(flipped.subarray((f.height - 1 - y) * row, (f.height - y) * row), y * row);
    return [f.width, f.height, out];
  };

  // For tests: the canvas's own pixels as the screen gets them (drawn anew
  // and read in the same task), rows from the top.
  Presenter.prototype.screenPixels = function () {
    if (!this.usesGL()) return this.framePixels();
    var gl = this.gl, w = this.canvas.width, h = this.canvas.height;
    this.redraw();
    var flipped = new Uint8Array(w * h * 4), out = new Uint8Array(w * h * 4);
    gl.readPixels(0, 0, w, h, gl.RGBA, gl.UNSIGNED_BYTE, flipped);
    for (var y = 0; y < h; y++)
      out.set(flipped.subarray((h - 1 - y) * w * 4, (h - y) * w * 4), y * w * 4);
    return [w, h, out];
  };

  return Presenter;
})();

// The page's presenter; its canvas is the page's. A page may choose by
// setting window.zarnikPresenter before the program starts: '2d', or
// 'webgl2' or 'webgl' for that WebGL even where it is emulated.
if (typeof Module !== 'undefined' && Module.zarnik && Module.zarnik.canvas) {
  (function () {
    var style = document.createElement('style');
    // The laid-over 2D canvas hides with the page's canvas.
    style.textContent = '#canvas[hidden] + canvas.zarnik-fallback { display: none; }';
    document.head.appendChild(style);
    var z = Module.zarnik;
    z.presenter = new ZarnikPresenter(z.canvas, { kind: window.zarnikPresenter });
  })();
}
