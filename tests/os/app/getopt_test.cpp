// The command-line parser: lookup by name and prefix, the dash rules, every
// argument type with its messages, optional slots, sequences, file checks on
// a scratch directory, overridden validators and the usage texts.
#include "scratch_dir.h"
#include "os/app/qxGetOpt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qxOS::GetOpt;
using qxString::IString;
using Args = std::vector<std::string>;

std::string u8(const IString& s) {
    return s.asUTF8();
}

std::vector<std::string> texts(const qx::vector<IString>& v) {
    std::vector<std::string> out;
    for (const IString& s : v) out.push_back(u8(s));
    return out;
}

std::vector<std::string> rest(const GetOpt& p) {
    qx::vector<IString> v(3, IString(QX_W("stale")));
    p.remaining(v);
    return texts(v);
}

// Every option getOpt hands out as "name(arg,arg)", then "! message" for an error.
std::string parse(GetOpt& p, const Args& args) {
    qx::vector<IString> v;
    for (const std::string& a : args) v.push_back(IString(a.c_str(), qxString::EncodingUTF8));
    p.initialize(v);
    std::string out;
    while (const GetOpt::result* r = p.getOpt()) {
        EXPECT_EQ(p.getCurrentResult(), r);
        EXPECT_EQ(p.getOptionIndex(p.getResultOption(r)), p.getResultIndex(r));
        out += (out.empty() ? "" : " ") + std::string(p.getResultName(r).c_str()) + "(";
        for (int i = 0; i < p.getNumArguments(r); ++i)
            out += (i ? "," : "") + u8(p.getResultArg(r, i));
        out += ")";
    }
    if (p.hasErrors()) out += (out.empty() ? "! " : " ! ") + u8(p.getError());
    return out;
}

struct Case {
    Args args;
    std::string expected;
};

void expectAll(GetOpt& p, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        p.resetError();
        EXPECT_EQ(parse(p, c.args), c.expected) << "first argument: " << c.args[0];
    }
}

const std::string kWhile = "While processing option: -";

TEST(GetOptLookup, ExactPrefixAmbiguousAndExtraNames) {
    GetOpt p;
    for (const char* n : {"verbose", "version", "ab", "abc", "x|extra"}) p.addOption(n, nullptr);
    const std::vector<std::pair<const char*, int>> finds = {
        {"verbose", 0}, {"verb", 0},     {"vers", 1}, {"ver", -1},  {"v", -1},
        {"a", 3},       {"ab", 2},       {"abc", 3},  {"abcd", -1}, {"x", 4},
        {"ext", 4},     {"Verbose", -1}, {"", -1},    {"q", -1}};
    for (const auto& f : finds) EXPECT_EQ(p.findOption(f.first), f.second) << f.first;
    expectAll(
        p, {{{"--verbose", "-verb", "-a", "-ab", "-x"}, "verbose() verbose() abc() ab() extra()"},
            {{"-ver", "-ab"}, "! Option does not exist or is ambiguous: -ver"}});
    EXPECT_EQ(rest(p), Args{"-ab"});

    GetOpt q;
    EXPECT_EQ(q.addOption("v|verbose", nullptr), 0);
    EXPECT_EQ(q.addOption("v|verbose", "int"), -1);
    EXPECT_EQ(q.addOption("v|version", nullptr), 1);  // only the extra name clashes
    EXPECT_EQ(q.getNumOptions(), 2);
    EXPECT_EQ(parse(q, {"-v", "-versi"}), "verbose() version()");
}

TEST(GetOptParse, StopsAtDoubleDashAndErrors) {
    GetOpt p;
    p.addOption("a", nullptr);
    EXPECT_EQ(parse(p, {"-zz", "-a"}), "! Option does not exist or is ambiguous: -zz");
    EXPECT_EQ(rest(p), Args{"-a"});
    EXPECT_EQ(parse(p, {"-a"}), "! Option does not exist or is ambiguous: -zz");  // still failed
    p.resetError();
    EXPECT_FALSE(p.hasErrors());
    EXPECT_EQ(u8(p.getError()), "Option does not exist or is ambiguous: -zz");
    EXPECT_NE(p.getOpt(), nullptr);
    EXPECT_EQ(u8(p.getError()), "");
    p.initialize(1, std::vector<const char*>{"-a"}.data());
    p.abort();
    EXPECT_EQ(p.getOpt(), nullptr);
    EXPECT_EQ(p.getCurrentResult(), nullptr);
    EXPECT_TRUE(p.hasErrors());

    p.resetError();
    EXPECT_EQ(parse(p, {"-a", "--", "-a", "x"}), "a()");
    EXPECT_EQ(rest(p), (Args{"-a", "x"}));
    EXPECT_EQ(parse(p, {"-a"}), "");  // for good
    EXPECT_EQ(rest(p), Args{"-a"});
}

