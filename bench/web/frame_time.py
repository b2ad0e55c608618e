#!/usr/bin/env python3
"""The game in the browser, timed in headless Chromium: frames in play, the
first visit's downloads, and the busy play frame in WebAssembly against the
native one of the same run.

Usage: bench/web/frame_time.py [WEB_BUILD_DIR [HOST_BUILD_DIR [WASM_BUILD_DIR]]]
                               [--seconds N]
                               [--runs N] [--only play,visit,busy]
                               [--presenter 2d|webgl]

play   The release's site (WEB_BUILD_DIR/site) at 800 x 600 and
       1920 x 1080 (zarnik.ini's size, the window as large): a game is
       started, the ship fires shots and homing missiles, and for N seconds
       (default 10) every requestAnimationFrame callback is timed (the whole
       callback: the pass of the message loop, the music, the sound fed),
       the interval between callbacks, and in each pass that showed a
       frame the game's part (the pass less the present) and the present
       (the frame's upload and draw through WebGL, or its conversion and
       copy into a 2D canvas). Median, p95, p99, mean. --presenter 2d
       times the 2D canvas the page falls back to (webgl: WebGL 1).
visit  A first visit (fresh profile) to the same site served by Python's
       http.server handler: the bytes it sent, in all and before the first
       frame, and the time from navigation to the first frame.
busy   The busy play frame of bench/frame (level 10, ten enemies, rockets
       and particles) built with Emscripten (WASM_BUILD_DIR, default
       build-wasm, made by scripts/test-wasm.sh, then its target busy_frame)
       and run in a page, and the
       same program built natively (HOST_BUILD_DIR, default build: target
       busy_frame) in this run: medians and the ratio.

Each figure is the median of --runs runs (default 3); the load average is
printed with them, as the machine is shared.
"""
import functools
import http.server
import json
import os
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', '..', 'tests', 'web'))
import browser  # noqa: E402

SETTINGS = '/home/web_user/.config/zarnik.ini'
SIZES = ((800, 600), (1920, 1080))

# Before the page's scripts: every animation frame callback timed.
TIMED_FRAMES = '''(() => {
  const raf = window.requestAnimationFrame.bind(window);
  window.__frames = { on: false, callback: [], at: [] };
  window.requestAnimationFrame = (f) => raf((t) => {
    const a = performance.now();
    f(t);
    const r = window.__frames;
    if (r.on) { r.callback.push(performance.now() - a); r.at.push(t); }
  });
})();'''


class Isolated(browser._QuietHandler):
    """The test server's answers, cross-origin isolated: the page's clock
    then counts in microseconds, not in steps of 0.1 ms."""

    def end_headers(self):
        self.send_header('Cross-Origin-Opener-Policy', 'same-origin')
        self.send_header('Cross-Origin-Embedder-Policy', 'require-corp')
        super().end_headers()


def load():
    return os.getloadavg()[0]


def spread(values):
    v = sorted(values)
    if not v:
        return {'median': float('nan'), 'p95': float('nan'), 'p99': float('nan'),
                'mean': float('nan'), 'n': 0}
    at = lambda q: v[min(len(v) - 1, int(q * len(v)))]  # noqa: E731
    return {'median': at(0.5), 'p95': at(0.95), 'p99': at(0.99), 'mean': sum(v) / len(v),
            'n': len(v)}


def store_settings(b, server, lines):
    ini = ''.join(line + '\r\n' for line in lines).encode()
    b.navigate(server.url + 'manifest.webmanifest')
    b.wait_for('document.readyState == "complete"')
    b.evaluate('''new Promise(done => { const r = indexedDB.open('zarnik', 1);
        r.onupgradeneeded = () => r.result.createObjectStore('files');
        r.onsuccess = () => { const tx = r.result.transaction('files', 'readwrite');
          tx.objectStore('files').put(new Uint8Array(%s), '%s');
          tx.oncomplete = () => { r.result.close(); done(true); }; }; })''' % (
        json.dumps(list(ini)), SETTINGS), await_promise=True)


