/* Runs one or more commands one after the other and prints, on one line,
 * the wall time they took together in microseconds and the largest peak
 * resident memory among them in KiB (from wait4, which counts a command's
 * own waited-for children too). The commands' output goes to /dev/null.
 *
 *   timeit [-s STATUS] command [args...] [:: command [args...]]...
 *
 * Exits 1, naming the command, when any command ends other than with exit
 * status STATUS (0 unless given), so that a benchmark never times a run
 * that failed. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static long long now_us(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (long long)t.tv_sec * 1000000 + t.tv_nsec / 1000;
}

/* Runs argv[0..] with stdout on /dev/null; the child's status and rusage. */
static int run(char** argv, int* status, struct rusage* usage) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDOUT_FILENO);
    execvp(argv[0], argv);
    fprintf(stderr, "timeit: cannot run %s: %s\n", argv[0], strerror(errno));
    _exit(127);
  }
  while (wait4(pid, status, 0, usage) < 0) {
    if (errno != EINTR) return -1;
  }
  return 0;
}

int main(int argc, char** argv) {
  int expected = 0;
  int first = 1;
  if (argc > 2 && strcmp(argv[1], "-s") == 0) {
    expected = atoi(argv[2]);
    first = 3;
  }
  if (first >= argc) {
    fprintf(stderr, "usage: timeit [-s STATUS] command [args...] [:: command [args...]]...\n");
    return 2;
  }
  long max_rss_kb = 0;
  const long long start = now_us();
  for (int i = first; i < argc;) {
    int end = i;
    while (end < argc && strcmp(argv[end], "::") != 0) ++end;
    if (end < argc) argv[end] = NULL; /* argv[argc] is NULL already */
    int status = 0;
    struct rusage usage;
    if (run(argv + i, &status, &usage) != 0) {
      fprintf(stderr, "timeit: cannot start %s: %s\n", argv[i], strerror(errno));
      return 1;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != expected) {
      fprintf(stderr, "timeit: %s ended with %s %d (expected exit status %d)\n", argv[i],
              WIFEXITED(status) ? "exit status" : "signal",
              WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status), expected);
      return 1;
    }
    if (usage.ru_maxrss > max_rss_kb) max_rss_kb = usage.ru_maxrss;
    i = end + 1;
  }
  printf("%lld %ld\n", now_us() - start, max_rss_kb);
  return 0;
}
