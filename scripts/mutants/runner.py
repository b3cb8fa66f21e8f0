#!/usr/bin/env python3
"""Runs the tests against the mutants that schemata.py built in.

  reach            runs every test function alone and records which mutants it reaches
  kills PREFIX     runs the functions of the tests named PREFIX* (for example
                   unit_, or BINARY::FUNCTION; several separated by commas)
                   against every mutant they reach: which rows fail
  witness PREFIX   for each mutant that PREFIX* killed, looks for another test
                   (the cheapest first) that kills it too
  report PREFIX    per test function: what it kills, and what nothing but PREFIX* kills
  recheck PREFIX   after the tests PREFIX* were cut: every mutant that only
                   they killed must still be killed
  sift PREFIX      the faster way for slow tests: for each mutant PREFIX*
                   reach, up to three cheap other tests first (a mutant they
                   kill twice is settled), then PREFIX*, then a wider search
                   for another test that kills what PREFIX* killed
  lost PREFIX CUT  from sift's results: what cutting the functions CUT (a
                   comma list like PREFIX) would lose, per function and jointly

Every run is one process in its own network and PID namespace (so the tests'
fixed UDP port never collides with the other worker's, and nothing it starts
outlives it) as the unprivileged test user, with a time limit and a process
limit: a mutant that loops or restarts the program ends as a kill, never as a hang.
"""
import glob, hashlib, json, os, random, re, shutil, subprocess, sys, tempfile, time
from concurrent.futures import ThreadPoolExecutor

WORK = os.environ.get('MUTANTS_WORK', '/tmp/hlx-mutants')
BUILD = WORK + '/tree/build'
USER = os.environ.get('HLX_TEST_USER', 'hlx-test')
WORKERS = int(os.environ.get('JOBS', '2'))
SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), '../../tests'))
FAIL_RE = re.compile(r'^FAIL!\s*:\s*\w+::(\w+)\((.*?)\)')
ENTER_RE = re.compile(r'^INFO\s*:\s*\w+::(\w+)\((.*?)\) entering')


def bins():
    """The test programs of the build; one left behind by a test file cut since is none."""
    targets = open(BUILD + '/build.ninja').read()
    out = {}
    for p in glob.glob(BUILD + '/tests/*_tst_*'):
        name = os.path.basename(p)
        if os.path.isfile(p) and os.access(p, os.X_OK) and '.' not in name and '\nbuild tests/%s:' % name in targets:
            out[name] = p
    return out


def run(binp, args, env, timeout):
    home, rt = tempfile.mkdtemp(prefix='mutx'), tempfile.mkdtemp(prefix='muty')
    for d in (home, rt):
        shutil.chown(d, USER)
    envs = ['QT_QPA_PLATFORM=offscreen', 'HLX_SIM_PATH=' + BUILD + '/sim/hlx-sim', 'XDG_CONFIG_HOME=' + home,
            'XDG_RUNTIME_DIR=' + rt, 'HOME=' + home, 'PATH=' + os.environ['PATH']]
    envs += ['%s=%s' % kv for kv in env.items()]
    # The process limit counts every thread of the test user, in all parallel runs: it stops a
    # mutant that forks without end, not a busy run. (dash has no `ulimit -u`: bash runs this.)
    inner = 'ulimit -u 2000 && ip link set lo up && cd %s && exec runuser -u %s -- env -i %s timeout -k 3 %d %s %s' % (
        os.path.dirname(binp), USER, ' '.join(envs), timeout, binp, ' '.join(args))
    t0 = time.time()
    # A PID namespace too: a mutant may start the program detached (a restart),
    # and what it starts must end with the run instead of holding its output open.
    p = subprocess.run(['unshare', '-n', '-p', '-f', '--mount-proc', 'bash', '-c', inner],
                       capture_output=True, text=True, errors='replace')
    shutil.rmtree(home, ignore_errors=True)
    shutil.rmtree(rt, ignore_errors=True)
    return p.returncode, p.stdout + p.stderr, time.time() - t0


def run_functions(mutant, binp, functions, budget):
    """The rows that fail with the mutant on; a crash or time-out counts for the function it hit."""
    rc, out, _ = run(binp, ['-v1'] + functions, {'HLX_MUTANT': str(mutant)}, int(budget * 2 + 8))
    if 'Unknown test function' in out:  # a function cut since the reach pass is no witness
        return []
    fails, last = set(), None
    for ln in out.splitlines():
        m = FAIL_RE.match(ln)
        if m:
            fails.add((m.group(1), m.group(2)))
        m = ENTER_RE.match(ln)
        if m:
            last = m.group(1)
    if rc != 0 and not fails:
        fails.add((last or '?', 'CRASH%d' % rc))
    return [[os.path.basename(binp), f, row] for f, row in sorted(fails)]


