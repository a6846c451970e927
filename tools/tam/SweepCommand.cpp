// tam sweep: evaluates many variants of one product and writes one JSON Lines record per variant
// (see VariantRunner.h), in variant order. The variants come from a CSV or JSON Lines file, or are
// generated with --vary (every combination) or --vary and --sample (random draws). Variants are
// evaluated in parallel by worker processes, one per core unless --jobs says otherwise; records
// are streamed, so memory does not grow with the number of variants. A progress line is shown
// while standard error is a terminal, and a summary with the throughput at the end. The exit
// status is 1 when any variant failed or emitted an error message.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "Diagnostics.h"
#include "Sweep.h"
#include "VariantGenerators.h"
#include "VariantRunner.h"
#include "Variants.h"

namespace {

// Variants handed to a worker at a time: small enough to balance the load between workers, large
// enough that the pipes are not the bottleneck.
constexpr std::size_t kChunkSize = 16;
// The progress line is redrawn at most this often.
constexpr std::chrono::milliseconds kProgressInterval(100);
constexpr int kProgressBarWidth = 30;

struct SweepOptions {
  std::string product;
  std::string variants;
  std::vector<std::string> vary;
  std::int64_t sample = -1;
  std::uint64_t seed = 1;
  bool seedGiven = false;
  std::vector<std::string> select;
  int jobs = 0;
  std::string output;
  std::string format = "auto";
};

[[noreturn]] void usage(const std::string& message) {
  throw ToolError("tam: error: " + message, kExitUsage);
}

int defaultJobs() {
  long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
  return cores > 0 ? static_cast<int>(cores) : 1;
}

// Where records go: standard output, or a file that appears under its name only when the sweep
// has written it whole (until then the records go to a temporary file beside it). A name that
// stands for something other than a regular file (a device such as /dev/null, a pipe) is written
// to directly; a symbolic link stays a link and its target is replaced.
class RecordOutput {
 public:
  explicit RecordOutput(const std::string& path) : path_(path) {
    if (path.empty()) {
      file_ = stdout;
      return;
    }
    struct stat status;
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
      file_ = std::fopen(path.c_str(), "w");
      if (file_ == nullptr) fail("cannot write");
      return;
    }
    std::error_code error;
    if (std::filesystem::is_symlink(path, error)) {
      std::filesystem::path target = std::filesystem::canonical(path, error);
      if (!error) path_ = target.string();
    }
    std::filesystem::path target(path_);
    std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
    std::string pattern = folder + "/." + target.filename().string() + ".tam-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) fail("cannot create a temporary file in " + folder);
    temporary_ = name.data();
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    file_ = ::fdopen(fd, "w");
    if (file_ == nullptr) fail("cannot write");
  }
  RecordOutput(const RecordOutput&) = delete;
  RecordOutput& operator=(const RecordOutput&) = delete;
  ~RecordOutput() {
    if (file_ == nullptr || file_ == stdout) return;
    std::fclose(file_);
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
  }

  void write(const std::string& record) {
    if (std::fputs(record.c_str(), file_) < 0 || std::fputc('\n', file_) < 0) fail("cannot write");
  }

  void commit() {
    if (std::fflush(file_) != 0) fail("cannot write");
    if (temporary_.empty()) return;
    bool ok = ::fsync(::fileno(file_)) == 0;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (!ok || std::rename(temporary_.c_str(), path_.c_str()) != 0) {
      std::string reason = std::strerror(errno);
      ::unlink(temporary_.c_str());
      temporary_.clear();
      throw ToolError(path_ + ": error: cannot write the records: " + reason, kExitReported);
    }
    temporary_.clear();
  }

 private:
  [[noreturn]] void fail(const std::string& what) {
    throw ToolError((path_.empty() ? std::string("tam: error: standard output") : path_) +
                        ": error: " + what + ": " + std::strerror(errno),
                    kExitReported);
  }

  std::string path_;
  std::string temporary_;
  std::FILE* file_ = nullptr;
};

// The progress line on a terminal: variants done, of how many when that is known, and the rate.
class Progress {
 public:
  explicit Progress(std::int64_t total)
      : shown_(::isatty(STDERR_FILENO) == 1), total_(total), start_(Clock::now()) {}

  void advance() {
    ++done_;
    if (!shown_) return;
    Clock::time_point now = Clock::now();
    if (now - lastDrawn_ < kProgressInterval) return;
    lastDrawn_ = now;
    double seconds = std::chrono::duration<double>(now - start_).count();
    std::string line = "\r";
    if (total_ > 0) {
      int filled = static_cast<int>(kProgressBarWidth * done_ / total_);
      line += "[" + std::string(filled, '#') + std::string(kProgressBarWidth - filled, '.') + "] ";
      line += std::to_string(done_) + "/" + std::to_string(total_);
    } else {
      line += std::to_string(done_);
    }
    line += " variants, " + std::to_string(static_cast<long long>(done_ / seconds)) + "/s\033[K";
    std::cerr << line << std::flush;
  }

  void clear() {
    if (shown_) std::cerr << "\r\033[K" << std::flush;
  }

  double seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

