#include "studio/preview_pane_win32.h"

#include <mmsystem.h>

#include <algorithm>
#include <cstring>

#include "studio/picture_decoding.h"
#include "studio/picture_scaling.h"
#include "studio/preview_content.h"
#include "studio/studio_texts_win32.h"
#include "studio_ids.h"
#include "sys/code_page.h"

namespace velmora {

namespace {

const wchar_t kPaneClass[] = L"VelmoraStudioPreview";
constexpr int kCheckerCell = 8;

int Scaled(HWND window, int pixels) {
  HDC dc = GetDC(window);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(window, dc);
  return MulDiv(pixels, dpi, 96);
}

std::wstring Wide(const std::string& text, UINT code_page) {
  const int n =
      MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  if (n > 0) {
    MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  }
  return wide;
}

// Texts of entries use bare LF or CR as often as CR LF; an edit control wants CR LF.
std::wstring WithCrLf(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t k = 0; k < text.size(); ++k) {
    const wchar_t c = text[k];
    if (c == L'\r') {
      out += L"\r\n";
      if (k + 1 < text.size() && text[k + 1] == L'\n') ++k;
    } else if (c == L'\n') {
      out += L"\r\n";
    } else if (c == L'\0') {
      out += L' ';
    } else {
      out += c;
    }
  }
  return out;
}

// A 32-bit bitmap the screen can compose over the checkerboard, holding `picture`'s pixels.
HBITMAP BitmapOf(const DecodedPicture& picture) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = static_cast<LONG>(picture.Width);
  info.bmiHeader.biHeight = -static_cast<LONG>(picture.Height);  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) std::memcpy(bits, picture.Pixels.data(), picture.Pixels.size());
  return bitmap;
}

// Draws `bitmap` (`width` x `height` pixels) over what `dc` holds at `x`, `y`, stretched to
// `shown_width` x `shown_height`, by its alpha.
void ComposeBitmap(HDC dc, HBITMAP bitmap, uint32_t width, uint32_t height, int x, int y,
                   int shown_width, int shown_height) {
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, bitmap);
  const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc, x, y, shown_width, shown_height, source, 0, 0, static_cast<int>(width),
             static_cast<int>(height), blend);
  SelectObject(source, old);
  DeleteDC(source);
}

}  // namespace

// The decoded picture, drawn at its own size when it is shown as large or larger, and reduced
// once for each size it is shown smaller at.
struct PreviewPane::Picture {
  DecodedPicture Full;
  HBITMAP FullBitmap = nullptr;
  ShownSize ReducedSize;
  HBITMAP ReducedBitmap = nullptr;
  ~Picture() {
    if (FullBitmap) DeleteObject(FullBitmap);
    if (ReducedBitmap) DeleteObject(ReducedBitmap);
  }
};

PreviewPane::PreviewPane() = default;

PreviewPane::~PreviewPane() {
  StopSound();
  if (font_) DeleteObject(font_);
}

HWND PreviewPane::Create(HWND parent, int id) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = Procedure;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = kPaneClass;
  RegisterClassW(&window_class);
  window_ = CreateWindowExW(WS_EX_CLIENTEDGE, kPaneClass, L"",
                            WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 10, 10, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  font_ = CreateFontIndirectW(&metrics.lfMessageFont);
  auto child = [&](const wchar_t* cls, const std::string& text, DWORD style, int child_id) {
    HWND h = CreateWindowExW(
        0, cls, WideFromActiveCodePage(text).c_str(), WS_CHILD | style, 0, 0, 10, 10, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(child_id)), instance, nullptr);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    return h;
  };
  info_ = child(L"STATIC", "", WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, IDC_PREVIEW_INFO);
  actual_size_ = child(L"BUTTON", Text(StudioText::TxtActualSize),
                       BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_TABSTOP, IDC_PREVIEW_ACTUAL);
  play_ = child(L"BUTTON", Text(StudioText::TxtPlay), BS_PUSHBUTTON | WS_TABSTOP, IDC_PREVIEW_PLAY);
  open_ = child(L"BUTTON", Text(StudioText::TxtOpenNested), BS_PUSHBUTTON | WS_TABSTOP,
                IDC_PREVIEW_OPEN);
  text_ =
      child(L"EDIT", "",
            WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL,
            IDC_PREVIEW_TEXT);
  SendMessageW(text_, EM_SETLIMITTEXT, 0, 0);
  Layout();
  return window_;
}

