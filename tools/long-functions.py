#!/usr/bin/env python3
"""Lists the C++ functions longer than N lines in the given folders.

Usage: tools/long-functions.py [-n 150] FOLDER...

Relies on the tree's formatting: a function defined at namespace level opens with "{" alone at
the start of a line and closes with "}" alone at the start of a line (clang-format does this).
Functions defined inside a class body and lambdas are counted as part of what holds them.
The length is the number of lines from the signature's first line to the closing brace.
A body made mostly of brace-initialised rows or string literals is marked "table".
"""

import argparse
import os
import re
import sys

SOURCE_SUFFIXES = ('.cpp', '.cc', '.cxx', '.h', '.hpp')
TABLE_ROW = re.compile(r'^\s*(\{|"|u"|QStringLiteral\(|QLatin1String\()')


def signature_start(lines, brace):
    """The first line of the signature that ends just before the opening brace at index brace."""
    start = brace
    while start > 0:
        previous = lines[start - 1]
        stripped = previous.strip()
        if (not stripped or stripped.startswith('//') or stripped.startswith('#')
                or stripped.endswith(';') or stripped == '}' or stripped.endswith('{')
                or stripped.startswith('namespace')):
            break
        start -= 1
    return start


def function_name(signature):
    text = ' '.join(part.strip() for part in signature)
    head = text.split('(', 1)[0]
    names = re.findall(r'[~\w:<>]+', head)
    return names[-1] if names else text[:60]


def is_table(body):
    rows = [line for line in body if line.strip()]
    if not rows:
        return False
    return sum(1 for line in rows if TABLE_ROW.match(line)) >= 0.6 * len(rows)


def scan(path, limit):
    with open(path, encoding='utf-8', errors='replace') as source:
        lines = source.read().split('\n')
    found = []
    index = 0
    while index < len(lines):
        if lines[index] == '{':
            end = index + 1
            while end < len(lines) and lines[end] != '}' and not lines[end].startswith('};'):
                end += 1
            start = signature_start(lines, index)
            length = end - start + 1
            if length > limit and start < index:
                body = lines[index + 1:end]
                found.append((length, function_name(lines[start:index]), start + 1,
                              is_table(body)))
            index = end + 1
        else:
            index += 1
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('-n', type=int, default=150, help='longest length allowed (default 150)')
    parser.add_argument('folders', nargs='+')
    args = parser.parse_args()
    results = []
    for folder in args.folders:
        for root, _, files in os.walk(folder):
            for name in sorted(files):
                if name.endswith(SOURCE_SUFFIXES):
                    path = os.path.join(root, name)
                    for length, function, line, table in scan(path, args.n):
                        results.append((length, path, line, function, table))
    for length, path, line, function, table in sorted(results, reverse=True):
        print(f'{length:5d}  {path}:{line}  {function}{"  (table)" if table else ""}')
    return 0


if __name__ == '__main__':
    sys.exit(main())
