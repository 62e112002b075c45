#!/usr/bin/python3
"""The web player in a real browser: Debian's chromium, headless and offline,
driven by selenium, against a standalone front door (zbwebdoor) that plays a
scripted room (room.txt). At a desktop and at a phone size:

- the join page renders: the page's script ran, its texts are there, it fits
  the width, an empty name is refused, and the browser logged no error (a
  resource or script the page's policy refused would show there);
- a game: the player joins with the join lines, draws a stroke that reaches
  the room in the program's format, guesses in the chat, and sees the
  results with the winner, the ranking and both pictures, one of which it
  downloads as a PNG.

Screenshots of each step go to --out."""
import argparse
import glob
import os
import subprocess
import sys
import tempfile
import threading

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

SIZES = [("desktop", 1280, 800, False), ("phone", 390, 844, True)]
HERE = os.path.dirname(os.path.abspath(__file__))
WAIT = 30

# The stroke the test draws, as the program sends it: the press point twice,
# whole pixels, black, width 3.
STROKE = "STK 0:3:320,240;320,240;" + "".join("%d,%d;" % (320 + i * 8, 240 - i * 5) for i in range(1, 21))


class Door:
    """zbwebdoor with the scripted room; collects what browsers send."""

    def __init__(self, binary):
        self.proc = subprocess.Popen([binary, "--port", "0", "--script", os.path.join(HERE, "room.txt")],
                                     stdout=subprocess.PIPE, text=True, encoding="utf-8")
        line = self.proc.stdout.readline().strip()
        if not line.startswith("port "):
            self.proc.kill()
            sys.exit("zbwebdoor did not start: " + line)
        self.port = int(line.split()[1])
        self.lines = []
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.proc.stdout:
            self.lines.append(line.rstrip("\n"))

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()


def start_browser(profile, headless=True):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    if headless:
        options.add_argument("--headless=new")
    # Offline and quiet: nothing but the page on loopback.
    for arg in ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                "--disable-dev-shm-usage", "--user-data-dir=" + profile, "--window-size=1280,800",
                "--lang=ja"]:
        options.add_argument(arg)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def set_size(driver, width, height, mobile):
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": mobile})
    driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": mobile})


def text_of(driver, element_id):
    return driver.find_element(By.ID, element_id).text


def until(driver, what, condition):
    try:
        WebDriverWait(driver, WAIT).until(lambda d: condition())
        return []
    except Exception:  # noqa: BLE001 - a time-out is the failure reported
        return ["timed out waiting for " + what]


def check_join_page(driver, url, width, shot):
    driver.get(url)
    failures = until(driver, "the page", lambda: driver.execute_script("return document.readyState") == "complete")
    if driver.title != "ゼンブリル":
        failures.append("title " + driver.title)
    text = driver.find_element(By.TAG_NAME, "body").text
    failures += ["missing text " + t for t in ["ゼンブリル", "名前", "パスワード", "サーバーに接続する"] if t not in text]
    # The script built the eight player panels and the pen.
    counts = driver.execute_script(
        "return ['#players li', '#palette button', '#widths button']"
        ".map(s => document.querySelectorAll(s).length)")
    if counts != [8, 9, 4]:
        failures.append("panels, swatches, widths: %s" % counts)
    if driver.execute_script("return document.documentElement.scrollWidth") > width:
        failures.append("wider than the window")
    driver.execute_script("document.getElementById('nameInput').value = ' :; '")
    driver.find_element(By.ID, "joinButton").click()
    if text_of(driver, "joinError") != "名前を入力してください":
        failures.append("an empty name was not refused")
    shot("join")
    return failures


def draw(driver):
    driver.execute_script("""
        const c = document.getElementById('canvas'), r = c.getBoundingClientRect();
        const at = (x, y) => ({clientX: r.left + x * r.width / 640, clientY: r.top + y * r.height / 480,
                               pointerId: 7, button: 0, buttons: 1, bubbles: true, pointerType: 'mouse'});
        c.dispatchEvent(new PointerEvent('pointerdown', at(320, 240)));
        for (let i = 1; i <= 20; i++) c.dispatchEvent(new PointerEvent('pointermove', at(320 + i * 8, 240 - i * 5)));
        c.dispatchEvent(new PointerEvent('pointerup', at(480, 140)));""")


