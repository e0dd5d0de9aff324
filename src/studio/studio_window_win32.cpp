#include "studio/studio_window_win32.h"

#include "msg/ansi_text.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>

#include "job/paths.h"
#include "studio/studio_window_parts_win32.h"
#include "studio_ids.h"
#include "sys/file_system.h"

namespace velmora {

namespace {

const wchar_t kWindowClass[] = L"VelmoraStudio";

}  // namespace

int Scaled(int pixels) {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(nullptr, dc);
  return MulDiv(pixels, dpi, 96);
}

std::string Grouped(uint64_t value) {
  std::string digits = std::to_string(value);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<size_t>(at), ",");
  }
  return digits;
}

std::wstring WideText(const std::string& text) { return WideFromActiveCodePage(text); }

std::string WindowText(HWND window) {
  const int n = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  text.resize(static_cast<size_t>(std::max(0, GetWindowTextW(window, &text[0], n + 1))));
  return ActiveCodePageFromWide(text);
}

void SetText(HWND window, const std::string& text) {
  SetWindowTextW(window, WideText(text).c_str());
}

void SetItemText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextW(dialog, id, WideText(text).c_str());
}

bool TextFromWide(const std::wstring& wide, std::string* text) {
  *text = ActiveCodePageFromWide(wide);
  return WideFromActiveCodePage(*text) == wide;
}

// Straight through the system, without the active code page: a rebuild's worker reads it while
// the window still paints.
std::wstring WideFromUtf8(const std::string& utf8) {
  const int size = static_cast<int>(utf8.size());
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(std::max(0, n)), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, &wide[0], n);
  return wide;
}

std::string Utf8FromWide(const std::wstring& wide) {
  const int size = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(std::max(0, n)), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, &utf8[0], n, nullptr, nullptr);
  return utf8;
}

bool NamesScript(const std::wstring& path) {
  CodePageScope utf8_texts(CodePage::kUtf8);
  return IsScriptPath(Utf8FromWide(path));
}

int ShowBox(HWND owner, const std::string& text, UINT flags) {
  return MessageBoxW(owner, WideText(text).c_str(), WideText(Text(StudioText::TxtTitle)).c_str(),
                     flags);
}

std::string KindShown(EntryKind kind) {
  // The names the terminal tool lists kinds by, in the window's language.
  return AnsiFromUtf8(EntryKindDisplayName(kind, InterfaceIsChinese()));
}

std::string FilterInKindNames(const std::string& filter) {
  std::string trimmed = filter;
  while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
  while (!trimmed.empty() && trimmed.front() == ' ') trimmed.erase(0, 1);
  for (EntryKind kind :
       {EntryKind::kText, EntryKind::kData, EntryKind::kEmpty, EntryKind::kOutOfBounds}) {
    if (!trimmed.empty() && trimmed == KindShown(kind)) return EntryKindName(kind);
  }
  return filter;
}

std::wstring FilterList(const std::string& text) {
  std::wstring list = WideText(text);
  std::replace(list.begin(), list.end(), L'|', L'\0');
  return list + L'\0';
}

int StudioWindow::open_windows_ = 0;

// The settings keep their paths in UTF-8, in which every name converts, whichever code page the
// window that keeps them works in.
void StudioWindow::LoadSettings() {
  CodePageScope utf8_texts(CodePage::kUtf8);
  settings_.Load();
}

void StudioWindow::StoreSettings() {
  CodePageScope utf8_texts(CodePage::kUtf8);
  settings_.Store();
}

void StudioWindow::RememberPath(const std::string& path) {
  const std::string utf8 = Utf8FromActiveCodePage(path);
  CodePageScope utf8_texts(CodePage::kUtf8);
  settings_.Remember(utf8);
  settings_.LastFolder = DirectoryPart(utf8);
}

StudioWindow::StudioWindow() : document_(SystemFileSystem()) {}

