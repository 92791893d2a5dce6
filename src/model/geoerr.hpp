// The geometry model's one error type.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/foreign_error.hpp"
#include "model/dims.hpp"

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
  // A failure of a floor above (a Python exception raised by a conversion),
  // carried through the model and given back unchanged at that floor.
  static ZorvGeoErr foreign(std::shared_ptr<core::ForeignError> payload);
  // The poisoned-lock report.
  static ZorvGeoErr poisoned_lock();
  // A runtime error, with the error's text form.
  static ZorvGeoErr from_runtime(const rt::Error& err);
  // A failed cast of a value of the type named `from` to the type named `to`.
  static ZorvGeoErr cast_error(std::string_view from, std::string_view to);

  Kind kind() const { return kind_; }
  // The message text (empty for PythonError).
  const std::string& message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }
  // The carried failure of PythonError, else null.
  const std::shared_ptr<core::ForeignError>& foreign() const { return foreign_; }

 private:
  ZorvGeoErr(Kind kind, std::string message, int) : kind_(kind), message_(std::move(message)) {}
  Kind kind_;
  std::string message_;
  std::shared_ptr<core::ForeignError> foreign_;
};

}  // namespace ostrel::model
