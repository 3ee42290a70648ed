"""The collection as a reviewer reads it: ansible-doc renders both modules,
and Debian's yamllint, pycodestyle and pylint find nothing (ansible-test
sanity would download its own tools)."""
import os
import subprocess

import pytest

from ansible_run import COLLECTIONS, HERE

COLLECTION = os.path.join(COLLECTIONS, 'ansible_collections', 'zenor9', 'line')


@pytest.mark.parametrize('command', [
    ['ansible-doc', 'zenor9.line.zenor9_prefix'],
    ['ansible-doc', 'zenor9.line.zenor9_line_info'],
    ['yamllint', '--strict', '-c', os.path.join(HERE, 'yamllint.yml'), '.'],
    ['pycodestyle', '--max-line-length=100', '--ignore=E402,W503,W504', 'plugins', HERE],
    ['/usr/bin/python3', '-m', 'pylint', '--rcfile=' + os.path.join(HERE, 'pylintrc'), 'plugins'],
], ids=['doc-prefix', 'doc-line-info', 'yamllint', 'pycodestyle', 'pylint'])
def test_collection_is_clean(command, tmp_path):
    env = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=COLLECTIONS, PYTHONPATH=COLLECTIONS,
               HOME=str(tmp_path), ANSIBLE_NOCOLOR='1', LC_ALL='C.UTF-8')
    done = subprocess.run(command, env=env, cwd=COLLECTION, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, universal_newlines=True, check=False)
    assert done.returncode == 0, done.stdout
    if command[0] == 'ansible-doc':
        for heading in ('OPTIONS', 'EXAMPLES', 'RETURN VALUES', '= port', '- executable'):
            assert heading in done.stdout, done.stdout
