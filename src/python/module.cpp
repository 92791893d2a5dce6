// Module entry and import-time work.
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "binding/loader.hpp"
#include "python/classes/factory.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"

namespace ostrel::py {

namespace {

constexpr const char* kModuleName = "ostrel_geometry";

// The module's names, in registration order, which is the order of each
// `__all__`.  These arrays are the one list: the definitions register
// themselves with their subsystems (pyapi/types.hpp), start-up refuses a
// listed name without a definition and a definition that is not listed, and
// the start-up tests read the arrays from this file.
constexpr const char* kFunctions[] = {
    "area_collection",
    "boundary_collection",
    "buffer_collection",
    "clip_collection",
    "contains_collection",
    "crosses_collection",
    "cut_collection",
    "densify_collection",
    "difference_collection_minus_geom",
    "difference_geom_minus_collection",
    "disjoint_from_collection",
    "distances_from_collection",
    "generalize_collection",
    "get_cache_limit",
    "intersection_collection",
    "intersections_collection",
    "intersects_collection",
    "is_simple_collection",
    "label_point_collection",
    "length_collection",
    "move_relative_collection",
    "normalize_central_meridian_collection",
    "overlaps_collection",
    "remove_m_collection",
    "remove_z_and_m_collection",
    "remove_z_collection",
    "rotate_collection",
    "scale_collection",
    "set_cache_limit",
    "set_m_collection",
    "set_z_and_m_collection",
    "set_z_collection",
    "simplify_collection",
    "touches_collection",
    "within_collection",
};

constexpr const char* kClasses[] = {
    "AreaUnit", "AreaUnitId", "BezierCurve", "CircularArc", "Coord",    "CurveMultipart",
    "CurvePart", "CurveSegment", "EllipticArc", "Envelope", "GeodeticCurveType", "Geometry",
    "GeometryExtendOptions", "Linear", "LinearUnitId", "MultiPoint", "Multipart", "Part",
    "Point", "Polygon", "Polyline", "Segment", "SpatialReference",
};

constexpr const char* kProjectionFunctions[] = {
    "get_projection_engine_dir", "get_transformations", "project_collection",
    "project_collection_with_transformation", "set_projection_engine_dir",
};

constexpr const char* kProjectionClasses[] = {"DatumTransformation"};

constexpr const char* kUtilsFunctions[] = {
    "is_clockwise", "wkb_to_zorvjson_dict", "wkb_to_geojson_dict", "wkt_to_zorvjson_dict", "wkt_to_geojson_dict",
};

using Names = std::span<const char* const>;

// The top-level names are in byte-wise ascending order, and stay so.
constexpr bool ascending(Names names) {
  for (size_t i = 1; i < names.size(); ++i) {
    if (std::string_view(names[i - 1]) >= std::string_view(names[i])) return false;
  }
  return true;
}
static_assert(ascending(kFunctions) && ascending(kClasses));

struct Submodule {
  const char* name;
  const char* qualified;
  const char* doc;
  Names functions;
  Names classes;
};

const Submodule kSubmodules[] = {
    {"projection", "ostrel_geometry.projection", "Projection and datum transformation utilities for Ostrel geometries",
     kProjectionFunctions, kProjectionClasses},
    {"utils", "ostrel_geometry.utils", "Utility functions for Ostrel geometries", kUtilsFunctions, {}},
};

bool contains(Names names, std::string_view name) {
  for (const char* n : names) {
    if (name == n) return true;
  }
  return false;
}

// Whether the list has `name` among the functions (or classes) of `module`.
bool listed(std::string_view module, std::string_view name, bool function) {
  if (module == kModuleName) return contains(function ? Names(kFunctions) : Names(kClasses), name);
  for (const Submodule& sub : kSubmodules) {
    if (module == sub.qualified) return contains(function ? sub.functions : sub.classes, name);
  }
  return false;
}

// A definition that is not listed would silently be missing from the module.
void check_every_definition_listed() {
  auto refuse = [](const char* module, const char* name) {
    fatal(std::string(module) + "." + name + " is defined but not listed in the module");
  };
  for (const FunctionEntry& f : registered_functions()) {
    if (!listed(f.module, f.def.ml_name, true)) refuse(f.module, f.def.ml_name);
  }
  for (const ClassEntry& c : registered_classes()) {
    if (!listed(c.module, c.name, false)) refuse(c.module, c.name);
  }
}

// Appends `name` to the module's __all__, creating the list on first use.
void add_to_all(PyObject* module, const char* name) {
  PyObject* dict = PyModule_GetDict(module);
  PyObject* all = PyDict_GetItemString(dict, "__all__");
  if (!all) {
    Ref list = check(PyList_New(0));
    check_status(PyDict_SetItemString(dict, "__all__", list.get()));
    all = list.get();
  }
  Ref text = check(PyUnicode_FromString(name));
  check_status(PyList_Append(all, text.get()));
}

void add_object(PyObject* module, const char* name, PyObject* obj) {
  check_status(PyModule_AddObjectRef(module, name, obj));
  add_to_all(module, name);
}

void add_function(PyObject* module, const char* qualified, const char* name) {
  const FunctionEntry& entry = registered_function(qualified, name);
  Ref modname = check(PyUnicode_FromString(qualified));
  Ref fn = check(PyCFunction_NewEx(const_cast<PyMethodDef*>(&entry.def), nullptr, modname.get()));
  add_object(module, name, fn.get());
}

void add_class(PyObject* module, const char* qualified, const char* name) {
  PyTypeObject* type = registered_class(qualified, name).build();
  add_object(module, name, (PyObject*)type);
}

void register_submodule(PyObject* parent, const Submodule& sub) {
  Ref module = check(PyModule_New(sub.name));
  Ref doc = check(PyUnicode_FromString(sub.doc));
  check_status(PyObject_SetAttrString(module.get(), "__doc__", doc.get()));
  for (const char* f : sub.functions) add_function(module.get(), sub.qualified, f);
  for (const char* c : sub.classes) add_class(module.get(), sub.qualified, c);
  Ref sys = check(PyImport_ImportModule("sys"));
  Ref modules = check(PyObject_GetAttrString(sys.get(), "modules"));
  check_status(PyObject_SetItem(modules.get(), check(PyUnicode_FromString(sub.qualified)).get(), module.get()));
  add_object(parent, sub.name, module.get());
}

void write_stdout(const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(1, p, left);
    if (n <= 0) break;
    p += n;
    left -= (size_t)n;
  }
}

// Looks for the runtime library directly under sys.prefix and loads it when
// it is there.  Every other outcome is only a warning: the runtime is looked
// for again at the first call that needs it.
void try_set_vaskelith_load_path() {
  std::string prefix;
  {
    Ref sys = Ref::steal(PyImport_ImportModule("sys"));
    Ref value = sys ? Ref::steal(PyObject_GetAttrString(sys.get(), "prefix")) : Ref();
    const char* text = value && PyUnicode_Check(value.get()) ? PyUnicode_AsUTF8(value.get()) : nullptr;
    if (text) prefix = text;
    if (!text) {
      PyErr_Clear();
      write_stdout("Warning: could not find sys prefix while loading ostrelmod module\n");
      return;
    }
  }
  std::string path = prefix + "/libvaskelith.so";
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    write_stdout("Warning: was unable to find vaskelith lib in sys.prefix.\n Path: " + path + "\n");
    return;
  }
  if (S_ISREG(st.st_mode)) {
    if (auto err = rt::init_with_library(path)) {
      write_stdout("Warning: Failed to load vaskelith lib at " + path + ": " + err->debug() + "\n");
    }
    return;
  }
  write_stdout("Warning: vaskelith lib at " + path + " was not a file\n");
}

