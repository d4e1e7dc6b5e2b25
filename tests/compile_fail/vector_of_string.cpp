// The short-string buffer points into the string object: not relocatable.
#include "qxbase.h"

#include <string>

void f() {
    qx::vector<std::string> v;
    v.push_back("x");
}
