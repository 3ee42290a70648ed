"""Running the in-tree collection's playbooks as a chain's IT would, in a
private home, configuration and journal, with zenor9 on the PATH."""
import json
import os
import re
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
COLLECTIONS = os.path.normpath(os.path.join(HERE, '..', '..', 'ansible'))
RECAP = re.compile(r'^(\S+)\s+: ok=(\d+)\s+changed=(\d+)\s+unreachable=(\d+)\s+failed=(\d+)'
                   r'\s+skipped=(\d+)\s+rescued=(\d+)\s+ignored=(\d+)', re.M)


def zenor9_binary():
    return os.environ.get('ZENOR9') or os.path.join(HERE, '..', '..', 'build', 'bin', 'zenor9')


class Controller:
    """A controller in `folder`: ansible.cfg, home, journal and inventory."""

    def __init__(self, folder):
        self.folder = str(folder)
        self.journal = os.path.join(self.folder, 'journal.jsonl')
        bin_dir = os.path.join(self.folder, 'bin')
        os.makedirs(os.path.join(self.folder, 'home'), exist_ok=True)
        os.makedirs(bin_dir, exist_ok=True)
        # The modules find zenor9 on the PATH, as on an installed controller.
        os.symlink(os.path.abspath(zenor9_binary()), os.path.join(bin_dir, 'zenor9'))
        config = os.path.join(self.folder, 'ansible.cfg')
        with open(config, 'w', encoding='utf-8') as out:
            out.write('[defaults]\ncollections_path = %s\ninterpreter_python = /usr/bin/python3\n'
                      'local_tmp = %s/home/tmp\nretry_files_enabled = false\nnocolor = true\n'
                      % (COLLECTIONS, self.folder))
        self.env = {key: value for key, value in os.environ.items()
                    if not key.startswith(('ANSIBLE_', 'ZENOR9_', 'LC_', 'LANG'))}
        self.env.update({
            'ANSIBLE_CONFIG': config, 'HOME': os.path.join(self.folder, 'home'),
            'PATH': bin_dir + os.pathsep + os.environ.get('PATH', '/usr/bin:/bin'),
            'ZENOR9_JOURNAL': self.journal, 'LC_ALL': 'C.UTF-8',
            'ZENOR9_COM1': '/nonexistent', 'ZENOR9_COM2': '/nonexistent',
            'ZENOR9_COM3': '/nonexistent', 'ZENOR9_COM4': '/nonexistent'})

    def inventory(self, groups):
        """groups: {group: {host: {variable: value}}}; written as YAML (JSON is YAML)."""
        path = os.path.join(self.folder, 'shops.yml')
        tree = {'all': {'children': {group: {'hosts': hosts} for group, hosts in groups.items()}}}
        with open(path, 'w', encoding='utf-8') as out:
            json.dump(tree, out, indent=1)
        return path

    def play(self, playbook, *arguments, timeout=120):
        """Runs a playbook of the collection by its short name, or one by its
        path: (exit code, output, recap {host: {'ok': n, 'changed': n, ...}})."""
        run = subprocess.run(
            ['ansible-playbook', '-c', 'local', '-i', os.path.join(self.folder, 'shops.yml'),
             playbook if playbook.endswith('.yml') else 'zenor9.line.' + playbook]
            + list(arguments),
            cwd=self.folder, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
            universal_newlines=True, timeout=timeout, check=False)
        names = ('ok', 'changed', 'unreachable', 'failed', 'skipped', 'rescued', 'ignored')
        recap = {match[0]: dict(zip(names, map(int, match[1:])))
                 for match in RECAP.findall(run.stdout)}
        return run.returncode, run.stdout, recap

    def zenor9(self, *arguments):
        run = subprocess.run([zenor9_binary(), '--json'] + list(arguments), env=self.env,
                             stdout=subprocess.PIPE, universal_newlines=True, timeout=60,
                             check=False)
        return json.loads(run.stdout)

    def journal_records(self):
        if not os.path.exists(self.journal):
            return []
        with open(self.journal, encoding='utf-8') as records:
            return [json.loads(line) for line in records if line.strip()]
