// Runs a fuzz target without a fuzzing engine: over every file named on the command line (or in a
// named folder), and, with --mutations=N, over N deterministic mutations of each (bytes flipped,
// inserted, deleted, runs duplicated). Any crash or sanitizer report fails the run.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzHost.h"

namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void runOne(const std::string& input) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
}

// Interesting bytes for RIX: quotes, escapes, comments, brackets, operators, line breaks, NUL.
const char kSpecialBytes[] = "'\"\\#[](){}:.,=<>!+-*/\n\r\t 0\x80\xff";

std::string mutate(const std::string& seed, std::mt19937& rng) {
  std::string s = seed;
  int edits = 1 + static_cast<int>(rng() % 4);
  for (int i = 0; i < edits; ++i) {
    size_t at = s.empty() ? 0 : rng() % (s.size() + 1);
    switch (rng() % 5) {
      case 0:  // overwrite a byte
        if (at < s.size()) s[at] = static_cast<char>(rng() % 256);
        break;
      case 1:  // insert an interesting byte
        s.insert(s.begin() + static_cast<std::ptrdiff_t>(at),
                 kSpecialBytes[rng() % (sizeof(kSpecialBytes) - 1)]);
        break;
      case 2:  // delete a run
        if (at < s.size()) s.erase(at, 1 + rng() % 8);
        break;
      case 3: {  // duplicate a run
        if (at < s.size()) s.insert(at, s.substr(at, 1 + rng() % 16));
        break;
      }
      default:  // cut the text short
        s.resize(at);
        break;
    }
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  long mutations = 0;
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strncmp(arg, "--mutations=", 12) == 0) {
      mutations = std::strtol(arg + 12, nullptr, 10);
    } else if (std::filesystem::is_directory(arg)) {
      for (const auto& entry : std::filesystem::directory_iterator(arg)) inputs.push_back(entry.path());
    } else {
      inputs.push_back(arg);
    }
  }
  std::mt19937 rng(20261205);
  size_t runs = 0;
  for (const auto& path : inputs) {
    std::string seed = readFile(path);
    runOne(seed);
    ++runs;
    for (long m = 0; m < mutations; ++m, ++runs) runOne(mutate(seed, rng));
  }
  std::printf("%zu inputs run from %zu seeds\n", runs, inputs.size());
  return inputs.empty() ? 1 : 0;
}
