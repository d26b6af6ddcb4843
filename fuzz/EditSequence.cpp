// Long runs of the editor's randomized edit sequences: the fuzzer's bytes choose the edits
// (inserts, deletes, replacements across paragraphs, typing, undo, redo, update brackets, column
// blocks, navigators and attributes); every step must keep the text model's invariants, and undoing
// everything must give back the first text exactly.
#include "editor/EditSequence.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string failure = qd::test::runEditSequence(data, size);
    if (!failure.empty()) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
