#!/usr/bin/env python3
"""A kovrim-cli as the versions that put a reader back themselves answer:
config-write names what it left pending (`partial`, exit 5) or how much it
put back (`restored`), and config-diff lists the per-reader parameters
apart. The scenario is the port's name; each call is logged to FAKE_CLI_LOG."""
import json
import os
import sys

args = sys.argv[1:]
if '--help' in args:
    print('  config-write FICHIER\n      --include-identity    écrit aussi 3.0.2 et 13.1.4')
    sys.exit(0)
with open(os.environ['FAKE_CLI_LOG'], 'a') as log:
    log.write(' '.join(args) + '\n')
port = args[args.index('--port') + 1]
command = [a for a in args[args.index('--port') + 2:] if not a.startswith('-')][0]
DIFFERENCES = [{'id': '3.0.1', 'label': 'Nom du site', 'reader': 'Ailleurs', 'file': 'Laverie du Port'},
               {'id': '10.1', 'label': 'Crédit max', 'reader': '4000', 'file': '5000'}]
WRITES = [{'id': '3.0.1', 'value': 'Laverie du Port', 'done': True},
          {'id': '10.1', 'value': '5000', 'done': False}]
ANSWERS = {
    ('partiel', 'config-diff'): (10, {'differences': DIFFERENCES}),
    ('partiel', 'config-write'): (5, {'writes': WRITES, 'written': 1, 'restored': 0, 'partial': ['3.0.1'],
                                      'messages': ['Save->ECHEC : 3.0.1 en attente dans le lecteur']}),
    ('remis', 'config-diff'): (10, {'differences': DIFFERENCES}),
    ('remis', 'config-write'): (1, {'writes': WRITES, 'written': 1, 'restored': 1, 'partial': [],
                                    'messages': ["Save->ECHEC : lecteur remis dans son état d'origine "
                                                 "(1 paramètres)"]}),
    ('identite', 'config-diff'): (0, {'differences': [], 'own': [
        {'id': '3.0.2', 'label': 'Identifiant matériel', 'reader': '1001', 'file': '7777'}]}),
    ('identite', 'config-write'): (0, {'writes': [{'id': '3.0.2', 'value': '7777', 'done': True}]}),
}
rc, answer = ANSWERS[(port, command)]
answer.update(command=command, port=port, exit=rc, messages=answer.get('messages', []))
print(json.dumps(answer))
sys.exit(rc)
