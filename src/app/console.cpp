#include "console.hpp"

#include "platform.hpp"

namespace skarvel {

ExitStatus reportFileFailure(const Console& console, std::string_view what, std::string_view name,
                             int errorNumber, ExitStatus status) {
  return reportFileFailure(console, what, name, platform::errorText(errorNumber), status);
}

ExitStatus reportReadFailure(const Console& console, std::string_view name,
                             const ReadError& error) {
  if (!error.description.empty()) {
    return reportFileFailure(console, "error reading file ", name, error.description,
                             ExitStatus::inputError);
  }
  return reportFileFailure(console, "error reading file ", name, error.errorNumber,
                           ExitStatus::inputError);
}

ExitStatus reportFileFailure(const Console& console, std::string_view what, std::string_view name,
                             std::string_view reason, ExitStatus status) {
  if (!console.errorMessages.atLineStart()) {
    console.errorMessages.put('\n');  // after the progress marks of the days
  }
  console.errorMessages.write(what);
  console.errorMessages.write(platform::nameInText(name));
  console.errorMessages.put('\n');
  console.errorMessages.flush();
  console.standardError.write("skarvel: ");
  console.standardError.write(what);
  console.standardError.write(platform::nameInText(name));
  console.standardError.write(": ");
  console.standardError.write(reason);
  console.standardError.put('\n');
  return status;
}

bool printWarnings(const std::vector<Warning>& warnings, const Console& console) {
  bool incomplete = false;
  for (const Warning& warning : warnings) {
    console.standardError.write("skarvel: warning: ");
    console.standardError.write(warning.text);
    console.standardError.put('\n');
    incomplete = incomplete || warning.incomplete;
  }
  return incomplete;
}

}  // namespace skarvel
