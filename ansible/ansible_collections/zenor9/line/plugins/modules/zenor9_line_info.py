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
extends_documentation_fragment:
  - zenor9.line.line
attributes:
  check_mode:
    support: full
    description: It only reads, in check mode as otherwise.
  diff_mode:
    support: none
  facts:
    support: full
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
    LINE_OPTIONS, finish, line_command, line_info_result)


def main():
    """Reads every register of the line into its result and facts."""
    module = AnsibleModule(argument_spec=LINE_OPTIONS, supports_check_mode=True)
    finish(module, line_command(module) + ['read'], line_info_result)


if __name__ == '__main__':
    main()
