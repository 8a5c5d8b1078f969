#!/usr/bin/env python3
"""Chooses the detection model's constants (GuessModel in src/detect/code_page_guess.h) on the
corpora of the tuning kinds (word lists, names, sayings, labels, tutorials, glossaries), which
neither the letter-pair models (program messages) nor the held-out figures (docs, passages) are
made from, and on the messages kind (other translation domains than the models'), where a sure
answer must not be wrong either.
It never reads another kind.

    cmake --build build/release --target guess_shares
    python3 tests/detect/tune.py --tool build/release/tests/guess_shares

For each set of constants in a small grid, guess_shares gives every table's answers with their
shares of the whole; the sure shares, one for tables with 1 KiB of text or more and one for
smaller ones, are then the least that leave no table of that size wrong in any tuning kind, with
a margin of safety. The set that leaves the most tables right, of all sizes, wins (the most
with 1 KiB of text or more would cost a tenth of the small ones' right answers for a few of the
large ones'); its figures, and the shares of the tables it would have got wrong just below the
thresholds, are printed.
"""

import argparse
import collections
import itertools
import os
import subprocess
import sys
import tempfile

import corpus

# The tuning kinds, and the training kind: a sure answer must not be wrong on the models' own
# kind of writing either.
KINDS = ("words", "names", "sayings", "labels", "tutorials", "glossaries", "messages")
GRID = dict(temperature=(1,), unknownPairCost=(8,), multiBytePairCost=(4,),
            uchardetStrong=(8,), uchardetWeak=(1,), mixturePrior=(12,), strayCost=(9,),
            awayPagePrior=(11, 12, 13, 14, 15), evidencePairs=(100,), asciiWeight=(0.1, 0.3),
            multiByteFullEvidence=(256,), otherMultiBytePrior=(4,))


def shares(tool, folder, constants):
    """Each table's answers, likeliest first, as (TEXT, share); where none was weighed (plain
    text, or text no single code page reads), its TEXT alone, as sure."""
    out = subprocess.run([tool, folder] + [str(c) for c in constants], capture_output=True,
                         check=False).stdout.decode("utf-8", "replace").split("\n")
    answers = {}
    for line, shown in zip(out[0::2], out[1::2]):
        name, _, text = line.split("\t")
        answers[name] = [(a.split("=")[0], float(a.split("=")[1]))
                         for a in shown.split("\t")[2:]] or [(text, 1.0)]
    return answers


def outcome(tables, answers, sure):
    """Counts of right, unsure and wrong by size class, and the wrong tables' best shares;
    `sure` is the sure share of tables with 1 KiB of text or more, and of smaller ones."""
    counts, wrong = collections.Counter(), []
    for t in tables:
        found = answers.get(t.name, [("?", 1.0)])
        text = found[0][0] if found[0][1] >= sure[t.size < corpus.SMALL] else "?"
        verdict = corpus.judge(text, t)
        counts[(t.size < corpus.SMALL, verdict)] += 1
        if verdict == "wrong":
            wrong.append((found[0][1], t.name, t.lang, t.encodings, text))
    return counts, wrong


def sure_share(tables, answers, margin):
    """The least shares, of tables with 1 KiB of text or more and of smaller ones, that leave no
    table of that size wrong: with `margin` times less doubt than every wrong best answer."""
    sure = [0.5, 0.5]
    for t in tables:
        found = answers.get(t.name, [("?", 1.0)])
        if corpus.judge(found[0][0], t) == "wrong":
            # shares are given to six figures: one may be half a millionth more
            doubt = 1 - found[0][1] - 5e-7
            small = t.size < corpus.SMALL
            sure[small] = max(sure[small], 1 - doubt / margin)
    return sure


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tool", required=True, help="build/release/tests/guess_shares")
    parser.add_argument("--seed", type=int, default=1251)
    parser.add_argument("--margin", type=float, default=5.0,
                        help="the sure share leaves this many times less doubt than the least "
                             "that is wrong on the tuning kind")
    opts = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="tablemark-tune-")
    try:
        tables = []  # a folder per kind, its tables named after it
        for kind in KINDS:
            os.mkdir(os.path.join(folder, kind))
            built, _ = corpus.build(os.path.join(folder, kind), opts.seed, kind)
            tables += [t._replace(name=f"{kind}/{t.name}") for t in built]

        def shares_of_all(constants):
            return {f"{kind}/{name}": found for kind in KINDS for name, found in
                    shares(os.path.abspath(opts.tool), os.path.join(folder, kind),
                           constants).items()}

        results = []
        for constants in itertools.product(*GRID.values()):
            answers = shares_of_all(constants)
            sure = sure_share(tables, answers, opts.margin)
            counts, _ = outcome(tables, answers, sure)
            large = sum(n for (small, _), n in counts.items() if not small)
            smaller = sum(n for (small, _), n in counts.items() if small)
            results.append((counts[(False, "right")] + counts[(True, "right")], sure, constants))
            print(f"{dict(zip(GRID, constants))} sure {sure[0]:.7f}, small {sure[1]:.7f}: "
                  f"{100 * counts[(False, 'right')] / large:.1f}% right of {large}, "
                  f"{100 * counts[(True, 'right')] / smaller:.1f}% of {smaller} smaller",
                  flush=True)
        _, sure, constants = max(results)
        answers = shares_of_all(constants)
        counts, _ = outcome(tables, answers, sure)
        print(f"\nchosen: {dict(zip(GRID, constants))}, sureShare {sure[0]:.7f}, "
              f"smallSureShare {sure[1]:.7f}")
        for small in (False, True):
            print(f"  {'< 1 KiB' if small else '>= 1 KiB'}: " + ", ".join(
                f"{v} {counts[(small, v)]}" for v in ("right", "unsure", "wrong")))
        _, wrong = outcome(tables, answers, (0.5, 0.5))
        print("  answers that would be wrong below the threshold (share, table):")
        for share, name, lang, encodings, text in sorted(wrong, reverse=True)[:20]:
            print(f"    {share:.6f} {name} {lang} {encodings} -> {text}")
    finally:
        subprocess.run(["rm", "-rf", folder], check=False)
    return 0


if __name__ == "__main__":
    sys.exit(main())
