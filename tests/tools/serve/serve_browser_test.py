"""The tam serve page in a real headless Chromium, driven by Selenium with Debian's chromedriver:
a person configuring the e-bike example (change, consequences, why, undo, redo, save, reload),
a conflict and the recovery from it, the token, the keyboard, and a product of 5,000 nodes.

    TAM=build/tools/tam /usr/bin/python3 -m pytest -q tests/tools/serve/serve_browser_test.py

Each change's time from the person's action to the updated page is printed (never asserted).
TAM_SCREENSHOT=PATH keeps a screenshot of the configured e-bike there (docs/serve.png is one).
"""

import os
import shutil
import tempfile

import pytest
from selenium import webdriver
from selenium.common.exceptions import StaleElementReferenceException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

import serve_support as support

CHROMIUM = '/usr/bin/chromium'
CHROMEDRIVER = '/usr/bin/chromedriver'
WAIT_SECONDS = 20
WINDOW = '1400,1000'
LARGE_PRODUCT_NODES = 5000
CHANGES_TIMED = 20


@pytest.fixture(scope='module')
def browser():
    profile = tempfile.mkdtemp(prefix='tam-chromium-')
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    # No network here: nothing in the background may try to reach one.
    for argument in ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic',
                     '--no-first-run', '--disable-background-networking',
                     '--disable-component-update', '--disable-sync',
                     '--user-data-dir=' + profile, '--window-size=' + WINDOW]:
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    yield driver
    driver.quit()
    shutil.rmtree(profile, ignore_errors=True)


@pytest.fixture
def ebike():
    product = support.copy_product(support.EBIKE)
    server = support.Server(product)
    yield server, product
    server.stop()
    support.remove_product(product)


def wait(driver, condition):
    # The page redraws panels as answers arrive: an element found by a condition may be replaced
    # before the condition reads it, which only means the condition is asked again.
    return WebDriverWait(driver, WAIT_SECONDS,
                         ignored_exceptions=[StaleElementReferenceException]).until(
        lambda d: condition())


def body(driver, name):
    return driver.find_element(By.TAG_NAME, 'body').get_attribute('data-' + name)


def open_page(driver, url):
    driver.get(url)
    wait(driver, lambda: body(driver, 'ready') == 'true')
    wait(driver, lambda: driver.find_elements(By.CSS_SELECTOR, '.option'))


# Rows are drawn anew as the tree scrolls and changes, so they are read and clicked in one script.
FIND_ROW = ('const row = [...document.querySelectorAll(".tree-row")]'
            '.find((r) => r.title.startsWith(arguments[0] + ":"));')


def row_attribute(driver, path, name):
    """An attribute of a node's tree row (the row must be in view)."""
    value = driver.execute_script(FIND_ROW + 'return row ? row.getAttribute(arguments[1]) : "no row";',
                                  path, name)
    assert value != 'no row', path
    return value


def row_classes(driver, path):
    return row_attribute(driver, path, 'class').split()


def active_path(driver):
    return driver.execute_script(
        'const id = document.getElementById("tree").getAttribute("aria-activedescendant");'
        'return id ? document.getElementById(id).title.split(":")[0] : null;')


def heading(driver):
    """The selected node's path, as the node panel shows it."""
    return driver.execute_script('return document.getElementById("node-heading").textContent')


def select_node(driver, path):
    assert driver.execute_script(FIND_ROW + 'if (row) row.click(); return !!row;', path), path
    wait(driver, lambda: heading(driver) == path)


def option_input(driver, option):
    return driver.find_element(By.ID, 'option-' + option.replace(':', '-') + '-input')


def option_row(driver, option):
    return driver.find_element(By.ID, 'option-' + option.replace(':', '-'))


def change_and_wait(driver, act, revision):
    act()
    wait(driver, lambda: body(driver, 'revision') == str(revision))
    wait(driver, lambda: body(driver, 'last-change-ms') is not None)
    return float(body(driver, 'last-change-ms'))


def messages(driver):
    return [m.text for m in driver.find_elements(By.CSS_SELECTOR, '#messages .message-text')]


