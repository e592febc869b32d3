// The least a program that wakes every 100 ms can cost: poll() with nothing to wait for, and
// nothing else. footprint.sh runs it beside the clocks as the floor for their CPU time.
//
// With an argument, it also writes 56 bytes every tenth wake (what the clock sends when only
// its seconds change) to a child that sleeps in epoll_wait() until they come, as a server does:
// the least a program can cost that hands a new second to another process.
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

int main(int argc, char**) {
  if (argc < 2) {
    for (;;) poll(nullptr, 0, 100);
  }
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 1;
  if (fork() == 0) {
    // Without the writer's end, the reader sees the socket close when the writer ends.
    close(fds[0]);
    const int ep = epoll_create1(0);
    epoll_event ev{};
    ev.events = EPOLLIN;
    if (epoll_ctl(ep, EPOLL_CTL_ADD, fds[1], &ev) != 0) return 1;
    char buf[256];
    for (;;) {
      if (epoll_wait(ep, &ev, 1, -1) == 1 && read(fds[1], buf, sizeof buf) <= 0) return 0;
    }
  }
  close(fds[1]);
  const char second[56] = {};
  for (unsigned i = 0;; ++i) {
    poll(nullptr, 0, 100);
    if (i % 10 == 0 && write(fds[0], second, sizeof second) < 0) return 1;
  }
}
