// Checks of the runtime binding that Python cannot reach: the text and debug
// forms of errors (case mapping, escapes), the loader's failure states, and the
// wrappers' ownership against the real runtime.
//
// Usage: test_binding <libvaskelith.so> <a library lacking names> <a library with a null name>
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "binding/call.hpp"
#include "binding/runtime.hpp"
#include "common/check.hpp"
#include "core/fatal.hpp"

using namespace ostrel;
using namespace ostrel::rt;

namespace {

// The message of the fatal error `body` ends with, or "" when it returns.
std::string fatal_of(const std::function<void()>& body) {
  try {
    body();
  } catch (const core::Fatal& f) {
    return f.message();
  }
  return "";
}

// The text form of the Error `body` throws, or "" when it returns.
std::string error_of(const std::function<void()>& body) {
  try {
    body();
  } catch (const Error& e) {
    return e.text();
  }
  return "";
}

std::string text(const std::string& msg, const std::string& additional) {
  return Error(1, msg, additional).text();
}

void check_error_forms() {
  EXPECT_EQ(text("the point is empty.", "ring 2 is not closed."), "The point is empty: Ring 2 is not closed");
  EXPECT_EQ(text("...", ""), "No error message found");
  EXPECT_EQ(text("valid.", ""), "Valid");
  EXPECT_EQ(text("", "only additional. ."), "Only additional. ");
  EXPECT_EQ(text("ßig", ""), "SSig");
  // One character can become several, and the rest of the text stays as is.
  EXPECT_EQ(text("ŉa", ""), "ʼNa");
  EXPECT_EQ(text("\u0390x", ""), "\u0399\u0308\u0301x");
  EXPECT_EQ(text("ﬃx", ""), "FFIx");
  // Latin-1, Latin Extended (alternating pairs), Greek, Cyrillic, Armenian.
  EXPECT_EQ(text("é", ""), "É");
  EXPECT_EQ(text("ÿ", ""), "Ÿ");
  EXPECT_EQ(text("ā", ""), "Ā");
  EXPECT_EQ(text("ǆ", ""), "Ǆ");
  EXPECT_EQ(text("ς", ""), "Σ");
  EXPECT_EQ(text("я", ""), "Я");
  EXPECT_EQ(text("ѣ", ""), "Ѣ");
  EXPECT_EQ(text("ա", ""), "Ա");
  EXPECT_EQ(text("Ä", ""), "Ä");
  EXPECT_EQ(text("1a", ""), "1a");

  EXPECT_EQ(
      Error::new_conversion_error("GeometryOwned", "geometry::polygon::Polygon").text(),
      "Conversion between types failed: Tried to convert from GeometryOwned to geometry::polygon::Polygon");
  EXPECT_EQ(Error::new_conversion_error("a", "b").debug(),
            "Error { code: 100000, msg: \"Conversion between types failed.\", additional_msg: \"Tried to "
            "convert from a "
            "to b.\" }");
  // Escapes of the debug form; the code is signed; single quotes stay.
  EXPECT_EQ(Error(-3, "a\"b\\c\n\t\r", std::string("x\0y'", 4)).debug(),
            "Error { code: -3, msg: \"a\\\"b\\\\c\\n\\t\\r\", additional_msg: \"x\\0y'\" }");
  // Combining marks, format and other unprintable characters as \u{hex}.
  EXPECT_EQ(Error(0, "e\xCC\x81", "\xE2\x80\x8B\x7F\xC2\xA0").debug(),
            "Error { code: 0, msg: \"e\\u{301}\", additional_msg: \"\\u{200b}\\u{7f}\\u{a0}\" }");
  EXPECT_EQ(Error(0, "héllo ✓ 日本", "").debug(),
            "Error { code: 0, msg: \"héllo ✓ 日本\", additional_msg: \"\" }");

  EXPECT_EQ(nul_error_debug(std::string("ab\0c", 4), 2), "NulError(2, [97, 98, 0, 99])");
  EXPECT_EQ(fatal_of([] { to_c_string(std::string("1*\0", 3), "Failed to convert string to CString"); }),
            "Failed to convert string to CString: NulError(2, [49, 42, 0])");
  EXPECT_EQ(GeometryExtendOptions{17}.debug(), "GeometryExtendOptions(17)");

  // Code conversions: the accepted codes, and the conversion error naming both
  // types for the others (0 and 6 are not geometry kinds, -1 is Unknown).
  for (int32_t code : {1, 2, 3, 4, 5, -1}) EXPECT(static_cast<int32_t>(geometry_type_try_from(code)) == code);
  for (uint32_t code : {0u, 109401u, 109402u, 109404u, 109405u, 109414u, 109439u, 109442u, 109450u, 109451u,
                        109452u})
    EXPECT(static_cast<uint32_t>(area_unit_id_try_from(code)) == code);
  for (uint32_t code : {1u, 2u}) EXPECT(static_cast<uint32_t>(datum_transformation_type_try_from(code)) == code);
  struct Refused {
    std::function<void()> convert;
    const char* from;
    const char* to;
  };
  const Refused refused[] = {
      {[] { geometry_type_try_from(0); }, "bindings::QX_GeometryType", "GeometryType"},
      {[] { geometry_type_try_from(6); }, "bindings::QX_GeometryType", "GeometryType"},
      {[] { area_unit_id_try_from(109403); }, "bindings::QX_AreaUnitId", "AreaUnitId"},
      {[] { datum_transformation_type_try_from(3); }, "bindings::QX_DatumTransformationType",
       "DatumTransformationType"},
  };
  for (const Refused& r : refused)
    EXPECT_EQ(error_of(r.convert), std::string("Conversion between types failed: Tried to convert from ") + r.from +
                                       " to " + r.to);
  EXPECT_EQ(fatal_of([] { detail::transformed_or_fatal([] { return geometry_type_try_from(0); }); }),
            "Internal error: Unexpected failure to transform return value: Error { code: 100000, msg: "
            "\"Conversion between types failed.\", additional_msg: \"Tried to convert from "
            "bindings::QX_GeometryType to GeometryType.\" }");

  IoError missing{IoError::Kind::NotFound, "Could not find dynamic library at /x", std::nullopt};
  EXPECT_EQ(missing.debug(), "Custom { kind: NotFound, error: \"Could not find dynamic library at /x\" }");
  EXPECT_EQ(IoError::from_errno(13).debug(),
            "Os { code: 13, kind: PermissionDenied, message: \"Permission denied\" }");
  EXPECT_EQ(IoError::from_errno(13).display(), "Permission denied (os error 13)");
}

// The texts every handle type reports: its null-handle and release messages,
// and the type path conversion errors name for the typed handles.
void check_handle_texts() {
  struct Texts {
    std::string null_message, release_message;
    const char* family;
    const char* name;
  };
  const Texts rows[] = {
      {GeometryOwned::null_message(), GeometryOwned::release_message(), "Geometry", "GeometryOwned"},
      {Point::null_message(), Point::release_message(), "Geometry", "Point"},
      {Envelope::null_message(), Envelope::release_message(), "Geometry", "Envelope"},
      {Polyline::null_message(), Polyline::release_message(), "Geometry", "Polyline"},
      {Polygon::null_message(), Polygon::release_message(), "Geometry", "Polygon"},
      {Multipoint::null_message(), Multipoint::release_message(), "Geometry", "Multipoint"},
      {MultipartOwned::null_message(), MultipartOwned::release_message(), "Geometry", "MultipartOwned"},
      {PolygonBuilder::null_message(), PolygonBuilder::release_message(), "GeometryBuilder", "PolygonBuilder"},
      {PolylineBuilder::null_message(), PolylineBuilder::release_message(), "GeometryBuilder", "PolylineBuilder"},
      {MultipointBuilder::null_message(), MultipointBuilder::release_message(), "GeometryBuilder",
       "MultipointBuilder"},
      {MutablePart::null_message(), MutablePart::release_message(), "MutablePart", "MutablePart"},
      {MutablePartCollection::null_message(), MutablePartCollection::release_message(), "MutablePartCollection",
       "MutablePartCollection"},
      {MutablePointCollection::null_message(), MutablePointCollection::release_message(),
       "MutablePointCollection", "MutablePointCollection"},
      {ImmutablePart::null_message(), ImmutablePart::release_message(), "ImmutablePart", "ImmutablePart"},
      {ImmutablePartCollection::null_message(), ImmutablePartCollection::release_message(),
       "ImmutablePartCollection", "ImmutablePartCollection"},
      {ImmutablePointCollection::null_message(), ImmutablePointCollection::release_message(),
       "ImmutablePointCollection", "ImmutablePointCollection"},
      {SegmentOwned::null_message(), SegmentOwned::release_message(), "Segment", "SegmentOwned"},
      {CubicBezierSegment::null_message(), CubicBezierSegment::release_message(), "Segment", "CubicBezierSegment"},
      {EllipticArcSegment::null_message(), EllipticArcSegment::release_message(), "Segment", "EllipticArcSegment"},
      {SpatialReference::null_message(), SpatialReference::release_message(), "SpatialReference",
       "SpatialReference"},
      {AreaUnit::null_message(), AreaUnit::release_message(), "Unit", "AreaUnit"},
      {LinearUnit::null_message(), LinearUnit::release_message(), "Unit", "LinearUnit"},
      {DatumTransformationOwned::null_message(), DatumTransformationOwned::release_message(),
       "DatumTransformation", "DatumTransformationOwned"},
  };
  for (const Texts& row : rows) {
    EXPECT_EQ(row.null_message, std::string("Internal error: Unexpected null handle returned from core ") +
                                    row.family + " for " + row.name);
    EXPECT_EQ(row.release_message,
              std::string("Internal error: Unexpected error while destroying internal handle to ") + row.name);
  }
  // Arrays, elements and vectors have texts of their own.
  EXPECT_EQ(Array::null_message(), "Internal error: Received null QX_ArrayHandle");
  EXPECT_EQ(Array::release_message(), "Internal error: Failed to destroy handle to Array");
  EXPECT_EQ(Element::null_message(), "Internal error: Unexpected null handle");
  EXPECT_EQ(Element::release_message(), "Internal error: Failed to destroy handle to Element");
  EXPECT_EQ(Vector::null_message(), "Internal error: Unexpected null handle");

  EXPECT_EQ(std::string(Multipoint::kTypePath), "geometry::multipoint::Multipoint");
  EXPECT_EQ(std::string(LineSegment::kTypePath), "geometry::line_segment::LineSegment");
  EXPECT(Point::kKind == 1 && Envelope::kKind == 2 && Polyline::kKind == 3 && Polygon::kKind == 4 &&
         Multipoint::kKind == 5);
  EXPECT(LineSegment::kKind == 1 && CubicBezierSegment::kKind == 2 && EllipticArcSegment::kKind == 3);
}

int64_t live_handles() {
  auto count = reinterpret_cast<int64_t (*)()>(::dlsym(ffi().library, "vaskelith_live_handle_count"));
  return count ? count() : -1;
}

void check_wrappers() {
  EXPECT_EQ(fatal_of([] { environment::init(); }), "");
  {
    Point p = Point::with_x_y_z_m(1, 2, std::nullopt, 4);
    EXPECT(p.x() == 1 && p.y() == 2);
    EXPECT(!p.z().has_value());
    EXPECT(p.m() == 4.0);
    EXPECT(p.object_type() == GeometryType::Point);
    EXPECT(!p.spatial_reference().has_value());

    SpatialReference sr = SpatialReference::with_wkid(4326);
    EXPECT(sr.wkid() == 4326);
    Envelope e = Envelope::with_x_y_z_m_spatial_reference(0, 10, 20, 30, Range{1, 2}, std::nullopt, sr);
    EXPECT(e.x_min() == 0 && e.x_max() == 10 && e.y_min() == 20 && e.y_max() == 30);
    EXPECT(e.z_min() == 1.0 && e.z_max() == 2.0 && !e.m_min().has_value());
    EXPECT(e.spatial_reference().has_value() && e.spatial_reference()->wkid() == 4326);
    Point c = e.center();
    EXPECT(c.x() == 5 && c.y() == 25);

    // The presence of z and m picks the create function, with and without a
    // spatial reference; absent values read back absent.
    const std::optional<double> none;
    const SpatialReference* const spatial_references[] = {nullptr, &sr};
    for (const SpatialReference* with : spatial_references) {
      for (auto [z, m] : {std::pair{none, none}, std::pair{std::optional(3.0), none}, std::pair{none, std::optional(4.0)},
                          std::pair{std::optional(3.0), std::optional(4.0)}}) {
        Point q = with ? Point::with_x_y_z_m_spatial_reference(1, 2, z, m, *with) : Point::with_x_y_z_m(1, 2, z, m);
        EXPECT(q.x() == 1 && q.y() == 2 && q.z() == z && q.m() == m);
        EXPECT(q.spatial_reference().has_value() == (with != nullptr));
        std::optional<Range> zr = z ? std::optional(Range{*z, *z + 1}) : std::nullopt;
        std::optional<Range> mr = m ? std::optional(Range{*m, *m + 1}) : std::nullopt;
        Envelope b = with ? Envelope::with_x_y_z_m_spatial_reference(0, 10, 20, 30, zr, mr, *with)
                          : Envelope::with_x_y_z_m(0, 10, 20, 30, zr, mr);
        EXPECT(b.x_min() == 0 && b.x_max() == 10 && b.y_min() == 20 && b.y_max() == 30);
        EXPECT(b.z_min() == z && b.z_max() == (z ? std::optional(*z + 1) : none));
        EXPECT(b.m_min() == m && b.m_max() == (m ? std::optional(*m + 1) : none));
        EXPECT(b.spatial_reference().has_value() == (with != nullptr));
      }
    }

    // Typed handles pass on their handle; downcast checks the kind.
    GeometryOwned g = std::move(p);
    EXPECT(p.raw() == nullptr);
    EXPECT(g.downcast_ref<Point>()->x() == 1);
    EXPECT(!g.try_downcast_ref<Polygon>().has_value());
    EXPECT_EQ(
        error_of([&] { g.downcast_ref<Polygon>(); }),
        "Conversion between types failed: Tried to convert from GeometryOwned to geometry::polygon::Polygon");
    EXPECT(g.raw() != nullptr);
    EXPECT_EQ(error_of([&] { std::move(g).downcast<Polyline>(); }),
              "Conversion between types failed: Tried to convert from GeometryOwned to "
              "geometry::polyline::Polyline");
    EXPECT(g.raw() == nullptr);  // released by the failed downcast

    GeometryOwned from = GeometryOwned::from_json(R"({"paths":[[[0,0],[3,4]]]})");
    Polyline line = std::move(from).downcast<Polyline>();
    std::string json = line.to_json();
    EXPECT(json.find("\"paths\"") != std::string::npos);
    EXPECT(!error_of([] { GeometryOwned::from_json("{not json"); }).empty());
    // JSON text comes from users: a NUL inside it is unreadable text, not a fatal error.
    EXPECT_EQ(error_of([] { GeometryOwned::from_json(std::string("{\0}", 3)); }),
              "Invalid JSON text: At offset 1: a NUL character");

    // Parts read back through the iterator, in order.
    ImmutablePartIntoIter parts = line.parts().into_iter();
    EXPECT(parts.size() == 1);
    std::optional<ImmutablePart> part = parts.next();
    EXPECT(part.has_value() && part->point_count() == 2 && !part->has_curves());
    EXPECT(!parts.next().has_value());
    ImmutablePointIntoIter points = part->points().into_iter();
    std::vector<double> xs;
    while (std::optional<Point> q = points.next()) xs.push_back(q->x());
    EXPECT(xs == (std::vector<double>{0, 3}));
    EXPECT(!error_of([&] { part->get_point(7); }).empty());

    // A builder fed through mutable parts.
    PolygonBuilder builder = PolygonBuilder::with_spatial_reference(&sr);
    MutablePartCollection rings = MutablePartCollection::with_spatial_reference(&sr);
    MutablePart ring = MutablePart::with_spatial_reference(&sr);
    ring.add_point_x_y(0, 0);
    ring.add_point_x_y_z_m(0, 1, std::nullopt, std::nullopt);
    ring.add_point_x_y(1, 1);
    rings.add_part(ring);
    EXPECT(rings.size() == 1);
    builder.set_parts(rings);
    Polygon polygon = builder.to_geometry().downcast<Polygon>();
    EXPECT(polygon.parts().size() == 1);

    AreaUnit acres = AreaUnit::with_unit_id(AreaUnitId::Acres);
    EXPECT(acres.area_unit_id() == AreaUnitId::Acres);
    EXPECT(acres.to_square_meters(1) > 4046 && acres.to_square_meters(1) < 4047);
    EXPECT(!error_of([] { SpatialReference::with_wkid(123456789); }).empty());
    // Well-known text comes from users: a NUL inside it is refused as
    // unreadable text, not treated as a broken invariant.
    EXPECT_EQ(error_of([] { SpatialReference::with_wktext(std::string("GEOGCS\0", 7)); }),
              "Invalid well-known text: The text contains a NUL character");

    // Two reports during one call: the caller sees the last; the first is released.
    auto keep = [](void* user_data, QX_ErrorHandle e) {
      static_cast<std::vector<QX_ErrorHandle>*>(user_data)->push_back(e);
    };
    std::vector<QX_ErrorHandle> reports;
    QX_ErrorHandler keeper{keep, &reports};
    QX(QX_SpatialReference_create)(123456789, &keeper);
    QX(QX_Geometry_fromJSON)("{bad", &keeper);
    EXPECT(reports.size() == 2);
    if (reports.size() == 2) {
      CallError err;
      write_error(&err.slot(), reports[0]);
      write_error(&err.slot(), reports[1]);
      EXPECT(err.slot()->text().rfind("Invalid JSON text", 0) == 0);
    }

    // A sequence is read into a vector one item at a time; an error stops it.
    int handed = 0;
    Vector v = Vector::try_from_geometries([&]() -> std::optional<GeometryOwned> {
      if (handed == 2) return std::nullopt;
      ++handed;
      return GeometryOwned(Point::with_x_y(handed, 0));
    });
    EXPECT(handed == 2);
    std::vector<double> ds = {1.5, 2.5};
    std::size_t next = 0;
    Vector dv = Vector::try_from_f64s([&]() -> std::optional<double> {
      if (next == ds.size()) return std::nullopt;
      return ds[next++];
    });
    EXPECT(next == 2);
  }
  EXPECT(live_handles() == 0);
}

// Runs `body` in a child process; returns what it printed.
std::string in_child(const std::function<std::string()>& body) {
  int fds[2];
  if (::pipe(fds) != 0) return "pipe failed";
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    std::string out = body();
    if (::write(fds[1], out.data(), out.size()) < 0) _exit(2);
    _exit(0);
  }
  ::close(fds[1]);
  std::string out;
  char buf[512];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return out;
}

