#include "defines.h"

namespace lumipack {
namespace {

constexpr std::string_view kEnvironmentPrefix = "env:";

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

bool IsNamePart(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

}  // namespace

bool IsDefineName(std::string_view name) {
  if (name.empty() || name.size() > kMaxDefineNameBytes || !IsNameStart(name[0])) return false;
  for (char c : name) {
    if (!IsNamePart(c)) return false;
  }
  return true;
}

Result<std::pair<std::string, std::string>> ParseDefine(std::string_view text) {
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos) {
    return Status::Failure("'" + std::string(text) + "' is not NAME=VALUE");
  }
  const std::string_view name = text.substr(0, equals);
  if (!IsDefineName(name)) {
    return Status::Failure("'" + std::string(name) +
                           "' is not a name: a letter or _, then letters, digits, _, . or -, "
                           "at most " +
                           std::to_string(kMaxDefineNameBytes) + " bytes");
  }
  const std::string_view value = text.substr(equals + 1);
  if (value.size() > kMaxExpandedBytes) {
    return Status::Failure("the value of " + std::string(name) + " is longer than " +
                           std::to_string(kMaxExpandedBytes) + " bytes");
  }
  return std::make_pair(std::string(name), std::string(value));
}

Result<Defines> DefinesFrom(
    const std::vector<std::string>& texts,
    std::function<std::optional<std::string>(const std::string&)> environment) {
  Defines defines;
  for (const std::string& text : texts) {
    Result<std::pair<std::string, std::string>> define = ParseDefine(text);
    if (!define) return define.status();
    defines.values[define->first] = define->second;
  }
  defines.environment = std::move(environment);
  return defines;
}

Result<std::string> ExpandDefines(std::string_view text, const Defines& defines) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const size_t dollar = text.find('$', i);
    if (dollar == std::string_view::npos) {
      out.append(text.substr(i));
      break;
    }
    out.append(text.substr(i, dollar - i));
    const std::string_view rest = text.substr(dollar);
    if (rest.starts_with("$${")) {
      out.append("${");
      i = dollar + 3;
    } else if (rest.starts_with("${")) {
      const size_t close = rest.find('}');
      if (close == std::string_view::npos) {
        return Status::Failure("has a ${ without its } (write $${ for a literal ${)");
      }
      const std::string_view inside = rest.substr(2, close - 2);
      const bool from_environment = inside.starts_with(kEnvironmentPrefix);
      const std::string_view name =
          from_environment ? inside.substr(kEnvironmentPrefix.size()) : inside;
      if (!IsDefineName(name)) {
        return Status::Failure("has ${" + std::string(inside).substr(0, kMaxDefineNameBytes) +
                               "}, which does not hold a name (write $${ for a literal ${)");
      }
      std::optional<std::string> value;
      if (from_environment) {
        if (defines.environment) value = defines.environment(std::string(name));
        if (!value) {
          return Status::Failure("uses ${env:" + std::string(name) + "}, but the environment " +
                                 "variable " + std::string(name) + " is not set");
        }
      } else {
        auto it = defines.values.find(std::string(name));
        if (it == defines.values.end()) {
          return Status::Failure("uses ${" + std::string(name) + "}, which is not defined (give " +
                                 "-D " + std::string(name) + "=VALUE)");
        }
        value = it->second;
      }
      if (value->size() > kMaxExpandedBytes - std::min(out.size(), kMaxExpandedBytes)) {
        return Status::Failure("is longer than " + std::to_string(kMaxExpandedBytes) +
                               " bytes with its variables replaced");
      }
      out.append(*value);
      i = dollar + close + 1;
    } else {
      out.push_back('$');
      i = dollar + 1;
    }
  }
  if (out.size() > kMaxExpandedBytes) {
    return Status::Failure("is longer than " + std::to_string(kMaxExpandedBytes) +
                           " bytes with its variables replaced");
  }
  return out;
}

}  // namespace lumipack
