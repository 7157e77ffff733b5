# -*- coding: utf-8 -*-
# Every task result, by host and task name, into the JSON file named by
# KOVRIM_RESULTS: what tst_ansible_fleet.py looks at, with nothing beyond
# ansible-core.
from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json
import os

from ansible.plugins.callback import CallbackBase


class CallbackModule(CallbackBase):
    CALLBACK_VERSION = 2.0
    CALLBACK_TYPE = 'aggregate'
    CALLBACK_NAME = 'kovrim_results'
    CALLBACK_NEEDS_ENABLED = True

    def __init__(self):
        super(CallbackModule, self).__init__()
        self.results = {}

    def _keep(self, result, failed):
        # Ansible takes "failed" out of the result it hands to callbacks.
        kept = dict(result._result, failed=failed)
        self.results.setdefault(result._host.get_name(), {})[result._task.get_name()] = kept

    def v2_runner_on_ok(self, result):
        self._keep(result, False)

    def v2_runner_on_failed(self, result, ignore_errors=False):
        self._keep(result, True)

    def v2_playbook_on_stats(self, stats):
        with open(os.environ['KOVRIM_RESULTS'], 'w') as out:
            json.dump(self.results, out, default=str)
