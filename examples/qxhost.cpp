// Example host: uses qx::vector<int>, drives a qx::VectorImpl directly with
// an element-operations record of its own, as a component with its own
// element type would, converts text with the string types, writes through
// an OStream into a stream of its own and through a ready-made stream on
// stdout, reads a file through qxOS::File (the one named on the command
// line, else one it writes to the temporary directory first), walks and
// deletes a small tree, counts words by interned handle, and prints
// everything through AppOutput; then where it and the library live, a
// tree copy in nested progress phases under a progress bar, a stream far
// larger than what it ever has mapped, kept in moveable memory, and an echo
// server on loopback with its clients (also as the subcommands serve and
// send), a parallel sort under the progress bar on the multi-threaded
// engines it installs, random rectangles packed into one square, drawn as
// an SVG picture, circular ranges, a bit field and colours, and settings
// written to, read from and removed from the registry. "qxhost run
// PROGRAM ARGUMENTS..." starts a program and reports its exit code;
// "qxhost reg list|get|set ..." reaches the registry.
#include "qxThreads.h"
#include "qxbase.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#include <psapi.h>
#define QXHOST_ISATTY(f) _isatty(_fileno(f))
#else
#include <sys/resource.h>
#include <unistd.h>
#define QXHOST_ISATTY(f) isatty(fileno(f))
#endif

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

// A byte stream of the host's own: collects what it is given.
class TextSink : public qxOS::IOStream {
public:
    qxUtil::Error read(void*, size_t, size_t* bytesRead) override {
        *bytesRead = 0;
        return qxUtil::Error(1, "this sink cannot be read");
    }
    qxUtil::Error write(const void* buffer, size_t size, size_t* bytesWritten) override {
        text.append(static_cast<const char*>(buffer), static_cast<unsigned>(size));
        *bytesWritten = size;
        return qxUtil::Error();
    }
    qxString::CString text;
};

// Prints the file's lines, indented; false when it cannot be read.
bool printFile(qxOS::AppOutput& out, const qxString::IString& name, unsigned* bytes) {
    qxOS::File file(name);
    if (!file.isValid()) return false;
    if (qxUtil::Error e = file.open(qxOS::File::kRead)) {
        out.error("cannot open %S: %s\n", qxOS::Filename(name).nativeName().asWChar(), e.message());
        return false;
    }
    qxString::CString text;
    char buffer[4096];
    for (;;) {
        size_t got = 0;
        const qxUtil::Error e = file.read(buffer, sizeof buffer, &got);
        text.append(buffer, static_cast<unsigned>(got));
        if (e.num() == qxOS::File::kEndOfFile) break;
        if (e || got == 0) {
            out.error("cannot read %S: %s\n", qxOS::Filename(name).nativeName().asWChar(),
                      e.message());
            return false;
        }
    }
    file.close();
    *bytes = text.length();
    qxOS::AppOutputStatusTab tab;
    for (unsigned start = 0; start < text.length();) {
        unsigned end = text.find('\n', start);
        if (end == qxString::CString::npos) end = text.length();
        out.info("%s\n", text.substr(start, end - start).c_str());
        start = end + 1;
    }
    return true;
}

// Writes a small plan to a new temporary file through qxOS::File, by way of
// a protected write: the plan appears whole or not at all.
qxString::IString writeSample() {
    const qxOS::Filename name = qxOS::createTmpFilename(qxString::IString(QX_W("plan")));
    if (name.name().empty()) return {};
    qxOS::ProtectedWrite protect(name);
    if (protect.init()) {
        qxOS::File file(protect.getTempFilename().name());
        const char text[] = "layer 1: walls\nlayer 2: doors\nlayer 3: furniture\n";
        size_t put = 0;
        if (!file.isValid() || file.open(qxOS::File::kWrite) ||
            file.write(text, sizeof text - 1, &put) || file.close())
            protect.invalidate();
    }
    return protect.finalize() ? name.name() : qxString::IString();
}

// Counts the words of a text by interned handle: equal words are one
// record, and the map hashes the handle, not the text.
int distinctWords(const qxString::CString& text) {
    qx::hash_map<qxString::ConstantCString, int> counts;
    const auto isSep = [](char c) { return c == ' ' || c == '\n' || c == ':'; };
    for (const qxString::CString& w : qxUtil::split(text, isSep, true, false))
        ++counts[qxString::intern(w)];
    return counts.size();
}

// Builds a small tree in a new temporary directory, walks it (sizes in 64
// bits, and what the walk had to leave out), then deletes it recursively.
bool walkTree(qxOS::AppOutput& out) {
    // Shown with -trace: each line carries the seconds since start, and the
    // lines inside a run are indented one step.
    static qxOS::DebugTrace trace("walk", 1, "qxhost");
    trace.start("building a tree");
    // A new directory goes beside the name: here, into the temporary one.
    qxOS::File top(qxOS::Filename::join(qxOS::getTempDirectory().name(), qxString::IString("x")));
    if (!top.isValid() || top.makeTempDirectory()) return false;
    const qxString::IString root = top.getFullName();
    const char* files[] = {"a.txt", "sub", "sub\\b.txt"};
    for (const char* f : files) {
        qxOS::File entry(qxOS::Filename::join(root, qxString::IString(f)));
        const bool dir = std::strchr(f, '.') == nullptr;
        size_t put = 0;
        if (dir ? static_cast<bool>(entry.makeDirectory())
                : entry.open(qxOS::File::kWrite) || entry.write(f, std::strlen(f), &put) ||
                      entry.close())
            return false;
    }
    trace.tick("built");
    out.info("walking %S\n", qxOS::Filename(root).nativeName().asWChar());
    long long bytes = 0;
    int entries = 0;
    qxOS::DirectoryIterator walk(root);
    {
        qxOS::AppOutputStatusTab tab;
        for (; walk.valid(); walk.next(), ++entries) {
            qxOS::FileStatus st;
            qxOS::File::query(walk.getName(), st);
            if (st.isFile()) bytes += st.getSize64();
            out.info("%s %S\n", walk.onDirectory() ? "dir " : "file",
                     qxOS::Filename(walk.getName()).nativeName().asWChar());
        }
    }
    out.info("%d entries, %lld bytes, %d left out\n", entries, bytes, walk.skippedCount());
    trace.tick("walked");
    const bool deleted = !top.deleteSelf(0);
    trace.print(deleted ? "deleted" : "not deleted");
    trace.stop();
    return entries == 4 && bytes == 14 && walk.skippedCount() == 0 && deleted;
}

