#include "VariantGenerators.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <utility>

#include "Diagnostics.h"
#include "Session.h"
#include "ValueText.h"
#include "VariantRunner.h"

namespace {

using Json = nlohmann::json;

// A pseudo-random generator whose sequence is fixed by its seed on every platform (SplitMix64),
// unlike the distributions of the standard library.
class SweepRandom {
 public:
  explicit SweepRandom(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform in [0, bound), without the bias of a plain remainder.
  std::uint64_t below(std::uint64_t bound) {
    const std::uint64_t limit = std::numeric_limits<std::uint64_t>::max() -
                                std::numeric_limits<std::uint64_t>::max() % bound;
    std::uint64_t value = next();
    while (value >= limit) value = next();
    return value % bound;
  }
  // Uniform in [0, 1), from the top 53 bits.
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

 private:
  std::uint64_t state_;
};

// The values one option takes in a sweep: listed values, integer ranges (both ends included) and
// real ranges.
class ValueDomain {
 public:
  void addListed(const Json& value) {
    for (const Json& known : listed_) {
      if (known == value) return;
    }
    listed_.push_back(value);
  }
  void addIntRange(std::int64_t low, std::int64_t high) {
    if (low <= high) intRanges_.push_back({low, high});
  }
  void addRealRange(double low, double high) { realRanges_.push_back({low, high}); }

  bool empty() const { return listed_.empty() && intRanges_.empty() && realRanges_.empty(); }
  bool countable() const { return realRanges_.empty(); }

  // The number of values of a countable domain.
  std::uint64_t count() const {
    std::uint64_t total = listed_.size();
    for (const auto& range : intRanges_) {
      total += static_cast<std::uint64_t>(range.second - range.first) + 1;
    }
    return total;
  }

  // Value `i` of a countable domain: listed values first, then the ranges in order.
  Json at(std::uint64_t i) const {
    if (i < listed_.size()) return listed_[i];
    i -= listed_.size();
    for (const auto& range : intRanges_) {
      std::uint64_t size = static_cast<std::uint64_t>(range.second - range.first) + 1;
      if (i < size) return range.first + static_cast<std::int64_t>(i);
      i -= size;
    }
    return nullptr;
  }

  // A drawn real rounded to the digits tam prints (and kept inside its range), so that a
  // record's value reads back as the very number that was evaluated.
  static double printableReal(double drawn, const std::pair<double, double>& range) {
    const double printed = std::strtod(realText(drawn).c_str(), nullptr);
    return std::min(std::max(printed, range.first), range.second);
  }

  Json draw(SweepRandom& random) const {
    if (countable()) return at(random.below(count()));
    std::uint64_t parts = listed_.size() + intRanges_.size() + realRanges_.size();
    std::uint64_t part = random.below(parts);
    if (part < listed_.size()) return listed_[part];
    part -= listed_.size();
    if (part < intRanges_.size()) {
      const auto& range = intRanges_[part];
      return range.first + static_cast<std::int64_t>(random.below(
                               static_cast<std::uint64_t>(range.second - range.first) + 1));
    }
    const auto& range = realRanges_[part - intRanges_.size()];
    return printableReal(range.first + (range.second - range.first) * random.unit(), range);
  }

