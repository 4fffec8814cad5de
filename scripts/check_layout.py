#!/usr/bin/env python3
"""Checks the source tree's size rules: files of at most MAX_FILE lines, functions of at
most MAX_FUNCTION lines (a function is a top-level brace block opened at the end of a
line that starts at column 0 and closed by a '}' at column 0, as the tree's format puts
them). Prints each breach; exits 1 if there is one."""
import os
import re
import sys

MAX_FILE = 900
MAX_FUNCTION = 150

def blocks(lines):
    start = None
    for i, line in enumerate(lines):
        if start is None:
            if (line and not line[0].isspace() and line.rstrip().endswith('{')
                    and not re.match(r'(namespace|extern|struct|class|union|enum)\b', line)
                    and not re.match(r'(template<.*>\s*)?(struct|class|union|enum)\b', line)
                    and '=' not in line.split('(')[0]):
                start = i
        elif line.startswith('}'):
            yield start, i
            start = None

def main(root):
    breaches = []
    for base, _, files in os.walk(os.path.join(root, 'src')):
        for name in sorted(files):
            if not name.endswith(('.cpp', '.h')):
                continue
            path = os.path.join(base, name)
            with open(path, encoding='utf-8') as f:
                lines = f.read().split('\n')
            rel = os.path.relpath(path, root)
            if len(lines) > MAX_FILE:
                breaches.append(f'{rel}: {len(lines)} lines (at most {MAX_FILE})')
            for a, b in blocks(lines):
                if b - a + 1 > MAX_FUNCTION:
                    breaches.append(f'{rel}:{a + 1}: function of {b - a + 1} lines '
                                    f'(at most {MAX_FUNCTION}): {lines[a].strip()[:60]}')
    for b in breaches:
        print(b)
    return 1 if breaches else 0

if __name__ == '__main__':
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
