#!/usr/bin/python3
"""The sandbox console in headless Chromium, against a seeded sandbox and a
host that registers a device: what the page shows, that it follows changes
live, and that a push composed on it reaches the host.

    console_test.py --sandbox PATH --host PATH --out DIR [--console-dir DIR]

Prints one line per check and exits 1 on the first failure (later checks build
on earlier ones). Every process it starts is ended, also on failure.
"""
import argparse
import json
import math
import os
import secrets
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

try:
    from selenium import webdriver
    from selenium.common.exceptions import StaleElementReferenceException, WebDriverException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import Select
except ImportError:
    webdriver = None

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WORLD = os.path.join(ROOT, 'examples', 'walkthrough', 'world.json')
BUNDLE = os.path.join(ROOT, 'examples', 'walkthrough', 'bundle')
CHROMEDRIVER = '/usr/bin/chromedriver'
DEADLINE = 10.0  # seconds any single thing may take to show up


class CheckFailed(Exception):
    pass


def wait_until(what, probe, timeout=DEADLINE, interval=0.1):
    """Polls probe() until it returns something truthy; fails with `what` after timeout."""
    end = time.monotonic() + timeout
    last_error = None
    while time.monotonic() < end:
        try:
            value = probe()
            if value:
                return value
        except (StaleElementReferenceException, WebDriverException) as e:
            # The page redraws a view while it is read: look again.
            last_error = e
        time.sleep(interval)
    detail = f' (last error: {last_error.__class__.__name__})' if last_error else ''
    raise CheckFailed(f'{what}: not within {timeout:.0f} s{detail}')


def expect(condition, message):
    if not condition:
        raise CheckFailed(message)


# --------------------------------------------------------------------------
# Processes


class Sandbox:
    def __init__(self, binary, work, seed, token, console_dir):
        args = [binary, '--data-dir', os.path.join(work, 'sandbox'), '--port', '0', '--admin-port', '0',
                '--seed', seed, '--token', token] + (['--console-dir', console_dir] if console_dir else [])
        self.log = open(os.path.join(work, 'sandbox.err'), 'w')
        self.process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=self.log,
                                        text=True)
        # "ca", "port", "admin-port", "token" and last "console"; a sandbox that prints nothing is ended.
        watchdog = threading.Timer(20, self.process.kill)
        watchdog.start()
        self.lines = {}
        for line in self.process.stdout:
            key, _, value = line.rstrip('\n').partition(' ')
            self.lines[key] = value
            if key == 'console':
                break
        watchdog.cancel()
        expect('console' in self.lines, f'no "console" line from the sandbox (got {sorted(self.lines)}, '
               f'status {self.process.poll()}); see {self.log.name}')
        self.admin = f'http://127.0.0.1:{self.lines["admin-port"]}'

    def stop(self):
        stop_process(self.process)
        self.log.close()


class Host:
    """quorvela-host with its commands on a pipe and its output lines collected."""

    def __init__(self, binary, work, port, ca):
        self.stderr = open(os.path.join(work, 'host.err'), 'w')
        self.process = subprocess.Popen(
            [binary, '--bundle', BUNDLE, '--data-dir', os.path.join(work, 'host'),
             '--connect-to', f'127.0.0.1:{port}', '--cacert', ca],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self.stderr, text=True, bufsize=1)
        self.output = []
        self.changed = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            with self.changed:
                self.output.append(line.rstrip('\n'))
                self.changed.notify_all()

    def send(self, *commands):
        for command in commands:
            self.process.stdin.write(command + '\n')
        self.process.stdin.flush()

    def wait_for_line(self, what, predicate, start=0, timeout=15):
        """The first output line from index `start` on that satisfies predicate."""
        end = time.monotonic() + timeout
        with self.changed:
            while True:
                for line in self.output[start:]:
                    if predicate(line):
                        return line
                left = end - time.monotonic()
                if left <= 0 or self.process.poll() is not None:
                    raise CheckFailed(f'{what}: the host printed no such line; it printed {self.output[start:]}')
                self.changed.wait(left)

    def run(self, *commands):
        """Sends the commands and a wait, and returns their output once the host is idle."""
        start = len(self.output)
        self.send(*commands, 'wait')
        line = self.wait_for_line('wait', lambda l: l in ('idle', 'timeout'), start)
        expect(line == 'idle', f'the host did not get idle after {commands}')
        return self.output[start:]

    def stop(self):
        try:
            self.process.stdin.write('quit\n')
            self.process.stdin.close()
            self.process.wait(timeout=12)
        except (OSError, ValueError, subprocess.TimeoutExpired):
            pass
        stop_process(self.process)
        self.stderr.close()


