#!/usr/bin/env python3
"""The page's tests, in a real browser against a local server: headless
Chromium, Firefox ESR or WebKitGTK (engines.py), the same tests in each.

Usage: run_browser_tests.py WEB_BUILD_DIR HOST_BUILD_DIR [SHOT_DIR] [-k NAME]
                            [--engine chromium|firefox|webkit]

WEB_BUILD_DIR holds site/ and test-site/ (scripts/build-web.sh); the host
build gives zarnik-shot for the headless run of the same game. Screenshots
land in SHOT_DIR/ENGINE (default WEB_BUILD_DIR/shots/ENGINE). A test an
engine cannot run says why; the last line sums up as CTest does.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser  # noqa: E402
import engines  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
SETTINGS = '/home/web_user/.config/zarnik.ini'  # where the page's program keeps it
SCORES = '/zarnik/data.dat'
CONFIG = {}


STORED_KEYS = '''new Promise(done => {
    const r = indexedDB.open('zarnik', 1);
    r.onsuccess = () => {
      const q = r.result.transaction('files').objectStore('files').getAllKeys();
      q.onsuccess = () => { r.result.close(); done(q.result); };
    };
  })'''
STORED_FILE = '''new Promise(done => {
    const r = indexedDB.open('zarnik', 1);
    r.onsuccess = () => {
      const q = r.result.transaction('files').objectStore('files').get(%s);
      q.onsuccess = () => { r.result.close(); done(q.result ? Array.from(q.result) : null); };
    };
  })'''


def settings_lines(data):
    return data.decode('cp1250').split('\r\n')[:-1]


def score_lines(data):
    """The score file's lines, unshifted."""
    out = []
    for raw in data.split(b'\r\n')[:-1]:
        out.append(bytes((c - i - 1) % 256 for i, c in enumerate(raw)).decode('cp1250'))
    return out


def settings_bytes(lines):
    return ''.join(line + '\r\n' for line in lines).encode('cp1250')


# Kept from the first script on: what the page's console said that was
# wrong, for the engines whose driver does not tell it.
PROBLEMS_HOOK = '''(() => {
  const kept = window.__zarnikProblems = [];
  for (const [name, level] of [['error', 'error'], ['warn', 'warning']]) {
    const f = console[name].bind(console);
    console[name] = (...a) => { kept.push([level, a.join(' ')]); f(...a); };
  }
  window.addEventListener('error', e => kept.push(['exception', String(e.message)]));
  window.addEventListener('unhandledrejection', e => kept.push(['exception', String(e.reason)]));
})();'''
HOLD_CLOCK = 'window.zarnikHoldClock = true;'


def open_browser(width=800, height=600, **options):
    """The engine's browser (CONFIG['engine']); a test this engine cannot
    run is skipped with the reason."""
    engine = CONFIG['engine']
    try:
        if engine == 'chromium':
            return browser.Browser(width, height, **options)
        return {'firefox': engines.Firefox, 'webkit': engines.WebKit}[engine](
            width, height, **options)
    except engines.Unsupported as e:
        raise unittest.SkipTest('%s: %s' % (engine, e))


def site_server(test, site='test', hold=False, blocked=(), scripts=(), handler=None):
    """A server of its own for one test: the scripts a page needs first put
    into it, the files a network would not bring refused."""
    inject = [browser.Browser.COUNT_INPUT, PROBLEMS_HOOK] + ([HOLD_CLOCK] if hold else [])
    inject += engines.PAGE_SCRIPTS.get(CONFIG['engine'], [])
    server = browser.Server(os.path.join(CONFIG['web'], 'test-site' if site == 'test' else 'site'),
                            inject=inject + list(scripts), blocked=blocked, handler=handler)
    test.addCleanup(server.close)
    return server


def unsupported(call, *args):
    """Runs a driver's call; one this engine cannot make skips the test."""
    try:
        return call(*args)
    except engines.Unsupported as e:
        raise unittest.SkipTest('%s: %s' % (CONFIG['engine'], e))