def test_configure_the_ebike(browser, ebike):
    server, product = ebike
    open_page(browser, server.url)
    assert browser.find_element(By.ID, 'product-name').text == 'E-bike line 2025: trekking order 4711'
    assert 'state-not_configured' in row_classes(browser, 'ebike.frame.fork')
    assert 'Suspension fork with remote lockout' not in messages(browser)

    # Off-road: the fork comes in, the rack goes, the drive's values follow, a message appears.
    latency = change_and_wait(
        browser, lambda: Select(option_input(browser, 'ebike:usage')).select_by_visible_text('"offroad"'), 1)
    print(f'\nchange on examples/ebike evaluated and shown in {latency:.1f} ms')
    fork = row_classes(browser, 'ebike.frame.fork')
    assert 'state-configured' in fork and 'changed-state' in fork
    assert 'state-not_configured' in row_classes(browser, 'ebike.equipment.rack')
    assert 'changed' in row_classes(browser, 'ebike.drive')
    new_messages = [m.text for m in browser.find_elements(By.CSS_SELECTOR, '#messages .message.new')]
    assert any('Suspension fork with remote lockout' in m for m in new_messages)
    select_node(browser, 'ebike.drive')
    gears = option_row(browser, 'drive:gears')
    assert 'changed' in gears.get_attribute('class').split()
    assert gears.find_element(By.CSS_SELECTOR, '.values').text.startswith('12 set')

    # Why the drive has 12 gears: the default, then the rule that replaced it, each at its place.
    gears.find_element(By.CSS_SELECTOR, '.why-button').click()
    why = browser.find_element(By.ID, 'why')
    wait(browser, lambda: 'drive:gears at ebike.drive' in why.text)
    print(f'why drive:gears at ebike.drive answered and shown in {body(browser, "last-why-ms")} ms')
    steps = why.find_elements(By.CSS_SELECTOR, '.trail .step')
    assert [step.find_element(By.CSS_SELECTOR, '.step-text').text for step in steps] == \
        ['default 10, from the declaration', 'set to 12, replacing 10 (default)']
    assert steps[1].find_element(By.CSS_SELECTOR, '.source-line').text == 'set drive:gears to 12'
    assert '12: set by the statement at modules/drive.rix:18:3' in why.text
    if os.environ.get('TAM_SCREENSHOT'):
        browser.execute_script('document.getElementById("node").scrollTop = 0')
        browser.save_screenshot(os.environ['TAM_SCREENSHOT'])
    # The rule's place opens in the source panel at its line.
    steps[1].find_element(By.XPATH, './/button[.="modules/drive.rix:18:3"]').click()
    wait(browser, lambda: browser.find_element(By.CSS_SELECTOR, '#source .source-row.here').text
         .endswith('set drive:gears to 12'))
    assert browser.find_element(By.CSS_SELECTOR, '#source .muted').text == 'modules/drive.rix:18'

    # Why the rack went: its load_if read the usage chosen here, and the page says so.
    select_node(browser, 'ebike.equipment.rack')
    browser.find_element(By.CSS_SELECTOR, '#node .why-button').click()
    wait(browser, lambda: why.get_attribute('data-revision') == '1' and 'ebike.equipment.rack' in
         why.find_element(By.CSS_SELECTOR, '.why-subject').text)
    classes = [step.get_attribute('class') for step in why.find_elements(By.CSS_SELECTOR, '.step')]
    assert classes == ['step step-load_if', 'step step-read', 'step step-read', 'step step-state']
    assert 'read ebike:usage = "offroad" (host, chosen in tam serve, not saved)' in why.text

    # Undo with the button, redo with the keyboard; the why panel follows.
    browser.find_element(By.ID, 'undo').click()
    wait(browser, lambda: body(browser, 'revision') == '2')
    # The tree row is redrawn just after the revision mark moves: wait for it, then check.
    wait(browser, lambda: 'state-configured' not in row_classes(browser, 'ebike.frame.fork'))
    assert 'state-not_configured' in row_classes(browser, 'ebike.frame.fork')
    assert 'Suspension fork with remote lockout' not in messages(browser)
    wait(browser, lambda: why.get_attribute('data-revision') == '2')
    assert why.find_element(By.CSS_SELECTOR, '.why-summary').text.startswith(
        'ebike.equipment.rack is configured.')
    browser.find_element(By.ID, 'tree').send_keys(Keys.CONTROL, 'y')
    wait(browser, lambda: body(browser, 'revision') == '3')
    assert 'state-configured' in row_classes(browser, 'ebike.frame.fork')

    # Save, load the page again: the choice is kept, in the page and in the file.
    browser.find_element(By.ID, 'save').click()
    wait(browser, lambda: browser.find_element(By.ID, 'status').text.startswith('Saved 1 host value'))
    with open(product, encoding='utf-8') as f:
        assert '{ "option": "ebike:usage", "value": "offroad" }' in f.read()
    browser.refresh()
    open_page(browser, server.url)
    select_node(browser, 'ebike')
    usage = Select(option_input(browser, 'ebike:usage'))
    assert usage.first_selected_option.text == '"offroad"'
    assert option_row(browser, 'ebike:usage').find_element(By.CSS_SELECTOR, '.host-line').text == \
        'Host value here: "offroad" (host), saved'
    assert not browser.find_element(By.ID, 'unsaved').is_displayed()


def spread(times):
    times = sorted(times)
    return (f'minimum {times[0]:.1f} ms, median {times[len(times) // 2]:.1f} ms, '
            f'maximum {times[-1]:.1f} ms')


