// The observer's default bodies: an observer overrides only what it needs.
#include "tam/TamObserver.h"

TamObserver::~TamObserver() = default;
unsigned TamObserver::interests() const { return INTEREST_ALL; }
void TamObserver::nodeEntered(const TamNode*) {}
void TamObserver::loadIfJudged(const LoadIf&) {}
void TamObserver::stateForced(const TamNode*, TamNode::ConfigState) {}
void TamObserver::valueStored(const Store&) {}
void TamObserver::defaultCreated(const Default&) {}
void TamObserver::entryRebound(const Rebound&) {}
void TamObserver::messageEmitted(const Message&) {}
void TamObserver::exclusiveConflict(const Conflict&) {}
void TamObserver::ruleFailed(const Failure&) {}
void TamObserver::nodeFinished(const NodeResult&) {}
