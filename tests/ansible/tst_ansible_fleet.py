#!/usr/bin/env python3
"""The kovrim.readers collection as an operator runs it: ansible-playbook with
a local connection against eight simulated readers, three of which differ
from the site's file and one of which refuses a write (another refuses a
blacklist entry, another's clock is off).

    tst_ansible_fleet.py BUILD_DIR SOURCE_DIR

Exit 77 (skipped) when ansible-playbook is not installed."""
import csv
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

BUILD, SOURCE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
HERE = os.path.dirname(os.path.abspath(__file__))
SIM = os.path.join(BUILD, 'sim', 'kovrim-reader-sim')
CLI = os.path.join(BUILD, 'cli', 'kovrim-cli')
PLAYBOOKS = os.path.join(SOURCE, 'ansible')
# Ansible sees this collection and ansible-core alone, as where only the
# ansible-core package is installed.
ENV = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=os.path.join(SOURCE, 'ansible', 'collections'),
           ANSIBLE_COLLECTIONS_SCAN_SYS_PATH='false')
READERS = ['lecteur-%d' % n for n in range(1, 9)]
TASK = 'Configuration du site'
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print('ECHEC : ' + what, flush=True)


class Sim:
    """One simulated reader, its control lines on standard input, its
    replies and notices (every parameter it receives) read back."""

    def __init__(self, link):
        self.link = link
        self.proc = subprocess.Popen([SIM, '--link', link], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, text=True, bufsize=1)
        self.lines = []
        self.cond = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()
        self.wait_for(lambda line: line.startswith('Lien :'))

    def _read(self):
        for line in self.proc.stdout:
            with self.cond:
                self.lines.append(line.rstrip('\n'))
                self.cond.notify_all()

    def wait_for(self, match, start=0, timeout=10):
        with self.cond:
            deadline = time.monotonic() + timeout
            while True:
                for line in self.lines[start:]:
                    if match(line):
                        return line
                left = deadline - time.monotonic()
                if left <= 0:
                    raise RuntimeError('%s : pas de réponse du simulateur' % self.link)
                self.cond.wait(left)

    def control(self, line, reply):
        start = len(self.lines)
        self.proc.stdin.write(line + '\n')
        self.proc.stdin.flush()
        return self.wait_for(lambda text: text.startswith(reply), start)

    def param(self, identifier):
        """"ID = value", with "(en attente ...)" while a write is uncommitted."""
        return self.control('param ' + identifier, identifier + ' = ')

    def received(self):
        with self.cond:
            return [line for line in self.lines if line.startswith('Paramètre reçu')]

    def stop(self):
        if self.proc.poll() is None:
            self.proc.stdin.close()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()


def write(path, text):
    with open(path, 'w', encoding='utf-8') as f:
        f.write(text)


def playbook(work, name, *options):
    """(exit status, {host: {task name: result}}) of one ansible-playbook run."""
    results_file = os.path.join(work, 'results.json')
    if os.path.exists(results_file):
        os.remove(results_file)
    env = dict(ENV, ANSIBLE_CALLBACK_PLUGINS=os.path.join(HERE, 'callback_plugins'),
               ANSIBLE_CALLBACKS_ENABLED='kovrim_results', KOVRIM_RESULTS=results_file,
               ANSIBLE_FORKS='8', ANSIBLE_NOCOLOR='1',
               ANSIBLE_LOCAL_TEMP=os.path.join(work, 'ansible-local'),
               ANSIBLE_REMOTE_TEMP=os.path.join(work, 'ansible-remote'),
               ANSIBLE_RETRY_FILES_ENABLED='0', ANSIBLE_PIPELINING='1')
    began = time.monotonic()
    run = subprocess.run(['ansible-playbook', '-i', os.path.join(work, 'inventory.json'),
                          os.path.join(PLAYBOOKS, name)] + list(options),
                         env=env, capture_output=True, text=True, timeout=180)
    print('%s %s : %.1f s' % (name, ' '.join(options), time.monotonic() - began), flush=True)
    try:
        with open(results_file, encoding='utf-8') as f:
            return run.returncode, json.load(f)
    except (OSError, ValueError):
        print(run.stdout, run.stderr, sep='\n')
        raise


