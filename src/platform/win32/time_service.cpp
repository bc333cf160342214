// The time service on Windows: quorvel-cli run by the service manager as
// LocalService, answering local callers through a message-mode named pipe.
#include "platform/time_service.h"

#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/cancel_signal.h"
#include "platform/win32/utf16.h"

namespace qv::platform {

namespace {

using Steady = std::chrono::steady_clock;

const wchar_t kPipeName[] = LR"(\\.\pipe\QuorvelTimeService)";
const wchar_t kServiceName[] = L"QuorvelTimeService";
const wchar_t kDisplayName[] = L"Quorvel time service";
const wchar_t kDescription[] =
    L"Sets the clock for the users of this PC from the time server they name in Quorvel or quorvel-cli; "
    L"it never takes a time from them.";
// The least account that holds the right to set the clock.
const wchar_t kAccount[] = L"NT AUTHORITY\\LocalService";
// Where install-service puts the copy the service runs: a folder only
// administrators may write, whichever folder the user ran it from.
const wchar_t kServiceFolder[] = L"Quorvel time service";
const wchar_t kServiceExe[] = L"quorvel-time-service.exe";

// Interactive users may read and write the pipe's data and set its read
// mode (0x12018B: read/write data, read EA and attributes, write
// attributes, read control, synchronize), but not create an instance of it
// (generic write would grant that): nobody else can serve in its name.
// SYSTEM and the service's own account hold everything.
const wchar_t kPipeSecurity[] = L"D:P(A;;0x12018b;;;IU)(A;;GA;;;SY)(A;;GA;;;LS)";
constexpr DWORD kCallerAccess = FILE_READ_DATA | FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kMaxInstances = 4;  // callers in flight at most; later ones wait

class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  ~Handle() { Reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  void Reset(HANDLE h = nullptr) {
    if (h_) CloseHandle(h_);
    h_ = h == INVALID_HANDLE_VALUE ? nullptr : h;
  }
  HANDLE Release() { return std::exchange(h_, nullptr); }

 private:
  HANDLE h_;
};

class ScHandle {
 public:
  explicit ScHandle(SC_HANDLE h) : h_(h) {}
  ~ScHandle() {
    if (h_) CloseServiceHandle(h_);
  }
  ScHandle(const ScHandle&) = delete;
  ScHandle& operator=(const ScHandle&) = delete;
  SC_HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  SC_HANDLE h_;
};

DWORD MillisLeft(Steady::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now()).count();
  return left <= 0 ? 0 : static_cast<DWORD>(std::min<long long>(left, 0x7FFFFFFF));
}

enum class Io { kDone, kTimedOut, kStopped, kFailed };

// One overlapped read or write to its end: done, the deadline, `stop`
// (may be null), or a failure (error set; ERROR_MORE_DATA for a message
// longer than the buffer, with `moved` bytes read).
Io Transfer(HANDLE pipe, bool write, void* buffer, DWORD size, DWORD& moved, HANDLE stop,
            Steady::time_point deadline, DWORD& error) {
  Handle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event) return error = GetLastError(), Io::kFailed;
  OVERLAPPED ov{};
  ov.hEvent = event.get();
  moved = 0;
  const BOOL started = write ? WriteFile(pipe, buffer, size, nullptr, &ov) : ReadFile(pipe, buffer, size, nullptr, &ov);
  error = started ? ERROR_SUCCESS : GetLastError();
  if (!started && error != ERROR_IO_PENDING) {
    if (error == ERROR_MORE_DATA) GetOverlappedResult(pipe, &ov, &moved, FALSE);
    return Io::kFailed;
  }
  if (!started) {
    const HANDLE waits[2] = {event.get(), stop};
    const DWORD woke = WaitForMultipleObjects(stop ? 2 : 1, waits, FALSE, MillisLeft(deadline));
    if (woke != WAIT_OBJECT_0) {
      CancelIoEx(pipe, &ov);
      GetOverlappedResult(pipe, &ov, &moved, TRUE);
      return woke == WAIT_OBJECT_0 + 1 ? Io::kStopped : Io::kTimedOut;
    }
  }
  if (!GetOverlappedResult(pipe, &ov, &moved, FALSE)) return error = GetLastError(), Io::kFailed;
  error = ERROR_SUCCESS;
  return Io::kDone;
}

