// Node tree evaluation: a node decides its configured state, binds the inherited selected option
// set to its module, runs the module's rules and hands the result to its children.
#include "tam/TamNode.h"

#include <memory>
#include <utility>

#include "evaluation/BindingPass.h"
#include "evaluation/NodeTrace.h"
#include "evaluation/TreeLimit.h"
#include "model/LookupEpoch.h"
#include "rix/TamRuleParser.h"
#include "tam/TamException.h"
#include "tam/TamExpRoot.h"
#include "tam/TamModule.h"
#include "tam/TamWindow.h"

namespace {

constexpr int kMisuseCode = 2;
constexpr int kNoModuleCode = 309;

// A node made without a window has nowhere to look its module up or to record that it is being
// evaluated; that is the host's misuse, reported rather than dereferenced.
ref_count_ptr<TamWindow> requireWindow(const TamNode& node) {
  ref_count_ptr<TamWindow> window = node.window();
  if (window.isNull()) throw TamException(kMisuseCode, "Node without a window", "", "");
  return window;
}

// Node evaluations under way on this thread, nested through the host's evaluate(): one per level
// of the tree being walked down (and more when a callback evaluates a node again).
thread_local int evaluationDepth = 0;
// The child evaluateChildren() is about to evaluate: an evaluation that begins anywhere else
// begins a new walk.
thread_local const TamNode* descendingTo = nullptr;

class EvaluationLevel {
 public:
  explicit EvaluationLevel(TamNode* node) {
    if (evaluationDepth >= TamNode::kMaxTreeDepth) tam::detail::raiseTreeTooDeep(node);
    ++evaluationDepth;
  }
  ~EvaluationLevel() {
    if (--evaluationDepth == 0) tam::detail::releaseSpareEntries();
  }
  EvaluationLevel(const EvaluationLevel&) = delete;
  EvaluationLevel& operator=(const EvaluationLevel&) = delete;
};

}  // namespace

TamNodeIterator::~TamNodeIterator() = default;

TamNode::TamNode(ref_count_ptr<TamWindow> window) : sos_(window), childSos_(window) {}

TamNode::TamNode(const TamNode& other)
    : sos_(other.sos_),
      childSos_(other.childSos_),
      loadIf_(other.loadIf_),
      configState_(other.configState_),
      sosSet_(other.sosSet_) {}

TamNode& TamNode::operator=(const TamNode& other) {
  if (this == &other) return *this;
  sos_ = other.sos_;
  childSos_ = other.childSos_;
  loadIf_ = other.loadIf_;
  configState_ = other.configState_;
  sosSet_ = other.sosSet_;
  return *this;
}

TamNode::~TamNode() = default;

void TamNode::stateChanged(ConfigState) {}
void TamNode::evaluateLegacyExpressions() {}
bool TamNode::legacyConditionExists() { return false; }
TamNode::ConfigState TamNode::evaluateLegacyCondition() { return CS_UNDECIDED; }
void TamNode::evaluateLegacyErrorChecks() {}
TamNode::ConfigState TamNode::forcedConfigState() { return CS_UNDECIDED; }

ref_count_ptr<TamWindow> TamNode::window() const { return sos_.window(); }

// The found epoch (only a found module is used again) is read before the lookup, which may load
// or refresh modules through the host.
ref_count_ptr<TamModule> TamNode::module() {
  if (!hasModule()) throw TamException(kNoModuleCode, "", "", "");
  const ref_count_ptr<TamWindow> window = requireWindow(*this);
  const std::string id = moduleId();
  const uint64_t epoch = tam::detail::foundEpoch();
  if (moduleAt_ == epoch && moduleIn_ == window.get() && moduleFound_ != nullptr &&
      moduleFound_->id() == id) {
    return ref_count_ptr<TamModule>(moduleFound_);
  }
  ref_count_ptr<TamModule> found = window->getModule(id);
  moduleFound_ = found.get();
  moduleIn_ = window.get();
  moduleAt_ = epoch;
  return found;
}

// The host's operations are non-const; asking whether the node has a module and looking the
// module up change nothing the caller of this const query can see.
bool TamNode::isModuleBoundary() const {
  TamNode* self = const_cast<TamNode*>(this);
  return self->hasModule() && self->module()->isModuleBoundary();
}

void TamNode::setLoadIf(const std::string& text) {
  if (text.empty()) {
    loadIf_ = ref_count_ptr<TamConditionExp>();
    return;
  }
  TamRuleParser parser(text);
  loadIf_ = parser.parseCondition();
}

ref_count_ptr<TamConditionExp> TamNode::getLoadIf() const {
  if (loadIf_) return loadIf_;
  return ref_count_ptr<TamConditionExp>(new TamConditionExp());
}

// Within one binding pass a node's set is rebound once; later reads in the pass find it bound.
const TamSelOptionSet& TamNode::getSos() const {
  const ref_count_ptr<TamWindow> keep = window();  // the host may drop its own in a callback
  tam::detail::BindingPass pass;
  if (boundInPass_ == tam::detail::BindingPass::current()) return sos_;
  sos_.setContext(this, true);
  boundInPass_ = tam::detail::BindingPass::current();
  return sos_;
}