def summary(results, task=TASK):
    changed = {h for h, r in results.items() if task in r and r[task].get('changed')}
    failed = {h for h, r in results.items() if task in r and r[task].get('failed')}
    return changed, failed


def inventory(work, links):
    site_file = os.path.join(work, 'site.txt')
    # The sites' file fixes three parameters, and names an identifier that
    # must never be copied into a reader.
    write(site_file, '3.0.1=Laverie du Port\n3.0.2=7777\n10.1=5000\n3.4.0=0\n')
    readers = {name: {'kovrim_port': links[name]} for name in READERS}
    return {'all': {
        'hosts': {'localhost': {'ansible_connection': 'local',
                                'ansible_python_interpreter': '{{ ansible_playbook_python }}'}},
        'children': {'lecteurs': {
            'vars': {'kovrim_pc': 'localhost', 'kovrim_cli': CLI,
                     'kovrim_backup_dir': os.path.join(work, 'sauvegardes'),
                     'kovrim_config_file': site_file,
                     'kovrim_blacklist_file': os.path.join(PLAYBOOKS, 'files', 'listenoire.csv')},
            'children': {
                'site_nord': {'hosts': {n: readers[n] for n in READERS[:4]}},
                'site_sud': {'hosts': {n: readers[n] for n in READERS[4:]}},
            }}}}}


def ids(result):
    return sorted(d['id'] for d in result.get('differences', []))


def test_config(sims, work):
    expected = {'lecteur-3': ['10.1'], 'lecteur-6': ['3.0.1', '3.4.0'], 'lecteur-8': ['10.1', '3.0.1']}

    # One batch where rolling is not what is looked at.
    rc, results = playbook(work, 'site-config.yml', '--check', '--diff', '-e', 'kovrim_serial=8')
    changed, failed = summary(results)
    check(rc == 0 and not failed, 'check : code %d, échecs %s' % (
        rc, [results[h][TASK].get('msg') for h in sorted(failed)]))
    check(changed == set(expected), 'check : lecteurs à changer %s' % sorted(changed))
    for host, wanted in expected.items():
        result = results.get(host, {}).get(TASK, {})
        check(ids(result) == wanted, 'check : %s paramètres %s' % (host, ids(result)))
        diff = result.get('diff', {})
        check(all(i + '=' in diff.get('after', '') for i in wanted), 'check : diff de %s : %s' % (host, diff))
    check(all(not sim.received() for sim in sims.values()), 'check : un lecteur a reçu une écriture')

    # Two batches of four: the refusing reader is in the last one.
    rc, results = playbook(work, 'site-config.yml', '-e', 'kovrim_serial=4')
    changed, failed = summary(results)
    check(rc == 2, 'écriture : code %d' % rc)
    check(changed == {'lecteur-3', 'lecteur-6'}, 'écriture : lecteurs changés %s' % sorted(changed))
    check(failed == {'lecteur-8'}, 'écriture : lecteurs en échec %s' % sorted(failed))
    check(set(results) == set(READERS), 'écriture : lecteurs traités %s' % sorted(results))
    refused = results.get('lecteur-8', {}).get(TASK, {})
    check(refused.get('partial') == [] and '10.1' in refused.get('msg', ''),
          'écriture : échec de lecteur-8 : %s' % refused.get('msg'))
    for host in expected:
        if host != 'lecteur-8':
            written = results.get(host, {}).get(TASK, {}).get('written')
            check(sorted(written or []) == expected[host], 'écriture : %s a écrit %s' % (host, written))
    for name, sim in sims.items():
        check(bool(sim.received()) == (name in expected), 'écriture : %s a reçu %s' % (name, sim.received()))
    # What each reader holds, stored: the file's values, or its own for the one that refused.
    check(sims['lecteur-3'].param('10.1') == '10.1 = 5000', 'lecteur-3 : ' + sims['lecteur-3'].param('10.1'))
    check(sims['lecteur-6'].param('3.0.1') == '3.0.1 = Laverie du Port', 'lecteur-6 : 3.0.1')
    check(sims['lecteur-8'].param('3.0.1') == '3.0.1 = Ailleurs', 'lecteur-8 remis : '
          + sims['lecteur-8'].param('3.0.1'))
    check(sims['lecteur-8'].param('10.1') == '10.1 = 4000', 'lecteur-8 : 10.1')
    check(all(sim.param('3.0.2') == '3.0.2 = 1001' for sim in sims.values()), 'identifiant copié')

    rc, results = playbook(work, 'site-config.yml', '-e', 'kovrim_serial=8')
    changed, failed = summary(results)
    check(not changed, 'deuxième passage : lecteurs changés %s' % sorted(changed))
    check(failed == {'lecteur-8'}, 'deuxième passage : échecs %s' % sorted(failed))


