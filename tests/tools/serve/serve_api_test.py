"""The tam serve API, driven over HTTP against the real binary with the standard library only:
every endpoint, every refusal, evaluation results against `tam eval`, undo and redo, saving into
the product file, concurrent requests, and stopping.

    TAM=build/tools/tam /usr/bin/python3 tests/tools/serve/serve_api_test.py
"""

import fcntl
import json
import os
import signal
import socket
import threading
import unittest

import serve_support as support

DRIVE = 'ebike.drive'


def answer_state(answer, path):
    return next(n['state'] for n in answer['nodes'] if n['path'] == path)


def node_options(server, path):
    status, answer, _ = server.get('/api/node?path=' + path)
    assert status == 200, answer
    return {o['option']: o['values'] for o in answer['node']['options'] if o['values']}


class EbikeServer(unittest.TestCase):
    """A server on a fresh copy of the e-bike example for each test."""

    def setUp(self):
        self.product = support.copy_product(support.EBIKE)
        self.server = support.Server(self.product)

    def tearDown(self):
        self.server.stop()
        support.remove_product(self.product)

    def set(self, node, option, value, how=None, expect=200):
        body = {'node': node, 'option': option, 'values' if isinstance(value, list) else 'value': value}
        if how:
            body['how'] = how
        status, answer, _ = self.server.post('/api/set', body)
        self.assertEqual(status, expect, answer)
        return answer

    def product_state(self):
        status, answer, _ = self.server.get('/api/product')
        self.assertEqual(status, 200, answer)
        return answer