 private:
  std::vector<Json> listed_;
  std::vector<std::pair<std::int64_t, std::int64_t>> intRanges_;
  std::vector<std::pair<double, double>> realRanges_;
};

[[noreturn]] void failVary(const VaryRequest& request, const std::string& message) {
  throw ToolError("tam: error: --vary " + request.argument + ": " + message, kExitUsage);
}

// Adds a range constraint's values; false when they cannot be listed (strings, or a value that is
// no number).
bool addRange(ValueDomain& domain, TamValue::ValueType type, const TamOptionValue::Range& range) {
  std::int64_t low = std::numeric_limits<int>::min();
  std::int64_t high = std::numeric_limits<int>::max();
  double realLow = 0;
  double realHigh = 0;
  for (const ref_count_ptr<TamOptionValue>& bound : {range.first, range.second}) {
    ref_count_ptr<TamValue> value = bound->value();
    TamValue::ValueType boundType = value->type();
    if (boundType != TamValue::VT_INT && boundType != TamValue::VT_REAL) return false;
    bool integer = type == TamValue::VT_INT && boundType == TamValue::VT_INT;
    switch (bound->kind()) {
      case TamOptionValue::KIND_MIN:
      case TamOptionValue::KIND_MIN_INC:
        realLow = value->realValue();
        if (integer) {
          low = std::int64_t{value->intValue()} + (bound->kind() == TamOptionValue::KIND_MIN);
        }
        break;
      case TamOptionValue::KIND_MAX:
      case TamOptionValue::KIND_MAX_INC:
        realHigh = value->realValue();
        if (integer) {
          high = std::int64_t{value->intValue()} - (bound->kind() == TamOptionValue::KIND_MAX);
        }
        break;
      default:
        return false;
    }
  }
  if (type == TamValue::VT_INT) {
    domain.addIntRange(low, high);
  } else {
    domain.addRealRange(realLow, realHigh);
  }
  return true;
}

// The option's values from its constraints; failVary when some cannot be listed.
ValueDomain constraintDomain(const VaryRequest& request, const ref_count_ptr<TamOption>& option) {
  ValueDomain domain;
  TamValue::ValueType type = option->valueType();
  std::string name = option->moduleId() + ":" + option->name();
  for (const ref_count_ptr<TamOptionValue>& constraint : option->values()) {
    bool listed = true;
    switch (constraint->kind()) {
      case TamOptionValue::KIND_ENUM:
        domain.addListed(valueJson(constraint->value()));
        break;
      case TamOptionValue::KIND_BOOLEAN:
        domain.addListed(false);
        domain.addListed(true);
        break;
      case TamOptionValue::KIND_RANGE:
        listed = addRange(domain, type, constraint->range());
        break;
      default:
        listed = false;
        break;
    }
    if (!listed) {
      failVary(request, "the values of " + name + " (allowed: " + describeConstraints(option) +
                         ") cannot be listed: give them, as in " + request.target.key + "=V1,V2");
    }
  }
  if (domain.empty()) failVary(request, name + " allows no value but unset");
  return domain;
}

// The option a --vary argument names, after checking that it may be set at its node.
ref_count_ptr<TamOption> varyOption(Session& session, const VaryRequest& request) {
  std::string problem;
  ref_count_ptr<TamOption> option = choiceOption(session, request.target, problem);
  if (!option) failVary(request, problem);
  return option;
}

ValueDomain varyDomain(Session& session, const VaryRequest& request) {
  ref_count_ptr<TamOption> option = varyOption(session, request);
  if (!request.listed) return constraintDomain(request, option);
  ValueDomain domain;
  TamValue::ValueType type = option->valueType();
  for (const std::string& text : request.texts) {
    std::string problem;
    ref_count_ptr<TamValue> value = valueFromText(type, text, problem);
    if (!value) {
      failVary(request, problem + " (" + option->moduleId() + ":" + option->name() + " takes " +
                         typeWord(type) + " values)");
    }
    domain.addListed(valueJson(value));
  }
  return domain;
}

Choice choiceOf(const VaryRequest& request, const Json& value) {
  Choice choice = request.target;
  choice.values.push_back(value);
  return choice;
}

class FactorialVariants : public VariantSource {
 public:
  FactorialVariants(std::vector<VaryRequest> requests, std::vector<ValueDomain> domains)
      : requests_(std::move(requests)), domains_(std::move(domains)), position_(domains_.size(), 0) {
    std::uint64_t total = 1;
    for (std::size_t i = 0; i < domains_.size(); ++i) {
      if (!domains_[i].countable()) {
        failVary(requests_[i],
                 "real values in a range cannot be listed: give them, or draw from "
                 "them with --sample");
      }
      std::uint64_t count = domains_[i].count();
      if (total > static_cast<std::uint64_t>(kMaxVariants) / count) {
        throw ToolError("tam: error: the --vary options make more than " +
                            std::to_string(kMaxVariants) + " variants",
                        kExitUsage);
      }
      total *= count;
    }
    size_ = static_cast<std::int64_t>(total);
  }

