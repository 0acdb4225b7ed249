#!/usr/bin/python
# MIT licence (see the repository's LICENSE).
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: info
short_description: Read a QV31 gateway's keys and acquisition table
version_added: "1.0.0"
description:
  - Runs C(qv31ctl --json info) on the control node and returns every key and the table rows
    that are not empty, also as the fact C(qv31).
  - Only reads; safe in check mode.
author:
  - QV31 configurator developers
notes:
  - Runs on the control node; use C(connection=local) or C(delegate_to=localhost).
extends_documentation_fragment:
  - qv31.gateway.connection
"""

EXAMPLES = r"""
- name: Read the gateway
  qv31.gateway.info:
    host: 192.168.1.20
  register: gw

- name: Show its port 3 baud rate
  ansible.builtin.debug:
    msg: "{{ ansible_facts.qv31['port3.baud'] }}"
"""

RETURN = r"""
keys:
  description: Every key as C(qv31ctl --json info) prints it (C(port3.baud), C(net.ip), ...).
  returned: success
  type: dict
table:
  description: The table rows that are not empty, each with C(row) and its columns.
  returned: success
  type: list
  elements: dict
ansible_facts:
  description: C(qv31), the keys and C(table) together.
  returned: success
  type: dict
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.qv31.gateway.plugins.module_utils.qv31ctl import (
    CONNECTION_ARGS,
    CONNECTION_RULES,
    run_json,
)


def main():
    module = AnsibleModule(argument_spec=dict(CONNECTION_ARGS), supports_check_mode=True,
                           **CONNECTION_RULES)
    doc = run_json(module, ["info"])
    table = doc.pop("table", [])
    facts = dict(doc)
    facts["table"] = table
    module.exit_json(changed=False, keys=doc, table=table, ansible_facts=dict(qv31=facts))


if __name__ == "__main__":
    main()
