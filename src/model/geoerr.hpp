// The geometry model's one error type.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "model/dims.hpp"
#include "python/pyapi/errors.hpp"

namespace ostrel::rt {
class Error;
}

namespace ostrel::model {

class ZorvGeoErr : public std::exception {
 public:
  enum class Kind {
    MismatchingDimensions,
    InsufficientRing,
    MismatchingFeatureType,
    MismatchingAttrType,
    DuplicateAttribute,
    FailedAccess,
    LockError,
    MutabilityUpgradeError,
    ResolutionError,
    ShortCoordList,
    InvalidMutation,
    IoError,
    VaskelithLibraryError,
    CurvedPartStart,
    InvalidDims,
    PythonError,
    PythonCastError,
  };

  // Kinds whose payload is one text.
  ZorvGeoErr(Kind kind, std::string text);
  static ZorvGeoErr mismatching_dimensions(CoordDims expected, CoordDims got);
  static ZorvGeoErr short_coord_list(std::vector<double> values);
  // Two fixed texts: MismatchingFeatureType, MismatchingAttrType.
  static ZorvGeoErr mismatch(Kind kind, std::string expected, std::string got);
  // A Python exception, given back unchanged at the boundary.
  static ZorvGeoErr python(py::PyErr err);
  // The poisoned-lock report.
  static ZorvGeoErr poisoned_lock();
  // A runtime error, with the error's text form.
  static ZorvGeoErr from_runtime(const rt::Error& err);
  // A failed cast of `obj` to the type named `to`.
  static ZorvGeoErr cast_error(PyObject* obj, const char* to);

  Kind kind() const { return kind_; }
  // The message text (empty for PythonError).
  const std::string& message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

  // The Python exception this error is raised as: the wrapped one, or a plain
  // Exception carrying the message.
  py::PyErr into_python() &&;

 private:
  ZorvGeoErr(Kind kind, std::string message, int) : kind_(kind), message_(std::move(message)) {}
  Kind kind_;
  std::string message_;
  std::shared_ptr<py::PyErr> py_;
};

}  // namespace ostrel::model