def say(driver, text):
    chat = driver.find_element(By.ID, "chatInput")
    chat.send_keys(text)
    chat.send_keys(Keys.ENTER)


def play_game(driver, url, door, downloads, shot):
    sent_before = len(door.lines)
    driver.get(url)
    driver.execute_script("document.getElementById('nameInput').value = ''")
    driver.find_element(By.ID, "nameInput").send_keys("はなこ")
    driver.find_element(By.ID, "joinButton").click()
    # The room makes the player draw "ねこ" and waits for a stroke.
    failures = until(driver, "the drawer's word", lambda: text_of(driver, "question") == "ねこ")
    if failures:
        return failures
    say(driver, "ねこだよ")  # the drawer's word is masked
    draw(driver)
    shot("draw")
    # Then the player guesses the room's apple, and the room ends the game.
    failures += until(driver, "the apple", lambda: "<さくら> トマト？" in text_of(driver, "chatView"))
    shot("guess")
    say(driver, "Zoé〜!")  # what code page 932 lacks, and the JIS wave dash
    say(driver, "りんご")
    failures += until(driver, "the results", lambda: driver.find_element(By.ID, "results").is_displayed())
    if failures:
        return failures
    shot("results")
    sent = [line for line in door.lines[sent_before:] if line.startswith("< ")]
    expected = ["< PSW ", "< VER 1.16", "< NAM はなこ", "< MSG ○○だよ", "< " + STROKE, "< MSG Zo?～!",
                "< MSG りんご"]
    if sent != expected:
        failures.append("lines sent: %s" % sent)
    if text_of(driver, "resultsWinner") != "優勝者： はなこ":
        failures.append("winner line " + text_of(driver, "resultsWinner"))
    rows = [r.text for r in driver.find_elements(By.CSS_SELECTOR, "#rankingBody tr")]
    if rows != ["1位 はなこ 84", "2位 じろう 44", "3位 たろう 40", "4位 さくら 0"]:
        failures.append("ranking %s" % rows)
    captions = [c.text for c in driver.find_elements(By.CSS_SELECTOR, "#gallery .caption")]
    if captions != ["1回目 はなこ\n「ねこ」", "2回目 たろう\n「りんご」"]:
        failures.append("pictures %s" % captions)
    if downloads:
        driver.find_element(By.CSS_SELECTOR, "#gallery li:first-child button").click()
        pattern = os.path.join(downloads, "*はなこ 「ねこ」.png")
        failures += until(driver, "the download", lambda: glob.glob(pattern))
        for path in glob.glob(pattern):
            with open(path, "rb") as f:
                if f.read(8) != b"\x89PNG\r\n\x1a\n":
                    failures.append("the download is no PNG")
    return failures


def console_errors(driver):
    """The page's own errors, as the browser logged them."""
    return ["console: " + e.get("message", "") for e in driver.get_log("browser") if e.get("level") == "SEVERE"]


def report(failures):
    """Prints the failures and gives the exit status."""
    for f in failures:
        print("FAIL:", f)
    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--door", required=True)
    parser.add_argument("--out", default=".")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    door = Door(args.door)
    url = "http://127.0.0.1:%d/" % door.port
    failures = []
    try:
        with tempfile.TemporaryDirectory() as profile, tempfile.TemporaryDirectory() as downloads:
            driver = start_browser(profile)
            driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
            try:
                for name, width, height, mobile in SIZES:
                    set_size(driver, width, height, mobile)

                    def shot(step, name=name):
                        driver.save_screenshot(os.path.join(args.out, "%s-%s.png" % (step, name)))

                    found = check_join_page(driver, url, width, shot)
                    found += play_game(driver, url, door, downloads if not mobile else None, shot)
                    found += console_errors(driver)
                    failures += ["%s: %s" % (name, f) for f in found]
            finally:
                driver.quit()
    finally:
        door.stop()
    return report(failures)


if __name__ == "__main__":
    sys.exit(main())
