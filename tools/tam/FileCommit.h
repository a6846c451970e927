// Writing new contents into several files of one product so that either every file changes or
// none does, also when the process is killed at any point:
//
//   1. Every target is checked: a regular file (symbolic links are followed and stay links),
//      still holding the content the command read, writable (a read-only file is replaced only
//      when forced), and one whose owner, group, mode and hard links can be kept.
//   2. The journal (CommitJournal.h), state "prepared", is written beside the product, naming
//      every target and its temporary file ".NAME.tam-new" beside it.
//   3. Each new content is written in full to its temporary file, with the target's owner, group
//      and mode, and flushed to the disk.
//   4. The journal is rewritten in state "committed". This is the moment of the commit: a stop
//      before it leaves every file as it was, a stop after it leaves every new content complete.
//   5. Each temporary file is renamed over its target; for a target with hard links, or whose
//      owner this process cannot give a new file, the content is copied into the target instead.
//   6. The journal is removed.
// Every file and folder written is flushed to the disk before the next step relies on it, and the
// journal itself is replaced by renaming, so that it is always whole. The next tam on the product
// that finds the journal (ProductLock::acquire) finishes the commit from step 5 or undoes it from
// step 2. SIGINT, SIGTERM and SIGHUP are held while a commit runs: one that arrives before step 4
// undoes it (the temporary files and the journal are removed) and ends the command with status
// 128 + the signal's number; one that arrives later lets the commit finish first.
#ifndef TAM_TOOL_FILECOMMIT_H
#define TAM_TOOL_FILECOMMIT_H

#include <optional>
#include <string>
#include <vector>

class ProductLock;

struct FileUpdate {
  std::string path;
  std::string content;
  // The content the new one was computed from, when the caller read it: a file that no longer
  // holds it (another program changed it meanwhile) is not replaced.
  std::optional<std::string> basedOn = std::nullopt;
};

struct CommitOptions {
  // Replace read-only files too (their mode is kept).
  bool force = false;
  // Who commits, named when a later tam settles an interrupted commit ("tam rename").
  std::string command = "tam";
};

// Commits the updates, all or nothing (see above). The caller holds `lock` exclusively. Throws
// ToolError (kExitReported) naming the file and the reason when a file cannot be written; then no
// file has changed and no temporary file or journal remains, except when the failure comes after
// the moment of the commit (a disk that fills while a hard-linked file is copied): the message
// then says so, and the journal stays for the next tam to finish the commit.
void commitFiles(const ProductLock& lock, const std::vector<FileUpdate>& updates,
                 const CommitOptions& options = {});

// Whether a commit of the locked product was interrupted: its journal, or the temporary file of
// one being written, exists.
bool commitInterrupted(const ProductLock& lock);

// Finishes or undoes an interrupted commit of the locked product, which the caller holds
// exclusively. Returns a sentence saying what was done, or the empty text when there was nothing
// to do. Throws ToolError (kExitUsage) when the journal cannot be read or a file cannot be put in
// place; the journal then stays.
std::string recoverCommit(const ProductLock& lock);

#endif  // TAM_TOOL_FILECOMMIT_H
