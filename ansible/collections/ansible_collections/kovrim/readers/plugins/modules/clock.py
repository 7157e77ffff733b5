#!/usr/bin/python
# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: clock
short_description: Remet à l'heure un lecteur de badges quand son horloge dérive
description:
  - Lit l'horloge du lecteur (C(kovrim-cli clock-set --check)) et, seulement quand l'écart avec le PC du site
    dépasse C(tolerance), met le lecteur à la date et à l'heure du PC (C(kovrim-cli clock-set)).
  - Le lecteur donne l'heure à la minute près ; l'écart est en minutes.
  - En mode vérification (C(--check)), le module lit seulement.
version_added: "1.0.0"
extends_documentation_fragment:
  - kovrim.readers.reader
options:
  tolerance:
    description:
      - Écart admis, en minutes, dans un sens ou dans l'autre.
    type: int
    default: 2
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
author:
  - KovrimManager
'''

EXAMPLES = r'''
- name: Horloges à l'heure, à 2 minutes près
  kovrim.readers.clock:
    port: "{{ kovrim_port }}"
    tolerance: 2
  delegate_to: "{{ kovrim_pc }}"
'''

RETURN = r'''
drift_minutes:
  description: Écart de l'horloge du lecteur avec celle du PC avant toute mise à l'heure (positif quand le lecteur avance).
  returned: always
  type: int
  sample: -7
reader_time:
  description: Date et heure lues dans le lecteur (ISO 8601).
  returned: always
  type: str
pc_time:
  description: Date et heure du PC au même moment (ISO 8601).
  returned: always
  type: str
rc:
  description: "0 quand la tâche réussit ; sinon le code de sortie de C(kovrim-cli) qui a échoué."
  returned: always
  type: int
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kovrim.readers.plugins.module_utils.kovrim_cli import (
    EXIT_DIFFERENCES, KovrimCli, text_diff)


def read_drift(cli):
    """(minutes, JSON) of `clock-set --check`; exit 10 is a drift beyond
    the program's own tolerance, still a reading."""
    rc, data = cli.run('clock-set', '--check')
    if rc not in (0, EXIT_DIFFERENCES) or not isinstance(data.get('drift_seconds'), (int, float)):
        cli.fail('clock-set --check', rc, data)
    return int(round(data['drift_seconds'] / 60.0)), rc, data


def drift_text(minutes):
    return "écart %+d min" % minutes if minutes else "écart 0 min"


def main():
    module = AnsibleModule(
        argument_spec=dict(
            port=dict(type='str', required=True),
            tolerance=dict(type='int', default=2),
            cli=dict(type='path'),
        ),
        supports_check_mode=True,
    )
    tolerance = module.params['tolerance']
    if tolerance < 0:
        module.fail_json(msg="tolerance : un nombre de minutes positif ou nul est attendu.")
    cli = KovrimCli(module)
    drift, rc, data = read_drift(cli)
    result = dict(changed=False, drift_minutes=drift, reader_time=data.get('reader'),
                  pc_time=data.get('pc'), rc=0)
    if abs(drift) <= tolerance:
        module.exit_json(msg="Horloge du lecteur à l'heure (%s)." % drift_text(drift), **result)
    if module._diff:
        result['diff'] = text_diff([drift_text(drift)], [drift_text(0)], 'lecteur %s' % cli.port, 'PC')
    result['changed'] = True
    if module.check_mode:
        module.exit_json(msg="Horloge à remettre à l'heure (%s)." % drift_text(drift), **result)
    rc, data = cli.run('clock-set')
    if rc != 0:
        cli.fail('clock-set', rc, data, drift_minutes=drift)
    module.exit_json(msg="Lecteur remis à l'heure (%s avant)." % drift_text(drift), **result)


if __name__ == '__main__':
    main()
