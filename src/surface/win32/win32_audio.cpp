#include "surface/win32/win32_audio.h"

#include <mmsystem.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <variant>
#include <vector>

#include "surface/mci/midi_file.h"
#include "surface/mci/wave_file.h"
#include "surface/win32/gdi_handle.h"

namespace zt {

struct Win32Audio::Call {
  std::function<void(Call&)> work;
  std::vector<char> reply;
  uint32_t result = 0;
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~Call() {
    if (done != nullptr) CloseHandle(done);
  }
};

// Lives as long as the thread or the owner, whichever is longer: a thread
// stuck in a hung driver at exit is left to the end of the process.
struct Win32Audio::Worker {
  std::mutex mutex;
  std::condition_variable wake;
  std::condition_variable drained;
  std::deque<std::shared_ptr<Call>> queue;
  bool stop = false;
  bool busy = false;  // a call is running

  void Loop() {
    for (;;) {
      std::shared_ptr<Call> call;
      {
        std::unique_lock lock(mutex);
        wake.wait(lock, [this] { return stop || !queue.empty(); });
        if (queue.empty()) return;
        call = std::move(queue.front());
        queue.pop_front();
        busy = true;
      }
      call->work(*call);
      SetEvent(call->done);
      {
        std::lock_guard lock(mutex);
        busy = false;
      }
      drained.notify_all();
    }
  }
};

bool FileWithin(const std::string& path, uint64_t limit) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return size <= limit;
}

namespace {

// Up to `limit` + 1 bytes from the start, so an oversized file shows.
std::optional<std::vector<uint8_t>> ReadHead(const std::string& path, size_t limit) {
  const HANDLE opened = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return std::nullopt;
  KernelHandle file(opened);
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  while (bytes.size() <= limit) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(sizeof chunk, limit + 1 - bytes.size()));
    if (!ReadFile(file.get(), chunk, want, &got, nullptr)) return std::nullopt;
    if (got == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  return bytes;
}

}  // namespace

bool WaveAcceptable(const std::string& path) {
  if (!FileWithin(path, kMaxWaveFileBytes)) return false;
  const std::optional<std::vector<uint8_t>> head = ReadHead(path, kWaveHeaderBytes - 1);
  return head && ReadWaveHeader(*head).has_value();
}

bool MidiAcceptable(const std::string& path) {
  if (!FileWithin(path, kMaxMidiFileBytes)) return false;
  const std::optional<std::vector<uint8_t>> bytes = ReadHead(path, kMaxMidiFileBytes);
  if (!bytes || bytes->size() > kMaxMidiFileBytes) return false;
  const MidiResult info = ReadMidiFile(*bytes);
  const MidiSummary* summary = std::get_if<MidiSummary>(&info);
  return summary != nullptr && !CheckMidiLoad(*summary);
}

Win32Audio::Win32Audio(int32_t deadline_ms)
    : deadline_ms_(deadline_ms), worker_(std::make_shared<Worker>()) {
  std::thread([worker = worker_] { worker->Loop(); }).detach();
}

Win32Audio::~Win32Audio() {
  std::unique_lock lock(worker_->mutex);
  worker_->stop = true;
  worker_->wake.notify_one();
  // The exit's own calls, such as silencing the wave, were given up when
  // the click that ended the program was still queued; they get a moment
  // to run before the process ends. A hung driver is left behind.
  worker_->drained.wait_for(lock, std::chrono::milliseconds(kExitGraceMs),
                            [this] { return worker_->queue.empty() && !worker_->busy; });
}

bool Win32Audio::Run(const std::shared_ptr<Call>& call) {
  if (call->done == nullptr) return false;
  {
    std::lock_guard lock(worker_->mutex);
    worker_->queue.push_back(call);
  }
  worker_->wake.notify_one();
  const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(std::max(deadline_ms_, 0));
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now >= until ? 0 : static_cast<DWORD>(until - now);
    // A click or a key gives up the wait: the exit must not queue behind it.
    const DWORD woke = MsgWaitForMultipleObjectsEx(1, &call->done, left, QS_KEY | QS_MOUSEBUTTON,
                                                   MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0) return true;
    if (woke == WAIT_TIMEOUT || woke == WAIT_FAILED || left == 0) return false;
    if (WaitForSingleObject(call->done, 0) == WAIT_OBJECT_0) return true;
    return false;
  }
}

int32_t Win32Audio::SndPlaySound(std::string_view file_name, uint32_t flags) {
  auto call = std::make_shared<Call>();
  std::string name(file_name);
  call->work = [name, flags](Call& c) {
    const bool is_file = (flags & kSndFilename) != 0 && !name.empty();
    if (is_file && !WaveAcceptable(name)) {
      c.result = 0;
      return;
    }
    // An empty name with these flags stops the looping wave.
    c.result = sndPlaySoundA(name.empty() ? nullptr : name.c_str(), flags) ? 1 : 0;
  };
  if (!Run(call)) return 0;
  return static_cast<int32_t>(call->result);
}

namespace {

// The file an open command names: everything between "open " and the last
// " alias ".
std::string OpenedPath(const std::string& command) {
  if (command.rfind("open ", 0) != 0) return {};
  const size_t alias = command.rfind(" alias ");
  if (alias == std::string::npos || alias < 5) return {};
  return command.substr(5, alias - 5);
}

}  // namespace

uint32_t Win32Audio::MciSendString(std::string_view command, char* reply, uint32_t reply_size) {
  auto call = std::make_shared<Call>();
  call->reply.assign(std::max<uint32_t>(reply_size, 1), '\0');
  std::string text(command);
  call->work = [text](Call& c) {
    const std::string path = OpenedPath(text);
    if (!path.empty() && !MidiAcceptable(path)) {
      c.result = FileWithin(path, kMaxMidiFileBytes) ? MCIERR_INVALID_FILE : MCIERR_FILE_NOT_FOUND;
      return;
    }
    c.result =
        mciSendStringA(text.c_str(), c.reply.data(), static_cast<UINT>(c.reply.size()), nullptr);
    c.reply.back() = '\0';
  };
  if (!Run(call)) {
    if (reply != nullptr && reply_size > 0) reply[0] = '\0';
    return kMciErrNotReady;
  }
  if (reply != nullptr && reply_size > 0) {
    std::memcpy(reply, call->reply.data(), std::min<size_t>(reply_size, call->reply.size()));
    reply[reply_size - 1] = '\0';
  }
  return call->result;
}

void Win32Audio::Beep() { MessageBeep(MB_OK); }

}  // namespace zt