class Page:
    """A fresh browser (empty storage) on one of the two sites."""

    def __init__(self, test, site='test', hold=False, width=800, height=600, stored=None,
                 blocked=(), server=None, profile=None, mobile=False, scale=1, wait=True,
                 presenter=None, scripts=()):
        self.test = test
        scripts = list(scripts)
        if presenter:
            scripts.append('window.zarnikPresenter = %s;' % json.dumps(presenter))
        self.server = server or site_server(test, site, hold, blocked, scripts)
        self.b = open_browser(width, height, profile=profile, mobile=mobile, scale=scale)
        test.addCleanup(self.b.close)
        if stored:
            # Files the program will find kept, as a earlier visit left them.
            self.b.navigate(self.server.url + 'data/napoveda.html')
            self.b.wait_for('location.pathname == "/data/napoveda.html" && '
                            'document.readyState == "complete"')
            entries = json.dumps([[k, list(v)] for k, v in stored.items()])
            self.b.evaluate('''new Promise((done, fail) => {
                const r = indexedDB.open('zarnik', 1);
                r.onupgradeneeded = () => r.result.createObjectStore('files');
                r.onsuccess = () => {
                  const tx = r.result.transaction('files', 'readwrite');
                  for (const [k, v] of %s) tx.objectStore('files').put(new Uint8Array(v), k);
                  tx.oncomplete = () => { r.result.close(); done(true); };
                  tx.onerror = fail;
                };
                r.onerror = fail;
              })''' % entries, await_promise=True)
        self.b.counting = self.b._counting = True
        self.b.navigate(self.server.url)
        if wait:
            self.b.wait_for('window.Module && Module.calledRun', 60)

    def state(self, tab=None):
        return json.loads((tab or self.b).evaluate('UTF8ToString(Module._zarnik_test_state())'))

    def tick(self, n, tab=None):
        (tab or self.b).evaluate('Module._zarnik_test_tick(%d)' % n)

    def new_tab(self):
        """Another tab of the same browser on the same site, started."""
        tab = self.b.new_tab(self.server.url)
        tab.wait_for('window.Module && Module.calledRun', 60)
        return tab

    def type_name(self, name, tab=None, enter=True):
        """Clears the menu's name field (a double click) and types a name."""
        t = tab or self.b
        t.mouse('mouseMoved', 740, 528)
        for _ in range(2):
            t.mouse('mousePressed', 740, 528)
            t.mouse('mouseReleased', 740, 528)
        for ch in name:
            t.press('space' if ch == ' ' else ch)
        if enter:
            t.press('enter')
        t.evaluate('Module._zarnik_test_pass()')  # the keys handled

    def stored_keys(self):
        return self.b.evaluate(STORED_KEYS, await_promise=True)

    def stored(self, key):
        """A file's bytes in the browser's storage (None: not kept)."""
        value = self.b.evaluate(STORED_FILE % json.dumps(key), await_promise=True)
        return None if value is None else bytes(value)

    def frames(self):
        return self.b.evaluate('Module._zarnik_test_frames()')

    def wait_state(self, predicate, timeout=30):
        end = time.monotonic() + timeout
        while True:
            s = self.state()
            if predicate(s):
                return s
            if time.monotonic() > end:
                raise TimeoutError('state never reached; last: %s' % s)
            time.sleep(0.05)

    def frame565(self):
        """The frame as shown (through WebGL or the 2D canvas), narrowed
        back to the frame's 16 bits."""
        data = self.b.evaluate('''(() => {
            const [w, h, d] = Module.zarnik.presenter.framePixels();
            const out = new Uint8Array(w * h * 2);
            for (let i = 0, j = 0; i < d.length; i += 4, j += 2) {
              const p = ((d[i] >> 3) << 11) | ((d[i + 1] >> 2) << 5) | (d[i + 2] >> 3);
              out[j] = p & 255; out[j + 1] = p >> 8;
            }
            let s = ''; for (let i = 0; i < out.length; i += 8192)
              s += String.fromCharCode.apply(null, out.subarray(i, i + 8192));
            return [w, h, btoa(s)];
          })()''')
        import base64
        return data[0], data[1], base64.b64decode(data[2])

    def shot(self, name):
        path = os.path.join(CONFIG['shots'], name)
        self.b.screenshot(path)
        return path

    def problems(self):
        """Errors and warnings the page's console showed (but the driver's
        note on the tests' own reading back of WebGL pixels)."""
        seen = list(self.b.console)
        if self.b.engine == 'webkit':
            seen += [tuple(p) for p in self.b.evaluate('window.__zarnikProblems || []')]
        return [(level, text) for level, text in seen
                if level in ('error', 'warning', 'assert', 'exception')
                and 'GPU stall due to ReadPixels' not in text]


def run_script_in_page(page, lines):
    """Runs a zarnik-shot script's events and waits in the page, as the user
    gives them (keys and mouse through the browser's input). Each input is
    handled at once, in a pass that does not move the clock, as the headless
    driver handles every event it sends: left to the page's display frames,
    it would be handled at once or only in the next tick, at a clock moved
    on, as the browser happens to draw between the two (a game then starts
    a frame later).

    The drivers return once all the events of a call have reached the page."""
    cursor = [0, 0]
    for raw in lines:
        line = raw.split('#', 1)[0].strip()
        if not line:
            continue
        verb, *args = line.split()
        if verb in ('size', 'name', 'data', 'score', 'digest', 'raw', 'shot'):
            continue
        if verb == 'wait':
            page.tick(int(args[0]))
        elif verb == 'key':
            page.b.press(args[0])
        elif verb in ('down', 'up'):
            page.b.key(args[0], verb == 'down')
        elif verb == 'type':
            for ch in ' '.join(args):
                page.b.press('space' if ch == ' ' else ch)
        elif verb == 'move':
            cursor = [int(args[0]), int(args[1])]
            page.b.mouse('mouseMoved', *cursor)
        elif verb in ('mousedown', 'mouseup', 'click'):
            button = {'left': 0, 'right': 1, 'middle': 2}[args[0] if args else 'left']
            if verb in ('mousedown', 'click'):
                page.b.mouse('mousePressed', *cursor, button=button)
            if verb in ('mouseup', 'click'):
                page.b.mouse('mouseReleased', *cursor, button=button)
        elif verb == 'wheel':
            page.b.wheel(*cursor, delta_y=-100 * int(args[0]))
        else:
            raise ValueError('the page cannot run: ' + line)
        if verb != 'wait':
            page.b.evaluate('Module._zarnik_test_pass()')


class PageStarts(unittest.TestCase):
    def test_splash_then_menu_with_a_clean_console(self):
        page = Page(self)
        page.b.wait_for('Module.zarnik.shown', 30)
        first_frame = page.b.evaluate('Module.zarnik.firstFrameAt')
        time.sleep(0.5)
        page.shot('splash.png')
        s = page.wait_state(lambda s: s['splash_frames'] >= 250 and s['in_menu'] == 1, 30)
        menu_at = page.b.evaluate('performance.now()')
        page.b.mouse('mouseMoved', 400, 225)  # the start item lit
        time.sleep(2.5)  # the stars come out
        page.shot('menu.png')
        print('    first frame %.0f ms, first menu frame before %.0f ms after navigation' %
              (first_frame, menu_at))
        self.assertEqual(s['in_menu'], 1)
        self.assertEqual(page.problems(), [])


class SameGame(unittest.TestCase):
    def test_digest_and_play_frame_equal_the_headless_runs(self):
        script = os.path.join(HERE, 'same_game.txt')
        with tempfile.TemporaryDirectory() as out:
            native = subprocess.run([CONFIG['shot_tool'], script], cwd=out, check=True,
                                    capture_output=True, text=True)
            digest = next(l.split()[1] for l in native.stdout.splitlines()
                          if l.startswith('digest '))
            with open(os.path.join(out, 'play.raw'), 'rb') as f:
                native_frame = f.read()
        page = Page(self, hold=True, stored={SETTINGS: settings_bytes(['800', '600', 'PILOT'])})
        with open(script) as f:
            run_script_in_page(page, f)
        self.assertEqual(page.state()['name'], 'PILOT')
        got = page.b.evaluate('UTF8ToString(Module._zarnik_test_digest())')
        self.assertEqual(got, digest)
        width, height, frame = page.frame565()
        self.assertEqual((width, height), (800, 600))
        differing = sum(1 for i in range(0, len(frame), 2)
                        if frame[i:i + 2] != native_frame[i:i + 2])
        self.assertEqual(differing, 0, 'pixels differing from the headless frame')
        page.shot('play.png')

    def test_a_press_and_release_where_the_pointer_is_bring_no_move(self):
        # Every move aims the ship again: one the script does not ask for
        # (WebKit's driver made one of a release) ends in another world.
        page = Page(self, hold=True)
        page.b.evaluate('''window.__moves = [];
            addEventListener('mousemove', e => __moves.push([e.clientX, e.clientY]), true);''')
        for x in (150, 160):
            page.b.mouse('mouseMoved', x, 420)
            page.b.mouse('mousePressed', x, 420)
            page.b.mouse('mouseReleased', x, 420)
        self.assertEqual(page.b.evaluate('__moves'), [[150, 420], [160, 420]])


