// The preview pane: a picture scaled to fit (or at 100 %) over a checkerboard, a text, a sound
// with a play button, a nested archive with an open button, or a hex dump. It shows bytes it is
// handed; which bytes (the entry's, or those a pending change would put there) is the window's
// business.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "wdf/entry_kind.h"

namespace velmora {

class PreviewPane {
 public:
  PreviewPane();
  ~PreviewPane();
  PreviewPane(const PreviewPane&) = delete;
  PreviewPane& operator=(const PreviewPane&) = delete;

  // Creates the pane as child `id` of `parent`; its buttons send WM_COMMAND to `parent`
  // (IDC_PREVIEW_OPEN for a nested archive).
  HWND Create(HWND parent, int id);
  HWND Window() const { return window_; }

  // Shows `bytes` of an entry of `kind` (`size` bytes in all). An empty `note` shows the
  // content; a non-empty one is shown above it (a deleted entry, an unreadable one).
  void Show(EntryKind kind, const std::string& bytes, uint64_t size, const std::string& note);
  void Clear();

  // Milliseconds the last picture took from its bytes to its first paint.
  DWORD LastPictureMs() const { return last_picture_ms_; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);
  void Layout();
  void Paint(HDC dc);
  void ShowText(const std::string& text, bool utf8, bool fixed);
  void StopSound();

  struct Picture;
  HWND window_ = nullptr;
  HWND info_ = nullptr;
  HWND text_ = nullptr;
  HWND actual_size_ = nullptr;
  HWND play_ = nullptr;
  HWND open_ = nullptr;
  HFONT font_ = nullptr;
  std::unique_ptr<Picture> picture_;
  std::string sound_;  // the wav bytes PlaySound reads while it plays
  DWORD last_picture_ms_ = 0;
};

}  // namespace velmora
