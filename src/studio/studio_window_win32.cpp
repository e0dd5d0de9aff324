#include "studio/studio_window_win32.h"

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

const char kWindowClass[] = "VelmoraStudio";

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

std::string WindowText(HWND window) {
  const int n = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  GetWindowTextA(window, &text[0], n + 1);
  text.resize(static_cast<size_t>(n));
  return text;
}

std::string FilterList(const std::string& text) {
  std::string list = text;
  std::replace(list.begin(), list.end(), '|', '\0');
  return list + '\0';
}

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
