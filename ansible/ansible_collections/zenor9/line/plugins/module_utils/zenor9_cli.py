# -*- coding: utf-8 -*-
# Copyright: (c) 2026, zenor9-prefix developers
# MIT License (see LICENSE in the zenor9-prefix sources)
"""Runs zenor9 --json for the modules and turns its report into their results.

The modules never speak to a register themselves: every exchange, retry,
read-back and journal line is zenor9's. What is decided here is made from the
report's keys (``ok``, ``changed``, ``error``, ``reason``, ``holds``), never
from its texts, which are in the user's language.
"""

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json

# The version of zenor9's JSON these modules read. zenor9 raises it whenever a
# key or an error key changes meaning, so that an unknown version is refused
# rather than misread.
KNOWN_SCHEMA = 1

# The options that name the line and its registers (doc fragment zenor9.line.line).
LINE_OPTIONS = dict(
    port=dict(type='str', required=True),
    net=dict(type='raw', default='all'),
    retries=dict(type='int'),
    executable=dict(type='path'),
)


class Zenor9Failure(Exception):
    """A run whose report says the task failed: the message and what to return."""

    def __init__(self, msg, **facts):
        super(Zenor9Failure, self).__init__(msg)
        self.msg = msg
        self.facts = facts


def prefix_value(value):
    """The prefix as zenor9 takes it, which zenor9 checks (20 to 29 or off).

    YAML reads a bare ``off`` as false, so false means off.
    """
    return 'off' if value is False else str(value).strip()


def net_arguments(net):
    """The zenor9 options that name the registers: --all, or --net=N[,N...].

    zenor9 checks the net numbers (0 to 99, none twice); written with = so
    that a value never passes for an option of its own.
    """
    if isinstance(net, str) and net.strip().lower() == 'all':
        return ['--all']
    if isinstance(net, (list, tuple)):
        net = ','.join(str(value).strip() for value in net)
    net = str(net).strip()
    if not net:
        raise ValueError('net names no register')
    return ['--net=' + net]


def base_command(executable, port, net, retries):
    """zenor9's argument list up to the command: the line and its registers."""
    command = [executable, '--json', '--port', port] + net_arguments(net)
    if retries is not None:
        command += ['--retries', str(retries)]
    return command


def parse_report(rc, stdout, stderr):
    """zenor9's JSON report, refused when it is missing or of another schema."""
    try:
        report = json.loads(stdout)
    except ValueError:
        report = None
    if not isinstance(report, dict):
        raise Zenor9Failure('zenor9 gave no JSON report (exit code %s): %s'
                            % (rc, (stderr or stdout or '').strip()), rc=rc)
    schema = report.get('schema')
    if schema != KNOWN_SCHEMA:
        raise Zenor9Failure('zenor9 reports JSON schema %s; this collection reads schema %d: '
                            'install the zenor9 this collection came with'
                            % ('none' if schema is None else schema, KNOWN_SCHEMA),
                            rc=rc, schema=schema)
    return report


def register_entries(report):
    """Each register's entry: a list or --all reports a list, one --net N the report itself."""
    if 'registers' in report:
        return list(report['registers'])
    if 'net' in report:
        return [report]
    return []


def firmware(version_code):
    """105 -> '1.0.5', as zenor9 words it."""
    if not isinstance(version_code, int) or isinstance(version_code, bool):
        return None
    if not 0 <= version_code <= 9999:
        return str(version_code)
    return '%d.%d.%d' % (version_code // 100, version_code // 10 % 10, version_code % 10)


def _shown(value):
    return '?' if value is None else value


def _register_failure(entry):
    words = 'register %s: %s' % (entry.get('net'), entry.get('error') or 'failed')
    if 'holds' in entry:
        words += ', holds %s' % ('unreadable' if entry['holds'] is None else entry['holds'])
    if entry.get('message'):
        words += ' (%s)' % entry['message']
    return words


def _line_failure(report):
    words = report.get('error') or 'failed'
    if report.get('port'):
        words = '%s: %s' % (report['port'], words)
    if report.get('reason'):
        words += ' (%s)' % report['reason']
    said = [report[key] for key in ('message', 'detail') if report.get(key)]
    if said:
        words += ': ' + ': '.join(said)
    return words


def _failure(report, entries):
    """The task's failure message, or None when every register is fine."""
    failed = [entry for entry in entries if not entry.get('ok')]
    if failed:
        return '; '.join(_register_failure(entry) for entry in failed)
    if not report.get('ok'):
        return _line_failure(report)
    return None


def _line_keys(report):
    return dict((key, report[key]) for key in ('error', 'reason') if report.get(key))


def _after(entry, check_mode):
    if check_mode:
        return entry.get('asked') if entry.get('changed') else entry.get('before')
    if 'holds' in entry:
        return entry['holds']
    return entry.get('before')


def _prefix_register(entry, check_mode):
    return {
        'net': entry.get('net'),
        'firmware': firmware(entry.get('version')),
        'before': entry.get('before'),
        'after': _after(entry, check_mode),
        'changed': bool(entry.get('changed')),
        'written': bool(entry.get('written')),
        'ok': bool(entry.get('ok')),
        'error': entry.get('error'),
        'message': entry.get('message'),
        'retries': entry.get('retries', 0),
    }


def _diff(port, registers):
    def text(key):
        return ''.join('register %s: %s\n' % (one['net'], _shown(one[key])) for one in registers)
    return {'before_header': '%s (before)' % port, 'after_header': '%s (after)' % port,
            'before': text('before'), 'after': text('after')}


def prefix_result(report, check_mode, diff=True):
    """The result of a write VALUE --if-different (or --check) report.

    Returns (result, failure): failure is None, or the message to fail the
    task with; result keeps `changed` either way, since a register that was
    written before another failed did change.
    """
    entries = register_entries(report)
    registers = [_prefix_register(entry, check_mode) for entry in entries]
    result = dict(_line_keys(report), changed=any(one['changed'] for one in registers),
                  port=report.get('port'), registers=registers, summary=report.get('summary'))
    if diff:
        result['diff'] = _diff(report.get('port'), registers)
    return result, _failure(report, entries)


def line_info_result(report):
    """The result of a --all read report: every register with its prefix, as facts."""
    entries = register_entries(report)
    registers = [{
        'net': entry.get('net'),
        'firmware': firmware(entry.get('version')),
        'prefix': entry.get('prefix'),
        'ok': bool(entry.get('ok')),
        'error': entry.get('error'),
        'message': entry.get('message'),
    } for entry in entries]
    line = {'port': report.get('port'), 'registers': registers}
    result = dict(_line_keys(report), changed=False, ansible_facts={'zenor9_line': line}, **line)
    return result, _failure(report, entries)


def line_command(module):
    """zenor9 with the line's options; the task fails on a net zenor9 would
    refuse, before anything runs."""
    params = module.params
    executable = params['executable'] or module.get_bin_path('zenor9', required=True)
    try:
        command = base_command(executable, params['port'], params['net'], params['retries'])
    except ValueError as error:
        module.fail_json(msg=str(error))
    return command


def finish(module, command, result_of):
    """Runs zenor9 with the environment the module was given (its language
    included) and ends the module with result_of(its report)."""
    rc, stdout, stderr = module.run_command(command)
    try:
        report = parse_report(rc, stdout, stderr)
    except Zenor9Failure as failure:
        module.fail_json(msg=failure.msg, **failure.facts)
    if report.get('warning'):
        module.warn(report['warning'])
    result, failure = result_of(report)
    if failure:
        module.fail_json(msg=failure, **result)
    module.exit_json(**result)
