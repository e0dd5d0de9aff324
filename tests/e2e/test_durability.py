"""What survives when Velmora.exe is killed: the source and the old target byte for byte, or the
complete new archive; the next run on the same target tidies what a killed run left beside it;
and a second run on a target that is being written is refused."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import velmora_e2e as e2e  # noqa: E402
import wdf  # noqa: E402

# Enough entries that kills land while the archive is being written (a run of small entries
# takes well under a second per 100,000); fewer where Wine runs under a CPU emulator, which
# makes each entry ten times slower.
COUNT = 2000 if e2e.runs_under_cpu_emulator() else 200000
OLD_TARGET = b"the archive that was there before"
CREATE_FAILED = "创建目标文件 %s 失败    \r\r"


def source_entries():
    return [(n + 1, bytes([n & 0xFF]) * (16 + n % 16)) for n in range(COUNT)]


class DurabilityTest(e2e.E2eTestCase):
    def job(self, rules=""):
        self.scenario.write_wdf("gfx.wdf", source_entries())
        self.scenario.write("job.vlm", "#SrcFile=gfx.wdf\r\n#DestFile=new.wdf\r\n" + rules)
        return self.scenario.win("job.vlm")

    def leftovers(self):
        return [name for name in self.scenario.files() if ".vlmtmp" in name]

    def test_killed_runs_leave_the_old_target_or_the_complete_archive(self):
        job = self.job("@00000002=@Delete\r\n")
        source = self.scenario.read("gfx.wdf")
        complete = wdf.archive([e for e in source_entries() if e[0] != 2])
        killed_mid_run = 0
        # The first kill finds no target; the others an old one. The last point is the end of
        # the walk, where the index, the flush and the rename follow.
        for position, old in ((1, None), (COUNT // 2, OLD_TARGET), (COUNT, OLD_TARGET)):
            if old is not None:
                self.scenario.write("new.wdf", old)
            result = self.scenario.run(job, kill_at_progress=position, timeout_ms=600000)
            where = "after a kill at bar position %d\n%s" % (position, result.describe())
            self.assertEqual(source, self.scenario.read("gfx.wdf"), "the source changed " + where)
            if self.scenario.exists("new.wdf"):
                target = self.scenario.read("new.wdf")
                self.assertIn(target, (old, complete), "the target is %d bytes of neither the "
                              "old nor the new archive %s" % (len(target), where))
            else:
                self.assertIsNone(old, "the old target is gone " + where)
            if result.killed_at is not None:
                killed_mid_run += 1 if self.leftovers() else 0
        self.assertTrue(killed_mid_run, "no kill landed while the archive was being written")

        result = self.scenario.run(job, timeout_ms=600000)
        self.assertExit(result, 0)
        self.assertEqual(complete, self.scenario.read("new.wdf"), result.describe())
        self.assertEqual([], self.leftovers(), "the next run left what the killed one left")

    def second_run_refusal(self, held):
        """The reason a run gives when another holds `held` without sharing, as a run writing
        the same target would."""
        job = self.job()
        before = self.scenario.files()
        result = self.scenario.run(job, lock_exclusive=held)
        self.assertExit(result, 0)
        box = result.boxes[-1]
        prefix = e2e.gbk(CREATE_FAILED).replace(b"%s", self.scenario.win("new.wdf"))
        self.assertBox(result, box, None, "error")
        self.assertTrue(box.text.startswith(prefix) and len(box.text) > len(prefix) + 4,
                        "text %s\nexpected it to start with %s and name a reason\n%s" % (
                            e2e.shown(box.text), e2e.shown(prefix), result.describe()))
        self.assertEqual(before, self.scenario.files(), result.describe())
        return box.text[len(prefix):]

    def test_second_run_on_a_target_being_written_is_refused(self):
        # A run holds the old target and its temporary file for the whole run; either one held
        # refuses the second run with the same reason, and touches nothing.
        self.scenario.write("new.wdf", OLD_TARGET)
        target_held = self.second_run_refusal("new.wdf")
        self.assertEqual(OLD_TARGET, self.scenario.read("new.wdf"))
        os.remove(self.scenario.path("new.wdf"))
        self.scenario.write("new.wdf.vlmtmp", b"PFDW the first run's archive")
        temporary_held = self.second_run_refusal("new.wdf.vlmtmp")
        self.assertEqual(e2e.shown(target_held), e2e.shown(temporary_held))
        self.assertEqual(b"PFDW the first run's archive", self.scenario.read("new.wdf.vlmtmp"))
        self.assertFalse(self.scenario.exists("new.wdf"))


if __name__ == "__main__":
    e2e.main()