void check_loader(const std::string& good, const std::string& lacking, const std::string& null_symbol) {
  // A stored path that does not exist is still the one opened; every later
  // access then reports the poisoned state, even once the path is fixed.
  std::string out = in_child([&] {
    set_library_path("/nonexistent/libvaskelith.so");
    std::string first = fatal_of([] { ffi(); });
    set_library_path(good);
    std::string second = fatal_of([] { ffi(); });
    std::string third = fatal_of([] { environment::init(); });
    std::string fourth = fatal_of([] { environment::init(); });
    return first + "\n" + second + "\n" + third + "\n" + fourth;
  });
  EXPECT_EQ(out,
            "Failed to load vaskelith library at /nonexistent/libvaskelith.so: Could not open library: "
            "/nonexistent/libvaskelith.so: cannot open shared object file: No such file or directory\n"
            "LazyLock instance has previously been poisoned\n"
            "LazyLock instance has previously been poisoned\n"
            "Once instance has previously been poisoned");

  // The first missing name in load order is the one reported.
  out = in_child([&] {
    set_library_path(lacking);
    return fatal_of([] { ffi(); });
  });
  EXPECT_EQ(out, "Failed to load vaskelith library at " + lacking +
                     ": Could not obtain symbol from the library: " + lacking +
                     ": undefined symbol: QX_Segment_getEndPoint");

  // A name that resolves to address 0.
  out = in_child([&] {
    set_library_path(null_symbol);
    return fatal_of([] { ffi(); });
  });
  EXPECT_EQ(out, "Failed to load vaskelith library at " + null_symbol + ": The symbol is NULL");

  // Errors reported without a call's own record go to the library-wide
  // callback, which writes them to stderr and drops them.
  out = in_child([&] {
    set_library_path(good);
    environment::init();
    int fds[2];
    if (::pipe(fds) != 0) return std::string("pipe failed");
    ::fflush(stderr);
    int saved = ::dup(2);
    ::dup2(fds[1], 2);
    QX(QX_Geometry_fromJSON)("{bad", nullptr);
    ::fflush(stderr);
    ::dup2(saved, 2);
    ::close(fds[1]);
    char buf[512];
    ssize_t n = ::read(fds[0], buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
  });
  EXPECT_EQ(
      out,
      "WARNING: Unexpected error occurred in vaskelith and was discarded Invalid JSON text: At offset 1: "
      "expected a member name\n");

  // init_with_library: a missing file stores nothing and loads nothing.
  out = in_child([&] {
    std::optional<IoError> e = init_with_library("/nonexistent/x.so");
    std::string r = e ? e->debug() : "ok";
    ::setenv("GEOMETRY_LIB_PATH", good.c_str(), 1);
    r += "\n" + find_library_path();
    std::optional<IoError> e2 = init_with_library(good);
    r += "\n" + std::string(e2 ? e2->debug() : "ok");
    // Loaded now: a new path changes nothing and succeeds.
    r += "\n" + std::string(init_with_library("/").has_value() ? "err" : "ok");
    return r;
  });
  EXPECT_EQ(out,
            "Custom { kind: NotFound, error: \"Could not find dynamic library at /nonexistent/x.so\" }\n" +
                good + "\nok\nok");

  // Nothing anywhere: the bare name is left to the dynamic loader.
  out = in_child([&] {
    ::unsetenv("GEOMETRY_LIB_PATH");
    ::setenv("GEOMETRY_LIB_PATH", "/nonexistent/libvaskelith.so", 1);
    return find_library_path();
  });
  EXPECT(out == "libvaskelith.so" ||
         out.find("/vaskelith_bin/linux-x86_64/libvaskelith.so") != std::string::npos);
}

// Run from a copy of this program at <root>/a/bin: candidates are created
// from the last to the first, and each time the first existing one must win.
int search_mode(const std::string& root) {
  ::unsetenv("GEOMETRY_LIB_PATH");
  const std::vector<std::string> candidates = {
      root + "/a/bin/libvaskelith.so",
      root + "/a/bin/deps/libvaskelith.so",
      root + "/a/deps/libvaskelith.so",
      root + "/a/lib/libvaskelith.so",
      root + "/a/bin/vaskelith_bin/linux-x86_64/libvaskelith.so",
      root + "/a/vaskelith_bin/linux-x86_64/libvaskelith.so",
      root + "/vaskelith_bin/linux-x86_64/libvaskelith.so",
  };
  for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
    std::string dir = it->substr(0, it->rfind('/'));
    if (std::system(("mkdir -p '" + dir + "' && : > '" + *it + "'").c_str()) != 0) return 3;
    std::string found = find_library_path();
    if (found != *it) {
      std::fprintf(stderr, "search: got %s, want %s\n", found.c_str(), it->c_str());
      return 1;
    }
  }
  // A folder qualifies too, and the variable comes before all of them.
  ::setenv("GEOMETRY_LIB_PATH", (root + "/a").c_str(), 1);
  if (find_library_path() != root + "/a") return 1;
  return 0;
}

