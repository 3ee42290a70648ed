"""The secure line recipe of docs/fleet.md: ser2net's TLS accepter demanding a
client certificate, stunnel on the controller as the TLS client that checks
the server's certificate and shows its own, zenor9 on stunnel's local port."""
import os
import subprocess

from ansible_run import Controller, zenor9_binary
from virtual_lines import LIFETIME_S, Line, accepts, free_port, wait_until


def certificate(folder, name, common_name):
    subprocess.run(['openssl', 'req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-days', '2',
                    '-subj', '/CN=' + common_name, '-addext', 'subjectAltName=IP:127.0.0.1',
                    '-keyout', os.path.join(folder, name + '.key'),
                    '-out', os.path.join(folder, name + '.crt')],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return os.path.join(folder, name)


def start(folder, name, command):
    """A server under `timeout`, with its configuration written to folder/name."""
    with open(os.path.join(folder, name), 'w', encoding='utf-8') as out:
        out.write(command.pop())
    return subprocess.Popen(['timeout', str(LIFETIME_S)] + command + [os.path.join(folder, name)],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def test_only_the_trusted_pair_reaches_the_register(tmp_path):
    folder = str(tmp_path)
    server = certificate(folder, 'server', '127.0.0.1')
    controller = certificate(folder, 'controller', 'zenor9-controller')
    # The same common name, but not the certificate ser2net was given.
    stranger = certificate(folder, 'stranger', 'zenor9-controller')
    allowed = os.path.join(folder, 'auth', 'zenor9-controller', 'allowed_certs')
    os.makedirs(allowed)
    os.symlink(controller + '.crt', os.path.join(allowed, 'controller.crt'))
    subprocess.run(['openssl', 'rehash', allowed], check=True)
    line = Line('secure', '3', '24').start(zenor9_binary(), folder)
    tls, local = free_port(), {}
    servers = [start(folder, 'ser2net.yaml', ['ser2net', '-n', '-u', '-c', (
        '%%YAML 1.1\n---\nconnection: &secure\n  accepter: telnet(rfc2217),'
        'ssl(key=%s.key,cert=%s.crt,clientauth),tcp(nodelay),127.0.0.1,%d\n'
        '  connector: serialdev,%s,9600n81,local\n  options:\n    chardelay: false\n'
        '    mdns: false\n    authdir: %s/auth\n' % (server, server, tls, line.port, folder))])]
    services = ['foreground = yes', 'pid =']
    for name, trusted, client in (('trusted', server, controller), ('no-certificate', server, None),
                                  ('unknown', server, stranger), ('false-server', stranger,
                                                                  controller)):
        local[name] = free_port()
        services += ['[%s]' % name, 'client = yes', 'accept = 127.0.0.1:%d' % local[name],
                     'connect = 127.0.0.1:%d' % tls, 'CAfile = %s.crt' % trusted,
                     'verifyPeer = yes', 'checkIP = 127.0.0.1']
        services += ['cert = %s.crt' % client, 'key = %s.key' % client] if client else []
    try:
        wait_until(lambda: accepts(tls), 'ser2net with TLS')
        servers.append(start(folder, 'stunnel.conf', ['stunnel', '\n'.join(services) + '\n']))
        wait_until(lambda: all(accepts(port) for port in local.values()), 'stunnel')
        zenor9 = Controller(os.path.join(folder, 'controller')).zenor9

        def read(through):
            return zenor9('--port', 'rfc2217://127.0.0.1:%d' % local[through], '--net', '3', 'read')
        refused = [read(name) for name in ('no-certificate', 'unknown', 'false-server')]
        assert [(one['ok'], one['error']) for one in refused] == [(False, 'port-unavailable')] * 3
        with open(line.trace_file, encoding='utf-8') as trace:
            assert '->' not in trace.read()
        trusted = read('trusted')
        assert (trusted['ok'], trusted['prefix']) == (True, '24'), trusted
    finally:
        for process in servers:
            process.terminate()
            process.wait(10)
        line.stop()