class Refusals(EbikeServer):
    def test_requests_without_the_token_or_for_another_host_are_refused(self):
        cases = [
            # method, path, options, status, code
            ('GET', '/api/product', {'token': False}, 403, 'bad_token'),
            ('GET', '/api/product', {'token': 'f' * 48}, 403, 'bad_token'),
            ('POST', '/api/set', {'token': False, 'body': {'node': 'ebike', 'option': 'ebike:usage',
                                                          'value': 'offroad'}}, 403, 'bad_token'),
            ('POST', '/api/save', {'token': False, 'body': {}}, 403, 'bad_token'),
            ('GET', '/api/why?node=ebike', {'token': False}, 403, 'bad_token'),
            ('GET', '/api/why?node=ebike', {'headers': {'Host': 'rebound.example'}}, 403,
             'host_refused'),
            ('GET', '/', {'headers': {'Host': 'rebound.example:%d' % self.server.port}}, 403,
             'host_refused'),
            ('GET', '/api/product', {'headers': {'Host': 'rebound.example'}}, 403, 'host_refused'),
            ('GET', '/api/product', {'headers': {'Host': '127.0.0.1:1'}}, 403, 'host_refused'),
        ]
        for method, path, options, status, code in cases:
            with self.subTest(method=method, path=path, options=options):
                got, answer, _ = self.server.request(method, path, **options)
                self.assertEqual((got, answer['error']['code']), (status, code))
                self.assertEqual(answer['version'], 1)
        # Nothing was changed by the refused change.
        self.assertEqual(self.product_state()['revision'], 0)
        self.assertEqual(node_options(self.server, 'ebike')['ebike:usage'][0]['value'], 'touring')

    def test_malformed_requests_get_a_json_error(self):
        too_large = json.dumps({'node': 'ebike', 'padding': 'x' * (1024 * 1024)})
        cases = [
            # method, path, body (JSON unless raw), status, code
            ('POST', '/api/set', {'raw': '{"node": '}, 400, 'bad_json'),
            ('POST', '/api/set', {'raw': too_large}, 413, 'too_large'),
            ('POST', '/api/set', {'body': ['ebike']}, 400, 'bad_request'),
            ('POST', '/api/set', {'body': {'node': 'ebike', 'option': 'ebike:usage', 'value': 1,
                                           'colour': 'red'}}, 400, 'bad_request'),
            ('POST', '/api/set', {'body': {'option': 'ebike:usage', 'value': 'offroad'}}, 400,
             'bad_request'),
            ('POST', '/api/set', {'body': {'node': 'ebike', 'option': 'usage', 'value': 'x'}}, 400,
             'bad_request'),
            ('POST', '/api/set', {'body': {'node': 'ebike', 'option': 'ebike:usage'}}, 400,
             'bad_request'),
            ('POST', '/api/set', {'body': {'node': 'ebike', 'option': 'ebike:usage', 'value': 'a',
                                           'values': ['a']}}, 400, 'bad_request'),
            ('POST', '/api/set', {'body': {'node': 'ebike', 'option': 'ebike:usage',
                                           'values': []}}, 400, 'bad_request'),
            ('POST', '/api/set', {'body': {'node': 'nowhere', 'option': 'ebike:usage',
                                           'value': 'offroad'}}, 404, 'unknown_node'),
            ('POST', '/api/set', {'body': {'node': 'ebike', 'option': 'ebike:colour',
                                           'value': 'red'}}, 404, 'unknown_option'),
            ('POST', '/api/set', {'body': {'node': 'ebike', 'option': 'frame:size',
                                           'value': 54}}, 400, 'not_settable'),
            ('POST', '/api/set', {'body': {'node': 'ebike.equipment', 'option': 'lights:extras',
                                           'value': 'horn'}}, 400, 'not_settable'),
            ('POST', '/api/set', {'body': {'node': 'ebike', 'option': 'ebike:rider_height',
                                           'value': 250}}, 400, 'bad_value'),
            ('POST', '/api/set', {'body': {'node': 'ebike', 'option': 'ebike:rider_height',
                                           'value': 'tall'}}, 400, 'bad_value'),
            ('POST', '/api/set', {'body': {'node': 'ebike', 'option': 'ebike:usage',
                                           'value': None}}, 400, 'bad_value'),
            ('POST', '/api/set', {'body': {'node': 'ebike', 'option': 'ebike:usage',
                                           'values': ['touring', 'offroad']}}, 400, 'bad_value'),
            ('POST', '/api/set', {'body': {'node': 'ebike.drive.battery',
                                           'option': 'battery:cell_supplier', 'value': 'B'}}, 400,
             'bad_value'),
            ('POST', '/api/set', {'body': {'node': 'ebike', 'option': 'ebike:usage',
                                           'value': 'offroad', 'how': 'fix'}}, 400, 'bad_how'),
            ('POST', '/api/clear', {'body': {'node': 'ebike'}}, 400, 'bad_request'),
            ('POST', '/api/clear', {'body': {'node': 'nowhere', 'option': 'ebike:usage'}}, 404,
             'unknown_node'),
            ('POST', '/api/undo', {'body': {}}, 409, 'nothing_to_undo'),
            ('POST', '/api/undo', {'body': {'focus': 'ebike.nowhere'}}, 404, 'unknown_node'),
            ('POST', '/api/set', {'body': {'node': 'ebike', 'option': 'ebike:usage',
                                           'value': 'offroad', 'focus': 'nowhere'}}, 404,
             'unknown_node'),
            ('POST', '/api/redo', {'body': {}}, 409, 'nothing_to_redo'),
            ('GET', '/api/set', {}, 405, 'method_not_allowed'),
            ('POST', '/api/product', {'body': {}}, 405, 'method_not_allowed'),
            ('GET', '/api/nothing', {}, 404, 'not_found'),
            ('GET', '/api/node', {}, 400, 'bad_request'),
            ('GET', '/api/node?path=ebike.nowhere', {}, 404, 'unknown_node'),
            ('GET', '/api/why?option=ebike:usage', {}, 400, 'bad_request'),
            ('GET', '/api/why', {}, 400, 'bad_request'),
            ('GET', '/api/why?node=ebike.nowhere', {}, 404, 'unknown_node'),
            ('GET', '/api/why?node=ebike.nowhere&option=ebike:usage', {}, 404, 'unknown_node'),
            ('GET', '/api/why?node=ebike&option=frame:size', {}, 404, 'unknown_option'),
            ('GET', '/api/why?node=ebike&option=usage', {}, 404, 'unknown_option'),
            ('GET', '/api/why?node=ebike&option=ebike:colour', {}, 404, 'unknown_option'),
            ('GET', '/api/why?node=ebike.equipment&option=lights:extras', {}, 404,
             'unknown_option'),
            ('POST', '/api/why?node=ebike', {'body': {}}, 405, 'method_not_allowed'),
            ('GET', '/api/source?file=/etc/passwd&line=1', {}, 404, 'unknown_file'),
            ('GET', '/api/source?file=../product.json&line=1', {}, 404, 'unknown_file'),
            ('GET', '/api/source?line=1', {}, 400, 'bad_request'),
            ('GET', '/api/source?file=product.json&line=x', {}, 400, 'bad_line'),
            ('GET', '/api/source?file=product.json&line=900', {}, 400, 'bad_line'),
            ('GET', '/api/source?file=%s&line=1' % self.product, {}, 404, 'unknown_file'),
            ('GET', '/assets/missing.js', {}, 404, 'not_found'),
            ('GET', '/assets/../product.json', {}, 404, 'not_found'),
        ]
        for method, path, options, status, code in cases:
            with self.subTest(method=method, path=path, options=str(options)[:120]):
                got, answer, _ = self.server.request(method, path, **options)
                self.assertEqual(got, status, answer)
                self.assertEqual(answer['error']['code'], code)
                self.assertTrue(answer['error']['message'])
        self.assertEqual(self.product_state()['revision'], 0)