def test_time_from_a_change_to_the_page_showing_it(browser, ebike):
    """Prints how long a change on the e-bike takes from the person's choice to the updated page:
    the usage switched between touring and off-road, which changes 12 of the 14 nodes; then the
    same with the why panel open, which is asked again after each change, and how long that
    takes."""
    server, _ = ebike
    open_page(browser, server.url)

    def why_revision():
        return browser.find_element(By.ID, 'why').get_attribute('data-revision')

    def changes(first):
        """Change times, and the why panel's update times when it is open."""
        times, why_times = [], []
        for revision in range(first, first + CHANGES_TIMED):
            usage = '"offroad"' if revision % 2 else '"touring"'
            times.append(change_and_wait(
                browser, lambda: Select(option_input(browser, 'ebike:usage'))
                .select_by_visible_text(usage), revision))
            # The next change waits for the why panel, as a person who reads it does.
            wait(browser, lambda: why_revision() in (None, str(revision)))
            if why_revision() is not None:
                why_times.append(float(body(browser, 'last-why-ms')))
        return times, why_times

    closed, _ = changes(1)
    print(f'\n{CHANGES_TIMED} changes on examples/ebike, from the choice to the updated page: '
          f'{spread(closed)}')
    option_row(browser, 'ebike:usage').find_element(By.CSS_SELECTOR, '.why-button').click()
    wait(browser, lambda: why_revision() == str(CHANGES_TIMED))
    times, why_times = changes(CHANGES_TIMED + 1)
    print(f'the same with the why panel open: {spread(times)}; the why panel updated in '
          f'{spread(why_times)}')
    assert len(closed) == len(times) == len(why_times) == CHANGES_TIMED
    assert 'ebike:usage at ebike' in browser.find_element(By.ID, 'why').text


def test_a_conflict_is_shown_and_the_page_stays_usable(browser, ebike):
    server, _ = ebike
    open_page(browser, server.url)
    change_and_wait(browser, lambda: Select(option_input(browser, 'ebike:usage'))
                    .select_by_visible_text('"offroad"'), 1)
    select_node(browser, 'ebike.drive')
    Select(option_input(browser, 'drive:transmission')).select_by_visible_text('"belt"')
    problem = browser.find_element(By.ID, 'problem')
    wait(browser, problem.is_displayed)
    assert 'The change was not made' in problem.text
    assert "'transmission.belt' and 'gearing.derailleur' are both selected" in problem.text
    assert 'modules/drive.rix:28' in problem.text
    assert 'mutually_exclusive : {transmission.belt, gearing.derailleur}' in problem.text
    assert body(browser, 'revision') == '1'
    wait(browser, lambda: Select(option_input(browser, 'drive:transmission'))
         .first_selected_option.text == '"chain"')

    # The place of the conflict opens in the source panel.
    problem.find_element(By.XPATH, './/button[contains(., "drive.rix:28")]').click()
    wait(browser, lambda: 'mutually_exclusive' in
         browser.find_element(By.CSS_SELECTOR, '#source .source-row.here').text)

    # Recover: a hub gear first, then the belt fits.
    change_and_wait(browser, lambda: Select(option_input(browser, 'drive:gearing'))
                    .select_by_visible_text('"hub_gear"'), 2)
    assert not browser.find_element(By.ID, 'problem').is_displayed()
    change_and_wait(browser, lambda: Select(option_input(browser, 'drive:transmission'))
                    .select_by_visible_text('"belt"'), 3)
    values = option_row(browser, 'drive:transmission').find_element(By.CSS_SELECTOR, '.values')
    assert values.text.startswith('"belt" host')


def test_inputs_fit_their_options_and_refuse_bad_values(browser, ebike):
    server, _ = ebike
    open_page(browser, server.url)
    height = option_input(browser, 'ebike:rider_height')
    assert (height.get_attribute('type'), height.get_attribute('min'), height.get_attribute('max'),
            height.get_attribute('step')) == ('number', '150', '205', '1')
    assert option_input(browser, 'ebike:model').tag_name == 'select'
    select_node(browser, 'ebike.drive.battery')
    assert option_input(browser, 'battery:removable').get_attribute('type') == 'checkbox'
    select_node(browser, 'ebike.equipment.lights')
    extras = option_input(browser, 'lights:extras')
    assert extras.tag_name == 'fieldset'
    # The boxes show the host value chosen here (the rules add the reflectors).
    assert [b.is_selected() for b in extras.find_elements(By.TAG_NAME, 'input')] == \
        [True, False, False, False]
    how = Select(browser.find_element(By.ID, 'option-lights-front_lux-how'))
    assert [o.text for o in how.options] == ['host', 'host_firm', 'host_forced']
    assert how.first_selected_option.text == 'host_firm'

    # A value the option does not allow is refused where it was typed.
    select_node(browser, 'ebike')
    height = option_input(browser, 'ebike:rider_height')
    height.send_keys(Keys.CONTROL, 'a')
    height.send_keys('250', Keys.TAB)
    error = browser.find_element(By.ID, 'option-ebike-rider_height-error')
    wait(browser, lambda: error.text != '')
    assert error.text == "value 250 is not allowed for 'ebike:rider_height' (allowed: 150 to 205)"
    assert body(browser, 'revision') == '0'


