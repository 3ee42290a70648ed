#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: (c) 2026, zenor9-prefix developers
# MIT License (see LICENSE in the zenor9-prefix sources)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: zenor9_prefix
short_description: Sets the barcode prefix of ZENOR-9 registers on one line
version_added: 1.0.0
description:
  - Makes the registers of one ZENOR-9 register line hold a prefix of the
    local barcode for weighed goods (20 to 29), or none (C(off)).
  - Runs C(zenor9 --json ... write PREFIX --if-different) once for the line.
    Every register is read first; only those holding something else are
    written, then read back.
  - The task is C(changed) only when a register now holds something other
    than it held before. A second run with the same prefix changes nothing
    and adds nothing to the journal.
  - A register that could not be written, that holds something other than
    what was written (it acknowledged the write and kept another value), or
    that answers wrongly fails the task, which names it and what it holds.
    Such a task still reports C(changed) when another register did change.
  - Every write lands in the journal of the machine that runs zenor9, with
    C(label) and C(note).
  - "The module speaks no protocol itself; zenor9 must be installed where the
    task runs (for lines behind device servers, on the controller with
    C(delegate_to: localhost))."
extends_documentation_fragment:
  - zenor9.line.line
options:
  prefix:
    description:
      - C(20) to C(29), as a string or a number, or C(off) for no prefix.
      - A bare C(off) in YAML is false, which is taken as C(off) too.
    type: raw
    required: true
  label:
    description:
      - A name for the shop or the line, kept with each journal record of
        this task's writes (C(--label)); C(zenor9 journal --label) lists
        them. The inventory host name is a good one.
    type: str
  note:
    description:
      - A note kept with each journal record of this task's writes
        (C(--note)), such as a ticket number.
    type: str
attributes:
  check_mode:
    support: full
    description: >-
      Reads every register and says what would change; writes nothing and adds
      nothing to the journal.
  diff_mode:
    support: full
    description: Each register's prefix before and after, one line per register.
seealso:
  - module: zenor9.line.zenor9_line_info
author:
  - zenor9-prefix developers
'''

EXAMPLES = r'''
- name: Every register of a shop's line behind a device server holds 25
  zenor9.line.zenor9_prefix:
    port: rfc2217://shop-12-nport:4001
    net: all
    prefix: 25
    label: "{{ inventory_hostname }}"
    note: CHG-4711
  delegate_to: localhost

- name: Two registers on the back-office PC's adapter use no prefix
  zenor9.line.zenor9_prefix:
    port: /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0
    net: [3, 7]
    prefix: "off"
    retries: 5
    label: "{{ inventory_hostname }}"
  become: true
'''

RETURN = r'''
port:
  description: The port as zenor9 named it.
  returned: always
  type: str
  sample: rfc2217://shop-12-nport:4001
registers:
  description: Each register of the run, in net-number order.
  returned: when zenor9 ran
  type: list
  elements: dict
  contains:
    net:
      description: The register's net number.
      type: int
      sample: 7
    firmware:
      description: The firmware the register reported, or null when it did not answer.
      type: str
      sample: 1.0.5
    before:
      description: The prefix it held before (C(20)..C(29), C(off)); null when it could not be read.
      type: str
      sample: "23"
    after:
      description: >-
        The prefix it holds now (as read back, or as read before when it was
        not written); in check mode what it would hold; null when it could not be read.
      type: str
      sample: "25"
    changed:
      description: >-
        It now holds something other than before (in check mode, a real run
        would write it).
      type: bool
    written:
      description: A write was sent to it.
      type: bool
    ok:
      description: It was read, and written where needed, and holds what was asked.
      type: bool
    error:
      description: >-
        zenor9's error key for this register (C(no-link), C(verify-mismatch),
        C(command-failed), C(bad-reply), C(port-lost), C(not-reached)...), null when ok.
      type: str
      sample: verify-mismatch
    message:
      description: zenor9's message for it, in the task's language.
      type: str
    retries:
      description: How many of its exchanges were tried again.
      type: int
summary:
  description: zenor9's count of the run's registers.
  returned: when zenor9 ran
  type: dict
  sample: {"registers": 3, "changed": 2, "unchanged": 1, "failed": 0}
error:
  description: >-
    The error key when the line itself failed (C(port-unavailable), C(no-link)
    when no register answered).
  returned: on a failed line
  type: str
  sample: port-unavailable
reason:
  description: Why the port did not open (C(unreachable), C(missing), C(busy), C(device-error)...).
  returned: when the port did not open
  type: str
  sample: unreachable
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.zenor9.line.plugins.module_utils.zenor9_cli import (
    LINE_OPTIONS, finish, line_command, prefix_result, prefix_value)


def write_arguments(module):
    """A write of the registers that differ, or in check mode a read that
    says which would be written."""
    params = module.params
    arguments = ['write', prefix_value(params['prefix'])]
    if module.check_mode:
        return arguments + ['--check']
    arguments.append('--if-different')
    for option in ('label', 'note'):
        if params[option]:
            arguments += ['--' + option, params[option]]
    return arguments


def main():
    """Sets the prefix on the line, reporting each register's before and after."""
    module = AnsibleModule(
        argument_spec=dict(
            LINE_OPTIONS,
            prefix=dict(type='raw', required=True),
            label=dict(type='str'),
            note=dict(type='str'),
        ),
        supports_check_mode=True,
    )
    finish(module, line_command(module) + write_arguments(module),
           lambda report: prefix_result(report, module.check_mode, module._diff))


if __name__ == '__main__':
    main()