bool ServiceInstalled() {
  ScHandle scm(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!scm) return false;
  ScHandle service(OpenServiceW(scm.get(), kServiceName, SERVICE_QUERY_STATUS));
  return service || GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST;
}

// Running: between two callers the service may have no pipe instance for a
// moment, which is no reason to give up on it.
bool ServiceRunning() {
  ScHandle scm(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!scm) return false;
  ScHandle service(OpenServiceW(scm.get(), kServiceName, SERVICE_QUERY_STATUS));
  SERVICE_STATUS status{};
  return service && QueryServiceStatus(service.get(), &status) && status.dwCurrentState == SERVICE_RUNNING;
}

std::wstring ThisExecutable() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) return path.substr(0, n);
    path.resize(path.size() * 2);
  }
}

std::wstring ServiceFolder() {
  PWSTR base = nullptr;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_ProgramFiles, 0, nullptr, &base))) return {};
  std::wstring folder = std::wstring(base) + L"\\" + kServiceFolder;
  CoTaskMemFree(base);
  return folder;
}

ServiceSetupResult Outcome(ServiceSetup outcome, DWORD error = 0, std::string note = {}) {
  return {outcome, error, std::move(note)};
}

ServiceSetup FromError(DWORD error) {
  return error == ERROR_ACCESS_DENIED ? ServiceSetup::kNotAdministrator : ServiceSetup::kFailed;
}

// ---------------------------------------------------------------- serving

// What the serving thread, the listener and the callers' sessions share.
struct Server {
  std::size_t max_request = 0;
  std::vector<std::uint8_t> busy_reply, refused_reply;
  std::chrono::milliseconds read_limit{0};
  Handle stop;  // the caller's stop event, our own copy of it

  std::mutex mutex;
  std::condition_variable changed;
  bool working = false;  // a request is with the serving thread
  bool has_job = false, has_reply = false, ending = false;
  std::vector<std::uint8_t> job, reply;
  int sessions = 0;
};

HANDLE NewInstance(bool first, DWORD& error) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kPipeSecurity, SDDL_REVISION_1, &sd, nullptr)) {
    error = GetLastError();
    return INVALID_HANDLE_VALUE;
  }
  SECURITY_ATTRIBUTES sa{sizeof sa, sd, FALSE};
  const HANDLE pipe = CreateNamedPipeW(
      kPipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, kMaxInstances, 4096, 4096, 0,
      &sa);
  error = pipe == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  LocalFree(sd);
  return pipe;
}

// A whole request: one message or several, until its length prefix is met.
// False for a caller that sends nothing whole in time, or goes away;
// `oversize` set for one longer than allowed.
bool ReadRequest(Server& server, HANDLE pipe, std::vector<std::uint8_t>& request, bool& oversize) {
  const Steady::time_point deadline = Steady::now() + server.read_limit;
  std::vector<std::uint8_t> buffer(server.max_request + 1);
  oversize = false;
  for (;;) {
    DWORD got = 0, error = 0;
    const Io io = Transfer(pipe, false, buffer.data(), static_cast<DWORD>(buffer.size()), got, server.stop.get(),
                           deadline, error);
    if (io == Io::kFailed && error == ERROR_MORE_DATA) return oversize = true;
    if (io != Io::kDone) return false;
    request.insert(request.end(), buffer.begin(), buffer.begin() + got);
    if (request.size() > server.max_request) return oversize = true;
    if (request.size() >= 4) {
      const std::size_t whole =
          4 + (request[0] | (request[1] << 8) | (request[2] << 16) | (static_cast<std::size_t>(request[3]) << 24));
      if (whole > server.max_request) return oversize = true;
      if (request.size() >= whole) return true;  // anything beyond is the decoder's to refuse
    }
  }
}

// The serving thread's answer, or the busy reply while it has another.
std::vector<std::uint8_t> Answer(Server& server, std::vector<std::uint8_t> request) {
  std::unique_lock<std::mutex> lock(server.mutex);
  if (server.working || server.ending) return server.busy_reply;
  server.working = true;
  server.job = std::move(request);
  server.has_job = true;
  server.changed.notify_all();
  server.changed.wait(lock, [&] { return server.has_reply || server.ending; });
  std::vector<std::uint8_t> reply = server.has_reply ? std::move(server.reply) : server.busy_reply;
  server.has_reply = false;
  server.working = false;
  return reply;
}

