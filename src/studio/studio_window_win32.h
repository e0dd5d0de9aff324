// The Studio's main window: the entry list of the open archive, the filter box, the findings
// bar, the preview pane, the status bar, and the commands of the menus, each a thin call into
// the document.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "studio/entry_rows.h"
#include "studio/kind_finder_win32.h"
#include "studio/preview_pane_win32.h"
#include "studio/studio_document.h"
#include "studio/studio_settings_win32.h"
#include "studio/studio_texts_win32.h"
#include "sys/code_page.h"

namespace velmora {

class StudioWindow {
 public:
  StudioWindow();

  // Creates and shows the window; opens `path` when it is not empty.
  HWND Create(const std::wstring& path, int show);
  HWND Window() const { return window_; }
  // The keys and dialog keys of whichever Studio window `message` is for; true when it was
  // handled. The program ends when the last Studio window closes.
  static bool TranslateForWindow(MSG* message);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);
  LRESULT HandleNotify(NMHDR* header);
  void Command(int id);

  bool CreateWindowAt(int x, int y, int width, int height);  // not shown yet
  void BuildMenu();
  void LoadSettings();
  void StoreSettings();
  void RememberPath(const std::string& path);  // `path` in the window's code page
  void Layout();
  bool OnSplitter(int x, int y) const;
  // Opens `path` in the code page its texts are in: a script's own (UTF-8 or GBK), code page 936
  // for an archive alone whose name it can hold (as a script made for it will be), UTF-8 else.
  void OpenPath(const std::wstring& path);
  // The open script again, when the save just made wrote it in another code page than the
  // window's (a new script is always written in code page 936).
  void ReopenIfWrittenInAnotherCodePage(const std::string& path);
  void ShowOpened();   // the list, bars and title for what the document has just opened
  bool OfferToSave();  // false: the person cancelled
  bool Save(bool choose_name);
  bool SaveScriptTo(const std::string& path, const ScriptTarget& target);
  void Rebuild();
  void Compare();
  void ShowBackups();
  void OpenGuide();
  void Extract(bool all);
  void EditSelected(const PendingChange& change);
  void ReplaceSelected(const std::string& path);
  void TakeEntry();
  void TakeOtherArchive();
  void AddEntry();
  void OpenNested();
  void Undo(bool redo);
  void DropFiles(HDROP drop);

  void StartKinds();  // the kinds of the open archive found away from the window's thread
  void TakeKinds();   // and taken as soon as they are there (waited for when needed now)
  void RefreshRows();
  void RefreshAfterEdit();
  void ShowSelected();
  void UpdateStatus();
  void UpdateTitle();
  void UpdateMenu();
  void ShowError(const std::string& text);
  std::string FailureText(const StudioDocument::FileFailure& failure) const;

  std::vector<uint32_t> SelectedPositions() const;
  int FocusedRow() const;
  static std::string RowStateText(const RowFacts& facts);
  std::string CellText(uint32_t position, int column);
  // Empty when cancelled or (said to the person) when the name has no place in the window's
  // code page.
  std::string ChooseFile(bool save, const std::string& filter, const std::string& extension);
  std::wstring ChooseWideFile(bool save, const std::string& filter, const std::string& extension);
  std::string ChooseFolder();
  bool TakePath(const std::wstring& wide, std::string* path);
  void ShowNameOutsideCodePage(const std::wstring& name);
  bool AskId(StudioText prompt, uint32_t* id);

  // The code page of the open document's texts; the active one while a message of this window
  // is handled.
  CodePage code_page_ = CodePage::kUtf8;
  HWND window_ = nullptr;
  HWND filter_ = nullptr;
  HWND findings_ = nullptr;
  HWND list_ = nullptr;
  HWND status_ = nullptr;
  HMENU recent_menu_ = nullptr;
  HACCEL accelerators_ = nullptr;
  HFONT font_ = nullptr;
  PreviewPane preview_;
  StudioSettings settings_;  // its paths in UTF-8, whatever the window's code page
  StudioDocument document_;
  std::vector<uint32_t> rows_;
  RowFilter filter_value_;
  EntryColumn sort_column_ = EntryColumn::kPosition;
  bool sort_descending_ = false;
  bool dragging_splitter_ = false;
  std::wstring cell_;  // the text a list cell shows, kept alive for the list view
  KindFinder kinds_;
  bool owns_itself_ = false;  // a nested archive's window: deleted when its window is gone
  static int open_windows_;
};

}  // namespace velmora