class Answers(EbikeServer):
    def test_page_and_assets_are_served_from_the_binary(self):
        status, page, headers = self.server.get('/', token=False)
        self.assertEqual(status, 200)
        self.assertIn('<script type="module" src="/assets/app.js"></script>', page)
        self.assertTrue(headers['Content-Type'].startswith('text/html'))
        self.assertIn("frame-ancestors 'none'", headers['Content-Security-Policy'])
        for name, kind in [('app.js', 'text/javascript'), ('style.css', 'text/css')]:
            status, text, headers = self.server.get('/assets/' + name, token=False)
            with open(os.path.join(support.REPO, 'tools', 'tam', 'web', name), encoding='utf-8') as f:
                self.assertEqual((status, text), (200, f.read()))
            self.assertTrue(headers['Content-Type'].startswith(kind))

    def test_results_match_tam_eval_after_each_change(self):
        changes = [('ebike', 'ebike:usage', 'offroad', 'ebike:ebike:usage=offroad'),
                   ('ebike', 'ebike:market', 'US', 'ebike:ebike:market=US'),
                   ('ebike.front', 'wheels:tyre_width', 2.8, 'ebike.front:wheels:tyre_width=2.8')]
        sets = []
        for node, option, value, argument in changes:
            answer = self.set(node, option, value)
            sets.append(argument)
            expected = support.eval_json(self.product, *sets)
            with self.subTest(change=argument):
                state = self.product_state()
                self.assertEqual(state['summary'], expected['summary'])
                self.assertEqual(state['messages'], expected['messages'])
                self.assertEqual(state['legacy_options'], expected['legacy_options'])
                self.assertEqual({n['path']: n['state'] for n in state['nodes']},
                                 {n['path']: n['state'] for n in expected['nodes']})
                for node_report in expected['nodes']:
                    self.assertEqual(node_options(self.server, node_report['path']),
                                     {o['option']: o['values'] for o in node_report['options']},
                                     node_report['path'])
                self.assertEqual(answer['revision'], len(sets))

    def test_a_change_lists_what_changed(self):
        status, answer, _ = self.server.post('/api/set', {
            'node': 'ebike', 'option': 'ebike:usage', 'value': 'offroad', 'focus': DRIVE})
        self.assertEqual(status, 200, answer)
        # The node in focus comes back as GET /api/node shows it.
        self.assertEqual(answer['node'], self.server.get('/api/node?path=' + DRIVE)[1]['node'])
        changed = {n['path']: n for n in answer['changed']}
        self.assertEqual(changed['ebike.frame.fork']['state'], 'configured')
        self.assertTrue(changed['ebike.frame.fork']['state_changed'])
        self.assertEqual(changed['ebike.frame.fork']['cause'], 'load_if_true')
        self.assertEqual(changed['ebike.equipment.rack']['state'], 'not_configured')
        self.assertEqual(changed['ebike.equipment.rack']['cause'], 'load_if_false')
        self.assertIn('drive:gears', changed[DRIVE]['changed_options'])
        self.assertFalse(changed[DRIVE]['state_changed'])
        self.assertNotIn('ebike.brakes', changed)
        self.assertIn('Suspension fork with remote lockout',
                      [m['text'] for m in answer['messages']])
        self.assertTrue(answer['unsaved'])
        self.assertEqual(answer['history']['undo'], 'set ebike:usage = "offroad" (host) at ebike')
        # The same value again changes nothing.
        again = self.set('ebike', 'ebike:usage', 'offroad')
        self.assertEqual((again['revision'], again['changed']), (1, []))

    def test_undo_redo_and_clear(self):
        before = {n['path']: node_options(self.server, n['path'])
                  for n in self.product_state()['nodes']}
        self.set('ebike', 'ebike:usage', 'offroad')
        self.set(DRIVE, 'drive:gears', 9, how='host_firm')
        self.assertEqual(node_options(self.server, DRIVE)['drive:gears'],
                         [{'value': 9, 'type': 'integer', 'how': 'host_firm'}])
        status, answer, _ = self.server.post('/api/undo')
        self.assertEqual(status, 200, answer)
        self.assertEqual(answer['history']['redo'], 'set drive:gears = 9 (host_firm) at ebike.drive')
        self.assertEqual(node_options(self.server, DRIVE)['drive:gears'][0]['how'], 'set')
        self.server.post('/api/undo')
        after = {n['path']: node_options(self.server, n['path'])
                 for n in self.product_state()['nodes']}
        self.assertEqual(after, before)
        self.assertFalse(self.product_state()['unsaved'])
        status, answer, _ = self.server.post('/api/redo')
        self.assertEqual(status, 200)
        self.assertEqual(node_options(self.server, 'ebike')['ebike:usage'][0]['value'], 'offroad')
        # A new change forgets the steps that were undone.
        self.set('ebike', 'ebike:budget', 4200)
        self.assertFalse(self.product_state()['history']['can_redo'])
        # Clearing a host value brings back what the rules and defaults give: the rule sets the
        # default value, which leaves it a default.
        status, answer, _ = self.server.post('/api/clear', {'node': 'ebike.equipment.lights',
                                                            'option': 'lights:front_lux'})
        self.assertEqual(status, 200, answer)
        self.assertEqual(node_options(self.server, 'ebike.equipment.lights')['lights:front_lux'],
                         [{'value': 70, 'type': 'integer', 'how': 'default'}])
        status, answer, _ = self.server.post('/api/clear', {'node': 'ebike.equipment.lights',
                                                            'option': 'lights:front_lux'})
        self.assertEqual(answer['changed'], [])

    def test_a_conflict_is_refused_and_the_product_stays_as_it_was(self):
        self.set('ebike', 'ebike:usage', 'offroad')
        state = self.product_state()
        answer = self.set(DRIVE, 'drive:transmission', 'belt', expect=409)
        failure = answer['error']['failure']
        self.assertEqual(answer['error']['code'], 'evaluation_failed')
        self.assertEqual((failure['file'], failure['line'], failure['node']),
                         ('modules/drive.rix', 28, DRIVE))
        self.assertEqual(failure['source_line'],
                         'mutually_exclusive : {transmission.belt, gearing.derailleur}')
        self.assertIn("'transmission.belt' and 'gearing.derailleur' are both selected",
                      failure['message'])
        self.assertEqual(self.product_state(), state)
        self.assertEqual(node_options(self.server, DRIVE)['drive:transmission'][0]['value'],
                         'chain')
        # Usable as before: a change that fits is made.
        self.set(DRIVE, 'drive:gearing', 'hub_gear')
        self.set(DRIVE, 'drive:transmission', 'belt')
        self.assertEqual(node_options(self.server, DRIVE)['drive:transmission'][0]['value'], 'belt')

    def test_node_why_and_source(self):
        status, answer, _ = self.server.get('/api/node?path=ebike.equipment.lights')
        self.assertEqual(status, 200)
        node = answer['node']
        self.assertEqual((node['module'], node['state'], node['cause'], node['line']),
                         ('lights', 'configured', 'no_load_if', 55))
        extras = [o for o in node['options'] if o['option'] == 'lights:extras'][0]
        self.assertEqual(extras['host'], {'values': ['bell'], 'how': 'host', 'line': 60,
                                          'saved': True})
        self.assertEqual([v['how'] for v in extras['values']], ['host', 'set'])

        status, answer, _ = self.server.get('/api/why?node=ebike.frame.fork')
        self.assertEqual(status, 200)
        self.assertEqual(answer['subject'], {'node': 'ebike.frame.fork', 'option': None})
        facts = {f['topic']: f for f in answer['facts']}
        self.assertEqual(facts['load_if']['line'], 32)
        read = facts['load_if_reads']
        self.assertEqual((read['text'], read['file'], read['line'], read['node']), (
            'The load_if read frame:suspension = "rigid" (default, modules/frame.rix:6).',
            'modules/frame.rix', 6, 'ebike.frame'))
        status, answer, _ = self.server.get('/api/why?node=ebike.frame&option=frame:material')
        facts = {f['topic']: f['text'] for f in answer['facts']}
        self.assertEqual(answer['summary'],
                         'frame:material = "steel" (host_forced) at ebike.frame.')
        self.assertEqual(facts['value'],
                         '"steel": the host value (host_forced), given at product.json:29 '
                         '(node ebike.frame).')
        self.assertEqual(facts['host_value'],
                         'Chosen at this node: "steel" (host_forced), as the product file holds it.')
        declaration = [f for f in answer['facts'] if f['topic'] == 'declaration'][0]
        self.assertEqual((declaration['text'], declaration['file'], declaration['line']),
                         ('public material string "Frame material" = "aluminium" "steel" "carbon" '
                          'default "aluminium"', 'modules/frame.rix', 4))

        status, answer, _ = self.server.get('/api/source?file=product.json&line=1')
        self.assertEqual([line['number'] for line in answer['lines']], [1, 2, 3, 4])
        self.assertEqual(answer['lines'][0]['text'], '{')


