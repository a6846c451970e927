#include "Sweep.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "Diagnostics.h"

namespace {

// Bytes read from a worker's pipe at a time.
constexpr std::size_t kReadBlock = 1 << 16;

void count(SweepTotals& totals, VariantRunner::Status status) {
  ++totals.variants;
  switch (status) {
    case VariantRunner::Status::kOk:
      ++totals.ok;
      break;
    case VariantRunner::Status::kErrors:
      ++totals.errors;
      break;
    case VariantRunner::Status::kFailed:
      ++totals.failed;
      break;
  }
}

bool writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(written);
  }
  return true;
}

// The worker's side: reads chunks (one variant a line, an empty line ends a chunk), writes one
// line per record (its status digit, then its JSON) and an empty line after each chunk. Ends the
// process when the parent closes the pipe.
[[noreturn]] void workerLoop(VariantRunner& runner, int in, int out) {
  FILE* input = ::fdopen(in, "r");
  FILE* output = ::fdopen(out, "w");
  if (input == nullptr || output == nullptr) ::_exit(EXIT_FAILURE);
  char* line = nullptr;
  std::size_t capacity = 0;
  ssize_t length;
  while ((length = ::getline(&line, &capacity, input)) > 0) {
    std::string text(line, static_cast<std::size_t>(length));
    if (text == "\n") {
      std::fputc('\n', output);
      std::fflush(output);
      continue;
    }
    Variant variant =
        variantFromJson(nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false));
    VariantRunner::Record record = runner.run(variant);
    std::fputc('0' + static_cast<int>(record.status), output);
    std::fputs(record.json.c_str(), output);
    std::fputc('\n', output);
  }
  std::free(line);
  ::_exit(EXIT_SUCCESS);
}

// A worker that died must not end this process when a chunk is written to it: while the sweep
// runs, writing to a closed pipe fails with EPIPE instead of raising SIGPIPE.
class IgnoredSigpipe {
 public:
  IgnoredSigpipe() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous_);
  }
  IgnoredSigpipe(const IgnoredSigpipe&) = delete;
  IgnoredSigpipe& operator=(const IgnoredSigpipe&) = delete;
  ~IgnoredSigpipe() { ::sigaction(SIGPIPE, &previous_, nullptr); }

 private:
  struct sigaction previous_ {};
};

struct Worker {
  pid_t pid = -1;
  int in = -1;   // the parent writes variants here
  int out = -1;  // and reads records here
  bool busy = false;
  std::int64_t chunk = 0;
  std::vector<Variant> variants;  // of the chunk in flight
  std::vector<VariantRunner::Record> records;
  std::string pending;  // bytes read after the last complete line
};

class ProcessSweep {
 public:
  ProcessSweep(VariantSource& source, VariantRunner& runner, int jobs, std::size_t chunkSize,
               const RecordSink& sink)
      : source_(source), runner_(runner), chunkSize_(chunkSize), sink_(sink), workers_(jobs) {}
  ProcessSweep(const ProcessSweep&) = delete;
  ProcessSweep& operator=(const ProcessSweep&) = delete;
  // Workers still running when the sweep ends early (its sink failed) see their input end, finish
  // the chunk at hand and exit.
  ~ProcessSweep() {
    for (Worker& worker : workers_) stop(worker);
  }

  SweepTotals run() {
    IgnoredSigpipe ignored;
    for (Worker& worker : workers_) start(worker);
    for (Worker& worker : workers_) assign(worker);
    while (anyBusy()) {
      waitForOutput();
      flushFinished();
      for (Worker& worker : workers_) {
        if (!worker.busy) assign(worker);
      }
    }
    for (Worker& worker : workers_) stop(worker);
    return totals_;
  }

