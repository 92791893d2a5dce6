// Python objects that hold one shared model cell (the geometries, the live
// part and collection views and their iterators): the slots they share,
// written once over the model type.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/cell.hpp"
#include "python/classes/geometry_state.hpp"
#include "python/classes/view_class_members.hpp"
#include "python/pyapi/args.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"

namespace ostrel::py::cell_object {

// The cell a view holds, or a geometry's model (read from its runtime
// geometry first when an operation made it).
template <class M>
model::Cell<M>& cell_of(PyObject* self) {
  if constexpr (geometry_state::kGeometryKind<M>)
    return geometry_state::model_cell<M>(self);
  else
    return unbox<model::Cell<M>>(self);
}

// The element count, read under the lock.
template <class M>
uint64_t locked_len(const model::Cell<M>& cell) {
  auto g = cell.read();
  return g->len();
}

// len() of a view.
template <class M>
Py_ssize_t len_slot(PyObject* self) {
  try {
    return static_cast<Py_ssize_t>(locked_len(cell_of<M>(self)));
  } catch (...) {
    set_python_error_from_current();
    return -1;
  }
}

// str() (and repr() where a class has it): the zorvjson text, written under the lock.
template <class M>
PyObject* zorvjson_str(PyObject* self) {
  return trampoline([&] {
    std::string out;
    {
      auto g = cell_of<M>(self).read();
      g->write_zorvjson(out);
    }
    return to_py(out);
  });
}

// Item access by the mapping slot and by the sequence slot, which hands its
// position on as a Python integer.
template <Ref (*Read)(PyObject* self, PyObject* key)>
PyObject* subscript_slot(PyObject* self, PyObject* key) {
  return trampoline([&] { return Read(self, key); });
}

template <Ref (*Read)(PyObject* self, PyObject* key)>
PyObject* sq_item_slot(PyObject* self, Py_ssize_t i) {
  return trampoline([&] {
    Ref key = check(PyLong_FromSsize_t(i));
    return Read(self, key.get());
  });
}

// Item assignment (and deletion) by the sequence slot, through the mapping slot.
template <int (*Assign)(PyObject* self, PyObject* key, PyObject* value)>
int sq_ass_item_slot(PyObject* self, Py_ssize_t i, PyObject* value) {
  Ref key = Ref::steal(PyLong_FromSsize_t(i));
  if (!key) return -1;
  return Assign(self, key.get(), value);
}

// The iterator of a live view: it shares the view's cell and reads it by
// position at every step, without a snapshot, so items added meanwhile are
// visited and an ended iterator resumes after later additions.
//
// Traits: `Model` (the cell's value); `read(const Model&, position)`, the item
// there or an empty optional past the end; `step(cell, item, position)`, the
// Python object for the item, advancing the position.
template <class Traits>
struct LiveIterator {
  using Model = typename Traits::Model;
  struct State {
    model::Cell<Model> cell;
    uint64_t position = 0;
  };

  static PyObject* next(PyObject* self) {
    return trampoline([&]() -> Ref {
      State& it = unbox<State>(self);
      auto item = [&] {
        auto g = it.cell.read_or_fatal("Lock poisoned");
        return Traits::read(*g, it.position);
      }();
      if (!item) return Ref();  // the end, without an exception
      return Traits::step(it.cell, std::move(*item), it.position);
    });
  }

  static PyObject* iter_self(PyObject* self) { return Py_NewRef(self); }

  static PyTypeObject* type() {
    static PyTypeObject* t = [] {
      static PyType_Slot slots[] = {
          {Py_tp_new, reinterpret_cast<void*>(no_constructor_new)},
          {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<State>)},
          {Py_tp_iter, reinterpret_cast<void*>(iter_self)},
          {Py_tp_iternext, reinterpret_cast<void*>(next)},
          {0, nullptr},
      };
      static PyType_Spec spec = {Traits::kIteratorName, sizeof(Boxed<State>), 0, Py_TPFLAGS_DEFAULT, slots};
      return build_type(&spec);
    }();
    return t;
  }

