// realistic_page: writes the benchmarks' realistic HTML page to stdout, so that a real web server
// can serve the very page the in-process benchmarks filter.
//
//   realistic_page [BYTES]      (default 1048576)

#include <cstdio>
#include <cstdlib>
#include <string>

#include "RealisticPage.h"

int main(int argc, char** argv) {
  const long bytes = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1L << 20;
  if (bytes <= 0 || bytes > (1L << 30)) {
    std::fprintf(stderr, "usage: realistic_page [BYTES]  (1 to 2^30)\n");
    return 2;
  }
  const std::string page = tarnwick::bench::RealisticPage(static_cast<size_t>(bytes));
  return std::fwrite(page.data(), 1, page.size(), stdout) == page.size() ? 0 : 1;
}