// --- the demonstrations: each prints through out and says whether all went
// as expected ---------------------------------------------------------------

bool demoContainers(qxOS::AppOutput& out) {
    qx::vector<int> squares;
    for (int i = 1; i <= 10; ++i) squares.push_back(i * i);
    squares.erase(squares.begin() + 2);
    squares.insert(squares.begin(), 0);
    int sum = 0;
    for (int s : squares) sum += s;
    out.info("qx::vector<int>: %d elements, capacity %d, sum %d\n", squares.size(),
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
    out.info("VectorImpl of Sample: %d elements, capacity %d; copy has %d, capacity %d\n",
             samples.size(), samples.capacity(), copy.size(), copy.capacity());
    return squares.size() == 10 && sum == 376 && samples.size() == 41 && first->id == -1 &&
           copy.size() == 40 && copy.capacity() == 41;
}

// Text arrives as UTF-8, is kept as UTF-16 and handed back as 8-bit text.
qxString::IString makeTitle() {
    qxString::IString title("Caf\xC3\xA9 \xE2\x98\x85 plan", qxString::EncodingUTF8);
    title.replace(qxString::IString(QX_W("plan")), qxString::IString(QX_W("layout")));
    return title;
}

bool demoText(qxOS::AppOutput& out) {
    const qxString::IString title = makeTitle();
    qxString::CString label("layer");
    label += '-';
    label.append("07").toUpperCase();
    out.info("IString: %u units, UTF-8 \"%s\"; CString \"%s\"\n", title.length(), title.asUTF8(),
             label.asChar());
    const int distinct =
        distinctWords(qxString::CString("layer 1: walls\nlayer 2: doors\nlayer 3: furniture\n"));
    // QX_FORMAT has the compiler check the conversions against the arguments.
    out.info(QX_FORMAT("%d distinct words in the plan\n"), distinct);
    return title.length() == 13 && label == "LAYER-07" && distinct == 7;
}

bool demoStreams(qxOS::AppOutput& out) {
    const qxString::IString title = makeTitle();
    // Formatted output batched into the host's own stream.
    TextSink sink;
    {
        qxOS::OStream os(sink);
        for (int i = 0; i < 3; ++i) os.format("row %d: %s\n", i, title.asUTF8());
        os << "squares summed: " << 376 << '\n';
    }
    {
        qxOS::AppOutputStatusTab tab;  // indents each line printed in this scope
        out.info("OStream output:\nlines: %u\nlast: %s\n", 4u, "squares summed");
        out.info(2, "not shown: level 2 is above the stream's level\n");
    }
    out.info("OStream wrote %u bytes:\n%s", sink.text.length(), sink.text.c_str());
    {
        // A ready-made stream over stdout: 64-bit numbers and UTF-16 text
        // (as UTF-8) need no conversion by hand.
        qxOS::StdioStream console(stdout);
        qxOS::OStream(console) << "StdioStream: " << (1LL << 40) << " bytes for " << title << '\n';
    }
    // An error value with a message, as the library's calls return them.
    const qxUtil::Error missing(2, "Cannot open %s: %S", "plan.cfg",
                                qxUtil::systemErrorText(2).asWChar());
    out.error("error %d: %s\n", missing.num(), missing.message());
    return sink.text.find("squares summed: 376") != qxString::CString::npos && missing;
}

// Reads the named file, or a sample it writes to the temporary directory.
bool demoFiles(qxOS::AppOutput& out, const qxString::IString& given) {
    const bool own = given.empty();
    const qxString::IString fileName = own ? writeSample() : given;
    unsigned fileBytes = 0;
    out.info("reading %S\n", qxOS::Filename(fileName).nativeName().asWChar());
    const bool fileOk = !fileName.empty() && printFile(out, fileName, &fileBytes);
    out.info("read %u bytes\n", fileBytes);
    if (own && !fileName.empty()) qxOS::fileDelete(qxOS::Filename(fileName));
    return fileOk && (!own || fileBytes == 49);
}

// A path for people to read: the platform's own spelling.
qxString::IString native(const qxString::IString& path) {
    return qxOS::Filename(path).nativeName();
}
qxString::IString native(const char* path) {
    return native(qxString::IString(path));
}

// Where the program and the library are, the installation's directories
// (from OSTREL_LOCATION, or the parent of the program's directory), and the
// search path for programs.
bool demoLocations(qxOS::AppOutput& out) {
    qxOS::AppMain& app = qxOS::AppMain::getInstance();
    qx::vector<qxString::IString> args;
    app.getArgs(args);
    out.info("%S, %d argument%s\n", app.getAppName().asWChar(), args.size() - 1,
             out.plural(args.size() - 1));
    qxOS::AppOutputStatusTab tab;
    out.info("program in   %S\n", native(app.getAppLocation()).asWChar());
    out.info("library in   %S\n", native(app.getBaseLocation()).asWChar());
    out.info("installation %S\n", native(APP_getPath(true)).asWChar());
    out.info("binaries     %S\n", native(APP_getBinariesPath()).asWChar());
    out.info("plug-ins     %S\n", native(APP_getPluginsPath()).asWChar());
    out.info("temporary    %S\n", native(APP_getTempPath()).asWChar());
    qx::vector<qxString::IString> plugins;
    app.getPluginDirectories(plugins);
    out.info("%d plug-in director%s found\n", plugins.size(), plugins.size() == 1 ? "y" : "ies");
    qxString::IString program(QX_W("cmake"));
    const qxString::IString where = app.searchPathFor(program);
    out.info("%S is %s%S\n", program.asWChar(), where.empty() ? "not on the path" : "in ",
             native(where).asWChar());
    bool verbose = false;
    qxOS::GetEnv(qxString::IString("QXHOST_VERBOSE"), verbose, false);
    out.info("QXHOST_VERBOSE is %s; %.3f s since start\n", out.aBool(verbose), app.getElapsed());
    return !app.getAppLocation().empty() && !app.getBaseLocation().empty() && args.size() >= 1;
}

// --- progress: a copy of a generated tree in nested phases ------------------

volatile std::sig_atomic_t g_interrupted = 0;
extern "C" void onInterrupt(int) {
    g_interrupted = 1;
}

// Draws a progress tree's overall value and caption: one bar redrawn in
// place on a terminal, a line at every quarter otherwise. Asked whether to
// cancel, it answers for Ctrl-C and for -cancel-after.
class ProgressBar : public qxRTB::SignalClient {
public:
    ProgressBar(qxOS::AppOutput& out, qxUtil::Progress& progress, int cancelAfter)
        : m_out(out), m_terminal(QXHOST_ISATTY(stdout) != 0), m_cancelAfter(cancelAfter) {
        progress.getSigUpdate().connect(*this, [this](qxUtil::Progress& p) { draw(p); });
        progress.getSigCaption().connect(*this, [this](qxUtil::Progress& p) { draw(p); });
        progress.getSigCheckCancel().connect(*this, [this](qxUtil::Progress& p) {
            if (g_interrupted || (m_cancelAfter >= 0 && m_done >= m_cancelAfter)) p.cancel();
        });
    }
    // One more unit of work finished, for -cancel-after.
    void counted() { ++m_done; }
    void end() {
        if (m_terminal && m_drawn) m_out("\n");
    }

private:
    void draw(qxUtil::Progress& p) {
        const int percent = static_cast<int>(p.get() * 100.0 + 0.5);
        if (m_terminal) {
            char bar[31];
            const int filled = percent * 30 / 100;
            for (int i = 0; i < 30; ++i) bar[i] = i < filled ? '#' : ' ';
            bar[30] = '\0';
            m_out("\r[%s] %3d%% %-24.24s", bar, percent, p.getCaption());
            m_drawn = true;
        } else if (percent >= m_nextLine) {
            m_out("progress %3d%% %s\n", percent, p.getCaption());
            m_nextLine = (percent / 25 + 1) * 25;
        }
    }

    qxOS::AppOutput& m_out;
    bool m_terminal;
    bool m_drawn = false;
    int m_nextLine = 0;
    int m_cancelAfter;
    int m_done = 0;
};

// Makes dirs x files small files under root, copies the tree beside it and
// deletes both: three phases of 20%, 70% and 10%, the copy split again per
// directory. Returns false on a failure; *cancelled tells a cancelled run.
bool copyTree(const qxString::IString& root, qxUtil::Progress& progress, ProgressBar& bar,
              bool* cancelled) {
    const int kDirs = 4, kFiles = 60;
    const qxString::IString from = qxOS::Filename::join(root, qxString::IString("from"));
    const qxString::IString to = qxOS::Filename::join(root, qxString::IString("to"));
    const auto entry = [](const qxString::IString& top, int d, int f) {
        char leaf[32];
        std::snprintf(leaf, sizeof leaf, f < 0 ? "d%d" : "d%d\\f%03d.txt", d, f);
        return qxOS::Filename::join(top, qxString::IString(leaf));
    };
    {
        qxUtil::Progress make;
        progress.subPhase(0.2, make);
        make.setCaption("making the tree");
        for (int d = 0; d < kDirs; ++d) {
            for (const qxString::IString& top : {from, to})
                if (qxOS::File(entry(top, d, -1)).makeDirectoryAll()) return false;
            for (int f = 0; f < kFiles; ++f) {
                qxOS::File file(entry(from, d, f));
                size_t put = 0;
                if (file.open(qxOS::File::kWrite) || file.write("plan\n", 5, &put) || file.close())
                    return false;
            }
            make.set((d + 1.0) / kDirs);
        }
    }
    {
        qxUtil::Progress copy;
        progress.subPhase(0.7, copy);
        for (int d = 0; d < kDirs && !*cancelled; ++d) {
            qxUtil::Progress dir;  // each directory is a quarter of the copy
            copy.subPhase(1.0 / kDirs, dir);
            char caption[32];
            std::snprintf(caption, sizeof caption, "copying d%d", d);
            dir.setCaption(caption);
            for (int f = 0; f < kFiles; ++f) {
                if (dir.cancelled()) {
                    *cancelled = true;
                    break;
                }
                if (qxOS::fileCopy(qxOS::Filename(entry(from, d, f)),
                                   qxOS::Filename(entry(to, d, f)), true))
                    return false;
                bar.counted();
                dir.set((f + 1.0) / kFiles);
            }
        }
    }
    qxUtil::Progress clean;
    progress.subPhase(0.1, clean);
    clean.setCaption(*cancelled ? "removing the partial copy" : "removing the trees");
    return true;
}

bool demoProgress(qxOS::AppOutput& out, int cancelAfter, bool* cancelled) {
    qxOS::File top(qxOS::Filename::join(qxOS::getTempDirectory().name(), qxString::IString("p")));
    if (!top.isValid() || top.makeTempDirectory()) return false;
    const qxString::IString root = top.getFullName();
    void (*previous)(int) = std::signal(SIGINT, onInterrupt);
    bool ok;
    {
        qxUtil::Progress progress;
        ProgressBar bar(out, progress, cancelAfter);
        ok = copyTree(root, progress, bar, cancelled);
        // Gone at the end of the tree, whatever happened: recursive delete.
        ok = !top.deleteSelf(0) && ok;
        progress.set(1.0);
        bar.end();
    }
    std::signal(SIGINT, previous);
    if (*cancelled)
        out.info("copy cancelled (%s); its files were removed\n",
                 g_interrupted ? "Ctrl-C" : "-cancel-after");
    return ok;
}

// The most memory this process has had resident so far, in MiB.
unsigned long long peakResidentMiB() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.PeakWorkingSetSize >> 20;
#else
    struct rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
    return static_cast<unsigned long long>(usage.ru_maxrss) >> 10;  // KiB on Linux
#endif
}

