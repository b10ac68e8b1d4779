// Undo: puts back what the newest undo journal (env/undo_journal.h) says
// its run changed.
#pragma once

#include <string>
#include <vector>

#include "env/platform/platform.h"

namespace quillbank {

// What undoing the newest journal came to.
struct UndoResult {
  enum class Outcome {
    Undone,
    NothingToUndo,
    ChangedSince,  // `item` names the first item changed since the run
    Failed,        // `item` names what could not be put back; nothing was
  };
  Outcome outcome = Outcome::NothingToUndo;
  std::string item;
  std::vector<std::string> restored;  // "Restored <item>." / "Removed <item>." lines
  std::vector<std::string> kept;      // what undo cannot take back (MAPI services)
};

// Puts back every item of the newest journal, all or nothing, then removes
// the journal. An item is put back when it still holds what the run made of
// it or still its old state (a run killed before it got there); anything
// else refuses the whole undo with nothing changed.
[[nodiscard]] UndoResult UndoNewestJournal(Platform& platform, const std::string& journals_folder);

}  // namespace quillbank