def stop_process(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


# --------------------------------------------------------------------------
# The admin API, as a script would call it


def admin(sandbox, method, path, body=None, token=None):
    """(status, parsed reply) of one admin call; token None sends the right one, '' none at all."""
    request = urllib.request.Request(sandbox.admin + path, method=method,
                                     data=None if body is None else json.dumps(body).encode())
    token = sandbox.lines['token'] if token is None else token
    if token:
        request.add_header('Authorization', 'Bearer ' + token)
    if body is not None:
        request.add_header('Content-Type', 'application/json')
    try:
        with urllib.request.urlopen(request, timeout=10) as reply:
            status, text, reply_headers = reply.status, reply.read(), reply.headers
    except urllib.error.HTTPError as e:
        status, text, reply_headers = e.code, e.read(), e.headers
    try:
        parsed = json.loads(text) if text else None
    except ValueError:
        parsed = text.decode(errors='replace')
    return status, parsed, reply_headers


# --------------------------------------------------------------------------
# The page


def start_browser():
    options = webdriver.ChromeOptions()
    for argument in ('--headless=new', '--no-sandbox', '--disable-dev-shm-usage', '--window-size=1400,1000',
                     '--disable-gpu', '--no-first-run', '--disable-extensions'):
        options.add_argument(argument)
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    return webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)


def fresh(read, attempts=5):
    """The page redraws its lists on every change; an element found just before a redraw is stale, so find it again."""
    for attempt in range(attempts):
        try:
            return read()
        except StaleElementReferenceException:
            if attempt == attempts - 1:
                raise
            time.sleep(0.1)


def testids(driver, testid, attribute):
    return fresh(lambda: [e.get_attribute(attribute)
                          for e in driver.find_elements(By.CSS_SELECTOR, f'[data-testid="{testid}"]')])


def by_testid(driver, testid):
    return driver.find_element(By.CSS_SELECTOR, f'[data-testid="{testid}"]')


def click(driver, testid):
    def scroll_and_click():
        element = by_testid(driver, testid)
        driver.execute_script('arguments[0].scrollIntoView({block: "center"})', element)
        element.click()
    fresh(scroll_and_click)


def world_seed(work):
    """The walkthrough world plus a second workspace's geofence and both kinds of beacon."""
    with open(WORLD) as f:
        world = json.load(f)
    world.setdefault('geofences', {})['walk-club'] = [
        {'regionId': 'g-park', 'name': 'Park', 'latitude': 52.5230, 'longitude': 13.4120, 'radius': 60,
         'eventType': 'ENTER', 'activated': 'true', 'clientId': 'walk-club'}]
    world['beacons'] = {'walk-main': [
        {'regionId': 'b-door', 'name': 'Door', 'type': 'BEACON', 'uuid': 'F7826DA6-4FA2-4E98-8024-BC5B71E0893E',
         'major': '1', 'minor': '2', 'eventType': 'ENTER_EXIT', 'clientId': 'walk-main'},
        {'regionId': 'w-cafe', 'name': 'Cafe Wi-Fi', 'type': 'WIFI_BEACON', 'uuid': 'Cafe-Guest',
         'eventType': 'ENTER_EXIT', 'clientId': 'walk-main'}]}
    path = os.path.join(work, 'world.json')
    with open(path, 'w') as f:
        json.dump(world, f)
    return world, path


# --------------------------------------------------------------------------
# The checks, in order


