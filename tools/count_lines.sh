#!/bin/sh
# Counts C/C++ lines that are neither blank nor comment-only, tests against code,
# so the test share can be kept near a quarter to a third of the code.
# Usage: tools/count_lines.sh [-v]   (-v lists the test files, largest first)
cd "$(dirname "$0")/.." || exit 1
python3 - "$@" <<'PY'
import os, re, sys
EXT = ('.c', '.cc', '.cpp', '.cxx', '.h', '.hh', '.hpp')
TESTS = ['tests', 'zentrix/tests']
CODE = ['src', 'zentrix/src', 'zentrix/include', 'tools', 'bench']

def count(path):
    n, in_block = 0, False
    with open(path, encoding='utf-8', errors='replace') as f:
        for line in f:
            s, out, i = line, '', 0
            # Strip comments but keep string literals intact enough to not mistake "//" inside them.
            while i < len(s):
                if in_block:
                    j = s.find('*/', i)
                    if j < 0:
                        i = len(s)
                    else:
                        in_block, i = False, j + 2
                    continue
                c = s[i]
                if c == '"' or c == "'":
                    j = i + 1
                    while j < len(s) and s[j] != c:
                        j += 2 if s[j] == '\\' else 1
                    out += s[i:j + 1]
                    i = j + 1
                elif s.startswith('//', i):
                    break
                elif s.startswith('/*', i):
                    in_block, i = True, i + 2
                else:
                    out += c
                    i += 1
            if out.strip():
                n += 1
    return n

def walk(roots):
    files = {}
    for r in roots:
        for d, _, names in os.walk(r):
            if '/build' in d or d.startswith('build'):
                continue
            for name in names:
                if name.endswith(EXT):
                    p = os.path.join(d, name)
                    files[p] = count(p)
    return files

t, c = walk(TESTS), walk(CODE)
st, sc = sum(t.values()), sum(c.values())
if '-v' in sys.argv:
    for p, n in sorted(t.items(), key=lambda x: -x[1]):
        print(f'{n:6d}  {p}')
print(f'tests {st}  code {sc}  share {100.0 * st / sc:.1f} %')
PY