LRESULT CALLBACK PreviewPane::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(l);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* pane = reinterpret_cast<PreviewPane*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (pane && pane->window_ == window) return pane->Handle(message, w, l);
  return DefWindowProcW(window, message, w, l);
}

LRESULT PreviewPane::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_SIZE:
      Layout();
      InvalidateRect(window_, nullptr, TRUE);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // Paint covers everything
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window_, &paint);
      Paint(dc);
      EndPaint(window_, &paint);
      return 0;
    }
    case WM_COMMAND:
      switch (LOWORD(w)) {
        case IDC_PREVIEW_ACTUAL:
          InvalidateRect(window_, nullptr, FALSE);
          return 0;
        case IDC_PREVIEW_PLAY:
          if (!sound_.empty()) {
            PlaySoundW(reinterpret_cast<LPCWSTR>(sound_.data()), nullptr, SND_MEMORY | SND_ASYNC);
          }
          return 0;
        case IDC_PREVIEW_OPEN:
          SendMessageW(GetParent(window_), WM_COMMAND, w, l);
          return 0;
      }
      break;
  }
  return DefWindowProcW(window_, message, w, l);
}

void PreviewPane::Layout() {
  RECT client;
  GetClientRect(window_, &client);
  const int pad = Scaled(window_, 4);
  const int line = Scaled(window_, 22);
  const int button = Scaled(window_, 64);
  const int width = client.right - client.left;
  int buttons = 0;
  for (HWND h : {actual_size_, play_, open_}) {
    if (IsWindowVisible(h)) {
      MoveWindow(h, width - pad - (buttons + 1) * (button + pad), pad, button, line, TRUE);
      ++buttons;
    }
  }
  MoveWindow(info_, pad, pad + Scaled(window_, 3), width - 2 * pad - buttons * (button + pad),
             line - Scaled(window_, 3), TRUE);
  MoveWindow(text_, 0, line + 2 * pad, width, client.bottom - line - 2 * pad, TRUE);
}

void PreviewPane::Paint(HDC dc) {
  RECT client;
  GetClientRect(window_, &client);
  const int top = Scaled(window_, 22) + 2 * Scaled(window_, 4);
  RECT band = client;
  band.bottom = top;
  FillRect(dc, &band, GetSysColorBrush(COLOR_BTNFACE));
  RECT area = client;
  area.top = top;
  if (!picture_) {
    if (!IsWindowVisible(text_)) FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW));
    return;
  }
  const uint32_t width = picture_->Full.Width;
  const uint32_t height = picture_->Full.Height;
  const int room_w = std::max<int>(1, area.right - area.left);
  const int room_h = std::max<int>(1, area.bottom - area.top);
  ShownSize shown = {width, height};
  const bool actual = SendMessageW(actual_size_, BM_GETCHECK, 0, 0) == BST_CHECKED;
  if (!actual) shown = FitPicture(width, height, room_w, room_h);  // smaller or larger
  const int shown_w = static_cast<int>(shown.Width);
  const int shown_h = static_cast<int>(shown.Height);
  const int x = area.left + std::max(0, (room_w - shown_w) / 2);
  const int y = area.top + std::max(0, (room_h - shown_h) / 2);

  // Drawn off screen first, so that a large picture does not flicker.
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP canvas = CreateCompatibleBitmap(dc, room_w, room_h);
  HGDIOBJ old = SelectObject(memory, canvas);
  RECT all = {0, 0, room_w, room_h};
  FillRect(memory, &all, GetSysColorBrush(COLOR_WINDOW));
  HBRUSH light = CreateSolidBrush(RGB(0xCC, 0xCC, 0xCC));
  HBRUSH dark = CreateSolidBrush(RGB(0x99, 0x99, 0x99));
  const int cell = Scaled(window_, kCheckerCell);
  const int left = x - area.left;
  const int upper = y - area.top;
  for (int cy = 0; cy < std::min(shown_h, room_h - upper); cy += cell) {
    for (int cx = 0; cx < std::min(shown_w, room_w - left); cx += cell) {
      RECT r = {left + cx, upper + cy, left + std::min(cx + cell, shown_w),
                upper + std::min(cy + cell, shown_h)};
      FillRect(memory, &r, ((cx / cell + cy / cell) % 2) ? dark : light);
    }
  }
  DeleteObject(light);
  DeleteObject(dark);
  // Reduced pictures are averaged, so they stay smooth; enlarged ones keep their pixels sharp.
  if (shown.Width < width || shown.Height < height) {
    if (!picture_->ReducedBitmap || picture_->ReducedSize.Width != shown.Width ||
        picture_->ReducedSize.Height != shown.Height) {
      if (picture_->ReducedBitmap) DeleteObject(picture_->ReducedBitmap);
      picture_->ReducedBitmap = BitmapOf(ReducePicture(picture_->Full, shown.Width, shown.Height));
      picture_->ReducedSize = shown;
    }
    if (picture_->ReducedBitmap) {
      ComposeBitmap(memory, picture_->ReducedBitmap, shown.Width, shown.Height, left, upper,
                    shown_w, shown_h);
    }
  } else if (picture_->FullBitmap) {
    ComposeBitmap(memory, picture_->FullBitmap, width, height, left, upper, shown_w, shown_h);
  }
  BitBlt(dc, area.left, area.top, room_w, room_h, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteObject(canvas);
  DeleteDC(memory);
}

