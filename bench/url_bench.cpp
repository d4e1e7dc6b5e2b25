// Parsing URLs against uriparser, on the same 1,000 texts in the same run:
//
//     url_parse/mix/<qx|uriparser>/1000
//         qxOS::URL's constructor and destructor against uriParseSingleUriA
//         and uriFreeUriMembersA, over 400 http and https URLs (ports,
//         queries, fragments, a space or '%' now and then), 300 file URLs
//         and 300 plain paths (half Windows-shaped, half POSIX-shaped)
//
// uriparser refuses the Windows-shaped paths at their first '\' (a
// character no URI may hold); that is its cost for them, and it is counted.
// Without uriparser the qx side still runs, unpaired.
#include "os/files/qxURL.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#ifdef QXBASE_BENCH_HAVE_URIPARSER
#    include <uriparser/Uri.h>
#endif

namespace {

constexpr int kTexts = 1000;

const std::vector<std::string>& texts() {
    static const std::vector<std::string> all = [] {
        std::mt19937 random(42);
        auto pick = [&random](std::initializer_list<const char*> words) {
            return std::string(words.begin()[random() % words.size()]);
        };
        auto number = [&random](unsigned limit) { return std::to_string(random() % limit); };
        std::vector<std::string> v;
        for (int i = 0; i < kTexts; ++i) {
            std::string t;
            const int kind = i % 10;
            const std::string dir = pick({"docs", "projects", "src", "Users", "shared", "archive"});
            const std::string file = pick({"index", "report", "plan", "main", "notes", "data"}) +
                                     number(100) + pick({".html", ".txt", ".cpp", ".json", ""});
            if (kind < 4) {
                t = pick({"http", "https", "HTTP"}) + "://" +
                    pick({"www.example.com", "Intranet.Local", "10.0.0.7", "build-server"});
                if (random() % 3 == 0) t += ":" + number(65536);
                t += "/" + dir + "/" + pick({"v1", "2024", "team"}) + "/" + file;
                if (random() % 2) t += "?id=" + number(10000) + "&q=" + pick({"a", "abc", "x%20y"});
                if (random() % 3 == 0) t += "#" + pick({"top", "section-2", "f"});
            } else if (kind < 7) {
                t = "file:///" + pick({"C:", "D:", ""}) + "/" + dir + "/" +
                    pick({"my files", "work", "tmp"}) + "/" + file;
            } else if (kind < 9 && kind % 2) {
                t = pick({"C:", "D:", "E:"}) + "\\" + dir + "\\" + pick({"Documents", "work"}) +
                    "\\" + file;
            } else {
                t = "/" + pick({"home/user", "var/lib", "opt"}) + "/" + dir + "/" + file;
            }
            v.push_back(t);
        }
        return v;
    }();
    return all;
}

void qxParse(benchmark::State& state) {
    std::vector<qxString::CString> in;
    for (const std::string& t : texts()) in.emplace_back(t.c_str());
    for (auto _ : state) {
        for (const qxString::CString& t : in) {
            const qxOS::URL url(t);
            benchmark::DoNotOptimize(url.getPort());
        }
    }
    state.SetItemsProcessed(state.iterations() * kTexts);
}

#ifdef QXBASE_BENCH_HAVE_URIPARSER
void uriparserParse(benchmark::State& state) {
    const std::vector<std::string>& in = texts();
    for (auto _ : state) {
        for (const std::string& t : in) {
            UriUriA uri;
            const char* errorPos = nullptr;
            if (uriParseSingleUriA(&uri, t.c_str(), &errorPos) == URI_SUCCESS) {
                benchmark::DoNotOptimize(uri.portText.first);
                uriFreeUriMembersA(&uri);
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kTexts);
}
#else
constexpr qxbench::Fn uriparserParse = nullptr;
#endif

const bool g_registered = [] {
    qxbench::registerSides("url_parse", "mix", {{"qx", qxParse}, {"uriparser", uriparserParse}},
                           {kTexts});
    return true;
}();

}  // namespace
