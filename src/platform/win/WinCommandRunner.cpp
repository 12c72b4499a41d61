#include "WinCommandRunner.h"

#include "OwnedHandle.h"
#include "WideText.h"
#include "WindowsCommandLine.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <random>

static_assert(StartRetry::windowsAccessDenied == ERROR_ACCESS_DENIED &&
              StartRetry::windowsNotEnoughMemory == ERROR_NOT_ENOUGH_MEMORY &&
              StartRetry::windowsOutOfMemory == ERROR_OUTOFMEMORY &&
              StartRetry::windowsSharingViolation == ERROR_SHARING_VIOLATION &&
              StartRetry::windowsInternalError == ERROR_INTERNAL_ERROR &&
              StartRetry::windowsNoSystemResources == ERROR_NO_SYSTEM_RESOURCES &&
              StartRetry::windowsCommitmentLimit == ERROR_COMMITMENT_LIMIT);

namespace {

constexpr size_t keptOutput = 4096;
/// How long an ended command is given to be gone, so that a command started again right after a time-out finds
/// the files of the first one closed. Bounded: a process stuck in a network call may take longer to die.
constexpr DWORD endGrace = 2000;

void keepTail(std::string& output, const char* data, size_t size)
{
    output.append(data, size);
    if (output.size() > keptOutput)
        output.erase(0, output.size() - keptOutput);
}

std::string cannotStart(const std::string& program, const std::string& reason)
{
    return "cannot start \"" + program + "\": " + reason;
}

/// The two ends of a pipe for the command's output. The read end is ours and overlapped, so that one thread
/// can wait for output, for the command's end and for the time limit at once; the write end is inheritable.
/// A named pipe, because anonymous pipes cannot be overlapped; its name is unguessable, and it takes no
/// client from another computer.
bool createOutputPipe(OwnedHandle& readEnd, OwnedHandle& writeEnd, DWORD& error)
{
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    const std::wstring name = L"\\\\.\\pipe\\kopirko-run-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(counter++) + L"-" + std::to_wstring(random()) + std::to_wstring(random());
    readEnd = OwnedHandle(::CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, 64 * 1024, 0, nullptr));
    if (!readEnd) {
        error = ::GetLastError();
        return false;
    }
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    writeEnd = OwnedHandle(
        ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!writeEnd) {
        error = ::GetLastError();
        return false;
    }
    return true;
}

/// The list of the only handles the command inherits (its input and output), so that it gets none of the
/// inheritable handles other threads of this program may hold at that moment.
class InheritedHandles
{
public:
    explicit InheritedHandles(std::initializer_list<HANDLE> handles) : m_handles(handles)
    {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        m_storage = std::make_unique<char[]>(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_storage.get());
        if (!::InitializeProcThreadAttributeList(list, 1, 0, &size))
            return;
        m_initialised = true;
        if (::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, m_handles.data(),
                                        m_handles.size() * sizeof(HANDLE), nullptr, nullptr))
            m_list = list;
    }
    ~InheritedHandles()
    {
        if (m_initialised)
            ::DeleteProcThreadAttributeList(reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_storage.get()));
    }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;

    /// Nothing when the list could not be made: then every inheritable handle is inherited, as without a list.
    LPPROC_THREAD_ATTRIBUTE_LIST list() const { return m_list; }

private:
    std::vector<HANDLE> m_handles;
    std::unique_ptr<char[]> m_storage;
    bool m_initialised = false;
    LPPROC_THREAD_ATTRIBUTE_LIST m_list = nullptr;
};

/// Reads the command's output through one overlapped read at a time.
class OutputReader
{
public:
    OutputReader(HANDLE pipe, std::string& output) : m_pipe(pipe), m_output(output)
    {
        m_overlapped.hEvent = m_event.get();
    }
    ~OutputReader() { stop(); }
    OutputReader(const OutputReader&) = delete;
    OutputReader& operator=(const OutputReader&) = delete;

