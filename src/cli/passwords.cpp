#include "cli/passwords.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace malvorn::cli {
namespace {

// A descriptor closed when the read is done, however it ends.
class ReadDescriptor {
  public:
    explicit ReadDescriptor(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY)) {}
    ~ReadDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    ReadDescriptor(const ReadDescriptor&) = delete;
    ReadDescriptor& operator=(const ReadDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// Reads up to the first line end; false on a read error.
bool readLine(int fd, std::string& line) {
    char c = 0;
    for (;;) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n == 0 || (n == 1 && c == '\n'))
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        line += c;
    }
}

std::string withoutLineEnd(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return line;
}

// The terminal's settings while echo is off, for the signal handler to put
// back before the signal's own action ends the program.
struct termios gSavedTerminal;
constexpr std::array<int, 4> kEndingSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void restoreTerminalAndEnd(int signal) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &gSavedTerminal);
    // SA_RESETHAND has made the action the default one again.
    ::raise(signal);
}

// Echo off for its lifetime, the signals that end the program set to put it
// back first; everything as it was when it ends.
class EchoOff {
  public:
    EchoOff() {
        if (::tcgetattr(STDIN_FILENO, &gSavedTerminal) != 0)
            return;
        struct sigaction action {};
        action.sa_handler = restoreTerminalAndEnd;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kEndingSignals.size(); ++i)
            ::sigaction(kEndingSignals[i], &action, &previous_[i]);
        struct termios quiet = gSavedTerminal;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        active_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        handlersSet_ = true;
    }
    ~EchoOff() {
        if (active_)
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &gSavedTerminal);
        if (handlersSet_) {
            for (std::size_t i = 0; i < kEndingSignals.size(); ++i)
                ::sigaction(kEndingSignals[i], &previous_[i], nullptr);
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

  private:
    std::array<struct sigaction, kEndingSignals.size()> previous_{};
    bool active_ = false;
    bool handlersSet_ = false;
};

}  // namespace

std::string readPasswordFile(const std::string& path, const std::string& option) {
    const ReadDescriptor file(path);
    std::string line;
    if (file.get() < 0 || !readLine(file.get(), line))
        throw UsageError("--" + option + " のファイルを読めません: " + path + " (" +
                         std::strerror(errno) + ")");
    return withoutLineEnd(line);
}

std::string promptHidden(const std::string& prompt) {
    std::string line;
    bool read = false;
    {
        const EchoOff quiet;
        std::fputs(prompt.c_str(), stderr);
        std::fflush(stderr);
        read = readLine(STDIN_FILENO, line);
    }
    // The line end typed was not echoed.
    std::fputc('\n', stderr);
    if (!read)
        throw UsageError("パスワードを読めません (" + std::string(std::strerror(errno)) + ")");
    return withoutLineEnd(line);
}

std::string passwordFrom(const Arguments& args, const PasswordSource& source,
                         const std::optional<std::string>& given) {
    const bool fromFile = args.has(source.fileOption);
    if (given && fromFile)
        throw UsageError(std::string(source.what) + "が2か所で指定されています (--" +
                         source.fileOption + " とコマンドラインの値): どちらか1つにしてください");
    if (given)
        return *given;
    if (fromFile)
        return readPasswordFile(args.option(source.fileOption), source.fileOption);
    if (const char* value = std::getenv(source.variable))
        return value;
    if (::isatty(STDIN_FILENO) == 1)
        return promptHidden(source.prompt);
    if (source.required)
        throw UsageError(std::string(source.what) + "を指定してください (--" + source.fileOption +
                         " FILE、環境変数 " + source.variable + "、または端末での入力)");
    return std::string();
}

std::string connectionPassword(const Arguments& args) {
    return passwordFrom(
        args, kConnectionPassword,
        args.has("password") ? std::optional(args.option("password")) : std::nullopt);
}

model::ConnectionFields connectionFrom(const Arguments& args) {
    return {args.option("user"), connectionPassword(args), args.option("service")};
}

std::string passwordHelp() {
    return "パスワード (この順で最初に見つかったもの):\n"
           "  1. --password P / user create の <パスワード> (ps でほかのユーザーにも見えます)\n"
           "  2. --password-file FILE / --new-password-file FILE: ファイルの1行目\n"
           "  3. 環境変数 MALVORN_PASSWORD (接続) / MALVORN_NEW_PASSWORD (新しいユーザー)\n"
           "  4. 標準入力が端末なら、表示せずに入力を求めます\n"
           "  どれもなければ空 (user create の新しいパスワードは省けません)。\n"
           "  勧め: ファイル (chmod 600) か環境変数。--password は使わないでください。\n";
}

}  // namespace malvorn::cli
