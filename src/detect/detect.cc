#include "detect/detect.h"

#include "detect/text_reader.h"
#include "table/directory_scan.h"

namespace tablemark {
namespace {

class Detect final : public TableVisitor {
 public:
  Detect(const Platform& platform, const GuessModel& model,
         const std::function<void(const CodePageGuesser&)>& guessed)
      : reader_(platform, model), guessed_(guessed) {}

  bool needsWholeListing() const override { return true; }
  void listed(const DirectoryEntry& entry) override { reader_.listed(entry); }

  bool visit(const FoundTable& table) override {
    const std::optional<TableReading> reading = reader_.readAndList(table);
    if (!reading) return true;
    if (guessed_) guessed_(reader_.guesser());
    return reading->memoUnread || !MarkAgrees(reading->header.codePageMark(), reading->verdict);
  }

 private:
  TextReader reader_;
  const std::function<void(const CodePageGuesser&)>& guessed_;
};

}  // namespace

ExitStatus DetectCodePages(const Platform& platform, std::u16string fullPath) {
  return DetectCodePages(platform, std::move(fullPath), GuessModel{}, {});
}

ExitStatus DetectCodePages(const Platform& platform, std::u16string fullPath,
                           const GuessModel& model,
                           const std::function<void(const CodePageGuesser&)>& guessed) {
  Detect detect(platform, model, guessed);
  return ScanDirectory(platform, std::move(fullPath), detect);
}

}  // namespace tablemark
