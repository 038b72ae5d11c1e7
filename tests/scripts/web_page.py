#!/usr/bin/env python3
"""Drives the browser build in Debian's headless Chromium through the DevTools
protocol: serves build-web/, opens the page on its test clock, and at every
stop takes the canvas as the page shows it (a screenshot of its rectangle),
sends keys where asked and lets the page go on.

usage: web_page.py WEB_DIR OUT_DIR FPS TIMES [KEYS]
  TIMES  comma-separated demo seconds to stop at; a screenshot stop-N.png each
  KEYS   comma-separated TIME=KEY: the key (Space, ArrowDown, ArrowUp) is
         pressed and released while the page stands at that stop
Writes OUT_DIR/stop-<seconds>.png and OUT_DIR/page.json (first-frame time,
console lines). Only the standard library: the WebSocket client is below.
"""
import base64, json, os, socket, struct, subprocess, sys, tempfile, time, urllib.request

STOP_TIMEOUT_S = 600        # longest wait for the next stop (the pre-roll on a software GL)
BROWSER_START_S = 30        # longest wait for the DevTools port
KEY_CODES = {"Space": (" ", "Space", 32), "ArrowDown": ("ArrowDown", "ArrowDown", 40),
             "ArrowUp": ("ArrowUp", "ArrowUp", 38), "Escape": ("Escape", "Escape", 27)}


