// Preloaded into a program under test: kills it (SIGKILL, as kill -9 does)
// just before its Nth change to a path that starts with a given folder's
// (a rename or a removal), N counted from 1. Steps a test through every
// moment at which a writer can be cut short.
//   KALVANE_KILL_UNDER=/abs/folder KALVANE_KILL_AT=N LD_PRELOAD=libkill.so prog ...
#include <dlfcn.h>
#include <signal.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<long> Steps{0};

bool Under(const char* path) {
  const char* under = std::getenv("KALVANE_KILL_UNDER");
  return under && *under && path && std::strncmp(path, under, std::strlen(under)) == 0;
}

void Step(const char* path, const char* other = nullptr) {
  if (!Under(path) && !Under(other)) return;
  const char* at = std::getenv("KALVANE_KILL_AT");
  if (at && ++Steps == std::atol(at)) raise(SIGKILL);
}

template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

int rename(const char* from, const char* to) noexcept {
  Step(from, to);
  static const auto next = Next<int (*)(const char*, const char*)>("rename");
  return next(from, to);
}

int renameat(int fromFd, const char* from, int toFd, const char* to) noexcept {
  Step(from, to);
  static const auto next = Next<int (*)(int, const char*, int, const char*)>("renameat");
  return next(fromFd, from, toFd, to);
}

int renameat2(int fromFd, const char* from, int toFd, const char* to, unsigned flags) noexcept {
  Step(from, to);
  static const auto next = Next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
  return next(fromFd, from, toFd, to, flags);
}

int unlink(const char* path) noexcept {
  Step(path);
  static const auto next = Next<int (*)(const char*)>("unlink");
  return next(path);
}

int unlinkat(int fd, const char* path, int flags) noexcept {
  Step(path);
  static const auto next = Next<int (*)(int, const char*, int)>("unlinkat");
  return next(fd, path, flags);
}

int remove(const char* path) noexcept {
  Step(path);
  static const auto next = Next<int (*)(const char*)>("remove");
  return next(path);
}

}  // extern "C"
