// The command line of tam serve, shared by the tam command, which reads it and hands it over, and
// by the server program tam-serve, which reads the same words again and serves. Keeping the server
// in a program of its own spares every other tam command the web server's libraries (and their
// loading time and memory) at start.
#ifndef TAM_TOOL_SERVEOPTIONS_H
#define TAM_TOOL_SERVEOPTIONS_H

#include <CLI/CLI.hpp>
#include <string>

struct ServeOptions {
  std::string product;
  std::string host;
  int port = 0;
};

// Adds the serve subcommand with its options (stored in `options`) to app and returns it.
CLI::App* addServeSubcommand(CLI::App& app, ServeOptions& options);

// The name of the server program, found beside tam in a build tree and in the installed tree at
// TAM_SERVE_PROGRAM_DIR (relative to tam's folder).
extern const char kServeProgramName[];

#endif  // TAM_TOOL_SERVEOPTIONS_H