    bool ready() const { return static_cast<bool>(m_event); }
    /// Signalled when the pending read has completed.
    HANDLE event() const { return m_event.get(); }
    /// True while a read waits for output; false once every writer has closed the pipe (or it failed).
    bool pending() const { return m_pending; }

    /// Takes what the pending read got and starts the next one; reads that complete at once are taken at once.
    void advance()
    {
        if (m_pending && !complete(false))
            return;
        while (m_open) {
            ::ResetEvent(m_event.get());
            if (::ReadFile(m_pipe, m_buffer, sizeof m_buffer, nullptr, &m_overlapped)) {
                m_pending = true;
                complete(false);
                continue;
            }
            if (::GetLastError() == ERROR_IO_PENDING) {
                m_pending = true;
                return;
            }
            m_open = false; // ERROR_BROKEN_PIPE: every writer is gone
        }
    }

    /// Ends the pending read and takes what is left in the pipe without waiting for more.
    void stop()
    {
        if (m_pending) {
            ::CancelIoEx(m_pipe, &m_overlapped);
            complete(true); // the read must be over before its buffer goes
        }
        DWORD available = 0;
        while (m_open && ::PeekNamedPipe(m_pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            ::ResetEvent(m_event.get());
            const DWORD wanted = std::min<DWORD>(available, sizeof m_buffer);
            if (!::ReadFile(m_pipe, m_buffer, wanted, nullptr, &m_overlapped) && ::GetLastError() != ERROR_IO_PENDING)
                break;
            m_pending = true;
            complete(true);
        }
        m_open = false;
    }

private:
    /// False while the read is still waiting (only when `wait` is false).
    bool complete(bool wait)
    {
        DWORD got = 0;
        if (::GetOverlappedResult(m_pipe, &m_overlapped, &got, wait ? TRUE : FALSE)) {
            keepTail(m_output, m_buffer, got);
        } else {
            const DWORD error = ::GetLastError();
            if (error == ERROR_IO_INCOMPLETE)
                return false;
            if (error != ERROR_OPERATION_ABORTED)
                m_open = false;
        }
        m_pending = false;
        return true;
    }

    HANDLE m_pipe;
    std::string& m_output;
    OwnedHandle m_event{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    OVERLAPPED m_overlapped{};
    char m_buffer[4096];
    bool m_pending = false;
    bool m_open = true;
};

DWORD millisecondsLeft(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    return static_cast<DWORD>(std::clamp<long long>(left, 0, INFINITE - 1));
}

} // namespace

WinCommandRunner::WinCommandRunner(StartRetry retry) : m_retry(std::move(retry)) {}

CommandOutcome WinCommandRunner::run(const std::string& program, const std::vector<std::string>& arguments,
                                     std::chrono::milliseconds timeLimit)
{
    CommandOutcome outcome;
    const auto deadline = std::chrono::steady_clock::now() + timeLimit;
    if (const std::string refused = WindowsCommandLine::problem(program, arguments); !refused.empty()) {
        outcome.error = cannotStart(program, refused);
        return outcome;
    }
    std::wstring commandLine = WideText::fromUtf8(WindowsCommandLine::build(program, arguments));

    // The command and everything it starts belong to the job: ending the job ends them all, and closing its
    // last handle (at the latest when this function returns, or when this program ends) ends what is left.
    OwnedHandle job(::CreateJobObjectW(nullptr, nullptr));
    if (!job) {
        outcome.error = cannotStart(program, WideText::errorText(::GetLastError()));
        return outcome;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    // A crash ends the process instead of waiting in the error report dialog until the time limit.
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    if (!::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        outcome.error = cannotStart(program, WideText::errorText(::GetLastError()));
        return outcome;
    }

    OwnedHandle readEnd, writeEnd;
    if (DWORD error = 0; !createOutputPipe(readEnd, writeEnd, error)) {
        outcome.error = cannotStart(program, "no pipe for its output: " + WideText::errorText(error));
        return outcome;
    }
    std::string output;
    OutputReader reader(readEnd.get(), output);
    if (!reader.ready()) {
        outcome.error = cannotStart(program, WideText::errorText(::GetLastError()));
        return outcome;
    }
    // Input: the NUL device, read as empty at once.
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    OwnedHandle input(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!input) {
        outcome.error = cannotStart(program, "no empty input: " + WideText::errorText(::GetLastError()));
        return outcome;
    }

    const InheritedHandles inherited{input.get(), writeEnd.get()};
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input.get();
    startup.StartupInfo.hStdOutput = writeEnd.get();
    startup.StartupInfo.hStdError = writeEnd.get();
    startup.lpAttributeList = inherited.list();
    // Suspended until it is in the job, so that nothing it starts escapes. No console window; the program is
    // looked up as CreateProcessW does it (its folder, the system folders, PATH).
    DWORD flags = CREATE_SUSPENDED | CREATE_NO_WINDOW;
    if (startup.lpAttributeList)
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    else
        startup.StartupInfo.cb = sizeof(STARTUPINFOW);
    // A start that fails for a moment is tried again: the job, the pipe and the input serve every try.
    PROCESS_INFORMATION started{};
    const unsigned long startError = m_retry.start(
        [&]() -> unsigned long {
            if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                                 &startup.StartupInfo, &started))
                return 0;
            const DWORD error = ::GetLastError();
            return error != 0 ? error : ERROR_GEN_FAILURE; // failed all the same: never taken for a start
        },
        StartRetry::passingOnWindows);
    if (startError != 0) {
        outcome.error = cannotStart(program, WideText::errorText(startError));
        return outcome;
    }
    OwnedHandle process(started.hProcess);
    OwnedHandle thread(started.hThread);
    // Ours are closed, so that the pipe reports its end once the command and what it started are gone.
    writeEnd.reset();
    input.reset();
    if (!::AssignProcessToJobObject(job.get(), process.get())) {
        const DWORD error = ::GetLastError();
        ::TerminateProcess(process.get(), 1);
        outcome.error = cannotStart(program, "cannot put it in a job of its own: " + WideText::errorText(error));
        return outcome;
    }
    if (::ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
        outcome.error = cannotStart(program, WideText::errorText(::GetLastError()));
        return outcome; // the job's end takes the suspended process with it
    }
    thread.reset();

