#include "studio/studio_window_win32.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>

#include "job/program_entry.h"
#include "job/job_state.h"
#include "job/paths.h"
#include "studio/preview_content.h"
#include "studio/studio_texts_win32.h"
#include "studio_ids.h"
#include "sys/file_system.h"
#include "sys/system_error.h"
#include "ui/progress_dialog_win32.h"
#include "ui/windows_view_win32.h"
#include "wdf/extracted_name.h"
#include "wdf/resource_id.h"

namespace velmora {

namespace {

const char kWindowClass[] = "VelmoraStudio";
constexpr int kColumnCount = 6;
constexpr int kSplitterWidth = 5;

int Scaled(int pixels) {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(nullptr, dc);
  return MulDiv(pixels, dpi, 96);
}

// 1234567 as "1,234,567".
std::string Grouped(uint64_t value) {
  std::string digits = std::to_string(value);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<size_t>(at), ",");
  }
  return digits;
}

std::string WindowText(HWND window) {
  const int n = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  GetWindowTextA(window, &text[0], n + 1);
  text.resize(static_cast<size_t>(n));
  return text;
}

// The last-write time of a file, or 0 when it does not exist.
uint64_t WrittenAt(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

// Texts the string table holds as "name|pattern|name|pattern|" made into a filter list.
std::string FilterList(const std::string& text) {
  std::string list = text;
  std::replace(list.begin(), list.end(), '|', '\0');
  return list + '\0';
}

// The front end of a rebuild: the run of the saved script under the progress dialog, exactly as
// Velmora.exe runs it when the script is opened from the shell.
class RebuildFrontEnd final : public EntryFrontEnd {
 public:
  explicit RebuildFrontEnd(WindowsView& view) : view_(view) {}
  std::string MakeAbsolute(const std::string& argument) override { return argument; }
  void RegisterScriptType() override {}
  void UnregisterScriptType() override {}
  void RunWithProgress(JobState& job) override {
    ShowProgressDialog(job, SystemFileSystem(), view_);
  }

 private:
  WindowsView& view_;
};

// One of the Studio's small dialogs: its title, what fills it once it exists, and what reads
// it when OK is pressed.
struct SmallDialog {
  StudioText Title;
  std::function<void(HWND)> Fill;
  std::function<void(HWND)> Accept;
};

INT_PTR CALLBACK SmallDialogProcedure(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  auto* small = reinterpret_cast<SmallDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, l);
      small = reinterpret_cast<SmallDialog*>(l);
      SetWindowTextA(dialog, Text(small->Title).c_str());
      SetDlgItemTextA(dialog, IDOK, Text(StudioText::TxtOk).c_str());
      SetDlgItemTextA(dialog, IDCANCEL, Text(StudioText::TxtCancel).c_str());
      small->Fill(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(w) == IDOK) {
        small->Accept(dialog);
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(w) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

// Shows dialog `template_id` of the program; true when it was closed with OK.
bool RunSmallDialog(HWND owner, int template_id, SmallDialog& small) {
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(template_id), owner,
                         SmallDialogProcedure, reinterpret_cast<LPARAM>(&small)) == IDOK;
}

}  // namespace

StudioWindow::StudioWindow() : document_(SystemFileSystem()) {}

HWND StudioWindow::Create(const std::string& path, int show) {
  settings_.Load();
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA window_class = {};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = Procedure;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconA(instance, "MAINICON");
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kWindowClass;
  RegisterClassExA(&window_class);
  const int width = settings_.Width > 200 ? settings_.Width : Scaled(960);
  const int height = settings_.Height > 150 ? settings_.Height : Scaled(640);
  window_ = CreateWindowExA(WS_EX_ACCEPTFILES, kWindowClass, Text(StudioText::TxtTitle).c_str(),
                            WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                            width, height, nullptr, nullptr, instance, this);
  if (!window_) return nullptr;
  ShowWindow(window_, settings_.Maximized ? SW_SHOWMAXIMIZED : show);
  UpdateWindow(window_);
  if (!path.empty()) OpenPath(path);
  return window_;
}

LRESULT CALLBACK StudioWindow::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(l);
    auto* self = static_cast<StudioWindow*>(create->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<StudioWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self) return self->Handle(message, w, l);
  return DefWindowProcA(window, message, w, l);
}

