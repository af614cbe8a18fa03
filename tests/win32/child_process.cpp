#include "child_process.h"

#include <chrono>

namespace {

std::string Quote(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string quoted = "\"";
    for (char c : arg) {
        if (c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace

std::string BesideThisProgram(const std::string& name) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path, length);
    const size_t slash = dir.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : dir.substr(0, slash + 1)) + name;
}

HANDLE TestChildJob() {
    static HANDLE job = [] {
        HANDLE created = CreateJobObjectA(nullptr, nullptr);
        if (created) {
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits,
                                    sizeof limits);
        }
        return created;
    }();
    return job;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes->clear();
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0) {
        bytes->append(buffer, got);
    }
    CloseHandle(file);
    return ok;
}

ChildProcess::~ChildProcess() {
    Kill();
    if (reader_.joinable()) reader_.join();
    if (info_.hProcess) CloseHandle(info_.hProcess);
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         std::string* error) {
    const std::string path = BesideThisProgram(program);
    std::string commandLine = Quote(path);
    for (const std::string& arg : args) {
        commandLine += ' ';
        commandLine += Quote(arg);
    }

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readPipe = nullptr, writePipe = nullptr;
    if (!CreatePipe(&readPipe, &writePipe, &inherit, 0)) {
        *error = "CreatePipe failed, error " + std::to_string(GetLastError());
        return false;
    }
    SetHandleInformation(readPipe, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writePipe;
    startup.hStdError = writePipe;
    const BOOL started = CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_SUSPENDED, nullptr, nullptr, &startup, &info_);
    const DWORD startError = GetLastError();
    CloseHandle(writePipe); // the child's copy alone keeps the pipe open now
    if (!started) {
        CloseHandle(readPipe);
        info_ = {};
        *error = "cannot start " + path + ", error " + std::to_string(startError);
        return false;
    }
    if (HANDLE job = TestChildJob()) AssignProcessToJobObject(job, info_.hProcess);
    ResumeThread(info_.hThread);
    CloseHandle(info_.hThread);
    info_.hThread = nullptr;
    reader_ = std::thread(&ChildProcess::ReadOutput, this, readPipe);
    return true;
}

void ChildProcess::ReadOutput(HANDLE pipe) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        // Text-mode output ends its lines with CR LF; the tests look for '\n' alone.
        for (DWORD i = 0; i < got; ++i) {
            if (buffer[i] != '\r') output_ += buffer[i];
        }
        changed_.notify_all();
    }
    CloseHandle(pipe);
    std::lock_guard<std::mutex> lock(mutex_);
    outputEnded_ = true;
    changed_.notify_all();
}

bool ChildProcess::WaitForLine(const std::string& prefix, DWORD timeoutMs, std::string* line) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto found = [&] {
        for (size_t start = 0; start < output_.size();) {
            const size_t end = output_.find('\n', start);
            if (end == std::string::npos) return false; // a line still being written
            if (output_.compare(start, prefix.size(), prefix) == 0) {
                if (line) *line = output_.substr(start, end - start);
                return true;
            }
            start = end + 1;
        }
        return false;
    };
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [&] { return found() || outputEnded_; });
    return found();
}

bool ChildProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
    if (!info_.hProcess) return false;
    if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
    if (reader_.joinable()) reader_.join();
    if (exitCode) GetExitCodeProcess(info_.hProcess, exitCode);
    return true;
}

void ChildProcess::Kill() {
    if (!Running()) return;
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 10000);
}

bool ChildProcess::Running() const {
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

std::string ChildProcess::Output() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return output_;
}

bool RunToEnd(const std::string& program, const std::vector<std::string>& args, DWORD timeoutMs,
              DWORD* exitCode, std::string* output) {
    ChildProcess child;
    std::string error;
    if (!child.Start(program, args, &error)) {
        *output = error;
        return false;
    }
    const bool ended = child.WaitForExit(timeoutMs, exitCode);
    if (!ended) child.Kill();
    if (!ended) child.WaitForExit(5000);
    *output = child.Output();
    return ended;
}
