#include <cstdio>

int main() {
  std::puts("quillbank: not yet wired");
  return 64;
}