LRESULT StudioWindow::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_CREATE: {
      HINSTANCE instance = GetModuleHandleA(nullptr);
      NONCLIENTMETRICSA metrics = {};
      metrics.cbSize = sizeof metrics;
      SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
      font_ = CreateFontIndirectA(&metrics.lfMessageFont);
      filter_ = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 10, 10,
                                window_, reinterpret_cast<HMENU>(IDC_FILTER), instance, nullptr);
      findings_ =
          CreateWindowExA(0, "STATIC", "", WS_CHILD | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, 0, 10, 10,
                          window_, reinterpret_cast<HMENU>(IDC_FINDINGS), instance, nullptr);
      list_ = CreateWindowExA(
          WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
          WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, 0, 0,
          10, 10, window_, reinterpret_cast<HMENU>(IDC_LIST), instance, nullptr);
      status_ =
          CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 10,
                          10, window_, reinterpret_cast<HMENU>(IDC_STATUS), instance, nullptr);
      for (HWND h : {filter_, findings_, list_, status_}) {
        SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
      }
      const std::wstring cue = [] {
        const std::string text = Text(StudioText::TxtFilterCue);
        std::wstring wide(text.size() + 1, L'\0');
        const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0],
                                          static_cast<int>(wide.size()));
        wide.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
        return wide;
      }();
      SendMessageW(filter_, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(cue.c_str()));
      ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
      const StudioText headers[kColumnCount] = {
          StudioText::TxtColumnPosition, StudioText::TxtColumnId,     StudioText::TxtColumnSize,
          StudioText::TxtColumnKind,     StudioText::TxtColumnChange, StudioText::TxtColumnCompare};
      const int widths[kColumnCount] = {70, 80, 90, 60, 260, 80};
      for (int c = 0; c < kColumnCount; ++c) {
        std::string header = Text(headers[c]);
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = (c == 0 || c == 2) ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = Scaled(widths[c]);
        column.pszText = &header[0];
        SendMessageA(list_, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
      }
      preview_.Create(window_, IDC_PREVIEW);
      BuildMenu();
      DragAcceptFiles(window_, TRUE);
      UpdateStatus();
      return 0;
    }
    case WM_SIZE:
      Layout();
      return 0;
    case WM_LBUTTONDOWN:
      if (OnSplitter(static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l)))) {
        dragging_splitter_ = true;
        SetCapture(window_);
      }
      return 0;
    case WM_MOUSEMOVE:
      if (dragging_splitter_) {
        RECT client;
        GetClientRect(window_, &client);
        const int x = static_cast<short>(LOWORD(l));
        settings_.Splitter =
            std::clamp(x, Scaled(150), std::max<int>(Scaled(150), client.right - Scaled(150)));
        Layout();
      }
      return 0;
    case WM_LBUTTONUP:
      if (dragging_splitter_) {
        dragging_splitter_ = false;
        ReleaseCapture();
      }
      return 0;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(w) == window_ && LOWORD(l) == HTCLIENT) {
        POINT point;
        GetCursorPos(&point);
        ScreenToClient(window_, &point);
        if (OnSplitter(point.x, point.y)) {
          SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
          return TRUE;
        }
      }
      break;
    case WM_COMMAND:
      if (LOWORD(w) == IDC_FILTER && HIWORD(w) == EN_CHANGE) {
        RowFilter filter;
        if (ParseRowFilter(WindowText(filter_), &filter)) {
          filter_value_ = filter;
          RefreshRows();
        } else {
          SetWindowTextA(status_, Text(StudioText::TxtFilterBad).c_str());
        }
        return 0;
      }
      if (LOWORD(w) == IDC_PREVIEW_OPEN) {
        OpenNested();
        return 0;
      }
      Command(LOWORD(w));
      return 0;
    case WM_NOTIFY:
      return HandleNotify(reinterpret_cast<NMHDR*>(l));
    case WM_DROPFILES:
      DropFiles(reinterpret_cast<HDROP>(w));
      return 0;
    case WM_INITMENUPOPUP:
      UpdateMenu();
      return 0;
    case WM_CLOSE:
      if (!OfferToSave()) return 0;
      {
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof placement;
        GetWindowPlacement(window_, &placement);
        settings_.Maximized = placement.showCmd == SW_SHOWMAXIMIZED;
        settings_.Width = placement.rcNormalPosition.right - placement.rcNormalPosition.left;
        settings_.Height = placement.rcNormalPosition.bottom - placement.rcNormalPosition.top;
        settings_.Store();
      }
      DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      if (font_) DeleteObject(font_);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window_, message, w, l);
}

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