def test_clock_and_blacklist(sims, work):
    # Both playbooks in one run: Ansible's start-up is paid once.
    rc, results = playbook(work, 'clock.yml', os.path.join(PLAYBOOKS, 'nightly-blacklist.yml'))
    changed, failed = summary(results, 'Horloge')
    check(changed == {'lecteur-2'} and not failed, 'horloge : %s %s' % (sorted(changed), sorted(failed)))
    drift = results.get('lecteur-2', {}).get('Horloge', {}).get('drift_minutes')
    check(drift in (9, 10, 11), 'horloge : écart lu %s' % drift)
    changed, failed = summary(results, 'Liste noire')
    check(changed == set(READERS) - {'lecteur-5', 'lecteur-7'} and failed == {'lecteur-7'},
          'liste noire : %s %s' % (sorted(changed), sorted(failed)))
    # The reader that refused an entry still holds its own (empty) list, and says so.
    refused = results.get('lecteur-7', {}).get('Liste noire', {})
    check("liste d'origine" in refused.get('msg', ''), 'liste noire refusée : %s' % refused.get('msg'))
    added = results.get('lecteur-1', {}).get('Liste noire', {}).get('added', [])
    check([row.get('uid') for row in added] == ['04A1B2C3', '04FFEE01'], 'liste noire : ajoutées %s' % added)


def test_report(sims, work):
    # A reader unplugged for good: the report names it, the others are read.
    sims['lecteur-7'].stop()
    report = os.path.join(work, 'parc.csv')
    rc, results = playbook(work, 'fleet-report.yml', '-e', 'kovrim_report=' + report)
    check(rc == 0, 'rapport : code %d' % rc)
    with open(report, encoding='utf-8') as f:
        rows = list(csv.reader(f, delimiter=';'))
    check(rows[0] == ['Lecteur', 'Site', 'Firmware', 'Ecart horloge (min)', 'Paramètres différents',
                      'Liste noire', 'Echecs'], 'rapport : en-tête %s' % rows[0])
    body = {row[0]: row for row in rows[1:]}
    check(sorted(body) == READERS, 'rapport : lignes %s' % sorted(body))
    for name in READERS:
        row = body.get(name, [''] * 7)
        if name == 'lecteur-7':
            check(row[1:6] == [''] * 5 and 'info' in row[6] and 'configuration' in row[6],
                  'rapport : lecteur absent %s' % row)
            continue
        # The clock is read to the minute: a minute may turn between reader and PC.
        wanted = ['1204', '1.13', '2' if name == 'lecteur-8' else '0', '2', '']
        check([row[1], row[2], row[4], row[5], row[6]] == wanted and row[3] in ('-1', '0', '1'),
              'rapport : %s' % row)


