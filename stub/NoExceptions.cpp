// The stub is built without exceptions. The C++ library's containers still
// name its throwing helpers; defined here, they end the program at once with
// the error exit code, and the library's exception and unwinding machinery
// (most of the program's size) stays out of the executable.

#include <windows.h>

namespace std {
[[noreturn]] void __throw_length_error(const char *) { ExitProcess(1); }
[[noreturn]] void __throw_logic_error(const char *) { ExitProcess(1); }
[[noreturn]] void __throw_out_of_range(const char *) { ExitProcess(1); }
[[noreturn]] void __throw_out_of_range_fmt(const char *, ...) { ExitProcess(1); }
[[noreturn]] void __throw_invalid_argument(const char *) { ExitProcess(1); }
[[noreturn]] void __throw_bad_alloc() { ExitProcess(1); }
[[noreturn]] void __throw_bad_array_new_length() { ExitProcess(1); }
[[noreturn]] void __throw_bad_function_call() { ExitProcess(1); }
} // namespace std

namespace __gnu_cxx {
void __verbose_terminate_handler() { ExitProcess(1); }
} // namespace __gnu_cxx
