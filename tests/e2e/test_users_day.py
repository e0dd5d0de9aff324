"""A user's day with the three programs under Wine, as a modder and a player live it, in the
language of the prefix: a script saved as UTF-8 by an editor and opened with a double-click;
velmora-cli.exe run twice from a batch file, onto an unrelated existing target and onto the
source under another spelling; the Studio replacing an entry, rebuilding onto the archive itself,
listing its backups and restoring one; a patch applied and undone with double-clicks; another
program holding the archive.

VELMORA_USERS_DAY_LANGUAGE chooses the prefix: zh (the build's own prefix, code page 936) or en
(its English prefix, code page 1252; see tests/wine/wine-run.sh); tests/CMakeLists.txt registers
the suite once for each. Every text is expected in the prefix's language, taken from the
programs' own lists of texts, so the suite holds one table of words for both.

Each window the programs show is saved as a PNG below <build>/users-day/<language>/, or below
VELMORA_SCREENSHOTS_DIR when it is set (the guide's pictures are taken from there)."""

import glob
import importlib.util
import os
import re
import shutil
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, HERE)
import test_registration as registration  # noqa: E402
import velmora_e2e as e2e  # noqa: E402
import wdf  # noqa: E402  (tools/wdf.py, on the path through velmora_e2e)

LANGUAGE = os.environ.get("VELMORA_USERS_DAY_LANGUAGE", "zh")
CLI = os.environ.get("VELMORA_CLI", "")
STUDIO = os.environ.get("VELMORA_STUDIO", "")
EXAMPLE = os.path.join(TOP, "examples", "demo")
# Texts as the driver reports them: code page 936 in the Chinese prefix, UTF-8 in the English one.
CODE_PAGE = {"zh": "gbk", "en": "utf-8"}[LANGUAGE]

# Features of the user's day that are still being built, by name: what is missing, and in which
# prefixes it shows. A case that needs one is skipped with the reason, never passed without its
# checks; the entry goes when the feature lands.
PENDING = {
}


def needs(*features):
    missing = [PENDING[f][0] for f in features
               if f in PENDING and LANGUAGE in PENDING[f][1].split()]
    return unittest.skip("waits for " + "; ".join(missing)) if missing else (lambda test: test)


# ---- The programs' words in both languages ------------------------------------------------

def texts_of(relative, macro):
    """{key: (Chinese, English)} of a list of texts (res/catalogue.def, res/terminal_texts.def),
    C escapes undone."""
    with open(os.path.join(TOP, relative), encoding="utf-8") as f:
        source = f.read()
    literal = r'((?:\s*"(?:[^"\\]|\\.)*")+)'
    found = {}
    for m in re.finditer(macro + r"\((\w+),(?:\s*\d+,)?" + literal + "," + literal + r"\)",
                         source):
        pair = []
        for group in (m.group(2), m.group(3)):
            text = "".join(re.findall(r'"((?:[^"\\]|\\.)*)"', group))
            pair.append(re.sub(r"\\(.)", lambda e: {"r": "\r", "n": "\n", "t": "\t"}.get(
                e.group(1), e.group(1)), text))
        found[m.group(1)] = tuple(pair)
    return found


TEXTS = texts_of("res/catalogue.def", "VELMORA_MESSAGE")
TEXTS.update(texts_of("res/terminal_texts.def", "VELMORA_TEXT"))
TEXTS.update(texts_of("res/studio_texts.def", "STUDIO_TEXT"))


def say(key, *args):
    """A text of the programs in the prefix's language and code page, its placeholders filled."""
    chinese, english = TEXTS[key]
    text = (chinese if LANGUAGE == "zh" else english).replace("{tool}", "velmora-cli")
    return encoded(text % args if args else text)


def encoded(text):
    return text if isinstance(text, bytes) else text.encode(CODE_PAGE, errors="replace")


def fixed_part(key, terminal=False):
    """The longest piece of a text without a placeholder: what every filled form shows; for the
    terminal, in its lines as the terminal tool prints them."""
    text = on_terminal(say(key)) if terminal else say(key)
    return max(re.split(rb"%[-.0-9]*[sdx]|\n", text), key=len)


