// Drives a Windows GUI program the way a person would, for end-to-end tests: starts it, reads
// every message box and the progress dialog it shows, answers as the scenario says, and writes
// what it saw, in order, to a result file.
//
//   ui_driver.exe <scenario file>
//
// The scenario file holds one instruction per line (bytes in the ANSI code page, CR LF or LF;
// in UTF-8 with VELMORA_DRIVER_UTF8 set, which also reports texts in UTF-8):
//   result <path>                 where the events go (required)
//   program <path>                the program to start (optional: else the command line's first
//                                 word is the program)
//   command-line <text>           the whole command line, program name first (required)
//   directory <path>              the working directory of the program
//   timeout-ms <n>                overall limit; then the program is killed (default 60000)
//   answer ok|cancel|close|yes|no the answer to the next message box; one line per box, in order
//   default-answer ok|cancel|close   for boxes beyond the listed answers (default ok)
//   esc-dialog-after-ms <n>       press Esc on the progress dialog n ms after it first appears
//   close-dialog-after-ms <n>     click the progress dialog's close box n ms after it appears
//   esc-dialog-at-progress <n>    press Esc once the progress bar stands at n or beyond
//   close-dialog-at-progress <n>  click the close box once the progress bar stands at n or beyond
//   kill-at-progress <n>          end the program without warning (TerminateProcess, exit code
//                                 0xDEAD) once the progress bar stands at n or beyond
//   screenshots <directory>       save each box as BMP when first seen, the progress dialog
//                                 once it has been shown for a moment (painted), and each
//                                 dialog a dialog-input answers as it is answered
//   lock-file <path>              hold this file open for writing, sharing it for reading only,
//                                 while the program runs (as an editor that keeps it open would)
//   lock-file-exclusive <path>    hold this file open without any sharing while the program runs
//   dialog-input <text>           for the next dialog that is not a message box (a file dialog, a
//                                 question of the program's own): its file name or text field
//                                 gets <text> ("-" leaves them alone; "click <id>" clicks the
//                                 button <id> instead, a choice among radio buttons), then OK
//                                 is pressed
//   main-window <class>           the program's main window; the steps below work on it
//   step <action> [arguments]     one step against the main window, in order, each once the
//                                 previous one is done and no box or dialog is open:
//       list <rows>               event "list": the list view's item count and the texts of its
//                                 first <rows> rows, every column
//       wait-count <n>            until the list view holds n items; event with the time taken
//       select <row>              selects and focuses that row of the list view
//       select-wait <row> <id>    selects the row, then waits until the child control <id> has a
//                                 text; event with the time taken
//       command <id>              sends WM_COMMAND <id> (a menu item) to the main window
//       drop <row> <path>         drops the file on that row of the list view (WM_DROPFILES)
//       drop-window <path>        drops the file on the main window outside the list
//       text <id>                 event "text": the text of the child control <id>
//       set-text <id> <text>      sets the text of the child control <id> (as typing would)
//       screenshot <name>         saves the main window as <screenshots>\<name>.bmp
//       screenshot-child <id> <name>   saves the child control <id> alone
//       memory                    event "memory": the program's private bytes and working set
//       wait-ms <n>               waits n ms
//       close                     posts WM_CLOSE to the main window and to every other
//                                 window of its class (one a command of it opened)
//
// The result file holds one event per line, fields separated by tabs, texts hex-encoded so that
// the exact bytes reach the test:
//   started <process id>
//   box <n> caption=<hex> text=<hex> icon=<kind> buttons=<id>:<hex>,... owned=<0|1>
//   answer <n> <ok|cancel|close>
//   dialog title=<hex> t1001=<hex> t1002=<hex> t1003=<hex> t1004=<hex> pos=<n> min=<n> max=<n>
//          enabled=<0|1>                     (each time something in it changes)
//   dialog-key esc | dialog-key close
//   dialog-gone
//   window class=<hex> title=<hex>           (a top-level window of another kind)
//   dialog-answered title=<hex> input=<hex> field=<hex> selected=<start>,<end> rows=<list>
//                                            (a dialog-input was used; field: the text of its
//                                            first text field then; rows: its list view's first
//                                            50 rows, as in the event "list")
//   step <n> <action> ms=<since start>       (a step begins)
//   list count=<n> rows=<hex>|<hex>...;...   (columns separated by '|', rows by ';')
//   waited <ms>   text id=<n> text=<hex>   memory private=<n> working=<n>
//   killed <bar position>                    (kill-at-progress ended the program)
//   exit <code>            or   timeout <ms>   (the program was killed)
// Results go to a file, not to standard output: under Wine, pipes of the starting process may
// stay open long after the program ended.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shlobj.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kDialogCaptionId = 1003;
constexpr int kProgressBarId = 1005;
constexpr DWORD kPollMs = 10;
constexpr UINT kSendTimeoutMs = 2000;