class KeptAcrossReloads(unittest.TestCase):
    def test_a_finished_game_and_the_name_survive_a_reload(self):
        page = Page(self, hold=True)
        page.tick(260)
        page.b.mouse('mouseMoved', 740, 528)  # the name field
        for _ in range(2):
            page.b.mouse('mousePressed', 740, 528)
            page.b.mouse('mouseReleased', 740, 528)
        for ch in 'ADAM':
            page.b.press(ch)
        page.b.press('enter')  # the name is done
        page.b.press('down')   # the start item
        page.b.press('enter')
        page.tick(120)
        page.b.press('esc')    # the game ends: its score goes into the table
        page.tick(5)
        self.assertIn('ADAM', page.state()['scores'])
        page.b.reload()
        try:
            page.b.wait_for('window.Module && Module.calledRun', 20)
        except TimeoutError:
            print(page.b.evaluate('document.body.innerText'), page.b.console)
            raise
        page.tick(260)
        s = page.state()
        self.assertEqual(s['name'], 'ADAM')
        self.assertEqual(s['scores'][1::2], ['ADAM'])
        page.b.press('down')
        page.b.press('down')   # REKORDY
        page.b.press('enter')
        page.tick(3)
        self.assertEqual(page.state()['scores_shown'], 1)
        page.shot('scores.png')
        self.assertEqual(page.problems(), [])


class SharedAcrossTabs(unittest.TestCase):
    NAMES = ['ADAM', 'BARA', 'CYRIL']

    def test_three_tabs_ending_games_at_once_keep_every_result(self):
        page = Page(self, hold=True)
        tabs = [page.b, page.new_tab(), page.new_tab()]
        for tab, name in zip(tabs, self.NAMES):
            page.tick(260, tab)
            page.type_name(name, tab)
            self.assertEqual(page.state(tab)['name'], name)
            tab.press('down')
            tab.press('enter')  # a game
        for tab in tabs:
            page.tick(40, tab)
            self.assertEqual(page.state(tab)['in_menu'], 0)
        # The lock held a moment, so the three ends meet at it together.
        page.b.evaluate('''navigator.locks.request('zarnik /zarnik/data.dat',
            () => new Promise(r => setTimeout(r, 700)))''')
        for tab in tabs:
            tab.press('esc')  # the game ends; its result goes into the table
            tab.evaluate('Module._zarnik_test_pass()')
        # Every tab's table shows all three (another tab's change reached it).
        for tab in tabs:
            end = time.monotonic() + 20
            while sorted(page.state(tab)['scores'][1::2]) != self.NAMES:
                self.assertLess(time.monotonic(), end, page.state(tab))
                time.sleep(0.1)
        self.assertEqual(sorted(score_lines(page.stored(SCORES))[1::2]), self.NAMES)
        # The first tab, stale since its game, reloaded: nothing is lost.
        tabs[2].close()
        page.b.reload()
        page.b.wait_for('window.Module && Module.calledRun', 30)
        page.tick(3)
        self.assertEqual(sorted(page.state()['scores'][1::2]), self.NAMES)
        self.assertEqual(sorted(score_lines(page.stored(SCORES))[1::2]), self.NAMES)
        self.assertEqual(page.problems(), [])

    def test_the_name_is_kept_when_the_browser_is_closed(self):
        profile = tempfile.mkdtemp(prefix='zarnik-profile-')
        self.addCleanup(shutil.rmtree, profile, True)
        server = site_server(self, hold=True)
        page = Page(self, server=server, profile=profile)
        page.tick(260)
        page.type_name('ADAM')  # Enter ends the editing: the name is kept
        page.tick(1)
        page.b.close()
        page = Page(self, server=server, profile=profile)
        page.tick(3)
        self.assertEqual(page.state()['name'], 'ADAM')
        # A name still being typed when the page is hidden is kept as well.
        page.tick(260)
        page.type_name('EVA', enter=False)
        unsupported(page.b.hide)
        page.b.wait_for('document.hidden')
        self.assertEqual(settings_lines(page.stored(SETTINGS))[2], 'EVA')
        page.b.close()
        page = Page(self, server=server, profile=profile)
        page.tick(3)
        self.assertEqual(page.state()['name'], 'EVA')


def enter_full_screen(test, page):
    """F11: the page goes full screen (a test the engine refuses it in is
    skipped, saying so)."""
    page.b.evaluate('''window.__fullscreenRefused = false;
        document.addEventListener('fullscreenerror', () => { window.__fullscreenRefused = true; });''')
    page.b.key('f11')
    page.b.key('f11', False)
    try:
        page.b.wait_for('document.fullscreenElement != null || window.__fullscreenRefused', 5)
    except TimeoutError:
        pass
    if not page.b.evaluate('document.fullscreenElement != null'):
        if page.b.engine != 'chromium' and page.b.evaluate('window.__fullscreenRefused'):
            test.skipTest('%s: the headless browser refuses full screen (fullscreenerror)'
                          % page.b.engine)
        test.fail('the page did not go full screen')