TEST(GetOptParse, LeadingDash) {
    GetOpt p;
    p.addOption("a", nullptr);
    expectAll(p, {{{"x"}, "! Malformed option: no leading dash: x"},
                  {{"["}, "! [ encountered outside of a sequence."},
                  {{"-a", "]"}, "a() ! ] encountered outside of a sequence."},
                  {{"-"}, "! Malformed option: no option specified: -"},
                  {{""}, "! Malformed option: no option specified: "},
                  {{"---a"}, "! Option does not exist or is ambiguous: ---a"}});
    p.needLeadingDash(false);
    ASSERT_FALSE(p.getNeedLeadingDash());
    expectAll(p, {{{"a", "-a", "--a"}, "a() a() a()"},
                  {{"["}, "! Option does not exist or is ambiguous: ["}});
}

TEST(GetOptParse, ArgumentTypes) {
    GetOpt p;
    for (const char* n : {"b", "i", "f", "s"}) p.addOption(n, n);  // only the type words count
    p.addOption("bool", "bool");
    p.addOption("int", "int");
    p.addOption("float", "float");
    p.addOption("string", "string");
    std::vector<Case> cases = {
        {{"-bool", "yes", "-bool", "off", "-bool", "1", "-bool", "false", "-bool", "on"},
         "bool(1) bool(0) bool(1) bool(0) bool(1)"},
        {{"-int", "12abc", "-int", "-5", "-int", "0"}, "int(12abc) int(-5) int(0)"},
        {{"-float", ".5", "-float", "-.5", "-float", "-1e3", "-float", "7x"},
         "float(.5) float(-.5) float(-1e3) float(7x)"},
        {{"-string", "-x", "-string", ""}, "string(-x) string()"},
        {{"-b", "-i"}, "b() i()"}};
    for (const char* bad : {"Yes", "2", ""})
        cases.push_back(
            {{"-bool", bad},
             "! " + kWhile + "bool\n  Expected a boolean type, got: " + bad +
                 "\n    valid boolean types are: 1, 0, true,  false, yes, no, on, off."});
    for (const char* bad : {"-", "-x", "x1", "", "+1"})
        cases.push_back({{"-int", bad}, "! " + kWhile + "int\n  Expected an integer, got: " + bad});
    for (const char* bad : {".", "-.", "-", "", ".x", "e1", "--1"})
        cases.push_back({{"-float", bad},
                         "! " + kWhile + "float\n  Expected a floating point value, got: " + bad});
    expectAll(p, cases);
}

TEST(GetOptParse, OptionalSlotsAndResults) {
    GetOpt p;
    const int n = p.addOption("n", "int ? int");
    p.addOption("m", nullptr);
    p.addOption("o", "? string string");
    p.addOptionUsage(n, QX_W("  Count."));
    expectAll(p, {{{"-n", "5", "-m"}, "n(5) m()"},
                  {{"-n", "5", "6", "-m"}, "n(5,6) m()"},
                  {{"-n", "-3", "-4"}, "n(-3) ! Option does not exist or is ambiguous: -4"},
                  {{"-n", "5", "."}, "n(5) ! Malformed option: no leading dash: ."},
                  {{"-o", "-m"}, "o() m()"},
                  {{"-o", "x"}, "o(x)"},
                  {{"-n"},
                   "! Insufficient arguments when processing option: n\nUsage:\n"
                   "  -n integer ? integer\n    Count.\n"}});

    std::vector<const qx::WChar*> wide = {QX_W("-n"), QX_W("7"), QX_W("8"), QX_W("rest")};
    p.resetError();
    p.initialize(4, wide.data());
    const GetOpt::result* r = p.getOpt();
    ASSERT_NE(r, nullptr);
    qx::vector<IString> args;
    p.getResultArgs(r, args);
    EXPECT_EQ(texts(args), (Args{"7", "8"}));
    EXPECT_EQ(p.getResultIndex(r), n);
    EXPECT_EQ(rest(p), Args{"rest"});
}

TEST(GetOptParse, Sequences) {
    GetOpt p;
    p.addOption("s", "sequence");
    p.addOption("t", "sequence int");
    p.addOption("a", nullptr);
    const std::string tooMany = "! " + kWhile + "s\n  Too many ']' characters";
    expectAll(p, {{{"-s", "[", "a", "[", "b", "]", "c", "]", "-a"}, "s(a,[,b,],c) a()"},
                  {{"-s", "a", "-a", ".", "-a"}, "s(a,-a) a()"},
                  {{"-s", "a", "-a", "--"}, "s(a,-a,--)"},
                  {{"-s", "[", "a"}, "s(a)"},
                  {{"-s", "[", "[", "a", "]"}, "s([,a,])"},
                  {{"-s", "[", "]", "-a"}, "s() a()"},
                  {{"-s", "]", "-a"}, tooMany},
                  {{"-s", "a", "]"}, tooMany},
                  {{"-t", "[", "x", "]", "7"}, "t(x,7)"},
                  {{"-t", ".", "7"}, "t(7)"}});
}

