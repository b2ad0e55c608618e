"""Headless Chromium driven through the DevTools protocol, and a local server.

The browser is Debian's chromium, talked to over --remote-debugging-pipe
(JSON messages ended by a zero byte on its file descriptors 3 and 4), so
nothing beyond Python's own library is needed. The server serves a folder
on the loopback address with the types a web app needs.
"""
import base64
import contextlib
import fnmatch
import functools
import http.server
import json
import os
import queue
import shutil
import subprocess
import tempfile
import threading
import time

CHROMIUM = os.environ.get('CHROMIUM', '/usr/bin/chromium')


class Server:
    """A static server for one folder on 127.0.0.1 (a port of its own)."""

    TYPES = {
        '.wasm': 'application/wasm',
        '.js': 'text/javascript',
        '.webmanifest': 'application/manifest+json',
        '.mp3': 'audio/mpeg',
        '.bin': 'application/octet-stream',
        '.xxx': 'application/octet-stream',
        '.mid': 'audio/midi',
    }

    def __init__(self, folder, inject=(), blocked=(), handler=None):
        """inject: scripts put first into every page's head (they run before
        the page's own, in any engine); blocked: names (fnmatch patterns of
        the path) answered 404, as a network that cannot bring them; handler:
        a subclass of _QuietHandler with more of its own (headers, gates)."""
        own = type('Handler', (handler or _QuietHandler,), {
            'inject': ''.join('<script>%s</script>' % s for s in inject).encode(),
            'blocked': list(blocked),
            'extensions_map': dict(http.server.SimpleHTTPRequestHandler.extensions_map,
                                   **self.TYPES)})
        handler = functools.partial(own, directory=folder)
        self.httpd = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()
        self.url = 'http://127.0.0.1:%d/' % self.httpd.server_address[1]

    def close(self):
        if self.httpd is None:
            return
        self.httpd.shutdown()
        self.httpd.server_close()
        self.httpd = None


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    inject = b''
    blocked = []

    def log_message(self, *args):
        pass

    def do_GET(self):
        path = self.path.split('?', 1)[0]
        if any(fnmatch.fnmatch(path, b) for b in self.blocked):
            self.send_error(404)
            return
        if self.inject and (path.endswith('/') or path.endswith('.html')) and \
                not path.startswith('/data/'):
            file = self.translate_path(path)
            if os.path.isdir(file):
                file = os.path.join(file, 'index.html')
            try:
                with open(file, 'rb') as f:
                    body = f.read().replace(b'<head>', b'<head>' + self.inject, 1)
            except OSError:
                self.send_error(404)
                return
            self.send_response(200)
            self.send_header('Content-Type', 'text/html; charset=utf-8')
            self.send_header('Content-Length', str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        super().do_GET()

    def end_headers(self):
        # Every answer afresh: the service worker, not the HTTP cache, keeps
        # the site.
        self.send_header('Cache-Control', 'no-store')
        super().end_headers()


class ProtocolError(Exception):
    pass


class Browser:
    """One headless Chromium with one page attached."""

    engine = 'chromium'

    def __init__(self, width=800, height=600, extra_args=(), profile=None, mobile=False,
                 scale=1):
        # A profile named by the caller outlives the browser (a player's
        # browser closed and opened again).
        self.own_profile = profile is None
        self.profile = profile or tempfile.mkdtemp(prefix='zarnik-chromium-')
        to_browser_r, self._to_browser = os.pipe()
        self._from_browser, from_browser_w = os.pipe()

        def child_fds():
            # Out of the way first, so neither lands on the other's number;
            # dup2 leaves the copies inheritable.
            reads, writes = os.dup(to_browser_r), os.dup(from_browser_w)
            os.dup2(reads, 3)
            os.dup2(writes, 4)

        args = [
            CHROMIUM, '--headless=new', '--remote-debugging-pipe', '--no-sandbox',
            # WebGL without a GPU (SwiftShader): the page's tests ask for it.
            '--disable-gpu', '--enable-unsafe-swiftshader',
            '--disable-quic', '--no-first-run', '--no-default-browser-check',
            '--disable-background-networking', '--disable-component-update', '--disable-sync',
            '--disable-extensions', '--mute-audio', '--autoplay-policy=user-gesture-required',
            '--user-data-dir=' + self.profile, '--window-size=%d,%d' % (width, height),
        ] + list(extra_args) + ['about:blank']
        self.proc = subprocess.Popen(args, preexec_fn=child_fds, close_fds=False,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self._next_id = 0
        self._lock = threading.Lock()
        self._waiting = {}
        self.events = queue.Queue()
        self.console = []   # (level, text) of the page's console and errors
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        self.session = None
        self.width, self.height = width, height
        self.mobile, self.scale = mobile, scale
        self.attach_first_page()

    # --- the protocol ---
    def _read(self):
        buffer = b''
        while True:
            try:
                chunk = os.read(self._from_browser, 1 << 16)
            except OSError:
                break
            if not chunk:
                break
            buffer += chunk
            while b'\0' in buffer:
                raw, buffer = buffer.split(b'\0', 1)
                message = json.loads(raw)
                if 'id' in message:
                    with self._lock:
                        slot = self._waiting.pop(message['id'], None)
                    if slot is not None:
                        slot.put(message)
                else:
                    self._event(message)
        with self._lock:
            for slot in self._waiting.values():
                slot.put({'error': {'message': 'the browser went away'}})
            self._waiting.clear()

    def _event(self, message):
        method, params = message.get('method'), message.get('params', {})
        if method == 'Runtime.consoleAPICalled':
            text = ' '.join(str(a.get('value', a.get('description', ''))) for a in params['args'])
            self.console.append((params['type'], text))
        elif method == 'Runtime.exceptionThrown':
            d = params['exceptionDetails']
            self.console.append(('exception', d.get('exception', {}).get('description', d['text'])))
        elif method == 'Log.entryAdded':
            e = params['entry']
            self.console.append((e['level'], e['text'] + (' ' + e['url'] if e.get('url') else '')))
        self.events.put(message)

    def call(self, method, params=None, session=True, timeout=60):
        with self._lock:
            self._next_id += 1
            ident = self._next_id
            slot = queue.Queue()
            self._waiting[ident] = slot
        message = {'id': ident, 'method': method, 'params': params or {}}
        if session and self.session:
            message['sessionId'] = self.session
        data = json.dumps(message).encode() + b'\0'
        os.write(self._to_browser, data)
        try:
            answer = slot.get(timeout=timeout)
        except queue.Empty:
            raise ProtocolError('%s: no answer in %d s' % (method, timeout))
        if 'error' in answer:
            raise ProtocolError('%s: %s' % (method, answer['error'].get('message')))
        return answer.get('result', {})

    def attach_first_page(self):
        targets = self.call('Target.getTargets', session=False)['targetInfos']
        page = next(t for t in targets if t['type'] == 'page')
        self.target = page['targetId']
        self.session = self._attach(self.target)

    def _attach(self, target):
        first, self.session = self.session, self.call(
            'Target.attachToTarget', {'targetId': target, 'flatten': True},
            session=False)['sessionId']
        try:
            for domain in ('Page', 'Runtime', 'Log'):
                self.call(domain + '.enable')
            # A headless page never has the focus of its own; a player's has.
            self.call('Emulation.setFocusEmulationEnabled', {'enabled': True})
            self.emulate(self.width, self.height)
            return self.session
        finally:
            if first is not None:
                self.session = first

    def emulate(self, width, height):
        """The page's size (a phone's: touch only, its pixel ratio)."""
        self.width, self.height = width, height
        self.call('Emulation.setDeviceMetricsOverride', {
            'width': width, 'height': height, 'deviceScaleFactor': self.scale,
            'mobile': self.mobile, 'screenWidth': width, 'screenHeight': height,
            'screenOrientation': {'type': 'portraitPrimary' if height > width
                                  else 'landscapePrimary', 'angle': 0 if height > width else 90}})
        if self.mobile:
            self.call('Emulation.setTouchEmulationEnabled', {'enabled': True, 'maxTouchPoints': 5})

    def hide(self):
        """Another tab in front: the page is hidden and loses the focus."""
        self.call('Emulation.setFocusEmulationEnabled', {'enabled': False})
        self._front = self.call('Target.createTarget', {'url': 'about:blank'},
                                session=False)['targetId']
        self.call('Target.activateTarget', {'targetId': self._front}, session=False)

    def show(self):
        self.call('Target.activateTarget', {'targetId': self.target}, session=False)
        self.call('Emulation.setFocusEmulationEnabled', {'enabled': True})

    def new_tab(self, url):
        """Another tab of this browser, set up as the first; returns a
        Tab whose calls go to it."""
        target = self.call('Target.createTarget', {'url': 'about:blank'},
                           session=False)['targetId']
        tab = Tab(self, target, self._attach(target))
        for script in getattr(self, '_new_document_scripts', []):
            tab.call('Page.addScriptToEvaluateOnNewDocument', {'source': script})
        tab.navigate(url)
        return tab

    def pages(self):
        """The browser's pages (tabs)."""
        return [t for t in self.call('Target.getTargets', session=False)['targetInfos']
                if t['type'] == 'page']

    @contextlib.contextmanager
    def on_session(self, session):
        first, self.session = self.session, session or self.session
        try:
            yield
        finally:
            self.session = first

    @contextlib.contextmanager
    def on_page(self, target_id):
        """Calls inside go to another page of this browser (a tab the game
        opened)."""
        session = self.call('Target.attachToTarget', {'targetId': target_id, 'flatten': True},
                            session=False)['sessionId']
        first, self.session = self.session, session
        try:
            yield
        finally:
            self.session = first

    def close(self):
        if getattr(self, '_closed', False):
            return
        self._closed = True
        try:
            self.call('Browser.close', session=False, timeout=10)
        except ProtocolError:
            pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        os.close(self._to_browser)
        if self.own_profile:
            shutil.rmtree(self.profile, ignore_errors=True)

    # --- the page ---
    def navigate(self, url):
        self.call('Page.navigate', {'url': url})

    def reload(self):
        """Reloads and returns once the new document is there."""
        self.evaluate('window.__zarnikOld = true')
        self.call('Page.reload', {'ignoreCache': False})
        self.wait_for('!window.__zarnikOld && document.readyState != "loading"', 60)

    def evaluate(self, expression, await_promise=False, timeout=60):
        result = self.call('Runtime.evaluate', {
            'expression': expression, 'returnByValue': True, 'awaitPromise': await_promise,
            'userGesture': False}, timeout=timeout)
        if 'exceptionDetails' in result:
            d = result['exceptionDetails']
            raise ProtocolError('page: ' + d.get('exception', {}).get('description', d['text']))
        return result['result'].get('value')

    def wait_for(self, expression, timeout=30, interval=0.05):
        """Waits until the expression is true in the page; returns its value."""
        end = time.monotonic() + timeout
        while True:
            try:
                value = self.evaluate(expression, timeout=5)
            except ProtocolError:
                value = None  # the page is between two documents
            if value:
                return value
            if time.monotonic() > end:
                raise TimeoutError('page: never true: ' + expression)
            time.sleep(interval)

    def screenshot(self, path):
        data = self.call('Page.captureScreenshot', {'format': 'png'})['data']
        with open(path, 'wb') as f:
            f.write(base64.b64decode(data))

    # --- input as the user gives it ---
    # Each input waits until the page has seen it: the browser hands some
    # (the wheel's) to the page after the command has returned.
    COUNT_INPUT = '''
    (() => {
      window.__zarnikInput = 0;
      for (const t of ['keydown', 'keyup', 'mousedown', 'mouseup', 'mousemove', 'wheel'])
        window.addEventListener(t, () => { window.__zarnikInput++; }, true);
    })();'''

    def on_new_document(self, script):
        """Runs the script in every document from the next on (and in the
        tabs opened later)."""
        self.call('Page.addScriptToEvaluateOnNewDocument', {'source': script})
        self._new_document_scripts = getattr(self, '_new_document_scripts', []) + [script]

    def count_input(self):
        """Counts the page's input from the next document on."""
        self.on_new_document(self.COUNT_INPUT)
        self._counting = True

    def _count(self):
        if not getattr(self, '_counting', False):
            return None
        return self.evaluate('window.__zarnikInput')

    def _delivered(self, before):
        if before is not None:
            self.wait_for('window.__zarnikInput > %d' % before, timeout=10, interval=0.01)

    KEYS = {
        'enter': ('Enter', 'Enter', 13), 'esc': ('Escape', 'Escape', 27),
        'space': ('Space', ' ', 32), 'ctrl': ('ControlLeft', 'Control', 17),
        'pause': ('Pause', 'Pause', 19), 'backspace': ('Backspace', 'Backspace', 8),
        'left': ('ArrowLeft', 'ArrowLeft', 37), 'right': ('ArrowRight', 'ArrowRight', 39),
        'up': ('ArrowUp', 'ArrowUp', 38), 'down': ('ArrowDown', 'ArrowDown', 40),
        'f11': ('F11', 'F11', 122), 'tab': ('Tab', 'Tab', 9),
    }

    def key_info(self, name):
        name = name.lower()
        if name in self.KEYS:
            return self.KEYS[name]
        if len(name) == 1 and name.isalpha():
            return ('Key' + name.upper(), name, ord(name.upper()))
        if len(name) == 1 and name.isdigit():
            return ('Digit' + name, name, ord(name))
        raise ValueError('no such key: ' + name)

    def key(self, name, down=True, modifiers=0, wait=True):
        """A key; wait=False for one the browser itself may keep (Esc that
        leaves full screen)."""
        code, key, vk = self.key_info(name)
        before = self._count() if wait else None
        self.call('Input.dispatchKeyEvent', {
            'type': 'rawKeyDown' if down else 'keyUp', 'code': code, 'key': key,
            'windowsVirtualKeyCode': vk, 'nativeVirtualKeyCode': vk, 'modifiers': modifiers})
        self._delivered(before)

    def press(self, name, modifiers=0, wait=True):
        self.key(name, True, modifiers, wait)
        self.key(name, False, modifiers, wait)

    BUTTONS = {0: 'left', 1: 'right', 2: 'middle'}

    def mouse(self, kind, x, y, button=0, clicks=1, wait=True):
        before = self._count() if wait else None
        self.call('Input.dispatchMouseEvent', {
            'type': kind, 'x': x, 'y': y, 'button': self.BUTTONS[button] if kind != 'mouseMoved'
            else 'none', 'clickCount': clicks})
        self._delivered(before)

    def touch(self, points):
        """The fingers now on the screen: {id: (x, y)}, in CSS pixels; the
        change from the last call is one finger down, moving or up."""
        before = getattr(self, '_fingers', {})
        self._fingers = dict(points)

        def listed(fingers):
            return [{'x': x, 'y': y, 'id': i, 'radiusX': 4, 'radiusY': 4, 'force': 1}
                    for i, (x, y) in sorted(fingers.items())]
        # The protocol's touchEnd names the fingers lifted; touchStart and
        # touchMove every finger still down.
        lifted = {i: p for i, p in before.items() if i not in points}
        if lifted:
            self.call('Input.dispatchTouchEvent', {'type': 'touchEnd', 'touchPoints': listed(lifted)})
        if set(points) - set(before):
            self.call('Input.dispatchTouchEvent', {'type': 'touchStart', 'touchPoints': listed(points)})
        elif points and any(before.get(i) != p for i, p in points.items()):
            self.call('Input.dispatchTouchEvent', {'type': 'touchMove', 'touchPoints': listed(points)})

    def insert_text(self, text):
        """Text as a phone's keyboard types it into the focused field."""
        self.call('Input.insertText', {'text': text})

    def wheel(self, x, y, delta_y):
        before = self._count()
        self.call('Input.dispatchMouseEvent', {
            'type': 'mouseWheel', 'x': x, 'y': y, 'deltaX': 0, 'deltaY': delta_y})
        self._delivered(before)


class Tab:
    """Another tab of a Browser: the same calls, sent to its own session."""

    def __init__(self, browser, target, session):
        self.browser, self.target, self.session = browser, target, session

    def call(self, method, params=None, session=True, timeout=60):
        with self.browser.on_session(self.session if session else None):
            return self.browser.call(method, params, session, timeout)

    def __getattr__(self, name):
        method = getattr(type(self.browser), name)

        def bound(*args, **kwargs):
            with self.browser.on_session(self.session):
                return method(self.browser, *args, **kwargs)
        return bound

    def close(self):
        self.browser.call('Target.closeTarget', {'targetId': self.target}, session=False)