def results(kind, prefix):
    """The file of `kind` (kills, witness) for `prefix`; a long list of functions is named by its hash."""
    name = prefix if len(prefix) <= 100 else prefix[:60] + '-' + hashlib.sha1(prefix.encode()).hexdigest()[:12]
    return '%s/%s_%s.jsonl' % (WORK, kind, name)


def programs(prefix):
    """The test-program part of each entry of `prefix` (a BINARY::FUNCTION entry names its program)."""
    return [p.split('::')[0] for p in prefix.split(',')]


def jsonl(path):
    return [json.loads(l) for l in open(path)] if os.path.exists(path) else []


def pool(fn, items, outf):
    done = {r['id'] for r in jsonl(outf)}
    items = [i for i in items if i not in done]
    print(len(items), 'to run', flush=True)
    with ThreadPoolExecutor(WORKERS) as ex, open(outf, 'a') as fo:
        for n, res in enumerate(ex.map(fn, items)):
            fo.write(json.dumps(res) + '\n')
            fo.flush()
            if n % 50 == 0:
                print(n, time.strftime('%H:%M:%S'), flush=True)


def reach(prefix='', outname='reach.json'):
    os.makedirs(WORK + '/trace', exist_ok=True)
    os.chmod(WORK + '/trace', 0o777)
    jobs = []
    for bn, b in sorted(bins().items()):
        if not any(bn.startswith(p) for p in programs(prefix)):
            continue
        _, out, _ = run(b, ['-functions'], {}, 30)
        jobs += [(bn, ln.strip()[:-2]) for ln in out.splitlines() if ln.strip().endswith('()')]

    def one(job):
        bn, f = job
        trace = '%s/trace/%s__%s' % (WORK, bn, f)
        if os.path.exists(trace):
            os.remove(trace)
        rc, out, dt = run(bins()[bn], [f], {'HLX_MUT_TRACE': trace}, 300)
        ids = sorted({int(x) for x in open(trace).read().split()}) if os.path.exists(trace) else []
        return dict(bin=bn, func=f, rc=rc, time=dt, reached=ids)

    with ThreadPoolExecutor(WORKERS) as ex:
        res = list(ex.map(one, jobs))
    json.dump(res, open(WORK + '/' + outname, 'w'))
    for r in res:
        if r['rc']:
            print('fails without a mutant:', r['bin'], r['func'])
    print(len(res), 'functions reach', len({i for r in res for i in r['reached']}), 'mutants')


def split(prefix, reach_file='reach.json'):
    disabled = set(json.load(open(WORK + '/disabled.json')))
    rs = [r for r in json.load(open(WORK + '/' + reach_file)) if r['rc'] == 0]
    mine, others = {}, {}
    for r in rs:
        chosen = any((r['bin'] + '::' + r['func']).startswith(p) for p in prefix.split(','))
        for i in r['reached']:
            if i not in disabled:
                (mine if chosen else others).setdefault(i, []).append(r)
    return mine, others


def failing_rows(mutant, reached, paths):
    """Runs the functions `reached` (reach entries) with the mutant on, one run per test program."""
    groups = {}
    for r in reached:
        groups.setdefault(r['bin'], []).append(r)
    k = []
    for bn, rs in sorted(groups.items()):
        k += run_functions(mutant, paths[bn], [r['func'] for r in rs], sum(r['time'] for r in rs))
    return k


def fails_twice(mutant, r, paths):
    """The rows of function `r` that fail with the mutant, if it fails on a second run too: a run
    slowed down by the other workers is no witness."""
    k = run_functions(mutant, paths[r['bin']], [r['func']], r['time'])
    return k if k and run_functions(mutant, paths[r['bin']], [r['func']], r['time']) else []


def kills(prefix):
    mine, _ = split(prefix)
    paths = bins()
    pool(lambda i: dict(id=i, kills=failing_rows(i, mine[i], paths)), sorted(mine), results('kills', prefix))


def witness(prefix):
    _, others = split(prefix)
    paths = bins()
    killed = [r['id'] for r in jsonl(results('kills', prefix)) if r['kills']]
    limit, tries = float(os.environ.get('WITNESS_MAX_SECONDS', '5')), int(os.environ.get('WITNESS_TRIES', '5'))

    def one(i):
        n = 0
        for r in sorted(others.get(i, []), key=lambda r: r['time']):
            if r['time'] > limit:
                continue
            n += 1
            if n > tries:
                break
            k = fails_twice(i, r, paths)
            if k:
                return dict(id=i, witness=k[0])
        return dict(id=i, witness=None)

    pool(one, killed, results('witness', prefix))