    reader.advance();
    bool ended = false;
    while (!ended || reader.pending()) {
        HANDLE waited[2];
        DWORD count = 0;
        if (!ended)
            waited[count++] = process.get();
        if (reader.pending())
            waited[count++] = reader.event();
        const DWORD woken = ::WaitForMultipleObjects(count, waited, FALSE, millisecondsLeft(deadline));
        if (woken == WAIT_TIMEOUT)
            break;
        if (woken == WAIT_FAILED) {
            outcome.error = "cannot wait for \"" + program + "\": " + WideText::errorText(::GetLastError());
            ended = true;
            outcome.status = CommandOutcome::Status::Finished; // its exit status is unknown: -1
            ::TerminateJobObject(job.get(), 1);
            break;
        }
        if (waited[woken - WAIT_OBJECT_0] == process.get()) {
            ended = true;
            DWORD exitCode = 0;
            ::GetExitCodeProcess(process.get(), &exitCode);
            outcome.status = CommandOutcome::Status::Finished;
            outcome.exitCode = static_cast<int>(exitCode);
            // What it started and left behind would be ended with the job anyway; ending it now closes their
            // ends of the pipe, so that the rest of the output is read at once instead of at the time limit.
            ::TerminateJobObject(job.get(), 1);
        } else {
            reader.advance();
        }
    }
    if (!ended) {
        ::TerminateJobObject(job.get(), 1);
        ::WaitForSingleObject(process.get(), endGrace);
        outcome.status = CommandOutcome::Status::TimedOut;
    }
    reader.stop();
    outcome.output = std::move(output);
    return outcome;
}
