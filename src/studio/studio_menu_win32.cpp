// The Studio's menus, their keys and the commands they start.
#include "studio/studio_window_win32.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "studio/studio_file_type_win32.h"
#include "studio/studio_window_parts_win32.h"
#include "studio_ids.h"
#include "sys/system_error.h"

namespace velmora {

namespace {

// Commands that save, rebuild or compare the open archive's file: an archive inside another has
// none, so its window only shows, extracts and opens what it holds.
constexpr int kNeedsAFile[] = {IDM_SAVE,       IDM_SAVE_AS,    IDM_UNDO,   IDM_REDO,    IDM_REPLACE,
                               IDM_TAKE_ENTRY, IDM_TAKE_OTHER, IDM_DELETE, IDM_RESTORE, IDM_ADD,
                               IDM_REBUILD,    IDM_COMPARE,    IDM_BACKUPS};

// The program's version as its version resource holds it: "1.0.0.9".
std::string ProgramVersion() {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16));
  HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  const auto* bytes = loaded ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
  const DWORD size = found ? SizeofResource(nullptr, found) : 0;
  // The fixed part begins with its signature; the file version follows two words later.
  for (DWORD at = 0; bytes && at + 16 <= size; at += 4) {
    DWORD words[4];
    std::memcpy(words, bytes + at, sizeof words);
    if (words[0] != 0xFEEF04BD) continue;
    return std::to_string(HIWORD(words[2])) + "." + std::to_string(LOWORD(words[2])) + "." +
           std::to_string(HIWORD(words[3])) + "." + std::to_string(LOWORD(words[3]));
  }
  return "?";
}

// Opens the guide that comes with the program, in the user's language where it is there.
// `*found` gets the guide's path when one is there; false when none is, or the system could not
// open it (its reason in the last error).
bool OpenGuideBeside(const std::wstring& folder, std::wstring* found) {
  const bool chinese = InterfaceIsChinese();
  const wchar_t* names[] = {chinese ? L"\u4F7F\u7528\u8BF4\u660E.txt" : L"README-en.txt",
                            chinese ? L"README-en.txt" : L"\u4F7F\u7528\u8BF4\u660E.txt"};
  found->clear();
  for (const wchar_t* name : names) {
    const std::wstring path = folder + name;
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    *found = path;
    // The system's own box would speak of "associations"; the Studio says what failed.
    SHELLEXECUTEINFOW open = {};
    open.cbSize = sizeof(open);
    open.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    open.lpVerb = L"open";
    open.lpFile = path.c_str();
    open.lpDirectory = folder.c_str();
    open.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&open) != FALSE;
  }
  return false;
}

}  // namespace

void StudioWindow::OpenGuide() {
  wchar_t program[MAX_PATH * 2] = {};
  const DWORD n = GetModuleFileNameW(nullptr, program, MAX_PATH * 2);
  std::wstring folder(program, n);
  folder.erase(folder.find_last_of(L'\\') + 1);
  std::wstring guide;
  if (OpenGuideBeside(folder, &guide)) return;
  // Read before anything else can set it.
  const std::string reason = LastSystemErrorText();
  std::string shown;
  if (!TextFromWide(guide.empty() ? folder : guide, &shown)) {
    ShowNameOutsideCodePage(guide.empty() ? folder : guide);
    return;
  }
  ShowError(guide.empty() ? TextOf(StudioText::TxtGuideMissing, {shown})
                          : TextOf(StudioText::TxtGuideNotOpened, {shown, reason}));
}

