"""A chain's fleet in one walk: three virtual lines (one on a pseudo-terminal,
two behind ser2net on 127.0.0.1) audited, set to 25 in check mode, for real,
and again, then a register that keeps nothing and a server that is gone."""
import csv
import os

import pytest

from ansible_run import Controller, zenor9_binary
from virtual_lines import Line

# name: (nets, the sim's prefixes, remote, the inventory's net). The scan that
# `all` makes is left to the local line: a scan's 10 ms waits are the most
# timing-sensitive step, and a remote one adds two more processes' scheduling.
SHOPS = {
    'shop-pty': ('3,7,12', '3=23,7=27,12=off', False, 'all'),
    'shop-a': ('5', '25', True, [5]),
    'shop-b': ('1,2', '1=21,2=29', True, [1, 2]),
}
HELD = {'shop-pty': {3: '23', 7: '27', 12: 'off'}, 'shop-a': {5: '25'},
        'shop-b': {1: '21', 2: '29'}}


@pytest.fixture(scope='module')
def fleet(tmp_path_factory):
    folder = tmp_path_factory.mktemp('fleet')
    lines = {}
    try:
        for name, (nets, prefix, remote, _) in SHOPS.items():
            lines[name] = Line(name, nets, prefix, remote=remote).start(
                zenor9_binary(), str(folder))
        lines['shop-faulty'] = Line('shop-faulty', '9', '22', faults='ignore-writes').start(
            zenor9_binary(), str(folder))
        controller = Controller(folder)

        def host(name, net='all'):
            variables = {'zenor9_port': lines[name].port, 'zenor9_net': net}
            if lines[name].remote:
                variables['zenor9_run_on'] = 'localhost'
            return variables
        controller.inventory({
            'shops': {name: host(name, shop[3]) for name, shop in SHOPS.items()},
            'faulty': {'shop-faulty': host('shop-faulty', [9])}})
        yield controller, lines
    finally:
        for line in lines.values():
            line.stop()


def holds(controller, line):
    report = controller.zenor9('--port', line.port, '--net', line.nets, 'read')
    return {entry['net']: entry.get('prefix') for entry in report.get('registers', [report])}


def counts(recap, key):
    return {host: numbers[key] for host, numbers in recap.items() if host != 'localhost'}


def test_fleet_walk(fleet):
    controller, lines = fleet
    # One line at a time: the playbooks' Python starting for several hosts at
    # once would compete with the scan for this machine's cores.
    shops = ['-e', 'zenor9_hosts=shops', '-f', '1']

    # 1. The audit lists every register with its firmware and prefix.
    report = os.path.join(controller.folder, 'audit.csv')
    code, out, recap = controller.play('audit', '-e', 'zenor9_report=' + report, *shops)
    assert code == 0, out
    assert counts(recap, 'ignored') == {name: 0 for name in SHOPS}, out
    with open(report, encoding='utf-8') as rows:
        audit = list(csv.DictReader(rows))
    assert {(row['line'], int(row['net']), row['prefix'], row['firmware']) for row in audit} == \
        {(name, net, prefix, '1.0.5')
         for name, held in HELD.items() for net, prefix in held.items()}
    assert len(audit) == 6

    # 2. Check mode with diff: each register's before and after; nothing written.
    code, out, recap = controller.play('set_prefix', '-e', 'prefix=25', '--check', '--diff', *shops)
    assert code == 0, out
    assert counts(recap, 'changed') == {'shop-pty': 1, 'shop-a': 0, 'shop-b': 1}, out
    for held in HELD.values():
        for net, before in held.items():
            if before != '25':
                assert '-register %d: %s\n' % (net, before) in out, out
                assert '+register %d: 25\n' % net in out, out
    assert '-register 5:' not in out
    assert {name: lines[name].write_frames() for name in SHOPS} == {name: 0 for name in SHOPS}
    assert {name: holds(controller, lines[name]) for name in SHOPS} == HELD
    assert controller.journal_records() == []

    # 3. The real run: every register holds 25, written only where it differed.
    code, out, recap = controller.play('set_prefix', '-e', 'prefix=25', '-e', 'note=CHG-30', *shops)
    assert code == 0, out
    assert counts(recap, 'changed') == {'shop-pty': 1, 'shop-a': 0, 'shop-b': 1}, out
    assert {name: set(holds(controller, lines[name]).values()) for name in SHOPS} == \
        {name: {'25'} for name in SHOPS}
    frames = {name: lines[name].write_frames() for name in SHOPS}
    assert frames['shop-a'] == 0 and frames['shop-pty'] > 0 and frames['shop-b'] > 0
    written = {(record['label'], record['net'], record['before'], record['holds'], record['note'])
               for record in controller.journal_records() if record['ok']}
    assert written == {(name, net, before, '25', 'CHG-30') for name, held in HELD.items()
                       for net, before in held.items() if before != '25'}

    # 4. The same again changes nothing, writes nothing, journals nothing.
    journalled = len(controller.journal_records())
    code, out, recap = controller.play('set_prefix', '-e', 'prefix=25', *shops)
    assert code == 0, out
    assert counts(recap, 'changed') == {name: 0 for name in SHOPS}, out
    assert {name: lines[name].write_frames() for name in SHOPS} == frames
    assert len(controller.journal_records()) == journalled

    # 5 and 6. A register that keeps nothing, and a server that is gone: both
    # tasks fail, saying why, while the other lines complete.
    lines['shop-b'].stop_server()
    code, out, recap = controller.play('set_prefix', '-e', 'prefix=25', '-f', '1')
    assert code == 2, out
    assert counts(recap, 'failed') == {'shop-pty': 0, 'shop-a': 0, 'shop-b': 1, 'shop-faulty': 1}
    assert counts(recap, 'ok') == {'shop-pty': 1, 'shop-a': 1, 'shop-b': 0, 'shop-faulty': 0}
    assert 'register 9: verify-mismatch, holds 22' in out
    gone = ': port-unavailable (unreachable): Удалённая линия недоступна'
    assert lines['shop-b'].port + gone in out
    # The lost server's run reached no register; the faulty one's write failed.
    faulty = [record for record in controller.journal_records()[journalled:]
              if record['net'] is not None]
    assert [(record['label'], record['net'], record['ok'], record['error']) for record in faulty] \
        == [('shop-faulty', 9, False, 'verify-mismatch')]

    # The audit reports the line it could not read beside the others, then fails.
    code, out, recap = controller.play('audit', '-e', 'zenor9_report=' + report, '-f', '1')
    assert (code, recap['shop-b']['ignored'], recap['localhost']['failed']) == (2, 1, 1), out
    with open(report, encoding='utf-8') as rows:
        audit = [(row['line'], row['prefix'] or row['error']) for row in csv.DictReader(rows)]
    assert sorted(audit) == [('shop-a', '25'), ('shop-b', 'port-unavailable (unreachable)'),
                             ('shop-faulty', '22')] + [('shop-pty', '25')] * 3
