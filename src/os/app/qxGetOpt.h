// qxOS::GetOpt: a program's command line parsed against a table of declared
// options. Each option has a name (and optionally an extra name), typed
// argument slots, a usage text and a deprecation mark; words select options
// by exact name or by an unambiguous prefix, arguments are checked by type
// and files and directories against the file system.
//
//   qxOS::GetOpt opts;
//   const int verbose = opts.addOption("v|verbose", nullptr);
//   const int input = opts.addOption("in", "inputfile");
//   opts.initializeFromMain(argc, argv);
//   while (const qxOS::GetOpt::result* r = opts.getOpt()) {
//       if (opts.getResultIndex(r) == input) use(opts.getResultArg(r, 0));
//   }
//   if (opts.hasErrors()) report(opts.getError());
//
// Argument types, as the words of addOption's type list: bool, int, float,
// string, inputfile, inputfile- (or "-"), outputfile, outputfile- (or "-"),
// inoutfile, directory, sequence (a run of arguments, usually between "["
// and "]", or up to a "."), and "?", after which the slots are optional.
#ifndef QXBASE_OS_APP_QXGETOPT_H
#define QXBASE_OS_APP_QXGETOPT_H

#include "containers/qxVector.h"
#include "diagnostics/qxError.h"
#include "qxDefs.h"
#include "string/qxString.h"

namespace qxOS {

class GetOptImpl;

class QX_API GetOpt {
public:
    // A declared option; only its address is visible.
    class option;
    // The option getOpt returned and its accepted arguments. Owned by the
    // parser, valid until the next getOpt.
    struct result {
        const option* opt = nullptr;
        qx::vector<qxString::IString> args;
    };

    // Argument type codes, in the order of the type words above.
    enum Type {
        kBool = 0,
        kInt = 1,
        kFloat = 2,
        kString = 3,
        kInputFile = 4,
        kInputFileOrDash = 5,
        kOutputFile = 6,
        kOutputFileOrDash = 7,
        kInOutFile = 8,
        kDirectory = 9,
        kSequence = 10,
        kOptional = 11,
    };

    GetOpt();
    virtual ~GetOpt();
    GetOpt(const GetOpt&) = delete;
    GetOpt& operator=(const GetOpt&) = delete;

    // --- declaring -------------------------------------------------------------
    // spec is "name" or "extra|name"; types a space-separated list of type
    // words (null: no argument slots). The option's index, or -1 when the
    // name is taken (a clash of the extra name is ignored).
    int addOption(const char* spec, const char* types);
    void addOptionUsage(int index, const qx::WChar* usage);
    void markOptionDeprecated(int index);
    // Parsing does not look at the mark.
    bool isOptionDeprecated(int index) const;
    bool isOptionDeprecated(const option* opt) const;
    void needLeadingDash(bool need);
    bool getNeedLeadingDash() const;
    int getNumOptions() const;
    // No range checks: index must be valid.
    const option* getOption(int index) const;
    int getOptionIndex(const option* opt) const;
    const qxString::CString& getOptionName(const option* opt) const;
    // The option an exact name or an unambiguous prefix selects, or -1.
    int findOption(const char* name) const;
    // Every option index, by option name.
    void getSortedOptions(qx::vector<int>& indices) const;

    // --- parsing ---------------------------------------------------------------
    // The arguments after the program name; nothing is skipped. 8-bit
    // arguments are converted from the locale's multibyte encoding.
    void initialize(const qx::vector<qxString::IString>& args);
    void initialize(int count, const char** args);
    void initialize(int count, const qx::WChar** args);
    // The arguments as the platform gives them to main: on Windows the
    // process's UTF-16 command line (argc and argv are not read), elsewhere
    // argv[1] onwards as UTF-8, strictly. An argument that is not valid
    // UTF-8 makes a parse error naming its position (the queue stays
    // empty); false then.
    bool initializeFromMain(int argc, char** argv);
    // The next option with its arguments; null at the end, after "--", or
    // on an error (then hasErrors() and getError()).
    const result* getOpt();
    const result* getCurrentResult() const;
    // The arguments not consumed yet, front first.
    void remaining(qx::vector<qxString::IString>& rest) const;
    bool hasErrors() const;
    const qxString::IString& getError() const;
    // Clears the error flag; the message stays until the next getOpt.
    void resetError();
    // getOpt returns null from now on.
    void abort();
    int getNumArguments(const result* r) const;
    const qxString::IString& getResultArg(const result* r, int i) const;
    void getResultArgs(const result* r, qx::vector<qxString::IString>& args) const;
    int getResultIndex(const result* r) const;
    const qxString::CString& getResultName(const result* r) const;
    const option* getResultOption(const result* r) const;

    // --- usage -----------------------------------------------------------------
    // "-name type...\n".
    qxString::CString getOptionTitle(const option* opt);
    // The shortest prefix that selects the option, or its whole name.
    qxString::CString getOptionShortestName(const option* opt);
    // "  -name types\n" (after the shortest form's line when withShortest
    // and it differs), then each usage line as "    line\n".
    qxString::IString getOptionUsage(const option* opt, bool withShortest);

    // --- validation ------------------------------------------------------------
    // Every failure is error 1 with a message naming the argument.
    qxUtil::Error validFileName(const qxString::IString& arg) const;
    virtual qxUtil::Error validInputFile(const qxString::IString& arg) const;
    virtual qxUtil::Error validOutputFile(const qxString::IString& arg) const;
    virtual qxUtil::Error validInOutFile(const qxString::IString& arg) const;
    virtual qxUtil::Error validDirectory(const qxString::IString& arg) const;

private:
    GetOptImpl* m_impl;
};

}  // namespace qxOS

#endif