def play(site, width, height, seconds, presenter):
    """One run of real play at one size: the page's own clock."""
    server = browser.Server(site, handler=Isolated)
    b = browser.Browser(width, height)
    try:
        store_settings(b, server, [str(width), str(height), 'BENCH'])
        b.call('Page.addScriptToEvaluateOnNewDocument', {'source': TIMED_FRAMES})
        if presenter:
            b.call('Page.addScriptToEvaluateOnNewDocument',
                   {'source': 'window.zarnikPresenter = %s;' % json.dumps(presenter)})
        b.navigate(server.url)
        b.wait_for('window.Module && Module.zarnik && Module.zarnik.shown', 60)
        kind = b.evaluate('Module.zarnik.presenter.kind')
        size = b.evaluate('[document.getElementById("canvas").width, '
                          'document.getElementById("canvas").height]')
        time.sleep(5)  # the splash's 250 frames
        b.press('down')
        b.press('enter')
        time.sleep(1)
        b.mouse('mouseMoved', width // 2, height // 4)
        b.key('space', True)
        b.mouse('mousePressed', width // 2, height // 4, button=1)  # homing missiles
        time.sleep(1)
        b.evaluate('window.__frames.on = true; '
                   'Module.zarnik.timing = {at: [], whole: [], pass: [], present: []}')
        time.sleep(seconds)
        r = b.evaluate('''(() => { window.__frames.on = false;
            const f = window.__frames, t = Module.zarnik.timing;
            return JSON.stringify({callback: f.callback, at: f.at, frame_at: t.at,
                                   whole: t.whole, pass: t.pass, present: t.present}); })()''')
        r = json.loads(r)
        gaps = lambda at: [b - a for a, b in zip(at, at[1:])]  # noqa: E731
        game = [p - q for p, q in zip(r['pass'], r['present'])]
        shown = gaps(r['frame_at'])
        return {'kind': kind, 'canvas': size, 'raf': spread(r['callback']),
                'raf_interval': spread(gaps(r['at'])), 'whole': spread(r['whole']),
                'interval': spread(shown), 'over20': sum(1 for g in shown if g > 20),
                'game': spread(game), 'present': spread(r['present'])}
    finally:
        b.close()
        server.close()


class CountingHandler(http.server.SimpleHTTPRequestHandler):
    """Python's http.server as it serves (no compression, its own headers),
    counting the bytes it sends per request and when each answer ended."""
    log = None

    def log_message(self, *args):
        pass

    def setup(self):
        super().setup()
        self.sent = 0
        write = self.wfile.write

        def counted(data):
            self.sent += len(data)
            return write(data)

        self.wfile.write = counted

    def handle_one_request(self):
        self.sent = 0
        super().handle_one_request()
        if getattr(self, 'path', None) and self.sent:
            self.log.append((time.time(), self.path, self.sent))


def visit(site):
    log = []
    handler = functools.partial(type('H', (CountingHandler,), {'log': log}), directory=site)
    httpd = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    url = 'http://127.0.0.1:%d/' % httpd.server_address[1]
    b = browser.Browser(800, 600)
    try:
        b.navigate(url)
        b.wait_for('window.Module && Module.zarnik && Module.zarnik.shown', 60)
        first = b.evaluate('[performance.timeOrigin + Module.zarnik.firstFrameAt, '
                           'Module.zarnik.firstFrameAt]')
        # Everything the first visit brings: the service worker's copies too.
        b.wait_for('navigator.serviceWorker.controller != null', 60)
        time.sleep(6)
        before = sum(n for t, _, n in log if t * 1000 <= first[0])
        total = sum(n for _, _, n in log)
        files = {}
        for _, path, n in log:
            files[path] = files.get(path, 0) + n
        return {'total': total, 'before_first_frame': before, 'first_frame_ms': first[1],
                'files': files}
    finally:
        b.close()
        httpd.shutdown()
        httpd.server_close()


def busy(wasm, host, frames=1500):
    """The busy play frame natively and in WebAssembly in the page."""
    native = subprocess.run([os.path.join(host, 'bench', 'web', 'busy_frame'), str(frames)],
                            check=True, capture_output=True, text=True).stdout
    folder = os.path.join(wasm, 'bench', 'web')
    server = browser.Server(folder, handler=Isolated)
    b = browser.Browser(800, 600)
    try:
        b.navigate(server.url + 'busy_frame.html?frames=%d' % frames)
        page = b.wait_for('window.__done && document.getElementById("out").textContent', 600,
                          interval=0.5)
    finally:
        b.close()
        server.close()

    def medians(text):
        out = {}
        for line in text.splitlines():
            if line.startswith('busy play frame'):
                size = line.split()[3].rstrip(':')
                out[size] = float(line.split('median ')[1].split()[0])
        if not out:
            raise RuntimeError('no busy frame timed: ' + text)
        return out
    return medians(native), medians(page)


def main(argv):
    args = [a for a in argv[1:]]
    opts = {'--seconds': '10', '--runs': '3', '--only': 'play,visit,busy', '--presenter': ''}
    for k in list(opts):
        if k in args:
            i = args.index(k)
            opts[k] = args[i + 1]
            del args[i:i + 2]
    web = os.path.abspath(args[0] if args else 'build-web')
    host = os.path.abspath(args[1] if len(args) > 1 else 'build')
    wasm = os.path.abspath(args[2] if len(args) > 2 else 'build-wasm')
    seconds, runs, only = float(opts['--seconds']), int(opts['--runs']), opts['--only'].split(',')
    site = os.path.join(web, 'site')
    med = lambda xs: statistics.median(xs)  # noqa: E731
    if 'play' in only:
        for width, height in SIZES:
            rs = []
            for _ in range(runs):
                rs.append(play(site, width, height, seconds, opts['--presenter']))
                rs[-1]['load'] = load()
            pick = lambda key, q: med([r[key][q] for r in rs])  # noqa: E731
            print('play %dx%d (%s, canvas %s, load %s):\n'
                  '    pass that shows a frame, whole: median %.2f p95 %.2f p99 %.2f mean %.2f ms\n'
                  '    animation frame callback: median %.2f p95 %.2f p99 %.2f ms; '
                  'their interval p95 %.1f ms\n'
                  '    interval between frames shown: median %.1f p95 %.1f ms, over 20 ms %s '
                  'of %s\n'
                  '    game pass median %.2f p95 %.2f ms; present median %.2f p95 %.2f ms' % (
                      width, height, rs[0]['kind'], 'x'.join(map(str, rs[0]['canvas'])),
                      ' '.join('%.1f' % r['load'] for r in rs),
                      pick('whole', 'median'), pick('whole', 'p95'), pick('whole', 'p99'),
                      pick('whole', 'mean'), pick('raf', 'median'), pick('raf', 'p95'),
                      pick('raf', 'p99'), pick('raf_interval', 'p95'),
                      pick('interval', 'median'), pick('interval', 'p95'),
                      '/'.join(str(r['over20']) for r in rs),
                      '/'.join(str(r['interval']['n']) for r in rs), pick('game', 'median'),
                      pick('game', 'p95'), pick('present', 'median'), pick('present', 'p95')))
            sys.stdout.flush()
    if 'visit' in only:
        rs = [visit(site) for _ in range(runs)]
        print('first visit (load %.1f): %.2f MB in all, %.2f MB before the first frame, first '
              'frame %.0f ms after navigation (runs: %s ms)' % (
                  load(), med([r['total'] for r in rs]) / 1e6,
                  med([r['before_first_frame'] for r in rs]) / 1e6,
                  med([r['first_frame_ms'] for r in rs]),
                  ' '.join('%.0f' % r['first_frame_ms'] for r in rs)))
        for path, n in sorted(rs[0]['files'].items(), key=lambda kv: -kv[1]):
            print('    %9d  %s' % (n, path))
        sys.stdout.flush()
    if 'busy' in only:
        results = [busy(wasm, host) for _ in range(runs)]
        for width, height in SIZES:
            size = '%dx%d' % (width, height)
            n = med([r[0][size] for r in results])
            w = med([r[1][size] for r in results])
            print('busy play frame %s (load %.1f): native %.0f us, WebAssembly in the page '
                  '%.0f us median, ratio %.2f' % (size, load(), n, w, w / n))


if __name__ == '__main__':
    main(sys.argv)
