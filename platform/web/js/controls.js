// The page's manners and a touch player's controls, after page.js.
// - No context menu over the game (the right button fires a missile).
// - Esc that leaves full screen only leaves it; the game never sees it.
// - Once a touch was seen: buttons for what a keyboard does (thrust up and
//   down, shots, missiles, pause, Esc), beside the picture where there is
//   room, translucent over its corners where not; a finger on the picture
//   is the mouse (the ship points at it, a tap clicks); a real text field
//   brings up the phone's keyboard while the game takes the name.
// - On a touch screen held upright the page asks to turn it.
(function (z) {
  'use strict';
  var VK = { enter: 13, backspace: 8, esc: 27, pause: 19, space: 32, up: 38, down: 40 };
  function element(id) { return document.getElementById(id); }
  function fullscreenElement() {
    return document.fullscreenElement || document.webkitFullscreenElement || null;
  }
  function program(name) {
    var f = Module['_' + name];
    return typeof f === 'function' && Module.calledRun ? f : null;
  }
  function touch(kind, x, y, button) {
    var f = program('zarnik_web_touch');
    if (f) f(kind, x, y, button);
  }
  function key(vk, down) {
    var f = program('zarnik_web_touch_key');
    if (f) f(down ? 1 : 0, vk);
  }
  function tapKey(vk) {
    key(vk, true);
    key(vk, false);
  }

  // --- manners ---
  document.addEventListener('contextmenu', function (e) { e.preventDefault(); });
  // Before the program's own key listeners (these are the first on the
  // window): Esc in full screen, and what a phone's keyboard types into the
  // name field (its key events carry no key), are not the game's keys.
  var leftFullscreenAt = -1e9;
  var escTaken = false;
  function onKey(e) {
    if (e.key === 'Escape' || e.code === 'Escape') {
      var leaving = fullscreenElement() !== null;
      // Some browsers leave full screen first and tell the page after.
      var justLeft = performance.now() - leftFullscreenAt < 150;
      if (e.type === 'keydown' && (leaving || justLeft)) {
        escTaken = true;
        e.stopImmediatePropagation();
        if (leaving) {
          var exit = document.exitFullscreen || document.webkitExitFullscreen;
          try {
            var p = exit.call(document);
            if (p && p.catch) p.catch(function () {});
          } catch (err) {}
        }
        return;
      }
      if (e.type === 'keyup' && escTaken) {
        escTaken = false;
        e.stopImmediatePropagation();
        return;
      }
    }
    if (e.target === field && (e.isComposing || e.keyCode === 229 ||
                                e.key === 'Unidentified' || e.key === 'Process'))
      e.stopImmediatePropagation();
  }
  window.addEventListener('keydown', onKey, true);
  window.addEventListener('keyup', onKey, true);
  function onFullscreenChange() {
    if (!fullscreenElement()) leftFullscreenAt = performance.now();
  }
  document.addEventListener('fullscreenchange', onFullscreenChange);
  document.addEventListener('webkitfullscreenchange', onFullscreenChange);

  // --- the name field: what is typed goes to the game as keys ---
  var field = element('name-field');
  z.textInput = function (on) {
    if (!field) return;
    z.nameWanted = on;
    if (on && z.touchSeen) {
      field.hidden = false;
      field.value = '';
      try {
        field.focus({ preventScroll: true });
      } catch (e) {}
    } else if (!on) {
      if (document.activeElement === field) field.blur();
      field.hidden = true;
    }
  };
  if (field) {
    var typed = function (text) {
      for (var i = 0; i < text.length; i++) {
        var c = text.charAt(i).toUpperCase();
        if (c === ' ') tapKey(VK.space);
        else if (c === '\n' || c === '\r') tapKey(VK.enter);
        else if (c >= 'A' && c <= 'Z') tapKey(c.charCodeAt(0));
        // Anything else the game would not take either.
      }
    };
    field.addEventListener('beforeinput', function (e) {
      var t = e.inputType || '';
      if (t === 'deleteContentBackward') tapKey(VK.backspace);
      else if (t === 'insertLineBreak' || t === 'insertParagraph') tapKey(VK.enter);
      else if (e.data) typed(e.data);
      // The field stays empty: the game shows the name and keeps its rules.
      if (!e.isComposing) e.preventDefault();
    });
    field.addEventListener('input', function () {
      // A composition the browser would not let go of: what it made counts.
      if (field.value) {
        typed(field.value);
        field.value = '';
      }
    });
    field.addEventListener('blur', function () {
      // The keyboard put away: the name is done, as with Enter.
      if (z.nameWanted && !field.hidden) tapKey(VK.enter);
    });
  }

  // --- touch ---
  z.touchSeen = false;
  var bar = element('touch');
  var turn = element('turn');
  function sawTouch() {
    if (z.touchSeen) return;
    z.touchSeen = true;
    document.documentElement.classList.add('touch');
    if (bar) bar.hidden = false;
    place();
  }
  // A finger on the picture is the mouse: the first one down steers; a
  // short touch that hardly moved is a click where it ended.
  var steer = null;
  var TAP_MS = 350, TAP_MOVE = 12;
  var canvas = z.canvas;
  function onCanvasPointer(e) {
    if (e.pointerType !== 'touch') return;
    e.preventDefault();
    if (e.type === 'pointerdown') {
      sawTouch();
      if (steer) return;
      steer = { id: e.pointerId, x: e.clientX, y: e.clientY, at: performance.now(), moved: 0 };
      try {
        canvas.setPointerCapture(e.pointerId);
      } catch (err) {}
      touch(0, e.clientX, e.clientY, 0);
      return;
    }
    if (!steer || e.pointerId !== steer.id) return;
    steer.moved = Math.max(steer.moved, Math.abs(e.clientX - steer.x) + Math.abs(e.clientY - steer.y));
    if (e.type === 'pointermove') {
      touch(0, e.clientX, e.clientY, 0);
      return;
    }
    var tap = e.type === 'pointerup' && performance.now() - steer.at < TAP_MS && steer.moved < TAP_MOVE;
    steer = null;
    if (tap) {
      touch(0, e.clientX, e.clientY, 0);
      touch(1, e.clientX, e.clientY, 0);
      touch(2, e.clientX, e.clientY, 0);
    }
  }
  if (canvas) {
    ['pointerdown', 'pointermove', 'pointerup', 'pointercancel'].forEach(function (t) {
      canvas.addEventListener(t, onCanvasPointer);
    });
  }
  // The browser's own handling of a touch (scrolling, zoom, the mouse
  // events it makes of a tap) is kept off the game and its controls.
  function noDefault(e) {
    if (e.target === field) return;
    if (e.cancelable) e.preventDefault();
    sawTouch();
  }
  ['touchstart', 'touchmove', 'touchend'].forEach(function (t) {
    document.addEventListener(t, noDefault, { passive: false });
  });
  // A touch anywhere, the bars beside the picture too, brings the controls.
  document.addEventListener('pointerdown', function (e) {
    if (e.pointerType === 'touch') sawTouch();
  }, true);

  // The controls: each holds a key or a mouse button while a finger is on
  // it; several at once work.
  function holdControl(button) {
    var what = button.getAttribute('data-hold');
    var held = {};
    var count = 0;
    function press(down) {
      if (what === 'shots') touch(down ? 3 : 4, 0, 0, 0);
      else if (what === 'missiles') touch(down ? 3 : 4, 0, 0, 2);
      else key(VK[what], down);
    }
    button.addEventListener('pointerdown', function (e) {
      e.preventDefault();
      sawTouch();
      if (held[e.pointerId]) return;
      held[e.pointerId] = true;
      try {
        button.setPointerCapture(e.pointerId);
      } catch (err) {}
      if (count++ === 0) {
        button.classList.add('held');
        press(true);
      }
    });
    var release = function (e) {
      if (!held[e.pointerId]) return;
      delete held[e.pointerId];
      if (--count === 0) {
        button.classList.remove('held');
        press(false);
      }
    };
    button.addEventListener('pointerup', release);
    button.addEventListener('pointercancel', release);
  }
  if (bar) Array.prototype.forEach.call(bar.querySelectorAll('[data-hold]'), holdControl);

  // Beside the picture where a bar is wide (or high) enough for the
  // controls, else over the picture's lower corners, translucent.
  function place() {
    if (!canvas || !bar) return;
    var w = window.innerWidth, h = window.innerHeight;
    var r = canvas.hidden ? { left: 0, top: 0, right: w, bottom: h } : canvas.getBoundingClientRect();
    var size = Math.round(Math.max(44, Math.min(76, Math.min(w, h) * 0.15)));
    var gap = Math.round(size / 6);
    document.documentElement.style.setProperty('--control', size + 'px');
    var cluster = 2 * size + 3 * gap;
    var left = r.left, right = w - r.right, below = h - r.bottom, above = r.top;
    var mode;
    if (Math.min(left, right) >= size + 2 * gap) mode = 'beside';
    else if (below >= cluster) mode = 'below';
    else mode = 'over';
    bar.className = mode;
    var l = element('controls-left'), rr = element('controls-right'), top = element('controls-top');
    if (mode === 'beside') {
      l.style.left = Math.round((left - size) / 2) + 'px';
      rr.style.left = Math.round(r.right + (right - size) / 2) + 'px';
      l.style.top = rr.style.top = Math.round(Math.max(gap, h - cluster)) + 'px';
      top.style.left = Math.round(r.right + (right - size) / 2) + 'px';
      top.style.top = gap + 'px';
      top.classList.add('column');
    } else if (mode === 'below') {
      l.style.left = gap + 'px';
      rr.style.left = w - size - gap + 'px';
      l.style.top = rr.style.top = Math.round(r.bottom + (below - cluster) / 2 + gap) + 'px';
      top.style.left = Math.round(w / 2 - (3 * size + 2 * gap) / 2) + 'px';
      top.style.top = Math.round(r.bottom + (below - size) / 2) + 'px';
      top.classList.remove('column');
    } else {
      l.style.left = Math.round(r.left + gap) + 'px';
      rr.style.left = Math.round(r.right - size - gap) + 'px';
      l.style.top = rr.style.top = Math.round(r.bottom - cluster) + 'px';
      top.style.left = Math.round(r.left + (r.right - r.left) / 2 - (3 * size + 2 * gap) / 2) + 'px';
      top.style.top = Math.round(r.top + gap) + 'px';
      top.classList.remove('column');
    }
    // Upright, the picture is small: the page asks to turn the device.
    var upright = h > w;
    if (turn) {
      turn.hidden = !(z.touchSeen && upright);
      turn.style.top = Math.max(0, Math.round(above / 2 - 30)) + 'px';
    }
  }
  z.placeControls = place;
  var placing = 0;
  function placeSoon() {
    cancelAnimationFrame(placing);
    placing = requestAnimationFrame(function () { requestAnimationFrame(place); });
  }
  window.addEventListener('resize', placeSoon);
  window.addEventListener('orientationchange', placeSoon);
  document.addEventListener('fullscreenchange', placeSoon);
  if (window.ResizeObserver && canvas) new ResizeObserver(placeSoon).observe(canvas);
  var full = element('touch-full');
  if (full) {
    // On the finger's release: a touch whose press the page took makes no
    // click, and full screen needs the gesture itself.
    full.addEventListener('pointerup', function () {
      z.toggleFullscreen();
    });
  }
})(Module.zarnik);
