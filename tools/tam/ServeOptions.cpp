#include "ServeOptions.h"

#include "Diagnostics.h"

namespace {

constexpr int kMaxPort = 65535;

}  // namespace

const char kServeProgramName[] = "tam-serve";

CLI::App* addServeSubcommand(CLI::App& app, ServeOptions& options) {
  CLI::App* command = app.add_subcommand(
      "serve",
      "Configure a product in the browser: a local web page with the product tree, "
      "its options, messages, undo and save");
  command->add_option("PRODUCT", options.product, "The product file (JSON)")->required();
  command->add_option("--port", options.port, "The port to listen on (default: a free one)")
      ->check(CLI::Range(0, kMaxPort));
  command->add_option("--host", options.host,
                      "The address to listen on (default 127.0.0.1, this machine only)");
  addDiagnosticOptions(command);
  return command;
}