def test_cli_contract(work):
    """What a kovrim-cli that puts the reader back itself reports, the
    module reports: no restore of its own, `partial` as named."""
    log = os.path.join(work, 'fake-cli.log')
    os.environ['FAKE_CLI_LOG'] = ENV['FAKE_CLI_LOG'] = log
    rc, results = playbook(work, os.path.join(HERE, 'contract.yml'), '-e', 'fake=' + os.path.join(
        HERE, 'fake_kovrim_cli.py'), '-e', 'site=' + os.path.join(work, 'site.txt'))
    tasks = results.get('localhost', {})
    partial = tasks.get('partiel', {})
    check(partial.get('failed') and partial.get('changed') and partial.get('partial') == ['3.0.1']
          and '3.0.1' in partial.get('msg', ''), 'contrat, partiel : %s' % partial)
    restored = tasks.get('remis', {})
    check(restored.get('failed') and not restored.get('changed') and restored.get('partial') == []
          and "état d'origine" in restored.get('msg', ''), 'contrat, remis : %s' % restored)
    identity = tasks.get('identite', {})
    check(not identity.get('failed') and identity.get('changed') and ids(identity) == ['3.0.2'],
          'contrat, identité : %s' % identity)
    with open(log, encoding='utf-8') as f:
        calls = f.read().splitlines()
    check(len(calls) == 6 and calls[-1].endswith('--include-identity'), 'contrat : appels %s' % calls)


def test_docs():
    env = ENV
    modules = ['kovrim.readers.' + m for m in ('config', 'blacklist', 'clock', 'info')]
    run = subprocess.run(['ansible-doc'] + modules, env=env, capture_output=True, text=True, timeout=60)
    check(run.returncode == 0 and not run.stderr.strip(), 'ansible-doc : %d %s' % (run.returncode, run.stderr))
    for module in modules:
        check('> %s ' % module.upper() in run.stdout, 'ansible-doc : %s absent' % module)
    check(run.stdout.count('RETURN VALUES:') == 4, 'ansible-doc : valeurs rendues')


def main():
    if not shutil.which('ansible-playbook'):
        print('ansible-playbook absent (paquet ansible-core) : test sauté')
        return 77
    work = tempfile.mkdtemp(prefix='tst_ansible_fleet-')
    sims = {}
    try:
        for name in READERS:
            sims[name] = Sim(os.path.join(work, name))
        sims['lecteur-3'].control('param 10.1 4000', '10.1')
        sims['lecteur-6'].control('param 3.0.1 Ailleurs', '3.0.1')
        sims['lecteur-6'].control('param 3.4.0 1', '3.4.0')
        sims['lecteur-8'].control('param 3.0.1 Ailleurs', '3.0.1')
        sims['lecteur-8'].control('param 10.1 4000', '10.1')
        sims['lecteur-8'].control('param refuse put 10.1', 'Écritures de 10.1')
        sims['lecteur-2'].control('param horloge 10', 'Horloge')
        sims['lecteur-7'].control('next refuse FA', 'Prochaine commande')
        for entry in ('Cda=260305;UID=04A1B2C3;Usr=1001;Grp=2', 'Cda=251117;UID=04FFEE01;Usr=1002;Grp=1'):
            sims['lecteur-5'].control('liste ajoute ' + entry, '')
        write(os.path.join(work, 'inventory.json'),
              json.dumps(inventory(work, {name: sim.link for name, sim in sims.items()})))
        start = time.monotonic()
        test_docs()
        test_cli_contract(work)
        test_config(sims, work)
        test_clock_and_blacklist(sims, work)
        test_report(sims, work)
        print('%.1f s' % (time.monotonic() - start))
    finally:
        for sim in sims.values():
            sim.stop()
        if not failures:
            shutil.rmtree(work, ignore_errors=True)
    if failures:
        print('%d échec(s) ; dossier gardé : %s' % (len(failures), work))
        return 1
    print('OK')
    return 0


if __name__ == '__main__':
    sys.exit(main())
