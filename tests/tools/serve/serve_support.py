"""Helpers shared by the tam serve tests: a running `tam serve` on a copy of a product, plain HTTP
requests to it (standard library only), and a generated product of many nodes.

The binary comes from the TAM environment variable (the CTest registration and
scripts/test-browser.sh set it). Every server listens on 127.0.0.1 on a port the system picks and
is stopped by the test that started it.
"""

import http.client
import json
import os
import re
import shutil
import signal
import subprocess
import tempfile

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..', '..'))
TAM = os.path.abspath(os.environ.get('TAM', os.path.join(REPO, 'build', 'tools', 'tam')))
EBIKE = os.path.join(REPO, 'examples', 'ebike')
BASIC = os.path.join(REPO, 'tests', 'tools', 'products', 'basic')
EXPLAIN = os.path.join(REPO, 'tests', 'tools', 'products', 'explain')

# A server that does not print its address or stop within this many seconds has failed.
START_SECONDS = 20
STOP_SECONDS = 20
# Generated lines get load-if thresholds 0 .. LINE_THRESHOLDS - 1 on the plant's size.
LINE_THRESHOLDS = 8


def copy_product(source):
    """A fresh folder holding a copy of the product folder `source`; returns its product file."""
    folder = tempfile.mkdtemp(prefix='tam-serve-')
    # Without the lock file a tam run elsewhere on the same product keeps there for a moment.
    shutil.copytree(source, os.path.join(folder, 'product'),
                    ignore=shutil.ignore_patterns('.*.tam-lock'))
    return os.path.join(folder, 'product', 'product.json')


def remove_product(product):
    shutil.rmtree(os.path.dirname(os.path.dirname(product)), ignore_errors=True)


class Server:
    """`tam serve PRODUCT` started on a free port; stop() ends it with SIGINT. It runs in the
    product's folder and is given the product file's name, so that the files it names are
    relative: "product.json", "modules/drive.rix"."""

    def __init__(self, product, *extra):
        self.process = subprocess.Popen([TAM, 'serve', os.path.basename(product), *extra],
                                        cwd=os.path.dirname(product), stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True)
        self.heading = self._line()
        self.address_line = self._line()
        found = re.search(r'(http://([^/]+)/\?token=([0-9a-f]+))', self.address_line)
        if not found:
            self.stop()
            raise AssertionError('no address in: ' + self.heading + self.address_line)
        self.url, self.host, self.token = found.groups()
        self.address, port = self.host.rsplit(':', 1)
        self.port = int(port)

    def _line(self):
        # readline blocks; the process is killed by stop() if it never prints.
        return self.process.stdout.readline()

    def request(self, method, path, body=None, token=True, headers=None, raw=None):
        """Sends one request; returns (status, decoded JSON body or text, response headers)."""
        connection = http.client.HTTPConnection(self.address, self.port, timeout=START_SECONDS)
        sent = dict(headers or {})
        if token:
            sent['X-Tam-Token'] = self.token if token is True else token
        data = raw if raw is not None else (None if body is None else json.dumps(body))
        if data is not None:
            sent.setdefault('Content-Type', 'application/json')
        try:
            connection.request(method, path, body=data, headers=sent)
            response = connection.getresponse()
            text = response.read().decode('utf-8')
            kind = response.getheader('Content-Type', '')
            answer = json.loads(text) if kind.startswith('application/json') else text
            return response.status, answer, dict(response.getheaders())
        finally:
            connection.close()

    def get(self, path, **options):
        return self.request('GET', path, **options)

    def post(self, path, body=None, **options):
        return self.request('POST', path, body={} if body is None else body, **options)

    def stop(self, sig=signal.SIGINT):
        """Ends the server; returns (exit status, rest of standard output, standard error)."""
        if self.process.poll() is None:
            self.process.send_signal(sig)
        try:
            out, err = self.process.communicate(timeout=STOP_SECONDS)
        except subprocess.TimeoutExpired:
            self.process.kill()
            out, err = self.process.communicate()
        return self.process.returncode, out, err


