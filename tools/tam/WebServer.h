// The HTTP side of `tam serve`: serves the configurator page, whose files are compiled into the
// binary (no path on disk is ever served), and the JSON API of a Configurator.
//
// Safety, for a server that can change a file on the user's disk:
//   - it listens on the address it is given (the command gives 127.0.0.1 unless told otherwise);
//   - every API request must carry the random token printed with the URL, in the header
//     X-Tam-Token (a header, not a cookie, so another site's page cannot send it);
//   - a request whose Host header names anything but this server is refused, so that a name
//     rebound to 127.0.0.1 by another site's DNS cannot reach it (unless the server listens on
//     every address, see anyHost());
//   - request bodies over kMaxBodyBytes are refused, and every malformed request gets a JSON
//     error with a 4xx status, never a crash.
// run() serves on the calling thread until stop() is called from another thread.
#ifndef TAM_TOOL_WEBSERVER_H
#define TAM_TOOL_WEBSERVER_H

#include <memory>
#include <set>
#include <string>

#include "Configurator.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

class WebServer {
 public:
  // Request bodies are small JSON documents; anything larger is refused.
  static constexpr std::size_t kMaxBodyBytes = 1024 * 1024;
  // Random bytes in the token (printed as twice as many hex digits).
  static constexpr std::size_t kTokenBytes = 24;
  static constexpr const char* kTokenHeader = "X-Tam-Token";

  // Binds to host:port (port 0: a free port the system picks). Throws ToolError (kExitUsage)
  // when the address cannot be used.
  WebServer(Configurator& configurator, const std::string& host, int port);
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;
  ~WebServer();

  int port() const { return port_; }
  const std::string& token() const { return token_; }
  // The address to open, with the token.
  std::string url() const;
  // Whether the server listens on every address of the machine (0.0.0.0 or ::). Then the names
  // it is reached by are not known, and the Host header is not checked; the token still is.
  bool anyHost() const;

  void run();
  // Whether run() is listening; stop() has an effect only then.
  bool isRunning() const;
  void stop();

 private:
  using Handler = OutputJson (WebServer::*)(const httplib::Request&);

  void addRoutes();
  void route(const char* method, const char* path, Handler handler);
  bool acceptable(const httplib::Request& request, httplib::Response& response) const;
  void answer(const httplib::Request& request, httplib::Response& response, Handler handler);
  void sendError(httplib::Response& response, int status, const std::string& code,
                 const std::string& message, const OutputJson& detail = OutputJson()) const;

  OutputJson getProduct(const httplib::Request& request);
  OutputJson getNode(const httplib::Request& request);
  OutputJson getWhy(const httplib::Request& request);
  OutputJson getSource(const httplib::Request& request);
  OutputJson postSet(const httplib::Request& request);
  OutputJson postClear(const httplib::Request& request);
  OutputJson postUndo(const httplib::Request& request);
  OutputJson postRedo(const httplib::Request& request);
  OutputJson postSave(const httplib::Request& request);

  Configurator& configurator_;
  std::unique_ptr<httplib::Server> server_;
  std::string host_;
  int port_ = 0;
  std::string token_;
  std::set<std::string> hostHeaders_;  // the Host headers that name this server
};

#endif  // TAM_TOOL_WEBSERVER_H
