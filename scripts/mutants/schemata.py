#!/usr/bin/env python3
"""Writes every mutant of src/**/*.cpp into the code at once, each behind a
run-time switch (HLX_MUTANT=id), so that one build serves them all.
MUTANTS_DIRS (default src) names the folders to mutate, comma-separated:
src,sim,tools takes in the simulator and the container tool too.

Mutants: a negated if condition (IFNEG), a moved boundary of an ordering
comparison (RELOP), a deleted statement (STMT) and a flipped boolean return
(RETBOOL). Line numbers stay as they were, so compiler errors point at the
mutant that broke the build, which `disable` then switches off for good."""
import json, os, re, sys, glob, shutil

WORK = os.environ.get('MUTANTS_WORK', '/tmp/hlx-mutants')
ROOT = WORK + '/tree'
ORIG = WORK + '/orig'
SITES = WORK + '/sites.json'
DISABLED = WORK + '/disabled.json'
DIRS = os.environ.get('MUTANTS_DIRS', 'src').split(',')

KEYWORDS = {'if', 'for', 'while', 'switch', 'return', 'case', 'default', 'break', 'continue', 'goto',
            'delete', 'const', 'static', 'constexpr', 'auto', 'using', 'typedef', 'namespace', 'else',
            'do', 'throw', 'try', 'catch', 'struct', 'class', 'enum', 'template', 'public', 'private',
            'protected', 'Q_OBJECT', 'new', 'sizeof', 'static_assert', 'friend', 'explicit', 'inline',
            'virtual', 'override', 'signals', 'slots', 'Q_UNUSED', 'Q_ASSERT', 'qDebug', 'qWarning'}

def code_mask(t):
    """True where the character is code (not in a comment, string or char literal)."""
    m = [True] * len(t)
    i, n = 0, len(t)
    while i < n:
        c = t[i]
        if t.startswith('//', i):
            j = t.find('\n', i)
            j = n if j < 0 else j
            for k in range(i, j): m[k] = False
            i = j
        elif t.startswith('/*', i):
            j = t.find('*/', i + 2)
            j = n if j < 0 else j + 2
            for k in range(i, j): m[k] = False
            i = j
        elif c == 'R' and t.startswith('R"', i) and (i == 0 or not (t[i-1].isalnum() or t[i-1] == '_')):
            d = t.find('(', i)
            delim = t[i+2:d]
            j = t.find(')' + delim + '"', d)
            j = n if j < 0 else j + len(delim) + 2
            for k in range(i, j): m[k] = False
            i = j
        elif c == '"' or (c == "'" and (i == 0 or not t[i-1].isalnum() or (t[i-1] in 'uUL8' and (i < 2 or not t[i-2].isalnum() or t[i-2:i] == 'u8')))):
            q = c
            j = i + 1
            while j < n and t[j] != q:
                if t[j] == '\\': j += 1
                j += 1
            j += 1
            for k in range(i, min(j, n)): m[k] = False
            i = j
        else:
            i += 1
    return m

def match_paren(t, m, i):
    d = 0
    for j in range(i, len(t)):
        if not m[j]: continue
        if t[j] in '([{': d += 1
        elif t[j] in ')]}':
            d -= 1
            if d == 0: return j
    return -1

def top_level(cond, cm):
    """Yields (index, char) at paren depth 0 of cond that are code."""
    d = 0
    for i, c in enumerate(cond):
        if not cm[i]: continue
        if c in '([{': d += 1
        elif c in ')]}': d -= 1
        elif d == 0: yield i, c

def relop(cond, cm):
    ops = []
    s = ''.join(c if cm[i] else ' ' for i, c in enumerate(cond))
    d = 0
    i = 0
    while i < len(s):
        c = s[i]
        if c in '([{': d += 1
        elif c in ')]}': d -= 1
        elif d == 0:
            two = s[i:i+2]
            if two in ('&&', '||') or c == '?': return None
            if two in ('<<', '>>', '->') or s[i:i+3] == '<=>':
                if two == '->': i += 2; continue
                return None
            if two in ('<=', '>='):
                ops.append((i, two)); i += 2; continue
            if two in ('==', '!='): i += 2; continue
            if c in '<>':
                ops.append((i, c))
        i += 1
    if len(ops) != 1: return None
    return ops[0]

