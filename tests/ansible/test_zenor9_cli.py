"""The modules' reading of zenor9's JSON where the fleet walk does not go:
the values as zenor9 is given them and what it refuses, reports refused,
registers left in doubt or lost with the port, and a line where nothing
answered."""
import os
import subprocess
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', '..', 'ansible'))

# pylint: disable=wrong-import-position
from ansible_collections.zenor9.line.plugins.module_utils import zenor9_cli as cli  # noqa: E402

PORT = 'rfc2217://127.0.0.1:4001'


@pytest.mark.parametrize('convert,given,expected', [
    (cli.prefix_value, 25, '25'), (cli.prefix_value, ' OFF ', 'OFF'),
    (cli.prefix_value, False, 'off'),
    (cli.net_arguments, 'ALL', ['--all']), (cli.net_arguments, ' 07', ['--net=07']),
    (cli.net_arguments, [12, '3'], ['--net=12,3']), (cli.net_arguments, '-1', ['--net=-1']),
    (cli.net_arguments, [], None), (cli.net_arguments, ' ', None),
])
def test_option_values(convert, given, expected):
    if expected is None:
        with pytest.raises(ValueError):
            convert(given)
    else:
        assert convert(given) == expected


# zenor9 judges the values: what it refuses fails the task with its usage
# message, and nothing is opened.
@pytest.mark.parametrize('net,prefix,words', [
    ([3, 3], 25, '3'), (100, 25, '100'), ('-1', 25, '-1'), (True, 25, 'True'),
    (3, True, 'True'), (3, 19, '19'), (3, None, 'None'),
])
def test_values_zenor9_refuses(net, prefix, words):
    command = cli.base_command(os.environ['ZENOR9'], '/nonexistent/zenor9-ansible-unit', net, None)
    run = subprocess.run(command + ['write', cli.prefix_value(prefix), '--check'],
                         capture_output=True, text=True, check=False)
    assert run.returncode == 2
    result, failure = cli.prefix_result(cli.parse_report(run.returncode, run.stdout, run.stderr),
                                        check_mode=True)
    assert (result['error'], result['changed']) == ('usage', False)
    assert failure.startswith('usage: ') and words in failure


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


def report(*entries):
    return {'schema': 1, 'ok': False, 'port': PORT, 'registers': list(entries)}


WRITTEN = {'net': 3, 'ok': True, 'version': 105, 'before': '23', 'asked': '25', 'holds': '25',
           'changed': True, 'written': True}


@pytest.mark.parametrize('failed,words,after', [
    ({'holds': None, 'changed': True, 'written': True, 'error': 'command-failed'},
     'register 9: command-failed, holds unreadable', '?'),
    ({'holds': '27', 'changed': True, 'written': True, 'error': 'command-failed'},
     'register 9: command-failed, holds 27', '27'),
    ({'error': 'port-lost', 'message': 'связь потеряна'}, 'register 9: port-lost (связь потеряна)',
     '23'),
])
def test_register_in_doubt_fails_the_task_but_keeps_changed(failed, words, after):
    entry = dict({'net': 9, 'ok': False, 'before': '23', 'asked': '25'}, **failed)
    result, failure = cli.prefix_result(report(WRITTEN, entry), check_mode=False)
    assert failure == words and result['changed'] is True
    assert result['diff']['after'] == 'register 3: 25\nregister 9: %s\n' % after


def test_line_where_nothing_answered():
    line = dict(report(), error='no-link', message='Нет связи с ККМ')
    for result, failure in (cli.prefix_result(line, True), cli.line_info_result(line)):
        assert failure == PORT + ': no-link: Нет связи с ККМ'
        assert (result['changed'], result['registers'], result['error']) == (False, [], 'no-link')


def test_line_info_names_an_address_that_answered_wrongly():
    good = {'net': 3, 'ok': True, 'version': 105, 'prefix': 'off'}
    stray = {'net': 40, 'ok': False, 'other': 90, 'error': 'stray-byte', 'message': 'байт 5A'}
    info, failure = cli.line_info_result(report(good, stray))
    assert [(one['net'], one['firmware'], one['prefix']) for one in info['registers']] == \
        [(3, '1.0.5', 'off'), (40, None, None)]
    assert info['ansible_facts']['zenor9_line']['registers'] == info['registers']
    assert failure == 'register 40: stray-byte (байт 5A)'
