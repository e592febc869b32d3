// Preloaded into the clock by an end-to-end test: counts the program's heap allocations, and on
// SIGUSR1 writes the count so far to the file named by BRUMO_ALLOC_COUNT_FILE.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* ptr, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
}

namespace {

// Interposing malloc leaves no place but the process itself to keep the count in.
std::atomic<unsigned long> g_allocations{0};
int g_report_fd = -1;

// Async-signal-safe: the count as a fixed-width decimal line at the start of the file.
void Report(int) {
  char line[21];
  unsigned long n = g_allocations.load(std::memory_order_relaxed);
  for (int i = 19; i >= 0; --i) {
    line[i] = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  line[20] = '\n';
  const int saved = errno;
  if (pwrite(g_report_fd, line, sizeof line, 0) < 0) {
    // Nothing to do about it in a signal handler; the test sees no count.
  }
  errno = saved;
}

__attribute__((constructor)) void Start() {
  const char* path = std::getenv("BRUMO_ALLOC_COUNT_FILE");
  if (path == nullptr) return;
  g_report_fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (g_report_fd >= 0) signal(SIGUSR1, Report);
}

void Count() {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

extern "C" {

void* malloc(std::size_t size) {
  Count();
  return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) {
  Count();
  return __libc_calloc(count, size);
}

void* realloc(void* ptr, std::size_t size) {
  Count();
  return __libc_realloc(ptr, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) {
  Count();
  return __libc_memalign(alignment, size);
}

void* memalign(std::size_t alignment, std::size_t size) {
  Count();
  return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
  Count();
  void* p = __libc_memalign(alignment, size);
  if (p == nullptr) return ENOMEM;
  *out = p;
  return 0;
}

}  // extern "C"
