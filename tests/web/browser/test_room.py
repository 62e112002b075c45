#!/usr/bin/python3
"""A browser and a player's program in one real room (zbserverd). The
browser joins first and draws the first turn; a plain protocol client on
another address stands in for the desktop program, as every program speaks
the same lines. At a desktop and at a phone size:

- the stroke drawn in the browser reaches the desktop side in the program's
  format, and the desktop's guess scores;
- the desktop's stroke shows on the browser's canvas, and the browser's guess
  scores;
- both sides show the same scores.

With --headed (under xvfb-run) the browser has a window; screenshots of the
game go to --out either way."""
import argparse
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import test_player as tp  # noqa: E402  (the browser helpers)

from selenium.webdriver.common.by import By  # noqa: E402

WORD = "ねこ"
DESKTOP_STROKE = "STK 3:8:100,400;100,400;140,380;180,360;220,340;260,320;"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Room:
    """zbserverd with a one-word dictionary and a fast clock."""

    def __init__(self, binary, data):
        with open(os.path.join(data, "default.dat"), "wb") as f:
            f.write((WORD + "\r\n").encode("cp932"))
        env = dict(os.environ, ZB_NO_ROUTER_SEARCH="1", XDG_CONFIG_HOME=data)
        for attempt in range(3):
            self.port = free_port()
            self.proc = subprocess.Popen(
                [binary, "--data-dir", data, "--port", str(self.port), "--no-lobby", "--tick-ms", "100",
                 "--rounds", "2", "--players", "3"],
                stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
            line = self.proc.stderr.readline().decode("utf-8", "replace")
            if "listening on port" in line:
                break
            self.proc.kill()
            self.proc.wait()
        else:
            sys.exit("zbserverd did not start: " + line)
        self.log = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for raw in self.proc.stdout:
            self.log.append(raw.decode("utf-8", "replace").rstrip("\n"))

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()


class Player:
    """A player's program: joins on 127.0.0.2 and keeps every line it hears."""

    def __init__(self, port, name):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=10, source_address=("127.0.0.2", 0))
        self.lines = []
        threading.Thread(target=self._read, daemon=True).start()
        for line in ["PSW ", "VER 1.16", "NAM " + name]:
            self.send(line)

    def _read(self):
        buffer = b""
        while True:
            try:
                data = self.sock.recv(65536)
            except OSError:
                return
            if not data:
                return
            buffer += data
            *whole, buffer = buffer.split(b"\r\n")
            self.lines += [w.decode("cp932") for w in whole]

    def send(self, line):
        self.sock.sendall(line.encode("cp932") + b"\r\n")

    def wait_for(self, test, what):
        deadline = time.time() + tp.WAIT
        while time.time() < deadline:
            found = [line for line in list(self.lines) if test(line)]
            if found:
                return found
            time.sleep(0.05)
        raise AssertionError("the desktop side never heard " + what)

    def close(self):
        self.sock.close()


def scores_shown(driver):
    return [int(s.text or 0) for s in driver.find_elements(By.CSS_SELECTOR, "#players .player-score")[:2]]


def ink_at(driver, x, y):
    """Whether the canvas pixel at (x, y) is darker than the paper."""
    return driver.execute_script("""
        const d = document.getElementById('canvas').getContext('2d').getImageData(arguments[0], arguments[1], 1, 1).data;
        return d[0] + d[1] + d[2] < 600;""", x, y)


def play_turns(driver, url, port, shot):
    driver.get(url)
    driver.execute_script("document.getElementById('nameInput').value = ''")
    driver.find_element(By.ID, "nameInput").send_keys("はなこ")
    driver.find_element(By.ID, "joinButton").click()
    failures = tp.until(driver, "the browser's seat", lambda: "はなこ" in tp.text_of(driver, "players"))
    if failures:
        return failures
    desktop = Player(port, "たろう")
    try:
        desktop.wait_for(lambda l: l.startswith("NUM 1"), "its slot")
        desktop.send("RDY OK")
        failures += tp.until(driver, "the ready button",
                             lambda: driver.find_element(By.ID, "readyButton").is_enabled())
        driver.find_element(By.ID, "readyButton").click()

        # The browser draws first; its stroke reaches the desktop as the program's line.
        failures += tp.until(driver, "the drawer's word", lambda: tp.text_of(driver, "question") == WORD)
        if failures:
            return failures
        tp.draw(driver)
        shot("room-draw")
        desktop.wait_for(lambda l: l == tp.STROKE, "the browser's stroke")
        desktop.send("MSG " + WORD)
        desktop.wait_for(lambda l: l == "QOK 1", "its hit")

        # Then the desktop draws and the browser guesses.
        desktop.wait_for(lambda l: l.startswith("QST 1:"), "its own turn")
        desktop.send(DESKTOP_STROKE)
        failures += tp.until(driver, "the desktop's stroke", lambda: ink_at(driver, 180, 360))
        shot("room-guess")
        tp.say(driver, WORD)
        desktop.wait_for(lambda l: l == "QOK 0", "the browser's hit")
        # The scores of that hit follow it.
        hit = desktop.lines.index("QOK 0")
        after = lambda: [l for l in desktop.lines[hit:] if l.startswith("SCR ")]
        failures += tp.until(driver, "the scores after the hit", after)
        if failures:
            return failures
        last = [int(v) for v in after()[0][4:].split(":")[:2]]
        if min(last) <= 0:
            failures.append("somebody did not score: %s" % last)
        failures += tp.until(driver, "the same scores", lambda: scores_shown(driver) == last)
        if failures:
            failures.append("scores: desktop %s, browser %s" % (last, scores_shown(driver)))
        shot("room-scores")
    finally:
        desktop.close()
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--out", default=".")
    parser.add_argument("--headed", action="store_true", help="a browser window (run under xvfb-run)")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    failures = []
    with tempfile.TemporaryDirectory() as profile:
        driver = tp.start_browser(profile, headless=not args.headed)
        try:
            for name, width, height, mobile in tp.SIZES:
                tp.set_size(driver, width, height, mobile)
                with tempfile.TemporaryDirectory() as data:
                    room = Room(args.server, data)
                    try:
                        def shot(step, name=name):
                            driver.save_screenshot(os.path.join(args.out, "%s-%s.png" % (step, name)))

                        found = play_turns(driver, "http://127.0.0.1:%d/" % room.port, room.port, shot)
                    except AssertionError as e:
                        found = [str(e)]
                    finally:
                        room.stop()
                    found += ["console: " + e.get("message", "") for e in driver.get_log("browser")
                              if e.get("level") == "SEVERE"]
                    failures += ["%s: %s" % (name, f) for f in found]
        finally:
            driver.quit()
    for f in failures:
        print("FAIL:", f)
    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