FLIP = {'<': '<=', '<=': '<', '>': '>=', '>=': '>'}
STMT_RE = re.compile(r'^(\s*)((?:emit\s+)?[A-Za-z_]\w*(?:::[A-Za-z_]\w*)*(?:\s*(?:\.|->)\s*[A-Za-z_]\w*(?:\(\))?|\[[^\]]*\])*)\s*(\(|=(?!=)|\+=|-=|\*=|/=|\|=|&=|\^=|<<=|>>=|\+\+|--)')
PRE_RE = re.compile(r'^(\s*)(\+\+|--)\s*[A-Za-z_]')

def find_sites(t):
    m = code_mask(t)
    sites = []  # (start, end, kind, payload)
    for mo in re.finditer(r'\bif\b', t):
        i = mo.start()
        if not m[i]: continue
        j = i + 2
        while j < len(t) and t[j].isspace(): j += 1
        if t.startswith('constexpr', j) or j >= len(t) or t[j] != '(': continue
        k = match_paren(t, m, j)
        if k < 0: continue
        cond = t[j+1:k]
        cm = m[j+1:k]
        bad = False
        for x, c in top_level(cond, cm):
            if c == ';': bad = True
            if c == '=' and cond[x-1:x] not in ('=', '!', '<', '>') and cond[x+1:x+2] != '=': bad = True
        if bad or '[' in cond and ']' in cond and '{' in cond: continue
        sites.append((j + 1, k, 'IFNEG', None))
        r = relop(cond, cm)
        if r: sites.append((j + 1, k, 'RELOP', r))
    # statements and boolean returns, line by line
    lines = t.split('\n')
    off = 0
    prev = ''
    for ln in lines:
        s = ln.strip()
        lm = m[off:off+len(ln)]
        codepart = ''.join(c for c, k in zip(ln, lm) if k).strip()
        ok_prev = prev.endswith((';', '{', '}', ':')) and not prev.endswith('::')
        if codepart == s and s.endswith(';') and ok_prev and not ln.rstrip().endswith('\\'):
            if s in ('return true;', 'return false;'):
                a = off + ln.index('return')
                sites.append((a, off + len(ln.rstrip()), 'RETBOOL', s))
            else:
                mo = STMT_RE.match(ln) or PRE_RE.match(ln)
                first = re.match(r'\s*(?:emit\s+)?([A-Za-z_]\w*)', ln)
                if mo and first and first.group(1) not in KEYWORDS:
                    # balanced parens and braces on the line
                    if ln.count('(') == ln.count(')') and ln.count('{') == ln.count('}'):
                        a = off + len(ln) - len(ln.lstrip())
                        sites.append((a, off + len(ln.rstrip()), 'STMT', s))
        if codepart:
            prev = codepart
        off += len(ln) + 1
    return sites

def render(t, sites, ids):
    """sites: list of (start,end,kind,payload); ids parallel. Applies nested-safe rewrites."""
    # group cond sites by span
    bysp = {}
    for (a, b, k, p), i in zip(sites, ids):
        bysp.setdefault((a, b), []).append((k, p, i))
    spans = sorted(bysp, key=lambda s: (s[0], -s[1]))
    # drop spans nested in another span
    keep = []
    last_end = -1
    for sp in spans:
        if sp[0] < last_end: continue
        keep.append(sp)
        last_end = sp[1]
    out = []
    pos = 0
    for a, b in keep:
        out.append(t[pos:a])
        seg = t[a:b]
        kinds = {k: (p, i) for k, p, i in bysp[(a, b)]}
        if 'STMT' in kinds:
            seg = 'if (!hlxmut::On(%d)) { %s }' % (kinds['STMT'][1], seg)
        elif 'RETBOOL' in kinds:
            p, i = kinds['RETBOOL']
            seg = ('return !hlxmut::On(%d);' if p == 'return true;' else 'return hlxmut::On(%d);') % i
        else:
            cond = seg
            if 'RELOP' in kinds:
                (x, op), i = kinds['RELOP']
                A, B = cond[:x], cond[x+len(op):]
                cond = 'hlxmut::On(%d) ? static_cast<bool>(%s %s %s) : static_cast<bool>(%s)' % (i, A, FLIP[op], B, seg)
            if 'IFNEG' in kinds:
                cond = 'hlxmut::Neg(%d, static_cast<bool>(%s))' % (kinds['IFNEG'][1], cond)
            seg = cond
        out.append(seg)
        pos = b
    out.append(t[pos:])
    return ''.join(out)

