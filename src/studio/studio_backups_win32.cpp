// File > Backups: the backups rebuilds in place kept of the open archive, and the chosen one put
// back in its place.
#include "studio/studio_window_win32.h"

#include <commctrl.h>

#include <cstdio>

#include "job/paths.h"
#include "studio/studio_window_parts_win32.h"
#include "studio_ids.h"
#include "sys/system_error.h"

namespace velmora {

namespace {

// A last-write mark of the system (100-nanosecond steps since 1601) as local "YYYY-MM-DD HH:MM".
std::string LocalTime(uint64_t written) {
  if (written == 0) return "?";
  FILETIME utc = {static_cast<DWORD>(written), static_cast<DWORD>(written >> 32)};
  FILETIME local;
  SYSTEMTIME time;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time)) return "?";
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", time.wYear, time.wMonth, time.wDay,
                time.wHour, time.wMinute);
  return text;
}

// What replaced the archive the backup keeps, as `restore --list` says it.
std::string MadeByText(const StudioDocument::Backup& backup) {
  switch (backup.MadeBy) {
    case BackupMaker::kUnknown:
      break;
    case BackupMaker::kRestore:
      return TextOf(StudioText::TxtMadeByRestore, {std::to_string(backup.Note.Restored)});
    case BackupMaker::kUndo:
      return TextOf(StudioText::TxtMadeByUndo, {ShownPath(backup.Note.Script)});
    case BackupMaker::kPatch:
      return TextOf(StudioText::TxtMadeByPatch, {ShownPath(backup.Note.Script)});
    case BackupMaker::kScript:
      return TextOf(StudioText::TxtMadeByScript, {ShownPath(backup.Note.Script)});
  }
  return Text(StudioText::TxtMadeByUnknown);
}

void AddColumn(HWND list, int at, StudioText title, int width, bool right) {
  std::wstring text = WideText(Text(title));
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  column.fmt = right ? LVCFMT_RIGHT : LVCFMT_LEFT;
  column.cx = Scaled(width);
  column.pszText = &text[0];
  SendMessageW(list, LVM_INSERTCOLUMNW, at, reinterpret_cast<LPARAM>(&column));
}

void SetCell(HWND list, int row, int column, const std::string& text) {
  std::wstring copy = WideText(text);
  LVITEMW item = {};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = &copy[0];
  if (column == 0) {
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  } else {
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  }
}

}  // namespace

void StudioWindow::ShowBackups() {
  if (!document_.IsOpen() || document_.IsNested()) return;
  const std::string archive = document_.Archive().Path();
  std::vector<StudioDocument::Backup> backups;
  if (!document_.Backups(&backups)) {
    ShowError(TextOf(StudioText::TxtOpenFailed, {DirectoryPart(archive), LastSystemErrorText()}));
    return;
  }
  if (backups.empty()) {
    ShowBox(window_, TextOf(StudioText::TxtBackupsNone, {archive}), MB_OK | MB_ICONINFORMATION);
    return;
  }
  int chosen = -1;
  SmallDialog dialog{
      StudioText::TxtMenuBackups,
      [&](HWND box) {
        SetText(box, TextOf(StudioText::TxtBackupsTitle, {FileNamePart(archive)}));
        SetItemText(box, IDC_BACKUPS_TEXT, TextOf(StudioText::TxtBackupsHint, {archive}));
        SetItemText(box, IDOK, Text(StudioText::TxtBackupsRestore));
        SetItemText(box, IDCANCEL, Text(StudioText::TxtClose));
        HWND list = GetDlgItem(box, IDC_BACKUPS_LIST);
        ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
        AddColumn(list, 0, StudioText::TxtColumnBackup, 170, false);
        AddColumn(list, 1, StudioText::TxtColumnWritten, 120, false);
        AddColumn(list, 2, StudioText::TxtColumnSize, 90, true);
        AddColumn(list, 3, StudioText::TxtColumnEntries, 70, true);
        AddColumn(list, 4, StudioText::TxtColumnMadeBy, 260, false);
        // Newest first: the one a person most likely wants back.
        for (size_t k = backups.size(); k-- > 0;) {
          const int row = static_cast<int>(backups.size() - 1 - k);
          const StudioDocument::Backup& backup = backups[k];
          SetCell(list, row, 0, FileNamePart(backup.Path));
          SetCell(list, row, 1, LocalTime(backup.Written));
          SetCell(list, row, 2, Grouped(backup.Size));
          SetCell(list, row, 3, backup.Entries < 0 ? "?" : Grouped(backup.Entries));
          SetCell(list, row, 4, MadeByText(backup));
        }
        ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
      },
      [&](HWND box) {
        const int row = ListView_GetNextItem(GetDlgItem(box, IDC_BACKUPS_LIST), -1, LVNI_SELECTED);
        chosen = row < 0 ? -1 : static_cast<int>(backups.size()) - 1 - row;
      }};
  if (!RunSmallDialog(window_, IDD_BACKUPS, dialog) || chosen < 0) return;
  const std::string backup = backups[static_cast<size_t>(chosen)].Path;
  if (ShowBox(window_, TextOf(StudioText::TxtRestoreAsk, {backup, archive}),
              MB_OKCANCEL | MB_ICONQUESTION) != IDOK) {
    return;
  }
  if (!OfferToSave()) return;
  std::string kept;
  std::string problem;
  kinds_.Stop();  // its reader holds the archive too
  if (!document_.RestoreBackup(backup, &kept, &problem)) {
    StartKinds();
    ShowError(problem);
    return;
  }
  ShowOpened();
  if (!problem.empty()) ShowError(problem);
  std::string report = TextOf(StudioText::TxtRestored, {backup, archive});
  if (!kept.empty()) report += TextOf(StudioText::TxtRestoredKept, {kept});
  ShowBox(window_, report, MB_OK | MB_ICONINFORMATION);
}

}  // namespace velmora