HWND StudioWindow::Create(const std::wstring& path, int show) {
  LoadSettings();
  const int width = settings_.Width > 200 ? settings_.Width : Scaled(960);
  const int height = settings_.Height > 150 ? settings_.Height : Scaled(640);
  if (!CreateWindowAt(CW_USEDEFAULT, CW_USEDEFAULT, width, height)) return nullptr;
  ShowWindow(window_, settings_.Maximized ? SW_SHOWMAXIMIZED : show);
  UpdateWindow(window_);
  if (!path.empty()) OpenPath(path);
  return window_;
}

bool StudioWindow::CreateWindowAt(int x, int y, int width, int height) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof window_class;
  if (!GetClassInfoExW(instance, kWindowClass, &window_class)) {
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = Procedure;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconW(instance, L"MAINICON");
    window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kWindowClass;
    RegisterClassExW(&window_class);
  }
  window_ = CreateWindowExW(
      WS_EX_ACCEPTFILES, kWindowClass, WideText(Text(StudioText::TxtTitle)).c_str(),
      WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, y, width, height, nullptr, nullptr, instance, this);
  if (!window_) return false;
  ++open_windows_;
  return true;
}

bool StudioWindow::TranslateForWindow(MSG* message) {
  HWND root = message->hwnd ? GetAncestor(message->hwnd, GA_ROOT) : nullptr;
  auto* self =
      root ? reinterpret_cast<StudioWindow*>(GetWindowLongPtrW(root, GWLP_USERDATA)) : nullptr;
  wchar_t name[32] = {};
  if (!self || !GetClassNameW(root, name, 32) || lstrcmpW(name, kWindowClass) != 0) {
    return false;
  }
  if (self->accelerators_ && TranslateAcceleratorW(root, self->accelerators_, message)) return true;
  return IsDialogMessageW(root, message) != FALSE;
}

LRESULT CALLBACK StudioWindow::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(l);
    auto* self = static_cast<StudioWindow*>(create->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<StudioWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, w, l);
  // Each window's texts are in the code page of what it has open; a message for it is handled
  // in that code page, whichever window was handled before.
  CodePageScope texts(self->code_page_);
  return self->Handle(message, w, l);
}

LRESULT StudioWindow::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_CREATE: {
      HINSTANCE instance = GetModuleHandleW(nullptr);
      NONCLIENTMETRICSW metrics = {};
      metrics.cbSize = sizeof metrics;
      SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
      font_ = CreateFontIndirectW(&metrics.lfMessageFont);
      filter_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 10, 10,
                                window_, reinterpret_cast<HMENU>(IDC_FILTER), instance, nullptr);
      findings_ =
          CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, 0, 10,
                          10, window_, reinterpret_cast<HMENU>(IDC_FINDINGS), instance, nullptr);
      list_ = CreateWindowExW(
          WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
          WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, 0, 0,
          10, 10, window_, reinterpret_cast<HMENU>(IDC_LIST), instance, nullptr);
      status_ =
          CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0,
                          10, 10, window_, reinterpret_cast<HMENU>(IDC_STATUS), instance, nullptr);
      for (HWND h : {filter_, findings_, list_, status_}) {
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
      }
      const std::wstring cue = WideText(Text(StudioText::TxtFilterCue));
      SendMessageW(filter_, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(cue.c_str()));
      ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
      const StudioText headers[kColumnCount] = {
          StudioText::TxtColumnPosition, StudioText::TxtColumnId,     StudioText::TxtColumnSize,
          StudioText::TxtColumnKind,     StudioText::TxtColumnChange, StudioText::TxtColumnCompare};
      const int widths[kColumnCount] = {70, 80, 90, 60, 260, 80};
      for (int c = 0; c < kColumnCount; ++c) {
        std::wstring header = WideText(Text(headers[c]));
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = (c == 0 || c == 2) ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = Scaled(widths[c]);
        column.pszText = &header[0];
        SendMessageW(list_, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
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
        if (ParseRowFilter(FilterInKindNames(WindowText(filter_)), &filter)) {
          filter_value_ = filter;
          RefreshRows();
        } else {
          SetText(status_, Text(StudioText::TxtFilterBad));
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
        // A nested archive's window is a passing look: the Studio's size is the first window's.
        if (!document_.IsOpen() || !document_.IsNested()) StoreSettings();
      }
      DestroyWindow(window_);
      return 0;
    case kKindsFoundMessage:
      TakeKinds();
      InvalidateRect(list_, nullptr, FALSE);
      return 0;
    case WM_DESTROY:
      kinds_.Stop();
      if (font_) DeleteObject(font_);
      if (accelerators_) DestroyAcceleratorTable(accelerators_);
      if (--open_windows_ == 0) PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
      window_ = nullptr;
      if (owns_itself_) delete this;
      return 0;
  }
  return DefWindowProcW(window_, message, w, l);
}

