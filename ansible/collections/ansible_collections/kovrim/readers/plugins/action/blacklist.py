# -*- coding: utf-8 -*-
# The blacklist file goes to the site's PC as the configuration file does.
from __future__ import absolute_import, division, print_function
__metaclass__ = type

from ansible_collections.kovrim.readers.plugins.action.config import ActionModule  # noqa: F401
