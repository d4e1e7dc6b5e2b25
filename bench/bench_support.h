// Pieces several benchmark files share: a scratch directory for files, the
// library's spelling of a path, and well-spread 64-bit keys.
#ifndef QXBASE_BENCH_BENCH_SUPPORT_H
#define QXBASE_BENCH_BENCH_SUPPORT_H

#include "string/qxString.h"

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

namespace qxbench {

// A directory under the system's temporary directory, made on first use
// and removed with everything in it when the program ends.
inline const std::filesystem::path& scratchDirectory() {
    struct Scratch {
        std::filesystem::path root;
        Scratch() {
            root = std::filesystem::temp_directory_path() /
                   ("qx_bench_" + std::to_string(::getpid()));
            std::filesystem::create_directories(root);
        }
        ~Scratch() {
            std::error_code ec;
            std::filesystem::remove_all(root, ec);
        }
    };
    static Scratch s;
    return s.root;
}

// The library's spelling of a native path.
inline qxString::IString windowsShape(const std::filesystem::path& p) {
    std::string s = p.u8string();
    for (char& c : s)
        if (c == '/') c = '\\';
    return qxString::IString(s.c_str(), qxString::EncodingUTF8);
}

// A bijection on 64-bit words (the splitmix64 finaliser): distinct inputs
// give distinct, well-spread keys.
inline std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

}  // namespace qxbench

#endif
