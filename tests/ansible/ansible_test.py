#!/usr/bin/env python3
"""qv31.gateway against three simulators on loopback: the first run changes each gateway, the
second changes nothing, a --check --diff run names the difference and writes nothing.

Usage: ansible_test.py QV31CTL QV31_SIM COLLECTIONS_DIR
"""
import json
import os
import re
import select
import subprocess
import sys
import tempfile
import time

PLAYBOOK = """
- hosts: gateways
  gather_facts: false
  tasks:
    - name: Port 3 and row 5 as stated
      qv31.gateway.config:
        host: "{{ qv31_host }}"
        qv31ctl: "{{ qv31ctl }}"
        keys:
          port3.baud: "{{ baud }}"
          net.ch1.enable: true
        table:
          - {row: 5, channel: COM2, slave: 3, type: 03-R, start: 10, count: 4, buffer: 100}
        backup: "{{ take_backup | default(false) | bool }}"
        backup_dir: "{{ backup_dir }}"
      register: result
    - name: The gateway's facts
      qv31.gateway.info:
        host: "{{ qv31_host }}"
        qv31ctl: "{{ qv31ctl }}"
    - name: Outside check mode the gateway holds what was stated
      ansible.builtin.assert:
        that:
          - ansible_facts.qv31['port3.baud'] == baud
          - ansible_facts.qv31.table | selectattr('row', 'equalto', 5) | map(attribute='slave')
            | first == 3
      when: not ansible_check_mode
"""


def start_sim(sim, state):
    proc = subprocess.Popen([sim, "--udp", "127.0.0.1:0", "--state", state],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    banner, deadline = b"", time.monotonic() + 10
    while b"ready\n" not in banner:
        ready, _, _ = select.select([proc.stdout], [], [], max(0, deadline - time.monotonic()))
        chunk = os.read(proc.stdout.fileno(), 512) if ready else b""
        if not chunk:
            proc.kill()
            proc.wait()
            raise RuntimeError("the simulator did not start")
        banner += chunk
    return proc, re.search(r"^udp (\S+)$", banner.decode(), re.M).group(1)


def recap(output):
    """host -> (changed, failed) from the PLAY RECAP."""
    found = {}
    for m in re.finditer(r"^(gw\d)\s*: ok=\d+\s+changed=(\d+).*?failed=(\d+)", output, re.M):
        found[m.group(1)] = (int(m.group(2)), int(m.group(3)))
    return found


def main():
    qv31ctl, sim, collections = (os.path.abspath(a) for a in sys.argv[1:4])
    # Debian's ansible-core runs modules with Debian's Python.
    python = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
    failures = []

    def expect(condition, what, output=""):
        if not condition:
            failures.append(what)
            print("FAILED: " + what + "\n" + output)

    with tempfile.TemporaryDirectory(prefix="qv31-ansible-") as tmp:
        sims, states = [], []
        try:
            for i in range(3):
                states.append(os.path.join(tmp, "gw%d.json" % i))
                sims.append(start_sim(sim, states[-1]))
            with open(os.path.join(tmp, "hosts"), "w") as f:
                f.write("[gateways]\n")
                for i, (_, address) in enumerate(sims):
                    f.write("gw%d qv31_host=%s\n" % (i, address))
                f.write("[gateways:vars]\nansible_connection=local\n"
                        "ansible_python_interpreter=%s\n" % python)
            with open(os.path.join(tmp, "site.yml"), "w") as f:
                f.write(PLAYBOOK)
            open(os.path.join(tmp, "ansible.cfg"), "w").close()
            env = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=collections,
                       ANSIBLE_CONFIG=os.path.join(tmp, "ansible.cfg"),
                       ANSIBLE_HOME=os.path.join(tmp, "home"),
                       ANSIBLE_LOCAL_TEMP=os.path.join(tmp, "local"),
                       ANSIBLE_NOCOLOR="1", ANSIBLE_RETRY_FILES_ENABLED="0",
                       ANSIBLE_PYTHON_INTERPRETER=python)

            def play(baud, *extra):
                return subprocess.run(
                    ["ansible-playbook", "-i", "hosts", "site.yml", "-f", "3",
                     "-e", "qv31ctl=" + qv31ctl, "-e", "baud=" + baud,
                     "-e", "backup_dir=" + os.path.join(tmp, "backup")] + list(extra),
                    cwd=tmp, env=env, capture_output=True, text=True)

            def memories():
                return [open(s).read() for s in states]

            first = play("9600", "-e", "take_backup=true")
            expect(first.returncode == 0, "first run succeeds", first.stdout + first.stderr)
            expect(recap(first.stdout) == {"gw%d" % i: (1, 0) for i in range(3)},
                   "first run changes each gateway", first.stdout)
            expect(len(os.listdir(os.path.join(tmp, "backup"))) == 3
                   if os.path.isdir(os.path.join(tmp, "backup")) else False,
                   "a backup per gateway", first.stdout)

            settled = memories()
            second = play("9600")
            expect(second.returncode == 0, "second run succeeds", second.stdout + second.stderr)
            expect(recap(second.stdout) == {"gw%d" % i: (0, 0) for i in range(3)},
                   "second run changes nothing", second.stdout)

            check = play("4800", "--check", "--diff")
            expect(check.returncode == 0, "check run succeeds", check.stdout + check.stderr)
            expect(recap(check.stdout) == {"gw%d" % i: (1, 0) for i in range(3)},
                   "check run reports a change on each", check.stdout)
            expect(check.stdout.count('-  "port3.baud": "9600"') == 3 and
                   check.stdout.count('+  "port3.baud": "4800"') == 3,
                   "check --diff names the difference", check.stdout)
            expect(memories() == settled, "check writes nothing")

            for module in ("qv31.gateway.config", "qv31.gateway.info"):
                doc = subprocess.run(["ansible-doc", module], env=env, capture_output=True,
                                     text=True)
                expect(doc.returncode == 0 and "OPTIONS" in doc.stdout and "host" in doc.stdout,
                       "ansible-doc renders " + module, doc.stdout + doc.stderr)
        finally:
            for proc, _ in sims:
                proc.terminate()
                proc.wait()
    print("ansible collection: %s" % ("all passed" if not failures else ", ".join(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
