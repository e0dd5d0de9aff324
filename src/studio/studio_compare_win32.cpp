// Comparing the open archive with another.
#include "studio/studio_window_win32.h"

#include "studio/studio_window_parts_win32.h"

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
  SetWindowTextA(findings_, TextOf(StudioText::TxtCompared, {path, Grouped(comparison.Differing),
                                                             Grouped(comparison.OnlyThere)})
                                .c_str());
  ShowWindow(findings_, SW_SHOW);
  Layout();
  if (sort_column_ == EntryColumn::kCompared) RefreshRows();
  InvalidateRect(list_, nullptr, FALSE);
}

}  // namespace velmora