class GetOptFiles : public ScratchDir {};

TEST_F(GetOptFiles, ValidationMessages) {
    write("in.txt", "x");
    write("ro.txt", "x");
    makeReadOnly("ro.txt");
    fs::create_directory(dir_ / "sub");
    fs::current_path(dir_);
    GetOpt q;
    for (const char* spec : {"in inputfile", "ind inputfile-", "out outputfile", "outd outputfile-",
                             "io inoutfile", "d directory"}) {
        const char* space = std::strchr(spec, ' ');
        q.addOption(std::string(spec, space).c_str(), space + 1);
    }
    const auto fails = [](const std::string& opt, const std::string& msg) {
        const char* kind = opt == "in"    ? "InputFile"
                           : opt == "out" ? "OutputFile"
                           : opt == "io"  ? "InputOutputFile"
                                          : "Directory";
        return "! " + kWhile + opt + "  (" + kind + ")\n  " + msg;
    };
    const std::string dash = "The filename \"-\" is not valid";
    expectAll(q, {{{"-in", "in.txt", "-ind", "-", "-out", "new.txt", "-out", "in.txt", "-outd", "-",
                    "-io", "in.txt", "-d", "sub"},
                   "in(in.txt) ind(-) out(new.txt) out(in.txt) outd(-) io(in.txt) d(sub)"},
                  {{"-in", "none.txt"}, fails("in", "none.txt does not exist.")},
                  {{"-in", "sub"}, fails("in", "sub exists but is not a file.")},
                  {{"-in", "-"}, fails("in", dash)},
                  {{"-out", "-"}, fails("out", dash)},
                  {{"-out", "sub"}, fails("out", "sub exists but is not a file.")},
                  {{"-out", "ro.txt"}, fails("out", "ro.txt is not writable.")},
                  {{"-out", "no/x.txt"}, fails("out", "Directory for no/x.txt does not exist.")},
                  {{"-out", "in.txt/x"}, fails("out", "in.txt/x is not a valid path.")},
                  {{"-out", "con.txt"},
                   fails("out", "con is a reserved device name.  Please choose another name.")},
                  {{"-io", "ro.txt"}, fails("io", "ro.txt is not writable.")},
                  {{"-io", "new.txt"}, fails("io", "new.txt does not exist.")},
                  {{"-d", "in.txt"}, fails("d", "in.txt exists but is not a directory.")},
                  {{"-d", "none"}, fails("d", "none does not exist.")}});
#ifndef _WIN32  // a directory's read-only mark does not stop writes on Windows
    fs::create_directory(dir_ / "rodir");
    makeReadOnly("rodir");
    expectAll(q, {{{"-out", "rodir/x"}, fails("out", "Directory is not writable: rodir")}});
    fs::current_path(dir_ / "rodir");
    expectAll(q, {{{"-out", "x"}, fails("out", "The current directory is not writable.")}});
#endif
}

// Validation that never looks at the disk: "bad" anywhere in a name fails.
class Checked : public GetOpt {
public:
    mutable Args calls;
    qxUtil::Error check(const char* kind, const IString& arg) const {
        calls.push_back(kind + (":" + u8(arg)));
        if (u8(arg).find("bad") == std::string::npos) return qxUtil::Error();
        return qxUtil::Error(1, "%s refuses %s", kind, arg.asUTF8());
    }
    qxUtil::Error validInputFile(const IString& a) const override { return check("in", a); }
    qxUtil::Error validOutputFile(const IString& a) const override { return check("out", a); }
    qxUtil::Error validDirectory(const IString& a) const override { return check("dir", a); }
};

TEST(GetOptValidators, OverridesAreCalled) {
    Checked p;
    p.addOption("i", "inputfile-");
    p.addOption("o", "outputfile");
    p.addOption("io", "inoutfile");
    p.addOption("d", "directory");
    EXPECT_EQ(parse(p, {"-i", "-", "-i", "a", "-o", "con.txt", "-io", "b", "-d", "c"}),
              "i(-) i(a) o(con.txt) io(b) d(c)");
    EXPECT_EQ(p.calls, (Args{"in:a", "out:con.txt", "in:b", "out:b", "dir:c"}));
    p.calls.clear();
    EXPECT_EQ(parse(p, {"-io", "bad"}), "! " + kWhile + "io  (InputOutputFile)\n  in refuses bad");
    EXPECT_EQ(p.calls, Args{"in:bad"});
    p.resetError();
    EXPECT_EQ(parse(p, {"-d", "x/bad"}), "! " + kWhile + "d  (Directory)\n  dir refuses x/bad");

    EXPECT_EQ(u8(*p.validFileName(IString("x/Lpt3.c")).messageText()),
              "Lpt3 is a reserved device name.  Please choose another name.");
    EXPECT_FALSE(p.validFileName(IString("con.tar.gz")));
}

