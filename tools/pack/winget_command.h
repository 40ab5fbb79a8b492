#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "console.h"

namespace lumipack {

// The command line of `lumipack winget`.
struct WingetArguments {
  std::string installer;
  std::string manifest;
  std::string output;
  std::vector<std::string> defines;
  std::string id;
  std::string url;
  std::string licence;
  std::string licence_url;
  std::string short_description;
  std::string moniker;
  std::vector<std::string> tags;
  std::string locale;
  bool quiet = false;
  CLI::App* command = nullptr;
};

// Adds the `winget` subcommand to `app`.
CLI::App* AddWingetCommand(CLI::App& app, WingetArguments& a);

// Writes the winget manifest of a built installer; returns the exit code.
int RunWinget(const WingetArguments& a, Console& console);

}  // namespace lumipack
