"""Firefox ESR and WebKitGTK for the browser tests, with the calls of
browser.Browser (Chromium's): a test runs in every engine alike.

Firefox (Debian's firefox-esr) is driven over WebDriver BiDi, a WebSocket
its remote agent opens; WebKitGTK through WebKitWebDriver (Debian's
webkit2gtk-driver) over classic WebDriver, its MiniBrowser under a virtual
display of its own (Xvfb). Both are spoken from Python's own library, so
nothing is installed for them. What an engine's driver cannot do raises
Unsupported with the reason, and the test says it in its output.

Touch: neither driver has a touch screen to drive here, so a finger is the
pointer events a touch makes (pointerType "touch"), dispatched in the page
at the element under it, as Chromium's touch emulation delivers them.
"""
import base64
import contextlib
import json
import os
import re
import shutil
import socket
import struct
import subprocess
import tempfile
import time
import urllib.error
import urllib.request

FIREFOX = os.environ.get('FIREFOX', '/usr/bin/firefox-esr')
WEBKIT_DRIVER = os.environ.get('WEBKIT_DRIVER', '/usr/bin/WebKitWebDriver')
MINIBROWSER = os.environ.get('MINIBROWSER',
                             '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser')


# Put first into the pages of an engine (by the test server): headless
# Firefox (and MiniBrowser on a display without a window manager) never
# gives its window the focus, whatever its driver does, so the
# page is told it has it, as Chromium's focus emulation does. Its screen is
# smaller than some windows the tests open (Chromium's emulation sets both),
# so the screen is made at least as large as the window.
_LIKE_A_PLAYERS_WINDOW = ['document.hasFocus = () => true;',
                # Only the window in front has the focus: the others' loss of
                # it is kept from the page (a test's own blur still counts).
                '''window.addEventListener('blur', e => {
                    if (e.isTrusted && e.target === window) e.stopImmediatePropagation(); }, true);''',
                '''(() => { const w = screen.width, h = screen.height;
                    Object.defineProperty(screen, 'width', { get: () => Math.max(w, innerWidth) });
                    Object.defineProperty(screen, 'height', { get: () => Math.max(h, innerHeight) });
                  })();''']
PAGE_SCRIPTS = {'firefox': _LIKE_A_PLAYERS_WINDOW, 'webkit': _LIKE_A_PLAYERS_WINDOW}


class Unsupported(Exception):
    """What this engine's driver cannot do; the text says why."""


class ProtocolError(Exception):
    pass


# WebDriver's key values (the same in classic WebDriver and BiDi).
KEYS = {
    'enter': '\ue007', 'esc': '\ue00c', 'space': ' ', 'ctrl': '\ue009', 'pause': '\ue00b',
    'backspace': '\ue003', 'left': '\ue012', 'up': '\ue013', 'right': '\ue014',
    'down': '\ue015', 'f11': '\ue03b', 'tab': '\ue004',
}
# The tests' buttons (the game's: left, right, middle) as WebDriver's.
BUTTONS = {0: 0, 1: 2, 2: 1}

# A finger as the pointer events of a touch: each change is one event at
# the element under the finger, or at the one it went down on (which holds
# it, as pointer capture does).
TOUCH_JS = r'''((changes) => {
  const held = window.__zarnikFingers = window.__zarnikFingers || {};
  for (const [type, id, x, y] of changes) {
    const target = type === 'pointerdown' ? document.elementFromPoint(x, y)
                                          : (held[id] || document.elementFromPoint(x, y));
    if (!target) continue;
    if (type === 'pointerdown') held[id] = target;
    if (type === 'pointerup') delete held[id];
    target.dispatchEvent(new PointerEvent(type, {
      bubbles: true, cancelable: true, composed: true, pointerId: 100 + id,
      pointerType: 'touch', isPrimary: Object.keys(held).length <= 1, clientX: x, clientY: y,
      width: 8, height: 8, pressure: type === 'pointerup' ? 0 : 0.5,
      button: type === 'pointermove' ? -1 : 0, buttons: type === 'pointerup' ? 0 : 1 }));
  }
})(%s)'''