class ConsoleTest:
    def __init__(self, args, work):
        self.args = args
        self.work = work
        self.token = secrets.token_hex(16)
        self.push_token = secrets.token_hex(8)
        self.marker = secrets.token_hex(4)
        self.sandbox = None
        self.host = None
        self.driver = None
        self.world = None

    def checks(self):
        return [
            ('the sandbox prints its token and console address', self.start_sandbox),
            ('the host registers a user and a push token', self.start_host),
            ('the console takes the token and hides it from the address bar', self.open_console),
            ('the seeded workspaces are listed, keys masked', self.workspaces_shown),
            ('the seeded geofences are circles of the right size in the plane view', self.geofences_drawn),
            ('the seeded beacons and Wi-Fi beacons are listed beside the plane', self.beacons_listed),
            ('the registered user and device are shown', self.device_shown),
            ('a push composed on the page waits in the outbox', self.compose_push),
            ('the host gets the push and the page shows it collected', self.deliver_push),
            ('a new event appears in the live log without a reload', self.live_event),
            ('a region event shows on the track and the log filters by type', self.region_event),
            ('a click on the plane fills the geofence form; adding keeps the others', self.click_adds_geofence),
            ('a command push from the page (CRT_REGION) makes the host fetch the new geofence', self.command_push),
            ('the fault switches follow the sandbox both ways', self.fault_switches),
            ('the request log can be included in the live log', self.request_log),
            ('the page makes no Content-Security-Policy violation or script error', self.no_console_errors),
            ('an API error is shown beside its form', self.error_shown),
            ('a reload keeps the token', self.reload_keeps_token),
            ('without a token or with a wrong one only the notice shows', self.no_token_notice),
        ]

    # -- processes

    def start_sandbox(self):
        self.world, seed = world_seed(self.work)
        self.sandbox = Sandbox(self.args.sandbox, self.work, seed, self.token, self.args.console_dir)
        expect(self.sandbox.lines['console'] == f'{self.sandbox.admin}/#token={self.token}',
               f'console line {self.sandbox.lines["console"]!r}, expected one with the --token given')
        return f'admin {self.sandbox.admin}'

    def start_host(self):
        self.host = Host(self.args.host, self.work, self.sandbox.lines['port'], self.sandbox.lines['ca'])
        self.host.run('configure', 'register walker', f'token {self.push_token}', 'event CONSOLE_TEST first=1')
        status, devices, _ = admin(self.sandbox, 'GET', '/devices')
        expect(status == 200 and any(d['pushToken'] == self.push_token for d in devices),
               f'the sandbox has no device with token {self.push_token}: {devices}')
        self.device = next(d for d in devices if d['pushToken'] == self.push_token)
        return f'device {self.device["deviceId"]}'

    # -- what the page shows

    def open_console(self):
        self.driver = start_browser()
        self.driver.get(self.sandbox.lines['console'])
        wait_until('the workspaces table filled', lambda: testids(self.driver, 'workspace-row', 'data-client-id'))
        expect('token' not in self.driver.current_url, f'the address still holds the token: {self.driver.current_url}')
        expect(not by_testid(self.driver, 'auth-notice').is_displayed(), 'the token notice shows with a good token')
        # Set once; a reload would lose it, so later checks can tell they saw live updates.
        self.driver.execute_script('window.consoleTestMark = true')
        wait_until('the live status', lambda: by_testid(self.driver, 'live-status').get_attribute('data-state') == 'live')

    def workspaces_shown(self):
        # One snapshot of the cells: the page redraws the table on every change.
        rows = wait_until('every seeded workspace', lambda: (lambda rows: rows if sorted(rows) == sorted(
            w['clientId'] for w in self.world['workspaces']) else None)(self.driver.execute_script(
                'return Object.fromEntries([...document.querySelectorAll(\'[data-testid="workspace-row"]\')]'
                '.map((row) => [row.dataset.clientId, [...row.cells].map((cell) => cell.innerText)]))')))
        for w in self.world['workspaces']:
            _, name, key, _, default_of = rows[w['clientId']][:5]
            apps = [a['appName'] for a in self.world['applications'] if a.get('defaultWorkspace') == w['clientId']]
            expect(name == w['name'] and key.startswith('••••'), f'{w["clientId"]} shows {name!r}, key {key!r}')
            # The "Default of" column names the applications whose default workspace it is.
            expect(default_of == (', '.join(apps) or '—'), f'{w["clientId"]} is the default of {default_of!r}, expected {apps}')
        body = self.driver.find_element(By.TAG_NAME, 'body').text
        secrets_in_seed = {a['privateKey'] for a in self.world['applications']} | {w['publicKey'] for w in self.world['workspaces']}
        leaked = [s for s in secrets_in_seed if s in body or s in self.driver.page_source]
        expect(not leaked, f'keys shown in the page: {leaked}')
        return ', '.join(rows)

    def geofences_drawn(self):
        fences = {g['regionId']: g for lists in self.world['geofences'].values() for g in lists}
        circles = wait_until('a circle per geofence', lambda: (lambda found: found if sorted(found) == sorted(fences) else None)(
            {c.get_attribute('data-region-id'): c for c in self.driver.find_elements(By.CSS_SELECTOR, '[data-testid="geofence-circle"]')}))
        # The scale bar tells pixels per metre; every circle's radius must match it.
        bar = self.driver.find_element(By.CSS_SELECTOR, '[data-testid="scale-bar"] line')
        bar_px = float(bar.get_attribute('x2')) - float(bar.get_attribute('x1'))
        label = self.driver.find_element(By.CSS_SELECTOR, '[data-testid="scale-bar"] text').text
        number, unit = label.split()
        bar_m = float(number) * (1000 if unit == 'km' else 1)
        expect(unit in ('m', 'km') and bar_px > 0, f'scale bar {label!r} of {bar_px} px')
        for region, circle in circles.items():
            r_px = float(circle.get_attribute('r'))
            expected_px = fences[region]['radius'] * bar_px / bar_m
            expect(abs(r_px - expected_px) < 0.5, f'{region}: radius {r_px:.1f} px, {expected_px:.1f} px for {fences[region]["radius"]} m')
        # Relative positions: east is right, north is up, x shrunk by cos(latitude).
        a, b = fences['g-square'], fences['g-park']
        ca, cb = circles['g-square'], circles['g-park']
        dx = float(cb.get_attribute('cx')) - float(ca.get_attribute('cx'))
        dy = float(cb.get_attribute('cy')) - float(ca.get_attribute('cy'))
        metres_per_degree = 6371008.8 * math.pi / 180
        east = (b['longitude'] - a['longitude']) * math.cos(math.radians((a['latitude'] + b['latitude']) / 2)) * metres_per_degree
        north = (b['latitude'] - a['latitude']) * metres_per_degree
        px_per_m = bar_px / bar_m
        expect(abs(dx - east * px_per_m) < 1.5 and abs(dy + north * px_per_m) < 1.5,
               f'Park lies at ({dx:.1f}, {dy:.1f}) px from Square, expected ({east * px_per_m:.1f}, {-north * px_per_m:.1f})')
        return f'{len(circles)} circles, scale bar {label}'

    def beacons_listed(self):
        seeded = {b['regionId']: b['type'] for lists in self.world['beacons'].values() for b in lists}
        items = wait_until('the beacon list', lambda: (lambda found: found if found == seeded else None)(
            {e.get_attribute('data-region-id'): e.get_attribute('data-type')
             for e in self.driver.find_elements(By.CSS_SELECTOR, '[data-testid="beacon-item"]')}))
        expect(not self.driver.find_elements(By.CSS_SELECTOR, '[data-testid="beacon-mark"]'),
               'a beacon without a position is drawn in the plane')
        return ', '.join(f'{k} {v}' for k, v in sorted(items.items()))

    def device_shown(self):
        wait_until('the device row', lambda: self.push_token in testids(self.driver, 'device-row', 'data-token'))
        users = by_testid(self.driver, 'users-table').text
        expect('walker' in users and self.device['deviceId'] in users, f'users table: {users!r}')

    # -- the push round trip

    def compose_push(self):
        self.subject = f'Console hello {self.marker}'
        self.text = f'Sent from the console test {self.marker}'
        Select(by_testid(self.driver, 'push-token')).select_by_value(self.push_token)
        click(self.driver, 'push-kind-message')
        Select(by_testid(self.driver, 'push-workspace')).select_by_value('walk-main')
        for testid, value in (('push-msg-id', f'console-{self.marker}'), ('push-subject', self.subject), ('push-text', self.text)):
            field = by_testid(self.driver, testid)
            field.clear()
            field.send_keys(value)
        preview = json.loads(by_testid(self.driver, 'push-preview').text)
        expect(preview['message']['fields']['subject'] == self.subject, f'the preview does not follow the form: {preview}')
        click(self.driver, 'push-send')
        wait_until('the sent note', lambda: by_testid(self.driver, 'push-result').text)
        expect(not by_testid(self.driver, 'error-push').text, f'push error: {by_testid(self.driver, "error-push").text}')
        status, pushes, _ = admin(self.sandbox, 'GET', '/pushes')
        mine = [p for p in pushes if p['token'] == self.push_token]
        expect(len(mine) == 1, f'the outbox holds {len(mine)} pushes for the token')
        self.push = mine[0]
        expect(self.push['payload'].get('subject') == self.subject and self.push['payload'].get('msgId') == f'console-{self.marker}',
               f'the push carries {self.push["payload"]}')
        selector = f'[data-testid="push-row"][data-push-id="{self.push["id"]}"]'
        wait_until('the push row, waiting',
                   lambda: self.driver.find_element(By.CSS_SELECTOR, selector).get_attribute('data-delivered') == 'false')
        return f'push #{self.push["id"]}'

    def deliver_push(self):
        # Play the platform push service: collect what waits for the token and hand it to the device.
        status, taken, _ = admin(self.sandbox, 'POST', '/pushes/take', {'token': self.push_token})
        expect(status == 200 and [p['id'] for p in taken] == [self.push['id']], f'take answered {status} {taken}')
        start = len(self.host.output)
        self.host.send('push ' + json.dumps(taken[0]['payload']))
        line = self.host.wait_for_line('pushReceived', lambda l: l.startswith('delegate pushReceived') and self.subject in l, start)
        expect(self.text in line, f'the delivered message lacks its text: {line}')
        self.host.wait_for_line('the push completion', lambda l: l.startswith('done push'), start)
        selector = f'[data-testid="push-row"][data-push-id="{self.push["id"]}"]'
        wait_until('the push shown as collected', lambda: (lambda row: row.get_attribute('data-delivered') == 'true'
                                                           and 'collected' in row.text)(self.driver.find_element(By.CSS_SELECTOR, selector)))
        expect(self.driver.execute_script('return window.consoleTestMark === true'), 'the page was reloaded')
        return line.split(' ', 2)[1]

    # -- live log and plane

    def live_event(self):
        before = len(self.driver.find_elements(By.CSS_SELECTOR, '[data-testid="log-entry"][data-kind="event"]'))
        self.host.run(f'event CONSOLE_LIVE marker={self.marker}')
        entry = wait_until('the event in the log', lambda: next(
            (e for e in self.driver.find_elements(By.CSS_SELECTOR, '[data-testid="log-entry"]') if f'marker={self.marker}' in e.text), None))
        first = self.driver.find_element(By.CSS_SELECTOR, '[data-testid="log-entry"][data-kind="event"]')
        expect('CONSOLE_LIVE' in first.text, f'the newest event is not first: {first.text[:80]!r}')
        expect(entry.get_attribute('data-device') == self.device['deviceId'], 'the event is not tied to its device')
        after = len(self.driver.find_elements(By.CSS_SELECTOR, '[data-testid="log-entry"][data-kind="event"]'))
        expect(after > before, f'{before} events before, {after} after')
        expect(self.driver.execute_script('return window.consoleTestMark === true'), 'the page was reloaded')

    def region_event(self):
        square = self.world['geofences']['walk-main'][0]
        self.host.run(f'location {square["latitude"] + 0.0001} {square["longitude"] + 0.0001}', f'enter {square["regionId"]}')
        status, reports, _ = admin(self.sandbox, 'GET', '/locations')
        expect(any(r['operation'] == 'notifyRegionEvent' and r['region'] == square['regionId'] for r in reports),
               f'the host sent no region event: {reports}')
        wait_until('a region event mark on the track', lambda: self.driver.find_elements(By.CSS_SELECTOR, '[data-testid="region-event-mark"]'))
        expect(self.driver.find_elements(By.CSS_SELECTOR, '[data-testid="track"]'), 'no track drawn')
        Select(by_testid(self.driver, 'log-filter-type')).select_by_value('region')
        kinds = wait_until('the filtered log', lambda: testids(self.driver, 'log-entry', 'data-kind'))
        expect(set(kinds) == {'region'}, f'with the region filter the log shows {set(kinds)}')
        expect(any(square['regionId'] in e.text for e in self.driver.find_elements(By.CSS_SELECTOR, '[data-testid="log-entry"]')),
               'the region event does not name its region')
        Select(by_testid(self.driver, 'log-filter-type')).select_by_value('')
        return f'{len(kinds)} region entries'

    def click_adds_geofence(self):
        square = self.world['geofences']['walk-main'][0]
        circle = self.driver.find_element(By.CSS_SELECTOR, f'[data-testid="geofence-circle"][data-region-id="{square["regionId"]}"]')
        self.driver.execute_script('arguments[0].scrollIntoView({block: "center"})', circle)
        # Clicks the circle's bounding box centre, which is the geofence's centre.
        ActionChains(self.driver).move_to_element(circle).click().perform()
        lat = float(by_testid(self.driver, 'geofence-lat').get_attribute('value'))
        lon = float(by_testid(self.driver, 'geofence-lon').get_attribute('value'))
        expect(abs(lat - square['latitude']) < 0.0002 and abs(lon - square['longitude']) < 0.0003,
               f'the click gave {lat}, {lon}; the centre is {square["latitude"]}, {square["longitude"]}')
        Select(by_testid(self.driver, 'geofence-workspace')).select_by_value('walk-main')
        by_testid(self.driver, 'geofence-region').send_keys('g-clicked')
        by_testid(self.driver, 'geofence-name').send_keys('Clicked')
        radius = by_testid(self.driver, 'geofence-radius')
        radius.clear()
        radius.send_keys('40')
        click(self.driver, 'geofence-add')
        wait_until('the new circle', lambda: 'g-clicked' in testids(self.driver, 'geofence-circle', 'data-region-id'))
        status, stored, _ = admin(self.sandbox, 'GET', '/workspaces/walk-main/geofences')
        expect([g['regionId'] for g in stored] == [square['regionId'], 'g-clicked'], f'walk-main now holds {stored}')
        expect(stored[1]['radius'] == 40 and abs(stored[1]['latitude'] - lat) < 1e-6, f'the new geofence is {stored[1]}')
        return f'clicked at {lat:.5f}, {lon:.5f}'

    def command_push(self):
        click(self.driver, 'push-kind-command')
        Select(by_testid(self.driver, 'push-command')).select_by_value('CRT_REGION')
        Select(by_testid(self.driver, 'push-workspace')).select_by_value('walk-main')
        by_testid(self.driver, 'push-command-id').send_keys(f'crt-{self.marker}')
        click(self.driver, 'push-send')
        wait_until('the command push row', lambda: len(testids(self.driver, 'push-row', 'data-push-id')) == 2)
        expect(not by_testid(self.driver, 'error-push').text, f'push error: {by_testid(self.driver, "error-push").text}')
        status, taken, _ = admin(self.sandbox, 'POST', '/pushes/take', {'token': self.push_token})
        expect(status == 200 and len(taken) == 1, f'take answered {status} {taken}')
        payload = taken[0]['payload']
        expect(payload.get('type') == 'CRT_REGION' and payload.get('clientId') == 'walk-main' and payload.get('msgId') == f'crt-{self.marker}',
               f'the command push carries {payload}')
        output = self.host.run('push ' + json.dumps(payload))
        expect('done push 0' in output, f'the host answered {output}')
        # Only once the fetch the push started is over.
        output = self.host.run('show geofences walk-main')
        listed = next((l for l in output if l.startswith('geofences ')), '')
        expect('g-clicked' in listed, f'the host holds {listed!r}')
        click(self.driver, 'push-kind-message')

    def fault_switches(self):
        select = Select(by_testid(self.driver, 'fault-getPendingMessages'))
        select.select_by_value('html')
        wait_until('the fault set', lambda: admin(self.sandbox, 'GET', '/faults')[1] == {'getPendingMessages': 'html'})
        admin(self.sandbox, 'PUT', '/faults', {'operation': 'getPendingMessages', 'fault': None})
        admin(self.sandbox, 'PUT', '/faults', {'operation': 'getBeacons', 'fault': 'drop'})
        wait_until('the page following the faults', lambda: (
            Select(by_testid(self.driver, 'fault-getPendingMessages')).first_selected_option.get_attribute('value') == ''
            and Select(by_testid(self.driver, 'fault-getBeacons')).first_selected_option.get_attribute('value') == 'drop'))
        admin(self.sandbox, 'PUT', '/faults', {'operation': 'getBeacons', 'fault': None})
        Select(by_testid(self.driver, 'location-mode')).select_by_value('reject')
        wait_until('the location mode set', lambda: admin(self.sandbox, 'GET', '/locations/behaviour')[1] == {'mode': 'reject'})
        admin(self.sandbox, 'PUT', '/locations/behaviour', {'mode': 'accept'})

    def request_log(self):
        expect(not self.driver.find_elements(By.CSS_SELECTOR, '[data-testid="log-entry"][data-kind="request"]'),
               'request entries show without asking for them')
        click(self.driver, 'log-show-requests')
        entries = wait_until('request entries', lambda: [e.text for e in self.driver.find_elements(
            By.CSS_SELECTOR, '[data-testid="log-entry"][data-kind="request"]')])
        expect(any('registerUser' in e for e in entries), 'the registerUser request is not in the log')
        click(self.driver, 'log-show-requests')
        return f'{len(entries)} requests'

    def error_shown(self):
        # Deleted by keys: clear() fires no input event, so a refresh could put the saved code back.
        by_testid(self.driver, 'registration-code').send_keys(Keys.CONTROL, 'a', Keys.BACKSPACE)
        click(self.driver, 'registration-save')
        message = wait_until('the registration error', lambda: by_testid(self.driver, 'error-registration').text)
        expect(message == '"validationCode" must be a non-empty text', f'the error reads {message!r}')
        return message

    def no_console_errors(self):
        problems = [e['message'] for e in self.driver.get_log('browser')
                    if 'Content Security Policy' in e['message'] or e['level'] == 'SEVERE']
        expect(not problems, 'browser console: ' + ' | '.join(problems))

    def reload_keeps_token(self):
        self.driver.refresh()
        wait_until('the workspaces after a reload', lambda: testids(self.driver, 'workspace-row', 'data-client-id'))
        expect(not by_testid(self.driver, 'auth-notice').is_displayed(), 'the notice shows after a reload')

    def no_token_notice(self):
        base = self.sandbox.admin + '/'
        for name, url in (('no token', base), ('a wrong token', base + '#token=' + secrets.token_hex(16))):
            self.driver.execute_script('sessionStorage.clear()')
            self.driver.get('about:blank')
            self.driver.get(url)
            notice = wait_until(f'the notice with {name}', lambda: (lambda n: n if n.is_displayed() else None)(by_testid(self.driver, 'auth-notice')))
            expect('URL the sandbox printed' in notice.text, f'notice reads {notice.text!r}')
            time.sleep(0.5)  # a late reply must not bring data in either
            body = self.driver.find_element(By.TAG_NAME, 'body').text
            shown = [w['name'] for w in self.world['workspaces'] if w['name'] in body] + (['walker'] if 'walker' in body else [])
            expect(not shown, f'with {name} the page shows {shown}')
            expect(not self.driver.find_elements(By.CSS_SELECTOR, '[data-testid="workspace-row"], [data-testid="geofence-circle"]'),
                   f'with {name} data elements exist')


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--sandbox', required=True)
    parser.add_argument('--host', required=True)
    parser.add_argument('--out', required=True, help='folder for failure.png')
    parser.add_argument('--console-dir', help='serve the console from this folder instead of the compiled-in copy')
    parser.add_argument('--keep', action='store_true', help='keep the work folder')
    args = parser.parse_args()
    if webdriver is None or not os.access(CHROMEDRIVER, os.X_OK):
        print('FAIL: needs Debian\'s chromium, chromium-driver and python3-selenium (scripts/bootstrap.sh)', flush=True)
        return 1

    # CTest's timeout sends SIGTERM: leave through finally so nothing stays running.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    work = tempfile.mkdtemp(prefix='console-test-')
    test = ConsoleTest(args, work)
    passed, failed = 0, 0
    name = 'start'
    started = time.monotonic()
    try:
        for name, check in test.checks():
            t0 = time.monotonic()
            detail = check()
            passed += 1
            print(f'ok   {name}' + (f' ({detail})' if detail else '') + f' [{time.monotonic() - t0:.1f} s]', flush=True)
    except CheckFailed as e:
        failed += 1
        print(f'FAIL {name}: {e}', flush=True)
    except BaseException as e:  # a crash in a check, or SIGTERM: still a failure, still cleaned up
        failed += 1
        print(f'FAIL {name} (interrupted): {e.__class__.__name__} {e}', flush=True)
        raise
    finally:
        if failed and test.driver:
            try:
                os.makedirs(args.out, exist_ok=True)
                test.driver.save_screenshot(os.path.join(args.out, 'failure.png'))
                print(f'     failure screenshot: {os.path.join(args.out, "failure.png")}; logs in {work}')
            except WebDriverException:
                pass
        for stop in (lambda: test.driver and test.driver.quit(), lambda: test.host and test.host.stop(),
                     lambda: test.sandbox and test.sandbox.stop()):
            try:
                stop()
            except Exception as e:  # one failing cleanup must not skip the others
                print(f'     cleanup: {e}')
        if not failed and not args.keep:
            shutil.rmtree(work, ignore_errors=True)
        print(f'     took {time.monotonic() - started:.1f} s', flush=True)
        print(f'console: {passed} passed, {failed} failed', flush=True)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