class Manners(unittest.TestCase):
    def test_a_right_click_opens_no_context_menu(self):
        page = Page(self, hold=True)
        page.tick(260)
        page.b.evaluate('''window.__menus = [];
            document.addEventListener('contextmenu', e => __menus.push(e.defaultPrevented));''')
        page.b.mouse('mouseMoved', 400, 400)
        page.b.mouse('mousePressed', 400, 400, button=1)
        page.b.mouse('mouseReleased', 400, 400, button=1)
        page.tick(1)
        self.assertEqual(page.b.evaluate('__menus'), [True])

    def test_esc_that_leaves_full_screen_is_not_the_games(self):
        page = Page(self, hold=True)
        page.tick(260)
        enter_full_screen(self, page)
        page.b.press('esc', wait=False)  # leaves full screen, and only that
        page.b.wait_for('document.fullscreenElement == null', 5)
        page.tick(2)
        self.assertEqual(page.state()['in_menu'], 1)
        self.assertTrue(page.b.evaluate('document.getElementById("ended").hidden'))
        time.sleep(0.5)
        page.b.press('esc')  # now the game's: the menu closes the game
        page.tick(2)
        page.b.wait_for('!document.getElementById("ended").hidden', 10)

    def test_without_webassembly_the_page_says_so_in_czech(self):
        server = site_server(self, site='site', scripts=['delete window.WebAssembly;'])
        b = open_browser(800, 600)
        self.addCleanup(b.close)
        b.navigate(server.url)
        b.wait_for('document.readyState == "complete"', 30)
        time.sleep(1)
        text = b.evaluate('document.body.innerText')
        self.assertIn('Tento prohlížeč hru spustit neumí: chybí mu WebAssembly.', text)
        self.assertNotIn('wasm', text)
        self.assertTrue(b.evaluate('typeof WebAssembly === "undefined"'))


class Touch(unittest.TestCase):
    """A whole game on a phone, by touch alone."""

    def surface_to_page(self, page, x, y):
        # The back surface's size, not the canvas's: through WebGL the canvas
        # has the screen's pixels.
        return page.b.evaluate('''(() => { const c = document.getElementById('canvas');
            const r = c.getBoundingClientRect(), f = Module.zarnik.presenter.frame;
            return [r.left + (%d + .5) * r.width / f.width, r.top + (%d + .5) * r.height / f.height];
          })()''' % (x, y))

    def control(self, page, what):
        return page.b.evaluate('''(() => { const b = document.querySelector(%s);
            const r = b.getBoundingClientRect(); return [r.left + r.width / 2, r.top + r.height / 2];
          })()''' % json.dumps(what))

    def tap(self, page, x, y, finger=9):
        fingers = dict(getattr(page.b, '_fingers', {}))
        fingers[finger] = (x, y)
        page.b.touch(fingers)
        del fingers[finger]
        page.b.touch(fingers)

    def layout(self, page):
        """The controls' and the picture's boxes, and how the controls sit."""
        return page.b.evaluate('''(() => {
            const box = e => { const r = e.getBoundingClientRect();
                               return [r.left, r.top, r.right, r.bottom]; };
            return [box(document.getElementById('canvas')),
                    [...document.querySelectorAll('#touch button')].map(box),
                    document.getElementById('touch').className,
                    !document.getElementById('turn').hidden]; })()''')

    def assert_controls_beside_the_picture(self, page):
        picture, buttons, mode, _ = self.layout(page)
        self.assertNotEqual(mode, 'over')
        for b in buttons:
            apart = b[2] <= picture[0] or b[0] >= picture[2] or b[3] <= picture[1] or b[1] >= picture[3]
            self.assertTrue(apart, 'a control %s over the picture %s' % (b, picture))
            self.assertTrue(0 <= b[0] and b[2] <= page.b.width and 0 <= b[1] and b[3] <= page.b.height,
                            'a control %s off the page' % b)

    def test_a_whole_game_by_touch(self):
        page = Page(self, hold=True, width=844, height=390, mobile=True, scale=3)
        page.tick(260)
        self.assertTrue(page.b.evaluate('document.getElementById("touch").hidden'))
        # The name: a double tap on its field empties it and opens the
        # phone's keyboard, whose letters and Enter go to the game.
        name = self.surface_to_page(page, 740, 528)
        self.tap(page, *name)
        self.tap(page, *name)
        page.tick(1)
        self.assertEqual(page.state()['name_editing'], 1)
        self.assertFalse(page.b.evaluate('document.getElementById("touch").hidden'))
        page.b.wait_for('document.activeElement == document.getElementById("name-field")', 5)
        page.b.insert_text('eva')
        page.b.insert_text(' k')
        page.b.press('backspace')
        page.b.press('enter')
        page.tick(1)
        s = page.state()
        self.assertEqual((s['name'], s['name_editing']), ('EVA ', 0))
        self.assertTrue(page.b.evaluate('document.getElementById("name-field").hidden'))
        self.assert_controls_beside_the_picture(page)
        page.shot('touch-menu-844x390.png')
        # Start.
        self.tap(page, *self.surface_to_page(page, 400, 225))
        page.tick(30)
        self.assertEqual(page.state()['in_menu'], 0)
        # Steer: the ship points at the finger.
        left, right = self.surface_to_page(page, 40, 300), self.surface_to_page(page, 760, 300)
        page.b.touch({1: left})
        page.tick(2)
        heading_left = page.state()['heading']
        page.b.touch({1: right})
        page.tick(2)
        heading_right = page.state()['heading']
        self.assertGreater(heading_left, 128)   # towards the left
        self.assertLess(heading_right, 128)     # towards the right
        # Thrust, with the steering finger still down.
        speed = page.state()['speed']
        up, down = self.control(page, '[data-hold=up]'), self.control(page, '[data-hold=down]')
        self.tap(page, *up)
        self.tap(page, *up)
        self.tap(page, *down)
        page.tick(1)
        self.assertEqual(page.state()['speed'], min(speed + 2, 6) - 1)
        # Shots held while steering: several fingers at once.
        shots = self.control(page, '[data-hold=shots]')
        page.b.touch({1: right, 2: shots})
        page.tick(30)
        page.b.touch({1: self.surface_to_page(page, 400, 40), 2: shots})
        page.tick(10)
        s = page.state()
        self.assertEqual(s['mouse_left'], 1)
        self.assertGreater(s['shots'], 0, s)
        self.assertLess(min(s['heading'], 256 - s['heading']), 40)  # steered upwards meanwhile
        page.shot('touch-play-844x390.png')
        page.b.touch({1: self.surface_to_page(page, 400, 40)})
        page.tick(1)
        self.assertEqual(page.state()['mouse_left'], 0)
        # Missiles.
        missiles = page.state()['missiles']
        page.b.touch({1: self.surface_to_page(page, 400, 40),
                      3: self.control(page, '[data-hold=missiles]')})
        page.tick(40)
        self.assertEqual(page.state()['mouse_right'], 1)
        page.b.touch({})
        page.tick(1)
        self.assertLess(page.state()['missiles'], missiles)
        self.assertEqual(page.state()['mouse_right'], 0)
        # Pause and on again.
        pause = self.control(page, '[data-hold=pause]')
        self.tap(page, *pause)
        page.tick(1)
        self.assertEqual(page.state()['paused'], 1)
        self.tap(page, *pause)
        page.tick(1)
        self.assertEqual(page.state()['paused'], 0)
        # The end (Esc): the result goes into the table under the name.
        self.tap(page, *self.control(page, '[data-hold=esc]'))
        page.tick(3)
        s = page.state()
        self.assertEqual(s['in_menu'], 1)
        self.assertIn('EVA ', s['scores'][1::2])
        self.assertEqual(page.problems(), [])

    def test_upright_the_page_asks_to_turn_the_device(self):
        page = Page(self, hold=True, width=390, height=844, mobile=True, scale=3)
        page.tick(260)
        self.tap(page, 10, 10)  # a touch anywhere: the controls come
        page.b.wait_for('!document.getElementById("turn").hidden', 5)
        text = page.b.evaluate('document.getElementById("turn").innerText')
        self.assertIn('Otočte zařízení na šířku', text)
        self.assert_controls_beside_the_picture(page)
        time.sleep(0.3)
        page.shot('touch-menu-390x844.png')
        # Turned: the message goes, the controls move beside the picture.
        unsupported(page.b.emulate, 844, 390)
        page.b.wait_for('document.getElementById("turn").hidden', 5)
        time.sleep(0.3)
        self.assert_controls_beside_the_picture(page)
        self.assertEqual(self.layout(page)[2], 'beside')


