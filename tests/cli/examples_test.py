#!/usr/bin/env python3
"""Runs every kelvane-cli example of the README and the manual page as written, in a fresh folder
of its own with no saved job, and checks each command's output against what the example shows.

examples_test.py KELVANE-CLI README.md kelvane-cli.1
"""
import os
import re
import subprocess
import sys
import tempfile


def readme_blocks(text):
    return re.findall(r"^```console\n(.*?)^```$", text, re.S | re.M)


def man_blocks(text):
    examples = text.split(".SH EXAMPLES", 1)[1].split("\n.SH ", 1)[0]
    blocks = re.findall(r"^\.nf\n(.*?)^\.fi$", examples, re.S | re.M)
    return [block.replace("\\-", "-").replace("\\(rs", "\\") for block in blocks]


def steps(block):
    """Each command of a block with the output shown after it."""
    result = []
    lines = block.splitlines()
    i = 0
    while i < len(lines):
        line = lines[i]
        if not line.startswith("$ "):
            raise ValueError("output before any command: " + line)
        command = line[2:]
        while command.endswith("\\"):
            i += 1
            command += "\n" + lines[i]  # bash reads the backslash and line break as one blank
        i += 1
        output = []
        while i < len(lines) and not lines[i].startswith("$ "):
            output.append(lines[i])
            i += 1
        result.append((command, "\n".join(output)))
    return result


def run_document(name, blocks, cli_dir):
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        env = dict(os.environ, PATH=cli_dir + os.pathsep + os.environ["PATH"],
                   XDG_CONFIG_HOME=os.path.join(folder, "config"), HOME=folder)
        work = os.path.join(folder, "work")
        os.mkdir(work)
        count = 0
        for block in blocks:
            for command, expected in steps(block):
                count += 1
                run = subprocess.run(["bash", "-c", command], cwd=work, env=env, capture_output=True, timeout=300)
                out = run.stdout.decode(errors="replace").rstrip("\n")
                err = run.stderr.decode(errors="replace")
                if run.returncode != 0 or err or out != expected:
                    failures.append(f"{name}: {command}\n  status {run.returncode}\n  stderr: {err!r}\n"
                                    f"  output:   {out!r}\n  expected: {expected!r}")
        if count == 0:
            failures.append(f"{name}: no examples found")
    return failures


def main():
    cli, readme, man = sys.argv[1:4]
    cli_dir = os.path.dirname(os.path.abspath(cli))
    # A program this machine cannot run (32-bit Windows code, say) is skipped with the reason.
    probe = subprocess.run([cli, "--version"], capture_output=True, text=True)
    if probe.returncode == 77:
        print(probe.stderr.strip() or "skipped: the program cannot run here", file=sys.stderr)
        return 77
    with open(readme, encoding="utf-8") as f:
        readme_text = f.read()
    with open(man, encoding="utf-8") as f:
        man_text = f.read()
    failures = run_document("README.md", readme_blocks(readme_text), cli_dir)
    failures += run_document("kelvane-cli.1", man_blocks(man_text), cli_dir)
    for failure in failures:
        print("FAIL: " + failure, file=sys.stderr)
    if failures:
        return 1
    print("examples test: every example ran as written")
    return 0


if __name__ == "__main__":
    sys.exit(main())
