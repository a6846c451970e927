#include "WebServer.h"

#include <httplib.h>

#include <charconv>
#include <random>

#include "Diagnostics.h"
#include "WebAssets.h"

namespace {

constexpr int kHttpPort = 80;
constexpr time_t kKeepAliveSeconds = 1;
constexpr int kStatusOk = 200;
constexpr int kStatusForbidden = 403;
constexpr int kStatusMethodNotAllowed = 405;
constexpr int kStatusTooLarge = 413;

// With a charset the library does not compress the answer (see the page's files below).
const char* const kJsonType = "application/json; charset=utf-8";
const char* const kIndexAsset = "index.html";
const char* const kAssetPrefix = "/assets/";

// The page loads only its own files and talks only to this server; no other site may frame it.
const char* const kSecurityPolicy =
    "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'; base-uri 'none'; "
    "form-action 'none'";

std::string randomToken(std::size_t bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::random_device device;
  std::uniform_int_distribution<int> byte(0, 255);
  std::string token;
  for (std::size_t i = 0; i < bytes; ++i) {
    int value = byte(device);
    token += kHex[value >> 4];
    token += kHex[value & 0xf];
  }
  return token;
}

// Compares in time that does not depend on where the texts first differ.
bool sameSecret(const std::string& given, const std::string& expected) {
  if (given.size() != expected.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < given.size(); ++i) {
    difference |= static_cast<unsigned char>(given[i] ^ expected[i]);
  }
  return difference == 0;
}

std::string jsonText(const OutputJson& json) {
  return json.dump(-1, ' ', false, OutputJson::error_handler_t::replace);
}

nlohmann::json requestBody(const httplib::Request& request, bool required) {
  if (request.body.empty() && !required) return nlohmann::json::object();
  nlohmann::json body = nlohmann::json::parse(request.body, nullptr, false);
  if (body.is_discarded()) {
    throw ApiError(kStatusBadRequest, "bad_json", "the request body is not valid JSON");
  }
  return body;
}

std::string requiredParam(const httplib::Request& request, const char* name) {
  if (!request.has_param(name) || request.get_param_value(name).empty()) {
    throw ApiError(kStatusBadRequest, "bad_request",
                   std::string("the request needs the parameter \"") + name + "\"");
  }
  return request.get_param_value(name);
}

std::string statusCode(int status) {
  switch (status) {
    case kStatusNotFound:
      return "not_found";
    case kStatusMethodNotAllowed:
      return "method_not_allowed";
    case kStatusTooLarge:
      return "too_large";
    default:
      break;
  }
  return status < kStatusServerError ? "bad_request" : "server_error";
}

std::string statusMessage(int status) {
  switch (status) {
    case kStatusNotFound:
      return "there is nothing at this address";
    case kStatusTooLarge:
      return "the request body is larger than " + std::to_string(WebServer::kMaxBodyBytes) +
             " bytes";
    default:
      break;
  }
  return status < kStatusServerError ? "the request cannot be read" : "the server failed";
}

}  // namespace

WebServer::WebServer(Configurator& configurator, const std::string& host, int port)
    : configurator_(configurator),
      server_(std::make_unique<httplib::Server>()),
      host_(host),
      token_(randomToken(kTokenBytes)) {
  server_->set_payload_max_length(kMaxBodyBytes);
  // Answers go out at once rather than wait for the browser's acknowledgement of the last ones.
  server_->set_tcp_nodelay(true);
  // An idle connection is closed soon: stopping waits for open connections to close.
  server_->set_keep_alive_timeout(kKeepAliveSeconds);
  // Only this process may listen on the port: no SO_REUSEPORT, which would let another program
  // bind the same port and take some of the connections.
  server_->set_socket_options([](socket_t socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  });
  server_->set_default_headers({{"Cache-Control", "no-store"},
                                {"X-Content-Type-Options", "nosniff"},
                                {"Referrer-Policy", "no-referrer"},
                                {"Content-Security-Policy", kSecurityPolicy}});
  server_->set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        return acceptable(request, response) ? httplib::Server::HandlerResponse::Unhandled
                                             : httplib::Server::HandlerResponse::Handled;
      });
  // Statuses the library sets itself (no route, a body too large) get a JSON error too.
  server_->set_error_handler(httplib::Server::HandlerWithResponse(
      [this](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        sendError(response, response.status, statusCode(response.status),
                  statusMessage(response.status));
        return httplib::Server::HandlerResponse::Handled;
      }));
  addRoutes();
  if (port == 0) {
    port_ = server_->bind_to_any_port(host);
  } else if (server_->bind_to_port(host, port)) {
    port_ = port;
  }
  if (port_ <= 0) {
    throw ToolError("tam: error: cannot listen on " + host + ":" + std::to_string(port) +
                        " (the address is not this machine's, or the port is taken)",
                    kExitUsage);
  }
  std::string bracketed = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  std::string suffix = ":" + std::to_string(port_);
  hostHeaders_ = {bracketed + suffix};
  if (host == "127.0.0.1") hostHeaders_.insert("localhost" + suffix);
  // Browsers leave out the port when it is HTTP's own.
  if (port_ == kHttpPort) {
    for (const std::string& name : std::set<std::string>(hostHeaders_)) {
      hostHeaders_.insert(name.substr(0, name.size() - suffix.size()));
    }
  }
}

WebServer::~WebServer() = default;

bool WebServer::anyHost() const { return host_ == "0.0.0.0" || host_ == "::"; }