void Session(std::shared_ptr<Server> server, HANDLE raw_pipe) {
  Handle pipe(raw_pipe);
  std::vector<std::uint8_t> request;
  bool oversize = false;
  if (ReadRequest(*server, pipe.get(), request, oversize) || oversize) {
    std::vector<std::uint8_t> reply = oversize ? server->refused_reply : Answer(*server, std::move(request));
    DWORD moved = 0, error = 0;
    const Steady::time_point deadline = Steady::now() + std::chrono::seconds(5);
    if (Transfer(pipe.get(), true, reply.data(), static_cast<DWORD>(reply.size()), moved, server->stop.get(), deadline,
                 error) == Io::kDone) {
      // The caller closes once it has read; disconnecting first would take
      // the unread reply away from it.
      std::uint8_t sink[64];
      while (Steady::now() < deadline &&
             (Transfer(pipe.get(), false, sink, sizeof sink, moved, server->stop.get(), deadline, error) == Io::kDone ||
              error == ERROR_MORE_DATA)) {
      }
    }
  }
  DisconnectNamedPipe(pipe.get());
  pipe.Reset();
  std::lock_guard<std::mutex> lock(server->mutex);
  --server->sessions;
  server->changed.notify_all();
}

void Listen(std::shared_ptr<Server> server, HANDLE first) {
  Handle instance(first);
  for (;;) {
    if (instance) {
      Handle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
      OVERLAPPED ov{};
      ov.hEvent = event.get();
      bool connected = ConnectNamedPipe(instance.get(), &ov) != 0;
      DWORD error = connected ? 0 : GetLastError();
      if (error == ERROR_PIPE_CONNECTED) connected = true;
      if (error == ERROR_IO_PENDING) {
        const HANDLE waits[2] = {event.get(), server->stop.get()};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
          CancelIoEx(instance.get(), &ov);
          DWORD ignored = 0;
          GetOverlappedResult(instance.get(), &ov, &ignored, TRUE);
          break;
        }
        DWORD ignored = 0;
        connected = GetOverlappedResult(instance.get(), &ov, &ignored, FALSE) != 0;
      }
      if (connected) {
        {
          std::lock_guard<std::mutex> lock(server->mutex);
          ++server->sessions;
        }
        HANDLE pipe = instance.Release();
        try {
          std::thread(Session, server, pipe).detach();
        } catch (...) {
          CloseHandle(pipe);
          std::lock_guard<std::mutex> lock(server->mutex);
          --server->sessions;
        }
      }
      instance.Reset();
    }
    if (WaitForSingleObject(server->stop.get(), 0) == WAIT_OBJECT_0) break;
    DWORD error = 0;
    instance.Reset(NewInstance(false, error));
    // Every instance taken by callers in flight: wait for one to end.
    if (!instance && WaitForSingleObject(server->stop.get(), 50) == WAIT_OBJECT_0) break;
  }
  std::lock_guard<std::mutex> lock(server->mutex);
  server->ending = true;
  server->changed.notify_all();
}

// ---------------------------------------------------------------- service

std::atomic<CancelSignal*> g_stop{nullptr};
SERVICE_STATUS_HANDLE g_status = nullptr;
const std::function<int(const CancelSignal&)>* g_serve = nullptr;

void Report(DWORD state, DWORD exit_code = 0) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  status.dwWin32ExitCode = exit_code == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
  status.dwServiceSpecificExitCode = exit_code;
  status.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 70000;
  SetServiceStatus(g_status, &status);
}

DWORD WINAPI OnControl(DWORD control, DWORD, LPVOID, LPVOID) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      Report(SERVICE_STOP_PENDING);
      if (CancelSignal* stop = g_stop.load()) stop->Fire();
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE: return NO_ERROR;
    default: return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
  g_status = RegisterServiceCtrlHandlerExW(kServiceName, OnControl, nullptr);
  if (!g_status) return;
  Report(SERVICE_START_PENDING);
  CancelSignal stop;
  g_stop.store(&stop);
  Report(SERVICE_RUNNING);
  const int code = (*g_serve)(stop);
  g_stop.store(nullptr);
  Report(SERVICE_STOPPED, static_cast<DWORD>(code));
}

}  // namespace

bool HasTimeService() { return true; }

