#!/usr/bin/python
# MIT licence (see the repository's LICENSE).
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: config
short_description: State a QV31 gateway's keys and table rows; change only what differs
version_added: "1.0.0"
description:
  - Runs C(qv31ctl apply) on the control node. The keys and rows given are checked whole,
    compared with what the gateway holds, and only the groups and table blocks that differ
    are written, each with the frames of the configurator's own button, then read back.
    Every byte the task does not name goes back as it was read.
  - Reports C(changed) only when something differs; a second identical run writes nothing.
  - Check mode reads the gateway and reports what would change without writing.
  - Diff mode shows each changed key and row before and after.
options:
  keys:
    description:
      - Keys and values as C(qv31ctl --json info) prints them, for example
        C(port3.baud="9600"), C(4g.group=42), C(net.ch1.enable=true).
      - C(qv31ctl --help) lists every key and the values it takes.
    type: dict
    default: {}
  table:
    description:
      - Acquisition table rows, each with C(row) (1 to 255) and the six editable columns
        C(channel), C(slave), C(type), C(start), C(count) and C(buffer), as in a backup.
      - Only the rows given are touched.
    type: list
    elements: dict
    default: []
  backup:
    description:
      - Before changing anything, save the gateway's whole configuration with
        C(qv31ctl backup) into I(backup_dir); its path is returned as C(backup_file).
    type: bool
    default: false
  backup_dir:
    description:
      - Where backups go, made when missing; a relative path is taken from the directory
        ansible-playbook runs in.
      - Each file is named after the gateway and the time, C(HOST_PORT_YYYYMMDD-HHMMSS.json).
    type: path
    default: backup
author:
  - QV31 configurator developers
notes:
  - Runs on the control node; use C(connection=local) or C(delegate_to=localhost).
  - A value qv31ctl refuses fails the task before the gateway is asked, naming the field.
extends_documentation_fragment:
  - qv31.gateway.connection
"""

EXAMPLES = r"""
- name: Port 3 at 9600 baud, row 5 polling slave 3
  qv31.gateway.config:
    host: "{{ qv31_host }}"
    keys:
      port3.baud: "9600"
      acq.interval_ms: 50
    table:
      - {row: 5, channel: COM2, slave: 3, type: 03-R, start: 10, count: 4, buffer: 100}
    backup: true
"""

RETURN = r"""
changed:
  description: Whether any key or row differed (and, outside check mode, was written).
  returned: always
  type: bool
diff:
  description: The changed keys and rows, C(before) and C(after).
  returned: success
  type: dict
written:
  description: The groups and table blocks written (empty in check mode or when unchanged).
  returned: success
  type: list
  elements: str
  sample: ["port3", "table block 1 (acq settings, rows 1-63)"]
backup_file:
  description: The backup taken before the change.
  returned: when I(backup) is true
  type: str
"""

import json
import os
import re
import tempfile
import time

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.qv31.gateway.plugins.module_utils.qv31ctl import (
    CONNECTION_ARGS,
    CONNECTION_RULES,
    run_json,
    target_name,
)


def take_backup(module):
    directory = os.path.abspath(module.params["backup_dir"])
    if not os.path.isdir(directory):
        os.makedirs(directory)
    name = re.sub(r"[^A-Za-z0-9_.-]", "_", target_name(module.params))
    path = os.path.join(directory, "%s_%s.json" % (name, time.strftime("%Y%m%d-%H%M%S")))
    run_json(module, ["backup", path])
    return path


def diff_text(values):
    return json.dumps(values, indent=2, sort_keys=True, ensure_ascii=False) + "\n"


def main():
    spec = dict(CONNECTION_ARGS)
    spec.update(
        keys=dict(type="dict", default={}),
        table=dict(type="list", elements="dict", default=[]),
        backup=dict(type="bool", default=False),
        backup_dir=dict(type="path", default="backup"),
    )
    module = AnsibleModule(argument_spec=spec, supports_check_mode=True, **CONNECTION_RULES)
    result = dict(changed=False)
    if module.params["backup"]:
        result["backup_file"] = take_backup(module)

    handle, path = tempfile.mkstemp(prefix="qv31-apply-", suffix=".json")
    try:
        with os.fdopen(handle, "w") as f:
            json.dump(dict(keys=module.params["keys"], table=module.params["table"]), f)
        args = ["apply", "--diff"] + (["--check"] if module.check_mode else []) + [path]
        doc = run_json(module, args)
    finally:
        os.unlink(path)

    diff = doc.get("diff") or dict(before={}, after={})
    result.update(changed=bool(doc.get("changed")), written=doc.get("written", []))
    result["diff"] = dict(before=diff_text(diff["before"]), after=diff_text(diff["after"]),
                          before_header=target_name(module.params),
                          after_header=target_name(module.params))
    result["changes"] = diff
    module.exit_json(**result)


if __name__ == "__main__":
    main()