// The word at a byte position of the moveable demonstration's stream.
unsigned long long wordAt(unsigned long long position) {
    return position * 0x9E3779B97F4A7C15ull ^ 0x5555;
}

// Far more data than is ever mapped: a stream of mib MiB in 1 MiB blocks,
// each a moveable chunk in scratch files, written, read back and checked.
bool demoMoveable(qxOS::AppOutput& out, unsigned long long mib) {
    qxOS::File dir(qxOS::Filename::join(qxOS::getTempDirectory().name(), qxString::IString("m")));
    if (!dir.isValid() || dir.makeTempDirectory()) return false;
    bool ok = true;
    {
        qxOS::MoveableMemory memory;
        ok = memory.initializeFiles(dir.getFullName(), qxString::IString("qxhost"));
        qxOS::MoveableAllocator allocator(memory);
        qxOS::MemoryIOStream stream(1 << 20, &allocator);
        qx::vector<unsigned long long> buffer(1 << 17);  // 1 MiB
        stream.openForWrite();
        for (unsigned long long m = 0; ok && m < mib; ++m) {
            for (unsigned long long i = 0; i < buffer.size(); ++i)
                buffer[static_cast<int>(i)] = wordAt((m << 20) + 8 * i);
            ok = !stream.write(buffer.data(), 1 << 20, nullptr);
        }
        stream.close();
        const qxOS::MoveableMemory::Stats s = memory.getStats();
        out.info("moveable: %llu MiB in %llu scratch files of %llu MiB, %llu KiB mapped\n",
                 stream.getSize() >> 20, s.numFiles, s.numFiles ? (s.fileBytes / s.numFiles) >> 20 : 0,
                 s.mappedBytes >> 10);
        stream.openForRead();
        for (unsigned long long m = 0; ok && m < mib; ++m) {
            size_t got = 0;
            ok = !stream.read(buffer.data(), 1 << 20, &got) && got == 1 << 20;
            for (unsigned long long i = 0; ok && i < buffer.size(); ++i)
                ok = buffer[static_cast<int>(i)] == wordAt((m << 20) + 8 * i);
        }
        stream.close();
        out.info("moveable: read back and checked: %s; peak resident memory %llu MiB\n",
                 ok ? "yes" : "NO", peakResidentMiB());
    }
    // The scratch files went with their chunks; the directory goes now.
    return !dir.deleteSelf(0) && ok;
}