  bool next(Variant& variant) override {
    if (index_ >= size_) return false;
    variant = Variant();
    variant.index = index_++;
    for (std::size_t i = 0; i < requests_.size(); ++i) {
      variant.choices.push_back(choiceOf(requests_[i], domains_[i].at(position_[i])));
    }
    // Advance the odometer: the last varied option varies fastest.
    for (std::size_t i = position_.size(); i-- > 0;) {
      if (++position_[i] < domains_[i].count()) break;
      position_[i] = 0;
    }
    return true;
  }

  std::int64_t size() const override { return size_; }

 private:
  static constexpr std::int64_t kMaxVariants = std::numeric_limits<std::int64_t>::max();

  std::vector<VaryRequest> requests_;
  std::vector<ValueDomain> domains_;
  std::vector<std::uint64_t> position_;
  std::int64_t size_ = 0;
  std::int64_t index_ = 0;
};

class SampledVariants : public VariantSource {
 public:
  SampledVariants(std::vector<VaryRequest> requests, std::vector<ValueDomain> domains, std::int64_t count,
                  std::uint64_t seed)
      : requests_(std::move(requests)), domains_(std::move(domains)), count_(count), random_(seed) {}

  bool next(Variant& variant) override {
    if (index_ >= count_) return false;
    variant = Variant();
    variant.index = index_++;
    for (std::size_t i = 0; i < requests_.size(); ++i) {
      variant.choices.push_back(choiceOf(requests_[i], domains_[i].draw(random_)));
    }
    return true;
  }

  std::int64_t size() const override { return count_; }

 private:
  std::vector<VaryRequest> requests_;
  std::vector<ValueDomain> domains_;
  std::int64_t count_;
  SweepRandom random_;
  std::int64_t index_ = 0;
};

std::vector<ValueDomain> domainsOf(Session& session, const std::vector<VaryRequest>& requests) {
  if (requests.empty())
    throw ToolError("tam: error: no --vary option to generate variants from", kExitUsage);
  std::vector<ValueDomain> domains;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (requests[j].target.key == requests[i].target.key)
        failVary(requests[i], "the option is varied twice");
    }
    domains.push_back(varyDomain(session, requests[i]));
  }
  return domains;
}

}  // namespace

VaryRequest parseVaryRequest(const std::string& argument) {
  VaryRequest request;
  request.argument = argument;
  std::size_t equals = argument.find('=');
  std::string key = argument.substr(0, equals);
  if (!parseChoiceKey(key, request.target)) {
    failVary(request, "expected NODEPATH:module:option or NODEPATH:module:option=V1,V2,...");
  }
  if (equals == std::string::npos) return request;
  request.listed = true;
  std::string values = argument.substr(equals + 1);
  for (std::size_t start = 0;;) {
    std::size_t comma = values.find(',', start);
    request.texts.push_back(values.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return request;
}

std::unique_ptr<VariantSource> factorialVariants(Session& session,
                                                 const std::vector<VaryRequest>& requests) {
  std::vector<ValueDomain> domains = domainsOf(session, requests);
  return std::make_unique<FactorialVariants>(requests, std::move(domains));
}

std::unique_ptr<VariantSource> sampledVariants(Session& session, const std::vector<VaryRequest>& requests,
                                               std::int64_t count, std::uint64_t seed) {
  std::vector<ValueDomain> domains = domainsOf(session, requests);
  return std::make_unique<SampledVariants>(requests, std::move(domains), count, seed);
}
