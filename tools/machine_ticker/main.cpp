// machine-ticker LOG
// Sleeps to a deadline every 20 ms and appends one line to LOG for each wake-up
// that came 10 ms or more late: "<CLOCK_MONOTONIC_RAW seconds at the wake-up>
// <ms late>". Runs until SIGTERM or SIGINT. Under wine, a Windows program's
// performance counter reads the same raw clock, so its times compare directly.
#include <csignal>
#include <cstdio>
#include <ctime>

namespace {

volatile std::sig_atomic_t stopping = 0;

void Stop(int) { stopping = 1; }

constexpr long kPeriodNs = 20'000'000;
constexpr double kLateMs = 10;

double Seconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: machine-ticker LOG\n");
    return 2;
  }
  std::FILE* log = std::fopen(argv[1], "w");
  if (!log) {
    std::perror(argv[1]);
    return 1;
  }
  std::setvbuf(log, nullptr, _IOLBF, 0);
  std::signal(SIGTERM, Stop);
  std::signal(SIGINT, Stop);

  timespec next{};
  clock_gettime(CLOCK_MONOTONIC, &next);
  while (!stopping) {
    next.tv_nsec += kPeriodNs;
    if (next.tv_nsec >= 1'000'000'000) {
      next.tv_nsec -= 1'000'000'000;
      ++next.tv_sec;
    }
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    timespec woke{};
    clock_gettime(CLOCK_MONOTONIC, &woke);
    double lateMs = static_cast<double>(woke.tv_sec - next.tv_sec) * 1e3 +
                    static_cast<double>(woke.tv_nsec - next.tv_nsec) / 1e6;
    if (lateMs >= kLateMs) {
      std::fprintf(log, "%.4f %.1f\n", Seconds(CLOCK_MONOTONIC_RAW), lateMs);
      next = woke;  // the next deadline counts from now, not from the missed one
    }
  }
  std::fclose(log);
  return 0;
}
