// What a close writes: the closed period's row into every output of that period, and the
// console's progress mark.
#pragma once

#include <span>
#include <vector>

#include "averages_file.hpp"
#include "averaging.hpp"
#include "text_writer.hpp"

namespace skarvel {

// One output as the closes see it: the period of its rows, its layout and its writer.
struct RowOutput {
  Period period;
  FileLayout layout;
  TextWriter& writer;
};

class CloseWriter {
 public:
  CloseWriter(std::vector<RowOutput> outputs, TextWriter& marks, const SummaryRules& rules)
      : outputs_(std::move(outputs)), marks_(marks), rules_(rules) {}
  // For the averages files of a run.
  CloseWriter(std::span<AveragesFile> files, TextWriter& marks, const SummaryRules& rules);

  // Writes the close of `period` on the row `stamp`, whose values are in `accumulators`.
  void write(Period period, const RecordStamp& stamp, const Accumulators& accumulators);

 private:
  std::vector<RowOutput> outputs_;
  TextWriter& marks_;
  const SummaryRules& rules_;
};

}  // namespace skarvel