void StudioWindow::BuildMenu() {
  HMENU bar = CreateMenu();
  auto item = [](HMENU menu, int id, StudioText text) {
    AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(id), WideText(Text(text)).c_str());
  };
  HMENU file = CreatePopupMenu();
  item(file, IDM_OPEN, StudioText::TxtMenuOpen);
  recent_menu_ = CreatePopupMenu();
  AppendMenuW(file, MF_POPUP, reinterpret_cast<UINT_PTR>(recent_menu_),
              WideText(Text(StudioText::TxtMenuRecent)).c_str());
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  item(file, IDM_SAVE, StudioText::TxtMenuSave);
  item(file, IDM_SAVE_AS, StudioText::TxtMenuSaveAs);
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  item(file, IDM_EXTRACT_SELECTED, StudioText::TxtMenuExtractSelected);
  item(file, IDM_EXTRACT_ALL, StudioText::TxtMenuExtractAll);
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  item(file, IDM_BACKUPS, StudioText::TxtMenuBackups);
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  item(file, IDM_OFFER_FOR_ARCHIVES, StudioText::TxtMenuOfferForArchives);
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  item(file, IDM_EXIT, StudioText::TxtMenuExit);
  HMENU edit = CreatePopupMenu();
  item(edit, IDM_UNDO, StudioText::TxtMenuUndo);
  item(edit, IDM_REDO, StudioText::TxtMenuRedo);
  AppendMenuW(edit, MF_SEPARATOR, 0, nullptr);
  item(edit, IDM_REPLACE, StudioText::TxtMenuReplace);
  item(edit, IDM_TAKE_ENTRY, StudioText::TxtMenuTakeEntry);
  item(edit, IDM_TAKE_OTHER, StudioText::TxtMenuTakeOther);
  item(edit, IDM_DELETE, StudioText::TxtMenuDelete);
  item(edit, IDM_RESTORE, StudioText::TxtMenuRestore);
  item(edit, IDM_ADD, StudioText::TxtMenuAdd);
  AppendMenuW(edit, MF_SEPARATOR, 0, nullptr);
  item(edit, IDM_FILTER, StudioText::TxtMenuFilter);
  HMENU archive = CreatePopupMenu();
  item(archive, IDM_REBUILD, StudioText::TxtMenuRebuild);
  item(archive, IDM_COMPARE, StudioText::TxtMenuCompare);
  item(archive, IDM_OPEN_NESTED, StudioText::TxtMenuOpenNested);
  HMENU help = CreatePopupMenu();
  item(help, IDM_GUIDE, StudioText::TxtMenuGuide);
  item(help, IDM_ABOUT, StudioText::TxtMenuAbout);
  auto popup = [bar](HMENU menu, StudioText text) {
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), WideText(Text(text)).c_str());
  };
  popup(file, StudioText::TxtMenuFile);
  popup(edit, StudioText::TxtMenuEdit);
  popup(archive, StudioText::TxtMenuArchive);
  popup(help, StudioText::TxtMenuHelp);
  SetMenu(window_, bar);

  ACCEL keys[] = {
      {FCONTROL | FVIRTKEY, 'O', IDM_OPEN},    {FCONTROL | FVIRTKEY, 'S', IDM_SAVE},
      {FCONTROL | FVIRTKEY, 'Z', IDM_UNDO},    {FCONTROL | FVIRTKEY, 'Y', IDM_REDO},
      {FCONTROL | FVIRTKEY, 'R', IDM_REPLACE}, {FCONTROL | FVIRTKEY, 'T', IDM_TAKE_ENTRY},
      {FVIRTKEY, VK_DELETE, IDM_DELETE},       {FCONTROL | FVIRTKEY, VK_BACK, IDM_RESTORE},
      {FVIRTKEY, VK_INSERT, IDM_ADD},          {FCONTROL | FVIRTKEY, 'F', IDM_FILTER},
      {FVIRTKEY, VK_F5, IDM_REBUILD},          {FCONTROL | FVIRTKEY, 'D', IDM_COMPARE},
  };
  accelerators_ = CreateAcceleratorTableW(keys, sizeof keys / sizeof keys[0]);
}

