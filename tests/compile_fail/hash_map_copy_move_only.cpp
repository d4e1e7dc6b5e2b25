// A hash map of move-only values moves but must refuse to copy.
#include "qxbase.h"

#include <memory>

void f() {
    qx::hash_map<int, std::unique_ptr<int>> a, b;
    a.emplace(1, std::make_unique<int>(5));
    b = a;
}
