// The tam command's access to the file system: reading whole files, listing the module files of a
// folder, and writing a set of files so that either all of them change or none does.
#ifndef TAM_TOOL_FILES_H
#define TAM_TOOL_FILES_H

#include <string>
#include <vector>

// Reads a whole file. Returns false with the reason in `problem` when it cannot.
bool readTextFile(const std::string& path, std::string& text, std::string& problem);

// The "*.rix" regular files directly in a folder, sorted by name, each as folder + "/" + name.
// Returns false with the reason in `problem` when the folder cannot be listed.
bool listModuleFiles(const std::string& folder, std::vector<std::string>& files,
                     std::string& problem);

// Whether a path names an existing directory.
bool isDirectory(const std::string& path);

struct FileUpdate {
  std::string path;
  std::string content;
};

// Replaces the content of every file. Each new content is first written in full to a temporary
// file beside its target (same folder, so that the final step is a rename within one file
// system), with the target's permissions; only when all of them are written are they renamed
// over their targets. When any write fails, the temporary files are removed, no target is touched,
// and a ToolError (kExitReported) names the file and the reason.
void writeFilesAtomically(const std::vector<FileUpdate>& updates);

#endif  // TAM_TOOL_FILES_H