// "qxhost run PROGRAM ARGUMENTS...", with the arguments as the system gave
// them (wide on Windows).
int runProgram(qxOS::AppOutput& out) {
    qx::vector<qxString::IString> words;
    qxOS::AppMain::getInstance().getArgs(words);
    if (words.size() < 3) {
        out.error("run: which program?\n");
        return 2;
    }
    words.erase(words.begin(), words.begin() + 2);  // qxhost run
    qxOS::ProcessManager& processes = qxOS::ProcessManager::getInstance();
    processes.setSharingStreams(true);
    std::fflush(stdout);
    const auto result = processes.startSync(words, qxOS::Filename());
    if (result.second) {
        out.error("run: %S\n", result.second.messageText()->asWChar());
        return 1;
    }
    out.info("run: %S exited with code %ld\n", words[0].asWChar(), result.first);
    return 0;
}

// --- TCP: an echo server and its clients ---------------------------------

// Echoes framed strings back to every client, all of them served at once
// through one readiness set (up to 63 clients beside the server's own
// sockets). Stops once `clients` connections have come and gone (0: never);
// with `report`, says who comes and goes. Returns the messages echoed, or -1
// when the server cannot go on.
long serveEcho(qxOS::AppOutput& out, qxTCP::Server& server, int clients, bool report) {
    std::vector<std::unique_ptr<qxTCP::Socket>> open;
    std::vector<long> counts;
    int finished = 0;
    long echoed = 0;
    while (clients == 0 || finished < clients) {
        qxTCP::WaitReadable ready;
        ready.add(server);
        for (const auto& s : open) ready.add(*s);
        if (const qxUtil::Error e = ready.wait(qxUtil::Interval())) {
            out.error("echo server: %s\n", e.message());
            return -1;
        }
        for (size_t i = 0; i < open.size();) {
            if (!ready.isReadable(*open[i])) {
                ++i;
                continue;
            }
            qxString::CString message;
            if (open[i]->read(message) || open[i]->write(message)) {
                // The client has gone (error 4) or cannot be answered.
                if (report) out.info("client left after %ld messages\n", counts[i]);
                open.erase(open.begin() + static_cast<long>(i));
                counts.erase(counts.begin() + static_cast<long>(i));
                ++finished;
                continue;
            }
            ++counts[i];
            ++echoed;
            ++i;
        }
        if (ready.isReadable(server)) {
            // Ready, so this does not wait.
            const qx::pair<qxTCP::Socket*, qxUtil::Error> r = server.accept(qxUtil::Interval());
            if (!r.first) {
                out.error("echo server: %s\n", r.second.message());
                return -1;
            }
            r.first->setNoDelay(true);  // answers leave at once
            open.emplace_back(r.first);
            counts.push_back(0);
            if (report) out.info("client connected\n");
        }
    }
    return echoed;
}

// The text of a client's message; the server sends it back unchanged.
qxString::CString echoMessage(const char* text, int client, int n) {
    qxString::CString m;
    m.format("%s #%d.%d", text, client, n);
    return m;
}

// Sends count messages from each of several clients connected at once, in
// turns, and checks every echo. Returns the messages that came back whole.
long sendEcho(qxOS::AppOutput& out, const qxTCP::Address& server, int clients, int count,
              const char* text) {
    std::vector<std::unique_ptr<qxTCP::ClientSocket>> sockets;
    for (int c = 0; c < clients; ++c) {
        sockets.push_back(std::make_unique<qxTCP::ClientSocket>(server));
        if (const qxUtil::Error e = sockets.back()->connect()) {
            out.error("cannot connect: %s\n", e.message());
            return 0;
        }
        sockets.back()->setNoDelay(true);
    }
    long back = 0;
    for (int n = 0; n < count; ++n) {
        for (int c = 0; c < clients; ++c)
            if (const qxUtil::Error e = sockets[c]->write(echoMessage(text, c, n))) {
                out.error("cannot send: %s\n", e.message());
                return back;
            }
        for (int c = 0; c < clients; ++c) {
            qxString::CString echo;
            if (const qxUtil::Error e = sockets[c]->read(echo)) {
                out.error("no echo: %s\n", e.message());
                return back;
            }
            if (echo == echoMessage(text, c, n)) ++back;
        }
    }
    return back;
}

// The echo server on a thread of the host, three clients at once on this
// one.
bool demoEcho(qxOS::AppOutput& out) {
    const int kClients = 3, kCount = 5;
    qxTCP::Server server(-1, kClients);
    server.setLoopbackOnly();
    if (const qxUtil::Error e = server.listen()) {
        out.error("echo server: %s\n", e.message());
        return false;
    }
    long echoed = -1;
    std::thread engine([&] { echoed = serveEcho(out, server, kClients, false); });
    const long back = sendEcho(out, qxTCP::Address(qxTCP::Address::localhost, server.getPort()),
                               kClients, kCount, "plan");
    if (back != kClients * kCount) {
        // Whatever went wrong, the server must not wait for the rest.
        for (int c = 0; c < kClients; ++c) {
            qxTCP::ClientSocket nudge(qxTCP::Address(qxTCP::Address::localhost, server.getPort()));
            nudge.connect();
        }
    }
    engine.join();
    out.info(
        "echo server on loopback: %d clients at once sent %d messages each, %ld echoed, "
        "%ld came back whole\n",
        kClients, kCount, echoed, back);
    return back == kClients * kCount && echoed == back;
}

