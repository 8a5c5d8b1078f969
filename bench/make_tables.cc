// Makes the benchmark's directory: N files with a fixed, realistic mix, the
// same bytes every time, so that every timed run starts from a fresh copy.
//
// Per 100 files: 70 tables to re-mark (assorted signatures), 10 already
// carrying the mark, 5 with refused headers, 15 files with other extensions.
// With --silent the refused headers are left out (tables to re-mark instead),
// so that every table takes a path on which the program prints nothing.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: make_tables DIR COUNT MARK [--silent]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const long count = std::strtol(argv[2], nullptr, 10);
  const auto mark = static_cast<std::uint8_t>(std::strtol(argv[3], nullptr, 0));
  const bool silent = argc > 4 && std::strcmp(argv[4], "--silent") == 0;
  if (mkdir(dir.c_str(), 0755) != 0) {
    std::perror("mkdir");
    return 1;
  }
  constexpr std::array<std::uint8_t, 6> kSignatures{0x30, 0x03, 0x31, 0x32, 0xF5, 0x83};
  constexpr std::array<const char*, 8> kTableExtensions{"dbf", "DBF", "scx", "vcx",
                                                        "frx", "lbx", "mnx", "dbc"};
  constexpr std::array<const char*, 3> kOtherExtensions{"fpt", "cdx", "txt"};
  std::array<std::uint8_t, 64> header{};
  char name[64];
  for (long i = 0; i < count; ++i) {
    const long kind = i % 100;
    header.fill(0x20);
    header[0] = kSignatures[static_cast<std::size_t>(i) % kSignatures.size()];
    header[29] = 0x65;
    header[30] = header[31] = 0;
    const char* extension = kTableExtensions[static_cast<std::size_t>(i) % kTableExtensions.size()];
    if (kind < 70) {
      // re-marked
    } else if (kind < 80) {
      header[29] = mark;
    } else if (kind < 85) {
      if (!silent) {
        if (kind % 2 == 0) {
          header[0] = 0x8B;
        } else {
          header[30] = 1;
        }
      }
    } else {
      extension = kOtherExtensions[static_cast<std::size_t>(i) % kOtherExtensions.size()];
    }
    std::snprintf(name, sizeof name, "%s/f%08ld.%s", dir.c_str(), i, extension);
    const int fd = open(name, O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0 || write(fd, header.data(), header.size()) != static_cast<ssize_t>(header.size())) {
      std::perror(name);
      return 1;
    }
    close(fd);
  }
  return 0;
}