class Sound(unittest.TestCase):
    def gesture(self, page):
        # A click where nothing is in the menu: the browser now allows sound.
        page.b.mouse('mouseMoved', 30, 300)
        page.b.mouse('mousePressed', 30, 300)
        page.b.mouse('mouseReleased', 30, 300)
        try:
            page.b.wait_for('Module.zarnik.audioRunning()', 20)
        except TimeoutError:
            state = page.b.evaluate('''new Promise(done => {
                const c = new AudioContext();
                const said = () => { done(c.state); c.close(); };
                c.resume().then(said, said);
                setTimeout(said, 2000); })''', await_promise=True)
            if page.b.engine != 'chromium' and state != 'running':
                self.skipTest('%s: its sound output does not run here (no sound device; '
                              'a new AudioContext stays "%s")' % (page.b.engine, state))
            raise

    def test_firing_makes_sound(self):
        # The music kept out: what sounds is the game's own.
        page = Page(self, hold=True, blocked=['*.mp3'])
        page.tick(260)
        self.gesture(page)
        page.b.press('down')
        page.b.press('enter')
        page.tick(30)
        # Whatever the game's start played dies away (no tick comes meanwhile).
        quiet = False
        for _ in range(20):
            page.b.evaluate('Module._zarnik_test_audio_peak()')
            time.sleep(0.3)
            if page.b.evaluate('Module._zarnik_test_audio_peak()') == 0:
                quiet = True
                break
        self.assertTrue(quiet, 'never quiet before firing')
        page.b.key('space', True)
        page.tick(20)
        time.sleep(0.3)
        page.b.key('space', False)
        self.assertGreater(page.b.evaluate('Module._zarnik_test_audio_peak()'), 1000)

    def test_the_menu_plays_its_music(self):
        page = Page(self)
        page.b.wait_for('Module.zarnik.shown', 30)
        self.gesture(page)
        page.b.wait_for('Module.zarnik.pieceFrames(0) > 0', 30)
        time.sleep(0.5)
        page.b.evaluate('Module._zarnik_test_audio_peak()')
        time.sleep(1)
        self.assertGreater(page.b.evaluate('Module._zarnik_test_audio_peak()'), 300)
        self.assertEqual(page.problems(), [])


class PageKeeps(unittest.TestCase):
    def test_keys_neither_scroll_nor_navigate(self):
        page = Page(self, hold=True)
        page.b.evaluate('''window.__kept = [];
            window.addEventListener('keydown',
                e => __kept.push([e.code, e.defaultPrevented]), false);''')
        page.tick(260)
        for key in ('space', 'up', 'down', 'left', 'right', 'backspace', 'tab', 'a', '1'):
            page.b.press(key)
        page.b.press('ctrl')
        page.b.press('f11')            # the page's own full-screen switch
        kept = dict(page.b.evaluate('__kept'))
        self.assertEqual({code: prevented for code, prevented in kept.items() if not prevented},
                         {}, 'keys the browser acted on')
        # (Esc in full screen: Manners.)
        if page.b.evaluate('document.fullscreenElement != null'):
            page.b.press('f11')
            page.b.wait_for('document.fullscreenElement == null', 5)
            time.sleep(0.5)
        page.b.press('esc')  # the game's: it closes the game
        page.tick(2)
        self.assertIn('Escape', dict(page.b.evaluate('__kept')))
        # Once the game has ended the page's own button takes the keys.
        page.b.evaluate('__kept = []')
        page.b.press('tab')
        self.assertEqual(page.b.evaluate('__kept'), [['Tab', False]])

    def test_ticks_stop_while_the_page_is_away(self):
        page = Page(self)
        page.b.wait_for('Module.zarnik.shown', 30)

        def ticking():
            time.sleep(0.3)  # settled
            before = page.frames()
            time.sleep(1)
            return page.frames() - before

        self.assertGreater(ticking(), 5)
        # Another tab in front: the page is hidden and loses the focus.
        unsupported(page.b.hide)
        page.b.wait_for('document.hidden')
        self.assertEqual(ticking(), 0)
        page.b.show()
        page.b.wait_for('!document.hidden')
        self.assertGreater(ticking(), 5)
        # Visible but without the focus (another window in front).
        page.b.evaluate('window.dispatchEvent(new FocusEvent("blur"))')
        self.assertEqual(ticking(), 0)
        page.b.evaluate('window.dispatchEvent(new FocusEvent("focus"))')
        self.assertGreater(ticking(), 5)


