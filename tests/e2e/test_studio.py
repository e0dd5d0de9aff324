"""VelmoraStudio.exe as a modder meets it: an archive opened and listed, a picture previewed, an
entry replaced by dropping a file on it and another deleted, the script saved and compared with
what velmora-cli.exe writes, the archive rebuilt under the progress dialog and compared with a
run of the terminal tool, unsaved changes offered for saving, a damaged archive opened."""

import os
import re
import shutil
import struct
import unittest
import zlib

import test_any_language  # its English prefix
import test_cli  # its batch-file runner
import velmora_e2e as e2e
import wdf  # tools/wdf.py, on the path through velmora_e2e
from test_users_day import TEXTS  # the programs' texts in both languages

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLE = os.path.join(HERE, "..", "..", "examples", "demo")
STUDIO = os.environ.get("VELMORA_STUDIO", "")


def studio_ids():
    """The command and control ids of res/studio_ids.h, by name."""
    ids = {}
    with open(os.path.join(HERE, "..", "..", "res", "studio_ids.h")) as header:
        for line in header:
            match = re.match(r"#define (ID\w+) (\d+)", line)
            if match:
                ids[match.group(1)] = int(match.group(2))
    return ids


ID = studio_ids()


def bmp_picture(width, height, bgr):
    """A 24-bit BMP of one colour."""
    row = bytes(bgr) * width
    row += b"\0" * ((4 - len(row) % 4) % 4)
    pixels = row * height
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def tga_picture(width, height, bgra):
    """A 32-bit TGA of one colour with its alpha, stored from the top."""
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, width, height, 32, 0x28)
    return header + bytes(bgra) * (width * height)


def png_picture(width, height, rgb):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = (b"\0" + bytes(rgb) * width) * height
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def list_rows(fields):
    """The rows of a list event as lists of texts (bytes)."""
    if not fields["rows"]:
        return []
    return [[bytes.fromhex(cell) for cell in row.split("|")] for row in fields["rows"].split(";")]


