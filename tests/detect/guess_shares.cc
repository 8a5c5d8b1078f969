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
#include <string>
#include <vector>

#include "detect/detect.h"
#include "platform/posix/posix_console.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_shared_library.h"
#include "platform/posix/utf8_escape.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 14) {
    std::fprintf(stderr,
                 "usage: guess_shares DIR [temperature unknownPairCost multiBytePairCost "
                 "uchardetStrong uchardetWeak mixturePrior strayCost awayPagePrior "
                 "evidencePairs asciiWeight multiByteFullEvidence otherMultiBytePrior]\n");
    return 2;
  }
  tablemark::GuessModel model;
  if (argc == 14) {
    model.temperature = std::atof(argv[2]);
    model.unknownPairCost = std::atof(argv[3]);
    model.multiBytePairCost = std::atof(argv[4]);
    model.uchardetStrong = std::atof(argv[5]);
    model.uchardetWeak = std::atof(argv[6]);
    model.mixturePrior = std::atof(argv[7]);
    model.strayCost = std::atof(argv[8]);
    model.awayPagePrior = std::atof(argv[9]);
    model.evidencePairs = std::atof(argv[10]);
    model.asciiWeight = std::atof(argv[11]);
    model.multiByteFullEvidence = std::atof(argv[12]);
    model.otherMultiBytePrior = std::atof(argv[13]);
  }
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
