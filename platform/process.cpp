// Child processes for call: posix_spawn with PATH search, the not-found retry
// through /bin/sh, and one poll() loop serving the input, output and error pipes
// together, so a child that fills one pipe while another is being served cannot
// deadlock the call.
#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

extern char** environ;

namespace zol::platform {
namespace {

// Children started without waiting, reaped by later calls.
std::mutex pending_lock;
std::vector<pid_t> pending_children;

void reap_pending() {
  std::lock_guard<std::mutex> hold(pending_lock);
  std::erase_if(pending_children, [](pid_t pid) {
    int status;
    return waitpid(pid, &status, WNOHANG) != 0;
  });
}

// The descriptors a child's streams are built from; -1 is "leave as inherited".
// `ours` is the parent's end of a pipe (or -1).
struct Stream {
  int child = -1;
  int ours = -1;
};

void close_fd(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

// Opens what the child's stream `which` (0 in, 1 out, 2 err) stands on. False when
// a file or pipe cannot be had.
bool open_stream(const Redirect& r, int which, bool console, Stream* s) {
  bool input = which == 0;
  switch (r.kind) {
    case Redirect::DEFAULT:
      if (console) return true;
      s->child = open("/dev/null", (input ? O_RDONLY : O_WRONLY) | O_CLOEXEC);
      return s->child >= 0;
    case Redirect::FILE:
      s->child = input ? open(r.path.c_str(), O_RDONLY | O_CLOEXEC)
                       : open(r.path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
      return s->child >= 0;
    case Redirect::DATA: {
      int ends[2];
      if (pipe2(ends, O_CLOEXEC) != 0) return false;
      s->child = input ? ends[0] : ends[1];
      s->ours = input ? ends[1] : ends[0];
      fcntl(s->ours, F_SETFL, O_NONBLOCK);
      fcntl(s->ours, F_SETPIPE_SZ, 1 << 20);   // fewer wake-ups for large output; best effort
      return true;
    }
  }
  return false;
}

// When a waiting call must give up; `limited` false: never.
struct Deadline {
  bool limited = false;
  std::chrono::steady_clock::time_point at;

  explicit Deadline(int limit_ms) {
    limited = limit_ms > 0;
    at = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  }
  // What poll() may wait: -1 for ever, else the milliseconds left (at least 0).
  int poll_ms() const {
    if (!limited) return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        at - std::chrono::steady_clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
  }
  bool passed() const { return limited && std::chrono::steady_clock::now() >= at; }
};

bool quoted_char_escapes(char c) { return c == '"' || c == '\\' || c == '$' || c == '`' || c == '\n'; }

// Feeds the input and drains output and error until all three are done, or the
// deadline passes (false; the pipes are closed). Writes to a child that stopped
// reading end quietly: SIGPIPE is held off for the write and a pending one is
// consumed.
bool serve_pipes(Stream streams[3], ProcessRequest* request, const Deadline& deadline) {
  const std::string& feed = request->input.data;
  size_t fed = 0;
  std::string* sinks[3] = {nullptr, &request->output.data, &request->error.data};
  if (streams[0].ours >= 0 && feed.empty()) close_fd(&streams[0].ours);
  sigset_t pipe_only, before;
  sigemptyset(&pipe_only);
  sigaddset(&pipe_only, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_only, &before);
  static thread_local std::vector<char> chunk_buffer(1 << 20);
  char* chunk = chunk_buffer.data();
  const size_t chunk_size = chunk_buffer.size();
  bool completed = true;
  for (;;) {
    pollfd fds[3];
    int n = 0;
    int which[3];
    for (int i = 0; i < 3; i++) {
      if (streams[i].ours < 0) continue;
      fds[n] = {streams[i].ours, short(i == 0 ? POLLOUT : POLLIN), 0};
      which[n++] = i;
    }
    if (n == 0) break;
    int ready = poll(fds, nfds_t(n), deadline.poll_ms());
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) break;
    if (ready == 0) {
      for (int i = 0; i < 3; i++) close_fd(&streams[i].ours);
      completed = false;
      break;
    }
    for (int k = 0; k < n; k++) {
      int i = which[k];
      if (fds[k].revents == 0) continue;
      if (i == 0) {
        ssize_t wrote = write(streams[0].ours, feed.data() + fed, feed.size() - fed);
        if (wrote > 0) fed += size_t(wrote);
        if ((wrote < 0 && errno != EAGAIN && errno != EINTR) || fed == feed.size())
          close_fd(&streams[0].ours);
        continue;
      }
      ssize_t got = read(streams[i].ours, chunk, chunk_size);
      if (got > 0) sinks[i]->append(chunk, size_t(got));
      else if (got == 0 || (errno != EAGAIN && errno != EINTR)) close_fd(&streams[i].ours);
    }
  }
  timespec none{0, 0};
  while (sigtimedwait(&pipe_only, nullptr, &none) == SIGPIPE) {
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  return completed;
}

// The exit status: the child's code, or 128 + the signal that ended it.
int exit_status(int status) {
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

int wait_for(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return exit_status(status);
}

// A child past its deadline is killed and reaped; the call answers -1.
int give_up(pid_t pid) {
  kill(pid, SIGKILL);
  wait_for(pid);
  return -1;
}

// wait_for, giving up at the deadline.
int wait_until(pid_t pid, const Deadline& deadline) {
  if (!deadline.limited) return wait_for(pid);
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return exit_status(status);
    if (done < 0 && errno != EINTR) return -1;
    if (deadline.passed()) return give_up(pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

// The command in single quotes, for handing a program path to the shell whole.
std::string shell_quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

// posix_spawnp with the streams in place and the signal state a fresh program
// expects. Answers the errno of a failure, 0 on success.
int spawn(const std::vector<std::string>& words, Stream streams[3], pid_t* pid) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int i = 0; i < 3; i++)
    if (streams[i].child >= 0) posix_spawn_file_actions_adddup2(&actions, streams[i].child, i);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t empty, defaults;
  sigemptyset(&empty);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigmask(&attributes, &empty);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::vector<char*> argv;
  for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
  argv.push_back(nullptr);
  int failed = posix_spawnp(pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return failed;
}

}  // namespace

std::vector<std::string> split_command_words(const std::string& command) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  size_t i = 0;
  auto take = [&](char c) {
    word += c;
    in_word = true;
  };
  while (i < command.size()) {
    char c = command[i++];
    if (c == ' ' || c == '\t' || c == '\n') {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
    } else if (c == '\\') {
      if (i < command.size()) {
        if (command[i] != '\n') take(command[i]);
        i++;
      }
    } else if (c == '\'') {
      in_word = true;
      while (i < command.size() && command[i] != '\'') word += command[i++];
      i++;
    } else if (c == '"') {
      in_word = true;
      while (i < command.size() && command[i] != '"') {
        if (command[i] == '\\' && i + 1 < command.size() && quoted_char_escapes(command[i + 1])) i++;
        word += command[i++];
      }
      i++;
    } else {
      take(c);
    }
  }
  if (in_word) words.push_back(std::move(word));
  return words;
}

int run_process(ProcessRequest* request) {
  reap_pending();
  Stream streams[3];
  const Redirect* redirects[3] = {&request->input, &request->output, &request->error};
  bool opened = true;
  for (int i = 0; i < 3 && opened; i++)
    opened = open_stream(*redirects[i], i, request->console, &streams[i]);
  std::string shell_text = request->program_path ? shell_quoted(request->command) : request->command;
  std::vector<std::string> words;
  if (request->shell) words = {"/bin/sh", "-c", shell_text};
  else if (request->program_path) {
    words = {request->command};
    words.insert(words.end(), request->arguments.begin(), request->arguments.end());
  }
  else words = split_command_words(request->command);
  pid_t pid = -1;
  int failed = opened ? (words.empty() ? ENOENT : spawn(words, streams, &pid)) : -1;
  if (failed == ENOENT && !request->shell) {
    words = {"/bin/sh", "-c", shell_text};
    failed = spawn(words, streams, &pid);
  }
  for (Stream& s : streams) close_fd(&s.child);
  if (failed != 0) {
    for (Stream& s : streams) close_fd(&s.ours);
    return -1;
  }
  bool redirected = false;
  for (const Redirect* r : redirects) redirected |= r->kind != Redirect::DEFAULT;
  if (!(request->wait || request->console || redirected)) {
    std::lock_guard<std::mutex> hold(pending_lock);
    pending_children.push_back(pid);
    return int(pid);
  }
  Deadline deadline(request->time_limit_ms);
  if (!serve_pipes(streams, request, deadline)) return give_up(pid);
  return wait_until(pid, deadline);
}

std::vector<std::pair<std::string, std::string>> environment_pairs() {
  std::vector<std::pair<std::string, std::string>> pairs;
  for (char** entry = environ; entry && *entry; entry++) {
    const char* text = *entry;
    // A name may itself begin with "=": the separator is the first one after it.
    const char* equals = std::strchr(text + (text[0] == '=' ? 1 : 0), '=');
    if (!equals) pairs.emplace_back(text, "");
    else pairs.emplace_back(std::string(text, equals), std::string(equals + 1));
  }
  return pairs;
}

}  // namespace zol::platform