class DevTools:
    """One page's DevTools WebSocket: text frames only, as the protocol uses."""

    def __init__(self, url):
        host, rest = url[len("ws://"):].split("/", 1)
        name, port = host.split(":")
        self.sock = socket.create_connection((name, int(port)))
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall((f"GET /{rest} HTTP/1.1\r\nHost: {host}\r\nUpgrade: websocket\r\n"
                           f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\n"
                           "Sec-WebSocket-Version: 13\r\n\r\n").encode())
        reply = b""
        while b"\r\n\r\n" not in reply:
            reply += self.sock.recv(4096)
        if b" 101 " not in reply.split(b"\r\n")[0]:
            raise RuntimeError("DevTools refused the WebSocket: " + reply.split(b"\r\n")[0].decode())
        self.buffer = reply.split(b"\r\n\r\n", 1)[1]
        self.next_id = 1
        self.console = []

    def _read(self, n):
        while len(self.buffer) < n:
            chunk = self.sock.recv(1 << 20)
            if not chunk:
                raise RuntimeError("DevTools closed the connection")
            self.buffer += chunk
        data, self.buffer = self.buffer[:n], self.buffer[n:]
        return data

    def _receive(self):
        message = b""
        while True:
            head = self._read(2)
            length = head[1] & 0x7F
            if length == 126:
                length = struct.unpack(">H", self._read(2))[0]
            elif length == 127:
                length = struct.unpack(">Q", self._read(8))[0]
            message += self._read(length)
            if head[0] & 0x80:
                return json.loads(message)

    def call(self, method, **params):
        ident = self.next_id
        self.next_id += 1
        payload = json.dumps({"id": ident, "method": method, "params": params}).encode()
        mask = os.urandom(4)
        head = bytes([0x81])
        if len(payload) < 126:
            head += bytes([0x80 | len(payload)])
        elif len(payload) < 65536:
            head += bytes([0x80 | 126]) + struct.pack(">H", len(payload))
        else:
            head += bytes([0x80 | 127]) + struct.pack(">Q", len(payload))
        self.sock.sendall(head + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(payload)))
        while True:
            message = self._receive()
            if message.get("method") == "Runtime.consoleAPICalled":
                args = message["params"]["args"]
                self.console.append(" ".join(str(a.get("value", a.get("description", ""))) for a in args))
            elif message.get("method") == "Runtime.exceptionThrown":
                self.console.append("exception: " + json.dumps(message["params"]["exceptionDetails"])[:500])
            if message.get("id") == ident:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message["result"]

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        return result["result"].get("value")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    web_dir, out_dir, fps, times = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
    keys = {}
    for item in (sys.argv[5].split(",") if len(sys.argv) > 5 and sys.argv[5] else []):
        at, key = item.split("=")
        keys.setdefault(round(float(at) * fps), []).append(key)
    os.makedirs(out_dir, exist_ok=True)
    http_port, devtools_port = free_port(), free_port()
    server = subprocess.Popen([sys.executable, "-m", "http.server", str(http_port), "--bind", "127.0.0.1",
                               "--directory", web_dir], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    profile = tempfile.mkdtemp(prefix="vantrel-chromium-")
    browser_log = open(os.path.join(out_dir, "chromium.log"), "w")
    browser = subprocess.Popen(
        [os.environ.get("VANTREL_CHROMIUM", "chromium"), "--headless=new", "--no-sandbox", "--no-first-run",
         "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--ignore-gpu-blocklist",
         "--autoplay-policy=no-user-gesture-required", "--window-size=1000,800",
         f"--remote-debugging-port={devtools_port}", f"--user-data-dir={profile}", "about:blank"],
        stdout=browser_log, stderr=browser_log)
    try:
        page_ws = None
        deadline = time.time() + BROWSER_START_S
        while page_ws is None:
            if time.time() > deadline or browser.poll() is not None:
                raise RuntimeError("Chromium gave no DevTools port; see chromium.log")
            try:
                with urllib.request.urlopen(f"http://127.0.0.1:{devtools_port}/json/list", timeout=2) as r:
                    pages = [t for t in json.load(r) if t["type"] == "page"]
                page_ws = pages[0]["webSocketDebuggerUrl"] if pages else None
            except OSError:
                time.sleep(0.2)
        tools = DevTools(page_ws)
        tools.call("Runtime.enable")
        tools.call("Page.enable")
        tools.call("Emulation.setDeviceMetricsOverride", width=1000, height=800, deviceScaleFactor=1, mobile=False)
        url = f"http://127.0.0.1:{http_port}/index.html?fps={fps}&at={times}"
        started = time.time()
        tools.call("Page.navigate", url=url)
        report = {"url": url, "stops": []}
        for count in range(len(times.split(","))):
            deadline = time.time() + STOP_TIMEOUT_S
            stop = None
            while stop is None:
                if time.time() > deadline:
                    raise RuntimeError(f"the page did not reach stop {count + 1} in {STOP_TIMEOUT_S} s")
                stop = tools.evaluate("window.vantrelStopped || null")
                exited = tools.evaluate("window.vantrelExited === undefined ? null : window.vantrelExited")
                if stop is None and exited is not None:
                    raise RuntimeError(f"the demo ended (status {exited}) before stop {count + 1}")
                aborted = tools.evaluate("window.vantrelAborted || null")
                if stop is None and aborted is not None:
                    raise RuntimeError(f"the page's code aborted ({aborted}) before stop {count + 1}")
                if stop is None:
                    time.sleep(0.05)
            rect = tools.evaluate("(function(){var r=document.getElementById('canvas').getBoundingClientRect();"
                                  "return [r.left+window.scrollX, r.top+window.scrollY, r.width, r.height];})()")
            shot = tools.call("Page.captureScreenshot", format="png", fromSurface=True,
                              clip={"x": rect[0], "y": rect[1], "width": rect[2], "height": rect[3], "scale": 1})
            name = os.path.join(out_dir, "stop-%g.png" % stop["seconds"])
            with open(name, "wb") as f:
                f.write(base64.b64decode(shot["data"]))
            frame = int(stop["frame"])
            for key in keys.get(frame, []):
                text, code, vk = KEY_CODES[key]
                for kind in ("keyDown", "keyUp"):
                    tools.call("Input.dispatchKeyEvent", type=kind, key=text, code=code,
                               windowsVirtualKeyCode=vk, nativeVirtualKeyCode=vk)
            report["stops"].append({"frame": frame, "seconds": stop["seconds"], "file": name,
                                    "wall_s": round(time.time() - started, 2), "keys": keys.get(frame, [])})
            print(f"stop at {stop['seconds']:g} s (frame {frame}) after {time.time() - started:.1f} s: {name}",
                  flush=True)
            tools.evaluate("window.vantrelContinue()")
        report["first_frame_ms"] = tools.evaluate("window.vantrelFirstFrameMs || null")
        report["dialogs"] = tools.evaluate("Module.vantrelDialogs")
        report["console"] = tools.console
        with open(os.path.join(out_dir, "page.json"), "w") as f:
            json.dump(report, f, indent=1)
    finally:
        browser.terminate()
        server.terminate()
        for p in (browser, server):
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
        subprocess.run(["rm", "-rf", profile])


if __name__ == "__main__":
    try:
        main()
    except RuntimeError as e:
        print(f"web_page.py: {e}", file=sys.stderr)
        sys.exit(1)
