"""The collection as a reviewer reads it: ansible-doc renders both modules,
and Debian's yamllint, pycodestyle and pylint find nothing (ansible-test
sanity would download its own tools)."""
import ast
import os
import subprocess

import pytest

from ansible_run import COLLECTIONS, HERE

COLLECTION = os.path.join(COLLECTIONS, 'ansible_collections', 'zenor9', 'line')
MODULES = ['zenor9_prefix', 'zenor9_line_info']
ENV = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=COLLECTIONS, PYTHONPATH=COLLECTIONS,
           HOME=os.environ.get('TMPDIR', '/tmp'), ANSIBLE_NOCOLOR='1', LC_ALL='C.UTF-8')


def run(command, stdin=None):
    done = subprocess.run(command, input=stdin, env=ENV, cwd=COLLECTION, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, universal_newlines=True, check=False)
    return done.returncode, done.stdout


@pytest.mark.parametrize('module', MODULES)
def test_ansible_doc_renders(module):
    code, out = run(['ansible-doc', '-t', 'module', 'zenor9.line.' + module])
    assert code == 0, out
    for heading in ('OPTIONS', 'EXAMPLES', 'RETURN VALUES', '= port', '- executable'):
        assert heading in out, out


def documentation_blocks(module):
    path = os.path.join(COLLECTION, 'plugins', 'modules', module + '.py')
    with open(path, encoding='utf-8') as source:
        tree = ast.parse(source.read())
    return {node.targets[0].id: ast.literal_eval(node.value) for node in tree.body
            if isinstance(node, ast.Assign) and getattr(node.targets[0], 'id', '') in
            ('DOCUMENTATION', 'EXAMPLES', 'RETURN')}


@pytest.mark.parametrize('command', [
    ['yamllint', '--strict', '-c', os.path.join(HERE, 'yamllint.yml'), '.'],
    ['pycodestyle', '--max-line-length=100', '--ignore=E402,W503,W504', 'plugins', HERE],
    ['/usr/bin/python3', '-m', 'pylint', '--rcfile=' + os.path.join(HERE, 'pylintrc'), 'plugins'],
], ids=['yamllint', 'pycodestyle', 'pylint'])
def test_lint_finds_nothing(command):
    code, out = run(command)
    assert code == 0, out


@pytest.mark.parametrize('module', MODULES)
def test_documentation_is_clean_yaml(module):
    blocks = documentation_blocks(module)
    assert sorted(blocks) == ['DOCUMENTATION', 'EXAMPLES', 'RETURN']
    for name, text in blocks.items():
        code, out = run(['yamllint', '--strict', '-d',
                         '{extends: default, rules: {line-length: {max: 100}, '
                         'document-start: disable}}', '-'], stdin=text.lstrip('\n'))
        assert code == 0, '%s of %s:\n%s' % (name, module, out)