def file_line(product, file, line):
    with open(os.path.join(os.path.dirname(product), file), encoding='utf-8') as f:
        return f.read().split('\n')[line - 1]


def without_origins(values):
    return [{k: v for k, v in value.items() if k != 'origin'} for value in values]


class WhyTrail(unittest.TestCase):
    """The trail of /api/why against `tam explain --json` and `tam eval --explain --json` for the
    same product and host values: an option's trail is the history explain gives, each step with
    the source line at its place; a node's trail is its forced state, its load_if, the values it
    read (placed where the node above got them) and its state, after those of the node that
    stopped it."""

    def serve(self, source):
        product = support.copy_product(source)
        server = support.Server(product)
        self.addCleanup(support.remove_product, product)
        self.addCleanup(server.stop)
        return server, product

    def why(self, server, node, option=None):
        path = '/api/why?node=' + node + ('&option=' + option if option else '')
        status, answer, _ = server.get(path)
        self.assertEqual(status, 200, answer)
        return answer

    def check_option(self, server, product, subject, sets=()):
        node, option = subject.split(':', 1)
        answer = self.why(server, node, option)
        expected = support.explain_json(product, subject, *sets)
        # The explanation is the very document of tam explain --json.
        self.assertEqual(answer['explanation'], expected)
        trail = answer['trail']
        for step in trail:
            line = step.pop('source_line')
            place = step['place']
            self.assertEqual(line, file_line(product, place['file'], place['line'])
                             if place and place['file'] else None, step)
        self.assertEqual(trail, expected['history'])
        # Each value's fact is placed where the value came from.
        facts = [(f['file'], f['line'], f['node'])
                 for f in answer['facts'] if f['topic'] == 'value']
        origins = [value['origin'] for value in expected['values']]
        self.assertEqual(facts, [((o['place'] or {}).get('file'), (o['place'] or {}).get('line'),
                                  o['node']) for o in origins])

    def expected_condition(self, product, node, evaluated, sets):
        """A node's condition steps as `tam explain --json` tells them: (kind, node, outcome,
        place, values read, option read); read values with the origins eval --explain gives at
        the nearest node above that holds the option."""
        document = support.explain_json(product, node, *sets)
        steps = []
        if document['forced']:
            steps.append(('forced', node, document['forced']['state'], document['forced']['place'],
                          None, None))
        load_if = document['load_if']
        if load_if:
            steps.append(('load_if', node, load_if['result'], load_if['place'], None, None))
            for read in load_if['reads']:
                above = node.rsplit('.', 1)[0]
                held = None
                while held is None:
                    options = {o['option']: o['values'] for o in evaluated[above]['options']}
                    held = options.get(read['option'])
                    above = above.rsplit('.', 1)[0]
                self.assertEqual(without_origins(held), read['values'])
                place = next((v['origin']['place'] for v in held if v['origin']['place']), None)
                steps.append(('read', node, None, place, held, read['option']))
        steps.append(('state', node, document['state'], None, None, None))
        return steps, document

    def check_node(self, server, product, node, sets=()):
        answer = self.why(server, node)
        evaluated = {n['path']: n for n in support.eval_explain_json(product, *sets)['nodes']}
        steps, document = self.expected_condition(product, node, evaluated, sets)
        self.assertEqual(answer['explanation'], document)
        if document['stopped_by']:
            steps, _ = self.expected_condition(product, document['stopped_by'], evaluated, sets)
            steps.append(('stopped', node, document['state'], None, None, None))
        trail = answer['trail']
        self.assertEqual([(s['kind'], s['node'], s['outcome'], s['place'], s['values'], s['from'])
                          for s in trail], steps)
        self.assertEqual(trail[-1]['text'], document['reason'])
        if document['stopped_by']:
            self.assertEqual(trail[-1]['from_node'], document['stopped_by'])

    def test_trails_are_what_tam_explain_tells(self):
        server, product = self.serve(support.EBIKE)
        # A change, saved so that tam explain reads it from the file as the server does.
        status, answer, _ = server.post('/api/set', {'node': 'ebike', 'option': 'ebike:usage',
                                                     'value': 'offroad'})
        self.assertEqual(status, 200, answer)
        self.assertTrue(server.post('/api/save')[1]['saved'])
        for subject in ['ebike.drive:drive:gears', 'ebike.frame:frame:material',
                        'ebike.drive.battery:battery:usage', 'ebike.drive:drive:assist_level',
                        'ebike.equipment.lights:lights:extras', 'ebike:ebike:usage',
                        'ebike.equipment.rack:rack:pannier_set']:
            with self.subTest(subject=subject):
                self.check_option(server, product, subject)
        for node in ['ebike', 'ebike.frame.fork', 'ebike.equipment.rack',
                     'ebike.equipment.display', 'ebike.drive.battery.charger']:
            with self.subTest(node=node):
                self.check_node(server, product, node)

        server, product = self.serve(support.EXPLAIN)
        for subject in ['kart.engine:engine:power', 'kart.seat:seat:padding']:
            with self.subTest(subject=subject):
                self.check_option(server, product, subject)
        for node in ['kart.rain_tyres', 'kart.rain_tyres.valves', 'kart.transponder',
                     'kart.engine']:
            with self.subTest(node=node):
                self.check_node(server, product, node)

    def test_trails_follow_changes_and_name_unsaved_choices(self):
        server, product = self.serve(support.EBIKE)
        rack = self.why(server, 'ebike.equipment.rack')
        self.assertEqual(rack['trail'][-1]['outcome'], 'configured')
        self.assertEqual(server.post('/api/set', {'node': 'ebike', 'option': 'ebike:usage',
                                                  'value': 'offroad'})[0], 200)
        rack = self.why(server, 'ebike.equipment.rack')
        self.assertEqual(rack['revision'], 1)
        read = [s for s in rack['trail'] if s['from'] == 'ebike:usage'][0]
        self.assertEqual((read['text'], read['place']['text'], read['source_line']),
                         ('read ebike:usage = "offroad" (host, chosen in tam serve, not saved)',
                          'chosen in tam serve, not saved', None))
        self.assertEqual(rack['trail'][-1]['outcome'], 'not_configured')
        fact = [f for f in rack['facts'] if f['topic'] == 'load_if_reads'][1]
        self.assertEqual((fact['text'], fact['node']), (
            'The load_if read ebike:usage = "offroad" (host, chosen in tam serve, not saved).',
            'ebike'))

        # A refused change leaves the trail of the evaluation before it.
        before = self.why(server, DRIVE, 'drive:transmission')
        status, _, _ = server.post('/api/set', {'node': DRIVE, 'option': 'drive:transmission',
                                                'value': 'belt'})
        self.assertEqual(status, 409)
        self.assertEqual(self.why(server, DRIVE, 'drive:transmission'), before)
        self.check_option(server, product, 'ebike.drive:drive:gears',
                          sets=['ebike:ebike:usage=offroad'])

        # A host value replaced by a rule says which rule.
        self.assertEqual(server.post('/api/set', {'node': 'ebike.frame', 'option': 'frame:material',
                                                  'value': 'carbon'})[0], 200)
        material = self.why(server, 'ebike.frame', 'frame:material')
        replaced = [f for f in material['facts'] if f['topic'] == 'replaced'][0]
        self.assertEqual((replaced['file'], replaced['line'], replaced['node']),
                         ('modules/ebike.rix', 35, 'ebike'))
        self.assertIn('"aluminium" is fixed by the statement at modules/ebike.rix:35:3',
                      replaced['text'])
        self.assertEqual([s['outcome'] for s in material['trail']], ['stored', 'refused'])