// "qxhost serve" and "qxhost send": the echo server and a client of it as
// programs of their own. Returns the exit status: 0 when all went as
// expected, 1 otherwise, 2 for a bad command line.
int tcpCommand(qxOS::AppOutput& out, const qxString::IString& command,
               const qx::vector<qxString::IString>& args) {
    const bool serve = command.compare(qxString::IString(QX_W("serve"))) == 0;
    qxOS::GetOpt opts;
    const int portOpt = opts.addOption("port", "int");
    opts.addOptionUsage(portOpt,
                        serve ? QX_W("The port to listen on (default: one the system chooses).")
                              : QX_W("The server's port."));
    const int clientsOpt = serve ? opts.addOption("clients", "int") : -1;
    if (serve)
        opts.addOptionUsage(clientsOpt, QX_W("Stops after this many clients have come and gone."));
    const int countOpt = serve ? -1 : opts.addOption("count", "int");
    const int textOpt = serve ? -1 : opts.addOption("text", "string");
    const int hostOpt = serve ? -1 : opts.addOption("host", "string");
    int port = -1, clients = 0, count = 10;
    qxString::IString text(QX_W("hello")), host(qxTCP::Address::localhost);
    opts.initialize(args);
    while (const qxOS::GetOpt::result* r = opts.getOpt()) {
        const int index = opts.getResultIndex(r);
        const qxString::IString& arg = opts.getResultArg(r, 0);
        if (index == portOpt) port = std::atoi(arg.asUTF8());
        if (index == clientsOpt) clients = std::atoi(arg.asUTF8());
        if (index == countOpt) count = std::atoi(arg.asUTF8());
        if (index == textOpt) text = arg;
        if (index == hostOpt) host = arg;
    }
    qx::vector<qxString::IString> rest;
    opts.remaining(rest);
    if (opts.hasErrors() || !rest.empty() || (!serve && port < 0)) {
        out.error("%S\n", opts.hasErrors() ? opts.getError().asWChar()
                          : rest.empty()   ? QX_W("send needs -port")
                                           : QX_W("Unexpected argument"));
        out.error(
            "Usage: qxhost serve [-port N] [-clients N]\n"
            "       qxhost send -port N [-host H] [-count N] [-text T]\n");
        return 2;
    }
    if (serve) {
        qxTCP::Server server(port, 16);
        server.setLoopbackOnly();
        if (const qxUtil::Error e = server.listen()) {
            out.error("cannot listen: %s\n", e.message());
            return 1;
        }
        // The first line names the port, for whoever starts the clients.
        out.info("echo server on port %d (loopback)\n", server.getPort());
        const long echoed = serveEcho(out, server, clients, true);
        if (echoed >= 0) out.info("echoed %ld messages\n", echoed);
        return echoed >= 0 ? 0 : 1;
    }
    const long back = sendEcho(out, qxTCP::Address(host, port), 1, count, text.asUTF8());
    out.info("sent %d messages to %S:%d, %ld came back whole\n", count, host.asWChar(), port, back);
    return back == count ? 0 : 1;
}

// --- registry: settings under a key of the host's own -------------------------

// A value as text: text types as themselves, DWORDs as numbers, the rest as
// hexadecimal bytes. Listed text comes in the 8-bit encoding, read text as
// UTF-8.
qxString::IString showValue(const qxRegistryValue& v, bool listed) {
    qxString::IString shown;
    switch (v.getType()) {
        case qxRegistryValue::Text:
        case qxRegistryValue::ExpandText:
            if (listed)
                shown = qxString::IString(reinterpret_cast<const char*>(v.getDataPtr()));
            else
                v.getData(shown);
            return shown;
        case qxRegistryValue::DWord:
        case qxRegistryValue::DWordLittleEndian:
        case qxRegistryValue::DWordBigEndian: {
            unsigned n = 0;
            v.getData(n);
            shown.format(QX_W("%u"), n);
            return shown;
        }
        default:
            for (unsigned i = 0; i < v.getDataSize(); ++i) {
                qxString::IString byte;
                byte.format(QX_W("%02x"), v.getDataPtr()[i]);
                shown += byte;
            }
            return shown;
    }
}

const char* const kTypeNames[] = {"binary", "dword-le", "dword", "dword-be", "expand",
                                  "link",   "multi",    "none",  "resources", "text"};

// Writes two settings under HKEY_CURRENT_USER, reads them back, lists the
// key and removes it again.
bool demoRegistry(qxOS::AppOutput& out) {
    const qxString::IString parent(QX_W("HKEY_CURRENT_USER\\Software\\qxbase"));
    try {
        qxRegistry key(QX_W("HKEY_CURRENT_USER"));
        key.createKey(parent + qxString::IString(QX_W("\\qxhost demo")), true,
                      qxString::IString(QX_W("Settings")));
        qxRegistryValue width(qxString::IString(), qxRegistryValue::DWord, 1280u);
        key.setValue(qxString::IString(QX_W("width")), width);
        qxRegistryValue title(qxString::IString(), qxRegistryValue::Text,
                              qxString::IString(QX_W("layer plan")));
        key.setValue(qxString::IString(QX_W("title")), title);
        qxRegistryValue back;
        key.getValue(qxString::IString(QX_W("width")), back);
        unsigned w = 0;
        back.getData(w);
        out.info("registry key %S (class %S), %u values:\n", key.getKeyPath().asWChar(),
                 key.getClassName().asWChar(), key.getValueCount());
        qx::vector<qxRegistryValue> values;
        key.getValues(values);
        {
            qxOS::AppOutputStatusTab tab;
            for (const qxRegistryValue& v : values)
                out.info("%S (%s) = %S\n", v.getName().asWChar(), kTypeNames[v.getType()],
                         showValue(v, true).asWChar());
        }
        key.openParentKey();
        key.deleteKey(qxString::IString(QX_W("qxhost demo")));
        return w == 1280 && values.size() == 2 && key.getKeyPath() == parent;
    } catch (const qxUtil::Error& e) {
        out.error("registry: %s\n", e.message());
        return false;
    }
}

