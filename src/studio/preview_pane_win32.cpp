#include "studio/preview_pane_win32.h"

#include <algorithm>

// The picture decoder's headers use min and max unqualified.
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <objidl.h>
#include <gdiplus.h>
#include <mmsystem.h>

#include "studio/preview_content.h"
#include "studio/studio_texts_win32.h"
#include "studio/tga_image.h"
#include "studio_ids.h"

namespace velmora {

namespace {

const char kPaneClass[] = "VelmoraStudioPreview";
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

}  // namespace

struct PreviewPane::Picture {
  std::string Bytes;            // what the decoder reads from (it may read lazily)
  std::vector<uint8_t> Pixels;  // a TGA decoded here
  IStream* Source = nullptr;
  std::unique_ptr<Gdiplus::Bitmap> Bitmap;
  ~Picture() {
    Bitmap.reset();
    if (Source) Source->Release();
  }
};

PictureDecoding::PictureDecoding() {
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&token_, &input, nullptr);
}

PictureDecoding::~PictureDecoding() {
  if (token_) Gdiplus::GdiplusShutdown(token_);
}

PreviewPane::PreviewPane() = default;

PreviewPane::~PreviewPane() {
  StopSound();
  if (font_) DeleteObject(font_);
}

HWND PreviewPane::Create(HWND parent, int id) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = Procedure;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = kPaneClass;
  RegisterClassA(&window_class);
  window_ = CreateWindowExA(WS_EX_CLIENTEDGE, kPaneClass, "",
                            WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 10, 10, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
  NONCLIENTMETRICSA metrics = {};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  font_ = CreateFontIndirectA(&metrics.lfMessageFont);
  auto child = [&](const char* cls, const char* text, DWORD style, int child_id) {
    HWND h =
        CreateWindowExA(0, cls, text, WS_CHILD | style, 0, 0, 10, 10, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(child_id)), instance, nullptr);
    SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    return h;
  };
  info_ = child("STATIC", "", WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, IDC_PREVIEW_INFO);
  actual_size_ = child("BUTTON", Text(StudioText::TxtActualSize).c_str(),
                       BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_TABSTOP, IDC_PREVIEW_ACTUAL);
  play_ = child("BUTTON", Text(StudioText::TxtPlay).c_str(), BS_PUSHBUTTON | WS_TABSTOP,
                IDC_PREVIEW_PLAY);
  open_ = child("BUTTON", Text(StudioText::TxtOpenNested).c_str(), BS_PUSHBUTTON | WS_TABSTOP,
                IDC_PREVIEW_OPEN);
  text_ = CreateWindowExW(0, L"EDIT", L"",
                          WS_CHILD | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                              ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                          0, 0, 10, 10, window_,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PREVIEW_TEXT)), instance,
                          nullptr);
  SendMessageW(text_, EM_SETLIMITTEXT, 0, 0);
  Layout();
  return window_;
}

LRESULT CALLBACK PreviewPane::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(l);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* pane = reinterpret_cast<PreviewPane*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (pane && pane->window_ == window) return pane->Handle(message, w, l);
  return DefWindowProcA(window, message, w, l);
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
          if (!sound_.empty()) PlaySoundA(sound_.data(), nullptr, SND_MEMORY | SND_ASYNC);
          return 0;
        case IDC_PREVIEW_OPEN:
          SendMessageA(GetParent(window_), WM_COMMAND, w, l);
          return 0;
      }
      break;
  }
  return DefWindowProcA(window_, message, w, l);
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
  if (!picture_ || !picture_->Bitmap) {
    if (!IsWindowVisible(text_)) FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW));
    return;
  }
  const int width = static_cast<int>(picture_->Bitmap->GetWidth());
  const int height = static_cast<int>(picture_->Bitmap->GetHeight());
  const int room_w = std::max<int>(1, area.right - area.left);
  const int room_h = std::max<int>(1, area.bottom - area.top);
  int shown_w = width;
  int shown_h = height;
  const bool actual = SendMessageA(actual_size_, BM_GETCHECK, 0, 0) == BST_CHECKED;
  if (!actual) {  // fitted to the pane, smaller or larger
    if (static_cast<int64_t>(width) * room_h > static_cast<int64_t>(height) * room_w) {
      shown_w = room_w;
      shown_h = std::max(1, static_cast<int>(static_cast<int64_t>(height) * room_w / width));
    } else {
      shown_h = room_h;
      shown_w = std::max(1, static_cast<int>(static_cast<int64_t>(width) * room_h / height));
    }
  }
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
  {
    Gdiplus::Graphics graphics(memory);
    // Enlarged pictures keep their pixels sharp; reduced ones are smoothed.
    graphics.SetInterpolationMode(shown_w >= width ? Gdiplus::InterpolationModeNearestNeighbor
                                                   : Gdiplus::InterpolationModeBilinear);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    graphics.DrawImage(picture_->Bitmap.get(), left, upper, shown_w, shown_h);
  }
  BitBlt(dc, area.left, area.top, room_w, room_h, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteObject(canvas);
  DeleteDC(memory);
}

void PreviewPane::StopSound() {
  if (!sound_.empty()) PlaySoundA(nullptr, nullptr, 0);
  sound_.clear();
}

void PreviewPane::Clear() {
  StopSound();
  picture_.reset();
  SetWindowTextA(info_, "");
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
    picture->Bytes = bytes;
    if (kind == EntryKind::kTga) {
      BgraImage image;
      if (DecodeTga(picture->Bytes, &image)) {
        picture->Pixels = std::move(image.Pixels);
        picture->Bitmap = std::make_unique<Gdiplus::Bitmap>(
            static_cast<INT>(image.Width), static_cast<INT>(image.Height),
            static_cast<INT>(image.Width * 4), PixelFormat32bppARGB, picture->Pixels.data());
      }
    } else {
      HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, picture->Bytes.size());
      if (memory) {
        void* at = GlobalLock(memory);
        std::copy(picture->Bytes.begin(), picture->Bytes.end(), static_cast<char*>(at));
        GlobalUnlock(memory);
        if (CreateStreamOnHGlobal(memory, TRUE, &picture->Source) == S_OK) {
          picture->Bitmap.reset(Gdiplus::Bitmap::FromStream(picture->Source));
        } else {
          GlobalFree(memory);
        }
      }
    }
    if (picture->Bitmap && picture->Bitmap->GetLastStatus() == Gdiplus::Ok &&
        picture->Bitmap->GetWidth() > 0) {
      if (!info.empty()) info += "  ";
      info += TextOf(StudioText::TxtPicture, {std::to_string(picture->Bitmap->GetWidth()),
                                              std::to_string(picture->Bitmap->GetHeight())});
      picture_ = std::move(picture);
      ShowWindow(actual_size_, SW_SHOW);
      shown = true;
    } else {
      if (!info.empty()) info += "  ";
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
  SetWindowTextA(info_, info.c_str());
  Layout();
  InvalidateRect(window_, nullptr, TRUE);
  if (picture_) {
    UpdateWindow(window_);
    last_picture_ms_ = GetTickCount() - start;
  }
}

}  // namespace velmora