 private:
  using Clock = std::chrono::steady_clock;
  bool shown_;
  std::int64_t total_;
  std::int64_t done_ = 0;
  Clock::time_point start_;
  Clock::time_point lastDrawn_;
};

std::string rateText(double perSecond) {
  char text[32];
  std::snprintf(text, sizeof text, perSecond >= 100 ? "%.0f" : "%.1f", perSecond);
  return text;
}

std::string secondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", seconds);
  return text;
}

std::unique_ptr<VariantSource> openSource(const SweepOptions& options, VariantRunner& runner) {
  bool generated = !options.vary.empty();
  if (generated && !options.variants.empty()) {
    usage("give a VARIANTS file or --vary options, not both");
  }
  if (!generated && options.variants.empty()) {
    usage("nothing to sweep: give a VARIANTS file (CSV or JSON Lines) or --vary options");
  }
  if (options.sample >= 0 && !generated) usage("--sample draws from the --vary options: give some");
  if (options.seedGiven && options.sample < 0) usage("--seed is for --sample");
  if (generated) {
    std::vector<VaryRequest> requests;
    for (const std::string& argument : options.vary) requests.push_back(parseVaryRequest(argument));
    if (options.sample >= 0) {
      return sampledVariants(runner.session(), requests, options.sample, options.seed);
    }
    return factorialVariants(runner.session(), requests);
  }
  VariantFormat format = options.format == "csv"     ? VariantFormat::kCsv
                         : options.format == "jsonl" ? VariantFormat::kJsonLines
                                                     : VariantFormat::kAuto;
  if (options.variants == "-" && format == VariantFormat::kAuto) {
    usage("reading variants from standard input needs --format csv or --format jsonl");
  }
  std::unique_ptr<VariantSource> source = openVariantFile(options.variants, format);
  std::vector<Choice> columns = source->columns();
  for (std::size_t i = 0; i < columns.size(); ++i) {
    std::string problem;
    if (!choiceOption(runner.session(), columns[i], problem)) {
      throw ToolError(source->columnsSource() + ": error: column " + std::to_string(i + 1) + " '" +
                          columns[i].key + "': " + problem,
                      kExitUsage);
    }
  }
  return source;
}

int runSweepCommand(const SweepOptions& options) {
  if (options.jobs < 0) usage("--jobs must be at least 1");
  int jobs = options.jobs > 0 ? options.jobs : defaultJobs();
  VariantRunner runner(options.product, options.select);
  std::unique_ptr<VariantSource> source = openSource(options, runner);
  RecordOutput output(options.output);
  Progress progress(source->size());
  SweepTotals totals = runSweep(*source, runner, jobs, kChunkSize,
                                [&output, &progress](const VariantRunner::Record& record) {
                                  output.write(record.json);
                                  progress.advance();
                                });
  output.commit();
  progress.clear();
  double seconds = progress.seconds();
  std::cerr << "tam sweep: " << totals.variants << " variant" << (totals.variants == 1 ? "" : "s")
            << " in " << secondsText(seconds) << " s ("
            << rateText(seconds > 0 ? totals.variants / seconds : 0) << " variants/s, " << jobs
            << (jobs == 1 ? " process" : " processes") << "): " << totals.ok << " ok, "
            << totals.errors << " with errors, " << totals.failed << " failed\n";
  return totals.errors + totals.failed > 0 ? kExitReported : kExitOk;
}

}  // namespace

void addSweepCommand(CLI::App& app, CommandRun& run) {
  auto options = std::make_shared<SweepOptions>();
  CLI::App* command = app.add_subcommand(
      "sweep", "Evaluate many variants of a product and write one JSON Lines record per variant");
  command->add_option("PRODUCT", options->product, "The product file (JSON)")->required();
  command->add_option("VARIANTS", options->variants,
                      "CSV or JSON Lines file of variants (NODEPATH:module:option columns or "
                      "keys); - reads standard input");
  command
      ->add_option("--vary", options->vary,
                   "Generate variants: NODEPATH:module:option=V1,V2,... or NODEPATH:module:option "
                   "for the option's allowed values; every combination (repeatable)")
      ->allow_extra_args(false);
  command
      ->add_option("--sample", options->sample,
                   "Draw this many random variants from the --vary values instead")
      ->check(CLI::NonNegativeNumber);
  command->add_option_function<std::uint64_t>(
      "--seed",
      [options](std::uint64_t seed) {
        options->seed = seed;
        options->seedGiven = true;
      },
      "Seed of the random draws (default 1)");
  command
      ->add_option("--select", options->select,
                   "Report this value in every record: NODEPATH:module:option (repeatable)")
      ->allow_extra_args(false);
  command->add_option("--jobs,-j", options->jobs,
                      "Worker processes (default: one per core; 1 evaluates in this process)");
  command->add_option("--output,-o", options->output,
                      "Write the records to this file (default: standard output)");
  command->add_option("--format", options->format, "Format of VARIANTS (default: by its name)")
      ->check(CLI::IsMember({"auto", "csv", "jsonl"}));
  command->callback([options, &run] { run = [options] { return runSweepCommand(*options); }; });
}