void check_search(const char* self) {
  char tmpl[] = "/tmp/binding-search.XXXXXX";
  if (::mkdtemp(tmpl) == nullptr) {
    EXPECT(!"mkdtemp failed");
    return;
  }
  std::string root = tmpl;
  std::string copy = root + "/a/bin/test_binding";
  std::string cmd = "mkdir -p '" + root + "/a/bin' && cp '" + self + "' '" + copy + "' && '" + copy +
                    "' search '" + root + "'; s=$?; rm -rf '" + root + "'; exit $s";
  EXPECT(std::system(cmd.c_str()) == 0);
}

}  // namespace

// A handle whose release the runtime refuses: its destroy asks about a null
// geometry, which the runtime reports as an error.
class Refused : public Handle<Refused, QX_GeometryHandle, fn::QX_Geometry_destroy> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "Refused";
  static void destroy(QX_GeometryHandle, const QX_ErrorHandler* eh) {
    (void)QX(QX_Geometry_getHasZ)(nullptr, eh);
  }
};

QX_GeometryHandle fake_handle(std::uintptr_t n) { return reinterpret_cast<QX_GeometryHandle>(n); }

void check_failed_releases() {
  const std::string message = Refused::release_message() + ": ";
  {
    // Releases inside a container's destructor, where an exception would end
    // the process: the first failure is kept for the end of the call.
    std::vector<Refused> handles;
    for (std::uintptr_t n = 1; n <= 3; ++n) handles.emplace_back(adopt, fake_handle(n));
    Refused moved_over(adopt, fake_handle(4));
    moved_over = std::move(handles.back());
  }
  EXPECT(core::fatal_deferred());
  std::string raised = fatal_of([] { core::raise_deferred_fatal(); });
  EXPECT_EQ(raised.substr(0, message.size()), message);
  EXPECT(!core::fatal_deferred());
  EXPECT_EQ(fatal_of([] { core::raise_deferred_fatal(); }), "");

  // While another failure unwinds, that failure is the one raised.
  try {
    Refused r(adopt, fake_handle(5));
    throw Error(1, "first", "");
  } catch (const Error&) {
  }
  EXPECT(!core::fatal_deferred());
}

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "search") return search_mode(argv[2]);
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s <libvaskelith.so> <library lacking names> <library with a null name>\n",
                 argv[0]);
    return 2;
  }
  check_error_forms();
  check_handle_texts();
  check_loader(argv[1], argv[2], argv[3]);
  check_search(argv[0]);
  set_library_path(argv[1]);
  check_wrappers();
  check_failed_releases();
  return check::report("binding checks passed");
}