# Text typed into the focused field as a phone's keyboard types it.
INSERT_TEXT_JS = '''((text) => {
  const f = document.activeElement;
  if (!f || f.tagName !== 'INPUT') throw new Error('no field has the focus');
  for (const ch of text) {
    const e = new InputEvent('beforeinput', { inputType: 'insertText', data: ch,
                                              bubbles: true, cancelable: true });
    if (f.dispatchEvent(e)) {
      f.value += ch;
      f.dispatchEvent(new InputEvent('input', { inputType: 'insertText', data: ch, bubbles: true }));
    }
  }
})(%s)'''


def _free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


class _Page:
    """What both drivers share: waiting, input by name, fingers."""

    counting = False

    def wait_for(self, expression, timeout=30, interval=0.05):
        end = time.monotonic() + timeout
        while True:
            try:
                value = self.evaluate(expression, timeout=5)
            except (ProtocolError, OSError):
                value = None  # between two documents
            if value:
                return value
            if time.monotonic() > end:
                raise TimeoutError('page: never true: ' + expression)
            time.sleep(interval)

    def _count(self):
        return self.evaluate('window.__zarnikInput') if self.counting else None

    def _delivered(self, before):
        if before is not None:
            self.wait_for('window.__zarnikInput > %d' % before, timeout=10, interval=0.01)

    def key_value(self, name):
        name = name.lower()
        if name in KEYS:
            return KEYS[name]
        if len(name) == 1 and (name.isalpha() or name.isdigit()):
            return name
        raise ValueError('no such key: ' + name)

    def key(self, name, down=True, modifiers=0, wait=True):
        before = self._count() if wait else None
        value = self.key_value(name)
        steps = []
        if modifiers & 2 and down:
            steps.append({'type': 'keyDown', 'value': '\ue009'})
        if modifiers & 1 and down:
            steps.append({'type': 'keyDown', 'value': '\ue00a'})
        steps.append({'type': 'keyDown' if down else 'keyUp', 'value': value})
        if modifiers & 1 and not down:
            steps.append({'type': 'keyUp', 'value': '\ue00a'})
        if modifiers & 2 and not down:
            steps.append({'type': 'keyUp', 'value': '\ue009'})
        self._actions([{'type': 'key', 'id': 'keyboard', 'actions': steps}])
        self._delivered(before)

    def press(self, name, modifiers=0, wait=True):
        self.key(name, True, modifiers, wait)
        self.key(name, False, modifiers, wait)

    def mouse(self, kind, x, y, button=0, clicks=1, wait=True):
        before = self._count() if wait else None
        steps = self._move_steps(kind, int(round(x)), int(round(y)))
        if kind == 'mousePressed':
            steps.append({'type': 'pointerDown', 'button': BUTTONS[button]})
        elif kind == 'mouseReleased':
            steps.append({'type': 'pointerUp', 'button': BUTTONS[button]})
        self._actions([{'type': 'pointer', 'id': 'mouse', 'parameters': {'pointerType': 'mouse'},
                        'actions': steps}])
        self._delivered(before)

    def _move_steps(self, kind, x, y):
        """The pointer brought to (x, y) before a press or release."""
        return [{'type': 'pointerMove', 'x': x, 'y': y, 'duration': 0}]

    def wheel(self, x, y, delta_y):
        before = self._count()
        self._actions([{'type': 'wheel', 'id': 'wheel', 'actions': [
            {'type': 'scroll', 'x': int(x), 'y': int(y), 'deltaX': 0, 'deltaY': int(delta_y)}]}])
        self._delivered(before)

    def touch(self, points):
        before = getattr(self, '_fingers', {})
        self._fingers = dict(points)
        changes = [['pointerup', i, x, y] for i, (x, y) in before.items() if i not in points]
        for i, (x, y) in sorted(points.items()):
            if i not in before:
                changes.append(['pointerdown', i, x, y])
            elif before[i] != (x, y):
                changes.append(['pointermove', i, x, y])
        self.evaluate(TOUCH_JS % json.dumps(changes))

    def insert_text(self, text):
        self.evaluate(INSERT_TEXT_JS % json.dumps(text))


# --- Firefox over WebDriver BiDi ---

