#include "host/standard_streams.h"

#include <iostream>
#include <streambuf>
#include <string_view>

#include "host/text.h"

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <utility>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace trivexa {

ClosedStreams OpenClosedStandardStreams() {
  ClosedStreams closed;
#ifndef _WIN32
  bool* const flags[] = {&closed.input, &closed.output, &closed.error};
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    *flags[fd] = true;
    // The lowest free descriptor: this one, since those below are open.
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) ::close(opened);
  }
#endif
  return closed;
}

void PrintNotice(std::string_view prefix, std::string_view text) {
  std::cerr << prefix << TerminalText(text) << '\n';
}

#ifdef _WIN32
namespace {

// How much of `text` ends with a whole UTF-8 character: a sequence cut off
// at the end waits for the rest of its bytes.
std::size_t WholeCharacters(std::string_view text) {
  for (std::size_t back = 1; back <= std::min<std::size_t>(3, text.size()); ++back) {
    const auto byte = static_cast<unsigned char>(text[text.size() - back]);
    if ((byte & 0xC0) == 0x80) continue;
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return length > back ? text.size() - back : text.size();
  }
  return text.size();
}

// Collects what the stream writes and hands whole characters to the console
// at each flush (std::cerr flushes after every output).
class ConsoleBuffer final : public std::streambuf {
 public:
  explicit ConsoleBuffer(HANDLE console) : console_(console) {}
  ~ConsoleBuffer() override { Write(pending_.size()); }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    pending_ += traits_type::to_char_type(c);
    return pending_.size() < kFlushBytes || Write(WholeCharacters(pending_)) ? c
                                                                             : traits_type::eof();
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    pending_.append(text, static_cast<std::size_t>(count));
    return pending_.size() < kFlushBytes || Write(WholeCharacters(pending_)) ? count : 0;
  }
  int sync() override { return Write(WholeCharacters(pending_)) ? 0 : -1; }

 private:
  static constexpr std::size_t kFlushBytes = 4096;
  // Consoles take a limited amount per call.
  static constexpr std::size_t kChunkUnits = 8192;

  // Writes the first `bytes` of what is pending.
  bool Write(std::size_t bytes) {
    const std::wstring wide = Widen(std::string_view(pending_).substr(0, bytes));
    pending_.erase(0, bytes);
    for (std::size_t at = 0; at < wide.size();) {
      const auto units = static_cast<DWORD>(std::min(kChunkUnits, wide.size() - at));
      DWORD written = 0;
      if (!WriteConsoleW(console_, wide.data() + at, units, &written, nullptr) || written == 0) {
        return false;
      }
      at += written;
    }
    return true;
  }

  HANDLE console_;
  std::string pending_;
};

}  // namespace

struct ConsoleText::Redirect {
  Redirect(std::ostream& redirected, HANDLE handle)
      : stream(redirected), own(redirected.rdbuf()), console(handle) {
    stream.rdbuf(&console);
  }
  std::ostream& stream;
  std::streambuf* own;
  ConsoleBuffer console;
};

ConsoleText::ConsoleText() {
  for (const auto& [stream, which] :
       {std::pair<std::ostream*, DWORD>{&std::cout, STD_OUTPUT_HANDLE},
        {&std::cerr, STD_ERROR_HANDLE}}) {
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    // Only a console has a console mode; files and pipes keep their bytes.
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
      continue;
    }
    redirects_.push_back(std::make_unique<Redirect>(*stream, handle));
  }
}

ConsoleText::~ConsoleText() {
  for (const auto& redirect : redirects_) {
    redirect->stream.flush();
    redirect->stream.rdbuf(redirect->own);
  }
}

std::vector<std::string> Utf8Arguments(int argc, wchar_t* argv[]) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(Narrow(argv[i]));
  return arguments;
}

#else

struct ConsoleText::Redirect {};
ConsoleText::ConsoleText() = default;
ConsoleText::~ConsoleText() = default;

#endif

}  // namespace trivexa
