#include "base/exceptions.h"

#include <new>
#include <utility>

namespace qv {

// Not inlined, so that the return address is the code that raised the error
// (or the constructor of a derived class, which sits right beside it).
__attribute__((noinline)) Exception::Exception(std::string message)
    : message_(std::move(message)), address_(__builtin_return_address(0)) {}

void RaiseOutOfMemory() {
  throw EOutOfMemory(kOutOfMemoryText);
}

std::string ErrorMessage(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    return e.Message();
  } catch (const std::bad_alloc&) {
    return kOutOfMemoryText;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

}  // namespace qv
