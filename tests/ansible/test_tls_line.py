"""The secure line recipe: ser2net's TLS accepter that demands a client
certificate, stunnel on the controller as the TLS client that checks the
server's certificate and shows its own, and zenor9 talking RFC 2217 to
stunnel's local port. Certificates are made here with openssl."""
import json
import os
import subprocess

import pytest

from ansible_run import zenor9_binary
from virtual_lines import LIFETIME_S, Line, accepts, free_port, wait_until


def certificate(folder, name, common_name):
    subprocess.run(['openssl', 'req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-days', '2',
                    '-subj', '/CN=' + common_name, '-addext', 'subjectAltName=IP:127.0.0.1',
                    '-keyout', os.path.join(folder, name + '.key'),
                    '-out', os.path.join(folder, name + '.crt')],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return os.path.join(folder, name)


def stunnel_service(name, server_port, trusted, client=None):
    lines = ['[%s]' % name, 'client = yes', 'accept = 127.0.0.1:%d' % free_port(),
             'connect = 127.0.0.1:%d' % server_port, 'CAfile = %s.crt' % trusted,
             'verifyPeer = yes', 'checkIP = 127.0.0.1']
    if client:
        lines += ['cert = %s.crt' % client, 'key = %s.key' % client]
    return lines


@pytest.fixture(scope='module')
def secure_line(tmp_path_factory):
    folder = str(tmp_path_factory.mktemp('tls'))
    server = certificate(folder, 'server', '127.0.0.1')
    controller = certificate(folder, 'controller', 'shop-controller')
    stranger = certificate(folder, 'stranger', 'shop-controller')
    # ser2net admits a client whose certificate is among the allowed ones of
    # the user its common name names.
    allowed = os.path.join(folder, 'auth', 'shop-controller', 'allowed_certs')
    os.makedirs(allowed)
    os.symlink(controller + '.crt', os.path.join(allowed, 'controller.crt'))
    subprocess.run(['openssl', 'rehash', allowed], check=True)
    line = Line('secure', '3', '24').start(zenor9_binary(), folder)
    processes = []
    try:
        tls_port = free_port()
        config = os.path.join(folder, 'ser2net.yaml')
        with open(config, 'w', encoding='utf-8') as out:
            out.write('%%YAML 1.1\n---\nconnection: &secure\n'
                      '  accepter: telnet(rfc2217),ssl(key=%s.key,cert=%s.crt,clientauth),'
                      'tcp(nodelay),127.0.0.1,%d\n'
                      '  connector: serialdev,%s,9600n81,local\n'
                      '  options:\n    chardelay: false\n    mdns: false\n    authdir: %s\n'
                      % (server, server, tls_port, line.port, os.path.join(folder, 'auth')))
        processes.append(subprocess.Popen(
            ['timeout', str(LIFETIME_S), 'ser2net', '-n', '-u', '-c', config,
             '-P', config + '.pid'],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_until(lambda: accepts(tls_port), 'ser2net with TLS')
        services = {
            'trusted': stunnel_service('trusted', tls_port, server, controller),
            'no-certificate': stunnel_service('no-certificate', tls_port, server),
            'unknown-certificate': stunnel_service('unknown-certificate', tls_port, server,
                                                   stranger),
            'false-server': stunnel_service('false-server', tls_port, stranger, controller),
        }
        stunnel = os.path.join(folder, 'stunnel.conf')
        with open(stunnel, 'w', encoding='utf-8') as out:
            out.write('foreground = yes\npid =\n' +
                      '\n'.join('\n'.join(lines) for lines in services.values()) + '\n')
        processes.append(subprocess.Popen(['timeout', str(LIFETIME_S), 'stunnel', stunnel],
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        ports = {name: int(lines[2].rsplit(':', 1)[1]) for name, lines in services.items()}
        wait_until(lambda: all(accepts(port) for port in ports.values()), 'stunnel')
        yield line, ports, folder
    finally:
        for process in processes:
            process.terminate()
            process.wait(10)
        line.stop()


def read(port, folder):
    run = subprocess.run(
        [zenor9_binary(), '--json', '--port', 'rfc2217://127.0.0.1:%d' % port, '--net', '3',
         'read'],
        stdout=subprocess.PIPE, universal_newlines=True, timeout=60, check=False,
        env=dict(os.environ, ZENOR9_JOURNAL=os.path.join(folder, 'journal.jsonl'),
                 ZENOR9_COM1='/nonexistent'))
    return json.loads(run.stdout)


def test_only_the_trusted_pair_reaches_the_register(secure_line):
    line, ports, folder = secure_line
    for refused in ('no-certificate', 'unknown-certificate', 'false-server'):
        report = read(ports[refused], folder)
        assert (report['ok'], report.get('error')) == (False, 'port-unavailable'), refused
    with open(line.trace_file, encoding='utf-8') as trace:
        assert '->' not in trace.read()
    report = read(ports['trusted'], folder)
    assert (report['ok'], report.get('prefix')) == (True, '24'), report
