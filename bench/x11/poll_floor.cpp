// The least a program that wakes every 100 ms can cost: poll() with nothing to wait for, and
// nothing else. footprint.sh runs it beside the clocks as the floor for their CPU time.
#include <poll.h>

int main() {
  for (;;) poll(nullptr, 0, 100);
}
