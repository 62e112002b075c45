#!/usr/bin/python3
"""The web player in a real browser: Debian's chromium, headless and offline,
driven by selenium. Loads the join page from a standalone front door
(zbwebdoor) at a desktop and a phone size, and checks that it renders: the
page's script ran, its texts are there, it fits the width, and the browser
logged no error (a refused resource or script would show there).

With --room SCRIPT it also joins the scripted room, draws a stroke, and saves
screenshots of the game (for people working on the player; not a test)."""
import argparse
import os
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

SIZES = [("desktop", 1280, 800, False), ("phone", 390, 844, True)]


def start_door(door, script):
    args = [door, "--port", "0"] + (["--script", script] if script else [])
    proc = subprocess.Popen(args, stdout=subprocess.PIPE, text=True, encoding="utf-8")
    line = proc.stdout.readline().strip()
    if not line.startswith("port "):
        proc.kill()
        sys.exit("zbwebdoor did not start: " + line)
    return proc, int(line.split()[1])


def start_browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    # Offline and quiet: nothing but the page on loopback.
    for arg in ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
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


def errors_in_log(driver):
    return [e for e in driver.get_log("browser") if e.get("level") == "SEVERE"]


def check_join_page(driver, url, name, width, out):
    driver.get(url)
    WebDriverWait(driver, 20).until(lambda d: d.execute_script("return document.readyState") == "complete")
    failures = []
    if driver.title != "ゼンブリル":
        failures.append("title " + driver.title)
    text = driver.find_element(By.TAG_NAME, "body").text
    for expected in ["ゼンブリル", "名前", "パスワード", "サーバーに接続する"]:
        if expected not in text:
            failures.append("missing text " + expected)
    # The script built the eight player panels and the pen.
    counts = driver.execute_script(
        "return [document.querySelectorAll('#players li').length,"
        " document.querySelectorAll('#palette button').length,"
        " document.querySelectorAll('#widths button').length]")
    if counts != [8, 9, 4]:
        failures.append("panels, swatches, widths: %s" % counts)
    if driver.execute_script("return document.documentElement.scrollWidth") > width:
        failures.append("wider than the window")
    # An empty name is refused on the page itself.
    driver.find_element(By.ID, "joinButton").click()
    if driver.find_element(By.ID, "joinError").text != "名前を入力してください":
        failures.append("no refusal of an empty name")
    driver.save_screenshot(os.path.join(out, "join-%s.png" % name))
    failures += ["console: " + e.get("message", "") for e in errors_in_log(driver)]
    return failures


def play_room(driver, url, name, out, door):
    """Joins the scripted room and draws; screenshots along the way."""
    driver.get(url)
    driver.find_element(By.ID, "nameInput").send_keys("はなこ")
    driver.find_element(By.ID, "joinButton").click()
    time.sleep(2.5)
    canvas = driver.find_element(By.ID, "canvas")
    driver.execute_script("""
        const c = arguments[0], r = c.getBoundingClientRect();
        const at = (x, y) => ({clientX: r.left + x * r.width / 640, clientY: r.top + y * r.height / 480,
                               pointerId: 7, button: 0, buttons: 1, bubbles: true, pointerType: 'mouse'});
        c.dispatchEvent(new PointerEvent('pointerdown', at(320, 240)));
        for (let i = 1; i <= 20; i++) c.dispatchEvent(new PointerEvent('pointermove', at(320 + i * 8, 240 - i * 5)));
        c.dispatchEvent(new PointerEvent('pointerup', at(480, 140)));""", canvas)
    driver.save_screenshot(os.path.join(out, "game-%s.png" % name))
    time.sleep(4)
    driver.save_screenshot(os.path.join(out, "results-%s.png" % name))
    return ["console: " + e.get("message", "") for e in errors_in_log(driver)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--door", required=True)
    parser.add_argument("--out", default=".")
    parser.add_argument("--room", help="a scripted room: join it and take screenshots")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    door, port = start_door(args.door, args.room)
    url = "http://127.0.0.1:%d/" % port
    failures = []
    try:
        with tempfile.TemporaryDirectory() as profile:
            driver = start_browser(profile)
            try:
                for name, width, height, mobile in SIZES:
                    set_size(driver, width, height, mobile)
                    failures += ["%s: %s" % (name, f) for f in check_join_page(driver, url, name, width, args.out)]
                    if args.room:
                        failures += ["%s: %s" % (name, f) for f in play_room(driver, url, name, args.out, door)]
            finally:
                driver.quit()
    finally:
        door.terminate()
        try:
            lines = door.communicate(timeout=10)[0]
        except subprocess.TimeoutExpired:
            door.kill()
            lines = ""
        if args.room:
            sys.stdout.write(lines)
    for f in failures:
        print("FAIL:", f)
    print("%d passed, %d failed" % (len(SIZES) if not failures else 0, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