class Saving(EbikeServer):
    def read(self):
        with open(self.product, encoding='utf-8') as f:
            return f.read()

    def test_save_changes_only_the_chosen_values(self):
        original = self.read()
        files = sorted(os.listdir(os.path.dirname(self.product)))
        self.set('ebike', 'ebike:usage', 'offroad')
        self.set('ebike', 'ebike:model', 'speed', how='host')
        self.set(DRIVE, 'drive:gears', 9, how='host_firm')
        self.set('ebike.front', 'wheels:tyre_width', '2.2')
        self.set('ebike.equipment.lights', 'lights:extras', ['bell', 'horn'])
        self.server.post('/api/clear', {'node': 'ebike.equipment.rack', 'option': 'rack:pannier_set'})
        status, answer, _ = self.server.post('/api/save')
        self.assertEqual(status, 200, answer)
        self.assertEqual((answer['saved'], answer['written']), (True, 6))
        expected = original
        for old, new in [
                ('"value": "trekking", "how": "host_firm" }', '"value": "speed", "how": "host" }'),
                ('"value": "touring" }', '"value": "offroad" }'),
                ('"id": "drive",\n        "module": "drive",',
                 '"id": "drive",\n        "module": "drive",\n        "values": [\n'
                 '          { "option": "drive:gears", "value": 9, "how": "host_firm" }\n'
                 '        ],'),
                ('{ "id": "front", "module": "wheels" }',
                 '{ "id": "front", "module": "wheels", "values": [ { "option": '
                 '"wheels:tyre_width", "value": 2.2 } ] }'),
                ('"values": ["bell"]', '"values": ["bell", "horn"]'),
                ('"touring\\"",\n            "values": [\n'
                 '              { "option": "rack:pannier_set", "value": "40l" }\n            ]',
                 '"touring\\""')]:
            self.assertIn(old, expected)
            expected = expected.replace(old, new, 1)
        self.assertEqual(self.read(), expected)
        self.assertFalse(self.product_state()['unsaved'])
        self.assertEqual(sorted(os.listdir(os.path.dirname(self.product))), files)
        # The saved file evaluates as the server shows it.
        evaluated = support.eval_json(self.product)
        self.assertEqual(self.product_state()['summary'], evaluated['summary'])
        status, answer, _ = self.server.post('/api/save')
        self.assertEqual((answer['saved'], answer['written']), (False, 0))

    def test_save_refuses_a_file_changed_on_disk(self):
        self.set('ebike', 'ebike:usage', 'offroad')
        changed = self.read().replace('order 4711', 'order 4712')
        with open(self.product, 'w', encoding='utf-8') as f:
            f.write(changed)
        status, answer, _ = self.server.post('/api/save')
        self.assertEqual((status, answer['error']['code']), (409, 'file_changed'))
        self.assertIn('was changed by another program', answer['error']['message'])
        self.assertEqual(self.read(), changed)
        self.assertTrue(self.product_state()['unsaved'])


    def test_save_waits_for_another_tam_then_gives_up(self):
        # The lock every tam takes on the product, held here as `tam rename --write` holds it.
        self.set('ebike', 'ebike:usage', 'offroad')
        original = self.read()
        folder, name = os.path.split(self.product)
        with open(os.path.join(folder, '.' + name + '.tam-lock'), 'w') as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            status, answer, _ = self.server.post('/api/save')
        self.assertEqual((status, answer['error']['code']), (409, 'file_busy'))
        self.assertIn('is in use by another tam', answer['error']['message'])
        self.assertEqual(self.read(), original)
        self.assertTrue(self.product_state()['unsaved'])
        status, answer, _ = self.server.post('/api/save')
        self.assertEqual((status, answer['saved']), (200, True))
        self.assertNotIn('.' + name + '.tam-lock', os.listdir(folder))