struct Scenario {
  std::string result;
  std::string program;
  std::string command_line;
  std::string directory;
  std::string screenshots;
  std::string lock_file;
  DWORD lock_sharing = FILE_SHARE_READ;
  DWORD timeout_ms = 60000;
  std::vector<std::string> answers;
  std::string default_answer = "ok";
  long esc_after_ms = -1;
  long close_after_ms = -1;
  long kill_at_progress = -1;
  long esc_at_progress = -1;
  long close_at_progress = -1;
  std::vector<std::string> dialog_inputs;
  std::string main_window_class;
  std::vector<std::string> steps;
};

FILE* g_result = nullptr;

void Event(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(g_result, format, args);
  va_end(args);
  std::fputc('\n', g_result);
  std::fflush(g_result);
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

bool ReadScenario(const char* path, Scenario& scenario) {
  FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t blank = line.find(' ');
    const std::string key = line.substr(0, blank);
    const std::string value = blank == std::string::npos ? "" : line.substr(blank + 1);
    if (key == "result") {
      scenario.result = value;
    } else if (key == "program") {
      scenario.program = value;
    } else if (key == "command-line") {
      scenario.command_line = value;
    } else if (key == "directory") {
      scenario.directory = value;
    } else if (key == "timeout-ms") {
      scenario.timeout_ms = std::strtoul(value.c_str(), nullptr, 10);
    } else if (key == "answer") {
      scenario.answers.push_back(value);
    } else if (key == "default-answer") {
      scenario.default_answer = value;
    } else if (key == "esc-dialog-after-ms") {
      scenario.esc_after_ms = std::strtol(value.c_str(), nullptr, 10);
    } else if (key == "close-dialog-after-ms") {
      scenario.close_after_ms = std::strtol(value.c_str(), nullptr, 10);
    } else if (key == "esc-dialog-at-progress") {
      scenario.esc_at_progress = std::strtol(value.c_str(), nullptr, 10);
    } else if (key == "close-dialog-at-progress") {
      scenario.close_at_progress = std::strtol(value.c_str(), nullptr, 10);
    } else if (key == "kill-at-progress") {
      scenario.kill_at_progress = std::strtol(value.c_str(), nullptr, 10);
    } else if (key == "screenshots") {
      scenario.screenshots = value;
    } else if (key == "lock-file" || key == "lock-file-exclusive") {
      scenario.lock_file = value;
      scenario.lock_sharing = key == "lock-file" ? FILE_SHARE_READ : 0;
    } else if (key == "dialog-input") {
      scenario.dialog_inputs.push_back(value);
    } else if (key == "main-window") {
      scenario.main_window_class = value;
    } else if (key == "step") {
      scenario.steps.push_back(value);
    } else if (!key.empty() && key[0] != '#') {
      std::fprintf(stderr, "ui_driver: unknown instruction '%s'\n", key.c_str());
      return false;
    }
  }
  return !scenario.result.empty() && !scenario.command_line.empty();
}

std::string ClassOf(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// With VELMORA_DRIVER_UTF8 set, texts are read as UTF-16 and reported in UTF-8: for a system
// whose ANSI code page lacks the characters shown (an English Windows).
const bool g_utf8_texts = std::getenv("VELMORA_DRIVER_UTF8") != nullptr;

std::wstring WideFromUtf8(const std::string& utf8) {
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(n > 0 ? n : 0, L'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
  }
  return wide;
}

std::string Utf8FromWide(const std::wstring& wide) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string utf8(n > 0 ? n : 0, '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], n,
                        nullptr, nullptr);
  }
  return utf8;
}

std::string Utf8TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &length)) {
    return std::string();
  }
  std::wstring text(length * 2 + 256, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied)) {
    return std::string();
  }
  text.resize(wcslen(text.c_str()));
  return Utf8FromWide(text);
}

// A window of another process answers WM_GETTEXT through its own thread; a bounded wait keeps
// the driver alive when that thread is busy or gone.
std::string TextOf(HWND window) {
  if (g_utf8_texts) return Utf8TextOf(window);
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &length)) {
    return std::string();
  }
  // Room to spare: the text may grow between the two calls while a run updates it.
  std::string text(length * 2 + 256, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied)) {
    return std::string();
  }
  text.resize(std::strlen(text.c_str()));
  return text;
}

LRESULT SendBounded(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
  return static_cast<LRESULT>(result);
}

// Sets a control's text as typing would: the scenario's bytes, through UTF-16 when they are UTF-8.
void SetTextBounded(HWND window, const std::string& text) {
  DWORD_PTR result = 0;
  if (g_utf8_texts) {
    const std::wstring wide = WideFromUtf8(text);
    SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()),
                        SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
  } else {
    SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
  }
}

struct WindowList {
  DWORD process_id;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM data) {
  WindowList* list = reinterpret_cast<WindowList*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == list->process_id && IsWindowVisible(window)) list->windows.push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectChildren(HWND window, LPARAM data) {
  reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
  return TRUE;
}

std::vector<HWND> ChildrenOf(HWND window) {
  std::vector<HWND> children;
  EnumChildWindows(window, CollectChildren, reinterpret_cast<LPARAM>(&children));
  return children;
}

bool IsProgressDialog(HWND window) {
  HWND bar = GetDlgItem(window, kProgressBarId);
  return bar && ClassOf(bar) == PROGRESS_CLASSA && GetDlgItem(window, kDialogCaptionId);
}

