// The state of the one run of a process, shared by the interface thread and the worker.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "job/script.h"
#include "sys/file_system.h"
#include "wdf/wdf.h"

namespace velmora {

// The progress dialog's display texts. Only AuthorLine and DateLine change (preparation).
struct DialogTexts {
  DialogTexts();
  std::string Title;
  std::string AuthorLine;
  std::string DateLine;
  std::string ProgressCaption;
  std::string CreditLine;
};

// Pairs of (Id, first index in SourceIndex), sorted by Id; meaningful only when Built.
struct SourceIdLookup {
  bool Built = false;
  std::vector<std::pair<uint32_t, uint32_t>> FirstIndexOfId;
};

struct JobState {
  std::string ScriptPath;  // absolute path of the script
  std::string ScriptDir;   // its directory part
  std::unique_ptr<ScriptLines> Script;

  std::string SourceName;
  std::string SourceDir;
  std::string SourcePath;
  std::string TargetDir;
  std::string TargetPath;

  std::unique_ptr<Stream> SourceStream;
  // The new archive being written, in a temporary file beside the target (TargetWritePath)
  // that takes the target's name when the run has completed it.
  std::unique_ptr<Stream> TargetStream;
  std::string TargetWritePath;
  // An existing target, held open without sharing for the whole run so that it stays as it was
  // until the new archive replaces it; empty when the target did not exist.
  std::unique_ptr<Stream> OldTarget;
  // The run writes its source anew in place (#InPlace=yes and the target is the source): the old
  // archive is kept under BackupPath when the new one takes its name.
  bool InPlace = false;
  std::string BackupPath;
  // The run is one archive of a mod: the complete new archive is flushed and closed but stays
  // under TargetWritePath, for the mod's transaction to put in place with the others.
  bool HoldNewArchive = false;

  uint32_t SourceCount = 0;
  uint32_t SourceIndexOffset = 0;
  std::vector<WdfEntry> SourceIndex;
  std::vector<WdfEntry> TargetIndex;
  uint32_t TargetCount = 0;
  uint32_t AddedCount = 0;  // entries of TargetIndex that no source entry stands for
  // The first index in SourceIndex of every Id, built once per run by the worker. Ids in
  // SourceIndex never change during a run (internal references redirect only Offset and Size),
  // so it answers "the first entry with this Id" as a scan from the start would. Released with
  // the index buffers.
  SourceIdLookup SourceIds;

  // A patch's run (patch_base.h, patch_undo.h): --force of the terminal tools applies a patch
  // whatever its base; a run may end with its work done and nothing to write (the patch was
  // applied already, an undo script brought a backup back); how to undo a patch, in the words of
  // the program that runs it (added to its question and its report).
  bool ForcePatch = false;
  // The run is made only to learn its paths, over a file system that changes nothing: a patch's
  // base is not checked and an undo script is prepared as a plain script.
  bool PathsOnly = false;
  // The run goes over a file system that changes nothing, to find out whether it would succeed
  // (check): a mod ends once every archive is written, without its transaction.
  bool WritesNothing = false;
  bool SucceededWithoutPack = false;
  std::string UndoAdvice;

  std::string ErrorText;  // the complete message of the worker's failure; empty when none
  std::string ErrorRule;  // the cleaned script line of the rule found last

  DialogTexts Texts;
};

}  // namespace velmora