class _WebSocket:
    """A WebSocket client, as much of one as BiDi needs (text messages)."""

    def __init__(self, host, port, path):
        self.sock = socket.create_connection((host, port), timeout=120)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall((
            'GET %s HTTP/1.1\r\nHost: %s:%d\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n'
            'Sec-WebSocket-Key: %s\r\nSec-WebSocket-Version: 13\r\n\r\n'
            % (path, host, port, key)).encode())
        head = b''
        while b'\r\n\r\n' not in head:
            chunk = self.sock.recv(1)
            if not chunk:
                raise ProtocolError('the browser closed the connection')
            head += chunk
        if b' 101 ' not in head.split(b'\r\n')[0]:
            raise ProtocolError('no WebSocket: ' + head.decode(errors='replace'))
        self.buffer = b''

    def send(self, text):
        data = text.encode()
        n = len(data)
        mask = os.urandom(4)
        if n < 126:
            head = bytes([0x81, 0x80 | n])
        elif n < 65536:
            head = bytes([0x81, 0x80 | 126]) + struct.pack('>H', n)
        else:
            head = bytes([0x81, 0x80 | 127]) + struct.pack('>Q', n)
        self.sock.sendall(head + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(data)))

    def _read(self, n):
        while len(self.buffer) < n:
            chunk = self.sock.recv(1 << 16)
            if not chunk:
                raise EOFError
            self.buffer += chunk
        out, self.buffer = self.buffer[:n], self.buffer[n:]
        return out

    def receive(self):
        message = b''
        while True:
            b0, b1 = self._read(2)
            n = b1 & 127
            if n == 126:
                n = struct.unpack('>H', self._read(2))[0]
            elif n == 127:
                n = struct.unpack('>Q', self._read(8))[0]
            payload = self._read(n)
            op = b0 & 15
            if op == 8:
                raise EOFError
            if op in (9, 10):
                continue
            message += payload
            if b0 & 0x80:
                return message.decode()

    def close(self):
        with contextlib.suppress(OSError):
            self.sock.close()


def _remote_value(v):
    """A BiDi remote value as Python's."""
    t = v.get('type')
    if t in ('undefined', 'null'):
        return None
    if t in ('string', 'boolean'):
        return v['value']
    if t == 'number':
        x = v['value']
        return float(x) if isinstance(x, str) and x in ('NaN', 'Infinity', '-Infinity') else (
            -0.0 if x == '-0' else x)
    if t == 'array':
        return [_remote_value(i) for i in v.get('value', [])]
    if t == 'object':
        return {k if isinstance(k, str) else str(_remote_value(k)): _remote_value(i)
                for k, i in v.get('value', [])}
    return None


