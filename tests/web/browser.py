"""Headless Chromium driven through the DevTools protocol, and a local server.

The browser is Debian's chromium, talked to over --remote-debugging-pipe
(JSON messages ended by a zero byte on its file descriptors 3 and 4), so
nothing beyond Python's own library is needed. The server serves a folder
on the loopback address with the types a web app needs.
"""
import base64
import contextlib
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

    def __init__(self, folder, handler=None):
        handler = functools.partial(handler or _QuietHandler, directory=folder)
        handler.extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map,
                                      **self.TYPES)
        self.httpd = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()
        self.url = 'http://127.0.0.1:%d/' % self.httpd.server_address[1]

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def end_headers(self):
        # Every answer afresh: the service worker, not the HTTP cache, keeps
        # the site.
        self.send_header('Cache-Control', 'no-store')
        super().end_headers()


class ProtocolError(Exception):
    pass


class Browser:
    """One headless Chromium with one page attached."""

    def __init__(self, width=800, height=600, extra_args=()):
        self.profile = tempfile.mkdtemp(prefix='zarnik-chromium-')
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
        self.session = self.call('Target.attachToTarget',
                                 {'targetId': self.target, 'flatten': True},
                                 session=False)['sessionId']
        for domain in ('Page', 'Runtime', 'Log'):
            self.call(domain + '.enable')
        # A headless page never has the focus of its own; a player's has.
        self.call('Emulation.setFocusEmulationEnabled', {'enabled': True})
        self.call('Emulation.setDeviceMetricsOverride', {
            'width': self.width, 'height': self.height, 'deviceScaleFactor': 1,
            'mobile': False, 'screenWidth': self.width, 'screenHeight': self.height})

    def pages(self):
        """The browser's pages (tabs)."""
        return [t for t in self.call('Target.getTargets', session=False)['targetInfos']
                if t['type'] == 'page']

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

    def count_input(self):
        """Counts the page's input from the next document on."""
        self.call('Page.addScriptToEvaluateOnNewDocument', {'source': self.COUNT_INPUT})
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

    def key(self, name, down=True, modifiers=0):
        code, key, vk = self.key_info(name)
        before = self._count()
        self.call('Input.dispatchKeyEvent', {
            'type': 'rawKeyDown' if down else 'keyUp', 'code': code, 'key': key,
            'windowsVirtualKeyCode': vk, 'nativeVirtualKeyCode': vk, 'modifiers': modifiers})
        self._delivered(before)

    def press(self, name, modifiers=0):
        self.key(name, True, modifiers)
        self.key(name, False, modifiers)

    BUTTONS = {0: 'left', 1: 'right', 2: 'middle'}

    def mouse(self, kind, x, y, button=0, clicks=1):
        before = self._count()
        self.call('Input.dispatchMouseEvent', {
            'type': kind, 'x': x, 'y': y, 'button': self.BUTTONS[button] if kind != 'mouseMoved'
            else 'none', 'clickCount': clicks})
        self._delivered(before)

    def wheel(self, x, y, delta_y):
        before = self._count()
        self.call('Input.dispatchMouseEvent', {
            'type': 'mouseWheel', 'x': x, 'y': y, 'deltaX': 0, 'deltaY': delta_y})
        self._delivered(before)
