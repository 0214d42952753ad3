#include "close_writer.hpp"

namespace skarvel {

namespace {

std::vector<RowOutput> rowOutputsOf(std::span<AveragesFile> files) {
  std::vector<RowOutput> outputs;
  outputs.reserve(files.size());
  for (AveragesFile& file : files) {
    outputs.push_back({file.kind.period, file.layout, file.writer});
  }
  return outputs;
}

}  // namespace

CloseWriter::CloseWriter(std::span<AveragesFile> files, TextWriter& marks,
                         const SummaryRules& rules)
    : CloseWriter(rowOutputsOf(files), marks, rules) {}

void CloseWriter::write(Period period, const RecordStamp& stamp, const Accumulators& accumulators) {
  for (const RowOutput& output : outputs_) {
    if (output.period == period) {
      writeRowIn(output.layout, output.writer, stamp, accumulators, period, rules_);
    }
  }
  writeProgressMark(marks_, period, stamp);
}

}  // namespace skarvel
