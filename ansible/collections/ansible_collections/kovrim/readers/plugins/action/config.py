# -*- coding: utf-8 -*-
# The site's file is kept with the playbooks; the module runs on the PC the
# reader hangs on: the file goes there first, as `copy` and `template` do.
from __future__ import absolute_import, division, print_function
__metaclass__ = type

import os

from ansible.errors import AnsibleError
from ansible.module_utils.common.text.converters import to_text
from ansible.plugins.action import ActionBase


class ActionModule(ActionBase):

    TRANSFERS_FILES = True

    def run(self, tmp=None, task_vars=None):
        result = super(ActionModule, self).run(tmp, task_vars)
        del tmp
        module_args = self._task.args.copy()
        try:
            if module_args.get('src') and not self._bool(module_args.get('remote_src')):
                local = self._find_needle('files', module_args['src'])
                # The name is kept: kovrim-cli reads a ".csv" as a CSV.
                remote = self._connection._shell.join_path(
                    self._connection._shell.tmpdir, os.path.basename(local))
                self._transfer_file(local, remote)
                self._fixup_perms2((self._connection._shell.tmpdir, remote))
                module_args['src'] = remote
                module_args['remote_src'] = True
        except AnsibleError as e:
            result.update(failed=True, msg=to_text(e))
            return result
        result.update(self._execute_module(module_name=self._task.action, module_args=module_args,
                                           task_vars=task_vars))
        # The diff names the file as the playbook does, not its copy.
        if isinstance(result.get('diff'), dict) and module_args.get('src') != self._task.args.get('src'):
            result['diff']['after_header'] = self._task.args.get('src')
        self._remove_tmp_path(self._connection._shell.tmpdir)
        return result

    @staticmethod
    def _bool(value):
        return str(value).lower() in ('1', 'true', 'yes', 'on')