def on_terminal(text):
    """A box's text as the terminal tool prints it: lines end in LF, without blanks before."""
    return re.sub(rb" +\n", b"\n", text.replace(b"\r\n", b"\n").replace(b"\r", b"\n"))


# ---- The English prefix ---------------------------------------------------------------------

SAVED_ENVIRONMENT = dict(os.environ)


def setUpModule():
    """In English: the build's English prefix (tests/wine/wine-run.sh, VELMORA_WINE_LANGUAGE=en)
    with drive V: at the scenarios, its texts read through the Unicode calls."""
    e2e.check_environment()
    if LANGUAGE != "en":
        return
    os.environ.update(VELMORA_WINE_LANGUAGE="en", VELMORA_DRIVER_UTF8="1")
    subprocess.run([e2e.WINE_RUN, "--prepare-only"], check=True, timeout=1800,
                   env=dict(os.environ, VELMORA_BUILD_DIR=e2e.BUILD_DIR))
    os.makedirs(e2e.SCENARIO_ROOT, exist_ok=True)
    link = os.path.join(e2e.BUILD_DIR, "wine", "prefix-en", "dosdevices", "v:")
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(os.path.abspath(e2e.SCENARIO_ROOT), link)


def tearDownModule():
    os.environ.clear()
    os.environ.update(SAVED_ENVIRONMENT)


# ---- Screenshots ------------------------------------------------------------------------------

def png_from_bmp():
    found = importlib.util.spec_from_file_location(
        "screenshots", os.path.join(TOP, "tools", "make-screenshots.py"))
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module.png_from_bmp


def keep_screenshots(scenario, case):
    """Every window the driver saved in the scenario, as <case>-<window>-<language>.png."""
    folder = os.environ.get("VELMORA_SCREENSHOTS_DIR") or os.path.join(
        e2e.BUILD_DIR, "users-day", LANGUAGE)
    os.makedirs(folder, exist_ok=True)
    convert = png_from_bmp()
    for bmp in sorted(glob.glob(scenario.path("*.bmp"))):
        name = os.path.splitext(os.path.basename(bmp))[0]
        convert(bmp, os.path.join(folder, "%s-%s-%s.png" % (case, name, LANGUAGE)))
        os.remove(bmp)


# ---- The day --------------------------------------------------------------------------------

def studio_ids():
    ids = {}
    with open(os.path.join(TOP, "res", "studio_ids.h")) as header:
        for line in header:
            m = re.match(r"#define (ID\w+) (\d+)", line)
            if m:
                ids[m.group(1)] = int(m.group(2))
    return ids


