// The command-line grammar on arbitrary argument vectors: never crashes,
// never reads past the vector, and a run's settings come only from the
// arguments.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Arguments are UTF-16 code units, separated by a zero unit.
  std::vector<std::u16string> args{u"tablemark"};
  std::u16string current;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current += unit;
    }
  }
  args.push_back(current);

  for (auto dialect : {tablemark::Dialect::Windows, tablemark::Dialect::Posix}) {
    const tablemark::Mode mode =
        tablemark::ParseCommandLine(args, tablemark::SwitchSyntaxOf(dialect));
    if (mode.kind == tablemark::Mode::Remark || mode.kind == tablemark::Mode::Detect) {
      if (mode.kind == tablemark::Mode::Remark && (args.size() < 2 || args.size() > 5)) {
        __builtin_trap();
      }
      bool fromArgs = mode.fullPath.empty();
      for (const auto& arg : args) {
        if (arg.find(mode.fullPath) != std::u16string::npos) fromArgs = true;
      }
      if (!fromArgs) __builtin_trap();
    }
  }
  for (const auto& arg : args) (void)tablemark::IntegerValue(arg);
  return 0;
}