bool tam::detail::insideWalk() { return evaluationDepth > 0; }

// Reused only while the library walks a tree; a host's own reads rebind as they always did.
const TamSelOptionSet& TamNode::sosForDescendants() const {
  if (evaluationDepth == 0) return getSos();
  const uint64_t walk = tam::detail::currentWalk();
  const uint64_t epoch = tam::detail::lookupEpoch();
  if (boundInWalk_ == walk && boundInEpoch_ == epoch) return sos_;
  const TamSelOptionSet& bound = getSos();
  boundInWalk_ = walk;
  boundInEpoch_ = epoch;
  return bound;
}

void TamNode::setSos(TamSelOptionSet& sos) {
  const ref_count_ptr<TamWindow> keep = window();
  tam::detail::beginWalk();
  sosSet_ = true;
  sos_ = sos;
  sos_.setContext(this, true);
}

void TamNode::clearSos() {
  tam::detail::beginWalk();
  sosSet_ = false;
  sos_.clear();
}

// The window is held for the whole evaluation of this node and its children: a host that drops
// its last handle in a callback does not free it under the evaluation. Every step is told to the
// window's observer through the trace, which without one does nothing.
void TamNode::evaluate(const TamSelOptionSet& parentSos, bool notify) {
  if (descendingTo != this || evaluationDepth == 0) tam::detail::beginWalk();
  descendingTo = nullptr;
  const EvaluationLevel level(this);
  const ref_count_ptr<TamWindow> window = requireWindow(*this);
  window->setCurrentlyEvaluating(this);
  tam::detail::NodeTrace trace(window->observer(), this);
  trace.entered();

  // The configured state: from the load-if condition, else from the host's legacy condition,
  // else as it was. Only an evaluation that notifies records and reports a change.
  ConfigState newState = configState_;
  bool decided = false;
  if (loadIf_) {
    // The condition judged is the one reported, whatever the host's callbacks do meanwhile.
    const ref_count_ptr<TamConditionExp> loadIf = loadIf_;
    std::pair<bool, bool> value;
    try {
      const tam::detail::NodeTrace::ConditionReads reads(trace, parentSos);
      value = loadIf->getValue(parentSos);
    } catch (TamException& e) {
      e.setNode(this);
      throw;
    }
    newState = value.first ? CS_UNDECIDED : (value.second ? CS_CONFIGURED : CS_NOT_CONFIGURED);
    decided = true;
    trace.loadIfJudged(*loadIf, newState);
  } else if (legacyConditionExists()) {
    newState = evaluateLegacyCondition();
    decided = true;
    trace.legacyConditionJudged(newState);
  }
  if (decided && notify && newState != configState_) {
    configState_ = newState;
    stateChanged(newState);
  }

  // A node switched off, by its condition or by the host, keeps its sets from the previous
  // evaluation and leaves its children alone. Undecided nodes go on like configured ones.
  const ConfigState forced = forcedConfigState();
  trace.forced(forced);
  if (forced == CS_NOT_CONFIGURED) {
    return trace.finished(newState, forced, TamObserver::STOP_FORCED, nullptr);
  }
  if (newState == CS_NOT_CONFIGURED && forced != CS_CONFIGURED) {
    return trace.finished(newState, forced, TamObserver::STOP_LOAD_IF, nullptr);
  }

  TamSelOptionSet working(parentSos);
  trace.attach(working);
  try {
    // Binding the inherited set to this node's module is this node's work too: a module the host
    // cannot supply, or a presented value its base refuses, is reported at this node.
    if (isModuleBoundary()) working.setContext(this, false);
  } catch (TamException& e) {
    e.setNode(this);
    throw;
  }
  trace.hostValues();
  if (sosSet_) working.merge(sos_);
  evaluateLegacyExpressions();
  if (hasModule()) {
    try {
      // The handle keeps the rules alive while they run, even if the module is given new ones.
      const ref_count_ptr<TamModule> rulesModule = module();
      const ref_count_ptr<TamExpRoot> rules = rulesModule->getRix();
      trace.rules(rulesModule->id(), rules.get());
      rules->execute(working);
    } catch (TamException& e) {
      e.setNode(this);
      throw;
    }
  }
  sos_ = working;
  childSos_ = working;
  boundInWalk_ = 0;
  trace.finished(newState, forced, TamObserver::STOP_NONE, &sos_);
  evaluateChildren(notify);
  evaluateLegacyErrorChecks();
}

// Every child gets the same copy of this node's result and works on its own copy of it, so
// siblings never see each other's selections.
void TamNode::evaluateChildren(bool notify) {
  std::unique_ptr<TamNodeIterator> children(this->children());
  if (!children) return;
  const TamSelOptionSet inherited(childSos_);
  while (children->more()) {
    TamNode* child = children->current();
    descendingTo = child;
    if (child != nullptr) child->evaluate(inherited, notify);
    children->next();
  }
}

void TamNode::evaluateChild(TamNode* child, bool notify) {
  if (child == nullptr) return;
  const TamSelOptionSet inherited(childSos_);
  child->evaluate(inherited, notify);
}