class UsersDayTest(e2e.E2eTestCase):

    def copy_example(self, relative):
        shutil.copytree(EXAMPLE, self.scenario.path(relative))

    def run_batch(self, lines):
        return e2e.run_cli_batch(self.scenario, CLI, lines)

    def double_click(self, script, answers, lock=None, case=None):
        """Opens a script as Explorer does: with the command Velmora.exe registered for .vlm
        files at its first start."""
        registered = self.scenario.run(b"")
        self.assertExit(registered, 0)
        command = e2e.reg_value(r"HKCR\vlmfile\Shell\Open\Command")
        self.assertIsNotNone(command, "Velmora.exe registered no command for .vlm files")
        line = command.replace("%1", self.scenario.win(script).decode(CODE_PAGE))
        result = self.scenario.run(command_line=line.encode(CODE_PAGE), answers=answers,
                                   lock=lock, screenshots=case is not None, timeout_ms=120000)
        if case:
            keep_screenshots(self.scenario, case)
        return result

    def assertSays(self, text, key, *args, terminal=False):
        if args:
            expected = on_terminal(say(key, *args)) if terminal else say(key, *args)
        else:
            expected = fixed_part(key, terminal)
        self.assertIn(expected, text, "expected %s in\n%s" % (e2e.shown(expected),
                                                              e2e.shown(text)))

    def test_a_script_written_on_a_chinese_windows_opens_with_a_double_click(self):
        # The example as the zip holds it: code page 936, Chinese texts, CR LF.
        self.copy_example("example")
        result = self.double_click("example\\demo.vlm", ["ok", "ok"], case="example")
        self.assertExit(result, 0)
        self.assertEqual(2, len(result.boxes), result.describe())
        question, report = result.boxes
        self.assertTrue(question.text.endswith(say("MsgConfirmScriptSuffix") + e2e.BLANKS),
                        result.describe())
        self.assertIn(say("MsgDeletedCount", 5, 1), report.text, result.describe())
        # Nothing in the progress window that the code page lacks.
        for sample in result.dialog_samples:
            for text in [sample.title] + list(sample.texts.values()):
                self.assertNotIn(b"?", text, result.describe())
        self.assertTrue(question.text.startswith(encoded("演示：从 ui.wdf 生成 out\\ui-new.wdf\r")),
                        result.describe())
        built = wdf.entries(self.scenario.read("example/out/ui-new.wdf"))
        self.assertEqual([1, 2, 4, 5, 6], [entry_id for entry_id, _ in built])

    @needs("english-progress")
    def test_the_progress_window_speaks_the_language_of_the_windows(self):
        self.copy_example("example")
        result = self.double_click("example\\demo.vlm", ["ok", "ok"])
        self.assertExit(result, 0)
        self.assertTrue(result.dialog_samples, result.describe())
        for sample in result.dialog_samples:
            for text in [sample.title] + list(sample.texts.values()):
                # The paths of the example are ASCII: an English window holds nothing else.
                self.assertTrue(LANGUAGE != "en" or text.isascii(), result.describe())

    def test_the_studio_shows_an_archive_in_the_language_of_the_windows(self):
        s = self.scenario
        ids = studio_ids()
        self.copy_example("example")
        archive = s.read("example/ui.wdf")
        result = self.studio(b'"' + s.win("example\\ui.wdf") + b'"', [
            "list 6",
            "text %d" % ids["IDC_STATUS"],
            "select-wait 4 %d" % ids["IDC_PREVIEW_INFO"],
            "screenshot main-window",
            "close",
        ], case="studio")
        self.assertEqual("6", e2e.event_fields(result, "list")[0]["count"], result.describe())
        status = bytes.fromhex(e2e.event_fields(result, "text")[0]["text"])
        self.assertEqual(say("TxtStatus", "6", "0", "{:,}".format(len(archive) - 12 - 6 * 16)),
                         status)

    def test_a_script_saved_as_utf8_by_an_editor_opens_with_a_double_click(self):
        s = self.scenario
        self.copy_example("mod")
        picture = s.read("mod/pictures/title.bmp")
        os.makedirs(s.path("mod/图片"))
        shutil.move(s.path("mod/pictures/title.bmp"), s.path("mod/图片/标题.bmp"))
        # As an editor saves it: UTF-8 without a byte-order mark, CR LF; Chinese names inside.
        script = ("#RunBegin=界面改版：换上新的标题图片\r\n#SrcFile=ui.wdf\r\n"
                  "#DestFile=输出\\界面.wdf\r\n@00000005=图片\\标题.bmp\r\n#RunEnd=改版完成。\r\n")
        with open(s.path("mod/utf8.vlm"), "wb") as f:
            f.write(script.encode("utf-8"))
        result = self.double_click("mod\\utf8.vlm", ["ok", "ok"], case="utf8-script")
        self.assertExit(result, 0)
        self.assertEqual(2, len(result.boxes), result.describe())
        question, report = result.boxes
        self.assertTrue(question.text.endswith(say("MsgConfirmScriptSuffix") + e2e.BLANKS),
                        result.describe())
        # The script's own texts as written, on a Windows of either language.
        self.assertEqual(encoded("界面改版：换上新的标题图片") + say("MsgConfirmScriptSuffix"),
                         question.text[:-len(e2e.BLANKS)], result.describe())
        self.assertTrue(report.text.startswith(encoded("改版完成。")), result.describe())
        source = dict(wdf.entries(s.read("mod/ui.wdf")))
        built = dict(wdf.entries(s.read("mod/输出/界面.wdf")))
        self.assertEqual(picture, built[5])
        self.assertEqual(source[1], built[1])

    def test_the_terminal_tool_runs_twice_from_a_batch_file(self):
        s = self.scenario
        self.copy_example("cli")
        source = s.read("cli/ui.wdf")
        s.write_wdf("cli/unrelated.wdf", [(1, b"someone else's archive")])
        s.write("cli/onto-other.vlm", "#SrcFile=ui.wdf\r\n#DestFile=unrelated.wdf\r\n"
                                      "@00000003=@Delete\r\n")
        s.write("cli/onto-source.vlm", "#SrcFile=ui.wdf\r\n#DestFile=.\\UI.WDF\r\n"
                                       "@00000003=@Delete\r\n")
        codes = self.run_batch([
            b"cd cli",
            b"CLI run --yes demo.vlm > ..\\first.txt 2>&1",
            b"echo first=%ERRORLEVEL%> ..\\codes.txt",
            b"CLI run --yes demo.vlm > ..\\second.txt 2>&1",
            b"echo second=%ERRORLEVEL%>> ..\\codes.txt",
            b"CLI run onto-other.vlm > ..\\asked.txt 2>&1",
            b"echo asked=%ERRORLEVEL%>> ..\\codes.txt",
            b"CLI run --yes onto-other.vlm > ..\\other.txt 2>&1",
            b"echo other=%ERRORLEVEL%>> ..\\codes.txt",
            b"CLI run --yes onto-source.vlm > ..\\source.txt 2>&1",
            b"echo source=%ERRORLEVEL%>> ..\\codes.txt",
        ])
        self.assertEqual({"first": 0, "second": 0, "asked": 1, "other": 0, "source": 1}, codes,
                         s.read("second.txt"))
        self.assertSays(s.read("second.txt"), "MsgDeletedCount", 5, 1, terminal=True)
        # Without --yes and without a terminal, the overwrite question is answered No.
        self.assertSays(s.read("asked.txt"), "MsgTargetExists", terminal=True)
        self.assertSays(s.read("asked.txt"), "TxtNothingChanged", terminal=True)
        self.assertEqual([entry for entry in wdf.entries(source) if entry[0] != 3],
                         wdf.entries(s.read("cli/unrelated.wdf")))
        # The source under another spelling is the source: refused, and left as it was.
        self.assertSays(s.read("source.txt"), "TxtTargetIsSourceByIdentity", terminal=True)
        self.assertEqual(source, s.read("cli/ui.wdf"))

    def test_the_terminal_tool_speaks_the_language_of_the_windows(self):
        s = self.scenario
        self.copy_example("cli")
        s.write_wdf("cli/twice.wdf", [(1, b"one"), (1, b"again")])
        codes = self.run_batch([
            b"cd cli",
            b"CLI list ui.wdf > ..\\list.txt 2>&1",
            b"echo list=%ERRORLEVEL%> ..\\codes.txt",
            b"CLI verify twice.wdf > ..\\verify.txt 2>&1",
            b"echo verify=%ERRORLEVEL%>> ..\\codes.txt",
            b"CLI help extract > ..\\help.txt 2>&1",
            b"echo help=%ERRORLEVEL%>> ..\\codes.txt",
        ])
        self.assertEqual({"list": 0, "verify": 0, "help": 0}, codes, s.read("list.txt"))
        heads = s.read("list.txt").splitlines()[0].split()
        self.assertEqual([say(k) for k in ("TxtListHeadId", "TxtListHeadOffset", "TxtListHeadSize",
                                           "TxtListHeadSpace", "TxtListHeadKind")], heads)
        self.assertIn(say("TxtVerifyOkWithWarnings", "twice.wdf", say("TxtWarningOne", 1)
                          .decode(CODE_PAGE)), s.read("verify.txt"))
        self.assertTrue(s.read("help.txt").startswith(say("TxtHelpExtract").split(b"\n")[0]),
                        s.read("help.txt"))

    def studio(self, arguments, steps, answers=(), dialog_inputs=(), case=None):
        if not STUDIO:
            self.skipTest("VelmoraStudio.exe is not built")
        result = self.scenario.run(arguments, program=STUDIO, main_window="VelmoraStudio",
                                   steps=list(steps), answers=answers,
                                   dialog_inputs=dialog_inputs, screenshots=case is not None,
                                   timeout_ms=120000)
        if case:
            keep_screenshots(self.scenario, case)
        self.assertExit(result, 0)
        return result

    @needs("studio-in-place")
    def test_the_studio_replaces_an_entry_and_rebuilds_onto_the_archive_itself(self):
        s = self.scenario
        ids = studio_ids()
        self.copy_example("studio")
        before = s.read("studio/ui.wdf")
        s.write("edited/00000002.txt", "第二项，改过\r\n")
        result = self.studio(b'"' + s.win("studio\\ui.wdf") + b'"', [
            "screenshot main-window",
            "drop 1 " + s.win("edited\\00000002.txt").decode(CODE_PAGE),
            "command %d" % ids["IDM_SAVE"],
            "command %d" % ids["IDM_REBUILD"],
            "wait-ms 300",
            "list 6",
            "screenshot rebuilt",
            "close",
        ], answers=("ok", "no"), dialog_inputs=(
            s.win("studio\\mod.vlm").decode(CODE_PAGE), "click %d" % ids["IDC_REBUILD_IN_PLACE"]),
            case="studio-in-place")
        backup = s.win("studio\\ui.wdf.1.bak")
        self.assertEqual(before, s.read("studio/ui.wdf.1.bak"), result.describe())
        rebuilt = dict(wdf.entries(s.read("studio/ui.wdf")))
        self.assertEqual(e2e.gbk("第二项，改过\r\n"), rebuilt[2])
        # The report names the backup; the list shows the new archive, nothing pending.
        self.assertTrue(any(backup in box.text for box in result.boxes), result.describe())
        rows = e2e.event_fields(result, "list")[-1]
        self.assertEqual(str(len(rebuilt)), rows["count"], result.describe())

    @needs("studio-backups")
    def test_the_studio_lists_the_backups_and_restores_one(self):
        s = self.scenario
        ids = studio_ids()
        old = [(1, b"first"), (2, b"second")]
        s.write_wdf("game/ui.wdf", [(1, b"patched"), (2, b"second")])
        s.write_wdf("game/ui.wdf.1.bak", old)
        self.studio(b'"' + s.win("game\\ui.wdf") + b'"', [
            "command %d" % ids["IDM_BACKUPS"],
            "list 2",
            "screenshot restored",
            "close",
        ], answers=("ok", "ok"), dialog_inputs=("-",), case="studio-backups")
        self.assertEqual(old, wdf.entries(s.read("game/ui.wdf")))
        # The archive the restore replaced is kept too: restoring again undoes it.
        self.assertEqual([(1, b"patched"), (2, b"second")],
                         wdf.entries(s.read("game/ui.wdf.2.bak")))

    def make_patch(self):
        """The modder's patch, made with velmora diff --patch and copied beside the player's
        archive; the player's old archive."""
        s = self.scenario
        old = [(0x10, b"logo"), (0xA1B2, b"old title"), (0xA1B9, b"gone")]
        new = [(0x10, b"logo"), (0xA1B2, b"BM new title"), (0xA1B5, "新的文字".encode("gbk"))]
        s.write_wdf("modder/ui.wdf", old)
        s.write_wdf("modder/ui-mod.wdf", new)
        s.write_wdf("game/ui.wdf", old)
        codes = self.run_batch([
            b"CLI diff --patch game\\ui-patch modder\\ui.wdf modder\\ui-mod.wdf > patch.txt 2>&1",
            b"echo patch=%ERRORLEVEL%> codes.txt",
        ])
        self.assertEqual({"patch": 0}, codes, s.read("patch.txt"))
        return old, new

    @needs("undo-script")
    def test_a_patch_is_applied_and_undone_by_double_click(self):
        s = self.scenario
        old, new = self.make_patch()
        scripts = sorted(os.listdir(s.path("game/ui-patch")))
        undo = [name for name in scripts if name.endswith(".vlm") and name != "ui-patch.vlm"]
        self.assertEqual(1, len(undo), "a patch carries one undo script beside its own: %s" % scripts)

        applied = self.double_click("game\\ui-patch\\ui-patch.vlm", ["ok", "ok"],
                                    case="patch-applied")
        self.assertExit(applied, 0)
        self.assertEqual(2, len(applied.boxes), applied.describe())
        self.assertEqual(wdf.entries(wdf.archive(new)), wdf.entries(s.read("game/ui.wdf")))
        # The player is told how to undo in Velmora.exe's own terms, not with a command.
        for box in applied.boxes:
            self.assertNotIn(b"velmora restore", box.text, applied.describe())
        self.assertTrue(any(encoded(undo[0]) in box.text for box in applied.boxes),
                        applied.describe())

        undone = self.double_click("game\\ui-patch\\" + undo[0], ["ok", "ok"], case="patch-undone")
        self.assertExit(undone, 0)
        self.assertEqual(wdf.archive(old), s.read("game/ui.wdf"))

    def test_another_program_holding_the_archive_is_named(self):
        s = self.scenario
        old, _ = self.make_patch()
        in_use = next(key for key in TEXTS if "InUse" in key and key.startswith("Msg"))
        # An editor holds the player's archive while the patch is opened.
        result = self.double_click("game\\ui-patch\\ui-patch.vlm", ["ok", "ok"],
                                   lock="game\\ui.wdf", case="archive-in-use")
        # Velmora.exe ends with exit code 0 after a failure it reported, as it always has.
        error = result.boxes[-1]
        self.assertEqual("error", error.icon, result.describe())
        self.assertIn(b"ui.wdf", error.text)
        self.assertSays(error.text, in_use)
        self.assertEqual(wdf.archive(old), s.read("game/ui.wdf"))
        self.assertFalse(s.exists("game/ui.wdf.1.bak"), "a backup of a failed patch was left")

        # The terminal tool, with the same archive held.
        cli = e2e.windows_path(CLI).decode(CODE_PAGE)
        cmd = os.path.join(e2e.BUILD_DIR, "wine", "prefix", "drive_c", "windows", "system32",
                           "cmd.exe")
        result = s.run(program=cmd, command_line=(
            'cmd /c ""%s" run --yes game\\ui-patch\\ui-patch.vlm > held.txt 2>&1"' % cli
        ).encode(CODE_PAGE), lock="game\\ui.wdf", timeout_ms=120000)
        self.assertExit(result, 1)
        self.assertIn(b"ui.wdf", s.read("held.txt"))
        self.assertSays(s.read("held.txt"), in_use, terminal=True)
        self.assertEqual(wdf.archive(old), s.read("game/ui.wdf"))


    # ---- The Studio on the desktop: its guide, and its "Open with" entry for archives --------

    def studio_copy(self, folder):
        """VelmoraStudio.exe copied into a folder of the scenario, as the zip unpacks it; its
        Windows path."""
        if not STUDIO:
            self.skipTest("VelmoraStudio.exe is not built")
        os.makedirs(self.scenario.path(folder), exist_ok=True)
        shutil.copy(STUDIO, self.scenario.path(folder))
        return self.scenario.win().decode("ascii") + "\\" + folder + "\\VelmoraStudio.exe"

    def studio_at(self, program, command_line, steps):
        result = self.scenario.run(program=encoded(program), command_line=encoded(command_line),
                                   main_window="VelmoraStudio", steps=steps, timeout_ms=120000)
        self.assertExit(result, 0)
        return result

    def test_help_opens_the_guide_beside_the_studio_in_the_language_of_the_windows(self):
        s = self.scenario
        guide = ["command %d" % studio_ids()["IDM_GUIDE"], "close"]
        # A Chinese folder, on a Windows of either language.
        studio = self.studio_copy("工具")
        alone = self.studio_at(studio, '"%s"' % studio, guide)
        self.assertEqual(1, len(alone.boxes), alone.describe())
        self.assertSays(alone.boxes[0].text, "TxtGuideMissing")

        # The zip's two guides beside the program.
        for name in ("使用说明.txt", "README-en.txt"):
            s.write("工具/" + name, name.encode("utf-8"))
        text_files = e2e.reg_value(r"HKCR\.txt")
        if text_files is None:
            self.addCleanup(e2e.reg_delete_key, r"HKCR\.txt")
        else:
            self.addCleanup(e2e.reg_set, r"HKCR\.txt", None, text_files)
        # There, but nothing on this Windows opens a text file: not "missing", but why it did not open.
        e2e.reg_set(r"HKCR\.txt", None, "VelmoraGuideNoProgram")
        unopened = self.studio_at(studio, '"%s"' % studio, guide)
        self.assertEqual(1, len(unopened.boxes), unopened.describe())
        self.assertSays(unopened.boxes[0].text, "TxtGuideNotOpened")
        first = {"zh": "使用说明.txt", "en": "README-en.txt"}[LANGUAGE]
        self.assertIn(encoded(first), unopened.boxes[0].text, "the box names the guide")

        # What the shell opens for a text file is copied aside instead of shown.
        probe = r"HKCR\VelmoraGuideProbe"
        self.addCleanup(e2e.reg_delete_key, probe)
        e2e.reg_set(probe + r"\shell\open\command", None,
                    '"C:\\windows\\system32\\cmd.exe" /c copy /y "%%1" "%s"'
                    % s.win("opened.txt").decode("ascii"))
        e2e.reg_set(r"HKCR\.txt", None, "VelmoraGuideProbe")
        shown = self.studio_at(studio, '"%s"' % studio, guide)
        self.assertEqual([], shown.boxes, shown.describe())
        for _ in range(300):
            if s.exists("opened.txt") and s.read("opened.txt"):
                break
            time.sleep(0.1)
        expected = {"zh": "使用说明.txt", "en": "README-en.txt"}[LANGUAGE]
        self.assertEqual(expected.encode("utf-8"), s.read("opened.txt"))

    def test_the_studio_is_offered_for_archives_and_withdrawn_leaving_scripts_alone(self):
        s = self.scenario
        toggle = ["command %d" % studio_ids()["IDM_OFFER_FOR_ARCHIVES"], "close"]
        studio = self.studio_copy("工具")
        self.copy_example("example")
        self.assertExit(s.run(b""), 0)  # Velmora.exe's first start registers .vlm files
        scripts = [registration.stored_tree(s, key) for key in (".vlm", "vlmfile")]
        user = "HKEY_CURRENT_USER"
        prog_id = r"Software\Classes\VelmoraStudio.wdf"
        application = r"Software\Classes\Applications\VelmoraStudio.exe"
        open_with = r"HKCU\Software\Classes\.wdf\OpenWithProgids"
        for key in (prog_id, application):
            self.addCleanup(e2e.reg_delete_key, "HKCU\\" + key)
        self.addCleanup(e2e.reg, "delete", open_with, "/v", "VelmoraStudio.wdf", "/f")

        self.studio_at(studio, '"%s"' % studio, toggle)
        # Read back through a Unicode export: the Chinese folder as it is, on either Windows.
        offered = registration.stored_tree(s, prog_id, user)
        command = '"%s" "%%1"' % studio
        self.assertEqual((registration.REG_SZ, command),
                         offered.get(prog_id + r"\shell\open\command", {}).get(""), offered)
        self.assertEqual((registration.REG_SZ, say("TxtArchiveType").decode(CODE_PAGE)),
                         offered[prog_id][""])
        self.assertEqual((registration.REG_SZ, studio + ",0"),
                         offered[prog_id + r"\DefaultIcon"][""])
        self.assertEqual((registration.REG_SZ, command), registration.stored_tree(
            s, application, user)[application + r"\shell\open\command"][""])
        self.assertEqual("", e2e.reg_value(open_with, "VelmoraStudio.wdf"))

        # Explorer's "Open with" starts the registered command with the archive.
        opened = self.studio_at(studio, command.replace("%1", s.win("example\\ui.wdf").decode(
            "ascii")), ["list 6", "close"])
        self.assertEqual("6", e2e.event_fields(opened, "list")[0]["count"], opened.describe())

        # Withdrawn: nothing of the Studio's is left, and Velmora.exe's scripts are as they were.
        self.studio_at(studio, '"%s"' % studio, toggle)
        self.assertIsNone(registration.stored_tree(s, prog_id, user))
        self.assertIsNone(registration.stored_tree(s, application, user))
        self.assertIsNone(e2e.reg_value(open_with, "VelmoraStudio.wdf"))
        self.assertEqual(scripts, [registration.stored_tree(s, key) for key in (".vlm", "vlmfile")])


if __name__ == "__main__":
    e2e.main()
