// Example host: uses qx::vector<int>, drives a qx::VectorImpl directly with
// an element-operations record of its own, as a component with its own element
// type would, and converts text with the string types.
#include "qxbase.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

// A fixed-size record the host stores by value.
struct Sample {
    int id;
    double weight;
};

void copySample(void* dst, const void* src) {
    new (dst) Sample(*static_cast<const Sample*>(src));
}
void copySamples(void* dst, const void* src, int n) {
    std::memcpy(dst, src, sizeof(Sample) * static_cast<size_t>(n));
}
long long sampleDistance(const void* a, const void* b) {
    return (static_cast<const char*>(a) - static_cast<const char*>(b)) /
           static_cast<long long>(sizeof(Sample));
}

// Trivially destructible: no destroy entries.
const qx::VectorImpl::TypeUtil kSampleOps = {
    copySample, copySamples, nullptr, nullptr, sampleDistance, static_cast<int>(sizeof(Sample)),
};

}  // namespace

int main() {
    qx::vector<int> squares;
    for (int i = 1; i <= 10; ++i) squares.push_back(i * i);
    squares.erase(squares.begin() + 2);
    squares.insert(squares.begin(), 0);
    int sum = 0;
    for (int s : squares) sum += s;
    std::printf("qx::vector<int>: %d elements, capacity %d, sum %d\n", squares.size(),
                squares.capacity(), sum);

    qx::VectorImpl samples(&kSampleOps);
    for (int i = 0; i < 40; ++i) {
        Sample s{i, i * 0.5};
        samples.append(&s);
    }
    Sample marker{-1, 0.0};
    samples.insert(samples.data(), &marker);
    const Sample* first = static_cast<const Sample*>(samples.data());
    qx::VectorImpl copy(samples);
    copy.eraseBack();
    std::printf("VectorImpl of Sample: %d elements, capacity %d; copy has %d, capacity %d\n",
                samples.size(), samples.capacity(), copy.size(), copy.capacity());

    // Text arrives as UTF-8, is kept as UTF-16 and handed back as 8-bit text.
    bool exact = false;
    qxString::IString title("Caf\xC3\xA9 \xE2\x98\x85 plan", qxString::EncodingUTF8, &exact);
    title.replace(qxString::IString(QX_W("plan")), qxString::IString(QX_W("layout")));
    qxString::CString label("layer");
    label += '-';
    label.append("07").toUpperCase();
    std::printf("IString: %u units, UTF-8 \"%s\"; CString \"%s\"\n", title.length(),
                title.asUTF8(), label.asChar());

    const bool ok = squares.size() == 10 && sum == 376 && samples.size() == 41 && first->id == -1 &&
                    copy.size() == 40 && copy.capacity() == 41 && exact && title.length() == 13 &&
                    label == "LAYER-07";
    std::printf("built from %s\n", gCutIdentifier);
    std::printf("%s\n", ok ? "ok" : "unexpected result");
    return ok ? 0 : 1;
}