// "qxhost reg get KEY NAME", "qxhost reg set KEY NAME VALUE [-type T]" and
// "qxhost reg list KEY": one value read, one written (the key made when
// missing), a key's subkeys and values listed. Returns the exit status: 0
// done, 1 refused by the registry, 2 for a bad command line.
int regCommand(qxOS::AppOutput& out, const qx::vector<qxString::IString>& args) {
    const auto is = [](const qxString::IString& a, const char* b) {
        return a.compare(qxString::IString(b, qxString::EncodingUTF8)) == 0;
    };
    // Words, and -type with its argument anywhere among them.
    qxString::IString typeName(QX_W("text"));
    qx::vector<qxString::IString> rest;
    bool badOption = false;
    for (int i = 0; i < args.size(); ++i) {
        if (is(args[i], "-type") && i + 1 < args.size())
            typeName = args[++i];
        else if (args[i].length() > 1 && args[i][0] == '-' && rest.size() < 3)
            badOption = true;  // a VALUE may begin with a dash
        else
            rest.push_back(args[i]);
    }
    int type = -1;
    for (int t = 0; t < 10; ++t)
        if (is(typeName, kTypeNames[t])) type = t;
    const bool list = rest.size() == 2 && is(rest[0], "list");
    const bool get = rest.size() == 3 && is(rest[0], "get");
    const bool set = rest.size() == 4 && is(rest[0], "set");
    if (badOption || type < 0 || !(list || get || set)) {
        out.error(
            "Usage: qxhost reg list KEY\n"
            "       qxhost reg get KEY NAME\n"
            "       qxhost reg set KEY NAME VALUE [-type text|expand|dword|dword-be|binary]\n"
            "KEY begins with a hive: HKEY_CURRENT_USER\\Software\\...\n");
        return 2;
    }
    try {
        if (list) {
            qxRegistry key(rest[1], true);
            qx::vector<qxString::IString> subkeys;
            key.getSubkeys(subkeys);
            for (const qxString::IString& k : subkeys) out.info("[%S]\n", k.asWChar());
            qx::vector<qxRegistryValue> values;
            key.getValues(values);
            for (const qxRegistryValue& v : values)
                out.info("%S (%s) = %S\n", v.getName().asWChar(), kTypeNames[v.getType()],
                         showValue(v, true).asWChar());
            return 0;
        }
        if (get) {
            qxRegistry key(rest[1], true);
            qxRegistryValue v;
            key.getValue(rest[2], v);
            out.info("%S (%s) = %S\n", v.getName().asWChar(), kTypeNames[v.getType()],
                     showValue(v, false).asWChar());
            return 0;
        }
        const auto vt = static_cast<qxRegistryValue::ValueType>(type);
        qxRegistryValue v(qxString::IString(), vt);
        const qxString::IString& text = rest[3];
        if (vt == qxRegistryValue::Text || vt == qxRegistryValue::ExpandText) {
            v.setData(text);
        } else if (vt == qxRegistryValue::DWord || vt == qxRegistryValue::DWordBigEndian) {
            v.setData(static_cast<unsigned>(std::strtoul(text.asUTF8(), nullptr, 0)));
        } else {
            std::vector<unsigned char> bytes;
            for (unsigned i = 0; i + 1 < text.length(); i += 2)
                bytes.push_back(static_cast<unsigned char>(
                    std::strtoul(text.substr(i, 2).asUTF8(), nullptr, 16)));
            v.setData(bytes.data(), static_cast<unsigned long>(bytes.size()));
        }
        qxRegistry key(QX_W("HKEY_CURRENT_USER"));
        key.createKey(rest[1], true);
        key.setValue(rest[2], v);
        out.info("%S\\%S set\n", key.getKeyPath().asWChar(), rest[2].asWChar());
        return 0;
    } catch (const qxUtil::Error& e) {
        out.error("%s\n", e.message());
        return 1;
    }
}

// --- threads: an index permutation sorted on the installed pool ---------------

bool byValue(const unsigned& a, const unsigned& b) {
    return a < b;
}

// Orders two million pseudo-random keys by index on every thread of the
// pool under the progress bar (Ctrl-C stops it), then checks the order.
bool demoSort(qxOS::AppOutput& out, bool* cancelled) {
    const int n = 2000000;
    qx::vector<unsigned> keys;
    keys.reserve(n);
    unsigned x = 12345;
    for (int i = 0; i < n; ++i) keys.push_back(x = x * 1664525u + 1013904223u);
    qxUtil::Ordering order;
    void (*previous)(int) = std::signal(SIGINT, onInterrupt);
    bool done;
    {
        qxUtil::Progress progress;
        ProgressBar bar(out, progress, -1);
        progress.setCaption("sorting");
        done = order.sort(keys.data(), n, byValue, &progress);
        bar.end();
    }
    std::signal(SIGINT, previous);
    if (!done) {
        *cancelled = true;
        out.info("sort cancelled (Ctrl-C)\n");
        return order.size() == n;
    }
    qx::vector<char> seen(n, 0);
    bool ok = order.size() == n;
    for (int i = 0; ok && i < n; ++i) {
        ok = !seen[order[i]] && (i == 0 || keys[order[i - 1]] <= keys[order[i]]);
        seen[order[i]] = 1;
    }
    out.info("sorted %d indices on %d thread%s: %s\n", n, qxUtil::ThreadPool::get().numThreads(),
             out.plural(qxUtil::ThreadPool::get().numThreads()), ok ? "in order" : "NOT in order");
    return ok;
}

// --- pack: random rectangles in one square, drawn as an SVG picture ----------

// Writes the packing as an SVG picture, one pixel per unit, a colour per
// rectangle. False when the file cannot be written.
bool writePackingSvg(const qxString::IString& name, const qx::vector<qxUtil::IntRange2d>& rects,
                     const qxUtil::IntRange2d& area) {
    qxOS::FileNameStream file(name);
    qxOS::OStream svg(file);
    svg.format("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\">\n",
               area.lengthX, area.lengthY);
    svg.format("<rect width=\"%d\" height=\"%d\" fill=\"#202020\"/>\n", area.lengthX, area.lengthY);
    for (int i = 0; i < rects.size(); ++i) {
        const qxUtil::IntRange2d& r = rects[i];
        svg.format(
            "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" "
            "fill=\"hsl(%d,70%%,55%%)\" stroke=\"#202020\"/>\n",
            r.startX, r.startY, r.lengthX, r.lengthY, i * 47 % 360);
    }
    svg << "</svg>\n";
    svg.flush();
    return !svg.error() && !file.close();
}