 private:
  void start(Worker& worker) {
    int toWorker[2];
    int fromWorker[2];
    if (::pipe(toWorker) != 0 || ::pipe(fromWorker) != 0) {
      throw ToolError(std::string("tam: error: cannot start a worker: ") + std::strerror(errno),
                      kExitReported);
    }
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid < 0) {
      throw ToolError(std::string("tam: error: cannot start a worker: ") + std::strerror(errno),
                      kExitReported);
    }
    if (pid == 0) {
      // Only this worker's ends stay open, so that each worker sees the end of its own input.
      for (const Worker& other : workers_) {
        if (other.in >= 0) ::close(other.in);
        if (other.out >= 0) ::close(other.out);
      }
      ::close(toWorker[1]);
      ::close(fromWorker[0]);
      workerLoop(runner_, toWorker[0], fromWorker[1]);
    }
    ::close(toWorker[0]);
    ::close(fromWorker[1]);
    worker.pid = pid;
    worker.in = toWorker[1];
    worker.out = fromWorker[0];
    worker.busy = false;
    worker.pending.clear();
  }

  void assign(Worker& worker) {
    if (sourceDone_) return;
    worker.variants.clear();
    worker.records.clear();
    std::string text;
    Variant variant;
    while (worker.variants.size() < chunkSize_ && source_.next(variant)) {
      text += variantToJson(variant).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
      text += '\n';
      worker.variants.push_back(variant);
    }
    if (worker.variants.empty()) {
      sourceDone_ = true;
      return;
    }
    worker.busy = true;
    worker.chunk = nextChunk_++;
    // A failed write means the worker died; reading its pipe tells so.
    writeAll(worker.in, text + "\n");
  }

  bool anyBusy() const {
    for (const Worker& worker : workers_) {
      if (worker.busy) return true;
    }
    return false;
  }

  void waitForOutput() {
    std::vector<pollfd> polled;
    std::vector<Worker*> owners;
    for (Worker& worker : workers_) {
      if (!worker.busy) continue;
      polled.push_back({worker.out, POLLIN, 0});
      owners.push_back(&worker);
    }
    if (::poll(polled.data(), polled.size(), -1) < 0) {
      if (errno == EINTR) return;
      throw ToolError(std::string("tam: error: waiting for the workers: ") + std::strerror(errno),
                      kExitReported);
    }
    for (std::size_t i = 0; i < polled.size(); ++i) {
      if (polled[i].revents != 0) readFrom(*owners[i]);
    }
  }

  void readFrom(Worker& worker) {
    char block[kReadBlock];
    ssize_t got = ::read(worker.out, block, sizeof block);
    if (got < 0 && errno == EINTR) return;
    if (got <= 0) {
      replaceDead(worker);
      return;
    }
    worker.pending.append(block, static_cast<std::size_t>(got));
    std::size_t start = 0;
    for (std::size_t end; (end = worker.pending.find('\n', start)) != std::string::npos;
         start = end + 1) {
      if (end == start) {
        finishChunk(worker);
        continue;
      }
      VariantRunner::Record record;
      record.status = static_cast<VariantRunner::Status>(worker.pending[start] - '0');
      record.json = worker.pending.substr(start + 1, end - start - 1);
      worker.records.push_back(record);
    }
    worker.pending.erase(0, start);
  }

  void finishChunk(Worker& worker) {
    finished_[worker.chunk] = std::move(worker.records);
    worker.records.clear();
    worker.busy = false;
  }

  // The worker ended before finishing its chunk: the variants it had not recorded fail, and a new
  // worker takes its place.
  void replaceDead(Worker& worker) {
    int status = 0;
    ::close(worker.in);
    ::close(worker.out);
    worker.in = worker.out = -1;
    ::waitpid(worker.pid, &status, 0);
    std::string how = WIFSIGNALED(status)
                          ? "was killed by signal " + std::to_string(WTERMSIG(status))
                          : "exited with status " + std::to_string(WEXITSTATUS(status));
    for (std::size_t i = worker.records.size(); i < worker.variants.size(); ++i) {
      worker.records.push_back(runner_.failedRecord(
          worker.variants[i], "the worker process evaluating the variant " + how));
    }
    finishChunk(worker);
    start(worker);
  }

  void flushFinished() {
    for (auto it = finished_.find(nextToFlush_); it != finished_.end();
         it = finished_.find(nextToFlush_)) {
      for (const VariantRunner::Record& record : it->second) {
        count(totals_, record.status);
        sink_(record);
      }
      finished_.erase(it);
      ++nextToFlush_;
    }
  }

  void stop(Worker& worker) {
    if (worker.pid < 0) return;
    ::close(worker.in);
    ::close(worker.out);
    int status = 0;
    ::waitpid(worker.pid, &status, 0);
    worker = Worker();
  }

  VariantSource& source_;
  VariantRunner& runner_;
  std::size_t chunkSize_;
  const RecordSink& sink_;
  std::vector<Worker> workers_;
  std::map<std::int64_t, std::vector<VariantRunner::Record>> finished_;
  std::int64_t nextChunk_ = 0;
  std::int64_t nextToFlush_ = 0;
  bool sourceDone_ = false;
  SweepTotals totals_;
};

}  // namespace

SweepTotals runSweep(VariantSource& source, VariantRunner& runner, int jobs, std::size_t chunkSize,
                     const RecordSink& sink) {
  if (jobs > 1) return ProcessSweep(source, runner, jobs, chunkSize, sink).run();
  SweepTotals totals;
  Variant variant;
  while (source.next(variant)) {
    VariantRunner::Record record = runner.run(variant);
    count(totals, record.status);
    sink(record);
  }
  return totals;
}
