#!/usr/bin/env python3
"""The game installed with cmake --install into a scratch prefix and run from other folders: where
the files go, where the program finds its tune (its --help says), and how it answers arguments.
Nothing here needs a terminal: with an argument, the game never starts.

    install_test.py CMAKE BUILD_DIR BUILT_PROGRAM VERSION
"""
import os
import shutil
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
import harness  # noqa: E402

CMAKE, VERSION = sys.argv[1], sys.argv[4]
BUILD_DIR, BUILT_PROGRAM = (Path(path).resolve() for path in sys.argv[2:4])
TUNE = 'Background tune: '


def run(program, *args, cwd):
    return subprocess.run([str(program), *args], cwd=cwd, capture_output=True, text=True,
                          timeout=60, stdin=subprocess.DEVNULL)


def tune_named(program, cwd):
    """The tune the program's --help names, checked to be the only line that says so."""
    answer = run(program, '--help', cwd=cwd)
    assert answer.returncode == 0 and answer.stderr == '', answer
    lines = [line for line in answer.stdout.splitlines() if line.startswith(TUNE)]
    assert len(lines) == 1, answer.stdout
    return lines[0][len(TUNE):]


def check_command_line(elsewhere):
    """--help and --version answer, anything else is refused, and answering is all it does; the
    built program finds the tune beside itself."""
    help_ = run(BUILT_PROGRAM, '--help', cwd=elsewhere)
    assert (help_.returncode, help_.stderr) == (0, ''), help_
    assert help_.stdout.startswith('Usage: glyph-labyrinth [--help | --version]\n'), help_.stdout
    version = run(BUILT_PROGRAM, '--version', cwd=elsewhere)
    assert (version.returncode, version.stdout, version.stderr) == \
        (0, f'glyph-labyrinth {VERSION}\n', ''), version
    for args, named in ((['--bogus'], '--bogus'), (['-h'], '-h'), ([''], ''),
                        (['--help', 'me'], 'me'), (['--version', '--help'], '--help')):
        refused = run(BUILT_PROGRAM, *args, cwd=elsewhere)
        assert (refused.returncode, refused.stdout) == (2, ''), (args, refused)
        assert f"unexpected argument '{named}'" in refused.stderr, (args, refused.stderr)
        assert 'Usage: glyph-labyrinth' in refused.stderr, (args, refused.stderr)
    assert list(elsewhere.iterdir()) == [], 'files written'  # no help files, and nothing drawn:
    assert '\x1b' not in help_.stdout + version.stdout, 'escape sequences written'
    assert tune_named(BUILT_PROGRAM, elsewhere) == str(BUILT_PROGRAM.parent / 'res' / 'Glyph.wav')


def check_installed(scratch, elsewhere):
    """The files go where a player and the system look; the tune is found from anywhere."""
    prefix = scratch / 'prefix'
    install = subprocess.run([CMAKE, '--install', BUILD_DIR, '--prefix', prefix],
                             capture_output=True, text=True, timeout=120)
    assert install.returncode == 0, install.stdout + install.stderr
    # Compressed where gzip is at hand, as Debian wants them.
    files = sorted(str(path.relative_to(prefix)).removesuffix('.gz')
                   for path in prefix.rglob('*') if not path.is_dir())
    doc = 'share/doc/glyph-labyrinth/'
    assert files == sorted([
        'bin/glyph-labyrinth', 'share/glyph-labyrinth/Glyph.wav',
        'share/man/man6/glyph-labyrinth.6', 'share/applications/glyph-labyrinth.desktop',
        'share/icons/hicolor/scalable/apps/glyph-labyrinth.svg',
        doc + 'README.md', doc + 'copyright', doc + 'changelog']), files
    assert os.access(prefix / 'bin/glyph-labyrinth', os.X_OK)

    desktop = prefix / 'share/applications/glyph-labyrinth.desktop'
    for line in ('Exec=glyph-labyrinth', 'Terminal=true', 'Icon=glyph-labyrinth'):
        assert f'\n{line}\n' in desktop.read_text(), line
    if shutil.which('desktop-file-validate'):
        check = subprocess.run(['desktop-file-validate', desktop], capture_output=True, text=True)
        assert check.stdout + check.stderr == '', check.stdout + check.stderr
    if shutil.which('man'):  # the manual page reads without a warning from the formatter
        page = subprocess.run(['man', '--warnings', '-l', *prefix.glob('share/man/man6/*')],
                              capture_output=True, text=True,
                              env={**os.environ, 'MANWIDTH': '80', 'MANPAGER': 'cat'})
        assert (page.returncode, page.stderr) == (0, ''), page.stderr
        for words in ('\nKEYS\n', '\nFILES\n', '\nENVIRONMENT\n', '\nEXIT STATUS\n',
                      'TERM', 'VISUAL', 'EDITOR', 'Assistance.txt', 'Information.txt'):
            assert words in page.stdout, words

    tune = 'share/glyph-labyrinth/Glyph.wav'
    assert tune_named(prefix / 'bin/glyph-labyrinth', elsewhere) == str(prefix / tune)
    # The whole tree moved: the data is found from where the program now is.
    moved = scratch / 'moved'
    prefix.rename(moved)
    assert tune_named(moved / 'bin/glyph-labyrinth', elsewhere) == str(moved / tune)
    # Started through a link in another folder, as from a folder on PATH.
    (scratch / 'links').mkdir()
    (scratch / 'links/glyph-labyrinth').symlink_to(moved / 'bin/glyph-labyrinth')
    assert tune_named(scratch / 'links/glyph-labyrinth', elsewhere) == str(moved / tune)
    # No tune anywhere: the player is told, and the game would play in silence.
    (moved / tune).unlink()
    assert tune_named(scratch / 'links/glyph-labyrinth', elsewhere).startswith(
        'res/Glyph.wav is neither here')


if __name__ == '__main__':
    # The install lists what it wrote in the build's manifest, which is the player's list of what
    # to remove after a real install: put that back as it was.
    manifest = BUILD_DIR / 'install_manifest.txt'
    kept = manifest.read_bytes() if manifest.exists() else None
    with harness.Scratch('install') as scratch:
        elsewhere = scratch.dir / 'elsewhere'  # where the player is, with no res/ of its own
        elsewhere.mkdir()
        try:
            check_command_line(elsewhere)
            check_installed(scratch.dir, elsewhere)
        finally:
            if kept is None: manifest.unlink(missing_ok=True)
            else: manifest.write_bytes(kept)
    print('passed')
