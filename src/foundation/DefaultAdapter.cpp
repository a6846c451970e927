// The default bodies of Tam::AdapterInterface: what a host gets for the operations it does not
// override.
#include "foundation/SyntaxErrorTable.h"
#include "tam/Tam.h"
#include "tam/TamException.h"

namespace {

constexpr int kMisuseCode = 2;
constexpr int kHowSetCount = 7;

enum class Override { kNo, kYes, kDefaultOverDefault };
constexpr Override N = Override::kNo;
constexpr Override Y = Override::kYes;
constexpr Override D = Override::kDefaultOverDefault;

// Whether a value set one way may replace a value set another way: rows are how the existing
// value was set, columns how the new one is, both in HowSet order. Stronger settings resist
// weaker ones; a host-forced value yields to anything, and anything yields to a host-forced
// value. A default replacing a default (D) is a misuse.
constexpr Override kOverrideTable[kHowSetCount][kHowSetCount] = {
    // new: DEFAULT, HOST, SET, HOST_FIRM, FIX, INHERITED, HOST_FORCED
    {D, Y, Y, Y, Y, Y, Y},  // HOWSET_DEFAULT
    {N, Y, Y, Y, Y, Y, Y},  // HOWSET_HOST
    {N, Y, Y, Y, Y, Y, Y},  // HOWSET_SET
    {N, Y, N, Y, N, Y, Y},  // HOWSET_HOST_FIRM
    {N, N, N, N, N, Y, Y},  // HOWSET_FIX
    {N, N, N, N, N, N, Y},  // HOWSET_INHERITED
    {Y, Y, Y, Y, Y, Y, Y},  // HOWSET_HOST_FORCED
};

bool isHowSet(int howSet) { return howSet >= 0 && howSet < kHowSetCount; }

[[noreturn]] void invalidHowSet() {
  throw TamException(kMisuseCode, "Invalid value for HowSet", "", "");
}

}  // namespace

Tam::AdapterInterface::~AdapterInterface() = default;

bool Tam::AdapterInterface::userMsg(TamWindow*, MsgSeverity, const std::string&, TamNode*) {
  return true;
}

// Decides by how the existing value was first set; an entry without any HowSet, or with one
// outside the seven kinds, is a misuse of the set rather than something to guess about.
bool Tam::AdapterInterface::allowOptionOverride(const TamSelOptionSet::TamSosEntry& existing,
                                                const TamNode*, TamSelOptionSet::HowSet howSet) {
  if (existing.howSet.empty()) invalidHowSet();
  const int oldHow = existing.howSet.front();
  const int newHow = howSet;
  if (!isHowSet(oldHow) || !isHowSet(newHow)) invalidHowSet();
  switch (kOverrideTable[oldHow][newHow]) {
    case Override::kYes:
      return true;
    case Override::kNo:
      return false;
    case Override::kDefaultOverDefault:
      break;
  }
  throw TamException(kMisuseCode, "Trying to change a default value with another default", "", "");
}

ref_count_ptr<TamValue> Tam::AdapterInterface::getLegacyOptionValue(
    TamWindow*, const ref_count_ptr<TamOption>&) {
  return TamValue::createUnset();
}

// Goes through the object's own getLegacyOptionValue, so a host that overrides only that one
// operation answers both.
std::vector<ref_count_ptr<TamValue>> Tam::AdapterInterface::getLegacyOptionValues(
    TamWindow* window, const ref_count_ptr<TamOption>& option) {
  return {getLegacyOptionValue(window, option)};
}

void Tam::AdapterInterface::setLegacyOptionValue(TamWindow*, const ref_count_ptr<TamOption>&,
                                                 const ref_count_ptr<TamValue>&) {}

void Tam::AdapterInterface::setLegacyOptionValues(TamWindow*, const ref_count_ptr<TamOption>&,
                                                  std::vector<ref_count_ptr<TamValue>>) {}

std::string Tam::AdapterInterface::localizeString(const std::string& text) {
  const auto& messages = tam::detail::syntaxErrorMessages();
  const auto it = messages.find(text);
  return it == messages.end() ? text : it->second;
}