// Packs a few hundred rectangles of sizes drawn from the library's 48-bit
// generator (seeded, so every run and both targets give the same picture)
// into one square on the installed pool, checks that none overlap, prints
// how much of the square they fill and writes the picture.
bool demoPack(qxOS::AppOutput& out, const qxString::IString& svgName) {
    qxUtil_srand48(29);
    qx::vector<qxUtil::IntRange2d> rects;
    for (int i = 0; i < 300; ++i) {
        const int w = 4 + static_cast<int>(qxUtil_drand48() * 40);
        const int h = 4 + static_cast<int>(qxUtil_drand48() * (i % 10 == 0 ? 90 : 30));
        rects.push_back(qxUtil::IntRange2d(0, 0, w, h));
    }
    const qxUtil::IntRange2d area = qxUtil::pack(rects, false);
    long long used = 0;
    bool ok = true;
    for (int i = 0; i < rects.size(); ++i) {
        const qxUtil::IntRange2d& a = rects[i];
        used += static_cast<long long>(a.lengthX) * a.lengthY;
        ok = ok && a.startX >= 0 && a.startY >= 0 && a.startX + a.lengthX <= area.lengthX &&
             a.startY + a.lengthY <= area.lengthY;
        for (int j = i + 1; j < rects.size(); ++j) {
            const qxUtil::IntRange2d& b = rects[j];
            ok = ok && (a.startX >= b.startX + b.lengthX || b.startX >= a.startX + a.lengthX ||
                        a.startY >= b.startY + b.lengthY || b.startY >= a.startY + a.lengthY);
        }
    }
    const double fill =
        static_cast<double>(used) / (static_cast<double>(area.lengthX) * area.lengthY);
    out.info("packed %d rectangles into %d x %d on %d thread%s: %.1f%% filled%s\n", rects.size(),
             area.lengthX, area.lengthY, qxUtil::ThreadPool::get().numThreads(),
             out.plural(qxUtil::ThreadPool::get().numThreads()), fill * 100.0,
             ok ? "" : ", OVERLAPPING");
    const qxString::IString name =
        svgName.empty() ? qxOS::Filename::join(qxOS::getTempDirectory().name(),
                                               qxString::IString(QX_W("qxhost-pack.svg")))
                        : svgName;
    const bool written = writePackingSvg(name, rects, area);
    if (written)
        out.info("picture in %S\n", qxOS::Filename(name).nativeName().asWChar());
    else
        out.error("cannot write %S\n", qxOS::Filename(name).nativeName().asWChar());
    return ok && written;
}

// Numeric values: sectors of a compass in 10-degree steps, kept as
// disjoint circular ranges; the primes below 100,000 from a sieve in a bit
// field; a colour picker whose hue survives a trip through grey.
bool demoNumeric(qxOS::AppOutput& out) {
    using qxUtil::CircularRange;
    const int steps = 36;  // 10 degrees each
    qx::vector<CircularRange> watched;
    qxUtil::merge(watched, CircularRange(33, 2, steps));  // 330 to 29 degrees, across north
    qxUtil::merge(watched, CircularRange(9, 12, steps));
    qxUtil::merge(watched, CircularRange(3, 5, steps));  // joins the first
    qxUtil::subtract(watched, CircularRange(0, 0, steps));  // not due north
    qxString::CString sectors;
    int covered = 0;
    for (const CircularRange& r : watched) {
        qxString::CString sector;
        sector.format(" %d-%d", r.first() * 10, r.last() * 10 + 9);
        sectors += sector;
        covered += r.size();
    }
    out.info("compass sectors (degrees):%s, %d steps; 180 degrees is %d steps away\n",
             sectors.asChar(), covered, watched[0].distance(18));

    const int n = 100000;
    qxUtil::BitField composite(n);
    composite.setBit(0, true).setBit(1, true);
    for (int i = 2; i * i < n; ++i)
        if (!composite[i])
            for (int j = i * i; j < n; j += i) composite[j] = true;
    const int primes = n - composite.numBitsSet();
    out.info("%d primes below %d (a %d-word bit field)\n", primes, n, composite.bits().size());

    qxUtil::HSV hsv;
    qxUtil::RGBtoHSV(qxUtil::Color8(255, 140, 0, 255), &hsv);
    const float hue = hsv.hue;
    hsv.saturation = 0;  // the picker drags saturation to grey...
    qxUtil::Color grey;
    qxUtil::HSVtoRGB(hsv, grey);
    qxUtil::RGBtoHSV(grey, &hsv);  // ...and the hue stays put
    hsv.saturation = 1;
    qxUtil::Color back;
    qxUtil::HSVtoRGB(hsv, back);
    const qxUtil::Color8 bytes(back);
    out.info("dark orange: hue %.1f, through grey and back: hue %.1f, #%02X%02X%02X\n",
             static_cast<double>(hue), static_cast<double>(hsv.hue), bytes[0], bytes[1], bytes[2]);
    return watched.size() == 3 && covered == 12 && primes == 9592 && hsv.hue == hue &&
           bytes == qxUtil::Color8(255, 140, 0, 255);
}

const char* const kDemos[] = {"containers", "text",     "streams", "files", "walk", "locations",
                              "progress",   "moveable", "echo",    "sort",  "pack",
                              "numeric",    "registry"};

}  // namespace