bool IsStaticIcon(HWND window) {
  return ClassOf(window) == "Static" &&
         (GetWindowLongA(window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

// A message box is a dialog with a text control (id 0xFFFF on Windows and on Wine).
bool IsMessageBox(HWND window) {
  if (ClassOf(window) != "#32770" || IsProgressDialog(window)) return false;
  HWND text = GetDlgItem(window, 0xFFFF);
  return text && ClassOf(text) == "Static";
}

// ---- Screen pixels ----------------------------------------------------------------------

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<DWORD> data;  // 0x00RRGGBB, top row first
};

Pixels Capture(HDC source, int x, int y, int width, int height) {
  Pixels pixels;
  if (width <= 0 || height <= 0) return pixels;
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
  GdiFlush();
  pixels.width = width;
  pixels.height = height;
  const DWORD* p = static_cast<const DWORD*>(bits);
  pixels.data.assign(p, p + width * height);
  for (DWORD& value : pixels.data) value &= 0xFFFFFF;
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  return pixels;
}

Pixels CaptureWindow(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  HDC screen = GetDC(nullptr);
  Pixels pixels =
      Capture(screen, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  ReleaseDC(nullptr, screen);
  return pixels;
}

void SaveBmp(const Pixels& pixels, const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return;
  BITMAPFILEHEADER header = {};
  BITMAPINFOHEADER info = {};
  const DWORD size = static_cast<DWORD>(pixels.data.size() * 4);
  header.bfType = 0x4D42;
  header.bfOffBits = sizeof header + sizeof info;
  header.bfSize = header.bfOffBits + size;
  info.biSize = sizeof info;
  info.biWidth = pixels.width;
  info.biHeight = -pixels.height;
  info.biPlanes = 1;
  info.biBitCount = 32;
  info.biCompression = BI_RGB;
  std::fwrite(&header, sizeof header, 1, file);
  std::fwrite(&info, sizeof info, 1, file);
  std::fwrite(pixels.data.data(), 4, pixels.data.size(), file);
  std::fclose(file);
}

// Icon handles cannot be compared across processes under Wine, so the box's icon is told by
// its pixels: the driver draws each system icon itself, on a known background, and finds the
// one whose opaque pixels match what the box shows.
struct SystemIcon {
  const char* kind;
  LPCSTR id;
};
const SystemIcon kSystemIcons[] = {{"error", IDI_HAND},
                                   {"question", IDI_QUESTION},
                                   {"warning", IDI_EXCLAMATION},
                                   {"information", IDI_ASTERISK}};

struct IconPicture {
  Pixels on_black;
  Pixels on_white;
};

IconPicture DrawSystemIcon(LPCSTR id, int width, int height) {
  IconPicture picture;
  HICON icon = LoadIconA(nullptr, id);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  const RECT rect = {0, 0, width, height};
  for (int pass = 0; pass < 2; ++pass) {
    HBRUSH brush = CreateSolidBrush(pass == 0 ? RGB(0, 0, 0) : RGB(255, 255, 255));
    FillRect(memory, &rect, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    (pass == 0 ? picture.on_black : picture.on_white) = Capture(memory, 0, 0, width, height);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return picture;
}

// The share of the icon's opaque pixels (same colour on black and on white) that the captured
// control shows unchanged, in per cent.
int MatchPercent(const Pixels& shown, const IconPicture& icon) {
  int opaque = 0;
  int equal = 0;
  for (int y = 0; y < icon.on_black.height && y < shown.height; ++y) {
    for (int x = 0; x < icon.on_black.width && x < shown.width; ++x) {
      const DWORD pixel = icon.on_black.data[y * icon.on_black.width + x];
      if (pixel != icon.on_white.data[y * icon.on_white.width + x]) continue;
      ++opaque;
      if (shown.data[y * shown.width + x] == pixel) ++equal;
    }
  }
  return opaque ? equal * 100 / opaque : 0;
}

// The kind of the box's icon, read from the screen (a window of another process cannot be
// read through its own device context under Wine).
std::string ReadIconKind(HWND box) {
  for (HWND child : ChildrenOf(box)) {
    if (!IsStaticIcon(child) || !IsWindowVisible(child)) continue;
    RECT rect;
    GetWindowRect(child, &rect);
    const int width = rect.right - rect.left < 32 ? rect.right - rect.left : 32;
    const int height = rect.bottom - rect.top < 32 ? rect.bottom - rect.top : 32;
    HDC screen = GetDC(nullptr);
    const Pixels shown = Capture(screen, rect.left, rect.top, width, height);
    ReleaseDC(nullptr, screen);
    std::string best = "unknown";
    int best_percent = 90;  // below this nothing counts as a match
    for (const SystemIcon& candidate : kSystemIcons) {
      const int percent = MatchPercent(shown, DrawSystemIcon(candidate.id, width, height));
      if (percent > best_percent) {
        best_percent = percent;
        best = candidate.kind;
      }
    }
    return best;
  }
  return "none";
}

// A box may not have painted yet when it is first seen; look again for a while.
std::string IconKindOf(HWND box) {
  std::string kind;
  for (int attempt = 0; attempt < 100; ++attempt) {
    kind = ReadIconKind(box);
    if (kind != "unknown" || !IsWindow(box)) break;
    Sleep(kPollMs * 2);
  }
  return kind;
}

// ---- Another process's memory and its list view -----------------------------------------

// Memory in the program's address space: list-view messages carry pointers that the program
// itself dereferences, and a dropped file list must be readable there.
class RemoteMemory {
 public:
  RemoteMemory(HANDLE process, size_t size) : process_(process) {
    at_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteMemory() {
    if (at_) VirtualFreeEx(process_, at_, 0, MEM_RELEASE);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;
  bool Ok() const { return at_ != nullptr; }
  char* At(size_t offset = 0) const { return static_cast<char*>(at_) + offset; }
  bool Write(size_t offset, const void* data, size_t n) {
    SIZE_T written = 0;
    return WriteProcessMemory(process_, At(offset), data, n, &written) && written == n;
  }
  bool Read(size_t offset, void* data, size_t n) {
    SIZE_T read = 0;
    return ReadProcessMemory(process_, At(offset), data, n, &read) && read == n;
  }

 private:
  HANDLE process_;
  void* at_ = nullptr;
};

HWND ChildWithId(HWND window, int id) {
  for (HWND child : ChildrenOf(window)) {
    if (GetDlgCtrlID(child) == id) return child;
  }
  return nullptr;
}

HWND ListViewOf(HWND window) {
  for (HWND child : ChildrenOf(window)) {
    if (ClassOf(child) == WC_LISTVIEWA) return child;
  }
  return nullptr;
}

std::string WideListCellText(HANDLE process, HWND list, int row, int column) {
  constexpr size_t kTextRoom = 1024;
  RemoteMemory memory(process, sizeof(LVITEMW) + kTextRoom * sizeof(wchar_t));
  if (!memory.Ok()) return std::string();
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = reinterpret_cast<wchar_t*>(memory.At(sizeof item));
  item.cchTextMax = kTextRoom;
  memory.Write(0, &item, sizeof item);
  const LRESULT length =
      SendBounded(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(memory.At()));
  std::wstring text(kTextRoom, L'\0');
  memory.Read(sizeof item, &text[0], kTextRoom * sizeof(wchar_t));
  text.resize(std::min<size_t>(static_cast<size_t>(length), wcslen(text.c_str())));
  return Utf8FromWide(text);
}

std::string ListCellText(HANDLE process, HWND list, int row, int column) {
  if (g_utf8_texts) return WideListCellText(process, list, row, column);
  constexpr size_t kTextRoom = 1024;
  RemoteMemory memory(process, sizeof(LVITEMA) + kTextRoom);
  if (!memory.Ok()) return std::string();
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = memory.At(sizeof item);
  item.cchTextMax = kTextRoom;
  memory.Write(0, &item, sizeof item);
  const LRESULT length =
      SendBounded(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(memory.At()));
  std::string text(kTextRoom, '\0');
  memory.Read(sizeof item, &text[0], kTextRoom);
  text.resize(std::min<size_t>(static_cast<size_t>(length), std::strlen(text.c_str())));
  return text;
}

// The texts of the first `rows` rows of a list view, every column: hex, columns separated by
// '|', rows by ';'.
std::string ListRowsText(HANDLE process, HWND list, int rows) {
  const int count = static_cast<int>(SendBounded(list, LVM_GETITEMCOUNT, 0, 0));
  const int columns = static_cast<int>(SendBounded(
      reinterpret_cast<HWND>(SendBounded(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0));
  std::string text;
  for (int row = 0; row < count && row < rows; ++row) {
    if (row) text += ';';
    for (int column = 0; column < columns; ++column) {
      if (column) text += '|';
      text += Hex(ListCellText(process, list, row, column));
    }
  }
  return text;
}

bool ListRowRect(HANDLE process, HWND list, int row, RECT* rect) {
  RemoteMemory memory(process, sizeof(RECT));
  RECT asked = {};
  asked.left = LVIR_BOUNDS;
  if (!memory.Ok() || !memory.Write(0, &asked, sizeof asked)) return false;
  if (!SendBounded(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(memory.At()))) return false;
  return memory.Read(0, rect, sizeof *rect);
}

// Posts WM_DROPFILES with a DROPFILES block in the program's memory, as the shell leaves one:
// `point` in the client coordinates of `window`. The block stays, as the program's DragFinish
// cannot free memory it did not allocate; a test program leaks a few bytes per drop.
bool DropFile(HANDLE process, HWND window, POINT point, const std::string& path) {
  std::string block(sizeof(DROPFILES), '\0');
  DROPFILES header = {};
  header.pFiles = sizeof header;
  header.pt = point;
  header.fNC = FALSE;
  header.fWide = g_utf8_texts ? TRUE : FALSE;
  std::memcpy(&block[0], &header, sizeof header);
  if (g_utf8_texts) {
    const std::wstring wide = WideFromUtf8(path);
    block.append(reinterpret_cast<const char*>(wide.c_str()), wide.size() * sizeof(wchar_t));
    block.append(4, '\0');
  } else {
    block += path;
    block.append(2, '\0');
  }
  void* at =
      VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  SIZE_T written = 0;
  if (!at || !WriteProcessMemory(process, at, block.data(), block.size(), &written)) return false;
  return PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(at), 0) != 0;
}

// ---- Boxes and the dialog ---------------------------------------------------------------

std::string ButtonsOf(HWND box) {
  std::string list;
  for (HWND child : ChildrenOf(box)) {
    if (ClassOf(child) != "Button" || !IsWindowVisible(child)) continue;
    if (!list.empty()) list += ',';
    list += std::to_string(GetDlgCtrlID(child)) + ':' + Hex(TextOf(child));
  }
  return list;
}

void Answer(HWND box, int number, const std::string& answer) {
  Event("answer\t%d\t%s", number, answer.c_str());
  if (answer == "close") {
    PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
    return;
  }
  const int id = answer == "cancel" ? IDCANCEL
                 : answer == "yes"  ? IDYES
                 : answer == "no"   ? IDNO
                                    : IDOK;
  HWND button = GetDlgItem(box, id);
  if (button) {
    PostMessageA(button, BM_CLICK, 0, 0);
  } else {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  }
}

std::string SampleDialog(HWND dialog) {
  HWND bar = GetDlgItem(dialog, kProgressBarId);
  // PBM_GETRANGE with no buffer (which would have to live in the program's address space)
  // returns the low end for wParam TRUE and the high end for FALSE.
  const int low = static_cast<int>(SendBounded(bar, PBM_GETRANGE, TRUE, 0));
  const int high = static_cast<int>(SendBounded(bar, PBM_GETRANGE, FALSE, 0));
  const int pos = static_cast<int>(SendBounded(bar, PBM_GETPOS, 0, 0));
  char numbers[128];
  std::snprintf(numbers, sizeof numbers, "\tpos=%d\tmin=%d\tmax=%d\tenabled=%d", pos, low, high,
                IsWindowEnabled(dialog) ? 1 : 0);
  std::string fields = "title=" + Hex(TextOf(dialog));
  for (int id = 1001; id <= 1004; ++id) {
    fields += "\tt" + std::to_string(id) + "=" + Hex(TextOf(GetDlgItem(dialog, id)));
  }
  return fields + numbers;
}

class Driver {
 public:
  explicit Driver(const Scenario& scenario) : scenario_(scenario) {}

  // Starts the program; with UTF-8 scenarios through UTF-16, so that names the ANSI code page
  // lacks reach it whole.
  bool Start(PROCESS_INFORMATION* process) {
    if (g_utf8_texts) {
      STARTUPINFOW startup = {};
      startup.cb = sizeof startup;
      std::wstring command = WideFromUtf8(scenario_.command_line);
      const std::wstring program = WideFromUtf8(scenario_.program);
      const std::wstring directory = WideFromUtf8(scenario_.directory);
      return CreateProcessW(program.empty() ? nullptr : program.c_str(), &command[0], nullptr,
                            nullptr, FALSE, 0, nullptr,
                            directory.empty() ? nullptr : directory.c_str(), &startup,
                            process) != FALSE;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::vector<char> command(scenario_.command_line.begin(), scenario_.command_line.end());
    command.push_back('\0');
    return CreateProcessA(scenario_.program.empty() ? nullptr : scenario_.program.c_str(),
                          command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          scenario_.directory.empty() ? nullptr : scenario_.directory.c_str(),
                          &startup, process) != FALSE;
  }

  int Run() {
    HANDLE lock = INVALID_HANDLE_VALUE;
    if (!scenario_.lock_file.empty()) {
      lock = g_utf8_texts
                 ? CreateFileW(WideFromUtf8(scenario_.lock_file).c_str(), GENERIC_WRITE,
                               scenario_.lock_sharing, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr)
                 : CreateFileA(scenario_.lock_file.c_str(), GENERIC_WRITE, scenario_.lock_sharing,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (lock == INVALID_HANDLE_VALUE) {
        Event("error\tlock-file %lu", GetLastError());
        return 2;
      }
    }
    PROCESS_INFORMATION process = {};
    if (!Start(&process)) {
      Event("error\tCreateProcess %lu", GetLastError());
      return 2;
    }
    CloseHandle(process.hThread);
    process_ = process.hProcess;
    process_id_ = process.dwProcessId;
    Event("started\t%lu", process_id_);
    const DWORD start = GetTickCount();
    start_ = start;
    for (;;) {
      const DWORD waited = WaitForSingleObject(process.hProcess, kPollMs);
      if (waited == WAIT_OBJECT_0) break;
      const DWORD elapsed = GetTickCount() - start;
      if (elapsed > scenario_.timeout_ms) {
        TerminateProcess(process.hProcess, 0xDEAD);
        WaitForSingleObject(process.hProcess, 5000);
        Event("timeout\t%lu", elapsed);
        CloseHandle(process.hProcess);
        if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
        return 3;
      }
      Look();
    }
    if (dialog_) Event("dialog-gone");
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    Event("exit\t%lu", code);
    CloseHandle(process.hProcess);
    if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
    return 0;
  }

 private:
  void Look() {
    WindowList list = {process_id_, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&list));
    bool dialog_seen = false;
    for (HWND window : list.windows) {
      if (IsProgressDialog(window)) {
        dialog_seen = true;
        LookAtDialog(window);
      } else if (IsMessageBox(window)) {
        if (handled_.insert(window).second) HandleBox(window);
      } else if (!scenario_.main_window_class.empty() &&
                 ClassOf(window) == scenario_.main_window_class) {
        if (!main_) {
          main_ = window;
          Event("window\tclass=%s\ttitle=%s", Hex(ClassOf(window)).c_str(),
                Hex(TextOf(window)).c_str());
        } else if (window != main_ && others_.insert(window).second) {
          RECT here = {};
          RECT first = {};
          GetWindowRect(window, &here);
          GetWindowRect(main_, &first);
          Event("window\tclass=%s\ttitle=%s\tdx=%ld\tdy=%ld", Hex(ClassOf(window)).c_str(),
                Hex(TextOf(window)).c_str(), here.left - first.left, here.top - first.top);
        }
      } else if (ClassOf(window) == "#32770" &&
                 dialog_inputs_used_ < scenario_.dialog_inputs.size()) {
        if (handled_.insert(window).second) AnswerDialog(window);
      } else if (others_.insert(window).second) {
        Event("window\tclass=%s\ttitle=%s", Hex(ClassOf(window)).c_str(),
              Hex(TextOf(window)).c_str());
      }
    }
    if (dialog_ && !dialog_seen && !IsWindow(dialog_)) {
      Event("dialog-gone");
      dialog_ = nullptr;
    }
    if (main_ && next_step_ < scenario_.steps.size() && Idle(list.windows)) {
      RunStep(scenario_.steps[next_step_++]);
    }
  }

  // The main window takes input: nothing else of the program is open, and it has handled
  // everything posted to it so far.
  bool Idle(const std::vector<HWND>& windows) {
    for (HWND window : windows) {
      // Another window of the main window's kind takes input of its own; it does not block.
      if (window != main_ && IsWindowVisible(window) &&
          ClassOf(window) != scenario_.main_window_class) {
        return false;
      }
    }
    if (!IsWindow(main_) || !IsWindowEnabled(main_)) return false;
    DWORD_PTR ignored = 0;
    // Asked again once the window has answered: it may have answered from inside a modal loop
    // that began after the first look (a run under its progress dialog).
    return SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored) !=
               0 &&
           IsWindowEnabled(main_);
  }

  // Fills the dialog's text field (a file name, an id) and presses OK.
  void AnswerDialog(HWND dialog) {
    const std::string input = scenario_.dialog_inputs[dialog_inputs_used_++];
    for (int i = 0; i < 50 && !GetDlgItem(dialog, IDOK); ++i) Sleep(kPollMs);
    Sleep(100);  // a file dialog fills its fields after it appears
    if (input.compare(0, 6, "click ") == 0) {
      SendBounded(GetDlgItem(dialog, std::atoi(input.c_str() + 6)), BM_CLICK, 0, 0);
    } else if (input != "-") {
      // The file name field of a file dialog (a combo box, or an edit in older ones) or the
      // first edit field of any other dialog.
      HWND field = ChildWithId(dialog, 0x47C);
      if (!field) field = ChildWithId(dialog, 0x480);
      if (!field) {
        for (HWND child : ChildrenOf(dialog)) {
          if (ClassOf(child) == "Edit") {
            field = child;
            break;
          }
        }
      }
      if (field) SetTextBounded(field, input);
    }
    // What the dialog's first text field holds as OK is pressed (a report shown in it).
    // With what of it was selected (a report shown selected invites typing over it).
    std::string field;
    DWORD selection_start = 0;
    DWORD selection_end = 0;
    for (HWND child : ChildrenOf(dialog)) {
      if (ClassOf(child) == "Edit") {
        field = TextOf(child);
        // The answer itself holds both ends (for texts below 64 KB): no pointer into this
        // process can reach the program's.
        const DWORD both = static_cast<DWORD>(SendBounded(child, EM_GETSEL, 0, 0));
        selection_start = LOWORD(both);
        selection_end = HIWORD(both);
        break;
      }
    }
    Screenshot(dialog, "answered-" + std::to_string(dialog_inputs_used_));
    // And the rows of its list, where it has one (a choice among backups).
    HWND list = ListViewOf(dialog);
    Event("dialog-answered\ttitle=%s\tinput=%s\tfield=%s\tselected=%lu,%lu\trows=%s",
          Hex(TextOf(dialog)).c_str(), Hex(input).c_str(), Hex(field).c_str(),
          static_cast<unsigned long>(selection_start), static_cast<unsigned long>(selection_end),
          list ? ListRowsText(process_, list, 50).c_str() : "");
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  }

  void RunStep(const std::string& step) {
    const size_t blank = step.find(' ');
    const std::string action = step.substr(0, blank);
    const std::string rest = blank == std::string::npos ? "" : step.substr(blank + 1);
    const size_t second = rest.find(' ');
    const std::string first_argument = rest.substr(0, second);
    const std::string remainder = second == std::string::npos ? "" : rest.substr(second + 1);
    const int number = std::atoi(first_argument.c_str());
    Event("step\t%u\t%s\tms=%lu", static_cast<unsigned>(next_step_), action.c_str(),
          GetTickCount() - start_);
    HWND list = ListViewOf(main_);
    if (action == "list") {
      const int count = static_cast<int>(SendBounded(list, LVM_GETITEMCOUNT, 0, 0));
      Event("list\tcount=%d\trows=%s", count, ListRowsText(process_, list, number).c_str());
    } else if (action == "wait-count") {
      const DWORD since = GetTickCount();
      while (SendBounded(list, LVM_GETITEMCOUNT, 0, 0) != number &&
             GetTickCount() - since < 60000) {
        Sleep(1);
      }
      Event("waited\t%lu\tsince-start=%lu", GetTickCount() - since, GetTickCount() - start_);
    } else if (action == "select" || action == "select-wait") {
      const DWORD since = GetTickCount();
      Select(list, number);
      if (action == "select-wait") {
        HWND control = ChildWithId(main_, std::atoi(remainder.c_str()));
        while (control && TextOf(control).empty() && GetTickCount() - since < 60000) Sleep(1);
        Event("waited\t%lu", GetTickCount() - since);
      }
    } else if (action == "command") {
      // Sent, not posted: the step ends when the command has been carried out, or once it has
      // opened something modal (a dialog, a box), which the next look then sees.
      DWORD_PTR ignored = 0;
      SendMessageTimeoutA(main_, WM_COMMAND, MAKEWPARAM(number, 0), 0, SMTO_NORMAL, 500, &ignored);
    } else if (action == "drop" || action == "drop-window") {
      POINT point = {2, 2};
      const std::string& path = action == "drop" ? remainder : rest;
      RECT row = {};
      if (action == "drop" && ListRowRect(process_, list, number, &row)) {
        point = {(row.left + row.right) / 2, (row.top + row.bottom) / 2};
        MapWindowPoints(list, main_, &point, 1);
      }
      if (!DropFile(process_, main_, point, path)) Event("error\tdrop %lu", GetLastError());
    } else if (action == "text") {
      Event("text\tid=%d\ttext=%s", number, Hex(TextOf(ChildWithId(main_, number))).c_str());
    } else if (action == "set-text") {
      SetTextBounded(ChildWithId(main_, number), remainder);
    } else if (action == "screenshot") {
      Screenshot(main_, rest);
    } else if (action == "screenshot-child") {
      Screenshot(ChildWithId(main_, number), remainder);
    } else if (action == "memory") {
      PROCESS_MEMORY_COUNTERS_EX counters = {};
      counters.cb = sizeof counters;
      GetProcessMemoryInfo(process_, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof counters);
      Event("memory\tprivate=%lu\tworking=%lu\tpeak=%lu",
            static_cast<unsigned long>(counters.PrivateUsage),
            static_cast<unsigned long>(counters.WorkingSetSize),
            static_cast<unsigned long>(counters.PeakWorkingSetSize));
    } else if (action == "wait-ms") {
      Sleep(static_cast<DWORD>(number));
    } else if (action == "close") {
      for (HWND other : others_) {
        if (IsWindow(other) && ClassOf(other) == scenario_.main_window_class) {
          PostMessageA(other, WM_CLOSE, 0, 0);
        }
      }
      PostMessageA(main_, WM_CLOSE, 0, 0);
    } else {
      Event("error\tunknown step %s", action.c_str());
    }
  }

  void Select(HWND list, int row) {
    RemoteMemory memory(process_, sizeof(LVITEMA));
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = 0;
    memory.Write(0, &item, sizeof item);
    SendBounded(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                reinterpret_cast<LPARAM>(memory.At()));
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    memory.Write(0, &item, sizeof item);
    SendBounded(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(memory.At()));
    SendBounded(list, LVM_ENSUREVISIBLE, row, FALSE);
  }

  void LookAtDialog(HWND dialog) {
    if (dialog != dialog_) {
      dialog_ = dialog;
      dialog_since_ = GetTickCount();
      key_sent_ = false;
      dialog_shot_ = false;
      last_sample_.clear();
    }
    // Taken at first sight, the dialog would not have painted itself yet.
    if (!dialog_shot_ && GetTickCount() - dialog_since_ >= kPaintedAfterMs) {
      dialog_shot_ = true;
      Screenshot(dialog, "dialog");
    }
    RecordDialogSample(dialog);
    KillAtProgress(dialog);
    if (key_sent_) return;
    const long shown_for = static_cast<long>(GetTickCount() - dialog_since_);
    // A run's speed varies with the machine: keys tied to the bar land during the run.
    const long pos = scenario_.esc_at_progress >= 0 || scenario_.close_at_progress >= 0
                         ? BarPosition(dialog)
                         : -1;
    if ((scenario_.esc_after_ms >= 0 && shown_for >= scenario_.esc_after_ms) ||
        (scenario_.esc_at_progress >= 0 && pos >= scenario_.esc_at_progress)) {
      Event("dialog-key\tesc");
      PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      PostMessageA(dialog, WM_KEYUP, VK_ESCAPE, 0xC0010001);
      key_sent_ = true;
    } else if ((scenario_.close_after_ms >= 0 && shown_for >= scenario_.close_after_ms) ||
               (scenario_.close_at_progress >= 0 && pos >= scenario_.close_at_progress)) {
      Event("dialog-key\tclose");
      PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      key_sent_ = true;
    }
  }

  // Ends the program the way a crash or the task manager would, with no chance to tidy up.
  void KillAtProgress(HWND dialog) {
    if (scenario_.kill_at_progress < 0 || killed_) return;
    const long pos = BarPosition(dialog);
    if (pos < scenario_.kill_at_progress) return;
    TerminateProcess(process_, 0xDEAD);
    killed_ = true;
    Event("killed\t%ld", pos);
  }

  long BarPosition(HWND dialog) {
    return static_cast<long>(SendBounded(GetDlgItem(dialog, kProgressBarId), PBM_GETPOS, 0, 0));
  }

  // Records the dialog's state when it differs from the last one recorded. The controls are read
  // one by one, so while a run updates them a sample may mix two entries.
  void RecordDialogSample(HWND dialog) {
    const std::string sample = SampleDialog(dialog);
    if (IsWindow(dialog) && sample != last_sample_) {
      Event("dialog\t%s", sample.c_str());
      last_sample_ = sample;
    }
  }

  void HandleBox(HWND box) {
    // A box over the progress dialog is its report: the run has stopped writing to the dialog,
    // so a sample taken now shows its final state whole.
    if (dialog_ && IsWindow(dialog_)) RecordDialogSample(dialog_);
    ++boxes_;
    // A box is complete once its buttons exist; give a freshly created one a moment.
    for (int i = 0; i < 50 && ButtonsOf(box).empty(); ++i) Sleep(kPollMs);
    const std::string caption = TextOf(box);
    const std::string text = TextOf(GetDlgItem(box, 0xFFFF));
    const std::string icon = IconKindOf(box);
    const std::string buttons = ButtonsOf(box);
    const bool owned = GetWindow(box, GW_OWNER) != nullptr;
    Event("box\t%d\tcaption=%s\ttext=%s\ticon=%s\tbuttons=%s\towned=%d", boxes_,
          Hex(caption).c_str(), Hex(text).c_str(), icon.c_str(), buttons.c_str(), owned ? 1 : 0);
    Screenshot(box, "box-" + std::to_string(boxes_));
    // The report of a run is shown over the progress dialog: one picture of both.
    if (dialog_ && IsWindow(dialog_))
      ScreenshotOfBoth(dialog_, box, "run-" + std::to_string(boxes_));
    const size_t index = static_cast<size_t>(boxes_ - 1);
    Answer(box, boxes_,
           index < scenario_.answers.size() ? scenario_.answers[index] : scenario_.default_answer);
  }

  void Screenshot(HWND window, const std::string& name) {
    if (scenario_.screenshots.empty()) return;
    SaveBmp(CaptureWindow(window), scenario_.screenshots + "\\" + name + ".bmp");
  }

  void ScreenshotOfBoth(HWND first, HWND second, const std::string& name) {
    if (scenario_.screenshots.empty()) return;
    RECT a, b, both;
    GetWindowRect(first, &a);
    GetWindowRect(second, &b);
    UnionRect(&both, &a, &b);
    HDC screen = GetDC(nullptr);
    const Pixels pixels =
        Capture(screen, both.left, both.top, both.right - both.left, both.bottom - both.top);
    ReleaseDC(nullptr, screen);
    SaveBmp(pixels, scenario_.screenshots + "\\" + name + ".bmp");
  }

  const Scenario& scenario_;
  HANDLE process_ = nullptr;
  DWORD process_id_ = 0;
  bool killed_ = false;
  int boxes_ = 0;
  std::set<HWND> handled_;
  std::set<HWND> others_;
  HWND dialog_ = nullptr;
  DWORD dialog_since_ = 0;
  bool dialog_shot_ = false;
  static constexpr DWORD kPaintedAfterMs = 250;
  bool key_sent_ = false;
  std::string last_sample_;
  HWND main_ = nullptr;
  size_t next_step_ = 0;
  size_t dialog_inputs_used_ = 0;
  DWORD start_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  Scenario scenario;
  if (argc != 2 || !ReadScenario(argv[1], scenario)) {
    std::fprintf(stderr, "usage: ui_driver.exe <scenario file> (needs result and command-line)\n");
    return 2;
  }
  g_result = std::fopen(scenario.result.c_str(), "wb");
  if (!g_result) {
    std::fprintf(stderr, "ui_driver: cannot write %s\n", scenario.result.c_str());
    return 2;
  }
  const int code = Driver(scenario).Run();
  std::fclose(g_result);
  return code;
}