void StudioWindow::UpdateMenu() {
  HMENU menu = GetMenu(window_);
  const bool open = document_.IsOpen();
  const bool selected = open && !SelectedPositions().empty();
  auto enable = [menu](int id, bool on) {
    EnableMenuItem(menu, static_cast<UINT>(id), MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
  };
  for (int id :
       {IDM_SAVE, IDM_SAVE_AS, IDM_EXTRACT_ALL, IDM_ADD, IDM_REBUILD, IDM_COMPARE, IDM_BACKUPS}) {
    enable(id, open);
  }
  for (int id : {IDM_EXTRACT_SELECTED, IDM_REPLACE, IDM_TAKE_ENTRY, IDM_TAKE_OTHER, IDM_DELETE,
                 IDM_RESTORE}) {
    enable(id, selected);
  }
  enable(IDM_UNDO, open && document_.Changes().CanUndo());
  enable(IDM_REDO, open && document_.Changes().CanRedo());
  if (open && document_.IsNested()) {
    for (int id : kNeedsAFile) enable(id, false);
  }
  const int row = FocusedRow();
  enable(IDM_OPEN_NESTED, row >= 0 && !document_.Changes().IsAdded(rows_[row]) &&
                              document_.Archive().KindAt(rows_[row]) == EntryKind::kWdf);
  CheckMenuItem(menu, IDM_OFFER_FOR_ARCHIVES,
                MF_BYCOMMAND | (StudioOfferedForArchives() ? MF_CHECKED : MF_UNCHECKED));
  while (GetMenuItemCount(recent_menu_) > 0) DeleteMenu(recent_menu_, 0, MF_BYPOSITION);
  for (size_t k = 0; k < settings_.Recent.size(); ++k) {
    const std::wstring label =
        L"&" + std::to_wstring(k + 1) + L" " + WideFromUtf8(settings_.Recent[k]);
    AppendMenuW(recent_menu_, MF_STRING, IDM_RECENT_FIRST + k, label.c_str());
  }
}

void StudioWindow::Command(int id) {
  // While a run or a question holds the window, a command sent to it waits for nothing: it is
  // dropped, so that no rebuild or restore starts inside another.
  if (!IsWindowEnabled(window_)) return;
  if (id >= IDM_RECENT_FIRST && id <= IDM_RECENT_LAST) {
    const size_t k = static_cast<size_t>(id - IDM_RECENT_FIRST);
    if (k < settings_.Recent.size()) OpenPath(WideFromUtf8(settings_.Recent[k]));
    return;
  }
  const bool open = document_.IsOpen();
  if (!open && id != IDM_OPEN && id != IDM_EXIT && id != IDM_ABOUT && id != IDM_GUIDE &&
      id != IDM_OFFER_FOR_ARCHIVES) {
    return;
  }
  if (open && document_.IsNested() &&
      std::find(std::begin(kNeedsAFile), std::end(kNeedsAFile), id) != std::end(kNeedsAFile)) {
    return;
  }
  switch (id) {
    case IDM_OPEN: {
      // The name stays wide until the code page of what it names is known.
      const std::wstring path = ChooseWideFile(false, Text(StudioText::TxtFilterFiles), "wdf");
      if (!path.empty()) OpenPath(path);
      break;
    }
    case IDM_SAVE:
      Save(false);
      break;
    case IDM_SAVE_AS:
      Save(true);
      break;
    case IDM_EXTRACT_SELECTED:
      Extract(false);
      break;
    case IDM_EXTRACT_ALL:
      Extract(true);
      break;
    case IDM_BACKUPS:
      ShowBackups();
      break;
    case IDM_EXIT:
      PostMessageW(window_, WM_CLOSE, 0, 0);
      break;
    case IDM_UNDO:
      Undo(false);
      break;
    case IDM_REDO:
      Undo(true);
      break;
    case IDM_REPLACE: {
      if (SelectedPositions().empty()) break;
      const std::string path = ChooseFile(false, Text(StudioText::TxtAllFiles), "");
      if (!path.empty()) ReplaceSelected(path);
      break;
    }
    case IDM_TAKE_ENTRY:
      TakeEntry();
      break;
    case IDM_TAKE_OTHER:
      TakeOtherArchive();
      break;
    case IDM_DELETE: {
      PendingChange change;
      change.Kind = ChangeKind::kDelete;
      // Added entries are removed rather than deleted.
      std::vector<uint32_t> source;
      std::vector<uint32_t> added;
      for (uint32_t position : SelectedPositions()) {
        (document_.Changes().IsAdded(position) ? added : source).push_back(position);
      }
      if (!added.empty() && document_.Changes().Set(added, PendingChange())) RefreshAfterEdit();
      if (!source.empty()) EditSelected(change);
      break;
    }
    case IDM_RESTORE:
      EditSelected(PendingChange());
      break;
    case IDM_ADD:
      AddEntry();
      break;
    case IDM_FILTER:
      SetFocus(filter_);
      SendMessageW(filter_, EM_SETSEL, 0, -1);
      break;
    case IDM_REBUILD:
      Rebuild();
      break;
    case IDM_COMPARE:
      Compare();
      break;
    case IDM_OPEN_NESTED:
      OpenNested();
      break;
    case IDM_OFFER_FOR_ARCHIVES:
      if (!OfferStudioForArchives(!StudioOfferedForArchives())) {
        ShowError(Text(StudioText::TxtOfferFailed));
      }
      break;
    case IDM_GUIDE:
      OpenGuide();
      break;
    case IDM_ABOUT:
      ShowBox(window_, TextOf(StudioText::TxtAbout, {ProgramVersion()}),
              MB_OK | MB_ICONINFORMATION);
      break;
  }
}

void StudioWindow::Undo(bool redo) {
  if (!document_.IsOpen()) return;
  const std::vector<uint32_t> touched =
      redo ? document_.Changes().Redo() : document_.Changes().Undo();
  if (!touched.empty()) RefreshAfterEdit();
}

}  // namespace velmora
