# -*- coding: utf-8 -*-
# Copyright: (c) 2026, zenor9-prefix developers
# MIT License (see LICENSE in the zenor9-prefix sources)

from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):  # pylint: disable=too-few-public-methods
    """The options that name a line and its registers, as both modules take them."""

    DOCUMENTATION = r'''
options:
  port:
    description:
      - The line's port, as zenor9 takes it.
      - A device (C(/dev/ttyUSB0), C(/dev/serial/by-id/...)), C(COM1) to
        C(COM255) through the COM map of the machine running zenor9, or a
        line behind a serial device server, C(rfc2217://HOST:PORT).
    type: str
    required: true
  net:
    description:
      - The registers, by net number (0 to 99).
      - One number, a list of them, or C(all) for every register a scan of
        the line finds. A list is addressed directly, without a scan, and
        reports a missing register as failed; C(all) finds every register,
        at the cost of a scan of the line (about a second).
    type: raw
    default: all
  retries:
    description:
      - How often each exchange with a register is tried again after it
        failed (zenor9 C(--retries)); zenor9's default (3) when not given.
    type: int
  executable:
    description:
      - The zenor9 program to run; the one on the C(PATH) when not given.
    type: path
notes:
  - "Messages from zenor9 come in the language of the task's environment,
    Russian unless the locale is English (C(environment: {LANG: en_US.UTF-8}))."
  - Needs zenor9 1.0.0 or later with JSON schema 1; the module fails on a
    zenor9 whose JSON it does not know, before anything is written.
'''
