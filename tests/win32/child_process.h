// child_process.h - the Windows tests' programs under test (simstandin.exe,
// linkprobe.exe, helpers), started from the tests' own bin directory with their
// output captured, and never left behind: the destructor ends a child that is still
// running, and every child sits in a job that the system ends with the test program.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The full path of `name` in the directory of the running test program.
std::string BesideThisProgram(const std::string& name);

// One job for every child of this test program: should the test program itself
// die, the system ends the children with the job's last handle.
HANDLE TestChildJob();

// The whole content of a file that another process may be writing meanwhile;
// false if it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string* bytes);

class ChildProcess {
  public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // Starts `program` (a file name beside the test program) with `args`, its
    // stdout and stderr merged into one captured stream. False with *error set if it
    // could not be started.
    bool Start(const std::string& program, const std::vector<std::string>& args,
               std::string* error);

    // Waits until a whole line starting with `prefix` has been printed; the line goes
    // to *line. False on time-out, or when the child's output ends first.
    bool WaitForLine(const std::string& prefix, DWORD timeoutMs, std::string* line = nullptr);
    // Waits for the child to end and its output to be read; false on time-out.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    // Ends the child at once (no-op if it has ended) and waits for it.
    void Kill();

    bool Running() const;
    DWORD Pid() const { return info_.dwProcessId; }
    // Everything printed so far.
    std::string Output() const;

  private:
    void ReadOutput(HANDLE pipe);

    PROCESS_INFORMATION info_{};
    std::thread reader_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::string output_;
    bool outputEnded_ = false;
};

// Runs `program` to its end (guard: timeoutMs) and returns its exit code and output;
// false if it could not be started or did not end in time (it is then killed).
bool RunToEnd(const std::string& program, const std::vector<std::string>& args, DWORD timeoutMs,
              DWORD* exitCode, std::string* output);
