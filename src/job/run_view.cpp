#include "job/run_view.h"

#include "job/paths.h"
#include "msg/format.h"

namespace velmora {

int RunView::AskToApplyOnOtherBase(const std::string& finding) {
  return AskOkCancel(finding + Message(MessageKey::MsgPatchApplyAnyway));
}

std::string RunView::UndoAdvice(const std::string& undo_script) {
  return Message(MessageKey::MsgUndoByDoubleClick, {FileNamePart(undo_script)});
}

}  // namespace velmora
