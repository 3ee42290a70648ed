"""Virtual register lines for the collection's tests and benchmark.

Each line is a `zenor9 sim` on a pseudo-terminal, reached directly or through
its own Debian ser2net on 127.0.0.1 (so that one server can be stopped while
the others serve). Every process runs under `timeout`, so that nothing
outlives a test that was killed.
"""
import os
import re
import socket
import subprocess
import time

LIFETIME_S = 600
SENT = re.compile(r'-> ([0-9A-F]{2}) (MARK|SPACE)')
# A frame is the address byte (ninth bit set), then its length and command:
# 05 and 05 for a write of one byte.
WRITE_FRAME = re.compile(r'MARK 05 SPACE 05 SPACE')


def free_port():
    with socket.socket() as probe:
        probe.bind(('127.0.0.1', 0))
        return probe.getsockname()[1]


def wait_until(ready, what, seconds=10.0):
    deadline = time.monotonic() + seconds
    while not ready():
        if time.monotonic() > deadline:
            raise RuntimeError('%s did not come up within %.0f s' % (what, seconds))
        time.sleep(0.02)


def accepts(port):
    try:
        socket.create_connection(('127.0.0.1', port), timeout=1).close()
        return True
    except OSError:
        return False


class Line:
    """One line of registers: `nets` like '3,7', `prefix` like '3=23,7=27'."""

    def __init__(self, name, nets, prefix, remote=False, faults=None, trace=True):
        self.name, self.nets, self.prefix = name, nets, prefix
        self.remote, self.faults, self.trace = remote, faults, trace
        self.port = None
        self.processes = []
        self.trace_file = None
        self.server = None

    def start(self, zenor9, folder):
        device = os.path.join(folder, self.name + '.pty')
        self.trace_file = os.path.join(folder, self.name + '.trace')
        command = ['timeout', str(LIFETIME_S), zenor9, 'sim', '--net', self.nets,
                   '--prefix', self.prefix, '--link', device]
        command += ['--fault', self.faults] if self.faults else []
        command += ['--trace'] if self.trace else []
        with open(self.trace_file, 'w', encoding='utf-8') as trace:
            self.processes.append(subprocess.Popen(command, stdout=subprocess.DEVNULL,
                                                   stderr=trace))
        wait_until(lambda: os.path.exists(device), 'the virtual line ' + self.name)
        self.port = device
        if self.remote:
            self.serve(device, folder)
        return self

    def serve(self, device, folder):
        tcp = free_port()
        config = os.path.join(folder, self.name + '.ser2net.yaml')
        with open(config, 'w', encoding='utf-8') as out:
            out.write('%%YAML 1.1\n---\nconnection: &%s\n'
                      '  accepter: telnet(rfc2217),tcp(nodelay),127.0.0.1,%d\n'
                      '  connector: serialdev,%s,9600n81,local\n'
                      '  options:\n    chardelay: false\n    mdns: false\n'
                      % (self.name, tcp, device))
        self.server = subprocess.Popen(
            ['timeout', str(LIFETIME_S), 'ser2net', '-n', '-u', '-c', config,
             '-P', config + '.pid'], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(self.server)
        wait_until(lambda: accepts(tcp), 'ser2net for ' + self.name)
        # ser2net keeps the device a moment after a client leaves: the probe's
        # connection must not make the first real one find it busy.
        time.sleep(0.2)
        self.port = 'rfc2217://127.0.0.1:%d' % tcp

    def stop_server(self):
        """The device server goes away, as a shop's box that lost power."""
        self.server.terminate()
        self.server.wait(10)

    def write_frames(self):
        """How many write frames reached the line's registers so far."""
        with open(self.trace_file, encoding='utf-8') as trace:
            sent = ' '.join(' '.join(byte) for byte in SENT.findall(trace.read()))
        return len(WRITE_FRAME.findall(sent))

    def stop(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
