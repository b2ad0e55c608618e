#!/usr/bin/env python3
"""Frame time of the game in the browser: a play frame (the game's frame and
the canvas's update) timed in headless Chromium at 800 x 600 and 1920 x 1080.

Usage: bench/web/frame_time.py [WEB_BUILD_DIR] [FRAMES]

The page's test build holds its clock; a game is started, the ship fires
(shots and homing missiles) at the enemies of level 1, and then each tick is
timed in the page: the message pass, the play frame, the conversion of the
16-bit frame and its copy into the canvas. Median, 90th and 99th
percentile, and the mean over all ticks (the page's clock counts in steps
of 0.1 ms where the page is not isolated, so the mean is the finer figure).
"""
import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', '..', 'tests', 'web'))
import browser  # noqa: E402

TIME = '''(() => {
  const t = [];
  const start = performance.now();
  for (let i = 0; i < %d; i++) {
    const a = performance.now();
    Module._zarnik_test_tick(1);
    t.push(performance.now() - a);
  }
  const total = performance.now() - start;
  t.sort((a, b) => a - b);
  const at = (q) => t[Math.min(t.length - 1, Math.floor(q * t.length))];
  return JSON.stringify({median: at(0.5), p90: at(0.9), p99: at(0.99), mean: total / t.length});
})()'''


def measure(site, width, height, frames):
    server = browser.Server(site)
    b = browser.Browser(width, height)
    try:
        ini = ''.join(line + '\r\n' for line in (str(width), str(height), 'BENCH')).encode()
        b.navigate(server.url + 'manifest.webmanifest')
        b.wait_for('document.readyState == "complete"')
        b.evaluate('''new Promise(done => { const r = indexedDB.open('zarnik', 1);
            r.onupgradeneeded = () => r.result.createObjectStore('files');
            r.onsuccess = () => { const tx = r.result.transaction('files', 'readwrite');
              tx.objectStore('files').put(new Uint8Array(%s),
                                          '/home/web_user/.config/zarnik.ini');
              tx.oncomplete = () => done(true); }; })''' % json.dumps(list(ini)),
                   await_promise=True)
        b.call('Page.addScriptToEvaluateOnNewDocument',
               {'source': 'window.zarnikHoldClock = true;'})
        b.navigate(server.url)
        b.wait_for('window.Module && Module.calledRun', 60)
        b.evaluate('Module._zarnik_test_tick(260)')
        size = b.evaluate('[document.getElementById("canvas").width, '
                          'document.getElementById("canvas").height]')
        assert size == [width, height], size
        b.press('down')
        b.press('enter')
        b.key('space', True)
        b.mouse('mousePressed', width // 2, height // 4, button=1)  # homing missiles
        b.evaluate('Module._zarnik_test_tick(120)')
        return json.loads(b.evaluate(TIME % frames, timeout=300))
    finally:
        b.close()
        server.close()


def main(argv):
    web = argv[1] if len(argv) > 1 else 'build-web'
    frames = int(argv[2]) if len(argv) > 2 else 1000
    site = os.path.join(web, 'test-site')
    for width, height in ((800, 600), (1920, 1080)):
        r = measure(site, width, height, frames)
        print('play frame in the page, %d x %d: median %.2f ms, p90 %.2f ms, p99 %.2f ms, '
              'mean %.3f ms (%d frames)' % (width, height, r['median'], r['p90'], r['p99'],
                                           r['mean'], frames))


if __name__ == '__main__':
    main(sys.argv)
