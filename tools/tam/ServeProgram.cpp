// tam-serve: the server behind tam serve, which starts it with tam serve's own command line. Starts
// a web server on this machine's loopback address (or the address --host names), prints the
// address to open with its token, and serves the configurator page and its API
// (docs/serve-api.md) until Ctrl-C or SIGTERM stops it.
#include <pthread.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <csignal>
#include <ctime>
#include <iostream>
#include <string>
#include <thread>

#include "Configurator.h"
#include "Diagnostics.h"
#include "ServeOptions.h"
#include "WebServer.h"

namespace {

const char* const kLoopback = "127.0.0.1";
// How often the thread that waits for Ctrl-C looks whether the server ended by itself.
constexpr long kSignalPollNanoseconds = 200L * 1000 * 1000;

// Ctrl-C and SIGTERM are taken by one thread, which stops the server; every other thread,
// including the server's, is created with them blocked.
sigset_t stopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

int runServe(const ServeOptions& options) {
  sigset_t signals = stopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  Configurator configurator(options.product);
  std::string host = options.host.empty() ? kLoopback : options.host;
  WebServer server(configurator, host, options.port);
  if (!options.host.empty() && host != kLoopback) {
    Diagnostic exposed = Diagnostic::general(
        "listening on " + host +
        ", not only on this machine: whoever reaches this address and has the token can change "
        "and save the product, over a connection that is not encrypted" +
        (server.anyHost() ? "; requests may name this machine in any way (the Host header is "
                            "not checked)"
                          : ""));
    exposed.severity = Severity::kWarning;
    DiagnosticPrinter(std::cerr).report(exposed);
  }
  std::cout << "tam serve: configuring " << configurator.productPath() << "\n"
            << "Open " << server.url() << " in a browser. Press Ctrl-C to stop.\n"
            << std::flush;

  // A stop asked for before the server listens would find nothing to stop, so once a signal
  // has come the waiter stops the server as soon as it is running, exactly once.
  std::atomic<bool> ended{false};
  std::thread waiter([&] {
    timespec poll{0, kSignalPollNanoseconds};
    bool stopping = false;
    while (!ended.load()) {
      if (!stopping) {
        stopping = sigtimedwait(&signals, nullptr, &poll) > 0;
      } else if (server.isRunning()) {
        server.stop();
        return;
      } else {
        nanosleep(&poll, nullptr);
      }
    }
  });
  server.run();
  ended.store(true);
  waiter.join();
  std::cout << "tam serve: stopped\n" << std::flush;
  return kExitOk;
}

}  // namespace

// Reads the words tam serve was given (the subcommand first) as tam read them.
int main(int argc, char** argv) {
  // A file size limit must make a write fail with an error the command reports, not end it.
  std::signal(SIGXFSZ, SIG_IGN);
  CLI::App app{"tam serve: configure a product in the browser", "tam"};
  app.require_subcommand(1);
  ServeOptions options;
  addServeSubcommand(app, options);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);
    DiagnosticPrinter(std::cerr).report(Diagnostic::general(e.what()));
    return kExitUsage;
  }
  return runReported([&options] { return runServe(options); });
}
