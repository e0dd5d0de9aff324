// The entry list: its rows, the text of its cells, its colours, and the preview of the row in
// focus.
#include "studio/studio_window_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "studio/preview_content.h"
#include "studio/studio_window_parts_win32.h"
#include "wdf/resource_id.h"

namespace velmora {

void StudioWindow::StartKinds() {
  StudioArchive& archive = document_.Archive();
  kinds_.Start(archive.AnotherReader(document_.Files()), archive.Entries(), archive.FileSize(),
               window_, kKindsFoundMessage);
}

void StudioWindow::TakeKinds() {
  std::vector<uint8_t> kinds;
  if (document_.IsOpen() && kinds_.Take(&kinds)) document_.Archive().TakeKinds(kinds);
}

void StudioWindow::RefreshRows() {
  if (!document_.IsOpen()) return;
  HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  if (filter_value_.Kind == RowFilter::Type::kKind || sort_column_ == EntryColumn::kKind) {
    TakeKinds();
  }
  rows_ = document_.Rows(filter_value_, sort_column_, sort_descending_);
  SetCursor(old);
  ListView_SetItemCountEx(list_, static_cast<int>(rows_.size()), 0);
  InvalidateRect(list_, nullptr, FALSE);
  UpdateStatus();
  ShowSelected();
}

void StudioWindow::RefreshAfterEdit() {
  // Added entries come and go with undo; everything else only changes its text.
  if (rows_.size() != document_.Archive().Count() + document_.Changes().AddedCount() ||
      document_.Changes().AddedCount() > 0 || sort_column_ == EntryColumn::kChange) {
    RefreshRows();
  } else {
    InvalidateRect(list_, nullptr, FALSE);
    UpdateStatus();
    ShowSelected();
  }
  UpdateTitle();
}

int StudioWindow::FocusedRow() const {
  const int row = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
  if (row >= 0 && static_cast<size_t>(row) < rows_.size() &&
      ListView_GetItemState(list_, row, LVIS_SELECTED)) {
    return row;
  }
  const int selected = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
  return selected >= 0 && static_cast<size_t>(selected) < rows_.size() ? selected : -1;
}

std::vector<uint32_t> StudioWindow::SelectedPositions() const {
  std::vector<uint32_t> positions;
  for (int row = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
       row >= 0 && static_cast<size_t>(row) < rows_.size();
       row = ListView_GetNextItem(list_, row, LVNI_SELECTED)) {
    positions.push_back(rows_[row]);
  }
  return positions;
}

void StudioWindow::ShowSelected() {
  const int row = FocusedRow();
  if (row < 0) {
    preview_.Clear();
    return;
  }
  const uint32_t position = rows_[row];
  // The bytes a rebuild would write, as the document foresees them; the entry's own bytes when
  // it writes none.
  const RowFacts facts = document_.Row(position);
  std::string note = RowStateText(facts);
  std::string bytes;
  const EntryKind kind = facts.Kind;
  const bool whole = kind == EntryKind::kBmp || kind == EntryKind::kPng ||
                     kind == EntryKind::kJpg || kind == EntryKind::kGif ||
                     kind == EntryKind::kTga || kind == EntryKind::kWav;
  const size_t limit = whole                      ? kPreviewPictureLimit
                       : kind == EntryKind::kText ? kPreviewTextLimit
                                                  : kPreviewHexLimit;
  if (facts.State != RowState::kNotCarriedOut && !document_.ReadRowBytes(position, limit, &bytes)) {
    if (!note.empty()) note += "  ";
    note += Text(StudioText::TxtUnreadableEntry);
  }
  preview_.Show(kind, bytes, facts.Size, note);
}

// What a rebuild does with the row, when that is more than its change says.
std::string StudioWindow::RowStateText(const RowFacts& facts) {
  switch (facts.State) {
    case RowState::kNotCarriedOut:
      return TextOf(StudioText::TxtRowNotCarriedOut, {facts.Reason});
    case RowState::kFails:
      return TextOf(StudioText::TxtRowFails, {facts.Reason});
    case RowState::kNotReached:
      return Text(StudioText::TxtRowNotReached);
    default:
      return std::string();
  }
}

std::string StudioWindow::CellText(uint32_t position, int column) {
  if (position >= kFirstDormantRow) {
    // A rule line for an id the archive lacks: the run leaves it alone.
    if (column == 1) return FormatId(document_.Row(position).Id);
    return column == 4 ? Text(StudioText::TxtNotCarriedOut) : std::string();
  }
  const PendingChanges& changes = document_.Changes();
  StudioArchive& archive = document_.Archive();
  const RowFacts facts = document_.Row(position);
  const bool listed_only = facts.State == RowState::kNotCarriedOut;
  const bool added = changes.IsAdded(position);
  switch (column) {
    case 0:
      return added ? std::string("+") : Grouped(position);
    case 1:
      return FormatId(facts.Id);
    case 2:
      return listed_only ? std::string() : Grouped(facts.Size);
    case 3:
      return listed_only ? std::string() : KindShown(facts.Kind);
    case 4: {
      const std::string state = RowStateText(facts);
      if (!state.empty()) return state;
      const PendingChange& change = changes.ChangeAt(position);
      switch (change.Kind) {
        case ChangeKind::kUnchanged:
          return archive.IsBad(position) ? Text(StudioText::TxtUnreadableEntry)
                                         : Text(StudioText::TxtChangeNone);
        case ChangeKind::kFile:
          return TextOf(StudioText::TxtChangeFile, {change.Path});
        case ChangeKind::kEntry:
          return TextOf(StudioText::TxtChangeEntry, {FormatId(change.TakenId)});
        case ChangeKind::kOtherArchive:
          return TextOf(StudioText::TxtChangeOther, {change.Path, FormatId(change.TakenId)});
        case ChangeKind::kDelete:
          return Text(StudioText::TxtChangeDelete);
        case ChangeKind::kAdded:
          return TextOf(StudioText::TxtChangeAdded, {change.Path});
        case ChangeKind::kUnreadable:
          return TextOf(StudioText::TxtChangeUnreadable, {change.Path});
      }
      return std::string();
    }
    case 5: {
      const ComparisonMarks* comparison = document_.Comparison();
      if (!comparison || added || position >= comparison->Entries.size()) return std::string();
      switch (comparison->Entries[position]) {
        case EntryChange::kSame:
          return Text(StudioText::TxtDiffSame);
        case EntryChange::kChanged:
          return Text(StudioText::TxtDiffChanged);
        case EntryChange::kRemoved:
        case EntryChange::kAdded:
          return Text(StudioText::TxtDiffOnlyHere);
      }
      return std::string();
    }
  }
  return std::string();
}

LRESULT StudioWindow::HandleNotify(NMHDR* header) {
  if (header->hwndFrom != list_) return 0;
  switch (header->code) {
    case LVN_GETDISPINFOW: {
      auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
      if ((info->item.mask & LVIF_TEXT) && info->item.iItem >= 0 &&
          static_cast<size_t>(info->item.iItem) < rows_.size()) {
        cell_ = WideText(CellText(rows_[info->item.iItem], info->item.iSubItem));
        lstrcpynW(info->item.pszText, cell_.c_str(), info->item.cchTextMax);
      }
      return 0;
    }
    case LVN_COLUMNCLICK: {
      const auto* view = reinterpret_cast<NMLISTVIEW*>(header);
      const EntryColumn columns[kColumnCount] = {EntryColumn::kPosition, EntryColumn::kId,
                                                 EntryColumn::kSize,     EntryColumn::kKind,
                                                 EntryColumn::kChange,   EntryColumn::kCompared};
      const EntryColumn column = columns[view->iSubItem];
      sort_descending_ = column == sort_column_ ? !sort_descending_ : false;
      sort_column_ = column;
      RefreshRows();
      return 0;
    }
    case LVN_ITEMCHANGED: {
      const auto* view = reinterpret_cast<NMLISTVIEW*>(header);
      if (view->uChanged & LVIF_STATE) ShowSelected();
      return 0;
    }
    case NM_CUSTOMDRAW: {
      auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
      if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
      if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        const size_t row = draw->nmcd.dwItemSpec;
        if (row < rows_.size()) {
          const uint32_t position = rows_[row];
          const bool added = document_.Changes().IsAdded(position);
          if (!added && document_.Archive().IsBad(position)) {
            draw->clrText = RGB(0xC0, 0, 0);
          } else if (document_.Changes().ChangeAt(position).Kind != ChangeKind::kUnchanged) {
            draw->clrText = RGB(0, 0x40, 0xC0);
          }
          const ComparisonMarks* comparison = document_.Comparison();
          if (comparison && !added && position < comparison->Entries.size() &&
              comparison->Entries[position] != EntryChange::kSame) {
            draw->clrTextBk = RGB(0xFF, 0xF0, 0xC0);
          }
        }
        return CDRF_DODEFAULT;
      }
      return CDRF_DODEFAULT;
    }
  }
  return 0;
}

}  // namespace velmora