def line_of(t, i): return t.count('\n', 0, i) + 1

def main():
    cmd = sys.argv[1]
    files = sorted(f for d in DIRS for f in glob.glob(ROOT + '/' + d + '/**/*.cpp', recursive=True))
    if cmd == 'init':
        if os.path.exists(ORIG): shutil.rmtree(ORIG)
        allsites = []
        nid = 0
        for f in files:
            rel = os.path.relpath(f, ROOT)
            os.makedirs(os.path.dirname(os.path.join(ORIG, rel)), exist_ok=True)
            shutil.copy(f, os.path.join(ORIG, rel))
            t = open(f).read()
            for a, b, k, p in find_sites(t):
                # Negating the test-installed restart would start the test program
                # itself again, and again: a fork bomb, not a fault to look for.
                if k == 'IFNEG' and 'InstalledRestart()' in t[a:b]:
                    continue
                allsites.append(dict(id=nid, file=rel, start=a, end=b, kind=k, payload=p,
                                     line=line_of(t, a), endline=line_of(t, b),
                                     text=t[a:b][:160]))
                nid += 1
        json.dump(allsites, open(SITES, 'w'), indent=0)
        json.dump([], open(DISABLED, 'w'))
        print(len(allsites), 'sites')
        cmd = 'apply'
    if cmd == 'apply':
        allsites = json.load(open(SITES))
        disabled = set(json.load(open(DISABLED)))
        for f in files:
            rel = os.path.relpath(f, ROOT)
            t = open(os.path.join(ORIG, rel)).read()
            ss = [s for s in allsites if s['file'] == rel and s['id'] not in disabled]
            sites = [(s['start'], s['end'], s['kind'], tuple(s['payload']) if isinstance(s['payload'], list) else s['payload']) for s in ss]
            out = render(t, sites, [s['id'] for s in ss])
            if not os.path.exists(f) or open(f).read() != out:  # unchanged files are not rebuilt
                open(f, 'w').write(out)
    if cmd == 'disable':
        # reads compiler errors on stdin: file:line
        allsites = json.load(open(SITES))
        disabled = set(json.load(open(DISABLED)))
        errs = set()
        for ln in sys.stdin:
            mo = re.match(r'^(?:.*/tree/)?((?:%s)/[^:]+\.cpp):(\d+):\d+: error' % '|'.join(DIRS), ln)
            if mo: errs.add((mo.group(1), int(mo.group(2))))
        n0 = len(disabled)
        files = {}
        for rel, l in errs:
            files.setdefault(rel, []).append(l)
        for rel, ls in files.items():
            mapped = [s for s in allsites if s['file'] == rel and any(s['line'] <= l <= s['endline'] for l in ls)]
            if not mapped:
                mapped = [s for s in allsites if s['file'] == rel and s['kind'] == 'STMT' and any(l - 40 <= s['line'] <= l for l in ls)]
            if not mapped:
                mapped = [s for s in allsites if s['file'] == rel]
            for s in mapped: disabled.add(s['id'])
        json.dump(sorted(disabled), open(DISABLED, 'w'))
        print('disabled', len(disabled) - n0, 'now', len(disabled), 'errors at', len(errs))

main()
