// The Studio's menus, their keys and the commands they start.
#include "studio/studio_window_win32.h"

#include "studio/studio_window_parts_win32.h"
#include "studio_ids.h"

namespace velmora {

void StudioWindow::BuildMenu() {
  HMENU bar = CreateMenu();
  auto item = [](HMENU menu, int id, StudioText text) {
    AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(id), Text(text).c_str());
  };
  HMENU file = CreatePopupMenu();
  item(file, IDM_OPEN, StudioText::TxtMenuOpen);
  recent_menu_ = CreatePopupMenu();
  AppendMenuA(file, MF_POPUP, reinterpret_cast<UINT_PTR>(recent_menu_),
              Text(StudioText::TxtMenuRecent).c_str());
  AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
  item(file, IDM_SAVE, StudioText::TxtMenuSave);
  item(file, IDM_SAVE_AS, StudioText::TxtMenuSaveAs);
  AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
  item(file, IDM_EXTRACT_SELECTED, StudioText::TxtMenuExtractSelected);
  item(file, IDM_EXTRACT_ALL, StudioText::TxtMenuExtractAll);
  AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
  item(file, IDM_EXIT, StudioText::TxtMenuExit);
  HMENU edit = CreatePopupMenu();
  item(edit, IDM_UNDO, StudioText::TxtMenuUndo);
  item(edit, IDM_REDO, StudioText::TxtMenuRedo);
  AppendMenuA(edit, MF_SEPARATOR, 0, nullptr);
  item(edit, IDM_REPLACE, StudioText::TxtMenuReplace);
  item(edit, IDM_TAKE_ENTRY, StudioText::TxtMenuTakeEntry);
  item(edit, IDM_TAKE_OTHER, StudioText::TxtMenuTakeOther);
  item(edit, IDM_DELETE, StudioText::TxtMenuDelete);
  item(edit, IDM_RESTORE, StudioText::TxtMenuRestore);
  item(edit, IDM_ADD, StudioText::TxtMenuAdd);
  AppendMenuA(edit, MF_SEPARATOR, 0, nullptr);
  item(edit, IDM_FILTER, StudioText::TxtMenuFilter);
  HMENU archive = CreatePopupMenu();
  item(archive, IDM_REBUILD, StudioText::TxtMenuRebuild);
  item(archive, IDM_COMPARE, StudioText::TxtMenuCompare);
  item(archive, IDM_OPEN_NESTED, StudioText::TxtMenuOpenNested);
  HMENU help = CreatePopupMenu();
  item(help, IDM_ABOUT, StudioText::TxtMenuAbout);
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file),
              Text(StudioText::TxtMenuFile).c_str());
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit),
              Text(StudioText::TxtMenuEdit).c_str());
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(archive),
              Text(StudioText::TxtMenuArchive).c_str());
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help),
              Text(StudioText::TxtMenuHelp).c_str());
  SetMenu(window_, bar);

  ACCEL keys[] = {
      {FCONTROL | FVIRTKEY, 'O', IDM_OPEN},    {FCONTROL | FVIRTKEY, 'S', IDM_SAVE},
      {FCONTROL | FVIRTKEY, 'Z', IDM_UNDO},    {FCONTROL | FVIRTKEY, 'Y', IDM_REDO},
      {FCONTROL | FVIRTKEY, 'R', IDM_REPLACE}, {FCONTROL | FVIRTKEY, 'T', IDM_TAKE_ENTRY},
      {FVIRTKEY, VK_DELETE, IDM_DELETE},       {FCONTROL | FVIRTKEY, VK_BACK, IDM_RESTORE},
      {FVIRTKEY, VK_INSERT, IDM_ADD},          {FCONTROL | FVIRTKEY, 'F', IDM_FILTER},
      {FVIRTKEY, VK_F5, IDM_REBUILD},          {FCONTROL | FVIRTKEY, 'D', IDM_COMPARE},
  };
  accelerators_ = CreateAcceleratorTableA(keys, sizeof keys / sizeof keys[0]);
}

void StudioWindow::UpdateMenu() {
  HMENU menu = GetMenu(window_);
  const bool open = document_.IsOpen();
  const bool selected = open && !SelectedPositions().empty();
  auto enable = [menu](int id, bool on) {
    EnableMenuItem(menu, static_cast<UINT>(id), MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
  };
  for (int id : {IDM_SAVE, IDM_SAVE_AS, IDM_EXTRACT_ALL, IDM_ADD, IDM_REBUILD, IDM_COMPARE}) {
    enable(id, open);
  }
  for (int id : {IDM_EXTRACT_SELECTED, IDM_REPLACE, IDM_TAKE_ENTRY, IDM_TAKE_OTHER, IDM_DELETE,
                 IDM_RESTORE}) {
    enable(id, selected);
  }
  enable(IDM_UNDO, open && document_.Changes().CanUndo());
  enable(IDM_REDO, open && document_.Changes().CanRedo());
  const int row = FocusedRow();
  enable(IDM_OPEN_NESTED, row >= 0 && !document_.Changes().IsAdded(rows_[row]) &&
                              document_.Archive().KindAt(rows_[row]) == EntryKind::kWdf);
  while (GetMenuItemCount(recent_menu_) > 0) DeleteMenu(recent_menu_, 0, MF_BYPOSITION);
  for (size_t k = 0; k < settings_.Recent.size(); ++k) {
    const std::string label = "&" + std::to_string(k + 1) + " " + settings_.Recent[k];
    AppendMenuA(recent_menu_, MF_STRING, IDM_RECENT_FIRST + k, label.c_str());
  }
}

void StudioWindow::Command(int id) {
  if (id >= IDM_RECENT_FIRST && id <= IDM_RECENT_LAST) {
    const size_t k = static_cast<size_t>(id - IDM_RECENT_FIRST);
    if (k < settings_.Recent.size()) OpenPath(std::string(settings_.Recent[k]));
    return;
  }
  const bool open = document_.IsOpen();
  if (!open && id != IDM_OPEN && id != IDM_EXIT && id != IDM_ABOUT) return;
  switch (id) {
    case IDM_OPEN: {
      const std::string path = ChooseFile(false, Text(StudioText::TxtFilterFiles), "wdf");
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
    case IDM_EXIT:
      PostMessageA(window_, WM_CLOSE, 0, 0);
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
      SendMessageA(filter_, EM_SETSEL, 0, -1);
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
    case IDM_ABOUT:
      MessageBoxA(window_, Text(StudioText::TxtAbout).c_str(), Text(StudioText::TxtTitle).c_str(),
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
