// A vector of move-only elements moves but must refuse to copy.
#include "qxbase.h"

#include <memory>

void f() {
    qx::vector<std::unique_ptr<int>> v;
    v.push_back(std::make_unique<int>(1));
    qx::vector<std::unique_ptr<int>> w(std::move(v));
    qx::vector<std::unique_ptr<int>> copy(w);
}
