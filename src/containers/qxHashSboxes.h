// Substitution tables of the library's hash functions (internal).
#ifndef QXBASE_CONTAINERS_QXHASHSBOXES_H
#define QXBASE_CONTAINERS_QXHASHSBOXES_H

namespace qx {
namespace detail {

// kHashSbox[0..3] are the boxes S1..S4.
extern const unsigned int kHashSbox[4][256];

}  // namespace detail
}  // namespace qx

#endif
