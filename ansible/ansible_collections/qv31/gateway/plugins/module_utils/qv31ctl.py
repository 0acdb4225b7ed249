# Runs qv31ctl on the control node for the qv31.gateway modules.
# MIT licence (see the repository's LICENSE).
from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json

CONNECTION_ARGS = dict(
    host=dict(type="str"),
    serial=dict(type="str"),
    baud=dict(type="str"),
    format=dict(type="str"),
    qv31ctl=dict(type="path", default="qv31ctl"),
)

CONNECTION_RULES = dict(
    mutually_exclusive=[("host", "serial")],
    required_one_of=[("host", "serial")],
    required_by=dict(baud="serial", format="serial"),
)


def connection(params):
    """The qv31ctl options naming the gateway."""
    if params.get("serial"):
        args = ["--serial", params["serial"]]
        if params.get("baud"):
            args += ["--baud", params["baud"]]
        if params.get("format"):
            args += ["--format", params["format"]]
        return args
    return ["--udp", params["host"]]


def target_name(params):
    return params.get("host") or params.get("serial")


def run_json(module, args):
    """Runs qv31ctl --json with ARGS; fails the task with qv31ctl's message on any error."""
    params = module.params
    command = [module.get_bin_path(params["qv31ctl"], required=True)]
    command += connection(params) + ["--json"] + args
    rc, out, err = module.run_command(command)
    try:
        doc = json.loads(out) if out.strip() else {}
    except ValueError:
        doc = {}
    if rc != 0:
        message = doc.get("error") or err.strip() or "qv31ctl exited with %d" % rc
        module.fail_json(msg=message, rc=rc, stderr=err, cmd=command)
    return doc