std::string WebServer::url() const {
  std::string bracketed = host_.find(':') != std::string::npos ? "[" + host_ + "]" : host_;
  return "http://" + bracketed + ":" + std::to_string(port_) + "/?token=" + token_;
}

void WebServer::run() { server_->listen_after_bind(); }

bool WebServer::isRunning() const { return server_->is_running(); }

void WebServer::stop() { server_->stop(); }

bool WebServer::acceptable(const httplib::Request& request, httplib::Response& response) const {
  if (!anyHost() && hostHeaders_.count(request.get_header_value("Host")) == 0) {
    sendError(
        response, kStatusForbidden, "host_refused",
        "this server answers only requests addressed to it (Host " + *hostHeaders_.begin() + ")");
    return false;
  }
  if (request.path.rfind("/api/", 0) == 0 &&
      !sameSecret(request.get_header_value(kTokenHeader), token_)) {
    sendError(response, kStatusForbidden, "bad_token",
              std::string("API requests need the token printed by tam serve, in the header ") +
                  kTokenHeader);
    return false;
  }
  return true;
}

void WebServer::sendError(httplib::Response& response, int status, const std::string& code,
                          const std::string& message, const OutputJson& detail) const {
  OutputJson error = OutputJson::object();
  error["code"] = code;
  error["message"] = message;
  if (!detail.is_null()) error["failure"] = detail;
  OutputJson body = OutputJson::object();
  body["version"] = kServeApiVersion;
  body["error"] = error;
  response.status = status;
  response.set_content(jsonText(body), kJsonType);
}

void WebServer::answer(const httplib::Request& request, httplib::Response& response,
                       Handler handler) {
  try {
    OutputJson body = (this->*handler)(request);
    response.status = kStatusOk;
    response.set_content(jsonText(body), kJsonType);
  } catch (const ApiError& e) {
    sendError(response, e.status(), e.code(), e.what(), e.detail());
  } catch (const ToolError& e) {
    sendError(response, kStatusServerError, "server_error", e.what());
  } catch (const TamException& e) {
    sendError(response, kStatusServerError, "server_error", describeException(e));
  } catch (const std::exception& e) {
    sendError(response, kStatusServerError, "server_error", e.what());
  }
}

void WebServer::route(const char* method, const char* path, Handler handler) {
  auto serve = [this, handler](const httplib::Request& request, httplib::Response& response) {
    answer(request, response, handler);
  };
  auto refuse = [this, method](const httplib::Request&, httplib::Response& response) {
    sendError(response, kStatusMethodNotAllowed, "method_not_allowed",
              std::string("use ") + method + " here");
  };
  bool get = std::string(method) == "GET";
  server_->Get(path, get ? httplib::Server::Handler(serve) : httplib::Server::Handler(refuse));
  server_->Post(path, get ? httplib::Server::Handler(refuse) : httplib::Server::Handler(serve));
}

void WebServer::addRoutes() {
  auto asset = [](const std::string& name, httplib::Response& response) {
    const WebAsset* file = findWebAsset(name);
    if (file == nullptr) {
      response.status = kStatusNotFound;
      return;
    }
    // Sent as it is: content with a known length is never compressed, which on this machine's
    // own loopback would cost more time than it saves.
    const char* data = reinterpret_cast<const char*>(file->data);
    response.set_content_provider(
        file->size, file->contentType,
        [data](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          return sink.write(data + offset, length);
        });
  };
  server_->Get("/", [asset](const httplib::Request&, httplib::Response& response) {
    asset(kIndexAsset, response);
  });
  server_->Get(std::string(kAssetPrefix) + "([A-Za-z0-9_.-]+)",
               [asset](const httplib::Request& request, httplib::Response& response) {
                 asset(request.matches[1], response);
               });
  route("GET", "/api/product", &WebServer::getProduct);
  route("GET", "/api/node", &WebServer::getNode);
  route("GET", "/api/why", &WebServer::getWhy);
  route("GET", "/api/source", &WebServer::getSource);
  route("POST", "/api/set", &WebServer::postSet);
  route("POST", "/api/clear", &WebServer::postClear);
  route("POST", "/api/undo", &WebServer::postUndo);
  route("POST", "/api/redo", &WebServer::postRedo);
  route("POST", "/api/save", &WebServer::postSave);
}

OutputJson WebServer::getProduct(const httplib::Request&) { return configurator_.product(); }

OutputJson WebServer::getNode(const httplib::Request& request) {
  return configurator_.node(requiredParam(request, "path"));
}

OutputJson WebServer::getWhy(const httplib::Request& request) {
  std::string option = request.has_param("option") ? request.get_param_value("option") : "";
  return configurator_.why(requiredParam(request, "node"), option);
}

OutputJson WebServer::getSource(const httplib::Request& request) {
  std::string file = requiredParam(request, "file");
  std::string text = requiredParam(request, "line");
  int line = 0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), line);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
    throw ApiError(kStatusBadRequest, "bad_line", "\"line\" must be a line number");
  }
  return configurator_.source(file, line);
}

OutputJson WebServer::postSet(const httplib::Request& request) {
  return configurator_.set(requestBody(request, true));
}

OutputJson WebServer::postClear(const httplib::Request& request) {
  return configurator_.clear(requestBody(request, true));
}

OutputJson WebServer::postUndo(const httplib::Request& request) {
  return configurator_.undo(requestBody(request, false));
}

OutputJson WebServer::postRedo(const httplib::Request& request) {
  return configurator_.redo(requestBody(request, false));
}

OutputJson WebServer::postSave(const httplib::Request&) { return configurator_.save(); }