class FullScreenButton(unittest.TestCase):
    # Where the game draws no panel: above the speed gauge's left edge and
    # the line under the menu's top, in back-buffer pixels.
    FREE_CORNER = 50

    def button_in_play(self, width, height):
        page = Page(self, hold=True, width=width, height=height,
                    stored={SETTINGS: settings_bytes([str(width), str(height), 'PILOT'])})
        page.tick(260)
        page.b.press('down')
        page.b.press('enter')
        page.tick(60)
        self.assertEqual(page.state()['in_menu'], 0)
        page.b.mouse('mouseMoved', width // 2, height // 3)  # the button shows
        time.sleep(0.8)
        page.shot('play-%dx%d.png' % (width, height))
        button, picture, size = page.b.evaluate('''(() => {
            const box = id => { const r = document.getElementById(id).getBoundingClientRect();
                                return [r.left, r.top, r.right, r.bottom]; };
            const c = document.getElementById('canvas');
            return [box('fullscreen'), box('canvas'), [c.width, c.height]]; })()''')
        self.assertEqual(size, [width, height])
        self.assertGreater(button[2] - button[0], 10)
        # The button's corners in the picture's pixels.
        sx = size[0] / (picture[2] - picture[0])
        sy = size[1] / (picture[3] - picture[1])
        left, top = (button[0] - picture[0]) * sx, (button[1] - picture[1]) * sy
        right, bottom = (button[2] - picture[0]) * sx, (button[3] - picture[1]) * sy
        outside = right <= 0 or bottom <= 0 or left >= size[0] or top >= size[1]
        in_free_corner = right <= self.FREE_CORNER and bottom <= self.FREE_CORNER
        self.assertTrue(outside or in_free_corner,
                        'the button covers the game at %s' % [left, top, right, bottom])

    def test_it_keeps_off_the_game_s_panels_in_play(self):
        self.button_in_play(800, 600)
        self.button_in_play(1920, 1080)


class GameEnds(unittest.TestCase):
    def ended_screen(self, page):
        page.b.wait_for('!document.getElementById("ended").hidden', 20)
        return page.b.evaluate('document.getElementById("ended").innerText')

    def test_konec_leaves_a_screen_to_play_again(self):
        page = Page(self, hold=True)
        page.tick(260)
        page.b.press('esc')
        page.tick(2)
        text = self.ended_screen(page)
        self.assertIn('Hra skončila', text)
        self.assertIn('Hrát znovu', text)
        page.shot('ended.png')
        # The close saved: the settings are kept.
        kept = page.b.evaluate('''new Promise(done => {
            const r = indexedDB.open('zarnik', 1);
            r.onsuccess = () => {
              const q = r.result.transaction('files').objectStore('files').getAllKeys();
              q.onsuccess = () => done(q.result);
            };
          })''', await_promise=True)
        self.assertIn(SETTINGS, kept)
        box = page.b.evaluate('''(() => { const r = document.getElementById('again')
            .getBoundingClientRect(); return [r.x + r.width / 2, r.y + r.height / 2]; })()''')
        page.b.evaluate('window.__zarnikOld = true')
        page.b.mouse('mousePressed', *box)
        # Its click reloads the page: the release is not waited for in it.
        page.b.mouse('mouseReleased', *box, wait=False)
        page.b.wait_for('!window.__zarnikOld && window.Module && Module.calledRun', 30)
        page.tick(3)
        self.assertEqual(page.state()['splash_frames'], 3)

    def test_the_help_line_opens_the_sites_help_page_in_a_new_tab(self):
        page = Page(self, hold=True)
        page.tick(260)
        page.b.evaluate('''(() => { const open = window.open;
            window.open = (url, target) => { window.__opened = url;
              const w = open.call(window, url, target); window.__openedWindow = !!w; return w; };
          })()''')
        before = {t['targetId'] for t in page.b.pages()}
        page.b.mouse('mouseMoved', 100, 582)  # "Nápověda ke hře"
        page.b.mouse('mousePressed', 100, 582)
        page.b.mouse('mouseReleased', 100, 582)
        page.tick(2)
        self.ended_screen(page)
        # Opened from the site, relative to the page: never a file of the
        # program's own file system.
        self.assertEqual(page.b.evaluate('window.__opened'), 'data/napoveda.html')
        if page.b.engine == 'webkit' and not page.b.evaluate('window.__openedWindow'):
            self.skipTest('webkit: MiniBrowser under automation opens no window for a page\'s '
                          'window.open (it returns null)')
        opened = [t for t in page.b.pages() if t['targetId'] not in before]
        self.assertEqual(len(opened), 1)
        self.assertTrue(page.b.evaluate('document.getElementById("dialog").hidden'))
        with page.b.on_page(opened[0]['targetId']):
            page.b.wait_for('document.readyState == "complete"', 20)
            self.assertEqual(page.b.evaluate('location.href'),
                             page.server.url + 'data/napoveda.html')
            self.assertEqual(page.b.evaluate('document.title'), 'Zarnik – nápověda ke hře')
            self.assertIn('ÚROVEŇ', page.b.evaluate('document.body.innerText'))
            self.assertIsNone(page.b.evaluate('window.opener'))
            page.shot('help.png')

    def test_a_missing_data_file_is_told_in_czech(self):
        page = Page(self, blocked=['*menu.xxx*'])
        self.ended_screen(page)
        page.b.wait_for('!document.getElementById("dialog").hidden', 10)
        text = page.b.evaluate('document.getElementById("dialog-text").innerText')
        self.assertIn('menu.xxx', text)
        page.shot('error.png')


def need_context(page, kind):
    """Skips the test where the engine offers no such context (headless
    Firefox here has no WebGL at all)."""
    if not page.b.evaluate('!!document.createElement("canvas").getContext(%s)' % json.dumps(kind)):
        raise unittest.SkipTest('%s: no %s context in this engine' % (CONFIG['engine'], kind))


class Presenting(unittest.TestCase):
    # The frame as shown against the 16-bit frame the program handed over:
    # the count of pixels that differ once narrowed back to 16 bits, and of
    # those whose 8-bit fields are not the 16-bit ones widened by repeating
    # their top bits (the program's own widening, for the 2D canvas).
    DIFFERING = '''(() => {
        const p = Module.zarnik.presenter, s = p.source, [w, h, d] = p.framePixels();
        let n = 0, widened = 0;
        for (let y = 0; y < h; y++)
          for (let x = 0; x < w; x++) {
            const i = 4 * (y * w + x), c = s.pixels[y * s.pitch + x];
            if ((((d[i] >> 3) << 11) | ((d[i + 1] >> 2) << 5) | (d[i + 2] >> 3)) !== c) n++;
            const r = c >> 11, g = (c >> 5) & 63, b = c & 31;
            if (d[i] !== ((r << 3) | (r >> 2)) || d[i + 1] !== ((g << 2) | (g >> 4)) ||
                d[i + 2] !== ((b << 3) | (b >> 2)) || d[i + 3] !== 255) widened++;
          }
        return [n, widened];
      })()'''

    def test_each_presenter_shows_the_frame_the_program_drew(self):
        for kind in ('webgl2', 'webgl', '2d'):
            with self.subTest(kind=kind):
                page = Page(self, hold=True, presenter=kind)
                if kind != '2d':
                    try:
                        need_context(page, kind)
                    except unittest.SkipTest as e:
                        print('    %s' % e)
                        continue
                page.tick(262)  # the menu, its stars out
                self.assertEqual(page.b.evaluate('Module.zarnik.presenter.kind'), kind)
                differing, widened = page.b.evaluate(self.DIFFERING)
                self.assertEqual(differing, 0)
                if kind == '2d':
                    self.assertEqual(widened, 0)
                page.shot('menu-%s.png' % kind)
                self.assertEqual(page.problems(), [])

    def test_a_lost_context_falls_back_to_2d_and_comes_back(self):
        page = Page(self, hold=True, presenter='webgl2')
        need_context(page, 'webgl2')
        page.tick(262)
        page.b.evaluate('''window.__lose = Module.zarnik.presenter.gl
            .getExtension('WEBGL_lose_context'); __lose.loseContext();''')
        page.b.wait_for('Module.zarnik.presenter.lost')
        page.tick(1)
        # A 2D canvas over the page's, which keeps the mouse.
        over = page.b.evaluate('''(() => {
            const o = document.querySelector('canvas.zarnik-fallback');
            const c = document.getElementById('canvas');
            const box = e => { const r = e.getBoundingClientRect();
                               return [r.left, r.top, r.width, r.height]; };
            return o && [box(o), box(c), getComputedStyle(o).pointerEvents,
                         document.elementFromPoint(400, 300) === c]; })()''')
        self.assertIsNotNone(over, 'no 2D canvas while the context is lost')
        self.assertEqual(over[0], over[1])
        self.assertEqual(over[2:], ['none', True])
        self.assertEqual(page.b.evaluate(self.DIFFERING), [0, 0])
        page.shot('menu-lost.png')
        page.b.evaluate('__lose.restoreContext()')
        page.b.wait_for('!Module.zarnik.presenter.lost')
        page.tick(1)
        self.assertFalse(page.b.evaluate('!!document.querySelector("canvas.zarnik-fallback")'))
        self.assertEqual(page.b.evaluate(self.DIFFERING)[0], 0)
        # The loss itself is the browser's warning, not the page's.
        self.assertEqual([p for p in page.problems() if 'context' not in p[1].lower()], [])

    # A presenter of the test's own on a canvas of its own, fed a pattern.
    SCALED = '''(() => {
        const [fw, fh, vw, vh, crisp, pattern] = %s;
        const c = document.createElement('canvas');
        document.body.appendChild(c);
        const p = new ZarnikPresenter(c, {kind: 'webgl2'});
        const frame = new Uint16Array(fw * fh);
        for (let y = 0; y < fh; y++)
          for (let x = 0; x < fw; x++)
            frame[y * fw + x] = pattern === 'columns' ? (x %% 4 === 0 ? 0xFFFF : 0)
                                                      : (x * 7919 + y * 104729) & 0xFFFF;
        p.setFrameSize(fw, fh);
        p.setPlace(0, 0, vw, vh, crisp);
        p.present565(frame, fw, fh, 0, 0, fw, fh, 0, 0);
        const [w, h, d] = p.screenPixels();
        c.remove();
        if (pattern === 'columns') {
          // The farthest any screen pixel is from the white share of the
          // frame's pixels under it.
          const f = fw / w;
          let worst = 0;
          for (let x = 0; x < w; x++) {
            let white = 0;
            for (let c = Math.floor(x * f); c < Math.ceil((x + 1) * f); c++)
              if (c %% 4 === 0) white += Math.min(c + 1, (x + 1) * f) - Math.max(c, x * f);
            const want = 255 * white / f;
            for (let y = 0; y < h; y++) worst = Math.max(worst, Math.abs(d[4 * (y * w + x)] - want));
          }
          return [w, h, Math.round(worst)];
        }
        // At a whole factor every frame pixel is a square of screen pixels.
        const k = w / fw;
        let off = 0;
        for (let y = 0; y < h; y++)
          for (let x = 0; x < w; x++) {
            const s = frame[Math.floor(y / k) * fw + Math.floor(x / k)], i = 4 * (y * w + x);
            if (d[i] >> 3 !== s >> 11 || d[i + 1] >> 2 !== ((s >> 5) & 63) ||
                d[i + 2] >> 3 !== (s & 31)) off++;
          }
        return [w, h, off];
      })()'''

    def test_the_gpu_scales_sharp_at_a_whole_factor_and_averages_when_shrinking(self):
        page = Page(self, hold=True)
        need_context(page, 'webgl2')
        # 1920 x 1080 shown at 800 x 450, every fourth column white: each
        # screen pixel shows about the share of white under it (sampled
        # nearest or bilinear, some would be off by 60 to 255).
        w, h, worst = page.b.evaluate(self.SCALED % json.dumps(
            [1920, 1080, 800, 450, False, 'columns']))
        self.assertEqual((w, h), (800, 450))
        self.assertLess(worst, 24)
        # 400 x 300 at twice its size: pixel for pixel.
        self.assertEqual(page.b.evaluate(self.SCALED % json.dumps(
            [400, 300, 800, 600, True, 'noise'])), [800, 600, 0])

    def test_the_picture_keeps_its_shape_through_webgl(self):
        # Drawn at 800 x 600 in a window of 1920 x 1080: 1.8 times as large,
        # with bars left and right.
        page = Page(self, hold=True, presenter='webgl2', width=1920, height=1080)
        need_context(page, 'webgl2')
        page.tick(262)
        box, backing = page.b.evaluate('''(() => {
            const c = document.getElementById('canvas'), r = c.getBoundingClientRect();
            return [[r.left, r.top, r.width, r.height], [c.width, c.height]]; })()''')
        self.assertEqual(box, [240, 0, 1440, 1080])
        # The canvas has the screen's pixels: the GPU scaled.
        self.assertEqual(backing, [1440, 1080])
        page.shot('menu-in-1920x1080-webgl2.png')


class Downloads(unittest.TestCase):
    def test_the_game_s_pictures_come_after_the_first_frame_and_a_start_waits_for_them(self):
        gate = threading.Event()
        self.addCleanup(gate.set)

        class Gated(browser._QuietHandler):
            def do_GET(self):
                if 'obrazky' in self.path:
                    gate.wait(60)
                super().do_GET()

        page = Page(self, server=site_server(self, handler=Gated))
        page.b.wait_for('Module.zarnik.shown', 30)
        self.assertEqual(page.b.evaluate('Module.zarnik.pending'), 1)
        self.assertFalse(page.b.evaluate('FS.analyzePath("/zarnik/obrazky.xxx").exists'))
        page.wait_state(lambda s: s['splash_frames'] >= 250 and s['in_menu'] == 1, 30)
        page.b.press('down')   # the start item
        page.b.press('enter')
        time.sleep(0.5)
        self.assertEqual(page.state()['in_menu'], 1, 'a game started without its pictures')
        gate.set()
        page.b.wait_for('Module.zarnik.pending == 0', 30)
        # The keys waited, in order: now the game starts.
        page.wait_state(lambda s: s['in_menu'] == 0, 10)
        asked, first = page.b.evaluate('''[performance.getEntriesByType('resource')
            .find(e => e.name.endsWith('obrazky.xxx.gz')).startTime,
            Module.zarnik.firstFrameAt]''')
        self.assertGreaterEqual(asked, first)
        self.assertEqual(page.problems(), [])


    def test_a_browser_that_cannot_unpack_the_site_is_told_so(self):
        page = Page(self, wait=False, scripts=['delete window.DecompressionStream;'])
        b = page.b
        b.wait_for('document.getElementById("status").textContent.includes("neumí")', 20)
        time.sleep(0.5)  # nothing else comes over it
        self.assertEqual(b.evaluate('document.getElementById("status").textContent'),
                         'Tento prohlížeč hru spustit neumí.')
        self.assertFalse(b.evaluate('!!(window.Module && Module.calledRun)'))


class Offline(unittest.TestCase):
    def test_after_one_visit_the_game_starts_without_the_server(self):
        server = site_server(self, site='site')
        page = Page(self, site='site', server=server)
        page.b.wait_for('Module.zarnik.shown', 30)
        page.b.wait_for('navigator.serviceWorker.controller != null', 30)
        if page.b.engine == 'chromium':
            # Only Chromium's protocol says whether the page can be installed.
            errors = page.b.call('Page.getInstallabilityErrors').get('installabilityErrors', [])
            self.assertEqual(errors, [])
        server.close()
        page.b.reload()
        page.b.wait_for('window.Module && Module.zarnik.shown', 30)
        self.assertTrue(page.b.evaluate('Module.zarnik.pieceIndex("menu") == 0'))
        # The help page too: the menu's help line opens it offline.
        self.assertTrue(page.b.evaluate("fetch('data/napoveda.html').then(r => r.ok)",
                                        await_promise=True))
        self.assertEqual(page.problems(), [])


def suite(names=None):
    loader = unittest.TestLoader()
    tests = unittest.TestSuite()
    for case in (PageStarts, SameGame, KeptAcrossReloads, SharedAcrossTabs, Manners, Touch, Sound,
                 PageKeeps, FullScreenButton, GameEnds, Presenting, Downloads, Offline):
        for t in loader.loadTestsFromTestCase(case):
            if not names or any(n in t.id() for n in names):
                tests.addTest(t)
    return tests


def main(argv):
    names = []
    if '-k' in argv:
        i = argv.index('-k')
        names = argv[i + 1].split(',')
        argv = argv[:i] + argv[i + 2:]
    CONFIG['engine'] = 'chromium'
    if '--engine' in argv:
        i = argv.index('--engine')
        CONFIG['engine'] = argv[i + 1]
        argv = argv[:i] + argv[i + 2:]
    if CONFIG['engine'] not in ('chromium', 'firefox', 'webkit'):
        print('run_browser_tests.py: no engine "%s" (chromium, firefox, webkit)' % CONFIG['engine'])
        return 2
    web, host = os.path.abspath(argv[1]), os.path.abspath(argv[2])
    CONFIG['web'] = web
    CONFIG['shots'] = os.path.join(os.path.abspath(argv[3]) if len(argv) > 3 else
                                   os.path.join(web, 'shots'), CONFIG['engine'])
    os.makedirs(CONFIG['shots'], exist_ok=True)
    CONFIG['shot_tool'] = os.path.join(host, 'tools', 'zarnik-shot', 'zarnik-shot')
    CONFIG['site_dir'] = os.path.join(web, 'site')
    start = time.monotonic()
    result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite(names))
    total = result.testsRun
    failed = len(result.failures) + len(result.errors)
    # A test an engine cannot run said why above; it is not counted.
    skipped = len(result.skipped)
    for test, reason in result.skipped:
        print('not run in %s: %s: %s' % (CONFIG['engine'], test.id().split('.', 1)[1], reason))
    print('%s: %d s' % (CONFIG['engine'], time.monotonic() - start))
    print('%d%% tests passed, %d tests failed out of %d' %
          (100 * (total - skipped - failed) // max(total - skipped, 1), failed, total - skipped))
    return 0 if result.wasSuccessful() and total > 0 else 1


if __name__ == '__main__':
    sys.exit(main(sys.argv))
