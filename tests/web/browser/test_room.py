#!/usr/bin/python3
"""A browser and the player's program in one real room (zbserverd). The
browser joins first and draws the first turn; the desktop is the program's
own game window (zbdesktopagent) on another address. At a desktop and at a
phone size:

- the stroke drawn in the browser shows on the desktop's canvas, ink along
  it and paper elsewhere, and the desktop's guess, typed into its chat,
  scores;
- the stroke drawn with the mouse on the desktop shows on the browser's
  canvas, and the browser's guess scores;
- both sides show the same scores.

With --headed (under xvfb-run) the browser has a window; screenshots of the
game go to --out either way."""
import argparse
import os
import queue
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
# The strokes each side draws, in canvas pixels (the browser's is tp.draw's).
BROWSER_STROKE = [(320 + i * 8, 240 - i * 5) for i in range(21)]
DESKTOP_STROKE = [(100, 400), (140, 380), (180, 360), (220, 340), (260, 320)]
# Away from both strokes: paper on both sides.
PAPER = [(40, 40), (600, 440), (320, 300), (160, 200)]


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


class Desktop:
    """The player's program (zbdesktopagent: the game window, driven line by
    line) joined from 127.0.0.2. It keeps the events it reports; each command
    gets one answer."""

    def __init__(self, binary, port, name, data):
        env = dict(os.environ, ZB_NO_ROUTER_SEARCH="1", XDG_CONFIG_HOME=data, XDG_DATA_HOME=data)
        self.proc = subprocess.Popen(
            [binary, "--connect", "127.0.0.1:%d" % port, "--name", name, "--bind", "127.0.0.2", "--tick-ms", "100"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, encoding="utf-8", env=env)
        self.events = []
        self.answers = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            line = line.rstrip("\n")
            if line.startswith("= "):
                self.answers.put(line[2:])
            else:
                self.events.append(line)

    def ok(self, line):
        answer = self.command(line)
        if answer != "ok":
            raise AssertionError("the desktop answered %s to %s" % (answer, line))

    def command(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()
        try:
            return self.answers.get(timeout=tp.WAIT)
        except queue.Empty:
            raise AssertionError("the desktop did not answer " + line) from None

    def wait_for(self, event):
        self.until("the event " + event, lambda: event in self.events)

    def until(self, what, condition):
        deadline = time.time() + tp.WAIT
        while time.time() < deadline:
            found = condition()
            if found:
                return found
            time.sleep(0.05)
        raise AssertionError("the desktop never saw " + what)

    def pixel(self, x, y):
        return self.command("pixel %d %d" % (x, y))

    def scores(self):
        return {int(s): int(v or 0) for s, v in (p.split(":") for p in self.command("scores").split())}

    def time_left(self):
        value = self.command("text lblTimeLimit")
        return int(value) if value.lstrip("-").isdigit() else -1

    def close(self):
        try:
            self.command("quit")
            self.proc.wait(timeout=10)
        except (AssertionError, OSError, subprocess.TimeoutExpired):
            self.proc.kill()
            self.proc.wait()


def along(points):
    """The points of a polyline and the middles of its segments."""
    middles = [((x1 + x2) // 2, (y1 + y2) // 2) for (x1, y1), (x2, y2) in zip(points, points[1:])]
    return points + middles


def scores_shown(driver):
    return [int(s.text or 0) for s in driver.find_elements(By.CSS_SELECTOR, "#players .player-score")[:2]]


def ink_at(driver, x, y):
    """Whether the canvas pixel at (x, y) is darker than the paper."""
    return driver.execute_script("""
        const d = document.getElementById('canvas').getContext('2d').getImageData(arguments[0], arguments[1], 1, 1).data;
        return d[0] + d[1] + d[2] < 600;""", x, y)


def guess_when_counted(desktop, say):
    # A guess counts once the turn's clock has left its first second.
    desktop.until("the clock running", lambda: 0 < desktop.time_left() <= 118)
    say()


def play_turns(driver, url, port, desktop_binary, data, shot):
    driver.get(url)
    driver.execute_script("document.getElementById('nameInput').value = ''")
    driver.find_element(By.ID, "nameInput").send_keys("はなこ")
    driver.find_element(By.ID, "joinButton").click()
    failures = tp.until(driver, "the browser's seat", lambda: "はなこ" in tp.text_of(driver, "players"))
    if failures:
        return failures
    desktop = Desktop(desktop_binary, port, "たろう", data)
    try:
        desktop.wait_for("* ready 1")
        desktop.ok("ready")
        failures += tp.until(driver, "the ready button",
                             lambda: driver.find_element(By.ID, "readyButton").is_enabled())
        driver.find_element(By.ID, "readyButton").click()

        # The browser draws first; its stroke shows on the desktop's canvas, pixel for pixel.
        failures += tp.until(driver, "the drawer's word", lambda: tp.text_of(driver, "question") == WORD)
        if failures:
            return failures
        tp.draw(driver)
        shot("room-draw")
        desktop.until("the browser's stroke", lambda: desktop.pixel(*BROWSER_STROKE[-1]) == "000000")
        failures += ["desktop pixel %s,%s is %s, not ink" % (x, y, desktop.pixel(x, y))
                     for x, y in along(BROWSER_STROKE) if desktop.pixel(x, y) != "000000"]
        failures += ["desktop pixel %s,%s is %s, not paper" % (x, y, desktop.pixel(x, y))
                     for x, y in PAPER if desktop.pixel(x, y) != "ffffff"]
        guess_when_counted(desktop, lambda: desktop.ok("say " + WORD))
        desktop.wait_for("* hit 1")

        # Then the desktop draws with the mouse and the browser guesses.
        desktop.wait_for("* turn 1 drawer")
        desktop.until("its word", lambda: desktop.command("text lblQuestion") == WORD)
        desktop.ok("draw " + " ".join("%d,%d" % p for p in DESKTOP_STROKE))
        failures += tp.until(driver, "the desktop's stroke", lambda: ink_at(driver, *DESKTOP_STROKE[-1]))
        failures += ["no ink in the browser at %s,%s" % p for p in along(DESKTOP_STROKE) if not ink_at(driver, *p)]
        failures += ["ink in the browser at %s,%s" % p for p in PAPER if ink_at(driver, *p)]
        shot("room-guess")
        guess_when_counted(desktop, lambda: tp.say(driver, WORD))
        desktop.wait_for("* hit 0")

        # Both scored twice, and both sides show the same scores.
        def same():
            shown = desktop.scores()
            return [shown.get(0), shown.get(1)] == scores_shown(driver) and min(scores_shown(driver)) > 0
        found = tp.until(driver, "the same scores", same)
        if found:
            failures += found + ["scores: desktop %s, browser %s" % (desktop.scores(), scores_shown(driver))]
        shot("room-scores")
    except AssertionError as e:
        failures.append("%s (desktop saw: %s)" % (e, desktop.events[-8:]))
    finally:
        desktop.close()
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--desktop", required=True, help="zbdesktopagent")
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

                        found = play_turns(driver, "http://127.0.0.1:%d/" % room.port, room.port, args.desktop, data,
                                           shot)
                    except AssertionError as e:
                        found = [str(e)]
                    finally:
                        room.stop()
                    found += tp.console_errors(driver)
                    failures += ["%s: %s" % (name, f) for f in found]
        finally:
            driver.quit()
    return tp.report(failures)


if __name__ == "__main__":
    sys.exit(main())