class SavingLayouts(unittest.TestCase):
    """Saving into a product written compactly: several entries on one node, entries on one line,
    a value list, and host values removed down to none."""

    def setUp(self):
        self.product = support.copy_product(support.BASIC)
        self.server = support.Server(self.product)

    def tearDown(self):
        self.server.stop()
        support.remove_product(self.product)

    def test_edits_keep_the_layout_around_them(self):
        with open(self.product, encoding='utf-8') as f:
            original = f.read()
        steps = [
            ('/api/set', {'node': 'bike', 'option': 'bike:speed', 'value': 20, 'how': 'host_forced'}),
            ('/api/clear', {'node': 'bike', 'option': 'bike:style'}),
            ('/api/clear', {'node': 'bike.rear', 'option': 'wheel:width'}),
            ('/api/set', {'node': 'bike.lights.front_light', 'option': 'light:extras',
                          'values': ['usb']}),
            ('/api/set', {'node': 'bike.lights.front_light', 'option': 'light:mode',
                          'value': 'blink'}),
        ]
        for path, body in steps:
            status, answer, _ = self.server.post(path, body)
            self.assertEqual(status, 200, answer)
        status, answer, _ = self.server.post('/api/save')
        self.assertEqual((status, answer['written']), (200, 5), answer)
        expected = original
        for old, new in [
                ('      { "option": "bike:style", "value": "city", "how": "host_firm" },\n', ''),
                ('{ "option": "bike:speed", "value": 32 }',
                 '{ "option": "bike:speed", "value": 20, "how": "host_forced" }'),
                ('"module": "wheel",\n        "values": [ { "option": "wheel:width", "value": 45, '
                 '"how": "host_forced" } ] }', '"module": "wheel" }'),
                ('"values": ["usb", "dynamo"] } ]',
                 '"values": ["usb"] },\n                      { "option": "light:mode", '
                 '"value": "blink" } ]')]:
            self.assertIn(old, expected)
            expected = expected.replace(old, new, 1)
        with open(self.product, encoding='utf-8') as f:
            self.assertEqual(f.read(), expected)


