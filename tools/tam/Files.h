// The tam command's reading of files: every product file and module file any command reads goes
// through readTextFile, and every module folder through listModuleFiles, so that one set of rules
// holds for all input. Only regular files are read (a FIFO, a device or a directory is refused
// before a byte is read, so that `tam eval /dev/zero` stops at once); each kind of file has a size
// limit; and a file holding a NUL byte is no text and is refused, naming where the byte stands.
// Writing goes through FileCommit.h.
#ifndef TAM_TOOL_FILES_H
#define TAM_TOOL_FILES_H

#include <cstddef>
#include <string>
#include <vector>

#include "Diagnostics.h"

// What a text file holds; decides its size limit and how messages name it.
enum class TextFileKind { kProduct, kModule };

// The largest product file read, in bytes. A product file of tens of thousands of nodes takes a
// few megabytes; the limit keeps a wrong or hostile file from filling memory.
constexpr std::size_t kMaxProductFileBytes = 16u * 1024 * 1024;
// The largest module file read, in bytes. The largest modules hold a few thousand declarations and
// rules, well under a megabyte.
constexpr std::size_t kMaxModuleFileBytes = 8u * 1024 * 1024;

// The size limit of a kind of file, and its name in messages ("product file", "module file").
std::size_t maxFileBytes(TextFileKind kind);
const char* fileKindName(TextFileKind kind);

// Reads a whole text file. Returns false when it cannot, with the problem in `problem`: the file,
// the message, and for a NUL byte the line it stands on (the message gives its column and byte
// offset). Problems: the file cannot be opened or read, is not a regular file, is larger than the
// limit of its kind, or holds a NUL byte.
bool readTextFile(const std::string& path, TextFileKind kind, std::string& text,
                  Diagnostic& problem);
// The same, throwing the problem as a ToolError (kExitUsage).
std::string readTextFile(const std::string& path, TextFileKind kind);

// The entries named "*.rix" directly in a folder, sorted by name, each as folder + "/" + name.
// Entries of any type are listed, so that readTextFile can refuse what is not a regular file
// rather than leave it out unseen. Returns false with the reason in `problem` when the folder
// cannot be listed.
bool listModuleFiles(const std::string& folder, std::vector<std::string>& files,
                     std::string& problem);

// Whether a path names an existing directory.
bool isDirectory(const std::string& path);

#endif  // TAM_TOOL_FILES_H
