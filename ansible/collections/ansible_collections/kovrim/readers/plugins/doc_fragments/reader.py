# -*- coding: utf-8 -*-
# The options every module of the collection shares: which reader, which program.
from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r'''
options:
  port:
    description:
      - Port série du lecteur sur le PC du site (C(/dev/ttyUSB0), un lien C(/dev/serial/by-id/...)).
    type: str
    required: true
  cli:
    description:
      - Chemin de C(kovrim-cli) sur le PC du site ; par défaut, le programme est cherché dans le PATH.
    type: path
notes:
  - Le module tourne sur le PC auquel le lecteur est relié (C(delegate_to)) et y appelle
    C(kovrim-cli --json) ; un seul processus à la fois par lecteur.
  - Les codes de sortie et les messages de C(kovrim-cli) sont rendus dans C(rc) et C(messages).
requirements:
  - kovrim-cli (KovrimManager) sur le PC du site
'''
