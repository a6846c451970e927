// runSweep evaluates every variant of a source with a VariantRunner and hands the records on in
// variant order, whatever order they were computed in.
//
// With one job the runner works in this process. With more, that many worker processes are
// forked from this one, each with its own copy of the runner and of the product it has loaded
// (the library keeps process-wide state, such as the installed adapter, so separate processes are
// what lets variants be evaluated side by side safely). Workers take chunks of variants over a
// pipe and send the records back; at most one chunk per worker is in flight and finished chunks
// wait only for the chunks before them, so memory stays bounded whatever the number of variants.
// A worker that dies is replaced, and the variants of its chunk it had not finished are recorded
// as failed.
#ifndef TAM_TOOL_SWEEP_H
#define TAM_TOOL_SWEEP_H

#include <cstddef>
#include <cstdint>
#include <functional>

#include "VariantRunner.h"
#include "Variants.h"

struct SweepTotals {
  std::int64_t variants = 0;
  std::int64_t ok = 0;
  std::int64_t errors = 0;
  std::int64_t failed = 0;
};

using RecordSink = std::function<void(const VariantRunner::Record& record)>;

SweepTotals runSweep(VariantSource& source, VariantRunner& runner, int jobs, std::size_t chunkSize,
                     const RecordSink& sink);

#endif  // TAM_TOOL_SWEEP_H
