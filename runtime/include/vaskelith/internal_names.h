/* The runtime's exported functions outside the QX_ interface that the module
 * loads, after those of names.h: internal to the two libraries, declared at
 * the end of api.h.  Every one is implemented, so none gets a stub.
 * X(name) is defined by the includer.
 */
X(vaskelith_each_area)
X(vaskelith_each_length)
X(vaskelith_each_distance)
X(vaskelith_each_relation)
X(vaskelith_builder_add_part)
X(vaskelith_builder_take_geometry)
