// A TamPath names a place in the host's node tree: the node identifiers from an upper node down to
// the node meant. Plain value type. Identifiers are arbitrary byte strings compared exactly.
// Display form: identifiers joined by "." unquoted. Parseable form: each identifier quoted for RIX
// where needed, joined by "."; parsePath reads it back (dots and blanks separate identifiers),
// except an empty identifier, which is written as nothing, and a last identifier spelled like a
// keyword, which is written bare.
// compare() scores how a shorter path matches inside this one; scores are exact for paths of up
// to 31 identifiers. On a longer path the first 31 positions weigh 2^30 down to 1 and later
// positions weigh nothing, so scores never overflow: longer paths still match, but only their
// first 31 positions rank them.
#ifndef TAM_TAMPATH_H
#define TAM_TAMPATH_H

#include <string>
#include <vector>

#include "tam/TamExport.h"

class TAM_API TamPath {
 public:
  TamPath() = default;
  TamPath(const TamPath& other) = default;
  TamPath& operator=(const TamPath& other) = default;
  explicit TamPath(const std::vector<std::string>& ids);
  // The first `count` strings of an argument vector; a null entry ends the path early.
  TamPath(int count, char** ids);
  ~TamPath() = default;

  void append(const std::string& id) { path_.push_back(id); }
  void reverse();
  bool isEmpty() const { return path_.empty(); }
  const std::vector<std::string>& path() const { return path_; }

  std::string toDisplayString() const;
  std::string toParseableString() const;
  // Reads the parseable form; the empty text gives the empty path. Raises TamSyntaxError
  // (SE_path_internal) on anything but identifiers and dots, and the lexer's message for an
  // unterminated quote.
  static TamPath parsePath(const std::string& text);

  bool operator==(const TamPath& other) const { return path_ == other.path_; }
  bool operator!=(const TamPath& other) const { return path_ != other.path_; }

  // Score of the leftmost occurrence of `other` inside this path: the sum of the weights of the
  // matched positions, position i of n weighing 2^(n-1-i) (see above for n > 31). 0 for an empty
  // other, -1 when other is longer or does not occur.
  int compare(const TamPath& other) const;

  static const TamPath EmptyPath;

 private:
  std::vector<std::string> path_;
};

#endif  // TAM_TAMPATH_H
