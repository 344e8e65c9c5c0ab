#include "Corpus.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "Rgba.h"

namespace {

std::vector<std::string> Split(const std::string& s, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, separator)) parts.push_back(part);
    return parts;
}

CorpusEntry ParseLine(const std::string& line) {
    const std::vector<std::string> f = Split(line, '\t');
    CorpusEntry e;
    e.path = f.at(0);
    if (f.at(1) != "-") {
        e.width = std::stol(f.at(1));
        e.height = std::stol(f.at(2));
    }
    e.notes = f.size() > 5 ? f[5] : "";
    for (std::string note : Split(e.notes, ';')) {
        note.erase(0, note.find_first_not_of(' '));
        if (note.rfind("tol=", 0) == 0) e.tolerance = std::atoi(note.c_str() + 4);
        if (note == "alpha=expected") e.alphaExpected = true;
        if (note == "binary-transparency") e.binaryTransparency = true;
        if (note.rfind("alt=", 0) == 0) e.hasAlt = true;
        if (note.rfind("class=", 0) == 0) e.cls = note.substr(6);
    }
    return e;
}

std::string Compare(const CorpusEntry& e, const std::vector<uint8_t>& ours, const std::vector<uint8_t>& ref,
                    long width, long height) {
    if (ref.size() != static_cast<size_t>(width) * height * 4) return "reference of unexpected size";
    for (size_t i = 0; i < ref.size(); i += 4) {
        if (e.binaryTransparency && ref[i + 3] == 0 && ours[i + 3] == 0) continue;
        const int channels = e.alphaExpected || e.binaryTransparency ? 4 : 3;
        for (int c = 0; c < channels; ++c) {
            if (std::abs(ours[i + c] - ref[i + c]) > e.tolerance) {
                std::ostringstream out;
                const size_t pixel = i / 4;
                out << "pixel (" << pixel % width << ", " << pixel / width << ") channel " << c << ": ours "
                    << int(ours[i + c]) << ", reference " << int(ref[i + c]);
                return out.str();
            }
        }
    }
    return "";
}

}  // namespace

std::string CorpusDir() { return ZELVO_CORPUS_DIR; }

std::string CorpusEntry::FullPath() const { return CorpusDir() + "/" + path; }

std::vector<CorpusEntry> CorpusEntries(const std::string& folder) {
    std::ifstream in(CorpusDir() + "/manifest.tsv");
    std::vector<CorpusEntry> entries;
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        if (line.rfind(folder, 0) == 0) entries.push_back(ParseLine(line));
    }
    return entries;
}

std::string CompareWithReference(const CorpusEntry& e, ZImage& decoded) {
    if (!decoded.IsValid()) return std::string("not decoded: ") + decoded.GetLastError();
    const long width = static_cast<long>(decoded.GetWidth());
    const long height = static_cast<long>(decoded.GetHeight());
    const std::vector<uint8_t> ours = ToRgba(decoded);
    std::string primary = "size " + std::to_string(width) + "x" + std::to_string(height) + ", reference " +
                          std::to_string(e.width) + "x" + std::to_string(e.height);
    if (width == e.width && height == e.height) {
        primary = Compare(e, ours, ReadFileBytes(e.FullPath() + ".rgba"), width, height);
        if (primary.empty()) return "";
    }
    if (e.hasAlt) {
        const std::vector<uint8_t> alt = ReadFileBytes(e.FullPath() + ".alt.rgba");
        if (alt.size() == ours.size() && Compare(e, ours, alt, width, height).empty()) return "";
    }
    return primary;
}
