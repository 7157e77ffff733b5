#!/usr/bin/python
# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: config
short_description: Donne à un lecteur de badges la configuration d'un fichier de site
description:
  - "Compare les paramètres du lecteur au fichier de configuration (C(kovrim-cli config-diff)) et n'écrit que
    ceux qui diffèrent (C(kovrim-cli config-write)) : sauvegarde des valeurs remplacées, écriture,
    validation, relecture."
  - C(changed) est vrai exactement quand quelque chose a été écrit dans le lecteur.
  - Une écriture qui s'arrête en route remet le lecteur dans son état d'origine ; quand ce n'est pas possible,
    la tâche échoue en nommant dans C(partial) les paramètres laissés en attente ou changés.
  - En mode vérification (C(--check)), rien n'est écrit ; le module rend ce qui changerait.
  - Le fichier C(src) est pris sur la machine de contrôle et copié sur le PC du site, sauf avec C(remote_src).
version_added: "1.0.0"
extends_documentation_fragment:
  - kovrim.readers.reader
options:
  src:
    description:
      - Fichier de configuration (C(identifiant=valeur) par ligne, le format de C(kovrim-cli config-read) et de la fenêtre).
    type: path
    required: true
  remote_src:
    description:
      - C(src) est déjà sur le PC du site.
    type: bool
    default: false
  backup_dir:
    description:
      - Dossier des sauvegardes sur le PC du site ; par défaut celui de C(kovrim-cli)
        (C(Documents/KovrimManager/sauvegardes) du compte).
    type: path
  include_identity:
    description:
      - Écrit aussi les paramètres propres à chaque lecteur, C(3.0.2) (Identifiant matériel) et
        C(13.1.4) (Adresse IP), quand le fichier les donne. Sinon ils ne sont ni comparés ni écrits.
    type: bool
    default: false
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
author:
  - KovrimManager
'''

EXAMPLES = r'''
- name: Configuration du site
  kovrim.readers.config:
    port: "{{ kovrim_port }}"
    src: files/lyon.txt
    backup_dir: /var/lib/kovrim/sauvegardes
  delegate_to: "{{ kovrim_pc }}"

- name: Ce qui changerait, sans rien écrire
  kovrim.readers.config:
    port: /dev/ttyUSB0
    src: /srv/kovrim/site.txt
    remote_src: true
  check_mode: true
  register: ecarts
'''

RETURN = r'''
differences:
  description: Paramètres du lecteur qui diffèrent du fichier, avant toute écriture.
  returned: always
  type: list
  elements: dict
  contains:
    id:
      description: Identifiant du paramètre.
      type: str
      sample: "10.1"
    label:
      description: Libellé du paramètre.
      type: str
      sample: Crédit max
    before:
      description: Valeur du lecteur (null quand le lecteur ne la donne pas).
      type: str
      sample: "5000"
    after:
      description: Valeur du fichier.
      type: str
      sample: "4000"