void StudioWindow::Layout() {
  RECT client;
  GetClientRect(window_, &client);
  SendMessageA(status_, WM_SIZE, 0, 0);
  RECT status_rect;
  GetWindowRect(status_, &status_rect);
  const int status_height = status_rect.bottom - status_rect.top;
  const int pad = Scaled(4);
  const int line = Scaled(22);
  int top = pad;
  MoveWindow(filter_, pad, top, Scaled(260), line, TRUE);
  top += line + pad;
  if (IsWindowVisible(findings_)) {
    MoveWindow(findings_, pad, top, client.right - 2 * pad, line, TRUE);
    top += line + pad;
  }
  const int bottom = client.bottom - status_height;
  int split = settings_.Splitter > 0 ? settings_.Splitter : client.right * 55 / 100;
  split = std::min<int>(split, std::max<int>(Scaled(100), client.right - Scaled(100)));
  MoveWindow(list_, 0, top, split, bottom - top, TRUE);
  MoveWindow(preview_.Window(), split + Scaled(kSplitterWidth), top,
             std::max<int>(0, client.right - split - Scaled(kSplitterWidth)), bottom - top, TRUE);
}

bool StudioWindow::OnSplitter(int x, int y) const {
  RECT list;
  GetWindowRect(list_, &list);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&list), 2);
  return x >= list.right && x < list.right + Scaled(kSplitterWidth) && y >= list.top &&
         y < list.bottom;
}

void StudioWindow::ShowError(const std::string& text) {
  MessageBoxA(window_, text.c_str(), Text(StudioText::TxtTitle).c_str(), MB_OK | MB_ICONERROR);
}

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