  // iter() of a view: a new iterator at position 0.
  static PyObject* iter_slot(PyObject* view) {
    return trampoline([&] { return make_boxed<State>(type(), State{cell_of<Model>(view), 0}); });
  }
};

// The five methods that every live view has, with their text signatures.
template <auto Append, auto Insert, auto Remove, auto Pop, auto Clear>
PyMethodDef* view_methods() {
  static PyMethodDef methods[] = {
      fastcall_def<Append>("append", "append($self, value)\n--\n\n"),
      fastcall_def<Insert>("insert", "insert($self, index, value)\n--\n\n"),
      fastcall_def<Remove>("remove", "remove($self, index)\n--\n\n"),
      noargs_def<Pop>("pop", "pop($self)\n--\n\n"),
      noargs_def<Clear>("clear", "clear($self)\n--\n\n"),
      {nullptr, nullptr, 0, nullptr},
  };
  return methods;
}

// What sets one view class apart from the others.
struct ViewClass {
  const char* name;        // dotted, with static storage
  PyMethodDef* methods;    // with static storage
  bool has_len;            // the part views; the collections have no length
  bool has_repr;           // the collections write repr() as str()
  getiterfunc iter;        // null: Python walks the view by item access
};

// The type of a live view over a Cell<M>: no constructor, str(), item access
// and assignment through the mapping and the sequence slots.
template <class M, Ref (*Read)(PyObject*, PyObject*), int (*Assign)(PyObject*, PyObject*, PyObject*)>
PyTypeObject* build_view_type(const ViewClass& c) {
  std::vector<PyType_Slot> slots = {
      {Py_tp_new, reinterpret_cast<void*>(no_constructor_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<model::Cell<M>>)},
      {Py_tp_methods, c.methods},
      {Py_tp_str, reinterpret_cast<void*>(zorvjson_str<M>)},
      {Py_mp_subscript, reinterpret_cast<void*>(subscript_slot<Read>)},
      {Py_mp_ass_subscript, reinterpret_cast<void*>(Assign)},
      {Py_sq_item, reinterpret_cast<void*>(sq_item_slot<Read>)},
      {Py_sq_ass_item, reinterpret_cast<void*>(sq_ass_item_slot<Assign>)},
  };
  if (c.has_len) {
    slots.push_back({Py_mp_length, reinterpret_cast<void*>(len_slot<M>)});
    slots.push_back({Py_sq_length, reinterpret_cast<void*>(len_slot<M>)});
  }
  if (c.has_repr) slots.push_back({Py_tp_repr, reinterpret_cast<void*>(zorvjson_str<M>)});
  if (c.iter) slots.push_back({Py_tp_iter, reinterpret_cast<void*>(c.iter)});
  slots.push_back({0, nullptr});
  // The type copies the slots; the name and the method table stay referenced.
  PyType_Spec spec = {c.name, sizeof(Boxed<model::Cell<M>>), 0, Py_TPFLAGS_DEFAULT, slots.data()};
  return build_type(&spec);
}

}  // namespace ostrel::py::cell_object

namespace ostrel::py {

template <class Self, class M>
PyTypeObject* ViewClassMembers<Self, M>::type() {
  static PyTypeObject* t = Self::View::build();
  return t;
}

template <class Self, class M>
Ref ViewClassMembers<Self, M>::wrap(CellT cell) {
  return make_boxed<CellT>(type(), std::move(cell));
}

template <class Self, class M>
const model::Cell<M>& ViewClassMembers<Self, M>::cell(PyObject* view) {
  return cell_object::cell_of<M>(view);
}

template <class Self, class M>
model::Cell<M> ViewClassMembers<Self, M>::from_py(PyObject* value, bool has_z, bool has_m) {
  return Self::View::from_py(value, has_z, has_m);
}

}  // namespace ostrel::py
