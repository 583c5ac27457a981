// The root of objects that copy their content into one another (pictures and
// the picture container). Copying is asked of the target first, then of the
// source, so that either side may know how to do it.
#pragma once

#include <functional>

namespace qv {

class TPersistent {
 public:
  virtual ~TPersistent() = default;

  // The class's own name, as used in "Cannot assign a %s to a %s".
  virtual const char* ClassName() const noexcept = 0;

  // Copies this object's content into `target`. The base knows no target and
  // fails with EConvertError "Cannot assign a <this class> to a <target class>".
  virtual void AssignInto(TPersistent& target);
  // Copies `source`'s content into this object. The base asks the source to
  // AssignInto this object; a null source fails with EConvertError naming "nil".
  virtual void AssignFrom(TPersistent* source);

 protected:
  TPersistent() = default;
  TPersistent(const TPersistent&) = default;
  TPersistent& operator=(const TPersistent&) = default;
};

// "Something changed" notice; the sender is the object that changed.
using TNotifyEvent = std::function<void(TPersistent* sender)>;

}  // namespace qv