TEST(GetOptUsage, TitlesShortestNamesAndSorting) {
    GetOpt p;
    const int verbose = p.addOption("verbose", "bool");
    const int quiet = p.addOption("q|quiet", nullptr);
    const int n = p.addOption("n", "int ? int");
    const int f =
        p.addOption("f", "inputfile outputfile- inoutfile directory sequence float string");
    for (const char* name : {"version", "ab", "abc", "alpha", "Zed"}) p.addOption(name, nullptr);
    EXPECT_EQ(p.addOption("alpha", nullptr), -1);  // counted in the trie all the same
    const std::vector<std::pair<const char*, const char*>> shortest = {
        {"verbose", "verb"}, {"version", "vers"}, {"quiet", "q"}, {"ab", "ab"},
        {"abc", "abc"},      {"alpha", "alpha"},  {"n", "n"},     {"Zed", "Z"}};
    for (const auto& s : shortest) {
        const GetOpt::option* o = p.getOption(p.findOption(s.first));
        EXPECT_STREQ(p.getOptionName(o).c_str(), s.first);
        EXPECT_STREQ(p.getOptionShortestName(o).c_str(), s.second) << s.first;
    }
    EXPECT_STREQ(p.getOptionTitle(p.getOption(n)).c_str(), "-n integer ? integer\n");
    EXPECT_STREQ(p.getOptionTitle(p.getOption(f)).c_str(),
                 "-f file file file directory sequence float string\n");
    p.addOptionUsage(verbose, QX_W("  Say more.\n\n\tTwice: even more."));
    EXPECT_EQ(u8(p.getOptionUsage(p.getOption(verbose), true)),
              "  -verb bool\n  -verbose bool\n    Say more.\n    \n    Twice: even more.\n");
    EXPECT_EQ(u8(p.getOptionUsage(p.getOption(n), true)), "  -n integer ? integer\n");
    p.needLeadingDash(false);
    EXPECT_EQ(u8(p.getOptionUsage(p.getOption(quiet), true)), "  q\n  quiet\n");
    EXPECT_STREQ(p.getOptionTitle(p.getOption(quiet)).c_str(), "quiet\n");

    p.markOptionDeprecated(quiet);
    EXPECT_TRUE(p.isOptionDeprecated(quiet));
    EXPECT_TRUE(p.isOptionDeprecated(p.getOption(quiet)));
    EXPECT_FALSE(p.isOptionDeprecated(verbose));
    EXPECT_EQ(parse(p, {"q"}), "quiet()");

    qx::vector<int> sorted(2, 42);
    p.getSortedOptions(sorted);
    Args names;
    for (int i : sorted) names.push_back(p.getOptionName(p.getOption(i)).c_str());
    EXPECT_EQ(names, (Args{"Zed", "ab", "abc", "alpha", "f", "n", "quiet", "verbose", "version"}));
}

TEST(GetOptMain, InitializeFromMain) {
    GetOpt p;
    p.addOption("a", nullptr);
#ifdef _WIN32
    // The process's own command line, not argv: no options when run plainly.
    char prog[] = "prog", opt[] = "-zz";
    char* argv[] = {prog, opt, nullptr};
    EXPECT_TRUE(p.initializeFromMain(2, argv));
    const std::vector<std::string> own = testing::internal::GetArgvs();
    EXPECT_EQ(rest(p), Args(own.begin() + 1, own.end()));
#else
    char prog[] = "prog", opt[] = "-a", good[] = "\xc3\xa9", bad[] = "b\xff";
    char* ok[] = {prog, opt, good, nullptr};
    EXPECT_TRUE(p.initializeFromMain(3, ok));
    EXPECT_EQ(rest(p), (Args{"-a", "\xc3\xa9"}));
    char* argv[] = {prog, opt, bad, nullptr};
    EXPECT_FALSE(p.initializeFromMain(3, argv));
    EXPECT_TRUE(p.hasErrors());
    EXPECT_NE(u8(p.getError()).find('2'), std::string::npos) << u8(p.getError());
    EXPECT_EQ(rest(p), Args{});
    EXPECT_EQ(p.getOpt(), nullptr);
#endif
}

}  // namespace
