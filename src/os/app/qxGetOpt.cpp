#include "os/app/qxGetOpt.h"

#include "Components/Base/Utility/qxTextUtil.h"
#include "containers/qxReferenceCount.h"
#include "containers/qxTree.h"
#include "os/files/qxFile.h"
#include "os/files/qxFileOps.h"
#include "os/files/qxFilename.h"
#include "os/sys/qxSysApp.h"

#include <initializer_list>
#include <utility>

namespace qxOS {

using qxString::CString;
using qxString::IString;
using qxUtil::Error;

class GetOpt::option : public qx::ReferenceCount {
public:
    int index = -1;
    CString name;
    IString typeSpec;
    IString usage;
    qx::vector<int> types;
    bool deprecated = false;
};

namespace {

using Option = GetOpt::option;

// A node of the name trie: the byte leading to it, how many insertions
// passed through it, and the option whose name ends here.
struct Parse : qx::ReferenceCount {
    char key = 0;
    int count = 0;
    Parse* parent = nullptr;
    Option* option = nullptr;
    qx::map<char, qx::Reference<Parse>> children;
};

struct TypeWord {
    const char* token;
    const char* title;
};

// Indexed by type code.
const TypeWord kTypes[] = {
    {"bool", "bool"},           {"int", "integer"},       {"float", "float"},
    {"string", "string"},       {"inputfile", "file"},    {"inputfile-", "file"},
    {"outputfile", "file"},     {"outputfile-", "file"},  {"inoutfile", "file"},
    {"directory", "directory"}, {"sequence", "sequence"}, {"?", "?"},
};
constexpr int kNumTypes = sizeof kTypes / sizeof kTypes[0];

bool isDigit(qx::WChar c) {
    return c >= '0' && c <= '9';
}

bool equals(const IString& s, const char* text) {
    unsigned i = 0;
    for (; text[i]; ++i)
        if (i >= s.length() || s[i] != static_cast<qx::WChar>(static_cast<unsigned char>(text[i])))
            return false;
    return i == s.length();
}

bool isOneOf(const IString& s, std::initializer_list<const char*> words) {
    for (const char* w : words)
        if (equals(s, w)) return true;
    return false;
}

}  // namespace

class GetOptImpl {
public:
    explicit GetOptImpl(GetOpt* o) : owner(o), names(new Parse) {}

    GetOpt* owner;
    bool failed = false;
    bool finished = false;
    bool needLeadingDash = true;
    qx::Reference<Parse> names;
    qx::vector<qx::Reference<Option>> options;
    IString error;
    CString currentName;
    // The arguments not consumed yet: all their units in one buffer, each
    // argument's end in ends, and the index of the front one. A parse of
    // many arguments then costs no allocation per argument waiting.
    qx::vector<qx::WChar> text;
    qx::vector<unsigned> ends;
    int front = 0;
    GetOpt::result current;

    void clearQueue() {
        text.clear();
        ends.clear();
        front = 0;
    }
    void push(const qx::WChar* units, size_t n) {
        text.insert(text.end(), units, units + n);
        ends.push_back(static_cast<unsigned>(text.size()));
    }
    bool queueEmpty() const { return front == ends.size(); }
    const qx::WChar* frontData() const { return text.data() + (front ? ends[front - 1] : 0); }
    unsigned frontLength() const { return ends[front] - (front ? ends[front - 1] : 0); }
    bool frontIs(char c) const { return frontLength() == 1 && frontData()[0] == c; }
    IString takeFront() {
        IString out(frontData(), static_cast<int>(frontLength()));
        ++front;
        return out;
    }

    // Adds the name's path to the trie; false when an option ends there
    // already.
    bool insert(const CString& name, Option* opt) {
        Parse* node = names.get();
        ++node->count;
        for (unsigned i = 0; i < name.length(); ++i) {
            const char key = name[i];
            auto it = node->children.find(key);
            if (it == node->children.end()) {
                Parse* child = new Parse;
                child->key = key;
                child->parent = node;
                it = node->children.emplace(key, qx::Reference<Parse>(child)).first;
            }
            node = it->second.get();
            ++node->count;
        }
        if (node->option) return false;
        node->option = opt;
        return true;
    }