class StartingAndStopping(unittest.TestCase):
    def setUp(self):
        self.product = support.copy_product(support.EBIKE)

    def tearDown(self):
        support.remove_product(self.product)

    def test_signals_stop_the_server(self):
        for sig in (signal.SIGINT, signal.SIGTERM):
            with self.subTest(signal=sig):
                server = support.Server(self.product)
                self.assertEqual(server.heading, 'tam serve: configuring product.json\n')
                status, out, err = server.stop(sig)
                self.assertEqual((status, out, err), (0, 'tam serve: stopped\n', ''))
                with self.assertRaises(OSError):
                    socket.create_connection(('127.0.0.1', server.port), timeout=2).close()

    def test_port_and_host_options(self):
        with socket.socket() as probe:
            probe.bind(('127.0.0.1', 0))
            port = probe.getsockname()[1]
        server = support.Server(self.product, '--port', str(port))
        try:
            self.assertEqual(server.port, port)
            taken = support.subprocess.run([support.TAM, 'serve', self.product, '--port', str(port)],
                                           capture_output=True, text=True,
                                           timeout=support.START_SECONDS)
            self.assertEqual((taken.returncode, taken.stderr),
                             (2, 'tam: error: cannot listen on 127.0.0.1:%d (the address is not '
                                 "this machine's, or the port is taken)\n" % port))
        finally:
            server.stop()
        # Another loopback address is not the default: the server says so, and answers only to it.
        server = support.Server(self.product, '--host', '127.0.0.2')
        try:
            self.assertTrue(server.url.startswith('http://127.0.0.2:'))
            status, answer, _ = server.get('/api/product',
                                           headers={'Host': '127.0.0.1:%d' % server.port})
            self.assertEqual(status, 403)
        finally:
            _, _, err = server.stop()
        self.assertIn('tam serve: warning: listening on 127.0.0.2, not only on this machine', err)

    def test_an_unusable_product_is_reported_as_tam_eval_reports_it(self):
        missing = os.path.join(os.path.dirname(self.product), 'missing.json')
        served = support.subprocess.run([support.TAM, 'serve', missing], capture_output=True,
                                        text=True, timeout=20)
        evaluated = support.subprocess.run([support.TAM, 'eval', missing], capture_output=True,
                                           text=True, timeout=20)
        self.assertEqual((served.returncode, served.stdout, served.stderr),
                         (2, '', evaluated.stderr))

    def test_a_product_that_fails_to_evaluate_can_be_repaired(self):
        with open(self.product, encoding='utf-8') as f:
            text = f.read()
        text = text.replace('{ "option": "rack:pannier_set", "value": "40l" }',
                            '{ "option": "rack:pannier_set", "value": "40l" },\n'
                            '              { "option": "rack:child_seat", "value": "rear" }')
        with open(self.product, 'w', encoding='utf-8') as f:
            f.write(text)
        server = support.Server(self.product)
        try:
            status, answer, _ = server.get('/api/product')
            self.assertEqual((answer['status'], answer['failure']['node']),
                             ('failed', 'ebike.equipment.rack'))
            self.assertEqual({n['state'] for n in answer['nodes']}, {'unknown'})
            # Why answers from the files alone while nothing evaluates: no explanation, no trail.
            for path in ['/api/why?node=ebike.equipment.rack',
                         '/api/why?node=ebike.equipment.rack&option=rack:child_seat']:
                status, why, _ = server.get(path)
                self.assertEqual((status, why['explanation'], why['trail']), (200, None, []))
                self.assertIn('cannot be evaluated', why['summary'])
            status, answer, _ = server.post('/api/clear', {'node': 'ebike.equipment.rack',
                                                           'option': 'rack:child_seat'})
            self.assertEqual((status, answer['status'], answer['failure'], answer['reload']),
                             (200, 'ok', None, True))
            status, answer, _ = server.get('/api/product')
            self.assertEqual(answer['summary']['not_configured'], 1)
            # Once it evaluates, why explains again.
            status, why, _ = server.get('/api/why?node=ebike.equipment.rack&option=rack:child_seat')
            self.assertEqual((why['explanation']['kind'], why['explanation']['node_state']),
                             ('option', answer_state(answer, 'ebike.equipment.rack')))
        finally:
            server.stop()


