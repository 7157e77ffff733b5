#!/usr/bin/python
# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: info
short_description: Ce qu'un lecteur de badges est et tient, sans rien changer
description:
  - Lit le site, l'identifiant, le nom et la version du lecteur (C(kovrim-cli config-read)), l'écart de son
    horloge (C(kovrim-cli clock-set --check)) et la taille de sa liste noire (C(kovrim-cli blacklist-read)).
  - Ne change jamais rien au lecteur.
version_added: "1.0.0"
extends_documentation_fragment:
  - kovrim.readers.reader
attributes:
  check_mode:
    support: full
  diff_mode:
    support: none
author:
  - KovrimManager
'''

EXAMPLES = r'''
- name: Inventaire des lecteurs
  kovrim.readers.info:
    port: "{{ kovrim_port }}"
  delegate_to: "{{ kovrim_pc }}"
  register: lecteur

- ansible.builtin.debug:
    msg: "{{ lecteur.reader.name }} : version {{ lecteur.reader.firmware }}"
'''

RETURN = r'''
reader:
  description: Le lecteur.
  returned: success
  type: dict
  contains:
    site:
      description: Numéro de site (paramètre 3.0.0).
      type: str
      sample: "1204"
    identifier:
      description: Identifiant matériel (3.0.2).
      type: str
      sample: "1001"
    name:
      description: Nom du lecteur (3.0.3).
      type: str
      sample: KovrimReader
    firmware:
      description: Version du logiciel du lecteur (12.0).
      type: str
      sample: "1.13"
    clock_drift_minutes:
      description: Écart de l'horloge du lecteur avec le PC, en minutes (positif quand le lecteur avance).
      type: int
      sample: 0
    blacklist_entries:
      description: Nombre d'entrées de la liste noire du lecteur.
      type: int
      sample: 42
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kovrim.readers.plugins.module_utils.kovrim_cli import (
    EXIT_DIFFERENCES, KovrimCli)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            port=dict(type='str', required=True),
            cli=dict(type='path'),
        ),
        supports_check_mode=True,
    )
    cli = KovrimCli(module)
    rc, config = cli.run('config-read', '-')
    if rc != 0:
        cli.fail('config-read', rc, config)
    values = config.get('values', {})
    rc, clock = cli.run('clock-set', '--check')
    if rc not in (0, EXIT_DIFFERENCES) or not isinstance(clock.get('drift_seconds'), (int, float)):
        cli.fail('clock-set --check', rc, clock)
    rc, blacklist = cli.run('blacklist-read', '-')
    if rc != 0:
        cli.fail('blacklist-read', rc, blacklist)
    reader = dict(
        site=values.get('3.0.0'),
        identifier=values.get('3.0.2'),
        name=values.get('3.0.3'),
        firmware=values.get('12.0'),
        clock_drift_minutes=int(round(clock['drift_seconds'] / 60.0)),
        blacklist_entries=len(blacklist.get('entries', [])),
    )
    module.exit_json(changed=False, reader=reader)


if __name__ == '__main__':
    main()
