#!/usr/bin/python3
"""The remote lab's page in a real headless chromium.

Opens the page with a driver code, requests control, chooses PI in
simulation, sets the gains, STARTs, sees the plot and the readout move,
STOPs and finds the run in the run list (and its CSV).

    test_page.py --server PROGRAM [ARGS...]   start PROGRAM and read from its
                                              stdout the lines "serving URL",
                                              "viewer code: CODE" and
                                              "driver code: CODE"
    test_page.py --url URL --driver-code CODE [--viewer-code CODE]
                                              a lab served already

--screenshots DIR also saves the page at 1024x768 and 390x844 in English and
Turkish. Exits 77 (skipped) when chromium or its driver is not installed.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import threading
import time
import urllib.parse
import urllib.request

SKIP = 77


class Failure(Exception):
    pass


def fail(message):
    raise Failure(message)


def find_chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    return None


def find_driver():
    for path in (shutil.which("chromedriver"), "/usr/bin/chromedriver", "/usr/lib/chromium/chromedriver"):
        if path and os.access(path, os.X_OK):
            return path
    return None


def start_server(command):
    """Starts the program and reads its address and codes from stdout."""
    proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    found = {}
    keys = {"serving": "url", "viewer code:": "viewer", "driver code:": "driver"}

    def read():
        for line in proc.stdout:
            line = line.strip()
            for prefix, key in keys.items():
                if line.startswith(prefix):
                    found[key] = line[len(prefix):].strip()
        # keep reading so the program never blocks on a full pipe

    reader = threading.Thread(target=read, daemon=True)
    reader.start()
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline and not all(k in found for k in ("url", "driver")):
        if proc.poll() is not None:
            fail("the server ended with status %d before it printed its address" % proc.returncode)
        time.sleep(0.05)
    if "url" not in found or "driver" not in found:
        proc.kill()
        fail("the server printed no 'serving' and 'driver code:' lines within 30 s")
    return proc, found


def stop_server(proc):
    if proc is None:
        return
    try:
        proc.stdin.close()  # the test server ends when stdin closes; tervalo at SIGTERM
        proc.wait(timeout=2)
    except subprocess.TimeoutExpired:
        proc.terminate()
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()


def api(base, path, code):
    request = urllib.request.Request(urllib.parse.urljoin(base, path))
    request.add_header("Authorization", "Bearer " + code)
    with urllib.request.urlopen(request, timeout=10) as reply:
        return reply.status, reply.read()


def wait_for(what, check, timeout=20.0):
    deadline = time.monotonic() + timeout
    last = None
    while time.monotonic() < deadline:
        try:
            last = check()
            if last:
                return last
        except Exception as e:  # an element not there yet
            last = e
        time.sleep(0.1)
    fail("%s (waited %.0f s; last: %r)" % (what, timeout, last))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--url")
    parser.add_argument("--driver-code")
    parser.add_argument("--viewer-code")
    parser.add_argument("--screenshots", metavar="DIR")
    parser.add_argument("--server", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    if not args.server and not (args.url and args.driver_code):
        parser.error("give --server PROGRAM or --url and --driver-code")

    chromium, chromedriver = find_chromium(), find_driver()
    if not chromium or not chromedriver:
        print("SKIP: chromium or chromedriver is not installed")
        return SKIP
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import Select

    proc = None
    browser = None
    try:
        if args.server:
            proc, found = start_server(args.server)
            base, driver_code = found["url"], found["driver"]
            viewer_code = found.get("viewer") or driver_code
        else:
            base, driver_code = args.url, args.driver_code
            viewer_code = args.viewer_code or driver_code
        if not base.endswith("/"):
            base += "/"

        options = webdriver.ChromeOptions()
        options.binary_location = chromium
        options.add_argument("--headless=new")
        if os.geteuid() == 0:
            options.add_argument("--no-sandbox")
        options.add_argument("--disable-gpu")
        options.add_argument("--disable-dev-shm-usage")
        options.add_argument("--window-size=1024,768")
        options.add_argument("--lang=en-US")
        options.add_argument("--ignore-certificate-errors")
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        browser = webdriver.Chrome(service=Service(chromedriver), options=options)
        browser.set_page_load_timeout(30)
        find = lambda id_: browser.find_element(By.ID, id_)

        browser.get(base + "?code=" + urllib.parse.quote(driver_code))
        wait_for("the live socket opens", lambda: find("link").get_attribute("data-state") == "on")
        wait_for("the state arrives", lambda: find("driver").text not in ("", "–"))

        find("request-control").click()
        def granted():
            you = json.loads(api(base, "api/state", driver_code)[1])["you"]
            return you if you["driving"] else None
        me = wait_for("control is granted", granted)
        name = me["name"]
        wait_for("the page shows the driver", lambda: find("driver").text == name)
        wait_for("the set-up is enabled", lambda: find("mode").is_enabled())

        if Select(find("mode")).first_selected_option.get_attribute("value") != "simulation":
            Select(find("mode")).select_by_value("simulation")
        wait_for("simulation is chosen", lambda: json.loads(api(base, "api/state", viewer_code)[1])["mode"] == "simulation")
        Select(find("controller")).select_by_value("PI")
        wait_for("PI is chosen", lambda: json.loads(api(base, "api/state", viewer_code)[1])["controller"] == "PI")
        wait_for("the Ki bar is shown", lambda: find("ki").is_displayed() and not find("kd").is_displayed())
        for gain, value in (("kp", "0.8"), ("ki", "0.25")):
            find(gain).clear()
            find(gain).send_keys(value)
        find("reference").clear()
        find("reference").send_keys("1500")
        find("apply").click()

        def applied():
            s = json.loads(api(base, "api/state", viewer_code)[1])
            return s["gains"]["kp"] == 0.8 and s["gains"]["ki"] == 0.25 and s["reference"] == 1500
        wait_for("the gains and the reference reach the lab", applied)

        picture = "return document.querySelector('#plot canvas').toDataURL()"
        blank = browser.execute_script(picture)
        find("start").click()
        wait_for("the run starts", lambda: json.loads(api(base, "api/state", viewer_code)[1])["running"])
        first = wait_for("the readout shows Y", lambda: find("output").text if find("output").text != "–" else None)
        wait_for("the readout moves", lambda: find("output").text != first)
        frame = wait_for("the plot draws", lambda: (lambda p: p if p != blank else None)(browser.execute_script(picture)))
        wait_for("the plot moves", lambda: browser.execute_script(picture) != frame)
        time.sleep(1.0)
        find("stop").click()
        wait_for("the run stops", lambda: not json.loads(api(base, "api/state", viewer_code)[1])["running"])

        note = "driven remotely by " + name
        row = wait_for("the run is in the run list",
                       lambda: next((r for r in browser.find_elements(By.CSS_SELECTOR, "#runs tr")
                                     if note in r.text and r.find_elements(By.CSS_SELECTOR, "a.csv")), None))
        href = row.find_element(By.CSS_SELECTOR, "a.csv").get_attribute("href")
        with urllib.request.urlopen(href, timeout=10) as reply:
            if reply.status != 200 or not reply.read():
                fail("the run's CSV link gave nothing")

        severe = [e for e in browser.get_log("browser")
                  if e.get("level") == "SEVERE" and "favicon" not in e.get("message", "")]
        if severe:
            fail("the page logged errors: %s" % severe)

        if args.screenshots:
            os.makedirs(args.screenshots, exist_ok=True)
            for lang in ("en", "tr"):
                Select(find("lang")).select_by_value(lang)
                for label, width, height, mobile in (("desktop", 1024, 768, False), ("phone", 390, 844, True)):
                    browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                            {"width": width, "height": height, "deviceScaleFactor": 1,
                                             "mobile": mobile})
                    time.sleep(0.6)
                    path = os.path.join(args.screenshots, "page-%s-%s.png" % (lang, label))
                    browser.save_screenshot(path)
                    if mobile:  # the whole page, not only the first screen
                        full = browser.execute_script("return document.documentElement.scrollHeight")
                        browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                                {"width": width, "height": int(full), "deviceScaleFactor": 1,
                                                 "mobile": True})
                        time.sleep(0.6)
                        browser.save_screenshot(os.path.join(args.screenshots, "page-%s-%s-full.png" % (lang, label)))
                    print("saved " + path)
        print("PASS: the page drove a run (%s) and found it in the run list" % note)
        return 0
    except Failure as e:
        print("FAIL: %s" % e, file=sys.stderr)
        if browser is not None:  # what the page said, for the reader of the log
            try:
                print("notices: %s" % browser.find_element(By.ID, "notices").text, file=sys.stderr)
                print("console: %s" % browser.get_log("browser"), file=sys.stderr)
            except Exception:
                pass
        return 1
    finally:
        if browser is not None:
            browser.quit()
        stop_server(proc)
        if proc is not None and proc.returncode != 0:  # e.g. a sanitizer's report
            print("FAIL: the server ended with status %d" % proc.returncode, file=sys.stderr)
            return 1


if __name__ == "__main__":
    sys.exit(main())
