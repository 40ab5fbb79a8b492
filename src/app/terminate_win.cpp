// The installer's replacement for libstdc++'s verbose terminate handler.
// The default prints the demangled type of an escaping exception to a
// console a GUI program does not have, and links the whole demangler (about
// 45 KB) to do so. Every callback already has a catch barrier, so reaching
// terminate is a bug: end the process at once.

#include <cstdlib>

namespace __gnu_cxx {

[[noreturn]] void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
