#!/usr/bin/env python3
"""Every connect to a lambda or function names a context object, so that the connection ends with the object
the slot works on. QT_NO_CONTEXTLESS_CONNECT says so to the compiler only from Qt 6.7 on; Debian 12 ships 6.4,
so this reads the sources instead. Prints each connect with three arguments whose slot is not SLOT(...);
exits 1 if there is one."""
import re
import subprocess
import sys


def blank_comments_and_strings(text):
    """Replaces comments and string and character literals by spaces, keeping line breaks."""
    pattern = re.compile(r'//[^\n]*|/\*.*?\*/|R"(?P<d>[^(\s]*)\(.*?\)(?P=d)"|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'',
                         re.S)
    return pattern.sub(lambda m: re.sub(r'[^\n]', ' ', m.group(0)), text)


def call_arguments(text, open_paren):
    """The top-level arguments of the call whose '(' is at open_paren, or None if it never closes."""
    depth, start, arguments = 0, open_paren + 1, []
    closing = {')': '(', ']': '[', '}': '{'}
    for i in range(open_paren, len(text)):
        c = text[i]
        if c in '([{':
            depth += 1
        elif c in closing:
            depth -= 1
            if depth == 0:
                arguments.append(text[start:i].strip())
                return arguments
        elif c == ',' and depth == 1:
            arguments.append(text[start:i].strip())
            start = i + 1
    return None


def contextless_connects(path):
    with open(path, encoding='utf-8', errors='replace') as f:
        text = blank_comments_and_strings(f.read())
    # ::connect is the socket call.
    for match in re.finditer(r'(?:(?<![\w:])|QObject::)connect\s*\(', text):
        arguments = call_arguments(text, match.end() - 1)
        if arguments and len(arguments) == 3 and not arguments[2].startswith('SLOT'):
            yield text.count('\n', 0, match.start()) + 1


def main():
    files = subprocess.run(['git', 'ls-files', '*.cpp', '*.h'], capture_output=True, text=True,
                           check=True).stdout.split()
    status = 0
    for path in files:
        for line in contextless_connects(path):
            print(f'{path}:{line}: connect without a context object')
            status = 1
    return status


if __name__ == '__main__':
    sys.exit(main())