int main(int argc, char** argv) {
    // The process's arguments and name, for the library's own use.
    qxOS::AppMain::getInstance().initialize(argc, argv, nullptr);
    APP_setProgramName("qxhost");
    qxOS::AppOutput& out = qxOS::AppOutput::getInstance();
    out.open(qxString::IString(QX_W("-")), false);  // nothing prints before this
    out.setLevel(1);

    // "run PROGRAM ARGUMENTS...": starts the program, sharing our standard
    // streams, waits for it and reports its exit code. Everything after "run"
    // belongs to the program, dashes included.
    if (argc > 1 && std::strcmp(argv[1], "run") == 0) return runProgram(out);
    // "qxhost serve ..." and "qxhost send ...": the TCP echo server and client.
    {
        qx::vector<qxString::IString> args;
        qxOS::AppMain::getInstance().getArgs(args);
        if (args.size() > 1 && args[1].compare(qxString::IString(QX_W("reg"))) == 0) {
            qx::vector<qxString::IString> rest;
            for (int i = 2; i < args.size(); ++i) rest.push_back(args[i]);
            return regCommand(out, rest);
        }
        if (args.size() > 1 && (args[1].compare(qxString::IString(QX_W("serve"))) == 0 ||
                                args[1].compare(qxString::IString(QX_W("send"))) == 0)) {
            qx::vector<qxString::IString> rest;
            for (int i = 2; i < args.size(); ++i) rest.push_back(args[i]);
            return tcpCommand(out, args[1], rest);
        }
    }

    // The command line: options are words with a leading dash, found by any
    // unambiguous prefix (-h is -help); their arguments are checked by type.
    qxOS::GetOpt opts;
    const int help = opts.addOption("h|help", nullptr);
    opts.addOptionUsage(help, QX_W("Prints this text."));
    const int read = opts.addOption("read", "inputfile");
    opts.addOptionUsage(read, QX_W("Reads and prints this file instead of a sample of its own."));
    const int only = opts.addOption("only", "sequence");
    opts.addOptionUsage(only, QX_W("Runs only these demonstrations, as -only [ files walk ]:\n"
                                   "containers, text, streams, files, walk, locations,\n"
                                   "progress, moveable, echo, sort, pack, numeric,\n"
                                   "registry."));
    const int cancelOpt = opts.addOption("cancel-after", "int");
    opts.addOptionUsage(cancelOpt, QX_W("Cancels the progress demonstration after this many files,\n"
                                        "as Ctrl-C does; the host then exits with status 3."));
    const int traceOpt = opts.addOption("trace", nullptr);
    opts.addOptionUsage(traceOpt, QX_W("Shows the trace of the walk demonstration."));
    const int mibOpt = opts.addOption("moveable-mib", "int");
    opts.addOptionUsage(mibOpt, QX_W("How many MiB the moveable demonstration streams (2048)."));
    const int svgOpt = opts.addOption("svg", "outputfile");
    opts.addOptionUsage(svgOpt, QX_W("Where the pack demonstration draws its packing\n"
                                     "(qxhost-pack.svg in the temporary directory)."));
    const int profileOpt = opts.addOption("profile", nullptr);
    opts.addOptionUsage(profileOpt, QX_W("Reports the share of time each demonstration took."));
    qx::vector<qxString::IString> chosen;
    qxString::IString fileName, svgName;
    bool wantHelp = false, wantTrace = false, wantProfile = false;
    int cancelAfter = -1;
    unsigned long long moveableMiB = 2048;
    opts.initializeFromMain(argc, argv);
    while (const qxOS::GetOpt::result* r = opts.getOpt()) {
        const int index = opts.getResultIndex(r);
        if (index == help) wantHelp = true;
        if (index == traceOpt) wantTrace = true;
        if (index == cancelOpt) cancelAfter = std::atoi(opts.getResultArg(r, 0).asUTF8());
        if (index == profileOpt) wantProfile = true;
        if (index == mibOpt) moveableMiB = std::strtoull(opts.getResultArg(r, 0).asUTF8(), nullptr, 10);
        if (index == read) fileName = opts.getResultArg(r, 0);
        if (index == svgOpt) svgName = opts.getResultArg(r, 0);
        if (index == only) opts.getResultArgs(r, chosen);
    }
    qx::vector<qxString::IString> rest;
    opts.remaining(rest);
    if (opts.hasErrors() || !rest.empty()) {
        out.error("%S\n",
                  opts.hasErrors() ? opts.getError().asWChar() : QX_W("Unexpected argument"));
        out.error("Try qxhost -help.\n");
        return 2;
    }
    if (wantHelp) {
        out.info("qxhost: shows what the library does.\n");
        out.info("Also: qxhost serve [-port N] [-clients N], an echo server on loopback;\n"
                 "      qxhost send -port N [-host H] [-count N] [-text T], its client;\n"
                 "      qxhost reg list|get|set KEY [NAME [VALUE]] [-type T], the registry.\n");
        qx::vector<int> sorted;
        opts.getSortedOptions(sorted);
        for (int i : sorted) out.info("%S", opts.getOptionUsage(opts.getOption(i), true).asWChar());
        out.info("qxhost run PROGRAM ARGUMENTS...\n    Runs the program, sharing the streams, and reports its exit code.\n");
        return 0;
    }

    const auto wanted = [&chosen](const char* name) {
        if (chosen.empty()) return true;
        for (const qxString::IString& c : chosen)
            if (c.compare(qxString::IString(name, qxString::EncodingUTF8)) == 0) return true;
        return false;
    };
    for (const qxString::IString& c : chosen) {
        bool known = false;
        for (const char* d : kDemos)
            known = known || c.compare(qxString::IString(d, qxString::EncodingUTF8)) == 0;
        if (!known) {
            out.error("No such demonstration: %S\nTry qxhost -help.\n", c.asWChar());
            return 2;
        }
    }
    // Threaded algorithms and task trees run on every processor core from
    // here on; the workers are joined when main returns.
    qxUtil::ThreadEngines engines;

    // The host's traces belong to the category "qxhost": enabling another
    // one instead keeps them quiet. Decided before the first trace exists.
    qxOS::DebugTraceManager::getInstance().enableCategory(wantTrace ? "qxhost" : "quiet");
    qxOS::DebugContextTime& profile = qxOS::DebugContextTime::getInstance();
    if (wantProfile) profile.clearAndStart("qxhost demonstrations");

    bool all = true;
    // Each demonstration is a profile scope, named by its own string.
    const auto run = [&](const char* name, auto demo) {
        if (!wanted(name)) return;
        qxOS::DebugScopeTime scope(name);
        all = demo() && all;
    };
    run(kDemos[0], [&] { return demoContainers(out); });
    run(kDemos[1], [&] { return demoText(out); });
    run(kDemos[2], [&] { return demoStreams(out); });
    run(kDemos[3], [&] { return demoFiles(out, fileName); });
    run(kDemos[4], [&] { return walkTree(out); });
    run(kDemos[5], [&] { return demoLocations(out); });
    run(kDemos[12], [&] { return demoRegistry(out); });
    bool cancelled = false;
    run(kDemos[6], [&] { return demoProgress(out, cancelAfter, &cancelled); });
    run(kDemos[7], [&] { return demoMoveable(out, moveableMiB); });
    run(kDemos[8], [&] { return demoEcho(out); });
    run(kDemos[9], [&] { return demoSort(out, &cancelled); });
    run(kDemos[10], [&] { return demoPack(out, svgName); });
    run(kDemos[11], [&] { return demoNumeric(out); });
    if (wantProfile) {
        qxOS::DebugChannel report;
        report.enable(true);
        profile.stopAndReport(&report);
    }
    out.info("built from %s\n", gCutIdentifier);
    out.info("%s\n", !all ? "unexpected result" : cancelled ? "cancelled" : "ok");
    return !all ? 1 : cancelled ? 3 : 0;
}