void StudioWindow::Rebuild() {
  if (!document_.IsOpen()) return;
  if ((!document_.HasScript() || document_.Changes().Modified()) && !Save(false)) return;
  const std::string script_target = document_.TargetPath();
  int chosen = document_.InPlace() ? IDC_REBUILD_IN_PLACE : IDC_REBUILD_AS_SCRIPT;
  SmallDialog where{
      StudioText::TxtRebuildTitle,
      [&](HWND dialog) {
        SetDlgItemTextA(dialog, IDC_REBUILD_AS_SCRIPT,
                        TextOf(StudioText::TxtRebuildAsScript, {script_target}).c_str());
        SetDlgItemTextA(dialog, IDC_REBUILD_IN_PLACE, Text(StudioText::TxtRebuildInPlace).c_str());
        SetDlgItemTextA(dialog, IDC_REBUILD_OTHER, Text(StudioText::TxtRebuildOther).c_str());
        CheckRadioButton(dialog, IDC_REBUILD_AS_SCRIPT, IDC_REBUILD_OTHER, chosen);
      },
      [&](HWND dialog) {
        for (int id : {IDC_REBUILD_AS_SCRIPT, IDC_REBUILD_IN_PLACE, IDC_REBUILD_OTHER}) {
          if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) chosen = id;
        }
      }};
  if (!RunSmallDialog(window_, IDD_REBUILD, where)) return;
  ScriptTarget target;
  if (chosen == IDC_REBUILD_IN_PLACE && !document_.InPlace()) {
    target.InPlace = true;
  } else if (chosen == IDC_REBUILD_OTHER) {
    target.TargetPath = ChooseFile(true, Text(StudioText::TxtAllFiles), "wdf");
    if (target.TargetPath.empty()) return;
  }
  if (target.InPlace || !target.TargetPath.empty()) {
    if (!SaveScriptTo(document_.ScriptPath(), target)) return;
  }
  const std::string target_path = document_.TargetPath();
  const uint64_t before = WrittenAt(target_path);

  JobState job;
  job.ScriptPath = document_.ScriptPath();
  WindowsView view(job);
  RebuildFrontEnd front(view);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  EnableWindow(window_, FALSE);
  try {
    RunScriptEntry(job, SystemFileSystem(), view, front);
  } catch (const std::exception& failure) {
    ReleaseRun(job);
    EnableWindow(window_, TRUE);
    ShowError(failure.what());
    return;
  }
  ReleaseRun(job);
  EnableWindow(window_, TRUE);
  SetForegroundWindow(window_);
  const uint64_t after = WrittenAt(target_path);
  if (after != 0 && after != before) {
    if (MessageBoxA(window_, TextOf(StudioText::TxtRebuildDone, {target_path}).c_str(),
                    Text(StudioText::TxtTitle).c_str(), MB_YESNO | MB_ICONINFORMATION) == IDYES) {
      OpenPath(target_path);
    }
  }
}

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
        SetDlgItemTextA(dialog, IDC_ASK_TEXT, Text(prompt).c_str());
        SendDlgItemMessageA(dialog, IDC_ASK_EDIT, EM_SETLIMITTEXT, 16, 0);
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
  std::unique_ptr<Stream> other = SystemFileSystem().OpenShared(path);
  uint32_t count = 0;
  uint32_t index_offset = 0;
  uint32_t size = 0;
  if (!other || !ReadWdfHeader(*other, &count, &index_offset)) {
    ShowError(Message(MessageKey::MsgRefArchiveNotWdf, {path}));
    return;
  }
  if (FindEntryInArchive(*other, count, index_offset, &size, id) != IndexSearch::kFound) {
    ShowError(Message(MessageKey::MsgRefArchiveIdNotFound, {path, FormatId(id)}));
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

void StudioWindow::Undo(bool redo) {
  if (!document_.IsOpen()) return;
  const std::vector<uint32_t> touched =
      redo ? document_.Changes().Redo() : document_.Changes().Undo();
  if (!touched.empty()) RefreshAfterEdit();
}

void StudioWindow::DropFiles(HDROP drop) {
  POINT point = {};
  DragQueryPoint(drop, &point);
  std::vector<std::string> paths;
  const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT k = 0; k < count; ++k) {
    char path[MAX_PATH * 2];
    if (DragQueryFileA(drop, k, path, sizeof path)) paths.push_back(path);
  }
  DragFinish(drop);
  if (paths.empty()) return;
  // Over an entry of the list: one file replaces that entry. Anywhere else: the file is opened.
  POINT in_list = point;
  MapWindowPoints(window_, list_, &in_list, 1);
  LVHITTESTINFO hit = {};
  hit.pt = in_list;
  const int row = document_.IsOpen() ? ListView_HitTest(list_, &hit) : -1;
  if (row >= 0 && paths.size() == 1 && !IsScriptPath(paths[0])) {
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(list_, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ReplaceSelected(paths[0]);
    return;
  }
  OpenPath(paths[0]);
}

void StudioWindow::RefreshRows() {
  if (!document_.IsOpen()) return;
  HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
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

void StudioWindow::UpdateStatus() {
  if (!document_.IsOpen()) {
    SetWindowTextA(status_, "");
    return;
  }
  const StudioArchive& archive = document_.Archive();
  std::string text = TextOf(StudioText::TxtStatus,
                            {Grouped(archive.Count() + document_.Changes().AddedCount()),
                             Grouped(document_.Changes().Count()), Grouped(archive.TotalSize())});
  if (rows_.size() != archive.Count() + document_.Changes().AddedCount()) {
    text += TextOf(StudioText::TxtStatusShown, {Grouped(rows_.size())});
  }
  SetWindowTextA(status_, text.c_str());
}

void StudioWindow::UpdateTitle() {
  std::string title = Text(StudioText::TxtTitle);
  if (document_.IsOpen()) {
    const std::string& shown =
        document_.HasScript() ? document_.ScriptPath() : document_.Archive().Path();
    title = (document_.Changes().Modified() ? "*" : "") + FileNamePart(shown) + " - " + title;
  }
  SetWindowTextA(window_, title.c_str());
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
  const PendingChange& change = document_.Changes().ChangeAt(position);
  StudioArchive& archive = document_.Archive();
  std::string bytes;
  std::string note;
  uint64_t size = 0;
  EntryKind kind = EntryKind::kData;
  // The bytes a rebuild would write: a file's, another entry's, or the entry's own.
  auto read_file = [&](const std::string& path) {
    std::unique_ptr<Stream> file = SystemFileSystem().OpenShared(path);
    if (!file || !file->Size(&size)) {
      note = TextOf(StudioText::TxtOpenFailed, {path, LastSystemErrorText()});
      return;
    }
    bytes.resize(static_cast<size_t>(std::min<uint64_t>(size, kPreviewPictureLimit)));
    bytes.resize(file->Read(&bytes[0], bytes.size()));
    kind = size == 0 ? EntryKind::kEmpty : DetectEntryKind(bytes.substr(0, kEntryKindSample), size);
  };
  uint32_t shown = position;
  switch (change.Kind) {
    case ChangeKind::kFile:
    case ChangeKind::kAdded:
      read_file(change.Path);
      preview_.Show(kind, bytes, size, note);
      return;
    case ChangeKind::kOtherArchive: {
      std::unique_ptr<Stream> other = SystemFileSystem().OpenShared(change.Path);
      uint32_t count = 0;
      uint32_t index_offset = 0;
      uint32_t found = 0;
      if (other && ReadWdfHeader(*other, &count, &index_offset) &&
          FindEntryInArchive(*other, count, index_offset, &found, change.TakenId) ==
              IndexSearch::kFound) {
        size = found;
        bytes.resize(static_cast<size_t>(std::min<uint64_t>(size, kPreviewPictureLimit)));
        bytes.resize(other->Read(&bytes[0], bytes.size()));
        kind = size == 0 ? EntryKind::kEmpty
                         : DetectEntryKind(bytes.substr(0, kEntryKindSample), size);
      } else {
        note =
            Message(MessageKey::MsgRefArchiveIdNotFound, {change.Path, FormatId(change.TakenId)});
      }
      preview_.Show(kind, bytes, size, note);
      return;
    }
    case ChangeKind::kEntry:
      if (!archive.FirstWithId(change.TakenId, &shown)) {
        preview_.Show(kind, bytes, 0,
                      TextOf(StudioText::TxtNoSuchId, {archive.Path(), FormatId(change.TakenId)}));
        return;
      }
      break;
    case ChangeKind::kDelete:
      note = Text(StudioText::TxtChangeDelete);
      break;
    default:
      break;
  }
  kind = archive.KindAt(shown);
  size = archive.Entry(shown).Size;
  const bool whole = kind == EntryKind::kBmp || kind == EntryKind::kPng ||
                     kind == EntryKind::kJpg || kind == EntryKind::kGif ||
                     kind == EntryKind::kTga || kind == EntryKind::kWav;
  const size_t limit = whole                      ? kPreviewPictureLimit
                       : kind == EntryKind::kText ? kPreviewTextLimit
                                                  : kPreviewHexLimit;
  if (!archive.ReadHead(shown, limit, &bytes)) {
    if (!note.empty()) note += "  ";
    note += Text(StudioText::TxtUnreadableEntry);
  }
  preview_.Show(kind, bytes, size, note);
}

std::string StudioWindow::CellText(uint32_t position, int column) {
  const PendingChanges& changes = document_.Changes();
  StudioArchive& archive = document_.Archive();
  const bool added = changes.IsAdded(position);
  switch (column) {
    case 0:
      return added ? std::string("+") : Grouped(position);
    case 1:
      return FormatId(added ? changes.AddedId(position) : archive.Entry(position).Id);
    case 2:
      return added ? std::string() : Grouped(archive.Entry(position).Size);
    case 3:
      return added ? std::string() : EntryKindName(archive.KindAt(position));
    case 4: {
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
    case LVN_GETDISPINFOA: {
      auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
      if ((info->item.mask & LVIF_TEXT) && info->item.iItem >= 0 &&
          static_cast<size_t>(info->item.iItem) < rows_.size()) {
        cell_ = CellText(rows_[info->item.iItem], info->item.iSubItem);
        lstrcpynA(info->item.pszText, cell_.c_str(), info->item.cchTextMax);
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

std::string StudioWindow::ChooseFile(bool save, const std::string& filter,
                                     const std::string& extension) {
  char path[MAX_PATH * 2] = {};
  const std::string filters = FilterList(filter);
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = filters.c_str();
  dialog.lpstrFile = path;
  dialog.nMaxFile = sizeof path;
  dialog.lpstrInitialDir = settings_.LastFolder.empty() ? nullptr : settings_.LastFolder.c_str();
  dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                 (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
  const BOOL chosen = save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog);
  if (!chosen) return std::string();
  settings_.LastFolder = DirectoryPart(path);
  return path;
}

std::string StudioWindow::ChooseFolder() {
  char path[MAX_PATH] = {};
  BROWSEINFOA browse = {};
  browse.hwndOwner = window_;
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
  if (!chosen) return std::string();
  const bool named = SHGetPathFromIDListA(chosen, path);
  CoTaskMemFree(chosen);
  return named ? std::string(path) : std::string();
}

}  // namespace velmora