class StudioTest(e2e.E2eTestCase):

    run_batch = test_cli.CliTest.run_batch

    def setUp(self):
        super().setUp()
        if not STUDIO:
            raise unittest.SkipTest("VelmoraStudio.exe is not built")

    def studio(self, arguments, steps, answers=(), dialog_inputs=(), screenshots=False,
               lock=None):
        result = self.scenario.run(arguments, program=STUDIO, main_window="VelmoraStudio",
                                   steps=list(steps), answers=answers,
                                   dialog_inputs=dialog_inputs, screenshots=screenshots,
                                   lock=lock, timeout_ms=120000)
        self.assertExit(result, 0)
        return result

    def test_an_archive_opens_as_a_list_and_pictures_preview_over_a_checkerboard(self):
        self.scenario.write_wdf("art.wdf", [
            (0x10, e2e.gbk("标题\r\n")),
            (0xA1B2, bmp_picture(40, 20, (0, 0, 255))),        # red
            (0xA1B3, tga_picture(40, 20, (255, 0, 0, 0))),     # blue, wholly transparent
            (0xA1B4, png_picture(40, 20, (0, 255, 0))),        # green
            (0xA1B2, b""),
        ])
        result = self.studio(b'"' + self.scenario.win("art.wdf") + b'"', [
            "list 10",
            "text %d" % ID["IDC_STATUS"],
            "select-wait 1 %d" % ID["IDC_PREVIEW_INFO"],
            "screenshot-child %d bmp" % ID["IDC_PREVIEW"],
            "select-wait 2 %d" % ID["IDC_PREVIEW_INFO"],
            "screenshot-child %d tga" % ID["IDC_PREVIEW"],
            "select-wait 3 %d" % ID["IDC_PREVIEW_INFO"],
            "screenshot-child %d png" % ID["IDC_PREVIEW"],
            "text %d" % ID["IDC_PREVIEW_INFO"],
            "close",
        ], screenshots=True)
        listing = e2e.event_fields(result, "list")[0]
        self.assertEqual("5", listing["count"], result.describe())
        rows = list_rows(listing)
        self.assertEqual([e2e.gbk(c) for c in ("0", "00000010", "6", "文本", "未改动", "")], rows[0])
        # Kinds that are words in the user's language, file types as they are.
        self.assertEqual([r[3] for r in rows], [e2e.gbk("文本"), b"bmp", b"tga", b"png", e2e.gbk("空")])
        self.assertEqual([r[1] for r in rows][4], b"0000A1B2")
        status = bytes.fromhex(e2e.event_fields(result, "text")[0]["text"])
        self.assertEqual(e2e.gbk("5 个条目，0 处改动，共 %s 字节" %
                                 "{:,}".format(len(self.scenario.read("art.wdf")) - 12 - 5 * 16)),
                         status)
        self.assertEqual(e2e.gbk("40 × 20 像素"), bytes.fromhex(e2e.event_fields(result, "text")[1]["text"]))

        # Each picture at 100 % in the middle of the pane's picture area.
        for name, expected in (("bmp", (255, 0, 0)), ("png", (0, 255, 0))):
            width, height, pixel = e2e.read_bmp(self.scenario.path(name + ".bmp"))
            centre = pixel(width // 2, (height + 30) // 2)
            self.assertEqual(expected, centre, "%s preview, centre pixel" % name)
        width, height, pixel = e2e.read_bmp(self.scenario.path("tga.bmp"))
        checker = {pixel(width // 2 + dx, (height + 30) // 2 + dy) for dx in range(-16, 16, 2)
                   for dy in range(-8, 8, 2)}
        self.assertEqual({(0xCC, 0xCC, 0xCC), (0x99, 0x99, 0x99)}, checker,
                         "a transparent picture shows the checkerboard")

    def test_a_mapped_tga_from_the_right_previews_and_a_too_large_picture_is_refused(self):
        # 2 x 1 pixels, one raw packet of palette indices 0 and 1 stored from the right: red on
        # the left, green on the right.
        palette = bytes((0, 255, 0, 0, 0, 255))
        mapped = struct.pack("<BBBHHBHHHHBB", 0, 1, 9, 0, 2, 24, 0, 0, 2, 1, 8, 0x30)
        mapped += palette + b"\x01\x00\x01"
        huge = struct.pack("<BBBHHBHHHHBB", 0, 0, 10, 0, 0, 0, 0, 0, 8000, 8000, 24, 0x20)
        self.scenario.write_wdf("art.wdf", [(1, mapped), (2, huge + b"\xff\x10\x20\x30")])
        result = self.studio(b'"' + self.scenario.win("art.wdf") + b'"', [
            "select-wait 0 %d" % ID["IDC_PREVIEW_INFO"],
            "screenshot-child %d mapped" % ID["IDC_PREVIEW"],
            "select-wait 1 %d" % ID["IDC_PREVIEW_INFO"],
            "text %d" % ID["IDC_PREVIEW_INFO"],
            "close",
        ], screenshots=True)
        width, height, pixel = e2e.read_bmp(self.scenario.path("mapped.bmp"))
        self.assertEqual((255, 0, 0), pixel(width // 2 - 8, (height + 30) // 2), "left half")
        self.assertEqual((0, 255, 0), pixel(width // 2 + 8, (height + 30) // 2), "right half")
        self.assertEqual(e2e.gbk("8000 × 8000 像素：太大，不予预览"),
                         bytes.fromhex(e2e.event_fields(result, "text")[0]["text"]))

    def test_a_dropped_file_and_a_delete_are_saved_and_rebuilt_as_the_terminal_tool_does(self):
        shutil.copytree(EXAMPLE, self.scenario.path("demo"))
        self.scenario.write("edited/00000002.txt", "第二项，改过\r\n")
        steps = [
            "drop 1 " + self.scenario.win("edited\\00000002.txt").decode("gbk"),
            "select 3",
            "command %d" % ID["IDM_DELETE"],
            "list 4",
            "command %d" % ID["IDM_UNDO"],
            "command %d" % ID["IDM_REDO"],
            "command %d" % ID["IDM_SAVE"],
            "text %d" % ID["IDC_STATUS"],
            "command %d" % ID["IDM_REBUILD"],
            "wait-ms 200",
            "close",
        ]
        script = self.scenario.win("scripts\\mod.vlm").decode("gbk")
        os.makedirs(self.scenario.path("scripts"))
        result = self.studio(b'"' + self.scenario.win("demo\\ui.wdf") + b'"', steps,
                             answers=("no",), dialog_inputs=(script, "-"))
        rows = list_rows(e2e.event_fields(result, "list")[0])
        self.assertEqual(e2e.gbk("替换为文件 ") + self.scenario.win("edited\\00000002.txt"),
                         rows[1][4], result.describe())
        self.assertEqual(e2e.gbk("删除"), rows[3][4])
        self.assertEqual(e2e.gbk("6 个条目，2 处改动，共 441 字节"),
                         bytes.fromhex(e2e.event_fields(result, "text")[0]["text"]))
        # The rebuild ran, and the question to open the result was answered No.
        self.assertEqual(1, len(result.boxes), result.describe())
        self.assertEqual(e2e.gbk("已生成 ") + self.scenario.win("scripts\\mod.wdf") +
                         e2e.gbk("。现在打开它吗？"), result.boxes[0].text)

        studio_script = self.scenario.read("scripts/mod.vlm")
        built = self.scenario.read("scripts/mod.wdf")
        os.remove(self.scenario.path("scripts/mod.wdf"))
        codes = self.run_batch([
            b"CLI script --from-dir edited -o scripts\\cli.vlm demo\\ui.wdf > script.txt 2>&1",
            b"echo script=%ERRORLEVEL%> codes.txt",
            b"CLI run --yes scripts\\mod.vlm > run.txt 2>&1",
            b"echo run=%ERRORLEVEL%>> codes.txt",
        ])
        self.assertEqual({"script": 0, "run": 0}, codes, self.scenario.read("run.txt"))
        self.assertEqual(self.scenario.read("scripts/cli.vlm") + b"@00000004=@Delete\r\n",
                         studio_script)
        self.assertEqual(self.scenario.read("scripts/mod.wdf"), built)
        source = dict(wdf.entries(self.scenario.read("demo/ui.wdf")))
        self.assertEqual([(1, source[1]), (2, e2e.gbk("第二项，改过\r\n")), (3, source[3]),
                          (5, source[5]), (6, source[6])], wdf.entries(built))

    def test_closing_with_unsaved_changes_asks_and_cancel_keeps_the_window(self):
        shutil.copytree(EXAMPLE, self.scenario.path("demo"))
        before = self.scenario.read("demo/ui.wdf")
        result = self.studio(b'"' + self.scenario.win("demo\\ui.wdf") + b'"', [
            "select 0",
            "command %d" % ID["IDM_DELETE"],
            "close",
            "list 1",  # runs only once the question is answered Cancel: the window is still there
            "close",
        ], answers=("cancel", "no"))
        self.assertEqual(2, len(result.boxes), result.describe())
        for box in result.boxes:
            self.assertEqual(e2e.gbk("是否保存对 未保存的脚本 的改动？"), box.text)
            self.assertEqual(sorted([6, 7, 2]), box.button_ids)
            self.assertEqual("question", box.icon)
        self.assertEqual("6", e2e.event_fields(result, "list")[0]["count"])
        self.assertEqual(["demo/demo.vlm", "demo/extra/icons.wdf", "demo/pictures/title.bmp",
                          "demo/ui.wdf"], [f for f in self.scenario.files() if f.startswith("demo")])
        self.assertEqual(before, self.scenario.read("demo/ui.wdf"))

    def test_a_damaged_archive_opens_with_its_findings_and_its_bad_entry_marked(self):
        # Entry 2's size reaches far beyond the end of the file.
        self.scenario.write("broken.wdf", wdf.header(3, 12 + 17) + b"goodbad entryfine" +
                            wdf.index_entry(1, 12, 4) + wdf.index_entry(2, 16, 0x7FFFFFF0) +
                            wdf.index_entry(3, 25, 4))
        self.scenario.write("not-an-archive.wdf", b"hello")
        result = self.studio(b'"' + self.scenario.win("broken.wdf") + b'"', [
            "text %d" % ID["IDC_FINDINGS"],
            "list 3",
            "select 1",
            "select 2",
            "drop-window " + self.scenario.win("not-an-archive.wdf").decode("gbk"),
            "text %d" % ID["IDC_FINDINGS"],
            "list 3",
            "close",
        ])
        findings = [bytes.fromhex(f["text"]) for f in e2e.event_fields(result, "text")]
        self.assertTrue(findings[0].startswith(e2e.gbk("检查发现 1 个错误、")), shown_all(findings))
        self.assertTrue(findings[0].endswith(b"@00000002 (1)"), shown_all(findings))
        rows = list_rows(e2e.event_fields(result, "list")[0])
        # The bad entry is the one a rebuild cannot get past: the row says so with the reason.
        self.assertTrue(rows[1][4].startswith(e2e.gbk("无法执行：")), rows[1][4])
        self.assertEqual(e2e.gbk("越界"), rows[1][3])
        self.assertEqual(e2e.gbk("不会写入：重新生成在此之前就会失败"), rows[2][4],
                         "an entry behind the bad one is never reached")
        self.assertTrue(findings[1].endswith(e2e.gbk("not-an-archive.wdf 不是一个有效的WDF文件")),
                        shown_all(findings))
        self.assertEqual("0", e2e.event_fields(result, "list")[1]["count"])

    def test_compare_marks_the_entries_that_differ_from_another_archive(self):
        self.scenario.write_wdf("old.wdf", [(1, b"one"), (2, b"two"), (2, b"two again")])
        self.scenario.write_wdf("new.wdf", [(2, b"two"), (1, b"ONE"), (9, b"nine")])
        result = self.studio(b'"' + self.scenario.win("old.wdf") + b'"', [
            "command %d" % ID["IDM_COMPARE"],
            "text %d" % ID["IDC_FINDINGS"],
            "list 3",
            "close",
        ], dialog_inputs=(self.scenario.win("new.wdf").decode("gbk"), "-"))
        # Every difference named, the entry only there included, which no row can show.
        report = e2e.event_fields(result, "dialog-answered")[1]
        self.assertEqual(e2e.gbk("与 ") + self.scenario.win("new.wdf") + e2e.gbk(" 比较"),
                         bytes.fromhex(report["title"]))
        self.assertEqual(e2e.gbk("@00000001 不同\r\n@00000002 (2) 对方没有\r\n"
                                 "@00000009 只在对方中\r\n"), bytes.fromhex(report["field"]))
        self.assertEqual("0,0", report["selected"], "the report opens to be read: nothing selected")
        self.assertEqual(e2e.gbk("与 ") + self.scenario.win("new.wdf") +
                         e2e.gbk(" 比较：2 个条目不同，1 个条目只在对方中"),
                         bytes.fromhex(e2e.event_fields(result, "text")[0]["text"]), result.describe())
        self.assertEqual([e2e.gbk(t) for t in ("不同", "相同", "对方没有")],
                         [row[5] for row in list_rows(e2e.event_fields(result, "list")[0])])


    def test_a_rebuild_onto_the_archive_itself_keeps_a_backup_that_file_backups_restores(self):
        self.scenario.write_wdf("mods/ui.wdf", [(1, b"one"), (2, b"two"), (3, b"three")])
        self.scenario.write("mods/new.txt", b"ONE")
        original = self.scenario.read("mods/ui.wdf")
        self.scenario.write("mods/ui.vlm", b"#SrcFile=ui.wdf\r\n#DestFile=ui.wdf\r\n"
                                           b"#InPlace=yes\r\n@00000002=@Delete\r\n")
        archive = self.scenario.win("mods\\ui.wdf")
        script = self.scenario.win("mods\\ui.vlm")
        result = self.studio(b'"' + script + b'"', [
            "command %d" % ID["IDM_REBUILD"],   # the script's choice, in place, stands
            "list 5",
            # The user's day goes on: the script again, one more change, a second rebuild.
            "command %d" % ID["IDM_OPEN"],
            "drop 0 " + self.scenario.win("mods\\new.txt").decode("gbk"),
            "command %d" % ID["IDM_REBUILD"],
            "command %d" % ID["IDM_BACKUPS"],   # the newest backup (the first rebuild's) back
            "list 5",
            "close",
        ], dialog_inputs=("-", script.decode("gbk"), "-", "-"))
        texts = [box.text for box in result.boxes]
        self.assertEqual(4, len(texts), result.describe())
        for n, kept in ((0, b".1.bak"), (1, b".2.bak")):
            self.assertEqual(e2e.gbk("已重新生成 ") + archive + e2e.gbk("。\n\n原文件已备份为 ") +
                             archive + kept + e2e.gbk("\n可用“文件 > 备份”把它恢复。"), texts[n])
        rows = list_rows(e2e.event_fields(result, "list")[0])
        self.assertEqual([b"00000001", b"00000003"], [row[1] for row in rows],
                         "the list shows the new archive")
        self.assertEqual([e2e.gbk("未改动")] * 2, [row[4] for row in rows])
        self.assertEqual(e2e.gbk("用备份 ") + archive + e2e.gbk(".2.bak 替换 ") + archive +
                         e2e.gbk("？\n\n现在的资源包会保留为新的备份。"), texts[2], result.describe())
        self.assertEqual(e2e.gbk("已用备份 ") + archive + e2e.gbk(".2.bak 恢复 ") + archive +
                         e2e.gbk("。\n\n替换下来的资源包保留为 ") + archive + e2e.gbk(".3.bak。"),
                         texts[3])
        self.assertEqual([b"00000001", b"00000003"],
                         [row[1] for row in list_rows(e2e.event_fields(result, "list")[1])])
        # Each backup says what replaced it, as restore --list says it: both rebuilds ran the script.
        choice = list_rows(e2e.event_fields(result, "dialog-answered")[3])
        self.assertEqual([b"ui.wdf.2.bak", b"ui.wdf.1.bak"], [row[0] for row in choice])
        self.assertEqual([e2e.gbk("脚本 ") + script] * 2, [row[4] for row in choice])
        self.assertEqual(original, self.scenario.read("mods/ui.wdf.1.bak"))
        # The restored backup stays: every backup remains a state to go back to.
        self.assertTrue(os.path.exists(self.scenario.path("mods/ui.wdf.2.bak")))
        self.assertEqual([(1, b"ONE"), (3, b"three")],
                         wdf.entries(self.scenario.read("mods/ui.wdf.3.bak")))
        self.assertEqual([(1, b"one"), (3, b"three")],
                         wdf.entries(self.scenario.read("mods/ui.wdf")))

    def test_an_archive_inside_opens_from_its_bytes_in_a_window_of_its_own(self):
        self.scenario.write_wdf("outer.wdf", [(1, b"one"),
                                              (0xA, wdf.archive([(7, b"seven"), (8, b"")]))])
        result = self.studio(b'"' + self.scenario.win("outer.wdf") + b'"', [
            "select 1",
            "command %d" % ID["IDM_OPEN_NESTED"],
            "wait-ms 300",
            "close",
        ])
        nested = [f for f in e2e.event_fields(result, "window") if "dx" in f]
        self.assertEqual(1, len(nested), result.describe())
        self.assertEqual(b"outer.wdf @0000000A - Velmora Studio",
                         bytes.fromhex(nested[0]["title"]))
        self.assertGreater(int(nested[0]["dx"]), 0, "placed apart from its parent")
        self.assertGreater(int(nested[0]["dy"]), 0, "placed apart from its parent")
    def test_another_program_holding_the_archive_is_named_without_a_rule_line(self):
        # In place, the archive itself is held; otherwise the archive the rebuild replaces.
        for held, target, answers in (("界面.wdf", "界面.wdf\r\n#InPlace=yes", ()),
                                      ("旧.wdf", "旧.wdf", ("ok",))):
            with self.subTest(held=held):
                self.scenario = e2e.Scenario(self.id().split(".")[-1] + "_" + str(len(answers)))
                self.check_held_archive_named(held, target, answers)

    def check_held_archive_named(self, held, target, answers):
        s = self.scenario
        s.write_wdf("mods/界面.wdf", [(1, b"one"), (2, b"two")])
        s.write_wdf("mods/旧.wdf", [(9, b"old")])
        s.write("mods/ui.vlm", e2e.gbk("#SrcFile=界面.wdf\r\n#DestFile=%s\r\n"
                                       "@00000002=@Delete\r\n" % target))
        before = {name: s.read("mods/" + name) for name in ("界面.wdf", "旧.wdf")}
        result = self.studio(b'"' + s.win("mods\\ui.vlm") + b'"', [
            "command %d" % ID["IDM_REBUILD"],
            "close",
        ], answers=answers, dialog_inputs=("-",), lock="mods\\" + held)
        path = s.win("mods\\" + held).decode("gbk")
        in_use = e2e.gbk(TEXTS["MsgFileInUse"][0] % path)
        failure = result.boxes[-1].text
        self.assertIn(in_use, failure, result.describe())
        self.assertNotIn(b"@0000", failure, "the rule lines were carried out")
        if answers == ():
            self.assertEqual(e2e.gbk(TEXTS["MsgBackupFailed"][0] % (path, "")) + in_use + e2e.BLANKS,
                             failure)
        self.assertEqual(before, {name: s.read("mods/" + name) for name in before})
        self.assertEqual(["mods/ui.vlm", "mods/旧.wdf", "mods/界面.wdf"],
                         [f for f in s.files() if f.startswith("mods")])


# ---- Scripts of either encoding, on a Windows of either language ------------------------------

class ScriptsOfEitherEncoding:
    """A script naming a Chinese archive, opened, listed, changed, saved in the encoding it was
    read in (every untouched line byte for byte) and rebuilt as the terminal tool rebuilds it."""

    LANGUAGE = "zh"
    ENCODINGS = ("gbk", "utf-8-sig")
    SHOWN = "gbk"  # how the driver reports texts

    run_batch = test_cli.CliTest.run_batch

    def setUp(self):
        super().setUp()
        if not STUDIO:
            raise unittest.SkipTest("VelmoraStudio.exe is not built")

    def win(self, relative):
        return ("%s\\%s\\%s" % (e2e.DRIVE, self.scenario.name, relative)).encode(self.SHOWN)

    def say(self, key, *args):
        chinese, english = TEXTS[key]
        return ((chinese if self.LANGUAGE == "zh" else english) % args).encode(self.SHOWN)

    def test_a_script_is_listed_changed_saved_and_rebuilt(self):
        for encoding in self.ENCODINGS:
            with self.subTest(encoding=encoding):
                self.scenario = e2e.Scenario("%s_%s_%s" % (self.id().split(".")[-1],
                                                           self.LANGUAGE, encoding))
                self.check_script_of(encoding)

    def test_a_utf8_script_saved_as_a_new_one_is_read_again_in_code_page_936(self):
        s = self.scenario
        s.write_wdf("界面.wdf", [(0x10, b"ten"), (0x20, b"twenty")])
        s.write("图片/标题.bmp", b"new picture")
        s.write("模组.vlm", "#SrcFile=界面.wdf\r\n@00000020=图片\\标题.bmp\r\n".encode("utf-8"))
        steps, names, answers = [], [], []
        if self.LANGUAGE == "en":
            # A name code page 936 lacks: no new script could be read again under it.
            steps.append("command %d" % ID["IDM_SAVE_AS"])
            names.append(self.win("한.vlm").decode(self.SHOWN))
            answers.append("ok")
        steps += ["command %d" % ID["IDM_SAVE_AS"], "list 2", "close"]
        names.append(self.win("另存.vlm").decode(self.SHOWN))
        result = StudioTest.studio(self, b'"' + self.win("模组.vlm") + b'"',
                                   [step.encode(self.SHOWN) for step in steps],
                                   answers=answers, dialog_inputs=[n.encode(self.SHOWN) for n in names])
        self.assertEqual([self.say("TxtNameOutsideCodePage", names[0])] * len(answers),
                         [box.text for box in result.boxes], result.describe())
        self.assertNotIn("한.vlm", os.listdir(s.path()))
        saved = s.read("另存.vlm").decode("gbk")
        self.assertIn("#SrcFile=界面.wdf\r\n", saved)
        self.assertIn("@00000020=图片\\标题.bmp\r\n", saved)
        # The window reads the new script in its own code page: the names still right.
        rows = list_rows(e2e.event_fields(result, "list")[0])
        self.assertTrue(rows[1][4].endswith(self.win("图片\\标题.bmp")), result.describe())

    def check_script_of(self, encoding):
        s = self.scenario
        s.write_wdf("界面.wdf", [(0x10, b"ten"), (0x20, b"twenty"), (0x30, b"thirty")])
        s.write("图片/标题.bmp", b"new picture")
        written = ("; 界面的新标题\r\n#SrcFile=界面.wdf\r\n#DestFile=输出\\新界面.wdf\r\n"
                   "@00000020=图片\\标题.bmp ; 新的\r\n").encode(encoding)
        s.write("模组.vlm", written)
        outside = self.LANGUAGE == "en" and encoding == "gbk"
        steps = ["list 3", "select 2", "command %d" % ID["IDM_DELETE"]]
        if outside:
            # A name code page 936 lacks cannot go into this script: refused, nothing changed.
            s.write("한.bmp", b"korean")
            steps.append("drop 0 " + self.win("한.bmp").decode(self.SHOWN))
        steps += ["list 3", "command %d" % ID["IDM_SAVE"], "command %d" % ID["IDM_REBUILD"],
                  "close"]
        steps = [step.encode(self.SHOWN) for step in steps]
        result = StudioTest.studio(self, b'"' + self.win("模组.vlm") + b'"', steps,
                                   answers=("ok",) * outside + ("no",), dialog_inputs=("-",))
        rows = list_rows(e2e.event_fields(result, "list")[0])
        self.assertEqual([b"00000010", b"00000020", b"00000030"], [row[1] for row in rows])
        self.assertTrue(rows[1][4].startswith(self.say("TxtChangeFile", "")), result.describe())
        self.assertTrue(rows[1][4].endswith("图片\\标题.bmp".encode(self.SHOWN)), rows[1][4])
        changed = list_rows(e2e.event_fields(result, "list")[1])
        self.assertEqual([self.say("TxtChangeNone"), rows[1][4], self.say("TxtChangeDelete")],
                         [row[4] for row in changed], result.describe())
        boxes = [box.text for box in result.boxes]
        expected = [self.say("TxtRebuildDone", self.win("输出\\新界面.wdf").decode(self.SHOWN))]
        if outside:
            expected.insert(0, self.say("TxtNameOutsideCodePage",
                                        self.win("한.bmp").decode(self.SHOWN)))
        self.assertEqual(expected, boxes, result.describe())
        self.assertEqual(written + b"@00000030=@Delete\r\n", s.read("模组.vlm"))

        built = s.read("输出/新界面.wdf")
        self.assertEqual([(0x10, b"ten"), (0x20, b"new picture")], wdf.entries(built))
        os.remove(s.path("输出/新界面.wdf"))
        shutil.copy(s.path("模组.vlm"), s.path("cli.vlm"))
        codes = self.run_batch([b"CLI run --yes cli.vlm > run.txt 2>&1",
                                b"echo run=%ERRORLEVEL%> codes.txt"])
        self.assertEqual({"run": 0}, codes, s.read("run.txt"))
        self.assertEqual(built, s.read("输出/新界面.wdf"))


class ScriptsOnAChineseWindowsTest(ScriptsOfEitherEncoding, e2e.E2eTestCase):
    pass


class ScriptsOnAnEnglishWindowsTest(ScriptsOfEitherEncoding, e2e.E2eTestCase):
    LANGUAGE = "en"
    ENCODINGS = ("gbk", "utf-8")
    SHOWN = "utf-8"
    setUpClass = test_any_language.EnglishWindowsTest.__dict__["setUpClass"]
    tearDownClass = test_any_language.EnglishWindowsTest.__dict__["tearDownClass"]


def shown_all(texts):
    return "\n".join(e2e.shown(text) for text in texts)


if __name__ == "__main__":
    e2e.main()