written:
  description: Identifiants écrits et gardés par le lecteur (vide en mode vérification et quand le lecteur a été remis en l'état).
  returned: always
  type: list
  elements: str
  sample: ["3.0.1", "10.1"]
backup:
  description: Sauvegarde des valeurs du lecteur faite avant l'écriture, sur le PC du site.
  returned: when something was written
  type: str
  sample: /var/lib/kovrim/sauvegardes/lecteur-1204-1001-20261208-134725.txt
partial:
  description: Paramètres laissés en attente ou changés quand une écriture n'a pu ni aboutir ni être défaite.
  returned: always
  type: list
  elements: str
rc:
  description: "0 quand la tâche réussit ; sinon le code de sortie de C(kovrim-cli) qui a échoué."
  returned: always
  type: int
messages:
  description: Messages de C(kovrim-cli) quand la tâche échoue.
  returned: on failure
  type: list
  elements: str
'''

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kovrim.readers.plugins.module_utils.kovrim_cli import (
    EXIT_DIFFERENCES, IDENTITY_IDS, KovrimCli, text_diff)


def file_without_identity(module, src):
    """A copy of the site file without the per-reader lines: older kovrim-cli
    versions would write them."""
    path = os.path.join(module.tmpdir, 'configuration.txt')
    with open(src, 'rb') as source, open(path, 'wb') as copy:
        for line in source:
            identifier = line.split(b'=', 1)[0].strip().decode('utf-8', 'replace')
            if identifier not in IDENTITY_IDS:
                copy.write(line)
    return path


def differences_of(data, include_identity):
    items = list(data.get('differences', []))
    if include_identity:
        # kovrim-cli may list the per-reader parameters apart from the others.
        for key, value in data.items():
            if key != 'differences' and isinstance(value, list):
                items += [v for v in value if isinstance(v, dict) and v.get('id') in IDENTITY_IDS
                          and 'file' in v and v not in items]
    found = []
    for item in items:
        if not include_identity and item.get('id') in IDENTITY_IDS:
            continue
        found.append(dict(id=item.get('id'), label=item.get('label'),
                          before=item.get('reader'), after=item.get('file')))
    return found


def value_lines(differences, key):
    return ['%s=%s' % (d['id'], '(inconnue)' if d[key] is None else d[key]) for d in differences]


def write_arguments(cli, path, params):
    arguments = [path]
    if params['backup_dir']:
        arguments += ['--backup-dir', params['backup_dir']]
    if params['include_identity'] and cli.supports('--include-identity'):
        arguments.append('--include-identity')
    return arguments


def restore_from_backup(cli, backup, written, backup_dir):
    """Puts the reader back from the backup kovrim-cli made, for versions
    that leave a stopped write as it stands; what still differs after."""
    if not backup:
        return written
    arguments = [backup] + (['--backup-dir', backup_dir] if backup_dir else [])
    cli.run('config-write', *arguments)
    rc, data = cli.run('config-diff', backup)
    if rc == 0:
        return []
    left = [d.get('id') for d in data.get('differences', [])]
    return left if rc == EXIT_DIFFERENCES else written


def main():
    module = AnsibleModule(
        argument_spec=dict(
            port=dict(type='str', required=True),
            src=dict(type='path', required=True),
            remote_src=dict(type='bool', default=False),
            backup_dir=dict(type='path'),
            include_identity=dict(type='bool', default=False),
            cli=dict(type='path'),
        ),
        supports_check_mode=True,
    )
    params = module.params
    if not os.path.isfile(params['src']):
        module.fail_json(msg="Fichier de configuration introuvable : %s" % params['src'])
    cli = KovrimCli(module)
    path = params['src'] if params['include_identity'] else file_without_identity(module, params['src'])

    rc, data = cli.run('config-diff', path)
    if rc not in (0, EXIT_DIFFERENCES):
        cli.fail('config-diff', rc, data, differences=[], written=[], partial=[])
    differences = differences_of(data, params['include_identity'])
    result = dict(changed=False, differences=differences, written=[], partial=[], rc=0)
    if module._diff:
        result['diff'] = text_diff(value_lines(differences, 'before'), value_lines(differences, 'after'),
                                   'lecteur %s' % cli.port, params['src'])
    if not differences:
        module.exit_json(msg="Le lecteur a déjà la configuration du fichier.", **result)
    if module.check_mode:
        result['changed'] = True
        module.exit_json(msg="%d paramètre(s) à écrire." % len(differences), **result)

    rc, data = cli.run('config-write', *write_arguments(cli, path, params))
    written = [w.get('id') for w in data.get('writes', []) if w.get('done')]
    result.update(backup=data.get('backup'))
    if rc == 0:
        result.update(written=written, changed=bool(written))
        module.exit_json(msg="%d paramètre(s) écrit(s)." % len(written), **result)
    if 'partial' in data or 'restored' in data:
        partial = data.get('partial') or []
    elif written:
        partial = restore_from_backup(cli, data.get('backup'), written, params['backup_dir'])
    else:
        partial = []
    result.update(partial=partial, changed=bool(partial), written=partial, rc=rc)
    if partial:
        result['msg'] = "Lecteur %s laissé en partie écrit : %s en attente ou changés." % (
            cli.port, ', '.join(partial))
        module.fail_json(messages=data.get('messages', []), **result)
    if written:
        data.setdefault('messages', []).append(
            "lecteur remis dans son état d'origine (%d paramètre(s))" % len(written))
    cli.fail('config-write', rc, data, **result)


if __name__ == '__main__':
    main()
