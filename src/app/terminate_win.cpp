// The Windows programs' replacements for two parts of libstdc++ that a
// static link would otherwise pull in whole.
//
// The verbose terminate handler prints the demangled type of an escaping
// exception to a console a GUI program does not have, and links the whole
// demangler (about 45 KB) to do so. Every callback already has a catch
// barrier, so reaching terminate is a bug: end the process at once.
//
// The library's std::__throw_* helpers live in one archive member that also
// defines the throwers of every standard exception with a message; those
// construct the copy-on-write strings of the old ABI, and that member drags
// in the library's whole explicit string instantiations, old and new ABI,
// and std::random_device: about 80 KB of code and unwind tables that nothing
// here uses. The containers call only the helpers below. A request the
// allocator cannot meet (too long, or too large an array) is reported as
// the allocation failure it is; a precondition a container checks (an index
// or a position out of range) throws an exception without a message. Both
// reach the same catch (...) barriers as before, which turn them into a
// failed step; none of the programs' handlers reads the message.

#include <cstdlib>
#include <exception>
#include <new>

namespace {

class ContainerPreconditionFailed final : public std::exception {
 public:
  const char* what() const noexcept override { return "container precondition failed"; }
};

}  // namespace

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

namespace std {

[[noreturn]] void __throw_bad_alloc() { throw std::bad_alloc(); }
[[noreturn]] void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
[[noreturn]] void __throw_length_error(const char*) { throw std::bad_alloc(); }
[[noreturn]] void __throw_logic_error(const char*) { throw ContainerPreconditionFailed(); }
[[noreturn]] void __throw_out_of_range(const char*) { throw ContainerPreconditionFailed(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) {
  throw ContainerPreconditionFailed();
}
[[noreturn]] void __throw_invalid_argument(const char*) { throw ContainerPreconditionFailed(); }

}  // namespace std
