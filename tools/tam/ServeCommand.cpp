// tam serve: configures a product in the browser. tam reads the command line like any other and
// then hands it, unchanged, to the server program (tam-serve, see ServeProgram.cpp), which takes
// the place of this process: same process id, same terminal, same signals. The server program
// lies beside tam in a build tree and in TAM_SERVE_PROGRAM_DIR, relative to tam's folder, once
// installed.
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "Diagnostics.h"
#include "ServeOptions.h"

namespace {

// The folder of the running tam, or empty when the system does not say.
std::string ownFolder() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return std::string();
  const std::string self(path, static_cast<std::size_t>(length));
  return self.substr(0, self.rfind('/'));
}

// Where the server program is: beside tam (a build tree), else where it is installed.
std::string serverProgram() {
  const std::string folder = ownFolder();
  if (folder.empty()) failUsage("cannot find the folder of the running tam to start the server");
  const std::string beside = folder + "/" + kServeProgramName;
  if (access(beside.c_str(), X_OK) == 0) return beside;
  return folder + "/" + TAM_SERVE_PROGRAM_DIR + "/" + kServeProgramName;
}

// Replaces this process with the server program, given tam's own words; returns only on failure.
int startServer(int argc, char** argv) {
  const std::string program = serverProgram();
  std::vector<char*> words;
  words.push_back(const_cast<char*>(program.c_str()));
  for (int i = 1; i < argc; ++i) words.push_back(argv[i]);
  words.push_back(nullptr);
  std::cout.flush();
  std::cerr.flush();
  execv(program.c_str(), words.data());
  throw ToolError(Diagnostic::general("cannot start the server program " + quote(program) + ": " +
                                      std::strerror(errno)),
                  kExitReported);
}

}  // namespace

void addServeCommand(CLI::App& app, CommandRun& run, int argc, char** argv) {
  auto options = std::make_shared<ServeOptions>();
  CLI::App* command = addServeSubcommand(app, *options);
  command->callback([options, argc, argv, &run] {
    run = [argc, argv] { return startServer(argc, argv); };
  });
}
