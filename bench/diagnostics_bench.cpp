// Diagnostics: the Error value and buffered text output, each next to what it
// is measured against:
//
//     error_value/success/<qx|int>/0
//         construct a success qxUtil::Error, copy it, destroy both, against
//         the same with a plain int
//     error_message/short/<qx|std>/<message length>
//         the same for an Error with a short formatted message, against a
//         struct {int; std::string} filled by snprintf
//     ostream_file/<format|shift>/<qx|std|ofstream>/<lines>
//         <lines> lines of text to a temporary file, then a flush and a seek
//         back to the start (so the file stays small and in the page cache):
//         qxOS::OStream over a file descriptor written with ::write, against
//         fprintf to a FILE* and std::ofstream, both with default buffering.
//         "format" is out.format("%d %s %.3f\n", ...), "shift" is
//         out << i << ' ' << name << '\n'. All sides write the same bytes,
//         checked after the run; bytes processed are those bytes.
//
// ratios.py pairs qx with int or std and adds a qx/ofstream column.

#include "diagnostics/qxError.h"
#include "diagnostics/qxIOStream.h"
#include "diagnostics/qxOStream.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <string>
#include <vector>

namespace {

// --- Error ---------------------------------------------------------------------

// The same treatment for both sides: each value is stored, its address
// escapes (so the compiler keeps it in memory and must assume it changed),
// and the copy reads it back.
template <class T>
void inMemory(T& value) {
    benchmark::DoNotOptimize(&value);
}

void qxSuccess(benchmark::State& state) {
    for (auto _ : state) {
        qxUtil::Error e;
        inMemory(e);
        qxUtil::Error copy(e);
        inMemory(copy);
    }
}

void intSuccess(benchmark::State& state) {
    for (auto _ : state) {
        int e = 0;
        inMemory(e);
        int copy(e);
        inMemory(copy);
    }
}

#define QX_MESSAGE_FORMAT "cannot open %s: error %d"

struct MessageArgs {
    const char* path = "settings.ini";
    int code = 2;
};

MessageArgs messageArgs() {
    MessageArgs in;
    benchmark::DoNotOptimize(in);
    return in;
}

void qxMessage(benchmark::State& state) {
    const MessageArgs in = messageArgs();
    for (auto _ : state) {
        qxUtil::Error e(7, QX_MESSAGE_FORMAT, in.path, in.code);
        inMemory(e);
        qxUtil::Error copy(e);
        inMemory(copy);
    }
}

struct StdError {
    int num;
    std::string message;
};

void stdMessage(benchmark::State& state) {
    const MessageArgs in = messageArgs();
    for (auto _ : state) {
        char buf[64];
        const int n = std::snprintf(buf, sizeof buf, QX_MESSAGE_FORMAT, in.path, in.code);
        StdError e{7, std::string(buf, static_cast<size_t>(n))};
        inMemory(e);
        StdError copy(e);
        inMemory(copy);
    }
}

// --- text to a file ---------------------------------------------------------------

enum class Line { Format, Shift };

// What every side is given: the name, laundered so that no side sees a
// literal, and one real per line.
struct LineArgs {
    const char* name = "name";
    std::vector<double> x;
};

LineArgs lineArgs(int lines) {
    LineArgs in;
    benchmark::DoNotOptimize(in.name);
    for (int i = 0; i < lines; ++i) in.x.push_back(1000.0 / (i + 1));
    return in;
}

// The text each batch leaves in the file.
std::string expectedText(Line kind, const LineArgs& in) {
    std::string text;
    char buf[64];
    for (size_t i = 0; i < in.x.size(); ++i) {
        const int n = kind == Line::Format
                          ? std::snprintf(buf, sizeof buf, "%d %s %.3f\n", static_cast<int>(i),
                                          in.name, in.x[i])
                          : std::snprintf(buf, sizeof buf, "%d %s\n", static_cast<int>(i), in.name);
        text.append(buf, static_cast<size_t>(n));
    }
    return text;
}

// A temporary file, removed when done with.
class TempFile {
public:
    TempFile() : m_path("/tmp/qxbase_bench-XXXXXX") {
        const int fd = ::mkstemp(&m_path[0]);
        if (fd >= 0)
            ::close(fd);
        else
            m_path.clear();
    }
    ~TempFile() {
        if (!m_path.empty()) ::unlink(m_path.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const char* path() const { return m_path.c_str(); }
    std::string contents() const {
        std::ifstream in(m_path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::string m_path;
};

// A write-only IOStream over a file descriptor it owns.
class FdStream : public qxOS::IOStream {
public:
    explicit FdStream(const char* path) : m_fd(::open(path, O_WRONLY | O_TRUNC)) {}
    ~FdStream() override {
        if (m_fd >= 0) ::close(m_fd);
    }

    qxUtil::Error read(void*, size_t, size_t* bytesRead) override {
        *bytesRead = 0;
        return qxUtil::Error(EBADF, "the stream is write-only");
    }
    qxUtil::Error write(const void* buffer, size_t size, size_t* bytesWritten) override {
        ssize_t n;
        do n = ::write(m_fd, buffer, size);
        while (n < 0 && errno == EINTR);
        if (n < 0) {
            *bytesWritten = 0;
            return qxUtil::Error(errno, "write: %s", std::strerror(errno));
        }
        *bytesWritten = static_cast<size_t>(n);
        return qxUtil::Error();
    }

    bool isOpen() const { return m_fd >= 0; }
    void rewind() { ::lseek(m_fd, 0, SEEK_SET); }

private:
    int m_fd;
};

// The sides: line() writes one line, rewind() flushes and seeks back to
// the start, ok() tells that nothing failed.

class QxFile {
public:
    explicit QxFile(const char* path) : m_stream(path), m_out(m_stream) {}

    template <Line L>
    void line(int i, const char* name, double x) {
        if (L == Line::Format)
            m_out.format("%d %s %.3f\n", i, name, x);
        else
            m_out << i << ' ' << name << '\n';
    }
    void rewind() {
        m_out.flush();
        m_stream.rewind();
    }
    bool ok() const { return m_stream.isOpen() && static_cast<bool>(m_out); }

private:
    FdStream m_stream;  // declared first: the OStream flushes into it on destruction
    qxOS::OStream m_out;
};

class StdioFile {
public:
    explicit StdioFile(const char* path) : m_file(std::fopen(path, "w")) {}
    ~StdioFile() {
        if (m_file) std::fclose(m_file);
    }

    template <Line L>
    void line(int i, const char* name, double x) {
        if (L == Line::Format)
            std::fprintf(m_file, "%d %s %.3f\n", i, name, x);
        else
            std::fprintf(m_file, "%d %s\n", i, name);
    }
    void rewind() {
        std::fflush(m_file);
        std::rewind(m_file);
    }
    bool ok() const { return m_file && !std::ferror(m_file); }

private:
    std::FILE* m_file;
};

class OfstreamFile {
public:
    explicit OfstreamFile(const char* path) : m_out(path, std::ios::binary | std::ios::trunc) {}

    template <Line L>
    void line(int i, const char* name, double x) {
        if (L == Line::Format)
            m_out << i << ' ' << name << ' ' << std::fixed << std::setprecision(3) << x << '\n';
        else
            m_out << i << ' ' << name << '\n';
    }
    void rewind() {
        m_out.flush();
        m_out.seekp(0);
    }
    bool ok() const { return static_cast<bool>(m_out); }

private:
    std::ofstream m_out;
};

template <class Side, Line L>
void fileBench(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    const LineArgs in = lineArgs(lines);
    const std::string expected = expectedText(L, in);
    TempFile file;
    bool ok;
    {
        Side out(file.path());
        if (!out.ok()) {
            state.SkipWithError("cannot open a temporary file");
            return;
        }
        for (auto _ : state) {
            for (int i = 0; i < lines; ++i) out.template line<L>(i, in.name, in.x[i]);
            out.rewind();
        }
        ok = out.ok();
    }
    if (!ok)
        state.SkipWithError("output failed");
    else if (file.contents() != expected)
        state.SkipWithError("wrong output");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(expected.size()));
}

// --- registration ----------------------------------------------------------------------

using qxbench::registerSides;

template <Line L>
void registerFile(const char* name) {
    registerSides("ostream_file", name,
                  {{"qx", &fileBench<QxFile, L>},
                   {"std", &fileBench<StdioFile, L>},
                   {"ofstream", &fileBench<OfstreamFile, L>}},
                  {1000});
}

const bool registered = [] {
    registerSides("error_value", "success", {{"qx", &qxSuccess}, {"int", &intSuccess}}, {0});
    char buf[64];
    const MessageArgs in;
    registerSides("error_message", "short", {{"qx", &qxMessage}, {"std", &stdMessage}},
                  {std::snprintf(buf, sizeof buf, QX_MESSAGE_FORMAT, in.path, in.code)});
    registerFile<Line::Format>("format");
    registerFile<Line::Shift>("shift");
    return true;
}();

}  // namespace
