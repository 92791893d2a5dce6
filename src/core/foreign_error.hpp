// A failure raised above the floor that carries it.
//
// Model code may run a caller's code (a conversion that calls back into
// Python) whose failure must reach the caller unchanged, yet the model cannot
// name the caller's exception type.  The floor that raised it derives its
// payload from ForeignError and unpacks it again at its boundary; the floors
// in between only hold and move it.
#pragma once

namespace ostrel::core {

class ForeignError {
 public:
  virtual ~ForeignError() = default;
};

}  // namespace ostrel::core
