"""The UI driver's own tests, against a small program that shows boxes of every kind and a
progress dialog like the product's (tests/e2e/ui_driver/sample_app.cpp)."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import velmora_e2e as e2e  # noqa: E402


class UiDriverTest(e2e.E2eTestCase):
    def run_sample(self, arguments, **options):
        return self.scenario.run(arguments, program=e2e.SAMPLE_APP, **options)

    def test_program_without_window_gives_its_exit_code(self):
        result = self.run_sample("none 7")
        self.assertNoWindow(result)
        self.assertExit(result, 7)

    def test_reads_each_box_and_answers_in_order(self):
        result = self.run_sample("boxes", answers=["ok", "cancel", "ok"])
        self.assertEqual(3, len(result.boxes), result.describe())
        self.assertBox(result, result.boxes[0], "错误", "error")
        self.assertBox(result, result.boxes[1], "继续吗？", "question", (e2e.IDOK, e2e.IDCANCEL))
        self.assertBox(result, result.boxes[2], "完成", "information")
        self.assertFalse(any(box.owned for box in result.boxes), result.describe())
        # The program's exit code is the three answers as decimal digits: OK 1, Cancel 2.
        self.assertExit(result, 121)

    def test_close_box_answers_the_question_with_cancel(self):
        result = self.run_sample("boxes", answers=["close", "close", "close"])
        self.assertEqual(3, len(result.boxes), result.describe())
        self.assertEqual(2, result.exit_code // 10 % 10, result.describe())

    def test_follows_the_progress_dialog_to_its_end(self):
        result = self.run_sample("dialog 5")
        samples = result.dialog_samples
        self.assertTrue(samples, result.describe())
        self.assertEqual((0, 5), samples[0].range, result.describe())
        self.assertEqual(e2e.gbk("作者：sample"), samples[0].texts[1001], result.describe())
        self.assertEqual(e2e.gbk("日期："), samples[0].texts[1002], result.describe())
        self.assertEqual(b"sample credit", samples[0].texts[1004], result.describe())
        finished = [s for s in samples if s.pos == 5]
        self.assertTrue(finished, "the bar never reached 5\n" + result.describe())
        self.assertEqual(b"Velmora 100%", finished[-1].title, result.describe())
        self.assertEqual(e2e.gbk("正在生成文件... 5/5"), finished[-1].texts[1003],
                         result.describe())
        self.assertEqual(1, len(result.boxes), result.describe())
        self.assertBox(result, result.boxes[0], None, "information")
        self.assertTrue(result.boxes[0].owned, "the report box belongs to the dialog")
        self.assertIn("dialog-gone", result.events)
        self.assertExit(result, 0)

    def test_esc_cancels_the_progress_dialog(self):
        result = self.run_sample("dialog 100000", esc_after_ms=300)
        self.assertIn("dialog-key esc", result.events, result.describe())
        self.assertEqual(1, len(result.boxes), result.describe())
        self.assertEqual(b"cancelled" + e2e.BLANKS, result.boxes[0].text, result.describe())
        self.assertEqual("error", result.boxes[0].icon, result.describe())
        self.assertExit(result, 3)

    def test_close_box_cancels_the_progress_dialog(self):
        result = self.run_sample("dialog 100000", close_after_ms=300)
        self.assertIn("dialog-key close", result.events, result.describe())
        self.assertEqual(1, len(result.boxes), result.describe())
        self.assertExit(result, 3)

    def test_program_that_never_ends_is_killed_at_the_timeout(self):
        result = self.run_sample("hang", timeout_ms=3000)
        self.assertTrue(result.timed_out, result.describe())
        self.assertIsNone(result.exit_code)


if __name__ == "__main__":
    e2e.main()
