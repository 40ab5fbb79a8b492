#include <iostream>

#include "command_line.h"
#include "host.h"

int main(int argc, char** argv) {
  lumipack::PrepareConsole();
  const lumipack::Console console{std::cout, std::cerr, lumipack::StderrIsTerminal()};
  return lumipack::RunLumipack(lumipack::Utf8Arguments(argc, argv), console);
}
