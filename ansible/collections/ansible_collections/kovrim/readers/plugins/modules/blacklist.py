#!/usr/bin/python
# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: blacklist
short_description: Donne à un lecteur de badges la liste noire d'un fichier
description:
  - Compare la liste noire du lecteur au fichier (C(kovrim-cli blacklist-diff)) et ne la remplace
    (C(kovrim-cli blacklist-write), puis relecture) que si elles diffèrent. L'ordre des lignes et le motif,
    que le lecteur ne garde pas, ne comptent pas.
  - C(changed) est vrai exactement quand la liste du lecteur différait et a été remplacée.
  - En mode vérification (C(--check)), le module compare seulement.
  - Le fichier C(src) est pris sur la machine de contrôle et copié sur le PC du site, sauf avec C(remote_src).
version_added: "1.0.0"
extends_documentation_fragment:
  - kovrim.readers.reader
options:
  src:
    description:
      - Fichier de liste noire (C(date;UID;utilisateur;groupe;motif;) par ligne) ou export CSV de la fenêtre
        (nom en C(.csv), en-tête C(Date;Uid;Utilisateur;Groupe;Raison)).
    type: path
    required: true
  remote_src:
    description:
      - C(src) est déjà sur le PC du site.
    type: bool
    default: false
  allow_empty:
    description:
      - "Accepte un fichier sans entrée, qui vide la liste du lecteur (refusé sinon : un export tronqué ne vide
        pas la liste d'un parc)."
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
- name: Liste noire du jour
  kovrim.readers.blacklist:
    port: "{{ kovrim_port }}"
    src: files/listenoire.csv
  delegate_to: "{{ kovrim_pc }}"
'''

RETURN = r'''
added:
  description: Entrées du fichier que le lecteur n'avait pas.
  returned: always
  type: list
  elements: dict
  contains:
    date:
      description: Date de mise en liste noire (jj/mm/aa).
      type: str
    uid:
      description: UID du badge.
      type: str
    user:
      description: Numéro d'utilisateur.
      type: str
    group:
      description: Numéro de groupe.
      type: str
    reason:
      description: Motif (celui du fichier ; vide pour une entrée du lecteur).
      type: str
removed:
  description: Entrées du lecteur absentes du fichier (mêmes clés que C(added)).
  returned: always
  type: list
  elements: dict
backup:
  description: Sauvegarde de la liste du lecteur faite par C(kovrim-cli) avant de la remplacer, quand il en fait une.
  returned: when the list was replaced by a kovrim-cli that keeps one
  type: str
rc:
  description: "0 quand la tâche réussit ; sinon le code de sortie de C(kovrim-cli) qui a échoué."
  returned: always
  type: int
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kovrim.readers.plugins.module_utils.kovrim_cli import (
    EXIT_DIFFERENCES, KovrimCli, text_diff)


def row_line(row):
    return ';'.join(row.get(key, '') for key in ('date', 'uid', 'user', 'group', 'reason')) + ';'


def main():
    module = AnsibleModule(
        argument_spec=dict(
            port=dict(type='str', required=True),
            src=dict(type='path', required=True),
            remote_src=dict(type='bool', default=False),
            allow_empty=dict(type='bool', default=False),
            cli=dict(type='path'),
        ),
        supports_check_mode=True,
    )
    src = module.params['src']
    cli = KovrimCli(module)

    rc, data = cli.run('blacklist-diff', src)
    if rc not in (0, EXIT_DIFFERENCES):
        cli.fail('blacklist-diff', rc, data, added=[], removed=[])
    added = data.get('added', [])
    removed = data.get('removed', [])
    result = dict(changed=False, added=added, removed=removed, rc=0)
    if module._diff:
        result['diff'] = text_diff([row_line(r) for r in removed], [row_line(r) for r in added],
                                   'lecteur %s' % cli.port, src)
    if rc == 0:
        module.exit_json(msg="Le lecteur a déjà la liste noire du fichier.", **result)
    if module.check_mode:
        result['changed'] = True
        module.exit_json(msg="%d entrée(s) à ajouter, %d à retirer." % (len(added), len(removed)), **result)

    arguments = [src] + (['--allow-empty'] if module.params['allow_empty'] else [])
    rc, data = cli.run('blacklist-write', *arguments)
    if data.get('backup'):
        result['backup'] = data['backup']
    if rc == 0:
        result['changed'] = True
        module.exit_json(msg="Liste noire remplacée : %d entrée(s) ajoutée(s), %d retirée(s)."
                             % (len(added), len(removed)), **result)
    # What the reader holds now says whether the failed write changed it.
    after_rc, after = cli.run('blacklist-diff', src)
    kept = after_rc == EXIT_DIFFERENCES and after.get('added') == added and after.get('removed') == removed
    messages = data.setdefault('messages', [])
    if kept:
        messages.append("le lecteur garde sa liste d'origine")
    elif after_rc in (0, EXIT_DIFFERENCES):
        messages.append("le lecteur ne tient plus sa liste d'origine : %d entrée(s) à ajouter, %d à retirer"
                        % (len(after.get('added', [])), len(after.get('removed', []))))
    else:
        messages.append("liste du lecteur inconnue après l'échec")
    cli.fail('blacklist-write', rc, data, added=added, removed=removed, changed=not kept,
             **({'backup': result['backup']} if 'backup' in result else {}))


if __name__ == '__main__':
    main()
