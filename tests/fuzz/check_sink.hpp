// A sink that checks the shape of the event stream and can log it.
//
// Readers must always produce balanced begin/end pairs with matching tags and
// indices, coordinates only inside an open geometry, and at most one top-level
// geometry.  Any violation aborts, so the fuzzer reports it as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "geomio/events.hpp"

namespace ostrel::geomio {

class CheckSink : public GeomSink {
 public:
  explicit CheckSink(bool log = false) : log_(log) {}

  void srid(std::optional<int32_t> s) override {
    require(open_.empty() && tops_ == 0, "srid after other events");
    out("srid " + (s ? std::to_string(*s) : std::string("none")));
  }
  void coordinate(double x, double y, std::optional<double> z, std::optional<double> m,
                  std::size_t idx) override {
    require(!open_.empty(), "coordinate outside a geometry");
    std::string s = "coord " + std::to_string(idx) + " " + num(x) + " " + num(y);
    if (z) s += " z=" + num(*z);
    if (m) s += " m=" + num(*m);
    out(s);
  }
  void empty_point(std::size_t idx) override {
    if (open_.empty()) top();
    out("empty_point " + std::to_string(idx));
  }
  void point_begin(std::size_t idx) override { begin("point", true, idx); }
  void point_end(std::size_t idx) override { end("point", true, idx); }
  void linestring_begin(bool t, std::size_t n, std::size_t idx) override { begin("linestring", t, idx, n); }
  void linestring_end(bool t, std::size_t idx) override { end("linestring", t, idx); }
  void polygon_begin(bool t, std::size_t n, std::size_t idx) override { begin("polygon", t, idx, n); }
  void polygon_end(bool t, std::size_t idx) override { end("polygon", t, idx); }
  void multipoint_begin(std::size_t n, std::size_t idx) override { begin("multipoint", true, idx, n); }
  void multipoint_end(std::size_t idx) override { end("multipoint", true, idx); }
  void multilinestring_begin(std::size_t n, std::size_t idx) override {
    begin("multilinestring", true, idx, n);
  }
  void multilinestring_end(std::size_t idx) override { end("multilinestring", true, idx); }
  void multipolygon_begin(std::size_t n, std::size_t idx) override { begin("multipolygon", true, idx, n); }
  void multipolygon_end(std::size_t idx) override { end("multipolygon", true, idx); }
  void geometrycollection_begin(std::size_t n, std::size_t idx) override {
    begin("collection", true, idx, n);
  }
  void geometrycollection_end(std::size_t idx) override { end("collection", true, idx); }
  void circularstring_begin(std::size_t n, std::size_t idx) override {
    begin("circularstring", true, idx, n);
  }
  void circularstring_end(std::size_t idx) override { end("circularstring", true, idx); }
  void compoundcurve_begin(std::size_t n, std::size_t idx) override { begin("compoundcurve", true, idx, n); }
  void compoundcurve_end(std::size_t idx) override { end("compoundcurve", true, idx); }
  void curvepolygon_begin(std::size_t n, std::size_t idx) override { begin("curvepolygon", true, idx, n); }
  void curvepolygon_end(std::size_t idx) override { end("curvepolygon", true, idx); }
  void multicurve_begin(std::size_t n, std::size_t idx) override { begin("multicurve", true, idx, n); }
  void multicurve_end(std::size_t idx) override { end("multicurve", true, idx); }
  void multisurface_begin(std::size_t n, std::size_t idx) override { begin("multisurface", true, idx, n); }
  void multisurface_end(std::size_t idx) override { end("multisurface", true, idx); }
  void triangle_begin(bool t, std::size_t n, std::size_t idx) override { begin("triangle", t, idx, n); }
  void triangle_end(bool t, std::size_t idx) override { end("triangle", t, idx); }
  void polyhedralsurface_begin(std::size_t n, std::size_t idx) override {
    begin("polyhedralsurface", true, idx, n);
  }
  void polyhedralsurface_end(std::size_t idx) override { end("polyhedralsurface", true, idx); }
  void tin_begin(std::size_t n, std::size_t idx) override { begin("tin", true, idx, n); }
  void tin_end(std::size_t idx) override { end("tin", true, idx); }

  // Call after a successful read.
  void done() { require(open_.empty() && tops_ == 1, "unbalanced or missing geometry"); }

 private:
  struct Open {
    std::string kind;
    bool tagged;
    std::size_t idx;
    std::size_t size;
    std::size_t seen = 0;
  };

  static std::string num(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
  }
  void require(bool ok, const char* what) {
    if (!ok) {
      std::fprintf(stderr, "event stream violation: %s\n", what);
      std::abort();
    }
  }
  void out(const std::string& s) {
    if (log_) std::printf("%*s%s\n", int(2 * open_.size()), "", s.c_str());
  }
  void top() {
    require(tops_ == 0, "more than one top-level geometry");
    ++tops_;
  }
  void begin(const char* kind, bool tagged, std::size_t idx, std::size_t n = 1) {
    if (open_.empty()) {
      top();
      require(idx == 0, "top-level index not 0");
    }
    out(std::string(kind) + (tagged ? "" : " (untagged)") + " begin idx=" + std::to_string(idx) +
        " n=" + std::to_string(n));
    open_.push_back({kind, tagged, idx, n});
  }
  void end(const char* kind, bool tagged, std::size_t idx) {
    require(!open_.empty(), "end without begin");
    const Open& o = open_.back();
    require(o.kind == kind && o.tagged == tagged && o.idx == idx, "end does not match begin");
    open_.pop_back();
    out(std::string(kind) + " end");
  }

  bool log_;
  std::vector<Open> open_;
  int tops_ = 0;
};

}  // namespace ostrel::geomio
