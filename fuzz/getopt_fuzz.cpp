// Runs the command-line parser over argument vectors cut from the input: the
// first byte picks the way in (bit 0: no leading dash needed; bits 1-2: the
// vector, 8-bit or the main() form), the rest is cut at NUL bytes into
// arguments. A fixed table declares every argument type; the file checks are
// overridden so that nothing touches the disk. Checks:
//  - every getOpt takes at least one argument and stops only at the end or
//    right after a "--"; afterwards it stays null, even after initialize;
//  - a result's option is declared, its arguments fit the slot types (bool
//    stored as 0 or 1, numbers start as the rules say, "-" never for a plain
//    input or output file, names the validators refuse never) and their
//    count fits the slots;
//  - every error message starts with one of the parser's openings, names the
//    argument it stopped at or a declared option, and parsing resumes after
//    resetError;
//  - each option's shortest name selects it, and usage texts can be built.
#include "os/app/qxGetOpt.h"

#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using fuzzcheck::expect;
using fuzzcheck::fail;
using qxOS::GetOpt;
using qxString::IString;

struct Decl {
    const char* spec;
    const char* types;
};
const Decl kTable[] = {
    {"v|verbose", nullptr},
    {"version", "bool"},
    {"ab", "int"},
    {"abc", "float"},
    {"s|string", "string"},
    {"in", "inputfile"},
    {"ind", "inputfile-"},
    {"out", "outputfile"},
    {"outd", "outputfile-"},
    {"io", "inoutfile"},
    {"dir", "directory"},
    {"seq", "sequence"},
    {"seqi", "sequence int ? string"},
    {"opt", "int ? int float"},
    {"x", "bool int  float string ? outputfile- sequence"},
    {"nothing", "unknown words"},
};

// Name checks only: a name with "bad" in it fails.
class NoDisk : public GetOpt {
public:
    qxUtil::Error check(const IString& arg) const {
        if (qxUtil::Error e = validFileName(arg)) return e;
        if (!std::strstr(arg.asUTF8(), "bad")) return qxUtil::Error();
        return qxUtil::Error(1, "%s is bad.", arg.asUTF8());
    }
    qxUtil::Error validInputFile(const IString& a) const override { return check(a); }
    qxUtil::Error validOutputFile(const IString& a) const override { return check(a); }
    qxUtil::Error validDirectory(const IString& a) const override { return check(a); }
};

std::string u8(const IString& s) {
    return s.asUTF8();
}

bool startsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

bool digit(char c) {
    return c >= '0' && c <= '9';
}

// The slot codes of a type list, as the parser reads it.
std::vector<int> codes(const char* types) {
    static const char* const words[] = {"bool",      "int",        "float",      "string",
                                        "inputfile", "inputfile-", "outputfile", "outputfile-",
                                        "inoutfile", "directory",  "sequence",   "?"};
    std::vector<int> out;
    std::string all = types ? types : "", word;
    for (size_t i = 0; i <= all.size(); ++i) {
        if (i < all.size() && all[i] != ' ') {
            word += all[i];
            continue;
        }
        for (int c = 0; c < 12; ++c)
            if (word == words[c]) out.push_back(c);
        word.clear();
    }
    return out;
}

void checkArgs(const GetOpt& p, const GetOpt::result* r, const std::vector<int>& slots) {
    const int n = p.getNumArguments(r);
    int required = 0, all = 0;
    bool optional = false, sequence = false;
    for (int c : slots) {
        optional |= c == GetOpt::kOptional;
        sequence |= c == GetOpt::kSequence;
        if (c == GetOpt::kOptional) continue;
        ++all;
        if (!optional) ++required;
    }
    if (sequence) return;  // a sequence stores any number of arguments
    expect(n >= required && n <= all, "argument count does not fit the slots");
    int i = 0;
    for (int c : slots) {
        if (c == GetOpt::kOptional) continue;
        if (i >= n) break;
        const std::string a = u8(p.getResultArg(r, i++));
        switch (c) {
            case GetOpt::kBool:
                expect(a == "0" || a == "1", "bool not stored as 0 or 1");
                break;
            case GetOpt::kInt:
                expect(digit(a[0]) || (a.size() > 1 && a[0] == '-' && digit(a[1])),
                       "integer accepted without a leading digit");
                break;
            case GetOpt::kFloat: {
                size_t k = a[0] == '-' ? 1 : 0;
                if (a.size() - k > 1 && a[k] == '.') ++k;
                expect(k < a.size() && digit(a[k]), "float accepted without a digit");
                break;
            }
            case GetOpt::kInputFile:
            case GetOpt::kOutputFile:
                expect(a != "-", "\"-\" accepted as a file name");
                expect(a.find("bad") == std::string::npos, "rejected file accepted");
                break;
            case GetOpt::kInOutFile:  // "-" goes to the validators
            case GetOpt::kDirectory:
            case GetOpt::kInputFileOrDash:
            case GetOpt::kOutputFileOrDash:
                expect(a == "-" || a.find("bad") == std::string::npos, "rejected file accepted");
                break;
            default:
                break;
        }
    }
}

