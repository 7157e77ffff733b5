# -*- coding: utf-8 -*-
# Runs kovrim-cli for the collection's modules: one command, one reader,
# its JSON object read back. The program's exit statuses and JSON fields
# are its documented interface.
from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json

# Exit statuses of kovrim-cli.
EXIT_DONE = 0
EXIT_DIFFERENCES = 10

# Per-reader parameters: a site file never copies them into a reader
# unless asked to.
IDENTITY_IDS = ('3.0.2', '13.1.4')


class KovrimCli(object):
    """One reader's kovrim-cli, on the port given to the module."""

    def __init__(self, module):
        self.module = module
        self.port = module.params['port']
        cli = module.params.get('cli')
        if cli:
            self.path = cli if '/' in cli else module.get_bin_path(cli, required=True)
        else:
            self.path = module.get_bin_path('kovrim-cli', required=True)
        self._help = None
        self.calls = []

    def run(self, command, *arguments):
        """(exit status, JSON object) of one command on the reader."""
        argv = [self.path, '--port', self.port, '--json', command] + list(arguments)
        # Its messages in French and UTF-8 whatever the account's locale.
        rc, out, err = self.module.run_command(
            argv, environ_update={'LANG': 'C.UTF-8', 'LC_ALL': 'C.UTF-8'})
        self.calls.append(dict(command=command, rc=rc))
        data = self._json(out)
        if data is None:
            self.module.fail_json(
                msg="kovrim-cli %s sur %s : réponse illisible (code %d) : %s"
                    % (command, self.port, rc, (err or out).strip()[-500:]),
                rc=rc, stdout=out, stderr=err, cmd=argv)
        return rc, data

    def supports(self, option):
        """Whether this kovrim-cli knows `option` (older ones do not)."""
        if self._help is None:
            rc, out, err = self.module.run_command([self.path, '--help'])
            self._help = out if rc == 0 else ''
        return option in self._help

    def fail(self, command, status, data, **result):
        """Ends the task as failed, with the program's own messages."""
        result.setdefault('changed', False)
        result.update(msg=failure_text(command, self.port, status, data), rc=status,
                      messages=data.get('messages', []))
        self.module.fail_json(**result)

    @staticmethod
    def _json(out):
        for line in reversed((out or '').splitlines()):
            line = line.strip()
            if not line:
                continue
            try:
                data = json.loads(line)
            except ValueError:
                return None
            return data if isinstance(data, dict) else None
        return None


def failure_text(command, port, rc, data):
    # The job's outcome and failure lines ("Ecriture de 10.1 refusée par le
    # lecteur") come in summary, the program's own messages in messages.
    messages = [m for m in data.get('messages', []) + data.get('summary', []) if m]
    said = ' ; '.join(messages) if messages else data.get('outcome', 'échec')
    return "kovrim-cli %s sur %s : %s (code %d)" % (command, port, said, rc)


def text_diff(before, after, before_header, after_header):
    """Ansible's diff of two lists of lines."""
    def text(lines):
        return ''.join(line + '\n' for line in lines)
    return dict(before=text(before), after=text(after),
                before_header=before_header, after_header=after_header)
