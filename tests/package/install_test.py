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
import tempfile
import unittest
from pathlib import Path

CMAKE, VERSION = sys.argv[1], sys.argv[4]
BUILD_DIR, BUILT_PROGRAM = (os.path.abspath(path) for path in sys.argv[2:4])
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


class Scratch(unittest.TestCase):
    def setUp(self):
        self.dir = Path(tempfile.mkdtemp(prefix='glyph-install-'))
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)
        self.elsewhere = self.dir / 'elsewhere'  # where the player is, with no res/ of its own
        self.elsewhere.mkdir()


class CommandLine(Scratch):
    def test_help_and_version_answer_and_anything_else_is_refused(self):
        help_ = run(BUILT_PROGRAM, '--help', cwd=self.elsewhere)
        self.assertEqual((help_.returncode, help_.stderr), (0, ''))
        self.assertTrue(help_.stdout.startswith('Usage: glyph-labyrinth [--help | --version]\n'))

        version = run(BUILT_PROGRAM, '--version', cwd=self.elsewhere)
        self.assertEqual((version.returncode, version.stdout, version.stderr),
                         (0, f'glyph-labyrinth {VERSION}\n', ''))

        for args, named in ((['--bogus'], '--bogus'), (['-h'], '-h'), ([''], ''),
                            (['--help', 'me'], 'me'), (['--version', '--help'], '--help')):
            with self.subTest(args=args):
                refused = run(BUILT_PROGRAM, *args, cwd=self.elsewhere)
                self.assertEqual((refused.returncode, refused.stdout), (2, ''))
                self.assertIn(f"unexpected argument '{named}'", refused.stderr)
                self.assertIn('Usage: glyph-labyrinth', refused.stderr)

        # Answering is all it did: no help files, nothing drawn.
        self.assertEqual(list(self.elsewhere.iterdir()), [])
        self.assertNotIn('\x1b', help_.stdout + version.stdout)

    def test_built_program_finds_the_tune_beside_itself(self):
        beside = Path(BUILT_PROGRAM).resolve().parent / 'res' / 'Glyph.wav'
        self.assertEqual(tune_named(BUILT_PROGRAM, self.elsewhere), str(beside))


class Installed(Scratch):
    def setUp(self):
        super().setUp()
        self.prefix = self.dir / 'prefix'
        # The install lists what it wrote in the build's manifest, which is the player's list of
        # what to remove after a real install: put that back as it was.
        manifest = Path(BUILD_DIR) / 'install_manifest.txt'
        if manifest.exists():
            self.addCleanup(manifest.write_bytes, manifest.read_bytes())
        else:
            self.addCleanup(manifest.unlink, missing_ok=True)
        install = subprocess.run([CMAKE, '--install', BUILD_DIR, '--prefix', str(self.prefix)],
                                 capture_output=True, text=True, timeout=120)
        self.assertEqual(install.returncode, 0, install.stdout + install.stderr)

    def test_files_go_where_a_player_and_the_system_look(self):
        # Compressed where gzip is at hand, as Debian wants them.
        files = sorted(str(path.relative_to(self.prefix)).removesuffix('.gz')
                       for path in self.prefix.rglob('*') if not path.is_dir())
        doc = 'share/doc/glyph-labyrinth/'
        self.assertEqual(files, sorted([
            'bin/glyph-labyrinth', 'share/glyph-labyrinth/Glyph.wav',
            'share/man/man6/glyph-labyrinth.6', 'share/applications/glyph-labyrinth.desktop',
            'share/icons/hicolor/scalable/apps/glyph-labyrinth.svg',
            doc + 'README.md', doc + 'copyright', doc + 'changelog']))
        self.assertTrue(os.access(self.prefix / 'bin/glyph-labyrinth', os.X_OK))

        desktop = self.prefix / 'share/applications/glyph-labyrinth.desktop'
        for line in ('Exec=glyph-labyrinth', 'Terminal=true', 'Icon=glyph-labyrinth'):
            self.assertIn(f'\n{line}\n', desktop.read_text())
        if shutil.which('desktop-file-validate'):
            check = subprocess.run(['desktop-file-validate', desktop], capture_output=True, text=True)
            self.assertEqual(check.stdout + check.stderr, '')

        # The manual page reads without a warning from the formatter.
        if shutil.which('man'):
            page = subprocess.run(['man', '--warnings', '-l', *self.prefix.glob('share/man/man6/*')],
                                  capture_output=True, text=True,
                                  env={**os.environ, 'MANWIDTH': '80', 'MANPAGER': 'cat'})
            self.assertEqual((page.returncode, page.stderr), (0, ''))
            for words in ('\nKEYS\n', '\nFILES\n', '\nENVIRONMENT\n', '\nEXIT STATUS\n',
                          'TERM', 'VISUAL', 'EDITOR', 'Assistance.txt', 'Information.txt'):
                self.assertIn(words, page.stdout)

    def test_tune_is_found_from_anywhere(self):
        program = self.prefix / 'bin/glyph-labyrinth'
        installed = self.prefix / 'share/glyph-labyrinth/Glyph.wav'
        self.assertEqual(tune_named(program, self.elsewhere), str(installed))

        # The whole tree moved: the data is found from where the program now is.
        moved = self.dir / 'moved'
        self.prefix.rename(moved)
        self.assertEqual(tune_named(moved / 'bin/glyph-labyrinth', self.elsewhere),
                         str(moved / 'share/glyph-labyrinth/Glyph.wav'))

        # Started through a link in another folder, as from a folder on PATH.
        links = self.dir / 'links'
        links.mkdir()
        (links / 'glyph-labyrinth').symlink_to(moved / 'bin/glyph-labyrinth')
        self.assertEqual(tune_named(links / 'glyph-labyrinth', self.elsewhere),
                         str(moved / 'share/glyph-labyrinth/Glyph.wav'))

        # No tune anywhere: the player is told, and the game would play in silence.
        (moved / 'share/glyph-labyrinth/Glyph.wav').unlink()
        self.assertTrue(tune_named(links / 'glyph-labyrinth', self.elsewhere)
                        .startswith('res/Glyph.wav is neither here'))


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1], verbosity=2)
