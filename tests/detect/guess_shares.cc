// The tool that chooses the detection model's constants: --detect over a
// directory with the model's constants given on the command line, each
// table's line followed by a line with every answer's share of the whole,
// for tests/detect/ to weigh (see tune.py). uchardet is asked for every
// table, as every answer's share takes it; without the constants, the model
// is the program's own, and its verdicts must be the program's (corpus.py
// --asking-always).
//
//   guess_shares DIR [temperature unknownPairCost multiBytePairCost uchardetStrong
//                     uchardetWeak mixturePrior strayCost awayPagePrior evidencePairs
//                     asciiWeight multiByteFullEvidence otherMultiBytePrior]
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "detect/detect.h"
#include "platform/posix/posix_console.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_shared_library.h"
#include "platform/posix/utf8_escape.h"

int main(int argc, char** argv) {
  using tablemark::GuessModel;
  // The constants the command line gives, in its order.
  constexpr double GuessModel::*kConstants[] = {&GuessModel::temperature,
                                                &GuessModel::unknownPairCost,
                                                &GuessModel::multiBytePairCost,
                                                &GuessModel::uchardetStrong,
                                                &GuessModel::uchardetWeak,
                                                &GuessModel::mixturePrior,
                                                &GuessModel::strayCost,
                                                &GuessModel::awayPagePrior,
                                                &GuessModel::evidencePairs,
                                                &GuessModel::asciiWeight,
                                                &GuessModel::multiByteFullEvidence,
                                                &GuessModel::otherMultiBytePrior};
  constexpr int kGiven = static_cast<int>(std::size(kConstants));
  if (argc != 2 && argc != 2 + kGiven) {
    std::fprintf(stderr,
                 "usage: guess_shares DIR [temperature unknownPairCost multiBytePairCost "
                 "uchardetStrong uchardetWeak mixturePrior strayCost awayPagePrior "
                 "evidencePairs asciiWeight multiByteFullEvidence otherMultiBytePrior]\n");
    return 2;
  }
  GuessModel model;
  for (int i = 2; i < argc; ++i) model.*kConstants[i - 2] = std::atof(argv[i]);
  model.alwaysAskDetector = true;
  tablemark::posix::PosixConsole console;
  tablemark::posix::PosixFileSystem files;
  tablemark::posix::PosixSharedLibraries libraries;
  std::u16string directory;
  tablemark::posix::DecodeBytes(argv[1], directory);
  const auto shares = [](const tablemark::CodePageGuesser& guesser) {
    std::string line = "\tshares";
    for (const tablemark::AnswerShare& answer : guesser.lastShares()) {
      const tablemark::TextVerdict& verdict = answer.verdict;
      line += '\t';
      line += verdict.kind == tablemark::TextVerdict::Kind::CodePage
                  ? std::to_string(verdict.codePage)
                  : std::string(verdict.encoding);
      char share[32];
      std::snprintf(share, sizeof share, "=%.6g", answer.share);
      line += share;
    }
    std::fflush(stdout);  // after the table's own line
    std::puts(line.c_str());
  };
  return tablemark::DetectCodePages({tablemark::Dialect::Posix, console, files, libraries},
                                    directory, model, shares);
}
