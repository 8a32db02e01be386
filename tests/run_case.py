#!/usr/bin/env python3
"""Runs one end-to-end case of morfe and compares everything byte for byte.

A case is a directory:
  args              one argument word per line (may be absent: no arguments)
  files/            copied into a fresh scratch directory, the working directory of the run
  stdin             optional: fed to standard input (else it is empty)
  expected/stdout   expected standard output   (absent: must be empty)
  expected/stderr   expected standard error    (absent: must be empty)
  expected/status   expected exit status       (absent: 0)
  expected/files/   files that must exist in the scratch directory afterwards, byte for byte
  expected/absent   names (one per line) that must not exist afterwards

In args and in every expected text, @DIR@ stands for the absolute path of the
scratch directory.
"""
import os
import shutil
import subprocess
import sys


def read_bytes(path, default=b""):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return default


def show(data):
    text = data.decode("utf-8", "backslashreplace")
    return text if len(text) < 4000 else text[:4000] + "\n[...]"


def main():
    morfe, case_dir, scratch_root = sys.argv[1:4]
    case_dir = os.path.abspath(case_dir)
    name = os.path.relpath(case_dir, os.path.join(os.path.dirname(os.path.abspath(__file__)), "cases"))
    scratch = os.path.abspath(os.path.join(scratch_root, name.replace(os.sep, "__")))
    shutil.rmtree(scratch, ignore_errors=True)
    if os.path.isdir(os.path.join(case_dir, "files")):
        shutil.copytree(os.path.join(case_dir, "files"), scratch, symlinks=True)
    else:
        os.makedirs(scratch)
    placeholder = scratch.encode()

    def expand(data):
        return data.replace(b"@DIR@", placeholder)

    args = []
    args_path = os.path.join(case_dir, "args")
    if os.path.exists(args_path):
        args = [w for w in expand(read_bytes(args_path)).decode().split("\n") if w != ""]
    stdin = read_bytes(os.path.join(case_dir, "stdin"))
    run = subprocess.run([os.path.abspath(morfe)] + args, cwd=scratch, input=stdin,
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)

    expected = os.path.join(case_dir, "expected")
    failures = []
    for stream, actual in (("stdout", run.stdout), ("stderr", run.stderr)):
        want = expand(read_bytes(os.path.join(expected, stream)))
        if want != actual:
            failures.append(f"{stream} differs\n--- expected\n{show(want)}\n--- actual\n{show(actual)}")
    want_status = int(read_bytes(os.path.join(expected, "status"), b"0").strip() or 0)
    if run.returncode != want_status:
        failures.append(f"exit status {run.returncode}, expected {want_status}")

    files_dir = os.path.join(expected, "files")
    for root, _, names in os.walk(files_dir):
        for file_name in names:
            want_path = os.path.join(root, file_name)
            rel = os.path.relpath(want_path, files_dir)
            got_path = os.path.join(scratch, rel)
            if not os.path.exists(got_path):
                failures.append(f"output file {rel} missing")
                continue
            want = expand(read_bytes(want_path))
            got = read_bytes(got_path)
            if want != got:
                failures.append(f"output file {rel} differs\n--- expected\n{show(want)}\n--- actual\n{show(got)}")
    for rel in read_bytes(os.path.join(expected, "absent")).decode().split("\n"):
        if rel and os.path.lexists(os.path.join(scratch, rel)):
            failures.append(f"{rel} exists but should not")

    if failures:
        print(f"case {name}: FAILED (command: morfe {' '.join(args)})")
        for failure in failures:
            print(failure)
        return 1
    shutil.rmtree(scratch, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
