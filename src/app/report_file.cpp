#include "report_file.hpp"

#include <cerrno>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "platform.hpp"

namespace skarvel {

namespace {

nlohmann::json warningsOf(const InputReport& report) {
  nlohmann::json warnings = nlohmann::json::array();
  for (const Warning& warning : report.warnings) {
    nlohmann::json entry = {{"code", warning.code}, {"text", warning.text}};
    entry["line"] = warning.line > 0 ? nlohmann::json(warning.line) : nlohmann::json();
    warnings.push_back(std::move(entry));
  }
  return warnings;
}

// A count the run may have ended before: null then.
nlohmann::json known(std::int32_t count) {
  return count >= 0 ? nlohmann::json(count) : nlohmann::json();
}

}  // namespace

std::string reportLine(const InputReport& report) {
  const nlohmann::json line = {
      {"input", report.input},
      {"outputs", report.outputs},
      {"status", exitCode(report.status)},
      {"error", report.error.empty() ? nlohmann::json() : nlohmann::json(report.error)},
      {"header_rows", known(report.headerRows)},
      {"columns", known(report.columns)},
      {"rows", report.rows},
      {"days", report.days},
      {"months", report.months},
      {"years", report.years},
      {"values_accepted", report.valuesAccepted},
      {"values_missing", report.valuesMissing},
      {"warnings", warningsOf(report)},
      {"bytes_read", report.bytesRead},
      {"compression", report.compression},
      {"seconds", report.seconds},
  };
  return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

int writeReportFile(const std::string& name, const std::vector<InputReport>& reports) {
  platform::AtomicOutput output = platform::AtomicOutput::create(name, false);
  if (!output.isOpen()) {
    return output.errorNumber();
  }
  std::string text;
  for (const InputReport& report : reports) {
    text.append(reportLine(report)).push_back('\n');
  }
  if (std::fwrite(text.data(), 1, text.size(), output.file()) != text.size() || !output.finish() ||
      !output.commit()) {
    return output.errorNumber() != 0 ? output.errorNumber() : EIO;
  }
  return 0;
}

}  // namespace skarvel