void PreviewPane::StopSound() {
  if (!sound_.empty()) PlaySoundW(nullptr, nullptr, 0);
  sound_.clear();
}

void PreviewPane::Clear() {
  StopSound();
  picture_.reset();
  SetWindowTextW(info_, L"");
  SetWindowTextW(text_, L"");
  for (HWND h : {text_, actual_size_, play_, open_}) ShowWindow(h, SW_HIDE);
  Layout();
  InvalidateRect(window_, nullptr, TRUE);
}

void PreviewPane::ShowText(const std::string& text, bool utf8, bool fixed) {
  // A text in the interface's font, which has the Chinese characters; a hex dump in columns.
  HFONT font = fixed ? static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT)) : font_;
  SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SetWindowTextW(text_, WithCrLf(Wide(text, utf8 ? CP_UTF8 : 936)).c_str());
  ShowWindow(text_, SW_SHOW);
}

void PreviewPane::Show(EntryKind kind, const std::string& bytes, uint64_t size,
                       const std::string& note) {
  Clear();
  const DWORD start = GetTickCount();
  std::string info = note;
  const bool picture_kind = kind == EntryKind::kBmp || kind == EntryKind::kPng ||
                            kind == EntryKind::kJpg || kind == EntryKind::kGif ||
                            kind == EntryKind::kTga;
  bool shown = false;
  if (picture_kind && bytes.size() == size) {
    auto picture = std::make_unique<Picture>();
    const PictureFailure failure = DecodePicture(bytes, &picture->Full);
    if (!info.empty()) info += "  ";
    const std::string width = std::to_string(picture->Full.Width);
    const std::string height = std::to_string(picture->Full.Height);
    if (failure == PictureFailure::kNone) picture->FullBitmap = BitmapOf(picture->Full);
    if (picture->FullBitmap) {
      info += TextOf(StudioText::TxtPicture, {width, height});
      picture_ = std::move(picture);
      ShowWindow(actual_size_, SW_SHOW);
      shown = true;
    } else if (failure == PictureFailure::kTooLarge) {
      info += TextOf(StudioText::TxtPictureTooLarge, {width, height});
    } else {
      info += Text(StudioText::TxtPictureFailed);
    }
  } else if (kind == EntryKind::kText) {
    ShowText(bytes, PreviewTextEncoding(bytes) == TextEncoding::kUtf8, false);
    shown = true;
  } else if (kind == EntryKind::kWav && bytes.size() == size) {
    sound_ = bytes;
    ShowWindow(play_, SW_SHOW);
  } else if (kind == EntryKind::kWdf) {
    uint32_t count = 0;
    if (NestedArchiveCount(bytes, &count)) {
      if (!info.empty()) info += "  ";
      info += TextOf(StudioText::TxtNested, {std::to_string(count)});
      ShowWindow(open_, SW_SHOW);
    }
  }
  if (!shown && kind != EntryKind::kWav && kind != EntryKind::kWdf) {
    ShowText(HexDump(bytes.substr(0, kPreviewHexLimit)), false, true);
  }
  SetWindowTextW(info_, WideFromActiveCodePage(info).c_str());
  Layout();
  InvalidateRect(window_, nullptr, TRUE);
  if (picture_) {
    UpdateWindow(window_);
    last_picture_ms_ = GetTickCount() - start;
  }
}

}  // namespace velmora
