# The options naming the gateway, shared by every qv31.gateway module.
# MIT licence (see the repository's LICENSE).
from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    # The arguments of module_utils/qv31ctl.py's CONNECTION_ARGS.
    DOCUMENTATION = r"""
options:
  host:
    description:
      - The gateway over UDP, C(HOST[:PORT]); port 2332 unless given.
      - One of I(host) and I(serial) is required.
    type: str
  serial:
    description: The gateway over a serial line of the control node, such as C(/dev/ttyUSB0).
    type: str
  baud:
    description: The serial line's baud rate (with I(serial)); 9600 unless given.
    type: str
  format:
    description: The serial line's format, such as C(n,8,1) (with I(serial)).
    type: str
  qv31ctl:
    description: The qv31ctl program to run, a name on C(PATH) or a path.
    type: path
    default: qv31ctl
"""