ServiceCall CallTimeService(std::span<const std::uint8_t> request, std::chrono::milliseconds timeout,
                            const CancelSignal* cancel, std::size_t max_reply) {
  const Steady::time_point deadline = Steady::now() + timeout;
  const HANDLE cancel_event = cancel ? reinterpret_cast<HANDLE>(cancel->NativeHandle()) : nullptr;
  ServiceCall call;
  Handle pipe;
  for (;;) {
    // Identification only: the service can tell who asks, never act as them.
    pipe.Reset(CreateFileW(kPipeName, kCallerAccess, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
    if (pipe) break;
    call.os_error = GetLastError();
    const bool between = call.os_error == ERROR_FILE_NOT_FOUND && ServiceRunning();
    if (call.os_error == ERROR_FILE_NOT_FOUND && !between) {
      call.end = ServiceInstalled() ? ServiceCallEnd::kNotAnswering : ServiceCallEnd::kNotInstalled;
      return call;
    }
    if (call.os_error != ERROR_PIPE_BUSY && !between) return call;
    if (cancel && cancel->Fired()) return call.end = ServiceCallEnd::kCancelled, call;
    if (MillisLeft(deadline) == 0) return call;
    if (between) {
      Sleep(std::min<DWORD>(MillisLeft(deadline), 20));
      continue;
    }
    // In short steps, so that a cancel is heard.
    WaitNamedPipeW(kPipeName, std::min<DWORD>(MillisLeft(deadline), 100));
  }
  DWORD mode = PIPE_READMODE_MESSAGE;
  if (!SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr)) return call.os_error = GetLastError(), call;

  std::vector<std::uint8_t> out(request.begin(), request.end());
  DWORD moved = 0, error = 0;
  Io io = Transfer(pipe.get(), true, out.data(), static_cast<DWORD>(out.size()), moved, cancel_event, deadline, error);
  if (io == Io::kDone) {
    call.reply.resize(max_reply);
    io = Transfer(pipe.get(), false, call.reply.data(), static_cast<DWORD>(max_reply), moved, cancel_event, deadline,
                  error);
    call.reply.resize(io == Io::kDone ? moved : 0);
  }
  call.os_error = io == Io::kTimedOut ? WAIT_TIMEOUT : error;
  call.end = io == Io::kDone      ? ServiceCallEnd::kAnswered
             : io == Io::kStopped ? ServiceCallEnd::kCancelled
                                  : ServiceCallEnd::kNotAnswering;
  return call;
}

bool ServeTimeService(const ServiceAnswers& answers, const CancelSignal& stop, std::chrono::milliseconds read_limit,
                      std::uint32_t& os_error) {
  auto server = std::make_shared<Server>();
  server->max_request = answers.max_request;
  server->busy_reply = answers.busy;
  server->refused_reply = answers.refused;
  server->read_limit = read_limit;
  HANDLE own_stop = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(stop.NativeHandle()), GetCurrentProcess(),
                       &own_stop, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    os_error = GetLastError();
    return false;
  }
  server->stop.Reset(own_stop);
  // The first instance is ours alone: a pipe someone made before us is
  // never served under our name.
  DWORD error = 0;
  const HANDLE first = NewInstance(true, error);
  if (first == INVALID_HANDLE_VALUE) {
    os_error = error;
    return false;
  }
  std::thread listener(Listen, server, first);
  std::unique_lock<std::mutex> lock(server->mutex);
  for (;;) {
    server->changed.wait(lock, [&] { return server->has_job || server->ending; });
    if (server->ending) break;
    std::vector<std::uint8_t> job = std::move(server->job);
    server->has_job = false;
    lock.unlock();
    std::vector<std::uint8_t> reply = answers.answer(job);
    lock.lock();
    server->reply = std::move(reply);
    server->has_reply = true;
    server->changed.notify_all();
  }
  // Sessions end on the stop; none outlives what it shares with us.
  server->changed.wait_for(lock, std::chrono::seconds(10), [&] { return server->sessions == 0; });
  lock.unlock();
  listener.join();
  os_error = 0;
  return true;
}

bool RunAsService(const std::function<int(const CancelSignal& stop)>& serve, std::uint32_t& os_error) {
  g_serve = &serve;
  SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(kServiceName), ServiceMain}, {nullptr, nullptr}};
  const bool ran = StartServiceCtrlDispatcherW(table) != 0;
  os_error = ran ? 0 : GetLastError();
  g_serve = nullptr;
  return ran;
}