    // The option an exact name or an unambiguous prefix selects.
    Option* lookup(const char* word, size_t n) const {
        const Parse* node = names.get();
        for (size_t i = 0; i < n && node; ++i) node = child(node, word[i]);
        return node ? selected(node) : nullptr;
    }
    // The same for wide text, walked by the bytes of its UTF-8 form (a lone
    // surrogate as U+FFFD) without building it.
    Option* lookup(const qx::WChar* word, size_t n) const {
        const Parse* node = names.get();
        for (size_t i = 0; i < n && node; ++i) {
            unsigned c = word[i];
            if (c < 0x80) {
                node = child(node, static_cast<char>(c));
                continue;
            }
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && word[i + 1] >= 0xDC00 &&
                word[i + 1] < 0xE000)
                c = 0x10000 + ((c - 0xD800) << 10) + (word[++i] - 0xDC00);
            else if (c >= 0xD800 && c < 0xE000)
                c = 0xFFFD;
            char bytes[4];
            int k = 0;
            if (c < 0x800) {
                bytes[k++] = static_cast<char>(0xC0 | (c >> 6));
            } else if (c < 0x10000) {
                bytes[k++] = static_cast<char>(0xE0 | (c >> 12));
                bytes[k++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            } else {
                bytes[k++] = static_cast<char>(0xF0 | (c >> 18));
                bytes[k++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                bytes[k++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            }
            bytes[k++] = static_cast<char>(0x80 | (c & 0x3F));
            for (int b = 0; b < k && node; ++b) node = child(node, bytes[b]);
        }
        return node ? selected(node) : nullptr;
    }
    static const Parse* child(const Parse* node, char key) {
        auto it = node->children.find(key);
        return it == node->children.end() ? nullptr : it->second.get();
    }
    static Option* selected(const Parse* node) {
        if (node->option) return node->option;
        while (node->children.size() == 1) node = node->children.begin()->second.get();
        return node->children.empty() ? node->option : nullptr;
    }

    void fail(IString message) {
        failed = true;
        error = std::move(message);
    }

    const char* dash() const { return needLeadingDash ? "-" : ""; }

    CString typeTitles(const Option* opt) const {
        CString out;
        for (int code : opt->types) {
            out.append(' ');
            out.append(kTypes[code].title);
        }
        return out;
    }

    bool readArguments(Option* opt);
    bool readSequence(IString& message);
    bool takeFile(int code, const IString& arg, IString& message);
};

// --- declaring -----------------------------------------------------------------

GetOpt::GetOpt() : m_impl(new GetOptImpl(this)) {}

GetOpt::~GetOpt() {
    delete m_impl;
}

int GetOpt::addOption(const char* spec, const char* types) {
    const CString text(spec ? spec : "");
    CString extra, name;
    const unsigned bar = text.find('|');
    if (bar == CString::npos) {
        name = text;
    } else {
        extra = text.substr(0, bar);
        name = text.substr(bar + 1);
    }
    qx::Reference<Option> opt(new Option);
    opt->name = name;
    if (types) {
        opt->typeSpec = IString(types, qxString::EncodingMultibyte);
        for (const CString& token : qxUtil::split(CString(types), ' ', true, false))
            for (int code = 0; code < kNumTypes; ++code)
                if (token == kTypes[code].token) {
                    opt->types.push_back(code);
                    break;
                }
    }
    if (!m_impl->insert(name, opt.get())) return -1;
    opt->index = m_impl->options.size();
    m_impl->options.push_back(opt);
    if (!extra.empty()) m_impl->insert(extra, opt.get());
    return opt->index;
}

void GetOpt::addOptionUsage(int index, const qx::WChar* usage) {
    m_impl->options[index]->usage = IString(usage);
}

void GetOpt::markOptionDeprecated(int index) {
    m_impl->options[index]->deprecated = true;
}

bool GetOpt::isOptionDeprecated(int index) const {
    return m_impl->options[index]->deprecated;
}

bool GetOpt::isOptionDeprecated(const option* opt) const {
    return opt->deprecated;
}

void GetOpt::needLeadingDash(bool need) {
    m_impl->needLeadingDash = need;
}

bool GetOpt::getNeedLeadingDash() const {
    return m_impl->needLeadingDash;
}

int GetOpt::getNumOptions() const {
    return m_impl->options.size();
}

const GetOpt::option* GetOpt::getOption(int index) const {
    return m_impl->options[index].get();
}

int GetOpt::getOptionIndex(const option* opt) const {
    return opt->index;
}

const CString& GetOpt::getOptionName(const option* opt) const {
    return opt->name;
}

int GetOpt::findOption(const char* name) const {
    const CString word(name ? name : "");
    const Option* opt = m_impl->lookup(word.c_str(), word.length());
    return opt ? opt->index : -1;
}

void GetOpt::getSortedOptions(qx::vector<int>& indices) const {
    qx::multimap<CString, int> byName;
    for (const auto& opt : m_impl->options) byName.emplace(opt->name, opt->index);
    indices.clear();
    for (const auto& entry : byName) indices.push_back(entry.second);
}

// --- parsing ---------------------------------------------------------------------

void GetOpt::initialize(const qx::vector<IString>& args) {
    m_impl->clearQueue();
    m_impl->ends.reserve(args.size());
    const int n = args.size();
    for (int i = 0; i < n; ++i) {
        // Each argument's text is a block of its own: ask for the next ones
        // early, so that a long command line does not wait on each in turn.
        if (i + 8 < n) __builtin_prefetch(args[i + 8].data());
        m_impl->push(args[i].data(), args[i].length());
    }
}

void GetOpt::initialize(int count, const char** args) {
    m_impl->clearQueue();
    for (int i = 0; i < count; ++i) {
        const IString a(args[i], qxString::EncodingMultibyte);
        m_impl->push(a.data(), a.length());
    }
}

void GetOpt::initialize(int count, const qx::WChar** args) {
    m_impl->clearQueue();
    for (int i = 0; i < count; ++i) {
        size_t n = 0;
        while (args[i][n]) ++n;
        m_impl->push(args[i], n);
    }
}

namespace {

void addArgument(void* ctx, const qx::WChar* text, size_t n) {
    static_cast<GetOptImpl*>(ctx)->push(text, n);
}

}  // namespace

bool GetOpt::initializeFromMain(int argc, char** argv) {
    m_impl->clearQueue();
    int bad = 0;
    if (qx::sys::mainArguments(argc, argv, addArgument, m_impl, &bad)) return true;
    m_impl->clearQueue();
    IString message;
    message.format("Argument %d is not valid UTF-8", bad);
    m_impl->fail(std::move(message));
    return false;
}

const GetOpt::result* GetOpt::getOpt() {
    GetOptImpl& d = *m_impl;
    d.current.opt = nullptr;
    d.current.args.clear();
    d.currentName.clear();
    if (d.failed || d.finished) return nullptr;
    d.error.clear();
    if (d.queueEmpty()) return nullptr;

    // The argument stays in the buffer (nothing is added while parsing); its
    // text is copied only for a message.
    const qx::WChar* arg = d.frontData();
    const unsigned n = d.frontLength();
    ++d.front;
    const auto text = [arg, n] { return IString(arg, static_cast<int>(n)); };
    const qx::WChar* word = arg;
    unsigned length = n;
    if (n > 0 && arg[0] != '-') {
        if (d.needLeadingDash) {
            IString message;
            if (n == 1 && (arg[0] == '[' || arg[0] == ']'))
                message.format("%C encountered outside of a sequence.", static_cast<int>(arg[0]));
            else
                message.format("Malformed option: no leading dash: %S", text().asWChar());
            d.fail(std::move(message));
            return nullptr;
        }
    } else {
        word = arg + (n > 0 ? 1 : 0);
        length = n > 0 ? n - 1 : 0;
    }
    if (length == 0) {
        IString message;
        message.format("Malformed option: no option specified: %S", text().asWChar());
        d.fail(std::move(message));
        return nullptr;
    }
    if (word[0] == '-') {
        if (length == 1) {
            d.finished = true;
            return nullptr;
        }
        ++word;
        --length;
    }
    // Names are bytes; a word is looked up by its UTF-8 form.
    Option* opt = d.lookup(word, length);
    if (!opt) {
        IString message;
        message.format("Option does not exist or is ambiguous: %S", text().asWChar());
        d.fail(std::move(message));
        return nullptr;
    }
    d.currentName = opt->name;
    d.current.opt = opt;
    return d.readArguments(opt) ? &d.current : nullptr;
}

bool GetOptImpl::readArguments(Option* opt) {
    bool optional = false;
    for (int code : opt->types) {
        if (code == GetOpt::kOptional) optional = true;
        if (queueEmpty()) {
            if (optional) return true;
            IString message;
            message.format("Insufficient arguments when processing option: %s\nUsage:\n%S",
                           opt->name.c_str(), owner->getOptionUsage(opt, false).asWChar());
            fail(std::move(message));
            return false;
        }
        const unsigned frontLen = frontLength();
        const qx::WChar* frontText = frontData();
        if (optional && frontLen > 0 &&
            (frontText[0] == '-' || (frontLen == 1 && frontText[0] == '.')))
            return true;
        if (code == GetOpt::kOptional) continue;

        IString message;
        if (code == GetOpt::kSequence) {
            if (readSequence(message)) continue;
            fail(std::move(message));
            return false;
        }
        IString arg = takeFront();
        bool ok = true;
        switch (code) {
            case GetOpt::kBool:
                if (isOneOf(arg, {"0", "false", "no", "off"})) {
                    arg.assign(QX_W("0"));
                } else if (isOneOf(arg, {"1", "true", "yes", "on"})) {
                    arg.assign(QX_W("1"));
                } else {
                    message.format(
                        "While processing option: -%s\n  Expected a boolean type, got: %S\n"
                        "    valid boolean types are: 1, 0, true,  false, yes, no, on, off.",
                        currentName.c_str(), arg.asWChar());
                    ok = false;
                }
                break;
            case GetOpt::kInt:
                // Only the first characters decide: "12abc" passes.
                ok = (!arg.empty() && isDigit(arg[0])) ||
                     (arg.length() > 1 && arg[0] == '-' && isDigit(arg[1]));
                if (!ok)
                    message.format("While processing option: -%s\n  Expected an integer, got: %S",
                                   currentName.c_str(), arg.asWChar());
                break;
            case GetOpt::kFloat: {
                unsigned i = 0;
                if (i < arg.length() && arg[i] == '-') ++i;
                if (arg.length() - i > 1 && arg[i] == '.') ++i;
                ok = i < arg.length() && isDigit(arg[i]);
                if (!ok)
                    message.format(
                        "While processing option: -%s\n  Expected a floating point value, got: %S",
                        currentName.c_str(), arg.asWChar());
                break;
            }
            case GetOpt::kString:
                break;
            default:
                ok = takeFile(code, arg, message);
        }
        if (!ok) {
            fail(std::move(message));
            return false;
        }
        current.args.push_back(std::move(arg));
    }
    return true;
}

bool GetOptImpl::takeFile(int code, const IString& arg, IString& message) {
    const bool dash = equals(arg, "-");
    if (dash && (code == GetOpt::kInputFileOrDash || code == GetOpt::kOutputFileOrDash))
        return true;
    if (code == GetOpt::kInputFileOrDash) code = GetOpt::kInputFile;
    if (code == GetOpt::kOutputFileOrDash) code = GetOpt::kOutputFile;
    Error e;
    const char* kind = "";
    if (dash && (code == GetOpt::kInputFile || code == GetOpt::kOutputFile)) {
        e = Error(1, "The filename \"-\" is not valid");
    } else {
        switch (code) {
            case GetOpt::kInputFile:
                e = owner->validInputFile(arg);
                break;
            case GetOpt::kOutputFile:
                e = owner->validOutputFile(arg);
                break;
            case GetOpt::kInOutFile:
                e = owner->validInOutFile(arg);
                break;
            default:
                e = owner->validDirectory(arg);
        }
    }
    if (!e) return true;
    switch (code) {
        case GetOpt::kInputFile:
            kind = "InputFile";
            break;
        case GetOpt::kOutputFile:
            kind = "OutputFile";
            break;
        case GetOpt::kInOutFile:
            kind = "InputOutputFile";
            break;
        default:
            kind = "Directory";
    }
    // The failure's own text, wide, so that no name loses characters.
    const IString* why = e.messageText();
    message.format("While processing option: -%s  (%s)\n  %S", currentName.c_str(), kind,
                   why ? why->asWChar() : QX_W(""));
    return false;
}

bool GetOptImpl::readSequence(IString& message) {
    int depth = 0;
    while (!queueEmpty()) {
        if (frontIs('.')) {
            ++front;
            break;
        }
        if (frontIs('[') && depth++ == 0) {
            ++front;
            continue;
        }
        if (frontIs(']') && depth-- == 1) {
            ++front;
            break;
        }
        current.args.push_back(takeFront());
    }
    if (depth >= 0) return true;
    message.format("While processing option: -%s\n  Too many ']' characters", currentName.c_str());
    return false;
}

const GetOpt::result* GetOpt::getCurrentResult() const {
    if (m_impl->failed || !m_impl->current.opt) return nullptr;
    return &m_impl->current;
}

void GetOpt::remaining(qx::vector<IString>& rest) const {
    rest.clear();
    const GetOptImpl& d = *m_impl;
    for (int i = d.front; i < d.ends.size(); ++i) {
        const unsigned from = i ? d.ends[i - 1] : 0;
        rest.push_back(IString(d.text.data() + from, static_cast<int>(d.ends[i] - from)));
    }
}

bool GetOpt::hasErrors() const {
    return m_impl->failed;
}

const IString& GetOpt::getError() const {
    return m_impl->error;
}

void GetOpt::resetError() {
    m_impl->failed = false;
}

void GetOpt::abort() {
    m_impl->failed = true;
}

int GetOpt::getNumArguments(const result* r) const {
    return r->args.size();
}

const IString& GetOpt::getResultArg(const result* r, int i) const {
    return r->args[i];
}

void GetOpt::getResultArgs(const result* r, qx::vector<IString>& args) const {
    args = r->args;
}

int GetOpt::getResultIndex(const result* r) const {
    return r->opt->index;
}

const CString& GetOpt::getResultName(const result* r) const {
    return r->opt->name;
}

const GetOpt::option* GetOpt::getResultOption(const result* r) const {
    return r->opt;
}

// --- usage -----------------------------------------------------------------------

CString GetOpt::getOptionTitle(const option* opt) {
    CString out;
    out.format("%s%s%s\n", m_impl->dash(), opt->name.c_str(), m_impl->typeTitles(opt).c_str());
    return out;
}

CString GetOpt::getOptionShortestName(const option* opt) {
    const Parse* node = m_impl->names.get();
    CString text;
    if (node->option == opt) return text;
    for (unsigned i = 0; i < opt->name.length(); ++i) {
        if (!text.empty() && node->count == 1) break;
        auto it = node->children.find(opt->name[i]);
        if (it == node->children.end()) break;
        node = it->second.get();
        text.append(opt->name[i]);
        if (node->option == opt) break;
    }
    return text;
}

IString GetOpt::getOptionUsage(const option* opt, bool withShortest) {
    const CString types = m_impl->typeTitles(opt);
    const char* dash = m_impl->dash();
    CString head;
    if (withShortest) {
        const CString shortest = getOptionShortestName(opt);
        if (shortest != opt->name) head.format("  %s%s%s\n", dash, shortest.c_str(), types.c_str());
    }
    CString line;
    line.format("  %s%s%s\n", dash, opt->name.c_str(), types.c_str());
    head.append(line);
    IString out(head, qxString::EncodingMultibyte);
    if (!opt->usage.empty()) {
        for (IString& text :
             qxUtil::split(opt->usage, static_cast<qx::WChar>('\n'), false, false)) {
            text.stripSpaces();
            IString formattedLine;
            formattedLine.format(QX_W("    %S\n"), text.asWChar());
            out.append(formattedLine);
        }
    }
    return out;
}

// --- validation ------------------------------------------------------------------

Error GetOpt::validFileName(const IString& arg) const {
    const Filename name(arg);
    if (!isWindowsReservedDeviceName(name)) return Error();
    return Error(1, "%s is a reserved device name.  Please choose another name.",
                 name.baseTrunk().asChar());
}

namespace {

FileStatus statusOf(const IString& name) {
    FileStatus status;
    File::query(name, status);
    return status;
}

}  // namespace

Error GetOpt::validInputFile(const IString& arg) const {
    if (Error e = validFileName(arg)) return e;
    const FileStatus st = statusOf(arg);
    if (!st.exists()) return Error(1, "%s does not exist.", arg.asChar());
    if (!st.isFile()) return Error(1, "%s exists but is not a file.", arg.asChar());
    if (!st.isReadable()) return Error(1, "%s is not readable.", arg.asChar());
    return Error();
}

Error GetOpt::validOutputFile(const IString& arg) const {
    if (Error e = validFileName(arg)) return e;
    const FileStatus st = statusOf(arg);
    if (st.exists()) {
        if (!st.isFile()) return Error(1, "%s exists but is not a file.", arg.asChar());
        if (!st.isWritable()) return Error(1, "%s is not writable.", arg.asChar());
        return Error();
    }
    IString dir;
    dir.assign(Filename(arg).dirname());
    if (dir.empty()) dir.assign(QX_W("."));
    const FileStatus ds = statusOf(dir);
    if (!ds.exists()) return Error(1, "Directory for %s does not exist.", arg.asChar());
    if (!ds.isDirectory()) return Error(1, "%s is not a valid path.", arg.asChar());
    if (ds.isWritable()) return Error();
    if (equals(dir, ".")) return Error(1, "The current directory is not writable.");
    return Error(1, "Directory is not writable: %s", dir.asChar());
}

Error GetOpt::validInOutFile(const IString& arg) const {
    Error e = validInputFile(arg);
    if (!e) e = validOutputFile(arg);
    return e;
}

Error GetOpt::validDirectory(const IString& arg) const {
    if (Error e = validFileName(arg)) return e;
    const FileStatus st = statusOf(arg);
    if (!st.exists()) return Error(1, "%s does not exist.", arg.asChar());
    if (!st.isDirectory()) return Error(1, "%s exists but is not a directory.", arg.asChar());
    return Error();
}

}  // namespace qxOS