class Firefox(_Page):
    engine = 'firefox'

    def __init__(self, width=800, height=600, profile=None, mobile=False, scale=1):
        self.own_profile = profile is None
        self.profile = profile or tempfile.mkdtemp(prefix='zarnik-firefox-')
        with open(os.path.join(self.profile, 'user.js'), 'w') as f:
            # Quiet, and the page's own full-screen switch and help tab.
            f.write('user_pref("browser.shell.checkDefaultBrowser", false);\n'
                    'user_pref("datareporting.policy.dataSubmissionEnabled", false);\n'
                    'user_pref("dom.disable_open_during_load", false);\n'
                    'user_pref("media.autoplay.default", 0);\n'
                    'user_pref("full-screen-api.warning.timeout", 0);\n'
                    'user_pref("full-screen-api.allow-trusted-requests-only", false);\n')
        self.proc = subprocess.Popen(
            [FIREFOX, '--headless', '--no-remote', '--profile', self.profile,
             '--remote-debugging-port=0', 'about:blank'],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        end = time.monotonic() + 60
        while True:
            line = self.proc.stderr.readline().decode(errors='replace')
            m = re.search(r'WebDriver BiDi listening on ws://([\d.]+):(\d+)', line)
            if m:
                break
            if not line or time.monotonic() > end:
                raise ProtocolError('Firefox did not start its remote agent')
        # The rest of its output is drained, never read.
        self._drain = subprocess.Popen(['cat'], stdin=self.proc.stderr,
                                       stdout=subprocess.DEVNULL)
        self.ws = _WebSocket(m.group(1), int(m.group(2)), '/session')
        self._next = 0
        self.console = []
        self._closed = False
        self.call('session.new', {'capabilities': {'alwaysMatch': {'acceptInsecureCerts': True}}})
        self.call('session.subscribe', {'events': ['log.entryAdded']})
        self.context = self.call('browsingContext.getTree', {})['contexts'][0]['context']
        self.mobile, self.scale = mobile, scale
        self.emulate(width, height)

    def call(self, method, params, timeout=120):
        self._next += 1
        ident = self._next
        self.ws.send(json.dumps({'id': ident, 'method': method, 'params': params}))
        self.ws.sock.settimeout(timeout)
        while True:
            try:
                message = json.loads(self.ws.receive())
            except (socket.timeout, EOFError) as e:
                raise ProtocolError('%s: no answer (%s)' % (method, e))
            if message.get('id') == ident:
                if message.get('type') == 'error':
                    raise ProtocolError('%s: %s: %s' % (method, message.get('error'),
                                                        message.get('message')))
                return message.get('result', {})
            if message.get('method') == 'log.entryAdded':
                p = message['params']
                level = {'warn': 'warning'}.get(p.get('level'), p.get('level'))
                self.console.append((level, p.get('text') or ''))

    def emulate(self, width, height):
        self.width, self.height = width, height
        self.call('browsingContext.setViewport', {
            'context': self.context, 'viewport': {'width': width, 'height': height},
            'devicePixelRatio': self.scale})

    def _actions(self, actions):
        # Keys go to the window in front: this page's is brought there. What
        # is held stays held until its own release comes (a key, a button),
        # as a user's hands do.
        if getattr(self, '_front_context', None) != self.context:
            self.call('browsingContext.activate', {'context': self.context})
            self._front_context = self.context
        self.call('input.performActions', {'context': self.context, 'actions': actions})

    def navigate(self, url):
        self.call('browsingContext.navigate', {'context': self.context, 'url': url,
                                               'wait': 'none'})

    def reload(self):
        self.evaluate('window.__zarnikOld = true')
        self.call('browsingContext.reload', {'context': self.context, 'wait': 'none'})
        self.wait_for('!window.__zarnikOld && document.readyState != "loading"', 60)

    def evaluate(self, expression, await_promise=False, timeout=60):
        r = self.call('script.evaluate', {
            'expression': expression, 'target': {'context': self.context},
            'awaitPromise': await_promise, 'resultOwnership': 'none'}, timeout=timeout)
        if r.get('type') == 'exception':
            d = r.get('exceptionDetails', {})
            raise ProtocolError('page: ' + d.get('text', str(d)))
        return _remote_value(r['result'])

    def screenshot(self, path):
        data = self.call('browsingContext.captureScreenshot', {'context': self.context})['data']
        with open(path, 'wb') as f:
            f.write(base64.b64decode(data))

    def new_tab(self, url):
        # A window of its own: a tab behind another would be hidden.
        context = self.call('browsingContext.create', {'type': 'window'})['context']
        tab = _Tab(self, context)
        tab.emulate(self.width, self.height)
        tab.navigate(url)
        return tab

    def pages(self):
        return [{'targetId': c['context']}
                for c in self.call('browsingContext.getTree', {})['contexts']]

    @contextlib.contextmanager
    def on_page(self, target_id):
        first, self.context = self.context, target_id
        try:
            yield
        finally:
            self.context = first

    def close_page(self):
        self.call('browsingContext.close', {'context': self.context})

    def hide(self):
        """Another tab in front: the page is hidden."""
        self._front = self.call('browsingContext.create', {'type': 'tab'})['context']
        self.call('browsingContext.activate', {'context': self._front})

    def show(self):
        self.call('browsingContext.activate', {'context': self.context})

    def close(self):
        if self._closed:
            return
        self._closed = True
        with contextlib.suppress(Exception):
            self.call('browser.close', {}, timeout=10)
        self.ws.close()
        try:
            self.proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self._drain.wait()
        if self.own_profile:
            shutil.rmtree(self.profile, ignore_errors=True)


class _Tab:
    """Another tab (or window) of a browser: the same calls, on its page."""

    def __init__(self, browser, page):
        self.browser, self.page = browser, page

    def __getattr__(self, name):
        method = getattr(type(self.browser), name)

        def bound(*args, **kwargs):
            with self.browser.on_page(self.page):
                return method(self.browser, *args, **kwargs)
        return bound

    def close(self):
        with self.browser.on_page(self.page):
            self.browser.close_page()


# --- WebKitGTK over classic WebDriver ---

class WebKit(_Page):
    engine = 'webkit'

    def __init__(self, width=800, height=600, profile=None, mobile=False, scale=1):
        if profile is not None:
            raise Unsupported('MiniBrowser under automation keeps its pages\' data in an '
                              'ephemeral store, gone when it closes')
        if scale != 1:
            self.scale_wanted = scale  # a pixel ratio WebDriver cannot set; the layout is alike
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(
            ['Xvfb', '-displayfd', str(write), '-screen', '0', '1920x1200x24', '-nolisten', 'tcp'],
            pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        # The number ends with a line end: read to it (closing the pipe before
        # Xvfb wrote all of it would end Xvfb).
        display = b''
        while not display.endswith(b'\n'):
            chunk = os.read(read, 64)
            if not chunk:
                break
            display += chunk
        os.close(read)
        display = display.decode().strip()
        self.port = _free_port()
        env = dict(os.environ, DISPLAY=':' + display)
        self.driver = subprocess.Popen([WEBKIT_DRIVER, '--port=%d' % self.port], env=env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._closed = False
        self.session = None
        self.console = []
        self._pointer_at = {}  # where WebDriver's pointer is, by window
        try:
            # Asked until the driver listens (a bare connection to see whether
            # it does can leave it waiting on that connection).
            end = time.monotonic() + 30
            while True:
                try:
                    self.session = self._request('POST', '/session', {'capabilities': {
                        'alwaysMatch': {
                            'browserName': 'MiniBrowser', 'pageLoadStrategy': 'none',
                            'webkitgtk:browserOptions': {'binary': MINIBROWSER,
                                                         'args': ['--automation']}}}},
                        timeout=60)['sessionId']
                    break
                except urllib.error.URLError as e:
                    if not isinstance(e.reason, ConnectionRefusedError) or \
                            time.monotonic() > end:
                        raise
                    time.sleep(0.2)
            self.handle = self.call('GET', '/window')
            self.emulate(width, height)
        except BaseException:
            self.close()
            raise

    def _request(self, method, path, body=None, timeout=120):
        request = urllib.request.Request(
            'http://127.0.0.1:%d%s' % (self.port, path), method=method,
            data=None if body is None else json.dumps(body).encode(),
            headers={'Content-Type': 'application/json'})
        try:
            with urllib.request.urlopen(request, timeout=timeout) as f:
                return json.loads(f.read())['value']
        except urllib.error.HTTPError as e:
            value = json.loads(e.read() or b'{}').get('value', {})
            raise ProtocolError('%s %s: %s: %s' % (method, path, value.get('error'),
                                                   value.get('message')))

    def call(self, method, path, body=None, timeout=120):
        """A command of this session, in the window of this page."""
        if (method, path) != ('GET', '/window') and getattr(self, 'handle', None):
            try:
                current = self._request('GET', '/session/%s/window' % self.session)
            except ProtocolError:
                current = None  # the window in front was closed
            if current != self.handle:
                self._request('POST', '/session/%s/window' % self.session, {'handle': self.handle})
        return self._request(method, '/session/%s%s' % (self.session, path), body, timeout)

    def emulate(self, width, height):
        # The window is sized so that its page has the size asked for.
        self.width, self.height = width, height
        w, h = width, height
        for _ in range(3):
            self.call('POST', '/window/rect', {'width': w, 'height': h})
            inner = self.call('POST', '/execute/sync', {
                'script': 'return [innerWidth, innerHeight]', 'args': []})
            if inner == [width, height]:
                return
            w, h = w + width - inner[0], h + height - inner[1]
        raise Unsupported('MiniBrowser\'s page cannot be made %d x %d (it stays %d x %d: its '
                          'window has a narrowest width)' % (width, height, inner[0], inner[1]))

    def _actions(self, actions):
        self.call('POST', '/actions', {'actions': actions})

    def _move_steps(self, kind, x, y):
        # WebKit makes a move to where the pointer already is, with the left
        # button held, a mousemove of the page (the others make none), and
        # the game aims the ship and shows its cursor on every one: a press
        # or release where the pointer is comes without a move.
        at, self._pointer_at[self.handle] = self._pointer_at.get(self.handle), (x, y)
        return [] if kind != 'mouseMoved' and at == (x, y) else super()._move_steps(kind, x, y)

    def mouse(self, kind, x, y, button=0, clicks=1, wait=True):
        if button == 0 or kind == 'mouseMoved':
            return super().mouse(kind, x, y, button, clicks, wait)
        # WebDriver's release of the right (or middle) button comes to the
        # page as the left one's, with the right still held (mouseup button
        # 0, buttons 2): the events a real press and release make are
        # dispatched in the page instead.
        before = self._count() if wait else None
        self.evaluate('''((type, x, y, b) => { const t = document.elementFromPoint(x, y);
            if (!t) return;
            const o = { bubbles: true, cancelable: true, clientX: x, clientY: y, button: b,
                        buttons: type === 'mousedown' ? (b === 2 ? 2 : 4) : 0 };
            t.dispatchEvent(new MouseEvent(type, o));
            if (type === 'mousedown' && b === 2) t.dispatchEvent(new MouseEvent('contextmenu', o));
          })(%s, %d, %d, %d)''' % (json.dumps('mousedown' if kind == 'mousePressed' else 'mouseup'),
                                   x, y, BUTTONS[button]))
        self._delivered(before)

    def wheel(self, x, y, delta_y):
        # WebDriver's wheel reached the page only now and then here, and the
        # page's scripts stalled after some: the wheel event a notch makes is
        # dispatched in the page instead.
        before = self._count()
        self.evaluate('''((x, y, dy) => { const t = document.elementFromPoint(x, y);
            if (t) t.dispatchEvent(new WheelEvent('wheel', { bubbles: true, cancelable: true,
                clientX: x, clientY: y, deltaY: dy, deltaMode: 0 })); })(%d, %d, %d)'''
                      % (x, y, delta_y))
        self._delivered(before)

    def navigate(self, url):
        self.call('POST', '/url', {'url': url})

    def reload(self):
        self.evaluate('window.__zarnikOld = true')
        self.call('POST', '/refresh', {})
        self.wait_for('!window.__zarnikOld && document.readyState != "loading"', 60)

    def evaluate(self, expression, await_promise=False, timeout=60):
        if await_promise:
            r = self.call('POST', '/execute/async', {'script': '''const done = arguments[1];
                Promise.resolve((0, eval)(arguments[0])).then(v => done({ok: v === undefined ? null : v}),
                                                              e => done({error: String(e)}));''',
                                                    'args': [expression]}, timeout)
            if 'error' in r:
                raise ProtocolError('page: ' + r['error'])
            return r['ok']
        try:
            return self.call('POST', '/execute/sync', {
                'script': 'return (0, eval)(arguments[0]);', 'args': [expression]}, timeout)
        except ProtocolError as e:
            raise ProtocolError('page: %s' % e)

    def screenshot(self, path):
        with open(path, 'wb') as f:
            f.write(base64.b64decode(self.call('GET', '/screenshot')))

    def problems_in_page(self):
        return self.evaluate('window.__zarnikProblems || []')

    def new_tab(self, url):
        # A window of its own: a tab behind another is hidden, and input sent
        # to it never arrives.
        handle = self.call('POST', '/window/new', {'type': 'window'})['handle']
        tab = _Tab(self, handle)
        tab.emulate(self.width, self.height)
        tab.navigate(url)
        return tab

    def pages(self):
        return [{'targetId': h} for h in self.call('GET', '/window/handles')]

    @contextlib.contextmanager
    def on_page(self, target_id):
        first, self.handle = self.handle, target_id
        try:
            yield
        finally:
            self.handle = first

    def close_page(self):
        self.call('DELETE', '/window')

    def hide(self):
        raise Unsupported('WebDriver\'s switch to another tab does not bring it to the front '
                          'in MiniBrowser, so the page never becomes hidden')

    def close(self):
        if self._closed:
            return
        self._closed = True
        if self.session:
            with contextlib.suppress(Exception):
                self._request('DELETE', '/session/%s' % self.session, timeout=20)
        for p in (self.driver, self.xvfb):
            p.terminate()
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