void StudioWindow::Layout() {
  RECT client;
  GetClientRect(window_, &client);
  SendMessageW(status_, WM_SIZE, 0, 0);
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
  ShowBox(window_, text, MB_OK | MB_ICONERROR);
}

void StudioWindow::UpdateStatus() {
  if (!document_.IsOpen()) {
    SetWindowTextW(status_, L"");
    return;
  }
  const StudioArchive& archive = document_.Archive();
  std::string text = TextOf(StudioText::TxtStatus,
                            {Grouped(archive.Count() + document_.Changes().AddedCount()),
                             Grouped(document_.Changes().Count()), Grouped(archive.TotalSize())});
  if (rows_.size() != archive.Count() + document_.Changes().AddedCount()) {
    text += TextOf(StudioText::TxtStatusShown, {Grouped(rows_.size())});
  }
  SetText(status_, text);
}

void StudioWindow::UpdateTitle() {
  std::string title = Text(StudioText::TxtTitle);
  if (document_.IsOpen()) {
    const std::string& shown =
        document_.HasScript() ? document_.ScriptPath() : document_.Archive().Path();
    title = (document_.Changes().Modified() ? "*" : "") + FileNamePart(shown) + " - " + title;
  }
  SetText(window_, title);
}

std::wstring StudioWindow::ChooseWideFile(bool save, const std::string& filter,
                                          const std::string& extension) {
  wchar_t path[MAX_PATH * 2] = {};
  const std::wstring filters = FilterList(filter);
  const std::wstring folder = WideFromUtf8(settings_.LastFolder);
  const std::wstring default_extension = WideText(extension);
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = filters.c_str();
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH * 2;
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrDefExt = extension.empty() ? nullptr : default_extension.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                 (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
  const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
  if (!chosen) return std::wstring();
  const std::wstring chosen_path = path;
  settings_.LastFolder = Utf8FromWide(chosen_path.substr(0, chosen_path.find_last_of(L'\\') + 1));
  return chosen_path;
}

std::string StudioWindow::ChooseFile(bool save, const std::string& filter,
                                     const std::string& extension) {
  std::string path;
  TakePath(ChooseWideFile(save, filter, extension), &path);
  return path;
}

std::string StudioWindow::ChooseFolder() {
  wchar_t path[MAX_PATH] = {};
  BROWSEINFOW browse = {};
  browse.hwndOwner = window_;
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  LPITEMIDLIST chosen = SHBrowseForFolderW(&browse);
  if (!chosen) return std::string();
  const bool named = SHGetPathFromIDListW(chosen, path);
  CoTaskMemFree(chosen);
  std::string folder;
  if (named) TakePath(path, &folder);
  return folder;
}

bool StudioWindow::TakePath(const std::wstring& wide, std::string* path) {
  path->clear();
  if (wide.empty()) return false;
  if (TextFromWide(wide, path)) return true;
  path->clear();
  ShowNameOutsideCodePage(wide);
  return false;
}

void StudioWindow::ShowNameOutsideCodePage(const std::wstring& name) {
  // The name cannot be written in the window's code page; the message is made in UTF-8, in
  // which it can, and shown as it is.
  std::wstring text;
  {
    CodePageScope utf8_texts(CodePage::kUtf8);
    text = WideText(TextOf(StudioText::TxtNameOutsideCodePage, {Utf8FromWide(name)}));
  }
  MessageBoxW(window_, text.c_str(), WideText(Text(StudioText::TxtTitle)).c_str(),
              MB_OK | MB_ICONERROR);
}

}  // namespace velmora
