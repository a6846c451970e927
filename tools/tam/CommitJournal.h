// A CommitJournal is the record a commit of new file contents (FileCommit.h) keeps beside the
// product while it runs, so that a later tam can finish or undo a commit whose process was
// killed. It lists every file with the temporary file beside it that holds the new content and
// the way that content goes in, and it is in one of two states:
//   prepared   the new contents may be incomplete and no file has changed: undo the commit by
//              removing the temporary files;
//   committed  every new content is complete: finish the commit by putting each one in place
//              (a temporary file that is gone was put in place already).
// The text form is line based: a heading with the format version, the command, the state, then
// two lines per file after its method, and "end". Paths are absolute, with backslashes and line
// feeds escaped, so that any file name survives.
#ifndef TAM_TOOL_COMMITJOURNAL_H
#define TAM_TOOL_COMMITJOURNAL_H

#include <string>
#include <vector>

struct JournalEntry {
  // kRename: the temporary file, with the target's owner, group and mode, is renamed over the
  // target. kOverwrite: its content is copied into the target, which keeps the target's inode and
  // so its hard links and owner.
  enum class Method { kRename, kOverwrite };

  std::string target;
  std::string temporary;
  Method method = Method::kRename;
};

struct CommitJournal {
  enum class State { kPrepared, kCommitted };

  State state = State::kPrepared;
  std::string command;  // who committed, for the note that settles it ("tam rename")
  std::vector<JournalEntry> entries;

  std::string text() const;
  // Reads a journal's text. Returns false with the reason in `problem` when it is not one.
  static bool parse(const std::string& text, CommitJournal& journal, std::string& problem);
};

#endif  // TAM_TOOL_COMMITJOURNAL_H
