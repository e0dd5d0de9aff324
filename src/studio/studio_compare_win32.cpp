// Comparing the open archive with another.
#include "studio/studio_window_win32.h"

#include "studio/studio_window_parts_win32.h"
#include "studio_ids.h"
#include "wdf/resource_id.h"

namespace velmora {

void StudioWindow::Compare() {
  if (!document_.IsOpen()) return;
  const std::string path = ChooseFile(false, Text(StudioText::TxtFilterFiles), "wdf");
  if (path.empty()) return;
  std::string problem;
  HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  const bool compared = document_.CompareWith(path, &problem);
  SetCursor(old);
  if (!compared) {
    ShowError(problem);
    return;
  }
  const ComparisonMarks& comparison = *document_.Comparison();
  SetText(findings_, TextOf(StudioText::TxtCompared,
                            {path, Grouped(comparison.Differing), Grouped(comparison.OnlyThere)}));
  ShowWindow(findings_, SW_SHOW);
  Layout();
  if (sort_column_ == EntryColumn::kCompared) RefreshRows();
  InvalidateRect(list_, nullptr, FALSE);

  // Every difference named, those the list cannot show (entries only there) included.
  std::string report;
  for (const EntryPair& pair : comparison.Differences) {
    std::string entry = "@" + FormatId(pair.Id);
    if (pair.Occurrence > 1) entry += " (" + std::to_string(pair.Occurrence) + ")";
    const StudioText line = pair.Change == EntryChange::kChanged   ? StudioText::TxtDiffLineChanged
                            : pair.Change == EntryChange::kRemoved ? StudioText::TxtDiffLineRemoved
                                                                   : StudioText::TxtDiffLineAdded;
    report += TextOf(line, {entry}) + "\r\n";
  }
  if (report.empty()) report = Text(StudioText::TxtCompareNone);
  SmallDialog shown{StudioText::TxtCompareReport,
                    [&](HWND dialog) {
                      SetText(dialog, TextOf(StudioText::TxtCompareReport, {path}));
                      SendDlgItemMessageW(dialog, IDC_REPORT_TEXT, EM_SETLIMITTEXT, 0, 0);
                      SetItemText(dialog, IDC_REPORT_TEXT, report);
                    },
                    [](HWND) {}, IDC_REPORT_TEXT};
  RunSmallDialog(window_, IDD_REPORT, shown);
}

}  // namespace velmora
