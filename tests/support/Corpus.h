// The public conformance corpus: its manifest and reference decodes.
#pragma once

#include <string>
#include <vector>

#include "ZImage.h"

struct CorpusEntry {
    std::string path;       // relative to the corpus folder
    long width = -1;        // -1: no decoder read the file
    long height = -1;
    std::string notes;
    int tolerance = 0;      // per channel
    bool alphaExpected = false;
    bool binaryTransparency = false;
    bool hasAlt = false;    // FILE.alt.rgba holds a second acceptable decode
    std::string cls;        // good / questionable / bad, where given

    bool HasReference() const { return width >= 0; }
    std::string FullPath() const;
};

std::string CorpusDir();

// Entries whose path starts with the folder, e.g. "bmp/" or "gif/".
std::vector<CorpusEntry> CorpusEntries(const std::string& folder);

// Empty when the decode matches the reference or its alternative within
// the entry's tolerance, else a description of the first difference.
std::string CompareWithReference(const CorpusEntry& entry, ZImage& decoded);
