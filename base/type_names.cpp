#include <cxxabi.h>

#include <cstdlib>
#include <string>
#include <typeinfo>

#include "base/platform.h"

// The C++ runtime's demangler: the same for GCC and clang on Linux and for
// MinGW on Windows, so one file serves both platforms.
namespace qv {

std::string DemangledTypeName(const std::type_info& type) {
  int status = 0;
  char* text = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string result = status == 0 && text ? text : type.name();
  std::free(text);
  return result;
}

std::string CurrentExceptionTypeName() {
  const std::type_info* type = abi::__cxa_current_exception_type();
  return type ? DemangledTypeName(*type) : "unknown";
}

}  // namespace qv