def only_killed_by(prefix):
    k = {r['id']: r['kills'] for r in jsonl(results('kills', prefix))}
    w = {r['id']: r['witness'] for r in jsonl(results('witness', prefix))}
    return k, {i: ks for i, ks in k.items() if ks and i in w and not w[i]}


def report(prefix):
    k, only = only_killed_by(prefix)
    per = {}
    for i, ks in k.items():
        for bn, f, row in ks:
            d = per.setdefault((bn, f), dict(kills=set(), only=set(), rows={}))
            d['kills'].add(i)
            if i in only:
                d['only'].add(i)
                d['rows'].setdefault(row, set()).add(i)
    print('mutants killed by %s*: %d, by nothing else found: %d' % (prefix, sum(1 for v in k.values() if v), len(only)))
    for (bn, f), d in sorted(per.items(), key=lambda kv: (len(kv[1]['only']), kv[0])):
        print('%-40s %-60s kills %3d  only here %3d  rows needed %s' % (
            bn, f, len(d['kills']), len(d['only']), sorted(d['rows'])[:6]))


def recheck(prefix):
    """Rebuilds the tests from the working copy, then runs the cut tests on what only they killed."""
    _, only = only_killed_by(prefix)
    shutil.rmtree(WORK + '/tree/tests')
    shutil.copytree(SOURCE, WORK + '/tree/tests')
    subprocess.run(['cmake', '--build', BUILD, '-j', str(WORKERS)], check=True, capture_output=True)
    # Whole test programs: a cut function's catches may have moved to a row kept beside it.
    whole = ','.join(programs(prefix))
    reach(whole, 'reach_after.json')
    mine, _ = split(whole, 'reach_after.json')
    paths = bins()

    with ThreadPoolExecutor(WORKERS) as ex:
        res = list(ex.map(lambda i: (i, bool(failing_rows(i, mine.get(i, []), paths))), sorted(only)))
    lost = [i for i, ok in res if not ok]
    print('killed only by %s* before: %d, still killed: %d, lost: %s' % (prefix, len(res), len(res) - len(lost), lost))
    return 1 if lost else 0


def sift(prefix):
    """Kills and witnesses in one pass, cheapest settlement first (see the module's notes)."""
    mine, others = split(prefix)
    paths = bins()
    cheap, wide = float(os.environ.get('SIFT_CHEAP_SECONDS', '1')), float(os.environ.get('SIFT_WIDE_SECONDS', '12'))
    tries = int(os.environ.get('SIFT_WIDE_TRIES', '4'))

    def one(i):
        cands = sorted((r for r in others.get(i, []) if r['bin'] in paths), key=lambda r: r['time'])
        first = [r for r in cands if r['time'] <= cheap][:3]
        for r in first:
            k = fails_twice(i, r, paths)
            if k:
                return dict(id=i, settled=k[0], kills=None, witness=None)
        k = failing_rows(i, mine[i], paths)
        if k:
            for r in [r for r in cands if r not in first and r['time'] <= wide][:tries]:
                w = fails_twice(i, r, paths)
                if w:
                    return dict(id=i, settled=None, kills=k, witness=w[0])
        return dict(id=i, settled=None, kills=k, witness=None)

    pool(one, sorted(mine), results('sift', prefix))


def lost(prefix, cut):
    """Mutants that only the functions `cut` kill, by sift's results: each alone, then all together."""
    killed = [r for r in jsonl(results('sift', prefix)) if r['kills']]
    names = sorted({bn + '::' + f for r in killed for bn, f, _ in r['kills']
                    if any((bn + '::' + f).startswith(c) for c in cut.split(','))})
    rows = [r for r in killed if not r['witness']]

    def gone(chosen):
        return [r['id'] for r in rows if all(bn + '::' + f in chosen for bn, f, _ in r['kills'])]
    for n in names:
        print('%-90s loses %d' % (n, len(gone({n}))))
    together = gone(set(names))
    print('all %d together lose %d: %s' % (len(names), len(together), together[:30]))
    return 1 if together else 0


if __name__ == '__main__':
    cmd, arg = sys.argv[1], (sys.argv[2] if len(sys.argv) > 2 else '')
    sys.exit({'reach': lambda: reach(), 'kills': lambda: kills(arg), 'witness': lambda: witness(arg),
              'report': lambda: report(arg), 'recheck': lambda: recheck(arg), 'sift': lambda: sift(arg),
              'lost': lambda: lost(arg, sys.argv[3])}[cmd]() or 0)