const std::string& version_text() {
  static const std::string version = [] {
    std::string v = OSTREL_VERSION;
    auto replace_all = [&v](const std::string& from, const std::string& to) {
      for (size_t at = v.find(from); at != std::string::npos; at = v.find(from, at + to.size())) {
        v.replace(at, from.size(), to);
      }
    };
    replace_all("-alpha", "a");
    replace_all("-beta", "b");
    replace_all("-rc", "rc");
    return v;
  }();
  return version;
}

void module_init(PyObject* module) {
  try_set_vaskelith_load_path();
  Ref version = check(PyUnicode_FromString(version_text().c_str()));
  add_object(module, "__version__", version.get());
  Ref geometry = check(PyObject_GetAttrString(module, "Geometry"));
  reinterpret_cast<PyTypeObject*>(geometry.get())->tp_new = &geom_factory_new;
  PyType_Modified(reinterpret_cast<PyTypeObject*>(geometry.get()));
}

void module_body(PyObject* module) {
  check_every_definition_listed();
  for (const char* f : kFunctions) add_function(module, kModuleName, f);
  for (const char* c : kClasses) add_class(module, kModuleName, c);
  for (const Submodule& sub : kSubmodules) register_submodule(module, sub);
  module_init(module);
}

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    kModuleName,
    "A high-performance Python geographic geometry library for the Ostrel platform.",
    0,  // no per-module state; non-negative so that every import from another interpreter reaches our check
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

PyObject* the_module = nullptr;
int64_t the_interpreter = -1;

}  // namespace

}  // namespace ostrel::py

extern "C" __attribute__((visibility("default"))) PyObject* PyInit_ostrel_geometry() {
  using namespace ostrel::py;
  return trampoline([]() -> Ref {
    int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (the_interpreter != -1 && the_interpreter != id) {
      raise(PyExc_ImportError,
            "ostrel_geometry does not support being initialized more than once per process, "
            "nor in more than one interpreter");
    }
    the_interpreter = id;
    if (the_module) return Ref::borrow(the_module);
    Ref module = check(PyModule_Create(&module_def));
    module_body(module.get());
    the_module = Ref::borrow(module.get()).release();
    return module;
  });
}
