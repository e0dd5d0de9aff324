// The edits of the list: replace, take from an entry or another archive, add, and files dropped on
// the window.
#include "studio/studio_window_win32.h"

#include <commctrl.h>

#include "studio/studio_window_parts_win32.h"
#include "job/script.h"
#include "studio_ids.h"
#include "wdf/resource_id.h"

namespace velmora {

void StudioWindow::EditSelected(const PendingChange& change) {
  std::vector<uint32_t> positions = SelectedPositions();
  if (positions.empty()) return;
  if (change.Kind != ChangeKind::kUnchanged) {
    for (uint32_t position : positions) {
      if (!document_.Changes().IsAdded(position) &&
          document_.Archive().IsLaterOccurrence(position)) {
        ShowError(TextOf(StudioText::TxtUnreachable,
                         {"@" + FormatId(document_.Archive().Entry(position).Id)}));
        return;
      }
    }
  }
  if (document_.Changes().Set(positions, change)) RefreshAfterEdit();
}

void StudioWindow::ReplaceSelected(const std::string& path) {
  PendingChange change;
  change.Kind = ChangeKind::kFile;
  change.Path = path;
  EditSelected(change);
}

bool StudioWindow::AskId(StudioText prompt, uint32_t* id) {
  std::string answer;
  SmallDialog ask{
      StudioText::TxtTitle,
      [prompt](HWND dialog) {
        SetItemText(dialog, IDC_ASK_TEXT, Text(prompt));
        SendDlgItemMessageW(dialog, IDC_ASK_EDIT, EM_SETLIMITTEXT, 16, 0);
      },
      [&answer](HWND dialog) { answer = WindowText(GetDlgItem(dialog, IDC_ASK_EDIT)); }};
  if (!RunSmallDialog(window_, IDD_ASK_ID, ask)) return false;
  if (!ParseIdArgument(TrimBlanksAndControls(answer), id)) {
    ShowError(TextOf(StudioText::TxtBadId, {answer}));
    return false;
  }
  return true;
}

void StudioWindow::TakeEntry() {
  uint32_t id = 0;
  if (SelectedPositions().empty() || !AskId(StudioText::TxtAskId, &id)) return;
  uint32_t position = 0;
  if (!document_.Archive().FirstWithId(id, &position)) {
    ShowError(TextOf(StudioText::TxtNoSuchId, {document_.Archive().Path(), FormatId(id)}));
    return;
  }
  PendingChange change;
  change.Kind = ChangeKind::kEntry;
  change.TakenId = id;
  EditSelected(change);
}

void StudioWindow::TakeOtherArchive() {
  if (SelectedPositions().empty()) return;
  const std::string path = ChooseFile(false, Text(StudioText::TxtFilterFiles), "wdf");
  if (path.empty()) return;
  uint32_t id = 0;
  if (!AskId(StudioText::TxtAskId, &id)) return;
  StudioDocument::FileFailure failure;
  if (!document_.OtherArchiveHas(path, id, &failure)) {
    ShowError(FailureText(failure));
    return;
  }
  PendingChange change;
  change.Kind = ChangeKind::kOtherArchive;
  change.TakenId = id;
  change.Path = path;
  EditSelected(change);
}

void StudioWindow::AddEntry() {
  if (!document_.IsOpen()) return;
  const std::string path = ChooseFile(false, Text(StudioText::TxtAllFiles), "");
  if (path.empty()) return;
  uint32_t id = 0;
  if (!AskId(StudioText::TxtAddId, &id)) return;
  if (!document_.IdIsFree(id)) {
    ShowError(TextOf(StudioText::TxtIdExists, {FormatId(id)}));
    return;
  }
  document_.Changes().Add(id, path);
  RefreshAfterEdit();
}

void StudioWindow::DropFiles(HDROP drop) {
  POINT point = {};
  DragQueryPoint(drop, &point);
  std::vector<std::wstring> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT k = 0; k < count; ++k) {
    std::wstring path(DragQueryFileW(drop, k, nullptr, 0) + 1, L'\0');
    path.resize(DragQueryFileW(drop, k, &path[0], static_cast<UINT>(path.size())));
    if (!path.empty()) paths.push_back(path);
  }
  DragFinish(drop);
  if (paths.empty()) return;
  // Over an entry of the list: one file replaces that entry. Anywhere else: the file is opened.
  POINT in_list = point;
  MapWindowPoints(window_, list_, &in_list, 1);
  LVHITTESTINFO hit = {};
  hit.pt = in_list;
  const int row = document_.IsOpen() ? ListView_HitTest(list_, &hit) : -1;
  if (row >= 0 && paths.size() == 1 && !NamesScript(paths[0])) {
    std::string path;
    if (!TakePath(paths[0], &path)) return;
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(list_, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ReplaceSelected(path);
    return;
  }
  OpenPath(paths[0]);
}

}  // namespace velmora
