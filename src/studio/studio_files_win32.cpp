// Opening and saving, extracting entries, and opening an archive found inside the archive.
#include "studio/studio_window_win32.h"

#include <commctrl.h>

#include "job/paths.h"
#include "studio/studio_window_parts_win32.h"
#include "sys/file_system.h"
#include "sys/system_error.h"
#include "wdf/extracted_name.h"
#include "wdf/resource_id.h"

namespace velmora {

void StudioWindow::OpenPath(const std::string& path) {
  if (!OfferToSave()) return;
  std::string problem;
  HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  const bool opened = document_.Open(path, &problem);
  SetCursor(old);
  if (!opened) {
    ShowError(problem);
    return;
  }
  settings_.Remember(path);
  settings_.LastFolder = DirectoryPart(path);
  settings_.Store();
  SetWindowTextA(filter_, "");
  filter_value_ = RowFilter();
  sort_column_ = EntryColumn::kPosition;
  sort_descending_ = false;

  const ArchiveCheck& check = document_.Archive().Check();
  if (!check.Findings.empty()) {
    // The first finding named: errors come first, then repeated ids, shared bytes and bytes of
    // nothing.
    const ArchiveFinding& first = check.Findings.front();
    std::string what;
    if (first.Kind == ArchiveFinding::Type::kFault) {
      what = Message(MessageKey::MsgSourceNotWdf, {document_.Archive().Path()});
    } else if (first.Region.Entry >= 0 && first.Kind != ArchiveFinding::Type::kUncovered &&
               static_cast<uint64_t>(first.Region.Entry) < document_.Archive().Count()) {
      const uint32_t position = static_cast<uint32_t>(first.Region.Entry);
      what = "@" + FormatId(document_.Archive().Entry(position).Id) + " (" +
             std::to_string(position) + ")";
    } else {
      what = Grouped(first.Region.Start) + "-" + Grouped(first.Region.End);
    }
    SetWindowTextA(findings_, TextOf(StudioText::TxtDamaged,
                                     {Grouped(check.Errors), Grouped(check.Warnings), what})
                                  .c_str());
    ShowWindow(findings_, SW_SHOW);
  } else {
    ShowWindow(findings_, SW_HIDE);
  }
  Layout();
  RefreshRows();
  UpdateTitle();
}

bool StudioWindow::OfferToSave() {
  if (!document_.IsOpen() || !document_.Changes().Modified()) return true;
  const std::string name =
      document_.HasScript() ? document_.ScriptPath() : Text(StudioText::TxtUntitled);
  const int answer =
      MessageBoxA(window_, TextOf(StudioText::TxtAskSave, {name}).c_str(),
                  Text(StudioText::TxtTitle).c_str(), MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answer == IDCANCEL) return false;
  if (answer == IDNO) return true;
  return Save(false);
}

bool StudioWindow::Save(bool choose_name) {
  if (!document_.IsOpen()) return false;
  std::string path = document_.ScriptPath();
  if (choose_name || path.empty()) {
    path = ChooseFile(true, Text(StudioText::TxtScriptFiles), "vlm");
    if (path.empty()) return false;
  }
  if (!SaveScriptTo(path, ScriptTarget())) return false;
  settings_.Remember(path);
  UpdateTitle();
  return true;
}

bool StudioWindow::SaveScriptTo(const std::string& path, const ScriptTarget& target) {
  std::string unwritable;
  std::string problem;
  if (document_.SaveScript(path, target, &unwritable, &problem)) return true;
  ShowError(unwritable.empty() ? problem : TextOf(StudioText::TxtPathUnwritable, {unwritable}));
  return false;
}

void StudioWindow::Extract(bool all) {
  if (!document_.IsOpen()) return;
  StudioArchive& archive = document_.Archive();
  std::vector<uint32_t> positions;
  if (all) {
    for (uint32_t k = 0; k < archive.Count(); ++k) positions.push_back(k);
  } else {
    for (uint32_t position : SelectedPositions()) {
      if (!document_.Changes().IsAdded(position)) positions.push_back(position);
    }
  }
  if (positions.empty()) return;
  const std::string folder = ChooseFolder();
  if (folder.empty()) return;
  const std::vector<uint32_t> occurrences = IdOccurrences(archive.Entries());
  // Everything is checked before the first file is written, so a refusal leaves nothing.
  std::vector<std::pair<uint32_t, std::string>> plan;
  for (uint32_t position : positions) {
    const WdfEntry& entry = archive.Entry(position);
    if (!EntryBytesInFile(entry, archive.FileSize())) {
      ShowError("@" + FormatId(entry.Id) + ": " + Text(StudioText::TxtUnreadableEntry));
      return;
    }
    const std::string path =
        folder + "\\" +
        ExtractedFileName(entry.Id, occurrences[position], archive.KindAt(position));
    if (SystemFileSystem().FileIsPresent(path)) {
      ShowError(TextOf(StudioText::TxtExtractExists, {path}));
      return;
    }
    plan.push_back({position, path});
  }
  for (const auto& file : plan) {
    std::unique_ptr<Stream> out = SystemFileSystem().CreateNewExclusive(file.second);
    bool written = out != nullptr;
    if (written) {
      written = archive.ReadAll(file.first,
                                [&out](const char* data, size_t n) { return out->Write(data, n); });
    }
    if (!written) {
      const std::string reason = LastSystemErrorText();
      out.reset();
      SystemFileSystem().RemoveFile(file.second);
      ShowError(TextOf(StudioText::TxtWriteFailed, {file.second, reason}));
      return;
    }
  }
  MessageBoxA(window_, TextOf(StudioText::TxtExtracted, {Grouped(plan.size()), folder}).c_str(),
              Text(StudioText::TxtTitle).c_str(), MB_OK | MB_ICONINFORMATION);
}

void StudioWindow::OpenNested() {
  const int row = FocusedRow();
  if (row < 0 || document_.Changes().IsAdded(rows_[row])) return;
  const uint32_t position = rows_[row];
  char folder[MAX_PATH];
  if (!GetTempPathA(MAX_PATH, folder)) return;
  const std::string path =
      std::string(folder) + "VelmoraStudio-" + FormatId(document_.Archive().Entry(position).Id) +
      "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(position) + ".wdf";
  std::unique_ptr<Stream> out = SystemFileSystem().CreateExclusive(path);
  if (!out || !document_.Archive().ReadAll(
                  position, [&out](const char* data, size_t n) { return out->Write(data, n); })) {
    ShowError(TextOf(StudioText::TxtWriteFailed, {path, LastSystemErrorText()}));
    return;
  }
  out.reset();
  // A window of its own, so that what is open here stays open.
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string command = std::string("\"") + program + "\" \"" + path + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (CreateProcessA(program, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                     &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

}  // namespace velmora
