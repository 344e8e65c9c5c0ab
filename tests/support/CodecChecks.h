// Checks every codec's tests run the same way: the corpus against its
// reference decodes, and damaged copies of fixtures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ZImage.h"

// A corpus file whose reference the reader does not give, because the
// format rules it follows give another result.
struct CorpusException {
    const char* refusal;  // the text it is refused with, or null when it decodes to another picture
    const char* reason;
};

using CorpusExceptions = std::map<std::string, CorpusException>;

// What a codec's corpus holds it to beyond the common rules.
struct CorpusRules {
    size_t leastFiles = 1;          // fewer means a folder or the manifest went missing
    bool everyFileDecodes = false;  // even those without a reference or of class bad
};

// Decodes every file of the folders as the type. Each must be survived;
// each with a reference, unless of class bad, must match it or, when
// listed, still behave as listed. Every listed file must be among them.
void ExpectCorpusMatches(const std::vector<std::string>& folders, DWORD type, const CorpusExceptions& exceptions,
                         const CorpusRules& rules = {});

// One damaged copy of a fixture.
struct DamagedFile {
    std::vector<uint8_t> bytes;
    bool cut;   // a prefix of the fixture, else the fixture with one byte changed
    size_t at;  // the prefix's length, or the byte changed
};

// What is done to a fixture: each listed byte in turn is replaced by, or
// XORed with, each value; with cuts, every prefix from empty to whole is
// decoded too.
struct Damage {
    std::vector<uint8_t> values;
    bool flip = false;              // XOR rather than replace
    std::vector<size_t> positions;  // empty: every byte
    bool cuts = true;
    std::function<void(ZImage&, const DamagedFile&)> prepare;  // before each decode, e.g. choosing a frame
};

// Called after each decode with what Decode returned.
using DamageCheck = std::function<void(const DamagedFile&, bool ok, ZImage& image)>;

// Every damaged copy must decode or fail without crashing or touching memory
// outside its buffers (the sanitizers watch), its result agreeing with
// IsValid, and pass the check.
void ExpectSurvivesDamage(const std::vector<uint8_t>& file, DWORD type, const Damage& damage,
                          const DamageCheck& check = {});

// Failures give one of the texts.
DamageCheck FailsWithOneOf(std::set<std::string> texts);

// Failures give some text.
DamageCheck FailsWithAText();
