#include <iostream>

#include "command_line.h"
#include "host.h"
#include "interrupt.h"

int main(int argc, char** argv) {
  lumipack::InstallInterruptCleanup();
  lumipack::PrepareConsole();
  lumipack::Console console{std::cout, std::cerr, lumipack::StderrIsTerminal()};
  const int code = lumipack::RunLumipack(lumipack::Utf8Arguments(argc, argv), console);
  if (lumipack::InterruptRequested()) lumipack::ExitAfterInterrupt();
  return code;
}
