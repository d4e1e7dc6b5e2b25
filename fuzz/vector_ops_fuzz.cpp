// Drives qx::vector with operations decoded from the input and checks it
// against std::vector after every step. The element owns heap memory, so the
// sanitizers see any element that is leaked, destroyed twice or moved wrongly.
#include "qxbase.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

struct Boxed {
    int* p;
    explicit Boxed(int v = 0) : p(new int(v)) {}
    Boxed(const Boxed& o) : p(new int(*o.p)) {}
    Boxed& operator=(const Boxed& o) {
        *p = *o.p;
        return *this;
    }
    ~Boxed() { delete p; }
    int value() const { return *p; }
};

struct Input {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool more() const { return at < size; }
    int byte() { return at < size ? data[at++] : 0; }
};

void check(const qx::vector<Boxed>& v, const std::vector<int>& model) {
    if (v.size() != static_cast<int>(model.size()) || v.capacity() < v.size()) std::abort();
    for (int i = 0; i < v.size(); ++i)
        if (v[i].value() != model[i]) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    qx::vector<Boxed> v;
    std::vector<int> model;
    qx::vector<Boxed> other;
    std::vector<int> otherModel;
    while (in.more()) {
        const int op = in.byte() % 12;
        const int arg = in.byte();
        const int n = static_cast<int>(model.size());
        const int pos = n ? arg % (n + 1) : 0;
        switch (op) {
            case 0:
                v.push_back(Boxed(arg));
                model.push_back(arg);
                break;
            case 1:
                if (n) {
                    v.push_back(v[arg % n]);
                    model.push_back(model[arg % n]);
                }
                break;
            case 2:
                v.insert(v.begin() + pos, Boxed(arg));
                model.insert(model.begin() + pos, arg);
                break;
            case 3: {
                const int count = in.byte() % 20;
                v.insert(v.begin() + pos, count, Boxed(arg));
                model.insert(model.begin() + pos, count, arg);
                break;
            }
            case 4:
                if (pos < n) {
                    v.erase(v.begin() + pos);
                    model.erase(model.begin() + pos);
                }
                break;
            case 5: {
                const int last = pos + (n - pos ? in.byte() % (n - pos + 1) : 0);
                v.erase(v.begin() + pos, v.begin() + last);
                model.erase(model.begin() + pos, model.begin() + last);
                break;
            }
            case 6:
                if (n) {
                    v.pop_back();
                    model.pop_back();
                }
                break;
            case 7:
                v.resize(arg % 64, Boxed(arg));
                model.resize(arg % 64, arg);
                break;
            case 8:
                v.reserve(arg);
                break;
            case 9: {
                // Insert a slice of itself: the source moves as the gap opens.
                const int len = n - pos ? in.byte() % (n - pos + 1) : 0;
                const int at = n ? in.byte() % (n + 1) : 0;
                v.insert(v.begin() + at, v.begin() + pos, v.begin() + pos + len);
                std::vector<int> slice(model.begin() + pos, model.begin() + pos + len);
                model.insert(model.begin() + at, slice.begin(), slice.end());
                break;
            }
            case 10:
                v.swap(other);
                model.swap(otherModel);
                break;
            case 11:
                other = v;
                otherModel = model;
                break;
        }
        check(v, model);
        check(other, otherModel);
    }
    return 0;
}
