#include "graphics/persistent.h"

#include "base/exceptions.h"
#include "base/format.h"

namespace qv {

void TPersistent::AssignInto(TPersistent& target) {
  throw EConvertError(Format(kCannotAssignText, ClassName(), target.ClassName()));
}

void TPersistent::AssignFrom(TPersistent* source) {
  if (source == nullptr) throw EConvertError(Format(kCannotAssignText, "nil", ClassName()));
  source->AssignInto(*this);
}

}  // namespace qv
