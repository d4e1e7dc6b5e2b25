// Win32 backend of starting programs: CreateProcessW with a quoted command
// line, the C runtime's hand-over block for shared streams, and a job
// object that kills on close around a child that is waited for.
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysProcess.h"

#include <windows.h>
#include <io.h>

#include <cstring>
#include <string>
#include <vector>

namespace qx {
namespace sys {

namespace {

void appendQuoted(std::wstring& line, const WChar* arg) {
    const std::wstring a(arg);
    if ((!a.empty() && a[0] == L'"') || a.find(L' ') == std::wstring::npos) {
        line += a;
        return;
    }
    size_t trailing = 0;
    while (trailing < a.size() && a[a.size() - 1 - trailing] == L'\\') ++trailing;
    line += L'"';
    line += a;
    line.append(trailing, L'\\');
    line += L'"';
}

// The runtime's flag byte for an inherited handle, from its file type.
unsigned char handleFlags(HANDLE h) {
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return 0xFF;
    switch (GetFileType(h)) {
        case FILE_TYPE_UNKNOWN:
            return 0xFF;
        case FILE_TYPE_DISK:
        case FILE_TYPE_CHAR:
            return 0xC1;
        case FILE_TYPE_PIPE:
            return 0x89;
        default:
            return 0x81;
    }
}

}  // namespace

bool executableExists(const WChar* path) {
    return _waccess(reinterpret_cast<const wchar_t*>(path), 0) == 0;
}

int startProcess(const ProcessStart& start, Process* process) {
    std::wstring line = L"\"";
    line += reinterpret_cast<const wchar_t*>(start.executable);
    line += L'"';
    for (size_t i = 0; i < start.numArguments; ++i) {
        line += L' ';
        appendQuoted(line, start.arguments[i]);
    }

    DWORD flags = 0;
    CONSOLE_SCREEN_BUFFER_INFO console;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &console))
        flags |= CREATE_NO_WINDOW;

    STARTUPINFOW si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    const HANDLE streams[3] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE),
                               GetStdHandle(STD_ERROR_HANDLE)};
    si.hStdInput = streams[0];
    si.hStdOutput = streams[1];
    si.hStdError = streams[2];
    BOOL inherit = FALSE;
    // The runtime's hand-over block: a count, a flag byte per handle, then
    // the handles, unaligned.
    unsigned char block[31];
    if (start.shareStreams && (streams[0] || streams[1] || streams[2])) {
        inherit = TRUE;
        si.dwFlags |= STARTF_USESTDHANDLES;
        const int count = 3;
        std::memcpy(block, &count, 4);
        for (int i = 0; i < 3; ++i) {
            block[4 + i] = handleFlags(streams[i]);
            const unsigned long long h = reinterpret_cast<unsigned long long>(streams[i]);
            std::memcpy(block + 7 + 8 * i, &h, 8);
        }
        si.cbReserved2 = sizeof block;
        si.lpReserved2 = block;
    }

    HANDLE job = nullptr;
    if (start.dieWithCaller) {
        job = CreateJobObjectW(nullptr, nullptr);
        if (!job) return static_cast<int>(GetLastError());
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
        std::memset(&limits, 0, sizeof limits);
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        flags |= CREATE_SUSPENDED;
    }

    std::vector<wchar_t> mutableLine(line.begin(), line.end());
    mutableLine.push_back(L'\0');
    const wchar_t* dir = start.workingDirectory && start.workingDirectory[0]
                             ? reinterpret_cast<const wchar_t*>(start.workingDirectory)
                             : nullptr;
    PROCESS_INFORMATION pi;
    if (!CreateProcessW(reinterpret_cast<const wchar_t*>(start.executable), mutableLine.data(),
                        nullptr, nullptr, inherit, flags, nullptr, dir, &si, &pi)) {
        const int err = static_cast<int>(GetLastError());
        if (job) CloseHandle(job);
        return err;
    }
    if (job) {
        AssignProcessToJobObject(job, pi.hProcess);
        ResumeThread(pi.hThread);
    }
    CloseHandle(pi.hThread);
    if (process && start.dieWithCaller) {
        process->handle = reinterpret_cast<intptr_t>(pi.hProcess);
        process->job = reinterpret_cast<intptr_t>(job);
    } else {
        CloseHandle(pi.hProcess);
        if (job) CloseHandle(job);
    }
    return 0;
}

int waitProcess(Process* process, long* exitCode, int* failedStep) {
    *exitCode = 0;
    const HANDLE h = reinterpret_cast<HANDLE>(process->handle);
    const HANDLE job = reinterpret_cast<HANDLE>(process->job);
    process->handle = process->job = 0;
    int rc = 0;
    if (WaitForSingleObject(h, INFINITE) == WAIT_FAILED) {
        rc = static_cast<int>(GetLastError());
        *failedStep = 1;
    } else {
        DWORD code = 0;
        if (GetExitCodeProcess(h, &code)) {
            *exitCode = static_cast<long>(code);
        } else {
            rc = static_cast<int>(GetLastError());
            *failedStep = 2;
        }
    }
    CloseHandle(h);
    if (job) CloseHandle(job);
    return rc;
}

}  // namespace sys
}  // namespace qx
