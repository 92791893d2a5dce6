// The model's spatial reference: a plain value, copied by every holder.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "model/rt_fwd.hpp"

namespace ostrel::model {

// No field is checked against another; all six absent is a valid value.
struct SpatialReference {
  std::optional<uint32_t> wkid{};
  std::optional<uint32_t> latest_wkid{};
  std::optional<uint32_t> vcs_wkid{};
  std::optional<uint32_t> latest_vcs_wkid{};
  std::optional<std::string> wkt{};
  std::optional<std::string> wkt2{};  // carried and written, never converted

  bool operator==(const SpatialReference&) const = default;

  // Compact JSON object: present fields only, in declaration order, keys
  // wkid, latestWkid, vcsWkid, latestVcsWkid, wkt, wkt2.
  void write_zorvjson(std::string& out) const;
};

// A geometry's spatial reference, or none, one pointer wide: most
// geometries have none or share a few, and the value inline would take 120
// bytes in each.  It reads and converts as a std::optional<SpatialReference>.
class OptionalSpatialReference {
 public:
  OptionalSpatialReference() = default;
  OptionalSpatialReference(std::nullopt_t) {}
  OptionalSpatialReference(std::optional<SpatialReference> sr)
      : value_(sr ? std::make_shared<const SpatialReference>(std::move(*sr)) : nullptr) {}
  OptionalSpatialReference(SpatialReference sr) : value_(std::make_shared<const SpatialReference>(std::move(sr))) {}

  bool has_value() const { return value_ != nullptr; }
  explicit operator bool() const { return has_value(); }
  const SpatialReference& operator*() const { return *value_; }
  const SpatialReference* operator->() const { return value_.get(); }
  operator std::optional<SpatialReference>() const {
    return value_ ? std::optional<SpatialReference>(*value_) : std::nullopt;
  }
  void reset() { value_.reset(); }
  bool operator==(const OptionalSpatialReference& o) const {
    return value_ == o.value_ || (value_ && o.value_ && *value_ == *o.value_);
  }

 private:
  // Shared and never changed: copies of a geometry share it.
  std::shared_ptr<const SpatialReference> value_;
};

// `"spatialReference": {...}, ` when there is one: the first member of a
// point's or an envelope's text.
inline void write_leading_sr_member(std::string& out, const std::optional<SpatialReference>& sr) {
  if (!sr) return;
  out.append("\"spatialReference\": ");
  sr->write_zorvjson(out);
  out.append(", ");
}

// Model to runtime: by latest_wkid or wkid (with latest_vcs_wkid or vcs_wkid),
// else by wkt; none when neither is there.  Throws ZorvGeoErr
// (VaskelithLibraryError) when the runtime refuses.
std::optional<rt::SpatialReference> to_geom_sr(std::optional<SpatialReference> sr);
// Runtime to model: wkid, vcs_wkid, and wkt for a reference without an id.
// Consumes the runtime reference.
SpatialReference sr_convert(rt::SpatialReference sr);

}  // namespace ostrel::model
