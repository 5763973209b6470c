#include "surface/mci/mci_command.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zt {
namespace {

std::vector<std::string_view> SplitWords(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t start = 0;
  for (;;) {
    std::size_t space = text.find(' ', start);
    words.push_back(text.substr(start, space - start));
    if (space == std::string_view::npos) break;
    start = space + 1;
  }
  return words;
}

// An alias or device name is one non-empty word of visible characters.
bool IsName(std::string_view word) {
  return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
    return static_cast<unsigned char>(c) > 0x20 && c != 0x7F;
  });
}

std::optional<MciCommand> Make(MciKind kind, std::string_view alias) {
  if (!IsName(alias)) return std::nullopt;
  return MciCommand{kind, std::string(alias), {}};
}

std::optional<MciCommand> ParseOpen(std::string_view text) {
  constexpr std::string_view kOpen = "open ";
  constexpr std::string_view kAlias = " alias ";
  std::string_view rest = text.substr(kOpen.size());
  std::size_t at = rest.rfind(kAlias);
  if (at == std::string_view::npos || at == 0) return std::nullopt;
  std::string_view alias = rest.substr(at + kAlias.size());
  if (!IsName(alias)) return std::nullopt;
  std::string_view path = rest.substr(0, at);
  if (path.find('\0') != std::string_view::npos) return std::nullopt;
  return MciCommand{MciKind::kOpen, std::string(alias), std::string(path)};
}

}  // namespace

std::optional<MciCommand> ParseMciCommand(std::string_view text) {
  if (text.starts_with("open ")) return ParseOpen(text);
  std::vector<std::string_view> w = SplitWords(text);
  auto is = [&w](std::initializer_list<std::string_view> pattern) {
    // "*" stands for the alias; every other word must match exactly.
    if (w.size() != pattern.size()) return false;
    std::size_t i = 0;
    for (std::string_view p : pattern) {
      if (p != "*" && w[i] != p) return false;
      ++i;
    }
    return true;
  };
  if (is({"capability", "*", "can", "play"})) return Make(MciKind::kCapabilityCanPlay, w[1]);
  if (is({"set", "*", "time", "format", "ms"})) return Make(MciKind::kSetTimeFormatMs, w[1]);
  if (is({"status", "*", "length"})) return Make(MciKind::kStatusLength, w[1]);
  if (is({"play", "*", "notify"})) return Make(MciKind::kPlayNotify, w[1]);
  if (is({"seek", "*", "to", "start"})) return Make(MciKind::kSeekToStart, w[1]);
  if (is({"stop", "*"})) return Make(MciKind::kStop, w[1]);
  if (is({"close", "*"})) return Make(MciKind::kClose, w[1]);
  return std::nullopt;
}

uint32_t WriteMciReply(std::string_view text, char* reply, uint32_t size) {
  if (reply == nullptr || size == 0) {
    return text.empty() ? 0 : kMciErrParamOverflow;
  }
  if (text.size() >= size) return kMciErrParamOverflow;
  std::memcpy(reply, text.data(), text.size());
  reply[text.size()] = '\0';
  return 0;
}

}  // namespace zt
