#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: (c) 2026, zenor9-prefix developers
# MIT License (see LICENSE in the zenor9-prefix sources)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: zenor9_line_info
short_description: Lists every ZENOR-9 register of a line with its firmware and prefix
version_added: 1.0.0
description:
  - Reads the prefix of every register on one ZENOR-9 register line, or of
    the registers named, with C(zenor9 --json ... read) (a scan of the line
    with C(net=all)). Writes nothing.
  - Returns the registers, and sets them as the fact C(zenor9_line), for a
    playbook to assert on or to template into a report.
  - A register that does not answer, or answers wrongly, fails the task; the
    registers that did answer are returned all the same.
  - Messages from zenor9 come in the language of the task's environment,
    Russian unless the locale is English.
options:
  port:
    description:
      - The line's port, as zenor9 takes it.
      - A device, C(COM1) to C(COM255) through the COM map of the machine
        running zenor9, or C(rfc2217://HOST:PORT).
    type: str
    required: true
  net:
    description:
      - C(all) for every register a scan of the line finds, or the net
        numbers (0 to 99) to read, one or a list.
    type: raw
    default: all
  retries:
    description:
      - How often each exchange is tried again after it failed (zenor9
        C(--retries)); zenor9's default (3) when not given.
    type: int
  executable:
    description:
      - The zenor9 program to run; the one on the C(PATH) when not given.
    type: path
attributes:
  check_mode:
    support: full
    description: It only reads, in check mode as otherwise.
  diff_mode:
    support: none
  facts:
    support: full
notes:
  - Needs zenor9 1.0.0 or later with JSON schema 1.
seealso:
  - module: zenor9.line.zenor9_prefix
author:
  - zenor9-prefix developers
'''

EXAMPLES = r'''
- name: Read the shop's line
  zenor9.line.zenor9_line_info:
    port: rfc2217://shop-12-nport:4001
  delegate_to: localhost
  register: line

- name: Every register holds 25
  vars:
    others: "{{ line.registers | rejectattr('prefix', 'equalto', '25') | map(attribute='net') }}"
  ansible.builtin.assert:
    that: others | length == 0
    fail_msg: "registers {{ others | join(', ') }} hold another prefix"
'''

RETURN = r'''
port:
  description: The port as zenor9 named it.
  returned: always
  type: str
  sample: rfc2217://shop-12-nport:4001
registers:
  description: Each register found or named, in net-number order.
  returned: when zenor9 ran
  type: list
  elements: dict
  contains:
    net:
      description: The net number.
      type: int
      sample: 7
    firmware:
      description: The firmware it reported; null when it did not answer identify.
      type: str
      sample: 1.0.5
    prefix:
      description: The prefix it holds, C(20)..C(29) or C(off); null when it could not be read.
      type: str
      sample: "23"
    ok:
      description: It was read.
      type: bool
    error:
      description: >-
        zenor9's error key for it (C(no-link), C(stray-byte), C(bad-reply)...), null when ok.
      type: str
    message:
      description: zenor9's message for it, in the task's language.
      type: str
ansible_facts:
  description: The same, as facts.
  returned: when zenor9 ran
  type: complex
  contains:
    zenor9_line:
      description: C(port) and C(registers) as above.
      type: dict
error:
  description: >-
    The error key when the line itself failed (C(port-unavailable), C(no-link)
    when no register answered).
  returned: on a failed line
  type: str
reason:
  description: Why the port did not open (C(unreachable), C(missing), C(busy)...).
  returned: when the port did not open
  type: str
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.zenor9.line.plugins.module_utils.zenor9_cli import (
    Zenor9Failure, base_command, line_info_result, run_zenor9)


def main():
    """Reads every register of the line into its result and facts."""
    module = AnsibleModule(
        argument_spec=dict(
            port=dict(type='str', required=True),
            net=dict(type='raw', default='all'),
            retries=dict(type='int'),
            executable=dict(type='path'),
        ),
        supports_check_mode=True,
    )
    params = module.params
    executable = params['executable'] or module.get_bin_path('zenor9', required=True)
    try:
        command = base_command(executable, params['port'], params['net'], params['retries'])
    except ValueError as error:
        module.fail_json(msg=str(error))
    try:
        result, failure = line_info_result(run_zenor9(module, command + ['read']))
    except Zenor9Failure as failure:
        module.fail_json(msg=failure.msg, **failure.facts)
    if failure:
        module.fail_json(msg=failure, **result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