def tam_json(product, arguments, sets, subject=None):
    """A tam command's JSON output for a product (and a subject after it) with --set arguments,
    decoded; run as Server runs."""
    arguments = [TAM, *arguments, os.path.basename(product)]
    if subject is not None:
        arguments.append(subject)
    for value in sets:
        arguments += ['--set', value]
    done = subprocess.run(arguments, capture_output=True, text=True, check=False,
                          cwd=os.path.dirname(product))
    return json.loads(done.stdout)


def eval_json(product, *sets):
    """`tam eval --json` of a product with --set arguments, decoded."""
    return tam_json(product, ['eval', '--json'], sets)


def eval_explain_json(product, *sets):
    """`tam eval --explain --json` of a product with --set arguments, decoded."""
    return tam_json(product, ['eval', '--explain', '--json'], sets)


def explain_json(product, subject, *sets):
    """`tam explain --json PRODUCT SUBJECT` with --set arguments, decoded."""
    return tam_json(product, ['explain', '--json'], sets, subject)


def generate_product(folder, node_count, fan_out=8):
    """Writes a product of `node_count` nodes in `folder`: three modules whose rules read the values
    above them and load-ifs on their parents' options. Returns the product file."""
    modules = os.path.join(folder, 'modules')
    os.makedirs(modules)
    texts = {
        'plant': ['module plant', 'interface start',
                  'public size integer "Plant size" = 1 to 10 default 5',
                  'public grade string "Grade" = "basic" "premium" default "basic"',
                  'interface end',
                  'if plant:size > 8 then', '  set line:speed to 20', 'endif'],
        'line': ['module line', 'interface start',
                 'public speed integer "Line speed" = 1 to 20 default 10',
                 'public grade uses plant:grade',
                 'public active logical "Line active" default true',
                 'interface end',
                 'if line:grade = "premium" then', '  set line:speed to line:speed + 1', 'endif'],
        'cell': ['module cell', 'interface start',
                 'public load integer "Cell load" = 0 to 100 default 50',
                 'public speed uses line:speed',
                 'interface end',
                 'set cell:load to cell:speed * 4'],
    }
    for name, lines in texts.items():
        with open(os.path.join(modules, name + '.rix'), 'w', encoding='utf-8') as out:
            out.write('\n'.join(lines) + '\n')

    count = [1]

    def node(identifier, module, depth, index=0):
        item = {'id': identifier, 'module': module}
        if module == 'line':
            # Lines whose threshold is at least the plant's size are not configured.
            item['load_if'] = f'plant:size > {index % LINE_THRESHOLDS}'
        if depth < 3:
            children = []
            child_module = 'line' if module == 'plant' else 'cell'
            for index in range(fan_out * (4 if depth == 0 else 1)):
                if count[0] >= node_count:
                    break
                count[0] += 1
                children.append(node(f'{child_module}{index}', child_module, depth + 1, index))
            if children:
                item['children'] = children
        return item

    root = node('plant', 'plant', 0)
    # Cells of cells fill the tree up to the count, breadth first below the lines.
    queue = [root]
    while queue and count[0] < node_count:
        item = queue.pop(0)
        for child in item.get('children', []):
            queue.append(child)
        if item['module'] == 'cell' and 'children' not in item:
            item['children'] = []
            for index in range(fan_out):
                if count[0] >= node_count:
                    break
                count[0] += 1
                item['children'].append({'id': f'cell{index}', 'module': 'cell'})
                queue.append(item['children'][-1])
    product = os.path.join(folder, 'product.json')
    with open(product, 'w', encoding='utf-8') as out:
        json.dump({'name': f'Generated plant of {node_count} nodes', 'module_folders': ['modules'],
                   'root': root}, out, indent=1)
    return product
