// The error classes. Every failure this program raises is an Exception; each
// class knows its own name and its chain of base classes, because the error
// display decides by class name ("is of class X or derived").
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace qv {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message);
  ~Exception() override = default;

  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

  virtual const char* ClassName() const noexcept { return "Exception"; }
  // True when this object's class is `name` or derives from it.
  virtual bool InheritsFrom(std::string_view name) const noexcept { return name == "Exception"; }

  // Code address of the place that raised the error (captured at construction).
  const void* RaiseAddress() const noexcept { return address_; }

 private:
  std::string message_;
  const void* address_;
};

#define QV_DECLARE_EXCEPTION(Name, Base)                               \
  class Name : public Base {                                           \
   public:                                                             \
    using Base::Base;                                                  \
    const char* ClassName() const noexcept override { return #Name; }  \
    bool InheritsFrom(std::string_view name) const noexcept override { \
      return name == #Name || Base::InheritsFrom(name);                \
    }                                                                  \
  }

QV_DECLARE_EXCEPTION(EAbort, Exception);
QV_DECLARE_EXCEPTION(EConvertError, Exception);
QV_DECLARE_EXCEPTION(EInvalidGraphic, Exception);
QV_DECLARE_EXCEPTION(EJPEG, EInvalidGraphic);
QV_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception);
QV_DECLARE_EXCEPTION(EFOpenError, Exception);
QV_DECLARE_EXCEPTION(EReadError, Exception);
QV_DECLARE_EXCEPTION(EOutOfMemory, Exception);
QV_DECLARE_EXCEPTION(EOutOfResources, Exception);
QV_DECLARE_EXCEPTION(EThread, Exception);
QV_DECLARE_EXCEPTION(EIdException, Exception);

// The system's fixed texts used in more than one place.
inline constexpr const char* kOutOfMemoryText = "Out of memory";
inline constexpr const char* kStreamReadErrorText = "Stream read error";
inline constexpr const char* kCannotAssignText = "Cannot assign a %s to a %s";

[[noreturn]] void RaiseOutOfMemory();

// The message of any error: an Exception's own, "Out of memory" for a failed
// allocation, what() of another standard exception, "Unknown error" otherwise.
std::string ErrorMessage(const std::exception_ptr& error);

}  // namespace qv