class Concurrency(EbikeServer):
    def test_concurrent_requests_see_whole_evaluations(self):
        # Touring: the fork is off and the rack on; off-road the other way round. A reader must
        # never see a mix of the two.
        consistent = {('not_configured', 'configured'), ('configured', 'not_configured')}
        problems = []
        rounds = 15

        def writer(usage_values):
            for i in range(rounds):
                status, answer, _ = self.server.post('/api/set', {
                    'node': 'ebike', 'option': 'ebike:usage', 'value': usage_values[i % 2]})
                if status != 200:
                    problems.append(answer)

        def reader():
            for _ in range(rounds):
                status, answer, _ = self.server.get('/api/product')
                states = {n['path']: n['state'] for n in answer['nodes']}
                pair = (states['ebike.frame.fork'], states['ebike.equipment.rack'])
                counted = sum(1 for s in states.values() if s == 'configured')
                if pair not in consistent or counted != answer['summary']['configured']:
                    problems.append((pair, counted, answer['summary']))

        def why_reader():
            # The rack's trail reads the usage and ends in the state that follows from it.
            expected = {'touring': 'configured', 'offroad': 'not_configured'}
            for _ in range(rounds):
                status, answer, _ = self.server.get('/api/why?node=ebike.equipment.rack')
                trail = answer['trail']
                read = [s['values'][0]['value'] for s in trail if s['from'] == 'ebike:usage']
                if status != 200 or expected[read[0]] != trail[-1]['outcome']:
                    problems.append(trail)

        threads = [threading.Thread(target=writer, args=(['offroad', 'touring'],)),
                   threading.Thread(target=writer, args=(['touring', 'offroad'],)),
                   threading.Thread(target=reader), threading.Thread(target=reader),
                   threading.Thread(target=why_reader)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        self.assertEqual(problems, [])
        self.assertEqual(self.product_state()['revision'] <= 2 * rounds, True)


if __name__ == '__main__':
    unittest.main()
