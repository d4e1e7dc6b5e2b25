#include "os/app/qxProcess.h"

#include "Components/Base/Utility/qxTextUtil.h"
#include "os/sys/qxSysApp.h"
#include "os/sys/qxSysProcess.h"

namespace qxOS {

using qxString::IString;
using qxUtil::Error;

namespace {

ProcessManager* s_instance = nullptr;

qx::vector<IString> wide(const qx::vector<qxString::CString>& arguments) {
    qx::vector<IString> out;
    out.reserve(arguments.size());
    for (const qxString::CString& a : arguments) out.push_back(IString(a));
    return out;
}

void takeText(void* ctx, const qx::WChar* text, size_t n) {
    static_cast<IString*>(ctx)->assign(text, static_cast<int>(n));
}

// The system's implementation over the platform layer. Only one start runs
// at a time on an instance: the child being waited for is kept here.
class ProcessManagerWin32Impl final : public ProcessManagerImpl {
public:
    qx::pair<IString, Error> findExecutable(const qx::vector<IString>& arguments) override {
        if (arguments.empty()) return {IString(), Error(2, "no executable specified")};
        const IString& program = arguments[0];
        const IString exe(QX_W(".exe"));
        if (!Filename(program).dirname().isEmpty()) {
            if (qx::sys::executableExists(program.asWChar())) return {program, Error()};
            const IString withExe = program + exe;
            if (qx::sys::executableExists(withExe.asWChar())) return {withExe, Error()};
            return {IString(), notFound(program)};
        }
        IString path;
        if (!qx::sys::getEnv(QX_W("PATH"), takeText, &path) || path.isEmpty())
            return {IString(), Error(3, "PATH environment variable not set.")};
        const qx::vector<IString> entries =
            qxUtil::split(path, qx::sys::listSeparator(), true, false);
        if (entries.empty()) return {IString(), Error(3, "PATH environment variable is empty.")};
        for (IString dir : entries) {
            // Entries are native: /usr/bin is \\usr\\bin here.
            for (unsigned i = 0; i < dir.length(); ++i)
                if (dir[i] == '/') dir[i] = '\\';
            const IString candidate = Filename::join(dir, program);
            if (qx::sys::executableExists(candidate.asWChar())) return {candidate, Error()};
            const IString withExe = candidate + exe;
            if (qx::sys::executableExists(withExe.asWChar())) return {withExe, Error()};
        }
        return {IString(), notFound(program)};
    }

    qx::pair<intptr_t, Error> launch(const qx::vector<IString>& arguments,
                                     const Filename& workingDirectory) override {
        const qx::pair<IString, Error> found = findExecutable(arguments);
        if (found.second) return {0, found.second};
        qx::vector<const qx::WChar*> rest;
        for (int i = 1; i < arguments.size(); ++i) rest.push_back(arguments[i].asWChar());
        const IString dir = workingDirectory.name();
        qx::sys::ProcessStart start;
        start.executable = found.first.asWChar();
        start.arguments = rest.data();
        start.numArguments = static_cast<size_t>(rest.size());
        start.workingDirectory = dir.isEmpty() ? nullptr : dir.asWChar();
        start.shareStreams = isSharingStreams();
        start.dieWithCaller = m_waiting;
        m_child = qx::sys::Process();
        if (const int rc = qx::sys::startProcess(start, &m_child))
            return {0, Error(1, "CreateProcess() failed: %S", qxUtil::systemErrorText(rc).asWChar())};
        return {m_child.handle, Error()};
    }

    Error startAsync(const qx::vector<IString>& arguments, const Filename& workingDirectory) override {
        m_waiting = false;
        return launch(arguments, workingDirectory).second;
    }

    qx::pair<long, Error> startSync(const qx::vector<IString>& arguments,
                                    const Filename& workingDirectory) override {
        m_waiting = true;
        const qx::pair<intptr_t, Error> launched = launch(arguments, workingDirectory);
        m_waiting = false;
        if (launched.second) return {0, launched.second};
        long code = 0;
        int step = 0;
        if (const int rc = qx::sys::waitProcess(&m_child, &code, &step)) {
            const IString text = qxUtil::systemErrorText(rc);
            return {0, step == 1 ? Error(1, "WaitforSingleObject() failed: %S", text.asWChar())
                                 : Error(1, "GetExitCodeProcess() failed: %S", text.asWChar())};
        }
        return {code, Error()};
    }

private:
    static Error notFound(const IString& program) {
        return Error(3, "%S: program not found.", program.asWChar());
    }

    bool m_waiting = false;
    qx::sys::Process m_child;
};

}  // namespace

ProcessManager::~ProcessManager() = default;

Error ProcessManager::startAsync(const qx::vector<qxString::CString>& arguments,
                                 const Filename& workingDirectory) {
    return startAsync(wide(arguments), workingDirectory);
}

qx::pair<long, Error> ProcessManager::startSync(const qx::vector<qxString::CString>& arguments,
                                                const Filename& workingDirectory) {
    return startSync(wide(arguments), workingDirectory);
}

void ProcessManager::setSharingStreams(bool share) {
    m_sharingStreams = share;
    onSetSharingStreams();
}

ProcessManager& ProcessManager::getInstance() {
    if (!s_instance) s_instance = createProcessManager();
    return *s_instance;
}

bool ProcessManager::setInstance(ProcessManager* manager) {
    if (s_instance) return false;
    s_instance = manager;
    return true;
}

ProcessManager* createProcessManager() {
    return new ProcessManagerWin32Impl;
}

}  // namespace qxOS