bool EnableClockRight() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) return false;
  Handle token(raw);
  TOKEN_PRIVILEGES wanted{};
  wanted.PrivilegeCount = 1;
  wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueW(nullptr, L"SeSystemtimePrivilege", &wanted.Privileges[0].Luid)) return false;
  // Succeeds even for a privilege the token lacks; the error tells.
  return AdjustTokenPrivileges(token.get(), FALSE, &wanted, 0, nullptr, nullptr) && GetLastError() == ERROR_SUCCESS;
}

ServiceSetupResult InstallTimeService(const std::string& arguments) {
  ScHandle scm(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
  if (!scm) return Outcome(FromError(GetLastError()), GetLastError());
  {
    ScHandle existing(OpenServiceW(scm.get(), kServiceName, SERVICE_QUERY_STATUS));
    if (existing) return Outcome(ServiceSetup::kAlreadyThere);
  }
  // The service runs a copy no user may replace: LocalService must never
  // run what a user can write.
  const std::wstring folder = ServiceFolder();
  const std::wstring exe = folder + L"\\" + kServiceExe;
  if (folder.empty()) return Outcome(ServiceSetup::kFailed, ERROR_PATH_NOT_FOUND);
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    return Outcome(FromError(GetLastError()), GetLastError());
  if (!CopyFileW(ThisExecutable().c_str(), exe.c_str(), FALSE)) return Outcome(FromError(GetLastError()), GetLastError());

  const std::wstring command = L"\"" + exe + L"\" " + Widen(arguments);
  ScHandle service(CreateServiceW(scm.get(), kServiceName, kDisplayName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                  SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr,
                                  nullptr, kAccount, nullptr));
  if (!service) {
    const DWORD error = GetLastError();
    DeleteFileW(exe.c_str());
    RemoveDirectoryW(folder.c_str());
    return Outcome(error == ERROR_SERVICE_EXISTS ? ServiceSetup::kAlreadyThere : FromError(error), error);
  }
  std::string note;
  SERVICE_DESCRIPTIONW description{const_cast<LPWSTR>(kDescription)};
  ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &description);
  // Its token keeps the right to set the clock and nothing else worth
  // having.
  wchar_t privileges[] = L"SeSystemtimePrivilege\0SeChangeNotifyPrivilege\0";
  SERVICE_REQUIRED_PRIVILEGES_INFOW required{privileges};
  if (!ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_REQUIRED_PRIVILEGES_INFO, &required))
    note = "could not narrow the service's privileges (error " + std::to_string(GetLastError()) + ")";
  if (!StartServiceW(service.get(), 0, nullptr)) {
    const DWORD error = GetLastError();
    if (error != ERROR_SERVICE_ALREADY_RUNNING)
      note += (note.empty() ? "" : "; ") + std::string("installed, but it did not start (error ") +
              std::to_string(error) + "); it starts with the system";
  }
  return Outcome(ServiceSetup::kDone, 0, note);
}

ServiceSetupResult RemoveTimeService() {
  ScHandle scm(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!scm) return Outcome(FromError(GetLastError()), GetLastError());
  ScHandle service(OpenServiceW(scm.get(), kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
  if (!service) {
    const DWORD error = GetLastError();
    return Outcome(error == ERROR_SERVICE_DOES_NOT_EXIST ? ServiceSetup::kNotThere : FromError(error), error);
  }
  SERVICE_STATUS status{};
  if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status) || GetLastError() != ERROR_SERVICE_NOT_ACTIVE) {
    // It finishes an adjustment in hand first (at most a minute and more).
    const Steady::time_point deadline = Steady::now() + std::chrono::seconds(80);
    while (QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED &&
           Steady::now() < deadline)
      Sleep(100);
  }
  if (!DeleteService(service.get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
    return Outcome(FromError(GetLastError()), GetLastError());
  std::string note;
  const std::wstring folder = ServiceFolder();
  const std::wstring exe = folder + L"\\" + kServiceExe;
  // The process may still be on its way out.
  bool deleted = false;
  for (int i = 0; i < 50 && !(deleted = DeleteFileW(exe.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND); ++i)
    Sleep(100);
  if (!deleted) note = "removed, but " + Narrow(exe) + " is still in use: delete it after a restart";
  RemoveDirectoryW(folder.c_str());
  return Outcome(ServiceSetup::kDone, 0, note);
}

}  // namespace qv::platform
