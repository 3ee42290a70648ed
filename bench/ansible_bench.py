"""The Ansible collection's costs (make bench): the module's own cost per
line above the bare zenor9 call, a check-mode audit of three lines, and a
fleet of 30 lines behind ser2net at forks 1, 5 and 10. Every line is a
virtual one on 127.0.0.1.

Usage: python3 bench/ansible_bench.py ZENOR9 [RUNS]"""
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, 'tests', 'ansible'))
os.environ['ZENOR9'] = os.path.abspath(sys.argv[1])

# pylint: disable=wrong-import-position
from ansible_run import Controller  # noqa: E402
from virtual_lines import Line  # noqa: E402

RUNS = int(sys.argv[2]) if len(sys.argv) > 2 else 3
FLEET = 30


def timed(action):
    start = time.monotonic()
    action()
    return time.monotonic() - start


def cpu_of_children():
    used = resource.getrusage(resource.RUSAGE_CHILDREN)
    return used.ru_utime + used.ru_stime


def timed_with_cpu(action):
    """Wall time and the CPU time of the processes it ran (ansible-playbook,
    its forks, the modules and zenor9), on every core."""
    cpu = cpu_of_children()
    wall = timed(action)
    return wall, cpu_of_children() - cpu


def median_of(action, runs=RUNS):
    """The median wall time, and the median CPU time of the processes run."""
    measured = [timed_with_cpu(action) for _ in range(runs)]
    return tuple(statistics.median(one[column] for one in measured) for column in (0, 1))


def played(controller, playbook, *arguments, changed=None):
    """Runs the playbook and insists that it did what the figure says."""
    def run():
        code, out, recap = controller.play(playbook, *arguments, timeout=1800)
        if code != 0 or any(numbers['failed'] for numbers in recap.values()):
            raise RuntimeError(out)
        if changed is not None and sum(n['changed'] for n in recap.values()) != changed:
            raise RuntimeError('expected %d changed lines:\n%s' % (changed, out))
    return run


def start(lines, folder):
    for line in lines:
        line.start(os.environ['ZENOR9'], folder)
    return lines


def host(line, nets):
    variables = {'zenor9_port': line.port, 'zenor9_net': nets}
    if line.remote:
        variables['zenor9_run_on'] = 'localhost'
    return variables


def module_cost(folder):
    """One line of three registers already at 25: each call reads them and writes nothing."""
    line, = start([Line('cost', '1,2,3', '25', trace=False)], folder)
    try:
        controller = Controller(os.path.join(folder, 'cost'))
        controller.inventory({'lines': {'cost': host(line, [1, 2, 3])}})
        bare = median_of(lambda: controller.zenor9(
            '--port', line.port, '--net', '1,2,3', 'write', '25', '--if-different'), RUNS * 3)
        playbook = os.path.join(ROOT, 'bench', 'ansible', 'module_calls.yml')
        one = median_of(played(controller, playbook, '-e', 'calls=1'))
        eleven = median_of(played(controller, playbook, '-e', 'calls=11'))
    finally:
        line.stop()
    per_call = [(many - few) / 10 for many, few in zip(eleven, one)]
    print('| bare `zenor9 --json --net 1,2,3 write 25 --if-different` (3 registers, none written) '
          '| %.0f ms | %.0f ms |' % (bare[0] * 1000, bare[1] * 1000))
    print('| the same through `zenor9_prefix`, per call (11 calls less 1, in one task) '
          '| %.0f ms | %.0f ms |' % (per_call[0] * 1000, per_call[1] * 1000))
    print('| the module\'s own cost per line | %.0f ms | %.0f ms |'
          % ((per_call[0] - bare[0]) * 1000, (per_call[1] - bare[1]) * 1000))
    print('| `ansible-playbook` start and play of one call | %.0f ms | %.0f ms |'
          % (one[0] * 1000, one[1] * 1000))


def three_line_audit(folder):
    lines = start([Line('pty', '3,7,12', '23', trace=False),
                   Line('remote-a', '5', '25', remote=True, trace=False),
                   Line('remote-b', '1,2', '21', remote=True, trace=False)], folder)
    try:
        controller = Controller(os.path.join(folder, 'audit'))
        controller.inventory({'shops': {
            'pty': host(lines[0], [3, 7, 12]), 'remote-a': host(lines[1], 'all'),
            'remote-b': host(lines[2], 'all')}})
        check = median_of(played(controller, 'set_prefix', '-e', 'prefix=25', '--check',
                                 '--diff', changed=2))
        report = os.path.join(controller.folder, 'audit.csv')
        audit = median_of(played(controller, 'audit', '-e', 'zenor9_report=' + report))
    finally:
        for line in lines:
            line.stop()
    print('| `set_prefix -e prefix=25 --check --diff`, 3 lines (6 registers; 1 on a pty with '
          'a list of nets, 2 behind ser2net scanned with `all`) | %.1f s | %.1f s |' % check)
    print('| `audit` to CSV, the same 3 lines | %.1f s | %.1f s |' % audit)


def fleet(folder):
    """30 lines of 3 registers each behind their own ser2net; each run writes
    every register (a new prefix each time), then one run changes nothing."""
    lines = start([Line('line-%02d' % number, '1,2,3', '23', remote=True, trace=False)
                   for number in range(FLEET)], folder)
    try:
        controller = Controller(os.path.join(folder, 'fleet'))
        controller.inventory({'fleet': {line.name: host(line, [1, 2, 3]) for line in lines}})
        rows = []
        for forks, prefix in ((1, 24), (5, 25), (10, 26)):
            written = timed_with_cpu(played(controller, 'set_prefix', '-f', str(forks),
                                            '-e', 'prefix=%d' % prefix, changed=FLEET))
            again = timed_with_cpu(played(controller, 'set_prefix', '-f', str(forks),
                                          '-e', 'prefix=%d' % prefix, changed=0))
            rows.append((forks, written, again))
    finally:
        for line in lines:
            line.stop()
    for forks, (written, written_cpu), (again, again_cpu) in rows:
        print('| %d | %.1f s | %.2f s | %.2f s | %.1f s | %.2f s | %.2f s |'
              % (forks, written, written / FLEET, written_cpu / FLEET,
                 again, again / FLEET, again_cpu / FLEET))


def main():
    load = os.getloadavg()[0]
    print('Ansible collection (ansible-core %s, %d runs each, load average %.1f):'
          % (subprocess.run(['ansible', '--version'], stdout=subprocess.PIPE,
                            universal_newlines=True, check=True).stdout.split()[2].rstrip(']'),
             RUNS, load))
    with tempfile.TemporaryDirectory(prefix='zenor9-ansible-bench-') as folder:
        print('\n| measure | median wall | CPU |\n|---|---|---|')
        module_cost(folder)
        three_line_audit(folder)
        print('\n30 lines of 3 registers, each behind its own ser2net:\n')
        print('| forks | every register written | per line | CPU per line '
              '| second run (changed=0) | per line | CPU per line |')
        print('|---|---|---|---|---|---|---|')
        fleet(folder)


if __name__ == '__main__':
    main()