void checkError(const GetOpt& p, const std::string& front) {
    const std::string e = u8(p.getError());
    if (e == "[ encountered outside of a sequence." ||
        e == "] encountered outside of a sequence.") {
        expect(front == e.substr(0, 1), "bracket message for another argument");
        return;
    }
    for (const char* head :
         {"Malformed option: no leading dash: ", "Malformed option: no option specified: ",
          "Option does not exist or is ambiguous: "})
        if (startsWith(e, head)) {
            expect(e.substr(std::strlen(head)) == front, "message names another argument");
            return;
        }
    const std::string insufficient = "Insufficient arguments when processing option: ";
    const std::string processing = "While processing option: -";
    std::string name;
    if (startsWith(e, insufficient)) {
        name = e.substr(insufficient.size(), e.find('\n') - insufficient.size());
        const int i = p.findOption(name.c_str());
        expect(i >= 0, "insufficient arguments for an undeclared option");
        expect(e.substr(e.find('\n')) ==
                   "\nUsage:\n" + u8(const_cast<GetOpt&>(p).getOptionUsage(p.getOption(i), false)),
               "insufficient arguments without the usage text");
    } else if (startsWith(e, processing)) {
        name = e.substr(processing.size(),
                        e.find_first_of(" \n", processing.size()) - processing.size());
    } else {
        fail(("unknown message: " + e).c_str());
    }
    const int i = p.findOption(name.c_str());
    if (i < 0 || p.getOptionName(p.getOption(i)).c_str() != name)
        fail(("message names an undeclared option: " + e).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 4096) return 0;
    const unsigned mode = data[0];
    std::vector<std::string> words(1);
    for (size_t i = 1; i < size; ++i)
        if (data[i] == 0)
            words.emplace_back();
        else
            words.back() += static_cast<char>(data[i]);

    NoDisk p;
    std::vector<std::vector<int>> slots;
    for (const Decl& d : kTable) {
        expect(p.addOption(d.spec, d.types) == static_cast<int>(slots.size()), "declaring failed");
        slots.push_back(codes(d.types));
    }
    expect(p.addOption("v|verbose", "int") == -1, "a name declared twice");
    p.needLeadingDash(!(mode & 1));

    std::vector<const char*> argv = {"prog"};
    for (const std::string& w : words) argv.push_back(w.c_str());
    const int count = static_cast<int>(words.size());
    switch ((mode >> 1) & 3) {
        case 0: {
            qx::vector<IString> v;
            for (const std::string& w : words)
                v.push_back(IString(w.c_str(), qxString::EncodingUTF8));
            p.initialize(v);
            break;
        }
        case 1:
            p.initialize(count, argv.data() + 1);
            break;
        default: {
            std::vector<char*> mainArgv;
            for (const std::string& w : words) mainArgv.push_back(const_cast<char*>(w.c_str()));
            mainArgv.insert(mainArgv.begin(), const_cast<char*>("prog"));
            mainArgv.push_back(nullptr);
            if (!p.initializeFromMain(count + 1, mainArgv.data())) {
                expect(p.hasErrors() && !p.getError().isEmpty(), "UTF-8 failure without message");
                qx::vector<IString> rest;
                p.remaining(rest);
                expect(rest.empty() && !p.getOpt(), "arguments queued after a failure");
                p.resetError();
                p.initialize(count, argv.data() + 1);
            }
        }
    }

    qx::vector<IString> before, after;
    p.remaining(before);
    expect(before.size() == count, "initialize dropped arguments");
    for (int steps = 0;; ++steps) {
        expect(steps <= count, "getOpt makes no progress");
        const GetOpt::result* r = p.getOpt();
        p.remaining(after);
        if (r) {
            expect(p.getCurrentResult() == r && !p.hasErrors(), "result and state disagree");
            const int i = p.getResultIndex(r);
            expect(i >= 0 && i < p.getNumOptions(), "result of an undeclared option");
            expect(p.getResultName(r) == p.getOptionName(p.getOption(i)), "result name");
            checkArgs(p, r, slots[i]);
            expect(after.size() < before.size(), "an option took no argument");
        } else if (p.hasErrors()) {
            checkError(p, u8(before[0]));
            expect(after.size() < before.size(), "an error took no argument");
            expect(!p.getCurrentResult(), "current result after an error");
            p.resetError();
        } else {
            expect(before.empty() || (u8(before[0]) == "--" && after.size() == before.size() - 1),
                   "stopped before the end without a \"--\"");
            break;
        }
        before.swap(after);
    }
    expect(!p.getOpt() && !p.hasErrors(), "getOpt goes on after the end");
    if (!before.empty()) {  // stopped at "--": for good
        p.initialize(count, argv.data() + 1);
        expect(!p.getOpt() && !p.hasErrors(), "getOpt goes on after \"--\"");
    }

    for (int i = 0; i < p.getNumOptions(); ++i) {
        const GetOpt::option* o = p.getOption(i);
        const qxString::CString shortest = p.getOptionShortestName(o);
        expect(startsWith(p.getOptionName(o).c_str(), shortest.c_str()), "shortest name");
        expect(p.findOption(shortest.c_str()) == i, "the shortest name selects another option");
        (void)p.getOptionTitle(o);
        (void)p.getOptionUsage(o, true);
    }
    for (const std::string& w : words) {
        const int i = p.findOption(w.c_str());
        expect(i >= -1 && i < p.getNumOptions(), "findOption out of range");
    }
    qx::vector<int> sorted;
    p.getSortedOptions(sorted);
    expect(sorted.size() == p.getNumOptions(), "sorted options");
    return 0;
}
