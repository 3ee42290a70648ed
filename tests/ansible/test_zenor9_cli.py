"""The collection's reading of zenor9's JSON: the arguments it builds, the
reports it refuses, and how registers' entries become changed, diff and
failure."""
import os
import sys
from types import SimpleNamespace

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', '..', 'ansible'))

# pylint: disable=wrong-import-position
from ansible_collections.zenor9.line.plugins.module_utils import zenor9_cli as cli  # noqa: E402
from ansible_collections.zenor9.line.plugins.modules import zenor9_prefix  # noqa: E402

PORT = 'rfc2217://127.0.0.1:4001'


@pytest.mark.parametrize('given,expected', [
    (25, '25'), ('20', '20'), (' 29 ', '29'), ('OFF', 'off'), (False, 'off'),
    (True, None), (19, None), ('30', None), ('2 5', None), (None, None), ('выкл', None),
])
def test_prefix_values(given, expected):
    if expected is None:
        with pytest.raises(ValueError):
            cli.prefix_value(given)
    else:
        assert cli.prefix_value(given) == expected


@pytest.mark.parametrize('given,expected', [
    ('all', ['--all']), ('ALL', ['--all']), (7, ['--net', '7']), ('07', ['--net', '7']),
    ([12, '3', 7], ['--net', '12,3,7']), ('3,7', ['--net', '3,7']), (0, ['--net', '0']),
    ([3, 3], None), (100, None), (-1, None), (True, None), ([], None), ('x', None), (None, None),
])
def test_net_arguments(given, expected):
    if expected is None:
        with pytest.raises(ValueError):
            cli.net_arguments(given)
    else:
        assert cli.net_arguments(given) == expected


@pytest.mark.parametrize('stdout,words', [
    ('', 'no JSON report (exit code 3): Выбранный COM-порт недоступен'),
    ('[1]', 'no JSON report'),
    ('{"ok": true, "registers": []}', 'schema none'),
    ('{"schema": 2, "ok": true}', 'schema 2'),
])
def test_reports_refused(stdout, words):
    with pytest.raises(cli.Zenor9Failure) as refused:
        cli.parse_report(3, stdout, 'Выбранный COM-порт недоступен\n')
    assert words in refused.value.msg


def entry(net, **keys):
    return dict({'net': net, 'ok': True, 'version': 105, 'retries': 0}, **keys)


def report(*entries, **top):
    return dict({'schema': 1, 'ok': all(one['ok'] for one in entries), 'port': PORT,
                 'registers': list(entries)}, **top)


UNTOUCHED = entry(7, before='25', asked='25', changed=False, written=False)
WRITTEN = entry(3, before='23', asked='25', holds='25', verified=True, changed=True, written=True)


def test_write_changes_only_what_it_wrote():
    result, failure = cli.prefix_result(report(WRITTEN, UNTOUCHED), check_mode=False)
    assert failure is None and result['changed'] is True
    assert [(one['net'], one['before'], one['after']) for one in result['registers']] == \
        [(3, '23', '25'), (7, '25', '25')]
    assert result['diff']['before'] == 'register 3: 23\nregister 7: 25\n'
    assert result['diff']['after'] == 'register 3: 25\nregister 7: 25\n'
    result, failure = cli.prefix_result(report(UNTOUCHED), check_mode=False)
    assert failure is None and result['changed'] is False


def test_check_mode_shows_what_would_be_written():
    would = entry(3, before='off', asked='25', changed=True, written=False)
    result, failure = cli.prefix_result(report(would, UNTOUCHED, check=True), check_mode=True)
    assert failure is None and result['changed'] is True
    assert result['diff']['after'] == 'register 3: 25\nregister 7: 25\n'
    assert not any(one['written'] for one in result['registers'])


@pytest.mark.parametrize('bad,words', [
    (entry(9, ok=False, before='22', asked='25', holds='22', changed=False, written=True,
           error='verify-mismatch', message='записано 25, в ККМ 22'),
     'register 9: verify-mismatch, holds 22 (записано 25, в ККМ 22)'),
    (entry(9, ok=False, before='23', asked='25', holds=None, changed=True, written=True,
           error='command-failed', message='Не удается установить интерфейс с ККМ'),
     'register 9: command-failed, holds unreadable'),
    (entry(9, ok=False, version=None, asked='25', changed=False, written=False,
           error='port-lost', message='соединение потеряно'),
     'register 9: port-lost (соединение потеряно)'),
])
def test_failed_register_fails_task_but_keeps_changed(bad, words):
    result, failure = cli.prefix_result(report(WRITTEN, bad), check_mode=False)
    assert words in failure and 'register 3' not in failure
    assert result['changed'] is True
    failed = result['registers'][1]
    assert failed['ok'] is False and failed['after'] == bad.get('holds')
    assert ('register 9: %s' % ('?' if failed['after'] is None else failed['after'])) \
        in result['diff']['after']


def test_single_net_report_is_one_register():
    flat = dict(WRITTEN, schema=1, port=PORT, changed=True)
    result, failure = cli.prefix_result(flat, check_mode=False)
    assert failure is None and [one['net'] for one in result['registers']] == [3]


@pytest.mark.parametrize('line,words', [
    ({'ok': False, 'reason': 'unreachable', 'detail': 'в соединении отказано',
      'error': 'port-unavailable', 'message': 'Выбранный COM-порт недоступен'},
     PORT + ': port-unavailable (unreachable): Выбранный COM-порт недоступен: '
     'в соединении отказано'),
    ({'ok': False, 'registers': [], 'error': 'no-link', 'message': 'Нет связи с ККМ'},
     PORT + ': no-link: Нет связи с ККМ'),
])
def test_line_failure(line, words):
    result, failure = cli.prefix_result(dict(line, schema=1, port=PORT), check_mode=False)
    assert failure == words
    assert result['changed'] is False and result['error'] == line['error']
    info, failure = cli.line_info_result(dict(line, schema=1, port=PORT))
    assert failure == words and info['registers'] == []


def test_line_info_as_facts():
    stray = {'net': 40, 'ok': False, 'other': 90, 'error': 'stray-byte', 'message': 'байт 5A'}
    info, failure = cli.line_info_result(
        report(entry(3, prefix='23'), entry(7, prefix='off'), stray))
    assert [(one['net'], one['firmware'], one['prefix']) for one in info['registers']] == \
        [(3, '1.0.5', '23'), (7, '1.0.5', 'off'), (40, None, None)]
    assert info['ansible_facts']['zenor9_line']['registers'] == info['registers']
    assert failure == 'register 40: stray-byte (байт 5A)' and info['changed'] is False


@pytest.mark.parametrize('check_mode,tail', [
    (False, ['write', 'off', '--if-different', '--label', 'shop-12', '--note', 'CHG-1']),
    (True, ['write', 'off', '--check']),
])
def test_write_command(check_mode, tail):
    module = SimpleNamespace(check_mode=check_mode, params={
        'port': PORT, 'net': [3, 7], 'retries': 0, 'prefix': False,
        'label': 'shop-12', 'note': 'CHG-1'})
    assert zenor9_prefix.write_command(module, '/usr/bin/zenor9') == \
        ['/usr/bin/zenor9', '--json', '--port', PORT, '--net', '3,7', '--retries', '0'] + tail