def test_the_token_is_required(browser, ebike):
    server, _ = ebike
    browser.get(server.url.split('?')[0])
    problem = browser.find_element(By.ID, 'problem')
    wait(browser, problem.is_displayed)
    assert 'This page needs its token' in problem.text
    status = browser.execute_async_script(
        'const done = arguments[arguments.length - 1];'
        'fetch("/api/set", {method: "POST", headers: {"Content-Type": "application/json"},'
        ' body: JSON.stringify({node: "ebike", option: "ebike:usage", value: "offroad"})})'
        '.then((r) => r.json().then((j) => done([r.status, j.error.code])));')
    assert status == [403, 'bad_token']
    _, answer, _ = server.get('/api/product')
    assert answer['revision'] == 0


def test_the_tree_is_driven_by_the_keyboard(browser, ebike):
    server, _ = ebike
    open_page(browser, server.url)
    tree = browser.find_element(By.ID, 'tree')
    tree.click()
    for keys, expected in [((Keys.HOME,), 'ebike'), ((Keys.ARROW_DOWN,), 'ebike.frame'),
                           ((Keys.ARROW_DOWN,), 'ebike.frame.fork'),
                           ((Keys.ARROW_LEFT,), 'ebike.frame'), ((Keys.ARROW_LEFT,), 'ebike.frame'),
                           ((Keys.ARROW_DOWN,), 'ebike.drive'),
                           ((Keys.END,), 'ebike.equipment.rack'),
                           (('b',), 'ebike.drive.battery'), (('b',), 'ebike.brakes'),
                           ((Keys.ARROW_UP,), 'ebike.drive.battery.charger')]:
        tree.send_keys(*keys)
        try:
            wait(browser, lambda: active_path(browser) == expected)
        except Exception:
            raise AssertionError((keys, expected, active_path(browser)))
        wait(browser, lambda: heading(browser) == expected)
    # The frame was folded (the second left arrow went nowhere): its fork is not a row any more.
    assert row_attribute(browser, 'ebike.frame', 'aria-expanded') == 'false'
    assert row_attribute(browser, 'ebike.drive.battery.charger', 'aria-selected') == 'true'
    assert browser.execute_script(FIND_ROW + 'return !row;', 'ebike.frame.fork')
    tree.send_keys(Keys.HOME, Keys.ARROW_DOWN, Keys.ARROW_RIGHT)
    wait(browser, lambda: row_attribute(browser, 'ebike.frame', 'aria-expanded') == 'true')


def test_a_large_product_stays_usable(browser):
    folder = tempfile.mkdtemp(prefix='tam-large-')
    try:
        product = support.generate_product(folder, LARGE_PRODUCT_NODES)
        server = support.Server(product)
        try:
            open_page(browser, server.url)
            print(f'\nproduct of {LARGE_PRODUCT_NODES} nodes loaded and shown in '
                  f'{body(browser, "load-ms")} ms')
            rows = browser.find_elements(By.CSS_SELECTOR, '.tree-row')
            # Only the rows in view are in the page.
            assert 0 < len(rows) < 100
            tree = browser.find_element(By.ID, 'tree')
            tree.click()
            tree.send_keys(Keys.END)
            wait(browser, lambda: active_path(browser) == 'plant.line31')
            tree.send_keys(Keys.ARROW_RIGHT, Keys.ARROW_RIGHT, Keys.END)
            wait(browser, lambda: active_path(browser) == 'plant.line31.cell7')
            assert 0 < len(browser.find_elements(By.CSS_SELECTOR, '.tree-row')) < 100
            tree.send_keys(Keys.HOME)
            wait(browser, lambda: heading(browser) == 'plant')
            latency = change_and_wait(browser, lambda: Select(option_input(browser, 'plant:grade'))
                                      .select_by_visible_text('"premium"'), 1)
            print(f'\nchange on a product of {LARGE_PRODUCT_NODES} nodes evaluated and shown in '
                  f'{latency:.1f} ms')
            summary = browser.find_element(By.ID, 'summary').text
            assert summary.startswith(f'{LARGE_PRODUCT_NODES} nodes:')
            assert 'changed' in row_classes(browser, 'plant')
        finally:
            server.stop()
    finally:
        shutil.rmtree(folder, ignore_errors=True)
