#include "output_name.hpp"

#include "platform.hpp"

namespace skarvel {

namespace {

constexpr std::string_view kNoExtension = ".$$$";

}  // namespace

std::int32_t positionOf(std::string_view text, std::string_view pattern) {
  const auto found = text.find(pattern);
  if (found == std::string_view::npos) {
    return 0;
  }
  return static_cast<std::int32_t>(found);
}

void cutSubstring(std::string& text, std::int32_t start, std::int32_t lastOffset) {
  if (start < 0 || lastOffset < 0) {
    return;
  }
  const auto first = std::min(static_cast<std::size_t>(start), text.size());
  const auto count = static_cast<std::size_t>(lastOffset) + 1;
  text = text.substr(first, count);
}

PathParts splitPath(std::string_view path) {
  std::size_t fileStart = path.size();
  while (fileStart > 0 && !platform::isPathSeparator(path[fileStart - 1])) {
    --fileStart;
  }
  return {path.substr(0, fileStart), path.substr(fileStart)};
}

DerivedName deriveOutputName(char letter, std::string& inputName) {
  const std::size_t fileStart = splitPath(inputName).directory.size();

  std::string base = inputName.substr(fileStart);
  if (positionOf(base, ".") == 0) {
    inputName += kNoExtension;
  }
  const std::string_view fileName = std::string_view(inputName).substr(fileStart);
  cutSubstring(base, 0, positionOf(fileName, ".") - 1);

  // The suffix is what follows the last '.', without its first character: that character's place
  // is taken by the letter.
  const auto lastDot = fileName.rfind('.');
  const std::string_view afterDot = fileName.substr(lastDot + 1);
  const std::string_view suffix = afterDot.empty() ? afterDot : afterDot.substr(1);

  DerivedName result;
  result.base = inputName.substr(0, fileStart) + base;
  result.name = result.base + '.' + letter + std::string(suffix);
  return result;
}

SafeName deriveSafeOutputName(char letter, std::string& inputName,
                              const DenotesInput& denotesInput) {
  SafeName result;
  result.derived = deriveOutputName(letter, inputName);
  if (!denotesInput(result.derived.name)) {
    return result;
  }
  inputName += kNoExtension;
  result.derived = deriveOutputName(letter, inputName);
  if (denotesInput(result.derived.name)) {
    result.outcome = NameOutcome::wouldOverwriteInput;
  }
  return result;
}

SafeName deriveCsvOutputName(std::string_view suffix, const std::string& inputName,
                             const DenotesInput& denotesInput) {
  const PathParts parts = splitPath(inputName);
  const std::size_t lastDot = parts.fileName.rfind('.');
  // A leading '.' (".profile") starts the name, not an extension.
  const std::string_view stem = lastDot == std::string_view::npos || lastDot == 0
                                    ? parts.fileName
                                    : parts.fileName.substr(0, lastDot);
  SafeName result;
  result.derived.base = std::string(parts.directory) + std::string(stem);
  result.derived.name = result.derived.base + std::string(suffix);
  if (denotesInput(result.derived.name)) {
    result.outcome = NameOutcome::wouldOverwriteInput;
  }
  return result;
}

}  // namespace skarvel
